// Moxtril: the whole command set for games, in one header.
#pragma once

#include "runtime/audio/music.h"
#include "runtime/audio/video.h"
#include "runtime/core/core.h"
#include "runtime/files/archive.h"
#include "runtime/files/directories.h"
#include "runtime/files/files.h"
#include "runtime/gfx2d/draw.h"
#include "runtime/gfx2d/image.h"
#include "runtime/gfx2d/renderer.h"
#include "runtime/gfx2d/sprites.h"
#include "runtime/gfx2d/viewport.h"
#include "runtime/input/input.h"
#include "runtime/types/numbers.h"
#include "runtime/types/rtarray.h"
#include "runtime/types/rtstring.h"
#include "runtime/types/string_ops.h"
