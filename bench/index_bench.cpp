// The index engine beside SQLite on the same data, in the same run.
//
// Builds a 1,000,000-record table of the movie fields (title C(30), year
// N(4), color L, runtime N(3), stars C(50), director C(35), plot M,
// premiere D) and the same rows in SQLite databases in memory and on disk
// (bench/sqlite_peer.h), then measures:
//   - building a tag on LOWER(TITLE) (MakeIndex, default sort budget) against
//     SQLite's CREATE INDEX on lower(title), and rebuilding it (Reindex);
//   - building a numeric tag on YEAR and a date tag on PREMIERE against
//     SQLite's CREATE INDEX on year and on premiere;
//   - walking the table in that order reading every field (GoTop / SKIP(1))
//     against SELECT * ... ORDER BY lower(title), every column read;
//   - 10,000 random Find calls (every field of the record found read)
//     against indexed point lookups SELECT * ... WHERE lower(title) = ?;
// the walk and the finds each cold (the first run after the table is
// opened again; SQLite's first run on a fresh connection to its database on
// disk) and warm (the best of three runs after it), and once more from the
// medium (first runs with the files dropped from the system's cache, the
// walk over its first 100,000 records); and prints the times, the rates and
// the ratios: ours warm against SQLite's warm in memory and on disk, ours
// cold against SQLite's cold on disk.
//
// Usage: index_bench [records] [folder]   (defaults 1000000, $TMPDIR)
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "bench/bench_support.h"
#include "bench/movie_table.h"
#include "bench/peer_report.h"
#include "bench/sqlite_peer.h"
#include "common/errors.h"
#include "dates/date_settings.h"
#include "engine/dbf_file.h"
#include "engine/navigation.h"
#include "engine/record_cache.h"
#include "engine/record_io.h"
#include "engine/record_pack.h"
#include "engine/tables.h"
#include "engine/work_area.h"
#include "index/index_build.h"
#include "index/index_open.h"
#include "index/index_search.h"
#include "index/node_cache.h"

