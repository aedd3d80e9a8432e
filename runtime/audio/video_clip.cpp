// VideoClip over FFmpeg: the file is read through the file layer (RtFile
// behind a custom AVIOContext), so real files and in-memory images open the
// same way. Packets are read in file order; video packets go to the picture
// decoder, audio packets are decoded and resampled to the device's format
// on the way and queued on the audio stream.
//
// Bad files: every size is checked against the limits before a buffer is
// sized from it, a damaged packet is skipped, and time stamps that jump are
// held to a bounded gap, so a hostile clip ends instead of stalling.
//
// [SECTION] Reading through the file layer
// [SECTION] Opening and closing
// [SECTION] Decoding
// [SECTION] Frames and pictures
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "runtime/audio/video.h"
#include "runtime/files/files.h"
#include "runtime/files/rtfile.h"
#include "runtime/files/limits.h"
#include "runtime/platform/platform.h"

namespace mxt {

namespace {
constexpr int kIoBufferBytes = 64 * 1024;
constexpr double kMaxFrameGapMs = 30000;   // a later frame time is held to this far past the last
constexpr double kDefaultFrameMs = 40;     // when the stream does not tell its rate
}  // namespace

struct VideoClip::Impl {
  RtFile file;
  AVIOContext* io = nullptr;
  AVFormatContext* format = nullptr;
  AVCodecContext* video = nullptr;
  AVCodecContext* audio = nullptr;
  SwsContext* scaler = nullptr;
  SwrContext* resampler = nullptr;
  AVPacket* packet = nullptr;
  AVFrame* shown = nullptr;                // the frame on screen
  AVFrame* pending = nullptr;              // the next one, decoded ahead
  AVFrame* sound = nullptr;
  int video_index = -1;
  int audio_index = -1;
  double time_base_ms = 0;
  int64_t start_pts = AV_NOPTS_VALUE;
  double frame_ms = kDefaultFrameMs;
  int display_w = 0;

  bool have_shown = false, have_pending = false;
  double shown_ms = 0, pending_ms = 0;
  bool input_done = false;                 // every packet read
  bool drain_sent = false;                 // the picture decoder was told the input ended
  bool ended = false;                      // no frame after the pending one
  bool picture_dirty = false;
  int64_t frames_since_rewind = 0;

  std::vector<uint8_t> rgba;
  int picture_w = 0, picture_h = 0;

  platform::AudioDevice* device = nullptr;  // where the sound goes; null: none
  platform::AudioFormat out;
  bool sound_live = false;                 // samples go to the device; before that they are held
  std::vector<int16_t> held;               // samples decoded before start_sound
  std::vector<int16_t> converted;

