// The program's one window after creation: its event handling, windowed,
// full-screen and hidden modes, resizing at run time, and the desktop's file
// dialog and document opener, which hide and bring back the window.
//
// [SECTION] Window events
// [SECTION] Modes
// [SECTION] Commands
#include "runtime/core/window.h"

#include <string>
#include <vector>

#include "runtime/base/log.h"
#include "runtime/base/singletons.h"
#include "runtime/core/runtime.h"
#include "runtime/files/directories.h"
#include "runtime/files/rtfile.h"
#include "runtime/gfx2d/renderer.h"
#include "runtime/input/input_state.h"
#include "runtime/platform/platform.h"

namespace mxt {

// ---------------------------------------------------------------------------
// [SECTION] Window events

namespace {

void show_title(bool paused) {
  if (!rt.window) return;
  RtString text(rt.core->title_copy);
  if (paused) text.append(" <pause>");
  platform::set_window_title(rt.window, text.c_str());
}

}  // namespace

void handle_window_event(const platform::Event& e) {
  using platform::EventType;
  switch (e.type) {
    case EventType::quit:
    case EventType::close:
      mxt_end();
      break;
    case EventType::focus_lost:
      platform::set_screensaver_allowed(true);
      if (rt.core && rt.core->settings.debug_mode == 0) {
        on_focus_change(1);
        if (rt.core->pause.paused) show_title(true);
      }
      break;
    case EventType::focus_gained:
      platform::set_screensaver_allowed(false);
      if (rt.core && rt.core->settings.debug_mode == 0) {
        on_focus_change(0);
        if (!rt.core->pause.paused) show_title(false);
      }
      break;
    default:
      break;
  }
}

// ---------------------------------------------------------------------------
// [SECTION] Modes

WindowPlacement centre_window(int client_w, int client_h, int work_w, int work_h, int border_x,
                              int border_y, int caption) {
  WindowPlacement p;
  p.outer_w = client_w + 6 * border_x;
  p.outer_h = client_h + caption + 6 * border_y;
  p.x = (work_w - client_w) / 2;
  p.y = (work_h - client_h) / 2;
  return p;
}

void enter_windowed_mode() {
  VuduRODoverore* r = rt.renderer;
  if (!r || !r->window) return;
  if (r->fullscreen) platform::leave_fullscreen(r->window);
  if (!platform::set_window_size(r->window, r->window_width, r->window_height)) {
    // The context cannot follow the window to its new size: both are made
    // again, and the sprites carried over.
    r->recreate_context(r->window_width, r->window_height);
    rt.window = r->window;
  }
  const platform::Rect work = platform::display_usable_bounds(r->window);
  // The borders the window system reports stand in for the caption and frame
  // sizes; the platform places the client area, so the frame is added back.
  const platform::Borders b = platform::window_borders(r->window);
  const WindowPlacement p = centre_window(r->window_width, r->window_height, work.w, work.h,
                                          (b.left + b.right) / 6, b.bottom / 6, b.top);
  platform::set_window_position(r->window, p.x + b.left, p.y + b.top);
  platform::show_window(r->window);
  platform::raise_window(r->window);
  r->set_viewport(0, 0, 0, 0, 1.0f);
  r->fullscreen = 0;
}

int enter_fullscreen_mode() {
  VuduRODoverore* r = rt.renderer;
  if (!r || !r->window) return 0;
  const int desktop_bits = platform::desktop_bits_per_pixel();
  const int bits = (r->colour_bits != 0 && r->colour_bits != desktop_bits) ? r->colour_bits : 0;
  bool ok = platform::enter_fullscreen(r->window, r->window_width, r->window_height, bits);
  if (!ok && bits != 0) ok = platform::enter_fullscreen(r->window, r->window_width, r->window_height, 0);
  if (!ok) {
    write_log_line("No Fullscreen Mode available\n");
    enter_windowed_mode();
    return 0;
  }
  // The viewport is reset before the window is shown and again once it
  // covers the display, in the runtime's order.
  r->set_viewport(0, 0, 0, 0, 1.0f);
  platform::show_window(r->window);
  platform::raise_window(r->window);
  r->set_viewport(0, 0, 0, 0, 1.0f);
  r->fullscreen = 1;
  return 1;
}

void enter_hidden_state() {
  VuduRODoverore* r = rt.renderer;
  if (!r || !r->window) return;
  if (r->fullscreen) platform::leave_fullscreen(r->window);
  platform::hide_window(r->window);
  r->fullscreen = 0;
  pump_messages(nullptr, false);
}

void set_mode(int width, int height, int colour_bits, int fullscreen) {
  VuduRODoverore* r = rt.renderer;
  if (!r) return;
  if (width != 0) r->window_width = width;
  if (height != 0) r->window_height = height;
  if (colour_bits != 0) r->colour_bits = colour_bits;
  r->virtual_width = 0;
  r->virtual_height = 0;
  // Through windowed mode first, always: a display mode is set only from the
  // desktop's own.
  enter_windowed_mode();
  if (fullscreen)
    enter_fullscreen_mode();
  else
    enter_windowed_mode();
}

}  // namespace mxt

// ---------------------------------------------------------------------------
// [SECTION] Commands

using namespace mxt;

void mxt_set_screen(int width, int height, int fullscreen) {
  ProjectSettings& settings = rt.core->settings;
  settings.screen_width = width;
  settings.screen_height = height;
  settings.fullscreen = fullscreen;
  set_mode(width, height, 0, fullscreen);
  if (rt.input && rt.renderer) {
    rt.input->apply_pointer_mode();  // the visibility itself does not change
    rt.input->window = rt.renderer->window;
  }
  if (rt.renderer) rt.window = rt.renderer->window;
  for (int i = 0; i < 5; ++i) mxt_show_screen();
}

int mxt_is_fullscreen() { return rt.renderer && rt.renderer->fullscreen ? 1 : 0; }

// The window hides while the dialog is up and comes back in the mode it had;
// the dialog may wander, so the current directory is put back. A run nobody
// can answer gets no dialog at all.
RtString mxt_file_dialog(int open, const RtString& filter) {
  if (rt.unattended) return RtString("NO_FILE");
  const std::vector<platform::FileFilter> filters = parse_file_filter(filter.view());
  const std::string cwd = platform::current_dir();
  const bool was_fullscreen = rt.renderer && rt.renderer->fullscreen;
  const bool had_window = rt.renderer && rt.renderer->window;
  if (had_window) enter_hidden_state();
  std::string chosen;
  const bool ok = platform::file_dialog(open != 0, cwd, filters, chosen);
  platform::set_current_dir(cwd);
  if (had_window) {
    if (was_fullscreen)
      enter_fullscreen_mode();
    else
      enter_windowed_mode();
  }
  if (!ok || chosen.empty()) return RtString("NO_FILE");
  RtString result(chosen.c_str());
  to_forward_slashes(result);
  return result;
}

void mxt_open_document(const RtString& path) {
  const std::string target = path.view().find("://") != std::string_view::npos ? path.str() : platform_name(path);
  if (!rt.core->frame.escape_switch) {
    platform::open_document(target);
    return;
  }
  runtime_shutdown();
  platform::open_document(target);
  mxt_end();
}
