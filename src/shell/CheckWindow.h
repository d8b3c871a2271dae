#pragma once
// File > "Check Game Folder...": the problems of the game folder's levels and cars in a list, with
// Fix for the selected row when it has a safe fix. The check runs on a worker under the progress
// window; the dialog shows its rows and applies a fix only when Fix is pressed.
#include <QDialog>
#include <functional>
#include <string>
#include <vector>

#include "check/GameCheck.h"

class QLabel;
class QListWidget;
class QPushButton;

namespace pitkit {

// The decoders of the picture box (BMP through Qt, JPEG through libjpeg), for the check.
PictureDecoders checkPictureDecoders();

class CheckWindow : public QDialog {
  Q_OBJECT
 public:
  // Checks `gameFolder` whenever asked; `fixed` hears each fix applied (to record it).
  CheckWindow(QWidget* parent, std::string gameFolder, std::function<void(const CheckFix&)> fixed);

  // Runs the check (the progress window shows after a second) and lists its problems; raises
  // Exception when the check cannot run.
  void check();

  QListWidget* CheckList;   // one row per problem, the command line's wording
  QLabel* CheckStatus;      // how many problems, and the last fix
  QPushButton* CheckFix;    // fixes the selected row; enabled only when it has a fix
  QPushButton* CheckClose;

 private:
  void fixClick();
  void rowChanged();

  std::string gameFolder_;
  std::function<void(const pitkit::CheckFix&)> fixed_;
  std::vector<CheckProblem> problems_;
};

class HistoryKeeper;

// Checks `gameFolder` and shows its problems (modal); each fix is recorded in `history` as a
// Rename action.
void showCheckWindow(QWidget* parent, const std::string& gameFolder, HistoryKeeper& history);

}  // namespace pitkit
