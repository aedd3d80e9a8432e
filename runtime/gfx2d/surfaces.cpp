// Offscreen surfaces, grabs, pixel reads, saving, and the background slots.
//
// [SECTION] Framebuffers
// [SECTION] Grabs and read-back
// [SECTION] Surfaces: using and ending
// [SECTION] Background slots
// [SECTION] Commands
#include "runtime/gfx2d/surfaces.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "runtime/base/errors.h"
#include "runtime/base/log.h"
#include "runtime/base/singletons.h"
#include "runtime/files/files.h"
#include "runtime/gfx2d/draw.h"
#include "runtime/gfx2d/gfx2d.h"
#include "runtime/gfx2d/image.h"
#include "runtime/gfx2d/renderer.h"
#include "runtime/gfx2d/sprites.h"
#include "runtime/gfx2d/viewport.h"
#include "runtime/types/numbers.h"

namespace mxt {

namespace {

// Smallest power of two holding n, at least `least`.
int power_of_two(int n, int least) {
  int side = least;
  while (side < n && side < (1 << 30)) side <<= 1;
  return side;
}

GLint max_texture_side() {
  GLint max_size = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &max_size);
  return max_size > 0 ? max_size : 1024;
}

// The framebuffer currently drawn into: its height (GL rows count from the
// bottom) and which buffer reads come from.
bool surface_bound(const VuduRODoverore& r) {
  return r.current_surface >= 0 && r.surfaces[r.current_surface].saved_binding != -1;
}

int target_height(const VuduRODoverore& r) {
  if (surface_bound(r)) {
    const SpriteRecord* sp = sprite_record(r.surfaces[r.current_surface].sprite);
    if (sp) return sp->image_height;
  }
  return r.window_height;
}

void select_read_buffer(const VuduRODoverore& r) { glReadBuffer(surface_bound(r) ? GL_COLOR_ATTACHMENT0_EXT : GL_BACK); }

}  // namespace

// ---------------------------------------------------------------------------
// [SECTION] Framebuffers

bool bind_framebuffer(SurfaceRecord& s) {
  VuduRODoverore* r = rt.renderer;
  if (!r || !r->framebuffers_supported) return false;
  if (s.saved_binding != -1) {
    write_log_line("Trying to rebind the same FBO again. Need to end first\n");
    return false;
  }
  r->flush();  // what is collected belongs to the old target
  GLint current = 0;
  glGetIntegerv(GL_FRAMEBUFFER_BINDING_EXT, &current);
  s.saved_binding = current;
  r->gl.ext().BindFramebufferEXT(GL_FRAMEBUFFER_EXT, s.framebuffer);
  return true;
}

bool unbind_framebuffer(SurfaceRecord& s) {
  VuduRODoverore* r = rt.renderer;
  if (!r || !r->framebuffers_supported || s.saved_binding == -1) return false;
  r->flush();
  r->gl.ext().BindFramebufferEXT(GL_FRAMEBUFFER_EXT, static_cast<GLuint>(s.saved_binding));
  s.saved_binding = -1;
  return true;
}

void destroy_framebuffer(SurfaceRecord& s) {
  VuduRODoverore* r = rt.renderer;
  unbind_framebuffer(s);
  if (r && s.framebuffer) {
    const GlEntryPoints& e = r->gl.ext();
    if (e.DeleteFramebuffersEXT) e.DeleteFramebuffersEXT(1, &s.framebuffer);
    if (s.depth_buffer && e.DeleteRenderbuffersEXT) e.DeleteRenderbuffersEXT(1, &s.depth_buffer);
  }
  s = SurfaceRecord{};
}

