// mkddd run as a developer runs it, on models the tests write: what it makes
// is read back with the runtime's own loader, and its dumps load again.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "runtime/gfx3d/mesh.h"
#include "support/child.h"

using mxt_test::ChildResult;
using mxt_test::run_child;

namespace {

ChildResult mkddd(const std::vector<std::string>& args) { return run_child(MXT_MKDDD, args); }

// Runs mkddd on `model` and loads what it wrote.
void convert(const std::string& model, const std::string& out, mxt::MeshObject& mesh,
             std::vector<std::string> extra = {}, ChildResult* result = nullptr) {
  std::vector<std::string> args = {model, out};
  args.insert(args.end(), extra.begin(), extra.end());
  const ChildResult r = mkddd(args);
  if (result) *result = r;
  ASSERT_EQ(r.exit_code, 0) << r.err;
  ASSERT_TRUE(mxt::load_ddd(mesh, RtString(out.c_str()))) << "the runtime does not load " << out;
  ASSERT_FALSE(mesh.frames.empty());
}

// The unit cube, corners 0/1, each face a quad wound counter-clockwise seen
// from outside; `extra` goes before the faces (materials), `face_prefix[i]`
// before face i.
const char* const kCubeCorners =
    "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nv 0 0 1\nv 1 0 1\nv 1 1 1\nv 0 1 1\n";
const int kCubeFaces[6][4] = {{1, 4, 3, 2}, {5, 6, 7, 8}, {1, 2, 6, 5}, {4, 8, 7, 3}, {1, 5, 8, 4}, {2, 3, 7, 6}};
const float kCubeOutward[6][3] = {{0, 0, -1}, {0, 0, 1}, {0, -1, 0}, {0, 1, 0}, {-1, 0, 0}, {1, 0, 0}};

std::string cube_obj(const std::string& head = "", const std::vector<std::string>& face_prefix = {}) {
  std::string s = "# a cube\n" + head + kCubeCorners;
  for (int f = 0; f < 6; ++f) {
    if (f < static_cast<int>(face_prefix.size())) s += face_prefix[static_cast<size_t>(f)];
    s += "f";
    for (const int c : kCubeFaces[f]) s += " " + std::to_string(c);
    s += "\n";
  }
  return s;
}

// Which cube face (0..5) a triangle lies on, or -1.
int cube_face_of(const mxt::MeshVertex* t) {
  for (int axis = 0; axis < 3; ++axis) {
    auto at = [axis](const mxt::MeshVertex& v) { return axis == 0 ? v.x : axis == 1 ? v.y : v.z; };
    if (at(t[0]) != at(t[1]) || at(t[0]) != at(t[2])) continue;
    const float side = at(t[0]);
    if (side != 0 && side != 1) return -1;
    const int faces_by_axis[3][2] = {{4, 5}, {2, 3}, {0, 1}};
    return faces_by_axis[axis][side == 1];
  }
  return -1;
}

std::string base64(const std::string& bytes) {
  static const char* const k = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  for (size_t i = 0; i < bytes.size(); i += 3) {
    uint32_t n = static_cast<uint32_t>(static_cast<uint8_t>(bytes[i])) << 16;
    if (i + 1 < bytes.size()) n |= static_cast<uint32_t>(static_cast<uint8_t>(bytes[i + 1])) << 8;
    if (i + 2 < bytes.size()) n |= static_cast<uint32_t>(static_cast<uint8_t>(bytes[i + 2]));
    out += k[n >> 18 & 63];
    out += k[n >> 12 & 63];
    out += i + 1 < bytes.size() ? k[n >> 6 & 63] : '=';
    out += i + 2 < bytes.size() ? k[n & 63] : '=';
  }
  return out;
}

void put_floats(std::string& b, std::initializer_list<float> fs) {
  for (const float f : fs) b.append(reinterpret_cast<const char*>(&f), 4);
}

// A glTF of one triangle (0,0,0) (1,0,0) (0,1,0): node 0 draws it and is
// moved along x from 0 to 10 over one second; its child node 1 draws it again
// 3 further along z. With `skinned`, node 2 is instead a joint, bound at
// y = 2, that carries the triangle of node 0 from y 0 to 5, node 0 itself
// standing still. `textured` adds texture coordinates (0,0) (1,0) (0,0.25)
// and a material of base colour (0.5, 0.25, 1) in linear light.
std::string animated_gltf(bool skinned, bool textured = false) {
  std::string b;
  put_floats(b, {0, 0, 0, 1, 0, 0, 0, 1, 0});              // 0: positions, 36
  put_floats(b, {0, 1});                                   // 36: times, 8
  if (skinned) put_floats(b, {0, 2, 0, 0, 7, 0});          // 44: translations, 24
  else put_floats(b, {0, 0, 0, 10, 0, 0});
  put_floats(b, {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, -2, 0, 1});  // 68: inverse bind matrix, 64
  b.append(12, '\0');                                      // 132: joints, 12
  put_floats(b, {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0});     // 144: weights, 48
  put_floats(b, {0, 0, 1, 0, 0, 0.25f});                   // 192: texture coordinates, 24
  const std::string views =
      R"("bufferViews":[{"buffer":0,"byteOffset":0,"byteLength":36},{"buffer":0,"byteOffset":36,"byteLength":8},)"
      R"({"buffer":0,"byteOffset":44,"byteLength":24},{"buffer":0,"byteOffset":68,"byteLength":64},)"
      R"({"buffer":0,"byteOffset":132,"byteLength":12},{"buffer":0,"byteOffset":144,"byteLength":48},)"
      R"({"buffer":0,"byteOffset":192,"byteLength":24}],)";
  const std::string accessors =
      R"("accessors":[{"bufferView":0,"componentType":5126,"count":3,"type":"VEC3","min":[0,0,0],"max":[1,1,0]},)"
      R"({"bufferView":1,"componentType":5126,"count":2,"type":"SCALAR","min":[0],"max":[1]},)"
      R"({"bufferView":2,"componentType":5126,"count":2,"type":"VEC3"},)"
      R"({"bufferView":3,"componentType":5126,"count":1,"type":"MAT4"},)"
      R"({"bufferView":4,"componentType":5121,"count":3,"type":"VEC4"},)"
      R"({"bufferView":5,"componentType":5126,"count":3,"type":"VEC4"},)"
      R"({"bufferView":6,"componentType":5126,"count":3,"type":"VEC2"}],)";
  std::string s = R"({"asset":{"version":"2.0"},"scene":0,)";
  if (skinned) {
    s += R"("scenes":[{"nodes":[0,2]}],)"
         R"("nodes":[{"mesh":0,"skin":0,"name":"body"},{"name":"unused"},{"name":"bone","translation":[0,2,0]}],)"
         R"("skins":[{"joints":[2],"inverseBindMatrices":3}],)"
         R"("meshes":[{"primitives":[{"attributes":{"POSITION":0,"JOINTS_0":4,"WEIGHTS_0":5}}]}],)"
         R"("animations":[{"name":"lift","channels":[{"sampler":0,"target":{"node":2,"path":"translation"}}],)";
  } else {
    s += R"("scenes":[{"nodes":[0]}],)"
         R"("nodes":[{"mesh":0,"name":"mover","children":[1]},{"mesh":0,"name":"rider","translation":[0,0,3]}],)";
    s += textured ? R"("materials":[{"pbrMetallicRoughness":{"baseColorFactor":[0.5,0.25,1,1]}}],)"
                    R"("meshes":[{"primitives":[{"attributes":{"POSITION":0,"TEXCOORD_0":6},"material":0}]}],)"
                  : R"("meshes":[{"primitives":[{"attributes":{"POSITION":0}}]}],)";
    s += R"("animations":[{"name":"slide","channels":[{"sampler":0,"target":{"node":0,"path":"translation"}}],)";
  }
  s += R"("samplers":[{"input":1,"output":2,"interpolation":"LINEAR"}]}],)";
  s += R"("buffers":[{"byteLength":)" + std::to_string(b.size()) +
       R"(,"uri":"data:application/octet-stream;base64,)" + base64(b) + R"("}],)";
  s += views + accessors;
  s.back() = '}';
  return s;
}

// 400 triangles, each of its own vertex colour: red (t % 20) / 19, green
// (t / 20) / 19, blue 0.5.
std::string many_colours_obj() {
  std::string obj;
  for (int t = 0; t < 400; ++t) {
    const float r = static_cast<float>(t % 20) / 19, g = static_cast<float>(t / 20) / 19;
    for (int k = 0; k < 3; ++k)
      obj += "v " + std::to_string(t + (k == 1)) + " " + std::to_string(k == 2) + " 0 " + std::to_string(r) + " " +
             std::to_string(g) + " 0.5\n";
    obj += "f " + std::to_string(3 * t + 1) + " " + std::to_string(3 * t + 2) + " " + std::to_string(3 * t + 3) + "\n";
  }
  return obj;
}

uint32_t u32_at(const std::string& bytes, size_t at) {
  uint32_t v = 0;
  for (size_t i = 0; i < 4; ++i) v |= static_cast<uint32_t>(static_cast<uint8_t>(bytes[at + i])) << (8 * i);
  return v;
}

void expect_one_line_failure(const ChildResult& r, const std::string& what) {
  EXPECT_EQ(r.exit_code, 1) << what;
  EXPECT_EQ(r.signal, 0) << what;
  EXPECT_EQ(r.err.rfind("mkddd: ", 0), 0u) << what << ": " << r.err;
  EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << what << ": " << r.err;
}

// ---------------------------------------------------------------------------

TEST(Mkddd, CubeObjBecomesThirtySixVerticesOnItsCornersWithOutwardNormals) {
  mxt_test::TempDir dir;
  ASSERT_TRUE(mxt_test::write_file(dir.file("cube.obj"), cube_obj()));
  mxt::MeshObject mesh;
  convert(dir.file("cube.obj"), dir.file("cube.ddd"), mesh);
  if (HasFatalFailure()) return;
  ASSERT_EQ(mesh.frames.size(), 1u);
  const auto& v = mesh.frames[0].vertices;
  ASSERT_EQ(v.size(), 36u);

  // The file itself: version 2.0, one frame, one texture pair per vertex.
  const std::string bytes = mxt_test::read_file(dir.file("cube.ddd"));
  ASSERT_GE(bytes.size(), 24u);
  EXPECT_EQ(u32_at(bytes, 0), 13021975u);
  double version = 0;
  std::memcpy(&version, bytes.data() + 4, 8);
  EXPECT_EQ(version, 2.0);
  EXPECT_EQ(u32_at(bytes, 12), 1u);
  EXPECT_EQ(u32_at(bytes, 16), 1u) << "one colour";
  EXPECT_EQ(u32_at(bytes, 20), 36u);

  int triangles_on[6] = {};
  for (size_t t = 0; t < 12; ++t) {
    const int face = cube_face_of(&v[3 * t]);
    ASSERT_GE(face, 0) << "triangle " << t << " lies on no face of the cube";
    ++triangles_on[face];
    std::set<std::array<float, 3>> corners;
    for (size_t k = 3 * t; k < 3 * t + 3; ++k) {
      corners.insert({v[k].x, v[k].y, v[k].z});
      const float* out = kCubeOutward[face];
      EXPECT_GT(v[k].nx * out[0] + v[k].ny * out[1] + v[k].nz * out[2], 0.99f)
          << "vertex " << k << ": a cube without normals gets its faces' own (the edges are too sharp to smooth)";
      EXPECT_EQ(v[k].packed, 0xFFFFFFu) << "no material: white";
    }
    EXPECT_EQ(corners.size(), 3u) << "triangle " << t;
    // Counter-clockwise seen from outside, as the OBJ winds its faces.
    const float ax = v[3 * t + 1].x - v[3 * t].x, ay = v[3 * t + 1].y - v[3 * t].y, az = v[3 * t + 1].z - v[3 * t].z;
    const float bx = v[3 * t + 2].x - v[3 * t].x, by = v[3 * t + 2].y - v[3 * t].y, bz = v[3 * t + 2].z - v[3 * t].z;
    const float* out = kCubeOutward[face];
    EXPECT_GT((ay * bz - az * by) * out[0] + (az * bx - ax * bz) * out[1] + (ax * by - ay * bx) * out[2], 0)
        << "triangle " << t << " is wound the other way";
  }
  for (int f = 0; f < 6; ++f) EXPECT_EQ(triangles_on[f], 2) << "face " << f;
  EXPECT_EQ(mesh.palette, std::vector<uint32_t>{0xFFFFFFu});
}

TEST(Mkddd, ScaleCentreAndTheColourOfAModelWithoutMaterials) {
  mxt_test::TempDir dir;
  ASSERT_TRUE(mxt_test::write_file(dir.file("cube.obj"), cube_obj()));
  mxt::MeshObject mesh;
  convert(dir.file("cube.obj"), dir.file("cube.ddd"), mesh, {"--scale", "3", "--centre", "--colour", "0x336699"});
  if (HasFatalFailure()) return;
  for (const mxt::MeshVertex& v : mesh.frames[0].vertices) {
    for (const float c : {v.x, v.y, v.z}) EXPECT_TRUE(c == -1.5f || c == 1.5f) << c;
    EXPECT_EQ(v.packed, 0x336699u);
    EXPECT_FLOAT_EQ(v.r, 0x99 / 255.0f);
    EXPECT_FLOAT_EQ(v.b, 0x33 / 255.0f);
  }
  EXPECT_EQ(mesh.palette, std::vector<uint32_t>{0x336699u});
}

TEST(Mkddd, MaterialColoursLandInThePaletteAndOnTheirFaces) {
  mxt_test::TempDir dir;
  ASSERT_TRUE(mxt_test::write_file(dir.file("cube.mtl"),
                                   "newmtl red\nKd 1 0 0\nnewmtl green\nKd 0 1 0\nnewmtl blue\nKd 0 0 1\n"));
  ASSERT_TRUE(mxt_test::write_file(
      dir.file("cube.obj"),
      cube_obj("mtllib cube.mtl\n", {"usemtl red\n", "", "usemtl green\n", "", "usemtl blue\n", ""})));
  mxt::MeshObject mesh;
  convert(dir.file("cube.obj"), dir.file("cube.ddd"), mesh);
  if (HasFatalFailure()) return;
  const auto& v = mesh.frames[0].vertices;
  ASSERT_EQ(v.size(), 36u);
  std::vector<uint32_t> palette = mesh.palette;
  std::sort(palette.begin(), palette.end());
  EXPECT_EQ(palette, (std::vector<uint32_t>{0x0000FFu, 0x00FF00u, 0xFF0000u}));
  const uint32_t expected_by_face[6] = {0x0000FF, 0x0000FF, 0x00FF00, 0x00FF00, 0xFF0000, 0xFF0000};
  for (size_t t = 0; t < 12; ++t) {
    const int face = cube_face_of(&v[3 * t]);
    ASSERT_GE(face, 0);
    for (size_t k = 3 * t; k < 3 * t + 3; ++k) {
      EXPECT_EQ(v[k].packed, expected_by_face[face]) << "vertex " << k << " on face " << face;
      ASSERT_LT(v[k].palette_index & 0xFF, mesh.palette.size());
      EXPECT_EQ(mesh.palette[v[k].palette_index & 0xFF], v[k].packed);
    }
  }
}

TEST(Mkddd, TextureCoordinatesAreKeptWithVZeroAtTheImagesTop) {
  mxt_test::TempDir dir;
  // A quad whose texture corners are all different; an OBJ counts v up from
  // the image's bottom row.
  ASSERT_TRUE(mxt_test::write_file(dir.file("quad.obj"),
                                   "v 0 0 0\nv 2 0 0\nv 2 1 0\nv 0 1 0\n"
                                   "vt 0.125 0.25\nvt 0.875 0.25\nvt 0.875 1\nvt 0.125 1\n"
                                   "vn 0 0 1\nf 1/1/1 2/2/1 3/3/1 4/4/1\n"));
  mxt::MeshObject mesh;
  convert(dir.file("quad.obj"), dir.file("quad.ddd"), mesh);
  if (HasFatalFailure()) return;
  const auto& v = mesh.frames[0].vertices;
  ASSERT_EQ(v.size(), 6u);
  for (const mxt::MeshVertex& x : v) {
    SCOPED_TRACE(testing::Message() << "vertex at " << x.x << ", " << x.y);
    EXPECT_FLOAT_EQ(x.u, x.x == 0 ? 0.125f : 0.875f);
    EXPECT_FLOAT_EQ(x.v, x.y == 0 ? 0.75f : 0.0f) << "the quad's top edge shows the image's top row";
    EXPECT_FLOAT_EQ(x.nz, 1.0f) << "the model's own normal";
  }
}

TEST(Mkddd, GltfKeepsItsTextureCoordinatesAndShowsItsLinearColourInSrgb) {
  mxt_test::TempDir dir;
  ASSERT_TRUE(mxt_test::write_file(dir.file("uv.gltf"), animated_gltf(false, true)));
  mxt::MeshObject mesh;
  convert(dir.file("uv.gltf"), dir.file("uv.ddd"), mesh, {"--animation", "-1"});
  if (HasFatalFailure()) return;
  ASSERT_EQ(mesh.frames.size(), 1u);
  const auto& v = mesh.frames[0].vertices;
  ASSERT_EQ(v.size(), 6u);
  const float uv[3][2] = {{0, 0}, {1, 0}, {0, 0.25f}};  // glTF already counts v from the top
  for (size_t k = 0; k < 6; ++k) {
    EXPECT_EQ(v[k].u, uv[k % 3][0]) << k;
    EXPECT_EQ(v[k].v, uv[k % 3][1]) << k;
    // 0.5 and 0.25 of linear light are 188 and 137 in sRGB.
    EXPECT_EQ(v[k].packed, 0xFF89BCu) << k;
  }
  EXPECT_EQ(mesh.palette, std::vector<uint32_t>{0xFF89BCu});
}

TEST(Mkddd, NodeAnimationBecomesFramesOfMovedPositions) {
  mxt_test::TempDir dir;
  ASSERT_TRUE(mxt_test::write_file(dir.file("slide.gltf"), animated_gltf(false)));
  mxt::MeshObject mesh;
  ChildResult r;
  convert(dir.file("slide.gltf"), dir.file("slide.ddd"), mesh, {"--frames", "3"}, &r);
  if (HasFatalFailure()) return;
  ASSERT_EQ(mesh.frames.size(), 3u) << r.out;
  const float base[3][2] = {{0, 0}, {1, 0}, {0, 1}};
  for (size_t f = 0; f < 3; ++f) {
    const auto& v = mesh.frames[f].vertices;
    ASSERT_EQ(v.size(), 6u) << "frame " << f << ": the node's triangle and its child's";
    const float dx = 5.0f * static_cast<float>(f);
    for (size_t k = 0; k < 6; ++k) {
      SCOPED_TRACE(testing::Message() << "frame " << f << " vertex " << k);
      // Both nodes' triangles, in either order: the child's 3 further along z.
      const float z = v[k].z;
      ASSERT_TRUE(z == 0 || z == 3) << z;
      const size_t corner = k % 3;
      EXPECT_FLOAT_EQ(v[k].x, base[corner][0] + dx);
      EXPECT_FLOAT_EQ(v[k].y, base[corner][1]);
      EXPECT_GT(v[k].nz, 0.99f) << "a triangle facing +z, its normal computed";
    }
    EXPECT_NE(v[0].z, v[3].z);
  }
  // By default 10 frames a second, both ends: 11; -1 takes the still model.
  convert(dir.file("slide.gltf"), dir.file("slide.ddd"), mesh);
  if (HasFatalFailure()) return;
  EXPECT_EQ(mesh.frames.size(), 11u);
  EXPECT_FLOAT_EQ(mesh.frames[10].vertices[1].x, 11.0f);
  convert(dir.file("slide.gltf"), dir.file("slide.ddd"), mesh, {"--animation", "-1"});
  if (HasFatalFailure()) return;
  EXPECT_EQ(mesh.frames.size(), 1u);
  expect_one_line_failure(mkddd({dir.file("slide.gltf"), dir.file("x.ddd"), "--animation", "1"}), "no animation 1");
}

TEST(Mkddd, SkinnedMeshFollowsItsBone) {
  mxt_test::TempDir dir;
  ASSERT_TRUE(mxt_test::write_file(dir.file("lift.gltf"), animated_gltf(true)));
  mxt::MeshObject mesh;
  convert(dir.file("lift.gltf"), dir.file("lift.ddd"), mesh, {"--frames", "5"});
  if (HasFatalFailure()) return;
  ASSERT_EQ(mesh.frames.size(), 5u);
  const float base[3][2] = {{0, 0}, {1, 0}, {0, 1}};
  for (size_t f = 0; f < 5; ++f) {
    const auto& v = mesh.frames[f].vertices;
    ASSERT_EQ(v.size(), 3u);
    for (size_t k = 0; k < 3; ++k) {
      EXPECT_FLOAT_EQ(v[k].x, base[k][0]) << "frame " << f;
      EXPECT_FLOAT_EQ(v[k].y, base[k][1] + 1.25f * static_cast<float>(f)) << "frame " << f;
    }
  }
}

TEST(Mkddd, TooManyColoursAreQuantisedIntoThePalette) {
  mxt_test::TempDir dir;
  ASSERT_TRUE(mxt_test::write_file(dir.file("many.obj"), many_colours_obj()));
  mxt::MeshObject mesh;
  ChildResult r;
  convert(dir.file("many.obj"), dir.file("many.ddd"), mesh, {}, &r);
  if (HasFatalFailure()) return;
  EXPECT_NE(r.err.find("quantised"), std::string::npos) << r.err;
  EXPECT_GT(mesh.palette.size(), 16u);
  EXPECT_LE(mesh.palette.size(), 256u);
  // Each vertex stays near its own colour.
  const auto& v = mesh.frames[0].vertices;
  ASSERT_EQ(v.size(), 1200u);
  for (size_t t = 0; t < 400; t += 37) {
    const float red = static_cast<float>(t % 20) / 19;
    EXPECT_NEAR(v[3 * t].r, red, 0.07f) << "triangle " << t;
    EXPECT_NEAR(v[3 * t].b, 0.5f, 0.07f) << "triangle " << t;
  }
}

TEST(Mkddd, DumpLoadsBackToTheSameVertices) {
  mxt_test::TempDir dir;
  ASSERT_TRUE(mxt_test::write_file(dir.file("cube.mtl"), "newmtl red\nKd 1 0 0\nnewmtl teal\nKd 0 0.5 0.5\n"));
  std::string obj = "mtllib cube.mtl\n" + std::string(kCubeCorners) + "vt 0 0\nvt 1 0\nvt 1 1\nvt 0.5 0.25\n";
  for (int f = 0; f < 6; ++f) {
    obj += f % 2 ? "usemtl red\nf" : "usemtl teal\nf";
    for (int c = 0; c < 4; ++c) obj += " " + std::to_string(kCubeFaces[f][c]) + "/" + std::to_string(c + 1);
    obj += "\n";
  }
  ASSERT_TRUE(mxt_test::write_file(dir.file("cube.obj"), obj));
  ASSERT_TRUE(mxt_test::write_file(dir.file("slide.gltf"), animated_gltf(false)));
  ASSERT_TRUE(mxt_test::write_file(dir.file("many.obj"), many_colours_obj()));
  for (const char* model : {"cube.obj", "slide.gltf", "many.obj"}) {
    SCOPED_TRACE(model);
    mxt::MeshObject binary, text;
    // Scaled by 0.3: positions with long decimals.
    convert(dir.file(model), dir.file("m.ddd"), binary, {"--frames", "4", "--scale", "0.3"});
    if (HasFatalFailure()) return;
    const ChildResult d = mkddd({"--dump", dir.file("m.ddd")});
    ASSERT_EQ(d.exit_code, 0) << d.err;
    ASSERT_EQ(d.out.rfind("DDDA", 0), 0u) << d.out;
    ASSERT_TRUE(mxt_test::write_file(dir.file("m.txt"), d.out));
    ASSERT_TRUE(mxt::load_ddd(text, RtString(dir.file("m.txt").c_str()))) << d.out;
    ASSERT_EQ(text.frames.size(), binary.frames.size());
    for (size_t f = 0; f < binary.frames.size(); ++f) {
      const auto& b = binary.frames[f].vertices;
      const auto& t = text.frames[f].vertices;
      // Each triangle comes back as its face: a marker, then its corners.
      ASSERT_EQ(t.size(), b.size() / 3 * 4) << "frame " << f;
      for (size_t k = 0; k < b.size(); ++k) {
        SCOPED_TRACE(testing::Message() << "frame " << f << " vertex " << k);
        const mxt::MeshVertex& x = b[k];
        const mxt::MeshVertex& y = t[k / 3 * 4 + 1 + k % 3];
        EXPECT_GE(t[k / 3 * 4].packed, mxt::kMarkerColourFirst);
        EXPECT_EQ(x.x, y.x);
        EXPECT_EQ(x.y, y.y);
        EXPECT_EQ(x.z, y.z);
        EXPECT_EQ(x.nx, y.nx);
        EXPECT_EQ(x.ny, y.ny);
        EXPECT_EQ(x.nz, y.nz);
        EXPECT_EQ(x.u, y.u);
        EXPECT_EQ(x.v, y.v);
        EXPECT_EQ(x.packed, y.packed);
        if (HasFailure()) return;
      }
    }
  }
}

TEST(Mkddd, BadInputsFailWithOneLineAndLeaveNoFile) {
  mxt_test::TempDir dir;
  std::string junk;
  for (int i = 0; i < 4096; ++i) junk += static_cast<char>((i * 7919 + 13) & 0xFF);
  ASSERT_TRUE(mxt_test::write_file(dir.file("junk.obj"), junk));
  ASSERT_TRUE(mxt_test::write_file(dir.file("junk.gltf"), junk));
  ASSERT_TRUE(mxt_test::write_file(dir.file("junk.glb"), "glTF" + junk));
  ASSERT_TRUE(mxt_test::write_file(dir.file("empty.obj"), ""));
  ASSERT_TRUE(mxt_test::write_file(dir.file("lines.obj"), "v 0 0 0\nv 1 0 0\nv 0 1 0\nl 1 2 3\n"));
  ASSERT_TRUE(mxt_test::write_file(dir.file("cube.txt"), cube_obj()));
  ASSERT_TRUE(mxt_test::write_file(dir.file("junk.ddd"), junk));
  ASSERT_TRUE(mxt_test::write_file(dir.file("cube.obj"), cube_obj()));
  for (const char* name : {"missing.obj", "junk.obj", "junk.gltf", "junk.glb", "empty.obj", "lines.obj", "cube.txt"}) {
    const ChildResult r = mkddd({dir.file(name), dir.file("out.ddd")});
    expect_one_line_failure(r, name);
    EXPECT_FALSE(mxt_test::file_exists(dir.file("out.ddd"))) << name;
  }
  expect_one_line_failure(mkddd({dir.file("cube.obj"), dir.path() + "/no/such/folder/out.ddd"}), "unwritable output");
  expect_one_line_failure(mkddd({"--dump", dir.file("junk.ddd")}), "dump of junk");
  expect_one_line_failure(mkddd({"--dump", dir.file("missing.ddd")}), "dump of a missing file");
  EXPECT_EQ(mkddd({dir.file("cube.obj"), dir.file("out.ddd"), "--scale", "0"}).exit_code, 2);
  EXPECT_EQ(mkddd({dir.file("cube.obj")}).exit_code, 2);
}

}  // namespace
