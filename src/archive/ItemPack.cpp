#include "archive/ItemPack.h"

#include "platform/Posix.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <unordered_set>

#include "archive/ArchiveLibrary.h"
#include "platform/Charset.h"
#include "platform/LibraryNames.h"
#include "platform/NameCase.h"
#include "platform/Paths.h"
#include "platform/TreeWalk.h"
#include "platform/UniqueFd.h"
#include "platform/WideUtf8.h"

namespace pitkit {

namespace {

// Files are read this much at a time.
constexpr std::size_t kReadBlock = std::size_t{1} << 18;

void checkCancel(const TransferProgress* progress) {
  if (progress != nullptr && progress->cancelRequested.load(std::memory_order_relaxed))
    throw ETransferCancelled("Cancelled");
}

// A zip being written to an open file through libarchive. libarchive converts names through the
// thread's locale: the thread has the C.UTF-8 locale while the writer lives, and names are stored
// in UTF-8 with the zip's UTF-8 flag. The file is written here, not by the library: a failed write
// is kept and raised from here, for the library, once told of one, never frees its compressor.
class ZipWriter {
 public:
  ZipWriter(int fd, const std::string& shownPath) : lib_(archiveLibrary()), shown_(shownPath), fd_(fd) {
    utf8Locale_ = ::newlocale(LC_ALL_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
    if (utf8Locale_ == nullptr) throw EOSError(errno, "Cannot write " + shownPath + ": the C.UTF-8 locale is missing");
    previousLocale_ = ::uselocale(utf8Locale_);
    archive_ = lib_.archive_write_new();
    entry_ = lib_.archive_entry_new();
    if (archive_ == nullptr || entry_ == nullptr) {
      release();
      throw EOSError(ENOMEM, "Cannot write " + shownPath);
    }
    // Deflate at its default level, as other zip tools write.
    if (lib_.archive_write_set_format_zip(archive_) != ARCHIVE_OK ||
        lib_.archive_write_zip_set_compression_deflate(archive_) != ARCHIVE_OK ||
        lib_.archive_write_set_format_option(archive_, "zip", "hdrcharset", "UTF-8") != ARCHIVE_OK ||
        lib_.archive_write_set_bytes_in_last_block(archive_, 1) != ARCHIVE_OK ||
        lib_.archive_write_open2(archive_, this, nullptr, &ZipWriter::writeBlock, nullptr, nullptr) != ARCHIVE_OK)
      fail();
  }
  ~ZipWriter() { release(); }
  ZipWriter(const ZipWriter&) = delete;
  ZipWriter& operator=(const ZipWriter&) = delete;

  // Starts an entry `name` (UTF-8; a folder's ends in '/') with the bits and times of `st`.
  void begin(const std::string& name, const struct stat& st) {
    lib_.archive_entry_clear(entry_);
    if (kArchiveNamesInUtf16)
      lib_.archive_entry_copy_pathname_w(entry_, utf8ToWide(name).c_str());
    else
      lib_.archive_entry_set_pathname_utf8(entry_, name.c_str());
    const bool folder = S_ISDIR(st.st_mode);
    lib_.archive_entry_set_filetype(entry_, folder ? AE_IFDIR : AE_IFREG);
    lib_.archive_entry_set_perm(entry_, st.st_mode & 07777);
    lib_.archive_entry_set_size(entry_, folder ? 0 : st.st_size);
    lib_.archive_entry_set_mtime(entry_, st.st_mtim.tv_sec, st.st_mtim.tv_nsec);
    if (lib_.archive_write_header(archive_, entry_) != ARCHIVE_OK) fail();
    checkWritten();
  }
  void write(const char* data, std::size_t size) {
    if (lib_.archive_write_data(archive_, data, size) != static_cast<la_ssize_t>(size)) fail();
    checkWritten();
  }
  // Writes the central directory; the zip is whole once this returns.
  void close() {
    if (lib_.archive_write_close(archive_) != ARCHIVE_OK) fail();
    checkWritten();
  }

 private:
  // Writes a block of the zip; after a failure nothing more, while the library is told all went.
  static la_ssize_t writeBlock(archive*, void* self, const void* block, std::size_t length) {
    auto* writer = static_cast<ZipWriter*>(self);
    for (std::size_t done = 0; writer->writeError_ == 0 && done < length;) {
      const ssize_t n = ::write(writer->fd_, static_cast<const char*>(block) + done, length - done);
      if (n < 0 && errno != EINTR) writer->writeError_ = errno;
      if (n > 0) done += static_cast<std::size_t>(n);
    }
    return static_cast<la_ssize_t>(length);
  }
  void checkWritten() const {
    if (writeError_ != 0) throw EOSError(writeError_, "Cannot write " + shown_);
  }
  [[noreturn]] void fail() {
    const char* text = archive_ != nullptr ? lib_.archive_error_string(archive_) : nullptr;
    throw Exception("Cannot write " + shown_ + (text != nullptr ? std::string(": ") + text : std::string()));
  }
  void release() {
    if (archive_ != nullptr) {
      // The free closes a zip given up half-way, into the temporary file that goes anyway: the
      // library frees its compressor and buffers only through the close.
      lib_.archive_write_free(archive_);
      archive_ = nullptr;
    }
    if (entry_ != nullptr) lib_.archive_entry_free(entry_);
    entry_ = nullptr;
    if (utf8Locale_ != nullptr) {
      ::uselocale(previousLocale_);
      ::freelocale(utf8Locale_);
      utf8Locale_ = nullptr;
    }
  }

  const ArchiveLibrary& lib_;
  std::string shown_;
  int fd_;
  int writeError_ = 0;
  locale_t utf8Locale_ = nullptr;
  locale_t previousLocale_ = nullptr;
  archive* archive_ = nullptr;
  archive_entry* entry_ = nullptr;
};

// Packs regular files into a zip, reading them a block at a time into one buffer.
struct FilePacker {
  ZipWriter& zip;
  TransferProgress* progress;
  std::vector<char> buffer = std::vector<char>(kReadBlock);