bool create_framebuffer(SurfaceRecord& s, int w, int h, uint32_t texture, bool with_depth) {
  destroy_framebuffer(s);
  if (w < 1 || h < 1) {
    write_log_format("can't create FBO for neg dims %dx%d\n", w, h);
    return false;
  }
  VuduRODoverore* r = rt.renderer;
  if (!r) return false;
  const GlEntryPoints& e = r->gl.ext();
  // Every entry point this needs, not only the ones a driver might lack:
  // calling a missing one would end the program.
  if (!e.GenFramebuffersEXT || !e.GenRenderbuffersEXT || !e.BindRenderbufferEXT || !e.RenderbufferStorageEXT ||
      !e.CheckFramebufferStatusEXT || !e.BindFramebufferEXT || !e.FramebufferTexture2DEXT ||
      !e.FramebufferRenderbufferEXT || !e.DeleteFramebuffersEXT || !e.DeleteRenderbuffersEXT)
    return false;

  GLuint name = 0;
  e.GenFramebuffersEXT(1, &name);
  if (name == 0) {
    write_log_line("glGenFramebuffersExt failed\n");
    return false;
  }
  s.framebuffer = name;
  bind_framebuffer(s);
  r->gl.select_unit(0);
  r->gl.bind_texture(0, texture);
  e.FramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_TEXTURE_2D, texture, 0);

  if (with_depth) {
    GLuint depth = 0;
    e.GenRenderbuffersEXT(1, &depth);
    if (depth == 0) {
      write_log_line("glGenRenderbuffersExt failed\n");
      destroy_framebuffer(s);
      return false;
    }
    s.depth_buffer = depth;
    e.BindRenderbufferEXT(GL_RENDERBUFFER_EXT, depth);
    while (glGetError() != GL_NO_ERROR) {
    }
    e.RenderbufferStorageEXT(GL_RENDERBUFFER_EXT, GL_DEPTH_COMPONENT32, w, h);
    if (glGetError() == GL_INVALID_ENUM) {
      write_log_line("depth 32 failed, try 24\n");
      e.RenderbufferStorageEXT(GL_RENDERBUFFER_EXT, GL_DEPTH_COMPONENT24, w, h);
      if (glGetError() == GL_INVALID_ENUM) {
        write_log_line("depth 32 failed, try 16\n");
        e.RenderbufferStorageEXT(GL_RENDERBUFFER_EXT, GL_DEPTH_COMPONENT16, w, h);
      }
    }
    e.FramebufferRenderbufferEXT(GL_FRAMEBUFFER_EXT, GL_DEPTH_ATTACHMENT_EXT, GL_RENDERBUFFER_EXT, depth);
  }

  const GLenum status = e.CheckFramebufferStatusEXT(GL_FRAMEBUFFER_EXT);
  if (status == 0) write_log_format("glCheckFramebufferStatusExt()=0: glError=%x\n", glGetError());
  unbind_framebuffer(s);
  if (status == GL_FRAMEBUFFER_COMPLETE_EXT) {
    s.width = w;
    s.height = h;
    return true;
  }
  write_log_format("glBindRenderbufferExt failed %x\n", status);
  destroy_framebuffer(s);
  if (with_depth) {
    write_log_line("Trying without a depth buffer as a fallback...\n");
    return create_framebuffer(s, w, h, texture, false);
  }
  write_log_line("CAN'T CREATE FRAMEBUFFER (CREATESCREEN)\n");
  return false;
}

void destroy_all_surfaces() {
  VuduRODoverore* r = rt.renderer;
  if (!r) return;
  end_surface();
  for (SurfaceRecord& s : r->surfaces) destroy_framebuffer(s);
  for (int slot = 0; slot < kBackgroundSlots; ++slot) r->background_slots[slot] = -1;
}

void rebuild_surface_of_sprite(int n) {
  VuduRODoverore* r = rt.renderer;
  const SpriteRecord* sp = sprite_record(n);
  if (!r || !sp) return;
  for (SurfaceRecord& s : r->surfaces) {
    if (s.sprite != n || s.width <= 0) continue;
    const int w = s.width, h = s.height;
    if (!create_framebuffer(s, w, h, sp->texture, true)) continue;
    s.sprite = n;
  }
}

// ---------------------------------------------------------------------------
// [SECTION] Grabs and read-back

