// Screenshots of the real windows for the documentation: the six pages of the main window, the two
// organizer pages once more with the window filling the screen, the two help windows, and the
// check and comparison windows of the File menu, grabbed
// offscreen from the program started in a game folder. The scale factor comes from
// QT_SCALE_FACTOR and the screen from the offscreen platform's settings; --dark lays a dark
// palette over the platform's before any window is made, as a dark desktop theme would.
// Usage: grab_windows GAME-FOLDER OUT-FOLDER [--dark]
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPalette>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QTreeWidget>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "platform/DirectoryListBox.h"
#include "platform/DriveComboBox.h"
#include "platform/FileSystem.h"
#include "platform/QtUiThread.h"
#include "platform/Fonts.h"
#include "game/GameItems.h"
#include "shell/CheckWindow.h"
#include "shell/CompareListDialog.h"
#include "shell/Unit1.h"
#include "shell/Unit6.h"
#include "shell/unit2.h"

namespace {

QPalette darkPalette() {
  QPalette p;
  const QColor window(45, 45, 48), base(30, 30, 32), text(230, 230, 230), disabled(120, 120, 120);
  p.setColor(QPalette::Window, window);
  p.setColor(QPalette::WindowText, text);
  p.setColor(QPalette::Base, base);
  p.setColor(QPalette::AlternateBase, window);
  p.setColor(QPalette::ToolTipBase, base);
  p.setColor(QPalette::ToolTipText, text);
  p.setColor(QPalette::PlaceholderText, disabled);
  p.setColor(QPalette::Text, text);
  p.setColor(QPalette::Button, window);
  p.setColor(QPalette::ButtonText, text);
  p.setColor(QPalette::BrightText, Qt::red);
  p.setColor(QPalette::Light, QColor(70, 70, 74));
  p.setColor(QPalette::Midlight, QColor(60, 60, 64));
  p.setColor(QPalette::Mid, QColor(35, 35, 38));
  p.setColor(QPalette::Dark, QColor(20, 20, 22));
  p.setColor(QPalette::Shadow, Qt::black);
  p.setColor(QPalette::Highlight, QColor(42, 130, 218));
  p.setColor(QPalette::HighlightedText, Qt::white);
  p.setColor(QPalette::Link, QColor(100, 170, 255));
  for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
    p.setColor(QPalette::Disabled, role, disabled);
  return p;
}

bool save(QWidget* window, const QString& folder, const char* name) {
  QApplication::processEvents();
  const QString path = folder + QLatin1Char('/') + QLatin1String(name) + QStringLiteral(".png");
  if (window->grab().save(path)) return true;
  std::fprintf(stderr, "grab_windows: cannot write %s\n", qPrintable(path));
  return false;
}

void selectFirst(QTreeWidget* list) {
  if (list->topLevelItemCount() > 0) list->setCurrentItem(list->topLevelItem(0));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3 || (argc == 4 && std::strcmp(argv[3], "--dark") != 0) || argc > 4) {
    std::fprintf(stderr, "usage: grab_windows GAME-FOLDER OUT-FOLDER [--dark]\n");
    return 2;
  }
  const bool dark = argc == 4;
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Torvane Pit Kit"));
  if (dark) QApplication::setPalette(darkPalette());
  pitkit::installQtUiThread();
  pitkit::registerFontFallbacks();
  QApplication::setFont(pitkit::namedFont(QStringLiteral("MS Sans Serif"), 11));
  const QString out = QDir(QString::fromLocal8Bit(argv[2])).absolutePath();
  QDir().mkpath(out);
  if (!pitkit::setCurrentDir(argv[1])) {
    std::fprintf(stderr, "grab_windows: cannot open %s\n", argv[1]);
    return 1;
  }

  pitkit::TForm1 form;
  form.show();
  QTabWidget* pages = form.ui.PageControl1;
  bool ok = true;

