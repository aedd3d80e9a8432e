// Drawing objects inside the 2D frame, checked by reading pixels back: where
// a cube lands, which of two objects hides the other, light, texture,
// shaders, and that 2D drawing around the 3D goes on as before.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "runtime/base/singletons.h"
#include "runtime/gfx2d/renderer.h"
#include "runtime/gfx2d/sprites.h"
#include "runtime/gfx3d/renderer3d.h"
#include "support/child.h"
#include "support/gl.h"
#include "support/runtime.h"
#include <moxtril.h>

using namespace mxt;
using namespace mxt_test;

namespace {

const Rgba kBlack{0, 0, 0, 255};

MeshVertex vertex(float x, float y, float z, float nx, float ny, float nz, uint32_t colour, float u = 0,
                  float v = 0) {
  MeshVertex m;
  m.x = x, m.y = y, m.z = z;
  m.nx = nx, m.ny = ny, m.nz = nz;
  m.u = u, m.v = v;
  m.packed = colour;
  set_vertex_colour(m, colour);
  return m;
}

// A square of side 2 at depth z facing +z, as two triangles, with texture
// coordinates 0..1 (v = 0 at the top).
void add_square(std::vector<MeshVertex>& out, float z, uint32_t colour) {
  const MeshVertex a = vertex(-1, 1, z, 0, 0, 1, colour, 0, 0), b = vertex(-1, -1, z, 0, 0, 1, colour, 0, 1);
  const MeshVertex c = vertex(1, -1, z, 0, 0, 1, colour, 1, 1), d = vertex(1, 1, z, 0, 0, 1, colour, 1, 0);
  for (const MeshVertex& m : {a, b, c, a, c, d}) out.push_back(m);
}

// A cube of side 2 about the origin; each face its own colour.
void add_cube(std::vector<MeshVertex>& out) {
  const float s[6][3] = {{0, 0, 1}, {0, 0, -1}, {1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}};
  const uint32_t colours[6] = {0x0000FF, 0x00FF00, 0xFF0000, 0x00FFFF, 0xFF00FF, 0xFFFF00};
  for (int f = 0; f < 6; ++f) {
    const float* n = s[f];
    // Two axes across the face.
    const float a[3] = {n[1] != 0 || n[2] != 0 ? 1.0f : 0.0f, n[0] != 0 ? 1.0f : 0.0f, 0};
    const float b[3] = {n[1] * a[2] - n[2] * a[1], n[2] * a[0] - n[0] * a[2], n[0] * a[1] - n[1] * a[0]};
    auto corner = [&](float p, float q) {
      return vertex(n[0] + p * a[0] + q * b[0], n[1] + p * a[1] + q * b[1], n[2] + p * a[2] + q * b[2], n[0], n[1],
                    n[2], colours[f]);
    };
    const MeshVertex c0 = corner(-1, -1), c1 = corner(1, -1), c2 = corner(1, 1), c3 = corner(-1, 1);
    for (const MeshVertex& m : {c0, c1, c2, c0, c2, c3}) out.push_back(m);
  }
}

class Draw3D : public RendererTest {
 protected:
  void SetUp() override {
    RendererTest::SetUp();
    r3 = rt.renderer3d;
    ASSERT_NE(r3, nullptr);
    mxt_set_camera(0, 0, 5, 0, 0, 0, 45);
    mxt_set_light(0, 0, 0, 1);  // unlit: colours exact
  }
  void TearDown() override {
    for (int n = 0; n < 4; ++n) mxt_free_object(n);
    mxt_use_shader(-1);
  }
  // Object n from a vertex list, as a loaded file would leave it.
  void make_object(int n, const std::vector<MeshVertex>& vertices, int frames = 1) {
    MeshObject& m = r3->objects[static_cast<size_t>(n)];
    mxt_free_object(n);
    m.frames.resize(static_cast<size_t>(frames));
    for (MeshFrame& f : m.frames) f.vertices = vertices;
    m.loaded = 1;
  }
  static void draw(int n, double z = 0, double turn_y = 0, int sprite = -1, double scale = 1) {
    mxt_draw_object(n, 0, 0, 0, z, 0, turn_y, 0, scale, sprite);
  }
  Razazedu3V* r3 = nullptr;
};

}  // namespace

