// Helpers for the file-layer tests: a scratch folder that is also the current
// directory and the temporary folder, and raw archive bytes built by hand so
// that every field can be made to lie.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "runtime/files/archive.h"
#include "runtime/platform/platform.h"
#include "support/child.h"

namespace files_test {

inline std::string le32(int64_t v) {
  const auto u = static_cast<uint32_t>(static_cast<int32_t>(v));
  return {static_cast<char>(u & 0xFF), static_cast<char>((u >> 8) & 0xFF), static_cast<char>((u >> 16) & 0xFF),
          static_cast<char>((u >> 24) & 0xFF)};
}

// The stored form of a file: its size, then the LZO1X stream.
inline std::string stored(const std::string& content) {
  std::string packed;
  EXPECT_TRUE(mxt::lzo_compress(content.data(), static_cast<int64_t>(content.size()), packed, false));
  return le32(static_cast<int64_t>(content.size())) + packed;
}

// One directory entry with every field given.
inline std::string dir_entry(const std::string& name, int64_t data_offset, int64_t stored_size) {
  return std::string(1, static_cast<char>(name.size())) + name + le32(data_offset) + le32(stored_size);
}

inline std::string trailer(int64_t directory_offset) { return "sbX" + le32(directory_offset); }

// An archive with positive offsets laid out by hand: data, directory, 0, trailer.
inline std::string plain_archive(const std::vector<std::pair<std::string, std::string>>& files) {
  std::string data, dir;
  for (const auto& [name, content] : files) {
    const std::string s = stored(content);
    dir += dir_entry(name, static_cast<int64_t>(data.size()), static_cast<int64_t>(s.size()));
    data += s;
  }
  return data + dir + std::string(1, '\0') + trailer(static_cast<int64_t>(data.size()));
}

// A scratch folder that is the current directory and $TMPDIR for one test.
class ScratchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    old_cwd_ = std::filesystem::current_path();
    const char* t = std::getenv("TMPDIR");
    had_tmpdir_ = t != nullptr;
    if (t) old_tmpdir_ = t;
    std::filesystem::create_directory(dir_.file("tmp"));
    std::filesystem::create_directory(dir_.file("work"));
    setenv("TMPDIR", temp().c_str(), 1);
    std::filesystem::current_path(work());
  }
  void TearDown() override {
    std::filesystem::current_path(old_cwd_);
    if (had_tmpdir_)
      setenv("TMPDIR", old_tmpdir_.c_str(), 1);
    else
      unsetenv("TMPDIR");
  }
  std::string temp() const { return dir_.file("tmp"); }
  std::string work() const { return dir_.file("work"); }
  std::string root() const { return dir_.path(); }
  std::vector<std::string> names_in(const std::string& folder) const {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(folder)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

 private:
  mxt_test::TempDir dir_;
  std::filesystem::path old_cwd_;
  std::string old_tmpdir_;
  bool had_tmpdir_ = false;
};

}  // namespace files_test
