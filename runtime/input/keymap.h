// Key codes: the runtime's key state is indexed by DirectInput scan codes
// (DIK codes: Escape 1, the digit row 2..11, left Alt 0x38, F4 0x3E, ...).
// The platform reports USB HID usages (the codes SDL calls scancodes); this
// one table turns them into DIK codes.
#pragma once

namespace mxt {

int dik_from_hid(int hid_usage);  // 0 when the key has no DIK code
int hid_from_dik(int dik);        // 0 when no key produces the code

}  // namespace mxt
