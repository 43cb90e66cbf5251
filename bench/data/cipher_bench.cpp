// Cipher throughput on a 1 MiB value, both ways.
#include <benchmark/benchmark.h>

#include <string>

#include "cipher/crypt_lib.h"

namespace {

using kivo::cipher::TCryptLib;

std::u16string Value(std::size_t length) {
    std::u16string value(length, u' ');
    for (std::size_t i = 0; i < length; ++i) value[i] = static_cast<char16_t>(32 + (i * 31) % 95);
    return value;
}

constexpr std::size_t kMiB = 1 << 20;

void BM_Encrypt1MiB(benchmark::State& state) {
    const std::u16string value = Value(kMiB);
    TCryptLib lib;
    lib.SetPassword(u"518204");
    for (auto _ : state) benchmark::DoNotOptimize(lib.EncryptStr(value));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kMiB));
}
BENCHMARK(BM_Encrypt1MiB)->Unit(benchmark::kMillisecond);

void BM_Decrypt1MiB(benchmark::State& state) {
    TCryptLib lib;
    lib.SetPassword(u"518204");
    const std::u16string text = lib.EncryptStr(Value(kMiB));
    for (auto _ : state) benchmark::DoNotOptimize(lib.DecryptStr(text));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kMiB));
}
BENCHMARK(BM_Decrypt1MiB)->Unit(benchmark::kMillisecond);

}  // namespace
