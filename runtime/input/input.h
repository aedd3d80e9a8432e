// Input: the mouse, touch, the keyboard and joysticks.
//
// Positions are screen coordinates: logical pixels, origin top-left, after
// the orientation and the virtual screen. The mouse and up to 31 touch
// contacts each hold one of 32 pointer slots while they are down; select a
// slot with mxt_select_mouse to read it like a mouse. Keys are DirectInput
// scan codes (Escape 1, the digit row 1..9 as 2..10, 0 as 11, left Alt 0x38,
// F4 0x3E, ...); key states are a snapshot taken once a frame. Typed
// characters are Windows-1252 bytes, at most 16 waiting.
//
// Joysticks are numbered 0..9 in the order the system lists them; a pad
// plugged in or pulled out while the game runs renumbers them. Every query
// reads the device anew. Axes run -1..1 with no dead zone; X/Y and RX/RY
// (and the hat) turn with the screen's orientation. Buttons read 128 while
// pressed. Queries on an index without a device read 0.
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

// ---------------------------------------------------------------------------
// Joysticks

int mxt_joy_count();                       // joysticks open now, at most 10 [cannot fail]
RtString mxt_joy_name(int index);          // "instance, product"; "" outside 0..count-1 [cannot fail]
double mxt_joy_x(int index);               // left stick, -1 (left) .. 1, turned with the screen [cannot fail]
double mxt_joy_y(int index);               // left stick, -1 (up) .. 1, turned with the screen [cannot fail]
double mxt_joy_z(int index);               // Z axis (a pad's triggers: left +, right -) [cannot fail]
double mxt_joy_rx(int index);              // right stick X, turned with the screen [cannot fail]
double mxt_joy_ry(int index);              // right stick Y, turned with the screen [cannot fail]
double mxt_joy_rz(int index);              // RZ axis [cannot fail]
int mxt_joy_hat_x(int index);              // first hat: -1 left, 0, 1 right [cannot fail]
int mxt_joy_hat_y(int index);              // first hat: -1 up, 0, 1 down [cannot fail]
int mxt_joy_button(int index, unsigned button);  // 128 while pressed; 0 up, or a button above 31 [cannot fail]
void mxt_joy_digital(int& x, int& y, int& button1, int& button2);  // joystick 0 as a pad: -1/0/1 beyond 30000
                                           // of 32767, buttons 0 and 1 (128 pressed) [cannot fail]
void mxt_joy_digital(double& x, double& y, double& button1, double& button2);  // the same as numbers
                                           // [cannot fail]
void mxt_joy_rumble(int index, double ms, double x, double y);  // shake for ms, strength (x^2+y^2)/2
                                           // [fails: nothing, on a device that cannot rumble]
