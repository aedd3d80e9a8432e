// Drawing a streamed picture over the window.
//
// The picture goes into a texture of its own, drawn in window pixels with
// the projection and viewport put back afterwards, so the game's drawing
// state is as it was.
#include "runtime/gfx2d/picture.h"

#include "runtime/gfx2d/renderer.h"
#include "runtime/gfx2d/sprites.h"

namespace mxt {

PictureRect picture_dest_rect(int source_w, int source_h, int client_w, int client_h) {
  if (source_w <= 0 || source_h <= 0 || client_w <= 0 || client_h <= 0) return {};
  const double sx = static_cast<double>(client_w) / source_w;
  const double sy = static_cast<double>(client_h) / source_h;
  const double s = sx < sy ? sx : sy;
  PictureRect d;
  d.w = static_cast<int>(source_w * s);
  d.h = static_cast<int>(source_h * s);
  d.x = (client_w - d.w) / 2;
  d.y = (client_h - d.h) / 2;
  return d;
}

StreamedPicture::~StreamedPicture() { r_.gl.delete_texture(texture_); }

void StreamedPicture::draw(const uint8_t* rgba, int w, int h, int display_w, bool upload) {
  const int window_w = r_.window_width, window_h = r_.window_height;
  GlState& gl = r_.gl;
  r_.flush();
  r_.bind_sprite(-1);  // every texture unit off
  const PictureRect d = picture_dest_rect(display_w, h, window_w, window_h);
  if (!rgba || d.w < window_w || d.h < window_h) {  // black bars where the picture does not reach
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    const float* c = r_.clear_rgba;
    glClearColor(c[0], c[1], c[2], c[3]);
  }
  if (!rgba || w <= 0 || h <= 0) return;

  const int tw = texture_side(w), th = texture_side(h);
  GLint max_side = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &max_side);
  if (tw > max_side || th > max_side) return;
  gl.select_unit(0);
  if (!texture_ || tw != texture_w_ || th != texture_h_) {
    if (!texture_) texture_ = gl.create_texture();
    gl.bind_texture(0, texture_);
    gl.set_texture_wrap(0, GL_CLAMP_TO_EDGE);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, tw, th, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    texture_w_ = tw;
    texture_h_ = th;
    upload = true;
  } else {
    gl.bind_texture(0, texture_);
  }
  if (upload) {
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);  // rows of RGBA are whole words
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
  }
  // Drawn at its own size, nearest sampling gives the same pixels for less work.
  gl.set_texture_filter(0, d.w == w && d.h == h ? GL_NEAREST : GL_LINEAR);

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

  gl.disable(GlCap::blend);
  gl.disable(GlCap::alpha_test);
  gl.set_colour(1, 1, 1, 1);
  gl.enable_texture(0, true);
  const float u = static_cast<float>(w) / static_cast<float>(tw);
  const float v = static_cast<float>(h) / static_cast<float>(th);
  const float x0 = static_cast<float>(d.x), y0 = static_cast<float>(d.y);
  const float x1 = static_cast<float>(d.x + d.w), y1 = static_cast<float>(d.y + d.h);
  gl.prepare_draw();
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
  gl.enable_texture(0, false);
  gl.enable(GlCap::blend);  // the 2D default the next drawing expects

  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
  glPopMatrix();
  glViewport(viewport[0], viewport[1], viewport[2], viewport[3]);
}

}  // namespace mxt
