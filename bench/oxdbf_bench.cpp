// oxdbf dump --csv against other programs that turn a DBF table into CSV.
//
// Builds the 1,000,000-record movie table (see BuildMovieTable), then times,
// best of three runs each, in the same run on the same file:
//   - oxdbf dump --csv (shared, read-only, as a user runs it);
//   - GDAL's ogr2ogr -f CSV (Debian gdal-bin);
//   - python3-dbfread, each record written with Python's csv module;
// and prints the seconds of each and how many times faster oxdbf is. A
// program that is missing is reported and left out.
//
// Usage: oxdbf_bench [records] [folder]   (defaults 1000000, $TMPDIR)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/bench_support.h"
#include "dates/date_settings.h"

namespace {

using Clock = std::chrono::steady_clock;

// Seconds of the best of three runs of a shell command; negative when it
// fails.
double BestSeconds(const std::string& command) {
  double best = -1;
  for (int run = 0; run < 3; ++run) {
    auto start = Clock::now();
    if (std::system(command.c_str()) != 0) return -1;
    double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    if (best < 0 || seconds < best) best = seconds;
  }
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace orvex;
  const int records = bench::CountArgument(argc, argv, 1000000);
  const std::string dir = bench::FolderArgument(argc, argv);
  const std::string table = dir + "/oxdbf_bench_movies.dbf";
  std::remove(table.c_str());
  SetDateType(DateType);
  bench::BuildMovieTable(table, records);
  const std::string csv = dir + "/oxdbf_bench_movies.csv";

  struct Program {
    const char* name;
    std::string command;
    double seconds = -1;
  } programs[] = {
      {"oxdbf dump --csv", std::string(OXDBF_PATH) + " dump '" + table + "' --csv > /dev/null"},
      {"ogr2ogr -f CSV", "rm -f '" + csv + "' && ogr2ogr -f CSV '" + csv + "' '" + table + "' 2>/dev/null"},
      {"python3-dbfread + csv",
       "/usr/bin/python3 -c 'import sys, csv, dbfread\n"
       "t = dbfread.DBF(sys.argv[1], encoding=\"cp850\")\n"
       "w = csv.writer(sys.stdout)\nw.writerow(t.field_names)\n"
       "for r in t: w.writerow(r.values())' '" +
           table + "' > /dev/null"},
  };
  std::printf("%d records, best of 3\n", records);
  for (Program& p : programs) {
    p.seconds = BestSeconds(p.command);
    if (p.seconds < 0) {
      std::printf("  %-24s failed or missing\n", p.name);
    } else {
      std::printf("  %-24s %8.3f s  %10.0f records/s\n", p.name, p.seconds, records / p.seconds);
    }
  }
  for (const Program& p : programs) {
    if (&p == &programs[0] || p.seconds < 0 || programs[0].seconds <= 0) continue;
    std::printf("  oxdbf is %.1f times as fast as %s\n", p.seconds / programs[0].seconds, p.name);
  }
  std::remove(csv.c_str());
  std::remove(table.c_str());
  return 0;
}
