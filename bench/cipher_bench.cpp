// Throughput of the payload cipher on the sizes the program uses: one 272-byte reply and
// large buffers for comparison with other Blowfish implementations.
#include <cstdint>
#include <vector>

#include "record/raw_data.h"
#include "remote/blowfish_cipher.h"

#include <benchmark/benchmark.h>

namespace {

void BM_EncryptRecord(benchmark::State& state)
{
    statlume::TBlowfishCipher cipher;
    cipher.SetKeyFromPassword("benchmark");
    std::vector<std::uint8_t> plain(statlume::RawDataSize, 0x54);
    std::vector<std::uint8_t> out(plain.size());
    for (auto _ : state) {
        cipher.Encrypt(plain.data(), out.data(), plain.size());
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * plain.size()));
}
BENCHMARK(BM_EncryptRecord);

void BM_DecryptRecord(benchmark::State& state)
{
    statlume::TBlowfishCipher cipher;
    cipher.SetKeyFromPassword("benchmark");
    std::vector<std::uint8_t> buffer(statlume::RawDataSize, 0x54);
    for (auto _ : state) {
        cipher.Decrypt(buffer.data(), buffer.size());
        benchmark::DoNotOptimize(buffer.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * buffer.size()));
}
BENCHMARK(BM_DecryptRecord);

void BM_EncryptBuffer(benchmark::State& state)
{
    statlume::TBlowfishCipher cipher;
    cipher.SetKeyFromPassword("benchmark");
    std::vector<std::uint8_t> buffer(static_cast<std::size_t>(state.range(0)), 0x54);
    for (auto _ : state) {
        cipher.Encrypt(buffer.data(), buffer.data(), buffer.size());
        benchmark::DoNotOptimize(buffer.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * buffer.size()));
}
BENCHMARK(BM_EncryptBuffer)->Arg(1 << 20);

void BM_KeySetUp(benchmark::State& state)
{
    statlume::TBlowfishCipher cipher;
    for (auto _ : state) {
        cipher.SetKeyFromPassword("benchmark");
        benchmark::DoNotOptimize(cipher.IV().data());
    }
}
BENCHMARK(BM_KeySetUp);

} // namespace

BENCHMARK_MAIN();
