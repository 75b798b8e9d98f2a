// oxview over a 1,000,000-record table, off screen: the program's own parts
// (the main window, a table tab, its search and filter) as a user meets them.
//
// A child process builds the table (bench/bench_support.h) and its
// production index with the tags TITLE and YEAR through the table component
// (the first open builds them); then, in a main window of 900 x 560 pixels:
//   - first rows: from asking the window to open the table until the tab's
//     grid has painted its first rows (target: 200 ms, index built);
//   - paging: 1000 Page Down presses in the TITLE order, each page painted
//     at once (the grid benchmark's measure, pages per second);
//   - index search: Find of a whole YEAR value in the YEAR order, 200
//     searches for different years (target: 50 ms each; the slowest and
//     the mean are shown);
//   - Locate over the whole table: a title that no record holds, in natural
//     order, so every record is read (target: 1 s): contained in any case,
//     contained, and at the start;
//   - filter: YEAR = 2000 set in natural order, the first page painted;
//   - memory: the process's resident size at the end and its peak
//     (target: under 100 MB).
// Each time is the best of three runs unless said otherwise.
//
// Usage: oxview_bench [records] [folder]   (defaults 1000000, $TMPDIR)
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QKeyEvent>
#include <QStandardPaths>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>

#include "app/oxview/main_window.h"
#include "app/oxview/table_search.h"
#include "app/oxview/table_tab.h"
#include "bench/bench_support.h"
#include "common/errors.h"
#include "controls/ox_grid.h"
#include "dataset/ox_file_data_set.h"
#include "platform/widgets/application.h"

namespace {

using namespace orvex;
using Clock = std::chrono::steady_clock;

double Milliseconds(Clock::time_point since) {
  return std::chrono::duration<double, std::milli>(Clock::now() - since).count();
}

void Fail(const char* what) {
  std::fprintf(stderr, "oxview_bench: %s\n", what);
  std::exit(1);
}

// Opens the table in a new window and answers the milliseconds until its
// first rows were painted.
double FirstRows(const QString& table) {
  view::MainWindow window;
  window.show();
  QApplication::processEvents();
  const auto start = Clock::now();
  if (!window.OpenTable(table)) Fail("the table did not open");
  window.CurrentTab()->Grid().viewport()->repaint();
  return Milliseconds(start);
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  const int records = bench::CountArgument(argc, argv, 1000000);
  const std::string dir = bench::FolderArgument(argc, argv);
  const std::string base = dir + "/oxview_bench_" + std::to_string(getpid());
  // The table and its index are made by a child process, so that the
  // memory figures are the viewer's alone.
  const pid_t child = fork();
  if (child == 0) {
    SetRaiseOnError(true);
    bench::BuildMovieTable(base + ".dbf", records);
    TOxDbf table("OxDbf1");
    table.SetDbfFileName(base + ".dbf");
    table.IndexList() = {"TITLE,F,F,TITLE", "", "YEAR,F,F,YEAR", ""};
    table.SetCreateIndex(TCreateIndexType::ciNotFound);
    const auto start = Clock::now();
    table.Open();
    std::printf("%d records; index TITLE, YEAR built in %.1f s\n", table.GetRecordCount(),
                Milliseconds(start) / 1000);
    table.Close();
    std::fflush(stdout);
    _exit(0);
  }
  int child_status = 1;
  if (child < 0 || waitpid(child, &child_status, 0) != child || child_status != 0)
    Fail("the table was not made");
  int qt_argc = 1;
  ui::TApplication app(qt_argc, argv);
  QStandardPaths::setTestModeEnabled(true);  // the settings stay out of the user's
  SetRaiseOnError(true);
  app.OnException = [](const std::exception& error) { Fail(error.what()); };

  const QString name = QString::fromStdString(base + ".dbf");

  double first_rows = 1e9;
  for (int run = 0; run < 3; ++run) first_rows = std::min(first_rows, FirstRows(name));
  std::printf("first rows painted after open:          %8.1f ms   (target 200 ms)\n", first_rows);

  view::MainWindow window;
  window.show();
  QApplication::processEvents();
  if (!window.OpenTable(name)) Fail("the table did not open");
  view::TableTab& tab = *window.CurrentTab();
  TOxGrid& grid = tab.Grid();

  tab.SetOrder("TITLE");
  double best_pages = 0;
  QKeyEvent page_down(QEvent::KeyPress, Qt::Key_PageDown, Qt::NoModifier);
  for (int run = 0; run < 3; ++run) {
    tab.Table().First();
    grid.viewport()->repaint();
    const auto start = Clock::now();
    int pages = 0;
    for (; pages < 1000 && !tab.Table().Eof(); ++pages) {
      QApplication::sendEvent(&grid, &page_down);
      grid.viewport()->repaint();
    }
    best_pages = std::max(best_pages, pages / (Milliseconds(start) / 1000));
  }
  std::printf("Page Down with repaint, TITLE order:    %8.0f pages/s\n", best_pages);

  tab.SetOrder("YEAR");
  double slowest = 0, total = 0;
  const int searches = 200;
  for (int i = 0; i < searches; ++i) {
    const view::SearchRequest request{"YEAR", std::to_string(1900 + (i * 37) % 125),
                                      view::MatchMode::kWhole, false, false};
    const auto start = Clock::now();
    const view::SearchOutcome outcome = view::FindFirst(tab.Table(), request);
    grid.viewport()->repaint();
    const double ms = Milliseconds(start);
    if (!outcome.found || outcome.way != view::SearchWay::kIndex) Fail("an index search failed");
    slowest = std::max(slowest, ms);
    total += ms;
  }
  std::printf(
      "index search (Find) and repaint:        %8.2f ms mean, %.2f ms slowest (target 50 ms)\n",
      total / searches, slowest);

  tab.SetOrder("");
  struct LocateCase {
    const char* what;
    view::MatchMode mode;
    bool no_case;
  };
  for (const LocateCase& c : {LocateCase{"contains, any case", view::MatchMode::kContains, true},
                              LocateCase{"contains", view::MatchMode::kContains, false},
                              LocateCase{"starts with", view::MatchMode::kStartsWith, false}}) {
    double locate = 1e9;
    for (int run = 0; run < 3; ++run) {
      const view::SearchRequest request{"TITLE", "no such film", c.mode, c.no_case, false};
      const auto start = Clock::now();
      if (view::FindFirst(tab.Table(), request).found) Fail("Locate found what no record holds");
      grid.viewport()->repaint();
      locate = std::min(locate, Milliseconds(start));
    }
    std::printf("Locate over the whole table (%-18s): %8.1f ms   (target 1000 ms)\n", c.what,
                locate);
  }

  double filter = 1e9;
  for (int run = 0; run < 3; ++run) {
    tab.SetFilter("");
    const auto start = Clock::now();
    tab.SetFilter("YEAR = 2000");
    grid.viewport()->repaint();
    filter = std::min(filter, Milliseconds(start));
  }
  std::printf("filter YEAR = 2000, first page painted: %8.1f ms\n", filter);

  std::printf("memory: resident %.1f MB, peak %.1f MB   (target 100 MB)\n",
              bench::ProcessMemoryMb("VmRSS"), bench::ProcessMemoryMb("VmHWM"));
  std::remove((base + ".dbf").c_str());
  std::remove((base + ".mdx").c_str());
  return 0;
}
