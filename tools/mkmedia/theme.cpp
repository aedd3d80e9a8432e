// The theme: ten bars in F major at 100 beats a minute: a plucked arpeggio in
// eighths over a soft pad and a round bass, and a small melody in the second
// half. Notes that ring past the end are folded back onto the start, so the
// loop has no seam.
#include "tools/mkmedia/theme.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
}

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace mkmedia {
namespace {

constexpr double kBeat = 0.6;  // seconds
constexpr int kBars = 10;
constexpr double kPi = 3.14159265358979;

double midi_hz(int note) { return 440.0 * std::pow(2.0, (note - 69) / 12.0); }

struct Mixer {
  std::vector<float> left, right;
  explicit Mixer(size_t n) : left(n), right(n) {}

  // A note: partials with their strengths, an attack, an exponential decay
  // and a short release at `length`.
  void note(double start, double length, double hz, double gain, double pan, double attack, double decay,
            std::initializer_list<double> partials) {
    const size_t first = static_cast<size_t>(start * kThemeRate);
    const size_t count = static_cast<size_t>((length + 0.3) * kThemeRate);
    for (size_t i = 0; i < count && first + i < left.size(); ++i) {
      const double t = static_cast<double>(i) / kThemeRate;
      double env = std::min(1.0, t / attack) * std::exp(-t / decay);
      if (t > length) env *= std::max(0.0, 1.0 - (t - length) / 0.3);
      double v = 0;
      int k = 1;
      for (double p : partials) v += p * std::sin(2 * kPi * hz * k++ * t);
      v *= env * gain;
      left[first + i] += static_cast<float>(v * (1 - pan));
      right[first + i] += static_cast<float>(v * pan);
    }
  }
};

}  // namespace

std::vector<float> synthesise_theme() {
  // Root, third, fifth of each bar's chord (MIDI notes).
  const int chords[kBars][3] = {{53, 57, 60}, {50, 53, 57}, {46, 50, 53}, {48, 52, 55}, {53, 57, 60},
                                {45, 48, 52}, {46, 50, 53}, {48, 52, 55}, {43, 46, 50}, {48, 52, 55}};
  const double loop = kBars * 4 * kBeat;
  const size_t loop_samples = static_cast<size_t>(loop * kThemeRate);
  Mixer mix(loop_samples + static_cast<size_t>(3.0 * kThemeRate));

  for (int bar = 0; bar < kBars; ++bar) {
    const double t0 = bar * 4 * kBeat;
    const int* ch = chords[bar];
    // Bass on beats one and three.
    for (int b : {0, 2}) mix.note(t0 + b * kBeat, 1.5 * kBeat, midi_hz(ch[0] - 12), 0.32, 0.5, 0.008, 0.9, {1.0, 0.35, 0.1});
    // Pad: the chord held through the bar.
    for (int i = 0; i < 3; ++i) {
      mix.note(t0, 4 * kBeat, midi_hz(ch[i] + 12), 0.045, 0.35, 0.35, 6.0, {1.0, 0.2});
      mix.note(t0, 4 * kBeat, midi_hz(ch[i] + 12) * 1.003, 0.045, 0.65, 0.35, 6.0, {1.0, 0.2});
    }
    // Arpeggio in eighths: up through the chord and back.
    const int pattern[8] = {0, 1, 2, 3, 2, 1, 2, 1};
    for (int e = 0; e < 8; ++e) {
      const int step = pattern[e];
      const int note = step == 3 ? ch[0] + 24 : ch[step] + 12;
      mix.note(t0 + e * kBeat / 2, kBeat / 2, midi_hz(note), 0.16, e % 2 ? 0.3 : 0.7, 0.004, 0.45, {1.0, 0.25, 0.08});
    }
  }
  // Melody over the second half: quarter and half notes on chord tones.
  const struct { double beat, beats; int note; } melody[] = {
      {16, 1, 72}, {17, 1, 69}, {18, 2, 72},  {20, 1, 76}, {21, 1, 72}, {22, 2, 69},
      {24, 1, 70}, {25, 1, 74}, {26, 2, 77},  {28, 1, 76}, {29, 1, 74}, {30, 2, 72},
      {32, 2, 74}, {34, 2, 70}, {36, 1.5, 72}, {37.5, 0.5, 74}, {38, 2, 76},
  };
  for (const auto& m : melody)
    mix.note(m.beat * kBeat, m.beats * kBeat, midi_hz(m.note), 0.14, 0.5, 0.02, 1.2, {1.0, 0.12, 0.05});

  // Fold the ringing tail onto the start, then scale to a comfortable peak.
  for (size_t i = loop_samples; i < mix.left.size(); ++i) {
    mix.left[i - loop_samples] += mix.left[i];
    mix.right[i - loop_samples] += mix.right[i];
  }
  float peak = 0;
  for (size_t i = 0; i < loop_samples; ++i) peak = std::max({peak, std::fabs(mix.left[i]), std::fabs(mix.right[i])});
  const float scale = peak > 0 ? 0.8f / peak : 1.0f;
  std::vector<float> out(loop_samples * 2);
  for (size_t i = 0; i < loop_samples; ++i) {
    out[2 * i] = mix.left[i] * scale;
    out[2 * i + 1] = mix.right[i] * scale;
  }
  return out;
}

namespace {

// Encodes and writes every packet the encoder has ready (all of them when
// `frame` is null, which flushes it).
bool drain(AVCodecContext* enc, AVFormatContext* fmt, AVStream* stream, AVFrame* frame) {
  if (avcodec_send_frame(enc, frame) < 0) return false;
  AVPacket* packet = av_packet_alloc();
  bool ok = packet != nullptr;
  while (ok) {
    const int r = avcodec_receive_packet(enc, packet);
    if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) break;
    if (r < 0) {
      ok = false;
      break;
    }
    av_packet_rescale_ts(packet, enc->time_base, stream->time_base);
    packet->stream_index = stream->index;
    ok = av_interleaved_write_frame(fmt, packet) >= 0;
  }
  av_packet_free(&packet);
  return ok;
}

}  // namespace

