#include "runtime/core/window.h"

#include "runtime/core/runtime.h"
#include "runtime/gfx2d/renderer.h"
#include "runtime/input/input_state.h"
#include "runtime/platform/platform.h"

namespace mxt {

RtString title_copy;

namespace {

void show_title(bool paused) {
  if (!rt.window) return;
  RtString text(title_copy);
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
      if (mxt_settings.debug_mode == 0) {
        on_focus_change(1);
        if (pause_state.paused) show_title(true);
      }
      break;
    case EventType::focus_gained:
      platform::set_screensaver_allowed(false);
      if (mxt_settings.debug_mode == 0) {
        on_focus_change(0);
        if (!pause_state.paused) show_title(false);
      }
      break;
    default:
      break;
  }
}

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
  platform::set_window_size(r->window, r->window_width, r->window_height);
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
  r->set_viewport(0, 0, 0, 0, 1.0f);
  platform::show_window(r->window);
  platform::raise_window(r->window);
  r->set_viewport(0, 0, 0, 0, 1.0f);
  r->fullscreen = 1;
  return 1;
}

int enter_hidden_state() {
  VuduRODoverore* r = rt.renderer;
  if (!r || !r->window) return 1;
  if (r->fullscreen) platform::leave_fullscreen(r->window);
  platform::hide_window(r->window);
  r->fullscreen = 0;
  pump_messages(r, nullptr, false);
  return 1;
}

void set_mode(int width, int height, int colour_bits, int fullscreen) {
  VuduRODoverore* r = rt.renderer;
  if (!r) return;
  if (width != 0) r->window_width = width;
  if (height != 0) r->window_height = height;
  if (colour_bits != 0) r->colour_bits = colour_bits;
  r->virtual_width = 0;
  r->virtual_height = 0;
  enter_windowed_mode();
  if (fullscreen)
    enter_fullscreen_mode();
  else
    enter_windowed_mode();
}

}  // namespace mxt

using namespace mxt;

void mxt_set_screen(int width, int height, int fullscreen) {
  mxt_settings.screen_width = width;
  mxt_settings.screen_height = height;
  mxt_settings.fullscreen = fullscreen;
  set_mode(width, height, 0, fullscreen);
  if (rt.input && rt.renderer) {
    rt.input->apply_pointer_mode();  // the visibility itself does not change
    rt.input->window = rt.renderer->window;
  }
  if (rt.renderer) rt.window = rt.renderer->window;
  for (int i = 0; i < 5; ++i) mxt_show_screen();
}

int mxt_is_fullscreen() { return rt.renderer && rt.renderer->fullscreen ? 1 : 0; }
