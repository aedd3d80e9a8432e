// mxt_platform_info: each key against answers put in place of the machine's,
// and the real machine's answers checked for their form.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>

#include "runtime/base/log.h"
#include "runtime/gfx2d/renderer.h"
#include "runtime/platform/platform.h"
#include "support/child.h"
#include "support/gl.h"
#include <moxtril.h>

using namespace mxt_test;

// This test program's build texts, as a game's build supplies them.
RtString mxt_build_stamp() { return RtString("Sep 13 2016-14:17:33"); }
RtString mxt_build_host_id() { return RtString("5eed1e55"); }
RtString mxt_build_version() { return RtString("000.001"); }

namespace {

class PlatformInfo : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* t = std::getenv("TMPDIR");
    if (t) old_tmpdir_ = t;
    had_tmpdir_ = t != nullptr;
    setenv("TMPDIR", tmp_.path().c_str(), 1);
    answers_.local_data = data_dir_.c_str();
    mxt::platform::set_system_answers(&answers_);
  }
  void TearDown() override {
    mxt::platform::set_system_answers(nullptr);
    if (had_tmpdir_)
      setenv("TMPDIR", old_tmpdir_.c_str(), 1);
    else
      unsetenv("TMPDIR");
  }
  static std::string ask(const char* key) {
    RtString k(key);
    return mxt_platform_info(k).str();
  }
  std::string log() const { return read_file(tmp_.file("ErrorLog.txt")); }

  TempDir tmp_;
  std::string data_dir_ = tmp_.path() + "/home/.local/share";  // not there yet
  mxt::platform::SystemAnswers answers_;

 private:
  std::string old_tmpdir_;
  bool had_tmpdir_ = false;
};

// Whether `s` has the shape of `pattern`, where '9' stands for any digit,
// 'F' for an upper-case hexadecimal digit, 'a' for a lower-case letter, and
// anything else for itself. (std::regex draws warnings from GCC 12 under the
// sanitizers, which the build turns into errors.)
bool shaped(const std::string& s, const std::string& pattern) {
  if (s.size() != pattern.size()) return false;
  for (size_t i = 0; i < s.size(); ++i) {
    const char c = s[i], p = pattern[i];
    const bool digit = c >= '0' && c <= '9';
    if (p == '9' ? !digit
                 : p == 'F' ? !(digit || (c >= 'A' && c <= 'F'))
                            : p == 'a' ? !(c >= 'a' && c <= 'z') : c != p)
      return false;
  }
  return true;
}

bool is_time(const std::string& s) { return shaped(s, "9999-99-99 99:99:99"); }
bool is_id(const std::string& s) { return shaped(s, std::string(32, 'F')); }

}  // namespace

TEST_F(PlatformInfo, TheKeyIsUpperCasedInPlaceAndMatchedWhole) {
  RtString key("time");
  const std::string answer = mxt_platform_info(key).str();
  EXPECT_EQ(key.str(), "TIME");
  EXPECT_TRUE(is_time(answer)) << answer;

  RtString desktop("Desktop");
  EXPECT_EQ(mxt_platform_info(desktop).str(), "NO_DATA");
  EXPECT_EQ(desktop.str(), "DESKTOP");
  EXPECT_EQ(ask("device"), "DESKTOP");
  EXPECT_EQ(ask("DEVICE "), "NO_DATA");
  EXPECT_EQ(ask("TIMES"), "NO_DATA");
  EXPECT_EQ(ask("\xE9t\xE9"), "NO_DATA");  // bytes above ASCII are left as they are
  // The empty key names the system the program really runs on.
  EXPECT_EQ(ask(""), "LINUX");
}

TEST_F(PlatformInfo, TimeIsLocalAndUtcWithEveryFieldAfterTheYearInTwoDigits) {
  const char* old_tz = std::getenv("TZ");
  const std::string saved = old_tz ? old_tz : "";
  setenv("TZ", "XST-2", 1);  // two hours east of UTC, no summer time
  tzset();
  answers_.fixed_time = true;
  answers_.time = 1483592589;  // 2017-01-05 05:03:09 UTC
  EXPECT_EQ(ask("TIME"), "2017-01-05 07:03:09");
  EXPECT_EQ(ask("utctime"), "2017-01-05 05:03:09");
  answers_.time = 1703980799;  // 2023-12-30 23:59:59 UTC, a day later east of it
  EXPECT_EQ(ask("TIME"), "2023-12-31 01:59:59");
  if (old_tz)
    setenv("TZ", saved.c_str(), 1);
  else
    unsetenv("TZ");
  tzset();
}

