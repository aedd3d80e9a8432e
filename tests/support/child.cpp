#include "support/child.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ptrace.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "runtime/platform/sanitizer.h"

extern char** environ;

MXT_SANITIZER_DEFAULTS

namespace {
// Tests run headless unless the caller chose otherwise: a real OpenGL context
// on Mesa's offscreen driver and SDL's dummy audio, for this process and
// every program it starts.
// The debug log of in-process tests goes to a folder of this process's own.
struct TestEnvironment {
  std::string tmp;
  TestEnvironment() {
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    std::string templ = std::filesystem::temp_directory_path().string() + "/mxt-run-XXXXXX";
    if (mkdtemp(templ.data())) {
      tmp = templ;
      setenv("TMPDIR", tmp.c_str(), 1);
    }
  }
  ~TestEnvironment() {
    std::error_code ec;
    if (!tmp.empty()) std::filesystem::remove_all(tmp, ec);
  }
};
TestEnvironment g_environment;
}  // namespace

namespace mxt_test {

namespace {
ChildResult run_child_once(const std::string& program, const std::vector<std::string>& args,
                           const ChildOptions& options);
}

// Under AddressSanitizer the leak checker's own tracer thread now and then
// faults while it stops the world at exit ("Tracer caught signal 11"); the
// program under test did nothing wrong, and a leak it had would be reported
// the same way by the second run. Only that failure of the tool is run again.
ChildResult run_child(const std::string& program, const std::vector<std::string>& args,
                      const ChildOptions& options) {
  ChildResult result = run_child_once(program, args, options);
#if defined(__SANITIZE_ADDRESS__)
  if (result.err.find("LeakSanitizer has encountered a fatal error") != std::string::npos) {
    std::fprintf(stderr, "note: the leak checker itself failed in %s; running it once more\n", program.c_str());
    result = run_child_once(program, args, options);
  }
#endif
  return result;
}

namespace {
ChildResult run_child_once(const std::string& program, const std::vector<std::string>& args,
                           const ChildOptions& options) {
  ChildResult result;
  int out_pipe[2], err_pipe[2];
  if (pipe(out_pipe) != 0 || pipe(err_pipe) != 0) return result;

  std::vector<std::string> env_strings;
  for (char** e = environ; *e; ++e) {
    const std::string entry = *e;
    const std::string key = entry.substr(0, entry.find('='));
    bool replaced = false;
    for (const auto& kv : options.env) replaced |= kv.first == key;
    if (!replaced) env_strings.push_back(entry);
  }
  for (const auto& kv : options.env) env_strings.push_back(kv.first + "=" + kv.second);
  std::vector<char*> envp;
  for (auto& s : env_strings) envp.push_back(s.data());
  envp.push_back(nullptr);
  std::vector<std::string> argv_strings{program};
  argv_strings.insert(argv_strings.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& s : argv_strings) argv.push_back(s.data());
  argv.push_back(nullptr);

  const pid_t pid = fork();
  if (pid == 0) {
    dup2(out_pipe[1], 1);
    dup2(err_pipe[1], 2);
    close(out_pipe[0]);
    close(err_pipe[0]);
    close(out_pipe[1]);
    close(err_pipe[1]);
    const int devnull = open("/dev/null", O_RDONLY);
    if (devnull >= 0) dup2(devnull, 0);
    if (!options.cwd.empty() && chdir(options.cwd.c_str()) != 0) _exit(126);
    if (options.traced) ptrace(PTRACE_TRACEME, 0, nullptr, nullptr);
    execve(program.c_str(), argv.data(), envp.data());
    _exit(127);
  }
  close(out_pipe[1]);
  close(err_pipe[1]);
  if (pid < 0) {
    close(out_pipe[0]);
    close(err_pipe[0]);
    return result;
  }

  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(options.timeout_ms);
  pollfd fds[2] = {{out_pipe[0], POLLIN, 0}, {err_pipe[0], POLLIN, 0}};
  int open_fds = 2;
  char buf[65536];
  int status = 0;
  bool reaped = false;
  // A traced child stops at every signal; let it go on (the exec stop and our
  // own traps without a signal, anything else with its signal).
  auto serve_tracer = [&] {
    while (options.traced && !reaped) {
      const pid_t r = waitpid(pid, &status, WNOHANG);
      if (r != pid) return;
      if (WIFSTOPPED(status)) {
        const int sig = WSTOPSIG(status);
        ptrace(PTRACE_CONT, pid, nullptr, reinterpret_cast<void*>(static_cast<intptr_t>(sig == SIGTRAP ? 0 : sig)));
      } else {
        reaped = true;
      }
    }
  };
  while (open_fds > 0) {
    serve_tracer();
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
    if (left <= 0) {
      result.timed_out = true;
      kill(pid, SIGKILL);
      break;
    }
    if (poll(fds, 2, options.traced ? 10 : static_cast<int>(left)) < 0) break;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
      const ssize_t n = read(fds[i].fd, buf, sizeof buf);
      if (n <= 0) {
        close(fds[i].fd);
        fds[i].fd = -1;
        --open_fds;
      } else {
        (i == 0 ? result.out : result.err).append(buf, static_cast<size_t>(n));
      }
    }
  }
  for (auto& f : fds)
    if (f.fd >= 0) close(f.fd);
  while (options.traced && !reaped) {
    serve_tracer();
    if (!reaped) usleep(1000);
  }
  if (!reaped) waitpid(pid, &status, 0);
  if (WIFEXITED(status)) result.exit_code = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
  return result;
}
}  // namespace

std::string test_program(const std::string& name) { return std::string(MXT_TEST_PROGRAM_DIR) + "/" + name; }

TempDir::TempDir() {
  std::string templ = std::filesystem::temp_directory_path().string() + "/mxt-test-XXXXXX";
  if (mkdtemp(templ.data())) path_ = templ;
}

TempDir::~TempDir() {
  std::error_code ec;
  if (!path_.empty()) std::filesystem::remove_all(path_, ec);
}

std::string read_file(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

bool write_file(const std::string& path, const std::string& bytes) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(f);
}

bool file_exists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

std::vector<std::string> split_lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

}  // namespace mxt_test
