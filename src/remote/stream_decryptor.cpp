#include "remote/stream_decryptor.h"

#include <algorithm>

namespace statlume {

std::span<const std::uint8_t>
TStreamDecryptor::Decrypt(TBlowfishCipher& cipher, const std::uint8_t* bytes, std::size_t count)
{
    // resize keeps the capacity, so after the first reads no allocation happens.
    Buffer.resize(Held + count);
    std::copy_n(Carry.begin(), Held, Buffer.begin());
    if (count > 0)
        std::copy_n(bytes, count, Buffer.begin() + static_cast<std::ptrdiff_t>(Held));

    const std::size_t whole = Buffer.size() - Buffer.size() % TBlowfishCipher::BlockSize;
    cipher.Decrypt(Buffer.data(), whole);
    Held = Buffer.size() - whole;
    std::copy_n(Buffer.begin() + static_cast<std::ptrdiff_t>(whole), Held, Carry.begin());
    return {Buffer.data(), whole};
}

} // namespace statlume
