// Loading a 1,000,000-vertex object, in the same run as its baselines (all
// files from the page cache):
//
//   - binary .ddd version 2.0 (one frame) through load_ddd against reading
//     the same bytes into memory with one fread: the I/O floor. Goal: 3x.
//     Also against the floor of the result: a new list of 1,000,000
//     MeshVertex (92 bytes each, 92 MB) written once, which is what the
//     loader cannot do without, however fast it reads.
//   - the text form of the same object (version 1.1 with normals, a face
//     list of triangles over the vertices) through load_ddd against one
//     fread of the file and strtod over every token of it. Goal: 1.5x.
//
// Each figure is the median of several passes.
//
//   build-rel/bench/mesh/bench_mesh [passes [binary|text]]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include <unistd.h>

#include "runtime/base/singletons.h"
#include "runtime/files/rtfile.h"
#include "runtime/gfx3d/mesh.h"

namespace fs = std::filesystem;

namespace {

constexpr int kVertices = 1000000;

double now_s() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

template <typename F>
double median_of(int passes, F&& run) {
  std::vector<double> t;
  for (int i = 0; i < passes; ++i) {
    const double start = now_s();
    run();
    t.push_back(now_s() - start);
  }
  std::sort(t.begin(), t.end());
  return t[t.size() / 2];
}

template <typename T>
void put(std::string& s, T v) {
  s.append(reinterpret_cast<const char*>(&v), sizeof v);
}

struct Point {
  float x, y, z;
  uint8_t normal, colour;
};

std::vector<Point> make_points() {
  std::mt19937 rng(7);
  std::uniform_real_distribution<float> pos(-100.0f, 100.0f);
  std::vector<Point> points(kVertices);
  for (Point& p : points) {
    p = {pos(rng), pos(rng), pos(rng), static_cast<uint8_t>(rng() % 162), static_cast<uint8_t>(rng() % 4)};
  }
  return points;
}

std::string binary_file(const std::vector<Point>& points) {
  std::string s;
  put(s, int32_t{13021975});
  put(s, 2.0);
  put(s, int32_t{1});
  put(s, int32_t{4});
  put(s, int32_t{0});
  for (const uint32_t c : {0x0000FFu, 0x00FF00u, 0xFF0000u, 0xFFFFFFu}) put(s, c);
  put(s, int32_t{kVertices});
  for (const Point& p : points) {
    put(s, p.x);
    put(s, p.y);
    put(s, p.z);
    put(s, p.normal);
    put(s, p.colour);
  }
  return s;
}

std::string text_file(const std::vector<Point>& points) {
  std::string s = "DDDA 1.1\n# a benchmark object\n0\n";
  const int faces = kVertices / 3;
  s += std::to_string(faces) + "\n";
  char line[160];
  for (int f = 0; f < faces; ++f) {
    std::snprintf(line, sizeof line, "%d %d %d 3 %d 0 %d 0 %d 0\n", (f * 7) % 256, (f * 13) % 256, 40, 3 * f,
                  3 * f + 1, 3 * f + 2);
    s += line;
  }
  s += "1\n" + std::to_string(kVertices) + "\n";
  for (const Point& p : points) {
    const float* n = mxt::kNormalTable[p.normal];
    std::snprintf(line, sizeof line, "%.6f %.6f %.6f %.6f %.6f %.6f\n", static_cast<double>(p.x),
                  static_cast<double>(p.y), static_cast<double>(p.z), static_cast<double>(n[0]),
                  static_cast<double>(n[1]), static_cast<double>(n[2]));
    s += line;
  }
  return s;
}

std::vector<char> fread_all(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) std::abort();
  std::fseek(f, 0, SEEK_END);
  const long size = std::ftell(f);
  std::fseek(f, 0, SEEK_SET);
  std::vector<char> bytes(static_cast<size_t>(size) + 1);
  if (std::fread(bytes.data(), 1, static_cast<size_t>(size), f) != static_cast<size_t>(size)) std::abort();
  std::fclose(f);
  bytes[static_cast<size_t>(size)] = 0;
  return bytes;
}

