// The renderer's window and context in this process, checked by reading
// pixels back from the frame being drawn.
#include <gtest/gtest.h>

#include <cstring>

#include "runtime/base/singletons.h"
#include <moxtril.h>
#include "runtime/core/runtime.h"
#include "runtime/gfx2d/viewport.h"
#include "runtime/platform/platform.h"
#include "support/child.h"
#include "support/gl.h"
#include "support/runtime.h"

using namespace mxt;
using namespace mxt_test;

namespace {

class Context : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { renderer = make_renderer(160, 120); }
  static void TearDownTestSuite() {
    destroy_renderer(renderer);
    renderer = nullptr;
  }
  void SetUp() override {
    ASSERT_NE(renderer, nullptr) << platform::last_error();
    reset_drawing_state(*renderer);
  }
  static VuduRODoverore* renderer;
};
VuduRODoverore* Context::renderer = nullptr;

const Rgba kBlack{0, 0, 0, 255};
const Rgba kRed{255, 0, 0, 255};
const Rgba kGreen{0, 255, 0, 255};

}  // namespace

TEST_F(Context, ClearColourIsBgrInAnIntegerAndTheColourKeyClearsWithAlphaZero) {
  renderer->set_clear_colour(0x0000FF);
  EXPECT_EQ(read_pixel(5, 5), kRed);
  renderer->set_clear_colour(0x00FF00);
  EXPECT_EQ(read_pixel(159, 119), kGreen);
  renderer->set_clear_colour(0x8000FF);  // the colour key
  EXPECT_EQ(read_pixel(80, 60), (Rgba{255, 0, 128, 0}));
  renderer->set_clear_colour(0x8000FE);
  EXPECT_EQ(read_pixel(80, 60), (Rgba{254, 0, 128, 255}));
}

TEST_F(Context, ClearingOffLeavesTheFrameAndTheBackgroundStepClearsOtherwise) {
  renderer->set_clear_colour(0x0000FF);
  fill_rect(0, 0, 160, 120, 0, 1, 0);
  mxt_set_clear_colour(-1);
  EXPECT_EQ(read_pixel(10, 10), kGreen) << "switching clearing off clears nothing";
  renderer->clear_background();
  renderer->begin_frame();
  EXPECT_EQ(read_pixel(10, 10), kGreen) << "no clearing while it is off";
  mxt_set_clear_colour(0);
  fill_rect(0, 0, 160, 120, 0, 1, 0);
  renderer->clear_background();
  EXPECT_EQ(read_pixel(10, 10), kBlack);
}

TEST_F(Context, DepthIsClearedOnlyByTheFirstClearAfterConstruction) {
  EXPECT_EQ(renderer->depth_clear_pending, 0) << "window creation presented a frame already";
  glClearDepth(0.25);
  glClear(GL_DEPTH_BUFFER_BIT);
  glClearDepth(1.0);
  renderer->clear_background();
  EXPECT_FLOAT_EQ(read_depth(3, 3), 0.25f) << "later clears leave the depth buffer to the 3D renderer";
  renderer->depth_clear_pending = 1;  // as after construction
  mxt_set_clear_colour(-1);
  renderer->clear_background();
  EXPECT_FLOAT_EQ(read_depth(3, 3), 1.0f);
  EXPECT_EQ(renderer->depth_clear_pending, 0);
}

TEST_F(Context, DefaultStateHasTheOriginTopLeftAndYDown) {
  fill_rect(10, 20, 11, 21, 1, 1, 1);
  EXPECT_EQ(read_pixel(10, 20), (Rgba{255, 255, 255, 255}));
  EXPECT_EQ(read_pixel(11, 20), kBlack);
  EXPECT_EQ(read_pixel(10, 21), kBlack);
  EXPECT_EQ(read_pixel(9, 20), kBlack);
  EXPECT_EQ(read_pixel(10, 19), kBlack);
  EXPECT_TRUE(glIsEnabled(GL_BLEND));
  EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST));
  EXPECT_EQ(renderer->alpha_value, 1.0f);
}

