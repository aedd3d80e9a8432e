// The one way tests reset the runtime's process-wide state.
//
// Before every test of every test program, `reset_runtime_state` runs (a
// listener registered by the test support does it): the objects start-up
// makes that need no window (core's state with its frame services, the
// random generator, the memory-image registry) are made fresh, the error
// registers cleared, leftover archive slots released. A window, its renderer
// and an input state belong to the fixture that made them; a fixture that
// keeps a renderer across its tests puts it back with `reset_drawing_state`.
#pragma once

namespace mxt {
class VuduRODoverore;
}

namespace mxt_test {

void reset_runtime_state();

// The renderer's 2D state as a new renderer has it (window and context
// kept, made current), the frame cleared to black.
void reset_drawing_state(mxt::VuduRODoverore& r);

}  // namespace mxt_test