  // Packs the regular file `name` of the folder `dirFd` as `zipName`; `path` names it in errors.
  void pack(int dirFd, const std::string& name, const std::string& zipName, const std::string& path) {
    const UniqueFd fd(::openat(dirFd, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    struct stat st {};
    if (!fd || ::fstat(fd.get(), &st) != 0) throw EOSError(errno, "Cannot read " + path);
    if (!S_ISREG(st.st_mode)) throw Exception("Cannot read " + path + ": it is not a file");
    zip.begin(zipName, st);
    // A file that grows meanwhile is cut at the size it had when its entry began.
    for (auto left = static_cast<std::uint64_t>(st.st_size); left > 0;) {
      checkCancel(progress);
      const ssize_t n = ::read(fd.get(), buffer.data(), std::min<std::uint64_t>(left, buffer.size()));
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) throw EOSError(errno, "Cannot read " + path);
      if (n == 0) throw Exception("Cannot read " + path + ": it got shorter while it was packed");
      zip.write(buffer.data(), static_cast<std::size_t>(n));
      left -= static_cast<std::uint64_t>(n);
      if (progress != nullptr) progress->bytes += static_cast<std::uint64_t>(n);
    }
    if (progress != nullptr) ++progress->entries;
  }
};

// The walk over the item's folder: counts what it holds (without a packer) or packs it.
class PackWalk : public TreeWalk::Visitor {
 public:
  PackWalk(const std::string& folder, const std::string& zipFolder, FilePacker* packer, PackResult& result)
      : folder_(folder), zipFolder_(zipFolder), packer_(packer), result_(result) {}

  std::uint64_t entries = 0, bytes = 0;

