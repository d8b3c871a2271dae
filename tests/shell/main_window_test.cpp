// The real main window in temporary game trees: frame, start-up, the game-directory change
// handling, closing during a search and the help windows.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QEnterEvent>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QStatusBar>
#include <QTabBar>
#include <QTest>
#include <QTreeWidget>

#include <functional>
#include <memory>

#include "platform/DirectoryListBox.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "platform/PathLabel.h"
#include "renamer/Unit3.h"
#include "renamer/Unit5.h"
#include "shell/Unit1.h"
#include "shell/Unit6.h"
#include "shell/WindowPlace.h"
#include "shell/unit2.h"
#include "support/GameTree.h"
#include "support/LinuxOnly.h"
#include "support/ModalAnswerer.h"
#include "support/WindowHarness.h"

using namespace pitkit;
using namespace pitkit::test;

class MainWindowTest : public test::WindowTestCase {
  Q_OBJECT
 private:
  void shownFrameAndHoveredHints(TForm1& form, const ModalAnswerer& errors) {
    auto& c = form.changeDirectoryUi;
    // Hovering a control puts its hint into the status bar.
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    // Shown, the window's frame (not its inner area) has the layout's place and size, and the
    // page control fills it as the layout has it.
    QCOMPARE(form.frameGeometry(), QRect(318, 192, 708, 460));
    QVERIFY(form.size().width() < 708 && form.size().height() < 460);
    const QRect pageRect = form.ui.PageControl1->geometry();
    QCOMPARE(pageRect.topLeft(), QPoint(0, 8));
    QCOMPARE(form.ui.centralwidget->width() - pageRect.right() - 1, 1);
    QCOMPARE(form.ui.centralwidget->height() - pageRect.bottom() - 1, 4);
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(c.DirectoryListBox1, &enter);
    QCOMPARE(form.ui.StatusBar1->currentMessage(), QStringLiteral("Your Torvane directory must be selected!"));
    QVERIFY(errors.texts().isEmpty());
  }

  void sameFolderAgainAndTheRoot(TForm1& form, ModalAnswerer& errors, const std::function<void()>& fill, const std::string& noCars) {
    auto& c = form.changeDirectoryUi;
    auto& lo = form.levelOrganizerUi;
    // The same folder again changes nothing: the lists keep their items.
    fill();
    c.DirectoryListBox1->setDirectory(noCars);
    QCOMPARE(lo.FoundFiles->topLevelItemCount(), 1);
    QVERIFY(lo.viewreadme->isEnabled());

    // The root ("/", on Windows the drive's "C:/"): sub-paths are formed by plain concatenation,
    // giving a doubled separator.
    const std::string root = pathRoot(noCars);
    c.DirectoryListBox1->setDirectory(root);
    QCOMPARE(form.GameDirectory, root);
    QCOMPARE(form.OldLevelPath.rfind(root + "/levels/", 0), std::size_t{0});
    QCOMPARE(form.renamerUi.StaticText2->text(), q(root));
    QVERIFY(errors.texts().isEmpty());
  }

  void organizerHelpKeepsItsText(TForm1& form, ModalAnswerer& modals, QRect& shownAt) {
    // The organizer help: text typed there stays for the rest of the run.
    QString original, afterReopen;
    modals.expect([&](QWidget* window) {
      auto* help = qobject_cast<TForm6*>(window);
      if (help == nullptr) {
          window->close();
          return;
        }
      shownAt = QRect(help->pos(), help->size());
      original = help->ui.Memo1->toPlainText();
      help->ui.Memo1->setPlainText(QStringLiteral("my notes"));
      help->ui.Button1->click();
    });
    form.ui.LevelOrganizer1->trigger();
    modals.expect([&](QWidget* window) {
      auto* help = qobject_cast<TForm6*>(window);
      if (help == nullptr) {
          window->close();
          return;
        }
      afterReopen = help->ui.Memo1->toPlainText();
      help->close();  // the title bar's close does the same as Close
    });
    form.ui.LevelOrganizer1->trigger();
    QCOMPARE(shownAt, QRect(444, 317, 466, 271));
    QVERIFY(original.startsWith(QStringLiteral("      The level organizer and the car organizer")));
    QCOMPARE(original.split(QLatin1Char('\n')).size(), 20);
    QCOMPARE(afterReopen, QStringLiteral("my notes"));
    QVERIFY(!form.Form6->isVisible());
    QCOMPARE(modals.unexpected, 0);
  }

