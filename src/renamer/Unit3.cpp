#include "renamer/Unit3.h"

#include <QTextDocument>

#include "platform/ErrorBox.h"
#include "platform/Paths.h"
#include "platform/FileListBox.h"
#include "renamer/info_text.h"
#include "shell/Unit1.h"

namespace pitkit {

TForm3::TForm3(TForm1* owner) : QDialog(owner), owner_(owner) {
  ui.setupUi(this);
  setModal(true);
  connect(ui.Button1, &QPushButton::clicked, this, guarded(this, [this] { Button1Click(); }));
  connect(ui.Button2, &QPushButton::clicked, this, guarded(this, [this] { Button2Click(); }));
  connect(ui.Button3, &QPushButton::clicked, this, guarded(this, [this] { Button3Click(); }));
}

void TForm3::loadFile(const std::string& path) {
  QString text = QString::fromStdString(loadInfoText(path));
  // The memo holds one paragraph per line; CR LF comes back on save.
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  ui.Memo1->setPlainText(text);
}

void TForm3::openRenameSave(const std::string& path) {
  loadFile(path);
  ui.Button1->setVisible(true);
  exec();
}

void TForm3::openFileSave(const std::string& path) {
  loadFile(path);
  ui.Button3->setVisible(true);
  exec();
}

std::string TForm3::memoText() const {
  // The raw text keeps every character as typed or loaded (no-break spaces included); only the
  // paragraph separators between lines are turned into CR LF.
  QString text = ui.Memo1->document()->toRawText();
  text.replace(QChar(QChar::ParagraphSeparator), QStringLiteral("\r\n"));
  text.replace(QChar(QChar::LineSeparator), QStringLiteral("\r\n"));
  return text.toStdString();
}

void TForm3::saveTo(const std::string& path) {
  saveInfoText(path, memoText());
  close();
}

void TForm3::Button1Click() {
  saveTo(owner_->NewLevelPath + PathDelim + owner_->renamerUi.NName->text().toStdString() + ".inf");
}

void TForm3::Button3Click() { saveTo(owner_->renamerUi.FileListBox1->FileName()); }

void TForm3::Button2Click() { close(); }

void TForm3::FormClose() {
  ui.Button1->setVisible(false);
  ui.Button3->setVisible(false);
}

void TForm3::done(int result) {
  FormClose();
  QDialog::done(result);
}

}  // namespace pitkit
