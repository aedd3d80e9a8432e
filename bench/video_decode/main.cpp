// Decoding and drawing a 640 x 360 clip through the runtime's video path
// (FFmpeg decode, conversion to RGBA, texture upload, a scaled quad, buffer
// swap), as fast as it goes, against the ffmpeg tool decoding the same clip
// to its null output in the same run. Runs alternate between the two and
// the medians are reported; CPU time counts every thread of the process.
// Run: build-rel/bench/video_decode/bench_video_decode [runs] [seconds]
// Needs the ffmpeg tool (scripts/deps installs it) and a GL context
// (SDL_VIDEODRIVER=offscreen works without a display).
#include <sys/resource.h>

#include <GL/gl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "runtime/audio/video.h"
#include "runtime/base/singletons.h"
#include "runtime/gfx2d/picture.h"
#include "runtime/core/runtime.h"
#include "runtime/gfx2d/renderer.h"
#include "runtime/platform/platform.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kW = 640, kH = 360;

struct Run {
  double wall_s = 0;
  double cpu_s = 0;
  int64_t frames = 0;
};

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

double children_cpu_s() {
  rusage u{};
  getrusage(RUSAGE_CHILDREN, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) * 1e-6;
}

// draw false: decoding and conversion only, to show what the drawing adds.
Run ours(const std::string& clip, bool draw) {
  Run r;
  mxt::VideoClip video;
  mxt::StreamedPicture screen(*mxt::rt.renderer);
  const double cpu0 = mxt::platform::process_cpu_seconds();
  const auto t0 = Clock::now();
  if (!video.open(clip.c_str(), nullptr)) return r;
  do {
    const uint8_t* rgba = video.picture();
    if (draw) {
      screen.draw(rgba, video.width(), video.height(), video.display_width(), true);
      mxt::platform::swap_window(mxt::rt.window);
    }
    ++r.frames;
  } while (video.next_frame());
  if (draw) glFinish();
  r.wall_s = std::chrono::duration<double>(Clock::now() - t0).count();
  r.cpu_s = mxt::platform::process_cpu_seconds() - cpu0;
  return r;
}

Run tool(const std::string& clip, int64_t frames) {
  Run r;
  const double cpu0 = children_cpu_s();
  const auto t0 = Clock::now();
  const std::string cmd = "ffmpeg -hide_banner -loglevel error -i " + clip + " -f null -";
  if (std::system(cmd.c_str()) != 0) return r;
  r.wall_s = std::chrono::duration<double>(Clock::now() - t0).count();
  r.cpu_s = children_cpu_s() - cpu0;
  r.frames = frames;
  return r;
}

void report(const char* codec, const char* who, const std::vector<Run>& runs, double baseline_fps) {
  std::vector<double> fps, cpu;
  for (const Run& r : runs) {
    fps.push_back(static_cast<double>(r.frames) / r.wall_s);
    cpu.push_back(r.cpu_s * 1000.0 / double(r.frames));
  }
  const double f = median(fps);
  std::printf("RESULT codec=%s who=%s fps=%.0f cpu_ms_per_frame=%.3f", codec, who, f, median(cpu));
  if (baseline_fps > 0) std::printf(" fps_vs_ffmpeg=%.2f", f / baseline_fps);
  std::printf("\n");
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::atoi(argv[1]) : 7;
  const int seconds = argc > 2 ? std::atoi(argv[2]) : 10;
  const std::string dir = "/tmp/mxt-bench-video";
  std::system(("mkdir -p " + dir).c_str());

  auto* renderer = new mxt::VuduRODoverore();
  if (!renderer->init_window(kW, kH, 0, 0, 0)) {
    std::fprintf(stderr, "no GL window: %s\n", mxt::platform::last_error());
    return 1;
  }
  mxt::rt.renderer = renderer;
  mxt::rt.window = renderer->window;
  renderer->apply_default_state();

  struct Codec {
    const char* name;
    const char* args;
    const char* ext;
  };
  const Codec codecs[] = {{"h264", "-c:v libx264 -preset medium -crf 23 -pix_fmt yuv420p", "mp4"},
                          {"mpeg4", "-c:v mpeg4 -q:v 4", "mp4"},
                          {"vp8", "-c:v libvpx -b:v 1M", "webm"}};
  for (const Codec& c : codecs) {
    const std::string clip = dir + "/clip-" + c.name + "." + c.ext;
    const std::string make = "ffmpeg -hide_banner -loglevel error -y -f lavfi -i testsrc2=s=640x360:r=30:d=" +
                             std::to_string(seconds) + " " + c.args + " " + clip;
    if (std::system(make.c_str()) != 0) {
      std::fprintf(stderr, "cannot make %s\n", clip.c_str());
      return 1;
    }
    ours(clip, true);  // warm the caches and the GL driver
    std::vector<Run> drawn, decoded, baseline;
    for (int i = 0; i < runs; ++i) {
      drawn.push_back(ours(clip, true));
      decoded.push_back(ours(clip, false));
      baseline.push_back(tool(clip, drawn.back().frames));
    }
    std::vector<double> base_fps;
    for (const Run& r : baseline) base_fps.push_back(static_cast<double>(r.frames) / r.wall_s);
    const double b = median(base_fps);
    std::printf("clip %s: %lld frames of %dx%d\n", c.name, static_cast<long long>(drawn.back().frames), kW, kH);
    report(c.name, "ffmpeg_null", baseline, 0);
    report(c.name, "runtime_decode_only", decoded, b);
    report(c.name, "runtime_decode_and_draw", drawn, b);
  }
  mxt::rt.renderer = nullptr;
  mxt::rt.window = nullptr;
  delete renderer;
  return 0;
}
