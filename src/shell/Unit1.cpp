// TForm1's frame: construction, start-up, closing, menus, the exit buttons, and the window's look.
// The work of the pages is in their own classes.
#include "shell/Unit1.h"

#include <QApplication>
#include <QCloseEvent>
#include <QEvent>
#include <QFont>
#include <QPalette>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QProxyStyle>
#include <QStatusBar>
#include <QTabBar>
#include <QTimer>
#include <QTreeWidget>

#include "organizers/OrganizerList.h"
#include "platform/DirectoryListBox.h"
#include "platform/DriveComboBox.h"
#include "platform/ErrorBox.h"
#include "platform/FileSystem.h"
#include "platform/Fonts.h"
#include "renamer/Unit3.h"
#include "renamer/Unit5.h"
#include "shell/AfterFirstPaint.h"
#include "shell/ArchiveOpen.h"
#include "shell/CheckWindow.h"
#include "shell/FindGamesDialog.h"
#include "shell/HelpTexts.h"
#include "shell/HistoryMenu.h"
#include "shell/ListWindows.h"
#include "shell/Pictures.h"
#include "shell/Preset.h"
#include "shell/ReadableColours.h"
#include "shell/Unit6.h"
#include "shell/WindowPlace.h"
#include "shell/unit2.h"

// The pictures are compiled into the static library; this keeps the linker from dropping them.
static void initPitkitResources() { Q_INIT_RESOURCE(pitkit); }

namespace pitkit {

namespace {

// The page control keeps the layout's distances to the central area's edges as the window is
// resized: 8 pixels below the top line, 1 to the right edge, 4 above the status bar.
constexpr int kPageTop = 8;
constexpr int kPageRightGap = 1;
constexpr int kPageBottomGap = 4;

// The tab control's tabs are 25 pixels high, whatever the style would make them.
class FixedTabHeightStyle : public QProxyStyle {
 public:
  using QProxyStyle::QProxyStyle;
  QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                         const QWidget* widget) const override {
    QSize result = QProxyStyle::sizeFromContents(type, option, size, widget);
    if (type == CT_TabBarTab) result.setHeight(25);
    return result;
  }
};

}  // namespace

// The working state is bound first: it lives as long as the window, its pages come later.
TForm1::TForm1(QWidget* parent, StartUp startUp)
    : QMainWindow(parent),
      history_(this, gameDirectory_.text()),
      GameDirectory(gameDirectory_.text()),
      PresetFolder(presetFolder_),
      OldLevelPath(renamerPaths_.OldLevelPath),
      NewLevelPath(renamerPaths_.NewLevelPath),
      LevelUninstallFrom(levelPaths_.UninstallFrom),
      LevelUninstallTo(levelPaths_.UninstallTo),
      LevelInstallFrom(levelPaths_.InstallFrom),
      LevelInstallTo(levelPaths_.InstallTo),
      SelectedLevelFolder(levelSelection_.SelectedLevelFolder),
      SelectedLevelInfoFile(levelSelection_.SelectedLevelInfoFile),
      CarUninstallFrom(carPaths_.UninstallFrom),
      CarUninstallTo(carPaths_.UninstallTo),
      CarInstallFrom(carPaths_.InstallFrom),
      CarInstallTo(carPaths_.InstallTo) {
  loadFirstPage();
  if (startUp == StartUp::Whole) {
    finishStartUp();
    return;
  }
  // The preset file is there once the window is, as when FormCreate ran first. FormCreate (after
  // the first paint) reads it; where it cannot be written, FormCreate tries again and reports it.
  if (const std::string startFolder = getCurrentDir(); !startFolder.empty()) {
    try {
      createPresetIfMissing(startFolder);
    } catch (const std::exception&) {
    }
  }
  runAfterFirstPaint(this, [this] { finishStartUp(); });
}

TForm1::~TForm1() = default;

