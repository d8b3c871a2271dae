#include "search/ReadAhead.h"

#include "platform/Posix.h"

#include <algorithm>
#include <system_error>

#include "platform/FindData.h"
#include "platform/NameCase.h"
#include "platform/Paths.h"
#include "platform/UniqueFd.h"
#include "search/SearchWalk.h"

namespace pitkit {
namespace {

bool isPrefix(const ReadAhead::Position& a, const ReadAhead::Position& b) {
  return a.size() <= b.size() && std::equal(a.begin(), a.end(), b.begin());
}

}  // namespace

// What one worker reuses from folder to folder.
struct ReadAhead::Scratch {
  std::vector<char> listing;
  std::vector<FolderEntry> entries;
  TWin32FindData data;
  std::string path;
  std::vector<NameMask> masks;
};

ReadAhead::ReadAhead(const RunSnapshot& snapshot, std::size_t workers, std::size_t lookahead,
                     Start start)
    : snap_(snapshot),
      lookahead_(std::max<std::size_t>(lookahead, 1)),
      workerCount_(std::min(workers, kMaxWorkers)),
      always_(start == Start::AtOnce) {
  std::string folder, mask;
  for (std::size_t i = 0; i < snap_.Targets.size(); ++i) {
    SearchWalk::splitTarget(snap_.Targets[i], folder, mask);
    masks_.push_back(mask);
    pending_.emplace(Position{static_cast<std::uint32_t>(i)}, folder);
  }
  lastReads_ = diskReads();
  if (always_) activate();
}

// Blocks the process read from the disk so far, all threads counted.
std::uint64_t ReadAhead::diskReads() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  return static_cast<std::uint64_t>(usage.ru_inblock);
}

void ReadAhead::activate() {
  {
    std::lock_guard lock(mutex_);
    active_ = true;
  }
  changed_.notify_all();
  if (!threads_.empty()) return;
  threads_.reserve(workerCount_);
  for (std::size_t i = 0; i < workerCount_; ++i) {
    try {
      threads_.emplace_back([this] { work(); });
    } catch (const std::system_error&) {
      break;  // reading ahead is an aid: the walk goes on with the workers it has, or none
    }
  }
}

ReadAhead::~ReadAhead() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    stop_ = true;
  }
  changed_.notify_all();
  for (std::thread& t : threads_) t.join();
}

void ReadAhead::entered(const Position& position) {
  // Over a tree in memory the workers would only double the walk's work: they start when the
  // disk is being read, judged every few folders, and rest after a while without reads.
  if (!always_ && workerCount_ > 0 && ++entered_ % (active_ ? kActiveWindow : kIdleWindow) == 0) {
    const std::uint64_t reads = diskReads();
    quiet_ = reads == lastReads_ ? quiet_ + 1 : 0;
    lastReads_ = reads;
    if (quiet_ == 0 && !active_) {
      activate();
    } else if (quiet_ == kQuietWindows && active_) {
      std::lock_guard lock(mutex_);
      active_ = false;
    }
  }
  bool freed = false;
  {
    std::lock_guard lock(mutex_);
    walk_ = position;
    const auto passed = ahead_.upper_bound(position);
    freed = passed != ahead_.begin();
    ahead_.erase(ahead_.begin(), passed);
  }
  if (freed) changed_.notify_all();
}

// A worker may go on when it must stop or, while reading ahead is on, when nothing is left for
// anyone, or when the first folder waiting is behind the walk (dropped at once) or within the
// look-ahead. A folder that comes before one already taken may exceed the look-ahead up to twice
// its size: the walk needs it sooner.
bool ReadAhead::ready() const {
  if (stopping_) return true;
  if (!active_) return false;
  if (pending_.empty()) return busy_ == 0;
  const Position& first = pending_.begin()->first;
  if (!(walk_ < first)) return true;
  if (ahead_.size() < lookahead_) return true;
  return ahead_.size() < 2 * lookahead_ && first < *ahead_.rbegin();
}

