#include "runtime/gfx3d/renderer3d.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <cmath>
#include <cstddef>

#include "runtime/base/singletons.h"
#include "runtime/files/files.h"
#include "runtime/gfx2d/sprites.h"
#include "runtime/gfx2d/viewport.h"
#include "runtime/gfx3d/gfx3d.h"

namespace mxt {

namespace {

bool is_marker(const MeshVertex& v) { return v.packed >= kMarkerColourFirst; }

DrawVertex draw_vertex(const MeshVertex& m) {
  return DrawVertex{m.x, m.y, m.z, m.nx, m.ny, m.nz, m.u, m.v, m.r, m.g, m.b, m.a};
}

// A triangle whose corners carry no normal gets the face's.
void add_triangle(std::vector<DrawVertex>& out, const MeshVertex& a, const MeshVertex& b, const MeshVertex& c) {
  DrawVertex t[3] = {draw_vertex(a), draw_vertex(b), draw_vertex(c)};
  const float ex = t[1].x - t[0].x, ey = t[1].y - t[0].y, ez = t[1].z - t[0].z;
  const float fx = t[2].x - t[0].x, fy = t[2].y - t[0].y, fz = t[2].z - t[0].z;
  float nx = ey * fz - ez * fy, ny = ez * fx - ex * fz, nz = ex * fy - ey * fx;
  const float length = std::sqrt(nx * nx + ny * ny + nz * nz);
  if (length > 0) {
    nx /= length;
    ny /= length;
    nz /= length;
  }
  for (DrawVertex& v : t) {
    if (v.nx * v.nx + v.ny * v.ny + v.nz * v.nz < 1e-12f) {
      v.nx = nx;
      v.ny = ny;
      v.nz = nz;
    }
    out.push_back(v);
  }
}

// Column-major matrices for glMultMatrixd.
void multiply_perspective(double fov_degrees, double aspect, double near, double far) {
  const double f = 1.0 / std::tan(fov_degrees * M_PI / 360.0);
  const double m[16] = {f / aspect, 0, 0, 0, 0, f, 0, 0, 0, 0, (far + near) / (near - far), -1,
                        0, 0, 2 * far * near / (near - far), 0};
  glMultMatrixd(m);
}

void normalise(double v[3]) {
  const double length = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
  if (length > 0)
    for (int i = 0; i < 3; ++i) v[i] /= length;
}

void cross(const double a[3], const double b[3], double out[3]) {
  out[0] = a[1] * b[2] - a[2] * b[1];
  out[1] = a[2] * b[0] - a[0] * b[2];
  out[2] = a[0] * b[1] - a[1] * b[0];
}

void load_look_at(const Camera& c) {
  double f[3] = {c.target[0] - c.eye[0], c.target[1] - c.eye[1], c.target[2] - c.eye[2]};
  normalise(f);
  // Looking straight up or down, "up" is taken along -z instead of y.
  double up[3] = {0, 1, 0};
  if (std::fabs(f[1]) > 0.9999) {
    up[1] = 0;
    up[2] = -1;
  }
  double s[3], u[3];
  cross(f, up, s);
  normalise(s);
  cross(s, f, u);
  const double m[16] = {s[0], u[0], -f[0], 0, s[1], u[1], -f[1], 0, s[2], u[2], -f[2], 0, 0, 0, 0, 1};
  glLoadMatrixd(m);
  glTranslated(-c.eye[0], -c.eye[1], -c.eye[2]);
}

}  // namespace

void triangulate_frame(const std::vector<MeshVertex>& vertices, std::vector<DrawVertex>& out) {
  out.clear();
  const size_t n = vertices.size();
  bool markers = false;
  for (const MeshVertex& v : vertices) {
    if (is_marker(v)) {
      markers = true;
      break;
    }
  }
  if (!markers) {
    out.reserve(n - n % 3);
    for (size_t i = 0; i + 2 < n; i += 3) add_triangle(out, vertices[i], vertices[i + 1], vertices[i + 2]);
    return;
  }
  // Polygons: from each marker to the next, a fan about the first corner.
  size_t i = 0;
  while (i < n) {
    if (!is_marker(vertices[i])) {
      ++i;  // corners before the first marker belong to no polygon
      continue;
    }
    size_t first = i + 1, end = first;
    while (end < n && !is_marker(vertices[end])) ++end;
    for (size_t k = first + 1; k + 1 < end; ++k) add_triangle(out, vertices[first], vertices[k], vertices[k + 1]);
    i = end;
  }
}

Razazedu3V::Razazedu3V(VuduRODoverore& renderer_2d) : objects(kObjects), r2d_(&renderer_2d) {
  renderer_2d.shader_state = &shaders;
  renderer_2d.renderer_3d = this;
  generation_ = renderer_2d.context_generation;
}

Razazedu3V::~Razazedu3V() {
  if (r2d_) {
    // The 2D renderer outlives this one: its context is still there.
    leave_3d_mode();
    if (r2d_->gl_context) delete_shaders(r2d_->gl, shaders);
    for (MeshObject& m : objects) release_buffers(m);
    r2d_->shader_state = nullptr;
    r2d_->renderer_3d = nullptr;
  }
}

void Razazedu3V::unbind_2d() {
  leave_3d_mode();
  for (MeshObject& m : objects) release_buffers(m);
  r2d_ = nullptr;
}

void Razazedu3V::frame_step() { depth_cleared_ = 0; }

// Deleted while the context they were made in is current; forgotten in any case.
void Razazedu3V::release_buffers(MeshObject& mesh) {
  const bool live = r2d_ && r2d_->gl_context && generation_ == r2d_->context_generation;
  const GlEntryPoints* e = live ? &r2d_->gl.ext() : nullptr;
  for (MeshFrame& f : mesh.frames) {
    if (f.buffer && e && e->DeleteBuffersARB) {
      const GLuint name = f.buffer;
      e->DeleteBuffersARB(1, &name);
    }
    f.buffer = 0;
    f.buffer_vertices = 0;
  }
}

bool Razazedu3V::load_object(int n, const RtString& name) {
  if (n < 0 || n >= kObjects) return false;
  MeshObject& mesh = objects[static_cast<size_t>(n)];
  release_buffers(mesh);
  clear_mesh(mesh);
  RtString resolved = name;  // an archive entry becomes a memory name
  if (name.empty() || !mxt_resolve_file(resolved)) return false;
  return load_ddd(mesh, resolved);
}

void Razazedu3V::free_object(int n) {
  if (n < 0 || n >= kObjects) return;
  MeshObject& mesh = objects[static_cast<size_t>(n)];
  release_buffers(mesh);
  clear_mesh(mesh);
}

bool Razazedu3V::upload(MeshFrame& frame) {
  VuduRODoverore& r = *r2d_;
  if (generation_ != r.context_generation) {
    // A new context: every buffer of the old one is gone, without a delete.
    for (MeshObject& m : objects) release_buffers(m);
    generation_ = r.context_generation;
  }
  const GlEntryPoints& e = r.gl.ext();
  if (frame.buffer) {
    e.BindBufferARB(GL_ARRAY_BUFFER_ARB, frame.buffer);
    return true;
  }
  triangulate_frame(frame.vertices, scratch_);
  if (scratch_.empty()) return false;
  if (!e.GenBuffersARB || !e.BindBufferARB || !e.BufferDataARB) return true;  // drawn from scratch_
  GLuint name = 0;
  e.GenBuffersARB(1, &name);
  e.BindBufferARB(GL_ARRAY_BUFFER_ARB, name);
  e.BufferDataARB(GL_ARRAY_BUFFER_ARB, static_cast<GLsizeiptrARB>(scratch_.size() * sizeof(DrawVertex)),
                  scratch_.data(), GL_STATIC_DRAW_ARB);
  frame.buffer = name;
  frame.buffer_vertices = static_cast<int32_t>(scratch_.size());
  return true;
}

bool Razazedu3V::enter_3d_mode() {
  if (!r2d_ || !r2d_->gl_context) return false;
  if (in_3d_) return true;
  VuduRODoverore& r = *r2d_;
  r.flush();
  glPushAttrib(GL_ALL_ATTRIB_BITS);
  glPushClientAttrib(GL_CLIENT_ALL_ATTRIB_BITS);
  glMatrixMode(GL_TEXTURE);
  glPushMatrix();
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  in_3d_ = true;

  // The camera over the viewport as it is, turned as the 2D view is turned.
  glMatrixMode(GL_PROJECTION);
  load_turn_matrix(r.applied_turn);
  const double w = r.viewport[2] > 0 ? r.viewport[2] : 1, h = r.viewport[3] > 0 ? r.viewport[3] : 1;
  multiply_perspective(camera.fov, w / h, camera.near, camera.far);
  glMatrixMode(GL_MODELVIEW);
  load_look_at(camera);

  glEnable(GL_DEPTH_TEST);
  glDepthFunc(GL_LEQUAL);
  glDepthMask(GL_TRUE);
  const int target = r.current_surface >= 0 && r.current_surface < 63 ? r.current_surface + 1 : 0;
  if (!(depth_cleared_ >> target & 1)) {
    glDisable(GL_SCISSOR_TEST);  // the whole target's depth, whatever the viewport
    glClear(GL_DEPTH_BUFFER_BIT);
    depth_cleared_ |= uint64_t{1} << target;
  }
  glDisable(GL_CULL_FACE);
  glShadeModel(GL_SMOOTH);
  glEnable(GL_NORMALIZE);
  // Texels the sprite leaves transparent are holes, not walls in the depth buffer.
  glEnable(GL_ALPHA_TEST);
  glAlphaFunc(GL_GREATER, 0.0f);

  const double* d = light.direction;
  if (d[0] != 0 || d[1] != 0 || d[2] != 0) {
    const GLfloat towards[4] = {static_cast<GLfloat>(-d[0]), static_cast<GLfloat>(-d[1]),
                                static_cast<GLfloat>(-d[2]), 0};
    const GLfloat a = static_cast<GLfloat>(light.ambient);
    const GLfloat ambient[4] = {a, a, a, 1};
    const GLfloat white[4] = {1, 1, 1, 1};
    const GLfloat none[4] = {0, 0, 0, 1};
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    glLightfv(GL_LIGHT0, GL_POSITION, towards);  // in world space: the view matrix is loaded
    glLightfv(GL_LIGHT0, GL_DIFFUSE, white);
    glLightfv(GL_LIGHT0, GL_AMBIENT, none);
    glLightfv(GL_LIGHT0, GL_SPECULAR, none);
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, ambient);
    glEnable(GL_COLOR_MATERIAL);
    glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
  } else {
    glDisable(GL_LIGHTING);
  }

