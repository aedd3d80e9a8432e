// POSIX implementation of the program's surroundings: arguments, folders,
// the environment, files, processes, sleeping, CPU time and the debugger.
//
// [SECTION] Arguments and the command line
// [SECTION] Program, folders and the environment
// [SECTION] Files
// [SECTION] Processes
// [SECTION] Debugger, naps and CPU time
#include <dirent.h>
#include <fcntl.h>
#if defined(__GLIBC__)
#include <malloc.h>
#endif
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "runtime/platform/codepage.h"
#include "runtime/platform/platform.h"
#include "runtime/platform/system_answers.h"

extern char** environ;

namespace mxt::platform {

namespace {
// main()'s own argument vector, UTF-8 as the system gave it; it lives as
// long as the process.
int g_argc = 0;
char** g_argv = nullptr;

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
  g_argc = argv ? argc : 0;
  g_argv = argv;
}

std::string command_line() {
  std::string line = quote_argument(from_sys(program_path()));
  for (int i = 1; i < g_argc; ++i) {
    line += ' ';
    line += quote_argument(from_sys(g_argv[i] ? g_argv[i] : ""));
  }
  return line;
}

// ---------------------------------------------------------------------------
// [SECTION] Program, folders and the environment

std::string program_path() {
  char buf[PATH_MAX + 1];
  const ssize_t len = readlink("/proc/self/exe", buf, PATH_MAX);
  if (len > 0) return from_sys(std::string(buf, static_cast<size_t>(len)));
  if (g_argc > 0 && g_argv[0]) {
    char* full = realpath(g_argv[0], nullptr);
    if (full) {
      std::string s = from_sys(full);
      std::free(full);
      return s;
    }
    return from_sys(g_argv[0]);
  }
  return std::string();
}

std::string temp_folder() {
  if (const SystemAnswers* a = system_answers(); a && a->temp) return a->temp;
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

const char* env(const char* name) { return name ? std::getenv(name) : nullptr; }

bool stdin_is_terminal() { return isatty(STDIN_FILENO) == 1; }

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
  return std::rename(to_sys(from).c_str(), to_sys(to).c_str()) == 0;
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

namespace {

bool write_all(int fd, const char* p, size_t size) {
  while (size > 0) {
    const ssize_t w = write(fd, p, size);
    if (w < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    p += w;
    size -= static_cast<size_t>(w);
  }
  return true;
}

}  // namespace

bool replace_file(const std::string& path, const void* data, size_t size) {
  const std::string target = to_sys(path);
  const size_t slash = target.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : target.substr(0, slash);
  struct stat old;
  const bool had_file = stat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode);
  // A short name of its own in the target's folder (rename works only within
  // one file system), made exclusively so nothing planted there is followed.
  std::string temp;
  int fd = -1;
  for (int n = 0; fd < 0 && n < 1000; ++n) {
    temp = folder + "/.mxt-save-" + std::to_string(getpid()) + "-" + std::to_string(n) + ".tmp";
    fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) return false;
  }
  if (fd < 0) return false;
  bool ok = write_all(fd, static_cast<const char*>(data), size);
  if (ok && had_file) ok = fchmod(fd, old.st_mode & 07777) == 0;
  if (ok) ok = fsync(fd) == 0;
  int why = errno;
  if (::close(fd) != 0 && ok) {
    ok = false;
    why = errno;
  }
  if (ok && std::rename(temp.c_str(), target.c_str()) != 0) {
    ok = false;
    why = errno;
  }
  if (!ok) {
    unlink(temp.c_str());
    errno = why;
    return false;
  }
  // The rename is an entry in the folder: flushing the folder keeps it across a power cut.
  const int dir = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    fsync(dir);
    ::close(dir);
  }
  return true;
}

bool read_whole_file(const std::string& path, std::string& out, int64_t limit) {
  out.clear();
  File* f = open_file(path, FileMode::read);
  if (!f) return false;
  const int64_t size = file_size(f);
  bool ok = size >= 0 && size <= limit;
  if (ok) {
    out.resize(static_cast<size_t>(size));
    ok = read_file(f, out.data(), size) == size;
  }
  close_file(f);
  if (!ok) out.clear();
  return ok;
}

PathInfo path_info(const std::string& path) {
  PathInfo info;
  struct stat st;
  if (path.empty() || stat(to_sys(path).c_str(), &st) != 0) return info;
  info.kind = S_ISREG(st.st_mode) ? PathKind::file : S_ISDIR(st.st_mode) ? PathKind::directory : PathKind::other;
  info.size = static_cast<int64_t>(st.st_size);
  info.modified = static_cast<int64_t>(st.st_mtime);
  return info;
}

bool local_time(int64_t seconds, CalendarTime& out) {
  const time_t t = static_cast<time_t>(seconds);
  struct tm parts {};
  if (!localtime_r(&t, &parts)) return false;
  out.year = parts.tm_year + 1900;
  out.month = parts.tm_mon + 1;
  out.day = parts.tm_mday;
  out.hour = parts.tm_hour;
  out.minute = parts.tm_min;
  out.second = parts.tm_sec;
  return true;
}

