// How an index build grows with the table: a character tag on LOWER(TITLE)
// and a numeric tag on YEAR built on 100,000, 1,000,000 and 10,000,000
// records beside SQLite's CREATE INDEX on lower(title) and on year of the
// same rows, in memory and in a database file, with the peak memory of each
// side and how each cost grows from 1M to 10M records.
//
// For every size up to `largest` it builds the table of bench_support.h
// (107-byte records, titles "Film number N"), then measures in child
// processes, so that each side's memory is its own:
//   - orvex, one child per tag: USE EXCLUSIVE, then MakeIndex of the one tag
//     (sort budget IndexSortBudget, 64 MiB by default) into a new file;
//   - sqlite in memory and sqlite on disk, one child each: the DBF rows
//     imported into the database (bench/sqlite_peer.h, not timed), then
//     CREATE INDEX on lower(title) and CREATE INDEX on year, each timed.
// The peak memory of a build is the resident high-water mark of its child
// from just before the build to its end (the mark is reset after the USE or
// the import through /proc/self/clear_refs; where that is refused, it covers
// the whole child, and the line says so). For SQLite in memory it includes
// the database itself. The CPU seconds show how much of a build's time is
// spent waiting (for the disk: both sides make their files durable).
//
// Prints one line per build, the ratios (SQLite's time / ours), and at the
// end the growth factor from 1M to 10M of every build (10 means linear).
//
// Usage: index_scale_bench [largest] [folder]   (defaults 10000000, $TMPDIR)
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <vector>

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

// One timed build as its child measured it.
struct Build {
  double seconds = -1;       // wall clock; -1 when it failed or was not run
  double cpu = -1;           // user + system seconds of the build
  double peak_mb = -1;       // resident high-water mark over the build
  bool whole_child = false;  // the mark could not be reset: it covers the child
};

// Resets the resident high-water mark of this process; false when the
// kernel refuses.
bool ResetPeak() {
  std::ofstream clear("/proc/self/clear_refs");
  clear << "5";
  clear.flush();
  return clear.good();
}

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  const auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

double Since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Times `build` (false on failure) in the calling process.
Build Measure(const std::function<bool()>& build) {
  Build b;
  b.whole_child = !ResetPeak();
  const double cpu = CpuSeconds();
  const auto start = std::chrono::steady_clock::now();
  const bool ok = build();
  b.seconds = ok ? Since(start) : -1;
  b.cpu = CpuSeconds() - cpu;
  b.peak_mb = bench::ProcessMemoryMb("VmHWM");
  return b;
}

// Runs `work` in a child process, which fills the builds it measured;
// answers them (with seconds -1 where the child failed).
std::vector<Build> InChild(std::size_t builds,
                           const std::function<void(std::vector<Build>*)>& work) {
  std::vector<Build> result(builds);
  int pipe_ends[2];
  if (pipe(pipe_ends) != 0) return result;
  std::fflush(stdout);
  const pid_t child = fork();
  if (child == 0) {
    close(pipe_ends[0]);
    work(&result);
    const auto bytes = static_cast<ssize_t>(builds * sizeof(Build));
    _exit(write(pipe_ends[1], result.data(), static_cast<std::size_t>(bytes)) == bytes ? 0 : 1);
  }
  close(pipe_ends[1]);
  std::vector<Build> got(builds);
  const auto bytes = static_cast<ssize_t>(builds * sizeof(Build));
  const bool read_all =
      child > 0 && read(pipe_ends[0], got.data(), static_cast<std::size_t>(bytes)) == bytes;
  close(pipe_ends[0]);
  int status = 0;
  if (child > 0 && waitpid(child, &status, 0) == child && read_all && WIFEXITED(status) &&
      WEXITSTATUS(status) == 0) {
    result = got;
  }
  return result;
}

struct Tag {
  const char* name;  // ours
  const char* expr;  // ours
  const char* sql;   // SQLite's indexed expression
  const char* what;  // for the lines printed
};
const Tag kTags[] = {{"TITLE", "LOWER(TITLE)", "lower(title)", "C tag LOWER(TITLE)"},
                     {"YEAR", "YEAR", "year", "N tag YEAR"}};
constexpr std::size_t kTagCount = sizeof kTags / sizeof kTags[0];

enum Side { kOrvex, kSqliteMemory, kSqliteDisk, kSides };
const char* const kSideNames[kSides] = {"orvex MakeIndex", "sqlite in memory", "sqlite on disk"};

