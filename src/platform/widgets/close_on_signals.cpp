#include "platform/widgets/close_on_signals.h"

#include <sys/socket.h>
#include <unistd.h>

#include <csignal>

namespace orvex::ui {
namespace {

// The signal handler may only write to a file descriptor.
int g_signal_pipe[2] = {-1, -1};

void OnSignal(int) {
  const char byte = 1;
  [[maybe_unused]] const ssize_t written = ::write(g_signal_pipe[1], &byte, 1);
}

}  // namespace

std::unique_ptr<QSocketNotifier> CloseOnSignals(QWidget& window) {
  if (g_signal_pipe[0] < 0 && ::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signal_pipe) != 0)
    return nullptr;
  auto notifier = std::make_unique<QSocketNotifier>(g_signal_pipe[0], QSocketNotifier::Read);
  QObject::connect(notifier.get(), &QSocketNotifier::activated, &window, [&window] {
    char byte = 0;
    [[maybe_unused]] const ssize_t got = ::read(g_signal_pipe[0], &byte, 1);
    window.close();
  });
  std::signal(SIGTERM, OnSignal);
  std::signal(SIGINT, OnSignal);
  return notifier;
}

}  // namespace orvex::ui