TEST_F(PlatformInfo, BatteryAndDpiHoldToTheirRanges) {
  answers_.battery = 255;  // no battery, or the charge unknown
  EXPECT_EQ(ask("BATTERY"), "100");
  answers_.battery = 57;
  EXPECT_EQ(ask("BATTERY"), "57");
  answers_.battery = 0;
  EXPECT_EQ(ask("BATTERY"), "0");
  answers_.dpi = 72;
  EXPECT_EQ(ask("DPI"), "96");
  answers_.dpi = 95;
  EXPECT_EQ(ask("DPI"), "96");
  answers_.dpi = 0;  // the display does not say
  EXPECT_EQ(ask("DPI"), "96");
  answers_.dpi = 120;
  EXPECT_EQ(ask("DPI"), "120");
}

TEST_F(PlatformInfo, LocaleKeepsTheOldAnswersForEnglish) {
  const std::pair<int, const char*> cases[] = {
      {0x0C07, "de"}, {0x0809, "us"}, {0x0409, "uk"}, {0x0422, "uk"}, {0x0408, "gr"}, {0x0418, "ro"},
      {0x0411, "jp"}, {0x0413, "nl"}, {0x0415, "pl"}, {0x0804, "ch"}, {0x0C0A, "es"}, {0x1234, "us"},
      {0, "us"},
  };
  for (const auto& [id, code] : cases) {
    answers_.language = id;
    EXPECT_EQ(ask("LOCALE"), code) << std::hex << id;
  }
}

TEST_F(PlatformInfo, TheUsersLanguageBecomesAWindowsLanguageIdentifier) {
  const char* names[] = {"LANG", "LANGUAGE", "LC_ALL", "LC_MESSAGES"};
  std::string saved[4];
  bool had[4];
  for (int i = 0; i < 4; ++i) {
    const char* v = std::getenv(names[i]);
    had[i] = v != nullptr;
    if (v) saved[i] = v;
    unsetenv(names[i]);
  }
  const std::pair<const char*, int> cases[] = {
      {"de_AT.UTF-8", 0x0C07}, {"en_US.UTF-8", 0x0409}, {"en_GB", 0x0809}, {"el_GR.UTF-8", 0x0408},
      {"pt_BR", 0x0416},       {"fr", 0x040C},          {"xx_YY", 0},
  };
  for (const auto& [lang, id] : cases) {
    setenv("LANG", lang, 1);
    EXPECT_EQ(mxt::platform::language_id(), id) << lang;
  }
  setenv("LANG", "de_AT.UTF-8", 1);
  EXPECT_EQ(ask("LOCALE"), "de");
  for (int i = 0; i < 4; ++i) {
    if (had[i])
      setenv(names[i], saved[i].c_str(), 1);
    else
      unsetenv(names[i]);
  }
}

TEST_F(PlatformInfo, AppDataMakesTheRuntimeFolderOnceAndAnswersItAgain) {
  ASSERT_FALSE(std::filesystem::exists(data_dir_));
  const std::string first = ask("APPDATA");
  EXPECT_EQ(first, data_dir_ + "/Moxtril");
  EXPECT_TRUE(std::filesystem::is_directory(first));
  EXPECT_EQ(ask("appdata"), first);
  answers_.local_data = "";  // no home at all
  EXPECT_EQ(ask("APPDATA"), "NO_DATA");
}

TEST_F(PlatformInfo, FoldersUseForwardSlashesAndTempKeepsItsSlash) {
  answers_.documents = "/home/someone/Documents";
  EXPECT_EQ(ask("DOCUMENTS"), "/home/someone/Documents");
  answers_.documents = "";
  EXPECT_EQ(ask("DOCUMENTS"), "NO_DATA");
  answers_.temp = "/var/tmp/game/";
  EXPECT_EQ(ask("TEMP"), "/var/tmp/game/");
  answers_.temp = "";  // the system names none: its own, without the slash
  EXPECT_EQ(ask("TEMP"), "/tmp");
  answers_.temp = nullptr;
  EXPECT_EQ(ask("TEMP"), tmp_.path() + "/");
}

TEST_F(PlatformInfo, TheDeviceIdIsReadBackTrimmed) {
  const std::string folder = ask("APPDATA");
  ASSERT_TRUE(write_file(folder + "/moxtril.deviceid", "  abc \t\r\n"));
  EXPECT_EQ(ask("ID"), "abc");
  ASSERT_TRUE(write_file(folder + "/moxtril.deviceid", "any length, any text"));
  EXPECT_EQ(ask("id"), "any length, any text");
}

