// What the two .ddd targets check after every load: a refused file leaves
// the object empty, a loaded one holds only finite numbers, colour words
// that match the packed colour, and no more vertices than the file's size
// allows.
#pragma once

#include <cmath>
#include <cstdint>

#include "fuzz_support.h"
#include "runtime/gfx3d/mesh.h"

namespace mxt_fuzz {

inline void check_colour(const mxt::MeshVertex& v) {
  mxt::MeshVertex expected;
  mxt::set_vertex_colour(expected, v.packed);
  MXT_FUZZ_CHECK(v.r == expected.r && v.g == expected.g && v.b == expected.b && v.a == 1.0f);
}

// Loads one input; returns whether it loaded, after checking what it left.
inline bool load_and_check(const uint8_t* data, size_t size, bool text) {
  const MemoryFile file(data, size);
  mxt::MeshObject mesh;
  const bool ok = mxt::load_ddd(mesh, file.name());
  if (!ok) {
    MXT_FUZZ_CHECK(mesh.frames.empty() && mesh.palette.empty() && mesh.loaded == 0);
    return false;
  }
  MXT_FUZZ_CHECK(mesh.loaded == 1);
  int64_t total = 0;
  for (const mxt::MeshFrame& frame : mesh.frames) {
    MXT_FUZZ_CHECK(frame.buffer == 0 && frame.buffer_vertices == 0);
    if (text) MXT_FUZZ_CHECK(frame.vertices.size() == mesh.frames[0].vertices.size());  // one face list for all
    for (const mxt::MeshVertex& v : frame.vertices) {
      MXT_FUZZ_CHECK(std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z));
      MXT_FUZZ_CHECK(std::isfinite(v.nx) && std::isfinite(v.ny) && std::isfinite(v.nz));
      MXT_FUZZ_CHECK(std::isfinite(v.u) && std::isfinite(v.v));
      check_colour(v);
      if (text) {
        MXT_FUZZ_CHECK(v.palette_index < mesh.palette.size() && mesh.palette[v.palette_index] == v.packed);
        MXT_FUZZ_CHECK(v.packed == mxt::kFaceMarker || v.packed <= 0xFFFFFFu);
      } else {
        // The byte as read; outside the palette it gives opaque white.
        MXT_FUZZ_CHECK(v.palette_index <= 0xFFu);
        MXT_FUZZ_CHECK(v.packed == (v.palette_index < mesh.palette.size() ? mesh.palette[v.palette_index] : 0x00FFFFFFu));
      }
    }
    total += static_cast<int64_t>(frame.vertices.size());
  }
  if (text) {
    MXT_FUZZ_CHECK(total + static_cast<int64_t>(mesh.frames.size()) <= static_cast<int64_t>(size) * 2 + 65536);
    if (!mesh.frames.empty() && !mesh.frames[0].vertices.empty())
      MXT_FUZZ_CHECK(mesh.frames[0].vertices[0].packed == mxt::kFaceMarker);  // every polygon opens with its marker
  } else {
    MXT_FUZZ_CHECK(total * 5 <= static_cast<int64_t>(size));  // 5 bytes the smallest vertex record
  }
  return true;
}

}  // namespace mxt_fuzz
