#include "platform/SteamLibraryList.h"

#include <algorithm>
#include <optional>

#include "platform/Paths.h"
#include "platform/WindowsPaths.h"

namespace pitkit {

namespace {

bool isNumber(const std::string& text) {
  return !text.empty() &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

std::vector<std::string> steamLibraryPaths(const std::string& vdfText, PathForm form) {
  // Steam writes three levels: "libraryfolders" { "0" { "path" ... "apps" { ... } } }.
  constexpr std::size_t kMaxDepth = 8;
  if (vdfText.size() > kMaxSteamVdfBytes) return {};
  const std::size_t n = vdfText.size();
  std::vector<std::string> paths;
  std::vector<std::string> blocks;  // the keys of the open blocks, outermost first
  std::optional<std::string> key;   // a key waiting for its value or block
  std::size_t i = 0;
  while (true) {
    while (i < n) {
      const char c = vdfText[i];
      if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
        ++i;
      } else if (c == '/' && i + 1 < n && vdfText[i + 1] == '/') {
        while (i < n && vdfText[i] != '\n') ++i;
      } else {
        break;
      }
    }
    if (i == n) break;
    const char c = vdfText[i++];
    if (c == '{') {
      if (!key || blocks.size() == kMaxDepth) return {};
      blocks.push_back(std::move(*key));
      key.reset();
    } else if (c == '}') {
      if (key || blocks.empty()) return {};
      blocks.pop_back();
    } else if (c == '"') {
      std::string text;
      for (;; ++i) {
        if (i == n || vdfText[i] == '\0') return {};
        char ch = vdfText[i];
        if (ch == '"') break;
        if (ch == '\\') {
          if (++i == n) return {};
          switch (vdfText[i]) {
            case '\\': ch = '\\'; break;
            case '"': ch = '"'; break;
            case 'n': ch = '\n'; break;
            case 't': ch = '\t'; break;
            default: return {};
          }
        }
        text += ch;
      }
      ++i;  // the closing quote
      if (!key) {
        key = std::move(text);
        continue;
      }
      const bool inList = !blocks.empty() && sameTextAscii(blocks.front(), "libraryfolders");
      const bool newForm =
          inList && blocks.size() == 2 && isNumber(blocks[1]) && sameTextAscii(*key, "path");
      const bool oldForm = inList && blocks.size() == 1 && isNumber(*key);
      if (newForm || oldForm) {
        // Steam on Windows writes "C:\\Games\\Steam"; only an absolute path names a library.
        if (form == PathForm::Windows)
          text = windowsPathToProgram(text);
        else if (!text.empty() && text.front() != PathDelim)
          text.clear();
        if (!text.empty()) paths.push_back(std::move(text));
      }
      key.reset();
    } else {
      return {};  // a stray character: not a file Steam wrote
    }
  }
  if (key || !blocks.empty()) return {};  // cut off
  return paths;
}

}  // namespace pitkit
