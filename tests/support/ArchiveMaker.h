#pragma once
// Archives written by the tests through libarchive's writer: zips whose entries carry any name
// bytes, the UTF-8 flag or not and any Unix type bits, and archives (7z, encrypted zips) of a tree.
#include <cstdint>
#include <string>
#include <vector>

namespace pitkit::test {

// One zip entry: its name exactly as stored, its data (or `zeros` zero bytes), the zip UTF-8 flag
// and the Unix type and permission bits. Files are deflated; links, folders and others are stored.
struct ZipEntry {
  std::string name;
  std::string data;
  bool utf8Flag = false;
  unsigned mode = 0100644;
  std::uint64_t zeros = 0;
};

void makeZip(const std::string& path, const std::vector<ZipEntry>& entries);

// An archive of the tree `folder`, its entries named "./..." below a "." entry as an archiver run
// in the folder names them: `format` is "zip" or "7zip", `options` libarchive's writer options
// ("zip:encryption=zipcrypt"), `passphrase` the password of an encrypted one.
void makeArchiveOfTree(const std::string& path, const std::string& folder, const std::string& format,
                       const std::string& options = "", const std::string& passphrase = "");

}  // namespace pitkit::test
