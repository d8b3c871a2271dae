#include "platform/FinderLooks.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <condition_variable>
#include <cstdlib>
#include <memory>
#include <optional>
#include <system_error>
#include <thread>

#include "platform/FileSystem.h"
#include "platform/NameCase.h"
#include "platform/TextFile.h"
#ifdef _WIN32
#include "platform/win32/KnownPlaces.h"
#endif

namespace pitkit {
namespace finder {
namespace {

// The test hook. Never destroyed: a worker left blocked in a place may still reach it at exit.
struct LookHook {
  std::atomic<bool> set{false};
  std::mutex mutex;
  std::shared_ptr<const FinderLookHook> hook;
};
LookHook& lookHook() {
  static LookHook* instance = new LookHook;
  return *instance;
}

constexpr std::size_t kWorkers = 4;

struct PlaceQueue {
  LookAtPlace look;
  Clock::duration budget{};
  std::mutex mutex;
  std::condition_variable changed;
  std::size_t next = 0;                  // the first place no worker has taken
  std::vector<Clock::time_point> start;  // when each taken place was taken
  std::vector<char> done;
  bool over = false;  // the caller has gone on: take no more places
};

void work(const std::shared_ptr<PlaceQueue>& queue) {
  std::unique_lock lock(queue->mutex);
  while (!queue->over && queue->next < queue->start.size()) {
    const std::size_t place = queue->next++;
    const Clock::time_point start = Clock::now();
    queue->start[place] = start;
    queue->changed.notify_all();
    lock.unlock();
    queue->look(place, start + queue->budget);
    lock.lock();
    queue->done[place] = 1;
    queue->changed.notify_all();
  }
}

}  // namespace

void aboutToLook(const std::string& path) {
  LookHook& state = lookHook();
  if (!state.set.load(std::memory_order_acquire)) return;
  std::shared_ptr<const FinderLookHook> hook;
  {
    const std::lock_guard lock(state.mutex);
    hook = state.hook;
  }
  if (hook) (*hook)(path);
}

bool isFolder(const std::string& path) {
  aboutToLook(path);
  return directoryExists(path);
}

std::string realPathOf(const std::string& path) {
  aboutToLook(path);
#ifdef _WIN32
  const std::string real = win32::resolvedPath(path);
  return real.empty() ? path : real;
#else
  char buffer[PATH_MAX];
  return ::realpath(path.c_str(), buffer) != nullptr ? std::string(buffer) : path;
#endif
}

std::vector<DirectoryEntry> listFolder(const std::string& folder) {
  aboutToLook(folder);
  return listDirectory(folder);
}

std::vector<DirectoryEntry> subfolders(const std::string& folder) {
  std::vector<DirectoryEntry> folders;
  try {
    for (DirectoryEntry& entry : listFolder(folder))
      if (entry.isDirectory) folders.push_back(std::move(entry));
  } catch (const std::exception&) {
    return {};
  }
  std::sort(folders.begin(), folders.end(), [](const DirectoryEntry& a, const DirectoryEntry& b) {
    return compareNames(a.name, b.name) < 0;
  });
  return folders;
}

std::string readSmallFile(const std::string& path, std::size_t limit) {
  aboutToLook(path);
  try {
    return readRegularFile(path, limit);
  } catch (const std::exception&) {
    return {};
  }
}

void lookAtPlaces(std::size_t count, LookAtPlace look, std::chrono::milliseconds budget) {
  if (count == 0) return;
  auto queue = std::make_shared<PlaceQueue>();
  queue->look = std::move(look);
  queue->budget = budget;
  queue->start.resize(count);
  queue->done.resize(count);
  const auto startWorker = [&queue] {
    try {
      std::thread([queue] { work(queue); }).detach();
      return true;
    } catch (const std::system_error&) {  // out of threads
      return false;
    }
  };
  std::size_t workers = 0;
  for (std::size_t i = 0; i < std::min(count, kWorkers); ++i) workers += startWorker() ? 1 : 0;
  if (workers == 0) return work(queue);  // no time limits then, but every place
  std::vector<char> leftBehind(count);
  bool stuck = false;  // no worker could take the place of one left behind
  std::unique_lock lock(queue->mutex);
  while (true) {
    const Clock::time_point now = Clock::now();
    bool open = queue->next < count;
    std::optional<Clock::time_point> wake;
    for (std::size_t i = 0; i < queue->next; ++i) {
      if (queue->done[i] || leftBehind[i]) continue;
      const Clock::time_point limit = queue->start[i] + queue->budget;
      if (now >= limit) {
        leftBehind[i] = 1;
        if (queue->next < count && !startWorker()) stuck = true;
      } else {
        open = true;
        wake = std::min(wake.value_or(limit), limit);
      }
    }
    if (!open || stuck) break;
    if (wake)
      queue->changed.wait_until(lock, *wake);
    else
      queue->changed.wait(lock);
  }
  queue->over = true;
}

}  // namespace finder

void setFinderLookHook(FinderLookHook hook) {
  finder::LookHook& state = finder::lookHook();
  const std::lock_guard lock(state.mutex);
  state.hook = hook ? std::make_shared<const FinderLookHook>(std::move(hook)) : nullptr;
  state.set.store(state.hook != nullptr, std::memory_order_release);
}

}  // namespace pitkit
