// The kill test: a child rewrites an INI file (and, apart, a line file) in a
// loop and is killed with SIGKILL at random moments, 200 times each. After
// every kill the file must be one whole generation, old or new. The same
// children writing the old way, in place, are killed too: that leaves torn,
// empty or missing files, which shows the check catches the fault.
#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <thread>

#include "files/rewriter/content.h"
#include "runtime/base/singletons.h"
#include "runtime/files/rtfile.h"
#include "runtime/files/storage.h"
#include "support/child.h"

extern char** environ;

namespace {

struct Tally {
  int whole = 0;      // one complete generation
  int torn = 0;       // anything else: cut short, mixed, empty, missing
  int advanced = 0;   // whole, and newer than the first generation
};

// The generation a file holds whole, or -1.
int whole_generation(const std::string& path, bool ini) {
  const std::string bytes = mxt_test::read_file(path);
  if (bytes.empty()) return -1;
  const size_t g = bytes.find(ini ? "=g" : "g");
  if (g == std::string::npos) return -1;
  const int generation = std::atoi(bytes.c_str() + g + (ini ? 2 : 1));
  if (bytes != (ini ? rewriter::ini_text(generation) : rewriter::lines_text(generation))) return -1;
  if (ini) {
    // And it parses as that generation, every key in place.
    mxt::RtFile f;
    if (!mxt::open_read(f, RtString(path.c_str()))) return -1;
    std::vector<mxt::IniSection> sections;
    mxt::parse_ini(f, sections);
    mxt::close(f);
    if (sections.size() != 1 || sections[0].entries.size() != rewriter::kIniKeys) return -1;
    for (int i = 0; i < rewriter::kIniKeys; ++i)
      if (sections[0].entries[static_cast<size_t>(i)].value.str() != rewriter::value(generation, i)) return -1;
  }
  return generation;
}

Tally kill_repeatedly(bool ini, const char* way, int kills) {
  mxt_test::TempDir dir;
  setenv("TMPDIR", dir.path().c_str(), 1);  // the children's debug log
  const std::string path = dir.file(ini ? "save.ini" : "save.txt");
  EXPECT_TRUE(mxt_test::write_file(path, ini ? rewriter::ini_text(0) : rewriter::lines_text(0)));
  std::mt19937 random(20261210);
  std::uniform_int_distribution<int> delay_us(3000, 40000);
  Tally tally;
  for (int k = 0; k < kills; ++k) {
    std::string program = MXT_SAVE_REWRITER;
    std::string kind = ini ? "ini" : "lines";
    std::string how = way;
    std::string target = path;
    char* argv[] = {program.data(), kind.data(), how.data(), target.data(), nullptr};
    int ready[2];
    if (pipe(ready) != 0) {
      ADD_FAILURE() << "no pipe";
      break;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, ready[1], 1);
    posix_spawn_file_actions_addclose(&actions, ready[0]);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    close(ready[1]);
    if (spawned != 0) {
      close(ready[0]);
      ADD_FAILURE() << "cannot start " << program;
      break;
    }
    // The child says when its set-up is done; the kill comes a random moment
    // into its rewriting, however long it took to start.
    char byte = 0;
    EXPECT_EQ(read(ready[0], &byte, 1), 1) << "the rewriter did not start";
    std::this_thread::sleep_for(std::chrono::microseconds(delay_us(random)));
    kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    close(ready[0]);  // only now: a child writing to a closed pipe would die of that instead
    EXPECT_TRUE(WIFSIGNALED(status)) << "the rewriter stopped by itself";
    const int generation = whole_generation(path, ini);
    if (generation < 0) {
      ++tally.torn;
      // Put a whole file back, so the next child starts from one.
      mxt_test::write_file(path, ini ? rewriter::ini_text(0) : rewriter::lines_text(0));
    } else {
      ++tally.whole;
      if (generation > 0) ++tally.advanced;
    }
  }
  unsetenv("TMPDIR");
  return tally;
}

}  // namespace

TEST(KillTest, AKilledIniWriteBackLeavesTheOldFileOrTheNew) {
  const Tally safe = kill_repeatedly(true, "safe", 200);
  EXPECT_EQ(safe.torn, 0);
  EXPECT_GT(safe.advanced, 50) << "the kills must land while the file is being rewritten";
  const Tally in_place = kill_repeatedly(true, "in-place", 200);
  std::printf("crash-safe: %d whole (%d past the first generation); in place: %d torn of 200\n", safe.whole,
              safe.advanced, in_place.torn);
  EXPECT_GT(in_place.torn, 0) << "the old way tears files; a check that never sees it proves nothing";
}

TEST(KillTest, AKilledLineFileWriteBackLeavesTheOldFileOrTheNew) {
  const Tally safe = kill_repeatedly(false, "safe", 200);
  EXPECT_EQ(safe.torn, 0);
  EXPECT_GT(safe.advanced, 50) << "the kills must land while the file is being rewritten";
  const Tally in_place = kill_repeatedly(false, "in-place", 200);
  std::printf("crash-safe: %d whole (%d past the first generation); in place: %d torn of 200\n", safe.whole,
              safe.advanced, in_place.torn);
  EXPECT_GT(in_place.torn, 0) << "the old way tears files; a check that never sees it proves nothing";
}
