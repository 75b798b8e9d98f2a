// Key maintenance beside its alternatives, in the same run:
//   - appending the movie rows to a table whose production index has four
//     tags (TITLE on LOWER(TITLE), YEAR, RUNTIME, STARS on LOWER(STARS)), every
//     key inserted as the record is appended, each append a unit of its own
//     and all appends in one transaction (with the read and write system
//     calls per append, from /proc/self/io), against appending them to a
//     table without index and building the same four tags once at the end
//     (MakeIndex; only when the table starts empty);
//   - the same rows inserted into SQLite tables with the four indexes, in
//     memory and on disk, in one transaction and in one transaction per row
//     (on disk per row: 5,000 rows, every commit synced; each database takes
//     the per-row inserts after those in one transaction);
//   - changing the title (the key of the TITLE tag) of 10,000 random
//     records with Replace, one by one and in one transaction (with the
//     read and write system calls per edit), against SQLite's UPDATE of an
//     indexed column of the same rows in one transaction (in memory, index
//     on lower(title); and on disk, in the database that took the inserts
//     with its four indexes).
// Both sides start from a table that already holds `base` rows with the
// four indexes (0: empty).
// Prints the times, the rates and the ratios.
//
// Usage: maintenance_bench [records] [folder] [base] [keep]
//   (defaults 100000, $TMPDIR, 0). With `keep` the starting table (the first
//   `base` movie rows, always the same) stays in the folder as
//   maintenance_bench_start_<base>.dbf and a later run with `keep` starts
//   from it instead of building it again (minutes at 10 million rows); a
//   table there that does not hold exactly those rows is built anew.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "bench/bench_support.h"
#include "bench/movie_table.h"
#include "bench/peer_report.h"
#include "bench/sqlite_peer.h"
#include "common/errors.h"
#include "dates/date_settings.h"
#include "engine/navigation.h"
#include "engine/record_io.h"
#include "engine/tables.h"
#include "index/index_build.h"
#include "index/index_open.h"
#include "index/transaction.h"

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

void Copy(const std::string& from, const std::string& to) {
  for (const char* ext : {"dbf", "mdx", "dbt"}) {
    std::filesystem::copy_file(from.substr(0, from.size() - 3) + ext,
                               to.substr(0, to.size() - 3) + ext,
                               std::filesystem::copy_options::overwrite_existing);
  }
}

// Opens `table` exclusively with its production index.
void OpenKept(const std::string& table) {
  USE(table + " EXCLUSIVE");
  SetIndexTo("");
}

// Whether `table` holds exactly the rows `movies` (count, first and last
// title) with its production index: a starting table a run with `keep` left.
bool HoldsRows(const std::string& table, std::span<const bench::Movie> movies) {
  std::FILE* f = std::fopen((table.substr(0, table.size() - 3) + "mdx").c_str(), "rb");
  if (f == nullptr) return false;
  std::fclose(f);
  SetRaiseOnError(false);
  USE(table + " EXCLUSIVE");
  bool same = DbfErrorNo == 0 && RecCount() == static_cast<std::int32_t>(movies.size());
  for (const std::size_t n : {std::size_t{0}, movies.size() - 1}) {
    if (!same || movies.empty()) break;
    GO(static_cast<std::int32_t>(n + 1));
    const auto* p = FieldAddress(1);
    same = DbfErrorNo == 0 &&
           std::string(reinterpret_cast<const char*>(p + 1), p[0]) == movies[n].title;
  }
  USE("");
  DbfErrorNo = 0;
  SetRaiseOnError(true);
  return same;
}

struct Run {
  double seconds = 0;
  double reads = 0, writes = 0;  // system calls per command
};

// Times `commands`, `count` record commands on the open table, each a unit
// of its own or all in one transaction.
template <typename Commands>
Run Measure(int count, bool transaction, Commands commands) {
  const auto before = SystemCalls();
  const auto start = Clock::now();
  if (transaction) BeginTransaction();
  commands();
  if (transaction) EndTransaction();
  Run out;
  out.seconds = Seconds(start);
  const auto after = SystemCalls();
  out.reads = static_cast<double>(after.first - before.first) / count;
  out.writes = static_cast<double>(after.second - before.second) / count;
  return out;
}

// Appends `movies` to the open table.
Run AppendAll(std::span<const bench::Movie> movies, bool transaction) {
  return Measure(static_cast<int>(movies.size()), transaction, [movies] {
    for (const bench::Movie& m : movies) bench::AppendMovie(m);
  });
}

}  // namespace

