#pragma once
// The home platform's directory listing, done with openat/readdir/statx: entries of one folder
// filtered by a DOS-style name mask, their attribute bits, sizes and times as raw find data.
#include "platform/Posix.h"

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "platform/UniqueFd.h"

namespace pitkit {

// The platform attribute bits of an entry.
inline constexpr std::uint32_t faReadOnly = 0x01;
inline constexpr std::uint32_t faHidden = 0x02;
inline constexpr std::uint32_t faSysFile = 0x04;
inline constexpr std::uint32_t faDirectory = 0x10;
inline constexpr std::uint32_t faArchive = 0x20;

// The raw find data of one entry: times in UTC as 100-ns intervals since 1 January 1601.
struct TWin32FindData {
  std::uint32_t dwFileAttributes = 0;
  std::uint64_t ftCreationTime = 0;
  std::uint64_t ftLastAccessTime = 0;
  std::uint64_t ftLastWriteTime = 0;
  std::uint32_t nFileSizeHigh = 0;
  std::uint32_t nFileSizeLow = 0;
  std::string cFileName;
  std::string cAlternateFileName;
};

// A name mask prepared once and matched against many names: '*' any run of characters, '?' one
// character, letters compared ignoring case (ASCII), and a mask ending in ".*" also matches a name
// without a dot, so "*.*" matches every name. Gives the same answers as matchesMask.
class NameMask {
 public:
  explicit NameMask(std::string mask);
  bool matches(std::string_view name) const;
  const std::string& text() const { return mask_; }

 private:
  enum class Kind { Everything, Literal, Suffix, General };

  std::string mask_;
  std::string folded_;  // the mask upper-cased, for the fast forms
  Kind kind_ = Kind::General;
};

// One entry of a folder listing: its name and the file type the listing gives (a DT_ value).
struct FolderEntry {
  const char* d_name;
  unsigned char d_type;
};

// One open folder whose entries are read in the platform's listing order. The whole listing is
// read at once into a caller's buffer (reused from folder to folder), so going over the entries a
// second time costs no further calls. Opening a folder that does not exist or cannot be read
// gives an empty listing, as the platform's listing does.
class FolderListing {
 public:
  // Opens `path` (links followed: a start folder may be a link).
  FolderListing(const std::string& path, std::vector<char>& buffer);
  // Opens the subfolder `name` of an open listing; a symbolic link is not followed, so the walk
  // never leaves the tree through a link.
  FolderListing(const FolderListing& parent, const char* name, std::vector<char>& buffer);
  // Lists the folder open as `dirFd`, which stays the caller's: it is never closed here.
  struct Borrowed {};
  FolderListing(int dirFd, std::vector<char>& buffer, Borrowed);
  ~FolderListing();
  FolderListing(const FolderListing&) = delete;
  FolderListing& operator=(const FolderListing&) = delete;

  bool isOpen() const { return fd_ >= 0; }
  // The next entry except "." and "..", or nullptr at the end.
  const FolderEntry* next();
  // Goes back to the first entry.
  void rewind() { pos_ = 0; }
  int fd() const { return fd_; }
  // A borrowed listing's folder under a new descriptor (the caller reopened it).
  void useFd(int dirFd) { fd_ = dirFd; }

  // True when the entry is a real folder (not a link to one). Uses the listing's type, asking the
  // file system only when the listing did not say.
  bool isFolder(const FolderEntry* entry) const;
  // Fills `data` for the entry: attributes, size and the three times. Links are followed; a
  // dangling link describes the link itself. Returns false when the entry vanished. `isRegular`
  // tells whether the entry (after links) is a regular file, the only kind whose contents are read.
  bool describe(const FolderEntry* entry, TWin32FindData& data, bool& isRegular) const;

 private:
  void readAll();

  UniqueFd owned_;  // the folder this listing opened itself; none for a borrowed one
  int fd_ = -1;
  std::vector<char>& buffer_;
  std::size_t size_ = 0;  // bytes of listing records in buffer_
  std::size_t pos_ = 0;
  FolderEntry current_{};
};

// The listing buffers of a walk over a tree, one per depth, reused from folder to folder: a folder's
// listing keeps its buffer while the walk lists the folders below it.
class ListingBuffers {
 public:
  std::vector<char>& at(std::size_t depth) {
    if (buffers_.size() <= depth) buffers_.resize(depth + 1);
    return buffers_[depth];
  }

 private:
  std::deque<std::vector<char>> buffers_;  // a deque: growing it moves no buffer already handed out
};

}  // namespace pitkit
