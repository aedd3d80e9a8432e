// The sprite store: texture upload, loading, deleting and the pixel-array
// commands.
//
// [SECTION] Records and uploads
// [SECTION] Loading and deleting
// [SECTION] Commands
#include "runtime/gfx2d/sprites.h"

#include <cmath>
#include <cstring>
#include <vector>

#include "runtime/base/singletons.h"
#include "runtime/files/files.h"
#include "runtime/gfx2d/gfx2d.h"
#include "runtime/gfx2d/image.h"
#include "runtime/gfx2d/renderer.h"
#include "runtime/gfx2d/surfaces.h"

namespace mxt {

// ---------------------------------------------------------------------------
// [SECTION] Records and uploads

SpriteRecord* sprite_record(int n) {
  if (!rt.renderer || !rt.renderer->sprites || n < 0 || n >= kSpriteCount) return nullptr;
  return rt.renderer->sprites + n;
}

int texture_side(int n) {
  int side = 16;
  while (side < n && side < (1 << 30)) side <<= 1;
  return side;
}

void make_normal_map(const uint8_t* in, uint8_t* out, int w, int h) {
  auto height_at = [&](int x, int y) {
    x = (x % w + w) % w;
    y = (y % h + h) % h;
    return static_cast<float>(in[(static_cast<size_t>(y) * static_cast<size_t>(w) + static_cast<size_t>(x)) * 4 + 2]) / 255.0f;
  };
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const float sx = (height_at(x + 1, y + 1) + 2 * height_at(x + 1, y) + height_at(x + 1, y - 1)) -
                       (height_at(x - 1, y + 1) + 2 * height_at(x - 1, y) + height_at(x - 1, y - 1));
      const float sy = (height_at(x - 1, y - 1) + 2 * height_at(x, y - 1) + height_at(x + 1, y - 1)) -
                       (height_at(x - 1, y + 1) + 2 * height_at(x, y + 1) + height_at(x + 1, y + 1));
      const float nx = -sx, ny = -sy;
      const float k = 1.0f / std::sqrt(nx * nx + ny * ny + 1.0f);
      const size_t i = (static_cast<size_t>(y) * static_cast<size_t>(w) + static_cast<size_t>(x)) * 4;
      out[i] = static_cast<uint8_t>(static_cast<int>((nx * k + 1) * 0.5f * 255));
      out[i + 1] = static_cast<uint8_t>(static_cast<int>((ny * k + 1) * 0.5f * 255));
      out[i + 2] = static_cast<uint8_t>(static_cast<int>((k + 1) * 0.5f * 255));
      out[i + 3] = in[i + 3];
    }
  }
}

