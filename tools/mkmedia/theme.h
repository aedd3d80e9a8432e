// Quiltex's theme tune: a gentle loop synthesised in code and written as MP3.
#pragma once

#include <string>
#include <vector>

namespace mkmedia {

constexpr int kThemeRate = 44100;

// Interleaved stereo samples in -1..1 of one seamless loop (about 25 s).
std::vector<float> synthesise_theme();

// Writes the theme as an MP3 file (128 kbit/s stereo).
bool write_theme(const std::string& path);

}  // namespace mkmedia
