// SQLite beside the benchmarks: the same rows in a SQLite database, and the
// SQLite side of each comparison (index builds, ordered walks, lookups,
// inserts, stepping through every column), so that every benchmark measures
// its peer the same way.
//
// The benchmarks build without SQLite (libsqlite3-dev missing): Available()
// is then false, every measurement answers -1 and the benchmark leaves the
// peer out. With SQLite, a failing statement prints SQLite's message and
// ends the program (a benchmark has nothing better to do).
//
// The header does not include sqlite3.h: the benchmarks need no SQLite
// header to build.
#pragma once

#include <span>
#include <string>
#include <utility>
#include <vector>

namespace orvex::bench {

struct Movie;

class SqlitePeer {
 public:
  // An empty database in memory (`path` empty) or in the file `path`
  // (replaced when it exists, removed by the destructor). On disk the
  // database runs with SQLite's defaults (rollback journal, full sync).
  explicit SqlitePeer(const std::string& path = "");
  ~SqlitePeer();
  SqlitePeer(const SqlitePeer&) = delete;
  SqlitePeer& operator=(const SqlitePeer&) = delete;

  // Whether the benchmarks were built with SQLite.
  static bool Available();

  // Closes the connection and opens the database anew, so that the next
  // statement starts cold like a program that has just opened the file:
  // nothing of the database held in SQLite's page cache, prepared
  // statements and schema read again. An in-memory database keeps its
  // connection (closing it would lose the rows).
  void Reopen();

  // Runs statements to their end (several, separated by ';').
  void Exec(const std::string& sql);
  // Seconds of Exec(sql); -1 without SQLite.
  double Time(const std::string& sql);

  // Table `table` with one column per field of the DBF file `dbf` (C as
  // TEXT without the trailing blanks, N and F without decimals INTEGER,
  // with decimals REAL, L INTEGER 0/1, D TEXT YYYYMMDD, M as its block
  // number text), every record of the file inserted in one transaction.
  // The file is read as stored, without the library, so that the rows are
  // the table's bytes whatever the library does.
  void ImportDbf(const std::string& dbf, const std::string& table);

  // Table movies(title, year, color, runtime, stars, director, plot,
  // premiere) holding `movies` (plot empty), with `indexes` of the indexes
  // lower(title), year, runtime, lower(stars) made first (0..4), inserted
  // in one transaction (`per_row` false) or one transaction per row.
  // Answers the seconds the inserts took (-1 without SQLite).
  double InsertMovies(std::span<const Movie> movies, int indexes, bool per_row);

  // Inserts more `movies` into the table InsertMovies made, the same way.
  // Answers the seconds (-1 without SQLite).
  double InsertMoreMovies(std::span<const Movie> movies, bool per_row);

  // Runs `sql`, whose parameters are a text (?1) and an integer (?2), once
  // for each pair of `rows` bound to them, all in one transaction. Answers
  // the seconds (-1 without SQLite).
  double RunForEach(const std::string& sql, const std::vector<std::pair<std::string, long>>& rows);

  // How the rows' columns are read: every one as text
  // (sqlite3_column_text), as a program showing the rows does, or each as
  // the type it holds (integer, real, text), as a program computing with
  // the values does.
  enum class Columns { kText, kNative };

  // Steps through `query` to its end reading every column of every row.
  // Answers rows per second; *rows gets the rows and *checksum a sum of
  // what was read. -1 without SQLite.
  double StepAll(const std::string& query, Columns columns, long* rows, long* checksum);

  // Runs `query`, which has one parameter, once for each of `keys` bound
  // to it, every column of the first row read. Answers the seconds; *found
  // gets the keys that found a row, *checksum grows by a sum of what was
  // read. -1 without SQLite.
  double Lookups(const std::string& query, const std::vector<std::string>& keys, Columns columns,
                 int* found, long* checksum);

 private:
  void* db_ = nullptr;  // sqlite3*
  std::string path_;
};

}  // namespace orvex::bench
