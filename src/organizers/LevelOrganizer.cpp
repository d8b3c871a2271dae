// The "Level Organizer" page of TForm1: the searches for installed and uninstalled levels, their
// lists and counters, the details of a selected level, and Install, Uninstall and Delete.
#include <QEvent>
#include <QGuiApplication>
#include <QLinearGradient>
#include <QMessageBox>
#include <QPainter>
#include <QPixmap>
#include <QStatusBar>
#include <QTreeWidget>
#include <algorithm>
#include <vector>

#include "organizers/FolderTransfer.h"
#include "organizers/InfoFile.h"
#include "organizers/OrganizerPage.h"
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
// The organizers' one question, asked for cars too.
const char* const kConfirmDeleteText = "Are you shure you want to delete this level?";
constexpr int kLevelNameTypingLimit = 27;

// The picture the preview shows until a level is selected: drawn here, a track on a lawn.
QPixmap defaultPreview() {
  // Drawn at the screen's device pixels, so that it is sharp on a scaled screen.
  const qreal ratio = qGuiApp->devicePixelRatio();
  QPixmap picture(QSize(160, 120) * ratio);
  picture.setDevicePixelRatio(ratio);
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

  // Exit keeps its place, as on the car page.
  new LevelPageResizer(ui.TabSheet2, {u.FoundFiles, u.FoundFiles2}, {u.BitBtn4, u.BitBtn5, u.BitBtn6, u.BitBtn7});
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
  OrganizerPage page = organizerPage(*this, Organizer::Levels);
  runOrganizerSearches(*this, page);
}

void TForm1::FindFileNewFolder(TFindFile* sender, const std::string& folder, bool&) {
  if (levelSearch.stopIfStale(sender, GameDirectory)) return;
  levelSearch.newFolder(ui.StatusBar1, folder);
}

void TForm1::FindFile2NewFolder(TFindFile* sender, const std::string& folder, bool& ignoreFolder) {
  FindFileNewFolder(sender, folder, ignoreFolder);
}

void TForm1::FindFileFound(TFindFile* sender, const std::string& folder, TSearchRec& fileInfo) {
  if (levelSearch.stopIfStale(sender, GameDirectory)) return;
  const std::string& name = fileInfo.Name;
  if (isStockLevelInfoFile(name)) return;
  const std::string caption = stripFileExt(name);
  const std::string levels = subFolder(GameDirectory, "levels");
  // Only levels/C/C.inf, with folder and file named alike letter for letter. The search reports
  // the folder as levels/C exactly in all but odd cases (a differently spelt path to levels); then
  // the folder is the one the search has just listed, so it exists without asking the disk again.
  const bool exactlyLevelsC = folder.size() == levels.size() + caption.size() &&
                              folder.compare(0, levels.size(), levels) == 0 &&
                              folder.compare(levels.size(), std::string::npos, caption) == 0;
  if (!exactlyLevelsC && (relativePath(levels, folder) != caption || !directoryExists(levels + caption))) return;
  addOrganizerItem(levelSearch, levelOrganizerUi.FoundFiles, caption, folder, name);
  levelSearch.pump(ui.StatusBar1);
}

void TForm1::FindFile2Found(TFindFile* sender, const std::string& folder, TSearchRec& fileInfo) {
  if (levelSearch.stopIfStale(sender, GameDirectory)) return;
  if (!isBelowGameFolder(folder, GameDirectory, "un_levels")) return;
  addOrganizerItem(levelSearch, levelOrganizerUi.FoundFiles2, stripFileExt(fileInfo.Name), folder,
                   fileInfo.Name);
  levelSearch.pump(ui.StatusBar1);
}

void TForm1::FindFileComplete(TFindFile*) {
  levelSearch.flush(ui.StatusBar1);
  if (levelSearch.isStale(GameDirectory)) return;
  const int installed = levelOrganizerUi.FoundFiles->topLevelItemCount();
  levelOrganizerUi.Edit2->setText(countText(installed));
  levelOrganizerUi.Edit1->setText(countText(installed + kStockLevelCount));
}

void TForm1::FindFile2Complete(TFindFile*) {
  levelSearch.flush(ui.StatusBar1);
  if (levelSearch.isStale(GameDirectory)) return;
  levelOrganizerUi.Findbutton->setEnabled(true);
  levelOrganizerUi.Edit3->setText(countText(levelOrganizerUi.FoundFiles2->topLevelItemCount()));
}

