#include "platform/TreeWalk.h"

#include "platform/Posix.h"

#include <cerrno>
#include <utility>

#include "platform/FindData.h"

#ifndef STATX_ATTR_MOUNT_ROOT
#define STATX_ATTR_MOUNT_ROOT 0x00002000
#endif

namespace pitkit {

namespace {

// True when the open folder `fd` lies on another file system than `dev`, or is a mount point
// (a folder of the same file system mounted on itself keeps its device number).
bool isOtherMount(int fd, dev_t dev) {
  struct statx sx {};
  if (::statx(fd, "", AT_EMPTY_PATH, STATX_INO, &sx) == 0)
    return makedev(sx.stx_dev_major, sx.stx_dev_minor) != dev ||
           (sx.stx_attributes_mask & sx.stx_attributes & STATX_ATTR_MOUNT_ROOT) != 0;
  struct stat st {};
  return ::fstat(fd, &st) == 0 && st.st_dev != dev;
}

}  // namespace

TreeWalk::TreeWalk(std::size_t budget) : chain_(budget) {}

std::string TreeWalk::pathOf(std::string_view name) const {
  if (path_.empty()) return std::string(name);
  std::string path;
  path.reserve(path_.size() + 1 + name.size());
  path.append(path_).push_back('/');
  path.append(name);
  return path;
}

void TreeWalk::begin(int fd) {
  chain_.start(fd);
  frames_.clear();
  path_.clear();
  stopped_ = false;
  nextPass_ = 0;
  struct stat st {};
  dev_ = ::fstat(fd, &st) == 0 ? st.st_dev : 0;
  frames_.emplace_back();
  frames_.back().writable = true;  // the start folder is the caller's, never changed here
}

void TreeWalk::run(int fd, Visitor& visitor) {
  begin(fd);
  list(frames_.back());
  visitor.listed(*this);
  loop(visitor);
}

void TreeWalk::runOne(int parentFd, const std::string& name, unsigned char type, Visitor& visitor) {
  begin(parentFd);
  Frame& start = frames_.back();
  start.names.push_back(static_cast<char>(type));
  start.names.append(name);
  start.names.push_back('\0');
  loop(visitor);
}

void TreeWalk::list(Frame& frame) {
  frame.names.clear();
  frame.next = 0;
  const int dirFd = chain_.fd();
  if (dirFd < 0) return;
  FolderListing listing(dirFd, buffer_, FolderListing::Borrowed{});
  while (const FolderEntry* entry = listing.next()) {
    frame.names.push_back(static_cast<char>(entry->d_type));
    frame.names.append(entry->d_name);
    frame.names.push_back('\0');
  }
}

void TreeWalk::forEachName(const std::function<void(std::string_view, unsigned char)>& f) const {
  if (frames_.empty()) return;
  const std::string& names = frames_.back().names;
  for (std::size_t pos = 0; pos < names.size();) {
    const std::string_view name(names.c_str() + pos + 1);
    f(name, static_cast<unsigned char>(names[pos]));
    pos += name.size() + 2;
  }
}

int TreeWalk::enter(const std::string& name) {
  if (!chain_.enter(name.c_str())) return errno;
  const int dirFd = chain_.fd();
  if (dirFd < 0 || isOtherMount(dirFd, dev_)) {
    const int err = dirFd < 0 ? errno : EXDEV;
    chain_.leave();
    return err;
  }
  Frame frame;
  frame.name = name;
  frame.outer = path_.size();
  frame.pass = std::exchange(nextPass_, 0);
  if (!path_.empty()) path_.push_back('/');
  path_.append(name);
  frames_.push_back(std::move(frame));
  list(frames_.back());
  return 0;
}

bool TreeWalk::makeWritable() {
  Frame& frame = frames_.back();
  if (frame.writable) return false;
  frame.writable = true;
  struct stat st {};
  const int dirFd = chain_.fd();
  return dirFd >= 0 && ::fstat(dirFd, &st) == 0 && ::fchmod(dirFd, (st.st_mode & 07777) | S_IRWXU) == 0;
}

// Takes the next name of the deepest folder to the visitor, or leaves that folder when its names
// are done; entering pushes the entered folder, so its names come next.
void TreeWalk::loop(Visitor& visitor) {
  while (!stopped_ && !frames_.empty()) {
    Frame& frame = frames_.back();
    if (frame.next < frame.names.size()) {
      const auto type = static_cast<unsigned char>(frame.names[frame.next]);
      name_.assign(frame.names.c_str() + frame.next + 1);
      frame.next += name_.size() + 2;
      ++frame.entries;
      const std::size_t depth = frames_.size();
      visitor.visit(*this, name_, type);
      if (frames_.size() > depth) visitor.listed(*this);
      continue;
    }
    if (frames_.size() == 1) break;  // the start folder is done
    const std::string name = std::move(frame.name);
    const Done done{frame.pass, frame.entries};
    path_.resize(frame.outer);
    frames_.pop_back();
    chain_.leave();
    nextPass_ = done.pass + 1;
    const std::size_t depth = frames_.size();
    visitor.left(*this, name, done);
    nextPass_ = 0;
    if (frames_.size() > depth) visitor.listed(*this);
  }
  frames_.clear();
}

}  // namespace pitkit
