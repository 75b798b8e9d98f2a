// The application object: start-up of the GUI, the message loop, terminate,
// ProcessMessages and the handler of exceptions that escape an event.
//
// While it exists, the library's lower layers show their windows through Qt:
// it installs the process-messages hook (Qt's event processing, so that a
// program waiting for a lock stays responsive), the message-box hook (the
// program-stopping "Programm angehalten." box with the stop icon), the warning
// hook (a plain message box) and the confirmation hook (OK / Cancel). Its
// destructor puts the console defaults back (stderr, no event processing).
// One application object at a time.
#pragma once

#include <QWidget>
#include <exception>
#include <functional>
#include <memory>

class QApplication;

namespace orvex::ui {

class TApplication {
 public:
  // Creates the Qt application (Qt reads its own options from argv, argc
  // must outlive the object) and installs the hooks.
  TApplication(int& argc, char** argv);
  ~TApplication();
  TApplication(const TApplication&) = delete;
  TApplication& operator=(const TApplication&) = delete;

  // Shows the main form (a TForm gets its first activation then, see
  // TForm) and runs the message loop until the main form is closed or
  // Terminate is called. Returns the loop's exit code.
  int Run(QWidget& main_form);

  // Ends the message loop at the next opportunity.
  void Terminate();
  bool Terminated() const { return terminated_; }

  // Handles every pending event and returns.
  static void ProcessMessages();

  // Called with an exception that escaped an event handler; the loop goes on.
  // The default shows the exception's message (EOrvexError texts are
  // Windows-1252) in a message box with the stop icon, captioned with the
  // application's name. Replace it to log or to test.
  std::function<void(const std::exception&)> OnException = &TApplication::ShowException;

  // The default of OnException.
  static void ShowException(const std::exception& error);

  // The application object that exists now, or none.
  static TApplication* Current();

 private:
  std::unique_ptr<QApplication> qt_app_;
  bool terminated_ = false;
};

// Hands an exception to the current application's OnException (to
// ShowException when there is none).
void HandleException(const std::exception& error);

// Runs code that Qt calls back (an event handler, a click action) and hands an
// exception it throws to HandleException, so that the exception never unwinds
// through Qt's own frames, which do not expect it. The application object
// also catches what escapes an event, as a last resort.
template <typename F>
void Guarded(F&& code) {
  try {
    code();
  } catch (const std::exception& error) {
    HandleException(error);
  }
}

}  // namespace orvex::ui
