// The data-aware grid paging through a large table, off screen.
//
// Builds a 1,000,000-record table (bench/bench_support.h) and opens it
// through the table component TOxDbf, whose production index holds one tag,
// TITLE on the character field title, built by the library's index build at
// the first open ("Film number 0", "Film number 1", "Film number 10", ...:
// the tag's order is not the natural one). For the natural order and for the
// tag's order it measures
//   - the first page: from attaching the grid to the open table until its
//     first page has been painted (target: within 100 ms);
//   - paging: Page Down or Page Up sent to the grid, each page painted at
//     once (synchronous repaint): 1000 pages down from the first record,
//     1000 down from the record in the middle of the file and 1000 up from
//     the last record (target: at least 60 pages per second; the whole
//     table would be 33,000 pages).
// The grid is 800 x 600 pixels (about 30 rows) and shows every field.
// Each figure is the best of three runs.
//
// Then the plain grid alone (no data): Ctrl+End from the first of 10,000,
// 100,000 and 1,000,000 rows and Ctrl+Home back, each jump scrolled into
// view and painted (once the rows are so many that a jump takes more than
// 10 s, the larger counts are skipped).
//
// Usage: grid_bench [records] [folder]   (defaults 1000000, $TMPDIR)
#include <unistd.h>

#include <QApplication>
#include <QKeyEvent>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/bench_support.h"
#include "common/errors.h"
#include "controls/ox_grid.h"
#include "dataset/ox_file_data_set.h"
#include "dates/date_settings.h"
#include "platform/data/data_link.h"
#include "platform/widgets/application.h"
#include "platform/widgets/custom_grid.h"

namespace {

using namespace orvex;
using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

struct Result {
  double first_page_ms = 0;
  double pages_per_second = 0;
  int pages = 0;
  bool operator<(const Result& other) const { return pages_per_second < other.pages_per_second; }
};

// The table component over `name` with the TITLE tag (built when missing).
void Prepare(TOxDbf& table, const std::string& name) {
  table.SetDbfFileName(name);
  table.IndexList() = {"TITLE,F,F,TITLE", ""};
  table.SetCreateIndex(TCreateIndexType::ciNotFound);
}

Result Run(const std::string& name, const std::string& tag) {
  TOxDbf table("OxDbf1");
  Prepare(table, name);
  data::TDataSource source;
  source.SetDataSet(&table);
  table.Open();
  if (!table.SetOrderToTag(tag) || table.IsSequenced() != tag.empty()) {
    std::fprintf(stderr, "the order '%s' could not be set\n", tag.c_str());
    std::exit(1);
  }
  table.First();
  TOxGrid grid;
  grid.resize(800, 600);
  grid.show();
  QApplication::processEvents();

  Result result;
  auto start = Clock::now();
  grid.SetDataSource(&source);
  grid.viewport()->repaint();
  result.first_page_ms = Seconds(start) * 1000;

  QKeyEvent page_down(QEvent::KeyPress, Qt::Key_PageDown, Qt::NoModifier);
  QKeyEvent page_up(QEvent::KeyPress, Qt::Key_PageUp, Qt::NoModifier);
  struct Stretch {
    int from;  // 0: the first record, -1: the last, else that record number
    QKeyEvent* key;
  };
  const Stretch stretches[] = {
      {0, &page_down}, {table.GetRecordCount() / 2, &page_down}, {-1, &page_up}};
  double seconds = 0;
  for (const Stretch& s : stretches) {
    if (s.from == 0) {
      table.First();
    } else if (s.from < 0) {
      table.Last();
    } else {
      table.SetRecNo(s.from);
    }
    grid.viewport()->repaint();
    start = Clock::now();
    for (int page = 0; page < 1000; ++page) {
      QApplication::sendEvent(&grid, s.key);
      grid.viewport()->repaint();
      ++result.pages;
      if (s.key == &page_down ? table.Eof() : table.Bof()) break;
    }
    seconds += Seconds(start);
  }
  result.pages_per_second = result.pages / seconds;
  grid.SetDataSource(nullptr);
  table.Close();
  return result;
}

// Seconds for Ctrl+End then Ctrl+Home on a plain grid of `rows` rows.
double PlainGridJumps(int rows) {
  ui::TCustomGrid grid;
  grid.resize(800, 600);
  grid.SetColCount(8);
  grid.SetRowCount(rows);
  grid.show();
  QApplication::processEvents();
  QKeyEvent end(QEvent::KeyPress, Qt::Key_End, Qt::ControlModifier);
  QKeyEvent home(QEvent::KeyPress, Qt::Key_Home, Qt::ControlModifier);
  const auto start = Clock::now();
  for (QKeyEvent* key : {&end, &home}) {
    QApplication::sendEvent(&grid, key);
    grid.viewport()->repaint();
  }
  return Seconds(start);
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  int records = bench::CountArgument(argc, argv, 1000000);
  std::string dir = bench::FolderArgument(argc, argv);
  std::string name = dir + "/grid_bench_" + std::to_string(getpid()) + ".dbf";
  int qt_argc = 1;
  ui::TApplication app(qt_argc, argv);
  SetRaiseOnError(true);
  CenturyOn = false;
  SetDateType(5);

  bench::BuildMovieTable(name, records);
  {
    TOxDbf table("OxDbf1");
    Prepare(table, name);
    const auto start = Clock::now();
    table.Open();  // builds the production index
    std::printf("%d records; index TITLE built in %.1f s\n", table.GetRecordCount(),
                Seconds(start));
    table.Close();
  }
  for (const std::string& tag : {std::string(), std::string("TITLE")}) {
    double first_page_ms = 1e9;
    const Result best = bench::BestOf(3, [&] {
      const Result run = Run(name, tag);
      first_page_ms = std::min(first_page_ms, run.first_page_ms);
      return run;
    });
    const char* order = tag.empty() ? "natural order" : "tag TITLE";
    std::printf("%-14s first page after attaching the grid:  %8.1f ms   (target 100 ms)\n", order,
                first_page_ms);
    std::printf("%-14s Page Down/Up with repaint, %d pages: %8.0f pages/s  (target 60, %.1fx)\n",
                order, best.pages, best.pages_per_second, best.pages_per_second / 60);
  }
  for (int rows = 10000; rows <= 1000000; rows *= 10) {
    const double seconds = PlainGridJumps(rows);
    std::printf("plain grid     Ctrl+End, Ctrl+Home on %7d rows:   %8.3f ms\n", rows,
                seconds * 1000);
    if (seconds > 10) {
      std::printf("plain grid     larger row counts skipped\n");
      break;
    }
  }
  std::remove(name.c_str());
  std::remove((dir + "/grid_bench_" + std::to_string(getpid()) + ".mdx").c_str());
  return 0;
}