 private slots:
  void frameMenusCaptionsHintsAndInitialStates() {
    TempDir tmp;
    const std::string plain = realPath(tmp.path());
    ModalAnswerer errors(ModalAnswerer::OnlyErrorBoxes);
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
    // The File menu: installing from archives, finding game folders, the game folder's check, list
    // and comparison between separators, and Exit.
    QCOMPARE(form->ui.File1->actions().size(), 8);
    QCOMPARE(form->ui.File1->actions().mid(3, 3),
             (QList<QAction*>{form->ui.CheckGame1, form->ui.ExportList1, form->ui.CompareList1}));
    QCOMPARE(form->ui.File1->actions().first(), form->ui.InstallFromArchive1);
    QCOMPARE(form->ui.InstallFromArchive1->text(), QStringLiteral("&Install from Archive..."));
    QCOMPARE(form->ui.File1->actions().at(1), form->ui.FindGames1);
    QCOMPARE(form->ui.FindGames1->text(), QStringLiteral("&Find Game Folders..."));
    QCOMPARE(form->ui.File1->actions().last(), form->ui.Exit1);
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

    shownFrameAndHoveredHints(*form, errors);
  }

  void startWithoutAGameFolderSaysHowToChooseOne() {
    TempDir tmp;
    const std::string plain = realPath(tmp.path());
    makeGameFolders(plain + "/game");
    ModalAnswerer errors(ModalAnswerer::OnlyErrorBoxes);
    auto form = startShownIn(plain);
    auto* said = control<QLabel>(form.get(), QStringLiteral("ChooseGameFolderText"));
    QCOMPARE(said->text(), QStringLiteral("No game folder is open: choose yours on \"Change Directory\", or "
                                          "with File > Find Game Folders..."));
    QVERIFY(said->isVisible());
    // The pointer on a control covers it with the control's hint; off the control, it is back.
    auto& c = form->changeDirectoryUi;
    form->ui.PageControl1->setCurrentWidget(form->ui.TabSheet6);
    // The window system tells the window the pointer came in over the list, then moves it on.
    const QPoint onList = c.DirectoryListBox1->mapTo(form.get(), QPoint(20, 20));
    QEnterEvent enter(onList, onList, form->mapToGlobal(onList));
    QApplication::sendEvent(form->windowHandle(), &enter);
    QTRY_COMPARE(form->ui.StatusBar1->currentMessage(), c.DirectoryListBox1->statusTip());
    QVERIFY(!said->isVisible());
    QTest::mouseMove(form->windowHandle(), c.Label2->mapTo(form.get(), QPoint(2, 2)));
    QTRY_VERIFY(said->isVisible());
    QVERIFY(form->ui.StatusBar1->currentMessage().isEmpty());
    // A game folder chosen, the text goes.
    c.DirectoryListBox1->setDirectory(plain + "/game");
    QVERIFY(said->text().isEmpty());
    QVERIFY(errors.texts().isEmpty());
  }

  void plainStartFolderDisablesTheWorkAndWritesThePreset() {
    TempDir tmp;
    const std::string plain = realPath(tmp.path());
    ModalAnswerer errors(ModalAnswerer::OnlyErrorBoxes);
    auto form = startIn(plain);
    auto& c = form->changeDirectoryUi;

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
    QVERIFY(errors.texts().isEmpty());
  }

