#include "organizers/OrganizerPage.h"

#include <QEventLoop>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>
#include <QTreeWidget>

#include <atomic>
#include <cctype>
#include <cerrno>
#include <thread>
#include <utility>

#include "transfer/FolderTransfer.h"
#include "organizers/OrganizerFilter.h"
#include "organizers/OrganizerList.h"
#include "transfer/TransferRunner.h"
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

// The organizers' one question, asked for cars too.
const char* const kConfirmDeleteText = "Are you shure you want to delete this level?";

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

// Names what a delete removes: the item, and the folder it is deleted from.
QString deleteDetailText(const char* itemKind, const std::string& folder) {
  const std::string parent = extractFilePath(folder);
  return QStringLiteral("%1: %2\nIn: %3\nIt is deleted for good, with every file in its folder.")
      .arg(QString::fromUtf8(itemKind), nameText(extractFileName(folder)),
           nameText(parent.size() > 1 ? parent.substr(0, parent.size() - 1) : parent));
}

// The destination of a move as the game in `game` sees it: a name taken in another letter case is
// taken (refused here, before anything moves), and a parent that exists in another case is used
// rather than made a second time beside it. A destination outside the game folder is left as it is.
std::string destinationIgnoringCase(const std::string& game, const std::string& to) {
  const std::string top = includeTrailingDelim(game);
  if (to.size() <= top.size() || to.compare(0, top.size(), top) != 0) return to;
  const std::string relative = to.substr(top.size());
  const std::string taken = takenPath(game, relative);
  // A name taken exactly is refused by the move itself.
  if (taken.empty() || taken == game + PathDelim + relative) return findIgnoringCase(game, relative);
  const std::string folder = extractFilePath(taken);
  throw EMoveError({.kind = MoveError::Kind::NameTaken,
                    .item = extractFileName(to),
                    .destination = folder.substr(0, folder.size() - 1),
                    .entry = extractFileName(taken),
                    .error = EEXIST});
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

namespace {

// Removes the leftover copies in some folders on a worker thread (a deep leftover takes a while)
// while the searches run: they never enter a hidden folder, so they never meet a half-removed one.
class LeftoverSweep {
 public:
  explicit LeftoverSweep(std::vector<std::string> folders)
      : thread_([this, folders = std::move(folders)] {
          for (const std::string& folder : folders) removeLeftoverCopies(folder);
          done_ = true;
          QMetaObject::invokeMethod(&loop_, &QEventLoop::quit, Qt::QueuedConnection);
        }) {}
  LeftoverSweep(const LeftoverSweep&) = delete;
  LeftoverSweep& operator=(const LeftoverSweep&) = delete;
  // Waits for the sweep to end, the window handling its events meanwhile. A quit that came before
  // the wait finds `done_` already set.
  void finish() {
    if (!done_) loop_.exec();
    thread_.join();
  }
  ~LeftoverSweep() {
    if (thread_.joinable()) thread_.join();
  }

 private:
  QEventLoop loop_;
  std::atomic<bool> done_{false};
  std::thread thread_;  // last: it starts once the rest is made
};

}  // namespace

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

// What a batch did: the rows done, those that failed, and whether its Cancel stopped it.
struct OrganizerPage::BatchResult {
  std::vector<HistoryItem> done;
  std::vector<std::pair<std::string, std::string>> failed;  // the row's caption, the reason
  bool cancelled = false;
};

void OrganizerPage::moveRows(QTreeWidget* list, const char* fromTop, const char* toTop, HistoryActionKind kind,
                             const char* verb, const char* done) {
  // Only the rows the list shows selected are acted on: Go and a change of game folder leave none.
  const std::vector<QTreeWidgetItem*> rows = selectedRows(list);
  if (rows.size() == 1) return moveItem(list, *rows.front(), fromTop, toTop, kind, verb);
  if (rows.empty() || busy()) return;
  ListPlace place = placeOf(list);
  place.row = list->indexOfTopLevelItem(rows.front());
  std::vector<BatchRow> batch;
  for (const QTreeWidgetItem* item : rows)
    batch.push_back({itemCaption(item), itemPath(item, fromTop), itemPath(item, toTop)});
  const std::string game = game_.path();
  BatchResult result = runBatch(batch, verb, [&game](const BatchRow& row, TransferProgress& progress) {
    checkTransferPath(game, row.from);
    checkTransferPath(game, row.to);
    const std::string destination = destinationIgnoringCase(game, row.to);
    MoveFolder(row.from, destination, &progress);
    return destination;
  });
  finishBatch(list, place, kind, verb, done, batch.size(), result);
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
  std::vector<BatchRow> batch;
  for (const QTreeWidgetItem* item : rows) batch.push_back({itemCaption(item), itemPath(item, top), {}});
  // One question for all, naming how many and the first few.
  constexpr std::size_t kNamed = 5;
  QStringList named;
  for (std::size_t i = 0; i < batch.size() && i < kNamed; ++i)
    named << QStringLiteral("%1: %2").arg(QString::fromUtf8(side_.itemKind), nameText(batch[i].caption));
  if (batch.size() > kNamed) named << QStringLiteral("and %1 more").arg(batch.size() - kNamed);
  const std::string folder = excludeTrailingDelim(game_.subWithDelim(top));
  QMessageBox confirm(QMessageBox::Question, QStringLiteral("Confirm"),
                      QStringLiteral("Are you sure you want to delete these %1 %2?")
                          .arg(batch.size())
                          .arg(QString::fromStdString(itemsNoun())),
                      QMessageBox::Yes | QMessageBox::No, window_);
  confirm.setObjectName(QStringLiteral("Confirm"));
  confirm.setInformativeText(
      QStringLiteral("%1\nIn: %2\nThey are deleted for good, with every file in their folders.")
          .arg(named.join(QLatin1Char('\n')), nameText(folder)));
  confirm.setDefaultButton(QMessageBox::Yes);
  confirm.setEscapeButton(QMessageBox::No);
  if (confirm.exec() != QMessageBox::Yes) return;
  const std::string game = game_.path();
  BatchResult result = runBatch(batch, "Deleting", [&game](const BatchRow& row, TransferProgress& progress) {
    checkTransferPath(game, row.from);
    DeleteFolder(row.from, &progress);
    return std::string();
  });
  finishBatch(list, place, HistoryActionKind::Delete, "Deleting", "deleted", batch.size(), result);
}

// Delete of one row: only after Yes.
void OrganizerPage::deleteItem(QTreeWidget* list, const QTreeWidgetItem& item, const char* top) {
  if (busy()) return;
  const std::string folder = itemPath(&item, top);
  QMessageBox confirm(QMessageBox::Question, QStringLiteral("Confirm"), QString::fromUtf8(kConfirmDeleteText),
                      QMessageBox::Yes | QMessageBox::No, window_);
  confirm.setObjectName(QStringLiteral("Confirm"));
  // The question is the same for both pages; the item it deletes is named under it.
  confirm.setInformativeText(deleteDetailText(side_.itemKind, folder));
  confirm.setDefaultButton(QMessageBox::Yes);
  confirm.setEscapeButton(QMessageBox::No);
  if (confirm.exec() != QMessageBox::Yes) return;
  checkTransferPath(game_.path(), folder);
  const QString label = QStringLiteral("Deleting %1").arg(nameText(extractFileName(folder)));
  const ListPlace place = placeOf(list);
  runTransfer(window_, label, [&](TransferProgress& progress) { DeleteFolder(folder, &progress); });
  record(HistoryActionKind::Delete, {historyItem(folder, {})});
  go();
  returnTo(list, place);
}

OrganizerPage::BatchResult OrganizerPage::runBatch(
    const std::vector<BatchRow>& rows, const char* verb,
    const std::function<std::string(const BatchRow&, TransferProgress&)>& act) {
  BatchResult result;
  std::atomic<std::size_t> inHand{0};
  const auto label = [&] {
    const std::size_t i = inHand;
    return QStringLiteral("%1 %2 (%3 of %4)")
        .arg(QString::fromUtf8(verb), nameText(extractFileName(rows[i].from)))
        .arg(i + 1)
        .arg(rows.size());
  };
  runTransfer(
      window_, label,
      [&](TransferProgress& progress) {
        for (std::size_t i = 0; i < rows.size() && !progress.cancelRequested; ++i) {
          inHand = i;
          progress.startNextFolder();
          try {
            const std::string to = act(rows[i], progress);
            result.done.push_back(historyItem(rows[i].from, to));
          } catch (const ETransferCancelled&) {
            break;  // the row in hand is whole where it was
          } catch (const std::exception& e) {
            result.failed.emplace_back(rows[i].caption, e.what());
          }
        }
        result.cancelled = progress.cancelRequested;
      },
      kProgressDialogDelayMs, true);
  return result;
}

void OrganizerPage::finishBatch(QTreeWidget* list, const ListPlace& place, HistoryActionKind kind, const char* verb,
                                const char* done, std::size_t rows, BatchResult& result) {
  const std::size_t doneCount = result.done.size();
  record(kind, std::move(result.done));
  go();
  returnTo(list, place);
  const std::string noun = itemsNoun();
  // A cancel that came only after the last row was done stopped nothing.
  if (result.cancelled && doneCount + result.failed.size() < rows)
    statusBar_->showMessage(QStringLiteral("%1 cancelled after %2 of %3 %4; the rest were left as they were")
                                .arg(QString::fromUtf8(verb))
                                .arg(doneCount)
                                .arg(rows)
                                .arg(QString::fromStdString(noun)));
  if (result.failed.empty()) return;
  std::string text = std::to_string(result.failed.size()) + " of " + std::to_string(rows) + " " + noun +
                     " could not be " + done + ":";
  for (const auto& [caption, reason] : result.failed) text += "\n" + caption + ": " + withFullStop(reason);
  throw Exception(text);
}

std::string OrganizerPage::itemsNoun() const {
  if (side_.itemKind == nullptr) return "items";
  std::string noun = side_.itemKind;
  for (char& c : noun) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return noun + "s";
}

HistoryItem OrganizerPage::historyItem(const std::string& from, const std::string& to) const {
  return {.kind = side_.historyKind, .name = extractFileName(from), .fromPath = from, .toPath = to, .replacedTo = {}};
}

void OrganizerPage::record(HistoryActionKind kind, std::vector<HistoryItem> items) {
  if (!recorder_ || items.empty()) return;
  HistoryAction action;
  action.gameFolder = game_.path();
  action.kind = kind;
  action.items = std::move(items);
  recorder_(action);
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
