// SDL2 implementation of windows, OpenGL contexts, events and clocks.
//
// [SECTION] Start-up and clocks
// [SECTION] Windows and contexts
// [SECTION] Display modes and pointer
// [SECTION] Events
// [SECTION] Message boxes
#include <SDL.h>

#include <cstring>

#include "runtime/platform/codepage.h"
#include "runtime/platform/platform.h"

struct mxt::platform::Window {
  SDL_Window* sdl = nullptr;
  bool fullscreen = false;
  bool context_move_refused = false;  // tests: behave as drivers whose contexts stay with their window
};

namespace mxt::platform {

// ---------------------------------------------------------------------------
// [SECTION] Start-up and clocks

bool video_init() {
  if (SDL_WasInit(SDL_INIT_VIDEO) != 0) return true;
  // The runtime draws its own pointer policy and never wants SDL to minimise
  // a full-screen window behind its back when focus moves.
  SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  return SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS) == 0;
}

void video_quit() {
  if (SDL_WasInit(SDL_INIT_VIDEO) != 0) SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS);
}

const char* last_error() { return SDL_GetError(); }

bool display_is_virtual() {
  // Before video is up, the driver SDL will pick is the one its hint names.
  const char* d = SDL_GetCurrentVideoDriver();
  if (!d) d = SDL_getenv("SDL_VIDEODRIVER");
  return d && (std::strcmp(d, "offscreen") == 0 || std::strcmp(d, "dummy") == 0);
}

uint64_t perf_counter() { return SDL_GetPerformanceCounter(); }
uint64_t perf_frequency() { return SDL_GetPerformanceFrequency(); }
uint64_t ticks_ms() { return SDL_GetTicks64(); }
void sleep_ms(int ms) { SDL_Delay(ms > 0 ? static_cast<Uint32>(ms) : 0); }

// ---------------------------------------------------------------------------
// [SECTION] Windows and contexts

Window* create_window(const WindowSpec& spec) {
  if (!video_init()) return nullptr;
  SDL_GL_ResetAttributes();
  const int bits = spec.colour_bits <= 16 ? 16 : 24;
  SDL_GL_SetAttribute(SDL_GL_RED_SIZE, bits == 16 ? 5 : 8);
  SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, bits == 16 ? 6 : 8);
  SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, bits == 16 ? 5 : 8);
  SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
  SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  // A compatibility context: the renderer draws with the fixed-function API.
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
  SDL_GL_SetAttribute(SDL_GL_MULTISAMPLEBUFFERS, spec.samples > 0 ? 1 : 0);
  SDL_GL_SetAttribute(SDL_GL_MULTISAMPLESAMPLES, spec.samples > 0 ? spec.samples : 0);

  Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN;
  if (spec.resizable) flags |= SDL_WINDOW_RESIZABLE;
  const std::string title = cp1252_to_utf8(spec.title ? spec.title : "");
  SDL_Window* sdl = SDL_CreateWindow(title.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                     spec.width > 0 ? spec.width : 640,
                                     spec.height > 0 ? spec.height : 480, flags);
  if (!sdl) return nullptr;
  auto* w = new Window;
  w->sdl = sdl;
  return w;
}

void destroy_window(Window* w) {
  if (!w) return;
  if (w->fullscreen) SDL_SetWindowFullscreen(w->sdl, 0);
  SDL_DestroyWindow(w->sdl);
  delete w;
}

GlContext create_gl_context(Window* w) { return w ? SDL_GL_CreateContext(w->sdl) : nullptr; }

bool make_current(Window* w, GlContext ctx) {
  return SDL_GL_MakeCurrent(w ? w->sdl : nullptr, static_cast<SDL_GLContext>(ctx)) == 0;
}

void delete_gl_context(GlContext ctx) {
  if (ctx) SDL_GL_DeleteContext(static_cast<SDL_GLContext>(ctx));
}

void swap_window(Window* w) {
  if (w) SDL_GL_SwapWindow(w->sdl);
}

bool set_swap_interval(int interval) { return SDL_GL_SetSwapInterval(interval) == 0; }

