#include "shell/unit2.h"

#include <QPixmap>

#include "platform/ErrorBox.h"
#include "platform/Fonts.h"
#include "shell/HelpTexts.h"
#include "shell/Pictures.h"
#include "shell/WindowPlace.h"

namespace pitkit {

TForm2::TForm2(QWidget* parent) : QDialog(parent) {
  ui.setupUi(this);
  setUpHelpWindow(this, QStringLiteral("Form2"));
  const QStringList texts = renamerHelpLabels();
  QLabel* const labels[] = {ui.Label1, ui.Label2,  ui.Label6,  ui.Label5,  ui.Label7,
                            ui.Label8, ui.Label3,  ui.Label10, ui.Label11, ui.Label12,
                            ui.Label13, ui.Label14, ui.Label9, ui.Label15, ui.Label4};
  // Each explanation wraps onto as many lines as its text needs in this font; the ones below it
  // move down by what it grew, so every word stays readable.
  int grown = 0;
  for (int i = 0; i < texts.size(); ++i) {
    QLabel* label = labels[i];
    label->setText(texts[i]);
    label->setWordWrap(true);
    const QRect place = label->geometry();
    const int height = qMax(place.height(), label->heightForWidth(place.width()));
    label->setGeometry(place.x(), place.y() + grown, place.width(), height);
    grown += height - place.height();
  }
  // Should they run past their frame, the frame, Close and the window grow with them.
  const int overflow = labels[texts.size() - 1]->geometry().bottom() + 4 - ui.Bevel2->geometry().bottom();
  if (overflow > 0) {
    ui.Bevel2->resize(ui.Bevel2->width(), ui.Bevel2->height() + overflow);
    ui.Button1->move(ui.Button1->x(), ui.Button1->y() + overflow);
    resize(width(), height() + overflow);
  }
  connect(ui.Button1, &QPushButton::clicked, this, guarded(this, [this] { Button1Click(); }));
  // On a narrow screen the explanations go below the picture.
  std::vector<QWidget*> explanations(std::begin(labels), std::end(labels));
  explanations.push_back(ui.Bevel2);
  fitHelpWindow(this, QPoint(196, 251), explanations, ui.Button1);
}

void TForm2::Button1Click() { close(); }

void TForm2::showEvent(QShowEvent* event) {
  if (ui.Image1->pixmap().isNull()) ui.Image1->setPixmap(screenPixmap(QStringLiteral(":/images/help-renamer.png")));
  QDialog::showEvent(event);
}

}  // namespace pitkit
