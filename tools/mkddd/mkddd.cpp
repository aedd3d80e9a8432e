// mkddd: .ddd 3D objects made from OBJ and glTF 2.0 models, and .ddd files
// dumped as text.
//
//   mkddd MODEL.(obj|gltf|glb) OUT.ddd [--scale S] [--centre] [--colour 0xBBGGRR]
//         [--frames N | --fps F] [--animation I] [--normals auto|smooth|flat]
//   mkddd --dump FILE.ddd [OUT.txt]
//
// The model is read with Assimp and written as a binary .ddd of version 2.0:
// one frame for a still model, or the chosen animation sampled at evenly
// spaced times, first and last key included. Every frame is a plain triangle
// list (3 vertices a triangle, the model's winding) of the same length; node
// animation moves each mesh with its node, skinned meshes are posed on the
// CPU from their bones at each time, and every node's mesh lands in the one
// object, transformed into the model's root space.
//
// - positions: floats, the model's units and axes (glTF is y up; an OBJ is
//   whatever its author used), times --scale, after --centre;
// - normals: the model's, moved with the vertex; computed from the triangles
//   when it has none (edges where faces meet at more than 80 degrees stay
//   sharp); each is stored as the nearest of the 162 table normals;
// - colours: the vertex colours when the mesh has them (times the material's
//   diffuse colour), else the material's diffuse colour, else --colour; glTF
//   colours are linear and are written in sRGB, as a viewer shows them. At most
//   256 distinct colours fit the palette; more are quantised (said on stderr);
// - texture coordinates: vertex l of every frame takes pair l, so there are
//   as many pairs as vertices in a frame (0, 0 where the mesh has none); v is
//   0 at the image's top row, which flips an OBJ's v (0 at the bottom) and
//   keeps a glTF's.
//
// --dump loads the file with the runtime's own loader and prints it as a
// text .ddd ("DDDA" 1.1) that loads back to the same vertices: one face per
// triangle of the frame (consecutive vertex triples), coloured as its first
// corner. The text form has one face list for all frames, so a file whose
// frames differ in length is listed plainly instead (not loadable).
//
// Exit codes: 0 made, 1 failed (model, output, .ddd), 2 usage.
#include <assimp/Importer.hpp>
#include <assimp/material.h>
#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <exception>
#include <limits>
#include <map>
#include <new>
#include <string>
#include <unordered_map>
#include <vector>

#include "runtime/gfx3d/mesh.h"

