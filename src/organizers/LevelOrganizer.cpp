// The "Level Organizer" page of TForm1: the searches for installed and uninstalled levels, their
// lists and counters, the details of a selected level, and Install, Uninstall and Delete.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QLinearGradient>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QStatusBar>
#include <QTreeWidget>
#include <algorithm>
#include <functional>
#include <vector>

#include "organizers/FolderTransfer.h"
#include "organizers/InfoFile.h"
#include "organizers/StockTables.h"
#include "organizers/TransferRunner.h"
#include "platform/ErrorBox.h"
#include "platform/Errors.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "platform/PictureBox.h"
#include "platform/ShellOpen.h"
#include "shell/Fonts.h"
#include "shell/Unit1.h"

namespace pitkit {

namespace {

const char* const kInfoFileMarker = "Torvane .INF file structure";
const char* const kConfirmDeleteText = "Are you shure you want to delete this level?";
constexpr int kLevelNameTypingLimit = 27;
// The window handles pending events during a search at most this often (about 60 times a second).
constexpr qint64 kEventPumpIntervalMs = 16;

// Item data: the folder the search reported, and the caption as the raw bytes of the file name
// (file names need not be valid UTF-8, and the paths built from the caption must match the disk).
constexpr int kFolderRole = Qt::UserRole;
constexpr int kCaptionRole = Qt::UserRole + 1;
// The info file's own name as the search found it: "C.inf", or "C.INF" for a level made where
// letter case does not count.
constexpr int kInfoFileRole = Qt::UserRole + 2;

std::string sub(const std::string& gameDirectory, const char* folder) {
  return gameDirectory + PathDelim + folder + PathDelim;
}

// Lets the window repaint and take input during a search, without letting event handling
// dominate a search over thousands of levels. What the window would show is handed to it just
// before it repaints, which is the only time it can be seen: the folder being searched goes into
// the status bar, and the levels found meanwhile are added to their list in one step.
class SearchEventPump {
 public:
  void newFolder(QStatusBar* bar, const std::string& folder) {
    pendingFolder_ = folder;
    pump(bar);
  }
  void addItem(QTreeWidget* list, QTreeWidgetItem* item) {
    if (pendingList_ != list) flushItems();
    pendingList_ = list;
    pendingItems_.append(item);
  }
  void pump(QStatusBar* bar) {
    if (sinceLastPump_.isValid() && sinceLastPump_.elapsed() < kEventPumpIntervalMs) return;
    // Everything found so far is in the lists before any other handler (a directory change that
    // empties them, a selection) can run.
    flush(bar);
    QCoreApplication::processEvents();
    sinceLastPump_.start();
  }
  // Shows the last folder announced and adds the waiting items; called when a search completes.
  void flush(QStatusBar* bar) {
    flushItems();
    if (pendingFolder_.empty()) return;
    bar->showMessage(QString::fromStdString(pendingFolder_));
    pendingFolder_.clear();
  }

 private:
  void flushItems() {
    if (pendingList_ != nullptr && !pendingItems_.isEmpty()) pendingList_->addTopLevelItems(pendingItems_);
    pendingItems_.clear();
    pendingList_ = nullptr;
  }

