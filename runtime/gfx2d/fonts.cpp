// Fonts: measuring and loading font images, and the text commands.
//
// [SECTION] Cells and metrics
// [SECTION] Loading
// [SECTION] The text buffer
// [SECTION] Commands
#include "runtime/gfx2d/fonts.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "runtime/base/errors.h"
#include "runtime/base/singletons.h"
#include "runtime/files/files.h"
#include "runtime/gfx2d/gfx2d.h"
#include "runtime/gfx2d/image.h"
#include "runtime/gfx2d/renderer.h"
#include "runtime/gfx2d/sprites.h"

namespace mxt {

// ---------------------------------------------------------------------------
// [SECTION] Cells and metrics

FontLayout font_layout(int image_width, int image_height) {
  FontLayout l;
  if (image_width < image_height) {
    l.characters = 256;
    l.rows = 16;
  }
  l.cell_width = image_width > 0 ? image_width / 16 : 0;
  l.cell_height = image_height > 0 ? image_height / l.rows : 0;
  return l;
}

namespace {

bool column_inked(const ImageBuffer& image, int x, int y0, int height) {
  for (int y = y0; y < y0 + height; ++y)
    if (image.pixel(x, y)[3] != 0) return true;
  return false;
}

}  // namespace

bool measure_font(const ImageBuffer& image, int texture_width, GlyphRecord (&glyphs)[256]) {
  const FontLayout l = font_layout(image.width, image.height);
  if (l.cell_width < 1 || l.cell_height < 1 || texture_width < 1 || !image.pixels) return false;
  const int cw = l.cell_width, ch = l.cell_height;
  const float tw = static_cast<float>(texture_width);
  for (int c = 0; c < l.characters; ++c) {
    const int x0 = cw * (c % 16), y0 = ch * (c / 16);
    int left = 0;
    while (left < cw && !column_inked(image, x0 + left, y0, ch)) ++left;
    GlyphRecord& g = glyphs[c];
    if (left == cw) {
      // Nothing inked: a blank the width of the cell.
      g.left = 0;
      g.width = static_cast<uint16_t>(cw);
    } else {
      int right = cw - 1;
      while (right > left && !column_inked(image, x0 + right, y0, ch)) --right;
      int width = right - left + 1;
      if (left + width < cw) ++width;  // a column of spacing where the cell has room
      g.left = static_cast<uint16_t>(left);
      g.width = static_cast<uint16_t>(width);
    }
    g.u_left = static_cast<float>(x0 + g.left) / tw;
    g.u_right = static_cast<float>(x0 + g.left + g.width) / tw;
    if (c == 'j') {
      // The space is as wide as "j", taken from the start of its own cell
      // (column 0 of its row).
      GlyphRecord& space = glyphs[static_cast<size_t>(' ')];
      space.width = g.width;
      space.u_left = 0;
      space.u_right = g.u_right - g.u_left;
    }
  }
  if (l.characters == 128)
    for (int c = 0; c < 128; ++c) glyphs[c + 128] = glyphs[c];
  return true;
}

// ---------------------------------------------------------------------------
// [SECTION] Loading

bool load_font_file(int f, const RtString& resolved_name) {
  VuduRODoverore* r = rt.renderer;
  if (!r || f < 0 || f >= kFontSlots) return false;
  const int n = kFirstFontSprite + f;
  r->font_scale[f] = 1.0f;
  ImageBuffer image;
  GlyphRecord measured[256];
  // JPEG is not tried: its blur would put ink in every cell. Font images get
  // no colour bleed either; nearest filtering never samples a hidden colour.
  if (!read_image(image, resolved_name, r->font_colour_key, false) ||
      !measure_font(image, texture_side(image.width), measured)) {
    delete_sprite(n);
    return false;
  }
  if (!create_sprite_texture(n, image, false)) return false;  // it left the number free
  std::memcpy(r->glyphs[f], measured, sizeof measured);
  return true;
}

// ---------------------------------------------------------------------------
// [SECTION] The text buffer

bool TextBuffer::grow(int64_t n) {
  if (capacity > n) return true;
  const int64_t fresh = batch_capacity_for(n);
  if (fresh < 0) {
    release();
    return false;
  }
  auto* block = static_cast<TextVertex*>(std::malloc(static_cast<size_t>(fresh) * sizeof(TextVertex)));
  if (!block) {
    release();
    return false;
  }
  // A print fills the buffer from the start, so nothing is carried over.
  std::free(vertices);
  vertices = block;
  count = 0;
  capacity = static_cast<int32_t>(fresh);
  return true;
}

void TextBuffer::release() {
  std::free(vertices);
  *this = TextBuffer{};
}

}  // namespace mxt

