// Text on the runtime: N texts of 16 characters bouncing around an 800 x 480
// window in the built-in 8 x 8 font at scale 1, each frame, one mxt_print a
// text ("print"), or the same characters one mxt_draw_anim each from the
// font's image cut into 8 x 8 frames ("anim"), to show what printing a text
// as one strip saves over drawing its characters as sprites.
// With TEXT_SCISSOR=1 everything is drawn through a 1 x 1 scissor, so the
// frame costs what submitting and setting up the text costs, without the
// filling (which a software renderer spends most of its time on).
// usage: bench_text N print|anim [frames] [warmup]
//        bench_text imagefont FILE   writes the font as a LOVE ImageFont strip
#include <GL/gl.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "runtime/base/clock.h"
#include <moxtril.h>
#include "bench/support/bouncing.h"
#include "runtime/gfx2d/draw.h"
#include "runtime/gfx2d/image.h"
#include "runtime/gfx2d/image_codec.h"
#include "runtime/gfx2d/sprites.h"
#include "runtime/platform/platform.h"

namespace {

constexpr int kW = 800, kH = 480, kCell = 8, kLength = 16;
constexpr int kFont = mxt::kFirstFontSprite;  // slot 0's image

// Characters 32..126 of slot 0, one row, each glyph after a separator column
// of opaque magenta: the layout love.graphics.newImageFont reads.
int write_imagefont(const std::string& file) {
  RtArray<int32_t> pixels;
  int w = 0, h = 0;
  mxt_sprite_size(kFont, w, h);
  mxt::ImageBuffer strip;
  if (!mxt_sprite_to_array(pixels, kFont) || w != 16 * kCell || !strip.size_to(1 + 95 * (kCell + 1), kCell)) {
    std::fprintf(stderr, "cannot read the built-in font\n");
    return 1;
  }
  for (int c = 32; c < 127; ++c) {
    const int x0 = (c - 32) * (kCell + 1);
    for (int y = 0; y < kCell; ++y) {
      mxt::put(strip.pixel(x0, y), 255, 0, 255, 255);
      for (int x = 0; x < kCell; ++x) {
        const auto p = static_cast<uint32_t>(pixels((c / 16 * kCell + y) * w + c % 16 * kCell + x));
        mxt::put(strip.pixel(x0 + 1 + x, y), static_cast<uint8_t>(p), static_cast<uint8_t>(p >> 8),
                 static_cast<uint8_t>(p >> 16), static_cast<uint8_t>(p >> 24));
      }
    }
  }
  for (int y = 0; y < kCell; ++y) mxt::put(strip.pixel(strip.width - 1, y), 255, 0, 255, 255);
  std::string png;
  FILE* out = std::fopen(file.c_str(), "wb");
  const bool ok = mxt::encode_png(strip, png) && out && std::fwrite(png.data(), 1, png.size(), out) == png.size();
  if (out) std::fclose(out);
  if (!ok) std::fprintf(stderr, "cannot write %s\n", file.c_str());
  return ok ? 0 : 1;
}

}  // namespace

void project_settings() {
  mxt_settings().screen_width = kW;
  mxt_settings().screen_height = kH;
  mxt_settings().frame_rate = 0;  // no cap beyond the runtime's 2 ms minimum period
  mxt_app_title() = "text";
}

int mxt_main() {
  const std::vector<std::string> args = bench::arguments();
  if (args.size() == 2 && args[0] == "imagefont") {
    const int status = write_imagefont(args[1]);
    if (status) std::exit(status);
    mxt_end();
    return 0;
  }
  const int n = args.size() > 0 ? std::atoi(args[0].c_str()) : 2000;
  const std::string variant = args.size() > 1 ? args[1] : "print";
  const int frames = args.size() > 2 ? std::atoi(args[2].c_str()) : 100;
  const int warmup = args.size() > 3 ? std::atoi(args[3].c_str()) : 10;
  const bool anim = variant == "anim";

  mxt_set_clear_colour(0x331A1A);  // RGB (26, 26, 51)
  mxt_set_smoothing(0);            // as text draws: nearest
  mxt_set_font(0, 1);              // the built-in font: 8 x 8 cells
  int fw = 0, fh = 0;
  mxt_font_size(fw, fh);
  if (fw != kCell || fh != kCell) {
    std::fprintf(stderr, "slot 0 is not an 8 x 8 font (%d x %d)\n", fw, fh);
    std::exit(1);
  }
  if (anim) mxt_set_anim_size(kFont, kCell, kCell);  // frame k is character k

  const size_t count = static_cast<size_t>(n);
  const int tw = kLength * kCell;
  std::vector<double> xs(count), ys(count), vxs(count), vys(count);
  std::vector<std::string> texts(count);
  for (size_t i = 0; i < count; ++i) {
    xs[i] = bench::rnd() * (kW - tw);
    ys[i] = bench::rnd() * (kH - kCell);
    vxs[i] = (bench::rnd() * 2 - 1) * 3;
    vys[i] = (bench::rnd() * 2 - 1) * 3;
    for (int j = 0; j < kLength; ++j) texts[i] += static_cast<char>(33 + static_cast<int>(bench::rnd() * 94));
  }
  std::vector<RtString> strings;
  for (const std::string& t : texts) strings.emplace_back(t.c_str());
  const double mx = kW - tw, my = kH - kCell;
  const char* scissor_env = std::getenv("TEXT_SCISSOR");
  const bool scissor = scissor_env && std::string(scissor_env) == "1";
  double t0 = 0;
  for (int f = 0; f < warmup + frames; ++f) {
    if (f == warmup) {
      bench::wait_for_gpu();
      t0 = mxt::accurate_ms();
    }
    bench::bounce(xs, ys, vxs, vys, mx, my);
    if (scissor) {
      glEnable(GL_SCISSOR_TEST);
      glScissor(0, 0, 1, 1);
    }
    if (anim) {
      for (size_t i = 0; i < count; ++i) {
        const int x = static_cast<int>(xs[i]), y = static_cast<int>(ys[i]);
        for (int j = 0; j < kLength; ++j)
          mxt_draw_anim(kFont, static_cast<unsigned char>(texts[i][static_cast<size_t>(j)]), x + j * kCell, y);
      }
    } else {
      for (size_t i = 0; i < count; ++i)
        mxt_print(strings[i], std::floor(xs[i]), std::floor(ys[i]), 0);
    }
    if (f == warmup + frames - 1) bench::wait_for_gpu();
    if (scissor) glDisable(GL_SCISSOR_TEST);
    mxt_show_screen();
  }
  const double secs = (mxt::accurate_ms() - t0) / 1000.0;
  const double fps = frames / secs;
  std::printf("RESULT peer=moxtril variant=%s%s n=%d chars=%d frames=%d secs=%.4f fps=%.2f chars_per_s=%.0f\n",
              variant.c_str(), scissor ? "_scissor" : "", n, kLength, frames, secs, fps, fps * n * kLength);
  std::fflush(stdout);
  mxt_end();
  return 0;
}
