// Drawing underneath the sprite and primitive commands (gfx2d.h): one quad
// into the renderer's batch (batches.h says how batching keeps every pixel
// as if each quad were drawn alone).
#pragma once

#include "runtime/gfx2d/batches.h"

namespace mxt {

// Draws a quad (a fan of four vertices) with the bound sprite, or untextured
// when none is bound; `clamp` selects clamp-to-edge wrapping instead of repeat.
void draw_quad(const QuadVertex (&v)[4], bool clamp = true);

// Hands every collected quad to GL, before code that reads pixels back or
// calls GL itself.
void flush_drawing();

}  // namespace mxt
