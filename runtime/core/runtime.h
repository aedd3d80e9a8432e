// The runtime's process-wide state, in one place.
//
// Singletons are pointers declared together in `rt`: null until start-up
// creates them, released by shutdown in its fixed order and set back to null,
// so a second shutdown finds nothing to release. Start-up and shutdown live
// in startup.cpp and shutdown.cpp and are the only places that create or
// destroy them.
//
// Flags and registers of the runtime frame (error registers, pause, escape
// switch, wait mode, loop names) sit beside them here.
#pragma once

#include <cstdint>

#include "runtime/core/core.h"
#include "runtime/types/rtstring.h"

namespace mxt {

namespace platform {
struct Window;
}

class VuduRODoverore;  // the 2D renderer
class Razazedu3V;      // the 3D renderer
class NetMessaging;    // networked-game messaging
struct InputState;     // mouse, touch, keys, typed characters, joysticks
class InputJournal;    // input recording and replay (MXT_RECORD, MXT_REPLAY)
class SoundDevice;     // the audio device and its sound slots
class MusicPlayer;     // the one music track and its looping
struct ArchiveSlot;    // a mounted media archive

struct Runtime {
  VuduRODoverore* renderer = nullptr;
  Razazedu3V* renderer3d = nullptr;
  NetMessaging* messaging = nullptr;
  InputState* input = nullptr;
  InputJournal* journal = nullptr;     // opened before start-up, closed with the input state
  SoundDevice* sound = nullptr;
  MusicPlayer* music = nullptr;        // with the audio device at start-up; stopped and freed first at shutdown
  ArchiveSlot* archive[2] = {nullptr, nullptr};
  platform::Window* window = nullptr;  // the renderer's window, as the rest of the runtime sees it
};
extern Runtime rt;

// ---------------------------------------------------------------------------
// Error registers

struct ErrorRegisters {
  int32_t last_error_code = 0;
  int32_t error_line = 0;
  int32_t current_line = 0;
  int32_t current_file_index = 0;
};
extern ErrorRegisters errors;

inline void clear_last_error() { errors.last_error_code = 0; }

// ---------------------------------------------------------------------------
// Frame-loop state

struct FrameState {
  int32_t escape_switch = 1;        // Escape ends the program
  int32_t reactivation_request = 0; // bring the window forward on the next frame
  int32_t wait_mode = 0;            // 31: idle_pump waits for input
  int32_t hook_state = -1;          // "MXT_WIN32_MSG": -1 not looked up, 0 absent, 1 present
  void (*hook)() = nullptr;
  double current_frame_time = 0;    // accurate_ms units
  double previous_frame_time = 0;
  double elapsed_origin = 0;
  int64_t frames_presented = 0;
};
extern FrameState frame;

// Pause state: the paused flag and the auto-pause switch.
struct PauseState {
  int32_t paused = 0;
  int32_t auto_pause = 1;
};
extern PauseState pause_state;

// The callback table the runtime looks names up in; the entry points it at
// the game's table, tests at their own.
extern const CallbackEntry* callback_table;

// ---------------------------------------------------------------------------
// Start-up, shutdown and the debug log

constexpr int kShowDefault = 10;   // the show command of a normal start
constexpr int kShowHidden = 0;

int runtime_startup(int show_command, const RtString& title);
void runtime_shutdown(bool call_quit = true);  // call_quit false: the game never ran
bool runtime_started();            // start-up ran to its end

RtString log_path();               // "<temp folder>/ErrorLog.txt"
void write_log_line(const char* text);
void write_log_format(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The command line string, stored by the entry before anything else.
extern RtString command_line_text;
// The program folder (the program file's folder, "/" separators, no trailing "/").
RtString program_folder();

// ---------------------------------------------------------------------------
// Named callbacks (the runner and the lifecycle)

using Callback = void (*)();
Callback find_callback(const RtString& name);
Callback find_callback(const char* name);
void on_focus_change(int deactivated);

// ---------------------------------------------------------------------------
// Frame loop

double accurate_ms();              // milliseconds since the timer's first reading
void timer_init();                 // choose the counter; start-up step "timer"
void restart_elapsed_clock();      // frame times and the elapsed origin = now
void frame_upkeep();
int pump_messages(VuduRODoverore* renderer, Callback hook, bool wait);
void idle_pump();
void lookup_message_hook();

// Pure pacing arithmetic: the next frame time after a frame became due at
// `now`, for a frame period (ms). Tests drive it with made-up clocks.
double next_frame_after(double next_frame_time, double now, double period);
// What the pacing loop does next: sleep (more than 7 ms left: for that much
// minus 3), nap (1 to 7 ms left: pump messages and look again) or go on.
struct PaceStep {
  enum Kind { sleep, nap, due } kind;
  int sleep_ms;
};
PaceStep pace_step(double next_frame_time, double now);
double frame_period_for(double fps);  // 1000 / trunc(fps), or 2.0 when that is <= 0

}  // namespace mxt
