// Grabbing the whole 800 x 480 window into a sprite every frame with
// mxt_grab_sprite, against one glReadPixels plus one texture upload of the
// same size, in the same run. Each is finished on the GPU before the clock
// stops. Run headless: SDL_VIDEODRIVER=offscreen build-rel/bench/grab/bench_grab
#include <GL/gl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include <moxtril.h>
#include "runtime/base/singletons.h"
#include "runtime/gfx2d/renderer.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kW = 800, kH = 480, kRounds = 5, kGrabs = 60;

void scene(int frame) {
  for (int i = 0; i < 40; ++i) mxt_draw_rect((i * 37 + frame) % kW, (i * 53) % kH, 40, 30, 0x102030 * (i % 7 + 1));
}

}  // namespace

void project_settings() {
  mxt_settings().screen_width = kW;
  mxt_settings().screen_height = kH;
}

int mxt_main() {
  std::vector<uint8_t> pixels(static_cast<size_t>(kW) * kH * 4);
  GLuint texture = 0;
  glGenTextures(1, &texture);
  glBindTexture(GL_TEXTURE_2D, texture);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 1024, 512, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
  double ours = 1e30, plain = 1e30;
  for (int round = 0; round < kRounds; ++round) {
    scene(round);
    mxt_grab_sprite(1, 0, 0, kW, kH);  // the texture exists before the clock starts
    glFinish();
    auto t0 = Clock::now();
    for (int i = 0; i < kGrabs; ++i) mxt_grab_sprite(1, 0, 0, kW, kH);
    glFinish();
    ours = std::min(ours, std::chrono::duration<double, std::milli>(Clock::now() - t0).count() / kGrabs);

    t0 = Clock::now();
    for (int i = 0; i < kGrabs; ++i) {
      glPixelStorei(GL_PACK_ALIGNMENT, 4);
      glReadPixels(0, 0, kW, kH, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
      glBindTexture(GL_TEXTURE_2D, texture);
      glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, kW, kH, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    }
    glFinish();
    plain = std::min(plain, std::chrono::duration<double, std::milli>(Clock::now() - t0).count() / kGrabs);
    mxt::rt.renderer->gl.forget_all();  // the texture binding above went behind the renderer's back
    mxt_show_screen();
  }
  std::printf("grab 800 x 480: mxt_grab_sprite %.3f ms, glReadPixels + upload %.3f ms, ratio %.2f\n", ours, plain,
              ours / plain);
  glDeleteTextures(1, &texture);
  mxt_end();
  return 0;
}