void TForm1::FoundFilesChange() {
  QTreeWidgetItem* item = selectedItem(levelOrganizerUi.FoundFiles);
  if (item == nullptr) return;
  const std::string caption = itemCaption(item);
  LevelUninstallFrom = subFolder(GameDirectory, "levels") + caption;
  LevelUninstallTo = subFolder(GameDirectory, "un_levels") + caption;
  showLevelDetails(subFolder(GameDirectory, "levels"), caption, itemFileName(item),
                   levelOrganizerUi.Edit4, kLevelNameTypingLimit);
}

void TForm1::FoundFiles2Change() {
  QTreeWidgetItem* item = selectedItem(levelOrganizerUi.FoundFiles2);
  if (item == nullptr) return;
  const std::string caption = itemCaption(item);
  LevelInstallFrom = subFolder(GameDirectory, "un_levels") + caption;
  LevelInstallTo = subFolder(GameDirectory, "levels") + caption;
  showLevelDetails(subFolder(GameDirectory, "un_levels"), caption, itemFileName(item),
                   levelOrganizerUi.lvlname2, 0);
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
  const std::string gfx = subFolder(GameDirectory, "gfx");
  const std::string preview = gfx + caption + ".bmp";
  loadBitmapInto(u.Image2, fileExists(preview) ? preview : gfx + "pellmoor.bmp");
}

void TForm1::FoundFilesDblClick() {
  if (QTreeWidgetItem* item = selectedItem(levelOrganizerUi.FoundFiles))
    shellOpen(itemFileName(item), itemFolder(item));
}

void TForm1::FoundFiles2DblClick() {
  if (QTreeWidgetItem* item = selectedItem(levelOrganizerUi.FoundFiles2))
    shellOpen(itemFileName(item), itemFolder(item));
}

void TForm1::viewreadmeClick() { shellOpen("readme.txt", SelectedLevelFolder); }

void TForm1::inffile1Click() { shellOpen(SelectedLevelInfoFile, SelectedLevelFolder); }

// Install and Uninstall of both pages: the folder moves, then the page searches again.
void TForm1::moveOrganizerFolder(Organizer organizer, const std::string from, const std::string to,
                                 const char* verb) {
  const OrganizerPage page = organizerPage(*this, organizer);
  // Nothing remembered yet (nothing selected in this list since the start): nothing to move.
  if (from.empty() || to.empty()) return;
  if (page.busy()) return;
  checkTransferPath(GameDirectory, from);
  checkTransferPath(GameDirectory, to);
  const QString label = QStringLiteral("%1 %2").arg(QString::fromUtf8(verb), QString::fromStdString(extractFileName(from)));
  // A refused or failed move ends the action here; a cancelled one leaves the source whole.
  const bool moved = runTransfer(
      this, label, [&](TransferProgress& progress) { MoveFolder(from, to, &progress); }, kProgressDialogDelayMs, true);
  page.go();
  if (!moved) ui.StatusBar1->showMessage(label + QStringLiteral(" cancelled: nothing was moved"));
}

// Delete of both pages: only with a selection in its own list, and only after Yes.
void TForm1::deleteOrganizerFolder(Organizer organizer, QTreeWidget* list,
                                   const std::string folder) {
  const OrganizerPage page = organizerPage(*this, organizer);
  if (selectedItem(list) == nullptr) return;
  if (page.busy()) return;
  QMessageBox confirm(QMessageBox::Question, QStringLiteral("Confirm"), QString::fromUtf8(kConfirmDeleteText),
                      QMessageBox::Yes | QMessageBox::No, this);
  confirm.setObjectName(QStringLiteral("Confirm"));
  confirm.setDefaultButton(QMessageBox::Yes);
  confirm.setEscapeButton(QMessageBox::No);
  if (confirm.exec() != QMessageBox::Yes) return;
  checkTransferPath(GameDirectory, folder);
  const QString label = QStringLiteral("Deleting %1").arg(QString::fromStdString(extractFileName(folder)));
  runTransfer(this, label, [&](TransferProgress& progress) { DeleteFolder(folder, &progress); });
  page.go();
}

void TForm1::BitBtn4Click() {
  moveOrganizerFolder(Organizer::Levels, LevelUninstallFrom, LevelUninstallTo, "Uninstalling");
}

void TForm1::BitBtn6Click() {
  moveOrganizerFolder(Organizer::Levels, LevelInstallFrom, LevelInstallTo, "Installing");
}

void TForm1::BitBtn5Click() {
  deleteOrganizerFolder(Organizer::Levels, levelOrganizerUi.FoundFiles, LevelUninstallFrom);
}

void TForm1::BitBtn7Click() {
  deleteOrganizerFolder(Organizer::Levels, levelOrganizerUi.FoundFiles2, LevelInstallFrom);
}

}  // namespace pitkit