bool list_directory(const std::string& path, std::vector<DirEntry>& out) {
  const std::string sys = to_sys(path.empty() ? "." : path);
  DIR* dir = opendir(sys.c_str());
  if (!dir) return false;
  while (const dirent* e = readdir(dir)) {
    DirEntry entry;
    entry.name = from_sys(e->d_name);
    if (e->d_type == DT_DIR) {
      entry.directory = true;
    } else if (e->d_type == DT_LNK || e->d_type == DT_UNKNOWN) {
      struct stat st;
      const std::string full = sys + "/" + e->d_name;
      entry.directory = stat(full.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    }
    out.push_back(std::move(entry));
  }
  closedir(dir);
  return true;
}

struct File {
  int fd;
};

File* open_file(const std::string& path, FileMode mode) {
  int flags = O_CLOEXEC;
  switch (mode) {
    case FileMode::read: flags |= O_RDONLY; break;
    case FileMode::create: flags |= O_RDWR | O_CREAT | O_TRUNC; break;
    case FileMode::open_or_create: flags |= O_WRONLY | O_CREAT; break;
    case FileMode::create_new: flags |= O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW; break;
  }
  const mode_t perms = mode == FileMode::create_new ? 0600 : 0644;
  int fd;
  do {
    fd = open(to_sys(path).c_str(), flags, perms);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return nullptr;
  struct stat st;
  if (mode == FileMode::read && (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode))) {
    const int why = S_ISDIR(st.st_mode) ? EISDIR : errno;
    ::close(fd);  // a directory opens on POSIX but is no file to read
    errno = why;
    return nullptr;
  }
  return new File{fd};
}

int64_t read_file(File* f, void* dst, int64_t n) {
  if (!f || n < 0) return -1;
  char* p = static_cast<char*>(dst);
  int64_t done = 0;
  while (done < n) {
    const size_t chunk = static_cast<size_t>(std::min<int64_t>(n - done, 1 << 30));
    const ssize_t r = read(f->fd, p + done, chunk);
    if (r < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (r == 0) break;
    done += r;
  }
  return done;
}

int64_t write_file(File* f, const void* src, int64_t n) {
  if (!f || n < 0) return -1;
  const char* p = static_cast<const char*>(src);
  int64_t done = 0;
  while (done < n) {
    const size_t chunk = static_cast<size_t>(std::min<int64_t>(n - done, 1 << 30));
    const ssize_t w = write(f->fd, p + done, chunk);
    if (w < 0) {
      if (errno == EINTR) continue;
      return done > 0 ? done : -1;
    }
    done += w;
  }
  return done;
}

bool seek_file(File* f, int64_t offset) {
  return f && offset >= 0 && lseek(f->fd, static_cast<off_t>(offset), SEEK_SET) == static_cast<off_t>(offset);
}

int64_t seek_file_end(File* f) {
  if (!f) return -1;
  return static_cast<int64_t>(lseek(f->fd, 0, SEEK_END));
}

int64_t file_size(File* f) {
  struct stat st;
  if (!f || fstat(f->fd, &st) != 0) return -1;
  return static_cast<int64_t>(st.st_size);
}

bool close_file(File* f) {
  if (!f) return false;
  const bool ok = ::close(f->fd) == 0;
  delete f;
  return ok;
}

bool flush_file(File* f) { return f && fsync(f->fd) == 0; }

const char* last_file_error() { return std::strerror(errno); }

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

namespace {

// Runs a program with arguments (no shell) and collects its standard output;
// false when it could not start.
bool run_capture(const std::vector<std::string>& args, std::string& out, int* exit_code) {
  if (args.empty() || args[0].empty()) return false;
  std::vector<std::string> sys_args;
  for (const auto& a : args) sys_args.push_back(to_sys(a));
  std::vector<char*> argv;
  for (auto& a : sys_args) argv.push_back(a.data());
  argv.push_back(nullptr);

  int pipe_fds[2];
  if (pipe2(pipe_fds, O_CLOEXEC) != 0) return false;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], STDOUT_FILENO);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  pid_t pid = 0;
  const int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(pipe_fds[1]);
  if (rc != 0) {
    ::close(pipe_fds[0]);
    return false;
  }
  char buf[4096];
  for (;;) {
    const ssize_t r = read(pipe_fds[0], buf, sizeof buf);
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) break;
    out.append(buf, static_cast<size_t>(r));
  }
  ::close(pipe_fds[0]);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (exit_code) *exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  out = from_sys(out);
  return true;
}

}  // namespace

bool file_dialog(bool open, const std::string& start_dir, const std::vector<FileFilter>& filters,
                 std::string& chosen) {
  std::vector<std::string> args = {"zenity", "--file-selection"};
  if (!open) {
    args.emplace_back("--save");
    args.emplace_back("--confirm-overwrite");
  }
  if (!start_dir.empty()) args.push_back("--filename=" + start_dir + (start_dir.back() == '/' ? "" : "/"));
  for (const FileFilter& f : filters) {
    std::string option = "--file-filter=" + f.description + " |";
    for (const std::string& p : f.patterns) option += " " + p;
    args.push_back(option);
  }
  std::string out;
  int code = -1;
  if (!run_capture(args, out, &code) || code != 0) return false;
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
  if (out.empty()) return false;
  chosen = out;
  return true;
}

// ---------------------------------------------------------------------------
// [SECTION] Debugger, naps and CPU time

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

void sleep_us(int us) {
  timespec ts{0, static_cast<long>(us > 0 ? us : 0) * 1000L};
  while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
  }
}

void keep_freed_memory() {
#if defined(__GLIBC__)
  mallopt(M_MMAP_THRESHOLD, 64 << 20);
  mallopt(M_TRIM_THRESHOLD, 256 << 20);
  mallopt(M_TOP_PAD, 16 << 20);
#endif
}

double process_cpu_seconds() {
  timespec ts{};
  if (clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts) != 0) return 0.0;
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

}  // namespace mxt::platform
