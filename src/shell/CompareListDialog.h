#pragma once
// "Compare with List...": the items that differ between a shared list and this game (missing,
// different, extra), with the two moves the window offers: Install the missing items that lie in
// the uninstalled folder, Uninstall the extra ones. The dialog shows what it is given and does no
// file work; the moves are handed to `act`.
#include <QDialog>
#include <functional>
#include <vector>

#include "inventory/ListComparison.h"

class QLabel;
class QPushButton;
class QTreeWidget;

namespace pitkit {

class CompareListDialog : public QDialog {
  Q_OBJECT
 public:
  // `act(what)` moves the items that are `what` (Missing or Extra) and shows the differences
  // afterwards (setDifferences); it may raise, and the error box then shows why.
  using Act = std::function<void(Difference what)>;
  CompareListDialog(QWidget* parent, const QString& listName, std::vector<ItemDifference> differences, Act act);

  // Shows `differences`, one row each: what, kind and name (columns), the buttons enabled when
  // they have items to move.
  void setDifferences(std::vector<ItemDifference> differences);

  // The controls, by their object names.
  QLabel* Summary;             // "3 items differ from list.txt" or "... agrees with ..."
  QTreeWidget* Differences;    // the rows
  QPushButton* InstallMissing;
  QPushButton* UninstallExtra;
  QPushButton* CloseButton;

 private:
  QString listName_;
  std::vector<ItemDifference> differences_;
  Act act_;
};

}  // namespace pitkit
