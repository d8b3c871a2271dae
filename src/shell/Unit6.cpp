#include "shell/Unit6.h"

namespace pitkit {

TForm6::TForm6(QWidget* parent) : QDialog(parent) { setWindowTitle(QStringLiteral("Orginizer Help")); }

}  // namespace pitkit
