// Music: one track at a time, played from memory, so that a track that
// exists only inside the media archive plays like a loose file.
//
// The output plays a track once. Looping is the runtime's own: it knows the
// track's length and restarts it when that much time has passed, checking
// from the frame loop, the idle pump and the video loop (`music_upkeep`).
// A track shorter than 500 ms is restarted every 500 ms; the restart moment
// moves on by the time a track spends paused.
//
// `MusicPlayer` holds the logic over an output and a clock that tests
// replace; the commands (audio.h) forward to the process-wide player
// `rt.music`.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "runtime/types/rtstring.h"

namespace mxt {

// What plays the music: the platform's mixer in the program, a fake in tests.
class MusicOutput {
 public:
  virtual ~MusicOutput() = default;
  virtual bool load(const uint8_t* data, int64_t size) = 0;  // the whole file, kept by the caller; false: cannot play it
  virtual void unload() = 0;                   // stop and forget the track
  virtual double length_ms() = 0;              // < 0 when unknown
  virtual void play_from_start(bool endless) = 0;  // endless: the output repeats it by itself
  virtual void pause() = 0;
  virtual void resume() = 0;
  virtual bool before_end() = 0;               // playing or paused, the end not reached
  virtual void set_volume(int level) = 0;      // 1000 = normal
};

namespace platform {
struct AudioDevice;
}

// The output over the platform's audio device (null: nothing plays).
std::unique_ptr<MusicOutput> make_mixer_output(platform::AudioDevice* device);

// The restart arithmetic, as pure functions of clock readings (milliseconds).
double loop_length_ms(double reported_ms);     // the 500 ms floor; unknown (< 0 or NaN): infinity
double restart_after_pause(double negated_restart, double pause_moment, double now);
int volume_level(double volume);               // trunc(volume x 1000) in 0..1000; NaN gives 0

class MusicPlayer {
 public:
  using Clock = std::function<double()>;
  MusicPlayer(std::unique_ptr<MusicOutput> output, Clock clock);
  MusicPlayer(const MusicPlayer&) = delete;
  MusicPlayer& operator=(const MusicPlayer&) = delete;
  ~MusicPlayer();

  bool play(const RtString& file, int loop);   // false (and error 3) when the name does not resolve
  void stop();
  void restart();
  void set_volume(double volume);
  int playing();
  void pause(int pause);
  void upkeep();

  bool has_track() const { return has_track_; }
  double restart_time() const { return restart_time_; }  // > 0 looping, 0 not, < 0 looping but paused
  double volume() const { return volume_; }
  const RtString& file_name() const { return file_name_; }

 private:
  void drop_track();

  std::unique_ptr<MusicOutput> output_;
  Clock clock_;
  bool has_track_ = false;
  bool endless_ = false;                       // the output loops a track of unknown length itself
  RtString file_name_;
  std::vector<uint8_t> bytes_;                 // the file the output reads from
  double length_ms_ = 0;                       // with the 500 ms floor
  double restart_time_ = 0;
  double pause_moment_ = 0;
  double volume_ = -1.0;                       // -1: none sent for the current track
};

// Once per presented frame, in each idle and video loop pass.
void music_upkeep();

}  // namespace mxt
