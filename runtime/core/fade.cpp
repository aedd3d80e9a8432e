// A cross-fade from the screen as it is to a picture, which then stays as the
// background of every following frame.
#include "runtime/base/singletons.h"
#include "runtime/core/core.h"
#include "runtime/files/files.h"
#include "runtime/gfx2d/gfx2d.h"
#include "runtime/gfx2d/image.h"
#include "runtime/gfx2d/renderer.h"
#include "runtime/gfx2d/sprites.h"
#include "runtime/gfx2d/surfaces.h"

namespace mxt {
namespace {

constexpr int kFadeFrom = 2, kFadeTo = 1;

// The screen as it is into a background slot (logical size, any orientation
// or virtual screen); false without a free sprite.
bool grab_into_slot(int slot) {
  empty_background_slot(slot);
  const int n = mxt_free_sprite();
  if (n < 0) return false;
  int w = 0, h = 0;
  mxt_screen_size(w, h);
  mxt_grab_sprite(n, 0, 0, w, h);
  rt.renderer->background_slots[slot] = n;
  return true;
}

}  // namespace
}  // namespace mxt

using namespace mxt;

void mxt_fade_to_image(const RtString& name, int duration_ms) {
  VuduRODoverore* r = rt.renderer;
  RtString resolved = name;
  if (!r || resolved.empty() || !mxt_resolve_file(resolved)) return;
  ImageBuffer image;
  if (!read_image(image, resolved, -1)) return;  // a picture that does not decode fades to nothing: it does nothing
  if (!grab_into_slot(kFadeFrom)) return;
  empty_background_slot(kFadeTo);
  const int n = mxt_free_sprite();
  if (n < 0 || !create_sprite_texture(n, image, false)) {
    empty_background_slot(kFadeFrom);
    return;
  }
  r->background_slots[kFadeTo] = n;
  mxt_set_clear_colour(0);  // also releases slot 0

  // Both pictures added onto black, weighted t and 1 - t.
  double t = 0.9;
  const double end = mxt_elapsed_ms() + duration_ms;
  while (t > 0 && t < 1) {
    mxt_set_alpha_mode(t);
    draw_background_slot(kFadeFrom);
    mxt_set_alpha_mode(1 - t);
    draw_background_slot(kFadeTo);
    mxt_show_screen();
    t = (end - mxt_elapsed_ms()) / duration_ms;
  }
  mxt_set_alpha_mode(0);
  draw_background_slot(kFadeTo);
  grab_into_slot(0);
  empty_background_slot(kFadeTo);
  empty_background_slot(kFadeFrom);
  mxt_show_screen();
}
