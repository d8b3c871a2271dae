#pragma once
// Reading downloaded zip, 7z and rar archives with libarchive, entry by entry. Every entry name is
// decoded to UTF-8 and checked before anyone uses it; nothing here writes to the disk.
#include "platform/Posix.h"

#include <cstdint>
#include <string>
#include <vector>

#include "transfer/TransferProgress.h"
#include "platform/Errors.h"
#include "platform/UniqueFd.h"

#include <archive.h>

namespace pitkit {

// Raised for an encrypted zip read without its password, or with a wrong one; the window asks
// for the password and tries again.
class EArchivePassword : public Exception {
 public:
  using Exception::Exception;
};

// One entry of an archive as the installer sees it.
struct ArchiveEntry {
  // The names of its path, UTF-8, '\' and '/' both separating; empty when it is left out.
  std::vector<std::string> parts;
  // The path as shown to the user: the parts joined with '/', or the decoded name as stored.
  std::string shownPath;
  // Why the entry is never written (an unsafe name, a link, a device); "" when it may be.
  std::string leftOutReason;
  bool folder = false;
  bool sizeKnown = false;
  std::uint64_t size = 0;
  bool mtimeSet = false;
  std::int64_t mtime = 0;
  std::int64_t mtimeNanoseconds = 0;
};

// The decoded name of an entry: kept when it is valid UTF-8, otherwise read as code page 437
// (what old Windows archivers store without the zip UTF-8 flag).
std::string archiveNameToUtf8(const std::string& raw);

// Splits a decoded entry name at '/' and '\' into `parts` ("." parts dropped, one trailing
// separator allowed). Returns why the name is unsafe ("" when it is not), worded to follow the
// entry's name ("its path has a '..' step"): a ".." step, an absolute path, a drive letter, an
// empty or over-long part.
std::string splitArchiveName(const std::string& name, std::vector<std::string>& parts);

// An open archive read from its start. Used on one thread only: libarchive converts names through
// the thread's locale, so the reader sets a UTF-8 locale for that thread while it lives.
class ArchiveReader {
 public:
  // Opens `path`, accepting only the zip, 7z, rar and rar5 formats. `password` is given to
  // libarchive for encrypted zips ("" for none). The file is read `blockSize` bytes at a time: a
  // pass that skips most data reads less with small blocks (each entry's header is a read of its
  // own), one that unpacks it all wants large ones. Raises Exception when the file cannot be read
  // or is not such an archive; what is not a regular file (a pipe, a device) is refused without
  // waiting for it. With `progress`, its cancel request is looked at before each block read and
  // each entry, and stops the reading with ETransferCancelled.
  ArchiveReader(const std::string& path, const std::string& password, std::size_t blockSize = std::size_t{1} << 16,
                const TransferProgress* progress = nullptr);
  ~ArchiveReader();
  ArchiveReader(const ArchiveReader&) = delete;
  ArchiveReader& operator=(const ArchiveReader&) = delete;

  // Moves to the next entry and describes it; false at the end of the archive. A damaged
  // archive or an encrypted one that cannot be read raises (EArchivePassword for a zip).
  bool next(ArchiveEntry& entry);
  // Reads the current entry's data into `buffer`: the count read, 0 at its end. Raises on damage
  // and on a wrong password.
  std::size_t read(char* buffer, std::size_t capacity);

 private:
  // The library's callbacks: blocks of the file read through `file_`, skips and seeks in it.
  static la_ssize_t readBlock(archive* a, void* self, const void** block);
  static la_int64_t skipBytes(archive* a, void* self, la_int64_t request);
  static la_int64_t seekTo(archive* a, void* self, la_int64_t offset, int whence);
  bool cancelRequested() const;
  [[noreturn]] void fail();
  [[noreturn]] void refuseEncrypted();
  void close();

  locale_t utf8Locale_ = nullptr;
  locale_t previousLocale_ = nullptr;
  archive* archive_ = nullptr;
  UniqueFd file_;
  std::vector<char> block_;
  std::uint64_t entriesRead_ = 0;
  std::string path_;
  std::string password_;
  const TransferProgress* progress_ = nullptr;
  // "zip", "7z" or "rar", from the file's first bytes; "" for anything else.
  std::string format_;
  // Names the zip's central directory holds with a NUL byte, cut at it (libarchive cuts them too).
  std::vector<std::string> namesCutAtNul_;
  // Where names are read in UTF-16: the names the zip's central directory marks as UTF-8.
  std::vector<std::string> utf8Names_;
};

}  // namespace pitkit