  void visit(TreeWalk& walk, const std::string& name, unsigned char) override {
    TransferProgress* progress = packer_ != nullptr ? packer_->progress : nullptr;
    checkCancel(progress);
    const std::string relative = walk.pathOf(name);
    const std::string path = folder_ + PathDelim + relative;
    const int dirFd = walk.fd();
    struct stat st {};
    if (dirFd < 0 || ::fstatat(dirFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
      throw EOSError(errno, "Cannot read " + path);
    std::string why;
    if (S_ISLNK(st.st_mode)) why = "a link";
    else if (!S_ISDIR(st.st_mode) && !S_ISREG(st.st_mode)) why = "not a regular file";
    // The archive install reads '\' as a separator: such a name would come back as folders.
    else if (name.find('\\') != std::string::npos) why = "its name holds a '\\'";
    if (!why.empty()) return leaveOut(relative, why);
    const std::string zipName = zipFolder_ + nameToUtf8(relative) + (S_ISDIR(st.st_mode) ? "/" : "");
    if (packer_ != nullptr && !zipNames_.insert(zipName).second)
      throw Exception("Cannot pack " + path + ": another name of its folder reads the same in UTF-8");
    if (progress != nullptr) progress->setCurrentItem(relative);
    ++entries;
    if (S_ISDIR(st.st_mode)) {
      if (packer_ != nullptr) {
        packer_->zip.begin(zipName, st);
        if (progress != nullptr) ++progress->entries;
      }
      if (const int err = walk.enter(name)) {
        if (err != EXDEV) throw EOSError(err, "Cannot read " + path);
        leaveOut(relative, "another file system is mounted there");
      }
    } else if (packer_ != nullptr) {
      packer_->pack(dirFd, name, zipName, path);
    } else {
      bytes += static_cast<std::uint64_t>(st.st_size);
      ++result_.files;
    }
  }

 private:
  // Noted by the counting pass only, so that each is noted once.
  void leaveOut(const std::string& relative, const std::string& why) {
    if (packer_ == nullptr) result_.leftOut.push_back(relative + ": " + why);
  }

  const std::string& folder_;
  const std::string& zipFolder_;
  FilePacker* packer_;
  PackResult& result_;
  std::unordered_set<std::string> zipNames_;
};

// Walks the item's folder once with `visitor`.
void walkItem(const std::string& folder, PackWalk& visitor) {
  const int fd = ::openat(AT_FDCWD, folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) throw EOSError(errno, "Cannot read " + folder);
  TreeWalk().run(fd, visitor);
}

std::string resolved(const std::string& path) {
  char buffer[PATH_MAX];
  return ::realpath(path.empty() ? "." : path.c_str(), buffer) != nullptr ? std::string(buffer) : path;
}

// The preview of a level: the game's gfx/<name>.bmp in any letter case, "" when there is none.
std::string previewOf(const std::string& gameFolder, const GameItem& item) {
  if (item.kind != ItemKind::Level) return {};
  const std::string preview =
      findIgnoringCase(includeTrailingDelim(gameFolder) + "gfx", item.name + ".bmp", EntryKind::File);
  struct stat st {};
  return ::lstat(preview.c_str(), &st) == 0 && S_ISREG(st.st_mode) ? preview : std::string();
}

// The hidden temporary file the zip is built in, beside `zipPath`, with the bits the zip will have.
UniqueFd makeTemporary(const std::string& zipPath, std::string& temporary) {
  temporary = extractFilePath(zipPath) + "." + extractFileName(zipPath) + ".XXXXXX";
  UniqueFd fd(::mkostemp(temporary.data(), O_CLOEXEC));
  if (!fd) {
    const int err = errno;
    temporary.clear();
    throw EOSError(err, "Cannot create " + zipPath);
  }
  // A replaced zip keeps its bits; a new one gets the usual 0666 less the umask.
  struct stat old {};
  const mode_t mask = ::umask(0);
  ::umask(mask);
  ::fchmod(fd.get(), ::stat(zipPath.c_str(), &old) == 0 && S_ISREG(old.st_mode) ? old.st_mode & 07777 : 0666 & ~mask);
  return fd;
}

}  // namespace

GameItem findItemToPack(const std::string& gameFolder, ItemKind kind, const std::string& name) {
  const std::vector<GameItem> items = listGameItems(gameFolder, kind);
  for (const bool installed : {true, false})
    for (const bool exact : {true, false})
      for (const GameItem& item : items)
        if (item.kind == kind && item.installed == installed &&
            (exact ? item.name == name : sameTextAscii(item.name, name)))
          return item;
  throw Exception("No " + std::string(itemMarks(kind).word) + " named " + name + " in " + gameFolder);
}

std::string packedFolderName(const GameItem& item) {
  return std::string(itemMarks(item.kind).installedFolder) + "/" + nameToUtf8(item.name);
}

PackResult packItem(const std::string& gameFolder, const GameItem& item, const std::string& zipPath,
                    TransferProgress* progress) {
  const std::string folder = excludeTrailingDelim(item.folder);
  const ItemMarks& marks = itemMarks(item.kind);
  // Never a whole levels, un_levels, cars or garage folder (an info file lying in un_levels itself).
  for (const char* top : {marks.installedFolder, marks.uninstalledFolder})
    if (resolved(folder) == resolved(findIgnoringCase(gameFolder, top, EntryKind::Folder)))
      throw Exception("Cannot pack " + folder + ": it is the game's " + top + " folder, not one " + marks.word);
  const std::string preview = previewOf(gameFolder, item);
  const std::string zipFolder = resolved(extractFilePath(zipPath));
  if (isPathInside(zipFolder, resolved(folder)))
    throw Exception("Cannot write " + zipPath + ": it would lie inside " + folder + ", the folder being packed");
  struct stat existing {};
  if (::stat(zipPath.c_str(), &existing) == 0) {
    if (S_ISDIR(existing.st_mode)) throw Exception("Cannot write " + zipPath + ": it is a folder");
    struct stat previewStat {};
    if (!preview.empty() && ::stat(preview.c_str(), &previewStat) == 0 && previewStat.st_ino == existing.st_ino &&
        previewStat.st_dev == existing.st_dev)
      throw Exception("Cannot write " + zipPath + ": it is the level's preview, which is packed");
  }
  const std::string zipFolderName = packedFolderName(item) + "/";

  // First the totals, which the progress shows against.
  PackResult result;
  PackWalk count(folder, zipFolderName, nullptr, result);
  walkItem(folder, count);
  struct stat top {};
  if (::stat(folder.c_str(), &top) != 0) throw EOSError(errno, "Cannot read " + folder);
  if (!preview.empty()) {
    struct stat st {};
    if (::stat(preview.c_str(), &st) == 0) count.bytes += static_cast<std::uint64_t>(st.st_size);
    ++result.files;
  }
  if (progress != nullptr) {
    progress->totalEntries = count.entries + 1 + (preview.empty() ? 0 : 1);
    progress->totalBytes = count.bytes;
  }
  result.bytes = count.bytes;

  std::string temporary;
  try {
    UniqueFd fd = makeTemporary(zipPath, temporary);
    {
      ZipWriter zip(fd.get(), zipPath);
      zip.begin(zipFolderName, top);
      if (progress != nullptr) ++progress->entries;
      FilePacker packer{zip, progress};
      PackWalk pack(folder, zipFolderName, &packer, result);
      walkItem(folder, pack);
      if (!preview.empty()) {
        const UniqueFd gfx(::openat(AT_FDCWD, extractFilePath(preview).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (!gfx) throw EOSError(errno, "Cannot read " + preview);
        packer.pack(gfx.get(), extractFileName(preview), "gfx/" + nameToUtf8(item.name) + ".bmp", preview);
      }
      checkCancel(progress);
      zip.close();
    }
    // A zip that replaces another is on the disk before it takes the old one's name.
    if (::stat(zipPath.c_str(), &existing) == 0 && ::fsync(fd.get()) != 0)
      throw EOSError(errno, "Cannot write " + zipPath);
    if (fd.close() != 0) throw EOSError(errno, "Cannot write " + zipPath);
    if (::renameat(AT_FDCWD, temporary.c_str(), AT_FDCWD, zipPath.c_str()) != 0) throw EOSError(errno, "Cannot write " + zipPath);
  } catch (...) {
    if (!temporary.empty()) ::unlink(temporary.c_str());
    throw;
  }
  return result;
}

}  // namespace pitkit
