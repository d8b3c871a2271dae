#include "support/ArchiveMaker.h"

#include <archive.h>
#include <archive_entry.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <stdexcept>

namespace pitkit::test {
namespace {

namespace fs = std::filesystem;

// 2020-05-17 12:30:00 UTC, every entry's time.
constexpr time_t kEntryTime = 1589718600;

// Paths are UTF-8 on both systems.
fs::path pathOf(const std::string& utf8) { return fs::path(std::u8string(utf8.begin(), utf8.end())); }
std::string utf8Of(const fs::path& p) {
  const std::u8string s = p.generic_u8string();
  return std::string(s.begin(), s.end());
}

using ArchivePtr = std::unique_ptr<archive, int (*)(archive*)>;
using EntryPtr = std::unique_ptr<archive_entry, void (*)(archive_entry*)>;

la_ssize_t appendTo(archive*, void* out, const void* data, size_t size) {
  static_cast<std::string*>(out)->append(static_cast<const char*>(data), size);
  return static_cast<la_ssize_t>(size);
}

void check(archive* a, int status, const std::string& what) {
  if (status < ARCHIVE_WARN) throw std::runtime_error(what + ": " + (archive_error_string(a) ? archive_error_string(a) : "?"));
}

// A writer of `format` whose bytes go to `out` unpadded (a zip must end with its directory).
ArchivePtr openWriter(const std::string& format, const std::string& options, const std::string& passphrase,
                      std::string& out) {
  ArchivePtr a(archive_write_new(), archive_write_free);
  check(a.get(), archive_write_set_format_by_name(a.get(), format.c_str()), "format " + format);
  check(a.get(), archive_write_set_bytes_per_block(a.get(), 0), "block size");
  if (!options.empty()) check(a.get(), archive_write_set_options(a.get(), options.c_str()), "options " + options);
  if (!passphrase.empty()) check(a.get(), archive_write_set_passphrase(a.get(), passphrase.c_str()), "passphrase");
  check(a.get(), archive_write_open(a.get(), &out, nullptr, appendTo, nullptr), "open");
  return a;
}

void writeData(archive* a, const std::string& data, std::uint64_t zeros) {
  if (!data.empty() && archive_write_data(a, data.data(), data.size()) != static_cast<la_ssize_t>(data.size()))
    check(a, ARCHIVE_FATAL, "data");
  const std::string chunk(65536, '\0');
  for (std::uint64_t left = zeros; left > 0;) {
    const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(left, chunk.size()));
    if (archive_write_data(a, chunk.data(), n) != static_cast<la_ssize_t>(n)) check(a, ARCHIVE_FATAL, "data");
    left -= n;
  }
}

void saveFile(const std::string& path, const std::string& bytes) {
  std::ofstream f(pathOf(path), std::ios::binary | std::ios::trunc);
  f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!f.flush()) throw std::runtime_error("cannot write " + path);
}

unsigned get16(const std::string& b, std::size_t at) {
  return static_cast<unsigned char>(b.at(at)) | static_cast<unsigned char>(b.at(at + 1)) << 8;
}
std::uint32_t get32(const std::string& b, std::size_t at) { return get16(b, at) | std::uint32_t{get16(b, at + 2)} << 16; }
void put16(std::string& b, std::size_t at, unsigned v) {
  b.at(at) = static_cast<char>(v & 0xFF);
  b.at(at + 1) = static_cast<char>(v >> 8 & 0xFF);
}
void put32(std::string& b, std::size_t at, std::uint32_t v) {
  put16(b, at, v & 0xFFFF);
  put16(b, at + 2, v >> 16);
}

