#include "search/SearchWalk.h"

#include "platform/Posix.h"

#include <algorithm>
#include <cerrno>
#include <optional>

#include "platform/FileSystem.h"
#include "platform/NameCase.h"
#include "platform/Paths.h"
#include "platform/UniqueFd.h"
#include "search/FindFile.h"
#include "search/ReadAhead.h"

namespace pitkit {

std::string absolutePath(const std::string& path) {
  if (isAbsolutePath(path)) return path;
  const std::string current = getCurrentDir();
  if (current.empty()) return path.empty() ? std::string(".") : path;
  return includeTrailingDelim(current) + path;
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
    UniqueFd start(::openat(AT_FDCWD, folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
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