  const GlEntryPoints& e = r.gl.ext();
  if (e.ActiveTextureARB) {
    e.ActiveTextureARB(GL_TEXTURE1_ARB);
    glDisable(GL_TEXTURE_2D);
    e.ActiveTextureARB(GL_TEXTURE0_ARB);
  }
  if (e.ClientActiveTextureARB) e.ClientActiveTextureARB(GL_TEXTURE0_ARB);
  // Objects draw through the game's program or the fixed stages, which
  // light them; never through the runtime's own 2D programs.
  if (e.UseProgramObjectARB) e.UseProgramObjectARB(r.gl.game_program());
  if (shaders.current >= 0) {
    set_shader_int(r.gl, shaders, "TextureID1", 0, nullptr);
    set_shader_int(r.gl, shaders, "TextureID2", 1, nullptr);
  }
  return true;
}

void Razazedu3V::leave_3d_mode() {
  if (!in_3d_) return;
  in_3d_ = false;
  if (!r2d_) return;
  const GlEntryPoints& e = r2d_->gl.ext();
  if (e.BindBufferARB) e.BindBufferARB(GL_ARRAY_BUFFER_ARB, 0);  // 2D draws from client memory
  glMatrixMode(GL_TEXTURE);
  glPopMatrix();
  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
  glPopMatrix();
  glPopClientAttrib();
  glPopAttrib();
  // GL is as it was; the cache only has to stop trusting what it remembers.
  r2d_->gl.forget_all();
}

