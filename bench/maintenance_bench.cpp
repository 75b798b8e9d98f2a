// Key maintenance beside its alternatives, in the same run:
//   - appending the movie rows to a table whose production index has four
//     tags (TITLE on LOWER(TITLE), YEAR, RUNTIME, STARS on LOWER(STARS)), every key inserted
//     as the record is appended (with the read and write system calls per
//     append, from /proc/self/io), against appending them to a table without
//     index and building the same four tags once at the end (MakeIndex);
//   - changing the title (the key of the TITLE tag) of 10,000 random
//     records with Replace, against SQLite's UPDATE of an indexed column of
//     the same rows (in-memory database, index on lower(title)).
// Prints the times, the rates and the ratios.
//
// Usage: maintenance_bench [records] [folder]   (defaults 100000, $TMPDIR)
#include <sqlite3.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "bench/bench_support.h"
#include "bench/movie_table.h"
#include "common/errors.h"
#include "dates/date_settings.h"
#include "engine/navigation.h"
#include "engine/record_io.h"
#include "engine/tables.h"
#include "index/index_build.h"
#include "index/index_open.h"

namespace {

using namespace orvex;
using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// The read and write system calls of this process so far (syscr, syscw of
// /proc/self/io; both -1 where the system does not tell).
std::pair<long long, long long> SystemCalls() {
  long long reads = -1, writes = -1;
  if (std::FILE* f = std::fopen("/proc/self/io", "r")) {
    char line[128];
    while (std::fgets(line, sizeof line, f) != nullptr) {
      std::sscanf(line, "syscr: %lld", &reads);
      std::sscanf(line, "syscw: %lld", &writes);
    }
    std::fclose(f);
  }
  return {reads, writes};
}

void Remove(const std::string& table) {
  std::remove(table.c_str());
  std::remove((table.substr(0, table.size() - 3) + "mdx").c_str());
  std::remove((table.substr(0, table.size() - 3) + "dbt").c_str());
}

}  // namespace

int main(int argc, char** argv) {
  const int records = bench::CountArgument(argc, argv, 100000);
  const std::string dir = bench::FolderArgument(argc, argv);
  const std::string stem = dir + "/maintenance_bench_" + std::to_string(getpid());
  const std::string kept = stem + "_kept.dbf", built = stem + "_built.dbf";
  SetRaiseOnError(true);
  CenturyOn = false;
  SetDateType(0);  // MM/DD/YY
  std::vector<bench::Movie> movies = bench::MakeMovies(records);

  // Appends with every key inserted as it comes.
  bench::CreateMovieTable(kept);
  if (!MakeIndex(bench::kMovieTags, "")) return 1;
  SetIndexTo("");
  const auto calls_before = SystemCalls();
  auto start = Clock::now();
  for (const bench::Movie& m : movies) bench::AppendMovie(m);
  const double maintained = Seconds(start);
  const auto calls_after = SystemCalls();
  USE("");

  // Appends without index, then one build.
  start = Clock::now();
  bench::CreateMovieTable(built);
  for (const bench::Movie& m : movies) bench::AppendMovie(m);
  if (!MakeIndex(bench::kMovieTags, "")) return 1;
  USE("");
  const double rebuilt = Seconds(start);
  std::printf("append %d records, 4 tags kept    %8.3f s %10.0f records/s\n", records, maintained,
              records / maintained);
  std::printf("  per append: %.2f read calls, %.2f write calls\n",
              static_cast<double>(calls_after.first - calls_before.first) / records,
              static_cast<double>(calls_after.second - calls_before.second) / records);
  std::printf("append without index + MakeIndex  %8.3f s %10.0f records/s   ratio %.2f\n", rebuilt,
              records / rebuilt, rebuilt / maintained);

  // Key edits: new titles for random records.
  const int edits = 10000;
  std::mt19937 random(9);
  std::vector<std::pair<int, std::string>> changes;
  for (int i = 0; i < edits; ++i) {
    changes.emplace_back(1 + static_cast<int>(random() % static_cast<unsigned>(records)),
                         "Neu " + std::to_string(random() % 1000000));
  }
  USE(kept + " EXCLUSIVE");
  SetIndexTo("");
  start = Clock::now();
  for (const auto& [record, title] : changes) {
    GO(record);
    bench::SetText(1, title);
    Replace();
  }
  const double ours = Seconds(start);
  USE("");

  sqlite3* db = bench::BuildSqlite(movies);
  bench::Check(
      sqlite3_exec(db, "CREATE INDEX by_title ON movies(lower(title))", nullptr, nullptr, nullptr),
      db);
  sqlite3_stmt* update = nullptr;
  bench::Check(
      sqlite3_prepare_v2(db, "UPDATE movies SET title = ? WHERE rowid = ?", -1, &update, nullptr),
      db);
  start = Clock::now();
  for (const auto& [record, title] : changes) {
    sqlite3_bind_text(update, 1, title.c_str(), -1, SQLITE_STATIC);
    sqlite3_bind_int(update, 2, record);
    bench::Check(sqlite3_step(update), db);
    sqlite3_reset(update);
  }
  const double theirs = Seconds(start);
  sqlite3_finalize(update);
  sqlite3_close(db);
  std::printf("%d key edits (Replace)           %8.3f s %10.0f edits/s\n", edits, ours,
              edits / ours);
  std::printf("sqlite UPDATE of an indexed column %8.3f s %10.0f edits/s   ratio %.2f\n", theirs,
              edits / theirs, theirs / ours);
  Remove(kept);
  Remove(built);
  return 0;
}
