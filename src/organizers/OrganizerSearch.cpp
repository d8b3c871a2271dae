#include "organizers/OrganizerSearch.h"

#include <QCoreApplication>
#include <QStatusBar>
#include <QTreeWidget>

#include "platform/ByteText.h"
#include "search/FindFile.h"
#include "transfer/FolderTransfer.h"

namespace pitkit {

bool OrganizerSearch::stopIfStale(TFindFile* search, const std::string& gameDirectory) {
  if (!isStale(gameDirectory)) return false;
  search->setAborted(true);
  return true;
}

void OrganizerSearch::newFolder(QStatusBar* bar, const std::string& folder) {
  pendingFolder_ = folder;
  pump(bar);
}

void OrganizerSearch::addItem(QTreeWidget* list, QTreeWidgetItem* item) {
  if (pendingList_ != list) flushItems();
  pendingList_ = list;
  pendingItems_.append(item);
}

void OrganizerSearch::pump(QStatusBar* bar) {
  if (sinceLastPump_.isValid() && sinceLastPump_.elapsed() < kEventPumpIntervalMs) return;
  // Everything found so far is in the lists before any other handler (a directory change that
  // empties them, a selection) can run.
  flush(bar);
  QCoreApplication::processEvents();
  sinceLastPump_.start();
}

void OrganizerSearch::flush(QStatusBar* bar) {
  flushItems();
  if (pendingFolder_.empty()) return;
  bar->showMessage(nameText(pendingFolder_));
  pendingFolder_.clear();
}

void OrganizerSearch::flushItems() {
  if (pendingList_ != nullptr && !pendingItems_.isEmpty())
    pendingList_->addTopLevelItems(pendingItems_);
  pendingItems_.clear();
  pendingList_ = nullptr;
}

LeftoverSweep::LeftoverSweep(std::vector<std::string> folders)
    : thread_([this, folders = std::move(folders)] {
        for (const std::string& folder : folders) removeLeftoverCopies(folder);
        done_ = true;
        QMetaObject::invokeMethod(&loop_, &QEventLoop::quit, Qt::QueuedConnection);
      }) {}

void LeftoverSweep::finish() {
  if (!done_) loop_.exec();
  thread_.join();
}

LeftoverSweep::~LeftoverSweep() {
  if (thread_.joinable()) thread_.join();
}

}  // namespace pitkit
