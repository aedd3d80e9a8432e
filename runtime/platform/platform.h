// The platform layer: the only part of the runtime that knows the operating
// system. Everything above it sees raw facts (events, clock readings, paths,
// file results) and writes its own policy on top.
//
// Texts handed to this layer are the runtime's bytes in the Windows-1252 code
// page; the implementation converts to and from UTF-8 where a text crosses
// into the system (window titles, file names, typed text, message boxes).
//
// One implementation lives beside this header: sdl2/ (window, GL, events,
// clocks, the audio device and its music track, joysticks, power, the
// user's language, the screen's resolution) and posix/ (files, folders,
// processes, the environment, the calendar, shared libraries, the debugger,
// and the sockets of net.h). Entries marked "optional" may do nothing on a
// platform that lacks the service. The layer keeps no state of its own
// beyond what the system keeps, except two flags (the joystick service is up;
// a joystick came or went) and the answers a test put in place: what it
// opens it hands back as an opaque object (a window, a file, the audio
// device, a joystick, a library) for the caller to own.
//
// [SECTION] Start-up and shutdown of the platform services
// [SECTION] Clocks
// [SECTION] Windows and OpenGL contexts
// [SECTION] Events
// [SECTION] Program, folders, the command line and the environment
// [SECTION] Files
// [SECTION] Processes
// [SECTION] Debugger and message boxes
// [SECTION] Audio
// [SECTION] The machine: time, power, language, screen, folders
// [SECTION] Joysticks
// [SECTION] Dynamic libraries
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace mxt::platform {

// ---------------------------------------------------------------------------
// [SECTION] Start-up and shutdown of the platform services

bool video_init();                 // brings the windowing system up; false when there is none
void video_quit();                 // after the last window has gone
const char* last_error();          // the platform's text for the last failure

// True when the windowing system shows nobody anything (a driver that draws
// offscreen or nowhere), whether or not it is up yet.
bool display_is_virtual();

// ---------------------------------------------------------------------------
// [SECTION] Clocks

uint64_t perf_counter();           // high-resolution counter
uint64_t perf_frequency();         // counts per second; 0 when there is no such counter
uint64_t ticks_ms();               // coarse milliseconds since the platform started
void sleep_ms(int ms);             // at least that long; 0 yields
void sleep_us(int us);             // a short nap, for the last moments of frame pacing
double process_cpu_seconds();      // CPU time used by this process so far

// A game frees and allocates the same large blocks every frame (the GL
// driver's vertex and bin memory above all); keeping freed memory in the
// process instead of handing it back to the system spares the page faults of
// taking it again next frame. Optional: does nothing where the C library has
// no such setting.
void keep_freed_memory();

// ---------------------------------------------------------------------------
// [SECTION] Windows and OpenGL contexts

struct Window;                     // opaque
using GlContext = void*;

struct WindowSpec {
  const char* title = "";          // code page 1252
  int width = 0;                   // client size; 0 takes a default
  int height = 0;
  int colour_bits = 24;            // 16 or 24
  int samples = 0;                 // multisample count; 0 = none
  bool resizable = false;
};

// Creates a hidden window that can take an OpenGL context with the pixel
// format `spec` asks for (RGB, alpha 8, depth 24, stencil 8, double buffered).
Window* create_window(const WindowSpec& spec);
void destroy_window(Window* w);
GlContext create_gl_context(Window* w);
bool make_current(Window* w, GlContext ctx);
void delete_gl_context(GlContext ctx);
void swap_window(Window* w);
bool set_swap_interval(int interval);      // optional: false when unsupported
void* gl_proc_address(const char* name);   // null when missing

void set_window_title(Window* w, const char* title);   // code page 1252
bool set_window_size(Window* w, int width, int height); // client size; false: the current GL context
                                                        // cannot follow the new size, and nothing changed
bool remake_window(Window* w, int width, int height);   // the window anew at that size, no context current
void refuse_context_moves(Window* w, bool refuse);      // tests: resizes answer false, as some drivers must
void window_size(Window* w, int* width, int* height);   // client size
void set_window_position(Window* w, int x, int y);      // outer top-left
void show_window(Window* w);
void hide_window(Window* w);
void raise_window(Window* w);

struct Rect { int x = 0, y = 0, w = 0, h = 0; };
struct Borders { int top = 0, left = 0, bottom = 0, right = 0; };
Rect display_usable_bounds(Window* w);     // work area of the display the window is on
void desktop_size(int* width, int* height);
int desktop_bits_per_pixel();
Borders window_borders(Window* w);          // 0 where the window system does not say

// Switches the display to width × height and makes the window cover it;
// false when no display mode of that size exists (the window is untouched).
bool enter_fullscreen(Window* w, int width, int height, int bits);
void leave_fullscreen(Window* w);

void set_screensaver_allowed(bool allowed);

// Mouse pointer of the window system.
void set_cursor_visible(bool visible);
void set_relative_mouse(bool on);           // exclusive: hidden, unbounded motion
void warp_mouse(Window* w, int x, int y);
void mouse_in_window(Window* w, int* x, int* y);  // the pointer relative to the client area

// The character a key types on the current keyboard layout with no modifier
// held, as a Unicode code point; 0 for keys that type none (keypad keys
// included: the layout reports them as keys, not characters).
uint32_t key_character(int hid_usage);

// ---------------------------------------------------------------------------
// [SECTION] Events

enum class EventType : uint8_t {
  none,
  quit,            // the system asks the program to end
  close,           // the window's close button
  focus_gained,
  focus_lost,
  shown,
  hidden,
  resized,         // x, y = new client size
  exposed,
  key_down,        // key = USB HID usage (the platform's scancode), repeat flag
  key_up,
  text,            // text = typed characters in code page 1252
  mouse_move,      // x, y in window pixels; dx, dy relative motion
  mouse_down,      // button 1 left, 2 right, 3 middle, 4/5 extra
  mouse_up,
  mouse_wheel,     // dx, dy in notches
  finger_down,     // finger id, fx, fy in 0..1 of the window
  finger_up,
  finger_move,
  other,
};

struct Event {
  EventType type = EventType::none;
  uint32_t timestamp = 0;
  int32_t key = 0;
  bool repeat = false;
  int32_t x = 0, y = 0;
  int32_t dx = 0, dy = 0;
  int32_t button = 0;
  int64_t finger = 0;
  float fx = 0, fy = 0, pressure = 0;
  bool from_touch = false;        // a mouse event the system made from a touch
  char text[32] = {};             // zero-terminated
};

bool poll_event(Event& e);        // takes the next event; false when none is pending
bool peek_event(Event& e);        // looks at the next event without taking it
bool wait_event(int timeout_ms);  // blocks until one is pending (-1: no timeout)
bool push_event(const Event& e);  // queues an event as if the system had sent it
void flush_events();              // drops every pending event

// ---------------------------------------------------------------------------
// [SECTION] Program, folders, the command line and the environment

void set_arguments(int argc, char** argv);  // from main(), before anything else; kept, not copied
std::string command_line();       // program path and arguments, quoted as Windows quotes them
std::string program_path();       // full path of the running program file
std::string temp_folder();        // ends with "/"
std::string current_dir();        // no trailing "/" unless it is the root
bool set_current_dir(const std::string& path);
std::string absolute_path(const std::string& path);  // links resolved; empty when missing

const char* env(const char* name); // an environment variable, or null when it is not set
bool stdin_is_terminal();          // a person could type at the standard input

// ---------------------------------------------------------------------------
// [SECTION] Files
//
// Paths here use "/" and name the file as it exists; letter-case and
// separator policy sit above this layer.

enum class PathKind { missing, file, directory, other };
PathKind path_kind(const std::string& path);
bool remove_file(const std::string& path);
bool remove_directory(const std::string& path);       // empty directories only
bool make_directory(const std::string& path);
bool rename_path(const std::string& from, const std::string& to);  // replaces a file at `to` in one step
bool append_to_file(const std::string& path, const void* data, size_t size);
// New contents for a file, in one step that a crash, a kill or a full disk
// cannot tear: the bytes go to a new file in the same folder, which is
// flushed to disk and then renamed over `path` (and the folder flushed), so
// `path` holds either its old contents or the new ones. A file that was
// there keeps its permission bits. On failure `path` is untouched, the new
// file is gone, and last_file_error() says why.
bool replace_file(const std::string& path, const void* data, size_t size);
// The whole of a file into `out`; false when it cannot be read or is larger than `limit` bytes.
bool read_whole_file(const std::string& path, std::string& out, int64_t limit);

struct PathInfo {
  PathKind kind = PathKind::missing;
  int64_t size = 0;
  int64_t modified = 0;            // last write, seconds since 1970-01-01 UTC
};
PathInfo path_info(const std::string& path);

struct CalendarTime { int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0; };
bool local_time(int64_t seconds, CalendarTime& out);  // month 1..12; false when out of range

struct DirEntry {
  std::string name;                // code page 1252
  bool directory = false;          // links count as what they point at
};
bool list_directory(const std::string& path, std::vector<DirEntry>& out);  // "." and ".." included

// Open platform files. Sizes and offsets are 64-bit everywhere.
struct File;                       // opaque
enum class FileMode {
  read,                            // an existing file, read only
  create,                          // create or truncate, read and write
  open_or_create,                  // write only, existing contents kept
  create_new,                      // a new file only: fails when the name exists, never follows a link
};
File* open_file(const std::string& path, FileMode mode);
int64_t read_file(File* f, void* dst, int64_t n);         // bytes read (short only at the end); -1 on error
int64_t write_file(File* f, const void* src, int64_t n);  // bytes written; -1 on error
bool seek_file(File* f, int64_t offset);                  // from the start
int64_t seek_file_end(File* f);                           // moves to the end; the size, or -1
int64_t file_size(File* f);                               // -1 on error
bool close_file(File* f);                                 // false when the last writes failed
const char* last_file_error();                            // the system's text for the last failure here

// ---------------------------------------------------------------------------
// [SECTION] Processes

// Starts a command line (split as a shell would, without running a shell).
// With wait, blocks and stores the exit code. False when it could not start.
bool run_process(const std::string& command_line, bool wait, int* exit_code);

// The Windows rules for carrying arguments in one command line.
std::string quote_argument(const std::string& arg);
std::vector<std::string> split_command_line(const std::string& line);

// Asks the desktop to open a document, program or web address, without
// waiting. Optional: false when the desktop offers no opener.
bool open_document(const std::string& path_or_url);

// The desktop's open or save dialog (zenity). Filters are a description and
// its patterns. False when cancelled or when no dialog program is installed.
struct FileFilter {
  std::string description;
  std::vector<std::string> patterns;
};
bool file_dialog(bool open, const std::string& start_dir, const std::vector<FileFilter>& filters,
                 std::string& chosen);

// ---------------------------------------------------------------------------
// [SECTION] Debugger and message boxes

bool debugger_present();
void debugger_output(const char* text);     // to the attached debugger (stderr)

// Blocks until the person closes it: callers decide whether anyone is there.
enum class BoxIcon { info, warning, error };
void message_box(const char* caption, const char* text, BoxIcon icon);

// ---------------------------------------------------------------------------
// [SECTION] Audio
//
// One output device for the whole program, opened once at start-up and
// shared by the music, the sound effects and the sound of videos. Samples are
// signed 16-bit in native byte order; rate and channel count are what the
// device gave (44100 Hz stereo is asked for). Only one device is open at a
// time.

struct AudioDevice;                // opaque; owned by whoever opened it
struct AudioFormat {
  int rate = 0;                    // samples per second
  int channels = 0;
};
AudioDevice* audio_open();         // null when there is no device, or one is open already
void audio_close(AudioDevice* d);  // silences and frees everything playing on it
AudioFormat audio_format(const AudioDevice* d);

// The music track: one at a time, decoded while it plays (MP3, OGG Vorbis,
// WAV, FLAC, ...). It reads from the caller's copy of the whole file, which
// must stay in place until music_free.
struct MusicTrack;                 // opaque
MusicTrack* music_load(AudioDevice* d, const void* data, int64_t size);  // null when undecodable
void music_free(MusicTrack* track);                        // stops it first when it plays
double music_duration_ms(MusicTrack* track);               // < 0 when the format does not tell
bool music_play(AudioDevice* d, MusicTrack* track, bool endless);  // from the start; endless: the mixer repeats it
void music_pause(AudioDevice* d);
void music_resume(AudioDevice* d);
bool music_in_progress(AudioDevice* d);         // playing or paused, its end not yet reached
void music_set_volume(AudioDevice* d, int level);  // 0..1000 of full scale

// The sound effects' mixer, the runtime's own: the device calls it on its
// own thread for every block it plays, after the music and before the sound
// of a video, to add its sound into `frames` interleaved frames in the
// device's format. Null removes it; once this returns, the old one is no
// longer called.
using AudioMixer = void (*)(void* user, int16_t* samples, int frames);
void audio_set_mixer(AudioDevice* d, AudioMixer mix, void* user);

// A stream mixed over everything else (the sound of a video): interleaved
// frames in the device's format, queued up to a few seconds ahead.
int audio_stream_push(AudioDevice* d, const int16_t* samples, int frames);  // frames taken; fewer when full
int64_t audio_stream_queued(AudioDevice* d);    // frames not yet played
void audio_stream_clear(AudioDevice* d);

// ---------------------------------------------------------------------------
// [SECTION] The machine: time, power, language, screen, folders
//
// Read afresh on every call. Tests put their own answers in place of the
// machine's with set_system_answers, for what a real machine cannot be made
// to say on demand (a date, a language, a screen, a battery, a folder that
// cannot be written).

int64_t now_seconds();                      // calendar time: seconds since 1970-01-01 UTC
bool utc_time(int64_t seconds, CalendarTime& out);  // as local_time, in UTC
int battery_percent();                      // 0..100; 255 when unknown or there is no battery
int screen_dpi();                           // horizontal dots per inch of the first display; 0 when unknown
uint16_t language_id();                     // the user's first preferred language as a Windows language
                                            // identifier (0x0409 US English, 0x0C07 Austrian German); 0 unknown
std::string documents_folder();             // the XDG documents folder; "" when there is no home
std::string local_data_folder();            // the XDG data home (~/.local/share); "" when there is no home
bool make_directories(const std::string& path);  // with every missing parent; true when it exists after
bool flush_file(File* f);                   // what was written reaches the disk before this returns

// True when the current OpenGL context offers the function: the driver
// hands out an address and the GL library knows the name (drivers hand out
// stubs for any name that starts with "gl"). False without a current context.
bool gl_function_offered(const char* name);

struct SystemAnswers {
  bool fixed_time = false;                  // now_seconds answers `time`
  int64_t time = 0;
  int language = -1;                        // language_id; -1: the machine's
  int dpi = -1;                             // screen_dpi; -1: the machine's
  int battery = -1;                         // battery_percent; -1: the machine's
  const char* local_data = nullptr;         // local_data_folder; null: the machine's
  const char* documents = nullptr;          // documents_folder; null: the machine's
  const char* temp = nullptr;               // temp_folder, as given (may be ""); null: the machine's
};
// Tests: these answers in place of the machine's until called with null.
// The caller keeps the object alive meanwhile.
void set_system_answers(const SystemAnswers* answers);

// ---------------------------------------------------------------------------
// [SECTION] Joysticks
//
// Joysticks and game pads through SDL's joystick and game-controller
// interfaces. A device SDL knows as a game controller is read in the common
// pad layout (left stick X/Y, triggers together on Z, right stick RX/RY, the
// D-pad as the hat, A B X Y, the shoulders, Back, Start, the stick clicks and
// Guide as buttons 0..10); any other device reads its first six axes, its
// first hat and its first 32 buttons as they come. Optional: without the
// service there are no devices.

bool joysticks_init();                      // false when the system has no joystick service
void joysticks_quit();
int joystick_devices();                     // attached now
struct Joystick;                            // opaque; owned by whoever opened it
Joystick* open_joystick(int device);        // 0 .. joystick_devices() - 1; null on failure
void close_joystick(Joystick* j);
std::string joystick_name(Joystick* j);     // "instance, product": the controller's name (the device's when
                                            // SDL knows no layout), ", ", the device's name; code page 1252

struct JoystickState {
  int32_t x = 0, y = 0, z = 0, rx = 0, ry = 0, rz = 0;  // -32768 .. 32767
  uint32_t pov = 0xFFFFFFFF;                // hundredths of a degree clockwise from up; centred 0xFFFFFFFF
  uint8_t buttons[32] = {};                 // 1 pressed
};
bool read_joystick(Joystick* j, JoystickState& out);  // fresh from the device; false (all zero) when gone
bool joystick_rumble(Joystick* j, double strength, uint32_t ms);  // 0..1; false: the device cannot rumble

// Plugging and pulling: true once for each change since the last call.
bool joysticks_changed();

// ---------------------------------------------------------------------------
// [SECTION] Dynamic libraries

struct Library;                             // opaque
Library* load_library(const char* name);    // dlopen, searched the usual way; null when it cannot be loaded
void* library_symbol(Library* lib, const char* name);  // null when it has no such function
void free_library(Library* lib);

}  // namespace mxt::platform
