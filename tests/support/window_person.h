#pragma once
// Plays the person at the keyboard and the mouse of the window mode: one
// action for every wait the program starts, in order.

#include <gtest/gtest.h>

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QStringList>
#include <QTest>
#include <QTimer>
#include <deque>
#include <functional>

#include "platform/window_platform.h"

namespace ba::test {

class Person {
 public:
  explicit Person(WindowPlatform& platform) : platform_(platform) {
    platform.set_wait_observer([this] {
      if (actions_.empty()) {
        // Closing the main window stops the wait instead of leaving it hanging.
        ADD_FAILURE() << "the program waits for more than the test gives";
        QTimer::singleShot(0, [this] { platform_.main_window().close(); });
        return;
      }
      auto action = std::move(actions_.front());
      actions_.pop_front();
      QTimer::singleShot(0, [action] { action(); });
    });
    // The person means it when closing the main window mid-run.
    platform.main_window().set_close_confirmer([] { return true; });
  }
  ~Person() { platform_.set_wait_observer(nullptr); }
  Person(const Person&) = delete;
  Person& operator=(const Person&) = delete;

  void then(std::function<void()> action) { actions_.push_back(std::move(action)); }
  // Types `text` into the unit's view and ends the line with Return.
  void types(int unit, const QString& text) {
    then([this, unit, text] {
      SurfaceView& view = platform_.view(unit);
      QTest::keyClicks(&view, text);
      QTest::keyClick(&view, Qt::Key_Return);
    });
  }
  bool done() const { return actions_.empty(); }

 private:
  WindowPlatform& platform_;
  std::deque<std::function<void()>> actions_;
};

// The captions of the windows in the child area in opening order.
inline QStringList captions(WindowPlatform& platform) {
  QStringList shown;
  for (QMdiSubWindow* child :
       platform.main_window().mdi_area().subWindowList(QMdiArea::CreationOrder))
    shown << child->windowTitle();
  return shown;
}

}  // namespace ba::test
