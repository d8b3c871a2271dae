#pragma once
// The item delegate of the green lists: the row with keyboard focus is framed in the row's text
// colour, so it stays visible on the green background whether or not it is selected (the style's
// own focus mark is drawn in the highlight colour, which vanishes there).
#include <QPointer>
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

// Keeps the keyboard focus where the user left it across work that disables or hides controls:
// a focused button that is disabled passes the focus down the tab order (to Exit, on the pages),
// where the next Space would act. When it ends, the focus goes back to the control that had it,
// or to `fallback` when that control can no longer take it.
class KeepFocus {
 public:
  explicit KeepFocus(QWidget* fallback);
  ~KeepFocus();
  KeepFocus(const KeepFocus&) = delete;
  KeepFocus& operator=(const KeepFocus&) = delete;

 private:
  QPointer<QWidget> had_;
  QPointer<QWidget> fallback_;
};

}  // namespace pitkit
