#pragma once
// The game's marked files, written without the window's toolkit: levels' info files and cars'
// parameter files, for core tests and window tests alike.
#include <string>

namespace pitkit::test {

// The marker line a level's info file carries (after "; ").
inline constexpr const char* kInfMarker = "Torvane .INF file structure";

// A marked info file at `path` with a name line: `before`, "; <marker>", NAME, SKY.
void writeLevelInfo(const std::string& path, const std::string& name, const std::string& before = "");
// A marked parameters.txt in `folder`: the name line, the marker, a model line and the texture
// line (none when `texturePage` is null).
void writeCarParameters(const std::string& folder, const std::string& name, const char* texturePage = nullptr);

// An uncompressed 24-bit BMP file of `width` x `height` grey pixels.
std::string bitmapBytes(int width, int height);

}  // namespace pitkit::test
