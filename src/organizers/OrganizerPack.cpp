#include "organizers/OrganizerPack.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QStatusBar>
#include <QTreeWidget>

#include "archive/ItemPack.h"
#include "organizers/OrganizerList.h"
#include "organizers/OrganizerSide.h"
#include "platform/ByteText.h"
#include "platform/ErrorBox.h"
#include "platform/GameDirectory.h"
#include "transfer/TransferRunner.h"

namespace pitkit {

namespace {

// The folder the last zip went to, offered again for the next one.
QString lastPackFolder;

}  // namespace

OrganizerPack::OrganizerPack(QWidget* window, QStatusBar* statusBar, GameDirectory& gameDirectory,
                             const OrganizerSide& side, std::function<bool()> busy)
    : window_(window),
      statusBar_(statusBar),
      game_(gameDirectory),
      cars_(side.historyKind == ItemKind::Car),
      busy_(std::move(busy)) {
  for (QTreeWidget* list : {side.installedList, side.uninstalledList}) {
    auto* action = new QAction(QStringLiteral("Pack as Zip..."), list);
    action->setObjectName(QStringLiteral("PackAsZip"));
    list->addAction(action);
    list->setContextMenuPolicy(Qt::ActionsContextMenu);
    const bool installed = list == side.installedList;
    QObject::connect(action, &QAction::triggered, window,
                     guarded(window, [this, list, installed] { pack(list, installed); }));
  }
}

void OrganizerPack::pack(QTreeWidget* list, bool installed) {
  const QTreeWidgetItem* row = selectedItem(list);
  if (row == nullptr || busy_()) return;
  // What the pack needs of the row is taken before the dialog, as the lists may change under it.
  const GameItem item{cars_ ? ItemKind::Car : ItemKind::Level, installed, itemCaption(row), itemFolder(row),
                      itemFileName(row)};
  const std::string game = game_.path();
  if (lastPackFolder.isEmpty()) lastPackFolder = QDir::homePath();
  // A car's name may hold separators; its zip's name does not.
  QString suggested = nameText(item.name) + QStringLiteral(".zip");
  suggested.replace(QLatin1Char('/'), QLatin1Char('-'));
  const QString chosen = QFileDialog::getSaveFileName(window_, QStringLiteral("Pack as Zip"),
                                                      lastPackFolder + QLatin1Char('/') + suggested,
                                                      QStringLiteral("Zip archives (*.zip)"));
  if (chosen.isEmpty()) return;
  lastPackFolder = QFileInfo(chosen).absolutePath();
  const std::string zip = QFile::encodeName(chosen).toStdString();
  const QString label = QStringLiteral("Packing %1").arg(nameText(item.name));
  PackResult result;
  const bool packed = runTransfer(
      window_, label, [&](TransferProgress& progress) { result = packItem(game, item, zip, &progress); },
      kProgressDialogDelayMs, true);
  if (!packed) {
    statusBar_->showMessage(label + QStringLiteral(" cancelled: no zip was written"));
    return;
  }
  QString done = QStringLiteral("%1 packed into %2").arg(nameText(item.name), QDir::toNativeSeparators(chosen));
  if (!result.leftOut.empty())
    done += QStringLiteral(" (%1 links or special files left out)").arg(result.leftOut.size());
  statusBar_->showMessage(done);
}

}  // namespace pitkit
