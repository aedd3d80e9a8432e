// Sound effects: what mixing them costs, against plain SDL_mixer in the same
// run, and what one mxt_play_sound call costs.
//
// Mixing: 64 plays of a one-second WAV (16-bit mono, 44100 Hz) overlap the
// whole time: they start spread over a second, and every play that ends is
// started again at once (checked every 5 ms). The dummy audio driver pulls
// the mix in real time, so the cost is the CPU time the process spends over
// `seconds` seconds, all its threads. The ways, in turn, medians of `runs`:
//
//   runtime           16 sounds of 4 channels, mxt_play_sound with pan and volume
//   sdl_mixer         64 SDL_mixer channels playing the same file loaded by
//                     Mix_LoadWAV_RW, with Mix_Volume and Mix_SetPanning set to
//                     the same levels
//   sdl_mixer_centre  the same without panning (SDL_mixer pans with an effect)
//   idle              the device with nothing playing
//
// The goal compares runtime with sdl_mixer: 1.2 times its CPU at most.
//
// Calls: one mxt_play_sound on the running device, going round the 16
// sounds (so every fifth play of a sound cuts its oldest play off), in
// batches of 1000 calls; the median batch and the slowest. Mix_PlayChannel
// with its Mix_Volume and Mix_SetPanning is timed the same way beside it.
//
// Run: build-rel/bench/sound/bench_sound [runs] [seconds]
#include <SDL.h>
#include <SDL_mixer.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include <moxtril.h>

#include "runtime/audio/mixer.h"
#include "runtime/audio/sound.h"
#include "runtime/base/singletons.h"
#include "runtime/files/rtfile.h"
#include "runtime/platform/platform.h"
#include "runtime/types/bytes.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kPlays = 64;
constexpr int kSounds = kPlays / mxt::kSoundChannels;
constexpr int kRate = 44100;

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

std::string tone_wav() {
  std::string w = "RIFF";
  mxt::append_le32(w, 36 + kRate * 2);
  w += "WAVEfmt ";
  mxt::append_le32(w, 16);
  mxt::append_le16(w, 1);
  mxt::append_le16(w, 1);
  mxt::append_le32(w, kRate);
  mxt::append_le32(w, kRate * 2);
  mxt::append_le16(w, 2);
  mxt::append_le16(w, 16);
  w += "data";
  mxt::append_le32(w, kRate * 2);
  for (int i = 0; i < kRate; ++i)
    mxt::append_le16(w, static_cast<uint16_t>(std::lround(0.1 * 32767 * std::sin(2 * M_PI * 440.0 * i / kRate))));
  return w;
}

// The levels of play k, the same for both mixers.
double pan_of(int k) { return -1.0 + 2.0 * (k % 9) / 8.0; }
double volume_of(int k) { return 0.3 + 0.7 * (k % 5) / 4.0; }

// SDL_mixer's 0..255 per side for the runtime's pan law: the far side
// loses the pan in hundredths of a decibel.
Uint8 side(int hundredths) { return static_cast<Uint8>(std::lround(255.0 * mxt::level_factor(hundredths) / 65536.0)); }

void sleep_ms(int ms) { mxt::platform::sleep_ms(ms); }

enum class Way { runtime, sdl_mixer, sdl_mixer_centre, idle };
const char* name_of(Way w) {
  switch (w) {
    case Way::runtime: return "runtime";
    case Way::sdl_mixer: return "sdl_mixer";
    case Way::sdl_mixer_centre: return "sdl_mixer_centre";
    case Way::idle: return "idle";
  }
  return "";
}

struct Mixers {
  Mix_Chunk* chunk = nullptr;
  int ids[kPlays] = {};
};

void start(Mixers& m, Way way, int k) {
  if (way == Way::runtime) {
    m.ids[k] = mxt_play_sound(k / mxt::kSoundChannels, pan_of(k), volume_of(k));
  } else if (way != Way::idle) {
    Mix_Volume(k, static_cast<int>(std::lround(volume_of(k) * MIX_MAX_VOLUME)));
    if (way == Way::sdl_mixer) {
      const int pan = mxt::sound_pan(pan_of(k));
      Mix_SetPanning(k, side(-std::max(pan, 0)), side(std::min(pan, 0)));
    }
    Mix_PlayChannel(k, m.chunk, 0);
  }
}

bool still_playing(const Mixers& m, Way way, int k) {
  if (way == Way::runtime) return m.ids[k] >= 0 && mxt_sound_playing(m.ids[k]) == 1;
  if (way == Way::idle) return true;
  return Mix_Playing(k) != 0;
}

// CPU seconds over `seconds` of 64 overlapping plays the way given.
double mix_run(Mixers& m, Way way, int seconds) {
  if (way == Way::sdl_mixer || way == Way::sdl_mixer_centre) Mix_AllocateChannels(kPlays);
  for (int k = 0; k < kPlays; ++k) {
    start(m, way, k);
    sleep_ms(1000 / kPlays);
  }
  const double cpu0 = mxt::platform::process_cpu_seconds();
  const auto t0 = Clock::now();
  while (Clock::now() - t0 < std::chrono::seconds(seconds)) {
    sleep_ms(5);
    for (int k = 0; k < kPlays; ++k)
      if (!still_playing(m, way, k)) start(m, way, k);
  }
  const double cpu = mxt::platform::process_cpu_seconds() - cpu0;
  mxt_stop_all_sounds();
  if (way == Way::sdl_mixer || way == Way::sdl_mixer_centre) {
    Mix_HaltChannel(-1);
    for (int k = 0; k < kPlays; ++k) Mix_UnregisterAllEffects(k);
    Mix_AllocateChannels(0);
  }
  return cpu;
}