  void startInGameFolderFansTheDirectoryOut() {
    TempDir tmp;
    const std::string game = realPath(tmp.path());
    makeGameFolders(game);
    ModalAnswerer errors(ModalAnswerer::OnlyErrorBoxes);
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
    // The drive shown holds the game: its root; on Windows its letter with its label ("C: (...)").
    PITKIT_OPEN_ON_WINE_QT("the drive box shows no drive");
    const QString drive = q(c.DriveComboBox1->Drive()), shownDrive = c.DriveComboBox1->currentText();
    QVERIFY2(shownDrive == drive || (!kOnLinux && shownDrive.startsWith(drive.left(2))), qPrintable(shownDrive));
    QVERIFY(errors.texts().isEmpty());
  }

  void changeHandlingCases() {
    TempDir tmp;
    const std::string root = realPath(tmp.path());
    const std::string a = root + "/a", noLevels = root + "/plain", noCars = root + "/c";
    makeGameFolders(a);
    makeDirs(noLevels + "/cars");
    makeGameFolders(noCars, false);
    ModalAnswerer errors(ModalAnswerer::OnlyErrorBoxes);
    auto form = startIn(a);
    auto& c = form->changeDirectoryUi;
    auto& lo = form->levelOrganizerUi;
    auto fill = [&] {
      new QTreeWidgetItem(lo.FoundFiles, QStringList{QStringLiteral("x")});
      new QTreeWidgetItem(lo.FoundFiles2, QStringList{QStringLiteral("x")});
      new QTreeWidgetItem(form->carOrganizerUi.Foundfiles3, QStringList{QStringLiteral("x")});
      new QTreeWidgetItem(form->carOrganizerUi.foundfiles4, QStringList{QStringLiteral("x")});
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

    sameFolderAgainAndTheRoot(*form, errors, fill, noCars);
  }

  void gameFolderWhoseNameHoldsWildcards() {
    PITKIT_LINUX_ONLY_QT("Windows forbids '?' and '*' in names");
    // "?" and "*" are allowed in folder names here, but a search folder refuses them.
    TempDir tmp;
    const std::string root = realPath(tmp.path());
    const std::string a = root + "/a", odd = root + "/Game? *";
    makeGameFolders(a);
    makeGameFolders(odd);
    ModalAnswerer errors(ModalAnswerer::OnlyErrorBoxes);
    auto form = startIn(a);
    auto& c = form->changeDirectoryUi;
    c.DirectoryListBox1->setDirectory(odd);

    // The refusal is shown once ...
    QCOMPARE(errors.texts().size(), 1);
    QVERIFY(errors.texts().first().contains(QStringLiteral("wildcards")));
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
    QCOMPARE(errors.texts().size(), 1);
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
    ModalAnswerer modals;
    QDialog* seen[2] = {nullptr, nullptr};
    QRect shownAt;
    for (int round = 0; round < 2; ++round) {
      modals.expect([&, round](QWidget* window) {
        auto* help = qobject_cast<TForm2*>(window);
        seen[round] = help;
        if (help == nullptr) {
          window->close();
          return;
        }
        shownAt = QRect(help->pos(), help->size());
        help->ui.Button1->click();  // checked below, so that a failed check never leaves it open
        QVERIFY(help->isModal());
        QCOMPARE(help->ui.Label1->text(), QStringLiteral("1. Your torvane directory must be selected."));
        QCOMPARE(help->ui.Label4->text(),
                 QStringLiteral("15. The status area is for displaying info as the program goes."));
      });
      form->ui.Help2->trigger();
    }
    QVERIFY(seen[0] != nullptr);
    QCOMPARE(seen[0], static_cast<QDialog*>(form->Form2));
    QCOMPARE(seen[1], seen[0]);
    QVERIFY(!form->Form2->isVisible());
    // Each help window opens at its own place on the screen (its frame's corner), not centred
    // over the main window.
    QCOMPARE(shownAt, QRect(196, 251, 903, 367));

    organizerHelpKeepsItsText(*form, modals, shownAt);
  }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