  // Each page as a player sees it at work: the renamer on a level, the organizers after Go with
  // their first installed item selected.
  pages->setCurrentWidget(form.ui.TabSheet6);
  // The drive selector shows the drives once its workers have read them.
  bool drivesRead = false;
  QObject::connect(form.changeDirectoryUi.DriveComboBox1, &pitkit::TDriveComboBox::rootsRefreshed,
                   [&drivesRead] { drivesRead = true; });
  for (const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(5);
       !drivesRead && std::chrono::steady_clock::now() < limit;)
    QApplication::processEvents();
  ok &= save(&form, out, "change-directory");
  pages->setCurrentWidget(form.ui.TabSheet1);
  auto* levels = form.renamerUi.DirectoryListBox2;
  if (levels->count() > levels->openRow() + 1) levels->setDirectory(levels->itemPath(levels->openRow() + 1));
  form.renamerUi.NName->setText(QStringLiteral("mytrack"));
  ok &= save(&form, out, "level-renamer");
  pages->setCurrentWidget(form.ui.TabSheet2);
  if (form.levelOrganizerUi.Findbutton->isEnabled()) form.levelOrganizerUi.Findbutton->click();
  selectFirst(form.levelOrganizerUi.FoundFiles);
  ok &= save(&form, out, "level-organizer");
  pages->setCurrentWidget(form.ui.TabSheet3);
  if (form.carOrganizerUi.FindButton2->isEnabled()) form.carOrganizerUi.FindButton2->click();
  selectFirst(form.carOrganizerUi.Foundfiles3);
  ok &= save(&form, out, "car-organizer");
  pages->setCurrentWidget(form.ui.TabSheet4);
  ok &= save(&form, out, "program-info");
  pages->setCurrentWidget(form.ui.TabSheet5);
  ok &= save(&form, out, "cover-display");

  // The organizers in a window as large as the screen: the lists and pictures grow with it.
  const QSize normal = form.size();
  const QSize frame = form.frameGeometry().size() - form.size();
  form.resize(form.screen()->availableGeometry().size() - frame);
  pages->setCurrentWidget(form.ui.TabSheet2);
  ok &= save(&form, out, "level-organizer-large");
  pages->setCurrentWidget(form.ui.TabSheet3);
  ok &= save(&form, out, "car-organizer-large");
  form.resize(normal);

  for (auto [window, name] : {std::pair<QWidget*, const char*>{form.Form2, "help-renamer"},
                              std::pair<QWidget*, const char*>{form.Form6, "help-organizer"}}) {
    window->show();
    ok &= save(window, out, name);
    window->hide();
  }

  // The File menu's windows: the check, on two problems made for it (a preview that does not
  // decode and a level whose info file is spelt differently), and a comparison with a friend's list.
  const std::string game = form.GameDirectory;
  const std::vector<pitkit::GameItem> items = pitkit::listGameItems(game);
  if (!items.empty()) {
    QFile preview(QString::fromStdString(game + "/gfx/" + items.front().name + ".bmp"));
    ok &= preview.open(QIODevice::WriteOnly) && preview.write("BM, but no picture") > 0;
    preview.close();
    QDir().mkpath(QString::fromStdString(game + "/levels/Ridge Run"));
    QFile::copy(QString::fromStdString(items.front().folder + "/" + items.front().file),
                QString::fromStdString(game + "/levels/Ridge Run/ridge run.inf"));
  }
  pitkit::CheckWindow check(&form, game, {});
  check.check();
  check.show();
  if (check.CheckList->count() > 0) check.CheckList->setCurrentRow(check.CheckList->count() - 1);
  ok &= save(&check, out, "check-game-folder");
  check.hide();
  std::vector<pitkit::ItemDifference> differences{
      {pitkit::Difference::Missing, pitkit::ItemKind::Level, "Harbour Night", game + "/un_levels/Harbour Night"},
      {pitkit::Difference::Missing, pitkit::ItemKind::Car, "Red Comet", ""}};
  for (const pitkit::GameItem& item : items) {
    if (item.installed && differences.size() < 3)
      differences.push_back({pitkit::Difference::Different, item.kind, item.name, item.folder});
    else if (item.installed && item.kind == pitkit::ItemKind::Car && differences.size() < 4)
      differences.push_back({pitkit::Difference::Extra, item.kind, item.name, item.folder});
  }
  pitkit::CompareListDialog compare(&form, QStringLiteral("friends-list.txt"), differences, {});
  compare.show();
  ok &= save(&compare, out, "compare-with-list");
  return ok ? 0 : 1;
}
