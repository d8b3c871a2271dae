#include "platform/FolderName.h"

#include <climits>
#include "platform/Posix.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "platform/Paths.h"

namespace pitkit {

std::string plainFolderNameProblem(const std::string& name, std::size_t nameMax) {
  if (name.empty()) return "it is empty";
  if (name == "." || name == "..") return "it is \"" + name + "\"";
  for (const char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) return "it holds a control character";
    if (std::string_view("/\\:*?\"<>|").find(c) != std::string_view::npos)
      return std::string("it holds \"") + c + "\"";
  }
  if (name.back() == '.') return "it ends in a dot";
  if (name.back() == ' ') return "it ends in a space";
  // Windows opens the device whatever follows the first dot ("con.txt" is CON).
  const std::string device = upperAscii(name.substr(0, name.find('.')));
  static constexpr std::array<std::string_view, 4> kDevices = {"CON", "PRN", "AUX", "NUL"};
  const bool numbered = device.size() == 4 && (device.starts_with("COM") || device.starts_with("LPT")) &&
                        device[3] >= '1' && device[3] <= '9';
  if (numbered || std::find(kDevices.begin(), kDevices.end(), device) != kDevices.end())
    return device + " is a device name";
  if (name.size() > nameMax) return "it is longer than " + std::to_string(nameMax) + " bytes";
  return {};
}

std::size_t longestNameIn(const std::string& folder) {
  const long max = ::pathconf(folder.c_str(), _PC_NAME_MAX);
  return max > 0 ? static_cast<std::size_t>(max) : NAME_MAX;
}

}  // namespace pitkit
