#include "renamer/Unit5.h"

#include <QApplication>

#include "platform/ErrorBox.h"
#include "platform/FileListBox.h"
#include "platform/FileSystem.h"
#include "shell/Unit1.h"

namespace pitkit {

TForm5::TForm5(TForm1* owner) : QDialog(owner), owner_(owner) {
  ui.setupUi(this);
  setModal(true);
  // A fixed dialog box without title-bar buttons.
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
  setFixedSize(size());
  // The blanks push the question onto the label's second line.
  ui.Label1->setText(QString(48, QLatin1Char(' ')) + QStringLiteral("You wish to delete this file?"));
  QPalette palette = ui.Label1->palette();
  palette.setColor(QPalette::Window, QApplication::palette("QMenu").color(QPalette::Text));
  palette.setColor(QPalette::WindowText, Qt::red);
  ui.Label1->setPalette(palette);
  connect(ui.OKBtn, &QPushButton::clicked, this, guarded(this, [this] { OKBtnClick(); }));
  connect(ui.CancelBtn, &QPushButton::clicked, this, guarded(this, [this] { CancelBtnClick(); }));
}

void TForm5::OKBtnClick() {
  TFileListBox* list = owner_->renamerUi.FileListBox1;
  // A file that is read-only, in use or already gone stays; the re-read list shows what is there.
  deleteFile(list->FileName());
  list->Update();
  accept();
}

void TForm5::CancelBtnClick() { reject(); }

}  // namespace pitkit
