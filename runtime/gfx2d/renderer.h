// VuduRODoverore: the one 2D renderer. It owns the window, the OpenGL context
// and the 2D render state; every drawing command acts on this one instance.
//
// GL state switches and the current colour go through `GlStateCache`, so
// drawing commands may request their state on every call without issuing
// redundant GL calls. Extension entry points are probed once, after the
// context exists, into `gl_ext`; each user checks its pointer for null.
#pragma once

#include <GL/gl.h>
#include <GL/glext.h>

#include <cstdint>
#include <string>

#include "runtime/types/rtstring.h"

namespace mxt {

namespace platform {
struct Window;
}
struct SpriteRecord;

// ---------------------------------------------------------------------------
// GL state cache

enum class GlCap : uint8_t {
  blend, alpha_test, color_material, cull_face, lighting, stencil_test, depth_test, fog, dither,
  line_smooth, point_smooth, normalize, polygon_smooth, polygon_offset_point, auto_normal,
  texture_gen_s, texture_gen_t,
  count
};

struct GlStateCache {
  int32_t switches[static_cast<int>(GlCap::count)];  // 1 on, 0 off, anything else unset
  float colour[4] = {-1.0f, -1.0f, -1.0f, -1.0f};
  uint64_t gl_calls = 0;  // GL calls the cache actually issued (for tests and profiling)

  GlStateCache() { mark_unset(); }
  void mark_unset();      // every switch unset (0x7F bytes); the colour is kept
  void enable(GlCap cap);
  void disable(GlCap cap);
  void set(GlCap cap, bool on) { on ? enable(cap) : disable(cap); }
  void set_colour(float r, float g, float b, float a);
};
extern GlStateCache gl_state;

GLenum gl_enum(GlCap cap);

// ---------------------------------------------------------------------------
// Extension entry points, null when missing

struct GlEntryPoints {
  bool swap_control = false;  // the platform can set the swap interval
  PFNGLACTIVETEXTUREARBPROC ActiveTextureARB = nullptr;
  PFNGLMULTITEXCOORD2FARBPROC MultiTexCoord2fARB = nullptr;
  PFNGLCLIENTACTIVETEXTUREARBPROC ClientActiveTextureARB = nullptr;
  PFNGLGENBUFFERSARBPROC GenBuffersARB = nullptr;
  PFNGLBINDBUFFERARBPROC BindBufferARB = nullptr;
  PFNGLBUFFERDATAARBPROC BufferDataARB = nullptr;
  PFNGLDELETEBUFFERSARBPROC DeleteBuffersARB = nullptr;
  PFNGLMAPBUFFERARBPROC MapBufferARB = nullptr;
  PFNGLUNMAPBUFFERARBPROC UnmapBufferARB = nullptr;
  PFNGLGETBUFFERPARAMETERIVARBPROC GetBufferParameterivARB = nullptr;
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
  PFNGLGETATTRIBLOCATIONARBPROC GetAttribLocationARB = nullptr;
  PFNGLVERTEXATTRIB1FARBPROC VertexAttrib1fARB = nullptr;
};
extern GlEntryPoints gl_ext;

// Fetches the named entry point into `slot`; a missing one logs
// "ext: <name>   [FAILED]" and stays null. Returns whether it was found.
bool fetch_entry_point(void** slot, const char* name);

// Substring search in an extension list, as the probing does.
bool has_extension(const char* list, const char* name);
// Whole-word search: the name at the start or after a space, followed by the
// end or a space.
bool has_extension_word(const char* list, const char* name);

// Software rendering, as the renderer's name tells it.
bool is_software_renderer(const char* renderer_name);

// ---------------------------------------------------------------------------
// The renderer

class VuduRODoverore {
 public:
  VuduRODoverore();
  virtual ~VuduRODoverore();
  VuduRODoverore(const VuduRODoverore&) = delete;
  VuduRODoverore& operator=(const VuduRODoverore&) = delete;

  bool init_window(int width, int height, int colour_bits, int fps, int samples);
  void apply_default_state();
  bool present(void (*message_callback)());
  void begin_frame();
  void clear_background();          // the clear/background step of present and begin_frame
  void set_clear_colour(int32_t colour);
  void set_viewport(int x, int y, int w, int h, float zoom);
  void bind_sprite(int n, int second = -1, int mipmapped = 0);
  void destroy_window();            // window gone; the context is kept for a new window

  // Members, in the order the renderer keeps them.
  int32_t bound_sprite = -2;             // -2: unknown, so the next bind reaches GL
  int32_t bound_second_sprite = -1;
  int32_t bound_mipmapped = 0;
  SpriteRecord* sprites = nullptr;       // 65 537 records, allocated with the renderer
  float alpha_value = 0.0f;
  float alpha_test_ref = 1.0f;
  uint8_t clear_enabled = 1;
  uint8_t depth_clear_pending = 1;
  uint8_t bgra_supported = 0;
  int32_t current_surface = -1;
  int32_t background_slots[8];
  uint8_t smoothing = 1;
  platform::Window* window = nullptr;
  int32_t window_width = 0;
  int32_t window_height = 0;
  int32_t virtual_width = 0;
  int32_t virtual_height = 0;
  int32_t colour_bits = 0;
  uint8_t fullscreen = 0;
  int32_t viewport[4] = {0, 0, 0, 0};
  int32_t orientation = 0;
  int32_t colour_key = 0x8000FF;
  int32_t font_colour_key = 0;
  double next_frame_time = 0;
  double frame_period = 2.0;
  void* gl_context = nullptr;
  int32_t samples_obtained = 0;
  float clear_rgba[4] = {0, 0, 0, 1};
};

// Process-wide values beside the renderer.
struct RendererGlobals {
  int desktop_width = 0;
  int desktop_height = 0;
  bool software_check_done = false;
  std::string gl_renderer_name;
};
extern RendererGlobals renderer_globals;

}  // namespace mxt

// ---------------------------------------------------------------------------
// Commands

void mxt_set_clear_colour(int colour);           // 0xBBGGRR; -1 switches clearing off
