#include "renamer/Unit5.h"

#include <QApplication>
#include <QEvent>
#include <QFontMetrics>
#include <QPainter>

#include "platform/ErrorBox.h"
#include "platform/FileListBox.h"
#include "platform/FileSystem.h"

namespace pitkit {

TForm5::TForm5(QWidget* owner, TFileListBox* fileList) : QDialog(owner), fileList_(fileList) {
  ui.setupUi(this);
  setModal(true);
  // A fixed dialog box without title-bar buttons.
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
  setFixedSize(size());
  // The blanks push the question onto the label's second line.
  ui.Label1->setText(QString(48, QLatin1Char(' ')) + QStringLiteral("You wish to delete this file?"));
  ui.Label1->installEventFilter(this);
  QPalette palette = ui.Label1->palette();
  palette.setColor(QPalette::Window, QApplication::palette("QMenu").color(QPalette::Text));
  palette.setColor(QPalette::WindowText, Qt::red);
  ui.Label1->setPalette(palette);
  connect(ui.OKBtn, &QPushButton::clicked, this, guarded(this, [this] { OKBtnClick(); }));
  connect(ui.CancelBtn, &QPushButton::clicked, this, guarded(this, [this] { CancelBtnClick(); }));
}

bool TForm5::eventFilter(QObject* watched, QEvent* event) {
  if (watched != ui.Label1 || event->type() != QEvent::Paint) return QDialog::eventFilter(watched, event);
  // The caption's leading blanks fill the first line by themselves and the question stands
  // centred on the second; the text layout would otherwise keep the blanks and the first word
  // together and break inside that word.
  const QString caption = ui.Label1->text();
  qsizetype blanks = 0;
  while (blanks < caption.size() && caption.at(blanks) == QLatin1Char(' ')) ++blanks;
  const QString question = caption.mid(blanks);
  QPainter painter(ui.Label1);
  painter.setFont(ui.Label1->font());
  painter.setPen(ui.Label1->palette().color(QPalette::WindowText));
  const QRect area = ui.Label1->contentsRect().adjusted(2, 2, -2, -2);
  const QFontMetrics metrics(ui.Label1->font());
  const int flags = Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap;
  const QRect questionRect = metrics.boundingRect(area, flags, question);
  const int lead = blanks > 0 ? metrics.lineSpacing() : 0;
  const int top = area.top() + (area.height() - lead - questionRect.height()) / 2 + lead;
  painter.drawText(QRect(area.left(), top, area.width(), questionRect.height()), flags, question);
  return true;
}

void TForm5::OKBtnClick() {
  TFileListBox* list = fileList_;
  if (list == nullptr) return reject();
  // A file that is read-only, in use or already gone stays; the re-read list shows what is there.
  deleteFile(list->FileName());
  list->Update();
  accept();
}

void TForm5::CancelBtnClick() { reject(); }

}  // namespace pitkit
