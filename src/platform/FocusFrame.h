#pragma once
// The item delegate of the green lists: the row with keyboard focus is framed in the row's text
// colour, so it stays visible on the green background whether or not it is selected (the style's
// own focus mark is drawn in the highlight colour, which vanishes there).
#include <QStyledItemDelegate>

class QAbstractItemView;

namespace pitkit {

class FocusFrameDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

// Gives `view` the focus frame.
void showFocusedRow(QAbstractItemView* view);

}  // namespace pitkit
