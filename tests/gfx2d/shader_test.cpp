// Shader programs: loading, the logs a developer reads, uniforms, and 2D
// drawing through a program, checked by reading pixels back.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>

#include "runtime/base/log.h"
#include "runtime/base/singletons.h"
#include "runtime/gfx2d/draw.h"
#include "runtime/gfx2d/renderer.h"
#include "runtime/gfx2d/shaders.h"
#include "support/child.h"
#include "support/gl.h"
#include <moxtril.h>

using namespace mxt;
using namespace mxt_test;

namespace {

const char* kInvert =
    "uniform sampler2D TextureID1;\n"
    "void main() {\n"
    "  vec4 c = texture2D(TextureID1, gl_TexCoord[0].xy) * gl_Color;\n"
    "  gl_FragColor = vec4(1.0 - c.rgb, c.a);\n"
    "}\n";

// Multiplies the sprite by a grey level the game sets.
const char* kDim =
    "uniform sampler2D TextureID1;\n"
    "uniform float level;\n"
    "void main() {\n"
    "  vec4 c = texture2D(TextureID1, gl_TexCoord[0].xy);\n"
    "  gl_FragColor = vec4(c.rgb * level, c.a);\n"
    "}\n";

const char* kPassVertex =
    "void main() {\n"
    "  gl_TexCoord[0] = gl_MultiTexCoord0;\n"
    "  gl_FrontColor = gl_Color;\n"
    "  gl_Position = ftransform();\n"
    "}\n";

class Shaders : public RendererTest {
 protected:
  void SetUp() override {
    RendererTest::SetUp();
    ASSERT_NE(renderer->shader_state, nullptr) << "the 3D renderer brings the slots";
    log_start_ = read_file(log_path()).size();
  }
  void TearDown() override {
    for (int slot = 0; slot < 4; ++slot) (void)mxt_load_shader(slot, "", "");
    mxt_use_shader(-1);
  }
  // The debug log's lines written since the test began.
  std::vector<std::string> new_log_lines() const {
    const std::string log = read_file(log_path());
    return split_lines(log.size() > log_start_ ? log.substr(log_start_) : std::string());
  }
  std::string source(const std::string& name, const char* text) {
    const std::string path = dir_.file(name);
    EXPECT_TRUE(write_file(path, text));
    return path;
  }
  // A 16 x 16 sprite of one colour (0xAABBGGRR).
  static void solid_sprite(int n, int32_t colour) {
    RtArray<int32_t> a;
    mxt_dim(a, 256);
    for (int i = 0; i < 256; ++i) a(i) = colour;
    ASSERT_TRUE(mxt_sprite_from_array(a, n, 16, 16));
  }
  TempDir dir_;
  size_t log_start_ = 0;
};

}  // namespace

TEST_F(Shaders, SlotsOutOfRangeAreRefusedWithoutAWord) {
  const std::string fs = source("invert.frag", kInvert);
  EXPECT_FALSE(mxt_load_shader(255, "", RtString(fs.c_str())));
  EXPECT_FALSE(mxt_load_shader(-1, "", RtString(fs.c_str())));
  EXPECT_TRUE(new_log_lines().empty());
  EXPECT_TRUE(mxt_load_shader(254, "", RtString(fs.c_str())));
  EXPECT_NE(renderer->shader_state->slots[254].program, 0u);
  (void)mxt_load_shader(254, "", "");
}

TEST_F(Shaders, ADriverWithoutShaderObjectsIsNamedOnceThenRefusedQuietly) {
  const GlEntryPoints saved = renderer->gl.ext();
  const bool warned = renderer->shader_state->warn_missing;
  renderer->gl.ext_for_tests().CreateShaderObjectARB = nullptr;
  renderer->shader_state->warn_missing = true;
  const std::string fs = source("invert.frag", kInvert);
  EXPECT_FALSE(mxt_load_shader(0, "", RtString(fs.c_str())));
  EXPECT_FALSE(mxt_load_shader(1, "", RtString(fs.c_str())));
  renderer->gl.ext_for_tests() = saved;
  renderer->shader_state->warn_missing = warned;
  const std::vector<std::string> lines = new_log_lines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0], "No OpenGL 2.0 Shader Support");
}

TEST_F(Shaders, ACompileErrorLogsTheDriversTextThenWhichShaderFailed) {
  const std::string fs = source("broken.frag", "void main() { gl_FragColor = vec4(1.0) }\n");
  EXPECT_FALSE(mxt_load_shader(0, "", RtString(fs.c_str())));
  const std::vector<std::string> lines = new_log_lines();
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines.back(), "fragment shader failed");
  EXPECT_NE(lines.front().find("error"), std::string::npos) << "the compile log comes first: " << lines.front();
  EXPECT_EQ(renderer->shader_state->slots[0].program, 0u) << "nothing is linked";
  EXPECT_EQ(renderer->shader_state->slots[0].fragment, 0u);

  const std::string vs = source("broken.vert", "void main() { gl_Position = ; }\n");
  EXPECT_FALSE(mxt_load_shader(1, RtString(vs.c_str()), ""));
  EXPECT_EQ(new_log_lines().back(), "vertex shader failed");
  EXPECT_FALSE(mxt_load_shader(2, RtString(dir_.file("missing.frag").c_str()), ""));
  EXPECT_EQ(new_log_lines().back(), "vertex shader failed");
}