// ---------------------------------------------------------------------------
// [SECTION] Commands

using namespace mxt;

namespace {

bool valid_slot(int f) { return f >= 0 && f < kFontSlots; }

// The current font's record, or null when no font can print (no renderer,
// or a slot without an image).
const SpriteRecord* current_font_image() {
  const VuduRODoverore* r = rt.renderer;
  if (!r) return nullptr;
  const SpriteRecord* rec = sprite_record(kFirstFontSprite + r->current_font);
  if (!rec || !rec->texture || rec->image_width <= 0 || rec->image_height <= 0) return nullptr;
  return rec;
}

// The bytes of a text that print: up to the first that stands for code 0 in
// a font of `characters` codes.
uint32_t printable_length(const RtString& text, int characters) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data);
  uint32_t i = 0;
  while (i < text.length && bytes[i] % characters != 0) ++i;
  return i;
}

// Pixels as the game reads them: truncated toward zero, within int.
int truncate_pixels(double v) {
  if (!(v > -2147483648.0)) return v != v ? 0 : INT32_MIN;
  if (v >= 2147483647.0) return INT32_MAX;
  return static_cast<int>(v);
}

}  // namespace

void mxt_load_font(const RtString& name, int f) {
  clear_last_error();
  VuduRODoverore* r = rt.renderer;
  if (!r) return;
  if (!valid_slot(f)) {
    if (!name.empty()) report_error(RuntimeError::out_of_memory);  // the runtime's code for a number out of range
    return;
  }
  if (name.empty()) {
    // An empty name deletes the font; its metrics stay as they were.
    r->font_scale[f] = 1.0f;
    delete_sprite(kFirstFontSprite + f);
    return;
  }
  r->current_font = f;
  r->font_scale[f] = 1.0f;
  RtString resolved = name;
  if (mxt_resolve_file(resolved) && load_font_file(f, resolved)) return;
  report_error(RuntimeError::file_not_found);
  install_builtin_font(f);  // the slot always holds a font that prints
}

void mxt_set_font(int f, double scale) {
  VuduRODoverore* r = rt.renderer;
  if (!r) return;
  if (!valid_slot(f)) {
    report_error(RuntimeError::out_of_memory);
    return;
  }
  r->current_font = f;
  r->font_scale[f] = static_cast<float>(scale);
}

int mxt_get_font() { return rt.renderer ? rt.renderer->current_font : 0; }

