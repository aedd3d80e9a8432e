// The .ddd loader: both forms, the colour and position arithmetic, the face
// list of the text form, and broken or hostile files, which must fail
// cleanly and at once or load with the bad reference mended.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <limits>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "runtime/base/log.h"
#include "runtime/files/rtfile.h"
#include "runtime/gfx3d/mesh.h"
#include "support/child.h"

using mxt::MeshObject;
using mxt::MeshVertex;

namespace {

// Little-endian pieces of a binary file.
template <typename T>
std::string raw(T value) {
  std::string s(sizeof value, '\0');
  std::memcpy(s.data(), &value, sizeof value);
  return s;
}
std::string i32(int32_t v) { return raw(v); }
std::string f32(float v) { return raw(v); }

struct V2 {
  float x, y, z;
  uint8_t normal, colour;
};
struct V1 {
  uint8_t x, y, z, normal, colour;
};

std::string binary_header(double version, int32_t frames, const std::vector<uint32_t>& palette,
                          const std::vector<float>& uv) {
  std::string s = i32(13021975) + raw(version) + i32(frames) + i32(static_cast<int32_t>(palette.size())) +
                  i32(static_cast<int32_t>(uv.size() / 2));
  for (const uint32_t c : palette) s += raw(c);
  for (const float t : uv) s += f32(t);
  return s;
}

std::string frame2(const std::vector<V2>& vs) {
  std::string s = i32(static_cast<int32_t>(vs.size()));
  for (const V2& v : vs) s += f32(v.x) + f32(v.y) + f32(v.z) + std::string{char(v.normal), char(v.colour)};
  return s;
}

std::string frame1(const float (&offset)[3], const float (&scale)[3], const std::vector<V1>& vs) {
  std::string s = i32(static_cast<int32_t>(vs.size()));
  for (const float o : offset) s += f32(o);
  for (const float k : scale) s += f32(k);
  for (const V1& v : vs) s += std::string{char(v.x), char(v.y), char(v.z), char(v.normal), char(v.colour)};
  return s;
}

// Two faces of three corners over four vertices, two frames, texture pairs.
const char* kTwoFaces =
    "DDDA 1.1\n"
    "# texture coordinates\n"
    "2  0.25 0.5   1 0.75\n"
    "2\n"
    "255 0 0  3  0 0  1 1  2 0\n"
    "0 255 0  3  1 1  2 0  3 1\n"
    "2\n"
    "4  0 0 0 0 0 1   1 0 0 0 0 1   0 1 0 0 0 1   1 1 0 0 0 1\n"
    "4  0 0 5 0 1 0   1 0 5 0 1 0   0 1 5 0 1 0   1 1 5 0 1 0\n";

class Mesh : public ::testing::Test {
 protected:
  void SetUp() override { log_at_ = log().size(); }

  static std::string log() { return mxt_test::read_file(mxt::log_path()); }
  // What the debug log got since the test began.
  std::string new_log() const { return log().substr(log_at_); }

  std::string put(const std::string& name, const std::string& bytes) const {
    const std::string path = dir_.file(name);
    EXPECT_TRUE(mxt_test::write_file(path, bytes));
    return path;
  }

  bool load(const std::string& bytes) {
    path_ = put("object.ddd", bytes);
    return mxt::load_ddd(mesh_, RtString(path_.c_str()));
  }

  // The file fails within a second, the mesh is empty and the log holds
  // `first` then the file's name.
  void expect_refused(const std::string& bytes, const char* what, const std::string& first = "# read error\n") {
    mesh_.frames.resize(1);  // what an earlier load left
    mesh_.palette = {1, 2};
    mesh_.loaded = 1;
    const auto start = std::chrono::steady_clock::now();
    const bool ok = load(bytes);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_FALSE(ok) << what;
    EXPECT_LT(seconds, 1.0) << what;
    EXPECT_TRUE(mesh_.frames.empty() && mesh_.palette.empty() && mesh_.loaded == 0) << what;
    EXPECT_EQ(new_log(), first + path_ + "\n") << what;
    log_at_ = log().size();
  }

  mxt_test::TempDir dir_;
  size_t log_at_ = 0;
  std::string path_;
  MeshObject mesh_;
};

void expect_colour(const MeshVertex& v, float r, float g, float b) {
  EXPECT_EQ(std::make_tuple(v.r, v.g, v.b, v.a), std::make_tuple(r, g, b, 1.0f));
}

void expect_normal(const MeshVertex& v, int index) {
  EXPECT_EQ(std::make_tuple(v.nx, v.ny, v.nz),
            std::make_tuple(mxt::kNormalTable[index][0], mxt::kNormalTable[index][1], mxt::kNormalTable[index][2]));
}

}  // namespace