void PrintBuild(const char* side, const Build& b, int records) {
  if (b.seconds < 0) {
    std::printf("    %-18s %s\n", side, "missing or failed");
    return;
  }
  std::printf("    %-18s %8.2f s %10.0f rec/s  cpu %7.2f s  peak %7.1f MB%s\n", side, b.seconds,
              records / b.seconds, b.cpu, b.peak_mb, b.whole_child ? " (whole child)" : "");
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
  // results[records][tag][side]
  std::map<int, std::vector<std::vector<Build>>> results;
  bool ok = true;
  for (int records : {100000, 1000000, 10000000}) {
    if (records > largest) break;
    const std::string table = stem + ".dbf";
    const auto start = std::chrono::steady_clock::now();
    bench::BuildMovieTable(table, records);
    std::printf("%d records: table written in %.1f s\n", records, Since(start));
    auto& r = results[records];
    r.assign(kTagCount, std::vector<Build>(kSides));
    for (std::size_t t = 0; t < kTagCount; ++t) {
      // Each tag into a new file, as SQLite's CREATE INDEX adds to its
      // database: replacing the index file the tag before made would add
      // the removal of that file to this build's time.
      std::remove((stem + ".mdx").c_str());
      r[t][kOrvex] = InChild(1, [&](std::vector<Build>* out) {
        USE(table + " EXCLUSIVE");
        (*out)[0] = Measure([&] {
          return MakeIndex({TagDefinition{kTags[t].name, kTags[t].expr, "", false, false}}, "");
        });
        USE("");
      })[0];
    }
    if (bench::SqlitePeer::Available()) {
      for (Side side : {kSqliteMemory, kSqliteDisk}) {
        const auto builds = InChild(kTagCount, [&](std::vector<Build>* out) {
          bench::SqlitePeer peer(side == kSqliteDisk ? stem + ".sqlite" : "");
          peer.ImportDbf(table, "movies");
          for (std::size_t t = 0; t < kTagCount; ++t) {
            (*out)[t] = Measure([&] {
              peer.Exec(std::string("CREATE INDEX by_") + kTags[t].name + " ON movies(" +
                        kTags[t].sql + ")");
              return true;
            });
          }
        });
        for (std::size_t t = 0; t < kTagCount; ++t) r[t][side] = builds[t];
      }
    }
    for (std::size_t t = 0; t < kTagCount; ++t) {
      std::printf("  %s\n", kTags[t].what);
      for (int side = 0; side < kSides; ++side) PrintBuild(kSideNames[side], r[t][side], records);
      const Build& ours = r[t][kOrvex];
      ok = ok && ours.seconds > 0;
      const std::string what =
          std::string(kTags[t].what) + ", " + std::to_string(records) + " records";
      for (Side side : {kSqliteMemory, kSqliteDisk}) {
        bench::ReportPeer(
            "index build " + what + " (target 2)", ours.seconds,
            std::string("sqlite CREATE INDEX ") + (side == kSqliteMemory ? "in memory" : "on disk"),
            r[t][side].seconds, "s", bench::Better::kLower);
      }
      if (r[t][kSqliteMemory].cpu > 0 && r[t][kSqliteDisk].cpu > 0 && ours.cpu > 0) {
        std::printf("  CPU seconds, sqlite / orvex: %.2f in memory, %.2f on disk\n",
                    r[t][kSqliteMemory].cpu / ours.cpu, r[t][kSqliteDisk].cpu / ours.cpu);
      }
      bench::ReportPeer("index build peak memory " + what + " (target 1)", ours.peak_mb,
                        "sort budget + 64 MB", budget_mb + 64, "MB", bench::Better::kLower);
    }
    for (const char* ext : {".dbf", ".mdx"}) std::remove((stem + ext).c_str());
  }
  if (results.count(1000000) != 0 && results.count(10000000) != 0) {
    std::printf(
        "growth from 1,000,000 to 10,000,000 records (time at 10M / time at 1M; 10 is "
        "linear)\n");
    for (std::size_t t = 0; t < kTagCount; ++t) {
      for (int side = 0; side < kSides; ++side) {
        const Build& small = results[1000000][t][side];
        const Build& large = results[10000000][t][side];
        if (small.seconds <= 0 || large.seconds <= 0) continue;
        std::printf("  %-20s %-18s %6.2f x  cpu %6.2f x  (peak memory %.1f -> %.1f MB)\n",
                    kTags[t].what, kSideNames[side], large.seconds / small.seconds,
                    large.cpu / small.cpu, small.peak_mb, large.peak_mb);
      }
    }
  }
  return ok ? 0 : 1;
}