  QElapsedTimer sinceLastPump_;
  std::string pendingFolder_;
  QTreeWidget* pendingList_ = nullptr;
  QList<QTreeWidgetItem*> pendingItems_;
};

SearchEventPump& searchEventPump() {
  static SearchEventPump pump;
  return pump;
}

// The game directory the running Go searches. When the game directory changes meanwhile (or the
// window closes, which empties it), the search belongs to a folder no longer shown: it is stopped
// at its next event and leaves the counters and the Go button as the change left them.
std::string& searchedDirectory() {
  static std::string directory;
  return directory;
}

bool searchIsStale(const std::string& gameDirectory) { return gameDirectory != searchedDirectory(); }

bool stopIfStale(TFindFile* search, const std::string& gameDirectory) {
  if (!searchIsStale(gameDirectory)) return false;
  search->setAborted(true);
  return true;
}

QString countText(int count) { return QString::asprintf("%d  ", count); }

// Queues an item for the list; it is added at the next repaint or when the search completes.
void addLevelItem(QTreeWidget* list, const std::string& caption, const std::string& folder,
                  const std::string& infoFile) {
  auto* item = new QTreeWidgetItem;
  item->setText(0, QString::fromStdString(caption));
  item->setData(0, kFolderRole, QByteArray::fromStdString(folder));
  item->setData(0, kCaptionRole, QByteArray::fromStdString(caption));
  item->setData(0, kInfoFileRole, QByteArray::fromStdString(infoFile));
  searchEventPump().addItem(list, item);
}

QTreeWidgetItem* selectedItem(QTreeWidget* list) {
  const QList<QTreeWidgetItem*> items = list->selectedItems();
  return items.isEmpty() ? nullptr : items.first();
}

std::string itemCaption(const QTreeWidgetItem* item) { return item->data(0, kCaptionRole).toByteArray().toStdString(); }
std::string itemFolder(const QTreeWidgetItem* item) { return item->data(0, kFolderRole).toByteArray().toStdString(); }
std::string itemInfoFile(const QTreeWidgetItem* item) {
  return item->data(0, kInfoFileRole).toByteArray().toStdString();
}

void clearList(QTreeWidget* list) {
  list->setUpdatesEnabled(false);
  list->clear();
  list->setUpdatesEnabled(true);
}

// Shows a name whole even when it is longer than the box's typing limit; a limit of 0 means the
// box has none and is left as it is.
void showName(QLineEdit* box, const QString& name, int typingLimit) {
  if (typingLimit > 0) box->setMaxLength(std::max(typingLimit, static_cast<int>(name.size())));
  box->setText(name);
}

// The picture the preview shows until a level is selected: drawn here, a track on a lawn.
QPixmap defaultPreview() {
  QPixmap picture(160, 120);
  QPainter painter(&picture);
  painter.setRenderHint(QPainter::Antialiasing);
  QLinearGradient sky(0, 0, 0, 120);
  sky.setColorAt(0, QColor(120, 170, 230));
  sky.setColorAt(0.45, QColor(200, 225, 245));
  sky.setColorAt(0.46, QColor(70, 140, 60));
  sky.setColorAt(1, QColor(40, 100, 40));
  painter.fillRect(picture.rect(), sky);
  painter.setPen(QPen(QColor(90, 90, 90), 14));
  painter.setBrush(Qt::NoBrush);
  painter.drawEllipse(QRectF(22, 62, 116, 44));
  painter.setPen(QPen(Qt::white, 1, Qt::DashLine));
  painter.drawEllipse(QRectF(22, 62, 116, 44));
  QFont font = painter.font();
  font.setBold(true);
  font.setItalic(true);
  font.setPixelSize(15);
  painter.setFont(font);
  painter.setPen(QColor(30, 40, 90));
  painter.drawText(QRect(0, 10, 160, 30), Qt::AlignCenter, QStringLiteral("Torvane"));
  return picture;
}

// Runs a handler on every double click with the left button anywhere in a list, on an item or
// below the last one; the handler itself decides by the list's selection what to open.
class ListDoubleClick : public QObject {
 public:
  ListDoubleClick(QTreeWidget* list, std::function<void()> handler)
      : QObject(list), handler_(std::move(handler)) {
    list->viewport()->installEventFilter(this);
  }

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::MouseButtonDblClick &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
      handler_();
    return false;
  }

 private:
  std::function<void()> handler_;
};

// Keeps the level lists filling the page's height: the lists grow and shrink with the page, the
// controls below them keep their distance to the bottom edge.
class LevelPageResizer : public QObject {
 public:
  LevelPageResizer(QWidget* page, std::vector<QWidget*> stretching, std::vector<QWidget*> bottomAnchored)
      : QObject(page), page_(page), designHeight_(page->height()) {
    for (QWidget* w : stretching) stretching_.push_back({w, w->geometry()});
    for (QWidget* w : bottomAnchored) bottom_.push_back({w, w->geometry()});
    page->installEventFilter(this);
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == page_ && event->type() == QEvent::Resize) {
      // Never shrink the lists below a few rows.
      const int delta = std::max(page_->height() - designHeight_, -120);
      for (const auto& [w, r] : stretching_) w->setGeometry(r.x(), r.y(), r.width(), r.height() + delta);
      for (const auto& [w, r] : bottom_) w->move(r.x(), r.y() + delta);
    }
    return false;
  }

 private:
  struct Placed {
    QWidget* widget;
    QRect design;
  };
  QWidget* page_;
  int designHeight_;
  std::vector<Placed> stretching_;
  std::vector<Placed> bottom_;
};

}  // namespace

