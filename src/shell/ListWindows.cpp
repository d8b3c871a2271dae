#include "shell/ListWindows.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStatusBar>
#include <exception>
#include <map>
#include <optional>

#include "inventory/InstalledList.h"
#include "inventory/ListComparison.h"
#include "organizers/OrganizerBatch.h"
#include "platform/ByteText.h"
#include "platform/Errors.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "platform/GameDirectory.h"
#include "platform/TextFile.h"
#include "shell/CompareListDialog.h"
#include "shell/Unit1.h"
#include "transfer/TransferPath.h"
#include "transfer/TransferRunner.h"

namespace pitkit {

namespace {

const QString kListFilter = QStringLiteral("Installed lists (*.txt);;All files (*)");
// The folder the last list was saved in or read from.
QString lastListFolder;

QString startFolder() {
  if (lastListFolder.isEmpty()) lastListFolder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  return lastListFolder;
}

std::string gameOf(TForm1& form) {
  form.finishStartUp();
  if (form.GameDirectory.empty() || !directoryExists(form.GameDirectory))
    throw Exception("Choose a game folder on \"Change Directory\" first");
  return form.GameDirectory;
}

// Reads what the game holds on workers under the progress window; nullopt when cancelled.
std::optional<GameInventory> inventoryOf(TForm1& form, const std::string& game) {
  GameInventory inventory;
  const bool done = runTransfer(
      &form, QStringLiteral("Reading the installed levels and cars"),
      [&](TransferProgress& progress) { inventory = takeInventory(game, &progress); }, kProgressDialogDelayMs, true);
  if (!done) return std::nullopt;
  return inventory;
}

// Moves the items of `differences` that are `what` (Missing: installable ones, Extra: all) as
// Install and Uninstall do, records the action and lists the failures.
void moveItems(TForm1& form, const std::string& game, const std::vector<ItemDifference>& differences, Difference what) {
  const bool install = what == Difference::Missing;
  std::vector<BatchRow> rows;
  std::map<std::string, ItemKind> kinds;  // by the folder a row moves
  GameDirectory folders;
  folders.change(game);
  for (const ItemDifference& d : differences) {
    if (d.what != what || d.folder.empty()) continue;
    // The item keeps its folder's name (a car its path below the cars or garage folder).
    const ItemMarks& marks = itemMarks(d.kind);
    const std::string from = folders.subWithDelim(install ? marks.uninstalledFolder : marks.installedFolder);
    if (!d.folder.starts_with(from) || d.folder.size() == from.size()) continue;
    const std::string name = d.folder.substr(from.size());
    rows.push_back({name, d.folder, folders.subWithDelim(install ? marks.installedFolder : marks.uninstalledFolder) + name});
    kinds[d.folder] = d.kind;
  }
  if (rows.empty()) return;
  const auto history = [&](const std::vector<BatchRow>& done) {
    HistoryAction action;
    action.gameFolder = game;
    action.kind = install ? HistoryActionKind::Install : HistoryActionKind::Uninstall;
    for (const BatchRow& row : done)
      action.items.push_back({kinds.at(row.from), extractFileName(row.from), row.from, row.to, {}});
    return action;
  };
  std::int64_t id = 0;
  const char* verb = install ? "Installing" : "Uninstalling";
  const BatchResult result = runBatch(
      &form, rows, verb,
      [&game](const BatchRow& row, TransferProgress& progress) {
        checkTransferPath(game, row.from);
        checkTransferPath(game, row.to);
        const std::string destination = destinationIgnoringCase(game, row.to);
        MoveFolder(row.from, destination, &progress);
        return destination;
      },
      [&](const std::vector<BatchRow>& done) {
        HistoryAction action = history(done);
        action.id = id;
        id = form.recordOrganizerAction(action);
      });
  if (!result.done.empty()) {
    HistoryAction action = history(result.done);
    action.id = id;
    form.recordOrganizerAction(action);
    form.levelOrganizer().go();
    form.carOrganizer().go();
  }
  if (result.cancelled) form.ui.StatusBar1->showMessage(QString::fromStdString(batchCancelledText(result, rows.size(), verb, "items")));
  if (const std::string failed = batchFailureText(result, rows.size(), "items", install ? "installed" : "uninstalled");
      !failed.empty())
    throw Exception(failed);
}

}  // namespace

void exportInstalledList(TForm1& form) {
  const std::string game = gameOf(form);
  const QString file = QFileDialog::getSaveFileName(&form, QStringLiteral("Export Installed List"),
                                                    startFolder() + QStringLiteral("/installed.txt"), kListFilter);
  if (file.isEmpty()) return;
  lastListFolder = QFileInfo(file).absolutePath();
  std::vector<ListedItem> items;
  const bool done = runTransfer(
      &form, QStringLiteral("Reading the installed levels and cars"),
      [&](TransferProgress& progress) { items = listInstalledItems(game, &progress); }, kProgressDialogDelayMs, true);
  if (!done) {
    form.ui.StatusBar1->showMessage(QStringLiteral("Export cancelled: no list was written"));
    return;
  }
  writeFileAtomically(file.toStdString(), formatInstalledList(items));
  form.ui.StatusBar1->showMessage(QStringLiteral("%1 levels and cars listed in %2").arg(items.size()).arg(file));
}

void compareWithList(TForm1& form) {
  const std::string game = gameOf(form);
  const QString file = QFileDialog::getOpenFileName(&form, QStringLiteral("Compare with List"), startFolder(), kListFilter);
  if (file.isEmpty()) return;
  lastListFolder = QFileInfo(file).absolutePath();
  const std::vector<ListedItem> list = readInstalledList(file.toStdString());
  const std::optional<GameInventory> inventory = inventoryOf(form, game);
  if (!inventory) {
    form.ui.StatusBar1->showMessage(QStringLiteral("Comparison cancelled"));
    return;
  }
  std::vector<ItemDifference> shown = compareInstalled(list, *inventory);
  CompareListDialog* dialog = nullptr;
  CompareListDialog window(&form, QFileInfo(file).fileName(), shown, [&](Difference what) {
    // The comparison is made again afterwards, also after a failure: the rows show the game as it is.
    std::exception_ptr error;
    try {
      moveItems(form, game, shown, what);
    } catch (...) {
      error = std::current_exception();
    }
    if (const std::optional<GameInventory> now = inventoryOf(form, game)) {
      shown = compareInstalled(list, *now);
      dialog->setDifferences(shown);
    }
    if (error) std::rethrow_exception(error);
  });
  dialog = &window;
  window.exec();
}

}  // namespace pitkit
