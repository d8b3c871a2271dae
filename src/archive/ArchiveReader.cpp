#include "archive/ArchiveReader.h"

#include "platform/Posix.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>

#include "archive/ArchiveLibrary.h"
#include "platform/LibraryNames.h"
#include "platform/Paths.h"
#include "platform/WideUtf8.h"

namespace pitkit {

namespace {

// Longest name part and path the file systems of the game take.
constexpr std::size_t kMaxNamePart = 255;
constexpr std::size_t kMaxPath = 4095;

bool isValidUtf8(const std::string& text) {
  const auto* s = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t n = text.size();
  for (std::size_t i = 0; i < n;) {
    const unsigned char c = s[i];
    std::size_t length;
    char32_t cp;
    if (c < 0x80) {
      ++i;
      continue;
    } else if (c >= 0xC2 && c <= 0xDF) {
      length = 2;
      cp = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
      length = 3;
      cp = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      length = 4;
      cp = c & 0x07;
    } else {
      return false;
    }
    if (i + length > n) return false;
    for (std::size_t k = 1; k < length; ++k) {
      if ((s[i + k] & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (s[i + k] & 0x3F);
    }
    // Overlong forms, surrogates and code points past U+10FFFF.
    if ((length == 3 && cp < 0x800) || (length == 4 && (cp < 0x10000 || cp > 0x10FFFF)) ||
        (cp >= 0xD800 && cp <= 0xDFFF))
      return false;
    i += length;
  }
  return true;
}

std::string cp437ToUtf8(const std::string& raw) {
  iconv_t cd = ::iconv_open("UTF-8", "CP437");
  if (cd == reinterpret_cast<iconv_t>(-1)) throw EOSError(errno, "Cannot decode an archive name from code page 437");
  std::string out(raw.size() * 4 + 4, '\0');
  char* in = const_cast<char*>(raw.data());
  std::size_t inLeft = raw.size();
  char* o = out.data();
  std::size_t outLeft = out.size();
  const std::size_t done = ::iconv(cd, &in, &inLeft, &o, &outLeft);
  const int err = errno;
  ::iconv_close(cd);
  if (done == static_cast<std::size_t>(-1)) throw EOSError(err, "Cannot decode an archive name from code page 437");
  out.resize(out.size() - outLeft);
  return out;
}

std::uint16_t get16(const unsigned char* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
std::uint32_t get32(const unsigned char* p) { return get16(p) | (static_cast<std::uint32_t>(get16(p + 2)) << 16); }
std::uint64_t get64(const unsigned char* p) { return get32(p) | (static_cast<std::uint64_t>(get32(p + 4)) << 32); }

bool readAt(int fd, std::vector<unsigned char>& out, std::uint64_t offset, std::size_t size) {
  out.resize(size);
  std::size_t got = 0;
  while (got < size) {
    const ssize_t n = ::pread(fd, out.data() + got, size - got, static_cast<off_t>(offset + got));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    got += static_cast<std::size_t>(n);
  }
  return true;
}

// libarchive cuts a zip entry name at a NUL byte, so the cut name looks harmless. The central
// directory holds the names with their lengths: the names with a NUL in it are returned, cut at
// the NUL, to be matched against what libarchive reports. Best effort: a directory that cannot be
// found or read gives none (the cut names are still checked like any other name). Where names are
// read in UTF-16, `utf8Names` receives the names whose entries say they are UTF-8.
std::vector<std::string> zipNamesCutAtNul(int fd, std::vector<std::string>& utf8Names) {
  std::vector<std::string> cut;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || st.st_size < 22) return cut;
  const auto fileSize = static_cast<std::uint64_t>(st.st_size);
  const std::size_t tailSize = static_cast<std::size_t>(std::min<std::uint64_t>(fileSize, 65535 + 22));
  std::vector<unsigned char> tail;
  if (!readAt(fd, tail, fileSize - tailSize, tailSize)) return cut;
  std::size_t end = std::string::npos;
  for (std::size_t i = tailSize - 22 + 1; i-- > 0;)
    if (tail[i] == 'P' && tail[i + 1] == 'K' && tail[i + 2] == 5 && tail[i + 3] == 6) {
      end = i;
      break;
    }
  if (end == std::string::npos) return cut;
  std::uint64_t dirSize = get32(&tail[end + 12]);
  std::uint64_t dirOffset = get32(&tail[end + 16]);
  if ((dirSize == 0xFFFFFFFF || dirOffset == 0xFFFFFFFF) && end >= 20 && tail[end - 20] == 'P' &&
      tail[end - 19] == 'K' && tail[end - 18] == 6 && tail[end - 17] == 7) {
    std::vector<unsigned char> record;
    if (!readAt(fd, record, get64(&tail[end - 20 + 8]), 56) || get32(record.data()) != 0x06064b50) return cut;
    dirSize = get64(&record[40]);
    dirOffset = get64(&record[48]);
  }
  constexpr std::uint64_t kMaxDirectory = std::uint64_t{64} << 20;
  std::vector<unsigned char> dir;
  if (dirSize > kMaxDirectory || dirOffset + dirSize > fileSize || !readAt(fd, dir, dirOffset, dirSize)) return cut;
  for (std::size_t p = 0; p + 46 <= dir.size() && get32(&dir[p]) == 0x02014b50;) {
    const std::size_t nameLength = get16(&dir[p + 28]);
    const std::size_t next = p + 46 + nameLength + get16(&dir[p + 30]) + get16(&dir[p + 32]);
    if (p + 46 + nameLength > dir.size()) break;
    const std::string name(reinterpret_cast<const char*>(&dir[p + 46]), nameLength);
    if (const std::size_t nul = name.find('\0'); nul != std::string::npos) cut.push_back(name.substr(0, nul));
    if (kArchiveNamesInUtf16 && (get16(&dir[p + 8]) & 0x0800) != 0) utf8Names.push_back(name);
    p = next;
  }
  return cut;
}

// The name libarchive gives in a UTF-8 locale, made from its UTF-16 name where it converts names
// through a code page instead: a 7z or rar name, and a zip name its entry marks as UTF-8, in UTF-8;
// any other zip name as the bytes stored, which libarchive widened one by one.
std::string nameFromUtf16(const wchar_t* wide, bool zip, const std::vector<std::string>& utf8Names) {
  std::string text = wideToUtf8(wide);
  if (!zip || std::find(utf8Names.begin(), utf8Names.end(), text) != utf8Names.end()) return text;
  std::string bytes;
  for (const wchar_t* p = wide; *p != 0; ++p) {
    if (static_cast<std::uint32_t>(*p) > 0xFF) return text;
    bytes += static_cast<char>(*p);
  }
  return bytes;
}

enum class Magic { Unknown, Zip, SevenZip, Rar };

Magic magicOf(int fd) {
  unsigned char head[6] = {};
  if (::pread(fd, head, sizeof head, 0) != static_cast<ssize_t>(sizeof head)) return Magic::Unknown;
  if (head[0] == 'P' && head[1] == 'K') return Magic::Zip;
  if (std::memcmp(head, "7z\xBC\xAF\x27\x1C", 6) == 0) return Magic::SevenZip;
  if (std::memcmp(head, "Rar!", 4) == 0) return Magic::Rar;
  return Magic::Unknown;
}

}  // namespace

std::string archiveNameToUtf8(const std::string& raw) { return isValidUtf8(raw) ? raw : cp437ToUtf8(raw); }

std::string splitArchiveName(const std::string& name, std::vector<std::string>& parts) {
  parts.clear();
  const auto isDelim = [](char c) { return c == '/' || c == '\\'; };
  if (name.find('\0') != std::string::npos) return "its name holds a NUL byte";
  if (name.empty()) return "its name is empty";
  if (isDelim(name[0])) return "its path is absolute";
  if (name.size() >= 2 && name[1] == ':' && ((name[0] >= 'A' && name[0] <= 'Z') || (name[0] >= 'a' && name[0] <= 'z')))
    return "its path names a drive";
  if (name.size() > kMaxPath) return "its path is longer than " + std::to_string(kMaxPath) + " bytes";
  // A folder entry ends in one separator.
  std::string_view rest(name);
  if (isDelim(rest.back())) rest.remove_suffix(1);
  std::size_t start = 0;
  for (;;) {
    std::size_t stop = start;
    while (stop < rest.size() && !isDelim(rest[stop])) ++stop;
    const std::string part(rest.substr(start, stop - start));
    if (part.empty()) return "its path has an empty part";
    if (part == "..") return "its path has a '..' step";
    if (part.size() > kMaxNamePart) return "a part of its path is longer than " + std::to_string(kMaxNamePart) + " bytes";
    if (part != ".") parts.push_back(part);
    if (stop >= rest.size()) break;
    start = stop + 1;
  }
  return {};
}

ArchiveReader::ArchiveReader(const std::string& path, const std::string& password, std::size_t blockSize,
                             const TransferProgress* progress)
    : path_(path), password_(password), progress_(progress) {
  // libarchive converts names through the thread's locale; in the "C" locale a UTF-8 name has
  // no conversion at all. The UTF-8 locale is set for this thread only, while the reader lives.
  utf8Locale_ = ::newlocale(LC_ALL_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
  if (utf8Locale_ == nullptr) throw EOSError(errno, "Cannot read " + path + ": the C.UTF-8 locale is missing");
  previousLocale_ = ::uselocale(utf8Locale_);
  try {
    // Opened without waiting: a pipe or a device under an archive's name is refused at once.
    file_.reset(::openat(AT_FDCWD, path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!file_) throw EOSError(errno, "Cannot open " + path);
    struct stat st {};
    if (::fstat(file_.get(), &st) != 0) throw EOSError(errno, "Cannot open " + path);
    if (!S_ISREG(st.st_mode)) throw Exception("Cannot read " + path + ": it is not a file");
    ::fcntl(file_.get(), F_SETFL, ::fcntl(file_.get(), F_GETFL) & ~O_NONBLOCK);
    const Magic magic = magicOf(file_.get());
    if (magic == Magic::Zip) namesCutAtNul_ = zipNamesCutAtNul(file_.get(), utf8Names_);
    format_ = magic == Magic::SevenZip ? "7z" : magic == Magic::Rar ? "rar" : magic == Magic::Zip ? "zip" : "";

    archive_ = archiveLibrary().archive_read_new();
    if (archive_ == nullptr) throw EOSError(ENOMEM, "Cannot read " + path);
    archiveLibrary().archive_read_support_format_zip(archive_);
    archiveLibrary().archive_read_support_format_7zip(archive_);
    archiveLibrary().archive_read_support_format_rar(archive_);
    archiveLibrary().archive_read_support_format_rar5(archive_);
    if (!password.empty()) archiveLibrary().archive_read_add_passphrase(archive_, password.c_str());
    // The file is read through the descriptor checked above, a block at a time, so that a cancel
    // is seen between any two blocks.
    block_.resize(blockSize);
    archiveLibrary().archive_read_set_callback_data(archive_, this);
    archiveLibrary().archive_read_set_read_callback(archive_, &ArchiveReader::readBlock);
    archiveLibrary().archive_read_set_skip_callback(archive_, &ArchiveReader::skipBytes);
    archiveLibrary().archive_read_set_seek_callback(archive_, &ArchiveReader::seekTo);
    if (archiveLibrary().archive_read_open1(archive_) != ARCHIVE_OK) {
      if (cancelRequested()) throw ETransferCancelled("Cancelled");
      if (format_.empty())
        throw Exception("Cannot read " + path + ": it is not a zip, 7z or rar archive");
      fail();
    }
  } catch (...) {
    close();
    throw;
  }
}

la_ssize_t ArchiveReader::readBlock(archive* a, void* self, const void** block) {
  auto* reader = static_cast<ArchiveReader*>(self);
  if (reader->cancelRequested()) {
    archiveLibrary().archive_set_error(a, ECANCELED, "cancelled");
    return -1;
  }
  ssize_t n = 0;
  do n = ::read(reader->file_.get(), reader->block_.data(), reader->block_.size());
  while (n < 0 && errno == EINTR);
  if (n < 0) archiveLibrary().archive_set_error(a, errno, "%s", std::strerror(errno));
  *block = reader->block_.data();
  return n;
}

la_int64_t ArchiveReader::skipBytes(archive*, void* self, la_int64_t request) {
  // A skip the file cannot take (past the largest offset) is 0: the library then reads instead.
  const int fd = static_cast<ArchiveReader*>(self)->file_.get();
  const off_t at = ::lseek(fd, 0, SEEK_CUR);
  if (at < 0 || request > std::numeric_limits<off_t>::max() - at || ::lseek(fd, request, SEEK_CUR) < 0) return 0;
  return request;
}

la_int64_t ArchiveReader::seekTo(archive*, void* self, la_int64_t offset, int whence) {
  const off_t at = ::lseek(static_cast<ArchiveReader*>(self)->file_.get(), offset, whence);
  return at < 0 ? ARCHIVE_FATAL : at;
}

bool ArchiveReader::cancelRequested() const {
  return progress_ != nullptr && progress_->cancelRequested.load(std::memory_order_relaxed);
}

ArchiveReader::~ArchiveReader() { close(); }

void ArchiveReader::close() {
  if (archive_ != nullptr) archiveLibrary().archive_read_free(archive_);
  archive_ = nullptr;
  if (utf8Locale_ != nullptr) {
    ::uselocale(previousLocale_);
    ::freelocale(utf8Locale_);
  }
  utf8Locale_ = nullptr;
  file_.reset();
}

void ArchiveReader::refuseEncrypted() {
  if (format_ == "zip") {
    if (password_.empty()) throw EArchivePassword(extractFileName(path_) + " is protected by a password");
    throw EArchivePassword("The password for " + extractFileName(path_) + " is wrong");
  }
  throw Exception("Cannot install from " + extractFileName(path_) + ": it is an encrypted " + format_ +
                  " archive, and password-protected " + format_ + " archives are not supported");
}

void ArchiveReader::fail() {
  if (cancelRequested()) throw ETransferCancelled("Cancelled");
  const char* text = archiveLibrary().archive_error_string(archive_);
  const std::string message = text != nullptr ? text : "unknown error";
  if (message.find("assphrase") != std::string::npos || message.find("ncrypt") != std::string::npos ||
      message.find("ecryption") != std::string::npos)
    refuseEncrypted();
  throw Exception("Cannot read " + extractFileName(path_) + ": the archive is damaged or incomplete (" + message +
                  ")");
}

bool ArchiveReader::next(ArchiveEntry& out) {
  if (cancelRequested()) throw ETransferCancelled("Cancelled");
  archive_entry* entry = nullptr;
  const int result = archiveLibrary().archive_read_next_header(archive_, &entry);
  if (result == ARCHIVE_EOF) {
    // A rar archive holds at least one entry: garbage after its signature reads as none.
    if (entriesRead_ == 0 && format_ == "rar")
      throw Exception("Cannot read " + extractFileName(path_) + ": the archive is damaged or incomplete (it holds no entry)");
    return false;
  }
  ++entriesRead_;
  // A warning (a name the locale cannot hold) still gives an entry; its name is checked below.
  if (result < ARCHIVE_WARN) fail();
  if (archiveLibrary().archive_entry_is_encrypted(entry) && (format_ != "zip" || password_.empty())) refuseEncrypted();

  out = ArchiveEntry{};
  const char* raw = archiveLibrary().archive_entry_pathname(entry);
  if (raw == nullptr) raw = archiveLibrary().archive_entry_pathname_utf8(entry);
  std::string fromUtf16;
  if (kArchiveNamesInUtf16) {
    if (const wchar_t* wide = archiveLibrary().archive_entry_pathname_w(entry)) {
      fromUtf16 = nameFromUtf16(wide, format_ == "zip", utf8Names_);
      raw = fromUtf16.c_str();
    }
  }
  if (raw == nullptr) {
    out.shownPath = "(an entry without a readable name)";
    out.leftOutReason = "its name cannot be read";
    return true;
  }
  const std::string name = archiveNameToUtf8(raw);
  out.shownPath = name;
  std::string reason;
  if (std::find(namesCutAtNul_.begin(), namesCutAtNul_.end(), std::string(raw)) != namesCutAtNul_.end())
    reason = "its name holds a NUL byte";
  else
    reason = splitArchiveName(name, out.parts);

  const mode_t type = archiveLibrary().archive_entry_filetype(entry);
  if (reason.empty()) {
    if (archiveLibrary().archive_entry_hardlink(entry) != nullptr) reason = "it is a hard link";
    else if (type == AE_IFLNK) reason = "it is a symbolic link";
    else if (type != AE_IFREG && type != AE_IFDIR) reason = "it is a device or other special file";
  }
  if (!reason.empty()) {
    out.parts.clear();
    out.leftOutReason = reason;
    return true;
  }
  out.folder = type == AE_IFDIR;
  out.sizeKnown = archiveLibrary().archive_entry_size_is_set(entry) != 0 && archiveLibrary().archive_entry_size(entry) >= 0;
  if (out.sizeKnown) out.size = static_cast<std::uint64_t>(archiveLibrary().archive_entry_size(entry));
  out.mtimeSet = archiveLibrary().archive_entry_mtime_is_set(entry) != 0;
  if (out.mtimeSet) {
    out.mtime = archiveLibrary().archive_entry_mtime(entry);
    out.mtimeNanoseconds = archiveLibrary().archive_entry_mtime_nsec(entry);
  }
  return true;
}

std::size_t ArchiveReader::read(char* buffer, std::size_t capacity) {
  const la_ssize_t n = archiveLibrary().archive_read_data(archive_, buffer, capacity);
  if (n < 0) fail();
  return static_cast<std::size_t>(n);
}

}  // namespace pitkit
