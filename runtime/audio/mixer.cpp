// The sound effects' mixer.
//
// [SECTION] Levels
// [SECTION] Buffers
// [SECTION] Mixing
#include "runtime/audio/mixer.h"

#include <algorithm>
#include <cmath>

namespace mxt {

// ---------------------------------------------------------------------------
// [SECTION] Levels

int32_t level_factor(int hundredths) {
  if (hundredths <= kSilentVolume) return 0;
  if (hundredths >= 0) return 65536;
  return static_cast<int32_t>(std::lround(std::pow(10.0, hundredths / 2000.0) * 65536.0));
}

// ---------------------------------------------------------------------------
// [SECTION] Buffers

class SoundBuffer {
 public:
  std::shared_ptr<const SoundSamples> samples;
  int64_t position = 0;   // frames
  int volume = 0;
  int pan = 0;
  int32_t left = 65536;   // the factors of volume and pan together
  int32_t right = 65536;
  int voice = -1;         // its place among the playing buffers, -1 when stopped

  void settle() {
    // Pan lowers the far side only: to the right, the left side loses pan
    // hundredths of a decibel; to the left, the right side does.
    left = level_factor(volume - std::max(pan, 0));
    right = level_factor(volume + std::min(pan, 0));
  }
};

namespace {
constexpr int kBlockFrames = 1024;  // the sum is built a block at a time
}  // namespace

SoundMixer::SoundMixer(platform::AudioFormat format) : format_(format) {
  if (format_.channels < 1) format_.channels = 1;
  // Made here, once: the device's thread must not wait on the allocator.
  sum_.resize(static_cast<size_t>(kBlockFrames) * static_cast<size_t>(format_.channels));
}

SoundMixer::~SoundMixer() {
  // Whoever owns the buffers releases them first; what is left goes here.
  std::lock_guard<std::mutex> guard(lock_);
  voices_.clear();
}

SoundBuffer* SoundMixer::create(std::shared_ptr<const SoundSamples> samples) {
  if (!samples || samples->samples.empty()) return nullptr;
  auto* b = new SoundBuffer;
  b->samples = std::move(samples);
  std::lock_guard<std::mutex> guard(lock_);
  ++buffers_;
  return b;
}

SoundBuffer* SoundMixer::duplicate(const SoundBuffer* original) {
  if (!original) return nullptr;
  std::shared_ptr<const SoundSamples> samples;
  {
    std::lock_guard<std::mutex> guard(lock_);
    samples = original->samples;
  }
  return create(std::move(samples));
}

void SoundMixer::remove_voice(SoundBuffer* b) {
  if (b->voice < 0) return;
  SoundBuffer* last = voices_.back();
  voices_[static_cast<size_t>(b->voice)] = last;
  last->voice = b->voice;
  voices_.pop_back();
  b->voice = -1;
}

void SoundMixer::release(SoundBuffer* b) {
  if (!b) return;
  {
    std::lock_guard<std::mutex> guard(lock_);
    remove_voice(b);
    --buffers_;
  }
  delete b;  // the samples go with the last buffer that shares them
}

bool SoundMixer::play(SoundBuffer* b) {
  if (!b) return false;
  std::lock_guard<std::mutex> guard(lock_);
  if (b->voice < 0) {
    b->voice = static_cast<int>(voices_.size());
    voices_.push_back(b);
  }
  return true;
}

void SoundMixer::stop(SoundBuffer* b) {
  if (!b) return;
  std::lock_guard<std::mutex> guard(lock_);
  remove_voice(b);
  b->position = 0;
}

bool SoundMixer::playing(const SoundBuffer* b) {
  if (!b) return false;
  std::lock_guard<std::mutex> guard(lock_);
  return b->voice >= 0;
}

void SoundMixer::set_volume(SoundBuffer* b, int hundredths) {
  if (!b) return;
  std::lock_guard<std::mutex> guard(lock_);
  b->volume = std::clamp(hundredths, kSilentVolume, 0);
  b->settle();
}

void SoundMixer::set_pan(SoundBuffer* b, int pan) {
  if (!b) return;
  std::lock_guard<std::mutex> guard(lock_);
  b->pan = std::clamp(pan, kPanLeft, kPanRight);
  b->settle();
}

int64_t SoundMixer::position(const SoundBuffer* b) {
  if (!b) return 0;
  std::lock_guard<std::mutex> guard(lock_);
  return b->position;
}

int SoundMixer::buffer_count() {
  std::lock_guard<std::mutex> guard(lock_);
  return buffers_;
}

int SoundMixer::voice_count() {
  std::lock_guard<std::mutex> guard(lock_);
  return static_cast<int>(voices_.size());
}

// ---------------------------------------------------------------------------
// [SECTION] Mixing

namespace {

inline int32_t scaled(int32_t sample, int32_t factor) { return (sample * factor) >> 16; }

// One buffer's next `n` frames into the sum, which has `out_channels`
// samples a frame: left into the first, right into the second; a device of
// one channel gets the average of the two.
void add_voice(const SoundBuffer& b, int n, int out_channels, int32_t* sum) {
  const SoundSamples& s = *b.samples;
  const int16_t* src = s.samples.data() + b.position * s.channels;
  const int32_t l = b.left, r = b.right;
  if (out_channels == 1) {
    for (int i = 0; i < n; ++i) {
      const int32_t a = src[i * s.channels];
      const int32_t c = src[i * s.channels + s.channels - 1];
      sum[i] += (scaled(a, l) + scaled(c, r)) / 2;
    }
    return;
  }
  if (s.channels == 1) {
    for (int i = 0; i < n; ++i) {
      sum[i * out_channels] += scaled(src[i], l);
      sum[i * out_channels + 1] += scaled(src[i], r);
    }
  } else {
    for (int i = 0; i < n; ++i) {
      sum[i * out_channels] += scaled(src[2 * i], l);
      sum[i * out_channels + 1] += scaled(src[2 * i + 1], r);
    }
  }
}

}  // namespace

void SoundMixer::mix(int16_t* out, int frames) {
  if (!out || frames <= 0) return;
  const int channels = format_.channels;
  std::lock_guard<std::mutex> guard(lock_);
  if (voices_.empty()) return;
  for (int done = 0; done < frames;) {
    const int block = std::min(kBlockFrames, frames - done);
    std::fill(sum_.begin(), sum_.begin() + block * channels, 0);
    for (size_t v = 0; v < voices_.size();) {
      SoundBuffer* b = voices_[v];
      const int64_t left = b->samples->frames() - b->position;
      const int n = static_cast<int>(std::min<int64_t>(block, left));
      if (b->left != 0 || b->right != 0) add_voice(*b, n, channels, sum_.data());
      b->position += n;
      if (b->position >= b->samples->frames()) {
        // Played to its end: stopped, and ready to play from the start.
        b->position = 0;
        remove_voice(b);  // the last voice moves into this place
        continue;
      }
      ++v;
    }
    int16_t* o = out + static_cast<ptrdiff_t>(done) * channels;
    const int32_t* sum = sum_.data();
    for (int i = 0; i < block * channels; ++i) o[i] = static_cast<int16_t>(std::clamp(o[i] + sum[i], -32768, 32767));
    done += block;
    if (voices_.empty()) break;
  }
}

void SoundMixer::mix_into(void* mixer, int16_t* out, int frames) { static_cast<SoundMixer*>(mixer)->mix(out, frames); }

}  // namespace mxt
