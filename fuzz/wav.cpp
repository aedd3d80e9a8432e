// WAV files as a game loads its sound effects from the archive: the bytes
// are a registered in-memory file, read through the file layer by its name,
// walked chunk by chunk and converted to the device's samples.
#include <algorithm>
#include <span>

#include "fuzz_support.h"
#include "runtime/audio/wav.h"
#include "runtime/files/limits.h"

namespace {

constexpr int kDeviceRate = 44100;  // what the runtime asks the audio device for

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  mxt_fuzz::make_memory_images();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const mxt_fuzz::MemoryBudget budget;
  const mxt_fuzz::MemoryFile file(data, size);
  mxt::SoundSamples sound;
  const char* why = nullptr;
  if (!mxt::load_wav(file.name(), kDeviceRate, sound, why)) {
    MXT_FUZZ_CHECK(why && *why);  // every refusal says why, for the debug log
    MXT_FUZZ_CHECK(sound.samples.empty());
    return 0;
  }

  // What was accepted reads the same straight from the bytes, its data lies
  // inside them in whole frames, and its format is one that plays.
  mxt::WavFile wav;
  MXT_FUZZ_CHECK(mxt::parse_wav(std::span<const uint8_t>(data, size), wav, why));
  const mxt::WavFormat& f = wav.format;
  MXT_FUZZ_CHECK(wav.data.data() >= data && wav.data.data() + wav.data.size() <= data + size);
  MXT_FUZZ_CHECK(f.bits == 8 || f.bits == 16);
  MXT_FUZZ_CHECK(f.file_channels >= 1 && f.channels == std::min(f.file_channels, 2));
  MXT_FUZZ_CHECK(f.block_align == f.file_channels * f.bits / 8);
  MXT_FUZZ_CHECK(f.rate >= mxt::limits::kMinWavRate && f.rate <= mxt::limits::kMaxWavRate);
  MXT_FUZZ_CHECK(!wav.data.empty() && wav.data.size() % static_cast<size_t>(f.block_align) == 0);
  MXT_FUZZ_CHECK(static_cast<int64_t>(wav.data.size()) <= mxt::limits::kMaxWavDataBytes);

  // The sound holds as many frames as the file's length at the device's
  // rate, within the limit.
  const int64_t frames = static_cast<int64_t>(wav.data.size()) / f.block_align;
  MXT_FUZZ_CHECK(sound.channels == f.channels);
  MXT_FUZZ_CHECK(sound.frames() == std::max<int64_t>(1, frames * kDeviceRate / f.rate));
  MXT_FUZZ_CHECK(static_cast<int64_t>(sound.samples.size() * sizeof(int16_t)) <= mxt::limits::kMaxSoundBytes);

  // The first frame is the file's own, whatever the rate.
  const uint8_t* first = wav.data.data();
  for (int c = 0; c < f.channels; ++c) {
    const uint8_t* p = first + c * (f.bits / 8);
    const int expected = f.bits == 8 ? (p[0] - 128) * 256 : static_cast<int16_t>(p[0] | p[1] << 8);
    MXT_FUZZ_CHECK(sound.samples[static_cast<size_t>(c)] == expected);
  }
  return 0;
}
