// WAV files for the sound effects, read by hand through the bounded reader.
//
// A sound is RIFF/WAVE: "fmt " and then "data" are found by walking the
// chunk headers within the bytes the file really has (the RIFF size is not
// trusted, and many writers get it wrong). Samples are 8-bit unsigned or
// 16-bit signed PCM at any rate from 100 to 200,000 per second; a file of
// more than two channels plays the first two of each frame as stereo. The
// format tag is not looked at: the sizes in "fmt " say how to read the data.
//
// Whatever the file, the sound is held as 16-bit samples at the device's
// rate (linear interpolation between the file's samples), mono or stereo, so
// mixing never converts. Limits are in files/limits.h.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "runtime/types/rtstring.h"

namespace mxt {

struct WavFormat {
  int file_channels = 0;  // as the file has them
  int channels = 0;       // what plays: 1, or 2 for two and more
  int rate = 0;           // frames per second
  int bits = 0;           // 8 (unsigned) or 16 (signed)
  int block_align = 0;    // bytes of one frame in the file
};

struct WavFile {
  WavFormat format;
  std::span<const uint8_t> data;  // whole frames only, inside the file's bytes
};

// The chunks of a file; false, with the reason, when it is no WAV that plays.
bool parse_wav(std::span<const uint8_t> file, WavFile& out, const char*& why);

// The sample data of one sound, at the rate of the device that plays it.
struct SoundSamples {
  int channels = 1;               // 1 or 2, interleaved
  std::vector<int16_t> samples;
  int64_t frames() const { return static_cast<int64_t>(samples.size()) / channels; }
};

// To 16 bits at `rate`; false when the result would pass the limit.
bool convert_wav(const WavFile& wav, int rate, SoundSamples& out, const char*& why);

// Read through the file layer (a real file or an in-memory name), parse and
// convert; false, with the reason, when the file does not load.
bool load_wav(const RtString& name, int rate, SoundSamples& out, const char*& why);

}  // namespace mxt
