#include "inventory/InstalledList.h"

#include <charconv>

#include "inventory/ItemFingerprint.h"
#include "platform/TextFile.h"

namespace pitkit {

namespace {

constexpr char kHexDigits[] = "0123456789abcdef";

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool isFingerprint(const std::string& text) {
  if (text.size() != 64) return false;
  for (const char c : text)
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  return true;
}

// A folder name a list may hold: relative, without empty, "." or ".." parts; a level's is one part.
bool isItemName(ItemKind kind, const std::string& name) {
  if (name.empty() || (kind == ItemKind::Level && name.find('/') != std::string::npos)) return false;
  for (std::size_t begin = 0;;) {
    const std::size_t end = name.find('/', begin);
    const std::string part = name.substr(begin, end == std::string::npos ? std::string::npos : end - begin);
    if (part.empty() || part == "." || part == "..") return false;
    if (end == std::string::npos) return true;
    begin = end + 1;
  }
}

std::vector<std::string> splitTabs(const std::string& line) {
  std::vector<std::string> fields;
  for (std::size_t begin = 0;;) {
    const std::size_t tab = line.find('\t', begin);
    fields.push_back(line.substr(begin, tab == std::string::npos ? std::string::npos : tab - begin));
    if (tab == std::string::npos) return fields;
    begin = tab + 1;
  }
}

// The item of line `number` of a list, `line` without its line break.
ListedItem parseItemLine(const std::string& line, std::size_t number) {
  const auto wrong = [number](const std::string& what) {
    return Exception("Line " + std::to_string(number) + " of the list " + what);
  };
  const std::vector<std::string> fields = splitTabs(line);
  if (fields.size() != 4) throw wrong("does not hold four fields separated by tabs");
  ListedItem item;
  if (fields[0] == "level")
    item.kind = ItemKind::Level;
  else if (fields[0] == "car")
    item.kind = ItemKind::Car;
  else
    throw wrong("names no level or car");
  if (!unescapeListField(fields[1], item.name) || !unescapeListField(fields[3], item.displayName))
    throw wrong("holds a control byte or a backslash that starts no escape");
  if (!isItemName(item.kind, item.name)) throw wrong("holds no folder name");
  if (!isFingerprint(fields[2])) throw wrong("holds no fingerprint");
  item.fingerprint = fields[2];
  return item;
}

}  // namespace

Exception unreadFolders(const std::string& gameFolder, std::size_t count) {
  return Exception("Cannot read " + std::to_string(count) + (count == 1 ? " folder" : " folders") + " of the game " +
                   gameFolder + ", so its list would be incomplete");
}

std::vector<ListedItem> listInstalledItems(const std::string& gameFolder, TransferProgress* progress) {
  std::size_t unread = 0;
  std::vector<GameItem> found = listGameItems(gameFolder, &unread);
  if (unread > 0) throw unreadFolders(gameFolder, unread);
  std::erase_if(found, [](const GameItem& item) { return !item.installed; });
  return listItems(found, progress);
}

std::vector<ListedItem> listItems(const std::vector<GameItem>& found, TransferProgress* progress) {
  std::vector<std::string> folders;
  for (const GameItem& item : found) folders.push_back(item.folder);
  const std::vector<std::string> prints = itemFingerprints(folders, progress);
  std::vector<ListedItem> items;
  for (std::size_t i = 0; i < found.size(); ++i)
    items.push_back({found[i].kind, found[i].name, prints[i], readItemDisplayName(found[i])});
  return items;
}

std::string escapeListField(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '\\') {
      out += "\\\\";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (byte < 0x20 || byte == 0x7f) {
      out += "\\x";
      out += kHexDigits[byte >> 4];
      out += kHexDigits[byte & 0x0f];
    } else {
      out += c;
    }
  }
  return out;
}

bool unescapeListField(const std::string& text, std::string& out) {
  out.clear();
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte < 0x20 || byte == 0x7f) return false;  // control bytes are written as escapes
    if (text[i] != '\\') {
      out += text[i];
      continue;
    }
    if (++i == text.size()) return false;
    switch (text[i]) {
      case '\\': out += '\\'; break;
      case 't': out += '\t'; break;
      case 'n': out += '\n'; break;
      case 'r': out += '\r'; break;
      case 'x': {
        const int high = i + 1 < text.size() ? hexValue(text[i + 1]) : -1;
        const int low = i + 2 < text.size() ? hexValue(text[i + 2]) : -1;
        if (high < 0 || low < 0) return false;
        out += static_cast<char>(high * 16 + low);
        i += 2;
        break;
      }
      default: return false;
    }
  }
  return true;
}

std::string formatInstalledList(const std::vector<ListedItem>& items) {
  std::string text = kInstalledListHeader + std::to_string(kInstalledListVersion) + "\n";
  for (const ListedItem& item : items) {
    text += itemMarks(item.kind).word;
    text += '\t' + escapeListField(item.name) + '\t' + item.fingerprint + '\t' + escapeListField(item.displayName) + '\n';
  }
  return text;
}

std::vector<ListedItem> parseInstalledList(const std::string& text) {
  std::vector<ListedItem> items;
  std::size_t number = 0;
  for (std::size_t begin = 0; begin < text.size();) {
    std::size_t end = text.find('\n', begin);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(begin, end - begin);
    begin = end + 1;
    ++number;
    // A list carried through a system that ends lines with CR LF reads the same.
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (number == 1) {
      const std::string header = kInstalledListHeader;
      int version = 0;
      const char* digits = line.data() + header.size();
      const char* last = line.data() + line.size();
      const bool isHeader = line.starts_with(header) && std::from_chars(digits, last, version).ptr == last &&
                            line.size() > header.size() && version > 0;
      if (!isHeader) throw Exception("This is not a list of installed levels and cars");
      if (version > kInstalledListVersion)
        throw Exception("The list was written by a newer version of the program (format " + std::to_string(version) +
                        "; this one reads format " + std::to_string(kInstalledListVersion) + ")");
      continue;
    }
    if (line.empty()) continue;
    items.push_back(parseItemLine(line, number));
  }
  if (number == 0) throw Exception("This is not a list of installed levels and cars");
  return items;
}

std::vector<ListedItem> readInstalledList(const std::string& path) {
  std::string text;
  try {
    text = readRegularFile(path, kInstalledListLimit);
  } catch (const EInOutError& error) {
    if (error.ErrorCode == 100) throw Exception("Cannot read the list " + path + ": it is too large to be a list");
    throw Exception("Cannot read the list " + path + ": " + error.message());
  }
  try {
    return parseInstalledList(text);
  } catch (const Exception& error) {
    throw Exception(path + ": " + error.message());
  }
}

}  // namespace pitkit