TEST_F(Shaders, ALinkErrorIsLoggedAndTheSlotLeftEmpty) {
  // It compiles, but a function declared and never defined fails the link on
  // every driver.
  const std::string fs = source("undefined.frag",
                                "vec4 colour();\nvoid main() { gl_FragColor = colour(); }\n");
  EXPECT_FALSE(mxt_load_shader(3, "", RtString(fs.c_str())));
  EXPECT_EQ(new_log_lines().back(), "link shader failed");
  EXPECT_EQ(renderer->shader_state->slots[3].program, 0u);
}

TEST_F(Shaders, AnUnknownUniformIsNamedOnALineOfItsOwn) {
  const std::string fs = source("dim.frag", kDim);
  ASSERT_TRUE(mxt_load_shader(0, "", RtString(fs.c_str())));
  mxt_set_shader_float("brightness", 1.0);  // no slot in use: nothing at all
  EXPECT_TRUE(new_log_lines().empty());
  mxt_use_shader(0);
  mxt_set_shader_float("level", 0.5);
  mxt_set_shader_float("brightness", 1.0);
  mxt_set_shader_int("frames", 3);
  const std::vector<std::string> lines = new_log_lines();
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0], "undefined uniform:");
  EXPECT_EQ(lines[1], "brightness");
  EXPECT_EQ(lines[2], "undefined uniform:");
  EXPECT_EQ(lines[3], "frames");
}

TEST_F(Shaders, ASpriteDrawnThroughAnInvertingShaderReadsBackInverted) {
  solid_sprite(1, static_cast<int32_t>(0xFF4080C0u));  // r 0xC0, g 0x80, b 0x40
  const std::string fs = source("invert.frag", kInvert);
  ASSERT_TRUE(mxt_load_shader(0, "", RtString(fs.c_str())));
  const std::string vs = source("pass.vert", kPassVertex);
  ASSERT_TRUE(mxt_load_shader(1, RtString(vs.c_str()), RtString(fs.c_str())));

  mxt_draw_sprite(1, 10, 10);  // collected before the program changes: drawn plainly
  mxt_use_shader(0);
  mxt_draw_sprite(1, 40, 10);
  mxt_use_shader(1);
  mxt_draw_sprite(1, 70, 10);
  mxt_use_shader(-1);
  mxt_draw_sprite(1, 100, 10);
  EXPECT_TRUE(near(read_pixel(15, 15), Rgba{0xC0, 0x80, 0x40, 255}, 1)) << read_pixel(15, 15);
  EXPECT_TRUE(near(read_pixel(45, 15), Rgba{0x3F, 0x7F, 0xBF, 255}, 1)) << read_pixel(45, 15);
  EXPECT_TRUE(near(read_pixel(75, 15), Rgba{0x3F, 0x7F, 0xBF, 255}, 1)) << "with a vertex shader too " << read_pixel(75, 15);
  EXPECT_TRUE(near(read_pixel(105, 15), Rgba{0xC0, 0x80, 0x40, 255}, 1));
  EXPECT_EQ(read_pixel(45, 30), (Rgba{0, 0, 0, 255})) << "only the sprite's own pixels";
}

TEST_F(Shaders, AUniformSetBetweenTwoDrawsAppliesOnlyToTheLaterOne) {
  solid_sprite(1, static_cast<int32_t>(0xFFFFFFFFu));
  const std::string fs = source("dim.frag", kDim);
  ASSERT_TRUE(mxt_load_shader(0, "", RtString(fs.c_str())));
  mxt_use_shader(0);
  mxt_set_shader_float("level", 1.0);
  mxt_draw_sprite(1, 10, 10);
  mxt_set_shader_float("level", 0.5);
  mxt_draw_sprite(1, 40, 10);
  EXPECT_TRUE(near(read_pixel(15, 15), Rgba{255, 255, 255, 255}, 1));
  EXPECT_TRUE(near(read_pixel(45, 15), Rgba{128, 128, 128, 255}, 1)) << read_pixel(45, 15);
}

