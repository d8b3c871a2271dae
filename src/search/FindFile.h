#pragma once
// TFindFile: a non-visual component that walks folder trees and reports the files whose names
// match a mask and whose contents hold a text, through OnNewFolder, OnFound and OnComplete.
#include <algorithm>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/DateTime.h"
#include "platform/Errors.h"
#include "platform/FindData.h"
#include "platform/UiThread.h"

namespace pitkit {

enum TFileAttribute { ffArchive, ffReadonly, ffHidden, ffSystem, ffDirectory };

// A set of TFileAttribute.
class TFileAttributes {
 public:
  constexpr TFileAttributes() = default;
  constexpr TFileAttributes(std::initializer_list<TFileAttribute> members) {
    for (auto m : members) bits_ |= static_cast<std::uint8_t>(1u << m);
  }
  constexpr bool contains(TFileAttribute a) const { return (bits_ >> a) & 1u; }
  constexpr void include(TFileAttribute a) { bits_ |= static_cast<std::uint8_t>(1u << a); }
  constexpr void exclude(TFileAttribute a) { bits_ &= static_cast<std::uint8_t>(~(1u << a)); }
  constexpr bool empty() const { return bits_ == 0; }
  constexpr bool intersects(TFileAttributes o) const { return (bits_ & o.bits_) != 0; }
  constexpr bool operator==(const TFileAttributes&) const = default;
  constexpr std::uint8_t bits() const { return bits_; }

 private:
  std::uint8_t bits_ = 0;
};

enum TThreadPriority { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical };

// The platform thread priority of each TThreadPriority: -15, -2, -1, 0, 1, 2, 15.
int threadPriorityValue(TThreadPriority priority);

// The search record of one directory entry.
struct TSearchRec {
  std::int32_t Time = 0;  // last-write time, packed date and time, local time
  std::int32_t Size = 0;  // low 32 bits of the size
  std::uint32_t Attr = 0;
  std::string Name;
  TWin32FindData FindData;
};

// Errors of the component's setters.
class EFindFileError : public Exception {
 public:
  using Exception::Exception;
};

class TFindFile;
class TSearchThread;
struct RunSnapshot;
struct TSearchLink;

using TFoundEvent = std::function<void(TFindFile* sender, const std::string& folder, TSearchRec& fileInfo)>;
using TNewFolderEvent = std::function<void(TFindFile* sender, const std::string& folder, bool& ignoreFolder)>;
using TNotifyEvent = std::function<void(TFindFile* sender)>;

class TFindFile {
 public:
  explicit TFindFile(void* owner = nullptr);
  virtual ~TFindFile();
  TFindFile(const TFindFile&) = delete;
  TFindFile& operator=(const TFindFile&) = delete;

  const std::string& Filename() const { return filename_; }
  void setFilename(const std::string& value);
  const std::string& Location() const { return location_; }
  void setLocation(const std::string& value);
  const std::vector<std::string>& IncludeFiles() const { return includeFiles_; }
  void setIncludeFiles(const std::vector<std::string>& value);
  const std::vector<std::string>& ExcludeFiles() const { return excludeFiles_; }
  void setExcludeFiles(const std::vector<std::string>& value);
  bool Subfolders() const { return subfolders_; }
  void setSubfolders(bool value) { subfolders_ = value; }
  TFileAttributes Attributes() const { return attributes_; }
  void setAttributes(TFileAttributes value) { attributes_ = value; }
  bool ExactAttribute() const { return exactAttribute_; }
  void setExactAttribute(bool value) { exactAttribute_ = value; }
  TDateTime ModifiedBefore() const { return modifiedBefore_; }
  void setModifiedBefore(TDateTime value) { modifiedBefore_ = value; }
  TDateTime ModifiedAfter() const { return modifiedAfter_; }
  void setModifiedAfter(TDateTime value) { modifiedAfter_ = value; }
  TDateTime CreatedBefore() const { return createdBefore_; }
  void setCreatedBefore(TDateTime value) { createdBefore_ = value; }
  TDateTime CreatedAfter() const { return createdAfter_; }
  void setCreatedAfter(TDateTime value) { createdAfter_ = value; }
  TDateTime AccessedBefore() const { return accessedBefore_; }
  void setAccessedBefore(TDateTime value) { accessedBefore_ = value; }
  TDateTime AccessedAfter() const { return accessedAfter_; }
  void setAccessedAfter(TDateTime value) { accessedAfter_ = value; }
  std::int32_t SizeMin() const { return sizeMin_; }
  void setSizeMin(std::int32_t value) { sizeMin_ = value; }
  std::int32_t SizeMax() const { return sizeMax_; }
  void setSizeMax(std::int32_t value) { sizeMax_ = value; }
  const std::string& Containing() const { return containing_; }
  void setContaining(const std::string& value) { containing_ = value; }
  bool IgnoreCase() const { return ignoreCase_; }
  void setIgnoreCase(bool value) { ignoreCase_ = value; }
  bool Threaded() const { return threaded_; }
  void setThreaded(bool value) { threaded_ = value; }
  TThreadPriority ThreadPriority() const { return threadPriority_; }
  void setThreadPriority(TThreadPriority value);

