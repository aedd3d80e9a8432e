// Text entry: a blocking one-line input drawn over the screen as it was.
//
// The screen the entry starts on is grabbed into background slot 3 and drawn
// again each frame under the text, so the game's picture stays while the
// player types. Characters come from the typed-character queue, which the
// message pump fills (and a replay fills the same way), one a frame.
#include "runtime/base/singletons.h"
#include "runtime/core/core.h"
#include "runtime/core/runtime.h"
#include "runtime/gfx2d/gfx2d.h"
#include "runtime/gfx2d/renderer.h"
#include "runtime/gfx2d/surfaces.h"
#include "runtime/input/input_state.h"

namespace mxt {
namespace {

// Frames without a character before the cursor blinks.
constexpr int kCursorFrames = 20;

void keep_screen_in_slot() {
  VuduRODoverore& r = *rt.renderer;
  empty_background_slot(kTextEntryBackground);
  const int n = mxt_free_sprite();
  if (n < 0) return;
  int w = 0, h = 0;
  mxt_screen_size(w, h);
  mxt_grab_sprite(n, 0, 0, w, h);
  int gw = 0, gh = 0;
  mxt_sprite_size(n, gw, gh);
  if (gw > 0) r.background_slots[kTextEntryBackground] = n;
}

}  // namespace
}  // namespace mxt

using namespace mxt;

void mxt_input_text(RtString& text, int x, int y, int kerning) {
  if (!rt.renderer || !rt.input || !rt.core) return;
  VuduRODoverore& r = *rt.renderer;
  const double px = x, py = y;
  keep_screen_in_slot();
  draw_background_slot(kTextEntryBackground);
  mxt_print(text, px, py, kerning);
  frame_upkeep();

  bool cursor = false;
  int idle_frames = 0;
  for (;;) {
    r.begin_frame();
    rt.input->refresh_keys();
    const int c = rt.input->pop_typed_char();
    if (c == 10 || c == 13) break;
    if (c == 8) {
      if (!text.empty()) text.truncate(static_cast<int>(text.size()) - 1);
    } else if (c != 0) {
      text.append_char(static_cast<char>(c));
    } else if (++idle_frames > kCursorFrames) {
      cursor = !cursor;
      idle_frames = 0;
    }
    draw_background_slot(kTextEntryBackground);
    mxt_print(cursor ? text + "_" : text, px, py, kerning);
    frame_upkeep();
  }
  empty_background_slot(kTextEntryBackground);
}

void mxt_input_int(int& value, int x, int y, int kerning) {
  RtString text;
  mxt_input_text(text, x, y, kerning);
  value = text.to_int();
}

void mxt_input_double(double& value, int x, int y, int kerning) {
  RtString text;
  mxt_input_text(text, x, y, kerning);
  value = text.to_double();
}
