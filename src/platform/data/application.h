// The two services of the application object that code below the GUI needs:
// asking the program to end, and handing an exception to the application's
// exception handler. The GUI installs both hooks; without them (console
// programs and tests) a terminate request ends the process with the given
// status, and an exception's message goes to the message box hook (stderr in
// console programs).
#pragma once

#include <exception>
#include <functional>

namespace orvex::data {

using TerminateHook = std::function<void(int exit_status)>;
using ExceptionHandlerHook = std::function<void(const std::exception&)>;

// An empty function restores the console behaviour.
void SetTerminateHook(TerminateHook hook);
void SetExceptionHandlerHook(ExceptionHandlerHook hook);

// Asks the application to end. The GUI's hook ends the message loop and
// returns; the console default exits at once with `exit_status`.
void RequestTerminate(int exit_status);

// The application's exception handler: shows the exception's message.
void HandleApplicationException(const std::exception& e);

}  // namespace orvex::data
