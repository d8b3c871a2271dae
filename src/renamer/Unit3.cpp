#include "renamer/Unit3.h"

#include <QMessageBox>
#include <QTextBlock>
#include <QTextDocument>
#include <vector>

#include "platform/ByteText.h"
#include "platform/ErrorBox.h"
#include "platform/Paths.h"
#include "platform/FileListBox.h"
#include "renamer/InfoText.h"

namespace pitkit {

TForm3::TForm3(QWidget* owner, TFileListBox* fileList, std::function<std::string()> renamedInfoFile)
    : QDialog(owner), fileList_(fileList), renamedInfoFile_(std::move(renamedInfoFile)) {
  ui.setupUi(this);
  setModal(true);
  connect(ui.Button1, &QPushButton::clicked, this, guarded(this, [this] { Button1Click(); }));
  connect(ui.Button2, &QPushButton::clicked, this, guarded(this, [this] { Button2Click(); }));
  connect(ui.Button3, &QPushButton::clicked, this, guarded(this, [this] { Button3Click(); }));
}

namespace {

// A line longer than this is shown as several paragraphs, cut after a blank where there is one:
// laying out one paragraph costs time growing with the square of its length when it has no blank
// to wrap at, and 8 MiB would never open. The cuts are marked, so the text is saved as it was.
constexpr int kLongestShownLine = 2048;
constexpr int kContinuedLine = 1;  // block state: this paragraph continues the line before it

// `text` (lines separated by '\n') with its long lines cut; `continued` receives the numbers of
// the paragraphs that continue the line before them.
QString cutLongLines(const QString& text, std::vector<int>& continued) {
  QString shown;
  shown.reserve(text.size() + text.size() / kLongestShownLine + 1);
  int paragraph = 0;
  qsizetype lineStart = 0;
  while (lineStart <= text.size()) {
    qsizetype lineEnd = text.indexOf(QLatin1Char('\n'), lineStart);
    if (lineEnd < 0) lineEnd = text.size();
    qsizetype at = lineStart;
    while (lineEnd - at > kLongestShownLine) {
      // After the last blank of the piece's second half; without one, at the longest length.
      const qsizetype blank = QStringView(text).mid(at, kLongestShownLine).lastIndexOf(QLatin1Char(' '));
      qsizetype cut = blank >= kLongestShownLine / 2 ? at + blank + 1 : at + kLongestShownLine;
      if (text.at(cut - 1).isHighSurrogate()) --cut;  // never between the halves of one character
      shown += QStringView(text).mid(at, cut - at);
      shown += QLatin1Char('\n');
      continued.push_back(++paragraph);
      at = cut;
    }
    shown += QStringView(text).mid(at, lineEnd - at);
    if (lineEnd < text.size()) {
      shown += QLatin1Char('\n');
      ++paragraph;
    }
    lineStart = lineEnd + 1;
  }
  return shown;
}

}  // namespace

void TForm3::loadFile(const std::string& path) {
  TextCharset charset = TextCharset::Windows1252;
  std::string loaded = loadInfoText(path, &charset);
  QString text = QString::fromStdString(loaded);
  // The memo holds one paragraph per line; CR LF comes back on save.
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  std::vector<int> continued;
  ui.Memo1->setPlainText(cutLongLines(text, continued));
  QTextDocument* document = ui.Memo1->document();
  for (int paragraph : continued) document->findBlockByNumber(paragraph).setUserState(kContinuedLine);
  charset_ = charset;
  // The memo gives back what it was loaded with (memoText), so this is its unedited text.
  savedText_ = std::move(loaded);
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
  // Each paragraph's raw text keeps every character as typed or loaded (no-break spaces
  // included); paragraphs are joined by CR LF unless one continues a line cut for showing.
  const QTextDocument* document = ui.Memo1->document();
  QString text;
  for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
    if (block != document->begin() && block.userState() != kContinuedLine) text += QStringLiteral("\r\n");
    text += block.text();
  }
  text.replace(QChar(QChar::LineSeparator), QStringLiteral("\r\n"));
  return text.toStdString();
}

void TForm3::write(const std::string& path) {
  std::string text = memoText();
  saveInfoText(path, text, charset_);
  savedText_ = std::move(text);
}

void TForm3::saveTo(const std::string& path) {
  write(path);
  close();
}

std::string TForm3::saveTarget() const {
  if (!ui.Button1->isHidden() && renamedInfoFile_) return renamedInfoFile_();
  if (!ui.Button3->isHidden() && fileList_ != nullptr) return fileList_->FileName();
  return {};
}

bool TForm3::mayClose() {
  // Only an editor opened to save has edits to lose.
  if ((ui.Button1->isHidden() && ui.Button3->isHidden()) || memoText() == savedText_) return true;
  const std::string target = saveTarget();
  QMessageBox box(QMessageBox::Question, windowTitle(),
                  QStringLiteral("Save your changes to %1?").arg(nameText(extractFileName(target))),
                  QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, this);
  box.setInformativeText(QStringLiteral("If you do not save them, your changes are lost."));
  box.setDefaultButton(QMessageBox::Save);
  box.setEscapeButton(QMessageBox::Cancel);
  switch (box.exec()) {
    case QMessageBox::Discard:
      return true;
    case QMessageBox::Save:
      try {
        write(target);
        return true;
      } catch (const std::exception& e) {
        showErrorBox(this, nameText(e.what()));
        return false;
      }
    default:
      return false;
  }
}

void TForm3::Button1Click() {
  if (renamedInfoFile_) saveTo(renamedInfoFile_());
}

void TForm3::Button3Click() {
  if (fileList_ != nullptr) saveTo(fileList_->FileName());
}

void TForm3::Button2Click() { close(); }

void TForm3::FormClose() {
  ui.Button1->setVisible(false);
  ui.Button3->setVisible(false);
}

void TForm3::done(int result) {
  // While the question is open, a second closing has nothing to add: the answer decides.
  if (asking_) return;
  asking_ = true;
  const bool close = mayClose();
  asking_ = false;
  if (!close) return;
  FormClose();
  QDialog::done(result);
}

}  // namespace pitkit
