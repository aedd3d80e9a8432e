#include "support/gl.h"

#include "runtime/core/runtime.h"

namespace mxt_test {

Rgba read_pixel(int x, int y) {
  GLint vp[4];
  glGetIntegerv(GL_VIEWPORT, vp);
  const int height = mxt::rt.renderer ? mxt::rt.renderer->window_height : vp[3];
  uint8_t p[4] = {0, 0, 0, 0};
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadBuffer(GL_BACK);
  glReadPixels(x, height - 1 - y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
  return {p[0], p[1], p[2], p[3]};
}

float read_depth(int x, int y) {
  const int height = mxt::rt.renderer ? mxt::rt.renderer->window_height : 0;
  float d = -1;
  glReadPixels(x, height - 1 - y, 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &d);
  return d;
}

mxt::VuduRODoverore* make_renderer(int width, int height, int samples) {
  auto* r = new mxt::VuduRODoverore();
  if (!r->init_window(width, height, 0, 60, samples)) {
    delete r;
    return nullptr;
  }
  mxt::rt.renderer = r;
  mxt::rt.window = r->window;
  return r;
}

void destroy_renderer(mxt::VuduRODoverore* r) {
  if (mxt::rt.renderer == r) {
    mxt::rt.renderer = nullptr;
    mxt::rt.window = nullptr;
  }
  delete r;
}

void fill_rect(float x0, float y0, float x1, float y1, float r, float g, float b) {
  glBindTexture(GL_TEXTURE_2D, 0);
  glDisable(GL_TEXTURE_2D);
  mxt::gl_state.set_colour(r, g, b, 1);
  glBegin(GL_QUADS);
  glVertex2f(x0, y0);
  glVertex2f(x1, y0);
  glVertex2f(x1, y1);
  glVertex2f(x0, y1);
  glEnd();
}

}  // namespace mxt_test