void* gl_proc_address(const char* name) { return SDL_GL_GetProcAddress(name); }

void set_window_title(Window* w, const char* title) {
  if (w) SDL_SetWindowTitle(w->sdl, cp1252_to_utf8(title ? title : "").c_str());
}

namespace {

// The window made again at a new size, with the old one's title, flags and
// place; null when it could not be made.
SDL_Window* window_like(SDL_Window* old, int width, int height) {
  const Uint32 flags =
      SDL_GetWindowFlags(old) & (SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN | SDL_WINDOW_SHOWN | SDL_WINDOW_RESIZABLE);
  int x = 0, y = 0;
  SDL_GetWindowPosition(old, &x, &y);
  return SDL_CreateWindow(SDL_GetWindowTitle(old), x, y, width, height, flags);
}

}  // namespace

bool set_window_size(Window* w, int width, int height) {
  if (!w || width <= 0 || height <= 0) return true;
  int old_w = 0, old_h = 0;
  SDL_GetWindowSize(w->sdl, &old_w, &old_h);
  if (old_w == width && old_h == height) return true;
  // The offscreen driver draws into a buffer made with the window, which a
  // resize does not change: make the window again at the new size and move
  // the current GL context over to it. A context that will not move stays
  // with the old window, unchanged, and the caller remakes both.
  const char* driver = SDL_GetCurrentVideoDriver();
  SDL_GLContext ctx = SDL_GL_GetCurrentContext();
  if (driver && std::strcmp(driver, "offscreen") == 0 && ctx && SDL_GL_GetCurrentWindow() == w->sdl) {
    SDL_Window* fresh = window_like(w->sdl, width, height);
    if (!fresh) return false;
    if (w->context_move_refused || SDL_GL_MakeCurrent(fresh, ctx) != 0) {
      SDL_DestroyWindow(fresh);
      SDL_GL_MakeCurrent(w->sdl, ctx);
      return false;
    }
    SDL_DestroyWindow(w->sdl);
    w->sdl = fresh;
    return true;
  }
  SDL_SetWindowSize(w->sdl, width, height);
  return true;
}

bool remake_window(Window* w, int width, int height) {
  if (!w) return false;
  SDL_Window* fresh = window_like(w->sdl, width, height);
  if (!fresh) return false;
  SDL_GL_MakeCurrent(nullptr, nullptr);
  SDL_DestroyWindow(w->sdl);
  w->sdl = fresh;
  return true;
}

void refuse_context_moves(Window* w, bool refuse) {
  if (w) w->context_move_refused = refuse;
}

void window_size(Window* w, int* width, int* height) {
  int a = 0, b = 0;
  if (w) SDL_GetWindowSize(w->sdl, &a, &b);
  if (width) *width = a;
  if (height) *height = b;
}

void set_window_position(Window* w, int x, int y) {
  if (w) SDL_SetWindowPosition(w->sdl, x, y);
}

void show_window(Window* w) {
  if (w) SDL_ShowWindow(w->sdl);
}

void hide_window(Window* w) {
  if (w) SDL_HideWindow(w->sdl);
}

void raise_window(Window* w) {
  if (w) SDL_RaiseWindow(w->sdl);
}


// ---------------------------------------------------------------------------
// [SECTION] Display modes and pointer

Rect display_usable_bounds(Window* w) {
  int index = w ? SDL_GetWindowDisplayIndex(w->sdl) : 0;
  if (index < 0) index = 0;
  SDL_Rect r{0, 0, 0, 0};
  if (SDL_GetDisplayUsableBounds(index, &r) != 0 && SDL_GetDisplayBounds(index, &r) != 0) {
    int dw = 0, dh = 0;
    desktop_size(&dw, &dh);
    r = SDL_Rect{0, 0, dw, dh};
  }
  return Rect{r.x, r.y, r.w, r.h};
}

void desktop_size(int* width, int* height) {
  SDL_DisplayMode mode{};
  if (SDL_GetDesktopDisplayMode(0, &mode) != 0) mode.w = mode.h = 0;
  if (width) *width = mode.w;
  if (height) *height = mode.h;
}

