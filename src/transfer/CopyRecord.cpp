#include "transfer/CopyRecord.h"

#include "platform/Posix.h"

#include <algorithm>
#include <cerrno>

#include "platform/TreeWalk.h"
#include "platform/UniqueFd.h"

namespace pitkit {

namespace {

std::int64_t changeTimeNs(const struct stat& st) {
  return static_cast<std::int64_t>(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
}

std::uint16_t typeOf(mode_t mode) { return static_cast<std::uint16_t>((mode & S_IFMT) >> 12); }

}  // namespace

void CopyRecord::start(const struct stat& st) {
  names_.clear();
  entries_.clear();
  order_.clear();
  dev_ = st.st_dev;
  entries_.push_back(Entry{0, 0, 0, 0, static_cast<std::uint64_t>(st.st_ino), st.st_size, changeTimeNs(st), 0,
                           typeOf(st.st_mode)});
  order_.push_back(kRoot);
  names_.push_back('\0');
}

CopyRecord::Node CopyRecord::add(Node parent, std::string_view name, const struct stat& st) {
  const auto node = static_cast<Node>(entries_.size());
  Entry& folder = entries_[parent];
  if (folder.childCount == 0) folder.firstChild = node;
  ++folder.childCount;
  entries_.push_back(Entry{parent, static_cast<std::uint32_t>(names_.size()), 0, 0,
                           static_cast<std::uint64_t>(st.st_ino), st.st_size, changeTimeNs(st),
                           static_cast<std::uint16_t>(name.size()), typeOf(st.st_mode)});
  names_.append(name);
  names_.push_back('\0');  // so that name(node).data() can go to the system as it is
  order_.push_back(node);
  return node;
}

void CopyRecord::childrenOf(Node folder, Node& first, Node& count) const {
  first = entries_[folder].firstChild;
  count = entries_[folder].childCount;
}

void CopyRecord::seal() {
  for (const Entry& e : entries_) {
    if (e.childCount < 2) continue;
    const auto begin = order_.begin() + e.firstChild;
    std::sort(begin, begin + e.childCount, [this](Node a, Node b) { return name(a) < name(b); });
  }
}

std::string_view CopyRecord::name(Node node) const {
  return {names_.data() + entries_[node].nameOffset, entries_[node].nameLength};
}

std::string CopyRecord::relativePath(Node node) const {
  std::vector<Node> chain;
  for (Node n = node; n != kRoot; n = entries_[n].parent) chain.push_back(n);
  std::string path;
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    if (!path.empty()) path.push_back('/');
    path.append(name(*it));
  }
  return path;
}

bool CopyRecord::sameEntry(const Entry& e, const struct stat& st, bool compareFolderTime, bool compareFileTime) {
  if (e.type != typeOf(st.st_mode) || e.ino != static_cast<std::uint64_t>(st.st_ino)) return false;
  if (S_ISDIR(st.st_mode)) return !compareFolderTime || e.ctimeNs == changeTimeNs(st);
  return e.size == st.st_size && (!compareFileTime || e.ctimeNs == changeTimeNs(st));
}

std::optional<CopyRecord::Node> CopyRecord::child(Node folder, std::string_view childName) const {
  const Entry& e = entries_[folder];
  const auto begin = order_.begin() + e.firstChild;
  const auto end = begin + e.childCount;
  const auto it = std::lower_bound(begin, end, childName, [this](Node n, std::string_view s) { return name(n) < s; });
  if (it == end || name(*it) != childName) return std::nullopt;
  return *it;
}

bool CopyRecord::unchanged(std::string_view relativePath, const struct stat& st, bool compareChangeTime) const {
  if (entries_.empty()) return false;
  Node node = kRoot;
  while (!relativePath.empty()) {
    const std::size_t cut = relativePath.find('/');
    const std::string_view part = relativePath.substr(0, cut);
    if (part.empty()) return false;
    const std::optional<Node> next = child(node, part);
    if (!next) return false;
    node = *next;
    relativePath = cut == std::string_view::npos ? std::string_view{} : relativePath.substr(cut + 1);
  }
  return st.st_dev == dev_ && sameEntry(entries_[node], st, false, compareChangeTime);
}

// firstChange's walk: each folder's names compared with the record as soon as it is listed, then
// its own status, then each entry's.
struct CopyRecord::Compare : TreeWalk::Visitor {
  const CopyRecord& record;
  std::string* mounted;
  std::vector<Node> folders{kRoot};  // the recorded folder of each depth of the walk
  std::vector<std::string_view> listed_;
  std::optional<std::string> change;

  Compare(const CopyRecord& r, std::string* mountedPath) : record(r), mounted(mountedPath) {}

  void changed(TreeWalk& walk, std::string path) {
    change = path.empty() ? std::string(".") : std::move(path);
    walk.stop();
  }

  void listed(TreeWalk& walk) override {
    const Node node = folders.back();
    listed_.clear();
    walk.forEachName([&](std::string_view name, unsigned char) { listed_.push_back(name); });
    std::sort(listed_.begin(), listed_.end());
    const Entry& e = record.entries_[node];
    std::size_t i = 0, j = 0;
    while (i < listed_.size() || j < e.childCount) {
      const Node recorded = j < e.childCount ? record.order_[e.firstChild + j] : kRoot;
      if (j == e.childCount || (i < listed_.size() && listed_[i] < record.name(recorded)))
        return changed(walk, walk.pathOf(listed_[i]));  // added
      if (i == listed_.size() || listed_[i] != record.name(recorded))
        return changed(walk, record.relativePath(recorded));  // removed
      ++i;
      ++j;
    }
    struct stat self {};
    const int fd = walk.fd();
    if (fd < 0 || ::fstat(fd, &self) != 0 || !sameEntry(e, self, true)) changed(walk, record.relativePath(node));
  }

  void visit(TreeWalk& walk, const std::string& name, unsigned char) override {
    const std::optional<Node> node = record.child(folders.back(), name);
    const int fd = walk.fd();
    if (fd < 0) return changed(walk, record.relativePath(folders.back()));
    struct stat st {};
    if (!node || ::fstatat(fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 || st.st_dev != record.dev_ ||
        !sameEntry(record.entries_[*node], st, false))
      return changed(walk, walk.pathOf(name));
    if (!S_ISDIR(st.st_mode)) return;
    const int err = walk.enter(name);
    if (err == EXDEV && mounted != nullptr) {
      // Mounted on itself: the same folder, which a delete cannot remove.
      if (mounted->empty()) *mounted = walk.pathOf(name);
      return;
    }
    if (err != 0) return changed(walk, walk.pathOf(name));
    folders.push_back(*node);
  }

  void left(TreeWalk&, const std::string&, const TreeWalk::Done&) override { folders.pop_back(); }
};

std::optional<std::string> CopyRecord::firstChange(const std::string& folder, std::string* mounted) const {
  if (entries_.empty()) return std::string(".");
  if (entries_[kRoot].type == typeOf(S_IFLNK)) {
    // A link copied as a link: only the link itself is compared.
    struct stat st {};
    if (::lstat(folder.c_str(), &st) != 0 || st.st_dev != dev_ || !sameEntry(entries_[kRoot], st, false))
      return std::string(".");
    return std::nullopt;
  }
  UniqueFd top(::openat(AT_FDCWD, folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  struct stat st {};
  if (!top || ::fstat(top.get(), &st) != 0 || st.st_dev != dev_ || !sameEntry(entries_[kRoot], st, false))
    return std::string(".");
  Compare compare(*this, mounted);
  TreeWalk().run(top.release(), compare);
  return compare.change;
}

}  // namespace pitkit
