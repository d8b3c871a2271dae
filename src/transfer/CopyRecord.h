#pragma once
// What a folder copy copied, entry by entry, so that a move deletes its source only when the
// source still holds exactly that.
#include "platform/Posix.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pitkit {

// The record of a copied tree: for each entry its name, parent folder, type, inode, size and change
// time (with nanoseconds) as they were when it was copied. Entries are numbered in the order they
// were added, the copied folder itself being 0; the children of one folder are added together, so
// they stay side by side. About 48 bytes an entry plus its name: 100,000 entries take a few MB, and
// a deep tree costs no more than a wide one.
class CopyRecord {
 public:
  using Node = std::uint32_t;
  static constexpr Node kRoot = 0;

  // Starts a new record for the folder described by `st`.
  void start(const struct stat& st);
  // Adds the entry `name` (described by `st`) of the recorded folder `parent`. All children of one
  // folder are added one after another, before any entry of another folder.
  Node add(Node parent, std::string_view name, const struct stat& st);
  // The children of `folder`: nodes [first, first + count).
  void childrenOf(Node folder, Node& first, Node& count) const;
  // Sorts each folder's children by name for the lookups below; called once the copy is complete.
  void seal();

  std::size_t size() const { return entries_.size(); }
  std::string_view name(Node node) const;
  Node parent(Node node) const { return entries_[node].parent; }
  ino_t inode(Node node) const { return static_cast<ino_t>(entries_[node].ino); }
  // The entry's path below the copied folder with '/' separators ("" for the folder itself).
  std::string relativePath(Node node) const;

  // True when `relativePath` (as relativePath() gives it) was copied and `st` still describes what
  // was copied: the same type and inode and, for all but folders, the same size and change time.
  // A folder's change time is not compared, as removing its entries changes it; nor a file's
  // without `compareChangeTime` (removing another name of a hard-linked file changes it).
  bool unchanged(std::string_view relativePath, const struct stat& st, bool compareChangeTime = true) const;

  // Compares the folder `folder` on disk with the record (after seal): returns the relative path of
  // the first entry added, removed or changed ("." for the folder itself), or nothing when it holds
  // exactly what was copied. A folder that cannot be read counts as changed. A folder mounted on
  // itself (it keeps its inode) counts as changed too; with `mounted` it is compared no further and
  // its path (the first such) goes there instead, for a caller that refuses it otherwise.
  std::optional<std::string> firstChange(const std::string& folder, std::string* mounted = nullptr) const;

 private:
  struct Compare;
  struct Entry {
    std::uint32_t parent;
    std::uint32_t nameOffset;
    std::uint32_t firstChild;  // children: [firstChild, firstChild + childCount) of order_
    std::uint32_t childCount;
    std::uint64_t ino;
    std::int64_t size;
    std::int64_t ctimeNs;
    std::uint16_t nameLength;
    std::uint16_t type;  // st_mode's file type bits, shifted down
  };
  static bool sameEntry(const Entry& e, const struct stat& st, bool compareFolderTime, bool compareFileTime = true);
  std::optional<Node> child(Node folder, std::string_view name) const;

  std::string names_;           // all names, one after another
  std::vector<Entry> entries_;  // in the order they were added
  std::vector<Node> order_;     // entries_ indices; each folder's children sorted by name after seal()
  dev_t dev_ = 0;
};

}  // namespace pitkit
