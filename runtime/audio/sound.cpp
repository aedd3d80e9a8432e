// Sound effects: the device, the slots and the commands.
//
// [SECTION] Device
// [SECTION] Levels
// [SECTION] Slots
// [SECTION] Commands
#include "runtime/audio/sound.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "runtime/audio/audio.h"
#include "runtime/audio/mixer.h"
#include "runtime/audio/wav.h"
#include "runtime/base/log.h"
#include "runtime/base/singletons.h"
#include "runtime/files/files.h"
#include "runtime/platform/platform.h"

namespace mxt {

// ---------------------------------------------------------------------------
// [SECTION] Device

void sound_device_create(SoundDevice& device, platform::AudioDevice* output) {
  sound_device_release(device);
  if (!output) return;
  const platform::AudioFormat format = platform::audio_format(output);
  if (format.rate <= 0 || format.channels <= 0) return;
  device.output = output;
  device.mixer = new SoundMixer(format);
  platform::audio_set_mixer(output, SoundMixer::mix_into, device.mixer);
}

void sound_device_release(SoundDevice& device) {
  if (device.output) platform::audio_set_mixer(device.output, nullptr, nullptr);
  delete device.mixer;
  device.mixer = nullptr;
  device.output = nullptr;
}

// ---------------------------------------------------------------------------
// [SECTION] Levels

int sound_volume(double volume) {
  // The game's 0..1 becomes a whole number of percent first (NaN: none),
  // and below 1 % there is nothing left to hear.
  const double percent = std::isnan(volume) ? 0 : std::trunc(std::min(volume * 100, 100.0));
  if (!(percent >= 1)) return kSilentVolume;
  return static_cast<int>(std::log10(percent / 100) * 2000);  // toward zero
}

int sound_pan(double pan) {
  if (std::isnan(pan)) return 0;
  return static_cast<int>(std::clamp(pan, -1.0, 1.0) * 10000);
}

// ---------------------------------------------------------------------------
// [SECTION] Slots

namespace {

SoundMixer* mixer_of(const SoundSlot& slot) { return slot.device ? slot.device->mixer : nullptr; }

// The channels a slot has, never more than it has room for.
int channels_of(const SoundSlot& slot) { return std::clamp(slot.channel_count, 0, kSoundChannels); }

// The channel for the next play of the sound, or -1 when there is none.
int pick_channel(SoundSlot& slot, SoundMixer& mixer) {
  const int count = channels_of(slot);
  int c = slot.next_channel >= 0 && slot.next_channel < count ? slot.next_channel : 0;
  if (!mixer.playing(slot.channels[c])) return slot.channels[c] ? c : -1;
  if (count == 1) return -1;
  c = (c + 1) % count;
  slot.next_channel = c;
  if (mixer.playing(slot.channels[c])) mixer.stop(slot.channels[c]);  // the oldest play is cut off
  return slot.channels[c] ? c : -1;
}

}  // namespace

void release_sound(SoundSlot& slot) {
  if (SoundMixer* mixer = mixer_of(slot)) {
    for (SoundBuffer*& b : slot.channels) {
      mixer->release(b);
      b = nullptr;
    }
  }
  slot.next_channel = 0;
  slot.channel_count = 0;
}

bool load_sound(SoundSlot& slot, SoundDevice& device, const RtString& file, int channels) {
  RtString name = file;
  if (!mxt_resolve_file(name)) return false;
  release_sound(slot);
  slot.device = &device;
  channels = std::clamp(channels, 1, kSoundChannels);
  if (!device.mixer) return false;
  auto samples = std::make_shared<SoundSamples>();
  const char* why = "";
  if (!load_wav(name, device.mixer->format().rate, *samples, why)) {
    write_log_format("sound: cannot load %s: %s\n", file.c_str(), why);
    return false;
  }
  slot.channels[0] = device.mixer->create(std::move(samples));
  for (int c = 1; c < channels; ++c) slot.channels[c] = device.mixer->duplicate(slot.channels[0]);
  slot.channel_count = channels;
  return true;
}

int play_sound(SoundSlot& slot, int number, double pan, double volume) {
  SoundMixer* mixer = mixer_of(slot);
  if (!mixer || channels_of(slot) <= 0) return -1;
  const int c = pick_channel(slot, *mixer);
  if (c < 0) return -1;
  SoundBuffer* b = slot.channels[c];
  mixer->set_volume(b, sound_volume(volume));
  mixer->set_pan(b, sound_pan(pan));
  if (!mixer->play(b)) return -1;
  return number * 256 + c;
}

int sound_playing(const SoundSlot& slot, int channel) {
  SoundMixer* mixer = mixer_of(slot);
  if (!mixer || channel < 0 || channel >= channels_of(slot)) return 0;
  return mixer->playing(slot.channels[channel]) ? 1 : 0;
}

void stop_sound(SoundSlot& slot, int channel) {
  SoundMixer* mixer = mixer_of(slot);
  const int count = channels_of(slot);
  if (!mixer || count <= 0 || channel < 0) return;
  if (channel < count) {
    mixer->stop(slot.channels[channel]);
    return;
  }
  for (int c = 0; c < count; ++c) mixer->stop(slot.channels[c]);
}

int find_free_sound(const SoundSlot* table, int count) {
  if (!table) return -1;
  for (int n = count - 1; n >= 0; --n)
    if (table[n].channel_count <= 0) return n;
  return -1;
}

}  // namespace mxt

// ---------------------------------------------------------------------------
// [SECTION] Commands

using namespace mxt;

namespace {

// The one range check of sound numbers (as unsigned, so negatives fail too).
bool sound_number_ok(int number) {
  if (static_cast<uint32_t>(number) < static_cast<uint32_t>(kSoundSlots)) return true;
  report_error(RuntimeError::out_of_memory);  // the runtime's code for a number out of range
  return false;
}

// And of channel ids; ids from failed plays (-1) are among those refused.
bool channel_id_ok(int id) { return static_cast<uint32_t>(id) < static_cast<uint32_t>(kChannelIds); }

}  // namespace

int mxt_find_free_sound() {
  clear_last_error();
  const int n = find_free_sound(rt.sounds, kSoundSlots);
  if (n < 0) report_error(RuntimeError::out_of_memory);
  return n;
}

void mxt_load_sound(const RtString& file, int sound, int channels) {
  clear_last_error();
  if (!sound_number_ok(sound)) return;
  if (!rt.sounds || !rt.sound_device || !load_sound(rt.sounds[sound], *rt.sound_device, file, channels))
    report_error(RuntimeError::file_not_found);
}

// A number out of range gives -1 like any failed play: 0 would name
// channel 0 of sound 0, and the game would take the failure for a play.
int mxt_play_sound(int sound, double pan, double volume) {
  if (!sound_number_ok(sound) || !rt.sounds) return -1;
  return play_sound(rt.sounds[sound], sound, pan, volume);
}

int mxt_sound_playing(int channel_id) {
  if (!channel_id_ok(channel_id)) {
    report_error(RuntimeError::out_of_memory);
    return 0;
  }
  return rt.sounds ? sound_playing(rt.sounds[channel_id >> 8], channel_id & 0xFF) : 0;
}

// Negative ids (failed plays) and ids beyond the last sound name nothing.
void mxt_stop_sound(int channel_id) {
  if (!channel_id_ok(channel_id) || !rt.sounds) return;
  stop_sound(rt.sounds[channel_id >> 8], channel_id & 0xFF);
}

void mxt_stop_all_sounds() {
  if (!rt.sounds) return;
  for (int n = 0; n < kSoundSlots; ++n) stop_sound(rt.sounds[n], kSoundChannels);
}