bool Razazedu3V::draw_object(int n, int frame_number, const double position[3], const double turn[3],
                             double scale, int sprite) {
  if (n < 0 || n >= kObjects || !r2d_) return false;
  MeshObject& mesh = objects[static_cast<size_t>(n)];
  if (!mesh.loaded || frame_number < 0 || static_cast<size_t>(frame_number) >= mesh.frames.size()) return false;
  MeshFrame& frame = mesh.frames[static_cast<size_t>(frame_number)];
  if (!enter_3d_mode()) return false;
  const bool ready = upload(frame);
  if (ready) {
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glTranslated(position[0], position[1], position[2]);
    glRotated(turn[2], 0, 0, 1);
    glRotated(turn[1], 0, 1, 0);
    glRotated(turn[0], 1, 0, 0);
    glScaled(scale, scale, scale);

    const SpriteRecord* texture = sprite >= 0 ? sprite_record(sprite) : nullptr;
    if (texture && texture->texture && texture->image_width > 0) {
      glBindTexture(GL_TEXTURE_2D, texture->texture);
      glEnable(GL_TEXTURE_2D);
      glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
      // Texture coordinates 0..1 span the sprite's image, not its whole
      // texture, with v = 0 its top row (sprites are stored bottom-up).
      glMatrixMode(GL_TEXTURE);
      glLoadIdentity();
      glTranslatef(0, texture->v_max, 0);
      glScalef(texture->u_max, -texture->v_max, 1);
      glMatrixMode(GL_MODELVIEW);
    } else {
      texture = nullptr;
      glDisable(GL_TEXTURE_2D);
    }

    const bool buffered = frame.buffer != 0;
    const char* base = buffered ? nullptr : reinterpret_cast<const char*>(scratch_.data());
    const GLsizei count = buffered ? frame.buffer_vertices : static_cast<GLsizei>(scratch_.size());
    constexpr GLsizei stride = sizeof(DrawVertex);
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(3, GL_FLOAT, stride, base + offsetof(DrawVertex, x));
    glEnableClientState(GL_NORMAL_ARRAY);
    glNormalPointer(GL_FLOAT, stride, base + offsetof(DrawVertex, nx));
    glEnableClientState(GL_COLOR_ARRAY);
    glColorPointer(4, GL_FLOAT, stride, base + offsetof(DrawVertex, r));
    if (texture) {
      glEnableClientState(GL_TEXTURE_COORD_ARRAY);
      glTexCoordPointer(2, GL_FLOAT, stride, base + offsetof(DrawVertex, u));
    } else {
      glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    }
    r2d_->gl.draw_arrays(GL_TRIANGLES, 0, count);
    glPopMatrix();
    ++objects_drawn;
  }
  leave_3d_mode();
  return ready;
}

}  // namespace mxt

