// Key codes: the runtime's key state is indexed by DirectInput scan codes
// (DIK codes: Escape 1, the digit row 2..11, left Alt 0x38, F4 0x3E, ...).
// The platform reports USB HID usages (the codes SDL calls scancodes); this
// one table turns them into DIK codes.
#pragma once

namespace mxt {

int dik_from_hid(int hid_usage);  // 0 when the key has no DIK code
int hid_from_dik(int dik);        // 0 when no key produces the code

// The codes the runtime itself looks at.
constexpr int kKeyEscape = 0x01;
constexpr int kKeyEscapeAlternate = 0x81;  // read by the exit-key test too; no key produces it here
constexpr int kKeyBackspace = 0x0E;
constexpr int kKeyTab = 0x0F;
constexpr int kKeyEnter = 0x1C;
constexpr int kKeyPadEnter = 0x9C;
constexpr int kKeyLeftAlt = 0x38;
constexpr int kKeyF4 = 0x3E;

}  // namespace mxt
