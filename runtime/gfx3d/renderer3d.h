// Razazedu3V: the 3D renderer. (The name is the runtime's own, kept as the
// games and tools built on it know it.)
//
// It is bound to the 2D renderer at start-up and lives in the same GL
// context. It owns the shader slots (the 2D renderer reaches them through
// its `shader_state`) and the numbered mesh objects, and draws objects into
// the 2D frame: each draw enters 3D mode (the 2D batches drawn, the GL state
// saved, a perspective camera over the current viewport, depth testing,
// lighting), draws, and leaves it again, so 2D drawing goes on as before.
// The depth buffer of each target (the window, a surface) is cleared once a
// frame, before the first object drawn there, so the objects of one frame
// hide one another properly.
//
// Each frame of an object is uploaded once, as a plain triangle list, into a
// vertex buffer (client memory on a driver without buffer objects) and drawn
// with one call.
#pragma once

#include <cstdint>
#include <vector>

#include "runtime/gfx2d/renderer.h"
#include "runtime/gfx2d/shaders.h"
#include "runtime/gfx3d/mesh.h"

namespace mxt {

// One vertex as drawn: position, normal, texture coordinates, colour.
struct DrawVertex {
  float x, y, z;
  float nx, ny, nz;
  float u, v;
  float r, g, b, a;
};

// A frame's vertex list as triangles: a list with marker vertices is a run of
// polygons, each opened by its marker and drawn as a fan of its corners; a
// list without markers is already triangles (a last incomplete one is left
// out). A normal of zero length takes its triangle's face normal.
void triangulate_frame(const std::vector<MeshVertex>& vertices, std::vector<DrawVertex>& out);

struct Camera {
  double eye[3] = {0, 0, 5};
  double target[3] = {0, 0, 0};
  double fov = 45;       // vertical, degrees
  double near = 0.1;     // what lies nearer or farther is not drawn
  double far = 1000;
};

struct Light {
  double direction[3] = {-0.4, -1, -0.6};  // the way the light shines; all 0: unlit
  double ambient = 0.3;
};

class Razazedu3V : public Renderer3DLink {
 public:
  static constexpr int kObjects = 4096;

  explicit Razazedu3V(VuduRODoverore& renderer_2d);
  virtual ~Razazedu3V();
  Razazedu3V(const Razazedu3V&) = delete;
  Razazedu3V& operator=(const Razazedu3V&) = delete;

  void frame_step();                 // a new frame: its first object clears the depth buffer
  void leave_3d_mode() override;
  void unbind_2d() override;

  bool load_object(int n, const RtString& name);
  void free_object(int n);
  bool draw_object(int n, int frame, const double position[3], const double turn[3], double scale, int sprite);

  ShaderSlots shaders;
  Camera camera;
  Light light;
  std::vector<MeshObject> objects;   // kObjects of them
  uint64_t objects_drawn = 0;        // for tests and profiling

 private:
  bool enter_3d_mode();
  bool upload(MeshFrame& frame);     // the frame's triangles ready to draw
  void release_buffers(MeshObject& mesh);

  VuduRODoverore* r2d_;              // null once the 2D renderer has gone
  bool in_3d_ = false;
  uint64_t depth_cleared_ = 0;       // per target this frame: bit 0 the window, bit 1 + s surface s
  uint32_t generation_ = 0;          // the 2D renderer's context generation the buffers belong to
  std::vector<DrawVertex> scratch_;  // a frame's triangles on their way to GL
};

}  // namespace mxt
