// Pixel-exact collision over alpha masks read back from the textures.
#include "runtime/gfx2d/collision.h"

#include <algorithm>

#include "runtime/base/singletons.h"
#include "runtime/gfx2d/gfx2d.h"
#include "runtime/gfx2d/renderer.h"
#include "runtime/gfx2d/sprites.h"

namespace mxt {

// ---------------------------------------------------------------------------
// The cache

const AlphaMask* AlphaMaskCache::mask_of(int n) {
  const SpriteRecord* rec = sprite_record(n);
  if (!rec) return nullptr;
  if (!masks_) masks_ = std::make_unique<AlphaMask[]>(kSpriteCount);
  AlphaMask& m = masks_[static_cast<size_t>(n)];
  if (m.bytes) return &m;
  VuduRODoverore& r = *rt.renderer;
  GLint w = 0, h = 0;
  if (rec->texture) {
    r.flush();
    r.gl.select_unit(0);
    r.gl.bind_texture(0, rec->texture);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &h);
  }
  const size_t count = static_cast<size_t>(std::max(w, 0)) * static_cast<size_t>(std::max(h, 0));
  m.bytes = std::make_unique<uint8_t[]>(std::max<size_t>(count, 64));
  if (count > 0) {
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_ALPHA, GL_UNSIGNED_BYTE, m.bytes.get());
    m.width = w;
    m.height = h;
  } else {
    m.width = m.height = 0;  // an empty sprite: nothing is ever opaque
  }
  return &m;
}

void AlphaMaskCache::free(int n) {
  if (masks_ && n >= 0 && n < kSpriteCount) masks_[static_cast<size_t>(n)] = AlphaMask{};
}

void AlphaMaskCache::free_all() { masks_.reset(); }

// ---------------------------------------------------------------------------
// The test

bool masks_overlap(const AlphaMask& a, int a_height, int ax, int ay, const AlphaMask& b, int b_height, int bx,
                   int by, int left, int top, int right, int bottom) {
  if (left >= right || top >= bottom) return false;
  // The columns where both masks have bytes; outside them every byte is 0.
  const int lo = std::max({left, ax, bx});
  const int hi = std::min({right, ax + a.width, bx + b.width});
  auto row_of = [](const AlphaMask& m, int image_height, int origin_y, int y) -> const uint8_t* {
    const int row = image_height - 1 - (y - origin_y);
    if (row < 0 || row >= m.height) return nullptr;
    return m.bytes.get() + static_cast<size_t>(row) * static_cast<size_t>(m.width);
  };
  // Columns from `first` (of its parity) to hi, two apart.
  auto row_hits = [&](int y, int first) {
    const uint8_t* ra = row_of(a, a_height, ay, y);
    const uint8_t* rb = row_of(b, b_height, by, y);
    if (!ra || !rb) return false;
    if (first < lo) first += (lo - first + 1) & ~1;
    ra -= ax;
    rb -= bx;
    for (int x = first; x < hi; x += 2)
      if (ra[x] && rb[x]) return true;
    return false;
  };

  const int cx = left + (right - left) / 2, cy = top + (bottom - top) / 2;
  if (cx >= lo && cx < hi) {
    const uint8_t* ra = row_of(a, a_height, ay, cy);
    const uint8_t* rb = row_of(b, b_height, by, cy);
    if (ra && rb && ra[cx - ax] && rb[cx - bx]) return true;
  }
  if (lo >= hi) return false;
  for (int pass = 0; pass < 4; ++pass) {
    const int row_start = top + (pass >> 1), column_start = left + (pass & 1);
    for (int y = row_start; y < bottom; y += 2)
      if (row_hits(y, column_start)) return true;
  }
  return false;
}

bool pixel_test(int a, int ax, int ay, int b, int bx, int by, int left, int top, int right, int bottom) {
  VuduRODoverore* r = rt.renderer;
  if (!r || left >= right || top >= bottom) return false;
  const AlphaMask* ma = r->alpha_masks.mask_of(a);
  const AlphaMask* mb = r->alpha_masks.mask_of(b);
  if (!ma || !mb) return false;
  return masks_overlap(*ma, sprite_record(a)->image_height, ax, ay, *mb, sprite_record(b)->image_height, bx, by, left,
                       top, right, bottom);
}

}  // namespace mxt

using namespace mxt;

namespace {

// Positions far outside any screen are refused before their sums could
// overflow; nothing there can be drawn, so nothing there collides.
constexpr int64_t kFarAway = int64_t{1} << 30;
bool in_reach(int64_t v) { return v > -kFarAway && v < kFarAway; }

struct Box {
  int64_t column_offset = 0, row_offset = 0, w = 0, h = 0;
};

Box frame_box(const SpriteRecord& rec, int frame) {
  Box box{0, 0, rec.image_width, rec.image_height};
  if (rec.frame_width != 0) {
    const int64_t per_row = std::max(1, rec.image_width / rec.frame_width);
    box = {int64_t{rec.frame_width} * (frame % per_row), int64_t{rec.frame_height} * (frame / per_row),
           rec.frame_width, rec.frame_height};
  }
  return box;
}

bool boxes_collide(int a, int64_t ax, int64_t ay, const Box& ba, int b, int64_t bx, int64_t by, const Box& bb) {
  const int64_t left = std::max(ax, bx), right = std::min(ax + ba.w, bx + bb.w);
  const int64_t top = std::max(ay, by), bottom = std::min(ay + ba.h, by + bb.h);
  if (right < left || bottom < top) return false;
  const int64_t sax = ax - ba.column_offset, say = ay - ba.row_offset;
  const int64_t sbx = bx - bb.column_offset, sby = by - bb.row_offset;
  for (int64_t v : {left, right, top, bottom, sax, say, sbx, sby})
    if (!in_reach(v)) return false;
  return pixel_test(a, static_cast<int>(sax), static_cast<int>(say), b, static_cast<int>(sbx), static_cast<int>(sby),
                    static_cast<int>(left), static_cast<int>(top), static_cast<int>(right), static_cast<int>(bottom));
}

}  // namespace

bool mxt_sprite_collision(int a, int ax, int ay, int b, int bx, int by) {
  const SpriteRecord* ra = sprite_record(a);
  const SpriteRecord* rb = sprite_record(b);
  if (!ra || !rb) return false;
  return boxes_collide(a, ax, ay, Box{0, 0, ra->image_width, ra->image_height}, b, bx, by,
                       Box{0, 0, rb->image_width, rb->image_height});
}

bool mxt_anim_collision(int a, int frame_a, int ax, int ay, int b, int frame_b, int bx, int by) {
  const SpriteRecord* ra = sprite_record(a);
  const SpriteRecord* rb = sprite_record(b);
  if (!ra || !rb) return false;
  return boxes_collide(a, ax, ay, frame_box(*ra, frame_a), b, bx, by, frame_box(*rb, frame_b));
}
