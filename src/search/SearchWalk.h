#pragma once
// The engine of a search run: the walk over the targets, the acceptance test of each entry
// (attributes, size, dates, exclusions, contents) and the content test. It reads only the run
// snapshot and reports through a small sink, so the same walk serves both run modes.
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/DateTime.h"
#include "platform/FindData.h"
#include "platform/FolderChain.h"

namespace pitkit {

struct TSearchRec;
class ReadAhead;

// The set of attribute members as bits in TFileAttribute order (archive, read-only, hidden,
// system, directory), from the platform attribute bits; other bits are ignored.
std::uint8_t attributeSetBits(std::uint32_t platformAttr);

// What a run reads: taken by Execute, never changed while the run goes on.
struct RunSnapshot {
  std::vector<std::string> Targets;  // absolute folder ending in the separator, then a name mask
  std::vector<std::string> ExcludeFiles;
  bool Subfolders = true;
  std::uint8_t Attributes = 0;  // TFileAttributes bits
  bool ExactAttribute = false;
  TDateTime CreatedBefore = 0, CreatedAfter = 0;
  TDateTime ModifiedBefore = 0, ModifiedAfter = 0;
  TDateTime AccessedBefore = 0, AccessedAfter = 0;
  std::int32_t SizeMin = 0, SizeMax = 0;
  bool HasText = false;  // false: no content test
  bool IgnoreCase = true;
  std::string Text;  // the text to find, cut at its first NUL byte
  std::size_t ReadAheadWorkers = 0;  // threads reading ahead of the walk; 0: none
  bool ReadAheadAlways = false;      // read ahead also over a tree already in memory
};

// A path made absolute against the current folder. When the current folder cannot be named (it
// was removed), a relative path stays relative ("." for an empty one): opened from the working
// folder it lists nothing, where a path built from an empty current folder would be the file
// system's top.
std::string absolutePath(const std::string& path);

// The date test of a date-time against a Before and an After bound (0: no bound). A bound
// without a time part compares dates only; one without a date part compares times of day only.
bool dateInRange(TDateTime t, TDateTime before, TDateTime after);

// The exclusion match of a path (folder and name) against an exclusion mask, case ignored: the
// mask's folder part, if any, must equal the trailing part of the path's folder part; in the name
// part '*' runs up to the next '.' of the name and never crosses it, '?' stands for one character
// other than '.', and an empty name part matches any name.
bool exclusionMatches(const std::string& path, const std::string& mask);

// The acceptance test of an entry short of its contents: attributes, size, dates and exclusions.
// `scratch` is reused for the exclusion path.
bool passesFilters(const RunSnapshot& snap, const std::string& folder, const char* name,
                   const TWin32FindData& fd, std::string& scratch);

// Looks for a byte text in files. Letters a to z fold onto A to Z when case is ignored, nothing
// else; a NUL byte in a file never matches. The text is found wherever it lies, also across the
// boundary of two reads, and reading stops at the first match. One buffer serves every file.
class ContentMatcher {
 public:
  ContentMatcher(std::string_view text, bool ignoreCase);

  // True when the file `name` in the folder open as `dirFd` holds the text. `size` is the file's
  // size; reading stops there. A file that cannot be opened gives false; a read error ends the
  // file with the answer found so far.
  bool fileContains(int dirFd, const char* name, std::uint64_t size);
  // True when `data` holds the text (the same comparison, for a block in memory).
  bool bytesContain(std::string_view data) const;
  // Asked between reads of a long file: true gives up the file (a run being stopped).
  void setStopCheck(std::function<bool()> stop) { stop_ = std::move(stop); }

  static constexpr std::size_t kReadSize = 64 * 1024;

 private:
  // Position of the first match in [data, data + len), or len when there is none.
  std::size_t find(const char* data, std::size_t len) const;

  std::string text_;  // folded when case is ignored
  bool ignoreCase_;
  unsigned char table_[256];  // byte -> comparison form
  std::size_t anchor_ = std::string::npos;
  std::vector<char> buffer_;
  std::function<bool()> stop_;
};

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
