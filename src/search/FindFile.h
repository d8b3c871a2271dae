#pragma once
// TFindFile: a non-visual component that walks folder trees and reports the files whose names
// match a mask and whose contents hold a text, through OnNewFolder, OnFound and OnComplete.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/Errors.h"
#include "search/UiThread.h"

namespace pitkit {

// Days since 30 December 1899, local time; the fraction is the time of day. 0 means "not set".
using TDateTime = double;

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

// The platform attribute bits of an entry.
inline constexpr std::uint32_t faReadOnly = 0x01;
inline constexpr std::uint32_t faHidden = 0x02;
inline constexpr std::uint32_t faSysFile = 0x04;
inline constexpr std::uint32_t faDirectory = 0x10;
inline constexpr std::uint32_t faArchive = 0x20;

// The raw find data of one entry: times in UTC as 100-ns intervals since 1 January 1601.
struct TWin32FindData {
  std::uint32_t dwFileAttributes = 0;
  std::uint64_t ftCreationTime = 0;
  std::uint64_t ftLastAccessTime = 0;
  std::uint64_t ftLastWriteTime = 0;
  std::uint32_t nFileSizeHigh = 0;
  std::uint32_t nFileSizeLow = 0;
  std::string cFileName;
  std::string cAlternateFileName;
};

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

  // The hand-over to the user-interface thread used in threaded mode; the process default
  // (setDefaultUiThread) when none is set.
  void setUiThread(std::shared_ptr<IUiThread> uiThread) { uiThread_ = std::move(uiThread); }

  TFoundEvent OnFound;
  TNewFolderEvent OnNewFolder;
  TNotifyEvent OnComplete;

  // Starts a search; does nothing while one runs.
  void Execute();
  bool Busy() const { return busy_; }
  bool Aborted() const { return aborted_; }

 protected:
  virtual void DoFound(const std::string& folder, TSearchRec& fileInfo);
  virtual bool DoNewFolder(const std::string& folder);
  virtual void DoComplete();

 private:
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
  std::shared_ptr<IUiThread> uiThread_;

  bool busy_ = false;
  std::atomic<bool> aborted_{false};
  bool destroying_ = false;
};

}  // namespace pitkit
