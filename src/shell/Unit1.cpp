// TForm1's frame: construction, start-up, closing, menus, the exit buttons, and the window's look.
// The game-directory change handling and the preset file are in GameDirectory.cpp.
#include "shell/Unit1.h"

#include <QCloseEvent>
#include <QEvent>
#include <QFont>
#include <QPalette>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QProxyStyle>
#include <QStatusBar>
#include <QTabBar>
#include <QTreeWidget>

#include "platform/DirectoryListBox.h"
#include "platform/DriveComboBox.h"
#include "platform/ErrorBox.h"
#include "renamer/Unit3.h"
#include "renamer/Unit5.h"
#include "shell/Fonts.h"
#include "shell/HelpTexts.h"
#include "shell/Pictures.h"
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

TForm1::TForm1(QWidget* parent) : QMainWindow(parent) {
  initPitkitResources();
  // The pictures decode on a worker while the controls are built.
  std::future<MainWindowPictures> pictures = decodeMainWindowPictures();
  // Button-face background and the default font, set before any control is built so that every
  // control inherits them (a font changed later is measured twice); the tab control and its
  // pages are bold.
  registerFontFallbacks();
  setColour(this, QPalette::Window, palette().color(QPalette::Button));
  setFont(namedFont(QStringLiteral("MS Sans Serif"), 11));
  ui.setupUi(this);
  ui.PageControl1->setFont(namedFont(QStringLiteral("MS Sans Serif"), 11, true));
  changeDirectoryUi.setupUi(ui.TabSheet6);
  renamerUi.setupUi(ui.TabSheet1);
  levelOrganizerUi.setupUi(ui.TabSheet2);
  carOrganizerUi.setupUi(ui.TabSheet3);
  programInfoUi.setupUi(ui.TabSheet4);
  coverDisplayUi.setupUi(ui.TabSheet5);

  setUpShell();
  setUpRenamer();
  setUpLevelOrganizer();
  setUpCarOrganizer();

  const MainWindowPictures decoded = pictures.get();
  renamerUi.Image1->setPixmap(QPixmap::fromImage(decoded.renamerLogo));
  coverDisplayUi.Image4->setPixmap(QPixmap::fromImage(decoded.toolChest));
  coverDisplayUi.Image5->setPixmap(QPixmap::fromImage(decoded.spanners));
  coverDisplayUi.Image6->setPixmap(QPixmap::fromImage(decoded.coverLogo));

  runGuarded(this, [this] { FormCreate(); });

  Form2 = new TForm2(this);
  Form3 = new TForm3(this);
  Form5 = new TForm5(this);
  Form6 = new TForm6(this);
  setUpKeyboard();
  keepColoursReadable(this);
}

TForm1::~TForm1() = default;

void TForm1::setUpShell() {
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
  connect(ui.Help2, &QAction::triggered, this, guarded(this, [this] { Help2Click(); }));
  connect(ui.LevelOrganizer1, &QAction::triggered, this, guarded(this, [this] { LevelOrganizer1Click(); }));

  // EXIT on the renamer page and Exit on both organizer pages.
  for (QPushButton* exitButton : {renamerUi.Button1, levelOrganizerUi.Button2, carOrganizerUi.Button3})
    connect(exitButton, &QPushButton::clicked, this, guarded(this, [this] { Button1Click(); }));
  QFont exitFont = renamerUi.Button1->font();
  exitFont.setBold(true);
  renamerUi.Button1->setFont(exitFont);
  renamerUi.Button1->setCursor(Qt::PointingHandCursor);

  setUpChangeDirectoryPage();
  setUpCarOrganizerPage();
  setUpInfoPages();
}

void TForm1::setUpChangeDirectoryPage() {
  auto& c = changeDirectoryUi;
  const QColor green(0, 128, 0);
  for (TDirectoryListBox* list : {c.DirectoryListBox1, c.DirectoryListBox3, c.DirectoryListBox4}) {
    setColour(list, QPalette::Base, green);
    setColour(list, QPalette::Text, Qt::white);
  }
  // The levels and cars lists are displays only.
  c.DirectoryListBox3->setFocusPolicy(Qt::NoFocus);
  c.DirectoryListBox4->setFocusPolicy(Qt::NoFocus);
  QFont big = namedFont(QStringLiteral("MS Sans Serif"), 19, true);
  c.Label7->setFont(big);
  c.Label14->setFont(big);
  c.Label2->setFrameStyle(QFrame::Panel | QFrame::Sunken);

  c.DriveComboBox1->setDirList(c.DirectoryListBox1);
  connect(c.DirectoryListBox1, &TDirectoryListBox::directoryChanged, this,
          guarded(this, [this] { DirectoryListBox1Change(); }));
  connect(c.BitBtn12, &QPushButton::clicked, this, guarded(this, [this] { BitBtn12Click(); }));
}