TEST(NormalTable, IsTheSubdividedIcosahedronInItsOrder) {
  EXPECT_EQ(std::make_tuple(mxt::kNormalTable[0][0], mxt::kNormalTable[0][1], mxt::kNormalTable[0][2]),
            std::make_tuple(-0.525731f, 0.0f, 0.850651f));
  EXPECT_EQ(std::make_tuple(mxt::kNormalTable[161][0], mxt::kNormalTable[161][1], mxt::kNormalTable[161][2]),
            std::make_tuple(-0.688191f, -0.587785f, -0.425325f));
  // 162 distinct unit vectors, a set the icosahedron's symmetries map onto
  // itself (turning the axes round, mirroring each): a mistyped entry breaks that.
  const auto key = [](float x, float y, float z) {
    return std::make_tuple(std::lround(x * 1e5f), std::lround(y * 1e5f), std::lround(z * 1e5f));
  };
  std::set<std::tuple<long, long, long>> all;
  for (const auto& n : mxt::kNormalTable) {
    EXPECT_NEAR(std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]), 1.0f, 2e-6f);
    all.insert(key(n[0], n[1], n[2]));
  }
  EXPECT_EQ(all.size(), 162u);
  for (const auto& n : mxt::kNormalTable) {
    EXPECT_TRUE(all.count(key(n[1], n[2], n[0])));
    EXPECT_TRUE(all.count(key(-n[0], n[1], n[2])));
    EXPECT_TRUE(all.count(key(n[0], -n[1], n[2])));
    EXPECT_TRUE(all.count(key(n[0], n[1], -n[2])));
  }
}

TEST(MeshColour, BytesAreRedGreenBlueAndMarkersWhite) {
  MeshVertex v;
  mxt::set_vertex_colour(v, 0x00FF80u);
  EXPECT_EQ(v.packed, 0x00FF80u);
  expect_colour(v, 128.0f / 255.0f, 1.0f, 0.0f);
  for (const uint32_t marker : {0xFFFFFFFCu, 0xFFFFFFFEu, 0xFFFFFFFFu}) {
    mxt::set_vertex_colour(v, marker);
    expect_colour(v, 1, 1, 1);
  }
  mxt::set_vertex_colour(v, 0xFFFFFFFBu);  // the last colour: the top byte does not count
  expect_colour(v, 251.0f / 255.0f, 1, 1);
}

TEST_F(Mesh, Version2Loads) {
  const std::string file = binary_header(2.0, 2, {0x00FF80u, 0xFFFFFFFEu}, {0.5f, 0.25f, 1.0f, 2.0f}) +
                           frame2({{1.5f, -2, 3, 0, 0}, {4, 5, 6, 161, 1}}) + frame2({{7, 8, 9, 5, 1}});
  ASSERT_TRUE(load(file));
  EXPECT_EQ(mesh_.loaded, 1);
  EXPECT_EQ(mesh_.palette, (std::vector<uint32_t>{0x00FF80u, 0xFFFFFFFEu}));
  ASSERT_EQ(mesh_.frames.size(), 2u);
  ASSERT_EQ(mesh_.frames[0].vertices.size(), 2u);
  ASSERT_EQ(mesh_.frames[1].vertices.size(), 1u);
  const MeshVertex& a = mesh_.frames[0].vertices[0];
  const MeshVertex& b = mesh_.frames[0].vertices[1];
  EXPECT_EQ(std::make_tuple(a.x, a.y, a.z, a.u, a.v), std::make_tuple(1.5f, -2.0f, 3.0f, 0.5f, 0.25f));
  EXPECT_EQ(std::make_tuple(b.x, b.y, b.z, b.u, b.v), std::make_tuple(4.0f, 5.0f, 6.0f, 1.0f, 2.0f));
  expect_normal(a, 0);
  expect_normal(b, 161);
  expect_normal(mesh_.frames[1].vertices[0], 5);
  EXPECT_EQ(a.packed, 0x00FF80u);
  EXPECT_EQ(a.palette_index, 0u);
  expect_colour(a, 128.0f / 255.0f, 1.0f, 0.0f);
  EXPECT_EQ(b.palette_index, 1u);
  expect_colour(b, 1, 1, 1);
  EXPECT_EQ(mesh_.frames[1].vertices[0].u, 0.5f) << "every frame starts at the first pair";
  EXPECT_EQ(new_log(), "");
}

