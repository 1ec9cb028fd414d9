#pragma once

#include <stdexcept>

namespace statlume {

/// The thrown failure of a menu command, shown in an error box by the command wrapper.
class TCommandError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

} // namespace statlume
