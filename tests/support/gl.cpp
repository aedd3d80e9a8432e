#include "support/gl.h"

#include "runtime/base/singletons.h"
#include "runtime/gfx2d/draw.h"
#include "runtime/gfx3d/renderer3d.h"
#include "runtime/platform/platform.h"
#include "support/runtime.h"

namespace mxt_test {

bool near(const Rgba& a, const Rgba& b, int tolerance) {
  auto close = [tolerance](int p, int q) { return p - q <= tolerance && q - p <= tolerance; };
  return close(a.r, b.r) && close(a.g, b.g) && close(a.b, b.b) && close(a.a, b.a);
}

Rgba read_pixel(int x, int y) {
  GLint vp[4];
  glGetIntegerv(GL_VIEWPORT, vp);
  const int height = mxt::rt.renderer ? mxt::rt.renderer->window_height : vp[3];
  uint8_t p[4] = {0, 0, 0, 0};
  mxt::flush_drawing();
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadBuffer(GL_BACK);
  glReadPixels(x, height - 1 - y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
  return {p[0], p[1], p[2], p[3]};
}

float read_depth(int x, int y) {
  const int height = mxt::rt.renderer ? mxt::rt.renderer->window_height : 0;
  float d = -1;
  mxt::flush_drawing();
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
  // As start-up does: the 3D renderer, bound to the 2D one, brings the shader slots.
  delete mxt::rt.renderer3d;
  mxt::rt.renderer3d = new mxt::Razazedu3V(*r);
  return r;
}

void destroy_renderer(mxt::VuduRODoverore* r) {
  const bool bound = r && mxt::rt.renderer3d && r->renderer_3d == mxt::rt.renderer3d;
  if (mxt::rt.renderer == r) {
    mxt::rt.renderer = nullptr;
    mxt::rt.window = nullptr;
  }
  delete r;  // unbinds the 3D renderer first, as shutdown has it
  if (bound) {
    delete mxt::rt.renderer3d;
    mxt::rt.renderer3d = nullptr;
  }
}

void fill_rect(float x0, float y0, float x1, float y1, float r, float g, float b) {
  mxt::VuduRODoverore* renderer = mxt::rt.renderer;
  renderer->bind_sprite(-1);
  renderer->gl.set_colour(r, g, b, 1);
  glBegin(GL_QUADS);
  glVertex2f(x0, y0);
  glVertex2f(x1, y0);
  glVertex2f(x1, y1);
  glVertex2f(x0, y1);
  glEnd();
}

mxt::VuduRODoverore* RendererTest::renderer = nullptr;

void RendererTest::SetUpTestSuite() { renderer = make_renderer(kWidth, kHeight); }

void RendererTest::TearDownTestSuite() {
  destroy_renderer(renderer);
  renderer = nullptr;
}

void RendererTest::SetUp() {
  ASSERT_NE(renderer, nullptr) << mxt::platform::last_error();
  reset_drawing_state(*renderer);
}

}  // namespace mxt_test
