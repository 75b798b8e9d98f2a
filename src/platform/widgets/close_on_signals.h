// Ending a program's window as the user would when the program is asked to
// end by a signal: SIGTERM and SIGINT close the window (its close handling
// runs, the message loop ends as after a click on the close box).
#pragma once

#include <QSocketNotifier>
#include <QWidget>
#include <memory>

namespace orvex::ui {

// Closes `window` when SIGTERM or SIGINT arrives. The signal handler only
// writes to a socket; the message loop reads the other end and closes the
// window. Keep the answer alive as long as the window; null when the socket
// could not be made (the signals then keep their default action).
std::unique_ptr<QSocketNotifier> CloseOnSignals(QWidget& window);

}  // namespace orvex::ui
