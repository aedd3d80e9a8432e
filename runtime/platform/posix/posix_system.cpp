// POSIX implementation of the program's surroundings: arguments, folders,
// files, processes, CPU time and the debugger.
//
// [SECTION] Arguments and the command line
// [SECTION] Program and folders
// [SECTION] Files
// [SECTION] Processes
// [SECTION] Debugger and CPU time
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "runtime/platform/platform.h"
#include "runtime/types/codepage.h"

extern char** environ;

namespace mxt::platform {

namespace {
std::vector<std::string> g_args;  // UTF-8, as the system gave them

std::string to_sys(const std::string& cp1252) { return cp1252_to_utf8(cp1252); }
std::string from_sys(const std::string& utf8) { return utf8_to_cp1252(utf8); }

}  // namespace

// Quotes one argument the way a Windows command line would carry it, so that
// splitting it again by the Windows rules gives the argument back.
std::string quote_argument(const std::string& arg) {
  if (!arg.empty() && arg.find_first_of(" \t\n\v\"") == std::string::npos) return arg;
  std::string out = "\"";
  size_t backslashes = 0;
  for (char c : arg) {
    if (c == '\\') {
      ++backslashes;
    } else if (c == '"') {
      out.append(backslashes * 2 + 1, '\\');
      out += '"';
      backslashes = 0;
    } else {
      out.append(backslashes, '\\');
      out += c;
      backslashes = 0;
    }
  }
  out.append(backslashes * 2, '\\');
  out += '"';
  return out;
}

// Splits a command line by the rules of the Windows C runtime: blanks
// separate arguments outside quotes; 2n backslashes before a quote give n
// backslashes and toggle quoting, 2n+1 give n and a literal quote; "" inside
// quotes is a literal quote. The program name takes no backslash escapes.
std::vector<std::string> split_command_line(const std::string& line) {
  std::vector<std::string> args;
  size_t i = 0;
  const size_t n = line.size();
  auto blank = [](char c) { return c == ' ' || c == '\t'; };
  while (i < n && blank(line[i])) ++i;
  if (i >= n) return args;
  std::string prog;
  if (line[i] == '"') {
    ++i;
    while (i < n && line[i] != '"') prog += line[i++];
    if (i < n) ++i;
  } else {
    while (i < n && !blank(line[i])) prog += line[i++];
  }
  args.push_back(prog);
  for (;;) {
    while (i < n && blank(line[i])) ++i;
    if (i >= n) break;
    std::string arg;
    bool quoted = false;
    while (i < n && (quoted || !blank(line[i]))) {
      if (line[i] == '\\') {
        size_t count = 0;
        while (i < n && line[i] == '\\') {
          ++count;
          ++i;
        }
        if (i < n && line[i] == '"') {
          arg.append(count / 2, '\\');
          if (count % 2) {
            arg += '"';
            ++i;
          }
        } else {
          arg.append(count, '\\');
        }
      } else if (line[i] == '"') {
        if (quoted && i + 1 < n && line[i + 1] == '"') {
          arg += '"';
          i += 2;
        } else {
          quoted = !quoted;
          ++i;
        }
      } else {
        arg += line[i++];
      }
    }
    args.push_back(arg);
  }
  return args;
}

// ---------------------------------------------------------------------------
// [SECTION] Arguments and the command line

void set_arguments(int argc, char** argv) {
  g_args.clear();
  for (int i = 0; i < argc; ++i) g_args.emplace_back(argv[i] ? argv[i] : "");
}

std::string command_line() {
  std::string line = quote_argument(from_sys(program_path()));
  for (size_t i = 1; i < g_args.size(); ++i) {
    line += ' ';
    line += quote_argument(from_sys(g_args[i]));
  }
  return line;
}

// ---------------------------------------------------------------------------
// [SECTION] Program and folders

std::string program_path() {
  char buf[PATH_MAX + 1];
  const ssize_t len = readlink("/proc/self/exe", buf, PATH_MAX);
  if (len > 0) return from_sys(std::string(buf, static_cast<size_t>(len)));
  if (!g_args.empty()) {
    char* full = realpath(g_args[0].c_str(), nullptr);
    if (full) {
      std::string s = from_sys(full);
      std::free(full);
      return s;
    }
    return from_sys(g_args[0]);
  }
  return std::string();
}

std::string temp_folder() {
  const char* t = std::getenv("TMPDIR");
  std::string dir = (t && *t) ? t : "/tmp";
  if (dir.back() != '/') dir += '/';
  return from_sys(dir);
}

std::string current_dir() {
  char buf[PATH_MAX + 1];
  if (!getcwd(buf, sizeof buf)) return std::string();
  return from_sys(buf);
}

bool set_current_dir(const std::string& path) { return chdir(to_sys(path).c_str()) == 0; }

std::string absolute_path(const std::string& path) {
  char* full = realpath(to_sys(path).c_str(), nullptr);
  if (!full) return std::string();
  std::string s = from_sys(full);
  std::free(full);
  return s;
}

// ---------------------------------------------------------------------------
// [SECTION] Files

PathKind path_kind(const std::string& path) {
  struct stat st;
  if (path.empty() || stat(to_sys(path).c_str(), &st) != 0) return PathKind::missing;
  if (S_ISREG(st.st_mode)) return PathKind::file;
  if (S_ISDIR(st.st_mode)) return PathKind::directory;
  return PathKind::other;
}

bool remove_file(const std::string& path) { return unlink(to_sys(path).c_str()) == 0; }
bool remove_directory(const std::string& path) { return rmdir(to_sys(path).c_str()) == 0; }
bool make_directory(const std::string& path) { return mkdir(to_sys(path).c_str(), 0777) == 0; }

bool rename_path(const std::string& from, const std::string& to) {
  return rename(to_sys(from).c_str(), to_sys(to).c_str()) == 0;
}

bool append_to_file(const std::string& path, const void* data, size_t size) {
  const int fd = open(to_sys(path).c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  const char* p = static_cast<const char*>(data);
  bool ok = true;
  while (size > 0) {
    const ssize_t w = write(fd, p, size);
    if (w < 0) {
      if (errno == EINTR) continue;
      ok = false;
      break;
    }
    p += w;
    size -= static_cast<size_t>(w);
  }
  return close(fd) == 0 && ok;
}

// ---------------------------------------------------------------------------
// [SECTION] Processes

bool run_process(const std::string& line, bool wait, int* exit_code) {
  std::vector<std::string> args = split_command_line(line);
  if (args.empty() || args[0].empty()) return false;
  for (auto& a : args) a = to_sys(a);
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);

  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  // The child starts with default signal handling whatever the runtime set.
  sigset_t all;
  sigfillset(&all);
  posix_spawnattr_setsigdefault(&attr, &all);
  sigset_t none;
  sigemptyset(&none);
  posix_spawnattr_setsigmask(&attr, &none);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
  pid_t pid = 0;
  const int rc = posix_spawnp(&pid, argv[0], nullptr, &attr, argv.data(), environ);
  posix_spawnattr_destroy(&attr);
  if (rc != 0) return false;
  if (!wait) return true;
  int status = 0;
  for (;;) {
    const pid_t r = waitpid(pid, &status, 0);
    if (r == pid) break;
    if (r < 0 && errno != EINTR) return true;  // started, but the code is lost
  }
  if (exit_code) {
    if (WIFEXITED(status))
      *exit_code = WEXITSTATUS(status);
    else if (WIFSIGNALED(status))
      *exit_code = 128 + WTERMSIG(status);
  }
  return true;
}

// ---------------------------------------------------------------------------
// [SECTION] Debugger and CPU time

bool debugger_present() {
  FILE* f = std::fopen("/proc/self/status", "r");
  if (!f) return false;
  char line[256];
  bool traced = false;
  while (std::fgets(line, sizeof line, f)) {
    if (std::strncmp(line, "TracerPid:", 10) == 0) {
      traced = std::atoi(line + 10) != 0;
      break;
    }
  }
  std::fclose(f);
  return traced;
}

void debugger_output(const char* text) {
  if (!text) return;
  std::fputs(text, stderr);
  std::fflush(stderr);
}

void debugger_break() {
  if (debugger_present()) raise(SIGTRAP);
}

double process_cpu_seconds() {
  timespec ts{};
  if (clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts) != 0) return 0.0;
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

}  // namespace mxt::platform
