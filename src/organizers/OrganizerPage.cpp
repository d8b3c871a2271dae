#include "organizers/OrganizerPage.h"

#include <QEventLoop>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>
#include <QTreeWidget>

#include <atomic>
#include <thread>
#include <utility>

#include "transfer/FolderTransfer.h"
#include "organizers/OrganizerFilter.h"
#include "organizers/OrganizerList.h"
#include "organizers/OrganizerPack.h"
#include "transfer/TransferRunner.h"
#include "organizers/OrganizerBatch.h"
#include "platform/ByteText.h"
#include "platform/CutTextTip.h"
#include "platform/ErrorBox.h"
#include "platform/Errors.h"
#include "platform/FileSystem.h"
#include "platform/FocusFrame.h"
#include "platform/Fonts.h"
#include "platform/GameDirectory.h"
#include "platform/NameCase.h"
#include "platform/Paths.h"
#include "platform/ShellOpen.h"
#include "search/FindFile.h"

namespace pitkit {

namespace {

// The colour scheme both pages share: green lists and name boxes, a green "&Go" in "Myriad
// Roman", blue install and uninstall captions, red delete captions, a red bold italic "Selected
// Directory:" label.
void applyOrganizerLook(const OrganizerSide& side) {
  const QColor green(0, 128, 0);
  std::vector<QWidget*> greenBoxes = side.nameBoxes;
  greenBoxes.insert(greenBoxes.begin(), {side.installedList, side.uninstalledList});
  for (QWidget* box : greenBoxes) {
    setColour(box, QPalette::Base, green);
    setColour(box, QPalette::Text, Qt::white);
  }
  setNamedFont(side.goButton, QStringLiteral("Myriad Roman"), 16);
  setCaptionColour(side.goButton, green);
  for (QWidget* button : {side.uninstallButton, side.installButton}) setCaptionColour(button, Qt::blue);
  for (QWidget* button : {side.deleteInstalledButton, side.deleteUninstalledButton})
    setCaptionColour(button, Qt::red);
  applySelectedDirectoryLook(side.selectedDirectoryLabel);
}

}  // namespace

OrganizerPage::OrganizerPage(QWidget* window, QStatusBar* statusBar, GameDirectory& gameDirectory,
                             OrganizerSide side, OrganizerPaths& paths)
    : UninstallFrom(paths.UninstallFrom),
      UninstallTo(paths.UninstallTo),
      InstallFrom(paths.InstallFrom),
      InstallTo(paths.InstallTo),
      window_(window),
      statusBar_(statusBar),
      game_(gameDirectory),
      paths_(paths),
      side_(std::move(side)) {
  const auto readSelected = [this](QTreeWidget* list, const char* top) {
    return [this, list, top] { return itemPath(selectedItem(list), top); };
  };
  paths_.UninstallFrom.readFrom(readSelected(side_.installedList, side_.installedFolder));
  paths_.UninstallTo.readFrom(readSelected(side_.installedList, side_.uninstalledFolder));
  paths_.InstallFrom.readFrom(readSelected(side_.uninstalledList, side_.uninstalledFolder));
  paths_.InstallTo.readFrom(readSelected(side_.uninstalledList, side_.installedFolder));
  for (TFindFile* search : {&side_.installedSearch, &side_.uninstalledSearch}) {
    search->setFilename(side_.fileMask);
    search->setContaining(side_.marker);
    search->OnNewFolder = [this](TFindFile* s, const std::string& f, bool&) { newFolder(s, f); };
  }
  side_.installedSearch.OnFound = [this](TFindFile* s, const std::string& f, TSearchRec& r) {
    installedFound(s, f, r);
  };
  side_.uninstalledSearch.OnFound = [this](TFindFile* s, const std::string& f, TSearchRec& r) {
    uninstalledFound(s, f, r);
  };
  side_.installedSearch.OnComplete = [this](TFindFile*) { installedComplete(); };
  side_.uninstalledSearch.OnComplete = [this](TFindFile*) { uninstalledComplete(); };
  applyOrganizerLook(side_);
  // A row or a name too long for its control shows whole in its tooltip.
  for (QTreeWidget* list : {side_.installedList, side_.uninstalledList}) showCutTextAsTooltip(list);
  for (QWidget* box : side_.nameBoxes)
    if (auto* nameBox = qobject_cast<QLineEdit*>(box)) showCutTextAsTooltip(nameBox);
  // Both lists stretch with the window; Exit keeps its place.
  new ListStretcher(side_.installedList->parentWidget(), {side_.installedList, side_.uninstalledList},
                    {side_.uninstallButton, side_.deleteInstalledButton, side_.installButton,
                     side_.deleteUninstalledButton});
  connectControls(window);
  pack_ = std::make_unique<OrganizerPack>(window, statusBar, game_, side_, [this] { return busy(); });
  if (side_.filterBox != nullptr)
    filter_ = std::make_unique<OrganizerFilter>(side_.filterBox, side_.filterCount,
                                                std::vector<QTreeWidget*>{side_.installedList, side_.uninstalledList},
                                                side_.readDisplayName);
  game_.listen([this](const std::string& folder) { followGameFolder(folder); });
}

OrganizerPage::~OrganizerPage() {
  for (SelectedPath* path : {&paths_.UninstallFrom, &paths_.UninstallTo, &paths_.InstallFrom, &paths_.InstallTo})
    path->readFrom(nullptr);
}

void OrganizerPage::connectControls(QWidget* window) {
  const auto onClick = [this, window](QPushButton* button, void (OrganizerPage::*handler)()) {
    QObject::connect(button, &QPushButton::clicked, window, guarded(window, [this, handler] { (this->*handler)(); }));
  };
  onClick(side_.goButton, &OrganizerPage::go);
  onClick(side_.uninstallButton, &OrganizerPage::uninstall);
  onClick(side_.installButton, &OrganizerPage::install);
  onClick(side_.deleteInstalledButton, &OrganizerPage::deleteInstalled);
  onClick(side_.deleteUninstalledButton, &OrganizerPage::deleteUninstalled);
  QObject::connect(side_.installedList, &QTreeWidget::itemSelectionChanged, window,
                   guarded(window, [this] { installedSelectionChange(); }));
  QObject::connect(side_.uninstalledList, &QTreeWidget::itemSelectionChanged, window,
                   guarded(window, [this] { uninstalledSelectionChange(); }));
  new ListDoubleClick(side_.installedList, guarded(window, [this] { installedDoubleClick(); }));
  new ListDoubleClick(side_.uninstalledList, guarded(window, [this] { uninstalledDoubleClick(); }));
}

// The lists belong to the old folder; the searches and Go follow the new one.
void OrganizerPage::followGameFolder(const std::string& folder) {
  side_.details.withdraw();
  side_.installedList->clear();
  side_.uninstalledList->clear();
  side_.selectedDirectory->setText(nameText(folder));
  const bool usable = game_.usable();
  side_.goButton->setEnabled(usable);
  if (!usable) return;
  // A folder name may hold "?" or "*", which a search folder refuses: this page then cannot
  // search the folder (and must not search the old one for it).
  try {
    side_.installedSearch.setLocation(game_.subWithDelim(side_.installedFolder));
    side_.uninstalledSearch.setLocation(game_.subWithDelim(side_.uninstalledFolder));
  } catch (...) {
    side_.goButton->setEnabled(false);
    throw;
  }
}

bool OrganizerPage::busy() const { return side_.installedSearch.Busy() || side_.uninstalledSearch.Busy(); }

void OrganizerPage::go() {
  // A search already running (the button can be enabled again by a directory change meanwhile)
  // finishes on its own; a second one inside it would mix both into the lists.
  if (busy()) return;
  side_.details.withdraw();
  if (side_.missingInstalledFolderError != nullptr && !directoryExists(game_.sub(side_.installedFolder)))
    throw Exception(side_.missingInstalledFolderError);
  if (side_.goSetsSearchFolders) {
    side_.installedSearch.setLocation(game_.sub(side_.installedFolder));
    side_.uninstalledSearch.setLocation(game_.sub(side_.uninstalledFolder));
  }
  runSearches();
}

void OrganizerPage::runSearches() {
  const std::string uninstalled = game_.sub(side_.uninstalledFolder);
  if (!directoryExists(uninstalled) && !createDirectory(uninstalled))
    throw Exception("Cannot create " + uninstalled);
  clearList(side_.installedList);
  clearList(side_.uninstalledList);
  // Go and the actions are disabled while the lists fill; the focus comes back to where it was.
  const KeepFocus keepFocus(side_.installedList);
  side_.goButton->setEnabled(false);

  // Install, Uninstall and Delete end with a new search; they wait until this one has finished.
  const std::vector<QPushButton*> actions{side_.uninstallButton, side_.installButton,
                                          side_.deleteInstalledButton, side_.deleteUninstalledButton};
  for (QPushButton* b : actions) b->setEnabled(false);
  struct EnableOnExit {
    const std::vector<QPushButton*>& buttons;
    ~EnableOnExit() {
      for (QPushButton* b : buttons) b->setEnabled(true);
    }
  } enableOnExit{actions};

  // Temporary folders of copies cut off earlier (never the only copy of anything) go meanwhile.
  LeftoverSweep sweep({side_.installedSearch.Location(), side_.uninstalledSearch.Location()});

  search_.start(game_.path());
  side_.installedSearch.Execute();
  if (!search_.isStale(game_.path())) side_.uninstalledSearch.Execute();
  sweep.finish();
}

void OrganizerPage::newFolder(TFindFile* sender, const std::string& folder) {
  if (search_.stopIfStale(sender, game_.path())) return;
  search_.newFolder(statusBar_, folder);
}

void OrganizerPage::found(TFindFile* sender, QTreeWidget* list, const CaptionRule& rule, bool installed,
                          const std::string& folder, const std::string& fileName) {
  if (search_.stopIfStale(sender, game_.path())) return;
  const std::string caption = rule(game_, folder, fileName);
  if (caption.empty() || (installed && side_.isStock(caption, fileName))) return;
  addOrganizerItem(search_, list, caption, folder, fileName);
  search_.pump(statusBar_);
}

void OrganizerPage::installedFound(TFindFile* sender, const std::string& folder, TSearchRec& fileInfo) {
  found(sender, side_.installedList, side_.installedCaption, true, folder, fileInfo.Name);
}

void OrganizerPage::uninstalledFound(TFindFile* sender, const std::string& folder, TSearchRec& fileInfo) {
  found(sender, side_.uninstalledList, side_.uninstalledCaption, false, folder, fileInfo.Name);
}

void OrganizerPage::installedComplete() {
  search_.flush(statusBar_);
  if (search_.isStale(game_.path())) return;
  const int installed = side_.installedList->topLevelItemCount();
  side_.installedCount->setText(countText(installed));
  side_.totalCount->setText(countText(installed + side_.stockCount));
}

void OrganizerPage::uninstalledComplete() {
  search_.flush(statusBar_);
  if (search_.isStale(game_.path())) return;
  side_.goButton->setEnabled(true);
  side_.uninstalledCount->setText(countText(side_.uninstalledList->topLevelItemCount()));
}

void OrganizerPage::selectionChange(QTreeWidget* list, bool uninstalled) {
  QTreeWidgetItem* item = selectedItem(list);
  if (item == nullptr) return;
  side_.details.show(itemCaption(item), itemFileName(item), uninstalled);
}

std::string OrganizerPage::itemPath(const QTreeWidgetItem* item, const char* top) const {
  return item == nullptr ? std::string() : game_.subWithDelim(top) + itemCaption(item);
}

void OrganizerPage::installedSelectionChange() { selectionChange(side_.installedList, false); }

void OrganizerPage::uninstalledSelectionChange() { selectionChange(side_.uninstalledList, true); }

void OrganizerPage::installedDoubleClick() {
  if (QTreeWidgetItem* item = selectedItem(side_.installedList)) shellOpen(itemFileName(item), itemFolder(item));
}

void OrganizerPage::uninstalledDoubleClick() {
  if (QTreeWidgetItem* item = selectedItem(side_.uninstalledList)) shellOpen(itemFileName(item), itemFolder(item));
}

// Install, Uninstall and Delete: one row as before, several as a batch.

std::vector<BatchRow> OrganizerPage::batchRows(const std::vector<QTreeWidgetItem*>& rows, const char* fromTop,
                                               const char* toTop) const {
  std::vector<BatchRow> batch;
  for (const QTreeWidgetItem* item : rows)
    batch.push_back({itemCaption(item), itemPath(item, fromTop), toTop == nullptr ? std::string() : itemPath(item, toTop)});
  return batch;
}

void OrganizerPage::moveRows(QTreeWidget* list, const char* fromTop, const char* toTop, HistoryActionKind kind,
                             const char* verb, const char* done) {
  // Only the rows the list shows selected are acted on: Go and a change of game folder leave none.
  const std::vector<QTreeWidgetItem*> rows = selectedRows(list);
  if (rows.size() == 1) return moveItem(list, *rows.front(), fromTop, toTop, kind, verb);
  if (rows.empty() || busy()) return;
  ListPlace place = placeOf(list);
  place.row = list->indexOfTopLevelItem(rows.front());
  const std::vector<BatchRow> batch = batchRows(rows, fromTop, toTop);
  const std::string game = game_.path();
  runAndFinishBatch(list, place, batch, kind, verb, done, [&game](const BatchRow& row, TransferProgress& progress) {
    checkTransferPath(game, row.from);
    checkTransferPath(game, row.to);
    const std::string destination = destinationIgnoringCase(game, row.to);
    MoveFolder(row.from, destination, &progress);
    return destination;
  });
}

// Install and Uninstall of one row: the folder moves, then the page searches again.
void OrganizerPage::moveItem(QTreeWidget* list, const QTreeWidgetItem& item, const char* fromTop, const char* toTop,
                             HistoryActionKind kind, const char* verb) {
  if (busy()) return;
  // The item goes with the lists: what the move needs of it is taken first.
  const std::string from = itemPath(&item, fromTop);
  const std::string to = itemPath(&item, toTop);
  checkTransferPath(game_.path(), from);
  checkTransferPath(game_.path(), to);
  const std::string destination = destinationIgnoringCase(game_.path(), to);
  const QString label =
      QStringLiteral("%1 %2").arg(QString::fromUtf8(verb), nameText(extractFileName(from)));
  const ListPlace place = placeOf(list);
  // A refused or failed move ends the action here; a cancelled one leaves the source whole.
  const bool moved = runTransfer(
      window_, label, [&](TransferProgress& progress) { MoveFolder(from, destination, &progress); },
      kProgressDialogDelayMs, true);
  if (moved) record(kind, {historyItem(from, destination)});
  go();
  returnTo(list, place);
  if (!moved) statusBar_->showMessage(label + QStringLiteral(" cancelled: nothing was moved"));
}

void OrganizerPage::deleteRows(QTreeWidget* list, const char* top) {
  const std::vector<QTreeWidgetItem*> rows = selectedRows(list);
  if (rows.size() == 1) return deleteItem(list, *rows.front(), top);
  if (rows.empty() || busy()) return;
  // What the delete needs of the rows is taken before the question, as the lists may change under it.
  ListPlace place = placeOf(list);
  place.row = list->indexOfTopLevelItem(rows.front());
  const std::vector<BatchRow> batch = batchRows(rows, top, nullptr);
  if (!confirmBatchDelete(window_, side_.itemKind, itemsNoun(side_.itemKind), batch,
                          excludeTrailingDelim(game_.subWithDelim(top))))
    return;
  const std::string game = game_.path();
  runAndFinishBatch(list, place, batch, HistoryActionKind::Delete, "Deleting", "deleted",
                    [&game](const BatchRow& row, TransferProgress& progress) {
                      checkTransferPath(game, row.from);
                      DeleteFolder(row.from, &progress);
                      return std::string();
                    });
}

// Delete of one row: only after Yes.
void OrganizerPage::deleteItem(QTreeWidget* list, const QTreeWidgetItem& item, const char* top) {
  if (busy()) return;
  const std::string folder = itemPath(&item, top);
  if (!confirmDelete(window_, side_.itemKind, folder)) return;
  checkTransferPath(game_.path(), folder);
  const QString label = QStringLiteral("Deleting %1").arg(nameText(extractFileName(folder)));
  const ListPlace place = placeOf(list);
  runTransfer(window_, label, [&](TransferProgress& progress) { DeleteFolder(folder, &progress); });
  record(HistoryActionKind::Delete, {historyItem(folder, {})});
  go();
  returnTo(list, place);
}

void OrganizerPage::runAndFinishBatch(QTreeWidget* list, const ListPlace& place, const std::vector<BatchRow>& batch,
                                      HistoryActionKind kind, const char* verb, const char* done,
                                      const std::function<std::string(const BatchRow&, TransferProgress&)>& act) {
  // The action is recorded after each row, so that the history keeps up with the disk even when the
  // program ends in the middle; each record after the first rewrites the action's items.
  std::int64_t actionId = 0;
  const auto historyItems = [this](const std::vector<BatchRow>& rows) {
    std::vector<HistoryItem> items;
    for (const BatchRow& row : rows) items.push_back(historyItem(row.from, row.to));
    return items;
  };
  const std::string game = game_.path();
  const BatchResult result = runBatch(window_, batch, verb, act, [&](const std::vector<BatchRow>& rows) {
    actionId = record(kind, historyItems(rows), actionId, game);
  });
  // Once more on the window's thread, which shows a failure of the history and updates the menu.
  record(kind, historyItems(result.done), actionId, game);
  go();
  returnTo(list, place);
  const std::string noun = itemsNoun(side_.itemKind);
  if (const std::string cancelled = batchCancelledText(result, batch.size(), verb, noun); !cancelled.empty())
    statusBar_->showMessage(QString::fromStdString(cancelled));
  if (const std::string failed = batchFailureText(result, batch.size(), noun, done); !failed.empty())
    throw Exception(failed);
}

HistoryItem OrganizerPage::historyItem(const std::string& from, const std::string& to) const {
  return {.kind = side_.historyKind, .name = extractFileName(from), .fromPath = from, .toPath = to, .replacedTo = {}};
}

std::int64_t OrganizerPage::record(HistoryActionKind kind, std::vector<HistoryItem> items, std::int64_t id,
                                   const std::string& gameFolder) {
  if (!recorder_ || items.empty()) return id;
  HistoryAction action;
  action.id = id;
  action.gameFolder = gameFolder.empty() ? game_.path() : gameFolder;
  action.kind = kind;
  action.items = std::move(items);
  return recorder_(action);
}

void OrganizerPage::uninstall() {
  moveRows(side_.installedList, side_.installedFolder, side_.uninstalledFolder, HistoryActionKind::Uninstall,
           "Uninstalling", "uninstalled");
}

void OrganizerPage::install() {
  moveRows(side_.uninstalledList, side_.uninstalledFolder, side_.installedFolder, HistoryActionKind::Install,
           "Installing", "installed");
}

void OrganizerPage::deleteInstalled() { deleteRows(side_.installedList, side_.installedFolder); }

void OrganizerPage::deleteUninstalled() { deleteRows(side_.uninstalledList, side_.uninstalledFolder); }

bool OrganizerPage::showSelected(const std::string& folder) {
  go();
  bringPageToFront(side_.installedList);
  for (QTreeWidget* list : {side_.installedList, side_.uninstalledList}) {
    if (QTreeWidgetItem* item = itemWithFolder(list, folder)) {
      list->setCurrentItem(item);
      list->scrollToItem(item);
      list->setFocus();
      return true;
    }
  }
  return false;
}

void OrganizerPage::forget() {
  side_.installedList->clear();
  side_.uninstalledList->clear();
}

}  // namespace pitkit
