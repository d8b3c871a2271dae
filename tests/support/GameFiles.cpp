#include "support/GameFiles.h"

#include <cstdint>

#include "support/TempDir.h"

namespace pitkit::test {

void writeLevelInfo(const std::string& path, const std::string& name, const std::string& before) {
  writeFile(path, before + "; " + kInfMarker + "\r\nNAME '" + name + "'\r\nSKY 'blue'\r\n");
}

void writeCarParameters(const std::string& folder, const std::string& name, const char* texturePage) {
  std::string text = "{\r\nName \t\"" + name + "\"\r\n; Model Filenames\r\nMODEL \t0 \t\"body.prm\"\r\n";
  if (texturePage != nullptr) text += std::string("TPAGE \t\"") + texturePage + "\"\r\n";
  writeFile(folder + "/parameters.txt", text + "}\r\n");
}

std::string bitmapBytes(int width, int height) {
  const int stride = (width * 3 + 3) / 4 * 4;
  const auto le = [](std::uint32_t value, int bytes) {
    std::string out;
    for (int i = 0; i < bytes; ++i) out += static_cast<char>(value >> (8 * i) & 0xff);
    return out;
  };
  const std::uint32_t pixels = static_cast<std::uint32_t>(stride * height);
  return "BM" + le(54 + pixels, 4) + le(0, 4) + le(54, 4) + le(40, 4) + le(width, 4) + le(height, 4) + le(1, 2) +
         le(24, 2) + le(0, 4) + le(pixels, 4) + le(2835, 4) + le(2835, 4) + le(0, 4) + le(0, 4) +
         std::string(pixels, '\x80');
}

}  // namespace pitkit::test
