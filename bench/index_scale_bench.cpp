// How an index build grows with the table: the tag LOWER(TITLE) built on
// 100,000, 1,000,000 and 10,000,000 records beside SQLite's CREATE INDEX on
// lower(title) of the same rows in a database file, with the peak memory
// of each.
//
// For every size up to `largest` it builds the table of bench_support.h
// (107-byte records, titles "Film number N"), then runs in a child process
// each (so that the peak resident memory, ru_maxrss, is that side's alone):
//   - orvex: USE EXCLUSIVE and MakeIndex of the one tag (sort budget
//     IndexSortBudget, 64 MiB by default);
//   - sqlite: the DBF rows imported record by record into a database file
//     (bench/sqlite_peer.h), then CREATE INDEX timed; the peak memory
//     covers the import too (SQLite's page cache of 2 MiB by default).
// Prints the seconds, records per second, the peak memory and the ratios;
// the peak of our build should stay within the sort budget plus 64 MB.
//
// Usage: index_scale_bench [largest] [folder]   (defaults 10000000, $TMPDIR)
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

#include "bench/bench_support.h"
#include "bench/peer_report.h"
#include "bench/sqlite_peer.h"
#include "common/errors.h"
#include "dates/date_settings.h"
#include "engine/tables.h"
#include "index/build_sort.h"
#include "index/index_build.h"

namespace {

using namespace orvex;

struct ChildRun {
  double seconds = -1;  // what the child measured; -1 when it failed
  double peak_mb = -1;  // its peak resident memory
};

// Runs `work` (which answers seconds, negative on failure) in a child
// process and answers its result and the child's peak memory.
ChildRun InChild(const std::function<double()>& work) {
  int pipe_ends[2];
  if (pipe(pipe_ends) != 0) return {};
  std::fflush(stdout);
  const pid_t child = fork();
  if (child == 0) {
    close(pipe_ends[0]);
    const double seconds = work();
    const bool written = write(pipe_ends[1], &seconds, sizeof seconds) == sizeof seconds;
    _exit(written ? 0 : 1);
  }
  close(pipe_ends[1]);
  ChildRun run;
  double seconds = -1;
  const bool got = child > 0 && read(pipe_ends[0], &seconds, sizeof seconds) == sizeof seconds;
  close(pipe_ends[0]);
  int status = 0;
  rusage usage{};
  if (child > 0 && wait4(child, &status, 0, &usage) == child && got && WIFEXITED(status) &&
      WEXITSTATUS(status) == 0) {
    run.seconds = seconds;
    run.peak_mb = static_cast<double>(usage.ru_maxrss) / 1024.0;  // kilobytes on Linux
  }
  return run;
}

double Since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  const int largest = bench::CountArgument(argc, argv, 10000000);
  const std::string dir = bench::FolderArgument(argc, argv);
  const std::string stem = dir + "/index_scale_bench_" + std::to_string(getpid());
  SetRaiseOnError(true);
  CenturyOn = false;
  SetDateType(5);
  const double budget_mb = static_cast<double>(IndexSortBudget) / (1024.0 * 1024.0);
  bool ok = true;
  for (int records : {100000, 1000000, 10000000}) {
    if (records > largest) break;
    const std::string table = stem + ".dbf";
    const auto start = std::chrono::steady_clock::now();
    bench::BuildMovieTable(table, records);
    std::printf("%d records: table written in %.1f s\n", records, Since(start));
    const ChildRun ours = InChild([&] {
      USE(table + " EXCLUSIVE");
      const auto t = std::chrono::steady_clock::now();
      const bool built = MakeIndex({TagDefinition{"TITLE", "LOWER(TITLE)", "", false, false}}, "");
      const double seconds = Since(t);
      USE("");
      return built ? seconds : -1;
    });
    ChildRun theirs;
    if (bench::SqlitePeer::Available()) {
      theirs = InChild([&] {
        bench::SqlitePeer disk(stem + ".sqlite");
        disk.ImportDbf(table, "movies");
        return disk.Time("CREATE INDEX by_title ON movies(lower(title))");
      });
    }
    std::printf(
        "  orvex MakeIndex        %8.2f s %10.0f rec/s  peak %7.1f MB (budget %.0f MB + 64 MB)\n",
        ours.seconds, records / ours.seconds, ours.peak_mb, budget_mb);
    if (theirs.seconds > 0) {
      std::printf(
          "  sqlite CREATE INDEX    %8.2f s %10.0f rec/s  peak %7.1f MB (with the import)\n",
          theirs.seconds, records / theirs.seconds, theirs.peak_mb);
    }
    const std::string size = std::to_string(records) + " records";
    bench::ReportPeer("index build, " + size + " (target 2)", records / ours.seconds,
                      "sqlite CREATE INDEX on disk",
                      theirs.seconds > 0 ? records / theirs.seconds : -1, "rec/s");
    bench::ReportPeer("index build peak memory, " + size + " (target 1)", ours.peak_mb,
                      "sort budget + 64 MB", budget_mb + 64, "MB", bench::Better::kLower);
    ok = ok && ours.seconds > 0;
    for (const char* ext : {".dbf", ".mdx"}) std::remove((stem + ext).c_str());
  }
  return ok ? 0 : 1;
}
