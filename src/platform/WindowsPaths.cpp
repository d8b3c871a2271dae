#include "platform/WindowsPaths.h"

#include "platform/Paths.h"

namespace pitkit {

namespace {

bool isSeparator(char c) { return c == '\\' || c == '/'; }
bool isLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

}  // namespace

std::string windowsPathToProgram(std::string_view path) {
  for (const char c : path)
    if (static_cast<unsigned char>(c) < 0x20) return {};
  if (path.starts_with("\\\\?\\UNC\\")) {
    path.remove_prefix(8);
    return windowsPathToProgram("\\\\" + std::string(path));
  }
  if (path.starts_with("\\\\?\\")) path.remove_prefix(4);
  std::string out(path);
  for (char& c : out)
    if (isSeparator(c)) c = PathDelim;
  if (out.size() >= 3 && isLetter(out[0]) && out[1] == ':' && out[2] == PathDelim) {
    out[0] = upperAscii(out[0]);
    return out;
  }
  // \\server\share: both names there and not empty.
  if (out.size() >= 2 && out[0] == PathDelim && out[1] == PathDelim) {
    const std::size_t server = out.find(PathDelim, 2);
    if (server == std::string::npos || server == 2 || server + 1 >= out.size() || out[server + 1] == PathDelim)
      return {};
    return out;
  }
  return {};
}

DriveKind driveKindOf(unsigned type) {
  switch (type) {
    case 1: return DriveKind::NoRoot;
    case 2: return DriveKind::Removable;
    case 3: return DriveKind::Fixed;
    case 4: return DriveKind::Remote;
    case 5: return DriveKind::CdRom;
    case 6: return DriveKind::RamDisk;
    default: return DriveKind::Unknown;
  }
}

std::string driveCaption(const std::string& root, DriveKind kind) {
  const char* what = "drive";
  switch (kind) {
    case DriveKind::Removable: what = "removable disk"; break;
    case DriveKind::Fixed: what = "local disk"; break;
    case DriveKind::Remote: what = "network drive"; break;
    case DriveKind::CdRom: what = "CD or DVD"; break;
    case DriveKind::RamDisk: what = "RAM disk"; break;
    case DriveKind::Unknown:
    case DriveKind::NoRoot: break;
  }
  const std::string name = root.size() >= 2 && root[1] == ':' ? root.substr(0, 2) : excludeTrailingDelim(root);
  return name + " (" + what + ")";
}

std::vector<std::string> logicalDriveRoots(std::u16string_view buffer) {
  std::vector<std::string> roots;
  while (!buffer.empty() && buffer.front() != u'\0' && roots.size() < 26) {
    const std::size_t end = buffer.find(u'\0');
    const std::u16string_view entry = buffer.substr(0, end);
    const bool drive = entry.size() == 3 && entry[0] < 0x80 && isLetter(static_cast<char>(entry[0])) &&
                       entry[1] == u':' && (entry[2] == u'\\' || entry[2] == u'/');
    if (!drive) break;
    roots.push_back(std::string{upperAscii(static_cast<char>(entry[0])), ':', PathDelim});
    if (end == std::u16string_view::npos) break;
    buffer.remove_prefix(end + 1);
  }
  return roots;
}

}  // namespace pitkit
