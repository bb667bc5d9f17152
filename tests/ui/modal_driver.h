// Answers the windows' real modal dialogs as a person would, with the mouse and the keyboard.
//
// The steps run one after another, each on the modal dialog that is up when its turn comes.
// Clicks and keys go through the window system's queue (QTest on the dialog's QWindow), so a
// dialog that another modal window blocks does not get them, as it would not get a person's.
// A step that finds no dialog, or a dialog that does not close, fails the test and closes
// every modal dialog, so that the test ends instead of hanging.
#ifndef TARNWICK_TESTS_UI_MODAL_DRIVER_H_
#define TARNWICK_TESTS_UI_MODAL_DRIVER_H_

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <deque>
#include <functional>
#include <string>

namespace uitest {

class ModalDriver {
 public:
  using Step = std::function<void(QWidget* dialog)>;

  ModalDriver() {
    timer_.setInterval(20);
    QObject::connect(&timer_, &QTimer::timeout, [this] { Poll(); });
    timer_.start();
  }
  ~ModalDriver() { EXPECT_TRUE(steps_.empty()) << steps_.size() << " dialog step(s) never ran"; }

  // Runs `step` on the next modal dialog once it has been up for `wait_ms`.
  void Then(Step step, int wait_ms = 0) { steps_.push_back({std::move(step), wait_ms}); }
  [[nodiscard]] bool Done() const { return steps_.empty(); }

  // The enabled, visible button of `dialog` whose caption (without "&") is `caption`.
  static QAbstractButton* Button(QWidget* dialog, const QString& caption) {
    for (QAbstractButton* b : dialog->findChildren<QAbstractButton*>()) {
      if (b->isVisible() && QString(b->text()).remove('&') == caption) return b;
    }
    ADD_FAILURE() << "no button " << caption.toStdString();
    return nullptr;
  }
  // Clicks the middle of `button` with the left mouse button.
  static void Click(QAbstractButton* button) {
    if (!button) return;
    QWidget* window = button->window();
    ASSERT_NE(window->windowHandle(), nullptr);
    QTest::mouseClick(window->windowHandle(), Qt::LeftButton, Qt::NoModifier,
                      button->mapTo(window, button->rect().center()));
  }
  // A key press in `dialog`'s window, to whichever control has the focus.
  static void Key(QWidget* dialog, Qt::Key key, Qt::KeyboardModifiers modifiers = {}) {
    ASSERT_NE(dialog->window()->windowHandle(), nullptr);
    QTest::keyClick(dialog->window()->windowHandle(), key, modifiers);
  }

 private:
  struct Pending {
    Step step;
    int wait_ms;
  };

  void Poll() {
    QWidget* modal = QApplication::activeModalWidget();
    if (handled_ && handled_ == modal && handled_->isVisible()) {
      // The dialog a step answered is still up: the answer did not reach it.
      if (since_handled_.elapsed() > 3000) GiveUp("the dialog did not take its answer");
      return;
    }
    if (steps_.empty()) return;
    // A progress box is no question: the steps wait past it for the dialog they answer.
    if (!modal || !modal->isVisible() || modal->objectName() == "BatchProgress") {
      current_ = nullptr;
      return;
    }
    if (modal != current_) {
      current_ = modal;
      up_since_.start();
    }
    if (up_since_.elapsed() < steps_.front().wait_ms) return;
    Pending next = std::move(steps_.front());
    steps_.pop_front();
    handled_ = modal;
    since_handled_.start();
    // Queued, so that a step that opens a further dialog does not hold this timer in its loop.
    QTimer::singleShot(0, modal, [step = std::move(next.step), modal] { step(modal); });
  }

  void GiveUp(const std::string& why) {
    ADD_FAILURE() << why;
    steps_.clear();
    while (QWidget* modal = QApplication::activeModalWidget()) {
      if (auto* dialog = qobject_cast<QDialog*>(modal)) {
        dialog->reject();
      } else {
        modal->close();
      }
      QApplication::processEvents();
    }
    handled_ = nullptr;
  }

  std::deque<Pending> steps_;
  QTimer timer_;
  QPointer<QWidget> current_;
  QPointer<QWidget> handled_;
  QElapsedTimer up_since_;
  QElapsedTimer since_handled_;
};

}  // namespace uitest

#endif  // TARNWICK_TESTS_UI_MODAL_DRIVER_H_
