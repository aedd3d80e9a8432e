// Start-up: the runtime's singletons come to life here, in this order, each
// step logged to the debug log. Steps whose subsystem is not part of the
// runtime yet keep their place as a comment.
#include <cstdio>

#include "runtime/audio/music.h"
#include "runtime/core/runtime.h"
#include "runtime/core/window.h"
#include "runtime/files/archive.h"
#include "runtime/files/directories.h"
#include "runtime/gfx2d/renderer.h"
#include "runtime/input/input_state.h"
#include "runtime/input/journal.h"
#include "runtime/platform/platform.h"
#include "runtime/types/numbers.h"

namespace mxt {

Runtime rt;
RtString command_line_text;

namespace {
bool g_started = false;

RtString forward_slashes(const std::string& s) {
  RtString r(s.c_str());
  for (uint32_t i = 0; i < r.length; ++i)
    if (r.data[i] == '\\') r.data[i] = '/';
  return r;
}
}  // namespace

bool runtime_started() { return g_started; }

RtString program_folder() {
  RtString path = forward_slashes(platform::program_path());
  for (int i = static_cast<int>(path.length) - 1; i >= 0; --i) {
    if (path.data[i] == '/') {
      path.truncate(i);
      break;
    }
  }
  return path;
}

int runtime_startup(int show_command, const RtString& title) {
  delete_path(log_path());                                      // 1
  write_log_line("Start new log...\n");                         // 2
  pause_state.auto_pause = 1;                                   // 3
  write_log_line("timer\n");                                    // 4
  timer_init();
  write_log_line("rbow\n");                                     // 5
  rt.renderer = new VuduRODoverore();
  write_log_line("rbow init\n");                                // 6
  if (!rt.renderer->init_window(mxt_settings.screen_width, mxt_settings.screen_height, 0,
                                mxt_settings.frame_rate, mxt_settings.multisample)) {
    return 0;
  }
  rt.window = rt.renderer->window;                              // 7
  platform::set_window_title(rt.window, title.c_str());
  write_log_line("Cptn\n");
  title_copy = title;
  mxt_seed_rnd(journal_seed(truncate_to_int(accurate_ms())));   // 8 (a replay brings its own)
  write_log_line("Network\n");                                  // 9
  // 9: the network messaging object, closed, is created here.
  // 10: the 3D renderer, bound to the 2D one, is created here.
  write_log_line("Input\n");                                    // 11
  rt.input = new InputState();
  write_log_line("Window mode\n");                              // 12
  if (mxt_settings.fullscreen == 0)
    enter_windowed_mode();
  else
    enter_fullscreen_mode();
  write_log_line("Create DXin\n");                              // 13
  input_setup(*rt.input, rt.window, mxt_settings.hide_pointer != 0);
  write_log_line("reptr\n");                                    // 14
  rt.input->window = rt.window;
  write_log_line("getexe\n");                                   // 15
  const RtString folder = program_folder();
  write_log_line("cd\n");                                       // 16
  platform::set_current_dir(folder.str());
  write_log_format("exepath=curdir= %s\n", folder.c_str());
  create_archive_slots();                                       // 17
  write_log_line("shoeboxing...\n");                            // 18
  const RtString program_file = forward_slashes(platform::program_path());
  mxt_set_archive(program_file, program_file);
  write_log_line("init gettimer\n");                            // 19
  restart_elapsed_clock();
  write_log_line("clear screen\n");                             // 20
  mxt_set_clear_colour(0);
  write_log_line("flip\n");                                     // 21
  rt.renderer->present(nullptr);
  write_log_line("mk2D\n");                                     // 22
  rt.renderer->apply_default_state();
  // 22: the built-in font goes into font slot 0 here.
  write_log_line("finding font...\n");                          // 23
  // 23, 24: the default font search and font 0 at scale 1 follow here.
  pause_state.paused = 0;                                       // 25
  restart_elapsed_clock();                                      // 26
  if (show_command == kShowHidden) {                            // 27
    enter_hidden_state();
    platform::hide_window(rt.window);
  }
  rt.input->set_pointer_visible(mxt_settings.hide_pointer == 0); // 28
  // 29: the game's external library functions are bound here.
  write_log_line("Win8+ mouse as pointer\n");                   // 30: the mouse lands in the pointer slots
  // 31: the audio device opens here, shared by the music, the sound slots
  //     (created here once they exist) and the sound of videos. Without a
  //     device the game runs silent and nobody is told.
  platform::audio_open();
  rt.music = new MusicPlayer(make_mixer_output(), accurate_ms);
  write_log_line("Init Finalized\n");                           // 32
  g_started = true;
  return 0;
}

}  // namespace mxt

using namespace mxt;

ProjectSettings mxt_settings;

RtString mxt_command_line() { return command_line_text; }
RtString& mxt_app_title() { return mxt_settings.title; }
