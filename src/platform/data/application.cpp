#include "platform/data/application.h"

#include <cstdlib>

#include "platform/os/system.h"

namespace orvex::data {

namespace {
TerminateHook g_terminate;
ExceptionHandlerHook g_exception_handler;
}  // namespace

void SetTerminateHook(TerminateHook hook) { g_terminate = std::move(hook); }
void SetExceptionHandlerHook(ExceptionHandlerHook hook) { g_exception_handler = std::move(hook); }

void RequestTerminate(int exit_status) {
  if (g_terminate) {
    g_terminate(exit_status);
    return;
  }
  std::exit(exit_status);
}

void HandleApplicationException(const std::exception& e) {
  if (g_exception_handler) {
    g_exception_handler(e);
    return;
  }
  os::MessageBox(e.what(), "", /*icon_stop=*/false);
}

}  // namespace orvex::data