// Microseconds a call, per batch of 1000.
std::vector<double> call_batches(Mixers& m, bool runtime) {
  constexpr int kBatch = 1000;
  std::vector<double> us;
  if (!runtime) Mix_AllocateChannels(kPlays);
  int k = 0;
  for (int b = 0; b < 200; ++b) {
    const auto t0 = Clock::now();
    for (int i = 0; i < kBatch; ++i, ++k) {
      if (runtime) {
        mxt_play_sound(k % kSounds, pan_of(k), volume_of(k));
      } else {
        const int c = k % kPlays;
        const int pan = mxt::sound_pan(pan_of(k));
        Mix_Volume(c, static_cast<int>(std::lround(volume_of(k) * MIX_MAX_VOLUME)));
        Mix_SetPanning(c, side(-std::max(pan, 0)), side(std::min(pan, 0)));
        Mix_PlayChannel(c, m.chunk, 0);
      }
    }
    us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - t0).count() / kBatch);
    sleep_ms(2);  // let the device mix between batches, as a game's frame would
  }
  mxt_stop_all_sounds();
  if (!runtime) {
    Mix_HaltChannel(-1);
    for (int c = 0; c < kPlays; ++c) Mix_UnregisterAllEffects(c);
    Mix_AllocateChannels(0);
  }
  return us;
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::atoi(argv[1]) : 3;
  const int seconds = argc > 2 ? std::atoi(argv[2]) : 10;
  setenv("SDL_AUDIODRIVER", "dummy", 0);

  mxt::rt.memory_images = new mxt::MemoryImages();
  mxt::rt.audio = mxt::platform::audio_open();
  if (!mxt::rt.audio) {
    std::fprintf(stderr, "no audio device: %s\n", mxt::platform::last_error());
    return 1;
  }
  const mxt::platform::AudioFormat format = mxt::platform::audio_format(mxt::rt.audio);
  mxt::rt.sound_device = new mxt::SoundDevice();
  mxt::rt.sounds = new mxt::SoundSlot[mxt::kSoundSlots];
  mxt::sound_device_create(*mxt::rt.sound_device, mxt::rt.audio);

  const std::string path = "/tmp/mxt-bench-sound.wav";
  const std::string wav = tone_wav();
  std::ofstream(path, std::ios::binary) << wav;
  for (int n = 0; n < kSounds; ++n) mxt_load_sound(path.c_str(), n, mxt::kSoundChannels);
  if (mxt_last_error() != 0) {
    std::fprintf(stderr, "cannot load %s\n", path.c_str());
    return 1;
  }
  Mixers m;
  m.chunk = Mix_LoadWAV_RW(SDL_RWFromConstMem(wav.data(), static_cast<int>(wav.size())), 1);
  if (!m.chunk) {
    std::fprintf(stderr, "SDL_mixer cannot load the file: %s\n", Mix_GetError());
    return 1;
  }
  std::printf("device: %d Hz, %d channels; %d plays of a 1 s WAV, %d s a run, %d runs\n", format.rate,
              format.channels, kPlays, seconds, runs);

  const Way ways[] = {Way::runtime, Way::sdl_mixer, Way::sdl_mixer_centre, Way::idle};
  std::vector<double> cpu[4];
  for (int r = 0; r < runs; ++r)
    for (int w = 0; w < 4; ++w) cpu[w].push_back(mix_run(m, ways[w], seconds));
  double med[4];
  for (int w = 0; w < 4; ++w) {
    med[w] = median(cpu[w]);
    std::printf("RESULT mix who=%s cpu_s=%.3f cpu_share=%.4f\n", name_of(ways[w]), med[w], med[w] / seconds);
  }
  std::printf("RESULT mix runtime_vs_sdl_mixer=%.2f runtime_vs_sdl_mixer_centre=%.2f goal<=1.20\n", med[0] / med[1],
              med[0] / med[2]);
  std::printf("RESULT mix above_idle runtime_vs_sdl_mixer=%.2f\n", (med[0] - med[3]) / (med[1] - med[3]));

  const std::vector<double> ours = call_batches(m, true);
  const std::vector<double> theirs = call_batches(m, false);
  std::printf("RESULT call who=mxt_play_sound median_us=%.3f slowest_batch_us=%.3f goal<5\n", median(ours),
              *std::max_element(ours.begin(), ours.end()));
  std::printf("RESULT call who=Mix_PlayChannel+Mix_Volume+Mix_SetPanning median_us=%.3f slowest_batch_us=%.3f\n",
              median(theirs), *std::max_element(theirs.begin(), theirs.end()));

  Mix_FreeChunk(m.chunk);
  for (int n = 0; n < mxt::kSoundSlots; ++n) mxt::release_sound(mxt::rt.sounds[n]);
  delete[] mxt::rt.sounds;
  mxt::rt.sounds = nullptr;
  mxt::sound_device_release(*mxt::rt.sound_device);
  delete mxt::rt.sound_device;
  mxt::rt.sound_device = nullptr;
  mxt::platform::audio_close(mxt::rt.audio);
  mxt::rt.audio = nullptr;
  std::remove(path.c_str());
  return 0;
}
