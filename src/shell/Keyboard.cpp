// TForm1 without the mouse: the focused row of the green lists is framed, Enter on a list does
// what a double click does, Enter presses the focused button, and the colours stay readable
// under the desktop's palette.
#include <QAbstractItemView>
#include <QKeyEvent>
#include <QPushButton>
#include <QTreeWidget>
#include <functional>

#include "platform/ErrorBox.h"
#include "platform/FocusFrame.h"
#include "shell/ReadableColours.h"
#include "shell/Unit1.h"

namespace pitkit {
namespace {

// Enter or Return on a list selects the row with the keyboard focus, if it is not selected yet,
// and runs the list's double-click handler, which acts on the selection.
class EnterActsAsDoubleClick : public QObject {
 public:
  EnterActsAsDoubleClick(QAbstractItemView* list, std::function<void()> handler)
      : QObject(list), list_(list), handler_(std::move(handler)) {
    list->installEventFilter(this);
  }

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() != QEvent::KeyPress) return false;
    auto* key = static_cast<QKeyEvent*>(event);
    if ((key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter) ||
        (key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier)
      return false;
    const QModelIndex current = list_->currentIndex();
    if (current.isValid() && !list_->selectionModel()->isSelected(current))
      list_->selectionModel()->select(current, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    handler_();
    return true;
  }

 private:
  QAbstractItemView* list_;
  std::function<void()> handler_;
};

}  // namespace

void TForm1::setUpKeyboard() {
  for (QTreeWidget* list : {levelOrganizerUi.FoundFiles, levelOrganizerUi.FoundFiles2, carOrganizerUi.Foundfiles3,
                            carOrganizerUi.foundfiles4})
    showFocusedRow(list);
  new EnterActsAsDoubleClick(levelOrganizerUi.FoundFiles, guarded(this, [this] { FoundFilesDblClick(); }));
  new EnterActsAsDoubleClick(levelOrganizerUi.FoundFiles2, guarded(this, [this] { FoundFiles2DblClick(); }));
  new EnterActsAsDoubleClick(carOrganizerUi.Foundfiles3, guarded(this, [this] { Foundfiles3DblClick(); }));
  new EnterActsAsDoubleClick(carOrganizerUi.foundfiles4, guarded(this, [this] { foundfiles4DblClick(); }));
  new EnterActsAsDoubleClick(renamerUi.FileListBox1, guarded(this, [this] { FileListBox1DblClick(); }));
  // Enter presses the focused button, as Space does (outside dialog boxes Qt leaves Enter alone).
  for (QPushButton* button : findChildren<QPushButton*>()) button->setAutoDefault(true);
}

}  // namespace pitkit
