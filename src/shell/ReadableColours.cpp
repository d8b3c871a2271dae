#include "shell/ReadableColours.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QColor>
#include <QLineEdit>
#include <QPalette>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QWidget>
#include <cmath>

namespace pitkit {
namespace {

constexpr double kReadable = 3.0;

double relativeLuminance(const QColor& colour) {
  auto channel = [](double c) { return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4); };
  return 0.2126 * channel(colour.redF()) + 0.7152 * channel(colour.greenF()) + 0.0722 * channel(colour.blueF());
}

// The text and background roles a control paints its caption with.
std::pair<QPalette::ColorRole, QPalette::ColorRole> captionRoles(const QWidget* widget) {
  if (qobject_cast<const QAbstractButton*>(widget) != nullptr) return {QPalette::ButtonText, QPalette::Button};
  if (qobject_cast<const QLineEdit*>(widget) != nullptr || qobject_cast<const QAbstractItemView*>(widget) != nullptr ||
      qobject_cast<const QPlainTextEdit*>(widget) != nullptr || qobject_cast<const QTextEdit*>(widget) != nullptr)
    return {QPalette::Text, QPalette::Base};
  return {QPalette::WindowText, QPalette::Window};
}

// Black or white, whichever reads better on `background`.
QColor textFor(const QColor& background) {
  return contrastRatio(Qt::black, background) >= contrastRatio(Qt::white, background) ? QColor(Qt::black)
                                                                                       : QColor(Qt::white);
}

// A face for a fixed caption colour: light for a dark caption, dark for a light one.
QColor faceFor(const QColor& text) {
  return contrastRatio(text, QColor(235, 235, 235)) >= contrastRatio(text, QColor(40, 40, 40))
             ? QColor(235, 235, 235)
             : QColor(40, 40, 40);
}

void mend(QWidget* widget) {
  const auto [textRole, backRole] = captionRoles(widget);
  // Only what was set on the control itself counts as fixed; the window's own palette follows
  // the platform.
  const QPalette own = widget->palette();
  const QPalette inherited = widget->parentWidget() != nullptr ? widget->parentWidget()->palette()
                                                               : QApplication::palette(widget);
  const QColor text = own.color(textRole);
  const QColor back = own.color(backRole);
  if (contrastRatio(text, back) >= kReadable) return;
  const bool textFixed = text != inherited.color(textRole);
  const bool backFixed = back != inherited.color(backRole);
  if (textFixed == backFixed) return;
  QPalette palette = own;
  if (backFixed) {
    palette.setColor(textRole, textFor(back));
  } else {
    palette.setColor(backRole, faceFor(text));
  }
  widget->setPalette(palette);
}

}  // namespace

double contrastRatio(const QColor& a, const QColor& b) {
  const double la = relativeLuminance(a);
  const double lb = relativeLuminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

void keepColoursReadable(QWidget* root) {
  if (QApplication::palette().color(QPalette::Window).lightness() >= 128) return;
  // Parents first, so that a child compares itself with its mended parent.
  mend(root);
  for (QWidget* widget : root->findChildren<QWidget*>()) mend(widget);
}

}  // namespace pitkit
