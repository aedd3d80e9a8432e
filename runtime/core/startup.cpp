// Start-up: the runtime's singletons come to life here, in this order, each
// step logged to the debug log. The log texts are the runtime's own and are
// kept word for word (tools and people read them). Steps whose subsystem is
// not part of the runtime yet keep their place, marked "[not yet]".
#include <cstdio>
#include <cstdlib>
#include <new>

#include "runtime/audio/music.h"
#include "runtime/audio/sound.h"
#include "runtime/base/clock.h"
#include "runtime/base/log.h"
#include "runtime/base/singletons.h"
#include "runtime/core/runtime.h"
#include "runtime/core/window.h"
#include "runtime/files/archive.h"
#include "runtime/files/directories.h"
#include "runtime/files/files.h"
#include "runtime/files/rtfile.h"
#include "runtime/files/storage.h"
#include "runtime/gfx2d/fonts.h"
#include "runtime/gfx2d/gfx2d.h"
#include "runtime/gfx2d/renderer.h"
#include "runtime/gfx3d/renderer3d.h"
#include "runtime/input/input_state.h"
#include "runtime/input/journal.h"
#include "runtime/net/messaging.h"
#include "runtime/net/sockets.h"
#include "runtime/platform/platform.h"
#include "runtime/types/numbers.h"
#include "runtime/types/random.h"

