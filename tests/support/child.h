// Test support: running a real program as a child process and reading what it
// printed, temporary folders, and small file helpers.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace mxt_test {

struct ChildResult {
  int exit_code = -1;      // the program's exit code, or -1
  int signal = 0;          // the signal that ended it, or 0
  bool timed_out = false;
  std::string out;         // standard output
  std::string err;         // standard error
};

struct ChildOptions {
  std::vector<std::pair<std::string, std::string>> env;  // added to (or replacing in) the environment
  std::string cwd;                                      // working folder; empty = this one
  int timeout_ms = 60000;
  bool traced = false;    // run under a minimal tracer, as if a debugger were attached
};

ChildResult run_child(const std::string& program, const std::vector<std::string>& args,
                      const ChildOptions& options = {});

// A test program built from tests/programs/<name>.cpp.
std::string test_program(const std::string& name);

// A fresh folder under the temporary folder, removed with everything in it.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

std::string read_file(const std::string& path);
bool write_file(const std::string& path, const std::string& bytes);
bool file_exists(const std::string& path);
std::vector<std::string> split_lines(const std::string& text);  // "\n"-separated, no empty last

}  // namespace mxt_test