TEST_F(Mesh, Version1ScalesBytesAndNegatesV) {
  const std::string file = binary_header(1.02, 1, {0x123456u}, {0.5f, 0.25f}) +
                           frame1({0, 0, 128}, {0.5f, 1, 2}, {{10, 0, 255, 3, 0}});
  ASSERT_TRUE(load(file));
  ASSERT_EQ(mesh_.frames.size(), 1u);
  ASSERT_EQ(mesh_.frames[0].vertices.size(), 1u);
  const MeshVertex& v = mesh_.frames[0].vertices[0];
  EXPECT_EQ(std::make_tuple(v.x, v.y, v.z), std::make_tuple(5.0f, 0.0f, 254.0f));
  EXPECT_EQ(std::make_tuple(v.u, v.v), std::make_tuple(0.5f, -0.25f));
  expect_normal(v, 3);
  expect_colour(v, 0x56 / 255.0f, 0x34 / 255.0f, 0x12 / 255.0f);
  EXPECT_TRUE(load(binary_header(1.5, 0, {}, {}))) << "any version from 1.02 up to 2.0";
}

TEST_F(Mesh, AVersionOutsideTheRangeIsRefused) {
  expect_refused(binary_header(2.5, 1, {}, {}) + frame2({{1, 2, 3, 0, 0}}), "2.5",
                 "Wrong .ddd version: 2.50. Can use 1.02-2.00\n# read error\n");
  expect_refused(binary_header(1.01, 0, {}, {}), "1.01", "Wrong .ddd version: 1.01. Can use 1.02-2.00\n# read error\n");
  expect_refused(binary_header(std::numeric_limits<double>::quiet_NaN(), 0, {}, {}), "NaN",
                 "Wrong .ddd version: nan. Can use 1.02-2.00\n# read error\n");
}

TEST_F(Mesh, BadBinaryReferencesAreClamped) {
  // Normal 200, palette index 7 of 1, three vertices for one texture pair.
  const std::string file = binary_header(2.0, 1, {0x0000FFu}, {0.5f, 0.5f}) +
                           frame2({{0, 0, 0, 200, 7}, {0, 0, 0, 161, 0}, {0, 0, 0, 0, 0}});
  ASSERT_TRUE(load(file));
  const auto& vs = mesh_.frames[0].vertices;
  expect_normal(vs[0], 161);
  EXPECT_EQ(vs[0].packed, 0x00FFFFFFu);
  EXPECT_EQ(vs[0].palette_index, 7u);
  expect_colour(vs[0], 1, 1, 1);
  expect_colour(vs[1], 1, 0, 0);
  EXPECT_EQ(std::make_tuple(vs[1].u, vs[1].v, vs[2].u, vs[2].v), std::make_tuple(0.0f, 0.0f, 0.0f, 0.0f));
}

TEST_F(Mesh, TheTextFormBuildsMarkedPolygonsAndThePalette) {
  ASSERT_TRUE(load(kTwoFaces));
  EXPECT_EQ(mesh_.loaded, 1);
  EXPECT_EQ(mesh_.palette, (std::vector<uint32_t>{mxt::kFaceMarker, 0x0000FFu, 0x00FF00u}));
  ASSERT_EQ(mesh_.frames.size(), 2u);
  for (size_t f = 0; f < 2; ++f) {
    const auto& vs = mesh_.frames[f].vertices;
    ASSERT_EQ(vs.size(), 8u);
    for (const size_t marker : {0u, 4u}) {
      EXPECT_EQ(vs[marker].packed, mxt::kFaceMarker);
      EXPECT_EQ(vs[marker].palette_index, 0u);
      expect_colour(vs[marker], 1, 1, 1);
      EXPECT_EQ(std::make_tuple(vs[marker].x, vs[marker].z, vs[marker].nz, vs[marker].u), std::make_tuple(0.f, 0.f, 0.f, 0.f));
    }
    const float z = f == 0 ? 0.0f : 5.0f;
    // The second face: corners at vertices 1, 2, 3 with pairs 1, 0, 1.
    EXPECT_EQ(std::make_tuple(vs[5].x, vs[5].y, vs[5].z), std::make_tuple(1.0f, 0.0f, z));
    EXPECT_EQ(std::make_tuple(vs[7].x, vs[7].y, vs[7].z), std::make_tuple(1.0f, 1.0f, z));
    EXPECT_EQ(std::make_tuple(vs[5].u, vs[5].v, vs[6].u, vs[6].v), std::make_tuple(1.0f, -0.75f, 0.25f, -0.5f));
    EXPECT_EQ(f == 0 ? vs[5].nz : vs[5].ny, 1.0f) << "version 1.1 carries normals";
    expect_colour(vs[1], 1, 0, 0);
    EXPECT_EQ(vs[1].palette_index, 1u);
    expect_colour(vs[7], 0, 1, 0);
    EXPECT_EQ(vs[7].palette_index, 2u);
  }
}

