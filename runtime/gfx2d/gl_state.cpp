// The GL state cache and the extension probe.
//
// [SECTION] Switches, colour and functions
// [SECTION] Texture units
// [SECTION] Extension probing
#include "runtime/gfx2d/gl_state.h"

#include <cstring>

#include "runtime/base/log.h"
#include "runtime/platform/platform.h"

namespace mxt {

// ---------------------------------------------------------------------------
// [SECTION] Switches, colour and functions

GLenum gl_enum(GlCap cap) {
  static constexpr GLenum kEnums[] = {
      GL_BLEND,        GL_ALPHA_TEST,    GL_COLOR_MATERIAL, GL_CULL_FACE, GL_LIGHTING,
      GL_STENCIL_TEST, GL_DEPTH_TEST,    GL_FOG,            GL_DITHER,    GL_LINE_SMOOTH,
      GL_POINT_SMOOTH, GL_NORMALIZE,     GL_POLYGON_SMOOTH, GL_POLYGON_OFFSET_POINT,
      GL_AUTO_NORMAL,  GL_TEXTURE_GEN_S, GL_TEXTURE_GEN_T,
  };
  return kEnums[static_cast<int>(cap)];
}

void GlState::forget_all() {
  for (int32_t& s : switches_) s = kUnknown;
  colour_known_ = false;
  blend_known_ = false;
  alpha_known_ = false;
  shade_model_ = 0;
  colour_array_ = false;
  program_known_ = false;
  for (Unit& u : units_) u = Unit{};
  active_unit_ = -1;
}

void GlState::enable(GlCap cap) {
  int32_t& s = switches_[static_cast<int>(cap)];
  if (s == 1) return;
  before_change();
  glEnable(gl_enum(cap));
  count();
  s = 1;
}

void GlState::disable(GlCap cap) {
  int32_t& s = switches_[static_cast<int>(cap)];
  if (s == 0) return;
  before_change();
  glDisable(gl_enum(cap));
  count();
  s = 0;
}

void GlState::set_colour(float r, float g, float b, float a) {
  if (colour_known_ && colour_[0] == r && colour_[1] == g && colour_[2] == b && colour_[3] == a) return;
  before_change();
  glColor4f(r, g, b, a);
  count();
  colour_[0] = r;
  colour_[1] = g;
  colour_[2] = b;
  colour_[3] = a;
  colour_known_ = true;
}

void GlState::set_blend_func(GLenum src, GLenum dst) {
  if (blend_known_ && src == blend_src_ && dst == blend_dst_) return;
  before_change();
  glBlendFunc(src, dst);
  count();
  blend_src_ = src;
  blend_dst_ = dst;
  blend_known_ = true;
}

void GlState::set_alpha_func(float reference) {
  if (alpha_known_ && reference == alpha_reference_) return;
  before_change();
  glAlphaFunc(GL_GREATER, reference);
  count();
  alpha_reference_ = reference;
  alpha_known_ = true;
}

void GlState::set_shade_model(GLenum mode) {
  if (shade_model_ == mode) return;
  before_change();
  glShadeModel(mode);
  count();
  shade_model_ = mode;
}

// The batch collected so far is drawn before the choice changes: drawing it
// asks for the program of its own time.
void GlState::use_program(GLhandleARB program) {
  if (!ext_.UseProgramObjectARB) program = 0;
  if (program != game_program_) before_change();
  game_program_ = program;
  switch_program(wanted_program(), false);
}

void GlState::set_builtin_programs(GLhandleARB textured, GLhandleARB plain) {
  if (!textured || !plain) textured = plain = 0;
  if (textured != builtin_[0] || plain != builtin_[1]) before_change();
  builtin_[0] = textured;
  builtin_[1] = plain;
  switch_program(wanted_program(), false);
}

GLhandleARB GlState::wanted_program() const {
  if (game_program_) return game_program_;
  if (!builtin_[0]) return 0;
  // The second unit combines textures in the fixed stages; an unknown state
  // is left to them too.
  if (units_[1].enabled != 0 && ext_.ActiveTextureARB) return 0;
  // Texture name 0 is no texture: the fixed stages then draw the colour alone,
  // where sampling it in a program would give black.
  if (units_[0].enabled == 1) return units_[0].texture_known && units_[0].texture == 0 ? builtin_[1] : builtin_[0];
  if (units_[0].enabled == 0) return builtin_[1];
  return 0;
}

void GlState::switch_program(GLhandleARB program, bool flush) {
  if (program_known_ && program_ == program) return;
  if (!ext_.UseProgramObjectARB) {
    program_ = 0;
    program_known_ = true;
    return;
  }
  if (flush) before_change();
  ext_.UseProgramObjectARB(program);
  count();
  program_ = program;
  program_known_ = true;
}

void GlState::prepare_draw() {
  // No flush here: what is being drawn is what the state was set for.
  if (builtin_[0] || !program_known_) switch_program(wanted_program(), false);
}

void GlState::set_colour_array(bool on) {
  if (colour_array_ == on) return;
  before_change();
  if (on) {
    glEnableClientState(GL_COLOR_ARRAY);
  } else {
    glDisableClientState(GL_COLOR_ARRAY);
    colour_known_ = false;  // the array left GL's current colour undefined
  }
  count();
  colour_array_ = on;
}

// ---------------------------------------------------------------------------
// [SECTION] Texture units

void GlState::select_unit(int unit) {
  if (active_unit_ == unit) return;
  if (ext_.ActiveTextureARB) {
    before_change();
    ext_.ActiveTextureARB(static_cast<GLenum>(GL_TEXTURE0_ARB + unit));
    count();
  }
  active_unit_ = unit;
}

bool GlState::bind_texture(int unit, GLuint name) {
  Unit& u = units_[unit];
  if (u.texture_known && u.texture == name) return false;
  select_unit(unit);
  before_change();
  glBindTexture(GL_TEXTURE_2D, name);
  count();
  u.texture = name;
  u.texture_known = true;
  u.min_filter = u.mag_filter = u.wrap = kUnknown;
  if (builtin_[0]) switch_program(wanted_program(), false);  // flushed just above
  return true;
}

void GlState::enable_texture(int unit, bool on) {
  Unit& u = units_[unit];
  if (u.enabled == (on ? 1 : 0)) return;
  select_unit(unit);
  before_change();
  on ? glEnable(GL_TEXTURE_2D) : glDisable(GL_TEXTURE_2D);
  count();
  u.enabled = on ? 1 : 0;
  if (builtin_[0]) switch_program(wanted_program(), false);  // flushed just above
}

void GlState::set_texture_filter(int unit, GLint min_filter, GLint mag_filter) {
  Unit& u = units_[unit];
  if (u.min_filter == min_filter && u.mag_filter == mag_filter) return;
  select_unit(unit);
  before_change();
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, mag_filter);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, min_filter);
  count();
  u.min_filter = min_filter;
  u.mag_filter = mag_filter;
}

