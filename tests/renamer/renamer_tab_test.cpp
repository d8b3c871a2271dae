// The "Level Renamer" tab on the real main window, in temporary game trees: the two-step rename,
// its question and outcome, the editor after a rename, and the levels list that fills the old name.
#include <QCheckBox>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include "platform/Posix.h"

#include "platform/FolderName.h"
#include "renamer/Unit3.h"

#include "renamer_fixture.h"
#include "support/LinuxOnly.h"
#include "support/OddEntries.h"

using namespace pitkit;
using namespace pitkit::test;

class RenamerTabTest : public QObject, RenamerFixture {
  Q_OBJECT

 private slots:
  void init() { setUp(); }
  void cleanup() { tearDown(); }

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

  // Each kind of name that is not one plain folder name of levels: GO refuses it with an error and
  // nothing anywhere in the game moves; OK refuses names changed after GO the same way.
  void goAndOkRefuseNamesThatAreNotPlainFolderNames() {
    writeFile(levels_ + "/nhood9/nhood9.cam", "c");
    makeDirs(levels_ + "/nhood9/extra");
    writeFile(game_ + "/cars/xcar/parameters.txt", "p");
    start();
    const auto before = treeSnapshot(game_);
    const auto refusal = [](const std::string& name, const std::string& problem) {
      return q("Level: " + name + " is not a valid level name: " + problem + "!");
    };
    const std::size_t longest = longestNameIn(levels_);
    const struct {
      QLineEdit* box;
      std::string text, problem;  // problem "": the documented error of the empty new name
    } rows[] = {
        {r().NName, "../evil", "it holds \"/\""},       {r().NName, "..\\x", "it holds \"\\\""},
        {r().OName, "../cars/xcar", "it holds \"/\""},  {r().OName, "", "it is empty"},
        {r().NName, "", ""},                            {r().NName, "..", "it is \"..\""},
        {r().NName, "what?", "it holds \"?\""},         {r().NName, "tab\there", "it holds a control character"},
        {r().NName, "trail.", "it ends in a dot"},      {r().NName, "trail ", "it ends in a space"},
        {r().NName, "Com1.txt", "COM1 is a device name"},
        {r().NName, std::string(longest + 1, 'n'), "it is longer than " + std::to_string(longest) + " bytes"},
    };
    for (const auto& row : rows) {
      form_->activateWindow();  // back from the error box of the row before
      QVERIFY(QTest::qWaitForWindowActive(form_.get()));
      r().OName->setText(QStringLiteral("nhood9"));
      r().NName->setText(QStringLiteral("fresh"));
      row.box->clear();
      if (row.text.find('\t') == std::string::npos) type(row.box, q(row.text));
      else row.box->setText(q(row.text));  // a control character is pasted, not typed
      QCOMPARE(row.box->text(), q(row.text));
      const QString error = row.problem.empty() ? QStringLiteral("Level:  already exists!") : refusal(row.text, row.problem);
      QCOMPARE(errorFrom([&] { click(r().BitBtn2); }), error);
      QVERIFY(r().bitbtn1->isHidden());
      QVERIFY(treeSnapshot(game_) == before);
    }

    // OK reads the names again: NName edited after GO, and OName set by the levels list to a
    // deeper folder. The question stands, and with plain names OK renames.
    r().OName->setText(QStringLiteral("nhood9"));
    r().NName->setText(QStringLiteral("fresh"));
    click(r().BitBtn2);
    r().NName->setText(QStringLiteral("../evil"));
    QCOMPARE(errorFrom([&] { click(r().bitbtn1); }), refusal("../evil", "it holds \"/\""));
    r().NName->setText(QStringLiteral("fresh"));
    openLevels(levels_ + "/nhood9/extra");
    QCOMPARE(errorFrom([&] { click(r().bitbtn1); }), refusal("nhood9/extra", "it holds \"/\""));
    QVERIFY(treeSnapshot(game_) == before);
    openLevels(levels_ + "/nhood9");
    click(r().bitbtn1);
    QVERIFY(fileExists(levels_ + "/fresh/fresh.cam"));
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
    pressKey(r().NName, Qt::Key_Escape);
    QCOMPARE(r().StaticText1->text(), QStringLiteral("Are you sure you want to rename: nhood9 To: fresh"));

    // Also from the two lists.
    for (QListWidget* list : {static_cast<QListWidget*>(r().DirectoryListBox2),
                              static_cast<QListWidget*>(r().FileListBox1)}) {
      r().BitBtn3->click();
      list->setFocus();
      pressKey(list, Qt::Key_Escape);
      QVERIFY(r().bitbtn1->isVisible());
    }

    r().BitBtn3->click();
    r().NName->setFocus();
    pressKey(r().NName, Qt::Key_Escape, Qt::ShiftModifier);
    QCOMPARE(r().StaticText1->text(), QString());

    form_->ui.PageControl1->setCurrentWidget(form_->ui.TabSheet6);
    pressKey(form_.get(), Qt::Key_Escape);
    QCOMPARE(r().StaticText1->text(), QString());

    form_->ui.PageControl1->setCurrentWidget(form_->ui.TabSheet1);
    r().BitBtn2->setEnabled(false);
    r().NName->setFocus();
    pressKey(r().NName, Qt::Key_Escape);
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
    // OK pressed with Space: OK hides itself and the focus goes to the levels list, not on to
    // EXIT, so a second Space does not end the program.
    r().bitbtn1->setFocus();
    pressKey(r().bitbtn1, Qt::Key_Space);
    QCOMPARE(form_->focusWidget(), r().DirectoryListBox2);
    pressKey(r().DirectoryListBox2, Qt::Key_Space);
    QVERIFY(form_->isVisible());

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
    clickRow(dirs, QStringLiteral("extra"));
    QCOMPARE(r().OName->text(), QStringLiteral("nhood1"));
    QCOMPARE(dirs->Directory(), levels_ + "/nhood1");
  }

  void levelNamesTravelAsBytesAndLinkedLevelsKeepTheirOwnName() {
    PITKIT_LINUX_ONLY_QT("a folder name that is not UTF-8, and a symbolic link");
    // A level folder named in Latin-1 (not UTF-8), and a level that is a link to a folder outside.
    const std::string latin1 = "caf\xe9";
    writeFile(levels_ + "/" + latin1 + "/" + latin1 + ".cam", "c");
    writeFile(game_ + "/elsewhere/outside/outside.cam", "o");
    QVERIFY(pitkit::test::makeSymlink("../elsewhere/outside", levels_ + "/linked"));
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
};

QTEST_MAIN(RenamerTabTest)
#include "renamer_tab_test.moc"