// Puts each entry's own name bytes, UTF-8 flag and Unix mode into the zip that libarchive wrote
// with ASCII stand-ins of the same lengths: the writer would convert or flag non-ASCII names by
// the locale, cannot take a NUL in a name, and writes no devices or sockets.
void patchZip(std::string& zip, const std::vector<ZipEntry>& entries) {
  if (zip.size() < 22 || get32(zip, zip.size() - 22) != 0x06054b50) throw std::runtime_error("no zip end record");
  const std::size_t end = zip.size() - 22;
  if (get16(zip, end + 10) != entries.size()) throw std::runtime_error("zip entry count");
  std::size_t at = get32(zip, end + 16);
  for (const ZipEntry& e : entries) {
    if (get32(zip, at) != 0x02014b50 || get16(zip, at + 28) != e.name.size()) throw std::runtime_error("zip directory");
    const std::size_t local = get32(zip, at + 42);
    if (get32(zip, local) != 0x04034b50 || get16(zip, local + 26) != e.name.size()) throw std::runtime_error("zip header");
    for (const std::size_t flags : {at + 8, local + 6})
      put16(zip, flags, e.utf8Flag ? get16(zip, flags) | 0x800u : get16(zip, flags) & ~0x800u);
    zip.replace(at + 46, e.name.size(), e.name);
    zip.replace(local + 30, e.name.size(), e.name);
    put32(zip, at + 38, std::uint32_t{e.mode} << 16 | (get32(zip, at + 38) & 0xFFFF));
    at += 46 + e.name.size() + get16(zip, at + 30) + get16(zip, at + 32);
  }
}

}  // namespace

void makeZip(const std::string& path, const std::vector<ZipEntry>& entries) {
  std::string out;
  ArchivePtr a = openWriter("zip", "zip:compression=deflate", "", out);
  for (const ZipEntry& e : entries) {
    unsigned type = e.mode & 0170000;
    if (type != 0040000 && type != 0120000) type = 0100000;  // devices and sockets: their bits come later
    std::string standIn(e.name.size(), 'x');
    if (type == 0040000) {
      if (e.name.empty() || e.name.back() != '/') throw std::runtime_error("a folder entry's name ends in '/'");
      standIn.back() = '/';
    }
    EntryPtr entry(archive_entry_new(), archive_entry_free);
    archive_entry_set_pathname(entry.get(), standIn.c_str());
    archive_entry_set_mode(entry.get(), type | (e.mode & 07777));
    archive_entry_set_mtime(entry.get(), kEntryTime, 0);
    if (type == 0120000) archive_entry_set_symlink(entry.get(), e.data.c_str());
    if (type == 0100000) archive_entry_set_size(entry.get(), static_cast<la_int64_t>(e.data.size() + e.zeros));
    check(a.get(), archive_write_header(a.get(), entry.get()), "entry of " + path);
    if (type == 0100000) writeData(a.get(), e.data, e.zeros);
  }
  check(a.get(), archive_write_close(a.get()), "close " + path);
  patchZip(out, entries);
  saveFile(path, out);
}

void makeArchiveOfTree(const std::string& path, const std::string& folder, const std::string& format,
                       const std::string& options, const std::string& passphrase) {
  std::vector<std::string> names{"."};
  for (const auto& e : fs::recursive_directory_iterator(pathOf(folder)))
    names.push_back("./" + utf8Of(fs::relative(e.path(), pathOf(folder))));
  std::sort(names.begin(), names.end());
  std::string out;
  ArchivePtr a = openWriter(format, options, passphrase, out);
  for (const std::string& name : names) {
    const fs::path file = pathOf(folder) / pathOf(name);
    const bool isFolder = fs::is_directory(file);
    std::string data;
    if (!isFolder) {
      std::ifstream in(file, std::ios::binary);
      data.assign(std::istreambuf_iterator<char>(in), {});
    }
    EntryPtr entry(archive_entry_new(), archive_entry_free);
    archive_entry_set_pathname_utf8(entry.get(), name.c_str());
    archive_entry_set_mode(entry.get(), isFolder ? 0040755 : 0100644);
    archive_entry_set_mtime(entry.get(), kEntryTime, 0);
    if (!isFolder) archive_entry_set_size(entry.get(), static_cast<la_int64_t>(data.size()));
    check(a.get(), archive_write_header(a.get(), entry.get()), "entry of " + path);
    writeData(a.get(), data, 0);
  }
  check(a.get(), archive_write_close(a.get()), "close " + path);
  saveFile(path, out);
}

}  // namespace pitkit::test
