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
// records its code and ends the program in order. docs/errors.md lists the codes.
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
RtString mxt_build_stamp();                      // game's build, optional: "Sep 13 2016-14:17:33"
RtString mxt_build_host_id();                    // game's build, optional: eight lower-case hex digits
RtString mxt_build_version();                    // game's build, optional: its version text, "000.001"
                                                 // (the three answer "NO_DATA" when the build defines none)

// The names the runtime calls in the game's table, and when.
inline constexpr char MXT_ON_QUIT[] = "MXT_ON_QUIT";      // once, first thing at the end
inline constexpr char MXT_ON_LOOP[] = "MXT_ON_LOOP";      // again and again once mxt_main returns; each call draws a frame
inline constexpr char MXT_ON_PAUSE[] = "MXT_ON_PAUSE";    // the window lost the focus and the game pauses
inline constexpr char MXT_ON_RESUME[] = "MXT_ON_RESUME";  // the pause ended
inline constexpr char MXT_WIN32_MSG[] = "MXT_WIN32_MSG";  // before each window message the runtime takes

// ---------------------------------------------------------------------------
// Program and identity

ProjectSettings& mxt_settings();                 // the settings; filled in project_settings() [cannot fail]
RtString mxt_command_line();                     // program path and arguments, a copy [cannot fail]
RtString& mxt_app_title();                       // the title; assignable in project_settings() [cannot fail]
RtString mxt_platform_info(RtString& key);       // the machine, the folders, the build; key upper-cased in place;
                                                 // see README.md for the keys [fails: "NO_DATA"]

// ---------------------------------------------------------------------------
// Errors and diagnostics

void mxt_report_error(int code);                 // record code, print "error: <hex>"; 0 does nothing [cannot fail]
int mxt_last_error();                            // the last error code (0 = none) [cannot fail]
void mxt_assert(int value);                      // ends the program when value is 0 [fatal, error 21]
void mxt_debug_out(const RtString& text);        // "TX" + text to an attached debugger [cannot fail]
void mxt_stdout(const RtString& text);           // text to the standard output, flushed [cannot fail]
void mxt_breakpoint(int line);                   // with a debugger: "BP<hex line>", input refreshed [cannot fail]
void mxt_set_line(int file_index, int line);     // source position for the end report [cannot fail]
void mxt_end();                                  // orderly shutdown, prints "exit", exit code 0; returns at once
                                                 // only during it [cannot fail]

// ---------------------------------------------------------------------------
// Named callbacks and lifecycle

int mxt_call_by_name(const RtString& name);      // 1 when found and called [fails: 0]
void mxt_set_loop_callback(const RtString& name);  // start or switch the per-frame loop function [fails: no loop runs]
void mxt_end_loop();                             // stop the loop function and end the program [cannot fail]
void mxt_set_auto_pause(int on);                 // pause when the window loses focus (default on) [cannot fail]

// ---------------------------------------------------------------------------
// Frame loop and clocks

void mxt_show_screen();                          // present the frame, pump input, pace [cannot fail]
double mxt_elapsed_ms();                         // milliseconds since the end of start-up [cannot fail]
double mxt_frame_time();                         // ms between the last two frames, never below 1 [cannot fail]
void mxt_limit_fps(double fps, int vsync);       // frame rate (truncated); <= 0: 2 ms period [cannot fail]
void mxt_set_escape_ends(int on);                // Escape ends the program (default on) [cannot fail]
void mxt_sleep(int ms);                          // at least that long [cannot fail]
void mxt_fade_to_image(const RtString& name, int duration_ms);  // cross-fade from the screen to a picture, which
                                                 // stays as the background [fails: nothing happens]
int mxt_run_program(const RtString& command_line, double wait, double show, double& exit_code);  // 1 started
                                                 // (wait != 0: exit_code is its exit code) [fails: 0]
[[noreturn]] void mxt_run_and_end(const RtString& command_line);  // shut down, start it, exit [fails: exits anyway]

// ---------------------------------------------------------------------------
// Text entry
//
// One line typed by the player at (x, y) in the current font, over the
// screen as it was when the entry began; frames go on being shown (one a
// character) until Enter. Backspace takes the last character back; the cursor
// "_" blinks every 20 frames without a key.

void mxt_input_text(RtString& text, int x, int y, int proportional);  // text in: shown first; out: what was entered
                                                 // [cannot fail]
void mxt_input_int(int& value, int x, int y, int proportional);  // a line read as an integer (atoi) [fails: 0]
void mxt_input_double(double& value, int x, int y, int proportional);  // a line read as a number (atof) [fails: 0]

// ---------------------------------------------------------------------------
// Window, dialogs and documents

void mxt_set_screen(int width, int height, int fullscreen);  // resize / change mode, 5 settle frames
                                                 // [fails: windowed, when no display mode fits]
int mxt_is_fullscreen();                         // 1 while a display mode is set [cannot fail]
RtString mxt_file_dialog(int open, const RtString& filter);  // chosen path with "/", "NO_FILE" when cancelled;
                                                 // filter "text|*.a;*.b|..." [fails: "NO_FILE"]
void mxt_open_document(const RtString& path);    // the desktop opens it; ends the game when Escape ends it
                                                 // [fails: nothing opens]
