// The renderer's life: construction, window and context creation with the
// multisample fallback, the software-rendering check, extension probing, the
// default 2D state, clearing and presenting.
//
// [SECTION] Construction and window creation
// [SECTION] Default state, binding, clearing and presenting
#include "runtime/gfx2d/renderer.h"

#include <cstring>
#include <vector>

#include "runtime/base/clock.h"
#include "runtime/base/log.h"
#include "runtime/base/singletons.h"
#include "runtime/files/rtfile.h"
#include "runtime/gfx2d/gfx2d.h"
#include "runtime/gfx2d/image.h"
#include "runtime/gfx2d/sprites.h"
#include "runtime/platform/platform.h"

namespace mxt {

bool is_software_renderer(const char* name) {
  if (!name) return false;
  if (std::strcmp(name, "Mesa Windows GDI Driver") == 0) return true;
  // The generic (non-accelerated) renderers of this platform.
  static const char* const kSoftware[] = {"llvmpipe", "softpipe", "Software Rasterizer", "SWR"};
  for (const char* s : kSoftware)
    if (std::strstr(name, s)) return true;
  return false;
}

namespace {

// The runtime's own warning, word for word (its spelling included), for
// players whose driver renders in software.
const char kSoftwareWarning[] =
    "Please update your GFX adapter's driver\nso it can render OpenGL by HARDWARE\n\n\n"
    "Bitte aktualisieren Sie Ihren\nGrafkkartentreiber, damit er OpenGL\nper HARDWARE unterst\xFCtzt!";

void software_rendering_check(VuduRODoverore& r) {
  if (r.software_check_done) return;
  r.software_check_done = true;
  const char* name = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
  r.gl_renderer_name = name ? name : "";
  if (!is_software_renderer(r.gl_renderer_name.c_str())) return;
  write_log_line("*** OpenGL Software Emulation - update driver!\n");
  if (rt.unattended) return;  // nobody there to close the box: it would block the run
  // A person may have left a text of their own for this case: its first
  // 2047 bytes are shown instead.
  char text[2048] = {0};
  RtFile f;
  if (open_read(f, "opengldriver.txt")) {
    const int64_t n = f.size < 2047 ? f.size : 2047;
    if (!read_bytes(f, text, n)) text[0] = 0;
    close(f);
  }
  platform::message_box("No OpenGL Hardware Drivers", text[0] ? text : kSoftwareWarning, platform::BoxIcon::warning);
}

// Multisampled formats first, halving the sample count down to 1, then the
// plain format: the first window and context that come up are kept.
bool create_window_and_context(VuduRODoverore& r, platform::WindowSpec spec, int samples) {
  int try_samples = samples > 0 ? samples : 0;
  for (;;) {
    spec.samples = try_samples;
    if (platform::Window* w = platform::create_window(spec)) {
      void* ctx = r.gl_context ? r.gl_context : platform::create_gl_context(w);
      bool made = ctx && platform::make_current(w, ctx);
      if (ctx && !made) {
        // A context that will not become current is replaced once.
        platform::delete_gl_context(ctx);
        ctx = platform::create_gl_context(w);
        made = ctx && platform::make_current(w, ctx);
      }
      if (made) {
        r.window = w;
        r.gl_context = ctx;
        r.samples_obtained = try_samples;
        return true;
      }
      if (ctx && ctx != r.gl_context) platform::delete_gl_context(ctx);
      platform::destroy_window(w);
    }
    if (try_samples == 0) return false;
    try_samples /= 2;
  }
}

}  // namespace

// ---------------------------------------------------------------------------
// [SECTION] Construction and window creation

VuduRODoverore::VuduRODoverore() {
  for (int32_t& slot : background_slots) slot = -1;
  sprites = new SpriteRecord[kSpriteCount]();
  gl.set_flush_hook(&QuadBatch::flush_hook, &quads);
  quads.gl = &gl;
  remove_texture_store(*this);  // a stale store of that name never survives
}

VuduRODoverore::~VuduRODoverore() {
  // Textures go while the context is still current.
  if (window && gl_context) {
    platform::make_current(window, gl_context);
    flush();
    destroy_all_surfaces();
    // The 3D renderer's programs and buffers live in this context too.
    if (shader_state) delete_shaders(gl, *shader_state);
    delete_builtin_programs(gl);
    for (int n = 0; n < kSpriteCount; ++n) {
      SpriteRecord& rec = sprites[n];
      gl.delete_texture(rec.texture);
      gl.delete_texture(rec.mipmapped_texture);
      rec = SpriteRecord{};
    }
  }
  if (renderer_3d) renderer_3d->unbind_2d();
  destroy_window();
  remove_texture_store(*this);
  if (gl_context) {
    platform::make_current(nullptr, nullptr);
    platform::delete_gl_context(gl_context);
    gl_context = nullptr;
  }
  poly.release();
  text.release();
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
  if (swap_control) platform::set_swap_interval(0);
  frame_period = frame_period_for(fps);

  if (!platform::video_init()) return false;
  write_log_line("WIN32 init video\n");  // the runtime's own log texts, kept as they are
  platform::desktop_size(&desktop_width, &desktop_height);

  if (bits == 0) bits = platform::desktop_bits_per_pixel();
  platform::WindowSpec spec;
  spec.title = "Moxtril";
  spec.width = width;
  spec.height = height;
  spec.colour_bits = bits > 24 ? 24 : bits;
  if (!create_window_and_context(*this, spec, samples)) return false;

  int w = 0, h = 0;
  platform::window_size(window, &w, &h);
  window_width = width > 0 ? width : w;
  window_height = height > 0 ? height : h;
  colour_bits = bits;
  fullscreen = 0;

  software_rendering_check(*this);

  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  virtual_width = 0;
  virtual_height = 0;

  write_log_line("get accurate timer - 1st call\n");
  next_frame_time = accurate_ms();
  write_log_line("flip - 1st call\n");
  present();
  // The first frame is due at once; the next one a period on.
  next_frame_time = next_frame_after(next_frame_time, accurate_ms(), frame_period);

  const char* ext = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
  swap_control = platform::set_swap_interval(0);
  gl.probe_extensions(ext);
  // A suffix on purpose: the BGRA8888 texture formats come under more than
  // one vendor's prefix.
  bgra_supported = (ext && std::strstr(ext, "_texture_format_BGRA8888")) || has_extension_word(ext, "GL_EXT_bgra");
  if (bgra_supported)
    write_log_line("BGRA ext supported\n");
  else
    write_log_format("BGRA ext NOT supported\n%s\n", ext ? ext : "");
  GLint max_texture = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &max_texture);
  write_log_format("Texture size limit: %d\n", max_texture);
  write_log_line("init fbo\n");
  framebuffers_supported = gl.fetch_framebuffer_entry_points();
  if (!framebuffers_supported) write_log_line("can't use framebuffer object\n");
  make_2d_programs();

