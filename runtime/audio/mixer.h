// The sound effects' mixer: the runtime's own, on the audio device the music
// opened, in place of the sound buffers of the hardware the commands were
// first written for. It keeps their model: a buffer holds a sound's samples
// (duplicates share them), plays them once from its position to the end and
// then stands stopped at the start again; volume is in hundredths of a
// decibel from -10000 (silent) to 0 (as recorded), and pan in the same units
// from -10000 (the right side silent) to +10000 (the left side silent), the
// other side staying whole.
//
// The device calls `mix` on its own thread for every block it plays, after
// the music and before the sound of a video; it adds every playing buffer
// into what is there and clips the sum once. Everything else runs on the
// game's thread. A mixer made without a device is pulled by hand (tests):
// nothing plays until `mix` is called.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "runtime/audio/wav.h"
#include "runtime/platform/platform.h"

namespace mxt {

constexpr int kSilentVolume = -10000;  // hundredths of a decibel that count as silence
constexpr int kPanLeft = -10000;
constexpr int kPanRight = 10000;

// A level in hundredths of a decibel as a factor in 16.16 fixed point:
// 65536 at 0, 0 at -10000 and below.
int32_t level_factor(int hundredths);

class SoundBuffer;  // the mixer's own

class SoundMixer {
 public:
  explicit SoundMixer(platform::AudioFormat format);
  ~SoundMixer();
  SoundMixer(const SoundMixer&) = delete;
  SoundMixer& operator=(const SoundMixer&) = delete;

  const platform::AudioFormat& format() const { return format_; }

  SoundBuffer* create(std::shared_ptr<const SoundSamples> samples);  // stopped, at the start, full volume, centre
  SoundBuffer* duplicate(const SoundBuffer* original);  // the same samples; its own position and settings
  void release(SoundBuffer* buffer);                    // stops it; null does nothing
  bool play(SoundBuffer* buffer);                       // from its position, once
  void stop(SoundBuffer* buffer);                       // and back to the start
  bool playing(const SoundBuffer* buffer);
  void set_volume(SoundBuffer* buffer, int hundredths); // clamped to -10000..0
  void set_pan(SoundBuffer* buffer, int pan);           // clamped to -10000..+10000
  int64_t position(const SoundBuffer* buffer);          // frames from the start
  int buffer_count();                                   // buffers that exist
  int voice_count();                                    // buffers playing

  // Adds `frames` frames of every playing buffer into interleaved samples
  // of the device's format, clipping the sum.
  void mix(int16_t* out, int frames);
  static void mix_into(void* mixer, int16_t* out, int frames);  // for the device

 private:
  void remove_voice(SoundBuffer* buffer);  // with the lock held

  platform::AudioFormat format_;
  std::mutex lock_;                      // between the game's thread and the device's
  std::vector<SoundBuffer*> voices_;     // the playing buffers
  std::vector<int32_t> sum_;             // one block of the sum, before clipping
  int buffers_ = 0;
};

}  // namespace mxt
