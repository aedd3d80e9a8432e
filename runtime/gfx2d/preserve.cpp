// Texture preservation: every loaded sprite's pixels saved to one file in the
// temporary folder, and the sprites made again from it, so that they survive
// a GL context that has to be made anew.
//
// The file: one record a sprite, in increasing sprite number, little-endian,
// no header: sprite, width, height (i32 each), then width x height x 4 bytes
// RGBA, top row first. Its name is made once per renderer; the renderer
// removes any file of that name when it is made and when it goes, so a stale
// file from an earlier run never survives.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "runtime/base/log.h"
#include "runtime/base/singletons.h"
#include "runtime/files/rtfile.h"
#include "runtime/gfx2d/gfx2d.h"
#include "runtime/gfx2d/image.h"
#include "runtime/gfx2d/renderer.h"
#include "runtime/gfx2d/sprites.h"
#include "runtime/gfx2d/surfaces.h"
#include "runtime/platform/platform.h"
#include "runtime/types/bytes.h"

namespace mxt {

const std::string& texture_store_name(VuduRODoverore& r) {
  if (r.texture_store.empty()) {
    const auto id = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(&r) + static_cast<uintptr_t>(std::rand()));
    char name[32];
    std::snprintf(name, sizeof name, "mxttxs%x.bin", id);
    r.texture_store = platform::temp_folder() + name;
  }
  return r.texture_store;
}

void remove_texture_store(VuduRODoverore& r) { remove_path(texture_store_name(r)); }

bool save_textures(VuduRODoverore& r) {
  const std::string& name = texture_store_name(r);
  write_log_format("move textures from mem to temp file\n   \"%s\"\n", name.c_str());
  remove_path(name);
  RtFile f;
  if (!open_write(f, RtString(name.c_str()))) return false;
  bool ok = true;
  for (int n = 0; n < kSpriteCount - 1 && ok; ++n) {
    if (r.sprites[n].image_width < 1) continue;
    ImageBuffer image;
    read_sprite_back(n, image);
    std::string head;
    append_le32(head, static_cast<uint32_t>(n));
    append_le32(head, static_cast<uint32_t>(image.width));
    append_le32(head, static_cast<uint32_t>(image.height));
    ok = write_bytes(f, head.data(), static_cast<int64_t>(head.size()));
    if (ok && image.width > 0 && image.height > 0)
      ok = write_bytes(f, image.pixels, int64_t{image.width} * image.height * 4);
  }
  // A store that could not be written whole would restore what it lost as
  // missing sprites: it is reported as a failure and removed.
  if (!close(f)) ok = false;
  if (!ok) {
    write_log_line("   ...could not write the texture store\n");
    remove_path(name);
    return false;
  }
  write_log_line("   ...done\n");
  return true;
}

bool restore_textures(VuduRODoverore& r) {
  write_log_line("restoring textures from temp file\n");
  const std::string& name = texture_store_name(r);
  RtFile f;
  if (!open_read(f, RtString(name.c_str()))) return false;
  for (int record = 0; record < kSpriteCount - 1; ++record) {
    uint8_t head[12];
    if (f.size - f.position < 12 || !read_bytes(f, head, 12)) break;
    const int32_t n = static_cast<int32_t>(read_le32(head));
    const int32_t w = static_cast<int32_t>(read_le32(head + 4));
    const int32_t h = static_cast<int32_t>(read_le32(head + 8));
    // What a damaged file claims is checked before anything is allocated;
    // it ends the restore where it stops making sense.
    if (n < 0 || n >= kSpriteCount - 1 || w < 0 || h < 0) break;
    const int64_t bytes = int64_t{w} * h * 4;
    if (bytes > f.size - f.position) break;
    ImageBuffer image;
    if (bytes > 0 && !image.size_to(w, h)) break;
    if (bytes > 0 && !read_bytes(f, image.pixels, bytes)) break;
    image.own_alpha = 1;
    create_sprite_texture(n, image, false);
  }
  close(f);
  remove_path(name);
  write_log_line("   ...done\n");
  return true;
}

bool VuduRODoverore::recreate_context(int width, int height) {
  if (!window) return false;
  end_surface();
  flush();
  const bool saved = save_textures(*this);
  // The old context's objects go with it: forget their names.
  for (int n = 0; n < kSpriteCount; ++n) {
    sprites[n].texture = 0;
    sprites[n].mipmapped_texture = 0;
  }
  for (SurfaceRecord& s : surfaces) {
    s.framebuffer = s.depth_buffer = 0;
    s.saved_binding = -1;
  }
  alpha_masks.free_all();
  window_alpha_bits = -1;
  platform::make_current(nullptr, nullptr);
  if (gl_context) platform::delete_gl_context(gl_context);
  gl_context = nullptr;
  if (width > 0 && height > 0 && !platform::remake_window(window, width, height))
    write_log_line("can't make the window again\n");
  gl_context = platform::create_gl_context(window);
  if (!gl_context || !platform::make_current(window, gl_context)) {
    write_log_line("can't create a new GL context\n");
    return false;
  }
  const char* ext = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
  gl.probe_extensions(ext);
  framebuffers_supported = gl.fetch_framebuffer_entry_points();
  make_2d_programs();
  // Programs and buffers went with the old context: the game loads its
  // shaders again, the 3D renderer uploads its objects again.
  if (shader_state) shader_state->forget();
  gl.use_program(0);
  ++context_generation;
  apply_default_state();
  glClearColor(clear_rgba[0], clear_rgba[1], clear_rgba[2], clear_rgba[3]);
  depth_clear_pending = 1;
  if (saved) restore_textures(*this);
  apply_full_viewport(*this);
  return saved;
}

}  // namespace mxt

bool mxt_preserve_textures(int restore) {
  mxt::VuduRODoverore* r = mxt::rt.renderer;
  if (!r) return false;
  return restore ? mxt::restore_textures(*r) : mxt::save_textures(*r);
}
