#pragma once
// The Edit menu's "History..." window: the game's actions, newest first, one row per action (its
// items below it when there are several), undone ones marked.
#include <QDialog>
#include <vector>

#include "history/History.h"

class QTreeWidget;

namespace pitkit {

class HistoryWindow : public QDialog {
  Q_OBJECT
 public:
  HistoryWindow(QWidget* parent, const std::string& gameFolder,
                const std::vector<HistoryAction>& actions);

  // Columns: When (local time), Action, Item(s), From, To, Archive.
  QTreeWidget* list = nullptr;
};

}  // namespace pitkit