namespace {

void set_pixel_store() {
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
  glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
  glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
}

// The square mipmapped copy: squeezed to a square by halving the longer side,
// then a chain of levels, each from the one before.
void upload_mipmaps(GlState& gl, std::vector<uint8_t> buf, int w, int h, uint32_t* target) {
  if (w <= 0 || h <= 0) return;
  set_pixel_store();
  gl.select_unit(0);
  *target = gl.create_texture();
  gl.set_texture_wrap(0, GL_REPEAT);
  gl.set_texture_filter(0, GL_LINEAR_MIPMAP_LINEAR, GL_LINEAR);
  auto at = [&](int x, int y, int stride) { return &buf[(static_cast<size_t>(y) * static_cast<size_t>(stride) + static_cast<size_t>(x)) * 4]; };
  while (w > h) {
    const int nw = w / 2;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < nw; ++x)
        for (int c = 0; c < 4; ++c) at(x, y, nw)[c] = static_cast<uint8_t>((at(2 * x, y, w)[c] + at(2 * x + 1, y, w)[c]) / 2);
    w = nw;
  }
  while (h > w) {
    const int nh = h / 2;
    for (int y = 0; y < nh; ++y)
      for (int x = 0; x < w; ++x)
        for (int c = 0; c < 4; ++c) at(x, y, w)[c] = static_cast<uint8_t>((at(x, 2 * y, w)[c] + at(x, 2 * y + 1, w)[c]) / 2);
    h = nh;
  }
  // Square from here on: both sides halve together.
  for (int level = 0;; ++level) {
    glTexImage2D(GL_TEXTURE_2D, level, GL_RGBA8, w, w, 0, GL_RGBA, GL_UNSIGNED_BYTE, buf.data());
    const int n = w / 2;
    if (n == 0) break;
    // Each new pixel weighs its own sample, the one to the right and the ones
    // two rows down; written in place, behind every sample still to be read.
    for (int y = 0; y < n; ++y) {
      for (int x = 0; x < n; ++x) {
        uint8_t px[4];
        const bool more_x = x < n - 1, more_y = y < n - 1;
        for (int c = 0; c < 4; ++c) {
          const int a = at(2 * x, 2 * y, w)[c];
          if (more_x && more_y) {
            const int b = at(2 * x + 1, 2 * y, w)[c], cc = at(2 * x + 1, 2 * y + 2, w)[c], d = at(2 * x, 2 * y + 2, w)[c];
            px[c] = static_cast<uint8_t>((4 * a + 2 * b + 2 * cc + d) / 9);
          } else if (more_x) {
            px[c] = static_cast<uint8_t>((2 * a + at(2 * x + 1, 2 * y, w)[c]) / 3);
          } else if (more_y) {
            px[c] = static_cast<uint8_t>((2 * a + at(2 * x, 2 * y + 2, w)[c]) / 3);
          } else {
            px[c] = static_cast<uint8_t>(a);
          }
        }
        std::memcpy(at(x, y, n), px, 4);
      }
    }
    w = n;
  }
}

}  // namespace

bool upload_texture(const ImageBuffer& image, int x0, int y0, int w, int h, SpriteRecord& record,
                    uint32_t* mip_target, bool bump, bool nearest) {
  if (!rt.renderer) return false;
  GlState& gl = rt.renderer->gl;
  GLint max_size = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &max_size);
  if (w == 0) w = image.width - x0;
  if (h == 0) h = image.height - y0;
  if (w < 1 || h < 1) return false;
  if (max_size > 0) {
    if (w > max_size) w = max_size;
    if (h > max_size) h = max_size;
  }
  const int tw = texture_side(w), th = texture_side(h);
  std::vector<uint8_t> buf(static_cast<size_t>(tw) * static_cast<size_t>(th) * 4, 0);
  const int x_end = std::min(x0 + tw, image.width), y_end = std::min(y0 + th, image.height);
  for (int y = std::max(y0, 0); y < y_end; ++y) {
    if (y - y0 >= h) break;
    const int row = h - 1 - (y - y0);  // the image turns bottom-up
    for (int x = std::max(x0, 0); x < x_end; ++x) {
      if (x - x0 >= w) break;
      std::memcpy(&buf[(static_cast<size_t>(row) * static_cast<size_t>(tw) + static_cast<size_t>(x - x0)) * 4],
                  image.pixel(x, y), 4);
    }
  }
  rt.renderer->flush();
  set_pixel_store();
  gl.select_unit(0);
  if (record.texture) {
    // The same name is used again for the new texture.
    GLuint name = record.texture;
    gl.delete_texture(name);
    gl.bind_texture(0, record.texture);
  } else {
    record.texture = gl.create_texture();
  }
  gl.set_texture_wrap(0, GL_REPEAT);
  gl.set_texture_filter(0, nearest ? GL_NEAREST : GL_LINEAR);
  if (bump) {
    std::vector<uint8_t> normals(buf.size());
    make_normal_map(buf.data(), normals.data(), tw, th);
    buf.swap(normals);
  }
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, tw, th, 0, GL_RGBA, GL_UNSIGNED_BYTE, buf.data());
  if (mip_target) upload_mipmaps(gl, std::move(buf), tw, th, mip_target);
  return true;
}

// ---------------------------------------------------------------------------
// [SECTION] Loading and deleting

