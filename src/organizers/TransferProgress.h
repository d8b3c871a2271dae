#pragma once
// The progress and the cancel request shared by a long folder transfer and the window showing it.
#include <atomic>
#include <cstdint>

#include "platform/Errors.h"

namespace pitkit {

// Counters a long copy or delete advances as it goes, read by another thread to show progress.
struct TransferProgress {
  std::atomic<std::uint64_t> entries{0};  // files, links and folders done
  std::atomic<std::uint64_t> bytes{0};    // file contents copied
  // Set by the window to stop a move; honoured until the copy is in place.
  std::atomic<bool> cancelRequested{false};
  // Set by a move once its copy is in place and the source is being removed: stopping then would
  // leave half a source, so a cancel is no longer taken.
  std::atomic<bool> committed{false};
};

// Raised by a copy that stopped because cancelRequested was set; its partial copy is removed.
class ETransferCancelled : public Exception {
 public:
  using Exception::Exception;
};

}  // namespace pitkit
