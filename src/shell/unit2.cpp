#include "shell/unit2.h"

namespace pitkit {

TForm2::TForm2(QWidget* parent) : QDialog(parent) { setWindowTitle(QStringLiteral("Help")); }

}  // namespace pitkit