void GlState::set_texture_wrap(int unit, GLint wrap) {
  Unit& u = units_[unit];
  if (u.wrap == wrap) return;
  select_unit(unit);
  before_change();
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, wrap);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, wrap);
  count();
  u.wrap = wrap;
}

GLuint GlState::create_texture() {
  GLuint name = 0;
  glGenTextures(1, &name);
  bind_texture(active_unit_ < 0 ? 0 : active_unit_, name);
  return name;
}

void GlState::delete_texture(GLuint& name) {
  if (!name) return;
  before_change();  // collected quads may still use it
  glDeleteTextures(1, &name);
  for (Unit& u : units_) {
    if (u.texture_known && u.texture == name) {
      u.texture = 0;  // GL falls back to the default texture
      u.min_filter = u.mag_filter = u.wrap = kUnknown;
    }
  }
  name = 0;
}

// ---------------------------------------------------------------------------
// [SECTION] Extension probing

bool fetch_entry_point(void** slot, const char* name) {
  *slot = platform::gl_proc_address(name);
  if (*slot) return true;
  write_log_format("ext: %-35s   [FAILED]", name);
  return false;
}

bool has_extension_word(const char* list, const char* name) {
  if (!list || !name || !*name) return false;
  const size_t n = std::strlen(name);
  for (const char* p = std::strstr(list, name); p; p = std::strstr(p + 1, name)) {
    const bool starts = p == list || p[-1] == ' ';
    const bool ends = p[n] == 0 || p[n] == ' ';
    if (starts && ends) return true;
  }
  return false;
}