int main(int argc, char** argv) {
  const int records = bench::CountArgument(argc, argv, 100000);
  const std::string dir = bench::FolderArgument(argc, argv);
  const int base = argc > 3 ? std::atoi(argv[3]) : 0;
  const bool keep_start = argc > 4 && std::string(argv[4]) == "keep";
  const std::string stem = dir + "/maintenance_bench_" + std::to_string(getpid());
  const std::string start_table =
      keep_start ? dir + "/maintenance_bench_start_" + std::to_string(base) + ".dbf"
                 : stem + "_start.dbf";
  const std::string kept = stem + "_kept.dbf", batched = stem + "_batched.dbf",
                    built = stem + "_built.dbf";
  SetRaiseOnError(true);
  CenturyOn = false;
  SetDateType(0);  // MM/DD/YY
  const std::vector<bench::Movie> all = bench::MakeMovies(base + records);
  // The starting rows and the rows appended, without copies (10 million
  // movies take gigabytes).
  const std::span<const bench::Movie> old(all.data(), static_cast<std::size_t>(base));
  const std::span<const bench::Movie> movies(all.data() + base, static_cast<std::size_t>(records));

  // The starting table: `base` rows and the four tags.
  if (!keep_start || !HoldsRows(start_table, old)) {
    bench::BuildTable(start_table, old);
    USE(start_table + " EXCLUSIVE");
    if (!MakeIndex(bench::kMovieTags, "")) return 1;
    USE("");
  }
  Copy(start_table, kept);
  Copy(start_table, batched);

  // Appends with every key inserted as it comes.
  OpenKept(kept);
  const Run one_by_one = AppendAll(movies, false);
  USE("");
  OpenKept(batched);
  const Run in_one = AppendAll(movies, true);
  USE("");
  std::printf("table of %d records, %d appended\n", base, records);
  for (const auto& [what, run] : {std::pair{"append, 4 tags kept, one by one", one_by_one},
                                  std::pair{"append, 4 tags kept, one transaction", in_one}}) {
    std::printf("%-38s %8.3f s %10.0f records/s  (per append %.2f read, %.2f write calls)\n", what,
                run.seconds, records / run.seconds, run.reads, run.writes);
  }

  // Appends without index, then one build.
  if (base == 0) {
    const auto start = Clock::now();
    bench::CreateMovieTable(built);
    for (const bench::Movie& m : movies) bench::AppendMovie(m);
    if (!MakeIndex(bench::kMovieTags, "")) return 1;
    USE("");
    const double rebuilt = Seconds(start);
    std::printf("append without index + MakeIndex       %8.3f s %10.0f records/s   ratio %.2f\n",
                rebuilt, records / rebuilt, rebuilt / in_one.seconds);
  }
  // Key edits: new titles for random records.
  const int edits = 10000;
  std::mt19937 random(9);
  std::vector<std::pair<int, std::string>> changes;
  for (int i = 0; i < edits; ++i) {
    changes.emplace_back(1 + static_cast<int>(random() % static_cast<unsigned>(base + records)),
                         "Neu " + std::to_string(random() % 1000000));
  }
  std::vector<std::pair<std::string, long>> updates;
  for (const auto& [record, title] : changes) updates.emplace_back(title, record);
  const char* const update = "UPDATE movies SET title = ?1 WHERE rowid = ?2";
  double on_disk_updates = -1;

  // Each SQLite database gets the starting rows once; the inserts in one
  // transaction per row follow those in one transaction.
  for (const bool on_disk : {false, true}) {
    bench::SqlitePeer peer(on_disk ? stem + ".sqlite" : "");
    peer.InsertMovies(old, 4, false);
    for (const bool per_row : {false, true}) {
      const std::size_t rows =
          per_row && on_disk ? std::min<std::size_t>(movies.size(), 5000) : movies.size();
      const double seconds = peer.InsertMoreMovies(movies.first(rows), per_row);
      const Run& ours = per_row ? one_by_one : in_one;
      bench::ReportPeer(
          per_row ? "append, 4 tags kept, one by one" : "append, 4 tags kept, one transaction",
          records / ours.seconds,
          std::string("sqlite inserts, 4 indexes, ") + (on_disk ? "on disk, " : "in memory, ") +
              (per_row ? "one transaction per row" : "one transaction"),
          seconds < 0 ? -1 : rows / seconds, "rec/s");
    }
    if (on_disk) on_disk_updates = peer.RunForEach(update, updates);
  }

  Run edit_runs[2];
  for (const bool transaction : {false, true}) {
    OpenKept(transaction ? batched : kept);
    edit_runs[transaction ? 1 : 0] = Measure(edits, transaction, [&changes] {
      for (const auto& [record, title] : changes) {
        GO(record);
        bench::SetText(1, title);
        Replace();
      }
    });
    USE("");
  }

  bench::SqlitePeer sqlite;
  sqlite.InsertMovies(all, 0, false);
  sqlite.Exec("CREATE INDEX by_title ON movies(lower(title))");
  const double in_memory_updates = sqlite.RunForEach(update, updates);
  for (const bool transaction : {false, true}) {
    const Run& ours = edit_runs[transaction ? 1 : 0];
    const char* what = transaction ? "10,000 key edits (Replace), one transaction"
                                   : "10,000 key edits (Replace), one by one";
    std::printf("%-44s %8.3f s %10.0f edits/s  (per edit %.2f read, %.2f write calls)\n", what,
                ours.seconds, edits / ours.seconds, ours.reads, ours.writes);
    for (const auto& [where, theirs] : {std::pair{"in memory", in_memory_updates},
                                        std::pair{"on disk, 4 indexes", on_disk_updates}}) {
      bench::ReportPeer(
          what, edits / ours.seconds,
          std::string("sqlite UPDATE of an indexed column, ") + where + ", one transaction",
          theirs < 0 ? -1 : edits / theirs, "edits/s");
    }
  }
  for (const std::string& table : {kept, batched, built}) Remove(table);
  if (!keep_start) Remove(start_table);
  return 0;
}
