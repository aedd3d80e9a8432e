#include "support/images.h"

#include <jpeglib.h>
#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <span>
#include <stdexcept>

#include "runtime/gfx2d/image.h"

namespace mxt_test {

std::string build_bmp(const BmpSpec& spec) {
  std::string header;
  std::string info;
  if (spec.core_header) {
    put32(info, 12);
    put16(info, static_cast<uint32_t>(spec.width));
    put16(info, static_cast<uint32_t>(spec.height));
    put16(info, 1);
    put16(info, static_cast<uint32_t>(spec.bits));
  } else {
    put32(info, spec.info_size);
    put32(info, static_cast<uint32_t>(spec.width));
    put32(info, static_cast<uint32_t>(spec.height));
    put16(info, 1);
    put16(info, static_cast<uint32_t>(spec.bits));
    put32(info, spec.compression);
    put32(info, static_cast<uint32_t>(spec.pixel_data.size()));
    put32(info, 2835);
    put32(info, 2835);
    put32(info, static_cast<uint32_t>(spec.palette.size()));
    put32(info, 0);
    if (spec.info_size > 40) {
      for (uint32_t m : spec.masks) put32(info, m);
      if (spec.info_size >= 56) put32(info, spec.alpha_mask);
    }
    while (info.size() < spec.info_size) info += '\0';
    if (spec.info_size >= 124 && !spec.profile.empty()) {
      // An embedded profile ('MBED'), placed after the palette; its offset
      // counts from the start of the info header.
      const size_t palette_bytes = spec.palette.size() * 4;
      std::string fields;
      put32(fields, static_cast<uint32_t>(spec.info_size + palette_bytes));
      put32(fields, static_cast<uint32_t>(spec.profile.size()));
      info.replace(112, 8, fields);
      std::string cs_type;
      put32(cs_type, 0x4D424544);
      info.replace(56, 4, cs_type);
    }
    if (spec.info_size == 40 && spec.compression == 3)
      for (uint32_t m : spec.masks) put32(info, m);
  }
  std::string palette;
  for (const Rgb& c : spec.palette) {
    palette += static_cast<char>(c[2]);
    palette += static_cast<char>(c[1]);
    palette += static_cast<char>(c[0]);
    if (!spec.core_header) palette += '\0';
  }
  palette.append(spec.profile.begin(), spec.profile.end());
  const uint32_t offset = static_cast<uint32_t>(14 + info.size() + palette.size());
  header += "BM";
  put32(header, static_cast<uint32_t>(offset + spec.pixel_data.size()));
  put16(header, 0);
  put16(header, 0);
  put32(header, offset);
  return header + info + palette + std::string(spec.pixel_data.begin(), spec.pixel_data.end());
}

std::vector<uint8_t> bmp_rows(int width, int height, int bits, const std::function<uint32_t(int, int)>& value) {
  const size_t row = (static_cast<size_t>(width) * static_cast<size_t>(bits) + 31) / 32 * 4;
  std::vector<uint8_t> out(row * static_cast<size_t>(height), 0);
  for (int y = 0; y < height; ++y) {
    uint8_t* r = out.data() + row * static_cast<size_t>(y);
    for (int x = 0; x < width; ++x) {
      const uint32_t v = value(x, y);
      switch (bits) {
        case 1: r[x / 8] |= static_cast<uint8_t>((v & 1) << (7 - x % 8)); break;
        case 4: r[x / 2] |= static_cast<uint8_t>((x & 1) ? (v & 0xF) : (v & 0xF) << 4); break;
        case 8: r[x] = static_cast<uint8_t>(v); break;
        case 16:
          r[x * 2] = static_cast<uint8_t>(v);
          r[x * 2 + 1] = static_cast<uint8_t>(v >> 8);
          break;
        case 24:  // v = 0xRRGGBB
          r[x * 3] = static_cast<uint8_t>(v);
          r[x * 3 + 1] = static_cast<uint8_t>(v >> 8);
          r[x * 3 + 2] = static_cast<uint8_t>(v >> 16);
          break;
        default:
          for (int i = 0; i < 4; ++i) r[x * 4 + i] = static_cast<uint8_t>(v >> (8 * i));
      }
    }
  }
  return out;
}

namespace {
void append_png(png_structp png, png_bytep data, size_t n) {
  static_cast<std::string*>(png_get_io_ptr(png))->append(reinterpret_cast<char*>(data), n);
}
void no_flush(png_structp) {}
[[noreturn]] void png_throw(png_structp, png_const_charp message) { throw std::runtime_error(message); }
}  // namespace

std::string build_png(const PngSpec& spec) {
  std::string out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, png_throw, nullptr);
  png_infop info = png_create_info_struct(png);
  png_set_write_fn(png, &out, append_png, no_flush);
  png_set_IHDR(png, info, static_cast<png_uint_32>(spec.width), static_cast<png_uint_32>(spec.height),
               spec.bit_depth, spec.colour_type, spec.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  std::vector<png_color> plte;
  for (const Rgb& c : spec.palette) plte.push_back(png_color{c[0], c[1], c[2]});
  if (!plte.empty()) png_set_PLTE(png, info, plte.data(), static_cast<int>(plte.size()));
  if (!spec.trns.empty())
    png_set_tRNS(png, info, spec.trns.data(), static_cast<int>(spec.trns.size()), nullptr);
  if (spec.grey_key >= 0) {
    png_color_16 key{};
    key.gray = static_cast<png_uint_16>(spec.grey_key);
    png_set_tRNS(png, info, nullptr, 0, &key);
  }
  png_write_info(png, info);
  const size_t row = spec.samples.size() / static_cast<size_t>(spec.height);
  std::vector<png_bytep> rows;
  for (int y = 0; y < spec.height; ++y)
    rows.push_back(const_cast<png_bytep>(spec.samples.data() + row * static_cast<size_t>(y)));
  png_write_image(png, rows.data());
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return out;
}

std::string build_jpeg(int width, int height, int components, const std::vector<uint8_t>& samples,
                       bool progressive, int quality, int restart_rows) {
  jpeg_compress_struct cinfo;
  jpeg_error_mgr err;
  cinfo.err = jpeg_std_error(&err);
  jpeg_create_compress(&cinfo);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&cinfo, &buffer, &size);
  cinfo.image_width = static_cast<JDIMENSION>(width);
  cinfo.image_height = static_cast<JDIMENSION>(height);
  cinfo.input_components = components;
  cinfo.in_color_space = components == 1 ? JCS_GRAYSCALE : JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, quality, TRUE);
  if (progressive) jpeg_simple_progression(&cinfo);
  cinfo.restart_in_rows = restart_rows;
  jpeg_start_compress(&cinfo, TRUE);
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(samples.data() + cinfo.next_scanline * static_cast<size_t>(width * components));
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  std::string out(reinterpret_cast<char*>(buffer), size);
  std::free(buffer);
  return out;
}