TEST_F(PlatformInfo, ANewDeviceIdIsKeptAndAnsweredAgain) {
  const std::string id = ask("ID");
  EXPECT_TRUE(is_id(id)) << id;
  const std::string folder = data_dir_ + "/Moxtril";
  EXPECT_EQ(read_file(folder + "/moxtril.deviceid"), id);
  EXPECT_EQ(ask("ID"), id);
  // The file is written beside itself and renamed: nothing else is left.
  int files = 0;
  for (const auto& e : std::filesystem::directory_iterator(folder)) {
    (void)e;
    ++files;
  }
  EXPECT_EQ(files, 1);
  // A blank file is no id: a new one replaces it.
  ASSERT_TRUE(write_file(folder + "/moxtril.deviceid", " \n"));
  const std::string again = ask("ID");
  EXPECT_TRUE(is_id(again)) << again;
  EXPECT_EQ(read_file(folder + "/moxtril.deviceid"), again);
}

TEST_F(PlatformInfo, ADeviceIdThatCannotBeKeptAnswersFa17edAndIsTriedAgain) {
  // The data folder lies under a plain file: no folder can be made there.
  // (Permissions would not stop the tests when they run as root.)
  ASSERT_TRUE(write_file(tmp_.file("plain"), "x"));
  const std::string blocked = tmp_.file("plain") + "/share";
  answers_.local_data = blocked.c_str();
  EXPECT_EQ(ask("APPDATA"), blocked + "/Moxtril");
  EXPECT_EQ(ask("ID"), "FA17ED");
  EXPECT_EQ(ask("ID"), "FA17ED");
  answers_.local_data = data_dir_.c_str();
  const std::string id = ask("ID");
  EXPECT_TRUE(is_id(id)) << id;
}

TEST_F(PlatformInfo, TheBuildTextsComeFromTheGamesBuild) {
  EXPECT_EQ(ask("COMPILED"), "Sep 13 2016-14:17:33");
  EXPECT_EQ(ask("HostId"), "5eed1e55");
  EXPECT_EQ(ask("VERSION"), "000.001");
}

TEST_F(PlatformInfo, TheRealMachineAnswersInForm) {
  mxt::platform::set_system_answers(nullptr);
  EXPECT_TRUE(is_time(ask("TIME")));
  EXPECT_TRUE(is_time(ask("UTCTIME")));
  const int battery = std::atoi(ask("BATTERY").c_str());
  EXPECT_TRUE(battery >= 0 && battery <= 100) << battery;
  EXPECT_EQ(ask("BATTERY"), std::to_string(battery));
  EXPECT_TRUE(shaped(ask("LOCALE"), "aa")) << ask("LOCALE");
  EXPECT_GE(std::atoi(ask("DPI").c_str()), 96);
  const std::string temp = ask("TEMP");
  EXPECT_EQ(temp.back(), '/');
  const std::string docs = ask("DOCUMENTS");
  if (std::getenv("HOME")) {
    EXPECT_EQ(docs.front(), '/') << docs;
    EXPECT_EQ(docs.find('\\'), std::string::npos);
  }
}

TEST_F(PlatformInfo, GlExtensionsAreLookedUpInTheCurrentContext) {
  // Without a context nothing is offered.
  EXPECT_EQ(ask("GLEXT:glGenBuffersARB"), "0");
  mxt::VuduRODoverore* r = make_renderer(64, 64);
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(ask("GLEXT:glGenBuffersARB"), "1");
  EXPECT_EQ(ask("glext:glGenBuffers"), "1");  // the prefix in any case
  std::filesystem::remove(tmp_.file("ErrorLog.txt"));
  // The name keeps the caller's case: GL names are case-sensitive.
  RtString key("glext:glNoSuchFunctionAnywhere");
  EXPECT_EQ(mxt_platform_info(key).str(), "0");
  EXPECT_EQ(key.str(), "GLEXT:GLNOSUCHFUNCTIONANYWHERE");
  EXPECT_EQ(ask("GLEXT:glgenbuffersarb"), "0");
  EXPECT_EQ(log(), "ext: glNoSuchFunctionAnywhere              [FAILED]"
                   "ext: glgenbuffersarb                       [FAILED]");
  destroy_renderer(r);
}
