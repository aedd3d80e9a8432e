// Starts each program alternately and measures from the start of the process
// to the line "frame" it prints after its first presented frame.
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

double time_to_frame(const std::string& program, const char* frame_rate) {
  int out[2];
  if (pipe(out) != 0) return -1;
  const auto t0 = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(out[1], 1);
    close(out[0]);
    close(out[1]);
    setenv("BENCH_FRAME_RATE", frame_rate, 1);
    execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  close(out[1]);
  std::string got;
  char buf[256];
  double ms = -1;
  ssize_t n;
  while ((n = read(out[0], buf, sizeof buf)) > 0) {
    got.append(buf, static_cast<size_t>(n));
    if (ms < 0 && got.find("frame") != std::string::npos)
      ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
  }
  close(out[0]);
  waitpid(pid, nullptr, 0);
  return ms;
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::atoi(argv[1]) : 15;
  const std::string dir = MXT_BENCH_DIR;
  std::vector<double> empty60, empty0, plain;
  for (int i = 0; i < runs; ++i) {
    plain.push_back(time_to_frame(dir + "/bench_startup_sdl", "60"));
    empty60.push_back(time_to_frame(dir + "/bench_startup_empty", "60"));
    empty0.push_back(time_to_frame(dir + "/bench_startup_empty", "0"));
  }
  const double base = median(plain);
  std::printf("RESULT program=plain_sdl runs=%d median_ms=%.2f\n", runs, base);
  std::printf("RESULT program=empty_game_60fps runs=%d median_ms=%.2f ratio=%.2f\n", runs, median(empty60),
              median(empty60) / base);
  std::printf("RESULT program=empty_game_unpaced runs=%d median_ms=%.2f ratio=%.2f\n", runs, median(empty0),
              median(empty0) / base);
  return 0;
}
