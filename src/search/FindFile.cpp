#include "search/FindFile.h"

#include "platform/Posix.h"

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <system_error>
#include <utility>

#include "platform/Paths.h"
#include "search/SearchWalk.h"

namespace pitkit {

// What the worker and the calls it queued for the user-interface thread share. A queued call may
// run after its worker gave up waiting (the component was destroyed): it checks ownerGone first.
struct TSearchLink {
  std::mutex mutex;
  std::condition_variable answeredChanged;
  std::uint64_t posted = 0;    // ticket of the last hand-over queued
  std::uint64_t answered = 0;  // ticket of the last hand-over that has run
  std::exception_ptr failure;  // thrown by the handler of the answered hand-over
  bool ownerGone = false;      // written and read on the user-interface thread only
};

namespace {

const int kPriorityValues[] = {-15, -2, -1, 0, 1, 2, 15};

}  // namespace

int threadPriorityValue(TThreadPriority priority) {
  return kPriorityValues[std::clamp(static_cast<int>(priority), 0, 6)];
}

// The walk's reports in the default mode: straight to the component on the calling thread.
class InlineSink : public WalkSink {
 public:
  explicit InlineSink(TFindFile& owner) : owner_(owner) {}
  bool newFolder(const std::string& folder) override { return owner_.DoNewFolder(folder); }
  void found(const std::string& folder, TSearchRec& entry) override { owner_.DoFound(folder, entry); }
  bool stopRequested() const override { return owner_.aborted_; }

 private:
  TFindFile& owner_;
};

TFindFile::TFindFile(void*) : link_(std::make_shared<TSearchLink>()) {}

TFindFile::~TFindFile() {
  destroying_ = true;
  link_->ownerGone = true;
  if (worker_) {
    worker_->Terminate();
    worker_.reset();  // waits for the thread to end
  }
}

void TFindFile::setFilename(const std::string& value) {
  if (value != extractFileName(value)) throw EFindFileError(value + "\n\rInvalid filename specified");
  filename_ = value;
}

void TFindFile::setLocation(const std::string& value) {
  if (value.find_first_of("*?") != std::string::npos)
    throw EFindFileError(value + "\n\rlocation cannot to be contained wildcards");
  location_ = value;
}

void TFindFile::setIncludeFiles(const std::vector<std::string>& value) { includeFiles_ = value; }

void TFindFile::setExcludeFiles(const std::vector<std::string>& value) { excludeFiles_ = value; }

void TFindFile::setThreadPriority(TThreadPriority value) {
  threadPriority_ = value;
  if (worker_) worker_->setPriority(value);
}

const std::vector<std::string>& TFindFile::Targets() const {
  static const std::vector<std::string> none;
  return snapshot_ ? snapshot_->Targets : none;
}

std::unique_ptr<RunSnapshot> TFindFile::takeSnapshot() const {
  auto s = std::make_unique<RunSnapshot>();
  s->Attributes = attributes_.bits();
  s->ExactAttribute = exactAttribute_;
  if (!includeFiles_.empty()) {
    s->Targets = includeFiles_;
  } else {
    std::string mask = filename_.empty() ? std::string("*.*") : filename_;
    if (mask.find('.') == std::string::npos) mask += ".*";
    std::string rest = location_;
    do {
      const auto semicolon = rest.find(';');
      std::string piece = rest.substr(0, semicolon);
      rest = semicolon == std::string::npos ? std::string() : rest.substr(semicolon + 1);
      std::string target = includeTrailingDelim(absolutePath(piece)) + mask;
      const bool known = std::any_of(s->Targets.begin(), s->Targets.end(),
                                     [&](const std::string& t) { return sameTextAscii(t, target); });
      if (!known) s->Targets.push_back(std::move(target));
    } while (!rest.empty() && rest != ";");
  }
  s->Subfolders = subfolders_;
  s->ReadAheadWorkers = readAheadWorkers_;
  s->ReadAheadAlways = readAheadAlways_;
  s->ExcludeFiles = excludeFiles_;
  s->CreatedBefore = createdBefore_;
  s->CreatedAfter = createdAfter_;
  s->ModifiedBefore = modifiedBefore_;
  s->ModifiedAfter = modifiedAfter_;
  s->AccessedBefore = accessedBefore_;
  s->AccessedAfter = accessedAfter_;
  s->SizeMin = sizeMin_;
  s->SizeMax = sizeMax_;
  if (!containing_.empty()) {
    s->HasText = true;
    s->IgnoreCase = ignoreCase_;
    s->Text = containing_.substr(0, containing_.find('\0'));
  }
  return s;
}

void TFindFile::Execute() {
  if (busy_) return;
  if (threaded_) {
    runUiThread_ = uiThread_ ? uiThread_ : defaultUiThread();
    if (!runUiThread_) throw EFindFileError("No user-interface thread is set for a threaded search");
  }
  busy_ = true;
  try {
    snapshot_ = takeSnapshot();
  } catch (...) {
    busy_ = false;
    throw;
  }
  aborted_ = false;
  skippedFolders_ = 0;
  if (threaded_)
    ThreadedSearch();
  else
    InlineSearch();
}

void TFindFile::ThreadedSearch() {
  try {
    worker_ = std::make_unique<TSearchThread>(*this, runUiThread_, link_, threadPriority_);
  } catch (const std::system_error& e) {
    aborted_ = true;
    DoComplete();
    throw EFindFileError(std::string("Cannot start the search thread: ") + e.what());
  }
}

void TFindFile::InlineSearch() {
  InlineSink sink(*this);
  SearchWalk walk(*snapshot_, sink);
  try {
    walk.run();
  } catch (...) {
    aborted_ = true;  // an error that escapes the walk ends the run quietly
  }
  skippedFolders_ = walk.skippedFolders();
  DoComplete();
}

// The worker's end notification, on the user-interface thread.
void TFindFile::workerEnded() {
  if (worker_) {
    worker_->WaitFor();
    worker_.reset();
  }
  DoComplete();
}

void TFindFile::DoFound(const std::string& folder, TSearchRec& fileInfo) {
  if (OnFound && !destroying_) OnFound(this, excludeTrailingDelim(folder), fileInfo);
}

bool TFindFile::DoNewFolder(const std::string& folder) {
  bool ignore = false;
  if (OnNewFolder && !destroying_) OnNewFolder(this, excludeTrailingDelim(folder), ignore);
  return !ignore;
}

void TFindFile::DoComplete() {
  snapshot_.reset();
  busy_ = false;
  if (OnComplete && !destroying_) OnComplete(this);
}

// The worker's reports: each event is handed to the user-interface thread.
class TSearchThread::Sink : public WalkSink {
 public:
  explicit Sink(TSearchThread& t) : t_(t) {}
  bool newFolder(const std::string& folder) override {
    t_.folder_ = folder;
    t_.searchFolder_ = true;
    return t_.synchronize(&TSearchThread::callNewFolder) && t_.searchFolder_;
  }
  void found(const std::string& folder, TSearchRec& entry) override {
    t_.folder_ = folder;
    t_.fileInfo_ = entry;
    t_.synchronize(&TSearchThread::callFound);
  }
  bool stopRequested() const override { return t_.terminated_ || t_.owner_.aborted_; }

