// Shader programs: 255 numbered slots of GLSL vertex/fragment pairs.
//
// A game loads a pair into a slot, selects it, and sets its uniforms by name.
// The program in use draws everything that follows, the 2D batches included
// (they are drawn before the program changes), until the frame ends: every
// frame starts with none. The slots belong to the 3D renderer, which hands
// them to the 2D renderer (`VuduRODoverore::shader_state`); 2D code only
// switches programs off. All calls go through the ARB shader-object entry
// points, so a driver without them is told once and then refused quietly.
//
// Messages (compile and link logs, unknown uniforms) go to a report function
// the caller chooses, one line a call; the commands log them.
#pragma once

#include <GL/gl.h>
#include <GL/glext.h>

#include <cstdint>

#include "runtime/types/rtstring.h"

namespace mxt {

class GlState;

using ShaderReport = void (*)(const char* line);

struct ShaderSlots {
  static constexpr int kSlots = 255;
  struct Slot {
    GLhandleARB program = 0;
    GLhandleARB vertex = 0;
    GLhandleARB fragment = 0;
  };
  Slot slots[kSlots];
  int32_t current = -1;       // the slot in use, -1: none
  bool warn_missing = true;   // "No OpenGL 2.0 Shader Support" not said yet

  // The handles belonged to a context that is gone: forget them (the game
  // loads its shaders again).
  void forget() {
    for (Slot& s : slots) s = Slot{};
    current = -1;
  }
};

// Loads a pair into `slot` (0..254); either name may be empty. False for a
// slot out of range, no shader support, a file that cannot be read, a failed
// compile or link (the logs reported). The slot's old program is deleted
// first, so a failed load leaves the slot empty.
bool load_shader(GlState& gl, ShaderSlots& s, int slot, const RtString& vertex_file,
                 const RtString& fragment_file, ShaderReport report);

// Slot 0..254 selects it (an empty slot draws with no program); anything
// else selects none. `s` may be null: then only "none" exists.
void use_shader(GlState& gl, ShaderSlots* s, int slot);

// The current program's uniform or attribute by name; nothing when no slot is
// in use. A name the program does not have reports "undefined uniform:" (or
// "undefined attrib:") and then the name, when a report function is given.
void set_shader_float(GlState& gl, ShaderSlots& s, const char* name, float value, ShaderReport report);
void set_shader_int(GlState& gl, ShaderSlots& s, const char* name, int32_t value, ShaderReport report);
void set_shader_attribute(GlState& gl, ShaderSlots& s, const char* name, float value, ShaderReport report);

// The runtime's own 2D programs (GlState::set_builtin_programs), made in the
// current context; false when the driver cannot make them (drawing stays
// fixed-function).
bool make_builtin_programs(GlState& gl);
void delete_builtin_programs(GlState& gl);

// Deletes every slot's objects (the context is current).
void delete_shaders(GlState& gl, ShaderSlots& s);

}  // namespace mxt