namespace {

// Replaces the pixels of a rectangle with a colour and alpha, whatever the
// blending: a fill that makes an area transparent must not blend into it.
void fill_replacing(int x, int y, int w, int h, float red, float green, float blue, float alpha) {
  VuduRODoverore* r = rt.renderer;
  const bool blending = r->gl.is_enabled(GlCap::blend);
  r->gl.disable(GlCap::blend);
  r->bind_sprite(-1);
  r->gl.set_colour(red, green, blue, alpha);
  const float l = static_cast<float>(x), t = static_cast<float>(y);
  const float rr = static_cast<float>(x + w), b = static_cast<float>(y + h);
  const QuadVertex q[4] = {{l, b, 0, 0}, {rr, b, 0, 0}, {rr, t, 0, 0}, {l, t, 0, 0}};
  draw_quad(q);
  r->flush();
  if (blending) r->gl.enable(GlCap::blend);
  r->gl.set_colour(1, 1, 1, r->alpha_value);
}

void fill_with_key(int x, int y, int w, int h, int32_t key) {
  fill_replacing(x, y, w, h, static_cast<float>(key & 0xFF) / 255.0f, static_cast<float>((key >> 8) & 0xFF) / 255.0f,
                 static_cast<float>((key >> 16) & 0xFF) / 255.0f, 0.0f);
}

// One pixel of the framebuffer drawn into, RGBA, GL coordinates.
void read_pixel(int x, int y, uint8_t out[4]) {
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, out);
}

// Where logical pixel (a, b) of a w x h rectangle lies in the window area
// that shows it (GL rows, bottom up), under an orientation.
void window_cell(int orientation, int a, int b, int w, int h, int& px, int& py) {
  switch (orientation & 3) {
    case 1: px = h - 1 - b; py = w - 1 - a; break;
    case 2: px = w - 1 - a; py = b; break;
    case 3: px = b; py = a; break;
    default: px = a; py = h - 1 - b; break;
  }
}

// The grab with the colour key of the caller: -1 leaves every pixel opaque.
void copy_screen(int n, int x, int y, int w, int h, int32_t key) {
  VuduRODoverore* r = rt.renderer;
  SpriteRecord* rec = sprite_record(n);
  if (!r || !rec) return;
  r->flush();
  rec->frame_width = rec->frame_height = 0;
  r->alpha_masks.free(n);
  if (w <= 0 || h <= 0) {
    delete_sprite(n);
    return;
  }
  const int tw = power_of_two(w, 16), th = power_of_two(h, 16);
  if (tw > max_texture_side() || th > max_texture_side()) {  // no texture can hold it: as an empty grab
    delete_sprite(n);
    return;
  }
  GlState& gl = r->gl;
  gl.select_unit(0);
  const GLenum format = r->bgra_supported ? GL_BGRA : GL_RGBA;
  if (rec->texture && rec->texture_width == tw && rec->texture_height == th) {
    gl.bind_texture(0, rec->texture);
  } else {
    gl.delete_texture(rec->texture);
    gl.delete_texture(rec->mipmapped_texture);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
    rec->texture = gl.create_texture();
    gl.set_texture_wrap(0, GL_REPEAT);
    gl.set_texture_filter(0, GL_LINEAR);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, tw, th, 0, format, GL_UNSIGNED_BYTE, nullptr);
  }
  rec->texture_width = tw;
  rec->texture_height = th;
  rec->image_width = w;
  rec->image_height = h;
  rec->u_max = static_cast<float>(w) / static_cast<float>(tw);
  rec->v_max = static_cast<float>(h) / static_cast<float>(th);

  if (r->window_alpha_bits < 0) {
    GLint bits = 0;
    glGetIntegerv(GL_ALPHA_BITS, &bits);
    r->window_alpha_bits = bits;
  }
  const int orientation = r->current_surface >= 0 ? 0 : r->orientation;
  const int H = target_height(*r);
  select_read_buffer(*r);
  if (r->window_alpha_bits > 0 && orientation == 0) {
    glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, x, H - y - h, w, h);
    return;
  }

  // Read the window area that shows the rectangle and turn it upright.
  const ViewportRect area = gl_viewport_for(orientation, x, y, w, h, r->window_width, H);
  const size_t area_bytes = static_cast<size_t>(area.w) * static_cast<size_t>(area.h) * 4;
  std::vector<uint8_t>& scratch = r->grab_scratch;
  if (scratch.size() < area_bytes) scratch.resize(area_bytes);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(area.x, area.y, area.w, area.h, GL_RGBA, GL_UNSIGNED_BYTE, scratch.data());
  std::vector<uint8_t> texels(static_cast<size_t>(tw) * static_cast<size_t>(th) * 4, 0);
  for (int b = 0; b < h; ++b) {
    uint8_t* row = &texels[static_cast<size_t>(h - 1 - b) * static_cast<size_t>(tw) * 4];
    for (int a = 0; a < w; ++a) {
      int px = 0, py = 0;
      window_cell(orientation, a, b, w, h, px, py);
      std::memcpy(row + static_cast<size_t>(a) * 4,
                  &scratch[(static_cast<size_t>(py) * static_cast<size_t>(area.w) + static_cast<size_t>(px)) * 4], 4);
    }
  }
  if (r->window_alpha_bits <= 0) {
    uint8_t look[4] = {0, 0, 0, 255};
    if (key != -1 && key != 0) {
      // How the key colour comes out in this framebuffer: draw it once and read it.
      uint8_t before[4];
      read_pixel(4, 4, before);
      fill_with_key(4, H - 5, 1, 1, key);
      read_pixel(4, 4, look);
      fill_replacing(4, H - 5, 1, 1, before[0] / 255.0f, before[1] / 255.0f, before[2] / 255.0f, 1.0f);
    }
    for (int b = 0; b < h; ++b) {
      uint8_t* row = &texels[static_cast<size_t>(b) * static_cast<size_t>(tw) * 4];
      for (int a = 0; a < w; ++a) {
        uint8_t* p = row + static_cast<size_t>(a) * 4;
        p[3] = (key != -1 && p[0] == look[0] && p[1] == look[1] && p[2] == look[2]) ? 0 : 255;
      }
    }
  }
  gl.bind_texture(0, rec->texture);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, tw, th, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
}

}  // namespace

