// JPEG through libjpeg's 6b interface: grey, RGB, CMYK and YCCK files read
// from memory (four components become RGB), RGB written at quality 80.
// libjpeg's error exits long-jump back here; so do its warnings that the data
// ran out or lost its place, which it would otherwise cover with grey. A
// progressive file with an absurd number of scans is refused, and so is a
// file too short to hold the blocks its size needs.
//
// [SECTION] Reading
// [SECTION] Writing
#include <cstdio>

#include <jpeglib.h>
#include <jerror.h>

#include <csetjmp>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "runtime/base/log.h"
#include "runtime/gfx2d/image_codec.h"

namespace mxt {

namespace {

struct JpegErrors {
  jpeg_error_mgr mgr;
  std::jmp_buf jump;
};

[[noreturn]] void jpeg_fail(j_common_ptr cinfo) {
  std::longjmp(reinterpret_cast<JpegErrors*>(cinfo->err)->jump, 1);
}

// A cut stream, a scan that meets a marker before its blocks are done, and a
// restart marker out of its place all mean data is missing: a broken picture,
// not a grey one, and no reason to decode the rest. Other warnings (stray
// bytes before a marker, odd scan parameters) leave the picture whole.
void jpeg_message(j_common_ptr cinfo, int level) {
  if (level >= 0) return;
  switch (cinfo->err->msg_code) {
    case JWRN_JPEG_EOF:
    case JWRN_HIT_MARKER:
    case JWRN_MUST_RESYNC:
      jpeg_fail(cinfo);
    default:
      break;
  }
}

void jpeg_quiet(j_common_ptr) {}

// A progressive file may carry any number of scans; past this many it is
// taken as hostile.
constexpr int kMaxJpegScans = 1000;

void jpeg_progress(j_common_ptr cinfo) {
  if (cinfo->is_decompressor) {
    auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
    if (d->input_scan_number > kMaxJpegScans) jpeg_fail(cinfo);
  }
}

// Huffman coding spends at least one bit on every block of the first
// component (its DC code, in the first scan that carries it), so a file of
// fewer bits than that component has blocks lacks the data its size claims;
// refused before libjpeg allocates for that size. Arithmetic coding has no
// such floor and is left to the warnings.
bool holds_its_blocks(const jpeg_decompress_struct& cinfo, size_t file_bytes) {
  if (cinfo.arith_code || cinfo.num_components < 1) return true;
  const jpeg_component_info& first = cinfo.comp_info[0];
  const uint64_t blocks = static_cast<uint64_t>(first.width_in_blocks) * first.height_in_blocks;
  return blocks <= static_cast<uint64_t>(file_bytes) * 8;
}

// Ink to light: libjpeg hands CMYK (YCCK turned into CMYK) as stored, and
// Adobe's files store it inverted, 255 meaning no ink.
void cmyk_pixel(uint8_t* out, const uint8_t* p, bool inverted) {
  const unsigned k = inverted ? p[3] : 255u - p[3];
  uint8_t rgb[3];
  for (int i = 0; i < 3; ++i) {
    const unsigned c = inverted ? p[i] : 255u - p[i];
    rgb[i] = static_cast<uint8_t>((c * k + 127) / 255);
  }
  put(out, rgb[0], rgb[1], rgb[2], 255);
}

bool jpeg_decode_into(jpeg_decompress_struct& cinfo, JpegErrors& jerr, std::span<const uint8_t> bytes,
                      ImageBuffer& image, uint8_t** rows_out) {
  if (setjmp(jerr.jump)) return false;
  jpeg_mem_src(&cinfo, bytes.data(), static_cast<unsigned long>(bytes.size()));
  jpeg_read_header(&cinfo, TRUE);
  if (cinfo.image_width == 0 || cinfo.image_height == 0 || cinfo.image_width > static_cast<unsigned>(kMaxImageSide) ||
      cinfo.image_height > static_cast<unsigned>(kMaxImageSide) ||
      static_cast<uint64_t>(cinfo.image_width) * cinfo.image_height > static_cast<uint64_t>(kMaxImagePixels))
    return false;
  if (!holds_its_blocks(cinfo, bytes.size())) return false;
  if (cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK) cinfo.out_color_space = JCS_CMYK;
  cinfo.do_fancy_upsampling = FALSE;
  jpeg_start_decompress(&cinfo);
  const int components = cinfo.output_components;
  const uint32_t w = cinfo.output_width, h = cinfo.output_height;
  if ((components != 1 && components != 3 && components != 4) || (components == 4 && cinfo.out_color_space != JCS_CMYK)) {
    write_log_format("JPEG: Channels: %d not supported!\n", components);
    return false;
  }
  const bool inverted = cinfo.saw_Adobe_marker != FALSE;
  const size_t stride = static_cast<size_t>(w) * static_cast<size_t>(components);
  uint8_t* block = static_cast<uint8_t*>(std::malloc(stride * h));
  if (!block) return false;
  *rows_out = block;
  while (cinfo.output_scanline < h) {
    JSAMPROW row = block + stride * cinfo.output_scanline;
    if (jpeg_read_scanlines(&cinfo, &row, 1) != 1) return false;
  }
  jpeg_finish_decompress(&cinfo);
  if (!image.size_to(static_cast<int32_t>(w), static_cast<int32_t>(h))) return false;
  for (uint32_t y = 0; y < h; ++y) {
    const uint8_t* src = block + stride * y;
    for (uint32_t x = 0; x < w; ++x) {
      uint8_t* out = image.pixel(static_cast<int32_t>(x), static_cast<int32_t>(y));
      const uint8_t* p = src + x * static_cast<uint32_t>(components);
      if (components == 1)
        put(out, p[0], p[0], p[0], 255);
      else if (components == 3)
        put(out, p[0], p[1], p[2], 255);
      else
        cmyk_pixel(out, p, inverted);
    }
  }
  image.own_alpha = 0;
  return true;
}

}  // namespace

// ---------------------------------------------------------------------------
// [SECTION] Reading

bool decode_jpeg(ImageBuffer& image, std::span<const uint8_t> bytes) {
  image.reset();
  if (bytes.size() < 3 || bytes[0] != 0xFF || bytes[1] != 0xD8) return false;
  jpeg_decompress_struct cinfo;
  JpegErrors jerr;
  cinfo.err = jpeg_std_error(&jerr.mgr);
  jerr.mgr.error_exit = jpeg_fail;
  jerr.mgr.emit_message = jpeg_message;
  jerr.mgr.output_message = jpeg_quiet;
  jpeg_progress_mgr progress;
  progress.progress_monitor = jpeg_progress;
  if (setjmp(jerr.jump)) {
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  jpeg_create_decompress(&cinfo);
  cinfo.progress = &progress;
  uint8_t* rows = nullptr;
  const bool ok = jpeg_decode_into(cinfo, jerr, bytes, image, &rows);
  std::free(rows);
  jpeg_destroy_decompress(&cinfo);
  if (!ok) image.reset();
  return ok;
}

// ---------------------------------------------------------------------------
// [SECTION] Writing

namespace {

bool encode_jpeg_rows(jpeg_compress_struct& cinfo, JpegErrors& jerr, const ImageBuffer& image,
                      unsigned char** buffer, unsigned long* size) {
  if (setjmp(jerr.jump)) return false;
  jpeg_mem_dest(&cinfo, buffer, size);
  cinfo.image_width = static_cast<JDIMENSION>(image.width);
  cinfo.image_height = static_cast<JDIMENSION>(image.height);
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, 80, TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  std::vector<uint8_t> row(static_cast<size_t>(image.width) * 3);
  while (cinfo.next_scanline < cinfo.image_height) {
    const uint8_t* src = image.pixel(0, static_cast<int32_t>(cinfo.next_scanline));
    for (int x = 0; x < image.width; ++x) std::memcpy(&row[static_cast<size_t>(x) * 3], src + x * 4, 3);
    JSAMPROW p = row.data();
    jpeg_write_scanlines(&cinfo, &p, 1);
  }
  jpeg_finish_compress(&cinfo);
  return true;
}

}  // namespace

bool encode_jpeg(const ImageBuffer& image, std::string& out) {
  if (image.width <= 0 || image.height <= 0) return false;
  jpeg_compress_struct cinfo;
  JpegErrors jerr;
  cinfo.err = jpeg_std_error(&jerr.mgr);
  jerr.mgr.error_exit = jpeg_fail;
  jerr.mgr.output_message = jpeg_quiet;
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  if (setjmp(jerr.jump)) {
    jpeg_destroy_compress(&cinfo);
    std::free(buffer);
    return false;
  }
  jpeg_create_compress(&cinfo);
  const bool ok = encode_jpeg_rows(cinfo, jerr, image, &buffer, &size);
  jpeg_destroy_compress(&cinfo);
  if (ok) out.assign(reinterpret_cast<const char*>(buffer), size);
  std::free(buffer);
  return ok;
}

}  // namespace mxt
