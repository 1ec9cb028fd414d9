#pragma once

#include <stdexcept>

namespace statlume {

/// The one error type of the cipher and the digest (use before set-up, bad key size).
class TCipherError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

} // namespace statlume
