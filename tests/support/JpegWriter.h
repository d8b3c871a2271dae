#pragma once
// Writes JPEG test pictures with libjpeg: a plain colour, a copy that claims another size, and a
// copy with more scans.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

// libjpeg's header needs FILE and size_t declared before it.
// clang-format off
#include <cstdio>
#include <jpeglib.h>
// clang-format on

namespace pitkit::test {

// A JPEG of `width` x `height` pixels, all of one colour; baseline unless `progressive`.
inline std::string jpegBytes(int width, int height, std::uint8_t r, std::uint8_t g, std::uint8_t b,
                             bool progressive = false) {
  jpeg_compress_struct cinfo{};
  jpeg_error_mgr jerr{};
  cinfo.err = jpeg_std_error(&jerr);
  jpeg_create_compress(&cinfo);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&cinfo, &buffer, &size);
  cinfo.image_width = static_cast<JDIMENSION>(width);
  cinfo.image_height = static_cast<JDIMENSION>(height);
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, 95, TRUE);
  if (progressive) jpeg_simple_progression(&cinfo);
  jpeg_start_compress(&cinfo, TRUE);
  std::vector<std::uint8_t> row;
  for (int x = 0; x < width; ++x) row.insert(row.end(), {r, g, b});
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW p = row.data();
    jpeg_write_scanlines(&cinfo, &p, 1);
  }
  jpeg_finish_compress(&cinfo);
  std::string out(reinterpret_cast<const char*>(buffer), size);
  jpeg_destroy_compress(&cinfo);
  std::free(buffer);
  return out;
}

// The same JPEG with the size in its frame header replaced (the picture data stays small).
inline std::string withDeclaredSize(std::string jpeg, int width, int height) {
  std::size_t sof = jpeg.find("\xFF\xC0");
  if (sof == std::string::npos) sof = jpeg.find("\xFF\xC2");
  if (sof == std::string::npos) return jpeg;
  jpeg[sof + 5] = static_cast<char>(height >> 8);
  jpeg[sof + 6] = static_cast<char>(height & 0xFF);
  jpeg[sof + 7] = static_cast<char>(width >> 8);
  jpeg[sof + 8] = static_cast<char>(width & 0xFF);
  return jpeg;
}

// The same JPEG with its last scan sent `times` more times before the end-of-image marker. The
// decoder takes each copy as one more scan over the whole picture (for a picture that claims a
// bigger size, over the whole claimed size).
inline std::string withRepeatedLastScan(const std::string& jpeg, int times) {
  const std::size_t lastScan = jpeg.rfind("\xFF\xDA");
  const std::size_t end = jpeg.size() - 2;  // the files above end with the end-of-image marker
  std::string out = jpeg.substr(0, end);
  for (int i = 0; i < times; ++i) out.append(jpeg, lastScan, end - lastScan);
  return out + jpeg.substr(end);
}

}  // namespace pitkit::test
