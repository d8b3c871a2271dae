#pragma once
// The fixed texts of the two help windows and the "Program Info" page, and the help windows'
// common frame.
#include <QPoint>
#include <QString>
#include <QStringList>
#include <vector>

class QDialog;
class QWidget;

namespace pitkit {

// The renamer help's fifteen numbered explanations, in number order.
QStringList renamerHelpLabels();
// The organizer help; one entry per line.
QStringList organizerHelpLines();
// "Program Info": the text above "Important:" and the text below it; one entry per line.
QStringList programInfoLines();
QStringList programInfoImportantLines();

// A help window's object name and the program's default font; first thing in its constructor.
void setUpHelpWindow(QDialog* window, const QString& objectName);

// Last thing in a help window's constructor: its controls go into a scroll area that fills the
// window, and the window is placed at `place`, no larger than its screen, so that on a small or
// strongly scaled screen every control keeps its size and can be scrolled to. The controls of
// `secondColumn` (right of the others) go below the others while the window is narrower than the
// layout, with `under` (below both columns) below them, so that such a window scrolls only
// downwards.
void fitHelpWindow(QDialog* window, QPoint place, const std::vector<QWidget*>& secondColumn = {},
                   QWidget* under = nullptr);

}  // namespace pitkit
