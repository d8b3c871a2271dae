#pragma once
// Reading rules for a car's parameters.txt: the car's name and the path of its texture page, and
// where that texture page lies once the car has been moved to the garage.
#include <string>
#include <vector>

namespace pitkit {

// The keys of the texture-page line.
inline const std::vector<std::string> kTexturePageKeys = {"TPAGE", "tpage", "Tpage"};

struct CarParameters {
  std::string name;  // the double-quoted value of the name line, as UTF-8 (nameLineValue)
  std::string
      texturePage;  // the double-quoted value of the TPAGE line: a game path written with '\'
};

// Reads one open parameters.txt twice over: the name line from the start, then the texture-page
// line from the line after it on (so a TPAGE line before the name line is never seen, and a file
// whose name scan reaches its end has an empty texture page). Only the first kKeyLineScanLimit
// bytes are read. Open and read failures raise EInOutError.
CarParameters readCarParameters(const std::string& path);

// The texture page of a car listed as `caption` below garage: the value names the car's folder
// below cars, so "cars\" (first occurrence, case compared) is removed, then everything before the
// next '\' (everything when none is left), and "garage\" + caption is put in front. A value without
// "cars\" loses nothing in the first step. The caption may use native separators; the result is a
// game path written with '\'.
std::string uninstalledTexturePage(const std::string& texturePage, const std::string& caption);

}  // namespace pitkit
