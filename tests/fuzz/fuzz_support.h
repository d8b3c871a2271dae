#pragma once
// Shared pieces of the fuzz targets: a scratch folder in memory, files written into it, a check
// that turns a broken property into a crash libFuzzer records, and the reference models of the
// text rules (written plainly from the rules, independent of the code under test).
#include "platform/Posix.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace pitkit::fuzz {

// Aborts with `what` when `ok` is false.
inline void check(bool ok, const char* what) {
  if (ok) return;
  std::fprintf(stderr, "fuzz check failed: %s\n", what);
  std::abort();
}

// A folder of this process for scratch files, in memory where the machine has /dev/shm.
inline const std::string& scratchFolder() {
  // Never destroyed: the exit handler that removes the folder runs after static destructors.
  static const std::string& folder = *[] {
    const char* base = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    auto* path = new std::string(std::string(base) + "/pitkit-fuzz-XXXXXX");
    check(::mkdtemp(path->data()) != nullptr, "cannot create the scratch folder");
    std::atexit([] { std::system(("rm -rf '" + scratchFolder() + "'").c_str()); });
    return path;
  }();
  return folder;
}

// Writes `bytes` to the scratch file `name` and returns its path.
inline std::string scratchFile(const std::string& name, std::string_view bytes) {
  const std::string path = scratchFolder() + "/" + name;
  std::FILE* f = std::fopen(path.c_str(), "wb");
  check(f != nullptr, "cannot write a scratch file");
  check(std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size(), "short scratch write");
  std::fclose(f);
  return path;
}

// The text-line rule: the text ends at the first byte 1A; a line ends at CR, and an LF right after
// the CR belongs to that break; any other LF stays in the line. A last line without a break is a
// line when it is not empty. Lines are cut at `maxLine` bytes.
inline std::vector<std::string> modelLines(std::string_view bytes, std::size_t maxLine) {
  bytes = bytes.substr(0, bytes.find('\x1a'));
  std::vector<std::string> lines;
  std::string line;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\r') {
      lines.push_back(line);
      line.clear();
      if (i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
    } else if (line.size() < maxLine) {
      line += bytes[i];
    }
  }
  if (!line.empty()) lines.push_back(line);
  return lines;
}

// True when `text` is well-formed UTF-8 (no overlong forms, surrogates or code points past 10FFFF).
inline bool wellFormedUtf8(std::string_view text, std::size_t* codePoints = nullptr) {
  std::size_t count = 0;
  for (std::size_t i = 0; i < text.size(); ++count) {
    const unsigned char lead = static_cast<unsigned char>(text[i]);
    std::size_t len = lead < 0x80 ? 1 : (lead >> 5) == 6 ? 2 : (lead >> 4) == 14 ? 3 : (lead >> 3) == 30 ? 4 : 0;
    if (len == 0 || i + len > text.size()) return false;
    unsigned long cp = len == 1 ? lead : lead & (0x7F >> len);
    for (std::size_t k = 1; k < len; ++k) {
      const unsigned char c = static_cast<unsigned char>(text[i + k]);
      if ((c & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (c & 0x3F);
    }
    const unsigned long least[] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < least[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i += len;
  }
  if (codePoints != nullptr) *codePoints = count;
  return true;
}

// A line holds a key when the key occurs anywhere in it, letter case compared.
inline bool holdsKey(const std::string& line, const std::vector<std::string>& keys) {
  for (const std::string& key : keys)
    for (std::size_t at = 0; at + key.size() <= line.size(); ++at)
      if (line.compare(at, key.size(), key) == 0) return true;
  return false;
}

// Scans `lines` from `next` on: the first line holding a key, else the last line read, else "".
inline std::string modelScan(const std::vector<std::string>& lines, std::size_t& next,
                             const std::vector<std::string>& keys) {
  std::string line;
  while (next < lines.size() && !holdsKey(line, keys)) line = lines[next++];
  return line;
}

// The text after the first delimiter up to the next one.
inline std::string modelCut(const std::string& line, char q) {
  std::size_t i = 0;
  while (i < line.size() && line[i] != q) ++i;
  i = i == line.size() ? 0 : i + 1;
  std::string value;
  while (i < line.size() && line[i] != q) value += line[i++];
  return value;
}

}  // namespace pitkit::fuzz
