// The sprite store: numbered images held as OpenGL textures. Sprite numbers
// 0..65535 are the program's choice; an animation strip is a sprite with a
// frame size. 65504..65535 are the 32 font slots, 65503 the scratch sprite of
// the offscreen-surface fallback.
//
// Every texture is a power of two (at least 16) in each direction; the image
// sits in its bottom-left corner, bottom row first, so (u max, v max) is the
// image's top-right corner. Loading into a number always empties it first, so
// a failed load leaves the number free. Files are found through the file
// layer (disk first, then the media archive) and decoded by content.
#pragma once

#include <cstdint>

#include "runtime/types/rtarray.h"
#include "runtime/types/rtstring.h"

namespace mxt {

struct ImageBuffer;

struct SpriteRecord {
  uint32_t texture = 0;             // GL texture name, 0 = none
  uint32_t mipmapped_texture = 0;   // square mipmapped copy for 3D drawing, 0 = none
  float u_max = 0;                  // image width / texture width
  float v_max = 0;                  // image height / texture height
  int16_t texture_width = 0;
  int16_t texture_height = 0;
  int16_t image_width = 0;          // 0 = the number is free
  int16_t image_height = 0;
  int16_t frame_width = 0;          // 0 = not an animation strip
  int16_t frame_height = 0;
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

// ---------------------------------------------------------------------------
// Commands

void mxt_load_sprite(const RtString& name, int n);                  // error 3 when missing or undecodable
void mxt_load_anim(const RtString& name, int n, int frame_width, int frame_height);
void mxt_set_anim_size(int n, int frame_width, int frame_height);   // only for a loaded sprite
void mxt_load_bump_sprite(const RtString& name, int n);             // as a normal map from its blue channel
void mxt_set_transparency(int colour);                              // colour key 0xBBGGRR for loading
void mxt_sprite_size(int n, int& width, int& height);               // image size; 0 x 0 when free
void mxt_sprite_size(double n, double& width, double& height);
int mxt_sprite_texture(int n);                                      // GL texture name
int mxt_free_sprite();                                              // highest free number below 65504; -1 none
bool mxt_sprite_from_array(const RtArray<int32_t>& pixels, int n, int width, int height);  // 0xAABBGGRR
bool mxt_sprite_to_array(RtArray<int32_t>& pixels, int n);          // 0xAABBGGRR, top row first
bool mxt_load_image_array(const RtString& name, int& width, int& height, RtArray<int32_t>& pixels);
