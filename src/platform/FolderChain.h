#pragma once
// The chain of open folders from a start folder down to the folder a walk is working in, for the
// copy, the delete and the search, which go to any depth. However deep the walk goes, at most a
// fixed number of descriptors stays open: past it the shallowest ones (never the start folder's)
// are closed, and a closed folder is reopened by name from the deepest ancestor still open when
// the walk comes back to it, checked to be the very folder it was.
#include "platform/Posix.h"

#include <cstddef>
#include <string>
#include <deque>
#include <vector>

#include "platform/UniqueFd.h"

namespace pitkit {

// The open folders from a walk's start folder down to its current folder, within a budget.
class FolderChain {
 public:
  // Enough for any real level, and far below the usual limit of 1024 open files even for the
  // copy, which keeps two chains.
  static constexpr std::size_t kDefaultBudget = 48;

  explicit FolderChain(std::size_t budget = kDefaultBudget);
  FolderChain(const FolderChain&) = delete;
  FolderChain& operator=(const FolderChain&) = delete;

  // Starts the chain at an open folder descriptor, which the chain owns from then on.
  void start(int fd);
  // Opens the subfolder `name` of the current folder, never through a symbolic link, and makes it
  // current. Returns false with errno set when it cannot be opened; the chain is then unchanged.
  bool enter(const char* name);
  // Closes the current folder; its parent becomes current.
  void leave();
  // The current folder's descriptor, reopened when the budget had closed it; -1 with errno set
  // when it cannot be reopened (ESTALE when its name now leads to another folder).
  int fd();
  // Folders in the chain, the start folder included.
  std::size_t depth() const { return frames_.size(); }
  // Descriptors held open right now.
  std::size_t openCount() const;

 private:
  struct Frame {
    std::string name;
    UniqueFd fd;  // none while the budget keeps this folder closed
    dev_t dev = 0;
    ino_t ino = 0;
  };
  void trim();

  // A deque: a deep walk adds its frames without moving the ones before (no doubling copies).
  std::deque<Frame> frames_;
  std::size_t budget_;
  // Frames [1, firstOpen_) are closed, the start frame and [firstOpen_, depth) are open.
  std::size_t firstOpen_ = 1;
};

}  // namespace pitkit
