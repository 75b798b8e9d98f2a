// oxview: a viewer and editor for any dBASE table, built from the library's
// own components. Opens the tables named on the command line, each in a
// tab, read-only until editing is switched on.
//
//   oxview [TABLE.DBF ...] [--screenshot FILE.png] [--dump-state]
//
// --screenshot renders the window off-screen (Qt's offscreen platform
// unless QT_QPA_PLATFORM names another), saves a PNG picture of it and ends
// with status 0 (1 when the picture cannot be written); nobody can answer
// a message box then, so the library's messages go to stderr.
// --dump-state prints the window's state (state_dump.h) on stdout when the
// program ends. SIGTERM and SIGINT close the window as the user would.
//
// Failures of the library arrive as exceptions (the library raises its
// errors) and are shown in the message window with their number and text;
// they never end the program.
#include <QApplication>
#include <QStringList>
#include <cstdio>
#include <iostream>
#include <string>

#include "app/oxview/main_window.h"
#include "app/oxview/state_dump.h"
#include "app/oxview/table_tab.h"
#include "common/errors.h"
#include "controls/ox_progress.h"
#include "platform/widgets/application.h"
#include "platform/widgets/close_on_signals.h"
#include "platform/widgets/offscreen_run.h"

namespace {

struct Options {
  QStringList tables;
  std::string screenshot;
  bool dump_state = false;
};

const char kUsage[] = "usage: oxview [TABLE.DBF ...] [--screenshot FILE.png] [--dump-state]\n";

bool ParseOptions(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--screenshot" && i + 1 < argc) {
      options.screenshot = argv[++i];
    } else if (arg == "--dump-state") {
      options.dump_state = true;
    } else if (arg == "--help" || arg == "--screenshot") {
      return false;
    } else if (arg.rfind("-", 0) != 0) {
      // A file name travels as the bytes given.
      options.tables << QString::fromLocal8Bit(argv[i]);
    }
    // Other options are Qt's own.
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!ParseOptions(argc, argv, options)) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  const bool offscreen = !options.screenshot.empty();
  orvex::ui::ChooseOffscreenPlatform(offscreen);

  orvex::ui::TApplication app(argc, argv);
  QApplication::setApplicationName("oxview");
  // The library's failures arrive as exceptions and are shown; none ends
  // the program.
  orvex::SetAutoReport(true);
  orvex::SetRaiseOnError(true);
  orvex::ShowIndexProgressWindows();
  if (offscreen) orvex::ui::ReportToConsole(app);

  orvex::view::MainWindow window;
  for (const QString& table : options.tables) window.OpenTable(table);
  const auto signal_watch = orvex::ui::CloseOnSignals(window);
  const int status = offscreen ? orvex::ui::SaveWindowPicture(window, options.screenshot, "oxview",
                                                              /*activate=*/false)
                               : app.Run(window);
  if (options.dump_state) std::cout << orvex::view::DumpState(window) << std::flush;
  return status;
}