void copy_screen_to_sprite(int n, int x, int y, int w, int h) {
  copy_screen(n, x, y, w, h, rt.renderer ? rt.renderer->colour_key : -1);
}

bool read_sprite_back(int n, ImageBuffer& image) {
  const SpriteRecord* rec = sprite_record(n);
  if (!rec || rec->image_width <= 0 || rec->image_height <= 0) return false;
  end_surface();
  return read_sprite_pixels(n, image);
}

// ---------------------------------------------------------------------------
// [SECTION] Surfaces: using and ending

void end_surface() {
  VuduRODoverore* r = rt.renderer;
  if (!r || r->current_surface < 0) return;
  SurfaceRecord& s = r->surfaces[r->current_surface];
  r->flush();
  if (r->framebuffers_supported && s.saved_binding != -1) {
    unbind_framebuffer(s);
  } else if (const SpriteRecord* sp = sprite_record(s.sprite); sp && sp->image_width > 0) {
    // The fallback drew on the window: take the corner into the surface's
    // sprite and put back what the window had there.
    const int w = sp->image_width, h = sp->image_height;
    const int tw = sp->texture_width, th = sp->texture_height;
    r->current_surface = -1;
    copy_screen(s.sprite, 0, 0, w, h, r->colour_key);
    fill_replacing(0, 0, tw, th, 0, 0, 0, 1);
    mxt_draw_sprite(kScratchSprite, 0, 0);
    r->flush();
    r->orientation = r->saved_orientation;
  }
  r->current_surface = -1;
  r->set_viewport(0, 0, 0, 0, 1.0f);
}

namespace {

void use_surface(int s) {
  VuduRODoverore* r = rt.renderer;
  end_surface();
  if (s < 0 || s >= kSurfaceCount || r->surfaces[s].width <= 0) return;
  SurfaceRecord& surface = r->surfaces[s];
  const SpriteRecord* sp = sprite_record(surface.sprite);
  if (!sp) return;
  const int w = sp->image_width, h = sp->image_height;
  r->current_surface = s;
  if (bind_framebuffer(surface)) {
    r->set_viewport(0, 0, w, h, 1.0f);
    glViewport(0, 0, w, h);
  } else {
    r->current_surface = -1;
    r->saved_orientation = r->orientation;
    r->orientation = 0;
    r->set_viewport(0, 0, w, h, 1.0f);
    copy_screen(kScratchSprite, 0, 0, w, h, -1);
    fill_with_key(0, 0, w, h, r->colour_key);
    mxt_draw_sprite(surface.sprite, 0, 0);
    r->current_surface = s;
  }
  r->alpha_masks.free(surface.sprite);  // what is drawn now changes its alpha
}

}  // namespace

