// USB HID usages to DirectInput scan codes, one table both ways.
#include "runtime/input/keymap.h"

#include <array>
#include <cstddef>

namespace mxt {
namespace {

struct Pair {
  unsigned short hid, dik;
};

// USB HID usage (keyboard page) -> DirectInput scan code.
constexpr Pair kPairs[] = {
    // letters
    {4, 0x1E}, {5, 0x30}, {6, 0x2E}, {7, 0x20}, {8, 0x12}, {9, 0x21}, {10, 0x22}, {11, 0x23},
    {12, 0x17}, {13, 0x24}, {14, 0x25}, {15, 0x26}, {16, 0x32}, {17, 0x31}, {18, 0x18}, {19, 0x19},
    {20, 0x10}, {21, 0x13}, {22, 0x1F}, {23, 0x14}, {24, 0x16}, {25, 0x2F}, {26, 0x11}, {27, 0x2D},
    {28, 0x15}, {29, 0x2C},
    // digit row 1..9, 0
    {30, 0x02}, {31, 0x03}, {32, 0x04}, {33, 0x05}, {34, 0x06}, {35, 0x07}, {36, 0x08}, {37, 0x09},
    {38, 0x0A}, {39, 0x0B},
    // main block
    {40, 0x1C}, {41, 0x01}, {42, 0x0E}, {43, 0x0F}, {44, 0x39}, {45, 0x0C}, {46, 0x0D}, {47, 0x1A},
    {48, 0x1B}, {49, 0x2B}, {50, 0x2B}, {51, 0x27}, {52, 0x28}, {53, 0x29}, {54, 0x33}, {55, 0x34},
    {56, 0x35}, {57, 0x3A},
    // function keys F1..F12
    {58, 0x3B}, {59, 0x3C}, {60, 0x3D}, {61, 0x3E}, {62, 0x3F}, {63, 0x40}, {64, 0x41}, {65, 0x42},
    {66, 0x43}, {67, 0x44}, {68, 0x57}, {69, 0x58},
    // print screen, scroll lock, pause, navigation block, arrows
    {70, 0xB7}, {71, 0x46}, {72, 0xC5}, {73, 0xD2}, {74, 0xC7}, {75, 0xC9}, {76, 0xD3}, {77, 0xCF},
    {78, 0xD1}, {79, 0xCD}, {80, 0xCB}, {81, 0xD0}, {82, 0xC8},
    // keypad
    {83, 0x45}, {84, 0xB5}, {85, 0x37}, {86, 0x4A}, {87, 0x4E}, {88, 0x9C}, {89, 0x4F}, {90, 0x50},
    {91, 0x51}, {92, 0x4B}, {93, 0x4C}, {94, 0x4D}, {95, 0x47}, {96, 0x48}, {97, 0x49}, {98, 0x52},
    {99, 0x53}, {103, 0x8D}, {133, 0xB3},
    // the key between left Shift and Z on non-US boards, the menu key, power
    {100, 0x56}, {101, 0xDD}, {102, 0xDE},
    // F13..F15
    {104, 0x64}, {105, 0x65}, {106, 0x66},
    // the menu and stop keys of some boards, the second keypad equals sign
    {118, 0xDD}, {120, 0x95}, {134, 0x8D},
    // volume and mute
    {127, 0xA0}, {128, 0xB0}, {129, 0xAE},
    // international keys
    {135, 0x73}, {136, 0x70}, {137, 0x7D}, {138, 0x79}, {139, 0x7B},
    // modifiers
    {224, 0x1D}, {225, 0x2A}, {226, 0x38}, {227, 0xDB}, {228, 0x9D}, {229, 0x36}, {230, 0xB8},
    {231, 0xDC},
    // media and browser keys (SDL numbers them above the keyboard page)
    {258, 0x99}, {259, 0x90}, {260, 0xA4}, {261, 0xA2}, {262, 0xA0}, {263, 0xED}, {264, 0xB2},
    {265, 0xEC}, {266, 0xA1}, {267, 0xEB}, {268, 0xE5}, {269, 0xB2}, {270, 0xEA}, {271, 0xE9},
    {272, 0xE8}, {273, 0xE7}, {274, 0xE6}, {282, 0xDF},
};

constexpr int kHidLimit = 512;

struct Tables {
  std::array<unsigned char, kHidLimit> to_dik{};
  std::array<unsigned short, 256> to_hid{};
  constexpr Tables() {
    for (const Pair& p : kPairs) {
      to_dik[p.hid] = static_cast<unsigned char>(p.dik);
      if (to_hid[p.dik] == 0) to_hid[p.dik] = p.hid;  // the first key listed for a code wins
    }
  }
};
constexpr Tables kTables;

}  // namespace

int dik_from_hid(int hid) { return hid > 0 && hid < kHidLimit ? kTables.to_dik[static_cast<std::size_t>(hid)] : 0; }
int hid_from_dik(int dik) { return dik > 0 && dik < 256 ? kTables.to_hid[static_cast<std::size_t>(dik)] : 0; }

}  // namespace mxt
