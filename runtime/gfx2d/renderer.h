// VuduRODoverore: the one 2D renderer. (The name is the runtime's own, kept
// as the games and tools built on it know it.) It owns the window, the
// OpenGL context, the sprite table and the whole 2D render state: the GL
// state cache, the batches that collect drawing, the virtual screen and the
// pacing figures the frame loop reads. Every drawing command acts on the one
// instance, `rt.renderer`.
//
// It also keeps the font slots' metrics (their images are sprites 65504 and
// up) and the vertices of the last printed text.
//
// The frame loop calls `present` (draw what is collected, swap, clear for
// the next frame) and paces itself on `next_frame_time` and `frame_period`;
// `begin_frame` puts the per-frame drawing state back.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "runtime/gfx2d/batches.h"
#include "runtime/gfx2d/collision.h"
#include "runtime/gfx2d/fonts.h"
#include "runtime/gfx2d/gl_state.h"
#include "runtime/gfx2d/shaders.h"
#include "runtime/gfx2d/surfaces.h"
#include "runtime/gfx2d/viewport.h"

namespace mxt {

namespace platform {
struct Window;
}
struct SpriteRecord;
struct ImageBuffer;

// What the 2D renderer asks of the 3D renderer bound to it.
class Renderer3DLink {
 public:
  virtual void leave_3d_mode() = 0;  // back to the 2D state; nothing when not in 3D mode
  virtual void unbind_2d() = 0;      // the 2D renderer and its context are going: let go of both
 protected:
  ~Renderer3DLink() = default;
};

// Software rendering, as the renderer's name tells it.
bool is_software_renderer(const char* renderer_name);

class VuduRODoverore {
 public:
  VuduRODoverore();
  virtual ~VuduRODoverore();
  VuduRODoverore(const VuduRODoverore&) = delete;
  VuduRODoverore& operator=(const VuduRODoverore&) = delete;

  bool init_window(int width, int height, int colour_bits, int fps, int samples);
  void apply_default_state();
  void make_2d_programs();          // the runtime's own 2D programs in the current context, unless switched off
  void present();                   // draw what is collected, swap, clear for the next frame
  void begin_frame();
  void clear_background();          // the clear/background step of present and begin_frame
  void set_clear_colour(int32_t colour);
  void set_viewport(int x, int y, int w, int h, float zoom);
  void bind_sprite(int n, int second = -1, int mipmapped = 0);
  void destroy_window();            // window gone; the context is kept for a new window
  // A new GL context on the window (made again at that size when one is
  // given), every sprite, font and surface carried over through the texture
  // store. False when the sprites could not be saved (they are lost) or no
  // context could be made.
  bool recreate_context(int width = 0, int height = 0);
  void flush() { quads.flush(); }   // collected quads reach GL (before reading pixels, say)

  // The frame being drawn, as it will be shown: RGBA, top row first, opaque.
  bool read_frame(ImageBuffer& out);

  // The members of the renderer's own record.
  TextBuffer text;                       // the vertices of the last printed text
  int32_t bound_sprite = -1;             // sprite bind_sprite bound last; -1: none
  int32_t bound_second_sprite = -1;
  int32_t bound_mipmapped = 0;
  GlyphRecord glyphs[kFontSlots][256] = {};  // per font slot and character code
  float font_scale[kFontSlots] = {};     // set when a font is installed or loaded
  int32_t current_font = 0;              // 0..31, the font mxt_print uses
  SpriteRecord* sprites = nullptr;       // 65 537 records, allocated with the renderer
  float alpha_value = 0.0f;
  float alpha_test_ref = 1.0f;
  uint8_t clear_enabled = 1;
  uint8_t depth_clear_pending = 1;
  uint8_t bgra_supported = 0;
  int32_t current_surface = -1;          // the surface drawn into; -1 = the window
  int32_t background_slots[kBackgroundSlots];  // sprite numbers, -1 = empty; slot 0 replaces the clear
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
  int32_t applied_turn = 0;              // the quarter turns of the viewport set last (a surface has none)
  int32_t colour_key = 0x8000FF;
  int32_t font_colour_key = 0;
  double next_frame_time = 0;
  double frame_period = 2.0;
  void* gl_context = nullptr;
  int32_t samples_obtained = 0;
  float clear_rgba[4] = {0, 0, 0, 1};

  // The 3D renderer bound to this one (none until start-up makes it): it
  // owns the shader slots, and 2D commands that reset the view ask it to
  // leave 3D mode first.
  ShaderSlots* shader_state = nullptr;
  Renderer3DLink* renderer_3d = nullptr;
  uint32_t context_generation = 0;       // counts new GL contexts: what was made in an older one is gone
  void leave_3d_mode() {
    if (renderer_3d) renderer_3d->leave_3d_mode();
  }

  // The state the 2D commands keep between calls.
  GlState gl;
  QuadBatch quads;
  PolyBatch poly;
  VirtualScreen virtual_screen;          // the command layer's fixed logical resolution
  bool swap_control = false;             // the platform can set the swap interval
  int desktop_width = 0;                 // read when the window was made
  int desktop_height = 0;
  bool software_check_done = false;
  std::string gl_renderer_name;

  // Offscreen surfaces and grabs.
  SurfaceRecord surfaces[kSurfaceCount];
  bool framebuffers_supported = false;   // the framebuffer entry points were found
  int32_t window_alpha_bits = -1;        // read on the first grab; -1 = not yet
  int32_t saved_orientation = 0;         // the window's, while the surface fallback draws there
  std::vector<uint8_t> grab_scratch;     // pixels read back by grabs, kept for the next one
  AlphaMaskCache alpha_masks;            // pixel-exact collision's copies of the sprites' alpha
  std::string texture_store;             // the texture store file's name, made on first use
};

// The texture store: every loaded sprite's pixels in one file in the
// temporary folder (mxt_preserve_textures).
const std::string& texture_store_name(VuduRODoverore& r);
void remove_texture_store(VuduRODoverore& r);
bool save_textures(VuduRODoverore& r);
bool restore_textures(VuduRODoverore& r);  // and removes the file

}  // namespace mxt
