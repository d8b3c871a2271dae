#include "platform/FindData.h"

#include "platform/Posix.h"

#include <cerrno>

#include "platform/DateTime.h"
#include "platform/Mask.h"
#include "platform/Paths.h"

namespace pitkit {
namespace {

bool hasWildcard(std::string_view s) { return s.find_first_of("*?") != std::string_view::npos; }

// Equal ignoring ASCII case; `folded` is already upper-cased.
bool equalsFolded(std::string_view name, std::string_view folded) {
  if (name.size() != folded.size()) return false;
  for (std::size_t i = 0; i < name.size(); ++i)
    if (upperAscii(name[i]) != folded[i]) return false;
  return true;
}

std::uint64_t fileTimeOf(const statx_timestamp& t) {
  return unixToFileTime(t.tv_sec, t.tv_nsec);
}

}  // namespace

NameMask::NameMask(std::string mask) : mask_(std::move(mask)) {
  for (char c : mask_) folded_.push_back(upperAscii(c));
  if (mask_ == "*" || mask_ == "*.*")
    kind_ = Kind::Everything;
  else if (!hasWildcard(mask_))
    kind_ = Kind::Literal;
  else if (mask_[0] == '*' && !hasWildcard(std::string_view(mask_).substr(1)))
    kind_ = Kind::Suffix;
  else
    kind_ = Kind::General;
}

bool NameMask::matches(std::string_view name) const {
  switch (kind_) {
    case Kind::Everything:
      return true;
    case Kind::Literal:
      return equalsFolded(name, folded_);
    case Kind::Suffix: {
      const std::string_view suffix = std::string_view(folded_).substr(1);
      return name.size() >= suffix.size() &&
             equalsFolded(name.substr(name.size() - suffix.size()), suffix);
    }
    case Kind::General:
      break;
  }
  return matchesMask(name, mask_);
}

namespace {
// A record of the kernel's directory listing.
struct LinuxDirent64 {
  std::uint64_t d_ino;
  std::int64_t d_off;
  unsigned short d_reclen;
  unsigned char d_type;
  char d_name[1];
};
}  // namespace

FolderListing::FolderListing(const std::string& path, std::vector<char>& buffer) : buffer_(buffer) {
  owned_.reset(::openat(AT_FDCWD, path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  fd_ = owned_.get();
  readAll();
}

FolderListing::FolderListing(const FolderListing& parent, const char* name, std::vector<char>& buffer)
    : buffer_(buffer) {
  if (parent.isOpen()) owned_.reset(::openat(parent.fd(), name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  fd_ = owned_.get();
  readAll();
}

FolderListing::FolderListing(int dirFd, std::vector<char>& buffer, Borrowed)
    : fd_(dirFd), buffer_(buffer) {
  readAll();
}

FolderListing::~FolderListing() = default;

void FolderListing::readAll() {
  if (fd_ < 0) return;
  if (buffer_.size() < 32768) buffer_.resize(32768);
  for (;;) {
    if (buffer_.size() - size_ < 4096) buffer_.resize(buffer_.size() * 2);
    const long n = ::getdents64(fd_, buffer_.data() + size_, buffer_.size() - size_);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;  // the end, or a folder that went away: what was read stays listed
    size_ += static_cast<std::size_t>(n);
  }
}

const FolderEntry* FolderListing::next() {
  while (pos_ < size_) {
    const auto* d = reinterpret_cast<const LinuxDirent64*>(buffer_.data() + pos_);
    pos_ += d->d_reclen;
    const char* n = d->d_name;
    if (n[0] == '.' && (n[1] == '\0' || (n[1] == '.' && n[2] == '\0'))) continue;
    current_ = {n, d->d_type};
    return &current_;
  }
  return nullptr;
}

bool FolderListing::isFolder(const FolderEntry* entry) const {
  if (entry->d_type == DT_DIR) return true;
  if (entry->d_type != DT_UNKNOWN) return false;
  struct stat st {};
  return ::fstatat(fd(), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode);
}

namespace {

// The entry's status by statx, or by fstatat where statx is missing or refused (old kernels,
// some sandboxes), which gives no birth time. Links are followed unless `flags` says otherwise.
bool statEntry(int dirFd, const char* name, int flags, struct statx& sx) {
  constexpr unsigned kWanted = STATX_TYPE | STATX_MODE | STATX_SIZE | STATX_ATIME | STATX_MTIME | STATX_BTIME;
  if (::statx(dirFd, name, flags | AT_NO_AUTOMOUNT, kWanted, &sx) == 0) return true;
  if (errno != ENOSYS && errno != EPERM) return false;
  struct stat st {};
  if (::fstatat(dirFd, name, &st, flags) != 0) return false;
  sx = {};
  sx.stx_mask = STATX_BASIC_STATS;
  sx.stx_mode = static_cast<std::uint16_t>(st.st_mode);
  sx.stx_size = static_cast<std::uint64_t>(st.st_size);
  sx.stx_mtime = {st.st_mtim.tv_sec, static_cast<std::uint32_t>(st.st_mtim.tv_nsec), 0};
  sx.stx_atime = {st.st_atim.tv_sec, static_cast<std::uint32_t>(st.st_atim.tv_nsec), 0};
  return true;
}

}  // namespace

bool FolderListing::describe(const FolderEntry* entry, TWin32FindData& data, bool& isRegular) const {
  struct statx sx {};
  if (!statEntry(fd(), entry->d_name, 0, sx) && !statEntry(fd(), entry->d_name, AT_SYMLINK_NOFOLLOW, sx))
    return false;
  const bool isDir = S_ISDIR(sx.stx_mode);
  isRegular = S_ISREG(sx.stx_mode);
  std::uint32_t attr = 0;
  if (isDir) attr |= faDirectory;
  if ((sx.stx_mode & S_IWUSR) == 0) attr |= faReadOnly;
  if (entry->d_name[0] == '.') attr |= faHidden;
  if (isRegular) attr |= faArchive;
  data.dwFileAttributes = attr;
  data.ftLastWriteTime = fileTimeOf(sx.stx_mtime);
  data.ftLastAccessTime = fileTimeOf(sx.stx_atime);
  data.ftCreationTime = (sx.stx_mask & STATX_BTIME) ? fileTimeOf(sx.stx_btime) : data.ftLastWriteTime;
  const std::uint64_t size = isDir ? 0 : sx.stx_size;
  data.nFileSizeHigh = static_cast<std::uint32_t>(size >> 32);
  data.nFileSizeLow = static_cast<std::uint32_t>(size);
  data.cFileName.assign(entry->d_name);
  data.cAlternateFileName.clear();
  return true;
}

}  // namespace pitkit
