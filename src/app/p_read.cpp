// PRead: the table viewer. Shows movie_r.dbf of the current folder in the
// main window TForm1 and runs until the window is closed.
//
//   PRead [--order TITLE|RUNTIME|YEAR|STARS] [--screenshot FILE.png] [--dump-state]
//
// --order presses the matching button once the window was first activated.
// --screenshot renders the window off-screen (Qt's offscreen platform unless
// QT_QPA_PLATFORM names another), waits until it is shown, activated and
// painted, saves a PNG picture of it and ends with status 0 (1 when the
// picture cannot be written). Nobody can answer a message box then, so the
// library's messages go to stderr; a program-stopping error ends it with the
// error number as exit status, as in the window. --dump-state prints the
// window's state (state_dump.h) on stdout when the program ends.
//
// SIGTERM and SIGINT close the window, so the program ends as if the user
// had closed it (with --dump-state, after printing the state).
#include <QApplication>
#include <cstdio>
#include <iostream>
#include <memory>
#include <string>

#include "app/state_dump.h"
#include "app/u_read.h"
#include "controls/ox_progress.h"
#include "platform/widgets/application.h"
#include "platform/widgets/close_on_signals.h"
#include "platform/widgets/offscreen_run.h"

namespace {

struct Options {
  std::string order;       // "" or one of the four tag names
  std::string screenshot;  // the picture's file, or ""
  bool dump_state = false;
};

const char kUsage[] =
    "usage: PRead [--order TITLE|RUNTIME|YEAR|STARS] [--screenshot FILE.png] [--dump-state]\n";

bool ParseOptions(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if ((arg == "--order" || arg == "--screenshot") && i + 1 < argc) {
      (arg == "--order" ? options.order : options.screenshot) = argv[++i];
    } else if (arg == "--dump-state") {
      options.dump_state = true;
    } else if (arg == "--help") {
      return false;
    }
    // Anything else is left to Qt, which reads its own options.
  }
  return options.order.empty() || options.order == "TITLE" || options.order == "RUNTIME" ||
         options.order == "YEAR" || options.order == "STARS";
}

orvex::ui::TButton* OrderButton(orvex::app::TForm1& form, const std::string& order) {
  if (order == "TITLE") return form.Button1;
  if (order == "RUNTIME") return form.Button2;
  if (order == "YEAR") return form.Button3;
  if (order == "STARS") return form.Button4;
  return nullptr;
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
  QApplication::setApplicationName("PRead");
  // An index the table component builds shows its progress window.
  orvex::ShowIndexProgressWindows();
  if (offscreen) orvex::ui::ReportToConsole(app);

  orvex::app::TForm1 form;
  if (orvex::ui::TButton* button = OrderButton(form, options.order)) {
    // The order is chosen once the stored activation handler has opened the
    // table, as a user's first click would be.
    form.OnActivate = [&form, button, stored = form.OnActivate, pressed = false]() mutable {
      stored();
      if (!pressed) {
        pressed = true;
        button->click();
      }
    };
  }

  const auto signal_watch = orvex::ui::CloseOnSignals(form);
  // The first activation opens the table: the picture waits for it.
  const int status = offscreen ? orvex::ui::SaveWindowPicture(form, options.screenshot, "PRead",
                                                              /*activate=*/true)
                               : app.Run(form);
  if (options.dump_state) std::cout << orvex::app::DumpState(form) << std::flush;
  return status;
}