TEST_F(Context, EachOrientationTurnsTheLogicalScreenInsideTheWindow) {
  // Where logical pixel (3, 7) lands in the 160 x 120 window for each quarter turn.
  const int window_point[4][2] = {{3, 7}, {152, 3}, {156, 112}, {7, 116}};
  for (int o = 0; o < 4; ++o) {
    mxt_set_orientation(o);
    int w, h;
    mxt_screen_size(w, h);
    EXPECT_EQ(w, o % 2 ? 120 : 160);
    EXPECT_EQ(h, o % 2 ? 160 : 120);
    renderer->clear_background();
    fill_rect(3, 7, 4, 8, 1, 0, 0);  // logical pixel (3, 7)
    const int wx = window_point[o][0], wy = window_point[o][1];
    EXPECT_EQ(read_pixel(wx, wy), kRed) << "orientation " << o << " window " << wx << "," << wy;
    EXPECT_EQ(mxt_get_orientation(), o);
  }
  mxt_set_orientation(7);
  EXPECT_EQ(mxt_get_orientation(), 3);
  mxt_set_orientation(-2);
  EXPECT_EQ(mxt_get_orientation(), 0);
}

TEST_F(Context, VirtualResolutionScalesAndCentresTheLogicalScreen) {
  mxt_set_virtual_resolution(100, 100);  // r = min(1.6, 1.2): scale 1, offsets (30, 10)
  int w, h;
  mxt_screen_size(w, h);
  EXPECT_EQ(w, 100);
  EXPECT_EQ(h, 100);
  renderer->clear_background();
  fill_rect(0, 0, 1, 1, 1, 0, 0);
  EXPECT_EQ(read_pixel(30, 10), kRed);
  EXPECT_EQ(read_pixel(29, 10), kBlack);
  mxt_set_virtual_resolution(0, 0);
  mxt_set_virtual_resolution(80, 60);  // scale 2, no offset
  renderer->clear_background();
  fill_rect(1, 1, 2, 2, 0, 1, 0);
  for (const auto& [x, y] : {std::pair{2, 2}, std::pair{3, 3}, std::pair{2, 3}}) EXPECT_EQ(read_pixel(x, y), kGreen);
  EXPECT_EQ(read_pixel(4, 4), kBlack);
  mxt_set_viewport(10, 5, 20, 10);
  int vx, vy, vw, vh;
  mxt_get_viewport(vx, vy, vw, vh);
  EXPECT_EQ((ViewportRect{vx, vy, vw, vh}), (ViewportRect{10, 5, 20, 10}));
  EXPECT_EQ(renderer->viewport[0], 20);
  EXPECT_EQ(renderer->viewport[2], 40);
  renderer->begin_frame();  // back to the whole virtual screen
  mxt_get_viewport(vx, vy, vw, vh);
  EXPECT_EQ((ViewportRect{vx, vy, vw, vh}), (ViewportRect{0, 0, 80, 60}));
  mxt_set_virtual_resolution(0, 0);
  mxt_screen_size(w, h);
  EXPECT_EQ(w, 160);
}