int desktop_bits_per_pixel() {
  SDL_DisplayMode mode{};
  if (SDL_GetDesktopDisplayMode(0, &mode) != 0 || mode.format == 0) return 32;
  return static_cast<int>(SDL_BITSPERPIXEL(mode.format));
}

Borders window_borders(Window* w) {
  Borders b;
  if (w) SDL_GetWindowBordersSize(w->sdl, &b.top, &b.left, &b.bottom, &b.right);
  return b;
}

bool enter_fullscreen(Window* w, int width, int height, int bits) {
  if (!w) return false;
  int index = SDL_GetWindowDisplayIndex(w->sdl);
  if (index < 0) index = 0;
  // Only an exact size counts: a display that cannot show the size must make
  // the caller fall back to a window, not silently stretch.
  SDL_DisplayMode chosen{};
  bool found = false;
  const int modes = SDL_GetNumDisplayModes(index);
  for (int i = 0; i < modes && !found; ++i) {
    SDL_DisplayMode m{};
    if (SDL_GetDisplayMode(index, i, &m) != 0) continue;
    if (m.w != width || m.h != height) continue;
    if (bits != 0 && static_cast<int>(SDL_BITSPERPIXEL(m.format)) != bits) continue;
    chosen = m;
    found = true;
  }
  if (!found) return false;
  if (SDL_SetWindowDisplayMode(w->sdl, &chosen) != 0) return false;
  if (SDL_SetWindowFullscreen(w->sdl, SDL_WINDOW_FULLSCREEN) != 0) return false;
  w->fullscreen = true;
  return true;
}

void leave_fullscreen(Window* w) {
  if (!w || !w->fullscreen) return;
  SDL_SetWindowFullscreen(w->sdl, 0);
  w->fullscreen = false;
}

void set_screensaver_allowed(bool allowed) {
  if (allowed)
    SDL_EnableScreenSaver();
  else
    SDL_DisableScreenSaver();
}

void set_cursor_visible(bool visible) { SDL_ShowCursor(visible ? SDL_ENABLE : SDL_DISABLE); }
void set_relative_mouse(bool on) { SDL_SetRelativeMouseMode(on ? SDL_TRUE : SDL_FALSE); }

void warp_mouse(Window* w, int x, int y) {
  if (w) SDL_WarpMouseInWindow(w->sdl, x, y);
}

void mouse_in_window(Window* w, int* x, int* y) {
  int gx = 0, gy = 0, wx = 0, wy = 0;
  SDL_GetGlobalMouseState(&gx, &gy);
  if (w) SDL_GetWindowPosition(w->sdl, &wx, &wy);
  if (x) *x = gx - wx;
  if (y) *y = gy - wy;
}

uint32_t key_character(int hid_usage) {
  if (hid_usage <= 0 || hid_usage >= SDL_NUM_SCANCODES) return 0;
  const SDL_Keycode k = SDL_GetKeyFromScancode(static_cast<SDL_Scancode>(hid_usage));
  if (k <= 0 || (k & SDLK_SCANCODE_MASK) != 0) return 0;
  return static_cast<uint32_t>(k);
}

// ---------------------------------------------------------------------------
// [SECTION] Events

