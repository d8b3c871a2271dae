#pragma once
// The engine of a search run: the walk over the targets, which tests each entry with the run's
// filters (SearchFilter.h) and its content matcher (ContentMatch.h). It reads only the run
// snapshot and reports through a small sink, so the same walk serves both run modes.
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "platform/FolderChain.h"
#include "search/ContentMatch.h"
#include "search/SearchFilter.h"

namespace pitkit {

struct TSearchRec;
class ReadAhead;

// A path made absolute against the current folder. When the current folder cannot be named (it
// was removed), a relative path stays relative ("." for an empty one): opened from the working
// folder it lists nothing, where a path built from an empty current folder would be the file
// system's top.
std::string absolutePath(const std::string& path);

// Where the walk reports. newFolder answers whether to search the folder.
class WalkSink {
 public:
  virtual ~WalkSink() = default;
  virtual bool newFolder(const std::string& folder) = 0;
  virtual void found(const std::string& folder, TSearchRec& entry) = 0;
  // True when the walk must stop (Aborted, or a worker asked to end).
  virtual bool stopRequested() const = 0;
};

// Walks every target of the snapshot: each folder is announced before it is searched, all its
// matching entries are tested and reported before its first subfolder is entered (depth first, in
// name order, letter case ignored), names beginning with "." are neither reported nor entered,
// linked folders are not entered. A folder that cannot be opened is passed over and counted; the
// walk goes on with the rest. Open folders stay within a fixed budget at any depth. Errors are
// not caught here. With ReadAheadWorkers set, worker threads list and read the folders it will
// enter next, so that it finds them in memory; what it reports does not change.
class SearchWalk {
 public:
  SearchWalk(const RunSnapshot& snapshot, WalkSink& sink);
  ~SearchWalk();
  void run();
  // Folders that were there but could not be opened (no access, too many open files, ...).
  std::size_t skippedFolders() const { return skipped_; }

  // The folder part (up to and including the last separator, made absolute) and the mask of a target.
  static void splitTarget(const std::string& target, std::string& folder, std::string& mask);

 private:
  // Searches the start folder `folder` (name null) or the subfolder `name` of the current folder.
  void searchFolder(const char* name, std::string& folder, const NameMask& mask);
  void skip(int err);
  bool accept(const std::string& folder, FolderListing& listing, const FolderEntry* entry);

  ListingBuffers listingBuffers_;
  std::deque<std::vector<FolderEntry>> entryLists_;  // a pass's entries in name order, one per depth, reused
  std::size_t depth_ = 0;
  FolderChain chain_;
  std::size_t skipped_ = 0;

  const RunSnapshot& snap_;
  WalkSink& sink_;
  ContentMatcher* content_ = nullptr;
  TSearchRec* rec_ = nullptr;  // one record reused for every entry
  std::string path_;           // scratch for exclusion paths
  ReadAhead* readAhead_ = nullptr;
  std::vector<std::uint32_t> position_;  // the current folder's place in the walk order
};

}  // namespace pitkit
