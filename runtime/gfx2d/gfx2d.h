// 2D graphics: the command sheet.
//
// Drawing goes to the logical screen: pixels, origin top-left, y down, after
// the viewport, the virtual resolution and the orientation. Sprites are
// numbered images 0..65535 chosen by the game (65504 and up belong to the
// font slots); an animation strip is a sprite cut into frames of one size.
// Images load from disk or the media archive as BMP, PNG or JPEG, found by
// content. A sprite that is missing or does not decode records error 3 and
// leaves its number free, so drawing it draws nothing. Colours are 0xBBGGRR;
// the colour key 0x8000FF is transparent in loaded images and draws with
// alpha 0. Angles are degrees, counter-clockwise.
#pragma once

#include <cstdint>

#include "runtime/types/types.h"

// ---------------------------------------------------------------------------
// Screen and clearing

void mxt_set_clear_colour(int colour);                            // 0xBBGGRR each frame starts with; -1 switches clearing off
                                                                  // [cannot fail]

// ---------------------------------------------------------------------------
// Sprite store

void mxt_load_sprite(const RtString& name, int n);                // the image as sprite n; "" only frees n
                                                                  // [fails: n left free, error 3]
void mxt_load_anim(const RtString& name, int n, int frame_width, int frame_height);  // a strip of frames of that size
                                                                  // [fails: n left free, error 3]
void mxt_set_anim_size(int n, int frame_width, int frame_height); // only for a loaded sprite [fails: does nothing]
void mxt_load_bump_sprite(const RtString& name, int n);           // as a normal map from its blue channel
                                                                  // [fails: n left free, error 3]
void mxt_set_transparency(int colour);                            // colour key 0xBBGGRR for loading [cannot fail]
void mxt_sprite_size(int n, int& width, int& height);             // image size; 0 x 0 when free [cannot fail]
void mxt_sprite_size(double n, double& width, double& height);    // the same as numbers [cannot fail]
int mxt_sprite_texture(int n);                                    // GL texture name; 0 when free [cannot fail]
int mxt_free_sprite();                                            // highest free number below 65504 [fails: -1]
bool mxt_sprite_from_array(const RtArray<int32_t>& pixels, int n, int width, int height);  // from 0xAABBGGRR pixels
                                                                  // [fails: false; fatal, error 9 for an empty array]
bool mxt_sprite_to_array(RtArray<int32_t>& pixels, int n);        // 0xAABBGGRR, top row first
                                                                  // [fails: false, pixels untouched]
bool mxt_load_image_array(const RtString& name, int& width, int& height, RtArray<int32_t>& pixels);  // a file's pixels
                                                                  // [fails: false, error 3]

// ---------------------------------------------------------------------------
// Sprites and frames

void mxt_draw_sprite(int n, int x, int y);                        // top-left at (x, y) [fails: draws nothing]
void mxt_stretch_sprite(int n, int x, int y, int width, int height);  // negative sizes mirror [fails: draws nothing]
void mxt_zoom_sprite(int n, int x, int y, double factor_x, double factor_y);  // about the centre [fails: draws nothing]
void mxt_rotate_sprite(int n, int x, int y, double angle);        // about the centre [fails: draws nothing]
void mxt_rotozoom_sprite(int n, int x, int y, double angle, double zoom);  // about the centre [fails: draws nothing]
void mxt_draw_anim(int n, int frame, int x, int y);               // one frame of a strip [fails: draws nothing]
void mxt_stretch_anim(int n, int frame, int x, int y, int width, int height);  // a frame to that size
                                                                  // [fails: draws nothing]
void mxt_rotozoom_anim(int n, int frame, int x, int y, double angle, double zoom);  // a frame about its centre
                                                                  // [fails: draws nothing]

// ---------------------------------------------------------------------------
// Blending and filtering

void mxt_set_alpha_mode(double value);                            // 0 opaque; > 0 additive; < 0 translucent; strength |value|
                                                                  // [cannot fail]
void mxt_set_alpha_test(double threshold);                        // hide texels with alpha <= threshold; >= 1 switches off
                                                                  // [cannot fail]
void mxt_set_smoothing(int on);                                   // linear (default) or nearest filtering [cannot fail]

// ---------------------------------------------------------------------------
// Lines, rectangles and polygons

void mxt_draw_line(int x1, int y1, int x2, int y2, int colour);   // both end pixels set [cannot fail]
void mxt_draw_dot(int x, int y, int colour);                      // one pixel [cannot fail]
void mxt_draw_rect(int x, int y, int width, int height, int colour);  // filled; negative sizes extend left/up
                                                                  // [cannot fail]
void mxt_start_poly(int sprite, int mode);                        // sprite -1: untextured; mode 0 fan, 1 triangles, 2 strip
                                                                  // [cannot fail]
void mxt_poly_vector(double x, double y, double texture_x, double texture_y, int colour);  // one vertex; texture in pixels
                                                                  // [fails: a batch past 2^26 vertices is dropped]
void mxt_poly_new_group();                                        // join strips with degenerate triangles
                                                                  // [fails: a batch past 2^26 vertices is dropped]
void mxt_end_poly();                                              // draws the batch with one GL call [cannot fail]

// ---------------------------------------------------------------------------
// Fonts and text
//
// 32 font slots, 0..31. A font image holds 16 character cells a row: as wide
// as high or wider, 128 characters in 8 rows (bytes 128..255 print as 0..127);
// narrower, 256 in 16 rows. Black is transparent in font images until
// mxt_set_transparency sets the key. Slot 0 starts with the built-in 8 x 8
// font, or with "Media/smalfont.png" (".bmp", or either beside the program)
// when there is one, at scale 1. Text prints with the current font, in the
// current alpha mode, never smoothed, from its top-left corner (rounded up to
// whole pixels), and stops at the first byte that stands for character 0.

