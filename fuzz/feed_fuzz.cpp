// Feeds arbitrary byte streams, cut into reads of varying sizes, through the client's receive
// path: optional in-place decryption, then Feed. Checks the receiver's invariants and that a
// sender and a receiver keyed alike agree byte for byte.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "collect/raw_data_shell.h"
#include "remote/blowfish_cipher.h"
#include "remote/request_detection.h"

namespace {

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2)
        return 0;
    const bool encrypted = (data[0] & 1) != 0;
    // With the cipher on, either the fuzz bytes are the plain records (round trip) or they
    // are what arrived on the wire and decrypt into noise.
    const bool fromWire = (data[0] & 2) != 0;
    std::uint32_t seed = data[1] | (std::uint32_t{data[0]} << 8);
    const std::uint8_t* stream = data + 2;
    const std::size_t length = size - 2;

    statlume::TRawDataShell shell;
    std::size_t raised = 0;
    shell.OnData = [&] {
        Check(shell.Data.Marker == 'T');
        ++raised;
    };
    statlume::TBlowfishCipher sender;
    statlume::TBlowfishCipher receiver;
    if (encrypted) {
        sender.SetKeyFromPassword("fuzz");
        receiver.SetKeyFromPassword("fuzz");
    }

    std::size_t at = 0;
    std::size_t records = 0;
    while (at < length) {
        seed = seed * 1103515245u + 12345u;
        // Mostly small reads so records straddle them; now and then a full client read.
        const std::size_t want =
            (seed >> 16) % 8 == 0 ? statlume::ClientReadSize : 1 + (seed >> 16) % 300;
        const std::size_t n = want < length - at ? want : length - at;
        std::vector<std::uint8_t> chunk(stream + at, stream + at + n);
        if (encrypted && fromWire) {
            receiver.Decrypt(chunk.data(), n);
        } else if (encrypted) {
            // The fuzz bytes are the plain text: encrypt as the server would, then decrypt as
            // the client does; the same cuts on both sides must give the bytes back.
            std::vector<std::uint8_t> wire(n);
            sender.Encrypt(chunk.data(), wire.data(), n);
            receiver.Decrypt(wire.data(), n);
            Check(wire == chunk);
            Check(sender.CV() == receiver.CV());
        }
        const std::size_t before = raised;
        shell.Feed(chunk.data(), chunk.size());
        Check(shell.Pending.size() < statlume::RawDataSize);
        // Every accepted record starts on a byte of this read or completes the pending one.
        Check(raised - before <= n / statlume::RawDataSize + 1);
        records += raised - before;
        at += n;
    }
    Check(records == raised);
    return 0;
}