namespace {

int sdl_button(Uint8 b) {
  switch (b) {
    case SDL_BUTTON_LEFT: return 1;
    case SDL_BUTTON_RIGHT: return 2;
    case SDL_BUTTON_MIDDLE: return 3;
    case SDL_BUTTON_X1: return 4;
    case SDL_BUTTON_X2: return 5;
    default: return 0;
  }
}

Uint8 to_sdl_button(int b) {
  switch (b) {
    case 1: return SDL_BUTTON_LEFT;
    case 2: return SDL_BUTTON_RIGHT;
    case 3: return SDL_BUTTON_MIDDLE;
    case 4: return SDL_BUTTON_X1;
    case 5: return SDL_BUTTON_X2;
    default: return 0;
  }
}

Event translate(const SDL_Event& s) {
  Event e;
  e.timestamp = s.common.timestamp;
  switch (s.type) {
    case SDL_QUIT:
      e.type = EventType::quit;
      break;
    case SDL_WINDOWEVENT:
      switch (s.window.event) {
        case SDL_WINDOWEVENT_CLOSE: e.type = EventType::close; break;
        case SDL_WINDOWEVENT_FOCUS_GAINED: e.type = EventType::focus_gained; break;
        case SDL_WINDOWEVENT_FOCUS_LOST: e.type = EventType::focus_lost; break;
        case SDL_WINDOWEVENT_SHOWN: e.type = EventType::shown; break;
        case SDL_WINDOWEVENT_HIDDEN: e.type = EventType::hidden; break;
        case SDL_WINDOWEVENT_EXPOSED: e.type = EventType::exposed; break;
        case SDL_WINDOWEVENT_SIZE_CHANGED:
          e.type = EventType::resized;
          e.x = s.window.data1;
          e.y = s.window.data2;
          break;
        default: e.type = EventType::other; break;
      }
      break;
    case SDL_KEYDOWN:
    case SDL_KEYUP:
      e.type = s.type == SDL_KEYDOWN ? EventType::key_down : EventType::key_up;
      e.key = static_cast<int32_t>(s.key.keysym.scancode);
      e.repeat = s.key.repeat != 0;
      break;
    case SDL_TEXTINPUT: {
      e.type = EventType::text;
      const std::string bytes = utf8_to_cp1252(s.text.text);
      std::strncpy(e.text, bytes.c_str(), sizeof e.text - 1);
      break;
    }
    case SDL_MOUSEMOTION:
      e.type = EventType::mouse_move;
      e.x = s.motion.x;
      e.y = s.motion.y;
      e.dx = s.motion.xrel;
      e.dy = s.motion.yrel;
      e.from_touch = s.motion.which == SDL_TOUCH_MOUSEID;
      break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
      e.type = s.type == SDL_MOUSEBUTTONDOWN ? EventType::mouse_down : EventType::mouse_up;
      e.button = sdl_button(s.button.button);
      e.x = s.button.x;
      e.y = s.button.y;
      e.from_touch = s.button.which == SDL_TOUCH_MOUSEID;
      break;
    case SDL_MOUSEWHEEL:
      e.type = EventType::mouse_wheel;
      e.dx = s.wheel.x;
      e.dy = s.wheel.y;
      if (s.wheel.direction == SDL_MOUSEWHEEL_FLIPPED) {
        e.dx = -e.dx;
        e.dy = -e.dy;
      }
      break;
    case SDL_FINGERDOWN:
    case SDL_FINGERUP:
    case SDL_FINGERMOTION:
      e.type = s.type == SDL_FINGERDOWN ? EventType::finger_down
               : s.type == SDL_FINGERUP ? EventType::finger_up
                                        : EventType::finger_move;
      e.finger = static_cast<int64_t>(s.tfinger.fingerId);
      e.fx = s.tfinger.x;
      e.fy = s.tfinger.y;
      e.pressure = s.tfinger.pressure;
      break;
    default:
      e.type = EventType::other;
      break;
  }
  return e;
}

bool to_sdl(const Event& e, SDL_Event& s) {
  std::memset(&s, 0, sizeof s);
  SDL_Window* focus = SDL_GetKeyboardFocus();
  if (!focus) focus = SDL_GetMouseFocus();
  const Uint32 window_id = focus ? SDL_GetWindowID(focus) : 0;
  switch (e.type) {
    case EventType::quit:
      s.type = SDL_QUIT;
      return true;
    case EventType::close:
    case EventType::focus_gained:
    case EventType::focus_lost:
    case EventType::resized:
      s.type = SDL_WINDOWEVENT;
      s.window.windowID = window_id;
      s.window.event = e.type == EventType::close          ? SDL_WINDOWEVENT_CLOSE
                       : e.type == EventType::focus_gained ? SDL_WINDOWEVENT_FOCUS_GAINED
                       : e.type == EventType::focus_lost   ? SDL_WINDOWEVENT_FOCUS_LOST
                                                           : SDL_WINDOWEVENT_SIZE_CHANGED;
      s.window.data1 = e.x;
      s.window.data2 = e.y;
      return true;
    case EventType::key_down:
    case EventType::key_up:
      s.type = e.type == EventType::key_down ? SDL_KEYDOWN : SDL_KEYUP;
      s.key.windowID = window_id;
      s.key.state = e.type == EventType::key_down ? SDL_PRESSED : SDL_RELEASED;
      s.key.repeat = e.repeat ? 1 : 0;
      s.key.keysym.scancode = static_cast<SDL_Scancode>(e.key);
      s.key.keysym.sym = SDL_GetKeyFromScancode(static_cast<SDL_Scancode>(e.key));
      return true;
    case EventType::text: {
      s.type = SDL_TEXTINPUT;
      s.text.windowID = window_id;
      const std::string utf8 = cp1252_to_utf8(e.text);
      std::strncpy(s.text.text, utf8.c_str(), sizeof s.text.text - 1);
      return true;
    }
    case EventType::mouse_move:
      s.type = SDL_MOUSEMOTION;
      s.motion.windowID = window_id;
      s.motion.x = e.x;
      s.motion.y = e.y;
      s.motion.xrel = e.dx;
      s.motion.yrel = e.dy;
      return true;
    case EventType::mouse_down:
    case EventType::mouse_up:
      s.type = e.type == EventType::mouse_down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
      s.button.windowID = window_id;
      s.button.button = to_sdl_button(e.button);
      s.button.state = e.type == EventType::mouse_down ? SDL_PRESSED : SDL_RELEASED;
      s.button.clicks = 1;
      s.button.x = e.x;
      s.button.y = e.y;
      return true;
    case EventType::mouse_wheel:
      s.type = SDL_MOUSEWHEEL;
      s.wheel.windowID = window_id;
      s.wheel.x = e.dx;
      s.wheel.y = e.dy;
      return true;
    case EventType::finger_down:
    case EventType::finger_up:
    case EventType::finger_move:
      s.type = e.type == EventType::finger_down ? SDL_FINGERDOWN
               : e.type == EventType::finger_up ? SDL_FINGERUP
                                                : SDL_FINGERMOTION;
      s.tfinger.touchId = 1;
      s.tfinger.fingerId = e.finger;
      s.tfinger.x = e.fx;
      s.tfinger.y = e.fy;
      s.tfinger.pressure = e.pressure;
      return true;
    default:
      return false;
  }
}

}  // namespace

