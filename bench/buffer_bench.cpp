// The buffer operations beside memcpy of the same size: the XOR pass is the
// whole cost of a call, so memcpy is the speed to match.
//
//   buffer_bench --benchmark_filter=64M
#include "KestraneEncrypt.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

constexpr int kSizes[] = {4 << 10, 256 << 10, 64 << 20};

std::vector<char> Source(std::size_t n)
{
    std::vector<char> bytes(n);
    for (std::size_t i = 0; i < n; ++i) {
        bytes[i] = static_cast<char>(i * 131U);
    }
    return bytes;
}

// A valid record (key index 5) of n bytes.
std::vector<char> Record(std::size_t n)
{
    std::vector<char> bytes = Source(n);
    bytes[0] = 5;
    return bytes;
}

void Finish(benchmark::State& state, std::size_t n)
{
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(n));
}

void BM_Memcpy(benchmark::State& state)
{
    const auto n = static_cast<std::size_t>(state.range(0));
    const std::vector<char> source = Source(n);
    std::vector<char> out(n + 1);
    for (auto _ : state) {
        std::memcpy(out.data(), source.data(), n);
        benchmark::ClobberMemory();
    }
    Finish(state, n);
}

// The fair baseline for the allocating calls: the same copy into fresh memory.
void BM_MemcpyIntoFreshMalloc(benchmark::State& state)
{
    const auto n = static_cast<std::size_t>(state.range(0));
    const std::vector<char> source = Source(n);
    for (auto _ : state) {
        char* out = static_cast<char*>(std::malloc(n + 1));
        std::memcpy(out, source.data(), n);
        benchmark::DoNotOptimize(out);
        benchmark::ClobberMemory();
        std::free(out);
    }
    Finish(state, n);
}

template <bool Encrypt>
void RunCodec(benchmark::State& state, bool callerBuffer)
{
    const auto n = static_cast<std::size_t>(state.range(0));
    const std::vector<char> source = Encrypt ? Source(n) : Record(n);
    std::vector<char> out(n + 1);
    int length = 0;
    for (auto _ : state) {
        char* result = callerBuffer ? out.data() : nullptr;
        const bool ok =
            Encrypt
                ? CKestraneEncrypt::MemEncrypt(source.data(), static_cast<int>(n), result, length)
                : CKestraneEncrypt::MemDecrypt(source.data(), static_cast<int>(n), result, length);
        if (!ok) {
            state.SkipWithError("call failed");
        }
        benchmark::DoNotOptimize(result);
        benchmark::ClobberMemory();
        if (!callerBuffer) {
            CKestraneEncrypt::FreeResult(result);
        }
    }
    Finish(state, n);
}

void BM_MemEncrypt_CallerBuffer(benchmark::State& state)
{
    RunCodec<true>(state, true);
}
void BM_MemDecrypt_CallerBuffer(benchmark::State& state)
{
    RunCodec<false>(state, true);
}
void BM_MemEncrypt_Allocating(benchmark::State& state)
{
    RunCodec<true>(state, false);
}
void BM_MemDecrypt_Allocating(benchmark::State& state)
{
    RunCodec<false>(state, false);
}

void Sizes(benchmark::internal::Benchmark* b)
{
    for (const int n : kSizes) {
        b->Arg(n);
    }
}

BENCHMARK(BM_Memcpy)->Apply(Sizes);
BENCHMARK(BM_MemEncrypt_CallerBuffer)->Apply(Sizes);
BENCHMARK(BM_MemDecrypt_CallerBuffer)->Apply(Sizes);
BENCHMARK(BM_MemcpyIntoFreshMalloc)->Apply(Sizes);
BENCHMARK(BM_MemEncrypt_Allocating)->Apply(Sizes);
BENCHMARK(BM_MemDecrypt_Allocating)->Apply(Sizes);

}  // namespace

BENCHMARK_MAIN();