void TForm1::setUpLevelOrganizer() {
  auto& u = levelOrganizerUi;
  for (TFindFile* search : {&FindFile, &FindFile2}) {
    search->setFilename("*.inf");
    search->setContaining(kInfoFileMarker);
  }
  FindFile.OnNewFolder = [this](TFindFile* s, const std::string& f, bool& i) { FindFileNewFolder(s, f, i); };
  FindFile2.OnNewFolder = [this](TFindFile* s, const std::string& f, bool& i) { FindFile2NewFolder(s, f, i); };
  FindFile.OnFound = [this](TFindFile* s, const std::string& f, TSearchRec& r) { FindFileFound(s, f, r); };
  FindFile2.OnFound = [this](TFindFile* s, const std::string& f, TSearchRec& r) { FindFile2Found(s, f, r); };
  FindFile.OnComplete = [this](TFindFile* s) { FindFileComplete(s); };
  FindFile2.OnComplete = [this](TFindFile* s) { FindFile2Complete(s); };

  for (QTreeWidget* list : {u.FoundFiles, u.FoundFiles2}) {
    list->setHeaderLabels({QStringLiteral("Folder Name")});
    list->setSortingEnabled(false);
  }
  setUpLevelOrganizerLook();
  u.Image2->setPixmap(defaultPreview());

  connect(u.Findbutton, &QPushButton::clicked, this, guarded(this, [this] { FindButtonClick(); }));
  connect(u.FoundFiles, &QTreeWidget::itemSelectionChanged, this, guarded(this, [this] { FoundFilesChange(); }));
  connect(u.FoundFiles2, &QTreeWidget::itemSelectionChanged, this, guarded(this, [this] { FoundFiles2Change(); }));
  new ListDoubleClick(u.FoundFiles, guarded(this, [this] { FoundFilesDblClick(); }));
  new ListDoubleClick(u.FoundFiles2, guarded(this, [this] { FoundFiles2DblClick(); }));
  connect(u.BitBtn4, &QPushButton::clicked, this, guarded(this, [this] { BitBtn4Click(); }));
  connect(u.BitBtn5, &QPushButton::clicked, this, guarded(this, [this] { BitBtn5Click(); }));
  connect(u.BitBtn6, &QPushButton::clicked, this, guarded(this, [this] { BitBtn6Click(); }));
  connect(u.BitBtn7, &QPushButton::clicked, this, guarded(this, [this] { BitBtn7Click(); }));
  connect(u.viewreadme, &QPushButton::clicked, this, guarded(this, [this] { viewreadmeClick(); }));
  connect(u.inffile1, &QPushButton::clicked, this, guarded(this, [this] { inffile1Click(); }));

  new LevelPageResizer(ui.TabSheet2, {u.FoundFiles, u.FoundFiles2},
                       {u.BitBtn4, u.BitBtn5, u.BitBtn6, u.BitBtn7, u.Button2});
}

// The page's colour scheme: green lists and name boxes, a green "&Go", blue install and uninstall,
// red delete captions, a red bold italic "Selected Directory:" label.
void TForm1::setUpLevelOrganizerLook() {
  auto& u = levelOrganizerUi;
  applyOrganizerPageLook({{u.FoundFiles, u.FoundFiles2, u.Edit4, u.lvlname2},
                          u.Findbutton,
                          {u.BitBtn4, u.BitBtn6},
                          {u.BitBtn5, u.BitBtn7},
                          u.Label9});
  QFont bold = u.StaticText3->font();
  bold.setBold(true);
  u.StaticText3->setFont(bold);
}

void TForm1::FindButtonClick() {
  auto& u = levelOrganizerUi;
  // A search already running (the button can be enabled again by a directory change meanwhile)
  // finishes on its own; a second one inside it would mix both into the lists.
  if (FindFile.Busy() || FindFile2.Busy()) return;
  u.viewreadme->setEnabled(false);
  u.inffile1->setEnabled(false);
  if (!directoryExists(GameDirectory + PathDelim + "levels"))
    throw Exception("Selected Directory is not a TORVANE Main directory");
  const std::string uninstalled = GameDirectory + PathDelim + "un_levels";
  if (!directoryExists(uninstalled) && !createDirectory(uninstalled)) throw Exception("Cannot create " + uninstalled);
  for (const char* folder : {"levels", "un_levels"}) removeLeftoverCopies(GameDirectory + PathDelim + folder);
  clearList(u.FoundFiles);
  clearList(u.FoundFiles2);
  u.Findbutton->setEnabled(false);

  // Install, Uninstall and Delete end with a new search; they wait until this one has finished.
  const std::vector<QPushButton*> actions = {u.BitBtn4, u.BitBtn5, u.BitBtn6, u.BitBtn7};
  for (QPushButton* b : actions) b->setEnabled(false);
  struct EnableOnExit {
    const std::vector<QPushButton*>& buttons;
    ~EnableOnExit() {
      for (QPushButton* b : buttons) b->setEnabled(true);
    }
  } enableOnExit{actions};

  searchedDirectory() = GameDirectory;
  FindFile.Execute();
  if (!searchIsStale(GameDirectory)) FindFile2.Execute();
}