TEST(Triangulate, MarkedPolygonsBecomeFansAndPlainListsStayTriangles) {
  std::vector<MeshVertex> v;
  const uint32_t marker = kFaceMarker;
  v.push_back(vertex(9, 9, 9, 0, 0, 1, 0xFF));  // before any marker: in no polygon
  v.push_back(vertex(0, 0, 0, 0, 0, 0, marker));
  for (int i = 0; i < 4; ++i)  // a quad
    v.push_back(vertex(static_cast<float>(i == 1 || i == 2), static_cast<float>(i >= 2), 0, 0, 0, 0, 0xFF));
  v.push_back(vertex(0, 0, 0, 0, 0, 0, marker));
  for (int i = 0; i < 3; ++i) v.push_back(vertex(static_cast<float>(i), 0, static_cast<float>(i == 2), 0, 1, 0, 0xFF00));
  v.push_back(vertex(0, 0, 0, 0, 0, 0, marker));  // an empty polygon at the end
  std::vector<DrawVertex> out;
  triangulate_frame(v, out);
  ASSERT_EQ(out.size(), 9u) << "a quad is two triangles, a triangle one";
  EXPECT_EQ(out[0].x, 0);
  EXPECT_EQ(out[3].x, 0) << "fans share the first corner";
  EXPECT_FLOAT_EQ(std::fabs(out[0].nz), 1.0f) << "a corner without a normal takes the face's";
  EXPECT_FLOAT_EQ(out[6].ny, 1.0f) << "a corner with a normal keeps it";
  EXPECT_FLOAT_EQ(out[6].g, 1.0f);

  std::vector<MeshVertex> plain;
  add_square(plain, 0, 0xFF);
  plain.push_back(plain[0]);  // an incomplete last triangle
  triangulate_frame(plain, out);
  EXPECT_EQ(out.size(), 6u);
}

TEST_F(Draw3D, ACubeFacingTheCameraCoversTheSquareItProjectsTo) {
  std::vector<MeshVertex> cube;
  add_cube(cube);
  make_object(0, cube);
  draw(0);
  // The front face (z = 1) is 4 units away: half its side over tan(22.5)
  // times 4 is 0.604 of the half-height, 60.4 of the 100 pixels.
  const Rgba red{255, 0, 0, 255};
  for (int d : {-58, -30, 0, 30, 58}) {
    EXPECT_EQ(read_pixel(100 + d, 100), red) << d;
    EXPECT_EQ(read_pixel(100, 100 + d), red) << d;
  }
  for (int d : {-63, 63}) {
    EXPECT_EQ(read_pixel(100 + d, 100), kBlack) << d;
    EXPECT_EQ(read_pixel(100, 100 + d), kBlack) << d;
  }
  // Turned 90 degrees about y, the face that was on +x looks at the camera.
  renderer->begin_frame();
  r3->frame_step();
  draw(0, 0, -90);
  EXPECT_EQ(read_pixel(100, 100), (Rgba{0, 0, 255, 255}));
  EXPECT_EQ(r3->objects_drawn > 0, true);
}

TEST_F(Draw3D, TheNearerObjectHidesTheFartherWhateverTheOrder) {
  std::vector<MeshVertex> near_square, far_square;
  add_square(near_square, 0, 0x00FF00);
  add_square(far_square, 0, 0x0000FF);
  make_object(0, near_square);
  make_object(1, far_square);
  draw(0, 1);    // nearer, first
  draw(1, -1, 0, -1, 2);  // farther and larger, after
  EXPECT_EQ(read_pixel(100, 100), (Rgba{0, 255, 0, 255})) << "the depth test kept the nearer square";
  EXPECT_EQ(read_pixel(100, 30), (Rgba{255, 0, 0, 255})) << "the farther square shows around it";

  // A new frame clears the depth before its first object.
  renderer->begin_frame();
  r3->frame_step();
  draw(1, -1);
  EXPECT_EQ(read_pixel(100, 100), (Rgba{255, 0, 0, 255}));
}

TEST_F(Draw3D, TwoDDrawingBeforeAndAfterAnObjectIsUnchanged) {
  std::vector<MeshVertex> square;
  add_square(square, 0, 0x00FF00);
  make_object(0, square);
  mxt_draw_rect(0, 0, 30, 30, 0xFF0000);  // collected before the object: must not be lost
  draw(0);
  mxt_draw_rect(90, 90, 20, 20, 0xFFFFFF);  // over the object
  mxt_draw_rect(170, 170, 30, 30, 0x0000FF);
  EXPECT_EQ(read_pixel(10, 10), (Rgba{0, 0, 255, 255}));
  EXPECT_EQ(read_pixel(100, 100), (Rgba{255, 255, 255, 255}));
  EXPECT_EQ(read_pixel(89, 100), (Rgba{0, 255, 0, 255}));
  EXPECT_EQ(read_pixel(185, 185), (Rgba{255, 0, 0, 255}));
  EXPECT_EQ(read_pixel(169, 185), kBlack) << "the 2D view is back exactly";
  GLboolean depth = GL_TRUE;
  glGetBooleanv(GL_DEPTH_TEST, &depth);
  EXPECT_EQ(depth, GL_FALSE);
}

