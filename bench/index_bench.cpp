// The index engine beside SQLite on the same data, in the same run.
//
// Builds a 1,000,000-record table of the movie fields (title C(30), year
// N(4), color L, runtime N(3), stars C(50), director C(35), plot M,
// premiere D) and the same rows in an in-memory SQLite database, then
// measures:
//   - building a tag on LOWER(TITLE) (MakeIndex, default sort budget) against
//     SQLite's CREATE INDEX on lower(title), and rebuilding it (Reindex);
//   - walking the table in that order reading every field (GoTop / SKIP(1))
//     against SELECT * ... ORDER BY lower(title), every column read;
//   - 10,000 random Find calls (every field of the record found read)
//     against indexed point lookups SELECT * ... WHERE lower(title) = ?.
// and prints the times, the rates and the ratios (ours against SQLite's).
//
// Usage: index_bench [records] [folder]   (defaults 1000000, $TMPDIR)
#include <sqlite3.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "bench/movie_table.h"
#include "common/errors.h"
#include "dates/date_settings.h"
#include "engine/dbf_file.h"
#include "engine/navigation.h"
#include "engine/record_io.h"
#include "engine/record_pack.h"
#include "engine/tables.h"
#include "engine/work_area.h"
#include "index/index_build.h"
#include "index/index_open.h"
#include "index/index_search.h"

namespace {

using namespace orvex;
using bench::Check;
using bench::Movie;
using bench::BuildSqlite;
using bench::BuildTable;
using bench::MakeMovies;
using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// Reads every column of the current row; the sum keeps the reads.
std::size_t ReadRow(sqlite3_stmt* s) {
  std::size_t sum = 0;
  for (int c = 0; c < 8; ++c) {
    switch (sqlite3_column_type(s, c)) {
      case SQLITE_INTEGER: sum += static_cast<std::size_t>(sqlite3_column_int(s, c)); break;
      case SQLITE_FLOAT: sum += static_cast<std::size_t>(sqlite3_column_double(s, c)); break;
      default: sum += static_cast<std::size_t>(sqlite3_column_bytes(s, c)); sqlite3_column_text(s, c); break;
    }
  }
  return sum;
}

// Reads every field of the current record from the unpacked buffer.
std::size_t ReadRecord() {
  std::size_t sum = 0;
  for (int n = 1; n <= 8; ++n) {
    const std::uint8_t* p = FieldAddress(n);
    switch (FieldType(n)) {
      case 'C':
      case 'D': sum += p[0]; break;
      case 'L': sum += p[0]; break;
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

void Report(const char* what, double ours, double theirs, const char* unit, double per) {
  std::printf("%-34s %9.3f s %12.0f %s/s   sqlite %9.3f s %12.0f %s/s   ratio %.2f\n", what, ours, per / ours, unit,
              theirs, per / theirs, unit, theirs / ours);
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
  sqlite3* db = BuildSqlite(movies);

  // Build: best of three each.
  USE(name + " EXCLUSIVE");
  double build = bench::BestOf(3, [&] {
    auto t = Clock::now();
    if (!MakeIndex({TagDefinition{"TITLE", "LOWER(TITLE)", "", false, false}}, "")) std::exit(1);
    return -Seconds(t);
  });
  double sqlite_build = bench::BestOf(3, [&] {
    sqlite3_exec(db, "DROP INDEX IF EXISTS by_title", nullptr, nullptr, nullptr);
    auto t = Clock::now();
    Check(sqlite3_exec(db, "CREATE INDEX by_title ON movies(lower(title))", nullptr, nullptr, nullptr), db);
    return -Seconds(t);
  });

  // Rebuild of the open index (the same tag again, through Reindex).
  SetIndexTo("");
  double rebuild = bench::BestOf(3, [&] {
    auto t = Clock::now();
    Reindex();
    if (DbfErrorNo != 0) std::exit(1);
    return -Seconds(t);
  });

  // Walk in key order, every field read.
  SetIndexTo("");
  SetOrderToTag("TITLE");
  std::size_t sum = 0;
  std::int64_t walked = 0;
  double walk = bench::BestOf(3, [&] {
    auto t = Clock::now();
    walked = 0;
    GoTop();
    while (!dEOF()) {
      sum += ReadRecord();
      ++walked;
      SKIP(1);
    }
    return -Seconds(t);
  });
  sqlite3_stmt* ordered = nullptr;
  Check(sqlite3_prepare_v2(db, "SELECT * FROM movies ORDER BY lower(title)", -1, &ordered, nullptr), db);
  std::int64_t sqlite_walked = 0;
  double sqlite_walk = bench::BestOf(3, [&] {
    auto t = Clock::now();
    sqlite_walked = 0;
    while (sqlite3_step(ordered) == SQLITE_ROW) {
      sum += ReadRow(ordered);
      ++sqlite_walked;
    }
    sqlite3_reset(ordered);
    return -Seconds(t);
  });

  // Random point lookups.
  const int lookups = 10000;
  std::mt19937 random(7);
  std::vector<const Movie*> wanted;
  for (int i = 0; i < lookups; ++i) wanted.push_back(&movies[random() % movies.size()]);
  int found = 0;
  double finds = bench::BestOf(3, [&] {
    auto t = Clock::now();
    found = 0;
    for (const Movie* m : wanted) {
      if (Find(m->title)) {
        ++found;
        sum += ReadRecord();
      }
    }
    return -Seconds(t);
  });
  sqlite3_stmt* point = nullptr;
  Check(sqlite3_prepare_v2(db, "SELECT * FROM movies WHERE lower(title) = lower(?)", -1, &point, nullptr), db);
  int sqlite_found = 0;
  double sqlite_finds = bench::BestOf(3, [&] {
    auto t = Clock::now();
    sqlite_found = 0;
    for (const Movie* m : wanted) {
      sqlite3_bind_text(point, 1, m->title.c_str(), -1, SQLITE_STATIC);
      if (sqlite3_step(point) == SQLITE_ROW) {
        ++sqlite_found;
        sum += ReadRow(point);
      }
      sqlite3_reset(point);
    }
    return -Seconds(t);
  });

  std::printf("\n%-34s %11s %19s   %16s %19s   %s\n", "", "orvex", "", "", "", "sqlite time / orvex time");
  Report("build tag on LOWER(TITLE)", -build, -sqlite_build, "rec", records);
  std::printf("%-34s %9.3f s %12.0f rec/s\n", "rebuild the index (Reindex)", -rebuild, records / -rebuild);
  Report("walk in key order, every field", -walk, -sqlite_walk, "rec", static_cast<double>(walked));
  Report("10,000 random Find", -finds, -sqlite_finds, "find", lookups);
  std::printf("\nwalked %lld / %lld records, found %d / %d (checksum %zu)\n", static_cast<long long>(walked),
              static_cast<long long>(sqlite_walked), found, sqlite_found, sum);
  sqlite3_finalize(ordered);
  sqlite3_finalize(point);
  sqlite3_close(db);
  USE("");
  std::remove(name.c_str());
  std::remove((name.substr(0, name.size() - 3) + "dbt").c_str());
  std::remove((name.substr(0, name.size() - 3) + "mdx").c_str());
  bool ok = walked == records && sqlite_walked == records && found == lookups && sqlite_found == lookups;
  if (!ok) std::printf("MISMATCH\n");
  return ok ? 0 : 1;
}
