// Video playback: the blocking loop and the command.
//
// [SECTION] The playback loop
// [SECTION] Commands
#include "runtime/audio/video.h"

#include "runtime/audio/audio.h"
#include "runtime/audio/music.h"
#include "runtime/base/clock.h"
#include "runtime/base/singletons.h"
#include "runtime/files/archive.h"
#include "runtime/gfx2d/picture.h"
#include "runtime/gfx2d/renderer.h"
#include "runtime/input/input_state.h"
#include "runtime/input/keymap.h"
#include "runtime/platform/platform.h"

namespace mxt {

// ---------------------------------------------------------------------------
// [SECTION] The playback loop

namespace {

// Enter, keypad Enter, Escape, Backspace and Tab type a character on the
// system this runtime's games come from, but reach us only as keys.
constexpr int kTypingKeys[] = {kKeyEnter, kKeyPadEnter, kKeyEscape, kKeyBackspace, kKeyTab};

void call(const std::function<void()>& f) {
  if (f) f();
}

// The key or button that started the video must not end it: wait until
// everything is let go, dropping what it typed meanwhile.
void wait_out_held_input(const VideoSeams& seams) {
  if (!rt.input) return;
  for (;;) {
    call(seams.take_input);
    while (rt.input->drop_typed_char()) {
    }
    if (!rt.input->any_button() && !any_key_down()) return;
    music_upkeep();
    if (seams.sleep) seams.sleep(5);
  }
}

bool skip_requested() {
  if (!rt.input) return false;
  if (rt.input->pop_typed_char() != 0 || rt.input->any_button()) return true;
  for (int k : kTypingKeys)
    if (key_down(k)) return true;
  return false;
}

}  // namespace

VideoSeams runtime_video_seams() {
  VideoSeams s;
  s.clock = accurate_ms;
  s.sleep = platform::sleep_ms;
  s.take_input = [] {
    if (rt.frame.pump) rt.frame.pump();
    if (rt.input) {
      rt.input->force_key_refresh();  // a fresh key snapshot now, not in a few calls
      rt.input->refresh_keys();
    }
  };
  s.show = [] { platform::swap_window(rt.window); };
  return s;
}

int play_video(const RtString& file, int loop, const VideoSeams& seams) {
  RtString name = file;
  if (!resolve_real_file(name)) return 3;
  VideoClip clip;
  if (!clip.open(name, rt.audio)) return 3;
  wait_out_held_input(seams);

  auto now = [&] { return seams.clock ? seams.clock() : 0.0; };
  std::unique_ptr<StreamedPicture> screen;
  if (rt.renderer) screen = std::make_unique<StreamedPicture>(*rt.renderer);
  int64_t drawn = 0;
  clip.start_sound();
  double start = now();
  for (;;) {
    const double position = now() - start;
    if (skip_requested()) break;
    music_upkeep();
    call(seams.take_input);
    const bool changed = clip.advance(position);
    if (clip.finished(position)) {
      // A pass that showed nothing would loop for ever.
      if (loop && clip.frames_since_rewind() > 0 && clip.rewind()) {
        start = now();
        continue;
      }
      break;
    }
    if (!changed || !screen) {
      if (seams.sleep) seams.sleep(1);
      continue;
    }
    const uint8_t* rgba = clip.picture();  // first: it is what sets the picture's size
    screen->draw(rgba, clip.width(), clip.height(), clip.display_width(), true);
    ++drawn;
    if (seams.after_draw) seams.after_draw(drawn);
    call(seams.show);
  }
  clip.stop_sound();
  if (rt.renderer) rt.renderer->clear_background();  // the frame the game draws next starts clean
  return 0;
}

}  // namespace mxt

// ---------------------------------------------------------------------------
// [SECTION] Commands

int mxt_play_video(const RtString& file, int loop) { return mxt::play_video(file, loop, mxt::runtime_video_seams()); }
