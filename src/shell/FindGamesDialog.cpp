#include "shell/FindGamesDialog.h"

#include <QApplication>
#include <QEventLoop>
#include <QPushButton>
#include <exception>
#include <thread>

#include "platform/ByteText.h"
#include "platform/GameFinder.h"

namespace pitkit {

namespace {
constexpr int kPathRole = Qt::UserRole;
}  // namespace

GamesFound findGamesOfUser() {
  GamesFound found;
  std::exception_ptr error;
  QEventLoop loop;
  QApplication::setOverrideCursor(Qt::WaitCursor);
  std::thread worker([&found, &error, &loop] {
    try {
      WineDrives drives = findWineDrivesOfUser();
      found = {findGameFolders(drives.gameRoots()), std::move(drives.places)};
    } catch (...) {
      error = std::current_exception();
    }
    QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
  });
  loop.exec(QEventLoop::ExcludeUserInputEvents);
  worker.join();
  QApplication::restoreOverrideCursor();
  if (error) std::rethrow_exception(error);
  return found;
}

FindGamesDialog::FindGamesDialog(QWidget* parent, const std::vector<std::string>& games,
                                 const std::vector<std::string>& places)
    : QDialog(parent) {
  ui.setupUi(this);
  for (const std::string& game : games) {
    auto* item = new QListWidgetItem(nameText(game), ui.GameList);
    // The path is kept as its bytes: a name that is not UTF-8 must still open.
    item->setData(kPathRole, QByteArray::fromStdString(game));
  }
  if (games.empty()) {
    QStringList lines{QStringLiteral("No game folders were found. Looked in:")};
    for (const std::string& place : places) lines << QStringLiteral("    ") + nameText(place);
    ui.Label1->setText(lines.join(QLatin1Char('\n')));
    ui.GameList->hide();
    ui.Buttons->button(QDialogButtonBox::Open)->setEnabled(false);
  } else {
    ui.Label1->setText(
        QStringLiteral("Game folders found in the Wine, Proton, Lutris and Bottles prefixes and the "
                       "Steam libraries. Choose one to open it on \"Change Directory\":"));
    ui.GameList->setCurrentRow(0);
  }
  connect(ui.Buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(ui.Buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(ui.GameList, &QListWidget::itemActivated, this, &QDialog::accept);
}

std::string FindGamesDialog::chosenFolder() const {
  const QListWidgetItem* item = ui.GameList->currentItem();
  return item == nullptr || !item->isSelected() ? std::string()
                                                : item->data(kPathRole).toByteArray().toStdString();
}

}  // namespace pitkit
