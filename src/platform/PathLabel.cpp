#include "platform/PathLabel.h"

#include <QPainter>
#include <QStyle>

namespace pitkit {

void TPathLabel::setPath(const QString& path) {
  setText(path);
  setToolTip(path);
}

namespace {

// The label's room inside its frame: its margin, and the indent a framed label keeps by default.
QRect textArea(const QLabel& label) {
  const int indent = label.indent() >= 0 ? label.indent()
                     : label.frameWidth() > 0 ? label.fontMetrics().horizontalAdvance(QLatin1Char('x')) / 2
                                              : 0;
  const int m = label.margin();
  return label.contentsRect().adjusted(m + indent, m, -m - indent, -m);
}

}  // namespace

QString TPathLabel::shownText() const {
  return fontMetrics().elidedText(text(), Qt::ElideMiddle, qMax(0, textArea(*this).width()));
}

void TPathLabel::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  drawFrame(&painter);
  style()->drawItemText(&painter, textArea(*this), QStyle::visualAlignment(layoutDirection(), alignment()) | Qt::TextSingleLine,
                        palette(), isEnabled(), shownText(), foregroundRole());
}

}  // namespace pitkit
