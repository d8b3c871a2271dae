// The "Level Renamer" tab on the real main window, in temporary game trees: the two-step rename,
// the levels list and file list, the info-file editor and the delete confirmation.
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextBlock>
#include <QTextCursor>
#include <algorithm>
#include <QTest>
#include <QTimer>
#include <climits>
#include <cstdlib>
#include <functional>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/DirectoryListBox.h"
#include "platform/FileListBox.h"
#include "platform/FileSystem.h"
#include "renamer/Unit3.h"
#include "renamer/Unit5.h"
#include "renamer/InfoText.h"
#include "shell/Unit1.h"
#include "support/TempDir.h"
#include "support/WidgetTest.h"

using namespace pitkit;
using pitkit::test::makeDirs;
using pitkit::test::readFile;
using pitkit::test::captions;
using pitkit::test::realPath;
using pitkit::test::TempDir;
using pitkit::test::writeFile;

namespace {

QStringList names(std::initializer_list<const char*> list) {
  QStringList out;
  for (const char* name : list) out << QString::fromUtf8(name);
  return out;
}

// Answers modal windows from a timer so that no test can hang on one. The next modal window goes
// to `respond`; one that opens with no response waiting is recorded and closed.
class ModalWatch : public QObject {
 public:
  ModalWatch() {
    connect(&timer_, &QTimer::timeout, this, [this] { poll(); });
    timer_.start(15);
  }
  void expect(std::function<void(QWidget*)> respond) { respond_ = std::move(respond); }
  int unexpected = 0;
  QStringList unexpectedTexts;

 private:
  void poll() {
    QWidget* modal = QApplication::activeModalWidget();
    if (pending_ || modal == nullptr || !modal->isVisible()) return;
    if (respond_) {
      // Answered outside this timer's slot: a timer does not fire again while its slot runs, so
      // a modal window opened by the answer would otherwise never be seen.
      pending_ = true;
      QTimer::singleShot(0, this, [this, modal, respond = std::move(respond_)] {
        pending_ = false;
        respond(modal);
      });
      respond_ = nullptr;
      return;
    }
    ++unexpected;
    if (auto* box = qobject_cast<QMessageBox*>(modal)) unexpectedTexts << box->text();
    if (auto* dialog = qobject_cast<QDialog*>(modal)) dialog->reject();
  }
  QTimer timer_;
  std::function<void(QWidget*)> respond_;
  bool pending_ = false;
};

}  // namespace

class RenamerTabTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<TempDir> tmp_;
  std::string game_;
  std::string levels_;
  std::unique_ptr<TForm1> form_;
  std::unique_ptr<ModalWatch> modals_;

  Ui::TabSheet1& r() { return form_->renamerUi; }

  // Starts the program with `game_` as its working directory, on the renamer tab.
  void start() {
    QVERIFY(::chdir(game_.c_str()) == 0);
    form_ = std::make_unique<TForm1>();
    form_->show();
    form_->ui.PageControl1->setCurrentWidget(form_->ui.TabSheet1);
    form_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(form_.get()));
    QCOMPARE(form_->GameDirectory, game_);
    QVERIFY(r().BitBtn2->isEnabled());
  }

  // Runs `action` and returns the text of the error box it raised ("" when none).
  QString errorFrom(const std::function<void()>& action) {
    QString text;
    modals_->expect([&text](QWidget* w) {
      if (auto* box = qobject_cast<QMessageBox*>(w)) {
        text = box->text();
        box->accept();
      }
    });
    action();
    modals_->expect(nullptr);
    return text;
  }

  void openLevels(const std::string& folder) { r().DirectoryListBox2->setDirectory(folder); }

  int rowOf(const QListWidget* list, const QString& caption) {
    for (int i = 0; i < list->count(); ++i)
      if (list->item(i)->text() == caption) return i;
    return -1;
  }

  void doubleClickFile(const QString& name) {
    TFileListBox* list = r().FileListBox1;
    const int row = rowOf(list, name);
    QVERIFY2(row >= 0, qPrintable(name));
    list->setCurrentRow(row);
    const QPoint at = list->visualItemRect(list->item(row)).center();
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
  }

  void clickGo(const QString& oldName, const QString& newName) {
    r().OName->setText(oldName);
    r().NName->setText(newName);
    r().BitBtn2->click();
  }

 private slots:
  void init() {
    tmp_ = std::make_unique<TempDir>();
    game_ = realPath(tmp_->path());
    levels_ = game_ + "/levels";
    makeDirs(levels_);
    modals_ = std::make_unique<ModalWatch>();
  }

  void cleanup() {
    QCOMPARE(modals_->unexpectedTexts, QStringList());
    QCOMPARE(modals_->unexpected, 0);
    form_.reset();
    modals_.reset();
    QVERIFY(::chdir("/") == 0);
    tmp_.reset();
  }

  void goRefusesExistingNamesAsksAndCancels() {
    writeFile(levels_ + "/nhood9/nhood9.cam", "c");
    makeDirs(levels_ + "/taken");
    start();
    r().StaticText1->setText(QStringLiteral("earlier outcome"));

    QCOMPARE(errorFrom([&] { clickGo(QStringLiteral("nhood9"), QStringLiteral("taken")); }),
             QStringLiteral("Level: taken already exists!"));
    QCOMPARE(errorFrom([&] { clickGo(QStringLiteral("nhood9"), QString()); }),
             QStringLiteral("Level:  already exists!"));
    QVERIFY(r().bitbtn1->isHidden());
    QVERIFY(r().BitBtn3->isHidden());
    QCOMPARE(r().StaticText1->text(), QStringLiteral("earlier outcome"));

    clickGo(QStringLiteral("nhood9"), QStringLiteral("my track"));
    QVERIFY(r().bitbtn1->isVisible());
    QVERIFY(r().BitBtn3->isVisible());
    QCOMPARE(r().StaticText1->text(),
             QStringLiteral("Are you sure you want to rename: nhood9 To: my track"));
    QCOMPARE(form_->OldLevelPath, levels_ + "/nhood9");
    QCOMPARE(form_->NewLevelPath, levels_ + "/my track");

    r().BitBtn3->click();
    QVERIFY(r().bitbtn1->isHidden());
    QVERIFY(r().BitBtn3->isHidden());
    QCOMPARE(r().StaticText1->text(), QString());
    QVERIFY(fileExists(levels_ + "/nhood9/nhood9.cam"));
    QVERIFY(!directoryExists(levels_ + "/my track"));
  }

  void statusTextGrowsWithItsText() {
    writeFile(levels_ + "/nhood9/nhood9.cam", "c");
    start();
    QLabel* status = r().StaticText1;
    const int designHeight = status->height();

    const QString longName = QStringLiteral(
        "a new level name long enough to need two or three lines of the status text for itself");
    clickGo(QStringLiteral("an old level name that also takes more than two lines of the status "
                           "text when it is shown in the question"),
            longName);
    QVERIFY(status->text().endsWith(longName));
    // Every line is shown: the text grew past its place in the layout, and where it grew over
    // the logo it is the text that shows.
    QVERIFY(status->height() > designHeight);
    QVERIFY(status->height() >= status->heightForWidth(status->width()));
    QWidget* page = form_->ui.TabSheet1;
    const QRect overlap = status->geometry().intersected(r().Image1->geometry());
    QVERIFY(!overlap.isEmpty());
    QCOMPARE(page->childAt(overlap.center()), static_cast<QWidget*>(status));

    r().BitBtn3->click();
    QCOMPARE(status->height(), designHeight);
  }

  void escapePressesGoOnlyOnThisTabWhileEnabled() {
    writeFile(levels_ + "/nhood9/nhood9.cam", "c");
    start();
    r().OName->setText(QStringLiteral("nhood9"));
    r().NName->setText(QStringLiteral("fresh"));
    r().NName->setFocus();
    QTest::keyClick(r().NName, Qt::Key_Escape);
    QCOMPARE(r().StaticText1->text(), QStringLiteral("Are you sure you want to rename: nhood9 To: fresh"));

    // Also from the two lists.
    for (QListWidget* list : {static_cast<QListWidget*>(r().DirectoryListBox2),
                              static_cast<QListWidget*>(r().FileListBox1)}) {
      r().BitBtn3->click();
      list->setFocus();
      QTest::keyClick(list, Qt::Key_Escape);
      QVERIFY(r().bitbtn1->isVisible());
    }

    r().BitBtn3->click();
    QTest::keyClick(r().NName, Qt::Key_Escape, Qt::ShiftModifier);
    QCOMPARE(r().StaticText1->text(), QString());

    form_->ui.PageControl1->setCurrentWidget(form_->ui.TabSheet6);
    QTest::keyClick(form_.get(), Qt::Key_Escape);
    QCOMPARE(r().StaticText1->text(), QString());

    form_->ui.PageControl1->setCurrentWidget(form_->ui.TabSheet1);
    r().BitBtn2->setEnabled(false);
    QTest::keyClick(r().NName, Qt::Key_Escape);
    QCOMPARE(r().StaticText1->text(), QString());
  }

  void okRenamesTheFileSetAndShowsTheNewLevel() {
    const std::string old = levels_ + "/nhood9/";
    writeFile(old + "nhood9.cam", "cam");
    writeFile(old + "nhood9.inf", "Torvane .INF file structure\r\nNAME 'nhood9'\r\n");
    writeFile(old + "nhood9a.bmp", "BM");
    writeFile(old + "nhood9k.bmp", "BM");
    writeFile(old + "readme.txt", "r");
    start();

    clickGo(QStringLiteral("nhood9"), QStringLiteral("mytrack"));
    r().bitbtn1->click();

    QCOMPARE(r().StaticText1->text(), QStringLiteral("The following was renamed: nhood9 To: mytrack"));
    QVERIFY(r().bitbtn1->isHidden());
    QVERIFY(r().BitBtn3->isHidden());
    QVERIFY(!directoryExists(levels_ + "/nhood9"));
    QCOMPARE(readFile(levels_ + "/mytrack/mytrack.inf"),
             std::string("Torvane .INF file structure\r\nNAME 'nhood9'\r\n"));
    // The levels list shows the renamed folder: OName and the file list follow it.
    QCOMPARE(r().DirectoryListBox2->Directory(), levels_ + "/mytrack");
    QCOMPARE(r().OName->text(), QStringLiteral("mytrack"));
    QCOMPARE(form_->OldLevelPath, form_->NewLevelPath);
    QCOMPARE(captions(*r().FileListBox1),
             names({"mytrack.cam", "mytrack.inf", "mytracka.bmp", "nhood9k.bmp", "readme.txt"}));

    QCOMPARE(errorFrom([&] { r().BitBtn2->click(); }), QStringLiteral("Level: mytrack already exists!"));
  }

  void okWorksOnTheNamesAsTheyStandWhenPressed() {
    writeFile(levels_ + "/nhood9/nhood9.cam", "9");
    writeFile(levels_ + "/other/other.cam", "o");
    writeFile(levels_ + "/other/nhood9.cam", "stray");
    start();

    // NName edited after GO to another free name: that name is used and reported.
    clickGo(QStringLiteral("nhood9"), QStringLiteral("first"));
    r().NName->setText(QStringLiteral("second"));
    r().bitbtn1->click();
    QCOMPARE(r().StaticText1->text(), QStringLiteral("The following was renamed: nhood9 To: second"));
    QVERIFY(fileExists(levels_ + "/second/second.cam"));
    QVERIFY(!directoryExists(levels_ + "/first"));

    // NName edited after GO to an existing level: nothing on disk changes.
    clickGo(QStringLiteral("second"), QStringLiteral("free"));
    r().NName->setText(QStringLiteral("other"));
    r().bitbtn1->click();
    QCOMPARE(r().StaticText1->text(), QStringLiteral("There were problems during copy!"));
    QVERIFY(r().bitbtn1->isHidden());
    QVERIFY(fileExists(levels_ + "/second/second.cam"));
    QCOMPARE(readFile(levels_ + "/other/nhood9.cam"), std::string("stray"));
    QVERIFY(!fileExists(levels_ + "/other/second.cam"));

    // A set file that cannot move (something stands at its new name) keeps its name and is named
    // under the outcome; the rest of the set moves.
    writeFile(levels_ + "/p/p.cam", "c");
    writeFile(levels_ + "/p/p.w", "w");
    makeDirs(levels_ + "/p/q.cam");
    clickGo(QStringLiteral("p"), QStringLiteral("q"));
    r().bitbtn1->click();
    QCOMPARE(r().StaticText1->text(), QStringLiteral("The following was renamed: p To: q\nNot renamed: p.cam"));
    QVERIFY(fileExists(levels_ + "/q/p.cam"));
    QVERIFY(fileExists(levels_ + "/q/q.w"));

    // The old name names a file lying in levels, not a level folder: it keeps its name.
    writeFile(levels_ + "/loose.txt", "loose");
    clickGo(QStringLiteral("loose.txt"), QStringLiteral("new"));
    r().bitbtn1->click();
    QCOMPARE(r().StaticText1->text(), QStringLiteral("There were problems during copy!"));
    QCOMPARE(readFile(levels_ + "/loose.txt"), std::string("loose"));
    QVERIFY(!fileExists(levels_ + "/new"));

    // The old folder is missing.
    clickGo(QStringLiteral("gone"), QStringLiteral("new"));
    r().bitbtn1->click();
    QCOMPARE(r().StaticText1->text(), QStringLiteral("There were problems during copy!"));
    QVERIFY(r().bitbtn1->isHidden());
    QVERIFY(r().BitBtn3->isHidden());
    QVERIFY(!directoryExists(levels_ + "/new"));
  }

  void questionSurvivesAChangeOfGameDirectory() {
    writeFile(levels_ + "/nhood9/nhood9.cam", "first game");
    TempDir second;
    const std::string game2 = realPath(second.path());
    writeFile(game2 + "/levels/nhood9/nhood9.cam", "second game");
    TempDir noLevels;
    start();

    clickGo(QStringLiteral("nhood9"), QStringLiteral("moved"));
    form_->changeDirectoryUi.DirectoryListBox1->setDirectory(game2);
    QCOMPARE(form_->GameDirectory, game2);
    // The levels list put "../levels" into OName; the question still stands.
    QVERIFY(r().bitbtn1->isVisible());
    QCOMPARE(r().StaticText1->text(), QStringLiteral("Are you sure you want to rename: nhood9 To: moved"));
    r().OName->setText(QStringLiteral("nhood9"));
    r().bitbtn1->click();
    QVERIFY(fileExists(game2 + "/levels/moved/moved.cam"));
    QVERIFY(fileExists(levels_ + "/nhood9/nhood9.cam"));

    // A directory without levels disables GO but leaves a standing question to OK.
    clickGo(QStringLiteral("moved"), QStringLiteral("again"));
    form_->changeDirectoryUi.DirectoryListBox1->setDirectory(realPath(noLevels.path()));
    QVERIFY(!r().BitBtn2->isEnabled());
    QVERIFY(r().bitbtn1->isVisible());
    r().bitbtn1->click();
    QCOMPARE(r().StaticText1->text(), QStringLiteral("There were problems during copy!"));
    QVERIFY(fileExists(game2 + "/levels/moved/moved.cam"));
  }

  void editorOpensAfterRenameOnlyWhenEnabled() {
    writeFile(levels_ + "/a/a.inf", "NAME 'a'\nline two\n");
    writeFile(levels_ + "/c/c.cam", "no info file");
    start();

    // Unchecked: no editor (the modal watch would record one).
    clickGo(QStringLiteral("a"), QStringLiteral("b"));
    r().bitbtn1->click();
    QCOMPARE(r().StaticText1->text(), QStringLiteral("The following was renamed: a To: b"));

    // Checked: the editor opens in rename-save mode on <new>.inf and Save writes it there.
    r().CheckBox1->setChecked(true);
    clickGo(QStringLiteral("b"), QStringLiteral("Öd"));
    bool editorSeen = false;
    modals_->expect([&](QWidget* w) {
      auto* editor = qobject_cast<TForm3*>(w);
      QVERIFY(editor != nullptr);
      editorSeen = true;
      QVERIFY(editor->ui.Button1->isVisible());
      QVERIFY(editor->ui.Button3->isHidden());
      QCOMPARE(editor->ui.Memo1->toPlainText(), QStringLiteral("NAME 'a'\nline two\n"));
      editor->ui.Memo1->setPlainText(QStringLiteral("NAME 'Öd'\nline two\n"));
      editor->ui.Button1->click();
    });
    r().bitbtn1->click();
    QVERIFY(editorSeen);
    QVERIFY(form_->Form3->isHidden());
    QVERIFY(form_->Form3->ui.Button1->isHidden());
    QCOMPARE(readFile(levels_ + "/Öd/Öd.inf"), std::string("NAME '\xD6" "d'\r\nline two\r\n"));

    // Checked, but the renamed level has no info file: the rename stands, then the error.
    QString error = errorFrom([&] {
      clickGo(QStringLiteral("c"), QStringLiteral("d"));
      r().bitbtn1->click();
    });
    QCOMPARE(error, QStringLiteral("d.inf does not exist!"));
    QCOMPARE(r().StaticText1->text(), QStringLiteral("The following was renamed: c To: d"));
    QVERIFY(fileExists(levels_ + "/d/d.cam"));
  }

  void levelsListFillsTheOldName() {
    writeFile(levels_ + "/nhood1/nhood1.cam", "c");
    makeDirs(levels_ + "/nhood1/extra");
    writeFile(levels_ + "/loose.txt", "l");
    start();
    // Start-up: the levels folder itself is open; "Nhood1" was put in after it opened.
    QCOMPARE(r().DirectoryListBox2->Directory(), levels_);
    QCOMPARE(captions(*r().FileListBox1), names({"loose.txt"}));

    openLevels(levels_ + "/nhood1");
    QCOMPARE(r().OName->text(), QStringLiteral("nhood1"));
    QCOMPARE(form_->OldLevelPath, levels_ + "/nhood1");
    openLevels(levels_ + "/nhood1/extra");
    QCOMPARE(r().OName->text(), QStringLiteral("nhood1/extra"));
    openLevels(levels_);
    QCOMPARE(r().OName->text(), QStringLiteral("../levels"));
    openLevels(levels_ + "/nhood1");

    // A single click only selects, and puts back the open folder's name over typed text.
    r().OName->setText(QStringLiteral("typed"));
    TDirectoryListBox* dirs = r().DirectoryListBox2;
    const int row = rowOf(dirs, QStringLiteral("extra"));
    QVERIFY(row >= 0);
    QTest::mouseClick(dirs->viewport(), Qt::LeftButton, {}, dirs->visualItemRect(dirs->item(row)).center());
    QCOMPARE(r().OName->text(), QStringLiteral("nhood1"));
    QCOMPARE(dirs->Directory(), levels_ + "/nhood1");
  }

  void fileListMaskSortingAndNameBox() {
    const std::string level = levels_ + "/lvl/";
    for (const char* name : {"b.cam", "A.inf", "TRACK.INF", "c.inf", ".hidden.inf", "Été.txt"})
      writeFile(level + name, "x");
    makeDirs(level + "folder.inf");
    start();
    openLevels(levels_ + "/lvl");
    TFileListBox* list = r().FileListBox1;
    QCOMPARE(captions(*list), names({"A.inf", "b.cam", "c.inf", "TRACK.INF", "Été.txt"}));
    QCOMPARE(r().filedisp->text(), QStringLiteral("*.*"));
    QCOMPARE(list->FileName(), std::string());

    list->setCurrentRow(rowOf(list, QStringLiteral("Été.txt")));
    QCOMPARE(r().filedisp->text(), QStringLiteral("Été.txt"));
    QCOMPARE(list->FileName(), level + "Été.txt");

    r().CheckBox3->click();
    QCOMPARE(captions(*list), names({"A.inf", "c.inf", "TRACK.INF"}));
    QCOMPARE(r().filedisp->text(), QStringLiteral("*.inf"));
    QCOMPARE(list->FileName(), std::string());
    r().CheckBox3->click();
    QCOMPARE(list->count(), 5);
    QCOMPARE(r().filedisp->text(), QStringLiteral("*.*"));

    // Focus from the keyboard marks a row without selecting it: the name box keeps the mask.
    list->Update();
    r().filedisp->setFocus();
    list->setFocus(Qt::TabFocusReason);
    QVERIFY(list->hasFocus());
    QCOMPARE(list->FileName(), std::string());
    QCOMPARE(r().filedisp->text(), QStringLiteral("*.*"));
    // A click selects and names the file.
    const QRect bCam = list->visualItemRect(list->item(rowOf(list, QStringLiteral("b.cam"))));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, bCam.center());
    QCOMPARE(r().filedisp->text(), QStringLiteral("b.cam"));
    QCOMPARE(list->FileName(), level + "b.cam");
    // A click beside the files leaves none selected.
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      QPoint(5, list->viewport()->height() - 3));
    QCOMPARE(list->FileName(), std::string());
    QCOMPARE(r().filedisp->text(), QStringLiteral("*.*"));

    // Re-read only when asked: a new file shows after the next re-read.
    writeFile(level + "new.w", "x");
    QCOMPARE(list->count(), 5);
    list->Update();
    QCOMPARE(list->count(), 6);

    // A name that is not valid UTF-8 shows through the Windows-1252 table; its path keeps the bytes.
    writeFile(level + "z\xFFz.txt", "x");
    list->Update();
    list->setCurrentRow(rowOf(list, QStringLiteral("z\u00FFz.txt")));
    QCOMPARE(list->FileName(), level + "z\xFFz.txt");
  }

  void doubleClickOpensOrDeletes() {
    const std::string level = levels_ + "/lvl/";
    writeFile(level + "lvl.inf", "NAME 'x'\r\n");
    writeFile(level + "TRACK.INF", "upper");
    writeFile(level + "x.txt", "x");
    start();
    openLevels(levels_ + "/lvl");

    // Neither box checked: nothing happens.
    doubleClickFile(QStringLiteral("x.txt"));
    QVERIFY(fileExists(level + "x.txt"));

    // The editor only takes ".inf" with its case; TRACK.INF is not opened.
    r().CheckBox1->setChecked(true);
    doubleClickFile(QStringLiteral("TRACK.INF"));
    bool editorSeen = false;
    modals_->expect([&](QWidget* w) {
      auto* editor = qobject_cast<TForm3*>(w);
      QVERIFY(editor != nullptr);
      editorSeen = true;
      QVERIFY(editor->ui.Button3->isVisible());
      QVERIFY(editor->ui.Button1->isHidden());
      editor->ui.Memo1->setPlainText(QStringLiteral("changed"));
      editor->ui.Button2->click();  // Cancel
    });
    doubleClickFile(QStringLiteral("lvl.inf"));
    QVERIFY(editorSeen);
    QCOMPARE(readFile(level + "lvl.inf"), std::string("NAME 'x'\r\n"));
    QVERIFY(form_->Form3->ui.Button3->isHidden());

    // Delete enabled: ".inf" still opens the editor, any other file is offered for deletion.
    r().CheckBox2->setChecked(true);
    auto answerWarning = [&](bool yes, bool* seen) {
      modals_->expect([=](QWidget* w) {
        auto* warning = qobject_cast<TForm5*>(w);
        QVERIFY(warning != nullptr);
        *seen = true;
        QCOMPARE(warning->windowTitle(), QStringLiteral("Warning!"));
        QVERIFY(warning->ui.Label1->text().endsWith(QStringLiteral("You wish to delete this file?")));
        if (yes)
          warning->ui.OKBtn->click();
        else
          QTest::keyClick(warning, Qt::Key_Escape);
      });
    };
    bool seen = false;
    answerWarning(false, &seen);
    doubleClickFile(QStringLiteral("TRACK.INF"));
    QVERIFY(seen);
    QVERIFY(fileExists(level + "TRACK.INF"));
    seen = false;
    answerWarning(true, &seen);
    doubleClickFile(QStringLiteral("TRACK.INF"));
    QVERIFY(seen);
    QVERIFY(!fileExists(level + "TRACK.INF"));
    QCOMPARE(captions(*r().FileListBox1), names({"lvl.inf", "x.txt"}));

    // Without confirmation the file goes at once.
    r().CheckBox4->setChecked(false);
    doubleClickFile(QStringLiteral("x.txt"));
    QVERIFY(!fileExists(level + "x.txt"));
    QCOMPARE(captions(*r().FileListBox1), names({"lvl.inf"}));
    QCOMPARE(r().filedisp->text(), QStringLiteral("*.*"));
  }

  void levelNamesTravelAsBytesAndLinkedLevelsKeepTheirOwnName() {
    // A level folder named in Latin-1 (not UTF-8), and a level that is a link to a folder outside.
    const std::string latin1 = "caf\xe9";
    writeFile(levels_ + "/" + latin1 + "/" + latin1 + ".cam", "c");
    writeFile(game_ + "/elsewhere/outside/outside.cam", "o");
    QVERIFY(::symlink("../elsewhere/outside", (levels_ + "/linked").c_str()) == 0);
    start();

    openLevels(levels_ + "/" + latin1);
    QCOMPARE(form_->OldLevelPath, levels_ + "/" + latin1);
    r().NName->setText(QStringLiteral("cafe"));
    r().BitBtn2->click();
    r().bitbtn1->click();
    QVERIFY(r().StaticText1->text().startsWith(QStringLiteral("The following was renamed: ")));
    QCOMPARE(readFile(levels_ + "/cafe/cafe.cam"), std::string("c"));
    QVERIFY(!directoryExists(levels_ + "/" + latin1));

    // The list keeps the path as walked: the box shows the link's own name, and OK renames the
    // link, never the folder it points to.
    openLevels(levels_ + "/linked");
    QCOMPARE(r().DirectoryListBox2->Directory(), levels_ + "/linked");
    QCOMPARE(r().OName->text(), QStringLiteral("linked"));
    r().NName->setText(QStringLiteral("moved"));
    r().BitBtn2->click();
    r().bitbtn1->click();
    struct stat st {};
    QVERIFY(::lstat((levels_ + "/moved").c_str(), &st) == 0 && S_ISLNK(st.st_mode));
    QCOMPARE(readFile(game_ + "/elsewhere/outside/outside.cam"), std::string("o"));
    // Walking up out of the link goes back the way it came.
    openLevels(levels_ + "/moved/..");
    QCOMPARE(r().DirectoryListBox2->Directory(), levels_);
  }

  void editorOpensLongLinesAndSavesThemUnchanged() {
    start();
    TForm3* editor = form_->Form3;
    const std::string words = [] {
      std::string text;
      for (int i = 0; i < 700; ++i) text += "word" + std::to_string(i) + " ";
      return text;
    }();
    const std::string noBlanks(5000, 'x');
    // Each file's text as loaded (line breaks made CR LF) is what Save writes back.
    const std::string cases[] = {words, noBlanks, "short\r\n" + noBlanks + "\r\nshort\r\n", words + "\r\n" + words,
                                 std::string(kEditorTextCapacity, 'y')};
    for (const std::string& text : cases) {
      writeFile(game_ + "/long.inf", text);
      editor->loadFile(game_ + "/long.inf");
      QVERIFY(editor->ui.Memo1->blockCount() > 1 + int(std::count(text.begin(), text.end(), '\n')));
      QVERIFY2(editor->memoText() == text, text.substr(0, 40).c_str());
    }

    // A line break typed where a long line was cut for showing is saved there; one deleted there
    // joins nothing that was apart.
    writeFile(game_ + "/long.inf", noBlanks);
    editor->loadFile(game_ + "/long.inf");
    QTextCursor cursor(editor->ui.Memo1->document()->findBlockByNumber(1));
    const int cutAt = cursor.position() - 1;
    cursor.insertText(QStringLiteral("\n"));
    QCOMPARE(editor->memoText(), noBlanks.substr(0, cutAt) + "\r\n" + noBlanks.substr(cutAt));
    cursor.deletePreviousChar();
    cursor.deletePreviousChar();
    QCOMPARE(editor->memoText(), noBlanks);
  }

  void editorSavesAndFailedSaveKeepsFileAndEditor() {
    const std::string level = levels_ + "/lvl/";
    writeFile(level + "lvl.inf", "one\ntwo");
    writeFile(level + "ro.inf", "read only\r\n");
    writeFile(level + "gone.inf", "soon gone");
    start();
    openLevels(levels_ + "/lvl");
    r().CheckBox1->setChecked(true);

    // File-save mode: an unchanged text only gets CR LF line breaks, none added at the end.
    bool saved = false;
    modals_->expect([&](QWidget* w) {
      auto* editor = qobject_cast<TForm3*>(w);
      QVERIFY(editor != nullptr);
      editor->ui.Button3->click();
      saved = editor->isHidden();
    });
    doubleClickFile(QStringLiteral("lvl.inf"));
    QVERIFY(saved);
    QCOMPARE(readFile(level + "lvl.inf"), std::string("one\r\ntwo"));

    // Every other byte comes back unchanged through the editor (no-break space, tab, 8-bit letters).
    std::string bytes;
    for (int b = 0; b < 256; ++b)
      if (b != '\r' && b != '\n') bytes += static_cast<char>(b);
    writeFile(level + "lvl.inf", bytes);
    saved = false;
    modals_->expect([&](QWidget* w) {
      auto* editor = qobject_cast<TForm3*>(w);
      QVERIFY(editor != nullptr);
      editor->ui.Button3->click();
      saved = editor->isHidden();
    });
    doubleClickFile(QStringLiteral("lvl.inf"));
    QVERIFY(saved);
    QCOMPARE(readFile(level + "lvl.inf"), bytes);

    // A failed save shows the error, keeps the editor open with its text and the old file whole.
    QVERIFY(::chmod((level + "ro.inf").c_str(), 0444) == 0);
    QString error;
    bool stayedOpen = false;
    modals_->expect([&](QWidget* w) {
      auto* editor = qobject_cast<TForm3*>(w);
      QVERIFY(editor != nullptr);
      editor->ui.Memo1->setPlainText(QStringLiteral("new text"));
      modals_->expect([&, editor](QWidget* box) {
        auto* message = qobject_cast<QMessageBox*>(box);
        QVERIFY(message != nullptr);
        error = message->text();
        message->accept();
        QTimer::singleShot(0, editor, [&, editor] {
          stayedOpen = editor->isVisible() && editor->ui.Button3->isVisible() &&
                       editor->ui.Memo1->toPlainText() == QStringLiteral("new text");
          editor->close();  // the title-bar close
        });
      });
      editor->ui.Button3->click();
    });
    doubleClickFile(QStringLiteral("ro.inf"));
    QCOMPARE(error, QString::fromStdString("Cannot create file " + level + "ro.inf."));
    QVERIFY(stayedOpen);
    QVERIFY(form_->Form3->ui.Button3->isHidden());
    QCOMPARE(readFile(level + "ro.inf"), std::string("read only\r\n"));

    // A file that vanished after the list was read: the editor is not shown.
    ::unlink((level + "gone.inf").c_str());
    error = errorFrom([&] { doubleClickFile(QStringLiteral("gone.inf")); });
    QCOMPARE(error, QString::fromStdString("Cannot open file " + level + "gone.inf."));
    QVERIFY(form_->Form3->isHidden());
    QVERIFY(form_->Form3->ui.Button3->isHidden());
  }
};

QTEST_MAIN(RenamerTabTest)
#include "renamer_tab_test.moc"