void delete_sprite(int n) {
  SpriteRecord* r = sprite_record(n);
  if (!r) return;
  GlState& gl = rt.renderer->gl;  // it flushes what is collected: those quads may use the texture
  gl.delete_texture(r->texture);
  gl.delete_texture(r->mipmapped_texture);
  r->texture_width = r->texture_height = -1;
  r->image_width = r->image_height = 0;
  r->u_max = r->v_max = 1.0f;
  rt.renderer->alpha_masks.free(n);
  rt.renderer->bind_sprite(-1);
}

void delete_all_sprites() {
  if (!rt.renderer || !rt.renderer->sprites) return;
  for (int n = 0; n < kSpriteCount; ++n)
    if (rt.renderer->sprites[n].texture || rt.renderer->sprites[n].mipmapped_texture) delete_sprite(n);
}

bool create_sprite_texture(int n, const ImageBuffer& image, bool bump) {
  SpriteRecord* r = sprite_record(n);
  if (!r) return false;
  delete_sprite(n);
  if (image.width <= 0 || image.height <= 0) return false;
  // A picture larger than the GPU can hold is refused rather than cut.
  GLint max_size = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &max_size);
  if (max_size > 0 && (image.width > max_size || image.height > max_size)) return false;
  const bool font_slot = n >= kFirstFontSprite;
  const bool ok = upload_texture(image, 0, 0, 0, 0, *r, font_slot ? nullptr : &r->mipmapped_texture,
                                 bump && !font_slot, font_slot);
  r->texture_width = texture_side(image.width);
  r->texture_height = texture_side(image.height);
  r->image_width = image.width;
  r->image_height = image.height;
  r->u_max = static_cast<float>(image.width) / static_cast<float>(texture_side(image.width));
  r->v_max = static_cast<float>(image.height) / static_cast<float>(texture_side(image.height));
  if (!ok) {
    delete_sprite(n);
    return false;
  }
  rebuild_surface_of_sprite(n);  // a surface drawing into n draws into the new texture
  return true;
}

bool load_sprite_file(int n, const RtString& resolved_name, int32_t colour_key, bool bump) {
  delete_sprite(n);
  ImageBuffer image;
  if (!read_image(image, resolved_name, colour_key)) return false;
  if (image.own_alpha == 0) bleed_transparent(image);
  return create_sprite_texture(n, image, bump);
}

bool read_sprite_pixels(int n, ImageBuffer& out) {
  const SpriteRecord* r = sprite_record(n);
  if (!r || !r->texture || r->image_width <= 0 || r->image_height <= 0) return false;
  std::vector<uint8_t> tex(static_cast<size_t>(r->texture_width) * static_cast<size_t>(r->texture_height) * 4);
  GlState& gl = rt.renderer->gl;
  rt.renderer->flush();
  gl.select_unit(0);
  gl.bind_texture(0, r->texture);
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, tex.data());
  if (!out.size_to(r->image_width, r->image_height)) return false;
  for (int y = 0; y < r->image_height; ++y) {
    const int row = r->image_height - 1 - y;
    std::memcpy(out.pixel(0, y), &tex[static_cast<size_t>(row) * static_cast<size_t>(r->texture_width) * 4],
                static_cast<size_t>(r->image_width) * 4);
  }
  out.own_alpha = 1;
  return true;
}

}  // namespace mxt

// ---------------------------------------------------------------------------
// [SECTION] Commands

using namespace mxt;

namespace {

int32_t colour_key() { return rt.renderer ? rt.renderer->colour_key : 0x8000FF; }

// Resolves a name through the file layer; false when it is not found.
bool resolve(const RtString& name, RtString& resolved) {
  resolved = name;
  return !resolved.empty() && mxt_resolve_file(resolved);
}

void fill_array(RtArray<int32_t>& pixels, const ImageBuffer& image) {
  const int64_t count = static_cast<int64_t>(image.width) * image.height;
  if (count <= 0) return;
  dim_exact(pixels, static_cast<int>(count));
  if (pixels.count < count) return;
  for (int64_t i = 0; i < count; ++i) {
    const uint8_t* p = image.pixels + i * 4;
    pixels.data[i] = static_cast<int32_t>(static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
                                          static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24);
  }
}

}  // namespace

