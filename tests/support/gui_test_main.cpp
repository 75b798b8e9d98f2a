// main() of the GUI test programs: runs on Qt's offscreen platform unless the
// environment names another, and creates the application object only when
// tests run (listing the tests needs no Qt).
#include <QAbstractButton>
#include <QApplication>
#include <QTimer>
#include <gtest/gtest.h>
#include <memory>

#include "support/gui_test_support.h"

namespace orvex::test {

namespace {

int g_argc = 1;
char g_name[] = "orvex_gui_tests";
char* g_argv[] = {g_name, nullptr};
std::unique_ptr<ui::TApplication> g_app;
SeenDialog g_seen;

}  // namespace

ui::TApplication& GuiApp() {
  if (!g_app) g_app = std::make_unique<ui::TApplication>(g_argc, g_argv);
  return *g_app;
}

void DropGuiApp() { g_app.reset(); }

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

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  testing::InitGoogleTest(&argc, argv);
  const int result = RUN_ALL_TESTS();
  orvex::test::DropGuiApp();
  return result;
}
