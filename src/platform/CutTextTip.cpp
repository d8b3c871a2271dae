#include "platform/CutTextTip.h"

#include <QAbstractItemView>
#include <QHelpEvent>
#include <QLineEdit>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QToolTip>

namespace pitkit {

namespace {

// Shows the whole text of the row or the box under the pointer when it is cut, and no tooltip
// otherwise; a tooltip of the control's (or the row's) own goes the usual way.
class CutTextTip : public QObject {
 public:
  CutTextTip(QWidget* watched, QAbstractItemView* view, QLineEdit* box) : QObject(watched), view_(view), box_(box) {
    watched->installEventFilter(this);
  }

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() != QEvent::ToolTip) return false;
    auto* help = static_cast<QHelpEvent*>(event);
    if (box_ != nullptr) {
      if (!box_->toolTip().isEmpty()) return false;
      show(help, textIsCut(box_) ? box_->text() : QString(), box_, box_->rect());
      return true;
    }
    const QModelIndex index = view_->indexAt(help->pos());
    if (index.isValid() && !index.data(Qt::ToolTipRole).toString().isEmpty()) return false;
    const bool cut = index.isValid() && textIsCut(view_, index);
    show(help, cut ? index.data(Qt::DisplayRole).toString() : QString(), view_->viewport(), view_->visualRect(index));
    return true;
  }

 private:
  static void show(QHelpEvent* help, const QString& text, QWidget* over, const QRect& area) {
    if (text.isEmpty()) {
      QToolTip::hideText();
      help->ignore();
    } else {
      QToolTip::showText(help->globalPos(), text, over, area);
    }
  }

  QAbstractItemView* view_;
  QLineEdit* box_;
};

}  // namespace

bool textIsCut(const QLineEdit* box) {
  // The room the box gives its text, as QLineEdit lays it out: the style's contents rectangle
  // without the text margins and the box's own margin of two pixels a side.
  QStyleOptionFrame option;
  option.initFrom(box);
  option.rect = box->rect();
  option.lineWidth = box->hasFrame() ? box->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, box) : 0;
  option.midLineWidth = 0;
  option.state |= QStyle::State_Sunken;
  const QRect contents =
      box->style()->subElementRect(QStyle::SE_LineEditContents, &option, box).marginsRemoved(box->textMargins());
  const int room = contents.width() - 4;
  const int cursor = box->style()->pixelMetric(QStyle::PM_TextCursorWidth, &option, box);
  return box->fontMetrics().horizontalAdvance(box->displayText()) + 1 + cursor > room;
}

bool textIsCut(const QAbstractItemView* view, const QModelIndex& index) {
  const QRect shown = view->visualRect(index);
  const int needed = view->sizeHintForIndex(index).width();
  return needed > shown.width() || shown.left() < 0 || shown.left() + needed > view->viewport()->width();
}

void showCutTextAsTooltip(QAbstractItemView* view) { new CutTextTip(view->viewport(), view, nullptr); }

void showCutTextAsTooltip(QLineEdit* box) { new CutTextTip(box, nullptr, box); }

}  // namespace pitkit
