#pragma once

#include <QApplication>
#include <QTimer>
#include <functional>

// Answers the next modal dialog that code under test opens and waits on: once it shows,
// `answer` gets it as a W. A modal widget of another kind is rejected and counted as
// unexpected, so that a test never hangs on a box it did not expect.
template <class W>
class ModalAnswer {
 public:
  explicit ModalAnswer(std::function<void(W*)> answer) : answer_(std::move(answer)) {
    QObject::connect(&timer_, &QTimer::timeout, [this] { Poll(); });
    timer_.start(10);
  }

  bool answered() const { return answered_; }
  int unexpected() const { return unexpected_; }

 private:
  void Poll() {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr || !modal->isVisible()) return;
    timer_.stop();
    if (W* dialog = qobject_cast<W*>(modal)) {
      answered_ = true;
      answer_(dialog);
    } else {
      ++unexpected_;
      modal->close();
    }
  }

  std::function<void(W*)> answer_;
  QTimer timer_;
  bool answered_ = false;
  int unexpected_ = 0;
};