 private:
  TSearchThread& t_;
};

TSearchThread::TSearchThread(TFindFile& owner, std::shared_ptr<IUiThread> uiThread,
                             std::shared_ptr<TSearchLink> link, TThreadPriority priority)
    : owner_(owner), ui_(std::move(uiThread)), link_(std::move(link)), priority_(priority) {
  thread_ = std::thread([this] { Execute(); });
}

TSearchThread::~TSearchThread() { WaitFor(); }

void TSearchThread::WaitFor() {
  if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}

void TSearchThread::Terminate() {
  {
    std::lock_guard lock(link_->mutex);
    terminated_ = true;
  }
  link_->answeredChanged.notify_all();
}

void TSearchThread::setPriority(TThreadPriority priority) {
  std::lock_guard lock(priorityMutex_);
  priority_ = priority;
  applyPriority();
}

void TSearchThread::applyPriority() {
  if (tid_ == 0) return;  // not started yet (it applies priority_ itself) or already ended
  // Priorities are relative to the process's own: a higher platform priority is a lower nice
  // value. Refusals (raising it needs privileges) are ignored.
  const int nice = std::clamp(baseNice_ - threadPriorityValue(priority_), -20, 19);
  ::setpriority(PRIO_PROCESS, static_cast<id_t>(tid_), nice);
}

void TSearchThread::Execute() {
  {
    std::lock_guard lock(priorityMutex_);
    errno = 0;
    const int processNice = ::getpriority(PRIO_PROCESS, 0);
    baseNice_ = errno == 0 ? processNice : 0;
    tid_ = static_cast<int>(::gettid());
    if (priority_ != tpNormal) applyPriority();
  }
  Sink sink(*this);
  SearchWalk walk(*owner_.snapshot_, sink);
  try {
    walk.run();
  } catch (...) {
    owner_.aborted_ = true;
  }
  owner_.skippedFolders_ = walk.skippedFolders();
  {
    std::lock_guard lock(priorityMutex_);
    tid_ = 0;
  }
  // The end notification: forgets the worker and completes, on the user-interface thread.
  TFindFile* owner = &owner_;
  ui_->post([link = link_, owner] {
    if (link->ownerGone) return;
    try {
      owner->workerEnded();
    } catch (...) {
      // An error of the OnComplete handler has no caller to go to from the event loop.
    }
  });
}

bool TSearchThread::synchronize(void (TSearchThread::*call)()) {
  std::uint64_t ticket;
  {
    std::lock_guard lock(link_->mutex);
    ticket = ++link_->posted;
  }
  ui_->post([link = link_, this, call, ticket] {
    // The component (and so this worker) may be gone when the call comes to run.
    if (link->ownerGone) return;
    std::exception_ptr failure;
    try {
      (this->*call)();
    } catch (...) {
      failure = std::current_exception();
    }
    {
      std::lock_guard lock(link->mutex);
      link->answered = ticket;
      link->failure = failure;
    }
    link->answeredChanged.notify_all();
  });
  std::unique_lock lock(link_->mutex);
  link_->answeredChanged.wait(lock, [&] { return link_->answered == ticket || terminated_; });
  if (link_->answered != ticket) return false;
  if (link_->failure) {
    // A handler's error ends the walk as any other error that escapes it.
    std::exception_ptr failure = std::exchange(link_->failure, nullptr);
    lock.unlock();
    std::rethrow_exception(failure);
  }
  return true;
}

void TSearchThread::callNewFolder() { searchFolder_ = owner_.DoNewFolder(folder_); }

void TSearchThread::callFound() { owner_.DoFound(folder_, fileInfo_); }

}  // namespace pitkit