bool write_theme(const std::string& path) {
  const std::vector<float> samples = synthesise_theme();
  const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_MP3);
  if (!codec) {
    std::fprintf(stderr, "mkmedia: this FFmpeg has no MP3 encoder\n");
    return false;
  }
  AVFormatContext* fmt = nullptr;
  if (avformat_alloc_output_context2(&fmt, nullptr, "mp3", path.c_str()) < 0 || !fmt) return false;
  AVCodecContext* enc = avcodec_alloc_context3(codec);
  AVStream* stream = avformat_new_stream(fmt, nullptr);
  AVFrame* frame = av_frame_alloc();
  bool ok = enc && stream && frame;
  if (ok) {
    enc->sample_rate = kThemeRate;
    av_channel_layout_default(&enc->ch_layout, 2);
    enc->sample_fmt = AV_SAMPLE_FMT_FLTP;
    enc->bit_rate = 128000;
    enc->time_base = AVRational{1, kThemeRate};
    ok = avcodec_open2(enc, codec, nullptr) >= 0 && avcodec_parameters_from_context(stream->codecpar, enc) >= 0;
  }
  if (ok) {
    stream->time_base = enc->time_base;
    ok = avio_open(&fmt->pb, path.c_str(), AVIO_FLAG_WRITE) >= 0 && avformat_write_header(fmt, nullptr) >= 0;
  }
  const int frame_size = ok && enc->frame_size > 0 ? enc->frame_size : 1152;
  const size_t total = samples.size() / 2;
  for (size_t at = 0; ok && at < total; at += static_cast<size_t>(frame_size)) {
    const int n = static_cast<int>(std::min(total - at, static_cast<size_t>(frame_size)));
    av_frame_unref(frame);
    frame->nb_samples = n;
    frame->format = enc->sample_fmt;
    frame->sample_rate = kThemeRate;
    av_channel_layout_copy(&frame->ch_layout, &enc->ch_layout);
    ok = av_frame_get_buffer(frame, 0) >= 0;
    if (!ok) break;
    auto* left = reinterpret_cast<float*>(frame->data[0]);
    auto* right = reinterpret_cast<float*>(frame->data[1]);
    for (int i = 0; i < n; ++i) {
      left[i] = samples[2 * (at + static_cast<size_t>(i))];
      right[i] = samples[2 * (at + static_cast<size_t>(i)) + 1];
    }
    frame->pts = static_cast<int64_t>(at);
    ok = drain(enc, fmt, stream, frame);
  }
  if (ok) ok = drain(enc, fmt, stream, nullptr) && av_write_trailer(fmt) >= 0;
  av_frame_free(&frame);
  avcodec_free_context(&enc);
  if (fmt->pb) avio_closep(&fmt->pb);
  avformat_free_context(fmt);
  return ok;
}

}  // namespace mkmedia
