// Video playback: where the picture goes, drawing it, and the blocking loop.
//
// [SECTION] Placement
// [SECTION] Drawing
// [SECTION] The playback loop
// [SECTION] Commands
#include "runtime/audio/video.h"

#include <GL/gl.h>

#include "runtime/audio/music.h"
#include "runtime/core/runtime.h"
#include "runtime/files/archive.h"
#include "runtime/gfx2d/draw.h"
#include "runtime/gfx2d/renderer.h"
#include "runtime/gfx2d/sprites.h"
#include "runtime/input/input.h"
#include "runtime/input/input_state.h"
#include "runtime/platform/platform.h"

namespace mxt {

// ---------------------------------------------------------------------------
// [SECTION] Placement

VideoRect video_dest_rect(int source_w, int source_h, int client_w, int client_h) {
  if (source_w <= 0 || source_h <= 0 || client_w <= 0 || client_h <= 0) return {};
  const double sx = static_cast<double>(client_w) / source_w;
  const double sy = static_cast<double>(client_h) / source_h;
  const double s = sx < sy ? sx : sy;
  VideoRect d;
  d.w = static_cast<int>(source_w * s);
  d.h = static_cast<int>(source_h * s);
  d.x = (client_w - d.w) / 2;
  d.y = (client_h - d.h) / 2;
  return d;
}

// ---------------------------------------------------------------------------
// [SECTION] Drawing
//
// The picture goes into a texture of its own, drawn in window pixels with
// the projection and viewport put back afterwards, so the game's drawing
// state is as it was; the renderer is told its bound texture is unknown.

VideoScreen::~VideoScreen() {
  if (texture_) glDeleteTextures(1, &texture_);
}

void VideoScreen::draw(const uint8_t* rgba, int w, int h, int display_w, bool upload, int window_w, int window_h) {
  flush_drawing();
  if (rt.renderer) rt.renderer->bind_sprite(-1);  // every texture unit off
  const VideoRect d = video_dest_rect(display_w, h, window_w, window_h);
  if (!rgba || d.w < window_w || d.h < window_h) {  // black bars where the picture does not reach
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    if (rt.renderer) {
      const float* c = rt.renderer->clear_rgba;
      glClearColor(c[0], c[1], c[2], c[3]);
    }
  }
  if (!rgba || w <= 0 || h <= 0) return;

  const int tw = texture_side(w), th = texture_side(h);
  GLint max_side = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &max_side);
  if (tw > max_side || th > max_side) return;
  if (!texture_ || tw != texture_w_ || th != texture_h_) {
    if (!texture_) glGenTextures(1, &texture_);
    glBindTexture(GL_TEXTURE_2D, texture_);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, tw, th, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    texture_w_ = tw;
    texture_h_ = th;
    upload = true;
  } else {
    glBindTexture(GL_TEXTURE_2D, texture_);
  }
  if (upload) {
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);  // rows of RGBA are whole words
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
  }
  // Drawn at its own size, nearest sampling gives the same pixels for less work.
  const GLint filter = d.w == w && d.h == h ? GL_NEAREST : GL_LINEAR;
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);

  GLint viewport[4];
  glGetIntegerv(GL_VIEWPORT, viewport);
  glViewport(0, 0, window_w, window_h);
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glLoadIdentity();
  glOrtho(0, window_w, window_h, 0, -1, 1);
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();

  gl_state.disable(GlCap::blend);
  gl_state.disable(GlCap::alpha_test);
  gl_state.set_colour(1, 1, 1, 1);
  glEnable(GL_TEXTURE_2D);
  const float u = static_cast<float>(w) / static_cast<float>(tw);
  const float v = static_cast<float>(h) / static_cast<float>(th);
  const float x0 = static_cast<float>(d.x), y0 = static_cast<float>(d.y);
  const float x1 = static_cast<float>(d.x + d.w), y1 = static_cast<float>(d.y + d.h);
  glBegin(GL_QUADS);  // the picture's top row is the texture's first row
  glTexCoord2f(0, 0);
  glVertex2f(x0, y0);
  glTexCoord2f(u, 0);
  glVertex2f(x1, y0);
  glTexCoord2f(u, v);
  glVertex2f(x1, y1);
  glTexCoord2f(0, v);
  glVertex2f(x0, y1);
  glEnd();
  glDisable(GL_TEXTURE_2D);
  gl_state.enable(GlCap::blend);  // the 2D default the next drawing expects

  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
  glPopMatrix();
  glViewport(viewport[0], viewport[1], viewport[2], viewport[3]);
  if (rt.renderer) rt.renderer->bound_sprite = -2;  // GL's binding is ours now
  forget_texture_parameters();
}

// ---------------------------------------------------------------------------
// [SECTION] The playback loop

namespace {

// Enter, keypad Enter, Escape, Backspace and Tab type a character on the
// system this runtime's games come from, but reach us only as keys.
constexpr int kTypingKeys[] = {0x1C, 0x9C, 0x01, 0x0E, 0x0F};

void take_input() {
  lookup_message_hook();
  if (!pump_messages(rt.renderer, frame.hook, false)) mxt_end();
  if (rt.input) {
    rt.input->key_refresh_counter = 100000;  // a fresh key snapshot now, not in a few calls
    rt.input->refresh_keys();
  }
}

bool any_key_down() {
  for (int k = 1; k < 256; ++k)
    if (key_down(k)) return true;
  return false;
}

// The key or button that started the video must not end it: wait until
// everything is let go, dropping what it typed meanwhile.
void wait_out_held_input() {
  if (!rt.input) return;
  for (;;) {
    take_input();
    while (rt.input->drop_typed_char()) {
    }
    if (!rt.input->any_button() && !any_key_down()) return;
    music_upkeep();
    platform::sleep_ms(5);
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

int play_video(const RtString& file, int loop, const std::function<void(int64_t)>& after_draw) {
  RtString name = file;
  if (!resolve_real_file(name)) return 3;
  VideoClip clip;
  if (!clip.open(name, platform::audio_is_open())) return 3;
  wait_out_held_input();

  VideoScreen screen;
  int64_t drawn = 0;
  clip.start_sound();
  double start = accurate_ms();
  for (;;) {
    const double position = accurate_ms() - start;
    if (skip_requested()) break;
    music_upkeep();
    take_input();
    const bool changed = clip.advance(position);
    if (clip.finished(position)) {
      // A pass that showed nothing would loop for ever.
      if (loop && clip.frames_since_rewind() > 0 && clip.rewind()) {
        start = accurate_ms();
        continue;
      }
      break;
    }
    if (!changed || !rt.renderer) {
      platform::sleep_ms(1);
      continue;
    }
    const uint8_t* rgba = clip.picture();
    screen.draw(rgba, clip.width(), clip.height(), clip.display_width(), true, rt.renderer->window_width,
                rt.renderer->window_height);
    ++drawn;
    if (after_draw) after_draw(drawn);
    platform::swap_window(rt.window);
  }
  clip.stop_sound();
  if (rt.renderer) rt.renderer->clear_background();  // the frame the game draws next starts clean
  return 0;
}

}  // namespace mxt

// ---------------------------------------------------------------------------
// [SECTION] Commands

int mxt_play_video(const RtString& file, int loop) { return mxt::play_video(file, loop); }
