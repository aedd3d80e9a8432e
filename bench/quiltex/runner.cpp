// Runs Quiltex and the empty game alternately under MXT_FRAMES and reports the
// medians: CPU per frame (over a replayed session of clicks), peak resident
// memory, and the time from start to the first frame that shows the game.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

struct Run {
  double wall_ms = 0, cpu_ms = 0, max_rss_mb = 0;
};

Run run(const std::string& program, int frames, const std::string& replay) {
  const auto t0 = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    setenv("MXT_FRAMES", std::to_string(frames).c_str(), 1);
    if (!replay.empty()) setenv("MXT_REPLAY", replay.c_str(), 1);
    const std::string dir = program.substr(0, program.rfind('/'));
    if (chdir(dir.c_str()) != 0) _exit(126);
    if (!freopen("/dev/null", "w", stdout)) _exit(126);
    execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  Run r;
  r.wall_ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
  r.cpu_ms = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000.0 +
             static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000.0;
  r.max_rss_mb = static_cast<double>(usage.ru_maxrss) / 1024.0;
  return r;
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// Clicks all over the board and the palette, every few frames.
std::string write_replay() {
  const std::string path = "/tmp/mxt-bench-quiltex.replay";
  std::ofstream f(path);
  f << "moxtril-replay 1\nseed 99\n";
  for (int i = 0, frame = 20; frame < 640; ++i, frame += 4) {
    const int c = i % 9, r = (i / 9) % 9;
    if (i % 10 == 0) {
      f << frame << " key-down " << 2 + i % 9 << "\n" << frame + 1 << " key-up " << 2 + i % 9 << "\n";
      continue;
    }
    f << frame << " mouse-move " << 52 + 47 * c << " " << 52 + 47 * r << "\n";
    f << frame << " mouse-down 1\n" << frame + 1 << " mouse-up 1\n";
  }
  return path;
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::atoi(argv[1]) : 3;
  const std::string quiltex = std::string(MXT_GAME_DIR) + "/quiltex";
  const std::string empty = std::string(MXT_BENCH_DIR) + "/bench_quiltex_empty";
  const std::string replay = write_replay();
  constexpr int kFrames = 600;
  // Quiltex's first game frame follows the five frames of its screen change.
  constexpr int kQuiltexFirstFrame = 6;
  std::vector<double> q_cpu, e_cpu, q_rss, e_rss, q_first, e_first;
  for (int i = 0; i < rounds; ++i) {
    const Run q = run(quiltex, kFrames, replay), e = run(empty, kFrames, "");
    q_cpu.push_back(q.cpu_ms / kFrames);
    e_cpu.push_back(e.cpu_ms / kFrames);
    q_rss.push_back(q.max_rss_mb);
    e_rss.push_back(e.max_rss_mb);
    q_first.push_back(run(quiltex, kQuiltexFirstFrame, "").wall_ms);
    e_first.push_back(run(empty, 1, "").wall_ms);
  }
  std::printf("RESULT cpu_ms_per_frame quiltex=%.3f empty=%.3f\n", median(q_cpu), median(e_cpu));
  std::printf("RESULT peak_rss_mb quiltex=%.1f empty=%.1f\n", median(q_rss), median(e_rss));
  std::printf("RESULT first_frame_ms quiltex=%.1f empty=%.1f ratio=%.2f\n", median(q_first), median(e_first),
              median(q_first) / median(e_first));
  return 0;
}