namespace {

template <typename F>
void fetch(F& slot, const char* name) {
  void* p = nullptr;
  fetch_entry_point(&p, name);
  slot = reinterpret_cast<F>(p);
}

}  // namespace

void GlState::probe_extensions(const char* list) {
  ext_ = GlEntryPoints{};
  GlEntryPoints& e = ext_;
  if (has_extension_word(list, "GL_ARB_multitexture")) {
    fetch(e.ActiveTextureARB, "glActiveTextureARB");
    fetch(e.MultiTexCoord2fARB, "glMultiTexCoord2fARB");
    fetch(e.ClientActiveTextureARB, "glClientActiveTextureARB");
  }
  if (has_extension_word(list, "GL_ARB_vertex_buffer_object")) {
    fetch(e.GenBuffersARB, "glGenBuffersARB");
    fetch(e.BindBufferARB, "glBindBufferARB");
    fetch(e.BufferDataARB, "glBufferDataARB");
    fetch(e.DeleteBuffersARB, "glDeleteBuffersARB");
    fetch(e.MapBufferARB, "glMapBufferARB");
    fetch(e.UnmapBufferARB, "glUnmapBufferARB");
    fetch(e.GetBufferParameterivARB, "glGetBufferParameterivARB");
  }
  if (has_extension_word(list, "GL_ARB_shader_objects")) {
    fetch(e.CreateProgramObjectARB, "glCreateProgramObjectARB");
    fetch(e.DeleteObjectARB, "glDeleteObjectARB");
    fetch(e.CreateShaderObjectARB, "glCreateShaderObjectARB");
    fetch(e.ShaderSourceARB, "glShaderSourceARB");
    fetch(e.CompileShaderARB, "glCompileShaderARB");
    fetch(e.GetObjectParameterivARB, "glGetObjectParameterivARB");
    fetch(e.AttachObjectARB, "glAttachObjectARB");
    fetch(e.GetInfoLogARB, "glGetInfoLogARB");
    fetch(e.LinkProgramARB, "glLinkProgramARB");
    fetch(e.UseProgramObjectARB, "glUseProgramObjectARB");
    fetch(e.GetUniformLocationARB, "glGetUniformLocationARB");
    fetch(e.Uniform1fARB, "glUniform1fARB");
    fetch(e.Uniform1iARB, "glUniform1iARB");
  }
  if (has_extension_word(list, "GL_ARB_vertex_shader")) {
    fetch(e.GetAttribLocationARB, "glGetAttribLocationARB");
    fetch(e.VertexAttrib1fARB, "glVertexAttrib1fARB");
  }
  forget_all();  // a new context: nothing of the old one's state holds
}

bool GlState::fetch_framebuffer_entry_points() {
  GlEntryPoints& e = ext_;
  fetch(e.BindRenderbufferEXT, "glBindRenderbufferEXT");
  fetch(e.DeleteRenderbuffersEXT, "glDeleteRenderbuffersEXT");
  fetch(e.GenRenderbuffersEXT, "glGenRenderbuffersEXT");
  fetch(e.RenderbufferStorageEXT, "glRenderbufferStorageEXT");
  fetch(e.BindFramebufferEXT, "glBindFramebufferEXT");
  fetch(e.DeleteFramebuffersEXT, "glDeleteFramebuffersEXT");
  fetch(e.GenFramebuffersEXT, "glGenFramebuffersEXT");
  fetch(e.CheckFramebufferStatusEXT, "glCheckFramebufferStatusEXT");
  fetch(e.FramebufferTexture2DEXT, "glFramebufferTexture2DEXT");
  fetch(e.FramebufferRenderbufferEXT, "glFramebufferRenderbufferEXT");
  fetch(e.GetFramebufferAttachmentParameterivEXT, "glGetFramebufferAttachmentParameterivEXT");
  return e.GenFramebuffersEXT != nullptr;
}

}  // namespace mxt
