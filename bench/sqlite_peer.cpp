#include "bench/sqlite_peer.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "bench/movie_table.h"

#ifdef ORVEX_HAVE_SQLITE
#include <sqlite3.h>
#endif

namespace orvex::bench {

#ifdef ORVEX_HAVE_SQLITE

namespace {

using Clock = std::chrono::steady_clock;

double Since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// A field of a DBF file as the import reads it.
struct DbfColumn {
  std::string name;
  char type;
  int offset, length, decimals;
};

// The fields, the record length, the header length and the record count of
// a dBASE III/IV file (32-byte descriptors up to the 0x0D terminator).
struct DbfLayout {
  std::vector<DbfColumn> columns;
  std::size_t header_length = 0, record_length = 0, count = 0;
};

DbfLayout ReadLayout(std::ifstream& in, const std::string& dbf) {
  DbfLayout layout;
  unsigned char head[32] = {};
  in.read(reinterpret_cast<char*>(head), 32);
  if (!in || (head[0] & 7) == 4) {
    std::fprintf(stderr, "sqlite peer: %s is no dBASE III/IV table\n", dbf.c_str());
    std::exit(1);
  }
  layout.count = head[4] | head[5] << 8 | head[6] << 16 | static_cast<std::size_t>(head[7]) << 24;
  layout.header_length = head[8] | head[9] << 8;
  layout.record_length = head[10] | head[11] << 8;
  int offset = 1;
  char field[32];
  for (std::size_t at = 32; at + 32 <= layout.header_length; at += 32) {
    if (!in.read(field, 32) || field[0] == 0x0D) break;
    DbfColumn column{std::string(field, strnlen(field, 11)), field[11], offset,
                     static_cast<unsigned char>(field[16]), static_cast<unsigned char>(field[17])};
    offset += column.length;
    layout.columns.push_back(column);
  }
  in.seekg(static_cast<std::streamoff>(layout.header_length));
  return layout;
}

sqlite3* Db(void* db) { return static_cast<sqlite3*>(db); }

void Check(int rc, void* db) {
  if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW) {
    std::fprintf(stderr, "sqlite: %s\n", sqlite3_errmsg(Db(db)));
    std::exit(1);
  }
}

sqlite3_stmt* Prepare(void* db, const std::string& sql) {
  sqlite3_stmt* statement = nullptr;
  Check(sqlite3_prepare_v2(Db(db), sql.c_str(), -1, &statement, nullptr), db);
  return statement;
}

// Every column of the current row; a sum of what was read (the texts'
// lengths, the numbers).
long ReadRow(sqlite3_stmt* statement, SqlitePeer::Columns how) {
  long sum = 0;
  const int columns = sqlite3_column_count(statement);
  for (int c = 0; c < columns; ++c) {
    const int type =
        how == SqlitePeer::Columns::kText ? SQLITE_TEXT : sqlite3_column_type(statement, c);
    if (type == SQLITE_INTEGER) {
      sum += sqlite3_column_int(statement, c);
    } else if (type == SQLITE_FLOAT) {
      sum += static_cast<long>(sqlite3_column_double(statement, c));
    } else {
      sqlite3_column_text(statement, c);
      sum += sqlite3_column_bytes(statement, c);
    }
  }
  return sum;
}

}  // namespace

SqlitePeer::SqlitePeer(const std::string& path) : path_(path) {
  if (!path_.empty()) std::remove(path_.c_str());
  sqlite3* db = nullptr;
  Check(sqlite3_open(path_.empty() ? ":memory:" : path_.c_str(), &db), db);
  db_ = db;
}

SqlitePeer::~SqlitePeer() {
  sqlite3_close(Db(db_));
  if (!path_.empty()) {
    std::remove(path_.c_str());
    std::remove((path_ + "-journal").c_str());
  }
}

bool SqlitePeer::Available() { return true; }

void SqlitePeer::Reopen() {
  if (path_.empty()) return;
  Check(sqlite3_close(Db(db_)), db_);
  sqlite3* db = nullptr;
  Check(sqlite3_open(path_.c_str(), &db), db);
  db_ = db;
}

