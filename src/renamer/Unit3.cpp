#include "renamer/Unit3.h"

namespace pitkit {

TForm3::TForm3(QWidget* parent) : QDialog(parent) { setWindowTitle(QStringLiteral(".INF Editor")); }

}  // namespace pitkit