  platform::hide_window(window);
  write_log_line("2D VP\n");
  apply_default_state();
  write_log_line("VURE init [OK]\n");
  return true;
}

// ---------------------------------------------------------------------------
// [SECTION] Default state, binding, clearing and presenting

// Texturing as a sprite needs it: the texture bound on each unit, repeating
// at its edges (draws that want clamping ask for it), texturing on.
void VuduRODoverore::bind_sprite(int n, int second, int mipmapped) {
  bound_sprite = n;
  bound_second_sprite = second;
  bound_mipmapped = mipmapped;
  auto name_of = [&](int m) -> GLuint {
    const SpriteRecord* rec = (sprites && m >= 0 && m < kSpriteCount) ? &sprites[m] : nullptr;
    if (!rec) return 0;
    return mipmapped ? rec->mipmapped_texture : rec->texture;
  };
  auto bind_unit = [&](int unit, GLuint name) {
    if (gl.bind_texture(unit, name)) gl.set_texture_wrap(unit, GL_REPEAT);
    gl.enable_texture(unit, true);
  };
  if (!gl.ext().ActiveTextureARB) {
    if (n < 0) {
      gl.enable_texture(0, false);
      gl.enable(GlCap::color_material);
    } else {
      bind_unit(0, name_of(n));
    }
    return;
  }
  if (n >= 0 && second >= 0)
    bind_unit(1, name_of(n));
  else
    gl.enable_texture(1, false);
  if (n < 0)
    gl.enable_texture(0, false);
  else
    bind_unit(0, name_of(second >= 0 ? second : n));
  gl.select_unit(0);  // uploads and texture parameters act on the first unit
}

