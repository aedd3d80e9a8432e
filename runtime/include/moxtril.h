// Moxtril: the whole command set for games, in one header.
//
// Games write `#include <moxtril.h>`, in this tree and against an installed
// runtime alike. It brings the command sheet of every subsystem and nothing
// of their insides: no GL, SDL or system headers.
#pragma once

#if __cplusplus < 202002L
#error "Moxtril's headers are C++20: compile the game with -std=c++20 or later"
#endif

#include "runtime/audio/audio.h"
#include "runtime/core/core.h"
#include "runtime/files/files.h"
#include "runtime/gfx2d/gfx2d.h"
#include "runtime/gfx3d/gfx3d.h"
#include "runtime/input/input.h"
#include "runtime/net/net.h"
#include "runtime/pathfind/pathfind.h"
#include "runtime/types/types.h"
