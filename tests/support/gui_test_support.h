// Support of the GUI test programs: the application object they share, and
// answering the modal dialogs a test provokes.
#pragma once

#include <QMessageBox>
#include <QString>

#include "platform/widgets/application.h"

namespace orvex::test {

// The test program's application object, created on first use (Qt wants one
// before any widget exists).
ui::TApplication& GuiApp();

// A base class listed before a widget base, so that the application exists
// before the widget is built.
struct AppFirst {
  AppFirst() { GuiApp(); }
};

// Destroys the shared application object (a test that makes its own).
void DropGuiApp();

// What a dialog showed before it was answered.
struct SeenDialog {
  bool shown = false;
  QString caption;
  QString text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
};

// Arms a timer that waits for the next modal message box, records it and
// presses `button` on it. Read the result after the dialog has returned.
SeenDialog* AnswerNextDialog(QMessageBox::StandardButton button);

}  // namespace orvex::test
