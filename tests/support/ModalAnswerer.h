#pragma once
// Answers modal windows from a timer, so that no window test can hang on one. Every message box
// is recorded and answered (OK, the button asked for, Escape, or a rule's choice); a window a test
// expects goes to that test's response; progress windows close themselves and are left alone;
// any other modal window is counted as unexpected and closed.
#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>

namespace pitkit::test {

class ModalAnswerer : public QObject {
 public:
  struct Box {
    QString title, text;
    QMessageBox::Icon icon;
    QMessageBox::StandardButton defaultButton;
    QString informative;
  };
  // OnlyErrorBoxes: every box must be the program's error box (its title, the error icon).
  enum Boxes { AnyBoxes, OnlyErrorBoxes };

  explicit ModalAnswerer(Boxes kind = AnyBoxes, int intervalMs = 10) : kind_(kind) {
    connect(&timer_, &QTimer::timeout, this, [this] { poll(); });
    timer_.start(intervalMs);
  }

  // The next message box is answered with `button` (afterwards OK again), or with Escape.
  void answerWith(QMessageBox::StandardButton button) { answer_ = button; }
  void answerWithEscape() { escape_ = true; }
  // The next modal window of any kind goes to `respond` (nullptr: none expected any more). It is
  // called outside the timer's slot, so a window the response opens is seen as well.
  void expect(std::function<void(QWidget*)> respond) { respond_ = std::move(respond); }

  // When set, chooses the button of every message box instead of answerWith.
  std::function<QMessageBox::StandardButton(const Box&)> chooseButton;
  // When set, receives every modal window that is neither a message box nor a progress window.
  std::function<void(QWidget*)> onOtherModal;

  // No more answers (before the windows go away).
  void stop() { timer_.stop(); }

  QList<Box> boxes;
  int unexpected = 0;  // windows no one handled; each was closed

  QStringList texts() const {
    QStringList out;
    for (const Box& box : boxes) out << box.text;
    return out;
  }

 private:
  void poll() {
    QWidget* modal = QApplication::activeModalWidget();
    if (pending_ || modal == nullptr || !modal->isVisible()) return;
    if (respond_) {
      pending_ = true;
      QTimer::singleShot(0, this, [this, modal, respond = std::move(respond_)] {
        pending_ = false;
        respond(modal);
      });
      respond_ = nullptr;
      return;
    }
    if (auto* box = qobject_cast<QMessageBox*>(modal)) return answer(box);
    if (qobject_cast<QProgressDialog*>(modal) != nullptr) {
      if (onOtherModal) onOtherModal(modal);
      return;
    }
    if (onOtherModal) return onOtherModal(modal);
    ++unexpected;
    if (auto* dialog = qobject_cast<QDialog*>(modal))
      dialog->reject();
    else
      modal->close();
  }

  void answer(QMessageBox* box) {
    const Box seen{box->windowTitle(), box->text(), box->icon(),
                   box->defaultButton() ? box->standardButton(box->defaultButton()) : QMessageBox::NoButton,
                   box->informativeText()};
    boxes.append(seen);
    if (escape_) {
      escape_ = false;
      QTest::keyClick(box, Qt::Key_Escape);
    } else if (QAbstractButton* b = box->button(chooseButton ? chooseButton(seen) : answer_)) {
      answer_ = QMessageBox::Ok;
      b->click();
    } else {
      box->reject();
    }
    // Checked once the box is answered, so that a failed check never leaves it open.
    if (kind_ == OnlyErrorBoxes) {
      QCOMPARE(seen.title, QStringLiteral("Torvane Pit Kit"));
      QCOMPARE(seen.icon, QMessageBox::Critical);
    }
  }

  QTimer timer_;
  Boxes kind_;
  QMessageBox::StandardButton answer_ = QMessageBox::Ok;
  bool escape_ = false;
  std::function<void(QWidget*)> respond_;
  bool pending_ = false;
};

}  // namespace pitkit::test
