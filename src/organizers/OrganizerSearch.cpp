#include "organizers/OrganizerSearch.h"

#include <QCoreApplication>
#include <QStatusBar>
#include <QTreeWidget>

#include "platform/ByteText.h"
#include "search/FindFile.h"

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

}  // namespace pitkit
