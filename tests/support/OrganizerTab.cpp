#include "support/OrganizerTab.h"

#include <QTest>

#include "support/GameTree.h"
#include "support/WindowHarness.h"

namespace pitkit::test {

OrganizerControls OrganizerTab::controls(const TForm1& form) const {
  return {control<QWidget>(&form, page),
          control<QPushButton>(&form, go),
          control<QTreeWidget>(&form, installedList),
          control<QTreeWidget>(&form, uninstalledList),
          control<QPushButton>(&form, uninstall),
          control<QPushButton>(&form, install),
          control<QPushButton>(&form, deleteInstalled),
          control<QPushButton>(&form, deleteUninstalled),
          control<QLineEdit>(&form, installedCount),
          control<QLineEdit>(&form, totalCount),
          control<QLineEdit>(&form, uninstalledCount),
          control<QLineEdit>(&form, installedName),
          control<QLineEdit>(&form, uninstalledName)};
}

namespace {

void writeLevelItem(const std::string& folder, const std::string& shownName) {
  const std::string name = folder.substr(folder.rfind('/') + 1);
  writeLevelInfo(folder + "/" + name + ".inf", shownName);
}

}  // namespace

const OrganizerTab& levelSide() {
  static const OrganizerTab side{
      "level", "levels", "un_levels",
      QStringLiteral("TabSheet2"), QStringLiteral("Findbutton"), QStringLiteral("FoundFiles"), QStringLiteral("FoundFiles2"),
      QStringLiteral("BitBtn4"), QStringLiteral("BitBtn6"), QStringLiteral("BitBtn5"), QStringLiteral("BitBtn7"),
      QStringLiteral("Edit2"), QStringLiteral("Edit1"), QStringLiteral("Edit3"), QStringLiteral("Edit4"), QStringLiteral("lvlname2"),
      [](TForm1& f) -> std::string& { return f.LevelUninstallFrom; }, [](TForm1& f) -> std::string& { return f.LevelUninstallTo; }, [](TForm1& f) -> std::string& { return f.LevelInstallFrom; }, [](TForm1& f) -> std::string& { return f.LevelInstallTo; },
      18, &writeLevelItem, [](const std::string& folderName) { return folderName + ".inf"; }};
  return side;
}

const OrganizerTab& carSide() {
  static const OrganizerTab side{
      "car", "cars", "garage",
      QStringLiteral("TabSheet3"), QStringLiteral("FindButton2"), QStringLiteral("Foundfiles3"), QStringLiteral("foundfiles4"),
      QStringLiteral("BitBtn8"), QStringLiteral("BitBtn10"), QStringLiteral("BitBtn9"), QStringLiteral("BitBtn11"),
      QStringLiteral("Edit6"), QStringLiteral("Edit9"), QStringLiteral("Edit7"), QStringLiteral("Edit10"), QStringLiteral("Edit8"),
      [](TForm1& f) -> std::string& { return f.CarUninstallFrom; }, [](TForm1& f) -> std::string& { return f.CarUninstallTo; }, [](TForm1& f) -> std::string& { return f.CarInstallFrom; }, [](TForm1& f) -> std::string& { return f.CarInstallTo; },
      35, [](const std::string& folder, const std::string& shownName) { writeCarParameters(folder, shownName); },
      [](const std::string&) { return std::string("parameters.txt"); }};
  return side;
}

const OrganizerTab& sideNamed(const QString& name) {
  return name == QLatin1String("car") ? carSide() : levelSide();
}

void clickGo(const OrganizerControls& page) {
  QVERIFY(page.go->isEnabled());
  page.go->click();
}

void clickGo(const TForm1& form, const OrganizerTab& side) { clickGo(side.controls(form)); }

void addSideRows() {
  QTest::addColumn<QString>("side");
  for (const OrganizerTab* side : {&levelSide(), &carSide()})
    QTest::newRow(side->name) << QString::fromLatin1(side->name);
}

}  // namespace pitkit::test
