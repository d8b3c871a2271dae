#pragma once
// The fixed texts of the two help windows and the "Program Info" page.
#include <QString>
#include <QStringList>

namespace pitkit {

// The renamer help's fifteen numbered explanations, in number order.
QStringList renamerHelpLabels();
// The organizer help; one entry per line.
QStringList organizerHelpLines();
// "Program Info": the text above "Important:" and the text below it; one entry per line.
QStringList programInfoLines();
QStringList programInfoImportantLines();

}  // namespace pitkit
