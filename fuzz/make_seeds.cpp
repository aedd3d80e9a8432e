// Writes the made part of the seed corpus: small valid inputs of every kind
// each parser reads, built with the test suite's image helpers, libjpeg and
// the runtime's own archive builder and number and text writers. The
// corpus is committed; run this only to remake those seeds:
//
//   cmake --build build-fuzz --target fuzz_seeds
//   build-fuzz/fuzz/fuzz_seeds fuzz/corpus
//
// Hostile inputs (the regression files, what campaigns found) are copied in
// by hand and are not touched here.
#include <cstdio>
#include <cstdlib>
// libjpeg's header needs size_t and FILE declared before it.
#include <png.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "runtime/files/archive.h"
#include "runtime/types/bytes.h"
#include "runtime/types/types.h"
#include "support/images.h"
#include "support/wav.h"

namespace fs = std::filesystem;
using mxt_test::Rgb;

namespace {

fs::path g_root;
int g_written = 0;

void seed(const char* target, const std::string& name, const std::string& bytes) {
  const fs::path dir = g_root / target;
  fs::create_directories(dir);
  std::ofstream out(dir / name, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out.flush()) {
    std::fprintf(stderr, "fuzz_seeds: cannot write %s\n", (dir / name).c_str());
    std::exit(1);
  }
  ++g_written;
}

std::vector<Rgb> grey_palette(int n) {
  std::vector<Rgb> p;
  for (int i = 0; i < n; ++i) {
    const auto v = static_cast<uint8_t>(i * 255 / (n > 1 ? n - 1 : 1));
    p.push_back({v, static_cast<uint8_t>(255 - v), 0xFF});
  }
  return p;
}

void bmp_seeds() {
  auto pattern = [](int x, int y) { return static_cast<uint32_t>(x + 3 * y); };
  for (const int bits : {1, 4, 8}) {
    mxt_test::BmpSpec s{.width = 7, .height = 3, .bits = bits};
    s.palette = grey_palette(1 << bits);
    s.pixel_data = mxt_test::bmp_rows(7, 3, bits, [&](int x, int y) { return pattern(x, y) % (1u << bits); });
    seed("bmp", "palette-" + std::to_string(bits) + ".bmp", mxt_test::build_bmp(s));
  }
  {
    mxt_test::BmpSpec s{.width = 5, .height = -3, .bits = 24};  // top-down rows
    s.pixel_data = mxt_test::bmp_rows(5, 3, 24, [](int x, int y) { return x == y ? 0xFF00FFu : 0x204080u * static_cast<uint32_t>(x); });
    seed("bmp", "rgb-24-top-down.bmp", mxt_test::build_bmp(s));
  }
  {
    mxt_test::BmpSpec s{.width = 4, .height = 2, .bits = 16, .compression = 3};
    s.masks = {0xF800, 0x07E0, 0x001F};
    s.pixel_data = mxt_test::bmp_rows(4, 2, 16, [](int x, int y) { return 0x1234u * static_cast<uint32_t>(x + y); });
    seed("bmp", "bitfields-565.bmp", mxt_test::build_bmp(s));
  }
  {
    mxt_test::BmpSpec s{.width = 3, .height = 2, .bits = 32, .info_size = 56, .compression = 3};
    s.masks = {0x00FF0000, 0x0000FF00, 0x000000FF};
    s.pixel_data = mxt_test::bmp_rows(3, 2, 32, [](int x, int) { return 0x80FF00FFu >> x; });
    seed("bmp", "bitfields-32-v3.bmp", mxt_test::build_bmp(s));
  }
  {
    mxt_test::BmpSpec s{.width = 3, .height = 2, .bits = 24, .info_size = 124};
    s.pixel_data = mxt_test::bmp_rows(3, 2, 24, [](int x, int y) { return 0x10101u * static_cast<uint32_t>(x * 40 + y); });
    seed("bmp", "rgb-24-v5.bmp", mxt_test::build_bmp(s));
  }
  {
    // The old header's palette is always full: 2^bits entries of 3 bytes.
    mxt_test::BmpSpec s{.width = 4, .height = 2, .bits = 4, .core_header = true};
    s.palette = grey_palette(16);
    s.pixel_data = mxt_test::bmp_rows(4, 2, 4, [](int x, int) { return static_cast<uint32_t>(x); });
    seed("bmp", "core-header-4.bmp", mxt_test::build_bmp(s));
  }
  {
    // RLE8: a run, an absolute run (odd, padded), a delta, end of line, end.
    mxt_test::BmpSpec s{.width = 8, .height = 3, .bits = 8, .compression = 1};
    s.palette = grey_palette(4);
    s.pixel_data = {3, 1, 0, 3, 2, 3, 1, 0, 0, 0, 0, 2, 1, 1, 2, 3, 0, 0, 0, 1};
    seed("bmp", "rle8.bmp", mxt_test::build_bmp(s));
  }
  {
    mxt_test::BmpSpec s{.width = 6, .height = 2, .bits = 4, .compression = 2};
    s.palette = grey_palette(16);
    s.pixel_data = {5, 0x12, 0, 4, 0x34, 0x56, 0, 0, 6, 0xF0, 0, 1};
    seed("bmp", "rle4.bmp", mxt_test::build_bmp(s));
  }
}

void png_seeds() {
  struct Kind {
    const char* name;
    int colour_type, bit_depth, channels;
    bool interlaced;
  };
  const Kind kinds[] = {
      {"rgba-8", PNG_COLOR_TYPE_RGB_ALPHA, 8, 4, false}, {"rgb-8", PNG_COLOR_TYPE_RGB, 8, 3, false},
      {"grey-8", PNG_COLOR_TYPE_GRAY, 8, 1, false},       {"grey-2", PNG_COLOR_TYPE_GRAY, 2, 1, false},
      {"grey-alpha-8", PNG_COLOR_TYPE_GRAY_ALPHA, 8, 2, false}, {"rgb-16", PNG_COLOR_TYPE_RGB, 16, 3, false},
      {"rgba-8-interlaced", PNG_COLOR_TYPE_RGB_ALPHA, 8, 4, true},
  };
  for (const Kind& k : kinds) {
    mxt_test::PngSpec s{.width = 5, .height = 4, .colour_type = k.colour_type, .bit_depth = k.bit_depth,
                        .interlaced = k.interlaced};
    const size_t row_bits = static_cast<size_t>(5 * k.channels * k.bit_depth);
    const size_t row = (row_bits + 7) / 8;
    for (size_t i = 0; i < row * 4; ++i) s.samples.push_back(static_cast<uint8_t>(i * 37 + 11));
    seed("png", std::string(k.name) + ".png", mxt_test::build_png(s));
  }
  {
    mxt_test::PngSpec s{.width = 6, .height = 3, .colour_type = PNG_COLOR_TYPE_PALETTE, .bit_depth = 4};
    s.palette = grey_palette(5);
    s.trns = {0, 128, 255};
    for (int i = 0; i < 3 * 3; ++i) s.samples.push_back(static_cast<uint8_t>((i % 5) << 4 | ((i + 2) % 5)));
    seed("png", "palette-4-trns.png", mxt_test::build_png(s));
  }
}

void jpeg_seeds() {
  std::vector<uint8_t> rgb, grey;
  for (int i = 0; i < 16 * 8; ++i) {
    grey.push_back(static_cast<uint8_t>(i * 2));
    for (int c = 0; c < 3; ++c) rgb.push_back(static_cast<uint8_t>(i * (c + 1) * 5));
  }
  seed("jpeg", "rgb-baseline.jpg", mxt_test::build_jpeg(16, 8, 3, rgb, false, 75));
  seed("jpeg", "rgb-progressive.jpg", mxt_test::build_jpeg(16, 8, 3, rgb, true, 75));
  seed("jpeg", "grey-baseline.jpg", mxt_test::build_jpeg(16, 8, 1, grey, false, 75));
  // CMYK, as some drawing programs save, with the Adobe marker.
  std::vector<uint8_t> cmyk;
  for (size_t y = 0; y < 8; ++y)
    for (size_t i = 0; i < 8 * 4; ++i) cmyk.push_back(static_cast<uint8_t>(i * 29 + y * 7));
  seed("jpeg", "cmyk-adobe.jpg", mxt_test::build_cmyk_jpeg(8, 8, cmyk, false, true));
}

// An archive whose offsets count from its start, as older tools wrote them,
// written field by field (the builder writes only offsets from the end).
std::string archive_from_start(const std::vector<std::pair<std::string, std::string>>& entries, std::string prefix) {
  std::string data = std::move(prefix);
  std::string dir;
  for (const auto& [name, bytes] : entries) {
    std::string packed;
    if (!mxt::lzo_compress(bytes.data(), static_cast<int64_t>(bytes.size()), packed, false)) std::exit(1);
    dir.push_back(static_cast<char>(name.size()));
    dir += name;
    mxt::append_le32(dir, static_cast<uint32_t>(data.size()));
    mxt::append_le32(dir, static_cast<uint32_t>(packed.size() + 4));
    mxt::append_le32(data, static_cast<uint32_t>(bytes.size()));
    data += packed;
  }
  dir.push_back('\0');
  const auto dir_start = static_cast<uint32_t>(data.size());
  data += dir;
  data += "sbX";
  mxt::append_le32(data, dir_start);
  return data;
}

void archive_seeds() {
  const std::string text = "moxtril-replay 1\n0 close\n";
  const std::string repeated(300, 'a');
  {
    mxt::ArchiveBuilder b(mxt::ArchiveBuilder::Level::best);
    b.add("board.png", "\x89PNG not really", 15);
    b.add("theme.txt", text.data(), static_cast<int64_t>(text.size()));
    b.add("empty.dat", "", 0);
    b.add("Runs.BIN", repeated.data(), static_cast<int64_t>(repeated.size()));
    seed("archive", "three-entries.sbx", b.finish());
    // The same archive attached behind a program file, as sbx append does.
    seed("archive", "appended.sbx", std::string("\x7f" "ELF program bytes before the archive", 38) + b.finish());
  }
  {
    mxt::ArchiveBuilder b(mxt::ArchiveBuilder::Level::fast);
    b.add("a", "x", 1);
    seed("archive", "one-entry-fast.sbx", b.finish());
  }
  seed("archive", "offsets-from-start.sbx",
       archive_from_start({{"one.txt", "first"}, {"TWO.txt", repeated}, {"dir/escape", "a name sbx skips"}}, ""));
  seed("archive", "empty.sbx", mxt::ArchiveBuilder().finish());
}

void replay_seeds() {
  seed("replay", "every-kind.txt",
       "moxtril-replay 1\n"
       "seed 12345\n"
       "pointer 10 20\n"
       "# a comment line\n"
       "0 mouse-move 400 240        # window pixels\n"
       "10 mouse-down 1\n"
       "12 mouse-up 1\n"
       "13 mouse-move 390 250 -10 10\n"
       "20 key-down 2\n"
       "21 key-up 2\n"
       "30 text 61e9\n"
       "40 wheel -1\n"
       "50 focus 0\n"
       "51 focus 1\n"
       "55 finger-down 7 0.25 0.5\n"
       "56 finger-move 7 0.3 0.55\n"
       "57 finger-up 7 0.3 0.55\n"
       "60 close\n");
  seed("replay", "bom-crlf.txt", "\xEF\xBB\xBFmoxtril-replay 1\r\n\r\n5 text "
       "4142434445464748494a4b4c4d4e4f505152535455565758595a616263646566676869\r\n6 close\r\n");
  seed("replay", "header-only.txt", "moxtril-replay 1\n");
  seed("replay", "bad-kind.txt", "moxtril-replay 1\n12 mouse-jump 3 4\n");
}

void wav_seeds() {
  using namespace mxt_test;
  const std::vector<int16_t> tone = sine16(440, 64, 0.5);
  seed("wav", "mono-16.wav", wav_file({}, pcm16(tone)));
  seed("wav", "stereo-8-22050.wav", wav_file({.channels = 2, .rate = 22050, .bits = 8}, pcm8(sine8(440, 64, 0.5))));
  std::vector<int16_t> six;
  for (int i = 0; i < 16; ++i)
    for (int c = 0; c < 6; ++c) six.push_back(static_cast<int16_t>(i * 100 + c));
  seed("wav", "six-channels-extensible.wav", wav_file({.tag = 0xFFFE, .channels = 6}, pcm16(six)));
  std::string fmt18 = fmt_body({.rate = 8000});
  fmt18 += std::string(2, '\0');
  seed("wav", "odd-chunks-fact-list.wav",
       riff_wave(wav_chunk("LIST", "INFOodd") + wav_chunk("fmt ", fmt18) + wav_chunk("fact", "abc", false) +
                 wav_chunk("data", pcm16(tone)), 0));
  seed("wav", "mono-8-rate-100.wav", wav_file({.rate = 100, .bits = 8}, pcm8(sine8(10, 40, 0.9, 100))));
}

void text_seeds() {
  seed("text", "url.txt", "caf%C3%A9+au+lait%2x%%41%e2%82%ac");
  seed("text", "utf8.txt", "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80 \xC5\x93\xE2\x80\x9C");
  seed("text", "utf8-invalid.txt", "\xC0\xAF \xED\xA0\x80 \xF4\x90\x80\x80 \xE2\x82 \x80 \xF8\x88\x80\x80\x80");
  seed("text", "cp1252.txt", "\x80\x81\x8D\x8F\x90\x9D\x9F\xA0\xFF");
  const RtString key("secret"), plain("hello, world");
  const RtString hex = mxt_encrypt_text(key, plain);
  seed("text", "key-and-hex.bin", std::string("secret") + '\0' + hex.str() + '\0');
  seed("text", "key-and-odd-hex.bin", std::string("k\0ABCDEF0123456789a", 19));
}

void numtext_seeds() {
  const char* numbers[] = {
      "  -123",     "+42abc",       "2147483648",  "-2147483649", "9223372036854775808",
      "1.5e-7",     "-0.0",         ".5",          "1.D+3",       "1e400",
      "-1e-400",    "4.9406564584124654e-324",     "1.7976931348623157e308",
      "1.#INF",     "0x1A",         "\t\v\f\r\n 7", "123456789012345678901234567890.25e-10",
      "2.675",      "-0.004",       "e5",
  };
  int n = 0;
  for (const char* text : numbers) seed("numtext", "number-" + std::to_string(n++) + ".txt", text);
}

template <typename T>
void put_le(std::string& s, T v) {
  s.append(reinterpret_cast<const char*>(&v), sizeof v);  // every machine the runtime runs on is little-endian
}

// The binary .ddd header: magic, version, frame count, palette, texture pairs.
std::string ddd_header(double version, int32_t frames, const std::vector<uint32_t>& palette, const std::vector<float>& uv) {
  std::string s;
  put_le(s, int32_t{13021975});
  put_le(s, version);
  put_le(s, frames);
  put_le(s, static_cast<int32_t>(palette.size()));
  put_le(s, static_cast<int32_t>(uv.size() / 2));
  for (const uint32_t c : palette) put_le(s, c);
  for (const float t : uv) put_le(s, t);
  return s;
}

void ddd_binary_seeds() {
  // Version 2.0: two frames of a triangle, float positions.
  std::string v2 = ddd_header(2.0, 2, {0x0000FFu, 0x00FF80u, 0xFFFFFFFEu}, {0, 0, 1, 0, 0, 1});
  for (int frame = 0; frame < 2; ++frame) {
    put_le(v2, int32_t{3});
    for (int i = 0; i < 3; ++i) {
      put_le(v2, static_cast<float>(i));
      put_le(v2, static_cast<float>(frame));
      put_le(v2, -1.5f);
      v2 += static_cast<char>(i * 50);
      v2 += static_cast<char>(i);
    }
  }
  seed("ddd_binary", "v2-two-frames.ddd", v2);
  // Version 1.02: byte positions with an offset and a scale, more vertices than pairs.
  std::string v1 = ddd_header(1.02, 1, {0x123456u}, {0.5f, 0.25f});
  put_le(v1, int32_t{4});
  for (const float o : {0.0f, 0.0f, 128.0f}) put_le(v1, o);
  for (const float k : {0.5f, 1.0f, 2.0f}) put_le(v1, k);
  const uint8_t v1_vertices[] = {10, 0, 255, 3, 0, 1, 2, 3, 4, 0, 255, 255, 255, 161, 0, 0, 0, 0, 0, 0};
  v1.append(reinterpret_cast<const char*>(v1_vertices), sizeof v1_vertices);
  seed("ddd_binary", "v1-scaled.ddd", v1);
  seed("ddd_binary", "v1-empty.ddd", ddd_header(1.5, 0, {}, {}));
  // References past the normal table and the palette.
  std::string clamped = ddd_header(2.0, 1, {0xFFu}, {});
  put_le(clamped, int32_t{1});
  for (const float c : {1.0f, 2.0f, 3.0f}) put_le(clamped, c);
  clamped += std::string{static_cast<char>(200), 7};  // normal 200, palette index 7
  seed("ddd_binary", "v2-clamped.ddd", clamped);
}

void ddd_text_seeds() {
  seed("ddd_text", "two-faces.ddd",
       "DDDA 1.1\n# texture coordinates\n2  0.25 0.5   1 0.75\n2\n"
       "255 0 0  3  0 0  1 1  2 0\n0 255 0  3  1 1  2 0  3 1\n2\n"
       "4  0 0 0 0 0 1   1 0 0 0 0 1   0 1 0 0 0 1   1 1 0 0 0 1\n"
       "4  0 0 5 0 1 0   1 0 5 0 1 0   0 1 5 0 1 0   1 1 5 0 1 0\n");
  seed("ddd_text", "no-normals.ddd", "DDDA\r\n1.0\r\n0\r\n1 10 20 30 4 0 0 1 0 2 0 3 0\r\n1 4\r\n"
       "-1.5 2e1 .25\t1 1 1\t0 0 0\t1e-3 -0 7\r\n");
  seed("ddd_text", "comment-in-token.ddd", "DDDA 1.1#comment 9 9 9\n0 1 0 0 0 1 0 0 1 1 0 0 0 1 2 3");
  seed("ddd_text", "truncated.ddd", "DDDA 1 0 1 300 -4 12.9 1 0.9 0 1 1 7 8");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: fuzz_seeds CORPUS_FOLDER\n", stderr);
    return 2;
  }
  g_root = argv[1];
  bmp_seeds();
  png_seeds();
  jpeg_seeds();
  archive_seeds();
  replay_seeds();
  wav_seeds();
  text_seeds();
  numtext_seeds();
  ddd_binary_seeds();
  ddd_text_seeds();
  std::printf("%d seeds written below %s\n", g_written, g_root.c_str());
  return 0;
}
