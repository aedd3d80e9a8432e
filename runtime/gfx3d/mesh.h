// Mesh objects and the .ddd file format.
//
// A .ddd file holds one 3D object: a colour palette and a list of frames,
// each frame a complete vertex list of the object (an animation is a list of
// frames). It comes in two forms:
//
// - binary: the magic int32 13021975, a float64 version (1.02 to 2.0), the
//   frame, palette and texture coordinate counts, the palette, the texture
//   coordinate pairs, then the frames. Version 2.0 stores float positions;
//   version 1 stores byte positions with a per-frame offset and scale. Both
//   store normals as indices into the 162-entry normal table below and a
//   palette index per vertex. Vertex l of every frame takes the l-th texture
//   coordinate pair.
// - text: "DDDA", a version (at most 1.1), texture coordinates, faces (a
//   colour and a list of corners, each a vertex index and a texture
//   coordinate index) and frames of vertices. Each face becomes a marker
//   vertex followed by one vertex per corner, so a frame's list is a run of
//   polygons, each opened by its marker.
//
// `load_ddd` reads either form; a bad file fails with "# read error" and its
// name in the debug log and leaves the object empty, never reading outside a
// list.
#pragma once

#include <cstdint>
#include <vector>

#include "runtime/types/rtstring.h"

namespace mxt {

// Packed colours at or above this are markers, not colours: a marker vertex
// opens a polygon of the text form.
inline constexpr uint32_t kMarkerColourFirst = 0xFFFFFFFCu;
inline constexpr uint32_t kFaceMarker = 0xFFFFFFFDu;  // what the text form writes

inline constexpr int kNormalTableSize = 162;
extern const float kNormalTable[kNormalTableSize][3];

// 23 32-bit words, in the order the format's tools know them.
struct MeshVertex {
  float x = 0, y = 0, z = 0;          // 0-2 position
  float nx = 0, ny = 0, nz = 0;       // 3-5 normal
  float u = 0, v = 0;                 // 6-7 texture coordinates
  float spare[9] = {};                // 8-16 the renderer's own
  uint32_t packed = 0;                // 17 red bits 0-7, green 8-15, blue 16-23; >= kMarkerColourFirst: marker
  uint32_t palette_index = 0;         // 18 in the low byte
  float r = 0, g = 0, b = 0, a = 0;   // 19-22 colour, 0 to 1
};
static_assert(sizeof(MeshVertex) == 23 * 4, "MeshVertex is 23 words");

struct MeshFrame {
  std::vector<MeshVertex> vertices;
  // The renderer's: the frame's triangles in its vertex buffer (0 = not
  // uploaded) and how many vertices they take. The loader does not touch them.
  uint32_t buffer = 0;
  int32_t buffer_vertices = 0;
};

struct MeshObject {
  std::vector<MeshFrame> frames;
  std::vector<uint32_t> palette;
  int32_t loaded = 0;  // 1 after a successful load
};

// The colour words of a vertex from its packed colour: markers are white.
void set_vertex_colour(MeshVertex& v, uint32_t packed);

// Empties the object: palette and frames (the renderer releases its buffers
// before calling this).
void clear_mesh(MeshObject& mesh);

// Reads a .ddd file (either form; a real path or an in-memory file name) into
// `mesh`. False when the file cannot be opened (nothing logged) or is bad
// ("# read error" or "# malloc error", then the name, in the debug log); the
// mesh is empty then.
bool load_ddd(MeshObject& mesh, const RtString& name);

}  // namespace mxt
