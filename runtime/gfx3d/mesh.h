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
// list. What counts as bad, and what is mended instead:
//
// - Counts: a negative count, or one claiming more than the file has left
//   (binary: the bytes its items take; text: one byte an item), fails before
//   anything is allocated, so 2^31 vertices or sizes that overflow cost
//   nothing. A text object whose face list, repeated for every frame, would
//   come to more than 2 vertices a byte of file (plus 65,536) fails too.
//   A list that cannot grow for lack of memory fails with "# malloc error"
//   in the binary form, "# read error" in the text form.
// - Numbers: NaN or infinite positions, normals, scales or texture
//   coordinates (or a version 1 position that overflows) fail: a renderer
//   never gets them.
// - Binary references, clamped: a normal index from 162 up takes entry 161;
//   a palette index at or beyond the palette gives opaque white (0x00FFFFFF,
//   1, 1, 1, 1) and the index word keeps the byte as read, so it may lie
//   beyond `palette`; vertex l of a frame without an l-th texture coordinate
//   pair gets u = v = 0.
// - Text references fail: a corner's vertex index outside the frame's vertex
//   list, or its texture coordinate index outside the list when the file has
//   one (without one the index is not used). A face colour outside 0-255 is
//   clamped into it, so it can neither spill into the next colour byte nor
//   make a marker.
// - Text tokens: at most 1,023 bytes (a longer one fails); a "#" ends a token
//   and starts a comment, of which at most 512 bytes after the "#" are
//   skipped; a token missing at the end of the file reads as 0. Counts and
//   indices are the number truncated to int (outside int's range fails).
//   The palette index word of a text object's vertex holds the whole index,
//   which can exceed a byte when the object has more than 256 colours.
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