void TForm1::loadFirstPage() {
  initPitkitResources();
  // The pictures decode on a worker while the controls are built.
  std::future<CoverPictures> pictures = decodeCoverPictures();
  // Button-face background and the default font, set before any control is built so that every
  // control inherits them (a font changed later is measured twice); the tab control and its
  // pages are bold.
  registerFontFallbacks();
  setColour(this, QPalette::Window, palette().color(QPalette::Button));
  setFont(namedFont(QStringLiteral("MS Sans Serif"), 11));
  ui.setupUi(this);
  ui.PageControl1->setFont(namedFont(QStringLiteral("MS Sans Serif"), 11, true));
  coverDisplayUi.setupUi(ui.TabSheet5);
  setUpFrame();

  // "Cover Display": the names in large red letters stepping down the page, and the pictures.
  auto& c = coverDisplayUi;
  for (QLabel* label : {c.Label22, c.Label24, c.Label23}) {
    label->setFont(namedFont(QStringLiteral("Scratch"), 48, true, true));
    setColour(label, QPalette::WindowText, Qt::red);
  }
  const CoverPictures decoded = pictures.get();
  c.Image4->setPixmap(QPixmap::fromImage(decoded.toolChest));
  c.Image5->setPixmap(QPixmap::fromImage(decoded.spanners));
  c.Image6->setPixmap(QPixmap::fromImage(decoded.coverLogo));
  keepColoursReadable(this);
}

void TForm1::finishStartUp() {
  if (startUpFinished_) return;
  startUpFinished_ = true;
  loadOtherPages();
  Form2 = new TForm2(this);
  Form3 = new TForm3(this, renamerUi.FileListBox1, [this] { return renamerPage_->renamedInfoFile(); });
  Form5 = new TForm5(this, renamerUi.FileListBox1);
  Form6 = new TForm6(this);
  renamerPage_->setEditors(Form3, Form5);
  // The secondary windows were not there when the main window's colours were checked.
  for (QWidget* form : std::initializer_list<QWidget*>{Form2, Form3, Form5, Form6}) {
    keepColoursReadable(form);
    for (QPushButton* button : form->findChildren<QPushButton*>()) button->setAutoDefault(true);
  }
}

void TForm1::loadOtherPages() {
  changeDirectoryUi.setupUi(ui.TabSheet6);
  renamerUi.setupUi(ui.TabSheet1);
  levelOrganizerUi.setupUi(ui.TabSheet2);
  carOrganizerUi.setupUi(ui.TabSheet3);
  programInfoUi.setupUi(ui.TabSheet4);
  makePages();
  setUpOtherPagesLook();
  runGuarded(this, [this] { FormCreate(); });
  setUpKeyboard();
  for (QWidget* page : {ui.TabSheet6, ui.TabSheet1, ui.TabSheet2, ui.TabSheet3, ui.TabSheet4})
    keepColoursReadable(page);
  // A window already on screen measured its smallest size without these pages.
  if (minimumSizeSet_) measureMinimumSoon();
}

// The pages are made in the order they follow a new game folder: the folder lists, the level
// and car lists, then the renamer.
void TForm1::makePages() {
  changeDirectoryPage_.emplace(this, changeDirectoryUi, gameDirectory_, presetFolder_, ui.StatusBar1);
  levelDetails_.emplace(this, levelOrganizerUi, gameDirectory_, levelSelection_);
  carDetails_.emplace(carOrganizerUi, ui.Image10, gameDirectory_);
  levelPage_.emplace(this, ui.StatusBar1, gameDirectory_, levelSide(levelOrganizerUi, FindFile, FindFile2, *levelDetails_),
                     levelPaths_);
  carPage_.emplace(this, ui.StatusBar1, gameDirectory_, carSide(carOrganizerUi, FindFile3, FindFile4, *carDetails_),
                   carPaths_);
  renamerPage_.emplace(this, renamerUi, gameDirectory_, renamerPaths_);
  renamerPage_->setActionRecorder([this](const HistoryAction& action) { history_.record(action); });
  for (OrganizerPage* page : {&*levelPage_, &*carPage_})
    page->setActionRecorder([this](const HistoryAction& action) { return recordOrganizerAction(action); });
  // The Edit menu names the last action of the game folder chosen, once the pages follow it.
  gameDirectory_.listen([this](const std::string&) { refreshUndoEntry(*this); });
  // A selected item's origin, from the row the details show.
  const auto origin = [this](QTreeWidget* list, ItemKind kind) {
    connect(list, &QTreeWidget::itemSelectionChanged, this, guarded(this, [this, list, kind] {
              QTreeWidgetItem* row = list->currentItem();
              if (row == nullptr || !row->isSelected()) row = selectedItem(list);
              if (row != nullptr) showItemOrigin(kind, itemCaption(row));
            }));
  };
  origin(levelOrganizerUi.FoundFiles, ItemKind::Level);
  origin(levelOrganizerUi.FoundFiles2, ItemKind::Level);
  origin(carOrganizerUi.Foundfiles3, ItemKind::Car);
  origin(carOrganizerUi.foundfiles4, ItemKind::Car);
}

