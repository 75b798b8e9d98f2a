// A GUI program that the library stops: it reports error 2 with the
// program-stopping path while the application object is installed, answers
// the message box with OK and, at exit, prints what the box showed as
// "caption|text|icon number".
#include <QtGlobal>
#include <cstdio>
#include <cstdlib>

#include "common/errors.h"
#include "platform/os/codepage.h"
#include "support/gui_test_support.h"

namespace {

const orvex::test::SeenDialog* g_seen = nullptr;

void PrintSeen() {
  std::printf("%s|%s|%d\n", g_seen->caption.toStdString().c_str(),
              g_seen->text.toStdString().c_str(), static_cast<int>(g_seen->icon));
  std::fflush(stdout);
}

}  // namespace

int main() {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  orvex::test::GuiApp();
  g_seen = orvex::test::AnswerNextDialog(QMessageBox::Ok);
  std::atexit(PrintSeen);
  orvex::SetError(2, orvex::os::Utf8ToAnsi("movie_ä.dbf [USE/OpenDBF]"));
  return 0;  // not reached: the library ends the program
}
