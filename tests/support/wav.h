// Test support: WAV files built in code, chunk by chunk, so that every field
// can be made to lie; and the hostile files the sound loader must refuse,
// shared by the tests and the fuzz target's seed corpus.
#pragma once

#include <cmath>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "runtime/types/bytes.h"

namespace mxt_test {

// One chunk: id, size (the body's, unless given), body, and the zero byte
// RIFF puts after a body of odd size (unless left out).
inline std::string wav_chunk(const std::string& id, const std::string& body, bool pad = true, int64_t size = -1) {
  std::string c = id.substr(0, 4);
  mxt::append_le32(c, static_cast<uint32_t>(size >= 0 ? size : static_cast<int64_t>(body.size())));
  c += body;
  if (pad && body.size() % 2 == 1) c += '\0';
  return c;
}

struct WavFormatSpec {
  uint16_t tag = 1;
  uint16_t channels = 1;
  uint32_t rate = 44100;
  uint16_t bits = 16;
  int block_align = -1;  // -1: channels x bytes per sample
};

inline std::string fmt_body(const WavFormatSpec& f) {
  const uint32_t align = f.block_align >= 0 ? static_cast<uint32_t>(f.block_align) : f.channels * (f.bits / 8u);
  std::string b;
  mxt::append_le16(b, f.tag);
  mxt::append_le16(b, f.channels);
  mxt::append_le32(b, f.rate);
  mxt::append_le32(b, f.rate * align);
  mxt::append_le16(b, align);
  mxt::append_le16(b, f.bits);
  return b;
}

// "RIFF", a size (the chunks' and "WAVE"'s, unless given), "WAVE", the chunks.
inline std::string riff_wave(const std::string& chunks, int64_t riff_size = -1) {
  std::string w = "RIFF";
  mxt::append_le32(w, static_cast<uint32_t>(riff_size >= 0 ? riff_size : static_cast<int64_t>(chunks.size()) + 4));
  return w + "WAVE" + chunks;
}

inline std::string wav_file(const WavFormatSpec& f, const std::string& data) {
  return riff_wave(wav_chunk("fmt ", fmt_body(f)) + wav_chunk("data", data));
}

// Sample data.
inline std::string pcm16(const std::vector<int16_t>& samples) {
  std::string s;
  for (int16_t v : samples) mxt::append_le16(s, static_cast<uint16_t>(v));
  return s;
}

inline std::string pcm8(const std::vector<uint8_t>& samples) { return std::string(samples.begin(), samples.end()); }

inline std::vector<int16_t> sine16(double frequency, int frames, double amplitude, int rate = 44100) {
  std::vector<int16_t> s(static_cast<size_t>(frames));
  for (int i = 0; i < frames; ++i)
    s[static_cast<size_t>(i)] =
        static_cast<int16_t>(std::lround(amplitude * 32767 * std::sin(2 * M_PI * frequency * i / rate)));
  return s;
}

// 8-bit samples are unsigned, silence at 128.
inline std::vector<uint8_t> sine8(double frequency, int frames, double amplitude, int rate = 44100) {
  std::vector<uint8_t> s(static_cast<size_t>(frames));
  for (int i = 0; i < frames; ++i)
    s[static_cast<size_t>(i)] =
        static_cast<uint8_t>(128 + std::lround(amplitude * 127 * std::sin(2 * M_PI * frequency * i / rate)));
  return s;
}

inline std::vector<int16_t> constant16(int16_t value, int frames) {
  return std::vector<int16_t>(static_cast<size_t>(frames), value);
}

// Files a loader must refuse, each named for what is wrong with it.
inline std::vector<std::pair<std::string, std::string>> hostile_wavs() {
  const WavFormatSpec mono;
  const std::string fmt = wav_chunk("fmt ", fmt_body(mono));
  const std::string samples = pcm16(sine16(440, 200, 0.5));
  const std::string data = wav_chunk("data", samples);
  auto with_format = [&](WavFormatSpec f) { return wav_file(f, samples); };
  std::vector<std::pair<std::string, std::string>> v;
  v.push_back({"empty", ""});
  v.push_back({"not-riff", "RIFX" + wav_file(mono, samples).substr(4)});
  v.push_back({"not-wave", std::string("RIFF\x10\x00\x00\x00WAVX", 12) + fmt + data});
  v.push_back({"header-cut", std::string("RIFF\x24\x00", 6)});
  v.push_back({"riff-size-lying-data-cut", riff_wave(fmt + data, 0x7FFFFFF0).substr(0, 44 + 100)});
  v.push_back({"chunk-past-the-end", riff_wave(wav_chunk("LIST", "abcd", true, 0x10000000) + fmt + data)});
  v.push_back({"odd-chunk-at-the-end-without-data", riff_wave(fmt + wav_chunk("LIST", "abc", false))});
  v.push_back({"fmt-too-short", riff_wave(wav_chunk("fmt ", fmt_body(mono).substr(0, 14)) + data)});
  v.push_back({"fmt-past-the-end", riff_wave(wav_chunk("fmt ", fmt_body(mono).substr(0, 10), true, 16))});
  v.push_back({"data-before-fmt", riff_wave(data + fmt)});
  v.push_back({"data-missing", riff_wave(fmt + wav_chunk("LIST", "INFO"))});
  v.push_back({"fmt-missing", riff_wave(data)});
  v.push_back({"zero-channels", with_format({.channels = 0, .block_align = 2})});
  v.push_back({"zero-rate", with_format({.rate = 0})});
  v.push_back({"rate-too-low", with_format({.rate = 50})});
  v.push_back({"rate-too-high", with_format({.rate = 400000})});
  v.push_back({"bits-24", with_format({.bits = 24})});
  v.push_back({"bits-0", with_format({.bits = 0, .block_align = 2})});
  v.push_back({"block-align-0", with_format({.block_align = 0})});
  v.push_back({"block-align-inconsistent", with_format({.channels = 2, .block_align = 2})});
  v.push_back({"data-size-4gb", riff_wave(fmt + wav_chunk("data", samples, true, 0xFFFFFFFF))});
  v.push_back({"data-empty", riff_wave(fmt + wav_chunk("data", ""))});
  v.push_back({"data-less-than-a-frame", riff_wave(fmt + wav_chunk("data", "x"))});
  std::string tiny;
  for (int i = 0; i < 10000; ++i) tiny += wav_chunk("junk", "");
  v.push_back({"ten-thousand-tiny-chunks", riff_wave(fmt + tiny + data)});
  return v;
}

}  // namespace mxt_test