void TForm1::setUpFrame() {
  setWindowTitle(QString::fromUtf8(kApplicationTitle));
  // The place and the size are the frame's, as for any window placed on the screen.
  placeWindow(this, QPoint(318, 192), QSize(708, 460));
  ui.PageControl1->setCurrentWidget(ui.TabSheet5);
  ui.PageControl1->tabBar()->setExpanding(false);
  auto* tabStyle = new FixedTabHeightStyle();
  tabStyle->setParent(ui.PageControl1->tabBar());
  ui.PageControl1->tabBar()->setStyle(tabStyle);
  ui.centralwidget->installEventFilter(this);

  // Status bar: one text area showing the hint of the control under the pointer.
  ui.StatusBar1->setFixedHeight(25);
  ui.StatusBar1->setSizeGripEnabled(true);

  // Menus.
  connect(ui.Exit1, &QAction::triggered, this, guarded(this, [this] { Exit1Click(); }));
  connect(ui.InstallFromArchive1, &QAction::triggered, this, guarded(this, [this] { InstallFromArchive1Click(); }));
  new ArchiveDrop(*this);
  connect(ui.FindGames1, &QAction::triggered, this, guarded(this, [this] { FindGames1Click(); }));
  connect(ui.ExportList1, &QAction::triggered, this, guarded(this, [this] { exportInstalledList(*this); }));
  connect(ui.CompareList1, &QAction::triggered, this, guarded(this, [this] { compareWithList(*this); }));
  connect(ui.CheckGame1, &QAction::triggered, this,
          guarded(this, [this] { showCheckWindow(this, gameDirectory_.path(), history_); }));
  connect(ui.Help2, &QAction::triggered, this, guarded(this, [this] { Help2Click(); }));
  connect(ui.LevelOrganizer1, &QAction::triggered, this, guarded(this, [this] { LevelOrganizer1Click(); }));
  connect(ui.Undo1, &QAction::triggered, this, guarded(this, [this] { Undo1Click(); }));
  connect(ui.History1, &QAction::triggered, this, guarded(this, [this] { History1Click(); }));
  // The Edit menu names the last action afresh: another window may have added one.
  connect(ui.Edit1, &QMenu::aboutToShow, this, guarded(this, [this] { refreshUndoEntry(*this); }));
  history_.onChange([this] { refreshUndoEntry(*this); });
}

void TForm1::setUpOtherPagesLook() {
  // EXIT on the renamer page and Exit on both organizer pages.
  for (QPushButton* exitButton : {renamerUi.Button1, levelOrganizerUi.Button2, carOrganizerUi.Button3})
    connect(exitButton, &QPushButton::clicked, this, guarded(this, [this] { Button1Click(); }));
  QFont exitFont = renamerUi.Button1->font();
  exitFont.setBold(true);
  renamerUi.Button1->setFont(exitFont);
  renamerUi.Button1->setCursor(Qt::PointingHandCursor);
  renamerUi.Image1->setPixmap(QPixmap::fromImage(decodeRenamerLogo()));

  arrangeLevelPage(levelOrganizerUi);
  // The stock picture of the car page, sharp on a scaled screen too.
  ui.Image10->setPixmap(screenPixmap(QStringLiteral(":/images/noavail.png")));
  arrangeCarPage(carOrganizerUi, ui.Image10, this);

  // "Program Info": two editable texts on the button face, bold.
  auto& p = programInfoUi;
  QFont bold = namedFont(QStringLiteral("MS Sans Serif"), 11, true);
  for (QPlainTextEdit* memo : {p.Memo1, p.Memo2}) {
    memo->setFont(bold);
    setColour(memo, QPalette::Base, palette().color(QPalette::Button));
    // A borderless text keeps a narrow margin, so the first text's seven lines fit its box.
    memo->document()->setDocumentMargin(2);
  }
  // The texts are filled in when the page is first shown (laying out long texts is a large part
  // of the start-up otherwise).
  ui.TabSheet4->installEventFilter(this);
  setNamedFont(p.Label21, QStringLiteral("MS Sans Serif"), 13, true);
  setColour(p.Label21, QPalette::WindowText, Qt::red);
}

void TForm1::FormCreate() {
  // 1. The game directory is the folder the list shows at creation: the start-up folder.
  DirectoryListBox1Change();
  // 2. The renamer's default level name.
  renamerUi.OName->setText(QStringLiteral("Nhood1"));
  // 3. The preset file may open another game directory.
  loadPreset();
}

