#pragma once
// Run-length compressed bitmaps (RLE8 and RLE4): which pixels their codes paint. A picture whose
// codes stop early, or skip pixels with a jump or an early end of line, leaves pixels that no code
// paints; a decoder leaves those as whatever its memory held.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace pitkit {

// Walks the codes in `data` for a picture of `width` x `height` pixels stored bottom-up with
// `bitsPerPixel` 8 (RLE8) or 4 (RLE4). Returns one flag per pixel, row by row from the bottom
// row, true where a code paints the pixel. Linear in the size of the data and the picture; stops
// at the end-of-picture code, at the end of the data, or below the last row.
std::vector<bool> rlePaintedPixels(const unsigned char* data, std::size_t size, std::uint32_t width,
                                   std::uint32_t height, int bitsPerPixel);

}  // namespace pitkit