void VuduRODoverore::make_2d_programs() {
  // MXT_GL_FIXED_FUNCTION=1 keeps 2D drawing on the fixed stages, as a
  // driver without shader objects has it (the tests draw both ways).
  const char* fixed = platform::env("MXT_GL_FIXED_FUNCTION");
  if (fixed && *fixed && std::strcmp(fixed, "0") != 0) {
    gl.set_builtin_programs(0, 0);
    return;
  }
  make_builtin_programs(gl);
}

void VuduRODoverore::apply_default_state() {
  set_viewport(0, 0, 0, 0, 1.0f);
  gl.forget_all();
  gl.disable(GlCap::depth_test);
  gl.disable(GlCap::cull_face);
  glFrontFace(GL_CCW);
  gl.set_colour(1, 1, 1, 1);
  gl.disable(GlCap::fog);
  gl.disable(GlCap::line_smooth);
  gl.disable(GlCap::point_smooth);
  gl.disable(GlCap::stencil_test);
  gl.disable(GlCap::normalize);
  gl.disable(GlCap::lighting);
  gl.set_shade_model(GL_FLAT);
  gl.disable(GlCap::color_material);
  gl.disable(GlCap::dither);
  gl.disable(GlCap::polygon_smooth);
  gl.disable(GlCap::polygon_offset_point);
  gl.disable(GlCap::auto_normal);
  glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_FASTEST);
  glHint(GL_POLYGON_SMOOTH_HINT, GL_FASTEST);

  smoothing = 1;
  bind_sprite(-1);
  gl.disable(GlCap::alpha_test);
  alpha_test_ref = 1.0f;

  gl.enable(GlCap::blend);
  gl.set_blend_func(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  alpha_value = 1.0f;
  gl.set_colour(1, 1, 1, 1);
}

void VuduRODoverore::clear_background() {
  flush();
  if (background_slots[0] >= 0) {
    draw_background_picture();
    if (depth_clear_pending) glClear(GL_DEPTH_BUFFER_BIT);
    depth_clear_pending = 0;
    return;
  }
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
  flush();
  glClearColor(clear_rgba[0], clear_rgba[1], clear_rgba[2], clear_rgba[3]);
  glClear(GL_COLOR_BUFFER_BIT);
}

void VuduRODoverore::present() {
  if (current_surface >= 0) {
    end_surface();
    // The frame is shown on the window: the next one starts drawing there,
    // with the virtual screen, whatever surface the game had chosen.
    virtual_screen.command_surface = -1;
  }
  flush();
  platform::swap_window(window);
  clear_background();
}

void VuduRODoverore::begin_frame() {
  apply_full_viewport(*this);
  clear_background();
  gl.disable(GlCap::alpha_test);
  alpha_test_ref = 1.0f;
  gl.enable(GlCap::blend);
  gl.set_blend_func(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  alpha_value = 1.0f;
  gl.set_colour(1, 1, 1, 1);
  use_shader(gl, shader_state, -1);
}

bool VuduRODoverore::read_frame(ImageBuffer& image) {
  const int w = window_width, h = window_height;
  if (w <= 0 || h <= 0 || !image.size_to(w, h)) return false;
  std::vector<uint8_t> rgba(static_cast<size_t>(w) * static_cast<size_t>(h) * 4);
  flush();
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadBuffer(GL_BACK);
  glReadPixels(0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
  const size_t row_bytes = static_cast<size_t>(w) * 4;
  for (int y = 0; y < h; ++y) {
    uint8_t* row = image.pixel(0, y);
    std::memcpy(row, &rgba[static_cast<size_t>(h - 1 - y) * row_bytes], row_bytes);
    for (int x = 0; x < w; ++x) row[x * 4 + 3] = 255;  // the picture as seen: opaque
  }
  return true;
}

}  // namespace mxt

void mxt_set_clear_colour(int colour) {
  if (!mxt::rt.renderer) return;
  mxt::empty_background_slot(0);  // a colour replaces the background picture
  mxt::rt.renderer->set_clear_colour(colour);
}
