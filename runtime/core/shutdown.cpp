// The orderly end. Every way out of the program (the close button, the exit
// keys, a fatal runtime error, the end of the main routine) comes through
// mxt_end, which releases the singletons in this order and exits with 0.
#include <cstdio>
#include <cstdlib>

#include "runtime/audio/music.h"
#include "runtime/core/runtime.h"
#include "runtime/files/archive.h"
#include "runtime/gfx2d/renderer.h"
#include "runtime/input/input_state.h"
#include "runtime/input/journal.h"
#include "runtime/platform/platform.h"

namespace mxt {

namespace {
bool g_end_running = false;
bool g_quit_called = false;
}  // namespace

void runtime_shutdown(bool call_quit) {
  if (!g_quit_called) {                                         // 1
    g_quit_called = true;
    if (call_quit) mxt_call_by_name("MXT_ON_QUIT");
  }
  if (rt.renderer) write_log_line("Shutdown MXT\n");            // 2
  if (rt.music) {                                               // 3
    rt.music->stop();
    delete rt.music;
    rt.music = nullptr;
  }
  platform::set_current_dir(program_folder().str());            // 4
  // 5: open file channels are closed here.
  // 6: the network messaging object is released here.
  // 7: the socket layer is released here.
  if (rt.input) {                                               // 8
    input_shutdown(*rt.input);
    delete rt.input;
    rt.input = nullptr;
  }
  close_input_journal();                                        // 8: a recording ends complete
  // 9: the sound slots are released here, then the audio device closes.
  platform::audio_close();
  if (rt.renderer) {                                            // 10
    delete rt.renderer;
    rt.renderer = nullptr;
  }
  // 10: the 3D renderer is destroyed here, after the 2D one.
  release_archive_slots();                                      // 11
  if (rt.window) {                                              // 12
    platform::destroy_window(rt.window);
  }
  rt.window = nullptr;
  platform::video_quit();
  write_log_line("mxt is shutdown\n");                          // 13
}

}  // namespace mxt

using namespace mxt;

void mxt_end() {
  if (g_end_running) return;
  g_end_running = true;
  if (mxt_settings.debug_mode) {
    write_log_line("-End On Line\n");
    write_log_format("%d\n", errors.last_error_code);
    write_log_format("%d\n", errors.error_line - 1);
    write_log_format("%d\n", errors.current_line);
    write_log_format("%d\n", errors.current_file_index);
  }
  runtime_shutdown();
  std::puts("exit");
  std::fflush(stdout);
  std::exit(0);
}
