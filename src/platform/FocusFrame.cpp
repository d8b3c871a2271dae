#include "platform/FocusFrame.h"

#include <QAbstractItemView>
#include <QPainter>

namespace pitkit {

void FocusFrameDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                               const QModelIndex& index) const {
  QStyledItemDelegate::paint(painter, option, index);
  if (!(option.state & QStyle::State_HasFocus)) return;
  const bool selected = option.state & QStyle::State_Selected;
  painter->save();
  QPen pen(option.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
  pen.setStyle(Qt::DotLine);
  pen.setCosmetic(true);
  painter->setPen(pen);
  painter->setBrush(Qt::NoBrush);
  painter->drawRect(QRectF(option.rect).adjusted(0.5, 0.5, -0.5, -0.5));
  painter->restore();
}

void showFocusedRow(QAbstractItemView* view) { view->setItemDelegate(new FocusFrameDelegate(view)); }

}  // namespace pitkit
