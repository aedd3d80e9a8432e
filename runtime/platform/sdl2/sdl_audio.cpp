// SDL2 implementation of the audio device: SDL_mixer owns the one output
// device and its music slot plays the runtime's track from memory; a post-mix
// hook adds the runtime's own sound effects mixer and then the sound of a
// video over the finished mix.
//
// [SECTION] Device
// [SECTION] Music track
// [SECTION] Effects mixer
// [SECTION] Mixed-over stream
#include <SDL.h>
#include <SDL_mixer.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <mutex>
#include <vector>

#include "runtime/platform/platform.h"

struct mxt::platform::MusicTrack {
  Mix_Music* music = nullptr;
};

namespace mxt::platform {

namespace {

constexpr int kRate = 44100;
constexpr int kChannels = 2;
constexpr int kChunkFrames = 1024;        // about 23 ms a mix at 44100 Hz
constexpr int kStreamSeconds = 4;         // how far ahead a video may queue its sound

}  // namespace

// The device and its queued stream: a ring of interleaved samples, read by
// the mixer thread.
struct AudioDevice {
  AudioFormat format;
  std::mutex mixer_lock;                  // held while the effects mixer runs or changes
  AudioMixer mixer = nullptr;
  void* mixer_user = nullptr;
  std::mutex lock;
  std::vector<int16_t> ring;              // capacity in samples
  size_t head = 0;                        // next sample to play
  size_t count = 0;                       // samples queued
};

namespace {

// SDL_mixer is one per process: it is taken while its audio is open.
bool mixer_taken() { return Mix_QuerySpec(nullptr, nullptr, nullptr) != 0; }

void mix_stream(AudioDevice* d, Uint8* bytes, int len) {
  std::lock_guard<std::mutex> guard(d->lock);
  if (d->count == 0 || len <= 0) return;
  auto* out = reinterpret_cast<int16_t*>(bytes);
  const size_t n = std::min(d->count, static_cast<size_t>(len) / sizeof(int16_t));
  const size_t cap = d->ring.size();
  for (size_t i = 0; i < n; ++i) {
    const int sum = out[i] + d->ring[(d->head + i) % cap];
    out[i] = static_cast<int16_t>(std::clamp(sum, -32768, 32767));
  }
  d->head = (d->head + n) % cap;
  d->count -= n;
}

void SDLCALL post_mix(void* udata, Uint8* bytes, int len) {
  auto* d = static_cast<AudioDevice*>(udata);
  {
    std::lock_guard<std::mutex> guard(d->mixer_lock);
    const int frame_bytes = static_cast<int>(sizeof(int16_t)) * d->format.channels;
    if (d->mixer && len >= frame_bytes) d->mixer(d->mixer_user, reinterpret_cast<int16_t*>(bytes), len / frame_bytes);
  }
  mix_stream(d, bytes, len);
}

void close_mixer() {
  Mix_CloseAudio();
  Mix_Quit();
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

}  // namespace

// ---------------------------------------------------------------------------
// [SECTION] Device

AudioDevice* audio_open() {
  if (mixer_taken()) return nullptr;
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return nullptr;
  // Decoders load on demand; a format whose library is missing just fails to load.
  Mix_Init(MIX_INIT_MP3 | MIX_INIT_OGG | MIX_INIT_FLAC);
  if (Mix_OpenAudio(kRate, AUDIO_S16SYS, kChannels, kChunkFrames) != 0) {
    Mix_Quit();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return nullptr;
  }
  int rate = 0, channels = 0;
  Uint16 format = 0;
  if (Mix_QuerySpec(&rate, &format, &channels) == 0 || rate <= 0 || channels <= 0) {
    close_mixer();
    return nullptr;
  }
  auto* d = new AudioDevice;
  d->format = {rate, channels};
  d->ring.assign(static_cast<size_t>(rate) * static_cast<size_t>(channels) * kStreamSeconds, 0);
  Mix_AllocateChannels(0);  // the sound effects have a mixer of their own, in the post-mix hook
  Mix_SetPostMix(post_mix, d);
  return d;
}

void audio_close(AudioDevice* d) {
  if (!d) return;
  Mix_SetPostMix(nullptr, nullptr);  // the mixer thread lets go of the device here
  Mix_HaltMusic();
  Mix_HaltChannel(-1);
  close_mixer();
  delete d;
}

AudioFormat audio_format(const AudioDevice* d) { return d ? d->format : AudioFormat{}; }

// ---------------------------------------------------------------------------
// [SECTION] Music track

MusicTrack* music_load(AudioDevice* d, const void* data, int64_t size) {
  if (!d || !data || size <= 0 || size > INT_MAX) return nullptr;
  SDL_RWops* rw = SDL_RWFromConstMem(data, static_cast<int>(size));
  if (!rw) return nullptr;
  Mix_Music* music = Mix_LoadMUS_RW(rw, 1);  // the stream is closed with the music, or now on failure
  if (!music) return nullptr;
  return new MusicTrack{music};
}

void music_free(MusicTrack* track) {
  if (!track) return;
  Mix_FreeMusic(track->music);
  delete track;
}

double music_duration_ms(MusicTrack* track) {
  if (!track) return -1;
  const double seconds = Mix_MusicDuration(track->music);
  return seconds >= 0 && std::isfinite(seconds) ? seconds * 1000.0 : -1;
}

bool music_play(AudioDevice* d, MusicTrack* track, bool endless) {
  if (!d || !track) return false;
  return Mix_PlayMusic(track->music, endless ? -1 : 0) == 0;
}

void music_pause(AudioDevice* d) {
  if (d) Mix_PauseMusic();
}

void music_resume(AudioDevice* d) {
  if (d) Mix_ResumeMusic();
}

// SDL_mixer counts paused music as playing until it is halted or runs out.
bool music_in_progress(AudioDevice* d) { return d && Mix_PlayingMusic() != 0; }

void music_set_volume(AudioDevice* d, int level) {
  if (!d) return;
  level = std::clamp(level, 0, 1000);
  Mix_VolumeMusic(level * MIX_MAX_VOLUME / 1000);
}

// ---------------------------------------------------------------------------
// [SECTION] Effects mixer

void audio_set_mixer(AudioDevice* d, AudioMixer mix, void* user) {
  if (!d) return;
  std::lock_guard<std::mutex> guard(d->mixer_lock);
  d->mixer = mix;
  d->mixer_user = mix ? user : nullptr;
}

// ---------------------------------------------------------------------------
// [SECTION] Mixed-over stream

int audio_stream_push(AudioDevice* d, const int16_t* samples, int frames) {
  if (!d || !samples || frames <= 0) return 0;
  const size_t channels = static_cast<size_t>(d->format.channels);
  std::lock_guard<std::mutex> guard(d->lock);
  const size_t cap = d->ring.size();
  if (cap == 0) return 0;
  const size_t room = (cap - d->count) / channels;
  const size_t take = std::min(room, static_cast<size_t>(frames));
  const size_t n = take * channels;
  size_t tail = (d->head + d->count) % cap;
  for (size_t i = 0; i < n; ++i) {
    d->ring[tail] = samples[i];
    tail = tail + 1 == cap ? 0 : tail + 1;
  }
  d->count += n;
  return static_cast<int>(take);
}

int64_t audio_stream_queued(AudioDevice* d) {
  if (!d) return 0;
  std::lock_guard<std::mutex> guard(d->lock);
  return static_cast<int64_t>(d->count / static_cast<size_t>(d->format.channels));
}

void audio_stream_clear(AudioDevice* d) {
  if (!d) return;
  std::lock_guard<std::mutex> guard(d->lock);
  d->head = d->count = 0;
}

}  // namespace mxt::platform