namespace mxt {

namespace {

RtString forward_slashes(const std::string& s) {
  RtString r(s.c_str());
  to_forward_slashes(r);
  return r;
}

// ---------------------------------------------------------------------------
// Preparing the run

void out_of_memory() {
  if (rt.core) {
    std::free(rt.core->memory_reserve);
    rt.core->memory_reserve = nullptr;
  }
  fatal_out_of_memory();  // a second failure during the end exits at once
}

std::string absolute(const char* path) {
  if (!path || !*path) return std::string();
  if (path[0] == '/') return path;
  return platform::current_dir() + "/" + path;
}

void read_run_settings(RunSettings& run) {
  if (const char* f = platform::env("MXT_FRAMES")) run.frames = std::atoll(f);
  run.screenshot = absolute(platform::env("MXT_SCREENSHOT"));
  run.record = absolute(platform::env("MXT_RECORD"));
  run.replay = absolute(platform::env("MXT_REPLAY"));
}

// Nobody can answer a dialog when the display is virtual, nobody could type
// at the terminal, or the run is a scripted one; blocking such a run would
// be a fault.
bool unattended_run(const RunSettings& run) {
  return platform::display_is_virtual() || platform::env("CI") || run.frames > 0 || !run.replay.empty() ||
         !platform::stdin_is_terminal();
}

void end_service() { mxt_end(); }

void pump_service() {
  lookup_message_hook();
  pump_messages(rt.core->frame.hook, false);
}

void wait_service() {
  rt.core->frame.wait_mode = WaitMode::waiting;
  idle_pump();
  rt.core->frame.wait_mode = WaitMode::none;
}

void resume_service() { on_focus_change(0); }

// A font of the game's own for slot 0: the first of these names that the file
// layer finds (on disk, then in the media archive). None is no fault: the
// built-in font stays.
void load_default_font() {
  static const char* const kNames[] = {"Media/smalfont.png", "Media/smalfont.bmp", "smalfont.png", "smalfont.bmp"};
  for (const char* name : kNames) {
    RtString found(name);
    if (!mxt_resolve_file(found)) continue;
    mxt_load_font(RtString(name), 0);
    return;
  }
}

}  // namespace

void install_frame_services() {
  rt.frame.end = end_service;
  rt.frame.pump = pump_service;
  rt.frame.wait_for_input = wait_service;
  rt.frame.resume = resume_service;
}

void runtime_prepare(int argc, char** argv) {
  platform::set_arguments(argc, argv);
  // Running out of memory inside any command ends the game in order with
  // error 7; no allocation throws.
  rt.core = new CoreState();
  rt.core->memory_reserve = std::malloc(size_t{1} << 20);
  std::set_new_handler(out_of_memory);
  rt.core->command_line = RtString(platform::command_line().c_str());
  read_run_settings(rt.core->run);
  rt.unattended = unattended_run(rt.core->run);
  install_frame_services();
  rt.lifecycle.prepared = true;
}

bool runtime_started() { return rt.lifecycle.started; }

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

void renderer_input_screen(InputScreen& s) {
  if (const VuduRODoverore* r = rt.renderer) {
    s.width = r->window_width;
    s.height = r->window_height;
    s.orientation = r->orientation;
    s.scale = r->virtual_screen.scale;
    s.offset_x = r->virtual_screen.offset_x;
    s.offset_y = r->virtual_screen.offset_y;
  }
}

StartupResult runtime_startup(int show_command, const RtString& title) {
  CoreState& core = *rt.core;
  const ProjectSettings& settings = core.settings;
  // 0: a recording or a replay the environment asks for; a replay file that
  //    cannot be used stops the program before anything starts.
  if (!open_input_journal(core.run.record, core.run.replay)) return StartupResult::replay_refused;
  delete_path(RtString(log_path().c_str()));                    // 1
  write_log_line("Start new log...\n");                         // 2
  core.pause.auto_pause = 1;                                    // 3
  write_log_line("timer\n");                                    // 4
  timer_init();
  write_log_line("rbow\n");                                     // 5
  rt.renderer = new VuduRODoverore();
  write_log_line("rbow init\n");                                // 6
  if (!rt.renderer->init_window(settings.screen_width, settings.screen_height, 0, settings.frame_rate,
                                settings.multisample)) {
    return StartupResult::no_window;
  }
  rt.window = rt.renderer->window;                              // 7
  platform::set_window_title(rt.window, title.c_str());
  write_log_line("Cptn\n");
  core.title_copy = title;
  rt.random = new Random();                                     // 8 (a replay brings its own seed)
  rt.random->seed(journal_seed(truncate_to_int(accurate_ms())));
  write_log_line("Network\n");                                  // 9
  rt.sockets = new SocketTable();                               // 9: the socket table, nothing started
  rt.messaging = new Messaging(*rt.sockets);                    // 9: closed, no thread
  rt.renderer3d = new Razazedu3V(*rt.renderer);                 // 10
  write_log_line("Input\n");                                    // 11
  rt.input = new InputState();
  rt.input->screen_source = renderer_input_screen;
  write_log_line("Window mode\n");                              // 12
  if (settings.fullscreen == 0)
    enter_windowed_mode();
  else
    enter_fullscreen_mode();
  write_log_line("Create DXin\n");                              // 13
  input_setup(*rt.input, rt.window, settings.hide_pointer != 0);
  write_log_line("reptr\n");                                    // 14
  rt.renderer->current_font = 0;                                // 14
  rt.input->window = rt.window;
  write_log_line("getexe\n");                                   // 15
  const RtString folder = program_folder();
  write_log_line("cd\n");                                       // 16
  if (!platform::set_current_dir(folder.str()))
    write_log_format("cannot make %s the current folder: %s\n", folder.c_str(), platform::last_file_error());
  write_log_format("exepath=curdir= %s\n", folder.c_str());
  rt.memory_images = new MemoryImages();                        // 17
  create_archive_slots();
  create_file_state();                                          // 17: channels closed, no INI or line file
  write_log_line("shoeboxing...\n");                            // 18
  const RtString program_file = forward_slashes(platform::program_path());
  mxt_set_archive(program_file, program_file);
  write_log_line("init gettimer\n");                            // 19
  restart_elapsed_clock();
  write_log_line("clear screen\n");                             // 20
  mxt_set_clear_colour(0);
  write_log_line("flip\n");                                     // 21
  rt.renderer->present();
  pace_frame(nullptr);
  write_log_line("mk2D\n");                                     // 22
  rt.renderer->apply_default_state();
  install_builtin_font(0);
  write_log_line("finding font...\n");                          // 23
  load_default_font();
  mxt_set_font(0, 1.0);                                         // 24
  core.pause.paused = 0;                                        // 25
  restart_elapsed_clock();                                      // 26
  if (show_command == kShowHidden) {                            // 27
    enter_hidden_state();
    platform::hide_window(rt.window);
  }
  rt.input->set_pointer_visible(settings.hide_pointer == 0);    // 28
  mxt_bind_declares();                                          // 29: the game's external functions
  // 30: the mouse lands in the pointer slots like every touch contact.
  write_log_line("Win8+ mouse as pointer\n");
  // 31: the audio device opens here, shared by the music, the sound of
  //     videos and the sound effects, whose device and table of sound slots
  //     follow. Without a device the game runs silent and nobody is told.
  rt.audio = platform::audio_open();
  rt.music = new MusicPlayer(make_mixer_output(rt.audio), accurate_ms);
  rt.sound_device = new SoundDevice();
  rt.sounds = new SoundSlot[kSoundSlots];
  sound_device_create(*rt.sound_device, rt.audio);
  write_log_line("Init Finalized\n");                           // 32
  rt.lifecycle.started = true;
  return StartupResult::started;
}

}  // namespace mxt

using namespace mxt;

ProjectSettings& mxt_settings() { return rt.core->settings; }
RtString mxt_command_line() { return rt.core->command_line; }
RtString& mxt_app_title() { return rt.core->settings.title; }