volatile double g_sink = 0;

}  // namespace

int main(int argc, char** argv) {
  const int passes = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
  const std::string only = argc > 2 ? argv[2] : "";  // one half alone, for a profiler
  mxt::rt.memory_images = new mxt::MemoryImages();
  const fs::path dir = fs::temp_directory_path() / ("mxt-bench-mesh-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  const std::string bin = (dir / "object.ddd").string();
  const std::string txt = (dir / "object.txt.ddd").string();
  {
    const std::vector<Point> points = make_points();
    const std::string b = binary_file(points), t = text_file(points);
    std::FILE* f = std::fopen(bin.c_str(), "wb");
    std::fwrite(b.data(), 1, b.size(), f);
    std::fclose(f);
    f = std::fopen(txt.c_str(), "wb");
    std::fwrite(t.data(), 1, t.size(), f);
    std::fclose(f);
  }

  mxt::MeshObject mesh;
  const auto load = [&](const std::string& path) {
    if (!mxt::load_ddd(mesh, RtString(path.c_str()))) std::abort();
    g_sink = g_sink + mesh.frames[0].vertices.back().x;
    mxt::clear_mesh(mesh);
  };
  load(bin);  // warm the page cache
  load(txt);
  if (mesh.loaded != 0) std::abort();

  double floor_s = 0, output_s = 0, binary_s = 0, strtod_s = 0, text_s = 0;
  if (only != "text") {
    floor_s = median_of(passes, [&] { g_sink = g_sink + fread_all(bin)[100]; });
    output_s = median_of(passes, [&] {
      std::vector<mxt::MeshVertex> out;
      out.reserve(kVertices);
      for (int i = 0; i < kVertices; ++i) {
        mxt::MeshVertex v;
        v.x = static_cast<float>(i);
        out.push_back(v);
      }
      g_sink = g_sink + out.back().x;
    });
    binary_s = median_of(passes, [&] { load(bin); });
  }
  if (only != "binary") {
    strtod_s = median_of(passes, [&] {
      const std::vector<char> bytes = fread_all(txt);
      const char* p = bytes.data();
      double sum = 0;
      for (;;) {
        while (*p == ' ' || *p == '\n' || *p == '\r' || *p == '\t') ++p;
        if (!*p) break;
        if (*p == '#') {  // the comment and the magic word are not numbers
          while (*p && *p != '\n') ++p;
          continue;
        }
        char* end = nullptr;
        sum += std::strtod(p, &end);
        if (end == p) {
          while (*p && *p != ' ' && *p != '\n') ++p;
        } else {
          p = end;
        }
      }
      g_sink = g_sink + sum;
    });
    text_s = median_of(passes, [&] { load(txt); });
  }

  const double mb_bin = static_cast<double>(fs::file_size(bin)) / 1e6;
  const double mb_txt = static_cast<double>(fs::file_size(txt)) / 1e6;
  if (only != "text") {
    std::printf("binary .ddd, %d vertices, %.1f MB: fread %.2f ms, load_ddd %.2f ms: %.2fx (goal 3x)\n", kVertices,
                mb_bin, floor_s * 1e3, binary_s * 1e3, binary_s / floor_s);
    std::printf("  against writing the %.0f MB result alone (%.2f ms): %.2fx\n",
                static_cast<double>(kVertices) * sizeof(mxt::MeshVertex) / 1e6, output_s * 1e3, binary_s / output_s);
  }
  if (only != "binary")
    std::printf("text .ddd, %d vertices + %d corners, %.1f MB: fread + strtod %.2f ms, load_ddd %.2f ms: %.2fx (goal 1.5x)\n",
                kVertices, kVertices, mb_txt, strtod_s * 1e3, text_s * 1e3, text_s / strtod_s);
  fs::remove_all(dir);
  return 0;
}
