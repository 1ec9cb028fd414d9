// Feeds arbitrary byte streams, cut into reads of varying sizes, through the client's receive
// path (optional decryption, then Feed) and checks the receiver's invariants. The first input
// byte picks the mode, the second seeds the read sizes.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "record/raw_data_shell.h"
#include "record/record_check.h"
#include "remote/blowfish_cipher.h"
#include "remote/request_detection.h"
#include "remote/stream_decryptor.h"

namespace {

enum class TMode
{
    Plain,         // the fuzz bytes arrive as they are
    RoundTrip,     // encrypted and decrypted with the same cuts: must come back unchanged
    WireNoise,     // the fuzz bytes are cipher text and decrypt into noise
    StreamRecords, // sent as 272-byte messages, read with other cuts through the stream decryptor
};

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

class TReadSizes
{
public:
    explicit TReadSizes(std::uint32_t seed)
        : State(seed)
    {
    }

    // Mostly small reads so that records straddle them; now and then a full client read.
    std::size_t Next(std::size_t left)
    {
        State = State * 1103515245u + 12345u;
        const std::uint32_t r = State >> 16;
        const std::size_t want = r % 8 == 0 ? statlume::ClientReadSize : 1 + r % 300;
        return std::min(want, left);
    }

private:
    std::uint32_t State;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2)
        return 0;
    const auto mode = static_cast<TMode>(data[0] % 4);
    TReadSizes readSizes(data[1] | (std::uint32_t{data[0]} << 8));
    const std::vector<std::uint8_t> plain(data + 2, data + size);

    statlume::TRawDataShell shell;
    std::size_t raised = 0;
    // Every record shown must have the marker and pass the record check.
    shell.OnData = [&] {
        Check(shell.Data.Marker == 'T');
        Check(statlume::PassesRecordCheck(shell.Data));
        ++raised;
    };
    statlume::TBlowfishCipher sender;
    statlume::TBlowfishCipher receiver;
    if (mode != TMode::Plain) {
        sender.SetKeyFromPassword("fuzz");
        receiver.SetKeyFromPassword("fuzz");
    }

    std::vector<std::uint8_t> wire = plain;
    if (mode == TMode::StreamRecords) {
        for (std::size_t at = 0; at < wire.size(); at += statlume::RawDataSize) {
            const std::size_t n = std::min(statlume::RawDataSize, wire.size() - at);
            sender.Encrypt(plain.data() + at, wire.data() + at, n);
        }
    }

    statlume::TStreamDecryptor decryptor;
    std::vector<std::uint8_t> fed;
    for (std::size_t at = 0; at < wire.size();) {
        const std::size_t n = readSizes.Next(wire.size() - at);
        std::vector<std::uint8_t> chunk(wire.begin() + at, wire.begin() + at + n);
        if (mode == TMode::RoundTrip) {
            std::vector<std::uint8_t> sent(n);
            sender.Encrypt(chunk.data(), sent.data(), n);
            receiver.Decrypt(sent.data(), n);
            Check(sent == chunk);
            Check(sender.CV() == receiver.CV());
        } else if (mode == TMode::WireNoise) {
            receiver.Decrypt(chunk.data(), n);
        } else if (mode == TMode::StreamRecords) {
            const auto ready = decryptor.Decrypt(receiver, chunk.data(), n);
            chunk.assign(ready.begin(), ready.end());
        }
        fed.insert(fed.end(), chunk.begin(), chunk.end());

        const std::size_t before = raised;
        const statlume::TFeedResult result = shell.Feed(chunk.data(), chunk.size());
        Check(result.Accepted == raised - before);
        Check(result.RejectedAtEnd <= result.Rejected);
        Check(shell.Pending.size() < statlume::RawDataSize);
        // Accepted records that begin in this read do not overlap; one more may complete the
        // record pending from earlier reads.
        Check(raised - before <= chunk.size() / statlume::RawDataSize + 1);
        at += n;
    }

    if (mode == TMode::StreamRecords) {
        // Whole 272-byte messages come back exactly whatever the cuts; only a message's tail
        // shorter than a block may be left unread.
        const std::size_t whole = plain.size() - plain.size() % statlume::RawDataSize;
        Check(fed.size() >= whole && fed.size() + 8 > plain.size());
        Check(std::equal(plain.begin(), plain.begin() + static_cast<std::ptrdiff_t>(whole),
                         fed.begin()));
    }
    if (mode == TMode::Plain || mode == TMode::RoundTrip)
        Check(fed == plain);
    return 0;
}
