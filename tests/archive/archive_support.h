#pragma once
// Archives made by the tests: zips, 7z and encrypted zips through libarchive's writer
// (support/ArchiveMaker.h), zips with sizes that are not their data's through python3; and a home
// trash of the test's own (support/TrashHome.h).
#include "platform/Posix.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "support/ArchiveMaker.h"
#include "support/TempDir.h"
#include "support/TrashHome.h"

namespace pitkit::test {

// The info files' marker text.
inline constexpr const char* kArchiveInfMarker = "Torvane .INF file structure";

// A level's info file with its marker and name line.
inline std::string infoText(const std::string& displayName) {
  return std::string("; ") + kArchiveInfMarker + "\r\nNAME '" + displayName + "'\r\nSKY 'blue'\r\n";
}

inline std::string carText(const std::string& displayName) {
  return "{\r\nName \"" + displayName + "\"\r\n; Model Filenames\r\n}\r\n";
}

inline std::string hex(const std::string& bytes) {
  static const char* digits = "0123456789abcdef";
  std::string out;
  for (unsigned char c : bytes) {
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}

inline int run(const std::string& command) { return std::system(command.c_str()); }

// A zip written byte by byte, for what zipfile will not write (declared sizes that are not the
// data's, thousands of entries sharing one compressed text): `body` is Python that appends to
// `entries` tuples of (name bytes, compressed bytes, crc, declared size); `deflated(data)` and
// `zlib` are at hand. Every entry is deflated and carries its sizes in a zip64 field.
inline void makeRawZip(const std::string& path, const std::string& body) {
  const std::string script =
      "import struct, zlib\n"
      "def deflated(data):\n"
      "    c = zlib.compressobj(9, zlib.DEFLATED, -15)\n"
      "    return c.compress(data) + c.flush()\n"
      "entries = []\n" + body +
      "\nout, central = bytearray(), bytearray()\n"
      "for name, comp, crc, size in entries:\n"
      "    offset = len(out)\n"
      "    out += struct.pack('<IHHHHHIIIHH', 0x04034b50, 45, 0, 8, 0x6000, 0x5021, crc, 0xFFFFFFFF, 0xFFFFFFFF,"
      " len(name), 20) + name + struct.pack('<HHQQ', 1, 16, size, len(comp)) + comp\n"
      "    central += struct.pack('<IHHHHHHIIIHHHHHII', 0x02014b50, 0x031e, 45, 0, 8, 0x6000, 0x5021, crc,"
      " 0xFFFFFFFF, 0xFFFFFFFF, len(name), 28, 0, 0, 0, 0o100644 << 16, 0xFFFFFFFF) + name +"
      " struct.pack('<HHQQQ', 1, 24, size, len(comp), offset)\n"
      "start = len(out)\n"
      "out += central + struct.pack('<IHHHHIIH', 0x06054b50, 0, 0, len(entries), len(entries), len(central), start, 0)\n"
      "open('" + path + "', 'wb').write(out)\n";
  writeFile(path + ".py", script);
  if (run("cd / && python3 '" + path + ".py'") != 0) throw std::runtime_error("python3 could not write " + path);
  std::filesystem::remove(path + ".py");
}

}  // namespace pitkit::test