void TForm1::FormClose() {
  GameDirectory.clear();
  if (!startUpFinished_) return;
  renamerPage_->forget();
  levelPage_->forget();
  carPage_->forget();
}

void TForm1::FindGames1Click() {
  const GamesFound found = findGamesOfUser();
  FindGamesDialog dialog(this, found.games, found.places);
  if (dialog.exec() != QDialog::Accepted || dialog.chosenFolder().empty()) return;
  ui.PageControl1->setCurrentWidget(ui.TabSheet6);
  changeDirectoryUi.DirectoryListBox1->setDirectory(dialog.chosenFolder());
}

void TForm1::Help2Click() { Form2->exec(); }

void TForm1::InstallFromArchive1Click() { chooseArchivesToInstall(*this); }

void TForm1::openArchives(const QStringList& files) {
  finishStartUp();
  installFromArchives(*this, files);
}

void TForm1::LevelOrganizer1Click() { Form6->exec(); }

void TForm1::Undo1Click() {
  finishStartUp();
  undoLastAction(*this);
}

void TForm1::History1Click() {
  finishStartUp();
  showHistoryWindow(*this);
}

void TForm1::showItemOrigin(ItemKind kind, const std::string& name) {
  const QString origin = history_.originText(kind, name);
  if (!origin.isEmpty())
    ui.StatusBar1->showMessage(origin);
  else if (!originShown_.isEmpty() && ui.StatusBar1->currentMessage() == originShown_)
    ui.StatusBar1->clearMessage();
  originShown_ = origin;
}

void TForm1::closeEvent(QCloseEvent* event) {
  runGuarded(this, [this] { FormClose(); });
  // Closing ends the program: a search still walking the disk (inside a "&Go" handler further
  // down the stack) stops at its next entry instead of running on behind a closed window.
  for (TFindFile* search : {&FindFile, &FindFile2, &FindFile3, &FindFile4})
    if (search->Busy()) search->setAborted(true);
  event->accept();
}

void TForm1::fillProgramInfo() {
  if (programInfoFilled_) return;
  programInfoFilled_ = true;
  programInfoUi.Memo1->setPlainText(programInfoLines().join(QLatin1Char('\n')));
  programInfoUi.Memo2->setPlainText(programInfoImportantLines().join(QLatin1Char('\n')));
}

// The smallest window in which every control of every page shows whole, measured once the window
// is shown at its layout's size (the tab bar's height depends on the font the machine has).
void TForm1::setMinimumToWholePages() {
  constexpr int kMargin = 4;
  QSize needed;
  for (int i = 0; i < ui.PageControl1->count(); ++i) {
    QRect used;
    for (QWidget* child : ui.PageControl1->widget(i)->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
      used |= child->geometry();
    needed = needed.expandedTo(QSize(used.right() + 1 + kMargin, used.bottom() + 1 + kMargin));
  }
  const QSize pageFrame = ui.PageControl1->size() - ui.PageControl1->currentWidget()->size();
  const QSize windowFrame = size() - ui.centralwidget->size();
  // The layout's own size is the largest minimum: a picture there may reach past its page's edge.
  setMinimumSize((needed + pageFrame + QSize(kPageRightGap, kPageTop + kPageBottomGap) + windowFrame).boundedTo(size()));
}

// Measured once the events of the show or of the new pages are handled: until then the page
// control has not placed its pages, and its frame would count too large.
void TForm1::measureMinimumSoon() {
  minimumSizeSet_ = true;
  QTimer::singleShot(0, this, [this] { setMinimumToWholePages(); });
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
  if (watched == ui.TabSheet4 && event->type() == QEvent::Show) fillProgramInfo();
  // The page control is anchored to all four edges of the central area; the top line spans it.
  if (watched == ui.centralwidget && event->type() == QEvent::Resize) {
    const QSize area = ui.centralwidget->size();
    ui.Bevel7->setGeometry(0, 0, area.width(), 2);
    ui.PageControl1->setGeometry(0, kPageTop, qMax(0, area.width() - kPageRightGap),
                                 qMax(0, area.height() - kPageTop - kPageBottomGap));
    if (!minimumSizeSet_ && isVisible()) measureMinimumSoon();
  }
  return QMainWindow::eventFilter(watched, event);
}

}  // namespace pitkit