TEST_F(Draw3D, TheLightBrightensWhatFacesItAndLeavesTheAmbientElsewhere) {
  std::vector<MeshVertex> square;
  add_square(square, 0, 0xFFFFFF);
  make_object(0, square);
  mxt_set_light(0, 0, -1, 0.25);  // shining away from the camera, onto the square's face
  draw(0);
  const Rgba lit = read_pixel(100, 100);
  renderer->begin_frame();
  r3->frame_step();
  mxt_set_light(0, 0, 1, 0.25);  // from behind
  draw(0);
  const Rgba unlit = read_pixel(100, 100);
  EXPECT_TRUE(near(lit, Rgba{255, 255, 255, 255}, 1)) << lit;
  EXPECT_TRUE(near(unlit, Rgba{64, 64, 64, 255}, 1)) << unlit;
}

TEST_F(Draw3D, ASpriteTexturesTheObjectTopRowAtVZero) {
  RtArray<int32_t> pixels;
  mxt_dim(pixels, 5 * 6);
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 5; ++x) pixels(y * 5 + x) = static_cast<int32_t>(y < 3 ? 0xFF0000FFu : 0xFFFF0000u);
  ASSERT_TRUE(mxt_sprite_from_array(pixels, 5, 5, 6));  // red on top, blue below, in a larger texture
  const SpriteRecord* record = sprite_record(5);
  ASSERT_NE(record, nullptr);
  EXPECT_LT(record->v_max, 1.0f) << "the case this test is about: the image fills part of its texture";
  std::vector<MeshVertex> square;
  add_square(square, 0, 0xFFFFFF);
  make_object(0, square);
  draw(0, 0, 0, 5);
  EXPECT_EQ(read_pixel(100, 80), (Rgba{255, 0, 0, 255}));
  EXPECT_EQ(read_pixel(100, 120), (Rgba{0, 0, 255, 255}));
  draw(0, 0.5, 0, -1);  // untextured, nearer: the vertex colour alone
  EXPECT_EQ(read_pixel(100, 80), (Rgba{255, 255, 255, 255}));
}

TEST_F(Draw3D, AShaderInUseDrawsTheObjectsToo) {
  TempDir dir;
  const std::string fs = dir.file("invert.frag");
  ASSERT_TRUE(write_file(fs, "void main() { gl_FragColor = vec4(1.0 - gl_Color.rgb, 1.0); }\n"));
  ASSERT_TRUE(mxt_load_shader(0, "", RtString(fs.c_str())));
  std::vector<MeshVertex> square;
  add_square(square, 0, 0x0000FF);
  make_object(0, square);
  mxt_use_shader(0);
  draw(0);
  EXPECT_EQ(read_pixel(100, 100), (Rgba{0, 255, 255, 255}));
  GLint program = 0;
  glGetIntegerv(GL_CURRENT_PROGRAM, &program);
  EXPECT_NE(program, 0) << "still in use for the 2D drawing that follows";

  // The samplers point at units 0 and 1 whenever an object is drawn, whatever
  // the game left in them.
  const std::string tex = dir.file("texture.frag");
  ASSERT_TRUE(write_file(tex, "uniform sampler2D TextureID1;\n"
                              "void main() { gl_FragColor = texture2D(TextureID1, gl_TexCoord[0].xy); }\n"));
  ASSERT_TRUE(mxt_load_shader(1, "", RtString(tex.c_str())));
  RtArray<int32_t> pixels;
  mxt_dim(pixels, 4);
  for (int i = 0; i < 4; ++i) pixels(i) = static_cast<int32_t>(0xFF00FF00u);
  ASSERT_TRUE(mxt_sprite_from_array(pixels, 6, 2, 2));
  mxt_use_shader(1);
  mxt_set_shader_int("TextureID1", 1);  // unit 1 holds nothing: black, were it left so
  draw(0, 0.5, 0, 6);
  EXPECT_EQ(read_pixel(100, 100), (Rgba{0, 255, 0, 255}));
}

