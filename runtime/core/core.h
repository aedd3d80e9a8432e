// The runtime frame: the command sheet.
//
// A game defines `project_settings` (fills mxt_settings() before anything
// starts) and `mxt_main` (its main routine), and may define a callback table
// `mxt_callbacks` for functions the runtime calls by name. The runtime owns
// `main`: it starts everything, calls `mxt_main`, and every end goes through
// `mxt_end`, which shuts the runtime down in a fixed order and exits with 0.
//
// Errors are codes, never exceptions: a command that fails records its code
// (mxt_last_error) and prints "error: <hex>" on the standard output; a
// programme error (a bad array index, running out of memory, an assertion)
// records its code and ends the program in order. README.md lists the codes.
#pragma once

#include <cstdint>

#include "runtime/types/types.h"

// ---------------------------------------------------------------------------
// What the game supplies

struct ProjectSettings {
  int32_t screen_width = 0;   // client size of the window
  int32_t screen_height = 0;
  int32_t fullscreen = 0;     // 1: switch the display to that size at start
  int32_t debug_mode = 0;     // 1: focus changes do not pause; the end report is logged
  int32_t hide_pointer = 0;   // 1: start with the system pointer hidden, the mouse exclusive
  int32_t multisample = 0;    // 1: ask for an anti-aliased pixel format
  int32_t frame_rate = 0;     // frames per second; 0 or less: 2 ms minimum frame period
  RtString title;             // assign through mxt_app_title()
};

struct CallbackEntry {
  void (*function)();         // null ends the table
  const char* name;           // matched exactly, case included
};

void project_settings();                         // game: fill mxt_settings()
int mxt_main();                                  // game: the main routine
extern const CallbackEntry mxt_callbacks[];      // game, optional: ends with {nullptr, nullptr}

// The names the runtime calls in the game's table, and when.
inline constexpr char MXT_ON_QUIT[] = "MXT_ON_QUIT";      // once, first thing at the end
inline constexpr char MXT_ON_LOOP[] = "MXT_ON_LOOP";      // again and again once mxt_main returns; each call draws a frame
inline constexpr char MXT_ON_PAUSE[] = "MXT_ON_PAUSE";    // the window lost the focus and the game pauses
inline constexpr char MXT_ON_RESUME[] = "MXT_ON_RESUME";  // the pause ended
inline constexpr char MXT_WIN32_MSG[] = "MXT_WIN32_MSG";  // before each window message the runtime takes

// ---------------------------------------------------------------------------
// Program and identity

ProjectSettings& mxt_settings();                 // the settings; filled in project_settings()
RtString mxt_command_line();                     // program path and arguments, a copy
RtString& mxt_app_title();                       // the title; assignable in project_settings()

// ---------------------------------------------------------------------------
// Errors and diagnostics

void mxt_report_error(int code);                 // record code, print "error: <hex>"; 0 does nothing
int mxt_last_error();                            // the last error code (0 = none)
void mxt_assert(int value);                      // 0: report error 21 and end the program
void mxt_debug_out(const RtString& text);        // "TX" + text to an attached debugger
void mxt_stdout(const RtString& text);           // text to the standard output, flushed
void mxt_breakpoint(int line);                   // with a debugger: "BP<hex line>", input refreshed
void mxt_set_line(int file_index, int line);     // source position for the end report
void mxt_end();                                  // orderly shutdown, prints "exit", exit code 0; returns at once only during it

// ---------------------------------------------------------------------------
// Named callbacks and lifecycle

int mxt_call_by_name(const RtString& name);      // 1 when found and called, else 0
void mxt_set_loop_callback(const RtString& name);  // start or switch the per-frame loop function
void mxt_end_loop();                             // stop the loop function and end the program
void mxt_set_auto_pause(int on);                 // pause when the window loses focus (default on)

// ---------------------------------------------------------------------------
// Frame loop and clocks

void mxt_show_screen();                          // present the frame, pump input, pace
double mxt_elapsed_ms();                         // milliseconds since the end of start-up
double mxt_frame_time();                         // ms between the last two frames, never below 1
void mxt_limit_fps(double fps, int vsync);       // frame rate (truncated); <= 0: 2 ms period
void mxt_set_escape_ends(int on);                // Escape ends the program (default on)
void mxt_sleep(int ms);                          // at least that long
int mxt_run_program(const RtString& command_line, double wait, double show, double& exit_code);  // 1 started
[[noreturn]] void mxt_run_and_end(const RtString& command_line);  // shut down, start it, exit

// ---------------------------------------------------------------------------
// Window, dialogs and documents

void mxt_set_screen(int width, int height, int fullscreen);  // resize / change mode, 5 settle frames
int mxt_is_fullscreen();                         // 1 while a display mode is set
RtString mxt_file_dialog(int open, const RtString& filter);  // chosen path with "/", or "NO_FILE"; "text|*.a;*.b|..."
void mxt_open_document(const RtString& path);    // the desktop opens it; ends the game when Escape ends it
