// SDL2 implementation of the audio device: SDL_mixer owns the one output
// device; its music slot plays the runtime's track from memory, its channels
// wait for the sound effects, and a post-mix hook adds the sound of a video
// over the finished mix.
//
// [SECTION] Device
// [SECTION] Music track
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
constexpr int kEffectChannels = 16;       // mixer channels kept for the sound effects
constexpr int kStreamSeconds = 4;         // how far ahead a video may queue its sound

struct Device {
  bool open = false;
  AudioFormat format;
};
Device g_device;

// The queued stream: a ring of interleaved samples, read by the mixer thread.
struct Stream {
  std::mutex lock;
  std::vector<int16_t> ring;              // capacity in samples
  size_t head = 0;                        // next sample to play
  size_t count = 0;                       // samples queued
};
Stream g_stream;

void SDLCALL mix_stream(void*, Uint8* bytes, int len) {
  std::lock_guard<std::mutex> guard(g_stream.lock);
  if (g_stream.count == 0 || len <= 0) return;
  auto* out = reinterpret_cast<int16_t*>(bytes);
  const size_t n = std::min(g_stream.count, static_cast<size_t>(len) / sizeof(int16_t));
  const size_t cap = g_stream.ring.size();
  for (size_t i = 0; i < n; ++i) {
    const int sum = out[i] + g_stream.ring[(g_stream.head + i) % cap];
    out[i] = static_cast<int16_t>(std::clamp(sum, -32768, 32767));
  }
  g_stream.head = (g_stream.head + n) % cap;
  g_stream.count -= n;
}

}  // namespace

// ---------------------------------------------------------------------------
// [SECTION] Device

bool audio_open() {
  if (g_device.open) return true;
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
  // Decoders load on demand; a format whose library is missing just fails to load.
  Mix_Init(MIX_INIT_MP3 | MIX_INIT_OGG | MIX_INIT_FLAC);
  if (Mix_OpenAudio(kRate, AUDIO_S16SYS, kChannels, kChunkFrames) != 0) {
    Mix_Quit();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return false;
  }
  int rate = 0, channels = 0;
  Uint16 format = 0;
  if (Mix_QuerySpec(&rate, &format, &channels) == 0 || rate <= 0 || channels <= 0) {
    Mix_CloseAudio();
    Mix_Quit();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return false;
  }
  g_device.format = {rate, channels};
  Mix_AllocateChannels(kEffectChannels);
  {
    std::lock_guard<std::mutex> guard(g_stream.lock);
    g_stream.ring.assign(static_cast<size_t>(rate) * static_cast<size_t>(channels) * kStreamSeconds, 0);
    g_stream.head = g_stream.count = 0;
  }
  Mix_SetPostMix(mix_stream, nullptr);
  g_device.open = true;
  return true;
}

void audio_close() {
  if (!g_device.open) return;
  Mix_SetPostMix(nullptr, nullptr);
  Mix_HaltMusic();
  Mix_HaltChannel(-1);
  Mix_CloseAudio();
  Mix_Quit();
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
  {
    std::lock_guard<std::mutex> guard(g_stream.lock);
    g_stream.ring.clear();
    g_stream.head = g_stream.count = 0;
  }
  g_device = Device{};
}

bool audio_is_open() { return g_device.open; }

AudioFormat audio_format() { return g_device.format; }

// ---------------------------------------------------------------------------
// [SECTION] Music track

MusicTrack* music_load(const void* data, int64_t size) {
  if (!g_device.open || !data || size <= 0 || size > INT_MAX) return nullptr;
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

bool music_play(MusicTrack* track, bool endless) {
  if (!track || !g_device.open) return false;
  return Mix_PlayMusic(track->music, endless ? -1 : 0) == 0;
}

void music_halt() {
  if (g_device.open) Mix_HaltMusic();
}

void music_pause() {
  if (g_device.open) Mix_PauseMusic();
}

void music_resume() {
  if (g_device.open) Mix_ResumeMusic();
}

// SDL_mixer counts paused music as playing until it is halted or runs out.
bool music_in_progress() { return g_device.open && Mix_PlayingMusic() != 0; }

void music_set_volume(int level) {
  if (!g_device.open) return;
  level = std::clamp(level, 0, 1000);
  Mix_VolumeMusic(level * MIX_MAX_VOLUME / 1000);
}

// ---------------------------------------------------------------------------
// [SECTION] Mixed-over stream

int audio_stream_push(const int16_t* samples, int frames) {
  if (!g_device.open || !samples || frames <= 0) return 0;
  const size_t channels = static_cast<size_t>(g_device.format.channels);
  std::lock_guard<std::mutex> guard(g_stream.lock);
  const size_t cap = g_stream.ring.size();
  if (cap == 0) return 0;
  const size_t room = (cap - g_stream.count) / channels;
  const size_t take = std::min(room, static_cast<size_t>(frames));
  const size_t n = take * channels;
  size_t tail = (g_stream.head + g_stream.count) % cap;
  for (size_t i = 0; i < n; ++i) {
    g_stream.ring[tail] = samples[i];
    tail = tail + 1 == cap ? 0 : tail + 1;
  }
  g_stream.count += n;
  return static_cast<int>(take);
}

int64_t audio_stream_queued() {
  if (!g_device.open) return 0;
  std::lock_guard<std::mutex> guard(g_stream.lock);
  return static_cast<int64_t>(g_stream.count / static_cast<size_t>(g_device.format.channels));
}

void audio_stream_clear() {
  std::lock_guard<std::mutex> guard(g_stream.lock);
  g_stream.head = g_stream.count = 0;
}

}  // namespace mxt::platform
