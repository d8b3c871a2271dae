#include "platform/JpegDecoder.h"

#include "platform/Posix.h"

#include <algorithm>
#include <csetjmp>

// libjpeg's header needs FILE and size_t declared before it.
// clang-format off
#include <cstdio>
#include <jpeglib.h>
#include <jerror.h>
// clang-format on

#include "platform/Errors.h"
#include "platform/UniqueFd.h"

namespace pitkit {

namespace {

// libjpeg reports a fatal error through error_exit, which must not return. It jumps back into
// decodeFrom instead of ending the program; no C++ object with a destructor lives in between.
struct JumpingErrorManager {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
  int code = 0;
};

void errorExit(j_common_ptr cinfo) {
  auto* manager = reinterpret_cast<JumpingErrorManager*>(cinfo->err);
  manager->code = cinfo->err->msg_code;
  std::longjmp(manager->jump, 1);
}

// Warnings (a file that ends early, corrupt data) go nowhere: the window shows what was decoded.
void outputMessage(j_common_ptr) {}

// libjpeg calls the progress monitor before each row of input it takes in, so the scan past the
// picture's limit is stopped before it is decoded.
struct ScanLimit {
  jpeg_progress_mgr pub{};
  int maxScans = kJpegMaxScans;
};

void stopAfterMaxScans(j_common_ptr cinfo) {
  auto* decompress = reinterpret_cast<j_decompress_ptr>(cinfo);
  const int maxScans = reinterpret_cast<ScanLimit*>(cinfo->progress)->maxScans;
  if (decompress->input_scan_number > maxScans) ERREXIT1(cinfo, JERR_BAD_SCAN_SCRIPT, decompress->input_scan_number);
}

// The number of scans the picture may have: as many full-picture scans as fit the block budget,
// within the fixed floor and ceiling.
int scanLimitOf(const jpeg_decompress_struct& cinfo) {
  std::int64_t blocks = 0;
  for (int c = 0; c < cinfo.num_components; ++c)
    blocks += std::int64_t{cinfo.comp_info[c].width_in_blocks} * cinfo.comp_info[c].height_in_blocks;
  const std::int64_t fit = kJpegScanBlockBudget / std::max<std::int64_t>(blocks, 1);
  return static_cast<int>(std::clamp<std::int64_t>(fit, kJpegMinScans, kJpegMaxScans));
}

std::FILE* openRegularFile(const std::string& path) {
  // Opened without waiting, so a pipe in the picture's place cannot block the window.
  UniqueFd fd(path.empty() ? -1 : ::openat(AT_FDCWD, path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  if (!fd) return nullptr;
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return nullptr;
  ::fcntl(fd.get(), F_SETFL, ::fcntl(fd.get(), F_GETFL) & ~O_NONBLOCK);
  std::FILE* file = ::fdopen(fd.get(), "rb");
  if (file != nullptr) fd.release();  // the stream closes it now
  return file;
}

// Decodes `file` into `picture`; returns 0, or libjpeg's message code of the error that stopped it.
int decodeFrom(std::FILE* file, RgbPicture& picture) {
  jpeg_decompress_struct cinfo;
  JumpingErrorManager errors;
  ScanLimit scanLimit;
  cinfo.err = jpeg_std_error(&errors.pub);
  errors.pub.error_exit = errorExit;
  errors.pub.output_message = outputMessage;
  if (setjmp(errors.jump) != 0) {
    jpeg_destroy_decompress(&cinfo);
    return errors.code;
  }
  jpeg_create_decompress(&cinfo);
  cinfo.mem->max_memory_to_use = kJpegMaxWorkingMemory;
  jpeg_stdio_src(&cinfo, file);
  jpeg_read_header(&cinfo, TRUE);
  scanLimit.pub.progress_monitor = stopAfterMaxScans;
  scanLimit.maxScans = scanLimitOf(cinfo);
  cinfo.progress = &scanLimit.pub;

  // libjpeg turns grey and colour pictures into RGB; it refuses CMYK with its own error code.
  cinfo.out_color_space = JCS_RGB;
  cinfo.scale_num = 1;
  cinfo.scale_denom = 1;
  const std::int64_t pixels = std::int64_t{cinfo.image_width} * cinfo.image_height;
  while (cinfo.scale_denom < 8 &&
         pixels / (std::int64_t{cinfo.scale_denom} * cinfo.scale_denom) > kJpegComfortablePixels)
    cinfo.scale_denom *= 2;
  jpeg_calc_output_dimensions(&cinfo);
  if (std::int64_t{cinfo.output_width} * cinfo.output_height > kJpegMaxPixels)
    ERREXIT1(&cinfo, JERR_IMAGE_TOO_BIG, 0);

  try {
    picture.rgb.assign(std::size_t{cinfo.output_width} * cinfo.output_height * 3, 0);
  } catch (...) {
    jpeg_destroy_decompress(&cinfo);
    throw;
  }
  picture.width = static_cast<int>(cinfo.output_width);
  picture.height = static_cast<int>(cinfo.output_height);
  jpeg_start_decompress(&cinfo);
  const std::size_t stride = std::size_t{cinfo.output_width} * 3;
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW row = picture.rgb.data() + cinfo.output_scanline * stride;
    jpeg_read_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  return 0;
}

}  // namespace

RgbPicture decodeJpegFile(const std::string& path) {
  std::FILE* file = openRegularFile(path);
  if (file == nullptr) throw Exception("Cannot open file " + path);
  RgbPicture picture;
  const int code = decodeFrom(file, picture);
  std::fclose(file);
  if (code != 0) throw Exception("JPEG error #" + std::to_string(code));
  return picture;
}

}  // namespace pitkit
