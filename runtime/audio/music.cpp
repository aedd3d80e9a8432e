// The music player, its output over the platform mixer, and the commands.
//
// [SECTION] Restart arithmetic
// [SECTION] Mixer output
// [SECTION] Player
// [SECTION] Commands
#include "runtime/audio/music.h"

#include <cmath>
#include <limits>

#include "runtime/audio/audio.h"
#include "runtime/base/log.h"
#include "runtime/base/singletons.h"
#include "runtime/files/files.h"
#include "runtime/files/limits.h"
#include "runtime/files/rtfile.h"
#include "runtime/platform/platform.h"

namespace mxt {

// ---------------------------------------------------------------------------
// [SECTION] Restart arithmetic

double loop_length_ms(double reported_ms) {
  // A track whose length the format does not tell is looped by the output
  // itself; the runtime's restart then never comes due.
  if (!(reported_ms >= 0)) return std::numeric_limits<double>::infinity();
  return reported_ms >= 500 ? reported_ms : 500;
}

double restart_after_pause(double negated_restart, double pause_moment, double now) {
  return now - pause_moment + -negated_restart;
}

int volume_level(double volume) {
  if (!(volume > 0)) return 0;  // NaN included
  if (volume >= 1.0) return 1000;
  return static_cast<int>(volume * 1000.0);
}

// ---------------------------------------------------------------------------
// [SECTION] Mixer output

namespace {

class MixerOutput final : public MusicOutput {
 public:
  explicit MixerOutput(platform::AudioDevice* device) : device_(device) {}
  ~MixerOutput() override { unload(); }
  bool load(const uint8_t* data, int64_t size) override {
    unload();
    track_ = platform::music_load(device_, data, size);
    return track_ != nullptr;
  }
  void unload() override {
    platform::music_free(track_);
    track_ = nullptr;
  }
  double length_ms() override { return platform::music_duration_ms(track_); }
  void play_from_start(bool endless) override { platform::music_play(device_, track_, endless); }
  void pause() override { platform::music_pause(device_); }
  void resume() override { platform::music_resume(device_); }
  bool before_end() override { return track_ && platform::music_in_progress(device_); }
  void set_volume(int level) override { platform::music_set_volume(device_, level); }

 private:
  platform::AudioDevice* device_;
  platform::MusicTrack* track_ = nullptr;
};

}  // namespace

std::unique_ptr<MusicOutput> make_mixer_output(platform::AudioDevice* device) {
  return std::make_unique<MixerOutput>(device);
}

// ---------------------------------------------------------------------------
// [SECTION] Player

MusicPlayer::MusicPlayer(std::unique_ptr<MusicOutput> output, Clock clock)
    : output_(std::move(output)), clock_(std::move(clock)) {}

MusicPlayer::~MusicPlayer() { drop_track(); }

void MusicPlayer::drop_track() {
  if (has_track_) output_->unload();
  has_track_ = false;
  endless_ = false;
  bytes_.clear();
  bytes_.shrink_to_fit();
}

bool MusicPlayer::play(const RtString& file, int loop) {
  volume_ = -1.0;
  restart_time_ = 0;
  drop_track();
  file_name_ = file;
  if (!mxt_resolve_file(file_name_)) {
    report_error(RuntimeError::file_not_found);
    return false;
  }
  // A file that resolves but does not decode leaves no track and no error
  // (the game cannot tell it from a silent track); every later command is
  // then harmless. The whole file is copied: a track inside the archive is
  // an in-memory image that the next lookup replaces.
  has_track_ = read_file_bytes(file_name_, bytes_, limits::kMaxMusicBytes) && !bytes_.empty() &&
               output_->load(bytes_.data(), static_cast<int64_t>(bytes_.size()));
  if (!has_track_) {
    bytes_.clear();
    write_log_format("music: cannot play %s\n", file.c_str());
  }
  length_ms_ = loop_length_ms(has_track_ ? output_->length_ms() : 0);
  endless_ = loop != 0 && std::isinf(length_ms_);
  restart_time_ = loop != 0 ? clock_() + length_ms_ : 0;
  if (has_track_) output_->play_from_start(endless_);
  if (volume_ != 1.0) {  // every new track starts at full volume
    volume_ = 1.0;
    if (has_track_) output_->set_volume(1000);
  }
  return true;
}

void MusicPlayer::stop() {
  volume_ = -1.0;
  restart_time_ = 0;
  drop_track();
}

void MusicPlayer::restart() {
  if (has_track_) output_->play_from_start(endless_);
}

void MusicPlayer::set_volume(double volume) {
  if (volume == volume_) return;  // a NaN never equals, so it is always sent
  volume_ = volume;
  if (has_track_) output_->set_volume(volume_level(volume));
}

int MusicPlayer::playing() {
  if (!has_track_) return 0;
  if (restart_time_ > 0) return 1;
  return output_->before_end() ? 1 : 0;  // a paused looping track is judged by its position
}

void MusicPlayer::pause(int pause) {
  if (!has_track_) return;
  if (pause) {
    if (restart_time_ > 0) {
      pause_moment_ = clock_();
      restart_time_ = -restart_time_;
    }
    output_->pause();
  } else {
    if (restart_time_ < 0) restart_time_ = restart_after_pause(restart_time_, pause_moment_, clock_());
    output_->resume();
  }
}

// The restart moment counts from this check, not from the track's real end,
// so it drifts by the time between the two.
void MusicPlayer::upkeep() {
  if (!(restart_time_ > 0)) return;
  const double now = clock_();
  if (now < restart_time_) return;
  restart_time_ = now + length_ms_;
  if (has_track_) output_->play_from_start(endless_);
}

void music_upkeep() {
  if (rt.music) rt.music->upkeep();
}

}  // namespace mxt

// ---------------------------------------------------------------------------
// [SECTION] Commands

using namespace mxt;

void mxt_play_music(const RtString& file, int loop) {
  if (!rt.music || !rt.music->play(file, loop)) return;
  // No window of the player's own takes the focus or the pointer here, so
  // of the steps around the player only the resume of a paused program is
  // left: starting music brings the game back from its pause.
  if (rt.frame.resume) rt.frame.resume();
}

void mxt_stop_music() {
  if (rt.music) rt.music->stop();
}

void mxt_restart_music() {
  if (rt.music) rt.music->restart();
}

void mxt_music_volume(double volume) {
  if (rt.music) rt.music->set_volume(volume);
}

int mxt_music_playing() { return rt.music ? rt.music->playing() : 0; }

void mxt_pause_music(int pause) {
  if (rt.music) rt.music->pause(pause);
}
