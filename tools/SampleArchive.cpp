#include "SampleArchive.h"

#include <archive.h>
#include <archive_entry.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace sample {

namespace {

constexpr time_t kFixedTime = 1700000000;

struct Writer {
  archive* a = archive_write_new();
  ~Writer() { archive_write_free(a); }
  [[noreturn]] void fail(const std::string& path) const {
    const char* text = archive_error_string(a);
    throw std::runtime_error("cannot write " + path + ": " + (text != nullptr ? text : "unknown error"));
  }
  void add(const std::string& path, const std::string& name, const std::string& bytes, bool folder,
           const std::string& linkTarget = {}) {
    archive_entry* entry = archive_entry_new();
    archive_entry_set_pathname(entry, name.c_str());
    archive_entry_set_mtime(entry, kFixedTime, 0);
    if (!linkTarget.empty()) {
      archive_entry_set_filetype(entry, AE_IFLNK);
      archive_entry_set_perm(entry, 0777);
      archive_entry_set_symlink(entry, linkTarget.c_str());
    } else {
      archive_entry_set_filetype(entry, folder ? AE_IFDIR : AE_IFREG);
      archive_entry_set_perm(entry, folder ? 0755 : 0644);
      archive_entry_set_size(entry, folder ? 0 : static_cast<la_int64_t>(bytes.size()));
    }
    const bool ok = archive_write_header(a, entry) == ARCHIVE_OK &&
                    (bytes.empty() || archive_write_data(a, bytes.data(), bytes.size()) == static_cast<la_ssize_t>(bytes.size()));
    archive_entry_free(entry);
    if (!ok) fail(path);
  }
};

}  // namespace

void writeArchive(const std::string& path, bool sevenZip, const std::string& folder, const std::string& prefix,
                  const std::vector<RawEntry>& extra) {
  namespace fs = std::filesystem;
  std::vector<fs::path> entries;
  for (const auto& e : fs::recursive_directory_iterator(folder)) entries.push_back(e.path());
  std::sort(entries.begin(), entries.end());
  Writer w;
  if ((sevenZip ? archive_write_set_format_7zip(w.a) : archive_write_set_format_zip(w.a)) != ARCHIVE_OK ||
      archive_write_open_filename(w.a, path.c_str()) != ARCHIVE_OK)
    w.fail(path);
  if (!prefix.empty()) w.add(path, prefix + "/", "", true);
  for (const fs::path& entry : entries) {
    const std::string name = (prefix.empty() ? "" : prefix + "/") + fs::relative(entry, folder).generic_string();
    if (fs::is_directory(entry)) {
      w.add(path, name + "/", "", true);
    } else {
      std::ifstream in(entry, std::ios::binary);
      w.add(path, name, std::string(std::istreambuf_iterator<char>(in), {}), false);
    }
  }
  for (const RawEntry& e : extra) w.add(path, e.name, e.bytes, false, e.linkTarget);
  if (archive_write_close(w.a) != ARCHIVE_OK) w.fail(path);
}

}  // namespace sample