void ReadAhead::work() {
  Scratch s;
  for (const std::string& m : masks_) s.masks.emplace_back(m);
  std::vector<std::string> subfolders;

  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return ready(); });
    if (stopping_ || pending_.empty()) break;
    auto node = pending_.extract(pending_.begin());
    const Position& position = node.key();
    const bool ahead = walk_ < position;
    // A folder the walk has passed needs nothing; one it is inside still leads to the folders
    // after it, and only its listing is needed (the walk has read its files).
    if (!ahead && !isPrefix(position, walk_)) continue;
    if (ahead) ahead_.insert(position);
    ++busy_;
    lock.unlock();
    subfolders.clear();
    try {
      visit(s, position, node.mapped(), ahead, subfolders);
    } catch (...) {
      subfolders.clear();  // out of memory: this folder's subtree is left to the walk
    }
    lock.lock();
    --busy_;
    Position child = position;
    child.push_back(0);
    for (std::size_t i = 0; i < subfolders.size(); ++i) {
      child.back() = static_cast<std::uint32_t>(i);
      std::string path = node.mapped() + subfolders[i];
      path.push_back(PathDelim);
      pending_.emplace(child, std::move(path));
    }
    changed_.notify_all();
  }
  lock.unlock();
  changed_.notify_all();  // the others see the end too
}

void ReadAhead::visit(Scratch& s, const Position& position, const std::string& folder,
                      bool readFiles, std::vector<std::string>& subfolders) {
  // A start folder may be a link, as the walk opens it; a subfolder never is.
  const int noFollow = position.size() > 1 ? O_NOFOLLOW : 0;
  const UniqueFd dir(::openat(AT_FDCWD, folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | noFollow));
  if (!dir) return;
  FolderListing listing(dir.get(), s.listing, FolderListing::Borrowed{});

  if (readFiles) {
    ++foldersListed_;
    // The candidates the walk will test, tested the same way: status, filters, then contents.
    const NameMask& mask = s.masks[position.front()];
    const bool readContents = snap_.HasText && !snap_.Text.empty();
    s.entries.clear();
    while (const FolderEntry* e = listing.next())
      if (e->d_name[0] != '.' && mask.matches(e->d_name)) s.entries.push_back(*e);
    std::sort(s.entries.begin(), s.entries.end(), [](const FolderEntry& a, const FolderEntry& b) {
      return compareNames(a.d_name, b.d_name) < 0;
    });
    for (const FolderEntry& e : s.entries) {
      if (stop_.load(std::memory_order_relaxed)) return;
      bool isRegular = false;
      if (!listing.describe(&e, s.data, isRegular)) continue;
      if (!readContents || !isRegular || !passesFilters(snap_, folder, e.d_name, s.data, s.path))
        continue;
      // The walk's first read of the file, started without waiting for it: the disk fetches it
      // while this worker goes on to the next candidate.
      const std::uint64_t size =
          (static_cast<std::uint64_t>(s.data.nFileSizeHigh) << 32) | s.data.nFileSizeLow;
      const UniqueFd file(
          ::openat(dir.get(), e.d_name, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
      if (!file) continue;
      ::readahead(file.get(), 0, std::min<std::uint64_t>(size, ContentMatcher::kReadSize));
      ++filesRead_;
    }
  }
  if (!snap_.Subfolders || stop_.load(std::memory_order_relaxed)) return;

  listing.rewind();
  s.entries.clear();
  while (const FolderEntry* e = listing.next())
    if (e->d_name[0] != '.' && listing.isFolder(e)) s.entries.push_back(*e);
  std::sort(s.entries.begin(), s.entries.end(), [](const FolderEntry& a, const FolderEntry& b) {
    return compareNames(a.d_name, b.d_name) < 0;
  });
  for (const FolderEntry& e : s.entries) subfolders.emplace_back(e.d_name);
}

}  // namespace pitkit
