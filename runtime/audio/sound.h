// Sound effects: numbered sounds, each with up to four channels that share
// one copy of its samples, so that a sound can overlap itself four times.
//
// `SoundDevice` is the mixer on the audio device (none when the program has
// no audio device: then every load fails and every play returns -1), and
// the sound table is `kSoundSlots` `SoundSlot`s; both are process-wide
// (`rt.sound_device`, `rt.sounds`), made at start-up and released at
// shutdown. The operations below take a slot and its device, so tests build
// their own; the commands (audio.h) check numbers and forward to them.
//
// A play picks a channel in a fixed order: the channel the sound's last play
// used when it is free, else the next one round, whose play (if it still
// runs) is cut off; a sound of one channel that is still playing has no
// channel for a second play. The channel id it returns is the sound's
// number x 256 + the channel.
#pragma once

#include <cstdint>

#include "runtime/types/rtstring.h"

namespace mxt {

namespace platform {
struct AudioDevice;
}

class SoundMixer;
class SoundBuffer;

constexpr int kSoundSlots = 4096;
constexpr int kSoundChannels = 4;
constexpr int kChannelIds = kSoundSlots * 256;  // channel ids lie below this

struct SoundDevice {
  platform::AudioDevice* output = nullptr;  // what the mixer is handed to
  SoundMixer* mixer = nullptr;              // null: no sound at all
};

// Makes the mixer and hands it to the device; without a device there is
// none, and nobody is told.
void sound_device_create(SoundDevice& device, platform::AudioDevice* output);
void sound_device_release(SoundDevice& device);  // takes the mixer back from the device first

struct SoundSlot {
  int32_t channel_count = 0;   // 0 free; 1 to 4 loaded
  int32_t next_channel = 0;    // the channel the next play tries first
  SoundDevice* device = nullptr;
  SoundBuffer* channels[kSoundChannels] = {};  // channel 0 made from the file, the others share its samples
};

// The game's volume (0..1) and pan (-1..1) in the mixer's units.
int sound_volume(double volume);  // hundredths of a decibel: 1 gives 0, 0.5 -602, below 0.01 -10000
int sound_pan(double pan);        // -10000..+10000; NaN counts as the centre

// False when the file does not resolve, does not load, or there is no
// mixer: the command records error 3. A name that resolves empties the slot
// first, so a failed load leaves it empty; one that does not leaves it be.
bool load_sound(SoundSlot& slot, SoundDevice& device, const RtString& file, int channels);
int play_sound(SoundSlot& slot, int number, double pan, double volume);  // channel id, or -1
int sound_playing(const SoundSlot& slot, int channel);                    // 0 or 1
void stop_sound(SoundSlot& slot, int channel);  // a channel not below the count stops every one
void release_sound(SoundSlot& slot);            // stopped, buffers gone, free
int find_free_sound(const SoundSlot* table, int count);  // the highest free number, or -1

}  // namespace mxt
