// GlState: the one owner of the OpenGL state the 2D renderer relies on.
//
// Capability switches, the current colour, the blend and alpha functions,
// the shade model, the texture units (which texture each has bound, whether
// texturing is on) and the filter and wrapping of each unit's bound texture
// are all set through here. Each remembers what GL has, so drawing code may
// ask for its state on every call and only changes reach GL; before any
// change, the batch of quads collected under the old state is drawn (the
// flush hook). Nothing else calls glEnable, glBindTexture, glTexParameter or
// glBlendFunc on these; code that touches GL behind the renderer's back
// calls `forget_all` afterwards.
//
// The extension entry points are probed once per context into `ext`, each
// group only when the driver names its own extension, matched word for word.
#pragma once

#include <GL/gl.h>
#include <GL/glext.h>

#include <cstdint>

namespace mxt {

enum class GlCap : uint8_t {
  blend, alpha_test, color_material, cull_face, lighting, stencil_test, depth_test, fog, dither,
  line_smooth, point_smooth, normalize, polygon_smooth, polygon_offset_point, auto_normal,
  texture_gen_s, texture_gen_t,
  count
};
GLenum gl_enum(GlCap cap);

// Extension entry points, null when missing.
struct GlEntryPoints {
  // GL_ARB_multitexture
  PFNGLACTIVETEXTUREARBPROC ActiveTextureARB = nullptr;
  PFNGLMULTITEXCOORD2FARBPROC MultiTexCoord2fARB = nullptr;
  PFNGLCLIENTACTIVETEXTUREARBPROC ClientActiveTextureARB = nullptr;
  // GL_ARB_vertex_buffer_object
  PFNGLGENBUFFERSARBPROC GenBuffersARB = nullptr;
  PFNGLBINDBUFFERARBPROC BindBufferARB = nullptr;
  PFNGLBUFFERDATAARBPROC BufferDataARB = nullptr;
  PFNGLDELETEBUFFERSARBPROC DeleteBuffersARB = nullptr;
  PFNGLMAPBUFFERARBPROC MapBufferARB = nullptr;
  PFNGLUNMAPBUFFERARBPROC UnmapBufferARB = nullptr;
  PFNGLGETBUFFERPARAMETERIVARBPROC GetBufferParameterivARB = nullptr;
  // GL_ARB_shader_objects
  PFNGLCREATEPROGRAMOBJECTARBPROC CreateProgramObjectARB = nullptr;
  PFNGLDELETEOBJECTARBPROC DeleteObjectARB = nullptr;
  PFNGLCREATESHADEROBJECTARBPROC CreateShaderObjectARB = nullptr;
  PFNGLSHADERSOURCEARBPROC ShaderSourceARB = nullptr;
  PFNGLCOMPILESHADERARBPROC CompileShaderARB = nullptr;
  PFNGLGETOBJECTPARAMETERIVARBPROC GetObjectParameterivARB = nullptr;
  PFNGLATTACHOBJECTARBPROC AttachObjectARB = nullptr;
  PFNGLGETINFOLOGARBPROC GetInfoLogARB = nullptr;
  PFNGLLINKPROGRAMARBPROC LinkProgramARB = nullptr;
  PFNGLUSEPROGRAMOBJECTARBPROC UseProgramObjectARB = nullptr;
  PFNGLGETUNIFORMLOCATIONARBPROC GetUniformLocationARB = nullptr;
  PFNGLUNIFORM1FARBPROC Uniform1fARB = nullptr;
  PFNGLUNIFORM1IARBPROC Uniform1iARB = nullptr;
  // GL_ARB_vertex_shader
  PFNGLGETATTRIBLOCATIONARBPROC GetAttribLocationARB = nullptr;
  PFNGLVERTEXATTRIB1FARBPROC VertexAttrib1fARB = nullptr;
  // EXT_framebuffer_object: fetched by name whatever the list says (offscreen
  // surfaces look at each one they need)
  PFNGLBINDRENDERBUFFEREXTPROC BindRenderbufferEXT = nullptr;
  PFNGLDELETERENDERBUFFERSEXTPROC DeleteRenderbuffersEXT = nullptr;
  PFNGLGENRENDERBUFFERSEXTPROC GenRenderbuffersEXT = nullptr;
  PFNGLRENDERBUFFERSTORAGEEXTPROC RenderbufferStorageEXT = nullptr;
  PFNGLBINDFRAMEBUFFEREXTPROC BindFramebufferEXT = nullptr;
  PFNGLDELETEFRAMEBUFFERSEXTPROC DeleteFramebuffersEXT = nullptr;
  PFNGLGENFRAMEBUFFERSEXTPROC GenFramebuffersEXT = nullptr;
  PFNGLCHECKFRAMEBUFFERSTATUSEXTPROC CheckFramebufferStatusEXT = nullptr;
  PFNGLFRAMEBUFFERTEXTURE2DEXTPROC FramebufferTexture2DEXT = nullptr;
  PFNGLFRAMEBUFFERRENDERBUFFEREXTPROC FramebufferRenderbufferEXT = nullptr;
  PFNGLGETFRAMEBUFFERATTACHMENTPARAMETERIVEXTPROC GetFramebufferAttachmentParameterivEXT = nullptr;
};

// Fetches the named entry point into `slot`; a missing one logs
// "ext: <name>   [FAILED]" and stays null. Returns whether it was found.
bool fetch_entry_point(void** slot, const char* name);

// The name as a whole word of an extension list: at the start or after a
// space, and followed by the end or a space.
bool has_extension_word(const char* list, const char* name);

class GlState {
 public:
  static constexpr int kUnits = 2;  // the texture units the 2D renderer uses