// ---------------------------------------------------------------------------
// [SECTION] Background slots

void draw_background_slot(int s) {
  VuduRODoverore* r = rt.renderer;
  if (!r || s < 0 || s >= kBackgroundSlots || r->background_slots[s] < 0) return;
  r->flush();  // what was collected before goes below the clear, not above it
  if (r->virtual_screen.scale > 1.0f) glClear(GL_COLOR_BUFFER_BIT);  // the border the picture leaves
  mxt_draw_sprite(r->background_slots[s], 0, 0);
}

void draw_background_picture() {
  VuduRODoverore* r = rt.renderer;
  if (!r || r->background_slots[0] < 0) return;
  // Instead of the clear: cleared first where the picture may be
  // transparent, then drawn as a plain picture, whatever alpha mode the game
  // left from the last frame (additive would add it to a swapped-out buffer).
  r->flush();
  if (r->clear_enabled) glClear(GL_COLOR_BUFFER_BIT);
  const bool blending = r->gl.is_enabled(GlCap::blend);
  r->gl.enable(GlCap::blend);
  r->gl.set_blend_func(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  r->gl.set_colour(1, 1, 1, 1);
  draw_background_slot(0);
  r->flush();
  if (!blending) r->gl.disable(GlCap::blend);
  r->gl.set_colour(1, 1, 1, r->alpha_value);
}

void empty_background_slot(int s) {
  VuduRODoverore* r = rt.renderer;
  if (!r || s < 0 || s >= kBackgroundSlots || r->background_slots[s] < 0) return;
  delete_sprite(r->background_slots[s]);
  r->background_slots[s] = -1;
}

}  // namespace mxt

// ---------------------------------------------------------------------------
// [SECTION] Commands

using namespace mxt;

bool mxt_create_screen(int s, int n, int width, int height) {
  VuduRODoverore* r = rt.renderer;
  if (!r || s < 0 || s >= kSurfaceCount) return false;
  end_surface();
  destroy_framebuffer(r->surfaces[s]);
  if (n >= 0) delete_sprite(n);
  SpriteRecord* rec = sprite_record(n);
  if (width < 1 || height < 1 || !rec) return false;
  const int tw = power_of_two(width, 2), th = power_of_two(height, 2);
  if (tw > max_texture_side() || th > max_texture_side()) return false;

  GlState& gl = r->gl;
  r->flush();
  gl.select_unit(0);
  rec->texture = gl.create_texture();
  gl.set_texture_wrap(0, GL_REPEAT);
  gl.set_texture_filter(0, GL_LINEAR);
  const std::vector<uint8_t> transparent(static_cast<size_t>(tw) * static_cast<size_t>(th) * 4, 0);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, tw, th, 0, GL_RGBA, GL_UNSIGNED_BYTE, transparent.data());
  rec->texture_width = tw;
  rec->texture_height = th;
  rec->image_width = width;
  rec->image_height = height;
  rec->frame_width = rec->frame_height = 0;
  rec->u_max = static_cast<float>(width) / static_cast<float>(tw);
  rec->v_max = static_cast<float>(height) / static_cast<float>(th);

  SurfaceRecord& surface = r->surfaces[s];
  if (!create_framebuffer(surface, width, height, rec->texture, true)) {
    destroy_framebuffer(surface);
    return false;
  }
  surface.sprite = n;
  end_surface();
  return true;
}

void mxt_use_screen(int s) {
  VuduRODoverore* r = rt.renderer;
  if (!r) return;
  r->virtual_screen.command_surface = s < 0 ? -1 : s;
  if (s < 0) end_surface();
  use_surface(s);
  apply_full_viewport(*r);
}

int mxt_free_screen() {
  if (!rt.renderer) return -1;
  for (int s = kSurfaceCount - 1; s >= 0; --s) {
    const SurfaceRecord& surface = rt.renderer->surfaces[s];
    if (surface.width == 0 || surface.sprite < 0) return s;
  }
  return -1;
}

