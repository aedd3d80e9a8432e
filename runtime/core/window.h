// The program's one window after creation: its event handling (close, focus
// with the pause and the " <pause>" title, the screen saver), windowed and
// full-screen modes, the hidden state, and resizing at run time. The
// commands are in core.h.
#pragma once

namespace mxt {

namespace platform {
struct Event;
}

void handle_window_event(const platform::Event& e);
void enter_windowed_mode();
int enter_fullscreen_mode();                 // 1: a display mode is set; 0: it fell back to a window
void enter_hidden_state();
void set_mode(int width, int height, int colour_bits, int fullscreen);

// The outer window position that centres a client area on a work area, by
// the runtime's arithmetic: the work area's own left and top are not added.
struct WindowPlacement {
  int x, y, outer_w, outer_h;
};
WindowPlacement centre_window(int client_w, int client_h, int work_w, int work_h, int border_x,
                              int border_y, int caption);

}  // namespace mxt