void TForm1::FindFileNewFolder(TFindFile* sender, const std::string& folder, bool&) {
  if (stopIfStale(sender, GameDirectory)) return;
  searchEventPump().newFolder(ui.StatusBar1, folder);
}

void TForm1::FindFile2NewFolder(TFindFile* sender, const std::string& folder, bool& ignoreFolder) {
  FindFileNewFolder(sender, folder, ignoreFolder);
}

void TForm1::FindFileFound(TFindFile* sender, const std::string& folder, TSearchRec& fileInfo) {
  if (stopIfStale(sender, GameDirectory)) return;
  const std::string& name = fileInfo.Name;
  if (isStockLevelInfoFile(name)) return;
  const std::string caption = stripFileExt(name);
  const std::string levels = sub(GameDirectory, "levels");
  // Only levels/C/C.inf, with folder and file named alike letter for letter. The search reports
  // the folder as levels/C exactly in all but odd cases (a differently spelt path to levels); then
  // the folder is the one the search has just listed, so it exists without asking the disk again.
  const bool exactlyLevelsC = folder.size() == levels.size() + caption.size() &&
                              folder.compare(0, levels.size(), levels) == 0 &&
                              folder.compare(levels.size(), std::string::npos, caption) == 0;
  if (!exactlyLevelsC && (relativePath(levels, folder) != caption || !directoryExists(levels + caption))) return;
  addLevelItem(levelOrganizerUi.FoundFiles, caption, folder, name);
  searchEventPump().pump(ui.StatusBar1);
}

void TForm1::FindFile2Found(TFindFile* sender, const std::string& folder, TSearchRec& fileInfo) {
  if (stopIfStale(sender, GameDirectory)) return;
  // A search still reporting from the previous game directory after the directory was changed
  // does not fill the new directory's list.
  const std::string uninstalled = normalizePathLexically(GameDirectory + PathDelim + "un_levels") + PathDelim;
  if (includeTrailingDelim(normalizePathLexically(folder)).compare(0, uninstalled.size(), uninstalled) != 0) return;
  addLevelItem(levelOrganizerUi.FoundFiles2, stripFileExt(fileInfo.Name), folder, fileInfo.Name);
  searchEventPump().pump(ui.StatusBar1);
}

void TForm1::FindFileComplete(TFindFile*) {
  searchEventPump().flush(ui.StatusBar1);
  if (searchIsStale(GameDirectory)) return;
  const int installed = levelOrganizerUi.FoundFiles->topLevelItemCount();
  levelOrganizerUi.Edit2->setText(countText(installed));
  levelOrganizerUi.Edit1->setText(countText(installed + kStockLevelCount));
}

void TForm1::FindFile2Complete(TFindFile*) {
  searchEventPump().flush(ui.StatusBar1);
  if (searchIsStale(GameDirectory)) return;
  levelOrganizerUi.Findbutton->setEnabled(true);
  levelOrganizerUi.Edit3->setText(countText(levelOrganizerUi.FoundFiles2->topLevelItemCount()));
}

void TForm1::FoundFilesChange() {
  QTreeWidgetItem* item = selectedItem(levelOrganizerUi.FoundFiles);
  if (item == nullptr) return;
  const std::string caption = itemCaption(item);
  LevelUninstallFrom = sub(GameDirectory, "levels") + caption;
  LevelUninstallTo = sub(GameDirectory, "un_levels") + caption;
  showLevelDetails(sub(GameDirectory, "levels"), caption, itemInfoFile(item), levelOrganizerUi.Edit4,
                   kLevelNameTypingLimit);
}

