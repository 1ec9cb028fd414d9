#pragma once

#include <cstdint>
#include <string>

#include "base/ascii_case.h"
#include "remote/blowfish_cipher.h"

namespace statlume {

/// The program-wide password and the one keyed cipher, shared by the server and client roles; the
/// client chains in the cipher itself, the server in a chain of its own per connection.
struct TRemoteSecret
{
    /// Empty means no encryption on either side.
    std::string Password;
    /// Keyed by the server when it starts listening and by the client at start-up.
    TBlowfishCipher Cipher;
    /// Counts the key set-ups, so a chain kept apart from Cipher knows when to start again
    /// from the new IV.
    std::uint64_t KeyGeneration = 0;

    /// The key set-up from Password in lower case: clients lower-case their "-d" text, so a
    /// password typed with capitals at the server's prompt still matches.
    void SetKey()
    {
        Cipher.SetKeyFromPassword(AsciiLowerCopy(Password));
        ++KeyGeneration;
    }

    /// The cipher, keyed from Password first when no key set-up has run yet (a password given
    /// after listening or start-up).
    TBlowfishCipher& KeyedCipher()
    {
        if (!Cipher.Initialized())
            SetKey();
        return Cipher;
    }
};

} // namespace statlume
