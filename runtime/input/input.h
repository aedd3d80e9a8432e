// Input: the mouse, touch and the keyboard.
//
// Positions are screen coordinates: logical pixels, origin top-left, after
// the orientation and the virtual screen. The mouse and up to 31 touch
// contacts each hold one of 32 pointer slots while they are down; select a
// slot with mxt_select_mouse to read it like a mouse. Keys are DirectInput
// scan codes (Escape 1, the digit row 1..9 as 2..10, 0 as 11, left Alt 0x38,
// F4 0x3E, ...); key states are a snapshot taken once a frame. Typed
// characters are Windows-1252 bytes, at most 16 waiting.
//
// MXT_RECORD=file records a session's input, MXT_REPLAY=file plays it back
// (see README.md).
#pragma once

#include "runtime/types/rtstring.h"

// ---------------------------------------------------------------------------
// Mouse and touch

void mxt_mouse_state(int& x, int& y, int& button1, int& button2);              // commits a reading; left and right button 0 or 1
                                                                               // [cannot fail]
void mxt_mouse_state(double& x, double& y, double& button1, double& button2);  // the same as numbers [cannot fail]
int mxt_mouse_axis(int kind);              // uncommitted: 0/1 speed x/y, 2 wheel steps, 3/4/5 left/right/middle; else 0
                                           // [cannot fail]
void mxt_set_mouse(int x, int y);          // move the runtime's pointer; the system pointer stays where it is
                                           // [cannot fail]
void mxt_show_pointer(double flag);        // 0 hides the system pointer and takes relative motion [cannot fail]
int mxt_mouse_count();                     // 32 pointer slots [cannot fail]
void mxt_select_mouse(int index);          // the slot the mouse commands read; outside 0..31: slot 0 [cannot fail]
void mxt_wait_mouse();                     // blocks until a button is pressed and released [cannot fail]

// ---------------------------------------------------------------------------
// Keyboard

int mxt_key(int code);                     // 1 while the key is down (code & 0xFF); a snapshot per frame [cannot fail]
RtString mxt_typed_char();                 // the oldest typed character, removed; "" when none [cannot fail]
int mxt_key_to_char(int code);             // the character the key types on the current layout, or 0 [cannot fail]
void mxt_wait_key();                       // blocks until a character is typed; drops the rest [cannot fail]
