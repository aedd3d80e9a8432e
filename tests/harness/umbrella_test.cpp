// What a game sees through the umbrella header: the commands, and none of
// the runtime's insides (the GL and SDL headers above all). Checked where the header is included, before any
// other header could bring these in.
#include <moxtril.h>

#if defined(GL_VERSION_1_1) || defined(__gl_h_) || defined(__glext_h_)
#error "moxtril.h brings GL headers to games"
#endif
#if defined(SDL_h_) || defined(_SDL_H)
#error "moxtril.h brings SDL headers to games"
#endif

#include <gtest/gtest.h>

TEST(Umbrella, CommandsOfEverySubsystemAreThere) {
  EXPECT_EQ(mxt_to_int(2.9), 2);
  EXPECT_EQ(mxt_to_int(-2.9), -2);
  EXPECT_EQ(mxt_mid_text("umbrella", 2, 3), RtString("bre"));
  EXPECT_EQ(mxt_last_error(), 0);
  EXPECT_FALSE(mxt_file_exists("no/such/file"));
  EXPECT_EQ(mxt_mouse_count(), 32);
  EXPECT_STREQ(MXT_ON_QUIT, "MXT_ON_QUIT");
}