void mxt_load_sprite(const RtString& name, int n) {
  clear_last_error();
  delete_sprite(n);
  if (name.empty()) return;
  RtString resolved;
  if (!resolve(name, resolved) || !load_sprite_file(n, resolved, colour_key(), false)) report_error(RuntimeError::file_not_found);
}

void mxt_load_anim(const RtString& name, int n, int frame_width, int frame_height) {
  mxt_load_sprite(name, n);
  mxt_set_anim_size(n, frame_width, frame_height);
}

void mxt_set_anim_size(int n, int frame_width, int frame_height) {
  SpriteRecord* r = sprite_record(n);
  if (!r || r->image_width <= 0) return;
  r->frame_width = frame_width;
  r->frame_height = frame_height;
}

void mxt_load_bump_sprite(const RtString& name, int n) {
  clear_last_error();
  delete_sprite(n);
  RtString resolved;
  if (!resolve(name, resolved) || !load_sprite_file(n, resolved, colour_key(), true)) report_error(RuntimeError::file_not_found);
}

void mxt_set_transparency(int colour) {
  if (!rt.renderer) return;
  rt.renderer->colour_key = colour;
  rt.renderer->font_colour_key = colour;
}

void mxt_sprite_size(int n, int& width, int& height) {
  const SpriteRecord* r = sprite_record(n);
  width = r ? r->image_width : 0;
  height = r ? r->image_height : 0;
}

void mxt_sprite_size(double n, double& width, double& height) {
  int w = 0, h = 0;
  if (n >= 0 && n < kSpriteCount) mxt_sprite_size(static_cast<int>(n), w, h);
  width = w;
  height = h;
}

int mxt_sprite_texture(int n) {
  const SpriteRecord* r = sprite_record(n);
  return r ? static_cast<int>(r->texture) : 0;
}

int mxt_free_sprite() {
  for (int n = kScratchSprite; n >= 0; --n) {
    const SpriteRecord* r = sprite_record(n);
    if (r && r->image_width == 0) return n;
  }
  return -1;
}

bool mxt_sprite_from_array(const RtArray<int32_t>& pixels, int n, int width, int height) {
  if (width < 0 || height < 0 || static_cast<int64_t>(width) * height != pixels.count) return false;
  (void)pixels.at(0);  // an empty array ends the program through the bounds report
  ImageBuffer image;
  if (!image.size_to(width, height)) return false;
  for (int32_t i = 0; i < pixels.count; ++i) {
    const uint32_t v = static_cast<uint32_t>(pixels.data[i]);
    uint8_t* p = image.pixels + static_cast<size_t>(i) * 4;
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
    p[3] = static_cast<uint8_t>(v >> 24);
  }
  image.own_alpha = 1;
  return create_sprite_texture(n, image, false);
}

bool mxt_sprite_to_array(RtArray<int32_t>& pixels, int n) {
  const SpriteRecord* r = sprite_record(n);
  if (!r || static_cast<int64_t>(r->image_width) * r->image_height <= 0) return false;
  ImageBuffer image;
  if (!read_sprite_pixels(n, image)) return false;
  fill_array(pixels, image);
  return true;
}

bool mxt_load_image_array(const RtString& name, int& width, int& height, RtArray<int32_t>& pixels) {
  clear_last_error();
  RtString resolved;
  if (!resolve(name, resolved)) {
    report_error(RuntimeError::file_not_found);
    return false;
  }
  ImageBuffer image;
  if (!read_image(image, resolved, colour_key())) {
    report_error(RuntimeError::file_not_found);  // a file that does not decode, as for sprites
    return false;
  }
  if (image.own_alpha == 0) bleed_transparent(image);
  width = image.width;
  height = image.height;
  fill_array(pixels, image);
  return true;
}