namespace {

constexpr uint32_t kMagic = 13021975;
constexpr double kVersion = 2.0;
constexpr int kMaxFrames = 10000;     // --frames
constexpr int kAutoFrameCap = 300;    // frames from --fps, at most
constexpr double kDefaultFps = 10;
constexpr double kCreaseDegrees = 80;
constexpr int kPaletteSize = 256;

enum class Normals { kAuto, kSmooth, kFlat };

struct Options {
  std::string model;
  std::string out;
  std::string dump;        // --dump FILE
  std::string dump_out;    // its optional output file; empty: stdout
  double scale = 1;
  bool centre = false;
  uint32_t colour = 0xFFFFFF;
  int frames = 0;          // 0: from the fps
  double fps = kDefaultFps;
  int animation = -1;      // -1: the first, when there is one
  Normals normals = Normals::kAuto;
};

int usage(const std::string& complaint) {
  if (!complaint.empty()) std::fprintf(stderr, "mkddd: %s\n", complaint.c_str());
  std::fputs(
      "usage: mkddd MODEL.(obj|gltf|glb) OUT.ddd [options]\n"
      "       mkddd --dump FILE.ddd [OUT.txt]\n"
      "  --scale S        multiply positions by S (> 0)\n"
      "  --centre         move the centre of the bounding box (of all frames) to the origin\n"
      "  --colour 0xBBGGRR  colour of meshes without a material or vertex colours (default 0xFFFFFF)\n"
      "  --frames N       sample the animation at N evenly spaced times, both ends included (1..10000)\n"
      "  --fps F          or F frames a second of animation (default 10, at most 300 frames)\n"
      "  --animation I    which animation (0 = the first, the default); -1 writes the still model\n"
      "  --normals auto|smooth|flat  the model's normals (auto, computing smooth ones when it has\n"
      "                   none) or normals computed from the triangles\n",
      stderr);
  return 2;
}

bool parse_double(const std::string& text, double& value) {
  if (text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  value = std::strtod(text.c_str(), &end);
  return errno == 0 && end == text.c_str() + text.size() && std::isfinite(value);
}

bool parse_int(const std::string& text, long long& value) {
  if (text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  value = std::strtoll(text.c_str(), &end, 0);  // 0x... for colours
  return errno == 0 && end == text.c_str() + text.size();
}

int parse_options(int argc, char** argv, Options& o) {
  std::vector<std::string> positional;
  bool dump = false, have_frames = false, have_fps = false;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    std::string value;
    bool has_value = false;
    if (arg.rfind("--", 0) == 0 && arg.find('=') != std::string::npos) {
      value = arg.substr(arg.find('=') + 1);
      arg = arg.substr(0, arg.find('='));
      has_value = true;
    }
    const bool takes_value = arg == "--scale" || arg == "--colour" || arg == "--color" || arg == "--frames" ||
                             arg == "--fps" || arg == "--animation" || arg == "--normals";
    if (takes_value && !has_value) {
      if (i + 1 >= argc) return usage(arg + " needs a value");
      value = argv[++i];
    } else if (!takes_value && has_value) {
      return usage(arg + " takes no value");
    }
    long long n = 0;
    if (arg == "--scale") {
      if (!parse_double(value, o.scale) || o.scale <= 0) return usage("--scale " + value + " is not a number above 0");
    } else if (arg == "--colour" || arg == "--color") {
      if (!parse_int(value, n) || n < 0 || n > 0xFFFFFF) return usage("--colour " + value + " is not a colour 0xBBGGRR");
      o.colour = static_cast<uint32_t>(n);
    } else if (arg == "--frames") {
      if (!parse_int(value, n) || n < 1 || n > kMaxFrames)
        return usage("--frames " + value + " is not a frame count from 1 to " + std::to_string(kMaxFrames));
      o.frames = static_cast<int>(n);
      have_frames = true;
    } else if (arg == "--fps") {
      if (!parse_double(value, o.fps) || o.fps <= 0 || o.fps > 1000)
        return usage("--fps " + value + " is not a rate above 0 and at most 1000");
      have_fps = true;
    } else if (arg == "--animation") {
      if (!parse_int(value, n) || n < -1 || n > std::numeric_limits<int>::max())
        return usage("--animation " + value + " is not an animation number (0 the first, -1 none)");
      o.animation = static_cast<int>(n);
      if (n == -1) o.animation = -2;  // asked for the still model
    } else if (arg == "--normals") {
      if (value == "auto") o.normals = Normals::kAuto;
      else if (value == "smooth") o.normals = Normals::kSmooth;
      else if (value == "flat") o.normals = Normals::kFlat;
      else return usage("--normals " + value + ": auto, smooth or flat");
    } else if (arg == "--centre" || arg == "--center") {
      o.centre = true;
    } else if (arg == "--dump") {
      dump = true;
    } else if (arg == "-h" || arg == "--help") {
      return usage("");
    } else if (arg.size() > 1 && arg[0] == '-' && !parse_int(arg, n)) {
      return usage("unknown option " + arg);
    } else {
      positional.push_back(arg);
    }
  }
  if (have_frames && have_fps) return usage("--frames and --fps: give one of them");
  if (dump) {
    if (positional.empty() || positional.size() > 2) return usage("--dump takes a .ddd file and an optional output file");
    o.dump = positional[0];
    if (positional.size() == 2) o.dump_out = positional[1];
    return 0;
  }
  if (positional.size() != 2)
    return usage(positional.size() < 2 ? "a model and an output file are needed" : "too many file names");
  o.model = positional[0];
  o.out = positional[1];
  return 0;
}

std::string lower_extension(const std::string& path) {
  const size_t dot = path.find_last_of('.');
  const size_t slash = path.find_last_of('/');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
  std::string ext = path.substr(dot + 1);
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return ext;
}

// Assimp's messages can run over several lines; ours are one.
std::string one_line(std::string text) {
  for (char& c : text)
    if (c == '\n' || c == '\r') c = ' ';
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

bool readable(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) {
    std::fprintf(stderr, "mkddd: cannot read %s: %s\n", path.c_str(), std::strerror(errno));
    return false;
  }
  std::fclose(f);
  return true;
}

// ---------------------------------------------------------------------------
// The model: where each output vertex comes from, and its posing at a time

struct Vec3 {
  float x = 0, y = 0, z = 0;
};

// One mesh as drawn by one node (a mesh used by two nodes is drawn twice).
struct Instance {
  const aiMesh* mesh = nullptr;
  const aiNode* node = nullptr;
  bool own_normals = false;  // the model's normals are used
  // Skinned meshes: each vertex's bones and weights.
  std::vector<std::vector<std::pair<unsigned, float>>> weights;
  std::vector<const aiNode*> bone_nodes;  // by bone number; null when missing
};

// An output vertex: instance and vertex number in its mesh.
struct Corner {
  uint32_t instance = 0;
  uint32_t vertex = 0;
};

struct Pose {
  std::vector<Vec3> positions;
  std::vector<Vec3> normals;
  size_t not_finite = 0;  // coordinates that were NaN or infinite, now 0
};

float finite_or_zero(float f) { return std::isfinite(f) ? f : 0.0f; }

Vec3 normalised(Vec3 v) {
  const float len = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
  if (!(len > 0) || !std::isfinite(len)) return {};
  return {v.x / len, v.y / len, v.z / len};
}

Vec3 cross(Vec3 a, Vec3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
Vec3 minus(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
float dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

Vec3 transform_point(const aiMatrix4x4& m, const aiVector3D& v) {
  const aiVector3D r = m * v;
  return {r.x, r.y, r.z};
}

// Normals move with the inverse transpose of the matrix's linear part, so a
// scale along one axis keeps them at right angles to the surface.
aiMatrix3x3 normal_matrix(const aiMatrix4x4& m) {
  aiMatrix3x3 n(m);
  if (n.Determinant() == 0) return n;
  n.Inverse().Transpose();
  return n;
}

Vec3 transform_normal(const aiMatrix3x3& n, const aiVector3D& v) {
  const aiVector3D r = n * v;
  return normalised({r.x, r.y, r.z});
}

template <typename Key>
size_t key_before(const Key* keys, unsigned count, double t) {
  // The last key at or before t (0 when t is before them all).
  size_t lo = 0, hi = count;
  while (hi - lo > 1) {
    const size_t mid = (lo + hi) / 2;
    if (keys[mid].mTime <= t) lo = mid;
    else hi = mid;
  }
  return lo;
}

aiVector3D sample(const aiVectorKey* keys, unsigned count, double t) {
  const size_t i = key_before(keys, count, t);
  if (i + 1 >= count || t <= keys[i].mTime) return keys[i].mValue;
  const double span = keys[i + 1].mTime - keys[i].mTime;
  const auto f = static_cast<float>(span > 0 ? (t - keys[i].mTime) / span : 0);
  return keys[i].mValue + (keys[i + 1].mValue - keys[i].mValue) * f;
}

aiQuaternion sample(const aiQuatKey* keys, unsigned count, double t) {
  const size_t i = key_before(keys, count, t);
  if (i + 1 >= count || t <= keys[i].mTime) return keys[i].mValue;
  const double span = keys[i + 1].mTime - keys[i].mTime;
  const auto f = static_cast<float>(span > 0 ? (t - keys[i].mTime) / span : 0);
  aiQuaternion q;
  aiQuaternion::Interpolate(q, keys[i].mValue, keys[i + 1].mValue, f);
  return q.Normalize();
}

class Model {
 public:
  Model(const aiScene* scene, const Options& o, bool linear_colours) : scene_(scene), options_(o), linear_(linear_colours) {}

  // Collects the mesh instances and the output vertices; false with a
  // message when there is nothing to write.
  bool gather(const std::string& name) {
    collect(scene_->mRootNode);
    uint64_t total = 0;
    for (const Instance& in : instances_)
      for (unsigned f = 0; f < in.mesh->mNumFaces; ++f)
        if (in.mesh->mFaces[f].mNumIndices == 3) total += 3;
    if (total == 0) {
      std::fprintf(stderr, "mkddd: %s has no triangles (points and lines are not kept)\n", name.c_str());
      return false;
    }
    if (total > static_cast<uint64_t>(std::numeric_limits<int32_t>::max())) {
      std::fprintf(stderr, "mkddd: %s has %llu vertices; a .ddd frame holds at most %d\n", name.c_str(),
                   static_cast<unsigned long long>(total), std::numeric_limits<int32_t>::max());
      return false;
    }
    corners_.reserve(total);
    for (uint32_t i = 0; i < instances_.size(); ++i) {
      const aiMesh* m = instances_[i].mesh;
      for (unsigned f = 0; f < m->mNumFaces; ++f) {
        const aiFace& face = m->mFaces[f];
        if (face.mNumIndices != 3) continue;
        for (int k = 0; k < 3; ++k) corners_.push_back({i, face.mIndices[k]});
      }
    }
    for (Instance& in : instances_) prepare_skin(in);
    return true;
  }

  size_t vertex_count() const { return corners_.size(); }
  const std::vector<Corner>& corners() const { return corners_; }
  const Instance& instance(uint32_t i) const { return instances_[i]; }

  // Texture coordinates of every output vertex, v = 0 at the image's top.
  std::vector<std::array<float, 2>> texture_coordinates() const {
    std::vector<std::array<float, 2>> uv(corners_.size(), {0.0f, 0.0f});
    for (size_t l = 0; l < corners_.size(); ++l) {
      const aiMesh* m = instances_[corners_[l].instance].mesh;
      if (!m->HasTextureCoords(0)) continue;
      const aiVector3D& t = m->mTextureCoords[0][corners_[l].vertex];
      uv[l] = {finite_or_zero(t.x), finite_or_zero(t.y)};
    }
    return uv;
  }

  // The 24-bit colour of every output vertex.
  std::vector<uint32_t> colours() const {
    std::vector<aiColor4D> material(instances_.size());
    std::vector<bool> has_material(instances_.size());
    for (size_t i = 0; i < instances_.size(); ++i) has_material[i] = material_colour(instances_[i].mesh, material[i]);
    std::vector<uint32_t> out(corners_.size());
    for (size_t l = 0; l < corners_.size(); ++l) {
      const uint32_t i = corners_[l].instance;
      const aiMesh* m = instances_[i].mesh;
      if (m->HasVertexColors(0)) {
        aiColor4D c = m->mColors[0][corners_[l].vertex];
        if (has_material[i]) c = c * material[i];
        out[l] = pack(c);
      } else if (has_material[i]) {
        out[l] = pack(material[i]);
      } else {
        out[l] = options_.colour;
      }
    }
    return out;
  }

  // Every output vertex at animation time t (ticks; `anim` null: the still
  // model), in root space, before --centre and --scale.
  void pose(const aiAnimation* anim, double t, Pose& p) {
    globals_.clear();
    channels_.clear();
    if (anim)
      for (unsigned c = 0; c < anim->mNumChannels; ++c) channels_[anim->mChannels[c]->mNodeName.C_Str()] = anim->mChannels[c];
    place(scene_->mRootNode, aiMatrix4x4(), anim ? t : -1);

    p.positions.assign(corners_.size(), Vec3{});
    p.normals.assign(corners_.size(), Vec3{});
    // Each instance's vertices posed once, then spread over the corners.
    std::vector<std::vector<Vec3>> pos(instances_.size()), nor(instances_.size());
    for (size_t i = 0; i < instances_.size(); ++i) pose_instance(instances_[i], pos[i], nor[i]);
    p.not_finite = 0;
    for (size_t l = 0; l < corners_.size(); ++l) {
      Vec3& q = p.positions[l];
      q = pos[corners_[l].instance][corners_[l].vertex];
      // The runtime refuses a file with NaN or infinite numbers in it (and
      // the smoothing below could not sort them).
      for (float* c : {&q.x, &q.y, &q.z})
        if (!std::isfinite(*c)) {
          *c = 0;
          ++p.not_finite;
        }
      p.normals[l] = nor[corners_[l].instance][corners_[l].vertex];
    }
    compute_normals(p);
  }

 private:
  void collect(const aiNode* node) {
    if (!node) return;
    for (unsigned i = 0; i < node->mNumMeshes; ++i) {
      const unsigned index = node->mMeshes[i];
      if (index >= scene_->mNumMeshes) continue;
      const aiMesh* m = scene_->mMeshes[index];
      if (!m || !m->mVertices || !(m->mPrimitiveTypes & aiPrimitiveType_TRIANGLE)) continue;
      Instance in;
      in.mesh = m;
      in.node = node;
      in.own_normals = options_.normals == Normals::kAuto && m->HasNormals();
      instances_.push_back(std::move(in));
    }
    for (unsigned c = 0; c < node->mNumChildren; ++c) collect(node->mChildren[c]);
  }

  void prepare_skin(Instance& in) {
    const aiMesh* m = in.mesh;
    if (!m->HasBones()) return;
    in.weights.assign(m->mNumVertices, {});
    in.bone_nodes.assign(m->mNumBones, nullptr);
    for (unsigned b = 0; b < m->mNumBones; ++b) {
      const aiBone* bone = m->mBones[b];
      in.bone_nodes[b] = scene_->mRootNode->FindNode(bone->mName);
      for (unsigned w = 0; w < bone->mNumWeights; ++w) {
        const aiVertexWeight& vw = bone->mWeights[w];
        if (vw.mVertexId < m->mNumVertices && vw.mWeight > 0 && std::isfinite(vw.mWeight))
          in.weights[vw.mVertexId].push_back({b, vw.mWeight});
      }
    }
  }

  void place(const aiNode* node, const aiMatrix4x4& parent, double t) {
    aiMatrix4x4 local = node->mTransformation;
    if (t >= 0) {
      const auto found = channels_.find(node->mName.C_Str());
      if (found != channels_.end()) {
        const aiNodeAnim* ch = found->second;
        aiVector3D scaling, position;
        aiQuaternion rotation;
        node->mTransformation.Decompose(scaling, rotation, position);
        if (ch->mNumPositionKeys) position = sample(ch->mPositionKeys, ch->mNumPositionKeys, t);
        if (ch->mNumRotationKeys) rotation = sample(ch->mRotationKeys, ch->mNumRotationKeys, t);
        if (ch->mNumScalingKeys) scaling = sample(ch->mScalingKeys, ch->mNumScalingKeys, t);
        local = aiMatrix4x4(scaling, rotation, position);
      }
    }
    const aiMatrix4x4 global = parent * local;
    globals_[node] = global;
    for (unsigned c = 0; c < node->mNumChildren; ++c) place(node->mChildren[c], global, t);
  }

  void pose_instance(const Instance& in, std::vector<Vec3>& pos, std::vector<Vec3>& nor) {
    const aiMesh* m = in.mesh;
    pos.resize(m->mNumVertices);
    nor.resize(m->mNumVertices);
    const aiMatrix4x4 node = globals_[in.node];
    const aiMatrix3x3 node_n = normal_matrix(node);
    std::vector<aiMatrix4x4> bones;
    if (!in.weights.empty()) {
      bones.resize(in.bone_nodes.size());
      for (size_t b = 0; b < bones.size(); ++b)
        bones[b] = (in.bone_nodes[b] ? globals_[in.bone_nodes[b]] : node) * m->mBones[b]->mOffsetMatrix;
    }
    for (unsigned v = 0; v < m->mNumVertices; ++v) {
      const bool skinned = !in.weights.empty() && !in.weights[v].empty();
      aiMatrix4x4 mat = node;
      if (skinned) {
        float total = 0;
        for (const auto& bw : in.weights[v]) total += bw.second;
        for (unsigned r = 0; r < 4; ++r)
          for (unsigned c = 0; c < 4; ++c) mat[r][c] = 0;
        for (const auto& bw : in.weights[v]) {
          const aiMatrix4x4& b = bones[bw.first];
          const float w = bw.second / total;
          for (unsigned r = 0; r < 4; ++r)
            for (unsigned c = 0; c < 4; ++c) mat[r][c] += b[r][c] * w;
        }
      }
      pos[v] = transform_point(mat, m->mVertices[v]);
      if (in.own_normals) nor[v] = transform_normal(skinned ? normal_matrix(mat) : node_n, m->mNormals[v]);
    }
  }

  // Normals for the instances without their own: flat (the triangle's) or
  // smooth (the area-weighted mean of the triangles at the same place in the
  // same mesh whose facing is within the crease angle of this one).
  void compute_normals(Pose& p) const {
    const size_t triangles = corners_.size() / 3;
    std::vector<Vec3> face(triangles);  // area-weighted
    for (size_t t = 0; t < triangles; ++t)
      face[t] = cross(minus(p.positions[3 * t + 1], p.positions[3 * t]), minus(p.positions[3 * t + 2], p.positions[3 * t]));
    const bool smooth = options_.normals != Normals::kFlat;
    struct Key {
      uint32_t instance;
      float x, y, z;
      bool operator<(const Key& o) const {
        if (instance != o.instance) return instance < o.instance;
        if (x != o.x) return x < o.x;
        if (y != o.y) return y < o.y;
        return z < o.z;
      }
    };
    std::map<Key, std::vector<uint32_t>> around;  // triangles touching a place
    if (smooth)
      for (size_t l = 0; l < corners_.size(); ++l)
        if (!instances_[corners_[l].instance].own_normals)
          around[{corners_[l].instance, p.positions[l].x, p.positions[l].y, p.positions[l].z}].push_back(
              static_cast<uint32_t>(l / 3));
    const float crease = static_cast<float>(std::cos(kCreaseDegrees * M_PI / 180));
    for (size_t l = 0; l < corners_.size(); ++l) {
      if (instances_[corners_[l].instance].own_normals) continue;
      const Vec3 mine = normalised(face[l / 3]);
      if (!smooth) {
        p.normals[l] = mine;
        continue;
      }
      Vec3 sum{};
      for (const uint32_t t : around[{corners_[l].instance, p.positions[l].x, p.positions[l].y, p.positions[l].z}]) {
        if (dot(normalised(face[t]), mine) < crease) continue;
        sum = {sum.x + face[t].x, sum.y + face[t].y, sum.z + face[t].z};
      }
      const Vec3 n = normalised(sum);
      p.normals[l] = (n.x == 0 && n.y == 0 && n.z == 0) ? mine : n;
    }
  }

  bool material_colour(const aiMesh* m, aiColor4D& c) const {
    if (m->mMaterialIndex >= scene_->mNumMaterials) return false;
    const aiMaterial* mat = scene_->mMaterials[m->mMaterialIndex];
    aiString name;
    // Assimp stands a default material in for a model without any.
    if (mat->Get(AI_MATKEY_NAME, name) == AI_SUCCESS && std::strcmp(name.C_Str(), AI_DEFAULT_MATERIAL_NAME) == 0)
      return false;
    if (mat->Get(AI_MATKEY_BASE_COLOR, c) == AI_SUCCESS) return true;
    return mat->Get(AI_MATKEY_COLOR_DIFFUSE, c) == AI_SUCCESS;
  }

  uint32_t pack(const aiColor4D& c) const {
    auto byte = [this](float f) {
      f = std::isfinite(f) ? std::clamp(f, 0.0f, 1.0f) : 0.0f;
      if (linear_) f = f <= 0.0031308f ? 12.92f * f : 1.055f * std::pow(f, 1.0f / 2.4f) - 0.055f;
      return static_cast<uint32_t>(std::lround(std::clamp(f, 0.0f, 1.0f) * 255.0f));
    };
    return byte(c.r) | byte(c.g) << 8 | byte(c.b) << 16;
  }

  const aiScene* scene_;
  const Options& options_;
  bool linear_;
  std::vector<Instance> instances_;
  std::vector<Corner> corners_;
  std::unordered_map<const aiNode*, aiMatrix4x4> globals_;
  std::unordered_map<std::string, const aiNodeAnim*> channels_;
};

// ---------------------------------------------------------------------------
// Palette and normals as the file stores them

struct Palette {
  std::vector<uint32_t> colours;  // in order of first use
  std::vector<uint8_t> index;     // per vertex
  size_t distinct = 0;            // before any quantising
  int bits = 8;                   // bits kept of each channel
};

Palette make_palette(const std::vector<uint32_t>& colours) {
  Palette p;
  std::unordered_map<uint32_t, size_t> uses;
  for (const uint32_t c : colours) ++uses[c];
  p.distinct = uses.size();
  // Too many colours: fewer bits a channel until they fit, each group of
  // colours then standing as their mean, weighted by use.
  auto group = [&p](uint32_t c) {
    const uint32_t mask = (0xFFu << (8 - p.bits)) & 0xFFu;
    return c & (mask | mask << 8 | mask << 16);
  };
  while (true) {
    std::unordered_map<uint32_t, char> groups;
    for (const auto& u : uses) groups[group(u.first)] = 0;
    if (groups.size() <= kPaletteSize) break;
    --p.bits;
  }
  std::unordered_map<uint32_t, std::array<uint64_t, 4>> sums;  // r, g, b, uses
  for (const auto& u : uses) {
    auto& s = sums[group(u.first)];
    s[0] += (u.first & 0xFF) * u.second;
    s[1] += (u.first >> 8 & 0xFF) * u.second;
    s[2] += (u.first >> 16 & 0xFF) * u.second;
    s[3] += u.second;
  }
  std::unordered_map<uint32_t, uint8_t> slot;  // group -> palette index
  p.index.resize(colours.size());
  for (size_t l = 0; l < colours.size(); ++l) {
    const uint32_t g = group(colours[l]);
    auto found = slot.find(g);
    if (found == slot.end()) {
      const auto& s = sums[g];
      auto mean = [&s](size_t k) { return static_cast<uint32_t>((s[k] + s[3] / 2) / s[3]); };
      found = slot.emplace(g, static_cast<uint8_t>(p.colours.size())).first;
      p.colours.push_back(mean(0) | mean(1) << 8 | mean(2) << 16);
    }
    p.index[l] = found->second;
  }
  return p;
}

uint8_t nearest_normal(Vec3 n) {
  int best = 0;
  float best_dot = -2;
  for (int i = 0; i < mxt::kNormalTableSize; ++i) {
    const float d = n.x * mxt::kNormalTable[i][0] + n.y * mxt::kNormalTable[i][1] + n.z * mxt::kNormalTable[i][2];
    if (d > best_dot) {
      best_dot = d;
      best = i;
    }
  }
  return static_cast<uint8_t>(best);
}

// ---------------------------------------------------------------------------
// Output

class Output {
 public:
  explicit Output(std::string path) : path_(std::move(path)), tmp_(path_ + ".mkddd-tmp") {}
  ~Output() {
    if (f_) {
      std::fclose(f_);
      std::remove(tmp_.c_str());
    }
  }
  bool open() {
    f_ = std::fopen(tmp_.c_str(), "wb");
    if (!f_) std::fprintf(stderr, "mkddd: cannot write %s: %s\n", path_.c_str(), std::strerror(errno));
    return f_ != nullptr;
  }
  void u8(uint8_t v) { buf_.push_back(static_cast<char>(v)); }
  void u32(uint32_t v) {
    for (int i = 0; i < 4; ++i) u8(static_cast<uint8_t>(v >> (8 * i)));
  }
  void f32(float v) {
    uint32_t bits;
    std::memcpy(&bits, &v, 4);
    u32(bits);
  }
  void f64(double v) {
    uint64_t bits;
    std::memcpy(&bits, &v, 8);
    for (int i = 0; i < 8; ++i) u8(static_cast<uint8_t>(bits >> (8 * i)));
  }
  void text(const std::string& s) { buf_ += s; }
  // Writes what has been gathered; false (said once) when the disk refuses.
  bool flush() {
    if (!failed_ && !buf_.empty() && std::fwrite(buf_.data(), 1, buf_.size(), f_) != buf_.size()) fail(errno);
    buf_.clear();
    return !failed_;
  }
  // Renamed over the target only when everything was written, so a failed
  // run leaves no half-written file behind.
  bool close() {
    if (!flush()) return false;
    std::FILE* f = f_;
    f_ = nullptr;
    if (std::fclose(f) != 0 || std::rename(tmp_.c_str(), path_.c_str()) != 0) {
      std::fprintf(stderr, "mkddd: cannot write %s: %s\n", path_.c_str(), std::strerror(errno));
      std::remove(tmp_.c_str());
      return false;
    }
    return true;
  }

 private:
  void fail(int err) {
    failed_ = true;
    std::fprintf(stderr, "mkddd: cannot write %s: %s\n", path_.c_str(), std::strerror(err));
  }
  std::string path_, tmp_;
  std::FILE* f_ = nullptr;
  std::string buf_;
  bool failed_ = false;
};

int make_ddd(const Options& o) {
  if (!readable(o.model)) return 1;
  const std::string ext = lower_extension(o.model);
  if (ext != "obj" && ext != "gltf" && ext != "glb") {
    std::fprintf(stderr, "mkddd: %s: only OBJ (.obj) and glTF 2.0 (.gltf, .glb) models are read\n", o.model.c_str());
    return 1;
  }
  Assimp::Importer importer;
  // Points and lines are dropped; faces become triangles; v turns to 0 at
  // the image's top (Assimp hands every format over with 0 at the bottom).
  importer.SetPropertyInteger(AI_CONFIG_PP_SBP_REMOVE, aiPrimitiveType_POINT | aiPrimitiveType_LINE);
  const aiScene* scene = importer.ReadFile(o.model, 0);
  if (!scene) {
    std::fprintf(stderr, "mkddd: %s: not a model Assimp reads (%s)\n", o.model.c_str(),
                 one_line(importer.GetErrorString()).c_str());
    return 1;
  }
  bool faces = false;
  for (unsigned i = 0; i < scene->mNumMeshes && !faces; ++i)
    for (unsigned f = 0; scene->mMeshes[i] && f < scene->mMeshes[i]->mNumFaces && !faces; ++f)
      faces = scene->mMeshes[i]->mFaces[f].mNumIndices >= 3;
  if (!scene->mRootNode || scene->mNumMeshes == 0 || (scene->mFlags & AI_SCENE_FLAGS_INCOMPLETE)) {
    std::fprintf(stderr, "mkddd: %s has no meshes\n", o.model.c_str());
    return 1;
  }
  if (!faces) {
    std::fprintf(stderr, "mkddd: %s has no faces (points and lines are not kept)\n", o.model.c_str());
    return 1;
  }
  scene = importer.ApplyPostProcessing(aiProcess_Triangulate | aiProcess_SortByPType | aiProcess_FlipUVs |
                                       aiProcess_ValidateDataStructure);
  if (!scene) {
    std::fprintf(stderr, "mkddd: %s: %s\n", o.model.c_str(), one_line(importer.GetErrorString()).c_str());
    return 1;
  }
  Model model(scene, o, ext != "obj");
  if (!model.gather(o.model)) return 1;

  // Which animation, and when its frames are.
  const aiAnimation* anim = nullptr;
  if (o.animation >= 0 || (o.animation == -1 && scene->mNumAnimations > 0)) {
    const int which = std::max(o.animation, 0);
    if (which >= static_cast<int>(scene->mNumAnimations)) {
      std::fprintf(stderr, "mkddd: %s has %u animation%s; there is no animation %d\n", o.model.c_str(),
                   scene->mNumAnimations, scene->mNumAnimations == 1 ? "" : "s", which);
      return 1;
    }
    anim = scene->mAnimations[which];
    if (anim->mNumMorphMeshChannels || anim->mNumMeshChannels)
      std::fprintf(stderr, "mkddd: warning: animation %d morphs meshes, which is not applied; nodes and bones are\n", which);
  }
  int frames = 1;
  double duration = 0, ticks_per_second = 25;  // Assimp's own default
  bool capped = false;
  if (anim) {
    duration = std::isfinite(anim->mDuration) && anim->mDuration > 0 ? anim->mDuration : 0;
    if (anim->mTicksPerSecond > 0 && std::isfinite(anim->mTicksPerSecond)) ticks_per_second = anim->mTicksPerSecond;
    if (o.frames) {
      frames = o.frames;
    } else if (duration > 0) {
      const double wanted = std::round(duration / ticks_per_second * o.fps) + 1;
      capped = wanted > kAutoFrameCap;
      frames = static_cast<int>(std::clamp(wanted, 2.0, static_cast<double>(kAutoFrameCap)));
    }
    if (duration == 0) frames = 1;
  }
  auto time_of = [&](int f) { return frames > 1 ? duration * f / (frames - 1) : 0.0; };

  const size_t n = model.vertex_count();
  Pose pose;
  // --centre: the middle of the box around every frame, so the object does
  // not jump between frames.
  Vec3 centre{};
  if (o.centre) {
    Vec3 lo{HUGE_VALF, HUGE_VALF, HUGE_VALF}, hi{-HUGE_VALF, -HUGE_VALF, -HUGE_VALF};
    for (int f = 0; f < frames; ++f) {
      model.pose(anim, time_of(f), pose);
      for (const Vec3& p : pose.positions) {
        lo = {std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z)};
        hi = {std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z)};
      }
    }
    centre = {(lo.x + hi.x) / 2, (lo.y + hi.y) / 2, (lo.z + hi.z) / 2};
  }

  const Palette palette = make_palette(model.colours());
  if (palette.bits < 8)
    std::fprintf(stderr, "mkddd: warning: %zu colours, more than a palette's %d: quantised to %zu (%d bits a channel)\n",
                 palette.distinct, kPaletteSize, palette.colours.size(), palette.bits);

  Output out(o.out);
  if (!out.open()) return 1;
  out.u32(kMagic);
  out.f64(kVersion);
  out.u32(static_cast<uint32_t>(frames));
  out.u32(static_cast<uint32_t>(palette.colours.size()));
  out.u32(static_cast<uint32_t>(n));
  for (const uint32_t c : palette.colours) out.u32(c);
  for (const auto& uv : model.texture_coordinates()) {
    out.f32(uv[0]);
    out.f32(uv[1]);
  }
  if (!out.flush()) return 1;
  const auto scale = static_cast<float>(o.scale);
  uint64_t not_finite = 0;
  for (int f = 0; f < frames; ++f) {
    model.pose(anim, time_of(f), pose);
    not_finite += pose.not_finite;
    out.u32(static_cast<uint32_t>(n));
    for (size_t l = 0; l < n; ++l) {
      const Vec3& p = pose.positions[l];
      for (const float c : {(p.x - centre.x) * scale, (p.y - centre.y) * scale, (p.z - centre.z) * scale}) {
        if (!std::isfinite(c)) ++not_finite;  // --scale or --centre overflowed
        out.f32(finite_or_zero(c));
      }
      out.u8(nearest_normal(pose.normals[l]));
      out.u8(palette.index[l]);
    }
    if (!out.flush()) return 1;
  }
  if (!out.close()) return 1;
  if (not_finite)
    std::fprintf(stderr, "mkddd: warning: %llu coordinates were not finite numbers (or overflowed --scale); written as 0\n",
                 static_cast<unsigned long long>(not_finite));

  std::printf("%s: %zu vertices (%zu triangle%s) a frame, %d frame%s, %zu colour%s\n", o.out.c_str(), n, n / 3,
              n == 3 ? "" : "s", frames, frames == 1 ? "" : "s", palette.colours.size(), palette.colours.size() == 1 ? "" : "s");
  if (anim)
    std::printf("%s: animation %d \"%s\" of %u, %.3f s, sampled at %d time%s%s\n", o.out.c_str(), std::max(o.animation, 0),
                anim->mName.C_Str(), scene->mNumAnimations, duration / ticks_per_second, frames, frames == 1 ? "" : "s",
                capped ? " (capped; --frames gives more)" : "");
  return 0;
}

// ---------------------------------------------------------------------------
// --dump

// The shortest text that reads back to the same float.
std::string number(float f) {
  char buf[32];
  const auto r = std::to_chars(buf, buf + sizeof buf, f);
  return std::string(buf, r.ptr);
}

std::string hex_colour(uint32_t c) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%06X", c & 0xFFFFFF);
  return buf;
}

// A file name as a comment can hold it: one line, not too long.
std::string comment_safe(const std::string& name) {
  std::string s = name.size() > 200 ? "..." + name.substr(name.size() - 200) : name;
  for (char& c : s)
    if (static_cast<unsigned char>(c) < 32) c = '?';
  return s;
}

void dump_text(const mxt::MeshObject& mesh, const std::string& name, std::string& s) {
  const std::vector<mxt::MeshVertex>& first = mesh.frames[0].vertices;
  const size_t n = first.size(), triangles = n / 3;
  bool any_uv = false;
  for (const mxt::MeshVertex& v : first) any_uv = any_uv || v.u != 0 || v.v != 0;
  size_t mixed = 0;
  for (size_t t = 0; t < triangles; ++t)
    if ((first[3 * t].packed ^ first[3 * t + 1].packed) & 0xFFFFFF || (first[3 * t].packed ^ first[3 * t + 2].packed) & 0xFFFFFF)
      ++mixed;

  // The loader skips at most 512 bytes of a comment line and reads the rest
  // as tokens, so every comment here stays well short of that.
  s += "DDDA 1.1\n";
  s += "# " + comment_safe(name) + ": " + std::to_string(mesh.frames.size()) +
       (mesh.frames.size() == 1 ? " frame of " : " frames of ") + std::to_string(n) + " vertices, " +
       std::to_string(mesh.palette.size()) + " palette colours (0xBBGGRR)\n";
  for (size_t i = 0; i < mesh.palette.size(); i += 8) {
    s += "# palette " + std::to_string(i) + ":";
    for (size_t k = i; k < std::min(i + 8, mesh.palette.size()); ++k) s += " " + hex_colour(mesh.palette[k]);
    s += "\n";
  }
  if (mixed)
    s += "# " + std::to_string(mixed) + " triangles have corners of different colours; each face here takes its first corner's\n";
  if (n % 3) s += "# the last " + std::to_string(n % 3) + " vertices make no whole triangle and are in no face\n";
  s += "# texture coordinates: u, then v negated (loading negates it back)\n";
  s += std::to_string(any_uv ? n : 0) + "\n";
  if (any_uv)
    for (const mxt::MeshVertex& v : first) s += number(v.u) + " " + number(-v.v) + "\n";
  s += "# faces: red green blue, 3 corners (vertex, texture coordinate)\n";
  s += std::to_string(triangles) + "\n";
  for (size_t t = 0; t < triangles; ++t) {
    const uint32_t c = first[3 * t].packed >= mxt::kMarkerColourFirst ? 0xFFFFFF : first[3 * t].packed;
    s += std::to_string(c & 0xFF) + " " + std::to_string(c >> 8 & 0xFF) + " " + std::to_string(c >> 16 & 0xFF) + " 3";
    for (size_t k = 3 * t; k < 3 * t + 3; ++k) s += " " + std::to_string(k) + " " + std::to_string(any_uv ? k : 0);
    s += "\n";
  }
  s += "# frames: x y z nx ny nz\n";
  s += std::to_string(mesh.frames.size()) + "\n";
  for (size_t f = 0; f < mesh.frames.size(); ++f) {
    s += "# frame " + std::to_string(f) + "\n" + std::to_string(n) + "\n";
    for (const mxt::MeshVertex& v : mesh.frames[f].vertices)
      s += number(v.x) + " " + number(v.y) + " " + number(v.z) + " " + number(v.nx) + " " + number(v.ny) + " " +
           number(v.nz) + "\n";
  }
}

// Frames of different lengths cannot share the text form's one face list.
void dump_listing(const mxt::MeshObject& mesh, const std::string& name, std::string& s) {
  s += "# mkddd --dump: " + name + " has frames of different lengths: listed plainly, not a loadable text .ddd\n";
  s += "palette " + std::to_string(mesh.palette.size()) + ":";
  for (const uint32_t c : mesh.palette) s += " " + hex_colour(c);
  s += "\n";
  for (size_t f = 0; f < mesh.frames.size(); ++f) {
    s += "frame " + std::to_string(f) + ": " + std::to_string(mesh.frames[f].vertices.size()) + " vertices\n";
    size_t l = 0;
    for (const mxt::MeshVertex& v : mesh.frames[f].vertices)
      s += "  " + std::to_string(l++) + ": position " + number(v.x) + " " + number(v.y) + " " + number(v.z) + "  normal " +
           number(v.nx) + " " + number(v.ny) + " " + number(v.nz) + "  uv " + number(v.u) + " " + number(v.v) + "  colour " +
           hex_colour(v.packed) + " index " + std::to_string(v.palette_index & 0xFF) + "\n";
  }
}

int dump(const Options& o) {
  if (!readable(o.dump)) return 1;
  mxt::MeshObject mesh;
  if (!mxt::load_ddd(mesh, RtString(o.dump.c_str())) || mesh.frames.empty()) {
    std::fprintf(stderr, "mkddd: %s is not a .ddd file the runtime loads (the reason is in its debug log)\n", o.dump.c_str());
    return 1;
  }
  bool same = true;
  for (const mxt::MeshFrame& f : mesh.frames) same = same && f.vertices.size() == mesh.frames[0].vertices.size();
  std::string s;
  if (same) {
    dump_text(mesh, o.dump, s);
  } else {
    std::fprintf(stderr, "mkddd: %s has frames of different lengths: listed plainly, not as a text .ddd\n", o.dump.c_str());
    dump_listing(mesh, o.dump, s);
  }
  if (o.dump_out.empty()) {
    if (std::fwrite(s.data(), 1, s.size(), stdout) != s.size() || std::fflush(stdout) != 0) {
      std::fprintf(stderr, "mkddd: cannot write the dump: %s\n", std::strerror(errno));
      return 1;
    }
    return 0;
  }
  Output out(o.dump_out);
  if (!out.open()) return 1;
  out.text(s);
  return out.close() ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (const int rc = parse_options(argc, argv, options)) return rc;
  try {
    return options.dump.empty() ? make_ddd(options) : dump(options);
  } catch (const std::bad_alloc&) {
    std::fputs("mkddd: out of memory\n", stderr);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "mkddd: %s\n", one_line(e.what()).c_str());
  }
  return 1;
}
