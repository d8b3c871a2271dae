// Provisional: the walk is being written. Only the surface exists so that other parts link.
#include "search/FindFile.h"

namespace pitkit {

TFindFile::TFindFile(void*) {}
TFindFile::~TFindFile() { destroying_ = true; }
void TFindFile::setFilename(const std::string& value) { filename_ = value; }
void TFindFile::setLocation(const std::string& value) { location_ = value; }
void TFindFile::setIncludeFiles(const std::vector<std::string>& value) { includeFiles_ = value; }
void TFindFile::setExcludeFiles(const std::vector<std::string>& value) { excludeFiles_ = value; }
void TFindFile::setThreadPriority(TThreadPriority value) { threadPriority_ = value; }
void TFindFile::Execute() {
  if (busy_) return;
  busy_ = true;
  DoComplete();
}
void TFindFile::DoFound(const std::string& folder, TSearchRec& fileInfo) {
  if (OnFound && !destroying_) OnFound(this, folder, fileInfo);
}
bool TFindFile::DoNewFolder(const std::string& folder) {
  bool ignore = false;
  if (OnNewFolder && !destroying_) OnNewFolder(this, folder, ignore);
  return !ignore;
}
void TFindFile::DoComplete() {
  busy_ = false;
  if (OnComplete && !destroying_) OnComplete(this);
}

}  // namespace pitkit
