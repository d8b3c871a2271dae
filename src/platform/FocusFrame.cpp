#include "platform/FocusFrame.h"

#include <QAbstractItemView>
#include <QPainter>

namespace pitkit {

void FocusFrameDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                               const QModelIndex& index) const {
  QStyledItemDelegate::paint(painter, option, index);
  // A tree that selects whole rows keeps the focus mark off its cells and draws its own, so the
  // view is asked which row has the focus.
  bool focused = option.state & QStyle::State_HasFocus;
  if (const auto* view = qobject_cast<const QAbstractItemView*>(option.widget)) {
    const QModelIndex current = view->currentIndex();
    focused = view->hasFocus() && current.isValid() && current.row() == index.row() &&
              current.parent() == index.parent();
  }
  if (!focused) return;
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

// The window's own focus widget is kept, also while a dialog of the window is active: it is the
// control that takes the keys when the window is active again.
KeepFocus::KeepFocus(QWidget* fallback) : had_(fallback->window()->focusWidget()), fallback_(fallback) {}

KeepFocus::~KeepFocus() {
  if (had_ == nullptr || fallback_ == nullptr) return;
  const auto canTakeFocus = [](QWidget* w) { return w != nullptr && w->isEnabled() && w->isVisible(); };
  QWidget* target = canTakeFocus(had_) ? had_.data() : fallback_.data();
  if (canTakeFocus(target) && target->window()->focusWidget() != target) target->setFocus(Qt::OtherFocusReason);
}

}  // namespace pitkit
