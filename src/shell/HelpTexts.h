#pragma once
// The fixed texts of the two help windows and the "Program Info" page, and the help windows'
// common frame.
#include <QPoint>
#include <QString>
#include <QStringList>

class QDialog;

namespace pitkit {

// The renamer help's fifteen numbered explanations, in number order.
QStringList renamerHelpLabels();
// The organizer help; one entry per line.
QStringList organizerHelpLines();
// "Program Info": the text above "Important:" and the text below it; one entry per line.
QStringList programInfoLines();
QStringList programInfoImportantLines();

// A help window's place on the screen, its object name and the program's default font.
void setUpHelpWindow(QDialog* window, QPoint place, const QString& objectName);

}  // namespace pitkit
