#pragma once
// The one walk over a folder tree that the copy, the delete and their checks share. It keeps the
// rules every walk must follow: no recursion (its own stack, so no depth exhausts the thread's
// stack), no symbolic link followed (folders are opened with O_NOFOLLOW relative to their parent),
// never into another file system (nor a folder mounted on itself), and a bounded number of open
// descriptors however deep the tree (FolderChain). Each folder's names are read whole before the
// first of them is visited, so a visitor that removes or adds entries never disturbs the listing.
#include "platform/Posix.h"

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <deque>
#include <vector>

#include "platform/FolderChain.h"

namespace pitkit {

// Walks a folder tree depth first, handing each entry to a Visitor, which decides what is entered.
class TreeWalk {
 public:
  // How a folder's walk ended, given when it has been left.
  struct Done {
    int pass = 0;             // 0, or how many times the folder was listed again
    std::size_t entries = 0;  // the names visited in its last listing
  };

  // What a walk does with its entries. Every call happens in the folder the entry belongs to:
  // walk.fd() is that folder and walk.path() its path below the start.
  class Visitor {
   public:
    virtual ~Visitor() = default;
    // The current folder has just been entered and listed (walk.forEachName gives its names).
    virtual void listed(TreeWalk& /*walk*/) {}
    // An entry of the current folder, with the type its listing gives (a DT_ value, DT_UNKNOWN
    // where the file system tells none). Calling walk.enter(name) walks into it: its entries come
    // next, and this folder's remaining ones once it has been left.
    virtual void visit(TreeWalk& walk, const std::string& name, unsigned char type) = 0;
    // The folder `name` of the current folder has been walked and left. Calling walk.enter(name)
    // here lists it once more and walks it again (walk.pass() then counts up).
    virtual void left(TreeWalk& /*walk*/, const std::string& /*name*/, const Done& /*done*/) {}
  };

  explicit TreeWalk(std::size_t budget = FolderChain::kDefaultBudget);
  TreeWalk(const TreeWalk&) = delete;
  TreeWalk& operator=(const TreeWalk&) = delete;

  // Walks the entries of the open folder `fd` (the walk owns it from then on) and below; the walk
  // stays on `fd`'s file system. Exceptions of the visitor end the walk and pass through.
  void run(int fd, Visitor& visitor);
  // Visits only the entry `name` (of listing type `type`) of the open folder `parentFd` (owned from
  // then on), and what is below it when the visitor enters it; for a walk that removes `name` too.
  void runOne(int parentFd, const std::string& name, unsigned char type, Visitor& visitor);

  // Within a visitor's call: enters the folder `name` of the current folder and lists it. Returns
  // 0, or the system's error (ENOENT gone, ENOTDIR or ELOOP not a folder, a link among them),
  // or EXDEV when it lies on another file system or is a mount point; the walk then stays where
  // it is. A visit enters one folder at the most.
  int enter(const std::string& name);
  // The current folder's descriptor; -1 with errno set when it could not be reopened (ESTALE: its
  // name now leads to another folder).
  int fd() { return chain_.fd(); }
  // The current folder's path below the start ('/' separated, "" for the start folder), and the
  // path of its entry `name`.
  const std::string& path() const { return path_; }
  std::string pathOf(std::string_view name) const;
  // Folders from the start down to the current one (1 in the start folder).
  std::size_t depth() const { return frames_.size(); }
  // How many times the current folder was listed before its present listing.
  int pass() const { return frames_.empty() ? 0 : frames_.back().pass; }
  // Calls `f(name, type)` for each name of the current folder's listing.
  void forEachName(const std::function<void(std::string_view, unsigned char)>& f) const;
  // Gives the owner read, write and search access to the current folder, once per folder, so that
  // its entries can go (the owner's read-only folders). False when it was done already, for the
  // start folder (the caller's), or when the folder cannot be reached.
  bool makeWritable();
  // Ends the walk after the visitor's present call.
  void stop() { stopped_ = true; }
  // Descriptors the walk holds open right now.
  std::size_t openDescriptors() const { return chain_.openCount(); }

 private:
  struct Frame {
    std::string name;        // in its parent
    std::string names;       // the listing: for each entry its type byte, its name and a NUL
    std::size_t next = 0;    // position in names
    std::size_t outer = 0;   // length of path_ without this folder
    std::size_t entries = 0;
    int pass = 0;
    bool writable = false;
  };
  void begin(int fd);
  void list(Frame& frame);
  void loop(Visitor& visitor);

  FolderChain chain_;
  // A deque: a deep walk adds its frames without moving the ones before (no doubling copies).
  std::deque<Frame> frames_;
  std::vector<char> buffer_;  // one listing at a time
  std::string path_;
  std::string name_;  // the entry being visited
  dev_t dev_ = 0;
  int nextPass_ = 0;  // the pass of a folder entered again from left()
  bool stopped_ = false;
};

}  // namespace pitkit