void TForm1::setUpCarOrganizerPage() {
  auto& c = carOrganizerUi;
  applyOrganizerPageLook({{c.Foundfiles3, c.foundfiles4, c.Edit10, c.Edit8},
                          c.FindButton2,
                          {c.BitBtn8, c.BitBtn10},
                          {c.BitBtn9, c.BitBtn11},
                          c.Label17});
  QFont counter = font();
  counter.setBold(true);
  counter.setItalic(true);
  for (QLineEdit* box : {c.Edit6, c.Edit7, c.Edit9}) {
    box->setFont(counter);
    setColour(box, QPalette::Base, palette().color(QPalette::Button));
  }
  // The stock picture, sharp on a scaled screen too.
  const QPixmap placeholder = screenPixmap(QStringLiteral(":/images/noavail.png"));
  ui.Image10->setPixmap(placeholder);
  c.Image9->setPixmap(placeholder);
  c.Image3->setPixmap(placeholder);
}

void TForm1::setUpInfoPages() {
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
  p.Label21->setFont(namedFont(QStringLiteral("MS Sans Serif"), 13, true));
  setColour(p.Label21, QPalette::WindowText, Qt::red);

  // "Cover Display": the names in large red letters stepping down the page (the pictures are set
  // by the constructor).
  auto& c = coverDisplayUi;
  for (QLabel* label : {c.Label22, c.Label24, c.Label23}) {
    label->setFont(namedFont(QStringLiteral("Scratch"), 48, true, true));
    setColour(label, QPalette::WindowText, Qt::red);
  }
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
  OldLevelPath.clear();
  NewLevelPath.clear();
  LevelUninstallFrom.clear();
  LevelUninstallTo.clear();
  LevelInstallFrom.clear();
  LevelInstallTo.clear();
  CarUninstallFrom.clear();
  CarUninstallTo.clear();
  CarInstallFrom.clear();
  CarInstallTo.clear();
  levelOrganizerUi.FoundFiles->clear();
  levelOrganizerUi.FoundFiles2->clear();
  carOrganizerUi.Foundfiles3->clear();
  carOrganizerUi.foundfiles4->clear();
}

void TForm1::Button1Click() { close(); }

void TForm1::Exit1Click() { close(); }

void TForm1::Help2Click() { Form2->exec(); }

void TForm1::LevelOrganizer1Click() { Form6->exec(); }

void TForm1::closeEvent(QCloseEvent* event) {
  runGuarded(this, [this] { FormClose(); });
  // Closing ends the program: a search still walking the disk (inside a "&Go" handler further
  // down the stack) stops at its next entry instead of running on behind a closed window.
  for (TFindFile* search : {&FindFile, &FindFile2, &FindFile3, &FindFile4})
    if (search->Busy()) search->setAborted(true);
  event->accept();
}

void TForm1::resizeEvent(QResizeEvent* event) { QMainWindow::resizeEvent(event); }

void TForm1::fillProgramInfo() {
  if (programInfoFilled_) return;
  programInfoFilled_ = true;
  programInfoUi.Memo1->setPlainText(programInfoLines().join(QLatin1Char('\n')));
  programInfoUi.Memo2->setPlainText(programInfoImportantLines().join(QLatin1Char('\n')));
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
  if (watched == ui.TabSheet4 && event->type() == QEvent::Show) fillProgramInfo();
  // The page control is anchored to all four edges of the central area; the top line spans it.
  if (watched == ui.centralwidget && event->type() == QEvent::Resize) {
    const QSize area = ui.centralwidget->size();
    ui.Bevel7->setGeometry(0, 0, area.width(), 2);
    ui.PageControl1->setGeometry(0, kPageTop, qMax(0, area.width() - kPageRightGap),
                                 qMax(0, area.height() - kPageTop - kPageBottomGap));
  }
  return QMainWindow::eventFilter(watched, event);
}

}  // namespace pitkit