void mxt_load_font(const RtString& name, int slot);               // slot becomes current at scale 1; "" deletes the font
                                                                  // [fails: the built-in font at scale 4, error 3;
                                                                  // fails: nothing loaded, error 7 for a slot outside 0..31]
void mxt_set_font(int slot, double scale);                        // current font and its size factor
                                                                  // [fails: nothing changes, error 7 for a slot outside 0..31]
int mxt_get_font();                                               // the current slot, 0..31 [cannot fail]
void mxt_print(const RtString& text, double x, double y, int proportional);  // monospaced, or each character as wide
                                                                  // as its ink (1) [fails: draws nothing]
int mxt_text_width(const RtString& text, int proportional);       // pixels mxt_print would advance [fails: 0]
void mxt_font_size(int& width, int& height);                      // cell size times scale, truncated [cannot fail]
void mxt_font_size(double& width, double& height);                // the same as numbers [cannot fail]
int mxt_free_font();                                              // highest slot without a font [fails: -1]

// ---------------------------------------------------------------------------
// Offscreen surfaces, grabs and backgrounds
//
// A surface (0..31) draws into a sprite: while it is in use every drawing
// command renders into that sprite, in the sprite's pixels (no virtual
// screen, no orientation); showing the frame ends it. Grabs copy screen
// pixels into a sprite. A background picture is drawn at the start of every
// frame instead of the clear colour, until mxt_set_clear_colour.

bool mxt_create_screen(int surface, int n, int width, int height);  // sprite n (made anew, transparent) as surface
                                                                  // [fails: false, n deleted]
void mxt_use_screen(int surface);                                 // draw into it; -1 the window [fails: the window]
int mxt_free_screen();                                            // highest surface number not in use [fails: -1]
void mxt_grab_sprite(int n, int x, int y, int width, int height); // screen rectangle into sprite n; size 0 deletes n
                                                                  // [cannot fail]
int mxt_get_pixel(int x, int y);                                  // 0xBBGGRR of the screen or surface drawn into
                                                                  // [fails: 0 outside]
bool mxt_save_sprite(const RtString& name, int n);                // PNG, JPEG or BMP by the name's extension
                                                                  // [fails: false, error 3]
bool mxt_save_screen(const RtString& name);                       // the window as shown, PNG, JPEG or BMP by extension
                                                                  // [fails: false, error 3]
void mxt_load_background(const RtString& name);                   // a picture drawn each frame instead of the clear
                                                                  // [fails: clears to black, error 3]
void mxt_grab_background();                                       // the screen as it is becomes the background
                                                                  // [fails: nothing changes without a free sprite]
bool mxt_preserve_textures(int restore);                          // 0: every sprite's pixels to a temporary file;
                                                                  // else: sprites made again from it, file removed
                                                                  // [fails: false when the file cannot be made or opened]

// ---------------------------------------------------------------------------
// Shader programs
//
// 255 slots (0..254) of GLSL pairs, read as files (disk, archive, memory
// names). The program in use draws what follows, sprites and text included,
// until the frame ends; each frame starts with none. Compile and link logs,
// and names a program does not have, go to the debug log. A fragment shader
// alone reads the sprite through gl_TexCoord[0] and the sampler uniform
// "TextureID1" (unit 0), and its colour and alpha through gl_Color.

bool mxt_load_shader(int slot, const RtString& vertex_file, const RtString& fragment_file);  // either name may be ""
                                                                  // [fails: false, the slot empty, the logs in the debug log]
void mxt_use_shader(int slot);                                    // the program drawing uses; -1 none [cannot fail]
void mxt_set_shader_float(const RtString& name, double value);    // a float uniform of the program in use
                                                                  // [fails: "undefined uniform:" and the name logged]
void mxt_set_shader_int(const RtString& name, int value);         // an int (or sampler) uniform of the program in use
                                                                  // [fails: "undefined uniform:" and the name logged]

// ---------------------------------------------------------------------------
// Pixel-exact collision
//
// Whether two sprites (or two frames of strips) drawn at those positions
// share a pixel that is not fully transparent in both. The first test of a
// sprite reads its alpha back from the GPU; later ones only look at memory.

bool mxt_sprite_collision(int a, int ax, int ay, int b, int bx, int by);  // images with top-left corners there
                                                                  // [fails: false]
bool mxt_anim_collision(int a, int frame_a, int ax, int ay, int b, int frame_b, int bx, int by);  // one frame of each
                                                                  // [fails: false]

// ---------------------------------------------------------------------------
// Viewport, virtual resolution and orientation

void mxt_set_viewport(int x, int y, int width, int height);       // logical units; width < 1: whole screen
                                                                  // [cannot fail]
void mxt_get_viewport(int& x, int& y, int& width, int& height);   // in logical units [cannot fail]
void mxt_get_viewport(double& x, double& y, double& width, double& height);  // unrounded [cannot fail]
void mxt_set_virtual_resolution(double width, double height);    // a fixed logical size, scaled and centred; (0, 0) off
                                                                  // [cannot fail]
void mxt_set_orientation(int quarter_turns);                      // clamped to 0..3 [cannot fail]
int mxt_get_orientation();                                        // quarter turns, 0..3 [cannot fail]
void mxt_screen_size(int& width, int& height);                    // the logical screen [cannot fail]
void mxt_screen_size(double& width, double& height);              // the same as numbers [cannot fail]
void mxt_desktop_size(int& width, int& height);                   // read when the window was made [cannot fail]
void mxt_desktop_size(double& width, double& height);             // the same as numbers [cannot fail]
