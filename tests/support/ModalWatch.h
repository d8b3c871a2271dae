#pragma once
// Answers modal windows from a timer so that no window test can hang on one. Every message box is
// recorded; the next one is answered with the chosen button (or Escape), any other dialog is
// handed to onOtherModal.
#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <functional>

namespace pitkit::test {

class ModalWatch : public QObject {
 public:
  struct Seen {
    QString title, text;
    QMessageBox::Icon icon;
    QMessageBox::StandardButton defaultButton;
  };
  ModalWatch() {
    connect(&timer_, &QTimer::timeout, this, [this] { poll(); });
    timer_.start(10);
  }
  void answerWith(QMessageBox::StandardButton button) { answer_ = button; }
  void answerWithEscape() { escape_ = true; }
  QList<Seen> boxes;
  std::function<void(QWidget*)> onOtherModal;

 private:
  void poll() {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr || !modal->isVisible()) return;
    auto* box = qobject_cast<QMessageBox*>(modal);
    if (box == nullptr) {
      if (onOtherModal) onOtherModal(modal);
      return;
    }
    boxes.append(
        {box->windowTitle(), box->text(), box->icon(),
         box->defaultButton() ? box->standardButton(box->defaultButton()) : QMessageBox::NoButton});
    if (escape_) {
      escape_ = false;
      QTest::keyClick(box, Qt::Key_Escape);
    } else if (QAbstractButton* b = box->button(answer_)) {
      answer_ = QMessageBox::Ok;
      b->click();
    } else {
      box->reject();
    }
  }
  QTimer timer_;
  QMessageBox::StandardButton answer_ = QMessageBox::Ok;
  bool escape_ = false;
};

}  // namespace pitkit::test