void mxt_grab_sprite(int n, int x, int y, int width, int height) {
  VuduRODoverore* r = rt.renderer;
  if (!r) return;
  const VirtualScreen& vs = r->virtual_screen;
  if (!vs.active() || vs.scale <= 1.0f) {
    copy_screen_to_sprite(n, x, y, width, height);
    return;
  }
  // The window shows the logical screen enlarged: grab the window's pixels,
  // then draw them shrunk into a surface on sprite n, at logical resolution.
  const int scratch = mxt_free_sprite();
  const int surface = mxt_free_screen();
  if (scratch < 0 || surface < 0 || width <= 0 || height <= 0) {
    copy_screen_to_sprite(n, x, y, width, height);
    return;
  }
  const double s = vs.scale;
  copy_screen_to_sprite(scratch, x + vs.offset_x, y + vs.offset_y, truncate_to_int((width + 0.99) * s),
                        truncate_to_int((height + 0.99) * s));
  if (mxt_create_screen(surface, n, width, height)) {
    mxt_use_screen(surface);
    mxt_set_alpha_mode(-1);
    mxt_set_alpha_test(1);
    mxt_stretch_sprite(scratch, 0, 0, width, height);
    mxt_use_screen(-1);
    // Sprite n keeps its texture; the surface was only the way to fill it,
    // and kept it would use up the 32 numbers after as many grabs.
    destroy_framebuffer(r->surfaces[surface]);
  }
  delete_sprite(scratch);
}

int mxt_get_pixel(int x, int y) {
  VuduRODoverore* r = rt.renderer;
  if (!r) return 0;
  r->flush();
  const bool surface = r->current_surface >= 0;
  const int W = surface_bound(*r) ? r->viewport[2] : r->window_width;
  const int H = target_height(*r);
  int px = x, py = y;
  if (!surface && r->orientation != 0) {
    // Where the logical point is shown: the inverse of the drawing's turn.
    const bool turned = r->orientation == 1 || r->orientation == 3;
    const int lw = turned ? H : W, lh = turned ? W : H;
    window_cell(r->orientation, x, y, lw, lh, px, py);
    py = H - 1 - py;  // back to rows from the top, as the read below counts them
  }
  select_read_buffer(*r);
  uint8_t p[4] = {0, 0, 0, 0};
  read_pixel(px, H - py - 1, p);
  return p[0] | p[1] << 8 | p[2] << 16;
}

bool mxt_save_sprite(const RtString& name, int n) {
  clear_last_error();
  ImageBuffer image;
  const bool ok = read_sprite_back(n, image) && write_image(name, image);
  if (!ok) report_error(RuntimeError::file_not_found);
  return ok;
}

bool mxt_save_screen(const RtString& name) {
  clear_last_error();
  VuduRODoverore* r = rt.renderer;
  ImageBuffer image;
  // The window as the player sees it; a surface being drawn into ends first.
  if (r) end_surface();
  const bool ok = r && r->read_frame(image) && write_image(name, image);
  if (!ok) report_error(RuntimeError::file_not_found);
  return ok;
}

void mxt_load_background(const RtString& name) {
  clear_last_error();
  VuduRODoverore* r = rt.renderer;
  if (!r) return;
  empty_background_slot(0);
  RtString resolved = name;
  ImageBuffer image;
  const bool found = !resolved.empty() && mxt_resolve_file(resolved);
  const int n = mxt_free_sprite();
  if (found && n >= 0 && read_image(image, resolved, -1) && image.width > 0 && create_sprite_texture(n, image, false)) {
    r->background_slots[0] = n;
    draw_background_picture();
    return;
  }
  report_error(RuntimeError::file_not_found);
  r->set_clear_colour(0);
}

void mxt_grab_background() {
  VuduRODoverore* r = rt.renderer;
  if (!r) return;
  empty_background_slot(0);
  const int n = mxt_free_sprite();
  if (n < 0) return;
  int w = 0, h = 0;
  mxt_screen_size(w, h);
  copy_screen_to_sprite(n, 0, 0, w, h);
  if (sprite_record(n)->image_width > 0) r->background_slots[0] = n;
}
