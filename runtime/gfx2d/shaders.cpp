#include "runtime/gfx2d/shaders.h"

#include <cstring>
#include <string>

#include "runtime/base/log.h"
#include "runtime/base/singletons.h"
#include "runtime/files/files.h"
#include "runtime/files/rtfile.h"
#include "runtime/gfx2d/gfx2d.h"
#include "runtime/gfx2d/gl_state.h"
#include "runtime/gfx2d/renderer.h"

namespace mxt {

namespace {

void say(ShaderReport report, const char* line) {
  if (report) report(line);
}

// The driver's log of a shader or program, without the trailing line breaks
// drivers like to end it with.
void report_info_log(const GlEntryPoints& e, GLhandleARB object, ShaderReport report) {
  if (!report || !e.GetObjectParameterivARB || !e.GetInfoLogARB) return;
  GLint length = 0;
  e.GetObjectParameterivARB(object, GL_OBJECT_INFO_LOG_LENGTH_ARB, &length);
  if (length <= 1) return;
  std::string log(static_cast<size_t>(length), '\0');
  GLsizei written = 0;
  e.GetInfoLogARB(object, length, &written, log.data());
  log.resize(written > 0 && written < length ? static_cast<size_t>(written) : std::strlen(log.c_str()));
  while (!log.empty() && (log.back() == '\n' || log.back() == '\r')) log.pop_back();
  if (!log.empty()) report(log.c_str());
}

// The whole file, ended with a zero byte; false when it cannot be read.
bool read_source(const RtString& name, std::string& out) {
  RtString resolved = name;  // an archive entry becomes a memory name
  RtFile f;
  if (!mxt_resolve_file(resolved) || !open_read(f, resolved)) return false;
  out.assign(static_cast<size_t>(f.size), '\0');
  const bool ok = f.size == 0 || read_bytes(f, out.data(), f.size);
  (void)close(f);
  return ok;
}

// Creates and compiles one shader from its source; 0 on failure (logs
// reported, then `failed`).
GLhandleARB compile_source(const GlEntryPoints& e, GLenum type, const std::string& source, const char* failed,
                           ShaderReport report) {
  GLhandleARB shader = e.CreateShaderObjectARB(type);
  if (!shader) {
    say(report, failed);
    return 0;
  }
  const GLcharARB* text = source.c_str();
  const GLint length = static_cast<GLint>(source.size());
  e.ShaderSourceARB(shader, 1, &text, &length);
  e.CompileShaderARB(shader);
  GLint status = 0;
  if (e.GetObjectParameterivARB) e.GetObjectParameterivARB(shader, GL_OBJECT_COMPILE_STATUS_ARB, &status);
  if (!status) {
    report_info_log(e, shader, report);
    say(report, failed);
    if (e.DeleteObjectARB) e.DeleteObjectARB(shader);
    return 0;
  }
  return shader;
}

// Compiles one shader from a file; 0 on failure (logs reported).
GLhandleARB compile(const GlEntryPoints& e, GLenum type, const RtString& name, ShaderReport report) {
  const char* failed = type == GL_VERTEX_SHADER_ARB ? "vertex shader failed" : "fragment shader failed";
  std::string source;
  if (!read_source(name, source)) {
    say(report, (std::string("shader file not found: ") + name.c_str()).c_str());
    say(report, failed);
    return 0;
  }
  return compile_source(e, type, source, failed, report);
}

void delete_slot(const GlEntryPoints& e, ShaderSlots::Slot& slot) {
  if (e.DeleteObjectARB) {
    if (slot.program) e.DeleteObjectARB(slot.program);
    if (slot.vertex) e.DeleteObjectARB(slot.vertex);
    if (slot.fragment) e.DeleteObjectARB(slot.fragment);
  }
  slot = ShaderSlots::Slot{};
}

bool has_shader_objects(const GlEntryPoints& e) {
  return e.CreateShaderObjectARB && e.CompileShaderARB && e.UseProgramObjectARB && e.ShaderSourceARB &&
         e.CreateProgramObjectARB && e.AttachObjectARB && e.LinkProgramARB;
}

// The location of a uniform of the current program, or -1.
GLint uniform_location(GlState& gl, ShaderSlots& s, const char* name) {
  const GlEntryPoints& e = gl.ext();
  if (!e.GetUniformLocationARB || s.current < 0 || s.current >= ShaderSlots::kSlots) return -2;
  const GLhandleARB program = s.slots[s.current].program;
  if (!program) return -2;
  return e.GetUniformLocationARB(program, name ? name : "");
}

void undefined(ShaderReport report, const char* what, const char* name) {
  if (!report) return;
  report(what);
  report(name ? name : "");
}

}  // namespace

bool load_shader(GlState& gl, ShaderSlots& s, int slot, const RtString& vertex_file,
                 const RtString& fragment_file, ShaderReport report) {
  if (slot < 0 || slot >= ShaderSlots::kSlots) return false;
  const GlEntryPoints& e = gl.ext();
  if (!has_shader_objects(e)) {
    if (s.warn_missing) say(report, "No OpenGL 2.0 Shader Support");
    s.warn_missing = false;
    return false;
  }
  ShaderSlots::Slot& target = s.slots[slot];
  if (s.current == slot) {
    // The program about to go may still have quads waiting for it.
    gl.flush_pending();
    gl.use_program(0);
  }
  delete_slot(e, target);

  bool ok = true;
  if (vertex_file.size() > 0) {
    target.vertex = compile(e, GL_VERTEX_SHADER_ARB, vertex_file, report);
    ok = target.vertex != 0;
  }
  if (fragment_file.size() > 0) {
    target.fragment = compile(e, GL_FRAGMENT_SHADER_ARB, fragment_file, report);
    ok = ok && target.fragment != 0;
  }
  if (!ok) {
    delete_slot(e, target);
  } else if (target.vertex || target.fragment) {
    target.program = e.CreateProgramObjectARB();
    if (target.vertex) e.AttachObjectARB(target.program, target.vertex);
    if (target.fragment) e.AttachObjectARB(target.program, target.fragment);
    e.LinkProgramARB(target.program);
    GLint linked = 0;
    if (e.GetObjectParameterivARB) e.GetObjectParameterivARB(target.program, GL_OBJECT_LINK_STATUS_ARB, &linked);
    if (!linked) {
      report_info_log(e, target.program, report);
      say(report, "link shader failed");
      delete_slot(e, target);
      ok = false;
    }
  }
  if (s.current == slot) gl.use_program(target.program);
  return ok;
}

void use_shader(GlState& gl, ShaderSlots* s, int slot) {
  if (!gl.ext().UseProgramObjectARB) {
    if (s) s->current = -1;
    return;
  }
  if (s && slot >= 0 && slot < ShaderSlots::kSlots) {
    s->current = slot;
    gl.use_program(s->slots[slot].program);
  } else {
    if (s) s->current = -1;
    gl.use_program(0);
  }
}

void set_shader_float(GlState& gl, ShaderSlots& s, const char* name, float value, ShaderReport report) {
  const GLint at = uniform_location(gl, s, name);
  if (at == -2) return;
  if (at == -1) return undefined(report, "undefined uniform:", name);
  gl.flush_pending();  // quads already collected keep the value they were drawn for
  if (gl.ext().Uniform1fARB) gl.ext().Uniform1fARB(at, value);
}

void set_shader_int(GlState& gl, ShaderSlots& s, const char* name, int32_t value, ShaderReport report) {
  const GLint at = uniform_location(gl, s, name);
  if (at == -2) return;
  if (at == -1) return undefined(report, "undefined uniform:", name);
  gl.flush_pending();
  if (gl.ext().Uniform1iARB) gl.ext().Uniform1iARB(at, value);
}

void set_shader_attribute(GlState& gl, ShaderSlots& s, const char* name, float value, ShaderReport report) {
  const GlEntryPoints& e = gl.ext();
  if (s.current < 0 || s.current >= ShaderSlots::kSlots || !e.GetAttribLocationARB) return;
  const GLhandleARB program = s.slots[s.current].program;
  if (!program) return;
  const GLint at = e.GetAttribLocationARB(program, name ? name : "");
  if (at == -1) return undefined(report, "undefined attrib:", name);
  gl.flush_pending();
  if (e.VertexAttrib1fARB) e.VertexAttrib1fARB(static_cast<GLuint>(at), value);
}

// The runtime's own 2D programs: exactly what the fixed stages do for 2D
// drawing (the vertex through the matrices, texture unit 0 modulated by the
// colour), and nothing more.
namespace {

constexpr const char* kBuiltinVertex =
    "varying vec2 uv;\n"
    "void main() {\n"
    "  gl_Position = gl_ModelViewProjectionMatrix * gl_Vertex;\n"
    "  uv = gl_MultiTexCoord0.xy;\n"
    "  gl_FrontColor = gl_Color;\n"
    "}\n";
constexpr const char* kBuiltinTextured =
    "uniform sampler2D texture0;\n"
    "varying vec2 uv;\n"
    "void main() { gl_FragColor = texture2D(texture0, uv) * gl_Color; }\n";
constexpr const char* kBuiltinPlain = "void main() { gl_FragColor = gl_Color; }\n";

GLhandleARB link_builtin(const GlEntryPoints& e, GLhandleARB vertex, const char* fragment_source) {
  const GLhandleARB fragment = compile_source(e, GL_FRAGMENT_SHADER_ARB, fragment_source, "", nullptr);
  if (!fragment) return 0;
  GLhandleARB program = e.CreateProgramObjectARB();
  e.AttachObjectARB(program, vertex);
  e.AttachObjectARB(program, fragment);
  e.LinkProgramARB(program);
  GLint linked = 0;
  if (e.GetObjectParameterivARB) e.GetObjectParameterivARB(program, GL_OBJECT_LINK_STATUS_ARB, &linked);
  if (e.DeleteObjectARB) e.DeleteObjectARB(fragment);  // it goes with the program
  if (!linked) {
    if (e.DeleteObjectARB) e.DeleteObjectARB(program);
    return 0;
  }
  return program;
}

}  // namespace

bool make_builtin_programs(GlState& gl) {
  const GlEntryPoints& e = gl.ext();
  gl.set_builtin_programs(0, 0);
  if (!has_shader_objects(e) || !e.GetObjectParameterivARB) return false;
  const GLhandleARB vertex = compile_source(e, GL_VERTEX_SHADER_ARB, kBuiltinVertex, "", nullptr);
  if (!vertex) return false;
  const GLhandleARB textured = link_builtin(e, vertex, kBuiltinTextured);
  const GLhandleARB plain = textured ? link_builtin(e, vertex, kBuiltinPlain) : 0;
  if (e.DeleteObjectARB) e.DeleteObjectARB(vertex);
  if (!plain) {
    if (textured && e.DeleteObjectARB) e.DeleteObjectARB(textured);
    return false;
  }
  gl.set_builtin_programs(textured, plain);
  return true;
}

void delete_builtin_programs(GlState& gl) {
  const GlEntryPoints& e = gl.ext();
  const GLhandleARB textured = gl.builtin_program(0), plain = gl.builtin_program(1);
  gl.set_builtin_programs(0, 0);
  if (e.DeleteObjectARB) {
    if (textured) e.DeleteObjectARB(textured);
    if (plain) e.DeleteObjectARB(plain);
  }
}

void delete_shaders(GlState& gl, ShaderSlots& s) {
  if (s.current >= 0) use_shader(gl, &s, -1);
  for (ShaderSlots::Slot& slot : s.slots) delete_slot(gl.ext(), slot);
}

// ---------------------------------------------------------------------------
// Commands

namespace {

// The commands' report: each message a line of the debug log (and of an
// attached debugger), where a developer looks for what went wrong.
void log_report(const char* line) {
  std::string text(line ? line : "");
  text += '\n';
  write_log_line(text.c_str());
  write_debugger(text.c_str());
}

}  // namespace
}  // namespace mxt

using namespace mxt;

bool mxt_load_shader(int slot, const RtString& vertex_file, const RtString& fragment_file) {
  VuduRODoverore* r = rt.renderer;
  if (!r || !r->shader_state) return false;
  return load_shader(r->gl, *r->shader_state, slot, vertex_file, fragment_file, log_report);
}

void mxt_use_shader(int slot) {
  VuduRODoverore* r = rt.renderer;
  if (!r) return;
  use_shader(r->gl, r->shader_state, slot < 0 ? ShaderSlots::kSlots : slot);
}

void mxt_set_shader_float(const RtString& name, double value) {
  VuduRODoverore* r = rt.renderer;
  if (!r || !r->shader_state) return;
  set_shader_float(r->gl, *r->shader_state, name.c_str(), static_cast<float>(value), log_report);
}

void mxt_set_shader_int(const RtString& name, int value) {
  VuduRODoverore* r = rt.renderer;
  if (!r || !r->shader_state) return;
  set_shader_int(r->gl, *r->shader_state, name.c_str(), value, log_report);
}
