#pragma once
// The progress and the cancel request shared by a long folder transfer and the window showing it.
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

#include "platform/Errors.h"

namespace pitkit {

// Counters a long copy or delete advances as it goes, read by another thread to show progress.
struct TransferProgress {
  std::atomic<std::uint64_t> entries{0};  // files, links and folders done
  std::atomic<std::uint64_t> bytes{0};    // file contents copied (a sparse file's holes too)
  // What the whole transfer does, counted by the walk that checks the folder before it starts: 0
  // until that walk has ended (then the transfer's own walk has nothing to count by).
  std::atomic<std::uint64_t> totalEntries{0};
  std::atomic<std::uint64_t> totalBytes{0};
  // Set by the window to stop a move; honoured until the copy is in place.
  std::atomic<bool> cancelRequested{false};
  // Set by a move once its copy is in place and the source is being removed: stopping then would
  // leave half a source, so a cancel is no longer taken.
  std::atomic<bool> committed{false};
  // Set by a batch while folders wait after the one in hand: a cancel is then taken even once the
  // one in hand is committed, and stops those that wait.
  std::atomic<bool> moreToCome{false};

  // Whether a cancel asked for now still stops something.
  bool cancelTakesEffect() const { return !committed || moreToCome; }

  // The entry being copied or removed, relative to the transferred folder ('/' separated).
  void setCurrentItem(std::string_view relativePath) {
    const std::lock_guard<std::mutex> lock(mutex_);
    currentItem_.assign(relativePath);
  }
  std::string currentItem() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return currentItem_;
  }

  // The next folder of a batch begins: its counts start again from nothing, and a cancel may be
  // taken again. A cancel already asked for stays asked for.
  void startNextFolder() {
    entries = 0;
    bytes = 0;
    totalEntries = 0;
    totalBytes = 0;
    committed = false;
    setCurrentItem({});
  }

 private:
  mutable std::mutex mutex_;
  std::string currentItem_;
};

// How far a transfer has got, in whole percent (0 to 100), or -1 while its totals are not known.
// An entry weighs as much as kBytesPerEntry bytes of contents, so that a copy of many small files
// and one of a few big ones both advance evenly.
inline constexpr std::uint64_t kBytesPerEntry = 64 * 1024;
inline int transferPercent(std::uint64_t entries, std::uint64_t bytes, std::uint64_t totalEntries,
                           std::uint64_t totalBytes) {
  if (totalEntries == 0 && totalBytes == 0) return -1;
  const double done = static_cast<double>(entries) * kBytesPerEntry + static_cast<double>(bytes);
  const double total = static_cast<double>(totalEntries) * kBytesPerEntry + static_cast<double>(totalBytes);
  // A file that grew, or holes a copy skips, never take it past either end.
  return done >= total ? 100 : static_cast<int>(done * 100 / total);
}

// The same for the counters of `progress`.
inline int transferPercent(const TransferProgress& progress) {
  return transferPercent(progress.entries, progress.bytes, progress.totalEntries, progress.totalBytes);
}

// Raised by a copy that stopped because cancelRequested was set; its partial copy is removed.
class ETransferCancelled : public Exception {
 public:
  using Exception::Exception;
};

}  // namespace pitkit
