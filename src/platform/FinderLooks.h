#pragma once
// The looks of the game finder: every path it lists, tests, resolves or reads goes through these
// (so that the test hook sees it), and the places it looks at are shared out to a few workers,
// each place with a time limit of its own.
#include <chrono>
#include <cstddef>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "platform/DirectoryList.h"
#include "platform/GameFinder.h"

namespace pitkit::finder {

using Clock = std::chrono::steady_clock;

// Calls the test hook, if any, with the path about to be looked at. The looks below call it.
void aboutToLook(const std::string& path);
bool isFolder(const std::string& path);
// The path with links resolved; the path itself when it cannot be.
std::string realPathOf(const std::string& path);
std::vector<DirectoryEntry> listFolder(const std::string& folder);
// The subfolders of `folder`, sorted by name; none when it cannot be listed.
std::vector<DirectoryEntry> subfolders(const std::string& folder);
// The bytes of a regular file of at most `limit` bytes; "" for anything else (a pipe or device
// standing there, a file too large, one that cannot be read). Opened without waiting, so a pipe
// cannot hang the search.
std::string readSmallFile(const std::string& path, std::size_t limit);

// What the places found, kept per place in the order found. Shared with the workers: one still
// blocked in a place when the caller takes the findings adds nothing afterwards.
template <typename T>
class Findings {
 public:
  explicit Findings(std::size_t places) : perPlace_(places) {}
  void add(std::size_t place, T item) {
    const std::lock_guard lock(mutex_);
    if (!taken_) perPlace_[place].push_back(std::move(item));
  }
  std::vector<std::vector<T>> take() {
    const std::lock_guard lock(mutex_);
    taken_ = true;
    return std::move(perPlace_);
  }

 private:
  std::mutex mutex_;
  bool taken_ = false;
  std::vector<std::vector<T>> perPlace_;
};

// A few workers take the places in turn. `look(place, deadline)` reports to its Findings as it
// goes and should stop at the deadline, which it cannot when the system holds it.
using LookAtPlace = std::function<void(std::size_t place, Clock::time_point deadline)>;

// Looks at `count` places, each for at most `budget` from when a worker takes it up, and returns
// once every place is done or out of time. A worker held in a place past its time is left there
// (a thread blocked in a stopped mount cannot be stopped, and it owns all it uses) and another
// takes its turn. Several places are looked at together, so a few slow ones cost one budget.
void lookAtPlaces(std::size_t count, LookAtPlace look, std::chrono::milliseconds budget);

}  // namespace pitkit::finder
