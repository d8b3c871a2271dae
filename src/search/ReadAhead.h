#pragma once
// Read-ahead for the search walk: a few worker threads go over the folders the walk will enter
// next, in the walk's own order, list them, look up their candidate files and start the walk's
// first read of each (readahead, no waiting for the data), so that a walk over a cold tree finds
// them in memory instead of waiting on the disk one request at a time. The workers report
// nothing; the walk's order and events do not depend on them.
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace pitkit {

struct RunSnapshot;

class ReadAhead {
 public:
  // Where a folder comes in the walk: the index of its target, then its index among the sorted
  // subfolders of each folder above it. Comparing two positions compares their walk order.
  using Position = std::vector<std::uint32_t>;

  // Folders the workers may have taken ahead of the walk at any time.
  static constexpr std::size_t kLookahead = 48;
  static constexpr std::size_t kMaxWorkers = 16;

  // Folders the walk enters between two looks at the disk reads, before and after they started.
  static constexpr std::size_t kIdleWindow = 8;
  static constexpr std::size_t kActiveWindow = 16;
  // Looks in a row without a disk read after which the workers rest.
  static constexpr std::size_t kQuietWindows = 4;

  // When the workers start: once the process is seen reading from the disk while the walk goes
  // on (a tree in memory needs no reading ahead), or at once.
  enum class Start { WhenTheWalkWaits, AtOnce };

  // Reads ahead over the targets of `snapshot`, which must outlive this object, with `workers`
  // threads (at most kMaxWorkers; fewer when the system refuses more).
  ReadAhead(const RunSnapshot& snapshot, std::size_t workers, std::size_t lookahead = kLookahead,
            Start start = Start::WhenTheWalkWaits);
  // Stops the workers and waits for them: none runs and no handle of theirs stays open after.
  ~ReadAhead();
  ReadAhead(const ReadAhead&) = delete;
  ReadAhead& operator=(const ReadAhead&) = delete;

  // The walk entered the folder at `position`: what lies before it needs no reading any more.
  // Called by the walk's thread only.
  void entered(const Position& position);
  // Threads started so far (none until reading ahead is needed).
  std::size_t workers() const { return threads_.size(); }
  // Folders listed ahead of the walk and files whose reading was started for it so far.
  std::size_t foldersListed() const { return foldersListed_; }
  std::size_t filesRead() const { return filesRead_; }

 private:
  static std::uint64_t diskReads();
  void activate();  // on the walk's thread
  void work();
  // Lists the folder, starts the reads of its candidates when `readFiles`, and gives its
  // subfolders' names in walk order.
  struct Scratch;
  void visit(Scratch& s, const Position& position, const std::string& folder, bool readFiles,
             std::vector<std::string>& subfolders);
  bool ready() const;  // with mutex_ held

  const RunSnapshot& snap_;
  std::vector<std::string> masks_;  // the name mask of each target
  const std::size_t lookahead_;
  const std::size_t workerCount_;
  const bool always_;
  std::size_t entered_ = 0;      // folders the walk entered (walk's thread)
  std::uint64_t lastReads_ = 0;  // disk reads at the last look (walk's thread)
  std::size_t quiet_ = 0;        // looks in a row that saw none (walk's thread)

  std::mutex mutex_;
  std::condition_variable changed_;
  std::map<Position, std::string> pending_;  // folders found and not yet taken, with their paths
  std::set<Position> ahead_;                 // folders taken that the walk has not entered yet
  Position walk_;                            // the folder the walk is in
  std::size_t busy_ = 0;                     // workers visiting a folder
  bool stopping_ = false;
  bool active_ = false;            // written on the walk's thread under mutex_
  std::atomic<bool> stop_{false};  // read between two candidates
  std::atomic<std::size_t> foldersListed_{0};
  std::atomic<std::size_t> filesRead_{0};

  std::vector<std::thread> threads_;
};

}  // namespace pitkit