  GlState() { forget_all(); }

  // Whatever GL has now is unknown: every next request reaches GL. For a new
  // context, and after code outside the renderer has touched GL.
  void forget_all();

  void enable(GlCap cap);
  void disable(GlCap cap);
  void set(GlCap cap, bool on) { on ? enable(cap) : disable(cap); }
  void set_colour(float r, float g, float b, float a);
  const float* colour() const { return colour_; }
  void set_blend_func(GLenum src, GLenum dst);
  void set_alpha_func(float reference);   // GL_GREATER than the reference passes
  void set_shade_model(GLenum mode);

  // The game's shader program for the drawing that follows; 0 gives drawing
  // back to the runtime: its own small programs when it has them, else the
  // fixed-function pipeline. Needs UseProgramObjectARB.
  void use_program(GLhandleARB program);
  GLhandleARB program() const { return program_; }  // the one GL has (as far as known)
  GLhandleARB game_program() const { return game_program_; }

  // The runtime's own programs for 2D drawing: one that multiplies the
  // texture of unit 0 by the colour, one for the colour alone (0, 0: none,
  // drawing stays fixed-function). On software renderers a program this
  // small costs each pixel less than the fixed stages it stands in for.
  void set_builtin_programs(GLhandleARB textured, GLhandleARB plain);
  bool has_builtin_programs() const { return builtin_[0] != 0; }
  GLhandleARB builtin_program(int i) const { return builtin_[i & 1]; }

  // Right before a draw call: the program the texture units' state calls for
  // is the one in use. (Changing units switches it already; this catches
  // state that became unknown since.)
  void prepare_draw();

  // Draws what is collected under the current state now: before a change
  // this class cannot see, like a uniform of the program in use.
  void flush_pending() { before_change(); }

  // A per-vertex colour array; switched off again, GL's current colour is
  // undefined, so the next colour request reaches GL.
  void set_colour_array(bool on);

  // Texture units. Binding reports whether GL's binding changed; the filter
  // and wrapping apply to the texture bound on the unit and are known only
  // until the binding changes. Units beyond the first need ActiveTextureARB.
  bool bind_texture(int unit, GLuint name);
  GLuint bound_texture(int unit) const { return units_[unit].texture; }
  void enable_texture(int unit, bool on);
  void set_texture_filter(int unit, GLint min_filter, GLint mag_filter);
  void set_texture_filter(int unit, GLint filter) { set_texture_filter(unit, filter, filter); }
  void set_texture_wrap(int unit, GLint wrap);
  void select_unit(int unit);             // the unit glTexImage2D and friends act on
  GLuint create_texture();                // a new name, bound on the selected unit
  void delete_texture(GLuint& name);      // 0 afterwards; units that had it bound have none

  // Probes the entry points of the current context (after it is made current).
  void probe_extensions(const char* extensions);
  // The framebuffer-object entry points, each asked for by name; a missing
  // one logs its line. True when framebuffers can be made.
  bool fetch_framebuffer_entry_points();
  const GlEntryPoints& ext() const { return ext_; }
  GlEntryPoints& ext_for_tests() { return ext_; }  // a test takes entry points away to reach the fallbacks

  // Whether a capability is known to be on (unknown counts as off).
  bool is_enabled(GlCap cap) const { return switches_[static_cast<int>(cap)] == 1; }

  // The hook that draws what is collected under the current state.
  void set_flush_hook(void (*flush)(void*), void* context) {
    flush_ = flush;
    flush_context_ = context;
  }

  // glDrawArrays, counted. Drawing goes through here (or counts itself with
  // count_draw) so that tests and profiling can see how many calls a frame takes.
  void draw_arrays(GLenum mode, GLint first, GLsizei count) {
    prepare_draw();
    glDrawArrays(mode, first, count);
    count_draw();
  }
  void count_draw() { ++draw_calls; }

  uint64_t gl_calls = 0;    // GL state calls actually issued (for tests and profiling)
  uint64_t draw_calls = 0;  // draw calls issued

 private:
  static constexpr int32_t kUnknown = 0x7F7F7F7F;
  struct Unit {
    GLuint texture = 0;
    bool texture_known = false;
    int32_t enabled = kUnknown;
    GLint min_filter = kUnknown, mag_filter = kUnknown, wrap = kUnknown;  // of the bound texture
  };

  GLhandleARB wanted_program() const;
  void switch_program(GLhandleARB program, bool flush);

  void before_change() {
    if (flush_) flush_(flush_context_);
  }
  void count() { ++gl_calls; }

  int32_t switches_[static_cast<int>(GlCap::count)];  // 1 on, 0 off, kUnknown not known
  float colour_[4];
  bool colour_known_ = false;
  GLenum blend_src_ = 0, blend_dst_ = 0;
  bool blend_known_ = false;
  float alpha_reference_ = 0;
  bool alpha_known_ = false;
  GLenum shade_model_ = 0;
  bool colour_array_ = false;
  GLhandleARB program_ = 0;
  bool program_known_ = false;
  GLhandleARB game_program_ = 0;
  GLhandleARB builtin_[2] = {0, 0};      // textured, plain
  Unit units_[kUnits];
  int active_unit_ = -1;                  // -1: not known
  GlEntryPoints ext_;
  void (*flush_)(void*) = nullptr;
  void* flush_context_ = nullptr;
};

}  // namespace mxt
