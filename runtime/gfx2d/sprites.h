// The sprite store: numbered images held as OpenGL textures. Sprite numbers
// 0..65535 are the program's choice; an animation strip is a sprite with a
// frame size. 65504..65535 are the 32 font slots, 65503 the scratch sprite of
// the offscreen-surface fallback.
//
// Every texture is a power of two (at least 16) in each direction; the image
// sits in its bottom-left corner, bottom row first, so (u max, v max) is the
// image's top-right corner. Loading into a number always empties it first, so
// a failed load leaves the number free. Files are found through the file
// layer (disk first, then the media archive) and decoded by content. The
// commands are in gfx2d.h.
#pragma once

#include <cstdint>

#include "runtime/types/rtstring.h"

namespace mxt {

struct ImageBuffer;

struct SpriteRecord {
  uint32_t texture = 0;             // GL texture name, 0 = none
  uint32_t mipmapped_texture = 0;   // square mipmapped copy for 3D drawing, 0 = none
  float u_max = 0;                  // image width / texture width
  float v_max = 0;                  // image height / texture height
  // Wide enough for the largest texture any driver allows.
  int32_t texture_width = 0;
  int32_t texture_height = 0;
  int32_t image_width = 0;          // 0 = the number is free
  int32_t image_height = 0;
  int32_t frame_width = 0;          // 0 = not an animation strip
  int32_t frame_height = 0;
};

constexpr int kSpriteCount = 65537;
constexpr int kFirstFontSprite = 65504;
constexpr int kScratchSprite = 65503;

// The record of a sprite number, or null outside 0..65536.
SpriteRecord* sprite_record(int n);

// The smallest power of two that holds n, and at least 16.
int texture_side(int n);

// Texture upload with the runtime's layout; the mipmapped copy only when a
// target is given. False for an empty region.
bool upload_texture(const ImageBuffer& image, int x0, int y0, int w, int h, SpriteRecord& record,
                    uint32_t* mip_target, bool bump, bool nearest);
bool create_sprite_texture(int n, const ImageBuffer& image, bool bump);
void delete_sprite(int n);
bool load_sprite_file(int n, const RtString& resolved_name, int32_t colour_key, bool bump);
void delete_all_sprites();

// The image's pixels read back from a sprite's texture (RGBA, top row first).
bool read_sprite_pixels(int n, ImageBuffer& out);

// A normal map from the blue channel as height (rows as stored, wrapping).
void make_normal_map(const uint8_t* in, uint8_t* out, int width, int height);

}  // namespace mxt
