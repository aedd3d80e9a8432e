// The renderer's life: construction, window and context creation with the
// multisample fallback, the software-rendering check, extension probing, the
// default 2D state, clearing and presenting.
//
// [SECTION] GL state cache
// [SECTION] Extension probing
// [SECTION] Construction and window creation
// [SECTION] Default state, clearing and presenting
#include "runtime/gfx2d/renderer.h"

#include <cstdio>
#include <cstring>

#include "runtime/core/runtime.h"
#include "runtime/gfx2d/draw.h"
#include "runtime/gfx2d/sprites.h"
#include "runtime/gfx2d/viewport.h"
#include "runtime/platform/platform.h"

namespace mxt {

GlStateCache gl_state;
GlEntryPoints gl_ext;
RendererGlobals renderer_globals;

// ---------------------------------------------------------------------------
// [SECTION] GL state cache

GLenum gl_enum(GlCap cap) {
  static constexpr GLenum kEnums[] = {
      GL_BLEND,     GL_ALPHA_TEST,     GL_COLOR_MATERIAL, GL_CULL_FACE,      GL_LIGHTING,
      GL_STENCIL_TEST, GL_DEPTH_TEST,  GL_FOG,            GL_DITHER,         GL_LINE_SMOOTH,
      GL_POINT_SMOOTH, GL_NORMALIZE,   GL_POLYGON_SMOOTH, GL_POLYGON_OFFSET_POINT,
      GL_AUTO_NORMAL,  GL_TEXTURE_GEN_S, GL_TEXTURE_GEN_T,
  };
  return kEnums[static_cast<int>(cap)];
}

void GlStateCache::mark_unset() { std::memset(switches, 0x7F, sizeof switches); }

void GlStateCache::enable(GlCap cap) {
  int32_t& s = switches[static_cast<int>(cap)];
  if (s == 1) return;
  flush_drawing();
  glEnable(gl_enum(cap));
  ++gl_calls;
  s = 1;
}

void GlStateCache::disable(GlCap cap) {
  int32_t& s = switches[static_cast<int>(cap)];
  if (s == 0) return;
  flush_drawing();
  glDisable(gl_enum(cap));
  ++gl_calls;
  s = 0;
}

void GlStateCache::set_colour(float r, float g, float b, float a) {
  if (colour[0] == r && colour[1] == g && colour[2] == b && colour[3] == a) return;
  flush_drawing();
  glColor4f(r, g, b, a);
  ++gl_calls;
  colour[0] = r;
  colour[1] = g;
  colour[2] = b;
  colour[3] = a;
}

// ---------------------------------------------------------------------------
// [SECTION] Extension probing

bool fetch_entry_point(void** slot, const char* name) {
  *slot = platform::gl_proc_address(name);
  if (*slot) return true;
  write_log_format("ext: %-35s   [FAILED]", name);
  return false;
}

bool has_extension(const char* list, const char* name) {
  return list && name && std::strstr(list, name) != nullptr;
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

bool is_software_renderer(const char* name) {
  if (!name) return false;
  if (std::strcmp(name, "Mesa Windows GDI Driver") == 0) return true;
  // The generic (non-accelerated) formats of this platform.
  static const char* const kSoftware[] = {"llvmpipe", "softpipe", "Software Rasterizer", "SWR"};
  for (const char* s : kSoftware)
    if (std::strstr(name, s)) return true;
  return false;
}

namespace {

template <typename F>
bool fetch(F& slot, const char* name) {
  void* p = nullptr;
  const bool ok = fetch_entry_point(&p, name);
  slot = reinterpret_cast<F>(p);
  return ok;
}

void probe_extensions(const char* ext) {
  gl_ext = GlEntryPoints{};
  gl_ext.swap_control = platform::set_swap_interval(0);
  if (has_extension(ext, "GL_ARB_multitexture")) {
    fetch(gl_ext.ActiveTextureARB, "glActiveTextureARB");
    fetch(gl_ext.MultiTexCoord2fARB, "glMultiTexCoord2fARB");
    fetch(gl_ext.ClientActiveTextureARB, "glClientActiveTextureARB");
    fetch(gl_ext.GenBuffersARB, "glGenBuffersARB");
    fetch(gl_ext.BindBufferARB, "glBindBufferARB");
    fetch(gl_ext.BufferDataARB, "glBufferDataARB");
    fetch(gl_ext.DeleteBuffersARB, "glDeleteBuffersARB");
    fetch(gl_ext.MapBufferARB, "glMapBufferARB");
    fetch(gl_ext.UnmapBufferARB, "glUnmapBufferARB");
    fetch(gl_ext.GetBufferParameterivARB, "glGetBufferParameterivARB");
  }
  if (has_extension(ext, "GL_ARB_fragment_program")) {
    fetch(gl_ext.CreateProgramObjectARB, "glCreateProgramObjectARB");
    fetch(gl_ext.DeleteObjectARB, "glDeleteObjectARB");
    fetch(gl_ext.CreateShaderObjectARB, "glCreateShaderObjectARB");
    fetch(gl_ext.ShaderSourceARB, "glShaderSourceARB");
    fetch(gl_ext.CompileShaderARB, "glCompileShaderARB");
    fetch(gl_ext.GetObjectParameterivARB, "glGetObjectParameterivARB");
    fetch(gl_ext.AttachObjectARB, "glAttachObjectARB");
    fetch(gl_ext.GetInfoLogARB, "glGetInfoLogARB");
    fetch(gl_ext.LinkProgramARB, "glLinkProgramARB");
    fetch(gl_ext.UseProgramObjectARB, "glUseProgramObjectARB");
    fetch(gl_ext.GetUniformLocationARB, "glGetUniformLocationARB");
    fetch(gl_ext.Uniform1fARB, "glUniform1fARB");
    fetch(gl_ext.Uniform1iARB, "glUniform1iARB");
    fetch(gl_ext.GetAttribLocationARB, "glGetAttribLocationARB");
    fetch(gl_ext.VertexAttrib1fARB, "glVertexAttrib1fARB");
  }
}

const char kSoftwareWarning[] =
    "Please update your GFX adapter's driver\nso it can render OpenGL by HARDWARE\n\n\n"
    "Bitte aktualisieren Sie Ihren\nGrafkkartentreiber, damit er OpenGL\nper HARDWARE unterst\xFCtzt!";

void software_rendering_check() {
  if (renderer_globals.software_check_done) return;
  renderer_globals.software_check_done = true;
  const char* name = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
  renderer_globals.gl_renderer_name = name ? name : "";
  if (!is_software_renderer(renderer_globals.gl_renderer_name.c_str())) return;
  write_log_line("*** OpenGL Software Emulation - update driver!\n");
  // A person may have left a text of their own for this case.
  char text[2048] = {0};
  if (FILE* f = std::fopen("opengldriver.txt", "rb")) {
    const size_t n = std::fread(text, 1, sizeof text - 1, f);
    text[n] = 0;
    std::fclose(f);
  }
  platform::message_box("No OpenGL Hardware Drivers", text[0] ? text : kSoftwareWarning,
                        platform::BoxIcon::warning);
}

}  // namespace

// ---------------------------------------------------------------------------
// [SECTION] Construction and window creation

VuduRODoverore::VuduRODoverore() {
  for (int32_t& slot : background_slots) slot = -1;
  sprites = new SpriteRecord[kSpriteCount]();
}

VuduRODoverore::~VuduRODoverore() {
  // Textures go while the context is still current.
  if (window && gl_context) {
    platform::make_current(window, gl_context);
    flush_drawing();
    for (int n = 0; n < kSpriteCount; ++n) {
      SpriteRecord& rec = sprites[n];
      if (rec.texture) glDeleteTextures(1, &rec.texture);
      if (rec.mipmapped_texture) glDeleteTextures(1, &rec.mipmapped_texture);
      rec = SpriteRecord{};
    }
  }
  destroy_window();
  if (gl_context) {
    platform::make_current(nullptr, nullptr);
    platform::delete_gl_context(gl_context);
    gl_context = nullptr;
  }
  delete[] sprites;
  sprites = nullptr;
}

void VuduRODoverore::destroy_window() {
  if (!window) return;
  if (rt.window == window) rt.window = nullptr;
  platform::destroy_window(window);
  window = nullptr;
}

bool VuduRODoverore::init_window(int width, int height, int bits, int fps, int samples) {
  if (gl_ext.swap_control) platform::set_swap_interval(0);
  frame_period = frame_period_for(fps);

  if (!platform::video_init()) return false;
  write_log_line("WIN32 init video\n");
  platform::desktop_size(&renderer_globals.desktop_width, &renderer_globals.desktop_height);

  if (bits == 0) bits = platform::desktop_bits_per_pixel();
  const int format_bits = bits > 24 ? 24 : bits;

  // Multisampled formats first, halving the sample count down to 1, then the
  // plain format: the first window and context that come up are kept.
  platform::WindowSpec spec;
  spec.title = "Moxtril";
  spec.width = width;
  spec.height = height;
  spec.colour_bits = format_bits;
  int try_samples = samples > 0 ? samples : 0;
  for (;;) {
    spec.samples = try_samples;
    platform::Window* w = platform::create_window(spec);
    if (w) {
      void* ctx = gl_context;
      bool made = false;
      if (!ctx) ctx = platform::create_gl_context(w);
      if (ctx) {
        made = platform::make_current(w, ctx);
        if (!made) {
          // A context that will not become current is replaced once.
          platform::delete_gl_context(ctx);
          ctx = platform::create_gl_context(w);
          made = ctx && platform::make_current(w, ctx);
        }
      }
      if (made) {
        window = w;
        gl_context = ctx;
        samples_obtained = try_samples;
        break;
      }
      if (ctx && ctx != gl_context) platform::delete_gl_context(ctx);
      platform::destroy_window(w);
    }
    if (try_samples == 0) return false;
    try_samples /= 2;
  }

  int w = 0, h = 0;
  platform::window_size(window, &w, &h);
  window_width = width > 0 ? width : w;
  window_height = height > 0 ? height : h;
  colour_bits = bits;
  fullscreen = 0;

  software_rendering_check();

  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  virtual_width = 0;
  virtual_height = 0;

  write_log_line("get accurate timer - 1st call\n");
  next_frame_time = accurate_ms();
  write_log_line("flip - 1st call\n");
  present(nullptr);

  const char* ext = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
  probe_extensions(ext);
  bgra_supported = has_extension(ext, "_texture_format_BGRA8888") || has_extension(ext, "GL_EXT_bgra");
  if (bgra_supported)
    write_log_line("BGRA ext supported\n");
  else
    write_log_format("BGRA ext NOT supported\n%s\n", ext ? ext : "");
  GLint max_texture = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &max_texture);
  write_log_format("Texture size limit: %d\n", max_texture);
  write_log_line("init fbo\n");

  platform::hide_window(window);
  write_log_line("2D VP\n");
  apply_default_state();
  write_log_line("VURE init [OK]\n");
  return true;
}

// ---------------------------------------------------------------------------
// [SECTION] Default state, clearing and presenting

void VuduRODoverore::bind_sprite(int n, int second, int mipmapped) {
  if (n == bound_sprite && second == bound_second_sprite && mipmapped == bound_mipmapped) return;
  flush_drawing();
  bound_sprite = n;
  bound_second_sprite = second;
  bound_mipmapped = mipmapped;
  auto name_of = [&](int m) -> GLuint {
    const SpriteRecord* rec = (sprites && m >= 0 && m < kSpriteCount) ? &sprites[m] : nullptr;
    if (!rec) return 0;
    return mipmapped ? rec->mipmapped_texture : rec->texture;
  };
  auto bind_unit = [&](GLuint name) {
    glBindTexture(GL_TEXTURE_2D, name);
    glEnable(GL_TEXTURE_2D);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
  };
  forget_texture_parameters();
  if (!gl_ext.ActiveTextureARB) {
    if (n < 0) {
      glDisable(GL_TEXTURE_2D);
      gl_state.enable(GlCap::color_material);
    } else {
      bind_unit(name_of(n));
    }
    return;
  }
  gl_ext.ActiveTextureARB(GL_TEXTURE1_ARB);
  if (n >= 0 && second >= 0)
    bind_unit(name_of(n));
  else
    glDisable(GL_TEXTURE_2D);
  gl_ext.ActiveTextureARB(GL_TEXTURE0_ARB);
  if (n < 0)
    glDisable(GL_TEXTURE_2D);
  else
    bind_unit(name_of(second >= 0 ? second : n));
}

void VuduRODoverore::apply_default_state() {
  set_viewport(0, 0, 0, 0, 1.0f);
  gl_state.mark_unset();
  gl_state.disable(GlCap::depth_test);
  gl_state.disable(GlCap::cull_face);
  glFrontFace(GL_CCW);
  gl_state.set_colour(1, 1, 1, 1);
  gl_state.disable(GlCap::fog);
  gl_state.disable(GlCap::line_smooth);
  gl_state.disable(GlCap::point_smooth);
  gl_state.disable(GlCap::stencil_test);
  gl_state.disable(GlCap::normalize);
  gl_state.disable(GlCap::lighting);
  glShadeModel(GL_FLAT);
  gl_state.disable(GlCap::color_material);
  gl_state.disable(GlCap::dither);
  gl_state.disable(GlCap::polygon_smooth);
  gl_state.disable(GlCap::polygon_offset_point);
  gl_state.disable(GlCap::auto_normal);
  glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_FASTEST);
  glHint(GL_POLYGON_SMOOTH_HINT, GL_FASTEST);