TEST_F(Context, StateCacheIssuesNoCallForARepeatedRequest) {
  GlState& gl = renderer->gl;
  const uint64_t before = gl.gl_calls;
  gl.enable(GlCap::blend);  // already on after the default state
  gl.disable(GlCap::fog);
  gl.set_colour(1, 1, 1, 1);
  gl.set_blend_func(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  EXPECT_EQ(gl.gl_calls, before);
  gl.enable(GlCap::fog);
  gl.enable(GlCap::fog);
  gl.set_colour(0.5f, 1, 1, 1);
  gl.set_colour(0.5f, 1, 1, 1);
  EXPECT_EQ(gl.gl_calls, before + 2);
  EXPECT_TRUE(glIsEnabled(GL_FOG));
  gl.forget_all();
  gl.disable(GlCap::fog);  // unknown: always reaches GL
  EXPECT_EQ(gl.gl_calls, before + 3);
  EXPECT_FALSE(glIsEnabled(GL_FOG));
}

TEST_F(Context, StateCacheKnowsTexturesAndWhatAColourArrayLeavesBehind) {
  GlState& gl = renderer->gl;
  gl.select_unit(0);
  GLuint t = gl.create_texture();
  ASSERT_NE(t, 0u);
  EXPECT_EQ(gl.bound_texture(0), t);
  EXPECT_FALSE(gl.bind_texture(0, t)) << "already bound";
  GLint bound = 0;
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
  EXPECT_EQ(static_cast<GLuint>(bound), t);
  gl.set_texture_wrap(0, GL_CLAMP_TO_EDGE);
  const uint64_t before = gl.gl_calls;
  gl.set_texture_wrap(0, GL_CLAMP_TO_EDGE);
  EXPECT_EQ(gl.gl_calls, before);
  GLuint name = t;
  gl.delete_texture(t);
  EXPECT_EQ(t, 0u);
  EXPECT_EQ(gl.bound_texture(0), 0u) << "GL falls back to the default texture";
  EXPECT_TRUE(gl.bind_texture(0, name)) << "a deleted name binds again";
  gl.delete_texture(name);

  gl.set_colour(0.25f, 0.5f, 0.75f, 1);
  gl.set_colour_array(true);
  gl.set_colour_array(false);
  const uint64_t after_array = gl.gl_calls;
  gl.set_colour(0.25f, 0.5f, 0.75f, 1);  // the same colour, but GL's is undefined now
  EXPECT_EQ(gl.gl_calls, after_array + 1);
}

TEST_F(Context, ExtensionsAreProbedAndMissingEntryPointsLogged) {
  EXPECT_NE(renderer->gl.ext().ActiveTextureARB, nullptr);
  EXPECT_NE(renderer->gl.ext().GenBuffersARB, nullptr);
  EXPECT_NE(renderer->gl.ext().CreateShaderObjectARB, nullptr);
  EXPECT_NE(renderer->gl.ext().GetAttribLocationARB, nullptr);
  EXPECT_EQ(renderer->bgra_supported, 1);
  void* slot = reinterpret_cast<void*>(1);
  EXPECT_FALSE(fetch_entry_point(&slot, "mxtNoSuchEntryPoint"));
  EXPECT_EQ(slot, nullptr);
  const std::string log = read_file(std::string(getenv("TMPDIR")) + "/ErrorLog.txt");
  // the name padded to 35 characters, three blanks, no line feed
  EXPECT_NE(log.find("ext: mxtNoSuchEntryPoint" + std::string(35 - 19 + 3, ' ') + "[FAILED]"), std::string::npos);
  EXPECT_NE(log.find("Texture size limit: "), std::string::npos);
  EXPECT_TRUE(has_extension_word("A WGL_ARB_multisample B", "WGL_ARB_multisample"));
  EXPECT_FALSE(has_extension_word("A WGL_ARB_multisampleX B", "WGL_ARB_multisample"));
  EXPECT_FALSE(has_extension_word("XWGL_ARB_multisample", "WGL_ARB_multisample"));
  EXPECT_TRUE(has_extension_word("WGL_ARB_multisample", "WGL_ARB_multisample"));
  EXPECT_FALSE(has_extension_word(nullptr, "GL_EXT_bgra"));
  EXPECT_FALSE(has_extension_word("GL_EXT_bgra", ""));
  EXPECT_TRUE(is_software_renderer("Mesa Windows GDI Driver"));
  EXPECT_TRUE(is_software_renderer("llvmpipe (LLVM 15.0.6, 256 bits)"));
  EXPECT_FALSE(is_software_renderer("AMD Radeon RX 6600"));
}

TEST(ContextCreation, MultisampleRequestsHalveUntilAFormatExists) {
  VuduRODoverore* r = make_renderer(64, 48, 8);
  ASSERT_NE(r, nullptr);
  GLint samples = 0;
  glGetIntegerv(GL_SAMPLES, &samples);
  if (r->gl_renderer_name.find("llvmpipe") != std::string::npos) {
    // Mesa's software renderer offers 4 samples at most: 8 is asked, then 4.
    EXPECT_EQ(r->samples_obtained, 4);
    EXPECT_EQ(samples, 4);
  } else {
    // Elsewhere: a count on the halving ladder that the context really has.
    EXPECT_TRUE(r->samples_obtained == 8 || r->samples_obtained == 4 || r->samples_obtained == 2 ||
                r->samples_obtained == 1 || r->samples_obtained == 0)
        << r->samples_obtained;
    EXPECT_EQ(samples, r->samples_obtained) << r->gl_renderer_name;
  }
  destroy_renderer(r);
}