TEST_F(Mesh, TextDetails) {
  // No texture coordinates: the corner's texture index is not looked at.
  ASSERT_TRUE(load("DDDA 1 0  1  10 20 30 3  0 99 1 -5 2 7  1 3  1 2 3  4 5 6  7 8 9"));
  ASSERT_EQ(mesh_.frames.size(), 1u);
  const auto& vs = mesh_.frames[0].vertices;
  ASSERT_EQ(vs.size(), 4u);
  EXPECT_EQ(std::make_tuple(vs[2].x, vs[2].y, vs[2].z, vs[2].u, vs[2].v), std::make_tuple(4.f, 5.f, 6.f, 0.f, 0.f));
  EXPECT_EQ(std::make_tuple(vs[2].nx, vs[2].ny, vs[2].nz), std::make_tuple(0.f, 0.f, 0.f)) << "1.0 has no normals";
  EXPECT_EQ(vs[3].packed, 10u | 20u << 8 | 30u << 16);

  // "#" ends the token 1.1, and the normals of 1.1 are then read.
  ASSERT_TRUE(load("DDDA\r\n1.1#comment 2 2 2\n0 1 0 0 0 1 0 0 1 1 0 0 0 1 2 3"));
  EXPECT_EQ(mesh_.frames[0].vertices[1].nz, 3.0f);

  // A comment is skipped for 512 bytes at most; the rest of its line is read.
  ASSERT_TRUE(load("DDDA 1 0 0 # " + std::string(511, 'x') + " 2 0 0"));
  EXPECT_EQ(mesh_.frames.size(), 2u);

  // Tokens missing at the end read as 0; counts and indices are truncated.
  ASSERT_TRUE(load("DDDA 1 0 1 300 -4 12.9 1 0.9 0 1 1 7 8"));
  ASSERT_EQ(mesh_.frames[0].vertices.size(), 2u);
  EXPECT_EQ(mesh_.frames[0].vertices[1].packed, 255u | 12u << 16) << "colours clamped into a byte";
  EXPECT_EQ(std::make_tuple(mesh_.frames[0].vertices[1].x, mesh_.frames[0].vertices[1].y,
                            mesh_.frames[0].vertices[1].z), std::make_tuple(7.f, 8.f, 0.f));
  EXPECT_EQ(new_log(), "");
}

TEST_F(Mesh, MissingAndInMemoryFiles) {
  EXPECT_FALSE(mxt::load_ddd(mesh_, RtString(dir_.file("absent.ddd").c_str())));
  EXPECT_EQ(new_log(), "") << "a missing file is not reported";

  const std::string image = binary_header(2.0, 1, {0xFFu}, {}) + frame2({{1, 2, 3, 4, 0}});
  mxt::register_memory_image(image.data(), static_cast<int64_t>(image.size()));
  EXPECT_TRUE(mxt::load_ddd(mesh_, mxt::memory_name(image.data(), static_cast<int64_t>(image.size()))));
  ASSERT_EQ(mesh_.frames.size(), 1u);
  EXPECT_EQ(mesh_.frames[0].vertices[0].z, 3.0f);
  mxt::unregister_memory_image(image.data());

  const std::string text(kTwoFaces);
  mxt::register_memory_image(text.data(), static_cast<int64_t>(text.size()));
  EXPECT_TRUE(mxt::load_ddd(mesh_, mxt::memory_name(text.data(), static_cast<int64_t>(text.size()))));
  EXPECT_EQ(mesh_.frames.size(), 2u);
  mxt::unregister_memory_image(text.data());
}

