// The real main window in temporary game trees: frame, start-up, the game-directory change
// handling, the preset file and closing.
#include <QAction>
#include <QCheckBox>
#include <QApplication>
#include <QEnterEvent>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QStatusBar>
#include <QTabBar>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <csignal>
#include <cstdlib>
#include <memory>

#include "platform/DirectoryListBox.h"
#include "platform/Errors.h"
#include "platform/PathLabel.h"
#include "platform/FileSystem.h"
#include "renamer/Unit3.h"
#include "renamer/Unit5.h"
#include "shell/Unit1.h"
#include "shell/Unit6.h"
#include "shell/WindowPlace.h"
#include "shell/unit2.h"
#include "support/TempDir.h"

using namespace pitkit;
using pitkit::test::makeDirs;
using pitkit::test::readFile;
using pitkit::test::realPath;
using pitkit::test::TempDir;
using pitkit::test::writeFile;

namespace {

std::string presetBytes(const std::string& folder, const std::string& game) {
  return "PitkitDirectory:" + folder + "\r\nTorvaneDirectory:" + game + "\r\n";
}

void makeGame(const std::string& folder, bool withCars = true) {
  makeDirs(folder + "/levels/track1");
  if (withCars) makeDirs(folder + "/cars/car1");
}

// Answers every error box with OK and keeps what it said; other modal windows are left alone.
struct ErrorBoxAnswerer {
  QStringList texts;
  QTimer timer;
  ErrorBoxAnswerer() {
    QObject::connect(&timer, &QTimer::timeout, [this] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (box == nullptr) return;
      QCOMPARE(box->windowTitle(), QStringLiteral("Torvane Pit Kit"));
      QCOMPARE(box->icon(), QMessageBox::Critical);
      texts << box->text();
      box->accept();
    });
    timer.start(10);
  }
};

// A start folder "kit" and another game folder "game", both usable game directories.
struct TwoGames {
  TempDir tmp;
  std::string root = realPath(tmp.path());
  std::string start = root + "/kit";
  std::string game = root + "/game";
  TwoGames() {
    makeGame(start);
    makeGame(game);
  }
};

// The captions of `window`'s labels, buttons and check boxes that their controls cut off.
QStringList cutCaptions(QWidget* window) {
  QStringList cut;
  for (QWidget* w : window->findChildren<QWidget*>()) {
    QString text;
    int room = 0;
    if (auto* label = qobject_cast<QLabel*>(w)) {
      // The organizer pages' directory displays clip a long path, as laid out.
      if (label->text().isEmpty() || !label->pixmap().isNull() || label->objectName().startsWith(QStringLiteral("StaticText")))
        continue;
      if (label->wordWrap()) {
        if (label->heightForWidth(label->width()) > label->height()) cut << label->text();
        continue;
      }
      text = label->text();
      room = label->contentsRect().width() - 2 * label->margin();
    } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
      text = button->text().remove(QLatin1Char('&'));
      room = button->width() - (qobject_cast<QCheckBox*>(w) ? 20 : 6);
    } else {
      continue;
    }
    if (w->fontMetrics().horizontalAdvance(text) > room) cut << w->objectName() + QStringLiteral(": ") + text;
  }
  return cut;
}