  ~Impl() { release(); }
  bool open(const RtString& name, platform::AudioDevice* sound_device);
  void release();
  bool open_sound();
  bool feed();
  void decode_sound(const AVPacket* p);
  void queue_sound(const AVFrame* f);
  bool decode_picture(AVFrame* into);
  void fetch_pending();
  void take_pending();
  double frame_time(const AVFrame* f);
};

// ---------------------------------------------------------------------------
// [SECTION] Reading through the file layer

namespace {

int read_packet(void* opaque, uint8_t* buffer, int size) {
  auto* f = static_cast<RtFile*>(opaque);
  const int64_t left = f->size - f->position;
  if (left <= 0 || size <= 0) return AVERROR_EOF;
  const int64_t n = std::min<int64_t>(size, left);
  if (!read_bytes(*f, buffer, n)) return AVERROR(EIO);
  return static_cast<int>(n);
}

int64_t seek_packet(void* opaque, int64_t offset, int whence) {
  auto* f = static_cast<RtFile*>(opaque);
  whence &= ~AVSEEK_FORCE;
  if (whence == AVSEEK_SIZE) return f->size;
  int64_t base = 0;
  if (whence == SEEK_CUR)
    base = f->position;
  else if (whence == SEEK_END)
    base = f->size;
  else if (whence != SEEK_SET)
    return AVERROR(EINVAL);
  if ((offset > 0 && base > INT64_MAX - offset) || (offset < 0 && base < INT64_MIN - offset)) return AVERROR(EINVAL);
  const int64_t target = base + offset;
  if (!seek_to(*f, target)) return AVERROR(EINVAL);
  return target;
}

bool picture_size_ok(int w, int h) {
  return w > 0 && h > 0 && w <= limits::kMaxVideoSide && h <= limits::kMaxVideoSide &&
         int64_t{w} * h <= limits::kMaxVideoPixels;
}

AVCodecContext* open_decoder(const AVStream* stream) {
  const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
  if (!codec) return nullptr;
  AVCodecContext* ctx = avcodec_alloc_context3(codec);
  if (!ctx) return nullptr;
  ctx->thread_count = 0;  // as many as the machine has, as the ffmpeg tool does
  if (avcodec_parameters_to_context(ctx, stream->codecpar) < 0 || avcodec_open2(ctx, codec, nullptr) < 0)
    avcodec_free_context(&ctx);
  return ctx;
}

}  // namespace

// ---------------------------------------------------------------------------
// [SECTION] Opening and closing

bool VideoClip::Impl::open(const RtString& name, platform::AudioDevice* sound_device) {
  av_log_set_level(AV_LOG_FATAL);  // a damaged clip is reported by the result, not on stderr
  if (!open_read(file, name) || file.size <= 0) return false;
  auto* buffer = static_cast<uint8_t*>(av_malloc(kIoBufferBytes));
  if (!buffer) return false;
  io = avio_alloc_context(buffer, kIoBufferBytes, 0, &file, read_packet, nullptr, seek_packet);
  if (!io) {
    av_free(buffer);
    return false;
  }
  format = avformat_alloc_context();
  if (!format) return false;
  format->pb = io;
  if (avformat_open_input(&format, nullptr, nullptr, nullptr) < 0) return false;  // frees format on failure
  if (avformat_find_stream_info(format, nullptr) < 0) return false;

  video_index = av_find_best_stream(format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  if (video_index < 0) return false;
  const AVStream* vs = format->streams[video_index];
  if (!picture_size_ok(vs->codecpar->width, vs->codecpar->height)) return false;
  video = open_decoder(vs);
  if (!video) return false;
  if (vs->time_base.num <= 0 || vs->time_base.den <= 0) return false;
  time_base_ms = av_q2d(vs->time_base) * 1000.0;
  start_pts = vs->start_time;
  const AVRational rate = vs->avg_frame_rate.num > 0 ? vs->avg_frame_rate : vs->r_frame_rate;
  if (rate.num > 0 && rate.den > 0) {
    const double ms = 1000.0 * rate.den / rate.num;
    if (ms >= 1 && ms <= 1000) frame_ms = ms;
  }
  display_w = vs->codecpar->width;
  const AVRational sar = vs->codecpar->sample_aspect_ratio;
  if (sar.num > 0 && sar.den > 0) {
    const double w = std::round(display_w * av_q2d(sar));
    if (w >= 1 && w <= limits::kMaxVideoSide) display_w = static_cast<int>(w);
  }

  packet = av_packet_alloc();
  shown = av_frame_alloc();
  pending = av_frame_alloc();
  sound = av_frame_alloc();
  if (!packet || !shown || !pending || !sound) return false;
  device = sound_device;
  if (device) open_sound();

  // A clip that opens but yields no picture cannot be played.
  fetch_pending();
  return have_pending;
}

bool VideoClip::Impl::open_sound() {
  out = platform::audio_format(device);
  if (out.rate <= 0 || out.channels <= 0) return false;
  audio_index = av_find_best_stream(format, AVMEDIA_TYPE_AUDIO, -1, video_index, nullptr, 0);
  if (audio_index < 0) return false;
  audio = open_decoder(format->streams[audio_index]);
  if (!audio) audio_index = -1;
  return audio != nullptr;
}

void VideoClip::Impl::release() {
  if (sound_live) platform::audio_stream_clear(device);
  swr_free(&resampler);
  sws_freeContext(scaler);
  scaler = nullptr;
  av_frame_free(&shown);
  av_frame_free(&pending);
  av_frame_free(&sound);
  av_packet_free(&packet);
  avcodec_free_context(&video);
  avcodec_free_context(&audio);
  avformat_close_input(&format);
  if (io) {
    av_freep(&io->buffer);
    avio_context_free(&io);
  }
  ::mxt::close(file);
}

// ---------------------------------------------------------------------------
// [SECTION] Decoding

// Reads one packet and hands it to its decoder; false once the input is done.
bool VideoClip::Impl::feed() {
  if (input_done) return false;
  if (av_read_frame(format, packet) < 0) {
    input_done = true;
    if (audio) decode_sound(nullptr);  // what the sound decoder still holds
    return false;
  }
  if (packet->stream_index == video_index)
    avcodec_send_packet(video, packet);  // a damaged packet is skipped; the next one goes on
  else if (packet->stream_index == audio_index && audio)
    decode_sound(packet);
  av_packet_unref(packet);
  return true;
}

void VideoClip::Impl::decode_sound(const AVPacket* p) {
  if (avcodec_send_packet(audio, p) < 0) return;
  while (avcodec_receive_frame(audio, sound) == 0) {
    queue_sound(sound);
    av_frame_unref(sound);
  }
}

void VideoClip::Impl::queue_sound(const AVFrame* f) {
  if (f->nb_samples <= 0 || f->sample_rate <= 0 || f->ch_layout.nb_channels <= 0) return;
  if (!resampler) {
    AVChannelLayout layout;
    av_channel_layout_default(&layout, out.channels);
    // This FFmpeg takes the input layout through a non-const pointer; it only reads it.
    if (swr_alloc_set_opts2(&resampler, &layout, AV_SAMPLE_FMT_S16, out.rate, const_cast<AVChannelLayout*>(&f->ch_layout),
                            static_cast<AVSampleFormat>(f->format), f->sample_rate, 0, nullptr) < 0 ||
        swr_init(resampler) < 0) {
      swr_free(&resampler);
      avcodec_free_context(&audio);  // no sound rather than noise
      audio_index = -1;
      return;
    }
  }
  const int room = swr_get_out_samples(resampler, f->nb_samples);
  if (room <= 0 || room > out.rate * 10) return;
  converted.resize(static_cast<size_t>(room) * static_cast<size_t>(out.channels));
  auto* dst = reinterpret_cast<uint8_t*>(converted.data());
  const int got = swr_convert(resampler, &dst, room, const_cast<const uint8_t**>(f->extended_data), f->nb_samples);
  if (got <= 0) return;
  const size_t n = static_cast<size_t>(got) * static_cast<size_t>(out.channels);
  if (sound_live) {
    platform::audio_stream_push(device, converted.data(), got);
  } else if (held.size() + n <= static_cast<size_t>(out.rate) * static_cast<size_t>(out.channels) * 4) {
    held.insert(held.end(), converted.begin(), converted.begin() + static_cast<std::ptrdiff_t>(n));
  }
}

// The next picture from the decoder, feeding it packets as it asks; false
// when the clip has no more. Pictures of an unusable size are passed over.
bool VideoClip::Impl::decode_picture(AVFrame* into) {
  for (;;) {
    const int r = avcodec_receive_frame(video, into);
    if (r == 0) {
      if (picture_size_ok(into->width, into->height)) return true;
      av_frame_unref(into);
      continue;
    }
    if (r != AVERROR(EAGAIN)) return false;  // the end, or a decoder that gave up
    if (feed()) continue;
    if (drain_sent) return false;
    avcodec_send_packet(video, nullptr);
    drain_sent = true;
  }
}

// ---------------------------------------------------------------------------
// [SECTION] Frames and pictures

double VideoClip::Impl::frame_time(const AVFrame* f) {
  const double last = have_shown ? shown_ms : -frame_ms;
  const int64_t ts = f->best_effort_timestamp;
  if (ts == AV_NOPTS_VALUE) return last + frame_ms;
  if (start_pts == AV_NOPTS_VALUE) start_pts = ts;
  const double t = (static_cast<double>(ts) - static_cast<double>(start_pts)) * time_base_ms;
  if (!std::isfinite(t)) return last + frame_ms;
  return std::clamp(t, have_shown ? last : 0.0, std::max(last, 0.0) + kMaxFrameGapMs);
}

void VideoClip::Impl::fetch_pending() {
  if (have_pending || ended) return;
  have_pending = decode_picture(pending);
  if (have_pending)
    pending_ms = frame_time(pending);
  else
    ended = true;
}

void VideoClip::Impl::take_pending() {
  std::swap(shown, pending);
  av_frame_unref(pending);
  have_pending = false;
  have_shown = true;
  shown_ms = pending_ms;
  picture_dirty = true;
  ++frames_since_rewind;
  fetch_pending();
}

VideoClip::VideoClip() = default;
VideoClip::~VideoClip() = default;

bool VideoClip::open(const RtString& name, platform::AudioDevice* sound_device) {
  impl_ = std::make_unique<Impl>();
  if (impl_->open(name, sound_device)) return true;
  impl_.reset();
  return false;
}

void VideoClip::close() { impl_.reset(); }

void VideoClip::start_sound() {
  if (!impl_ || impl_->sound_live) return;
  impl_->sound_live = true;
  const size_t channels = static_cast<size_t>(std::max(impl_->out.channels, 1));
  if (!impl_->held.empty())
    platform::audio_stream_push(impl_->device, impl_->held.data(), static_cast<int>(impl_->held.size() / channels));
  impl_->held.clear();
}

void VideoClip::stop_sound() {
  if (!impl_) return;
  impl_->sound_live = false;
  impl_->held.clear();
  platform::audio_stream_clear(impl_->device);
}

bool VideoClip::advance(double ms) {
  if (!impl_) return false;
  bool changed = false;
  impl_->fetch_pending();
  while (impl_->have_pending && (!impl_->have_shown || impl_->pending_ms <= ms)) {
    impl_->take_pending();
    changed = true;
  }
  return changed;
}

bool VideoClip::next_frame() {
  if (!impl_) return false;
  impl_->fetch_pending();
  if (!impl_->have_pending) return false;
  impl_->take_pending();
  return true;
}

bool VideoClip::finished(double ms) const {
  if (!impl_) return true;
  return impl_->ended && !impl_->have_pending && (!impl_->have_shown || ms >= impl_->shown_ms + impl_->frame_ms);
}

bool VideoClip::rewind() {
  if (!impl_) return false;
  Impl& c = *impl_;
  const int64_t target = c.start_pts == AV_NOPTS_VALUE ? 0 : c.start_pts;
  if (av_seek_frame(c.format, c.video_index, target, AVSEEK_FLAG_BACKWARD) < 0 &&
      avformat_seek_file(c.format, -1, INT64_MIN, 0, 0, 0) < 0)
    return false;
  avcodec_flush_buffers(c.video);
  if (c.audio) avcodec_flush_buffers(c.audio);
  if (c.sound_live) platform::audio_stream_clear(c.device);
  c.input_done = c.drain_sent = c.ended = false;
  c.have_pending = c.have_shown = false;
  av_frame_unref(c.pending);
  c.frames_since_rewind = 0;
  return true;
}

const uint8_t* VideoClip::picture() {
  if (!impl_ || !impl_->have_shown) return nullptr;
  Impl& c = *impl_;
  if (c.picture_dirty) {
    const AVFrame* f = c.shown;
    c.scaler = sws_getCachedContext(c.scaler, f->width, f->height, static_cast<AVPixelFormat>(f->format), f->width,
                                    f->height, AV_PIX_FMT_RGBA, SWS_BILINEAR, nullptr, nullptr, nullptr);
    if (!c.scaler) return nullptr;
    c.rgba.resize(static_cast<size_t>(f->width) * static_cast<size_t>(f->height) * 4);
    uint8_t* dst[4] = {c.rgba.data(), nullptr, nullptr, nullptr};
    const int stride[4] = {f->width * 4, 0, 0, 0};
    if (sws_scale(c.scaler, f->data, f->linesize, 0, f->height, dst, stride) != f->height) return nullptr;
    c.picture_w = f->width;
    c.picture_h = f->height;
    c.picture_dirty = false;
  }
  return c.rgba.data();
}

int VideoClip::width() const { return impl_ ? impl_->picture_w : 0; }
int VideoClip::height() const { return impl_ ? impl_->picture_h : 0; }

int VideoClip::display_width() const {
  if (!impl_ || impl_->picture_w == 0) return 0;
  const AVStream* vs = impl_->format->streams[impl_->video_index];
  // The stream's aspect belongs to its stored size; a picture of another size keeps its own.
  return impl_->picture_w == vs->codecpar->width ? impl_->display_w : impl_->picture_w;
}

int64_t VideoClip::frames_since_rewind() const { return impl_ ? impl_->frames_since_rewind : 0; }

}  // namespace mxt