  smoothing = 1;
  bound_sprite = -2;  // GL's binding is not known here
  bind_sprite(-1);
  gl_state.disable(GlCap::alpha_test);
  alpha_test_ref = 1.0f;

  gl_state.enable(GlCap::blend);
  set_blend_func(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  alpha_value = 1.0f;
  gl_state.set_colour(1, 1, 1, 1);
}

void VuduRODoverore::clear_background() {
  flush_drawing();
  // A background picture in slot 0 is drawn by the surface commands; until a
  // sprite is there, the clear colour does the work.
  if (clear_enabled || depth_clear_pending) {
    GLbitfield mask = 0;
    if (clear_enabled) mask |= GL_COLOR_BUFFER_BIT;
    if (depth_clear_pending) mask |= GL_DEPTH_BUFFER_BIT;
    glClear(mask);
    depth_clear_pending = 0;
  }
}

void VuduRODoverore::set_clear_colour(int32_t colour) {
  if (colour == -1) {
    clear_enabled = 0;
    return;
  }
  clear_enabled = 1;
  clear_rgba[0] = static_cast<float>(colour & 0xFF) / 255.0f;
  clear_rgba[1] = static_cast<float>((colour >> 8) & 0xFF) / 255.0f;
  clear_rgba[2] = static_cast<float>((colour >> 16) & 0xFF) / 255.0f;
  clear_rgba[3] = colour == colour_key ? 0.0f : 1.0f;
  glClearColor(clear_rgba[0], clear_rgba[1], clear_rgba[2], clear_rgba[3]);
  glClear(GL_COLOR_BUFFER_BIT);
}

bool VuduRODoverore::present(void (*message_callback)()) {
  // Drawing into an offscreen surface ends here once surfaces exist.
  flush_drawing();
  platform::swap_window(window);
  clear_background();
  // Pump and pace: sleep while more than 7 ms remain (waking 3 ms early),
  // then spend the last milliseconds pumping messages in short naps.
  double now = 0;
  for (;;) {
    pump_messages(this, message_callback, false);
    now = accurate_ms();
    const PaceStep step = pace_step(next_frame_time, now);
    if (step.kind == PaceStep::due) break;
    if (step.kind == PaceStep::sleep)
      platform::sleep_ms(step.sleep_ms);
    else
      platform::sleep_us(250);  // short naps: this platform's sleeps are precise
  }
  if (frame_period > 0) next_frame_time = next_frame_after(next_frame_time, now, frame_period);
  return true;
}

void VuduRODoverore::begin_frame() {
  apply_full_viewport();
  clear_background();
  gl_state.disable(GlCap::alpha_test);
  alpha_test_ref = 1.0f;
  gl_state.enable(GlCap::blend);
  set_blend_func(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  alpha_value = 1.0f;
  gl_state.set_colour(1, 1, 1, 1);
  // Shader programs are switched off here once they exist.
}

}  // namespace mxt

void mxt_set_clear_colour(int colour) {
  if (mxt::rt.renderer) mxt::rt.renderer->set_clear_colour(colour);
}
