// The keyboard through real SDL key and text events: scan codes, the per-frame
// snapshot, the typed-character queue, the layout's characters, the wait.
#include <string>

#include "runtime/base/singletons.h"
#include "input/input_fixture.h"
#include "runtime/input/keymap.h"

using namespace input_test;

TEST(KeyMap, EveryMappedCodeComesBackToItsKey) {
  int mapped = 0;
  for (int hid = 1; hid < 512; ++hid) {
    const int dik = mxt::dik_from_hid(hid);
    if (dik == 0) continue;
    ++mapped;
    EXPECT_EQ(mxt::dik_from_hid(mxt::hid_from_dik(dik)), dik) << "usage " << hid;
  }
  // Letters, digits, the main block, F1..F15, navigation, keypad, modifiers
  for (int hid : {4, 29, 30, 39, 40, 57, 58, 69, 73, 82, 83, 99, 104, 106, 224, 231})
    EXPECT_NE(mxt::dik_from_hid(hid), 0) << "usage " << hid;
  EXPECT_GT(mapped, 120);
  EXPECT_EQ(mxt::dik_from_hid(0), 0);
  EXPECT_EQ(mxt::dik_from_hid(100000), 0);
  EXPECT_EQ(mxt::hid_from_dik(0x54), 0) << "no key makes 0x54";
}

TEST_F(InputTest, DigitRowEscapeLeftAltAndF4ArriveAsTheirScanCodes) {
  const SDL_Scancode digits[] = {SDL_SCANCODE_1, SDL_SCANCODE_2, SDL_SCANCODE_3, SDL_SCANCODE_4, SDL_SCANCODE_5,
                                 SDL_SCANCODE_6, SDL_SCANCODE_7, SDL_SCANCODE_8, SDL_SCANCODE_9};
  for (SDL_Scancode s : digits) key(s, true);
  key(SDL_SCANCODE_ESCAPE, true);
  key(SDL_SCANCODE_LALT, true);
  key(SDL_SCANCODE_F4, true);
  pump();
  next_frame();
  for (int code = 2; code <= 10; ++code) EXPECT_EQ(mxt_key(code), 1) << code;
  EXPECT_EQ(mxt_key(1), 1);
  EXPECT_EQ(mxt_key(0x38), 1);
  EXPECT_EQ(mxt_key(0x3E), 1);
  EXPECT_EQ(mxt_key(11), 0) << "0 was not pressed";
  EXPECT_EQ(mxt_key(0xB8), 0) << "right Alt is a key of its own";
  EXPECT_EQ(mxt_key(258), 1) << "only the low byte of the code counts";

  for (SDL_Scancode s : digits) key(s, false);
  key(SDL_SCANCODE_LALT, false);
  pump();
  next_frame();
  for (int code = 2; code <= 10; ++code) EXPECT_EQ(mxt_key(code), 0) << code;
  EXPECT_EQ(mxt_key(0x38), 0);
  EXPECT_EQ(mxt_key(0x3E), 1);
}

TEST_F(InputTest, KeyStatesAreASnapshotTakenOncePerFrameOrEveryHundredAndFirstQuery) {
  key(SDL_SCANCODE_1, true);
  pump();
  // Before any frame the counter starts at 0: a hundred queries see the
  // cleared snapshot, the next one refreshes.
  for (int i = 0; i < 100; ++i) ASSERT_EQ(mxt_key(2), 0) << i;
  EXPECT_EQ(mxt_key(2), 1);

  key(SDL_SCANCODE_1, false);
  pump();
  EXPECT_EQ(mxt_key(2), 1) << "the same frame keeps its snapshot";
  next_frame();
  EXPECT_EQ(mxt_key(2), 0);
}

TEST_F(InputTest, TypedTextArrivesAsCodePageBytesInOrderAndAtMostSixteenWait) {
  text("a\xE9");  // "aé": SDL carries it as UTF-8, the runtime takes code page 1252
  pump();
  EXPECT_EQ(in().pop_typed_char(), 0x61);
  EXPECT_EQ(in().pop_typed_char(), 0xE9);
  EXPECT_EQ(in().pop_typed_char(), 0);

  text("xy");
  key(SDL_SCANCODE_RETURN, true);
  key(SDL_SCANCODE_BACKSPACE, true);
  key(SDL_SCANCODE_ESCAPE, true);
  key(SDL_SCANCODE_TAB, true);
  text("z");
  pump();
  const std::string expected = "xy\n\b\tz";
  for (char c : expected) EXPECT_EQ(mxt_typed_char().str(), std::string(1, c));
  EXPECT_EQ(mxt_typed_char().str(), "") << "Escape never enters the queue";

  text("0123456789abcdefXYZ");
  pump();
  std::string got;
  for (RtString c = mxt_typed_char(); c.length > 0; c = mxt_typed_char()) got += c.str();
  EXPECT_EQ(got, "0123456789abcdef") << "characters past the sixteenth are lost";
}

TEST_F(InputTest, KeyToCharFollowsTheLayoutWithFixedAnswersForControlKeys) {
  EXPECT_EQ(mxt_key_to_char(0x1C), 10);
  EXPECT_EQ(mxt_key_to_char(0x9C), 10);
  EXPECT_EQ(mxt_key_to_char(0x0E), 8);
  EXPECT_EQ(mxt_key_to_char(0x2A), 0);
  EXPECT_EQ(mxt_key_to_char(0x01), 0) << "Escape types a control character";
  EXPECT_EQ(mxt_key_to_char(0x0F), 0) << "so does Tab";
  EXPECT_EQ(mxt_key_to_char(0x39), ' ');
  EXPECT_EQ(mxt_key_to_char(0x4F), '1') << "keypad 1";
  EXPECT_EQ(mxt_key_to_char(0x300), 0);
  // Letters come from the current layout; whatever it is, A types a letter
  // and Shift makes it a capital.
  const int a = mxt_key_to_char(0x1E);
  ASSERT_GE(a, 'a');
  ASSERT_LE(a, 'z');
  key(SDL_SCANCODE_LSHIFT, true);
  pump();
  EXPECT_EQ(mxt_key_to_char(0x1E), a - 32);
}

TEST_F(InputTest, WaitKeyIgnoresWhatWasTypedBeforeAndDropsWhatCameWithTheKey) {
  text("old");
  pump();
  script_person({{15, [] {
    key(SDL_SCANCODE_Q, true);
    text("q");
    text("r");
    key(SDL_SCANCODE_Q, false);
  }}});
  mxt_wait_key();
  EXPECT_GE(WaitScript::waits, 15) << "not before the key";
  EXPECT_EQ(mxt_typed_char().str(), "");
  EXPECT_EQ(mxt::rt.core->frame.wait_mode, mxt::WaitMode::none);
}

TEST_F(InputTest, AKeyTappedBetweenTwoSnapshotsIsDownInTheNextOnly) {
  next_frame();
  EXPECT_EQ(mxt_key(0x10), 0);  // Q
  key(SDL_SCANCODE_Q, true);
  key(SDL_SCANCODE_Q, false);
  pump();  // down and up again before the game looks
  EXPECT_EQ(mxt_key(0x10), 0) << "the snapshot of this frame is taken";
  next_frame();
  EXPECT_EQ(mxt_key(0x10), 1) << "the tap is in the next snapshot";
  EXPECT_EQ(mxt_key(0x10), 1) << "for the whole of it";
  next_frame();
  EXPECT_EQ(mxt_key(0x10), 0) << "and in that one only";
}
