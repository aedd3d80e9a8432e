// Arrays, random numbers and text search against the standard library, in
// one run: build-rel/bench/bench_types
//
// - a 1000 x 1000 RtArray<int> filled and summed through checked access,
//   against std::vector<int> with unchecked indexing (goal: within 2x), and
//   against std::vector::at;
// - mxt_rnd draws against std::mt19937 (for information: every draw is a full
//   generator pass by design);
// - mxt_find_text and mxt_replace_text on a 1 MB text against std::string
//   find loops (goal: within 2x). For a replacement of another length the
//   in-place std::string loop moves the tail at every hit, so a loop that
//   builds a new string is measured as the fair baseline too.
#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <vector>

#include "runtime/types/numbers.h"
#include "runtime/types/rtarray.h"
#include "runtime/types/string_ops.h"

namespace {

constexpr int kSide = 1000;

// Fills the grid column by column (the first index fastest) and sums it,
// every cell reached through `cell(i, j)`.
template <class Cell>
void fill_and_sum(benchmark::State& state, Cell cell) {
  for (auto _ : state) {
    for (int j = 0; j < kSide; ++j)
      for (int i = 0; i < kSide; ++i) cell(i, j) = i ^ j;
    int64_t sum = 0;
    for (int j = 0; j < kSide; ++j)
      for (int i = 0; i < kSide; ++i) sum += cell(i, j);
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * kSide * kSide);
}

void BM_Array2D_RtArrayChecked(benchmark::State& state) {
  RtArray<int> a;
  mxt_dim(a, kSide, kSide);
  fill_and_sum(state, [&](int i, int j) -> int& { return a(i, j); });
}

void BM_Array2D_VectorUnchecked(benchmark::State& state) {
  std::vector<int> v(static_cast<size_t>(kSide) * kSide);
  fill_and_sum(state, [&](int i, int j) -> int& { return v[static_cast<size_t>(i + j * kSide)]; });
}

// std::vector's own checked access, for comparison of checked with checked.
void BM_Array2D_VectorAtChecked(benchmark::State& state) {
  std::vector<int> v(static_cast<size_t>(kSide) * kSide);
  fill_and_sum(state, [&](int i, int j) -> int& { return v.at(static_cast<size_t>(i + j * kSide)); });
}

void BM_Random_MxtRnd(benchmark::State& state) {
  mxt_seed_rnd(1);
  for (auto _ : state) benchmark::DoNotOptimize(mxt_rnd(1000));
  state.SetItemsProcessed(state.iterations());
}

void BM_Random_Mt19937(benchmark::State& state) {
  std::mt19937 mt(1);
  for (auto _ : state) benchmark::DoNotOptimize(mt() % 1001u);
  state.SetItemsProcessed(state.iterations());
}

// About 1 MB of words; "fox" is one word in twenty.
const std::string& sample_text() {
  static const std::string text = [] {
    const char* words[] = {"the", "quick", "brown", "fox", "jumps", "over", "lazy", "dog", "and", "runs",
                           "far", "into", "green", "hills", "where", "rivers", "meet", "under", "stars", "sleep"};
    std::mt19937 rng(3);
    std::string t;
    while (t.size() < (1u << 20)) {
      t += words[rng() % 20];
      t += ' ';
    }
    return t;
  }();
  return text;
}

void BM_FindAll_Mxt(benchmark::State& state) {
  const RtString text(sample_text().c_str());
  const RtString pattern("fox");
  for (auto _ : state) {
    int hits = 0;
    for (int at = mxt_find_text(text, pattern, 0); at >= 0; at = mxt_find_text(text, pattern, at + 1)) ++hits;
    benchmark::DoNotOptimize(hits);
  }
}

void BM_FindAll_Std(benchmark::State& state) {
  const std::string& text = sample_text();
  const std::string pattern("fox");
  for (auto _ : state) {
    int hits = 0;
    for (size_t at = text.find(pattern); at != std::string::npos; at = text.find(pattern, at + 1)) ++hits;
    benchmark::DoNotOptimize(hits);
  }
}

void BM_FindAbsent_Mxt(benchmark::State& state) {
  const RtString text(sample_text().c_str());
  const RtString pattern("hills where rivers meet under green stars");
  for (auto _ : state) benchmark::DoNotOptimize(mxt_find_text(text, pattern, 0));
}

void BM_FindAbsent_Std(benchmark::State& state) {
  const std::string& text = sample_text();
  const std::string pattern("hills where rivers meet under green stars");
  for (auto _ : state) benchmark::DoNotOptimize(text.find(pattern));
}

void BM_Replace_Mxt(benchmark::State& state, const char* replacement) {
  const RtString text(sample_text().c_str());
  const RtString pattern("fox"), with(replacement);
  for (auto _ : state) {
    RtString r = mxt_replace_text(text, pattern, with);
    benchmark::DoNotOptimize(r.data);
  }
}

void BM_Replace_StdInPlace(benchmark::State& state, const char* replacement) {
  const std::string pattern("fox"), with(replacement);
  for (auto _ : state) {
    std::string r = sample_text();
    for (size_t at = r.find(pattern); at != std::string::npos; at = r.find(pattern, at + with.size()))
      r.replace(at, pattern.size(), with);
    benchmark::DoNotOptimize(r.data());
  }
}

void BM_Replace_StdBuild(benchmark::State& state, const char* replacement) {
  const std::string& text = sample_text();
  const std::string pattern("fox"), with(replacement);
  for (auto _ : state) {
    std::string r;
    r.reserve(text.size() + text.size() / 8);
    size_t done = 0;
    for (size_t at = text.find(pattern); at != std::string::npos; at = text.find(pattern, done)) {
      r.append(text, done, at - done);
      r += with;
      done = at + pattern.size();
    }
    r.append(text, done);
    benchmark::DoNotOptimize(r.data());
  }
}

}  // namespace

BENCHMARK(BM_Array2D_RtArrayChecked)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Array2D_VectorUnchecked)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Array2D_VectorAtChecked)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Random_MxtRnd);
BENCHMARK(BM_Random_Mt19937);
BENCHMARK(BM_FindAll_Mxt)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FindAll_Std)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FindAbsent_Mxt)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FindAbsent_Std)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Replace_Mxt, same_length, "cat")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Replace_StdInPlace, same_length, "cat")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Replace_StdBuild, same_length, "cat")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Replace_Mxt, longer, "wolf")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Replace_StdInPlace, longer, "wolf")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Replace_StdBuild, longer, "wolf")->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
