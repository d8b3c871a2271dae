#include "search/SearchWalk.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <optional>

#include "platform/FileSystem.h"
#include "platform/NameCase.h"
#include "platform/Paths.h"
#include "platform/UniqueFd.h"
#include "search/FindFile.h"
#include "search/ReadAhead.h"

namespace pitkit {
namespace {

double intPart(double x) { return std::trunc(x); }
double fracPart(double x) { return x - std::trunc(x); }

bool isLetter(unsigned char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// The name part of the exclusion match: a single left-to-right pass without backtracking.
bool exclusionNameMatches(const std::string& name, const std::string& mask) {
  if (mask.empty()) return true;
  std::size_t i = 0, j = 0;
  for (;;) {
    if (i >= name.size() || j >= mask.size()) {
      while (j < mask.size() && (mask[j] == '*' || mask[j] == '?')) ++j;
      return i >= name.size() && j >= mask.size();
    }
    const char n = name[i], m = mask[j];
    if (n == m || (m == '?' && n != '.')) {
      ++i;
      ++j;
    } else if (n == '.' && m == '?') {
      ++j;
    } else if (n == '.' && m == '*') {
      const auto dot = mask.find('.', j);
      j = dot == std::string::npos ? mask.size() : dot;
    } else if (m == '*') {
      ++i;
    } else {
      return false;
    }
  }
}

}  // namespace

std::uint8_t attributeSetBits(std::uint32_t a) {
  std::uint8_t set = 0;
  if (a & faArchive) set |= 1u << ffArchive;
  if (a & faReadOnly) set |= 1u << ffReadonly;
  if (a & faHidden) set |= 1u << ffHidden;
  if (a & faSysFile) set |= 1u << ffSystem;
  if (a & faDirectory) set |= 1u << ffDirectory;
  return set;
}

std::string absolutePath(const std::string& path) {
  if (!path.empty() && path.front() == PathDelim) return path;
  const std::string current = getCurrentDir();
  if (current.empty()) return path.empty() ? std::string(".") : path;
  return includeTrailingDelim(current) + path;
}

bool dateInRange(TDateTime t, TDateTime before, TDateTime after) {
  if (before != 0) {
    if (fracPart(before) == 0) {
      if (intPart(t) > before) return false;
    } else if (intPart(before) == 0) {
      if (fracPart(t) > before) return false;
    } else if (t > before) {
      return false;
    }
  }
  if (after != 0) {
    if (fracPart(after) == 0) {
      if (after > intPart(t)) return false;
    } else if (intPart(after) == 0) {
      if (after > fracPart(t)) return false;
    } else if (t < after) {
      return false;
    }
  }
  return true;
}

bool exclusionMatches(const std::string& path, const std::string& mask) {
  const std::string p = upperAscii(path), m = upperAscii(mask);
  const std::string pFolder = extractFilePath(p), pName = extractFileName(p);
  std::string mFolder = extractFilePath(m);
  const std::string mName = extractFileName(m);
  if (!mFolder.empty()) {
    if (mFolder.size() >= 2 && mFolder[1] == ':') {
      const char drive = mFolder[0];
      if (drive != '*' && drive != '?' && (pFolder.empty() || drive != pFolder[0])) return false;
      mFolder.erase(0, 2);
    }
    const std::size_t pDrive = (pFolder.size() >= 2 && pFolder[1] == ':') ? 2 : 0;
    if (mFolder.size() > pFolder.size() - pDrive) return false;
    if (pFolder.compare(pFolder.size() - mFolder.size(), mFolder.size(), mFolder) != 0) return false;
  }
  return exclusionNameMatches(pName, mName);
}

ContentMatcher::ContentMatcher(std::string_view text, bool ignoreCase)
    : text_(text.substr(0, std::min(text.size(), text.find('\0')))), ignoreCase_(ignoreCase) {
  for (int c = 0; c < 256; ++c)
    table_[c] = static_cast<unsigned char>(ignoreCase ? upperAscii(static_cast<char>(c)) : c);
  for (char& c : text_) c = static_cast<char>(table_[static_cast<unsigned char>(c)]);
  // The anchor is the text byte the scan looks for with memchr: one that is not a letter (so it
  // has a single form) and, among those, preferably not a blank, which is common in text files.
  for (std::size_t i = 0; i < text_.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text_[i]);
    if (isLetter(c) && ignoreCase_) continue;
    if (anchor_ == std::string::npos || (text_[anchor_] == ' ' && c != ' ')) anchor_ = i;
  }
}

std::size_t ContentMatcher::find(const char* data, std::size_t len) const {
  const std::size_t L = text_.size();
  if (L == 0) return 0;
  if (len < L) return len;
  const auto* d = reinterpret_cast<const unsigned char*>(data);
  auto equalAt = [&](std::size_t start) {
    for (std::size_t k = 0; k < L; ++k)
      if (table_[d[start + k]] != static_cast<unsigned char>(text_[k])) return false;
    return true;
  };
  const std::size_t lastStart = len - L;
  if (!ignoreCase_) {
    const void* hit = ::memmem(data, len, text_.data(), L);
    return hit == nullptr ? len : static_cast<std::size_t>(static_cast<const char*>(hit) - data);
  }
  if (anchor_ != std::string::npos) {
    const unsigned char a = static_cast<unsigned char>(text_[anchor_]);
    std::size_t from = anchor_;
    const std::size_t to = lastStart + anchor_;  // last position the anchor may sit at
    while (from <= to) {
      const void* hit = std::memchr(d + from, a, to - from + 1);
      if (hit == nullptr) break;
      const std::size_t at = static_cast<std::size_t>(static_cast<const unsigned char*>(hit) - d);
      if (equalAt(at - anchor_)) return at - anchor_;
      from = at + 1;
    }
    return len;
  }
  const unsigned char first = static_cast<unsigned char>(text_[0]);
  for (std::size_t s = 0; s <= lastStart; ++s)
    if (table_[d[s]] == first && equalAt(s)) return s;
  return len;
}

bool ContentMatcher::bytesContain(std::string_view data) const {
  return find(data.data(), data.size()) < data.size() || text_.empty();
}

bool ContentMatcher::fileContains(int dirFd, const char* name, std::uint64_t size) {
  if (text_.empty()) return true;
  const UniqueFd file(::openat(dirFd, name, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  if (!file) return false;
  const std::size_t keepMax = text_.size() - 1;
  if (buffer_.size() < kReadSize + keepMax) buffer_.resize(kReadSize + keepMax);
  char* buf = buffer_.data();
  std::size_t keep = 0;
  std::uint64_t pos = 0;
  bool found = false;
  while (pos < size) {
    if (pos != 0 && stop_ && stop_()) break;
    const ssize_t n = ::read(file.get(), buf + keep, kReadSize);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    pos += static_cast<std::uint64_t>(n);
    const std::size_t total = keep + static_cast<std::size_t>(n);
    if (find(buf, total) < total) {
      found = true;
      break;
    }
    // Keep the tail that could still begin a match completed by the next read.
    keep = std::min(keepMax, total);
    std::memmove(buf, buf + total - keep, keep);
  }
  return found;
}

SearchWalk::SearchWalk(const RunSnapshot& snapshot, WalkSink& sink) : snap_(snapshot), sink_(sink) {}

SearchWalk::~SearchWalk() = default;

void SearchWalk::splitTarget(const std::string& target, std::string& folder, std::string& mask) {
  folder = includeTrailingDelim(absolutePath(extractFilePath(target)));
  mask = extractFileName(target);
}

void SearchWalk::run() {
  std::optional<ContentMatcher> content;
  if (snap_.HasText) {
    content.emplace(snap_.Text, snap_.IgnoreCase);
    content->setStopCheck([this] { return sink_.stopRequested(); });
  }
  content_ = content ? &*content : nullptr;
  TSearchRec rec;
  rec_ = &rec;
  depth_ = 0;
  // Declared after what the walk reads, so its workers are stopped and joined first, also when a
  // handler's error leaves the walk.
  std::optional<ReadAhead> readAhead;
  if (snap_.ReadAheadWorkers > 0)
    readAhead.emplace(snap_, snap_.ReadAheadWorkers, ReadAhead::kLookahead,
                      snap_.ReadAheadAlways ? ReadAhead::Start::AtOnce : ReadAhead::Start::WhenTheWalkWaits);
  struct Detach {
    SearchWalk& walk;
    ~Detach() {
      walk.readAhead_ = nullptr;
      walk.content_ = nullptr;
      walk.rec_ = nullptr;
    }
  } detach{*this};
  readAhead_ = readAhead ? &*readAhead : nullptr;
  std::string folder, mask;
  for (std::size_t i = 0; i < snap_.Targets.size(); ++i) {
    position_.assign(1, static_cast<std::uint32_t>(i));
    splitTarget(snap_.Targets[i], folder, mask);
    const NameMask nameMask(mask);
    searchFolder(nullptr, folder, nameMask);
    if (sink_.stopRequested()) break;
  }
}

// A folder that is gone, or is no folder any more, held nothing to search; any other failure to
// open one leaves part of the tree unsearched, and the count tells.
void SearchWalk::skip(int err) {
  if (err != ENOENT && err != ENOTDIR && err != ELOOP) ++skipped_;
}

// `folder` ends in the separator. A subfolder is opened by its `name` relative to the current
// folder of the chain (not through a link); a start folder by its path (links followed).
void SearchWalk::searchFolder(const char* name, std::string& folder, const NameMask& mask) {
  if (readAhead_ != nullptr) readAhead_->entered(position_);
  if (!sink_.newFolder(folder)) return;
  if (sink_.stopRequested()) return;
  if (name == nullptr) {
    UniqueFd start(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!start) return skip(errno);
    chain_.start(start.release());
  } else if (!chain_.enter(name)) {
    return skip(errno);
  }
  struct Leave {
    FolderChain& chain;
    bool subfolder;
    ~Leave() {
      if (subfolder) chain.leave();
    }
  } leave{chain_, name != nullptr};

  FolderListing listing(chain_.fd(), listingBuffers_.at(depth_), FolderListing::Borrowed{});

  // Each pass goes over its entries in name order, letter case ignored, as the game's home file
  // system lists a folder; only the entries a pass takes are sorted.
  if (entryLists_.size() <= depth_) entryLists_.resize(depth_ + 1);
  std::vector<FolderEntry>& entries = entryLists_[depth_];
  const auto byName = [](const FolderEntry& a, const FolderEntry& b) {
    return compareNames(a.d_name, b.d_name) < 0;
  };

  // First pass over the listing: the entries that match the mask.
  entries.clear();
  while (const FolderEntry* e = listing.next())
    if (e->d_name[0] != '.' && mask.matches(e->d_name)) entries.push_back(*e);
  std::sort(entries.begin(), entries.end(), byName);
  for (const FolderEntry& e : entries) {
    if (accept(folder, listing, &e)) sink_.found(folder, *rec_);
    if (sink_.stopRequested()) return;
  }
  if (!snap_.Subfolders) return;

  // Second pass: every subfolder, depth first. Past the budget of open folders a deep subtree
  // closes this folder's descriptor, so it is asked for again after each one.
  listing.rewind();
  entries.clear();
  while (const FolderEntry* e = listing.next())
    if (e->d_name[0] != '.' && listing.isFolder(e)) entries.push_back(*e);
  std::sort(entries.begin(), entries.end(), byName);
  const std::size_t length = folder.size();
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const FolderEntry& e = entries[i];
    const int fd = chain_.fd();
    if (fd < 0) return skip(errno);
    listing.useFd(fd);
    folder.append(e.d_name);
    folder.push_back(PathDelim);
    position_.resize(depth_ + 2);
    position_[depth_ + 1] = static_cast<std::uint32_t>(i);
    ++depth_;
    searchFolder(e.d_name, folder, mask);
    --depth_;
    folder.resize(length);
    if (sink_.stopRequested()) return;
  }
}

bool passesFilters(const RunSnapshot& snap, const std::string& folder, const char* name,
                   const TWin32FindData& fd, std::string& scratch) {
  const std::uint8_t set = attributeSetBits(fd.dwFileAttributes);
  if (snap.ExactAttribute ? set != snap.Attributes : (set != 0 && (set & snap.Attributes) == 0))
    return false;

  const bool isDir = (fd.dwFileAttributes & faDirectory) != 0;
  // The bounds against the whole size: a file of 4 GiB or more is not judged by its low 32 bits.
  const std::uint64_t size = (static_cast<std::uint64_t>(fd.nFileSizeHigh) << 32) | fd.nFileSizeLow;
  if (!isDir) {
    if (snap.SizeMin != 0 && static_cast<std::int64_t>(size) < snap.SizeMin) return false;
    if (snap.SizeMax != 0 && static_cast<std::int64_t>(size) > snap.SizeMax) return false;
  }

  if ((snap.CreatedBefore != 0 || snap.CreatedAfter != 0) &&
      !dateInRange(fileTimeToLocalDateTime(fd.ftCreationTime), snap.CreatedBefore, snap.CreatedAfter))
    return false;
  if ((snap.ModifiedBefore != 0 || snap.ModifiedAfter != 0) &&
      !dateInRange(fileTimeToLocalDateTime(fd.ftLastWriteTime), snap.ModifiedBefore, snap.ModifiedAfter))
    return false;
  if ((snap.AccessedBefore != 0 || snap.AccessedAfter != 0) &&
      !dateInRange(fileTimeToLocalDateTime(fd.ftLastAccessTime), snap.AccessedBefore, snap.AccessedAfter))
    return false;

  if (!snap.ExcludeFiles.empty()) {
    scratch.assign(folder).append(name);
    for (const std::string& exclusion : snap.ExcludeFiles)
      if (exclusionMatches(scratch, exclusion)) return false;
  }
  return true;
}

bool SearchWalk::accept(const std::string& folder, FolderListing& listing, const FolderEntry* entry) {
  TSearchRec& r = *rec_;
  bool isRegular = false;
  TWin32FindData& fd = r.FindData;
  if (!listing.describe(entry, fd, isRegular)) return false;  // vanished since the listing
  if (!passesFilters(snap_, folder, entry->d_name, fd, path_)) return false;

  const bool isDir = (fd.dwFileAttributes & faDirectory) != 0;
  if (content_ != nullptr && !isDir) {
    // Only regular files are read: a socket, a pipe or a device among the candidates is skipped.
    if (!isRegular) return false;
    const std::uint64_t size = (static_cast<std::uint64_t>(fd.nFileSizeHigh) << 32) | fd.nFileSizeLow;
    if (!content_->fileContains(listing.fd(), entry->d_name, size)) return false;
  }

  r.Name.assign(entry->d_name);
  r.Attr = fd.dwFileAttributes;
  r.Size = static_cast<std::int32_t>(fd.nFileSizeLow);
  r.Time = fileTimeToLocalPackedDateTime(fd.ftLastWriteTime);
  return true;
}

}  // namespace pitkit
