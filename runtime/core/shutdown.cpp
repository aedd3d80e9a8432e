// The orderly end. Every way out of the program (the close button, the exit
// keys, a fatal runtime error, the end of the main routine) comes through
// mxt_end, which releases the singletons in this order and exits with 0.
//
// The order is the runtime's fixed one, which is not simply the reverse of
// start-up: the archive slots, created after the input state, are released
// after the renderer. Each pointer is null as soon as its object is gone, so
// a second shutdown finds nothing to release.
#include <cstdio>
#include <cstdlib>

#include "runtime/audio/music.h"
#include "runtime/audio/sound.h"
#include "runtime/base/log.h"
#include "runtime/base/singletons.h"
#include "runtime/core/runtime.h"
#include "runtime/files/archive.h"
#include "runtime/files/files.h"
#include "runtime/files/rtfile.h"
#include "runtime/files/storage.h"
#include "runtime/gfx2d/renderer.h"
#include "runtime/gfx3d/renderer3d.h"
#include "runtime/input/input_state.h"
#include "runtime/input/journal.h"
#include "runtime/net/messaging.h"
#include "runtime/net/sockets.h"
#include "runtime/platform/platform.h"
#include "runtime/types/random.h"

namespace mxt {

void runtime_shutdown(bool call_quit) {
  if (!rt.lifecycle.quit_called) {                              // 1
    rt.lifecycle.quit_called = true;
    if (call_quit) mxt_call_by_name(MXT_ON_QUIT);
  }
  if (rt.renderer) write_log_line("Shutdown MXT\n");            // 2
  if (rt.music) {                                               // 3
    rt.music->stop();
    delete rt.music;
    rt.music = nullptr;
  }
  const RtString folder = program_folder();                     // 4
  if (!platform::set_current_dir(folder.str()))
    write_log_format("cannot make %s the current folder: %s\n", folder.c_str(), platform::last_file_error());
  // 5: the file channels close, and the INI file and the line file are written
  //    back if they changed: after the quit callback, which may still save,
  //    and on every way out, a fatal error's too. They go to the files they
  //    were read from, although step 4 changed the current folder.
  release_file_state();
  if (rt.messaging) {                                           // 6: local players removed, thread stopped
    delete rt.messaging;
    rt.messaging = nullptr;
  }
  if (rt.sockets) {                                             // 7: every socket still open closes
    delete rt.sockets;
    rt.sockets = nullptr;
  }
  if (rt.input) {                                               // 8
    input_shutdown(*rt.input);
    delete rt.input;
    rt.input = nullptr;
  }
  close_input_journal();                                        // 8: a recording ends complete
  if (rt.sounds) {                                              // 9: the sounds, last to first,
    for (int n = kSoundSlots - 1; n >= 0; --n) release_sound(rt.sounds[n]);
    delete[] rt.sounds;
    rt.sounds = nullptr;
  }
  if (rt.sound_device) {                                        // 9: then their device
    sound_device_release(*rt.sound_device);
    delete rt.sound_device;
    rt.sound_device = nullptr;
  }
  platform::audio_close(rt.audio);                              // 9: and the audio device under it
  rt.audio = nullptr;
  if (rt.renderer) {                                            // 10
    delete rt.renderer;
    rt.renderer = nullptr;
  }
  delete rt.renderer3d;                                         // 10: after the 2D one, which unbound it
  rt.renderer3d = nullptr;
  release_archive_slots();                                      // 11
  delete rt.memory_images;                                      // 11: after the slots gave their images back
  rt.memory_images = nullptr;
  if (rt.window) platform::destroy_window(rt.window);           // 12
  rt.window = nullptr;
  platform::video_quit();
  delete rt.random;                                             // (seeded in step 8)
  rt.random = nullptr;
  mxt_unload_declares();                                        // the external libraries, once nothing calls them
  write_log_line("mxt is shutdown\n");                          // 13
  if (rt.core) {                                                // the runtime frame's own state, last
    std::free(rt.core->memory_reserve);
    delete rt.core;
    rt.core = nullptr;
  }
}

}  // namespace mxt

using namespace mxt;

void mxt_end() {
  if (rt.lifecycle.ending) return;
  rt.lifecycle.ending = true;
  if (rt.core && rt.core->settings.debug_mode) {
    write_log_line("-End On Line\n");
    write_log_format("%d\n", rt.errors.last_error_code);
    write_log_format("%d\n", rt.errors.error_line - 1);
    write_log_format("%d\n", rt.errors.current_line);
    write_log_format("%d\n", rt.errors.current_file_index);
  }
  runtime_shutdown();
  write_stdout("exit\n");
  std::exit(0);
}
