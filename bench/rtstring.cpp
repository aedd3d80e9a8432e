// RtString against std::string: appending one character ten million times,
// and building a 1 MB text by repeated "+". Run: build-rel/bench/bench_rtstring
//
// glibc's malloc adapts its mmap and trim thresholds to the sizes it has seen
// freed, so whether a 16 MB buffer comes back without page faults in the next
// iteration depends on the exact sizes and on which benchmark ran before.
// That would measure the allocator's luck rather than the strings, so the
// thresholds are fixed up front (both strings then reuse heap memory alike).
// Set MXT_BENCH_ADAPTIVE_MALLOC=1 to see the default behaviour.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <cstdlib>

#include <string>

#include "runtime/types/rtstring.h"

namespace {

constexpr int kChars = 10'000'000;
constexpr size_t kTarget = 1 << 20;

void BM_AppendChar_RtString(benchmark::State& state) {
  for (auto _ : state) {
    RtString s;
    for (int i = 0; i < kChars; ++i) s.append_char(static_cast<char>('a' + (i & 15)));
    benchmark::DoNotOptimize(s.data);
  }
  state.SetItemsProcessed(state.iterations() * kChars);
}

void BM_AppendChar_StdString(benchmark::State& state) {
  for (auto _ : state) {
    std::string s;
    for (int i = 0; i < kChars; ++i) s.push_back(static_cast<char>('a' + (i & 15)));
    benchmark::DoNotOptimize(s.data());
  }
  state.SetItemsProcessed(state.iterations() * kChars);
}

// s = s + piece: each step builds a new string, as game code written with
// value strings does.
void BM_Concat_RtString(benchmark::State& state) {
  const RtString piece(std::string(static_cast<size_t>(state.range(0)), 'x').c_str());
  for (auto _ : state) {
    RtString s;
    while (s.length < kTarget) s = s + piece;
    benchmark::DoNotOptimize(s.data);
  }
}

void BM_Concat_StdString(benchmark::State& state) {
  const std::string piece(static_cast<size_t>(state.range(0)), 'x');
  for (auto _ : state) {
    std::string s;
    while (s.size() < kTarget) s = s + piece;
    benchmark::DoNotOptimize(s.data());
  }
}

// s = std::move(s) + piece: the same with the left side handed over.
void BM_ConcatMove_RtString(benchmark::State& state) {
  const RtString piece(std::string(static_cast<size_t>(state.range(0)), 'x').c_str());
  for (auto _ : state) {
    RtString s;
    while (s.length < kTarget) s = std::move(s) + piece;
    benchmark::DoNotOptimize(s.data);
  }
}

void BM_ConcatMove_StdString(benchmark::State& state) {
  const std::string piece(static_cast<size_t>(state.range(0)), 'x');
  for (auto _ : state) {
    std::string s;
    while (s.size() < kTarget) s = std::move(s) + piece;
    benchmark::DoNotOptimize(s.data());
  }
}

}  // namespace

BENCHMARK(BM_AppendChar_RtString)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AppendChar_StdString)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Concat_RtString)->Arg(1024)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Concat_StdString)->Arg(1024)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ConcatMove_RtString)->Arg(16)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ConcatMove_StdString)->Arg(16)->Unit(benchmark::kMillisecond);
int main(int argc, char** argv) {
  if (!std::getenv("MXT_BENCH_ADAPTIVE_MALLOC")) {
    mallopt(M_MMAP_THRESHOLD, 256 << 20);
    mallopt(M_TRIM_THRESHOLD, 512 << 20);
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
