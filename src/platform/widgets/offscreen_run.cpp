#include "platform/widgets/offscreen_run.h"

#include <QApplication>
#include <QImage>
#include <QWindow>
#include <cstdio>

#include "platform/os/system.h"
#include "platform/widgets/wait_for.h"

namespace orvex::ui {

void ChooseOffscreenPlatform(bool offscreen) {
  if (offscreen && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
}

void ReportToConsole(TApplication& app) {
  os::SetMessageBoxHook({});
  os::SetWarningHook({});
  os::SetConfirmHook({});
  app.OnException = [](const std::exception& error) { std::fprintf(stderr, "%s\n", error.what()); };
}

int SaveWindowPicture(QWidget& window, const std::string& file, const char* program,
                      bool activate) {
  window.show();
  if (!WaitFor(
          [&] { return window.windowHandle() != nullptr && window.windowHandle()->isExposed(); })) {
    std::fprintf(stderr, "%s: the window was not shown\n", program);
    return 1;
  }
  if (activate) {
    window.activateWindow();
    QApplication::setActiveWindow(&window);
    if (!WaitFor([&] { return window.isActiveWindow(); })) {
      std::fprintf(stderr, "%s: the window was not activated\n", program);
      return 1;
    }
  }
  QApplication::processEvents();
  if (!window.grab().toImage().save(QString::fromStdString(file), "PNG")) {
    std::fprintf(stderr, "%s: cannot write %s\n", program, file.c_str());
    return 1;
  }
  return 0;
}

}  // namespace orvex::ui
