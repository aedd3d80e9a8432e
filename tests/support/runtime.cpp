#include "support/runtime.h"

#include <gtest/gtest.h>

#include "runtime/base/singletons.h"
#include "runtime/core/runtime.h"
#include "runtime/files/archive.h"
#include "runtime/files/rtfile.h"
#include "runtime/files/storage.h"
#include "runtime/gfx2d/renderer.h"
#include "runtime/gfx3d/renderer3d.h"
#include "runtime/net/messaging.h"
#include "runtime/net/sockets.h"
#include "runtime/platform/platform.h"
#include "runtime/types/random.h"

namespace mxt_test {

using mxt::rt;

void reset_runtime_state() {
  mxt::release_archive_slots();
  // Channels, the INI file and the line file start empty; what a test left
  // changed is dropped, not written back into a folder already gone.
  if (rt.channels)
    for (mxt::RtFile& f : rt.channels->channel) mxt::close(f);
  delete rt.channels;
  delete rt.ini;
  delete rt.line_file;
  rt.channels = nullptr;
  rt.ini = nullptr;
  rt.line_file = nullptr;
  mxt::create_file_state();
  delete rt.memory_images;
  rt.memory_images = new mxt::MemoryImages();
  delete rt.random;
  rt.random = new mxt::Random();
  delete rt.messaging;  // stops a thread a test left running
  delete rt.sockets;    // closes whatever a test left open
  rt.sockets = new mxt::SocketTable();
  rt.messaging = new mxt::Messaging(*rt.sockets);
  delete rt.core;
  rt.core = new mxt::CoreState();
  mxt::install_frame_services();
  rt.lifecycle = mxt::Lifecycle{};
  rt.lifecycle.prepared = true;
  rt.errors = mxt::ErrorRegisters{};
  rt.data_list = nullptr;
  rt.callbacks = nullptr;
  rt.unattended = true;  // nobody answers dialogs in a test
}

void reset_drawing_state(mxt::VuduRODoverore& r) {
  rt.renderer = &r;
  rt.window = r.window;
  mxt::platform::make_current(r.window, r.gl_context);
  mxt::end_surface();
  for (int slot = 0; slot < mxt::kBackgroundSlots; ++slot) mxt::empty_background_slot(slot);
  r.virtual_screen = mxt::VirtualScreen{};
  r.orientation = 0;
  r.virtual_width = r.virtual_height = 0;
  r.colour_key = 0x8000FF;
  r.font_colour_key = 0;
  r.smoothing = 1;
  r.set_clear_colour(0);
  r.apply_default_state();
  if (mxt::Razazedu3V* r3 = rt.renderer3d) {
    mxt::use_shader(r.gl, r.shader_state, -1);
    r3->camera = mxt::Camera{};
    r3->light = mxt::Light{};
    r3->frame_step();
  }
}

namespace {

class ResetBeforeEachTest : public ::testing::EmptyTestEventListener {
  void OnTestStart(const ::testing::TestInfo&) override { reset_runtime_state(); }
};

// Registered while the test program starts, before any test runs.
const bool registered = [] {
  ::testing::UnitTest::GetInstance()->listeners().Append(new ResetBeforeEachTest);
  return true;
}();

}  // namespace

}  // namespace mxt_test