  // Threads that list and read the folders the walk will enter next, so that a search of a tree
  // not yet in memory keeps several disk requests in flight; 0 walks alone. Events and their
  // order are the same either way. At most 16. They start once the search is seen waiting on the
  // disk, or at once with ReadAheadAlways (tests and measurements).
  static constexpr std::size_t kDefaultReadAheadWorkers = 4;
  std::size_t ReadAheadWorkers() const { return readAheadWorkers_; }
  void setReadAheadWorkers(std::size_t value) { readAheadWorkers_ = std::min<std::size_t>(value, 16); }
  bool ReadAheadAlways() const { return readAheadAlways_; }
  void setReadAheadAlways(bool value) { readAheadAlways_ = value; }

  // The hand-over to the user-interface thread used in threaded mode; the process default
  // (setDefaultUiThread) when none is set.
  void setUiThread(std::shared_ptr<IUiThread> uiThread) { uiThread_ = std::move(uiThread); }

  TFoundEvent OnFound;
  TNewFolderEvent OnNewFolder;
  TNotifyEvent OnComplete;

  // Starts a search; does nothing while one runs. In the default mode it returns after
  // OnComplete has fired; in threaded mode once the worker is started.
  void Execute();
  bool Busy() const { return busy_; }
  // Set when an error escaped the walk; setting it stops a running walk at the next entry.
  bool Aborted() const { return aborted_; }
  void setAborted(bool value) { aborted_ = value; }
  // Folders the last run found but could not open (no access, too many open files); the run went
  // on past them. Set when the run completes.
  std::size_t SkippedFolders() const { return skippedFolders_; }
  // The targets of the running search (each an absolute folder ending in the separator followed
  // by a name mask); empty when no search runs.
  const std::vector<std::string>& Targets() const;

 protected:
  // The folder passed here ends in the separator; the events receive it in their own form.
  virtual void DoFound(const std::string& folder, TSearchRec& fileInfo);
  virtual bool DoNewFolder(const std::string& folder);
  virtual void DoComplete();
  // The two run modes: the walk on the calling thread, or on a new TSearchThread.
  virtual void ThreadedSearch();
  virtual void InlineSearch();

 private:
  friend class TSearchThread;
  friend class InlineSink;
  std::unique_ptr<RunSnapshot> takeSnapshot() const;
  void workerEnded();

  std::string filename_ = "*.*";
  std::string location_;
  std::vector<std::string> includeFiles_;
  std::vector<std::string> excludeFiles_;
  bool subfolders_ = true;
  TFileAttributes attributes_{ffArchive, ffReadonly, ffHidden, ffSystem};
  bool exactAttribute_ = false;
  TDateTime modifiedBefore_ = 0, modifiedAfter_ = 0;
  TDateTime createdBefore_ = 0, createdAfter_ = 0;
  TDateTime accessedBefore_ = 0, accessedAfter_ = 0;
  std::int32_t sizeMin_ = 0, sizeMax_ = 0;
  std::string containing_;
  bool ignoreCase_ = true;
  bool threaded_ = false;
  TThreadPriority threadPriority_ = tpNormal;
  std::size_t readAheadWorkers_ = kDefaultReadAheadWorkers;
  bool readAheadAlways_ = false;
  std::shared_ptr<IUiThread> uiThread_;

  bool busy_ = false;
  std::atomic<bool> aborted_{false};
  std::atomic<std::size_t> skippedFolders_{0};
  bool destroying_ = false;
  std::unique_ptr<RunSnapshot> snapshot_;     // held from Execute until completion
  std::unique_ptr<TSearchThread> worker_;     // the running worker in threaded mode
  std::shared_ptr<TSearchLink> link_;         // shared with calls queued for the UI thread
  std::shared_ptr<IUiThread> runUiThread_;    // the hand-over of the running threaded search
};

// The worker of a threaded search: walks and tests on its own thread and hands every OnNewFolder
// and OnFound to the user-interface thread, waiting for each to run. Its end notification runs on
// the user-interface thread and completes the search. Created by TFindFile::ThreadedSearch.
class TSearchThread {
 public:
  TSearchThread(TFindFile& owner, std::shared_ptr<IUiThread> uiThread, std::shared_ptr<TSearchLink> link,
                TThreadPriority priority);
  // Waits for the thread to end (call Terminate first to make it end soon).
  ~TSearchThread();
  TSearchThread(const TSearchThread&) = delete;
  TSearchThread& operator=(const TSearchThread&) = delete;

  // Asks the worker to stop; a hand-over it is waiting for is given up.
  void Terminate();
  bool Terminated() const { return terminated_; }
  void setPriority(TThreadPriority priority);
  void WaitFor();

 private:
  class Sink;
  void applyPriority();  // with priorityMutex_ held
  void Execute();
  // Runs `call` on the user-interface thread and waits for it; false when terminated meanwhile.
  bool synchronize(void (TSearchThread::*call)());
  void callNewFolder();
  void callFound();

  TFindFile& owner_;
  std::shared_ptr<IUiThread> ui_;
  std::shared_ptr<TSearchLink> link_;
  std::string folder_;       // the folder of the current hand-over
  TSearchRec fileInfo_;      // a copy of the current entry
  bool searchFolder_ = true; // the answer of the new-folder hand-over
  std::atomic<bool> terminated_{false};
  // The priority asked for and the worker's thread id (0 before it starts and after it ends),
  // under one lock so a priority set while the worker starts or ends is neither lost nor applied
  // to a thread id the system may have reused.
  std::mutex priorityMutex_;
  int baseNice_ = 0;  // the process's nice value when the worker started
  int tid_ = 0;
  TThreadPriority priority_;
  std::thread thread_;
};

}  // namespace pitkit
