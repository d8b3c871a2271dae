#pragma once
// Copying the single entries of a folder tree: a regular file with its contents, holes, extended
// attributes, permission bits and times, and a symbolic link as a link. The walk over the tree is
// in FolderCopy.
#include "platform/Posix.h"

#include <cstddef>
#include <string>
#include <vector>

#include "platform/LazyPath.h"
#include "transfer/TransferProgress.h"

namespace pitkit {

// The kernel's in-file copy call, replaceable for tests that need it to end a file early.
using CopyRangeCall = ssize_t (*)(int inFd, off_t* inOffset, int outFd, off_t* outOffset, std::size_t length,
                                  unsigned flags);
// nullptr restores copy_file_range.
void setCopyRangeCall(CopyRangeCall call);

// What one folder copy carries from entry to entry: its progress and cancel request, its buffer,
// and whether the kernel's in-file copy call still works for it.
struct CopyContext {
  TransferProgress* progress = nullptr;
  std::vector<char> buffer;   // for read and write, and for extended attributes
  bool tryCopyRange = true;  // cleared for the whole copy once the kernel refuses the call

  // Raises ETransferCancelled once the window has asked the copy to stop.
  void checkCancel() const {
    if (progress != nullptr && progress->cancelRequested.load(std::memory_order_relaxed))
      throw ETransferCancelled("Cancelled");
  }
  // The shared buffer, grown to at least `size` bytes.
  char* scratch(std::size_t size) {
    if (buffer.size() < size) buffer.resize(size);
    return buffer.data();
  }
};

// Raises EOSError(err, "Cannot copy <path>").
[[noreturn]] void failCopy(int err, const std::string& path);

// Copies the regular file `name` of the folder `srcDir` to a new file of that name in `dstDir`
// (never replacing one), whole or not at all: a source whose length changed meanwhile is refused.
// `path` names the source in errors.
void copyFileAt(int srcDir, int dstDir, const char* name, const std::string& path, CopyContext& ctx);
// Copies the symbolic link `name` (described by `st`) of `srcDir` as a link into `dstDir`.
void copyLinkAt(int srcDir, int dstDir, const char* name, const struct stat& st, const std::string& path);
// The target of the link `name` of `dirFd`; `sizeHint` is the link's size from its stat.
std::string readLinkAt(int dirFd, const char* name, std::size_t sizeHint, const std::string& path);
// Extended attributes of `in` onto `out`, where the destination takes them; one the destination
// refuses raises EOSError naming it ("Cannot copy extended attribute <name> of <path>").
void copyXattrs(int in, int out, const LazyPath& path, CopyContext& ctx);
// Owner (when run by root), permission bits and times of `st` applied to the open `fd`.
void applyAttributes(int fd, const struct stat& st, const LazyPath& path);

}  // namespace pitkit
