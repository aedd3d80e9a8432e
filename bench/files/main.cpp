// File channels against the plain loops a C or C++ programmer would write,
// over the same files in the same run (all from the page cache):
//
//   - a 64 MB file of 32-bit integers: mxt_read_int32 per value against
//     fread of one integer at a time from a stdio FILE;
//   - a text file of 1,000,000 lines: mxt_read_line against std::getline;
//   - mxt_ini_get on an INI file of 10,000 keys, per call.
//
// Each figure is the median of several passes; the goal is channels within
// 2x of the plain loops.
//
//   build-rel/bench/files/bench_files [passes]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "runtime/base/singletons.h"
#include "runtime/files/rtfile.h"
#include "runtime/files/storage.h"
#include <moxtril.h>

namespace fs = std::filesystem;

namespace {

constexpr int64_t kInts = (int64_t{64} << 20) / 4;
constexpr int kLines = 1000000;
constexpr int kIniKeys = 10000;

double now_s() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

template <typename F>
double median_seconds(int passes, F&& pass) {
  std::vector<double> t;
  for (int i = 0; i < passes; ++i) {
    const double start = now_s();
    pass();
    t.push_back(now_s() - start);
  }
  std::sort(t.begin(), t.end());
  return t[t.size() / 2];
}

volatile int64_t g_sink = 0;

void report(const char* what, double ours, double plain, const char* plain_name) {
  std::printf("%-34s channel %8.1f ms   %-16s %8.1f ms   ratio %.2f\n", what, ours * 1e3, plain_name, plain * 1e3,
              ours / plain);
}

}  // namespace

int main(int argc, char** argv) {
  const int passes = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  mxt::rt.memory_images = new mxt::MemoryImages();
  mxt::create_file_state();
  const fs::path dir = fs::temp_directory_path() / ("mxt-bench-files-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  const std::string ints = (dir / "ints.bin").string();
  const std::string lines = (dir / "lines.txt").string();
  const std::string ini = (dir / "big.ini").string();

  {
    std::vector<int32_t> v(static_cast<size_t>(kInts));
    for (int64_t i = 0; i < kInts; ++i) v[static_cast<size_t>(i)] = static_cast<int32_t>(i * 2654435761u);
    std::ofstream(ints, std::ios::binary).write(reinterpret_cast<const char*>(v.data()),
                                                 static_cast<std::streamsize>(v.size() * 4));
    std::ofstream text(lines, std::ios::binary);
    for (int i = 0; i < kLines; ++i) text << "line " << i << " of the text, some words after it\r\n";
    std::ofstream settings(ini, std::ios::binary);
    settings << "[Keys]\r\n";
    for (int i = 0; i < kIniKeys; ++i) settings << "key" << i << "=value " << i << "\r\n";
  }

  std::printf("files: %d passes, median; %s\n", passes, dir.c_str());
  const double channel_ints = median_seconds(passes, [&] {
    mxt_open_file(0, RtString(ints.c_str()), 1);
    int64_t sum = 0;
    for (int64_t i = 0; i < kInts; ++i) {
      int v = 0;
      mxt_read_int32(0, v);
      sum += v;
    }
    mxt_close_file(0);
    g_sink = sum;
  });
  const double fread_ints = median_seconds(passes, [&] {
    std::FILE* f = std::fopen(ints.c_str(), "rb");
    int64_t sum = 0;
    int32_t v = 0;
    while (std::fread(&v, 4, 1, f) == 1) sum += v;
    std::fclose(f);
    g_sink = sum;
  });
  report("64 MB as 32-bit integers", channel_ints, fread_ints, "fread");

  const double channel_lines = median_seconds(passes, [&] {
    mxt_open_file(0, RtString(lines.c_str()), 1);
    RtString line;
    int64_t bytes = 0;
    while (!mxt_end_of_file(0)) {
      mxt_read_line(0, line);
      bytes += line.length;
    }
    mxt_close_file(0);
    g_sink = bytes;
  });
  const double getline_lines = median_seconds(passes, [&] {
    std::ifstream in(lines, std::ios::binary);
    std::string line;
    int64_t bytes = 0;
    while (std::getline(in, line)) bytes += static_cast<int64_t>(line.size());
    g_sink = bytes;
  });
  report("1,000,000 lines", channel_lines, getline_lines, "std::getline");

  mxt_ini_open(RtString(ini.c_str()));
  constexpr int kGets = 20000;
  uint32_t state = 1;
  std::vector<RtString> keys;
  for (int i = 0; i < kGets; ++i) {
    state = state * 1664525u + 1013904223u;
    keys.push_back(RtString(("key" + std::to_string(state % kIniKeys)).c_str()));
  }
  const double gets = median_seconds(passes, [&] {
    int64_t n = 0;
    for (const RtString& k : keys) n += mxt_ini_get("keys", k, "").length;
    g_sink = n;
  });
  const RtString first("key0"), last("key9999");
  const double first_gets = median_seconds(passes, [&] {
    for (int i = 0; i < kGets; ++i) g_sink = mxt_ini_get("keys", first, "").length;
  });
  const double last_gets = median_seconds(passes, [&] {
    for (int i = 0; i < kGets; ++i) g_sink = mxt_ini_get("keys", last, "").length;
  });
  std::printf("mxt_ini_get, %d keys: %.0f ns a call at random keys, %.0f ns for the first, %.0f ns for the last\n",
              kIniKeys, gets / kGets * 1e9, first_gets / kGets * 1e9, last_gets / kGets * 1e9);
  mxt_ini_open("");
  fs::remove_all(dir);
  return 0;
}
