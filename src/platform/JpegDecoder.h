#pragma once
// JPEG decoding with libjpeg for the picture box, without Qt: a file in, RGB pixels out, every
// libjpeg failure turned into "JPEG error #<libjpeg's message code>".
#include <cstdint>
#include <string>
#include <vector>

namespace pitkit {

// A decoded picture: 8-bit RGB triples, rows top to bottom, no padding.
struct RgbPicture {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> rgb;
};

// A picture with more pixels than this is decoded at 1/2, 1/4 or 1/8 of its size (libjpeg scales
// while it decodes); the picture box shrinks it to a few hundred pixels anyway.
inline constexpr std::int64_t kJpegComfortablePixels = 1024 * 1024;
// A picture that still has more pixels than this at 1/8 is refused with libjpeg's "image too big"
// code, and libjpeg's own working memory is capped, so a huge declared size cannot exhaust memory.
inline constexpr std::int64_t kJpegMaxPixels = 4096 * 4096;
inline constexpr long kJpegMaxWorkingMemory = 256L * 1024 * 1024;

// A progressive picture arrives in scans, and every scan is decoded over the whole picture at its
// full size (scaling down saves only the last pass). Measured here, a scan costs 30-45 ns per
// 8 x 8 block it covers: about 7 ms at 4096 x 4096 in colour, 60-90 ms at the largest picture the
// working-memory cap lets through (some 2 million blocks). So a picture may have as many scans as
// fit kJpegScanBlockBudget blocks (about half a second of scans), never fewer than kJpegMinScans
// (real progressive pictures have 6 to 10, so they decode at any size, taking under a second at
// the largest) and never more than kJpegMaxScans (a tiny picture has no use for more). The scan
// past its picture's limit stops the decoding with libjpeg's "invalid scan script" code,
// JERR_BAD_SCAN_SCRIPT, so a picture of thousands of scans no longer holds the window.
inline constexpr std::int64_t kJpegScanBlockBudget = 16'000'000;
inline constexpr int kJpegMinScans = 10;
inline constexpr int kJpegMaxScans = 100;

// Decodes the JPEG file at `path`. Raises Exception "Cannot open file <path>" when it cannot be
// opened or is not a regular file (a pipe or folder in its place), and Exception
// "JPEG error #<code>" when libjpeg rejects its contents (JERR_BAD_SCAN_SCRIPT for a picture of
// more scans than its limit above). A file that ends early is shown as far as
// it goes, as libjpeg does (a warning, not an error).
RgbPicture decodeJpegFile(const std::string& path);

}  // namespace pitkit