void addItem(QTreeWidget* list, const QString& caption) { new QTreeWidgetItem(list, QStringList{caption}); }

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT
 private:
  std::string startDir_;

  // The program as started from `folder`: that folder is the working directory.
  std::unique_ptr<TForm1> startIn(const std::string& folder) {
    setCurrentDir(folder);
    return std::make_unique<TForm1>();
  }

 private slots:
  void initTestCase() {
    startDir_ = getCurrentDir();
    QApplication::setQuitOnLastWindowClosed(false);
  }
  void cleanup() { setCurrentDir(startDir_); }

  void frameMenusCaptionsHintsAndInitialStates() {
    TempDir tmp;
    const std::string plain = realPath(tmp.path());
    ErrorBoxAnswerer errors;
    auto form = startIn(plain);

    QCOMPARE(form->windowTitle(), QStringLiteral("Torvane Pit Kit"));
    QCOMPARE(form->size(), QSize(708, 460));
    QCOMPARE(form->pos(), QPoint(318, 192));
    QTabWidget* pages = form->ui.PageControl1;
    QStringList captions;
    for (int i = 0; i < pages->count(); ++i) captions << pages->tabText(i);
    QCOMPARE(captions, (QStringList{QStringLiteral("Change Directory"), QStringLiteral("Level Renamer"),
                                    QStringLiteral("Level Organizer"), QStringLiteral("Car Organizer"),
                                    QStringLiteral("Program Info"), QStringLiteral("Cover Display")}));
    QCOMPARE(pages->currentWidget(), form->ui.TabSheet5);
    QVERIFY(pages->font().bold());
    QCOMPARE(pages->tabBar()->tabRect(0).height(), 25);

    // Menus: &File > &Find Game Folders... and &Exit, &Help > &Renamer and &Level and Car Organizer.
    QCOMPARE(form->ui.File1->title(), QStringLiteral("&File"));
    QCOMPARE(form->ui.Help1->title(), QStringLiteral("&Help"));
    QCOMPARE(form->ui.File1->actions(), (QList<QAction*>{form->ui.FindGames1, form->ui.Exit1}));
    QCOMPARE(form->ui.FindGames1->text(), QStringLiteral("&Find Game Folders..."));
    QCOMPARE(form->ui.Help1->actions(), (QList<QAction*>{form->ui.Help2, form->ui.LevelOrganizer1}));
    QCOMPARE(form->ui.Exit1->text(), QStringLiteral("&Exit"));
    QCOMPARE(form->ui.Help2->text(), QStringLiteral("&Renamer"));
    QCOMPARE(form->ui.LevelOrganizer1->text(), QStringLiteral("&Level and Car Organizer"));

    // The secondary windows exist from start-up, in the table's captions.
    QVERIFY(form->Form2 && form->Form3 && form->Form5 && form->Form6);
    QCOMPARE(form->Form2->windowTitle(), QStringLiteral("Help"));
    QCOMPARE(form->Form3->windowTitle(), QStringLiteral(".INF Editor"));
    QCOMPARE(form->Form5->windowTitle(), QStringLiteral("Warning!"));
    QCOMPARE(form->Form6->windowTitle(), QStringLiteral("Orginizer Help"));

    // Hints: the folder list's goes to the status bar only, EXIT's also to a tooltip.
    auto& c = form->changeDirectoryUi;
    QCOMPARE(c.DirectoryListBox1->statusTip(), QStringLiteral("Your Torvane directory must be selected!"));
    QVERIFY(c.DirectoryListBox1->toolTip().isEmpty());
    QCOMPARE(form->renamerUi.Button1->text(), QStringLiteral("EXIT"));
    QCOMPARE(form->renamerUi.Button1->toolTip(), QStringLiteral("Close Program!"));
    QVERIFY(form->renamerUi.Button1->font().bold());
    QCOMPARE(form->levelOrganizerUi.Button2->text(), QStringLiteral("Exit"));
    QCOMPARE(form->carOrganizerUi.Button3->text(), QStringLiteral("Exit"));
    QCOMPARE(c.BitBtn12->text(), QStringLiteral("Save Directory as Preset"));
    QCOMPARE(c.Label2->text(), QStringLiteral("Select the torvane directory you wish to work with:"));
    QCOMPARE(c.Label7->text(), QStringLiteral("Levels Folder:"));
    QCOMPARE(c.Label14->text(), QStringLiteral("Cars Folder:"));
    QVERIFY(!form->renamerUi.Image1->pixmap().isNull());
    QVERIFY(!form->coverDisplayUi.Image4->pixmap().isNull());

    // Hovering a control puts its hint into the status bar.
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    // Shown, the window's frame (not its inner area) has the layout's place and size, and the
    // page control fills it as the layout has it.
    QCOMPARE(form->frameGeometry(), QRect(318, 192, 708, 460));
    QVERIFY(form->size().width() < 708 && form->size().height() < 460);
    const QRect pageRect = form->ui.PageControl1->geometry();
    QCOMPARE(pageRect.topLeft(), QPoint(0, 8));
    QCOMPARE(form->ui.centralwidget->width() - pageRect.right() - 1, 1);
    QCOMPARE(form->ui.centralwidget->height() - pageRect.bottom() - 1, 4);
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(c.DirectoryListBox1, &enter);
    QCOMPARE(form->ui.StatusBar1->currentMessage(), QStringLiteral("Your Torvane directory must be selected!"));

    // A folder without levels: every work button disabled, the display lists too.
    QVERIFY(!c.BitBtn12->isEnabled());
    QVERIFY(!form->renamerUi.BitBtn2->isEnabled());
    QVERIFY(!form->levelOrganizerUi.Findbutton->isEnabled());
    QVERIFY(!form->carOrganizerUi.FindButton2->isEnabled());
    QVERIFY(!form->levelOrganizerUi.viewreadme->isEnabled());
    QVERIFY(!form->levelOrganizerUi.inffile1->isEnabled());
    QVERIFY(!c.DirectoryListBox3->isEnabled());
    QVERIFY(!c.DirectoryListBox4->isEnabled());
    QCOMPARE(c.DirectoryListBox3->focusPolicy(), Qt::NoFocus);
    QVERIFY(form->renamerUi.bitbtn1->isHidden());
    QVERIFY(form->renamerUi.BitBtn3->isHidden());
    QVERIFY(form->renamerUi.CheckBox4->isChecked());
    for (QLineEdit* counter : {form->levelOrganizerUi.Edit1, form->levelOrganizerUi.Edit2, form->levelOrganizerUi.Edit3,
                               form->carOrganizerUi.Edit6, form->carOrganizerUi.Edit7, form->carOrganizerUi.Edit9})
      QCOMPARE(counter->text(), QStringLiteral("0"));

    // First start without a preset: it is written here, naming this folder twice; OName is the
    // renamer's default because no levels folder was opened.
    QCOMPARE(readFile(plain + "/Pitkit.ini"), presetBytes(plain, plain));
    QCOMPARE(form->GameDirectory, plain);
    QCOMPARE(form->PresetFolder, plain);
    QCOMPARE(form->renamerUi.OName->text(), QStringLiteral("Nhood1"));
    QCOMPARE(form->OldLevelPath, plain + "/levels/Nhood1");
    for (QLabel* shown : std::initializer_list<QLabel*>{form->renamerUi.StaticText2, form->levelOrganizerUi.StaticText3,
                          form->carOrganizerUi.StaticText4})
      QCOMPARE(shown->text().toStdString(), plain);
    QVERIFY(errors.texts.isEmpty());
  }

  void startInGameFolderFansTheDirectoryOut() {
    TempDir tmp;
    const std::string game = realPath(tmp.path());
    makeGame(game);
    ErrorBoxAnswerer errors;
    auto form = startIn(game);

    auto& c = form->changeDirectoryUi;
    QCOMPARE(form->GameDirectory, game);
    QVERIFY(c.BitBtn12->isEnabled());
    QVERIFY(form->renamerUi.BitBtn2->isEnabled());
    QVERIFY(form->levelOrganizerUi.Findbutton->isEnabled());
    QVERIFY(form->carOrganizerUi.FindButton2->isEnabled());
    QCOMPARE(form->FindFile.Location(), game + "/levels/");
    QCOMPARE(form->FindFile2.Location(), game + "/un_levels/");
    QCOMPARE(form->FindFile3.Location(), game + "/cars/");
    QCOMPARE(form->FindFile4.Location(), game + "/garage/");
    QCOMPARE(form->renamerUi.DirectoryListBox2->Directory(), game + "/levels");
    QCOMPARE(c.DirectoryListBox3->Directory(), game + "/levels");
    QCOMPARE(c.DirectoryListBox4->Directory(), game + "/cars");
    // The levels list opened before FormCreate put the renamer's default name in place.
    QCOMPARE(form->renamerUi.OName->text(), QStringLiteral("Nhood1"));
    QCOMPARE(form->OldLevelPath, game + "/levels/Nhood1");
    QCOMPARE(c.DriveComboBox1->currentText().toStdString(), c.DriveComboBox1->Drive());
    QVERIFY(errors.texts.isEmpty());
  }

  void changeHandlingCases() {
    TempDir tmp;
    const std::string root = realPath(tmp.path());
    const std::string a = root + "/a", noLevels = root + "/plain", noCars = root + "/c";
    makeGame(a);
    makeDirs(noLevels + "/cars");
    makeGame(noCars, false);
    ErrorBoxAnswerer errors;
    auto form = startIn(a);
    auto& c = form->changeDirectoryUi;
    auto& lo = form->levelOrganizerUi;
    auto fill = [&] {
      addItem(lo.FoundFiles, QStringLiteral("x"));
      addItem(lo.FoundFiles2, QStringLiteral("x"));
      addItem(form->carOrganizerUi.Foundfiles3, QStringLiteral("x"));
      addItem(form->carOrganizerUi.foundfiles4, QStringLiteral("x"));
      lo.viewreadme->setEnabled(true);
      lo.inffile1->setEnabled(true);
    };

    // A folder without levels: buttons off, lists emptied, displays follow, the rest keeps A.
    fill();
    c.DirectoryListBox1->setDirectory(noLevels);
    QCOMPARE(form->GameDirectory, noLevels);
    QCOMPARE(form->levelOrganizerUi.StaticText3->text().toStdString(), noLevels);
    QVERIFY(!c.BitBtn12->isEnabled());
    QVERIFY(!form->renamerUi.BitBtn2->isEnabled());
    QVERIFY(!lo.Findbutton->isEnabled());
    QVERIFY(!form->carOrganizerUi.FindButton2->isEnabled());
    QVERIFY(!lo.viewreadme->isEnabled());
    QVERIFY(!lo.inffile1->isEnabled());
    QCOMPARE(lo.FoundFiles->topLevelItemCount() + lo.FoundFiles2->topLevelItemCount() +
                 form->carOrganizerUi.Foundfiles3->topLevelItemCount() +
                 form->carOrganizerUi.foundfiles4->topLevelItemCount(),
             0);
    QCOMPARE(form->FindFile.Location(), a + "/levels/");
    QCOMPARE(form->FindFile4.Location(), a + "/garage/");
    QCOMPARE(form->renamerUi.DirectoryListBox2->Directory(), a + "/levels");
    QCOMPARE(c.DirectoryListBox3->Directory(), a + "/levels");
    // The cars list follows any folder that has cars, levels or not.
    QCOMPARE(c.DirectoryListBox4->Directory(), noLevels + "/cars");
    QCOMPARE(form->OldLevelPath, noLevels + "/levels/" + form->renamerUi.OName->text().toStdString());

    // Levels but no cars: everything follows except the cars list.
    c.DirectoryListBox1->setDirectory(noCars);
    QVERIFY(c.BitBtn12->isEnabled());
    QVERIFY(form->renamerUi.BitBtn2->isEnabled());
    QCOMPARE(form->FindFile.Location(), noCars + "/levels/");
    QCOMPARE(form->FindFile3.Location(), noCars + "/cars/");
    QCOMPARE(form->renamerUi.DirectoryListBox2->Directory(), noCars + "/levels");
    QCOMPARE(c.DirectoryListBox3->Directory(), noCars + "/levels");
    QCOMPARE(c.DirectoryListBox4->Directory(), noLevels + "/cars");

    // The same folder again changes nothing: the lists keep their items.
    fill();
    c.DirectoryListBox1->setDirectory(noCars);
    QCOMPARE(lo.FoundFiles->topLevelItemCount(), 1);
    QVERIFY(lo.viewreadme->isEnabled());

    // The root: sub-paths are formed by plain concatenation, giving a doubled separator.
    c.DirectoryListBox1->setDirectory("/");
    QCOMPARE(form->GameDirectory, std::string("/"));
    QCOMPARE(form->OldLevelPath.rfind("//levels/", 0), std::size_t{0});
    QCOMPARE(form->renamerUi.StaticText2->text(), QStringLiteral("/"));
    QVERIFY(errors.texts.isEmpty());
  }

  void gameFolderWhoseNameHoldsWildcards() {
    // "?" and "*" are allowed in folder names here, but a search folder refuses them.
    TempDir tmp;
    const std::string root = realPath(tmp.path());
    const std::string a = root + "/a", odd = root + "/Game? *";
    makeGame(a);
    makeGame(odd);
    ErrorBoxAnswerer errors;
    auto form = startIn(a);
    auto& c = form->changeDirectoryUi;
    c.DirectoryListBox1->setDirectory(odd);

    // The refusal is shown once ...
    QCOMPARE(errors.texts.size(), 1);
    QVERIFY(errors.texts.first().contains(QStringLiteral("wildcards")));
    // ... the organizers cannot search the new folder, and must not search the old one for it ...
    QVERIFY(!form->levelOrganizerUi.Findbutton->isEnabled());
    QVERIFY(!form->carOrganizerUi.FindButton2->isEnabled());
    QCOMPARE(form->FindFile.Location(), a + "/levels/");
    // ... and everything else follows the new folder, so GO renames inside it.
    QCOMPARE(form->GameDirectory, odd);
    QVERIFY(c.BitBtn12->isEnabled());
    QVERIFY(form->renamerUi.BitBtn2->isEnabled());
    QCOMPARE(form->renamerUi.DirectoryListBox2->Directory(), odd + "/levels");
    QCOMPARE(c.DirectoryListBox3->Directory(), odd + "/levels");
    QCOMPARE(c.DirectoryListBox4->Directory(), odd + "/cars");
    QCOMPARE(form->OldLevelPath, odd + "/levels/" + form->renamerUi.OName->text().toStdString());
    QCOMPARE(form->NewLevelPath, odd + "/levels/" + form->renamerUi.NName->text().toStdString());

    // Back to an ordinary folder: the organizers are usable again.
    c.DirectoryListBox1->setDirectory(a);
    QVERIFY(form->levelOrganizerUi.Findbutton->isEnabled());
    QCOMPARE(errors.texts.size(), 1);
  }

  void presetNamingAnotherGameOpensIt() {
    TempDir tmp;
    const std::string root = realPath(tmp.path());
    const std::string start = root + "/kit", game = root + "/My Game Ü";
    makeDirs(start);
    makeGame(game);
    // Blank-free keys, a third line that is never read.
    const std::string preset = presetBytes(start, game) + "TorvaneDirectory:" + root + "\r\n";
    writeFile(start + "/Pitkit.ini", preset);
    ErrorBoxAnswerer errors;
    auto form = startIn(start);

    QCOMPARE(form->GameDirectory, game);
    QCOMPARE(form->PresetFolder, start);
    QCOMPARE(form->changeDirectoryUi.DirectoryListBox1->Directory(), game);
    QCOMPARE(form->renamerUi.DirectoryListBox2->Directory(), game + "/levels");
    QCOMPARE(form->renamerUi.OName->text(), QStringLiteral("../levels"));
    QCOMPARE(form->ui.PageControl1->currentWidget(), form->ui.TabSheet5);
    QVERIFY(form->renamerUi.BitBtn2->isEnabled());
    QCOMPARE(readFile(start + "/Pitkit.ini"), preset);  // read, not rewritten
    QVERIFY(errors.texts.isEmpty());

    // A save goes back to the file it was read from and drops the extra line.
    form->changeDirectoryUi.BitBtn12->click();
    QCOMPARE(readFile(start + "/Pitkit.ini"), presetBytes(start, game));
  }

  void presetProblemsShowOneErrorAndKeepTheStartFolder() {
    const TwoGames games;
    const std::string &root = games.root, &start = games.start, &game = games.game;

    struct Case {
      const char* name;
      std::string preset;
    };
    const Case cases[] = {
        {"folder gone", presetBytes(start, root + "/gone")},
        // Blanks after the colon stay part of the path, which then names no folder.
        {"blank after colon", "PitkitDirectory:" + start + "\r\nTorvaneDirectory: " + game + "\r\n"},
    };
    for (const Case& c : cases) {
      writeFile(start + "/Pitkit.ini", c.preset);
      ErrorBoxAnswerer errors;
      auto form = startIn(start);
      QVERIFY2(errors.texts == QStringList{QStringLiteral("File not found.")}, c.name);
      QCOMPARE(form->GameDirectory, start);
      QCOMPARE(form->changeDirectoryUi.DirectoryListBox1->Directory(), start);
      QCOMPARE(form->carOrganizerUi.StaticText4->text().toStdString(), start);
      QCOMPARE(form->FindFile.Location(), start + "/levels/");
      QVERIFY(form->changeDirectoryUi.BitBtn12->isEnabled());
      QCOMPARE(readFile(start + "/Pitkit.ini"), c.preset);
      setCurrentDir(startDir_);
    }

    // A preset that cannot be read (a folder in its place): one error, the window still opens.
    pitkit::test::removeTree(start + "/Pitkit.ini");
    makeDirs(start + "/Pitkit.ini");
    ErrorBoxAnswerer errors;
    auto form = startIn(start);
    QCOMPARE(errors.texts, QStringList{QStringLiteral("File access denied.")});
    QCOMPARE(form->GameDirectory, start);
    QVERIFY(form->ui.PageControl1 != nullptr);
    // A save still goes to the start folder, never to the top of the file system.
    QCOMPARE(form->PresetFolder, start);
    const bool rootPresetBefore = fileExists("/Pitkit.ini");
    form->changeDirectoryUi.BitBtn12->click();
    QCOMPARE(errors.texts.size(), 2);
    QCOMPARE(fileExists("/Pitkit.ini"), rootPresetBefore);
    QVERIFY(directoryExists(start + "/Pitkit.ini"));
  }

  void presetWithMissingPartsStaysOnTheStartFolder() {
    const TwoGames games;
    const std::string &root = games.root, &start = games.start, &game = games.game;
    ErrorBoxAnswerer errors;

    // An empty file: both values empty; the start folder stays and a save writes the file that
    // was read (an empty first line would otherwise send it to "/Pitkit.ini").
    writeFile(start + "/Pitkit.ini", "");
    {
      auto form = startIn(start);
      QCOMPARE(form->GameDirectory, start);
      QCOMPARE(form->PresetFolder, start);
      form->changeDirectoryUi.DirectoryListBox1->setDirectory(game);
      form->changeDirectoryUi.BitBtn12->click();
      QCOMPARE(readFile(start + "/Pitkit.ini"), presetBytes(start, game));
    }
    // Only the first line, without its line break: the list stays where it is.
    writeFile(start + "/Pitkit.ini", "PitkitDirectory:" + start);
    {
      auto form = startIn(start);
      QCOMPARE(form->GameDirectory, start);
      QCOMPARE(form->changeDirectoryUi.DirectoryListBox1->Directory(), start);
    }
    // Lines ending in LF alone read as one line, which names no folder: a save repairs the file
    // in the start folder. A game folder whose name holds a CR cannot be saved: the file would
    // read back naming another folder, so the save is refused and the file kept.
    writeFile(start + "/Pitkit.ini", "PitkitDirectory:" + start + "\nTorvaneDirectory:" + game + "\n");
    {
      auto form = startIn(start);
      QCOMPARE(form->PresetFolder, start);
      form->changeDirectoryUi.DirectoryListBox1->setDirectory(game);
      form->changeDirectoryUi.BitBtn12->click();
      QCOMPARE(readFile(start + "/Pitkit.ini"), presetBytes(start, game));
      const std::string odd = root + "/odd\rname";
      makeGame(odd);
      form->changeDirectoryUi.DirectoryListBox1->setDirectory(odd);
      form->changeDirectoryUi.BitBtn12->click();
      QCOMPARE(readFile(start + "/Pitkit.ini"), presetBytes(start, game));
      QCOMPARE(errors.texts.size(), 1);
      QVERIFY(errors.texts.takeFirst().startsWith(QStringLiteral("The preset file cannot hold a folder")));
    }
    // The preset naming the start folder itself, with a trailing separator: the same folder,
    // so nothing opens again and the list's form of the path is kept.
    writeFile(start + "/Pitkit.ini", presetBytes(start, start + "/"));
    {
      auto form = startIn(start);
      QCOMPARE(form->GameDirectory, start);
    }
    QVERIFY(errors.texts.isEmpty());
  }

  void startFolderThatIsGoneWritesNoPreset() {
    TempDir tmp;
    const std::string gone = realPath(tmp.path()) + "/gone";
    makeDirs(gone);
    setCurrentDir(gone);
    pitkit::test::removeTree(gone);
    const bool rootPresetBefore = fileExists("/Pitkit.ini");
    ErrorBoxAnswerer errors;
    TForm1 form;
    QCOMPARE(errors.texts, QStringList{QStringLiteral("File not found.")});
    QVERIFY(!form.changeDirectoryUi.BitBtn12->isEnabled());
    QCOMPARE(fileExists("/Pitkit.ini"), rootPresetBefore);

    // A game folder chosen afterwards can be worked on, but a save has no preset folder to go to.
    const std::string game = realPath(tmp.path()) + "/game";
    makeGame(game);
    form.changeDirectoryUi.DirectoryListBox1->setDirectory(game);
    QVERIFY(form.changeDirectoryUi.BitBtn12->isEnabled());
    form.changeDirectoryUi.BitBtn12->click();
    QCOMPARE(errors.texts.size(), 2);
    QCOMPARE(errors.texts.last(), QStringLiteral("File not found."));
    QCOMPARE(fileExists("/Pitkit.ini"), rootPresetBefore);
    QVERIFY(!fileExists(game + "/Pitkit.ini"));
  }

  void savingAfterADirectoryChangeIsReadAtTheNextStart() {
    const TwoGames games;
    const std::string &root = games.root, &start = games.start, &game = games.game;
    ErrorBoxAnswerer errors;
    {
      auto form = startIn(start);
      form->changeDirectoryUi.DirectoryListBox1->setDirectory(game);
      QVERIFY(getCurrentDir() != start);  // the folder lists have moved the working directory
      QTest::mouseClick(form->changeDirectoryUi.BitBtn12, Qt::LeftButton);
      QCOMPARE(readFile(start + "/Pitkit.ini"), presetBytes(start, game));
      QVERIFY(!fileExists(game + "/Pitkit.ini"));
    }
    // The next start from the same folder opens the saved game directory.
    auto next = startIn(start);
    QCOMPARE(next->GameDirectory, game);
    // A start from another folder makes its own preset and leaves the first alone.
    const std::string other = root + "/other";
    makeDirs(other);
    auto third = startIn(other);
    QCOMPARE(third->GameDirectory, other);
    QCOMPARE(readFile(other + "/Pitkit.ini"), presetBytes(other, other));
    QCOMPARE(readFile(start + "/Pitkit.ini"), presetBytes(start, game));
    QVERIFY(errors.texts.isEmpty());
  }

  void failedSaveKeepsTheOldFile() {
    TempDir tmp;
    const std::string root = realPath(tmp.path());
    const std::string start = root + "/kit", game = root + "/a much longer game folder name";
    makeGame(start);
    makeGame(game);
    ErrorBoxAnswerer errors;
    auto form = startIn(start);
    const std::string old = readFile(start + "/Pitkit.ini");
    form->changeDirectoryUi.DirectoryListBox1->setDirectory(game);

    // The disk fills up half-way through the write (a child with a file-size limit).
    const pid_t child = ::fork();
    if (child == 0) {
      ::signal(SIGXFSZ, SIG_IGN);
      struct rlimit limit {20, 20};
      ::setrlimit(RLIMIT_FSIZE, &limit);
      try {
        form->BitBtn12Click();
        ::_exit(1);
      } catch (const EInOutError& e) {
        ::_exit(e.ErrorCode == 101 ? 0 : 2);
      }
      ::_exit(3);
    }
    int status = 0;
    QCOMPARE(::waitpid(child, &status, 0), child);
    QVERIFY(WIFEXITED(status));
    QCOMPARE(WEXITSTATUS(status), 0);
    QCOMPARE(readFile(start + "/Pitkit.ini"), old);
    QCOMPARE(pitkit::test::readFile(start + "/Pitkit.ini").size(), old.size());

    // A read-only preset is refused with the error box and stays as it was.
    ::chmod((start + "/Pitkit.ini").c_str(), 0444);
    form->changeDirectoryUi.BitBtn12->click();
    QCOMPARE(errors.texts, QStringList{QStringLiteral("File access denied.")});
    QCOMPARE(readFile(start + "/Pitkit.ini"), old);

    // The preset's folder gone: the error box, nothing written anywhere else.
    ::chmod((start + "/Pitkit.ini").c_str(), 0644);
    pitkit::test::removeTree(start);
    form->changeDirectoryUi.BitBtn12->click();
    QCOMPARE(errors.texts.size(), 2);
    QCOMPARE(errors.texts.last(), QStringLiteral("File not found."));
    QVERIFY(!fileExists(game + "/Pitkit.ini"));
  }

  void everyWayOfClosingWritesNothing() {
    const TwoGames games;
    const std::string &root = games.root, &start = games.start, &game = games.game;
    ErrorBoxAnswerer errors;
    for (const std::string way : {"title bar", "File > Exit", "EXIT", "level Exit", "car Exit"}) {
      auto form = startIn(start);
      const std::string preset = readFile(start + "/Pitkit.ini");
      form->show();
      QVERIFY(QTest::qWaitForWindowExposed(form.get()));
      form->changeDirectoryUi.DirectoryListBox1->setDirectory(game);
      form->LevelUninstallFrom = "x";
      form->CarInstallTo = "y";
      addItem(form->levelOrganizerUi.FoundFiles, QStringLiteral("lvl"));
      addItem(form->carOrganizerUi.foundfiles4, QStringLiteral("car"));

      if (way == "title bar") form->close();
      if (way == "File > Exit") form->ui.Exit1->trigger();
      if (way == "EXIT") QTest::mouseClick(form->renamerUi.Button1, Qt::LeftButton);
      if (way == "level Exit") form->levelOrganizerUi.Button2->click();
      if (way == "car Exit") form->carOrganizerUi.Button3->click();

      QVERIFY2(!form->isVisible(), way.c_str());
      QVERIFY(form->GameDirectory.empty());
      QVERIFY(form->OldLevelPath.empty() && form->NewLevelPath.empty());
      QVERIFY(form->LevelUninstallFrom.empty() && form->CarInstallTo.empty());
      QCOMPARE(form->levelOrganizerUi.FoundFiles->topLevelItemCount(), 0);
      QCOMPARE(form->carOrganizerUi.foundfiles4->topLevelItemCount(), 0);
      QCOMPARE(readFile(start + "/Pitkit.ini"), preset);
      QVERIFY(!fileExists(game + "/Pitkit.ini"));
    }
    QVERIFY(errors.texts.isEmpty());
  }

  void closingDuringASearchStopsIt() {
    TempDir tmp;
    const std::string game = realPath(tmp.path());
    for (int i = 0; i < 40; ++i) makeDirs(game + "/levels/track" + std::to_string(i));
    auto form = startIn(game);
    form->show();
    int folders = 0;
    // The first folder announced closes the window, as a user might while a search runs.
    form->FindFile.OnNewFolder = [&](TFindFile*, const std::string&, bool&) {
      if (++folders == 1) form->close();
    };
    form->FindFile.OnFound = nullptr;
    form->FindFile.OnComplete = nullptr;
    form->FindFile.Execute();
    QVERIFY(!form->isVisible());
    QVERIFY(form->FindFile.Aborted());
    QVERIFY2(folders < 10, "the search walked on behind the closed window");
  }

  void helpWindowsAreModalAndKeepTheirState() {
    TempDir tmp;
    const std::string start = realPath(tmp.path());
    auto form = startIn(start);
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));

    // The renamer help: modal over the main window, closed by its Close button, same window twice.
    QDialog* seen[2] = {nullptr, nullptr};
    QRect shownAt;
    for (int round = 0; round < 2; ++round) {
      QTimer::singleShot(0, [&, round] {
        auto* help = qobject_cast<TForm2*>(QApplication::activeModalWidget());
        seen[round] = help;
        if (help == nullptr) return;
        QVERIFY(help->isModal());
        shownAt = QRect(help->pos(), help->size());
        QCOMPARE(help->ui.Label1->text(), QStringLiteral("1. Your torvane directory must be selected."));
        QCOMPARE(help->ui.Label4->text(),
                 QStringLiteral("15. The status area is for displaying info as the program goes."));
        help->ui.Button1->click();
      });
      QTimer guard;  // never leave a modal window hanging if the check above failed
      QObject::connect(&guard, &QTimer::timeout, [] {
        if (auto* w = QApplication::activeModalWidget()) w->close();
      });
      guard.start(2000);
      form->ui.Help2->trigger();
    }
    QVERIFY(seen[0] != nullptr);
    QCOMPARE(seen[0], static_cast<QDialog*>(form->Form2));
    QCOMPARE(seen[1], seen[0]);
    QVERIFY(!form->Form2->isVisible());
    // Each help window opens at its own place on the screen (its frame's corner), not centred
    // over the main window.
    QCOMPARE(shownAt, QRect(196, 251, 903, 367));

    // The organizer help: text typed there stays for the rest of the run.
    QString original, afterReopen;
    QTimer::singleShot(0, [&] {
      auto* help = qobject_cast<TForm6*>(QApplication::activeModalWidget());
      if (help == nullptr) return;
      shownAt = QRect(help->pos(), help->size());
      original = help->ui.Memo1->toPlainText();
      help->ui.Memo1->setPlainText(QStringLiteral("my notes"));
      help->ui.Button1->click();
    });
    form->ui.LevelOrganizer1->trigger();
    QTimer::singleShot(0, [&] {
      auto* help = qobject_cast<TForm6*>(QApplication::activeModalWidget());
      if (help == nullptr) return;
      afterReopen = help->ui.Memo1->toPlainText();
      help->close();  // the title bar's close does the same as Close
    });
    form->ui.LevelOrganizer1->trigger();
    QCOMPARE(shownAt, QRect(444, 317, 466, 271));
    QVERIFY(original.startsWith(QStringLiteral("      The level organizer and the car organizer")));
    QCOMPARE(original.split(QLatin1Char('\n')).size(), 20);
    QCOMPARE(afterReopen, QStringLiteral("my notes"));
    QVERIFY(!form->Form6->isVisible());
  }

  void programInfoShowsItsTextsAndCoverItsPictures() {
    TempDir tmp;
    auto form = startIn(realPath(tmp.path()));
    form->show();
    form->ui.PageControl1->setCurrentWidget(form->ui.TabSheet4);
    const QStringList info = form->programInfoUi.Memo1->toPlainText().split(QLatin1Char('\n'));
    QCOMPARE(info.size(), 7);
    QCOMPARE(info.last(), QStringLiteral("I would like to thank the testers and everyone that made suggestions."));
    const QStringList important = form->programInfoUi.Memo2->toPlainText().split(QLatin1Char('\n'));
    QCOMPARE(important.size(), 12);
    QVERIFY(important.first().endsWith(QStringLiteral("normaly in there.  This may ")));
    QCOMPARE(form->programInfoUi.Label21->text(), QStringLiteral("Important:"));
    // Each picture is decoded at the size of the box that shows it.
    auto& c = form->coverDisplayUi;
    for (QLabel* picture : {c.Image4, c.Image5, c.Image6, form->renamerUi.Image1}) {
      QVERIFY(!picture->pixmap().isNull());
      QCOMPARE(picture->pixmap().size(), picture->size());
    }
    QCOMPARE(c.Label22->text(), QStringLiteral("TORVANE"));
    QCOMPARE(c.Label22->font().pixelSize(), 48);
  }

  void windowLookWithTheFallbackFonts() {
    TempDir tmp;
    const std::string start = realPath(tmp.path());
    const std::string deep = start + "/a rather long folder name/and another one below it/game";
    makeGame(deep);
    auto form = startIn(start);
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    QCOMPARE(cutCaptions(form.get()), QStringList());
    QCOMPARE(cutCaptions(form->Form2), QStringList());

    // Disabled (no levels folder here), every coloured button draws the platform's greyed caption.
    auto& r = form->renamerUi;
    auto& l = form->levelOrganizerUi;
    auto& c = form->carOrganizerUi;
    const QColor greyed = QApplication::palette().color(QPalette::Disabled, QPalette::ButtonText);
    const std::pair<QPushButton*, QColor> coloured[] = {
        {r.BitBtn2, QColor(0, 255, 0)}, {r.bitbtn1, QColor(0, 255, 0)}, {r.BitBtn3, Qt::red},
        {l.Findbutton, QColor(0, 128, 0)}, {c.FindButton2, QColor(0, 128, 0)}, {l.BitBtn4, Qt::blue},
        {l.BitBtn6, Qt::blue}, {l.BitBtn5, Qt::red}, {l.BitBtn7, Qt::red}};
    for (const auto& [button, colour] : coloured) {
      QCOMPARE(button->palette().color(QPalette::Active, QPalette::ButtonText), colour);
      QCOMPARE(button->palette().color(QPalette::Disabled, QPalette::ButtonText), greyed);
    }

    // The renamer's "Selected Directory:" looks like the organizer pages' ones.
    QCOMPARE(r.Label3->font(), l.Label9->font());
    QCOMPARE(r.Label3->palette().color(QPalette::WindowText), QColor(Qt::red));

    // A path too long for the renamer's display: elided in the middle, whole as its tooltip.
    form->changeDirectoryUi.DirectoryListBox1->setDirectory(deep);
    const QString path = QString::fromStdString(deep);
    QCOMPARE(r.StaticText2->text(), path);
    QCOMPARE(r.StaticText2->toolTip(), path);
    const QString shown = r.StaticText2->shownText();
    QVERIFY2(shown.startsWith(QStringLiteral("/")) && shown.endsWith(QStringLiteral("game")) &&
                 shown.contains(QChar(0x2026)),
             qPrintable(shown));
    QVERIFY(r.StaticText2->fontMetrics().horizontalAdvance(shown) <= r.StaticText2->contentsRect().width());

    // "Program Info": the first text wraps instead of scrolling sideways and shows all its lines.
    form->ui.PageControl1->setCurrentWidget(form->ui.TabSheet4);
    QPlainTextEdit* info = form->programInfoUi.Memo1;
    QCOMPARE(info->horizontalScrollBar()->maximum(), 0);
    QCOMPARE(info->verticalScrollBar()->maximum(), 0);
    // The organizer help scrolls when its text runs past the bottom.
    form->Form6->show();
    QTRY_VERIFY(form->Form6->ui.Memo1->verticalScrollBar()->isVisible());
    form->Form6->hide();
  }

  void pageControlFollowsTheWindowSize() {
    TempDir tmp;
    auto form = startIn(realPath(tmp.path()));
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    const QSize before = form->ui.PageControl1->size();
    // Both Exit buttons sit where the layout puts them, on the page shown while the window grows.
    QPushButton* exits[] = {form->levelOrganizerUi.Button2, form->carOrganizerUi.Button3};
    for (QPushButton* exit : exits) {
      form->ui.PageControl1->setCurrentWidget(exit->parentWidget());
      QCOMPARE(exit->geometry(), QRect(592, 304, 75, 25));
    }
    form->resize(form->width() + 150, form->height() + 100);
    QTRY_COMPARE(form->ui.PageControl1->size(), before + QSize(150, 100));
    QCOMPARE(form->ui.PageControl1->pos(), QPoint(0, 8));
    for (QPushButton* exit : exits) {
      form->ui.PageControl1->setCurrentWidget(exit->parentWidget());
      QCOMPARE(exit->geometry(), QRect(592, 304, 75, 25));
    }
    form->resize(form->width() - 250, form->height() - 200);
    QTRY_COMPARE(form->ui.PageControl1->size(), before - QSize(100, 100));

    // A window that does not fit at its place is moved up and left onto the screen, as far as
    // needed and never past the screen's corner.
    const QRect screen(0, 0, 1024, 600);
    QCOMPARE(placeInside(QRect(318, 192, 708, 460), QRect(0, 0, 1280, 1024)), QPoint(318, 192));
    QCOMPARE(placeInside(QRect(318, 192, 708, 460), screen), QPoint(316, 140));
    QCOMPARE(placeInside(QRect(196, 251, 903, 367), screen), QPoint(121, 233));
    QCOMPARE(placeInside(QRect(500, 500, 2000, 900), QRect(10, 20, 1024, 600)), QPoint(10, 20));
  }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
