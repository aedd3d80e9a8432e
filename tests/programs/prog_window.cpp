// A small game for the window-mode tests: MXT_TEST_SCENARIO picks what it does.
#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "runtime/base/singletons.h"
#include "runtime/core/runtime.h"
#include "runtime/core/window.h"
#include "runtime/platform/platform.h"
#include <moxtril.h>
#include "tests/programs/scenario.h"

namespace {

using scenario_support::scenario;

void describe(const char* when) {
  SDL_Window* w = SDL_GL_GetCurrentWindow();
  int width = 0, height = 0;
  SDL_GetWindowSize(w, &width, &height);
  const Uint32 flags = SDL_GetWindowFlags(w);
  std::printf("%s: %dx%d shown=%d fullscreen=%d title=%s\n", when, width, height, (flags & SDL_WINDOW_SHOWN) ? 1 : 0,
              mxt_is_fullscreen(), SDL_GetWindowTitle(w));
}

}  // namespace

void project_settings() {
  mxt_settings().screen_width = 320;
  mxt_settings().screen_height = 200;
  mxt_settings().frame_rate = 60;
  mxt_app_title() = "Window \xE9";  // code page 1252 in, UTF-8 in the title bar
}

int mxt_main() {
  const std::string s = scenario();
  describe("start");
  if (s == "set_screen" || s == "fullscreen_fail") {
    const int64_t before = mxt::rt.core->frame.frames_presented;
    mxt_set_screen(333, 222, s == "fullscreen_fail" ? 1 : 0);
    std::printf("settle frames %d\n", static_cast<int>(mxt::rt.core->frame.frames_presented - before));
    std::printf("settings %dx%d full %d\n", mxt_settings().screen_width, mxt_settings().screen_height,
                mxt_settings().fullscreen);
    int w, h;
    mxt_screen_size(w, h);
    std::printf("screen size %dx%d\n", w, h);
    describe("after");
  } else if (s == "where") {
    SDL_Window* w = SDL_GL_GetCurrentWindow();
    int x = 0, y = 0, top = 0, left = 0, bottom = 0, right = 0;
    SDL_GetWindowPosition(w, &x, &y);
    SDL_GetWindowBordersSize(w, &top, &left, &bottom, &right);
    SDL_Rect work{};
    SDL_GetDisplayUsableBounds(SDL_GetWindowDisplayIndex(w), &work);
    std::printf("client at %d %d, borders %d %d, work area %d %d\n", x, y, left, top, work.w, work.h);
  } else if (s == "new_context") {
    // A sprite made before a resize the GL context cannot follow is drawn
    // the same after it: the context is made again and the sprite carried over.
    RtArray<int32_t> pixels;
    mxt_dim(pixels, 16);
    for (int i = 0; i < 16; ++i) pixels(i) = static_cast<int32_t>(0xFF00FF00u);  // opaque green
    mxt_sprite_from_array(pixels, 7, 4, 4);
    mxt::platform::refuse_context_moves(mxt::rt.window, true);
    mxt_set_screen(300, 180, 0);
    mxt_set_smoothing(0);
    mxt_draw_sprite(7, 10, 10);
    std::printf("pixel %06x, sprite %d\n", static_cast<unsigned>(mxt_get_pixel(11, 11)), mxt_sprite_texture(7) != 0);
    describe("after");
  } else if (s == "hidden") {
    mxt::enter_hidden_state();
    describe("hidden");
    mxt::enter_windowed_mode();
    describe("windowed");
  }
  return 0;
}