TEST_F(Draw3D, ObjectsFollowTheViewportAndSurviveANewContext) {
  std::vector<MeshVertex> square;
  add_square(square, 0, 0x00FF00);
  make_object(0, square);
  mxt_set_viewport(100, 0, 100, 100);
  draw(0);
  EXPECT_EQ(read_pixel(150, 50), (Rgba{0, 255, 0, 255})) << "centred in the viewport";
  EXPECT_EQ(read_pixel(50, 50), kBlack);
  EXPECT_EQ(read_pixel(150, 150), kBlack);
  mxt_set_viewport(0, 0, 0, 0);

  ASSERT_TRUE(renderer->recreate_context(kWidth, kHeight));
  reset_drawing_state(*renderer);
  mxt_set_camera(0, 0, 5, 0, 0, 0, 45);
  mxt_set_light(0, 0, 0, 1);
  draw(0);
  EXPECT_EQ(read_pixel(100, 100), (Rgba{0, 255, 0, 255})) << "uploaded again into the new context";
}

TEST_F(Draw3D, CommandsRefuseWhatTheyCannotUse) {
  mxt_set_camera(0, 0, 5, 0, 0, 0, 0);      // no field of view
  mxt_set_camera(0, 0, 5, 0, 0, 0, 180);
  mxt_set_camera(0, 0, 5, 0, 0, 0, std::nan(""));
  mxt_set_camera(1, 1, 1, 1, 1, 1, 60);     // eye on the target
  EXPECT_EQ(r3->camera.fov, 45);
  EXPECT_EQ(r3->camera.eye[2], 5);

  EXPECT_EQ(mxt_object_frames(0), 0);
  EXPECT_EQ(mxt_object_frames(-1), 0);
  EXPECT_EQ(mxt_object_frames(Razazedu3V::kObjects), 0);
  EXPECT_EQ(mxt_object_vertices(0, 0), 0);
  const uint64_t drawn = r3->objects_drawn;
  mxt_draw_object(0, 0, 0, 0, 0, 0, 0, 0, 1, -1);       // empty
  mxt_draw_object(-1, 0, 0, 0, 0, 0, 0, 0, 1, -1);
  std::vector<MeshVertex> square;
  add_square(square, 0, 0xFF);
  make_object(1, square, 2);
  EXPECT_EQ(mxt_object_frames(1), 2);
  EXPECT_EQ(mxt_object_vertices(1, 1), 6);
  mxt_draw_object(1, 2, 0, 0, 0, 0, 0, 0, 1, -1);       // no such frame
  EXPECT_EQ(r3->objects_drawn, drawn);
  EXPECT_EQ(read_pixel(100, 100), kBlack);

  TempDir dir;
  EXPECT_FALSE(mxt_load_object(2, RtString(dir.file("none.ddd").c_str())));
  EXPECT_EQ(mxt_last_error(), 3);
  EXPECT_FALSE(mxt_load_object(Razazedu3V::kObjects, RtString(dir.file("none.ddd").c_str())));
}

TEST_F(Draw3D, EachTargetClearsItsOwnDepthOncePerFrame) {
  std::vector<MeshVertex> square;
  add_square(square, 0, 0x00FF00);
  make_object(0, square);
  draw(0, 2);  // near, in the window: its depth stays behind after the frame
  renderer->begin_frame();
  r3->frame_step();
  // The new frame's first object goes into a surface...
  mxt_create_screen(0, 40, 64, 64);
  mxt_use_screen(0);
  draw(0, 2);
  mxt_use_screen(-1);
  // ...and a farther one into the window must not meet last frame's depth.
  draw(0, -1);
  EXPECT_EQ(read_pixel(100, 100), (Rgba{0, 255, 0, 255}));
}

TEST_F(Draw3D, ATextObjectFromAFileDrawsItsFacesAsPolygons) {
  TempDir dir;
  const std::string path = dir.file("square.ddd");
  // One face of four corners, red, in a frame of four vertices facing +z.
  ASSERT_TRUE(write_file(path,
                         "DDDA 1.1 # a square\n"
                         "0\n"
                         "1  255 0 0  4  0 0 1 0 2 0 3 0\n"
                         "1  4\n"
                         "-1 -1 0 0 0 1\n 1 -1 0 0 0 1\n 1 1 0 0 0 1\n -1 1 0 0 0 1\n"));
  ASSERT_TRUE(mxt_load_object(3, RtString(path.c_str())));
  EXPECT_EQ(mxt_object_frames(3), 1);
  EXPECT_EQ(mxt_object_vertices(3, 0), 5) << "the face's marker and its four corners";
  mxt_draw_object(3, 0, 0, 0, 0, 0, 0, 0, 1, -1);
  for (const auto& [x, y] : {std::pair{80, 80}, {120, 80}, {120, 120}, {80, 120}, {100, 100}})
    EXPECT_EQ(read_pixel(x, y), (Rgba{255, 0, 0, 255})) << x << "," << y << ": both triangles of the fan";
  EXPECT_EQ(read_pixel(100, 45), kBlack) << "the square reaches 48 pixels from the centre";
}
