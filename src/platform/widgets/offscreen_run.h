// What the programs share when asked to render their window off-screen
// (their --screenshot option): the platform choice before the application
// object exists, the console as the only one to answer, and the picture
// taken once the window is shown.
#pragma once

#include <QWidget>
#include <string>

#include "platform/widgets/application.h"

namespace orvex::ui {

// Call before the application object exists. With `offscreen`, Qt renders
// without a display (its offscreen platform) unless QT_QPA_PLATFORM names
// another platform.
void ChooseOffscreenPlatform(bool offscreen);

// Nobody is there to answer: the library's messages, warnings and
// questions take the console's default answers, and an exception reaching
// `app`'s message loop is printed on stderr instead of shown.
void ReportToConsole(TApplication& app);

// Shows `window`, waits until the window system exposed it (and, with
// `activate`, until it is the active window: a program that does its work
// on the first activation needs that), lets it paint and saves its picture
// as PNG in `file`. 0 on success; 1 after a message on stderr that begins
// with "`program`: ".
int SaveWindowPicture(QWidget& window, const std::string& file, const char* program, bool activate);

}  // namespace orvex::ui
