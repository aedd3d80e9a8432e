// Offscreen surfaces, screen grabs and the background slots.
//
// A surface couples one of 32 numbers with a sprite: while it is in use,
// every drawing command renders into that sprite's texture through a
// framebuffer object. Where the driver has no framebuffer objects (or the
// one asked for is already bound) the surface falls back to drawing on the
// window: the window's corner is saved into the scratch sprite, the surface's
// sprite drawn there, and when the surface ends the corner is copied back
// into the sprite and the window restored.
//
// Grabs copy window pixels into a sprite (a texture of the needed size is
// reused); the eight background slots hold sprites the frame presenter draws
// instead of clearing (slot 0), or that a command keeps for itself (text
// entry keeps the screen it started on in slot 3). The commands are in gfx2d.h.
#pragma once

#include <cstdint>

namespace mxt {

struct ImageBuffer;

constexpr int kSurfaceCount = 32;
constexpr int kBackgroundSlots = 8;
constexpr int kTextEntryBackground = 3;  // the slot text entry keeps its screen in

struct SurfaceRecord {
  uint32_t framebuffer = 0;   // GL framebuffer name, 0 = none
  uint32_t depth_buffer = 0;  // GL renderbuffer name, 0 = none
  int32_t saved_binding = -1; // the binding to restore when unbound; -1 = not bound
  int32_t width = 0;          // 0 = not created
  int32_t height = 0;
  int32_t sprite = -1;        // the sprite whose texture is drawn into
};

// Framebuffer operations on a record.
bool create_framebuffer(SurfaceRecord& s, int width, int height, uint32_t texture, bool with_depth);
bool bind_framebuffer(SurfaceRecord& s);
bool unbind_framebuffer(SurfaceRecord& s);
void destroy_framebuffer(SurfaceRecord& s);

// Stops drawing into the current surface (present does it before swapping).
void end_surface();

// Every surface and the background slots go (the renderer's end).
void destroy_all_surfaces();

// The surface on sprite n made again on its new texture (a reload of n).
void rebuild_surface_of_sprite(int n);

// Window pixels of the logical rectangle into sprite n (logical units, the
// orientation undone); w or h 0 deletes n.
void copy_screen_to_sprite(int n, int x, int y, int w, int h);

// The sprite's image, top row first, read through a temporary framebuffer.
bool read_sprite_back(int n, ImageBuffer& image);

// Background slots: draw one at (0, 0) in its image size in the current
// alpha mode, or empty it (its sprite deleted). The frame presenter draws
// slot 0 as a plain picture instead of the clear.
void draw_background_slot(int s);
void draw_background_picture();
void empty_background_slot(int s);

}  // namespace mxt
