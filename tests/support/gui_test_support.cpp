// The shared application object of the GUI test programs and the answering
// of their modal dialogs.
#include "support/gui_test_support.h"

#include <QAbstractButton>
#include <QApplication>
#include <QTimer>

namespace orvex::test {

namespace {

int g_argc = 1;
char g_name[] = "orvex_gui_tests";
char* g_argv[] = {g_name, nullptr};
// A plain pointer, not a static owner: a program that the library ends with
// exit() must not destroy Qt's application after Qt's own statics are gone.
ui::TApplication* g_app = nullptr;
SeenDialog g_seen;

}  // namespace

ui::TApplication& GuiApp() {
  if (g_app == nullptr) g_app = new ui::TApplication(g_argc, g_argv);
  return *g_app;
}

void DropGuiApp() {
  delete g_app;
  g_app = nullptr;
}

SeenDialog* AnswerNextDialog(QMessageBox::StandardButton button) {
  g_seen = SeenDialog{};
  auto* timer = new QTimer(QCoreApplication::instance());
  timer->setInterval(10);
  QObject::connect(timer, &QTimer::timeout, timer, [timer, button] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr) return;
    g_seen.shown = true;
    g_seen.caption = box->windowTitle();
    g_seen.text = box->text();
    g_seen.icon = box->icon();
    timer->stop();
    timer->deleteLater();
    box->button(button)->click();
  });
  timer->start();
  return &g_seen;
}

}  // namespace orvex::test
