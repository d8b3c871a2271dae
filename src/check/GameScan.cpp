#include "check/GameScan.h"

#include "platform/Posix.h"

#include <cerrno>

#include "platform/TreeWalk.h"

namespace pitkit {

namespace {

class ScanVisitor : public TreeWalk::Visitor {
 public:
  explicit ScanVisitor(ScannedTree& tree) : tree_(tree) {}

  void listed(TreeWalk& walk) override {
    open_.push_back(tree_.folders.size());
    tree_.folders.push_back({walk.path(), {}, {}});
  }

  void left(TreeWalk&, const std::string&, const TreeWalk::Done&) override { open_.pop_back(); }

  void visit(TreeWalk& walk, const std::string& name, unsigned char type) override {
    const int fd = walk.fd();
    if (type == DT_UNKNOWN) {
      struct stat st {};
      if (fd < 0 || ::fstatat(fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return;  // gone meanwhile
      type = S_ISDIR(st.st_mode) ? DT_DIR : S_ISREG(st.st_mode) ? DT_REG : DT_LNK;
    }
    if (type == DT_DIR) {
      const std::size_t parent = open_.back();
      const std::string path = walk.pathOf(name);
      const int error = walk.enter(name);
      if (error == 0) {
        tree_.folders[parent].folders.push_back(name);
      } else if (error != ENOENT && error != ENOTDIR && error != ELOOP && error != EXDEV) {
        tree_.folders[parent].folders.push_back(name);
        tree_.unreadable.push_back({path, true, error});
      }
      return;
    }
    if (type != DT_REG) return;  // links and special files are no part of an item
    // The effective user's access, as an open would be judged, without opening the file.
    if (fd >= 0 && ::faccessat(fd, name.c_str(), R_OK, AT_EACCESS) != 0) {
      if (errno == ENOENT) return;  // gone meanwhile
      tree_.unreadable.push_back({walk.pathOf(name), false, errno});
    }
    tree_.folders[open_.back()].files.push_back(name);
  }

 private:
  ScannedTree& tree_;
  std::vector<std::size_t> open_;  // the folders being walked, outermost first
};

}  // namespace

bool ScannedTree::isUnreadable(const std::string& path) const {
  for (const UnreadableEntry& entry : unreadable)
    if (!entry.folder && entry.path == path) return true;
  return false;
}

ScannedTree scanTree(const std::string& root) {
  ScannedTree tree;
  // The folder itself may be a link (a levels folder kept on another disk); below it none is followed.
  const int fd = ::openat(AT_FDCWD, root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) {
    if (errno != ENOENT && errno != ENOTDIR) tree.unreadable.push_back({"", true, errno});
    return tree;
  }
  ScanVisitor visitor(tree);
  TreeWalk walk;
  walk.run(fd, visitor);
  return tree;
}

}  // namespace pitkit