TEST_F(Shaders, EveryFrameStartsWithoutAProgram) {
  const std::string fs = source("invert.frag", kInvert);
  ASSERT_TRUE(mxt_load_shader(0, "", RtString(fs.c_str())));
  mxt_use_shader(0);
  const GLint game = static_cast<GLint>(renderer->shader_state->slots[0].program);
  GLint program = 0;
  glGetIntegerv(GL_CURRENT_PROGRAM, &program);
  EXPECT_EQ(program, game);
  renderer->begin_frame();
  glGetIntegerv(GL_CURRENT_PROGRAM, &program);
  EXPECT_NE(program, game);
  EXPECT_EQ(renderer->gl.game_program(), 0u);
  EXPECT_EQ(renderer->shader_state->current, -1);
  solid_sprite(1, static_cast<int32_t>(0xFF0000FFu));
  mxt_draw_sprite(1, 10, 10);
  EXPECT_EQ(read_pixel(15, 15), (Rgba{255, 0, 0, 255})) << "drawn plainly";
}

TEST_F(Shaders, ReloadingTheSlotInUseDrawsWithTheNewProgram) {
  solid_sprite(1, static_cast<int32_t>(0xFFFFFFFFu));
  const std::string dim = source("dim.frag", kDim);
  ASSERT_TRUE(mxt_load_shader(0, "", RtString(dim.c_str())));
  mxt_use_shader(0);
  mxt_set_shader_float("level", 0.5);
  mxt_draw_sprite(1, 10, 10);
  const std::string invert = source("invert.frag", kInvert);
  ASSERT_TRUE(mxt_load_shader(0, "", RtString(invert.c_str())));
  mxt_draw_sprite(1, 40, 10);
  EXPECT_TRUE(near(read_pixel(15, 15), Rgba{128, 128, 128, 255}, 1)) << "the old program drew what was collected";
  EXPECT_TRUE(near(read_pixel(45, 15), Rgba{0, 0, 0, 255}, 1)) << "white inverted";
  ASSERT_FALSE(mxt_load_shader(0, "", RtString(dir_.file("none.frag").c_str())));
  mxt_draw_sprite(1, 70, 10);
  EXPECT_EQ(read_pixel(75, 15), (Rgba{255, 255, 255, 255})) << "a failed reload leaves the slot empty: drawn plainly";
}

TEST_F(Shaders, TwoDDrawsThroughTheRuntimesOwnProgramsUnlessSwitchedOff) {
  const char* fixed = std::getenv("MXT_GL_FIXED_FUNCTION");
  const bool fixed_function = fixed && std::string(fixed) == "1";
  EXPECT_EQ(renderer->gl.has_builtin_programs(), !fixed_function);
  solid_sprite(1, static_cast<int32_t>(0xFF00FF00u));
  GLint program = -1;
  mxt_draw_sprite(1, 10, 10);
  flush_drawing();
  glGetIntegerv(GL_CURRENT_PROGRAM, &program);
  EXPECT_EQ(program, static_cast<GLint>(renderer->gl.builtin_program(0)));
  mxt_draw_rect(40, 10, 10, 10, 0xFF0000);
  flush_drawing();
  glGetIntegerv(GL_CURRENT_PROGRAM, &program);
  EXPECT_EQ(program, static_cast<GLint>(renderer->gl.builtin_program(1)));
  EXPECT_EQ(read_pixel(15, 15), (Rgba{0, 255, 0, 255}));
  EXPECT_EQ(read_pixel(45, 15), (Rgba{0, 0, 255, 255}));
  // A batch on a sprite never loaded has no texture: its vertex colours alone
  // show, as the fixed stages draw it (not the black of sampling nothing).
  mxt_start_poly(60000, 1);
  mxt_poly_vector(70, 10, 0, 0, 0x0000FF);
  mxt_poly_vector(90, 10, 1, 0, 0x0000FF);
  mxt_poly_vector(70, 30, 0, 1, 0x0000FF);
  mxt_end_poly();
  EXPECT_EQ(read_pixel(74, 14), (Rgba{255, 0, 0, 255}));
}

TEST_F(Shaders, AttributesAreSetByNameAndAnUnknownOneIsNamed) {
  const std::string vs = source("attr.vert",
                                "attribute float shade;\n"
                                "void main() {\n"
                                "  gl_TexCoord[0] = gl_MultiTexCoord0;\n"
                                "  gl_FrontColor = vec4(shade, shade, shade, 1.0);\n"
                                "  gl_Position = ftransform();\n"
                                "}\n");
  ASSERT_TRUE(mxt_load_shader(0, RtString(vs.c_str()), ""));
  mxt_use_shader(0);
  ShaderSlots& slots = *renderer->shader_state;
  set_shader_attribute(renderer->gl, slots, "shade", 0.5f, nullptr);
  mxt_draw_rect(10, 10, 10, 10, 0xFFFFFF);
  EXPECT_TRUE(near(read_pixel(15, 15), Rgba{128, 128, 128, 255}, 1)) << read_pixel(15, 15);
  auto report = [](const char* line) {
    std::string text(line);
    text += '\n';
    write_log_line(text.c_str());
  };
  set_shader_attribute(renderer->gl, slots, "tint", 1.0f, report);
  const std::vector<std::string> lines = new_log_lines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "undefined attrib:");
  EXPECT_EQ(lines[1], "tint");
}
