#pragma once
// A one-line display of a path: its text is the whole path, shown whole as its tooltip, and drawn
// with the middle elided when it is wider than the label, so both ends stay readable.
#include <QLabel>

namespace pitkit {

class TPathLabel : public QLabel {
  Q_OBJECT
 public:
  using QLabel::QLabel;
  // Shows `path` and makes it the tooltip.
  void setPath(const QString& path);
  // The text as drawn at the label's present width.
  QString shownText() const;

 protected:
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace pitkit
