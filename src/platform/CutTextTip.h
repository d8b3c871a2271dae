#pragma once
// Tooltips for text that does not fit: a list row or an edit box whose text is cut off shows its
// whole text as its tooltip when the pointer rests on it. Controls and rows with a tooltip of their
// own keep it.
class QAbstractItemView;
class QLineEdit;
class QModelIndex;

namespace pitkit {

// True when the box shows only part of its text (a long text scrolls inside the box).
bool textIsCut(const QLineEdit* box);
// True when the row `index` of `view` is shortened or runs out of the view's visible width.
bool textIsCut(const QAbstractItemView* view, const QModelIndex& index);

// Gives every row of the view, or the box, the tooltip above. The handler lives as long as the view.
void showCutTextAsTooltip(QAbstractItemView* view);
void showCutTextAsTooltip(QLineEdit* box);

}  // namespace pitkit
