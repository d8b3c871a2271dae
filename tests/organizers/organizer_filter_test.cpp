// The filter box on both organizer pages, typed into through the window: caption and display
// name, letter case, the count beside it, the selected row, Escape, and a list of 2,006 levels.
#include <QApplication>
#include <QLabel>
#include <QTest>

#include "support/GameTree.h"
#include "support/ModalAnswerer.h"
#include "support/OrganizerTab.h"
#include "support/WindowHarness.h"

using namespace pitkit;
using namespace pitkit::test;

namespace {

// The display names are read on a worker below the window's priority: on a busy machine they may
// take a while.
constexpr int kNamesArrive = 30000;

struct FilterControls {
  QLineEdit* box;
  QLabel* count;
};

FilterControls filterOf(const TForm1& form, const QString& side) {
  const QString prefix =
      side == QLatin1String("car") ? QStringLiteral("Car") : QStringLiteral("Level");
  return {control<QLineEdit>(&form, prefix + QStringLiteral("Filter")),
          control<QLabel>(&form, prefix + QStringLiteral("FilterCount"))};
}

// Ctrl+F from wherever the focus is on the page, then the text typed over what the box held.
void filterBy(const OrganizerControls& page, const FilterControls& filter, const QString& text) {
  pressKey(page.installed, Qt::Key_F, Qt::ControlModifier);
  QCOMPARE(QApplication::focusWidget(), filter.box);
  typeKeys(filter.box, text);
  QCOMPARE(filter.box->text(), text);
}

QStringList list(std::initializer_list<const char*> captions) {
  QStringList out;
  for (const char* caption : captions) out << QString::fromUtf8(caption);
  return out;
}

}  // namespace

class OrganizerFilterTest : public QObject {
  Q_OBJECT

 private slots:
  void filtersBothListsByCaptionOrName_data() { addSideRows(); }
  void filtersBothListsByCaptionOrName() {
    QFETCH(QString, side);
    const OrganizerTab& s = sideNamed(side);
    ModalAnswerer watch;
    OrganizerGame game;
    const auto item = [&](const std::string& top, const char* folder, const char* name) {
      s.writeItem(game / (top + "/" + folder), name);
    };
    item(s.installedTop, "alpha", "Loud Hood");
    item(s.installedTop, "Bravo", "Quiet Lane");
    item(s.installedTop, "charlie", "ALPHA Ridge");
    item(s.uninstalledTop, "delta", "Sunny Alps");
    item(s.uninstalledTop, "echo", "Echo");
    auto form = game.openShown();
    const OrganizerControls p = s.controls(*form);
    const FilterControls f = filterOf(*form, side);
    showPageOf(p.go);
    clickGo(p);
    QCOMPARE(f.box->placeholderText(), QStringLiteral("Filter"));
    QCOMPARE(f.count->text(), QStringLiteral("5 of 5"));
    clickRow(p.installed, QStringLiteral("alpha"));

    const struct {
      const char* text;
      QStringList installed, uninstalled;
      const char* count;
      bool alphaSelected;  // a hidden row loses its selection, for good
    } cases[] = {
        {"alp", list({"alpha", "charlie"}), list({"delta"}), "3 of 5", true},  // caption, names
        {"BRAVO", list({"Bravo"}), {}, "1 of 5", false},
        {"quiet l", list({"Bravo"}), {}, "1 of 5", false},  // the display name alone
        {"alpha", list({"alpha", "charlie"}), {}, "2 of 5", false},
        {"zz", {}, {}, "0 of 5", false},
    };
    for (const auto& c : cases) {
      filterBy(p, f, QString::fromUtf8(c.text));
      // The names arrive from the worker: a row found by its name may show a little later.
      QTRY_COMPARE_WITH_TIMEOUT(shownCaptions(p.installed), c.installed, kNamesArrive);
      QTRY_COMPARE_WITH_TIMEOUT(shownCaptions(p.uninstalled), c.uninstalled, kNamesArrive);
      QCOMPARE(f.count->text(), QString::fromUtf8(c.count));
      QCOMPARE(p.installed->selectedItems().size(), c.alphaSelected ? 1 : 0);
      QCOMPARE(s.uninstallFrom(*form).empty(), !c.alphaSelected);
      // The counters count every item.
      QCOMPARE(p.installedCount->text(), QStringLiteral("3  "));
      QCOMPARE(p.uninstalledCount->text(), QStringLiteral("2  "));
    }
    // Escape in the box clears it: every row shows again.
    pressKey(f.box, Qt::Key_Escape);
    QCOMPARE(f.box->text(), QString());
    QCOMPARE(shownCaptions(p.installed), captions(p.installed));
    QCOMPARE(f.count->text(), QStringLiteral("5 of 5"));
  }

  void filtersTwoThousandLevelsAndKeepsFilteringAfterGo() {
    ModalAnswerer watch;
    OrganizerGame game;
    // lvl0000 ... lvl1993 installed, lvl1994 ... lvl2005 not, each named "Track <number>".
    for (int i = 0; i < 2006; ++i) {
      const std::string number = QString::asprintf("%04d", i).toStdString();
      game.level((i < 1994 ? "levels/lvl" : "un_levels/lvl") + number, "Track " + number);
    }
    auto form = game.openShown();
    const OrganizerControls p = levelSide().controls(*form);
    const FilterControls f = filterOf(*form, QStringLiteral("level"));
    showPageOf(p.go);
    clickGo(p);
    QCOMPARE(f.count->text(), QStringLiteral("2,006 of 2,006"));
    filterBy(p, f, QStringLiteral("LVL1"));  // captions lvl1000 ... lvl1999
    QCOMPARE(f.count->text(), QStringLiteral("1,000 of 2,006"));
    filterBy(p, f, QStringLiteral("ck 199"));  // names Track 1990 ... Track 1999
    QTRY_COMPARE_WITH_TIMEOUT(f.count->text(), QStringLiteral("10 of 2,006"), kNamesArrive);
    QCOMPARE(shownCaptions(p.uninstalled).size(), 6);
    QCOMPARE(p.installedCount->text(), QStringLiteral("1994  "));
    QCOMPARE(p.uninstalledCount->text(), QStringLiteral("12  "));
    // A new search keeps the text: the rows it lists are filtered as they come.
    clickGo(p);
    QCOMPARE(p.installed->topLevelItemCount(), 1994);
    QTRY_COMPARE_WITH_TIMEOUT(f.count->text(), QStringLiteral("10 of 2,006"), kNamesArrive);
    QCOMPARE(shownCaptions(p.installed), list({"lvl1990", "lvl1991", "lvl1992", "lvl1993"}));
  }
};

QTEST_MAIN(OrganizerFilterTest)
#include "organizer_filter_test.moc"