std::string build_cmyk_jpeg(int width, int height, const std::vector<uint8_t>& samples, bool ycck, bool adobe_marker) {
  jpeg_compress_struct cinfo;
  jpeg_error_mgr err;
  cinfo.err = jpeg_std_error(&err);
  jpeg_create_compress(&cinfo);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&cinfo, &buffer, &size);
  cinfo.image_width = static_cast<JDIMENSION>(width);
  cinfo.image_height = static_cast<JDIMENSION>(height);
  cinfo.input_components = 4;
  cinfo.in_color_space = JCS_CMYK;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, 95, TRUE);
  if (ycck) jpeg_set_colorspace(&cinfo, JCS_YCCK);
  cinfo.write_Adobe_marker = adobe_marker || ycck ? TRUE : FALSE;
  jpeg_start_compress(&cinfo, TRUE);
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(samples.data() + cinfo.next_scanline * static_cast<size_t>(width * 4));
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  std::string out(reinterpret_cast<char*>(buffer), size);
  std::free(buffer);
  return out;
}

size_t count_colours(const std::string& png) {
  mxt::ImageBuffer image;
  if (!mxt::decode_png(image, std::span(reinterpret_cast<const uint8_t*>(png.data()), png.size()), -1)) return 0;
  std::set<uint32_t> colours;
  for (int i = 0; i < image.width * image.height; ++i) {
    uint32_t c;
    std::memcpy(&c, image.pixels + static_cast<size_t>(i) * 4, 4);
    colours.insert(c);
  }
  return colours.size();
}

}  // namespace mxt_test