void mxt_print(const RtString& text, double x, double y, int proportional) {
  VuduRODoverore* r = rt.renderer;
  const SpriteRecord* rec = current_font_image();
  if (!r || !rec || text.empty()) return;
  const int f = r->current_font;
  const FontLayout l = font_layout(rec->image_width, rec->image_height);
  const uint32_t length = printable_length(text, l.characters);
  if (length == 0) return;
  TextBuffer& buf = r->text;
  if (!buf.grow(int64_t{4} * length)) return;  // a text too long for any screen prints nothing

  // What was drawn before the text reaches GL before it.
  r->flush();
  r->bind_sprite(kFirstFontSprite + f);
  r->gl.set_texture_filter(0, GL_NEAREST);  // text is never smoothed, whatever drew the image last

  const float s = r->font_scale[f];
  const float cw = static_cast<float>(l.cell_width) * s, ch = static_cast<float>(l.cell_height) * s;
  const float tw = static_cast<float>(rec->texture_width), th = static_cast<float>(rec->texture_height);
  const float du = static_cast<float>(l.cell_width) / tw;
  const float dv = static_cast<float>(l.cell_height) / th;
  float X = static_cast<float>(std::ceil(x));
  const float T = static_cast<float>(std::ceil(y)), B = T + ch;
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data);
  const GlyphRecord* glyphs = r->glyphs[f];
  TextVertex* v = buf.vertices;
  for (uint32_t i = 0; i < length; ++i) {
    const int k = bytes[i] % l.characters;
    const int row = k / 16;
    // Texture rows run bottom-up: cell row 0 is at the top of the image.
    const float vb = static_cast<float>(rec->image_height - (row + 1) * l.cell_height) / th;
    const float vt = vb + dv;
    float ul, ur, advance;
    if (proportional) {
      ul = glyphs[k].u_left;
      ur = glyphs[k].u_right;
      advance = static_cast<float>(glyphs[k].width) * s;
    } else {
      ul = static_cast<float>(k % 16) * du;
      ur = ul + du;
      advance = cw;
    }
    *v++ = {X, B, 0, ul, vb};
    *v++ = {X, T, 0, ul, vt};
    X += advance;
    *v++ = {X, B, 0, ur, vb};
    *v++ = {X, T, 0, ur, vt};
  }
  buf.count = static_cast<int32_t>(v - buf.vertices);

  // One strip for the whole text: neighbouring characters share their edge,
  // so the triangles joining them have no area.
  glEnableClientState(GL_VERTEX_ARRAY);
  glVertexPointer(3, GL_FLOAT, sizeof(TextVertex), &buf.vertices[0].x);
  glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  glTexCoordPointer(2, GL_FLOAT, sizeof(TextVertex), &buf.vertices[0].u);
  r->gl.draw_arrays(GL_TRIANGLE_STRIP, 0, buf.count);
  glDisableClientState(GL_TEXTURE_COORD_ARRAY);
  glDisableClientState(GL_VERTEX_ARRAY);
}

int mxt_text_width(const RtString& text, int proportional) {
  const VuduRODoverore* r = rt.renderer;
  const SpriteRecord* rec = current_font_image();
  if (!r || !rec) return 0;
  const int f = r->current_font;
  const FontLayout l = font_layout(rec->image_width, rec->image_height);
  // The width of what mxt_print draws: up to the same stop.
  const uint32_t length = printable_length(text, l.characters);
  int64_t sum = 0;
  if (proportional) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data);
    for (uint32_t i = 0; i < length; ++i) sum += r->glyphs[f][bytes[i]].width;
  } else {
    sum = int64_t{length} * l.cell_width;
  }
  // In single precision, as printing advances the pen: 10 characters at 0.7
  // measure 7, not 6.
  return truncate_pixels(static_cast<double>(static_cast<float>(sum) * r->font_scale[f]));
}

void mxt_font_size(double& width, double& height) {
  width = height = 0;
  const VuduRODoverore* r = rt.renderer;
  const SpriteRecord* rec = r ? sprite_record(kFirstFontSprite + r->current_font) : nullptr;
  if (!rec) return;
  const FontLayout l = font_layout(rec->image_width, rec->image_height);
  const float s = r->font_scale[r->current_font];
  width = static_cast<double>(static_cast<float>(l.cell_width) * s);
  height = static_cast<double>(static_cast<float>(l.cell_height) * s);
}

void mxt_font_size(int& width, int& height) {
  double w = 0, h = 0;
  mxt_font_size(w, h);
  width = truncate_pixels(w);
  height = truncate_pixels(h);
}

int mxt_free_font() {
  for (int f = kFontSlots - 1; f >= 0; --f) {
    const SpriteRecord* rec = sprite_record(kFirstFontSprite + f);
    if (rec && rec->image_width < 16) return f;
  }
  return -1;
}