bool poll_event(Event& e) {
  SDL_Event s;
  if (!SDL_PollEvent(&s)) return false;
  e = translate(s);
  return true;
}

bool peek_event(Event& e) {
  SDL_PumpEvents();
  SDL_Event s;
  if (SDL_PeepEvents(&s, 1, SDL_PEEKEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) <= 0) return false;
  e = translate(s);
  return true;
}

bool wait_event(int timeout_ms) {
  if (timeout_ms < 0) return SDL_WaitEvent(nullptr) != 0;
  return SDL_WaitEventTimeout(nullptr, timeout_ms) != 0;
}

bool push_event(const Event& e) {
  SDL_Event s;
  if (!to_sdl(e, s)) return false;
  return SDL_PushEvent(&s) == 1;
}

void flush_events() {
  SDL_PumpEvents();
  SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
}

// ---------------------------------------------------------------------------
// [SECTION] Message boxes

void message_box(const char* caption, const char* text, BoxIcon icon) {
  const Uint32 flags = icon == BoxIcon::error     ? SDL_MESSAGEBOX_ERROR
                       : icon == BoxIcon::warning ? SDL_MESSAGEBOX_WARNING
                                                  : SDL_MESSAGEBOX_INFORMATION;
  SDL_ShowSimpleMessageBox(flags, cp1252_to_utf8(caption ? caption : "").c_str(),
                           cp1252_to_utf8(text ? text : "").c_str(), nullptr);
}

bool open_document(const std::string& path_or_url) {
  return SDL_OpenURL(cp1252_to_utf8(path_or_url).c_str()) == 0;
}

}  // namespace mxt::platform
