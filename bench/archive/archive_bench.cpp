// Reading 200 media-like files (PNG-like: already compressed, so nearly
// incompressible; WAV-like: 16-bit stereo tones) of 50 MB in all, three ways:
// loose from disk, resolved out of the media archive, and the bare LZO1X
// decompression against `lzop -d` over the same bytes. Everything comes from
// the page cache; each figure is the median of several passes.
//
//   build-rel/bench/archive/bench_archive [passes]
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "runtime/files/archive.h"
#include <moxtril.h>
#include "runtime/files/rtfile.h"

namespace fs = std::filesystem;
using namespace mxt;

namespace {

struct Media {
  std::string name;
  std::string bytes;
};

uint64_t g_state = 0x9E3779B97F4A7C15ull;
uint32_t next_random() {
  g_state ^= g_state << 13;
  g_state ^= g_state >> 7;
  g_state ^= g_state << 17;
  return static_cast<uint32_t>(g_state);
}

// A PNG signature and header, then what deflate leaves: bytes with no
// structure an LZ coder could use.
std::string png_like(size_t size) {
  std::string s("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16);
  while (s.size() < size) s.push_back(static_cast<char>(next_random() >> 8));
  s.resize(size);
  return s;
}

// A RIFF header, then two channels of 16-bit samples: a tone with a little noise.
std::string wav_like(size_t size, double hz) {
  std::string s("RIFF\0\0\0\0WAVEfmt \x10\0\0\0\x01\0\x02\0\x44\xac\0\0\x10\xb1\x02\0\x04\0\x10\0data\0\0\0\0", 44);
  for (size_t i = 0; s.size() < size; ++i) {
    const double t = static_cast<double>(i) / 44100.0;
    const auto v = static_cast<int16_t>(9000.0 * std::sin(2 * M_PI * hz * t) + static_cast<double>(next_random() % 64));
    for (int ch = 0; ch < 2; ++ch) {
      s.push_back(static_cast<char>(v & 0xFF));
      s.push_back(static_cast<char>((v >> 8) & 0xFF));
    }
  }
  s.resize(size);
  return s;
}

std::vector<Media> make_media() {
  std::vector<Media> media;
  for (int i = 0; i < 200; ++i) {
    const size_t size = 131072 + static_cast<size_t>(i % 9) * 32768;  // 128..384 KiB, 50 MB in all
    if (i % 2 == 0)
      media.push_back({"tile" + std::to_string(i) + ".png", png_like(size)});
    else
      media.push_back({"sound" + std::to_string(i) + ".wav", wav_like(size, 110.0 + i * 7.0)});
  }
  return media;
}

bool write(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  return static_cast<bool>(out.write(bytes.data(), static_cast<std::streamsize>(bytes.size())));
}

// Asks the kernel to drop the cached pages of every file below `dir`, so the
// next pass reads from the disk. Clean pages go without root rights.
void evict(const fs::path& dir) {
  for (const auto& e : fs::recursive_directory_iterator(dir)) {
    if (!e.is_regular_file()) continue;
    const int fd = ::open(e.path().c_str(), O_RDONLY);
    if (fd < 0) continue;
    ::fdatasync(fd);
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
    ::close(fd);
  }
}

template <typename Pass>
double median_seconds(int passes, Pass&& pass, const fs::path& cold_dir = {}) {
  pass();  // warm-up
  std::vector<double> times;
  for (int i = 0; i < passes; ++i) {
    if (!cold_dir.empty()) evict(cold_dir);
    const auto t0 = std::chrono::steady_clock::now();
    pass();
    times.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

// What a loader does with a media name: resolve it, open it, read it whole.
int64_t load_all(const std::vector<Media>& media, std::vector<uint8_t>& buffer) {
  int64_t total = 0;
  for (const Media& m : media) {
    RtString name(m.name.c_str());
    RtFile f;
    if (!mxt_resolve_file(name) || !open_read(f, name)) {
      std::fprintf(stderr, "cannot load %s\n", m.name.c_str());
      std::exit(1);
    }
    buffer.resize(static_cast<size_t>(f.size));
    if (!read_bytes(f, buffer.data(), f.size)) std::fprintf(stderr, "read failed\n");
    total += f.size;
    close(f);
  }
  return total;
}

}  // namespace

int main(int argc, char** argv) {
  const int passes = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
  const fs::path root = fs::temp_directory_path() / ("mxt_bench_archive_" + std::to_string(::getpid()));
  fs::create_directories(root / "loose");
  fs::create_directories(root / "packed");

  const std::vector<Media> media = make_media();
  int64_t total = 0;
  std::string all;
  ArchiveBuilder builder(ArchiveBuilder::Level::best);
  for (const Media& m : media) {
    write(root / "loose" / m.name, m.bytes);
    builder.add(m.name, m.bytes.data(), static_cast<int64_t>(m.bytes.size()));
    all += m.bytes;
    total += static_cast<int64_t>(m.bytes.size());
  }
  const std::string archive = builder.finish();
  write(root / "packed" / "media.sbx", archive);
  write(root / "all.bin", all);
  const double mb = static_cast<double>(total) / 1e6;
  std::printf("%zu files, %.1f MB, archive %.1f MB (%.1f%%)\n", media.size(), mb,
              static_cast<double>(archive.size()) / 1e6, 100.0 * static_cast<double>(archive.size()) / static_cast<double>(total));

  std::vector<uint8_t> buffer;
  fs::current_path(root / "loose");
  const double loose = median_seconds(passes, [&] { load_all(media, buffer); });
  const double loose_cold = median_seconds(passes, [&] { load_all(media, buffer); }, root / "loose");

  fs::current_path(root / "packed");
  create_archive_slots();
  mxt_set_archive("media.sbx", "");
  const double packed = median_seconds(passes, [&] { load_all(media, buffer); });
  const double packed_cold = median_seconds(passes, [&] { load_all(media, buffer); }, root / "packed");
  release_archive_slots();

  // The bare decompression: every entry's stream, already in memory.
  ArchiveReader reader;
  const RtString image_name = mxt_register_memory_file(archive.data(), static_cast<int64_t>(archive.size()));
  reader.open(image_name);
  struct Stream {
    const uint8_t* src;
    int64_t packed, unpacked;
  };
  std::vector<Stream> streams;
  for (const ArchiveEntry& e : reader.entries()) {
    int64_t p = 0, u = 0;
    reader.stored_sizes(e, p, u);
    streams.push_back({reinterpret_cast<const uint8_t*>(archive.data()) + e.data_start + 4, p, u});
  }
  std::vector<uint8_t> out(1 << 20);
  const double decompress = median_seconds(passes, [&] {
    for (const Stream& s : streams) lzo_decompress(s.src, s.packed, out.data(), s.unpacked);
  });
  reader.close();
  mxt_unregister_memory_file(archive.data());

  std::printf("%-44s %8.1f MB/s\n", "loose files, cached (resolve, open, read)", mb / loose);
  std::printf("%-44s %8.1f MB/s   %.2fx the loose time\n", "archive, cached (resolve = extract, ...)",
              mb / packed, packed / loose);
  std::printf("%-44s %8.1f MB/s\n", "loose files, from disk", mb / loose_cold);
  std::printf("%-44s %8.1f MB/s   %.2fx the loose time (goal <= 1.5)\n", "archive, from disk", mb / packed_cold,
              packed_cold / loose_cold);
  std::printf("%-44s %8.1f MB/s\n", "LZO1X decompression, in memory", mb / decompress);

  const std::string lzo_file = (root / "all.lzo").string();
  const std::string pack_cmd = "lzop -9 -F -q -f -o '" + lzo_file + "' '" + (root / "all.bin").string() + "' 2>/dev/null";
  if (std::system(pack_cmd.c_str()) == 0) {
    const std::string unpack_cmd = "lzop -d -c -q '" + lzo_file + "' > /dev/null";
    const double lzop = median_seconds(passes, [&] {
      if (std::system(unpack_cmd.c_str()) != 0) std::fprintf(stderr, "lzop -d failed\n");
    });
    std::printf("%-44s %8.1f MB/s   ours takes %.2fx lzop's time (goal <= 1.2)\n", "lzop -d (same bytes, no checksum)",
                mb / lzop, decompress / lzop);
  } else {
    std::printf("lzop is not installed: no lzop baseline (apt-get install lzop)\n");
  }
  fs::current_path(fs::temp_directory_path());
  fs::remove_all(root);
  return 0;
}
