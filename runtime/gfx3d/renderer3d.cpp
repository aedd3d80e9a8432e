// The 3D renderer: filled in by the next commits.
#include "runtime/gfx3d/gfx3d.h"