// ---------------------------------------------------------------------------
// Commands

using namespace mxt;

bool mxt_load_object(int n, const RtString& name) {
  clear_last_error();
  if (!rt.renderer3d || !rt.renderer3d->load_object(n, name)) {
    report_error(RuntimeError::file_not_found);
    return false;
  }
  return true;
}

void mxt_free_object(int n) {
  if (rt.renderer3d) rt.renderer3d->free_object(n);
}

int mxt_object_frames(int n) {
  if (!rt.renderer3d || n < 0 || n >= Razazedu3V::kObjects) return 0;
  return static_cast<int>(rt.renderer3d->objects[static_cast<size_t>(n)].frames.size());
}

int mxt_object_vertices(int n, int frame) {
  if (!rt.renderer3d || n < 0 || n >= Razazedu3V::kObjects) return 0;
  const MeshObject& mesh = rt.renderer3d->objects[static_cast<size_t>(n)];
  if (frame < 0 || static_cast<size_t>(frame) >= mesh.frames.size()) return 0;
  return static_cast<int>(mesh.frames[static_cast<size_t>(frame)].vertices.size());
}

void mxt_set_camera(double x, double y, double z, double target_x, double target_y, double target_z, double fov) {
  if (!rt.renderer3d) return;
  if (!(fov >= 1 && fov <= 179)) return;  // NaN fails this too
  const double d[3] = {target_x - x, target_y - y, target_z - z};
  const double length = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
  if (!(length > 0) || !std::isfinite(length)) return;
  Camera& c = rt.renderer3d->camera;
  c.eye[0] = x, c.eye[1] = y, c.eye[2] = z;
  c.target[0] = target_x, c.target[1] = target_y, c.target[2] = target_z;
  c.fov = fov;
}

void mxt_set_light(double x, double y, double z, double ambient) {
  if (!rt.renderer3d) return;
  Light& l = rt.renderer3d->light;
  const bool finite = std::isfinite(x) && std::isfinite(y) && std::isfinite(z);
  l.direction[0] = finite ? x : 0;
  l.direction[1] = finite ? y : 0;
  l.direction[2] = finite ? z : 0;
  l.ambient = std::isfinite(ambient) ? std::fmin(std::fmax(ambient, 0.0), 1.0) : 0.0;
}

void mxt_draw_object(int n, int frame, double x, double y, double z, double turn_x, double turn_y, double turn_z,
                     double scale, int sprite) {
  if (!rt.renderer3d) return;
  const double position[3] = {x, y, z};
  const double turn[3] = {turn_x, turn_y, turn_z};
  rt.renderer3d->draw_object(n, frame, position, turn, scale, sprite);
}