namespace {

using namespace orvex;
using bench::BuildTable;
using bench::MakeMovies;
using bench::Movie;
using bench::SqlitePeer;
using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// Reads every field of the current record from the unpacked buffer.
std::size_t ReadRecord() {
  std::size_t sum = 0;
  for (int n = 1; n <= 8; ++n) {
    const std::uint8_t* p = FieldAddress(n);
    switch (FieldType(n)) {
      case 'C':
      case 'D':
        sum += p[0];
        break;
      case 'L':
        sum += p[0];
        break;
      default: {
        if (FieldDec(n) > 0) {
          sum += static_cast<std::size_t>(RealToDouble(p));
        } else {
          std::int32_t v;
          std::memcpy(&v, p, 4);
          sum += static_cast<std::size_t>(v);
        }
      }
    }
  }
  return sum;
}

// Our seconds beside SQLite's in memory and on disk, as rates of `per`
// units; `memory` negative for a cold run, which only the database on disk
// has.
void Report(const char* what, double ours, double memory, double disk, const char* unit,
            double per) {
  // A database in memory has no cold run: its column stays empty.
  char in_memory[32] = "          -";
  if (memory >= 0) std::snprintf(in_memory, sizeof in_memory, "%9.3f s", memory);
  std::printf("%-34s %9.3f s %12.0f %s/s   sqlite %s (memory) %9.3f s (disk)\n", what, ours,
              per / ours, unit, in_memory, disk);
  const std::string rate = std::string(unit) + "/s";
  if (memory >= 0 || disk < 0) {
    bench::ReportPeer(what, per / ours, "sqlite in memory", memory < 0 ? -1 : per / memory,
                      rate.c_str());
  }
  bench::ReportPeer(what, per / ours, "sqlite on disk", disk < 0 ? -1 : per / disk, rate.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  const int records = bench::CountArgument(argc, argv, 1000000);
  const std::string dir = bench::FolderArgument(argc, argv);
  const std::string name = dir + "/index_bench_" + std::to_string(getpid()) + ".dbf";
  SetRaiseOnError(true);
  CenturyOn = false;
  SetDateType(0);  // MM/DD/YY

  std::vector<Movie> movies = MakeMovies(records);
  auto start = Clock::now();
  BuildTable(name, movies);
  std::printf("table: %d records built in %.1f s\n", records, Seconds(start));
  SqlitePeer memory, disk(name + ".sqlite");
  for (SqlitePeer* peer : {&memory, &disk}) peer->InsertMovies(movies, 0, false);

  // Build: best of three each.
  USE(name + " EXCLUSIVE");
  double build = bench::BestOf(3, [&] {
    auto t = Clock::now();
    if (!MakeIndex({TagDefinition{"TITLE", "LOWER(TITLE)", "", false, false}}, "")) std::exit(1);
    return -Seconds(t);
  });
  const auto sqlite_build = [](SqlitePeer& peer) {
    return bench::BestOf(3, [&] {
      peer.Exec("DROP INDEX IF EXISTS by_title");
      return -peer.Time("CREATE INDEX by_title ON movies(lower(title))");
    });
  };
  const double memory_build = sqlite_build(memory), disk_build = sqlite_build(disk);

  // Numeric and date keys: a tag on YEAR (N) and on PREMIERE (D), each
  // built alone into a fresh file, best of three.
  auto build_alone = [&](const char* tag, const char* expr, const char* sqlite_index) {
    const double ours = -bench::BestOf(3, [&] {
      auto t = Clock::now();
      if (!MakeIndex({TagDefinition{tag, expr, "", false, false}}, "")) std::exit(1);
      return -Seconds(t);
    });
    const auto theirs = [&](SqlitePeer& peer) {
      return -bench::BestOf(3, [&] {
        peer.Exec("DROP INDEX IF EXISTS by_other");
        return -peer.Time(std::string("CREATE INDEX by_other ON movies(") + sqlite_index + ")");
      });
    };
    return std::array<double, 3>{ours, theirs(memory), theirs(disk)};
  };
  const auto year_build = build_alone("YEAR", "YEAR", "year");
  const auto date_build = build_alone("PREMIERE", "PREMIERE", "premiere");
  // The TITLE tag again, for the rebuild and the walk.
  if (!MakeIndex({TagDefinition{"TITLE", "LOWER(TITLE)", "", false, false}}, "")) std::exit(1);

  // Rebuild of the open index (the same tag again, through Reindex).
  SetIndexTo("");
  double rebuild = bench::BestOf(3, [&] {
    auto t = Clock::now();
    Reindex();
    if (DbfErrorNo != 0) std::exit(1);
    return -Seconds(t);
  });

  // Cold: the first run after the table and its index are opened again
  // (nothing of them held in the program, the system's file cache warm);
  // warm: the best of three runs after it.
  const auto cold_then_warm = [&](const auto& run) {
    USE(name + " EXCLUSIVE");
    SetIndexTo("");
    SetOrderToTag("TITLE");
    const double cold = run();
    return std::array<double, 2>{cold, bench::BestOf(3, run)};
  };
  // SQLite's side the same way: cold is the first run on a fresh connection
  // to the database on disk (the system's file cache as warm as ours),
  // warm the best of three after it. A database in memory has no cold run.
  const auto sqlite_cold_then_warm = [](SqlitePeer& peer, const auto& run) {
    peer.Reopen();
    const double cold = run();
    return std::array<double, 2>{cold, bench::BestOf(3, run)};
  };

  // Random point lookups, before the walks: each side's first run meets
  // the system's cache as that side's builds left it, not as the other
  // side's walks (passes over its own file) left it.
  std::size_t sum = 0;
  const int lookups = 10000;
  std::mt19937 random(7);
  std::vector<const Movie*> wanted;
  for (int i = 0; i < lookups; ++i) wanted.push_back(&movies[random() % movies.size()]);
  int found = 0;
  const auto find_all = [&] {
    auto t = Clock::now();
    found = 0;
    for (const Movie* m : wanted) {
      if (Find(m->title)) {
        ++found;
        sum += ReadRecord();
      }
    }
    return -Seconds(t);
  };
  const auto finds = cold_then_warm(find_all);
  std::vector<std::string> keys;
  for (const Movie* m : wanted) keys.push_back(m->title);
  int sqlite_found = 0;
  long sqlite_sum = 0;
  const auto sqlite_finds = [&](SqlitePeer& peer) {
    return sqlite_cold_then_warm(peer, [&] {
      return -peer.Lookups("SELECT * FROM movies WHERE lower(title) = lower(?)", keys,
                           SqlitePeer::Columns::kNative, &sqlite_found, &sqlite_sum);
    });
  };
  const auto memory_finds = sqlite_finds(memory), disk_finds = sqlite_finds(disk);

  // Walk in key order, every field read. The resident memory it adds is
  // what the record and node caches hold (their budgets bound it).
  const double resident_before_walks = bench::ProcessMemoryMb("VmRSS");
  // The first `limit` records in key order; negative seconds.
  const auto walk_keys = [&](std::int64_t limit, std::int64_t* count) {
    auto t = Clock::now();
    *count = 0;
    GoTop();
    while (!dEOF() && *count < limit) {
      sum += ReadRecord();
      ++*count;
      SKIP(1);
    }
    return -Seconds(t);
  };
  std::int64_t walked = 0;
  const auto walk = cold_then_warm([&] { return walk_keys(records, &walked); });
  const double resident_after_walks = bench::ProcessMemoryMb("VmRSS");
  long sqlite_walked = 0;
  // Negative seconds like the others (1 without SQLite).
  const auto sqlite_walk = [&](SqlitePeer& peer) {
    return sqlite_cold_then_warm(peer, [&] {
      const double rate = peer.StepAll("SELECT * FROM movies ORDER BY lower(title)",
                                       SqlitePeer::Columns::kNative, &sqlite_walked, &sqlite_sum);
      return rate < 0 ? 1.0 : -static_cast<double>(sqlite_walked) / rate;
    });
  };
  const auto memory_walk = sqlite_walk(memory), disk_walk = sqlite_walk(disk);

  // From the medium: a first run as cold, with the files also dropped from
  // the system's cache on both sides, as for a program started after other
  // work took the machine's memory. The walk covers its first 100,000
  // records: the whole of a large table would wait on the medium for nearly
  // every record on either side.
  const std::int64_t medium_limit = std::min(records, 100000);
  const auto from_medium = [&](const auto& run) {
    USE(name + " EXCLUSIVE");
    SetIndexTo("");
    SetOrderToTag("TITLE");
    bench::DropFromSystemCache(name);
    bench::DropFromSystemCache(name.substr(0, name.size() - 3) + "mdx");
    return run();
  };
  const auto sqlite_from_medium = [&](const auto& run) {
    disk.Reopen();
    bench::DropFromSystemCache(name + ".sqlite");
    return run();
  };
  std::int64_t medium_walked = 0;
  const double medium_walk = from_medium([&] { return walk_keys(medium_limit, &medium_walked); });
  long sqlite_medium_walked = 0;
  const double sqlite_medium_walk = sqlite_from_medium([&] {
    const double rate = disk.StepAll(
        "SELECT * FROM movies ORDER BY lower(title) LIMIT " + std::to_string(medium_limit),
        SqlitePeer::Columns::kNative, &sqlite_medium_walked, &sqlite_sum);
    return rate < 0 ? 1.0 : -static_cast<double>(sqlite_medium_walked) / rate;
  });
  const double medium_finds = from_medium(find_all);
  const double sqlite_medium_finds = sqlite_from_medium([&] {
    return -disk.Lookups("SELECT * FROM movies WHERE lower(title) = lower(?)", keys,
                         SqlitePeer::Columns::kNative, &sqlite_found, &sqlite_sum);
  });

  std::printf("\n%-34s %11s %19s   %16s %19s   %s\n", "", "orvex", "", "", "",
              "sqlite time / orvex time");
  Report("build tag on LOWER(TITLE)", -build, -memory_build, -disk_build, "rec", records);
  Report("build tag on YEAR (N)", year_build[0], year_build[1], year_build[2], "rec", records);
  Report("build tag on PREMIERE (D)", date_build[0], date_build[1], date_build[2], "rec", records);
  std::printf("%-34s %9.3f s %12.0f rec/s\n", "rebuild the index (Reindex)", -rebuild,
              records / -rebuild);
  Report("walk in key order, every field", -walk[1], -memory_walk[1], -disk_walk[1], "rec",
         static_cast<double>(walked));
  Report("  the same, cold", -walk[0], -1, -disk_walk[0], "rec", static_cast<double>(walked));
  Report("10,000 random Find", -finds[1], -memory_finds[1], -disk_finds[1], "find", lookups);
  Report("  the same, cold", -finds[0], -1, -disk_finds[0], "find", lookups);
  Report("walk, first 100,000, from medium", -medium_walk, -1, -sqlite_medium_walk, "rec",
         static_cast<double>(medium_walked));
  Report("10,000 random Find, from medium", -medium_finds, -1, -sqlite_medium_finds, "find",
         lookups);
  std::printf(
      "\nresident memory added by the key-order walks: %.1f MB (record cache budget "
      "%.0f MB, index node budget %.0f MB)\n",
      resident_after_walks - resident_before_walks, RecordCacheBudget / 1048576.0,
      IndexNodeBudget / 1048576.0);
  std::printf("\nwalked %lld / %ld records, found %d / %d (checksum %zu %ld)\n",
              static_cast<long long>(walked), sqlite_walked, found, sqlite_found, sum, sqlite_sum);
  USE("");
  std::remove(name.c_str());
  std::remove((name.substr(0, name.size() - 3) + "dbt").c_str());
  std::remove((name.substr(0, name.size() - 3) + "mdx").c_str());
  const bool peer_ok =
      !SqlitePeer::Available() || (sqlite_walked == records && sqlite_found == lookups);
  const bool ok = walked == records && medium_walked == medium_limit && found == lookups && peer_ok;
  if (!ok) std::printf("MISMATCH\n");
  return ok ? 0 : 1;
}
