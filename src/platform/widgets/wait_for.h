// Waiting in a program's own start-up or shut-down code (not in an event
// handler) until the window system has done something: runs pending events
// until `done` answers true or the time is up.
#pragma once

#include <QApplication>
#include <QElapsedTimer>

namespace orvex::ui {

// True when `done` came true within `limit_ms` milliseconds.
template <typename F>
bool WaitFor(F&& done, int limit_ms = 5000) {
  QElapsedTimer timer;
  timer.start();
  while (!done()) {
    if (timer.elapsed() > limit_ms) return false;
    QApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  return true;
}

}  // namespace orvex::ui
