#include "shell/CheckWindow.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "platform/ErrorBox.h"
#include "platform/PictureBox.h"
#include "shell/HistoryKeeper.h"
#include "transfer/TransferRunner.h"

namespace pitkit {

PictureDecoders checkPictureDecoders() {
  return {[](const std::string& path) { loadBitmapFile(path); }, [](const std::string& path) { loadJpegFile(path); }};
}

CheckWindow::CheckWindow(QWidget* parent, std::string gameFolder, std::function<void(const pitkit::CheckFix&)> fixed)
    : QDialog(parent), gameFolder_(std::move(gameFolder)), fixed_(std::move(fixed)) {
  setObjectName(QStringLiteral("CheckWindow"));
  setWindowTitle(QStringLiteral("Check Game Folder"));
  resize(720, 360);
  CheckList = new QListWidget(this);
  CheckList->setObjectName(QStringLiteral("CheckList"));
  CheckStatus = new QLabel(this);
  CheckStatus->setObjectName(QStringLiteral("CheckStatus"));
  CheckStatus->setWordWrap(true);
  CheckFix = new QPushButton(QStringLiteral("&Fix"), this);
  CheckFix->setObjectName(QStringLiteral("CheckFix"));
  CheckFix->setEnabled(false);
  CheckFix->setAutoDefault(false);
  CheckClose = new QPushButton(QStringLiteral("Close"), this);
  CheckClose->setObjectName(QStringLiteral("CheckClose"));
  CheckClose->setAutoDefault(false);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(CheckStatus, 1);
  buttons->addWidget(CheckFix);
  buttons->addWidget(CheckClose);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(CheckList, 1);
  layout->addLayout(buttons);

  connect(CheckList, &QListWidget::currentRowChanged, this, [this] { rowChanged(); });
  connect(CheckFix, &QPushButton::clicked, this, guarded(this, [this] { fixClick(); }));
  connect(CheckClose, &QPushButton::clicked, this, &QDialog::accept);
}

void CheckWindow::check() {
  std::vector<CheckProblem> problems;
  const std::string game = gameFolder_;
  runTransfer(this, QStringLiteral("Checking the game folder..."),
              [&](TransferProgress&) { problems = checkGame(game, checkPictureDecoders()); });
  problems_ = std::move(problems);
  CheckList->clear();
  for (const CheckProblem& problem : problems_) CheckList->addItem(QString::fromStdString(problemLine(problem)));
  CheckStatus->setText(problems_.empty()        ? QStringLiteral("No problems found.")
                       : problems_.size() == 1 ? QStringLiteral("1 problem found.")
                                               : QStringLiteral("%1 problems found.").arg(problems_.size()));
  rowChanged();
}

void CheckWindow::rowChanged() {
  const int row = CheckList->currentRow();
  CheckFix->setEnabled(row >= 0 && static_cast<std::size_t>(row) < problems_.size() && problems_[row].fix.has_value());
}

void CheckWindow::fixClick() {
  const int row = CheckList->currentRow();
  if (row < 0 || static_cast<std::size_t>(row) >= problems_.size() || !problems_[row].fix) return;
  const CheckProblem problem = problems_[row];
  try {
    applyFix(*problem.fix);
  } catch (const std::exception&) {
    check();  // the rows show the folder as it is now, under the error box
    throw;
  }
  if (fixed_) fixed_(*problem.fix);
  check();
  CheckStatus->setText(QStringLiteral("Fixed: ") + QString::fromStdString(problemLine(problem)) + QStringLiteral("\n") +
                       CheckStatus->text());
}

void showCheckWindow(QWidget* parent, const std::string& gameFolder, HistoryKeeper& history) {
  CheckWindow window(parent, gameFolder, [&](const pitkit::CheckFix& fix) {
    HistoryAction action;
    action.gameFolder = gameFolder;
    action.kind = HistoryActionKind::Rename;
    action.items = {fix.record};
    history.record(action);
  });
  window.check();
  window.exec();
}

}  // namespace pitkit
