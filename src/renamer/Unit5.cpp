#include "renamer/Unit5.h"

namespace pitkit {

TForm5::TForm5(QWidget* parent) : QDialog(parent) { setWindowTitle(QStringLiteral("Warning!")); }

}  // namespace pitkit
