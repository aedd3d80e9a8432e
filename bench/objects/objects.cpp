// Drawing 3D objects: N objects of V vertices each per frame, every object
// its own mxt_draw_object call (turned, lit, depth-tested), in an 800 x 480
// window. Prints frames per second and vertices per second.
// usage: bench_objects [objects=100] [vertices=10000] [frames=200] [warmup=20]
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/support/bouncing.h"
#include "runtime/base/clock.h"
#include "runtime/base/singletons.h"
#include "runtime/gfx3d/renderer3d.h"
#include <moxtril.h>

namespace {

constexpr int kW = 800, kH = 480;

// A ball of about `vertices` vertices as a triangle list: latitude bands of
// quads, each two triangles, with smooth normals and a colour per band.
void make_ball(mxt::MeshObject& mesh, int vertices) {
  const int quads = vertices / 6;
  const int bands = std::max(2, static_cast<int>(std::sqrt(quads / 2.0)));
  const int segments = std::max(3, quads / bands);
  mesh.frames.assign(1, mxt::MeshFrame{});
  std::vector<mxt::MeshVertex>& out = mesh.frames[0].vertices;
  auto point = [&](int band, int segment, uint32_t colour) {
    const double lat = M_PI * band / bands - M_PI / 2, lon = 2 * M_PI * segment / segments;
    mxt::MeshVertex v;
    v.nx = static_cast<float>(std::cos(lat) * std::cos(lon));
    v.ny = static_cast<float>(std::sin(lat));
    v.nz = static_cast<float>(std::cos(lat) * std::sin(lon));
    v.x = v.nx, v.y = v.ny, v.z = v.nz;
    v.packed = colour;
    mxt::set_vertex_colour(v, colour);
    return v;
  };
  for (int b = 0; b < bands; ++b) {
    const uint32_t colour = b % 2 ? 0x40C0F0u : 0xF08040u;
    for (int s = 0; s < segments; ++s) {
      const mxt::MeshVertex a = point(b, s, colour), c = point(b + 1, s, colour);
      const mxt::MeshVertex d = point(b + 1, s + 1, colour), e = point(b, s + 1, colour);
      for (const mxt::MeshVertex& v : {a, c, d, a, d, e}) out.push_back(v);
    }
  }
  mesh.loaded = 1;
}

}  // namespace

void project_settings() {
  mxt_settings().screen_width = kW;
  mxt_settings().screen_height = kH;
  mxt_settings().frame_rate = 0;
  mxt_app_title() = "objects";
}

int mxt_main() {
  const std::vector<std::string> args = bench::arguments();
  const int objects = args.size() > 0 ? std::atoi(args[0].c_str()) : 100;
  const int vertices = args.size() > 1 ? std::atoi(args[1].c_str()) : 10000;
  const int frames = args.size() > 2 ? std::atoi(args[2].c_str()) : 200;
  const int warmup = args.size() > 3 ? std::atoi(args[3].c_str()) : 20;

  make_ball(mxt::rt.renderer3d->objects[0], vertices);
  const int per_object = mxt_object_vertices(0, 0);
  mxt_set_clear_colour(0x201010);
  mxt_set_camera(0, 0, 14, 0, 0, 0, 50);
  mxt_set_light(-0.5, -1, -0.7, 0.3);
  const int columns = std::max(1, static_cast<int>(std::ceil(std::sqrt(objects * 1.6))));
  const int rows = (objects + columns - 1) / columns;
  double t0 = 0;
  for (int frame = 0; frame < warmup + frames; ++frame) {
    if (frame == warmup) t0 = mxt::accurate_ms();
    for (int i = 0; i < objects; ++i) {
      const double x = (i % columns - (columns - 1) / 2.0) * 1.6, y = ((rows - 1) / 2.0 - i / columns) * 1.6;
      mxt_draw_object(0, 0, x, y, 0, frame * 1.0, frame * 2.0 + i, 0, 0.7, -1);
    }
    mxt_show_screen();
  }
  const double seconds = (mxt::accurate_ms() - t0) / 1000.0;
  const double fps = frames / seconds;
  std::printf("objects %d x %d vertices: %.2f fps, %.2f million vertices/s\n", objects, per_object, fps,
              fps * objects * per_object / 1e6);
  mxt_end();
  return 0;
}
