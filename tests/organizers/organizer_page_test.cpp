// The organizer page class on a third kind of content, made from a description of its own: it
// searches, lists, counts, shows and moves what the description says, through the window system.
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QTreeWidget>
#include <QWidget>
#include <QWindow>

#include "organizers/OrganizerPage.h"
#include "platform/FileSystem.h"
#include "platform/GameDirectory.h"
#include "search/FindFile.h"
#include "support/LinuxOnly.h"
#include "support/TempDir.h"
#include "support/WindowHarness.h"

using namespace pitkit;
using pitkit::test::captions;
using pitkit::test::TempDir;
using pitkit::test::writeFile;

namespace {

// Records what the page asks of its details.
class RecordingDetails : public OrganizerDetails {
 public:
  void withdraw() override { calls << QStringLiteral("withdraw"); }
  void show(const std::string& caption, const std::string& fileName, bool uninstalled) override {
    calls << QStringLiteral("show %1/%2%3").arg(QString::fromStdString(caption), QString::fromStdString(fileName),
                                               uninstalled ? QStringLiteral(" uninstalled") : QString());
  }
  QStringList calls;
};

// A page of skins: "skins" installed, "skin_store" uninstalled, each skin a folder with skin.txt.
struct SkinPage {
  QWidget window;
  QTreeWidget* installed = new QTreeWidget(&window);
  QTreeWidget* uninstalled = new QTreeWidget(&window);
  QPushButton* go = new QPushButton(QStringLiteral("Go"), &window);
  QPushButton* buttons[4] = {new QPushButton(&window), new QPushButton(&window), new QPushButton(&window),
                             new QPushButton(&window)};
  QLineEdit* counts[3] = {new QLineEdit(&window), new QLineEdit(&window), new QLineEdit(&window)};
  QLabel* shownFolder = new QLabel(&window);
  QStatusBar* status = new QStatusBar(&window);
  TFindFile installedSearch, uninstalledSearch;
  GameDirectory game;
  RecordingDetails details;
  OrganizerPaths paths;
  OrganizerPage page{&window, status, game, describe(), paths};

  OrganizerSide describe() {
    const auto below = [](const char* parent) {
      return [parent](const GameDirectory& g, const std::string& folder, const std::string&) {
        const std::string base = g.subWithDelim(parent);
        return folder.starts_with(base) ? folder.substr(base.size()) : std::string();
      };
    };
    // The lists stretch with the window from the size it has here.
    window.resize(420, 320);
    go->setGeometry(10, 10, 80, 25);
    installed->setGeometry(10, 40, 200, 150);
    return {"skins", "skin_store", "skin.txt", "; Skin", installedSearch, uninstalledSearch, installed, uninstalled,
            go, buttons[0], buttons[1], buttons[2], buttons[3], counts[0], counts[1], counts[2], 7, shownFolder,
            shownFolder, {}, below("skins"), below("skin_store"),
            [](const std::string& caption, const std::string&) { return caption == "factory"; }, details, nullptr,
            false};
  }
};

void writeSkin(const std::string& folder) { writeFile(folder + "/skin.txt", "; Skin\r\nName \"x\"\r\n"); }

class OrganizerPageTest : public QObject {
  Q_OBJECT
 private slots:
  void aThirdKindOfContentIsSearchedListedShownAndMovedByItsDescription() {
    TempDir game;
    pitkit::test::makeDirs(game / "levels");
    for (const char* skin : {"skins/red", "skins/blue", "skins/factory", "skin_store/old"}) writeSkin(game / skin);
    writeFile(game / "skins/plain/skin.txt", "no marker here");
    SkinPage p;
    p.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&p.window));

    p.game.change(game.path());
    QVERIFY(p.go->isEnabled());
    QCOMPARE(p.shownFolder->text(), QString::fromStdString(game.path()));
    QCOMPARE(p.details.calls, QStringList{QStringLiteral("withdraw")});

    // A person's click on Go reaches the page through the window.
    QTest::mouseClick(p.window.windowHandle(), Qt::LeftButton, {}, p.go->geometry().center());
    QVERIFY(directoryExists(game / "skin_store"));
    QCOMPARE(captions(p.installed), (QStringList{QStringLiteral("blue"), QStringLiteral("red")}));
    QCOMPARE(captions(p.uninstalled), QStringList{QStringLiteral("old")});
    QCOMPARE(p.counts[0]->text(), QStringLiteral("2  "));
    QCOMPARE(p.counts[1]->text(), QStringLiteral("1  "));
    QCOMPARE(p.counts[2]->text(), QStringLiteral("9  "));
    QVERIFY(p.go->isEnabled());

    QTreeWidgetItem* red = p.installed->findItems(QStringLiteral("red"), Qt::MatchExactly).value(0);
    QVERIFY(red != nullptr);
    QTest::mouseClick(p.installed->viewport(), Qt::LeftButton, {}, p.installed->visualItemRect(red).center());
    QCOMPARE(p.details.calls.last(), QStringLiteral("show red/skin.txt"));
    QCOMPARE(p.page.UninstallFrom, game / "skins/red");
    QCOMPARE(p.page.UninstallTo, game / "skin_store/red");

    p.page.uninstall();
    QVERIFY(!directoryExists(game / "skins/red"));
    QVERIFY(fileExists(game / "skin_store/red/skin.txt"));
    QCOMPARE(captions(p.installed), QStringList{QStringLiteral("blue")});
    QCOMPARE(captions(p.uninstalled), (QStringList{QStringLiteral("old"), QStringLiteral("red")}));

    // Another game folder empties the lists and withdraws the details; forget drops the paths.
    TempDir other;
    p.game.change(other.path());
    QVERIFY(!p.go->isEnabled());
    QCOMPARE(p.installed->topLevelItemCount() + p.uninstalled->topLevelItemCount(), 0);
    QCOMPARE(p.details.calls.last(), QStringLiteral("withdraw"));
    p.page.forget();
    QVERIFY(p.page.UninstallFrom.empty() && p.page.UninstallTo.empty());
  }

  // "Show this item selected" searches again and picks the row by its folder, also among rows
  // whose captions differ only in letter case, in whichever list holds it; the paths follow it.
  void anItemIsShownSelectedByItsFolder() {
    PITKIT_LINUX_ONLY_QT("two folders whose names differ only in letter case (one folder on Windows)");
    TempDir game;
    pitkit::test::makeDirs(game / "levels");
    for (const char* skin : {"skins/Red", "skins/red", "skin_store/old"}) writeSkin(game / skin);
    SkinPage p;
    p.game.change(game.path());
    for (const std::string skin : {"skins/red", "skins/Red", "skin_store/old"}) {
      QVERIFY(p.page.showSelected(game / skin));
      QTreeWidget* list = skin.starts_with("skins") ? p.installed : p.uninstalled;
      QCOMPARE(list->currentItem()->text(0).toStdString(), skin.substr(skin.find('/') + 1));
      QVERIFY(list->currentItem()->isSelected());
      QCOMPARE(list == p.installed ? p.page.UninstallFrom : p.page.InstallFrom, game / skin);
    }
    QVERIFY(!p.page.showSelected(game / "skins/RED"));
  }
};

}  // namespace

QTEST_MAIN(OrganizerPageTest)
#include "organizer_page_test.moc"
