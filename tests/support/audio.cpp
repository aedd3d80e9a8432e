#include "support/audio.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "runtime/base/singletons.h"
#include "runtime/platform/platform.h"
#include "support/child.h"
#include "support/images.h"

namespace mxt_test {

std::string tone_wav(double frequency, double seconds, double amplitude, int rate) {
  const uint32_t frames = static_cast<uint32_t>(seconds * rate);
  std::string w = "RIFF";
  put32(w, 36 + frames * 2);
  w += "WAVEfmt ";
  put32(w, 16);
  put16(w, 1);
  put16(w, 1);
  put32(w, static_cast<uint32_t>(rate));
  put32(w, static_cast<uint32_t>(rate) * 2);
  put16(w, 2);
  put16(w, 16);
  w += "data";
  put32(w, frames * 2);
  for (uint32_t i = 0; i < frames; ++i)
    put16(w, static_cast<uint32_t>(std::lround(amplitude * 32767 * std::sin(2 * M_PI * frequency * i / rate))));
  return w;
}

bool ffmpeg_has_encoders(const std::vector<std::string>& encoders) {
  const ChildResult r = run_child("/usr/bin/ffmpeg", {"-hide_banner", "-encoders"});
  if (r.exit_code != 0) return false;
  for (const std::string& e : encoders)
    if (r.out.find(" " + e + " ") == std::string::npos) return false;
  return true;
}

std::string made_media(const std::string& name, const std::vector<std::string>& ffmpeg_args) {
  const std::string dir = std::string(MXT_BINARY_DIR) + "/test-media";
  const std::string path = dir + "/" + name;
  if (file_exists(path)) return path;
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  // Tests may run side by side: make it under a name of our own, then rename.
  const std::string part = dir + "/" + std::to_string(getpid()) + "-" + name;
  std::vector<std::string> args{"-hide_banner", "-loglevel", "error", "-y"};
  args.insert(args.end(), ffmpeg_args.begin(), ffmpeg_args.end());
  args.push_back(part);
  const ChildResult r = run_child("/usr/bin/ffmpeg", args);
  if (r.exit_code != 0 || std::rename(part.c_str(), path.c_str()) != 0) {
    std::remove(part.c_str());
    return "";
  }
  return path;
}

Recording::Recording(const std::string& path) : path_(path) {
  mxt::platform::audio_close(mxt::rt.audio);
  setenv("SDL_AUDIODRIVER", "disk", 1);
  setenv("SDL_DISKAUDIOFILE", path.c_str(), 1);
  mxt::rt.audio = mxt::platform::audio_open();
  ok_ = mxt::rt.audio != nullptr;
}

Recording::~Recording() {
  mxt::platform::audio_close(mxt::rt.audio);
  mxt::rt.audio = nullptr;
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  unsetenv("SDL_DISKAUDIOFILE");
}

int64_t Recording::frames() const {
  struct stat st {};
  return stat(path_.c_str(), &st) == 0 ? st.st_size / 4 : 0;
}

std::vector<int16_t> Recording::channel(int c) const {
  const std::string bytes = read_file(path_);
  std::vector<int16_t> out(bytes.size() / 4);
  for (size_t i = 0; i < out.size(); ++i) std::memcpy(&out[i], bytes.data() + i * 4 + 2 * c, 2);
  return out;
}

std::vector<int16_t> Recording::left() const { return channel(0); }
std::vector<int16_t> Recording::right() const { return channel(1); }

double rms(const std::vector<int16_t>& s, int64_t from, int64_t to) {
  from = std::max<int64_t>(from, 0);
  to = std::min<int64_t>(to, static_cast<int64_t>(s.size()));
  if (to <= from) return 0;
  double sum = 0;
  for (int64_t i = from; i < to; ++i) sum += double(s[static_cast<size_t>(i)]) * s[static_cast<size_t>(i)];
  return std::sqrt(sum / double(to - from));
}

// From the periods between rising zero crossings. A device that ran dry for
// a moment (a loaded machine) leaves silent gaps; the periods spanning them
// are far from the typical one and are left out, so a gap does not read as
// a lower pitch, while a wrong pitch moves every period.
double frequency(const std::vector<int16_t>& s, int64_t from, int64_t to, int rate) {
  from = std::max<int64_t>(from, 0);
  to = std::min<int64_t>(to, static_cast<int64_t>(s.size()));
  std::vector<int64_t> periods;
  int64_t previous = -1;
  for (int64_t i = from + 1; i < to; ++i) {
    if (s[static_cast<size_t>(i - 1)] < 0 && s[static_cast<size_t>(i)] >= 0) {
      if (previous >= 0) periods.push_back(i - previous);
      previous = i;
    }
  }
  if (periods.empty()) return 0;
  std::vector<int64_t> sorted = periods;
  std::nth_element(sorted.begin(), sorted.begin() + static_cast<std::ptrdiff_t>(sorted.size() / 2), sorted.end());
  const double typical = static_cast<double>(sorted[sorted.size() / 2]);
  double sum = 0;
  int64_t count = 0;
  for (int64_t p : periods) {
    const double period = static_cast<double>(p);
    if (period > typical * 0.5 && period < typical * 1.5) {
      sum += period;
      ++count;
    }
  }
  return count > 0 ? static_cast<double>(rate) * static_cast<double>(count) / sum : 0;
}

int count_bursts(const std::vector<int16_t>& s, double threshold, int window) {
  int bursts = 0;
  bool loud = false;
  for (int64_t i = 0; i + window <= static_cast<int64_t>(s.size()); i += window) {
    const bool now = rms(s, i, i + window) > threshold;
    if (now && !loud) ++bursts;
    loud = now;
  }
  return bursts;
}

}  // namespace mxt_test