TEST_F(Mesh, HostileBinaryFilesFailCleanly) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  const std::string one = frame2({{1, 2, 3, 0, 0}});
  expect_refused("", "empty");
  expect_refused(binary_header(2.0, 1, {}, {}).substr(0, 20), "short header");
  expect_refused(binary_header(2.0, 0x7FFFFFFF, {}, {}) + one, "2^31 - 1 frames");
  expect_refused(binary_header(2.0, -1, {}, {}), "negative frames");
  expect_refused(i32(13021975) + raw(2.0) + i32(1) + i32(0x7FFFFFFF) + i32(0) + one, "2^31 - 1 colours");
  expect_refused(i32(13021975) + raw(2.0) + i32(0) + i32(0) + i32(0x40000000) + one, "texture bytes overflow 32 bits");
  expect_refused(binary_header(2.0, 1, {}, {}) + i32(0x7FFFFFFF) + one.substr(4), "2^31 - 1 vertices");
  expect_refused(binary_header(2.0, 1, {}, {}) + i32(0x12492493) + one.substr(4), "vertices x 14 wraps 32 bits");
  expect_refused(binary_header(2.0, 1, {}, {}) + i32(-5), "negative vertices");
  expect_refused(binary_header(2.0, 2, {}, {}) + one + one.substr(0, 10), "truncated second frame");
  expect_refused(binary_header(2.0, 1, {}, {}) + frame2({{1, 2, 3, 0, 0}, {1, 2, 3, 0, 0}}).substr(0, 20),
                 "truncated vertex");
  expect_refused(binary_header(2.0, 1, {}, {}) + frame2({{1, nan, 3, 0, 0}}), "NaN position");
  expect_refused(binary_header(2.0, 1, {}, {}) + frame2({{1, 2, -inf, 0, 0}}), "infinite position");
  expect_refused(binary_header(2.0, 1, {}, {nan, 0}) + one, "NaN texture coordinate");
  expect_refused(binary_header(1.5, 1, {}, {}) + frame1({0, nan, 0}, {1, 1, 1}, {{1, 1, 1, 0, 0}}), "NaN offset");
  expect_refused(binary_header(1.5, 1, {}, {}) + frame1({0, 0, 0}, {1, 3e38f, 1}, {{1, 255, 1, 0, 0}}),
                 "position overflows");
  EXPECT_TRUE(load(binary_header(2.0, 1, {}, {}) + one)) << "the same file, whole, loads";
}

TEST_F(Mesh, HostileTextFilesFailCleanly) {
  expect_refused("DDDB 1 0 0 0", "not DDDA");
  expect_refused("DDDA 1.2 0 0 0", "version above 1.1");
  expect_refused("DDDA 1 2147483648 ", "2^31 texture pairs");
  expect_refused("DDDA 1 1e9 0 0", "more pairs than bytes");
  expect_refused("DDDA 1 0 0 1 1e9", "more vertices than bytes");
  expect_refused("DDDA 1 0 -1", "negative face count");
  expect_refused("DDDA 1 0 1 0 0 0 99999999999", "corners outside int");
  expect_refused("DDDA 1 0 1 0 0 0 1 3 0  1 3 0 0 0 0 0 0 0 0 0 0", "vertex index past the frame");
  expect_refused("DDDA 1 0 1 0 0 0 1 -1 0 1 1 0 0 0", "negative vertex index");
  expect_refused("DDDA 1 1 0 0 1 0 0 0 1 0 1  1 1 0 0 0", "texture index past the list");
  expect_refused("DDDA 1 0 0 1 1 1e39 0 0", "position too large for a float");
  expect_refused("DDDA 1 1 1e999 0 0 0", "infinite texture coordinate");
  expect_refused("DDDA 1 0 0 1 1 0 0 " + std::string(10 << 20, '7'), "10 MB token");
  expect_refused("DDDA 1 0 0 1 1 0 0 " + std::string(1024, '1'), "1024-byte token");
  EXPECT_TRUE(load("DDDA 1 0 0 1 1 0 0 " + std::string(1023, '0'))) << "1,023 bytes fit";

  // A face list that every frame repeats: 400 faces x 10,000 empty frames.
  std::string faces = "DDDA 1 0 400";
  for (int i = 0; i < 400; ++i) faces += " 0 0 0 0";
  std::string frames = " 10000" + std::string(10000 * 2, ' ');
  for (int i = 0; i < 10000; ++i) frames[static_cast<size_t>(6 + 2 * i + 1)] = '0';
  expect_refused(faces + frames, "four million marker vertices from 23 KB");
}
