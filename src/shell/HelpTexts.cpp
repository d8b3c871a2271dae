#include "shell/HelpTexts.h"

#include <QDialog>
#include <QEvent>
#include <QScrollArea>
#include <QStyle>
#include <QVBoxLayout>
#include <algorithm>

#include "platform/Fonts.h"
#include "shell/WindowPlace.h"

namespace pitkit {

QStringList renamerHelpLabels() {
  return {
      QStringLiteral("1. Your torvane directory must be selected."),
      QStringLiteral("2. This is the folder name for the level you wish to rename.(Nhood1 by default)"),
      QStringLiteral("3. Select, and enter your new name for the folder."),
      QStringLiteral("4. After you have done steps 1 through 3 you can click OK to continue."),
      QStringLiteral("5. Asks if you are sure you want to rename this folder to the new name."),
      QStringLiteral("6. This is a list of all the level folders in your torvane level directory."),
      QStringLiteral("7. A list of files in your level folder."),
      QStringLiteral("8. If Enabled allows you to open INF files in area #7 by Double Clicking them."),
      QStringLiteral("9. If Enabled you can delete files in your folder (Image lable 7) by double clicking on them."),
      QStringLiteral("10. This will change the display in the files view so only files that end in .INF will be displayed."),
      QStringLiteral("11. If you unselect this you will not be asked for confirmation when deleting files."),
      QStringLiteral("12. File selected in level folder."),
      QStringLiteral("13. The exit button."),
      QStringLiteral("14. Displays the Main directory path. Must be your torvane directory!"),
      QStringLiteral("15. The status area is for displaying info as the program goes."),
  };
}

QStringList organizerHelpLines() {
  return {
      QStringLiteral("      The level organizer and the car organizer are almost the exact same so I will explain how to "),
      QStringLiteral("use them both at the "),
      QStringLiteral("same time."),
      QString(),
      QStringLiteral("To start make sure the torvane directory you want to organize is selected in the Change Directory "),
      QStringLiteral("tab. If a torvane directory is "),
      QStringLiteral("not selected none of the buttons will be enabled. "),
      QStringLiteral("After your torvane directory is selected just click on the GO button. The installed levels or cars will "),
      QStringLiteral("be displayed. You will "),
      QStringLiteral("notice there should not be any of the original cars or tracks as removing these would cause "),
      QStringLiteral("torvane to have problems."),
      QStringLiteral("To uninstall a level just select the level and click uninstall. To reinstall a level just select it and "),
      QStringLiteral("click install level."),
      QStringLiteral("To delete a level just click the corrisponding delete level and it will delete the selected level."),
      QStringLiteral("The rest should be self explanitory. "),
      QString(),
      QStringLiteral("Double clicking on a level name or car name will open up the .inf file or the .txt file associated "),
      QStringLiteral("with it."),
      QString(),
      QString(),
  };
}

QStringList programInfoLines() {
  return {
      QStringLiteral("This program was created to make things easier for people who use torvane. I was working off of other suggestions for"),
      QStringLiteral("programs that the users could use."),
      QString(),
      QStringLiteral("I am not responsible for any misuse or problems that may occur when using this program. I tested it and tested it to get "),
      QStringLiteral("things just right."),
      QString(),
      QStringLiteral("I would like to thank the testers and everyone that made suggestions."),
  };
}

QStringList programInfoImportantLines() {
  return {
      QStringLiteral("Your Level folder and your Cars folder should not have a bunch of misc. files that are not normaly in there.  This may "),
      QStringLiteral("disrupt the number of levels or cars that is displayed in the program."),
      QString(),
      QStringLiteral("How it works:"),
      QString(),
      QStringLiteral("It takes the level or car that you select to uninstall and copys that level or car to a new folder.  The folders are named "),
      QStringLiteral("un_levels and garage. I did this so if you already have a bunch of cars seperated that you want to keep but don't "),
      QStringLiteral("want avail. right now just place them in the garage folder and they will be displayed as uninstalled.  The same goes "),
      QStringLiteral("for levels. If you have old levels that you don't want in torvane but want to still have then avail. just place the level "),
      QStringLiteral("folder in the un_levels folder."),
      QString(),
      QStringLiteral("These folders will be created when you use the program for the first time."),
  };
}

void setUpHelpWindow(QDialog* window, const QString& objectName) {
  registerFontFallbacks();
  window->setFont(namedFont(QStringLiteral("MS Sans Serif"), 11));
  window->setObjectName(objectName);
}

namespace {

// The two arrangements of a help window's contents: the layout's, and for a window narrower than
// that the second column below the first and the control under both below it, centred.
class HelpColumns : public QObject {
 public:
  HelpColumns(QDialog* window, QWidget* contents, const std::vector<QWidget*>& second, QWidget* under)
      : QObject(window), window_(window), contents_(contents), wideSize_(contents->size()) {
    constexpr int kGap = 8;
    QRect first, column;
    const auto controls = contents->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    for (QWidget* control : controls) {
      if (std::find(second.begin(), second.end(), control) != second.end()) column |= control->geometry();
      else if (control != under) first |= control->geometry();
    }
    const QPoint down(first.left() - column.left(), first.y() + first.height() + kGap - column.top());
    const int narrowWidth = first.right() + 1 + first.left();
    const int grown = column.height() + kGap;
    for (QWidget* control : controls) {
      const QRect wide = control->geometry();
      QRect narrow = wide;
      if (column.contains(wide)) narrow.translate(down);
      if (control == under) narrow.moveTo((narrowWidth - wide.width()) / 2, wide.y() + grown);
      placed_.push_back({control, wide, narrow});
    }
    narrowSize_ = QSize(narrowWidth, wideSize_.height() + grown);
    window->installEventFilter(this);
  }
  QSize narrowSize() const { return narrowSize_; }

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Resize) arrange(window_->width() < wideSize_.width());
    return false;
  }

 private:
  void arrange(bool narrow) {
    if (narrow == narrow_) return;
    narrow_ = narrow;
    for (const Placed& p : placed_) p.control->setGeometry(narrow ? p.narrow : p.wide);
    contents_->setFixedSize(narrow ? narrowSize_ : wideSize_);
  }

  struct Placed {
    QWidget* control;
    QRect wide, narrow;
  };
  QDialog* window_;
  QWidget* contents_;
  QSize wideSize_, narrowSize_;
  std::vector<Placed> placed_;
  bool narrow_ = false;
};

}  // namespace

void fitHelpWindow(QDialog* window, QPoint place, const std::vector<QWidget*>& secondColumn, QWidget* under) {
  // The controls keep the places the layout gives them, inside a page of the window's size; the
  // scroll area shows no bars while the window has that size.
  auto* contents = new QWidget;
  contents->setObjectName(QStringLiteral("HelpContents"));
  const auto controls = window->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
  for (QWidget* control : controls) control->setParent(contents);
  contents->setFixedSize(window->size());
  auto* area = new QScrollArea(window);
  area->setObjectName(QStringLiteral("HelpScroll"));
  area->setFrameShape(QFrame::NoFrame);
  area->setWidget(contents);
  auto* layout = new QVBoxLayout(window);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(area);
  ScreenFit fit;
  fit.scrollBarExtent = window->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, area);
  if (!secondColumn.empty()) fit.narrowSize = (new HelpColumns(window, contents, secondColumn, under))->narrowSize();
  // The layout sets only the size of a window; a dialog without a place of its own would be
  // centred over the main window each time it opens.
  placeWindow(window, place, QSize(), &fit);
}

}  // namespace pitkit