void SqlitePeer::Exec(const std::string& sql) {
  Check(sqlite3_exec(Db(db_), sql.c_str(), nullptr, nullptr, nullptr), db_);
}

double SqlitePeer::Time(const std::string& sql) {
  const auto start = Clock::now();
  Exec(sql);
  return Since(start);
}

void SqlitePeer::ImportDbf(const std::string& dbf, const std::string& table) {
  std::ifstream in(dbf, std::ios::binary);
  const DbfLayout layout = ReadLayout(in, dbf);
  std::string create = "CREATE TABLE " + table + "(", insert = "INSERT INTO " + table + " VALUES(";
  for (const DbfColumn& column : layout.columns) {
    const bool first = &column == &layout.columns.front();
    const char* type = column.type == 'C' || column.type == 'D' || column.type == 'M' ? "TEXT"
                       : column.decimals > 0 && column.type != 'L'                    ? "REAL"
                                                                                      : "INTEGER";
    create += (first ? "" : ", ") + column.name + " " + type;
    insert += first ? "?" : ",?";
  }
  Exec(create + "); BEGIN");
  sqlite3_stmt* statement = Prepare(db_, insert + ")");
  std::vector<char> buffer(layout.record_length);
  for (std::size_t r = 0;
       r < layout.count && in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
       ++r) {
    const char* record = buffer.data();
    for (std::size_t i = 0; i < layout.columns.size(); ++i) {
      const DbfColumn& column = layout.columns[i];
      const char* field = record + column.offset;
      int length = column.length;
      int begin = 0;
      while (length > 0 && field[length - 1] == ' ') --length;
      while (begin < length && field[begin] == ' ' && column.type != 'C') ++begin;
      const std::string text(field + begin, static_cast<std::size_t>(length - begin));
      const int index = static_cast<int>(i) + 1;
      if (column.type == 'L') {
        sqlite3_bind_int(statement, index,
                         text == "T" || text == "t" || text == "Y" || text == "y");
      } else if ((column.type == 'N' || column.type == 'F') && text.empty()) {
        sqlite3_bind_null(statement, index);
      } else if ((column.type == 'N' || column.type == 'F') && column.decimals > 0) {
        sqlite3_bind_double(statement, index, std::atof(text.c_str()));
      } else if (column.type == 'N' || column.type == 'F') {
        sqlite3_bind_int64(statement, index, std::atoll(text.c_str()));
      } else {
        sqlite3_bind_text(statement, index, text.c_str(), static_cast<int>(text.size()),
                          SQLITE_TRANSIENT);
      }
    }
    Check(sqlite3_step(statement), db_);
    sqlite3_reset(statement);
  }
  sqlite3_finalize(statement);
  Exec("COMMIT");
}

double SqlitePeer::InsertMovies(std::span<const Movie> movies, int indexes, bool per_row) {
  static const char* const kIndexes[] = {"CREATE INDEX by_title ON movies(lower(title))",
                                         "CREATE INDEX by_year ON movies(year)",
                                         "CREATE INDEX by_runtime ON movies(runtime)",
                                         "CREATE INDEX by_stars ON movies(lower(stars))"};
  Exec(
      "CREATE TABLE movies(title TEXT, year INTEGER, color INTEGER, runtime INTEGER, stars TEXT,"
      " director TEXT, plot TEXT, premiere TEXT)");
  for (int i = 0; i < indexes && i < 4; ++i) Exec(kIndexes[i]);
  return InsertMoreMovies(movies, per_row);
}

