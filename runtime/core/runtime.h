// The runtime frame's own state and its operations, inside the runtime.
//
// `CoreState` is core's object in the singleton table (`rt.core`): the game's
// settings and command line, the frame loop's registers, the pause, the loop
// callback's names and what the environment asked of this run. The entry
// creates it before the game's settings hook runs and shutdown releases it
// last. The commands are in core.h.
#pragma once

#include <cstdint>
#include <string>

#include "runtime/core/core.h"
#include "runtime/types/rtstring.h"

namespace mxt {

namespace platform {
struct Event;
}

// What the idle pump waits for.
enum class WaitMode : int32_t {
  none = 0,       // one pass: take the messages and go on
  waiting = 31,   // stay until the player acts (or the pause ends)
};

// Where the frame loop's time comes from and how it waits. The runtime's own
// by default; tests give a clock they set, so timing logic is checked
// without real time passing.
struct FrameClock {
  double (*now)() = nullptr;          // milliseconds (accurate_ms)
  void (*sleep_ms)(int ms) = nullptr; // the long sleeps of pacing and the idle pump
  void (*nap)() = nullptr;            // the short naps of the last milliseconds of pacing
  bool (*wait_event)(int ms) = nullptr;  // until an event is pending, or the time is up
};
FrameClock runtime_frame_clock();

struct FrameState {
  int32_t escape_switch = 1;          // Escape ends the program
  int32_t reactivation_request = 0;   // bring the window forward on the next frame
  WaitMode wait_mode = WaitMode::none;
  int32_t hook_state = -1;            // "MXT_WIN32_MSG": -1 not looked up, 0 absent, 1 present
  void (*hook)() = nullptr;
  double current_frame_time = 0;      // accurate_ms units
  double previous_frame_time = 0;
  double elapsed_origin = 0;
  int64_t frames_presented = 0;
};

struct PauseState {
  int32_t paused = 0;
  int32_t auto_pause = 1;
};

// What the environment asked of this run, read at the entry. Paths are
// absolute: relative ones name files in the folder the program was started
// in, although start-up then makes the program's folder current.
struct RunSettings {
  int64_t frames = 0;                 // MXT_FRAMES: end after that many presented frames
  std::string screenshot;             // MXT_SCREENSHOT: the last of them, saved here
  std::string record;                 // MXT_RECORD: the input recorded here
  std::string replay;                 // MXT_REPLAY: the input replayed from here
};

struct CoreState {
  ProjectSettings settings;
  RtString command_line;              // stored by the entry before anything else
  RtString title_copy;                // the title the window shows, without " <pause>"
  RtString loop_name;                 // the loop callback running now
  RtString next_loop_name;            // the one it switched to from inside itself
  FrameState frame;
  PauseState pause;
  RunSettings run;
  FrameClock clock = runtime_frame_clock();
  void* memory_reserve = nullptr;     // given back when memory runs out, so the orderly end has room
};

constexpr int kShowDefault = 10;      // the show command of a normal start
constexpr int kShowHidden = 0;

// The entry's first step: core's state, the services it offers the layers
// below, the out-of-memory handler, and what the environment asks of the run.
void runtime_prepare(int argc, char** argv);
void install_frame_services();        // what core does for the layers below (rt.frame)

enum class StartupResult { started, replay_refused, no_window };
StartupResult runtime_startup(int show_command, const RtString& title);
void runtime_shutdown(bool call_quit = true);  // call_quit false: the game never ran
bool runtime_started();               // start-up ran to its end

// The program folder (the program file's folder, "/" separators, no trailing "/").
RtString program_folder();

// Named callbacks.
using Callback = void (*)();
Callback find_callback(const RtString& name);
Callback find_callback(const char* name);
void on_focus_change(int deactivated);

// The frame loop.
void restart_elapsed_clock();         // frame times and the elapsed origin = now
void frame_upkeep();
void pace_frame(Callback hook);       // pump and sleep until the next frame is due
void pump_messages(Callback hook, bool wait);
void idle_pump();
void lookup_message_hook();

// The screen figures the input state maps positions with, from the renderer.
struct InputScreen;
void renderer_input_screen(InputScreen& s);

}  // namespace mxt