void TForm1::FoundFiles2Change() {
  QTreeWidgetItem* item = selectedItem(levelOrganizerUi.FoundFiles2);
  if (item == nullptr) return;
  const std::string caption = itemCaption(item);
  LevelInstallFrom = sub(GameDirectory, "un_levels") + caption;
  LevelInstallTo = sub(GameDirectory, "levels") + caption;
  showLevelDetails(sub(GameDirectory, "un_levels"), caption, itemInfoFile(item), levelOrganizerUi.lvlname2, 0);
}

void TForm1::showLevelDetails(const std::string& parentFolder, const std::string& caption,
                              const std::string& infoFile, QLineEdit* nameBox, int typingLimit) {
  auto& u = levelOrganizerUi;
  const std::string levelFolder = parentFolder + caption + PathDelim;
  // Read first: when the info file cannot be read, nothing else of the details changes.
  const std::string name = readLevelDisplayName(levelFolder + infoFile);
  showName(nameBox, QString::fromStdString(name), typingLimit);
  SelectedLevelFolder = levelFolder;
  SelectedLevelInfoFile = infoFile;
  u.inffile1->setEnabled(true);
  u.viewreadme->setEnabled(fileExists(levelFolder + "readme.txt"));
  const std::string gfx = sub(GameDirectory, "gfx");
  const std::string preview = gfx + caption + ".bmp";
  loadBitmapInto(u.Image2, fileExists(preview) ? preview : gfx + "pellmoor.bmp");
}

void TForm1::FoundFilesDblClick() {
  if (QTreeWidgetItem* item = selectedItem(levelOrganizerUi.FoundFiles))
    shellOpen(itemInfoFile(item), itemFolder(item));
}

void TForm1::FoundFiles2DblClick() {
  if (QTreeWidgetItem* item = selectedItem(levelOrganizerUi.FoundFiles2))
    shellOpen(itemInfoFile(item), itemFolder(item));
}

void TForm1::viewreadmeClick() { shellOpen("readme.txt", SelectedLevelFolder); }

void TForm1::inffile1Click() { shellOpen(SelectedLevelInfoFile, SelectedLevelFolder); }

void TForm1::moveLevelFolder(const std::string from, const std::string to, const char* verb) {
  // Nothing remembered yet (no level selected in this list since the start): nothing to move.
  if (from.empty() || to.empty()) return;
  if (FindFile.Busy() || FindFile2.Busy()) return;
  checkTransferPath(GameDirectory, from);
  checkTransferPath(GameDirectory, to);
  const QString label = QStringLiteral("%1 %2").arg(QString::fromUtf8(verb), QString::fromStdString(extractFileName(from)));
  // A refused or failed move ends the action here; a cancelled one leaves the source whole.
  const bool moved = runTransfer(
      this, label, [&](TransferProgress& progress) { MoveFolder(from, to, &progress); }, kProgressDialogDelayMs, true);
  FindButtonClick();
  if (!moved) ui.StatusBar1->showMessage(label + QStringLiteral(" cancelled: nothing was moved"));
}

void TForm1::deleteLevelFolder(QTreeWidget* list, const std::string folder) {
  if (selectedItem(list) == nullptr) return;
  if (FindFile.Busy() || FindFile2.Busy()) return;
  QMessageBox confirm(QMessageBox::Question, QStringLiteral("Confirm"), QString::fromUtf8(kConfirmDeleteText),
                      QMessageBox::Yes | QMessageBox::No, this);
  confirm.setObjectName(QStringLiteral("Confirm"));
  confirm.setDefaultButton(QMessageBox::Yes);
  confirm.setEscapeButton(QMessageBox::No);
  if (confirm.exec() != QMessageBox::Yes) return;
  checkTransferPath(GameDirectory, folder);
  const QString label = QStringLiteral("Deleting %1").arg(QString::fromStdString(extractFileName(folder)));
  runTransfer(this, label, [&](TransferProgress& progress) { DeleteFolder(folder, &progress); });
  FindButtonClick();
}

void TForm1::BitBtn4Click() { moveLevelFolder(LevelUninstallFrom, LevelUninstallTo, "Uninstalling"); }

void TForm1::BitBtn6Click() { moveLevelFolder(LevelInstallFrom, LevelInstallTo, "Installing"); }

void TForm1::BitBtn5Click() { deleteLevelFolder(levelOrganizerUi.FoundFiles, LevelUninstallFrom); }

void TForm1::BitBtn7Click() { deleteLevelFolder(levelOrganizerUi.FoundFiles2, LevelInstallFrom); }

}  // namespace pitkit