double SqlitePeer::InsertMoreMovies(std::span<const Movie> movies, bool per_row) {
  sqlite3_stmt* insert = Prepare(db_, "INSERT INTO movies VALUES(?,?,?,?,?,?,'',?)");
  const auto start = Clock::now();
  if (!per_row) Exec("BEGIN");
  for (const Movie& m : movies) {
    if (per_row) Exec("BEGIN");
    sqlite3_bind_text(insert, 1, m.title.c_str(), -1, SQLITE_STATIC);
    sqlite3_bind_int(insert, 2, m.year);
    sqlite3_bind_int(insert, 3, m.color);
    sqlite3_bind_int(insert, 4, m.runtime);
    sqlite3_bind_text(insert, 5, m.stars.c_str(), -1, SQLITE_STATIC);
    sqlite3_bind_text(insert, 6, m.director.c_str(), -1, SQLITE_STATIC);
    sqlite3_bind_text(insert, 7, m.premiere.c_str(), -1, SQLITE_STATIC);
    Check(sqlite3_step(insert), db_);
    sqlite3_reset(insert);
    if (per_row) Exec("COMMIT");
  }
  if (!per_row) Exec("COMMIT");
  const double seconds = Since(start);
  sqlite3_finalize(insert);
  return seconds;
}

double SqlitePeer::RunForEach(const std::string& sql,
                              const std::vector<std::pair<std::string, long>>& rows) {
  sqlite3_stmt* statement = Prepare(db_, sql);
  const auto start = Clock::now();
  Exec("BEGIN");
  for (const auto& [text, number] : rows) {
    sqlite3_bind_text(statement, 1, text.c_str(), static_cast<int>(text.size()), SQLITE_STATIC);
    sqlite3_bind_int64(statement, 2, number);
    Check(sqlite3_step(statement), db_);
    sqlite3_reset(statement);
  }
  Exec("COMMIT");
  const double seconds = Since(start);
  sqlite3_finalize(statement);
  return seconds;
}

double SqlitePeer::StepAll(const std::string& query, Columns columns, long* rows, long* checksum) {
  sqlite3_stmt* statement = Prepare(db_, query);
  long sum = 0, count = 0;
  const auto start = Clock::now();
  int rc;
  while ((rc = sqlite3_step(statement)) == SQLITE_ROW) {
    sum += ReadRow(statement, columns);
    ++count;
  }
  const double seconds = Since(start);
  Check(rc, db_);
  sqlite3_finalize(statement);
  *rows = count;
  *checksum = sum;
  return count / seconds;
}

double SqlitePeer::Lookups(const std::string& query, const std::vector<std::string>& keys,
                           Columns columns, int* found, long* checksum) {
  sqlite3_stmt* statement = Prepare(db_, query);
  long sum = 0;
  int hits = 0;
  const auto start = Clock::now();
  for (const std::string& key : keys) {
    sqlite3_bind_text(statement, 1, key.c_str(), static_cast<int>(key.size()), SQLITE_STATIC);
    if (sqlite3_step(statement) == SQLITE_ROW) {
      ++hits;
      sum += ReadRow(statement, columns);
    }
    sqlite3_reset(statement);
  }
  const double seconds = Since(start);
  sqlite3_finalize(statement);
  *found = hits;
  *checksum += sum;
  return seconds;
}

#else  // without SQLite: nothing to compare with

SqlitePeer::SqlitePeer(const std::string& path) : path_(path) {}
SqlitePeer::~SqlitePeer() = default;
bool SqlitePeer::Available() { return false; }
void SqlitePeer::Reopen() {}
void SqlitePeer::Exec(const std::string&) {}
double SqlitePeer::Time(const std::string&) { return -1; }
void SqlitePeer::ImportDbf(const std::string&, const std::string&) {}
double SqlitePeer::InsertMovies(std::span<const Movie>, int, bool) { return -1; }
double SqlitePeer::InsertMoreMovies(std::span<const Movie>, bool) { return -1; }
double SqlitePeer::RunForEach(const std::string&,
                              const std::vector<std::pair<std::string, long>>&) {
  return -1;
}
double SqlitePeer::StepAll(const std::string&, Columns, long* rows, long* checksum) {
  *rows = *checksum = 0;
  return -1;
}
double SqlitePeer::Lookups(const std::string&, const std::vector<std::string>&, Columns, int* found,
                           long*) {
  *found = 0;
  return -1;
}

#endif

}  // namespace orvex::bench
