// The viewer's window over a folder without the table's index: the open at
// the first activation fails, then the Year button is pressed. Every error
// report is printed on stdout ("<number>|<detail>") by an error hook, so that
// the failed open does not end the program; the button's report then does,
// through the library's terminate request, with its exit status.
#include <QApplication>
#include <cstdio>

#include "app/u_read.h"
#include "common/errors.h"
#include "platform/os/codepage.h"
#include "platform/widgets/application.h"

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  orvex::ui::TApplication app(argc, argv);
  orvex::ErrorHook = [] {
    std::printf("%d|%s\n", orvex::DbfErrorNo, orvex::os::AnsiToUtf8(orvex::ErrorDetail).c_str());
    std::fflush(stdout);
  };
  app.OnException = [](const std::exception& error) {
    std::printf("raised|%s\n", orvex::os::AnsiToUtf8(error.what()).c_str());
    std::fflush(stdout);
  };
  orvex::app::TForm1 form;
  form.show();
  QApplication::setActiveWindow(&form);  // the first activation opens the table
  QApplication::processEvents();
  std::printf("open|%s\n", form.OxDbf1.Active() ? "yes" : "no");
  std::fflush(stdout);
  form.Button3->click();
  std::printf("still running\n");
  return 0;
}
