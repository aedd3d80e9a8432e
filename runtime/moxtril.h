// Moxtril: the whole command set for games, in one header.
//
// Games include "runtime/moxtril.h". It brings the command sheet of every
// subsystem and nothing of their insides: no GL, SDL or system headers.
#pragma once

#include "runtime/audio/audio.h"
#include "runtime/core/core.h"
#include "runtime/files/files.h"
#include "runtime/gfx2d/gfx2d.h"
#include "runtime/input/input.h"
#include "runtime/types/types.h"
