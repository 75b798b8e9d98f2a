// oxdbf dump --csv against other programs that turn a DBF table into CSV.
//
// Builds the 1,000,000-record movie table (see BuildMovieTable), then times,
// best of three runs each, in the same run on the same file, each program
// writing the CSV file the same way (ogr2ogr can only write a file):
//   - oxdbf dump --csv (shared, read-only, as a user runs it);
//   - GDAL's ogr2ogr -f CSV (Debian gdal-bin);
//   - python3-dbfread, each record written with Python's csv module;
// and prints the seconds of each and how many times faster oxdbf is. A
// program that is missing is reported and left out.
//
// Usage: oxdbf_bench [records] [folder]   (defaults 1000000, $TMPDIR)
#include <cstdio>
#include <string>

#include "bench/bench_support.h"
#include "bench/command_timing.h"
#include "bench/peer_report.h"
#include "dates/date_settings.h"

using orvex::bench::BestOfThree;
using orvex::bench::Timing;

int main(int argc, char** argv) {
  using namespace orvex;
  const int records = bench::CountArgument(argc, argv, 1000000);
  const std::string dir = bench::FolderArgument(argc, argv);
  const std::string table = dir + "/oxdbf_bench_movies.dbf";
  std::remove(table.c_str());
  SetDateType(5);  // the dates are written as DD.MM.YY
  bench::BuildMovieTable(table, records);
  const std::string csv = dir + "/oxdbf_bench_movies.csv";

  struct Program {
    const char* name;
    std::string command;
    Timing time;
  } programs[] = {
      {"oxdbf dump --csv",
       std::string(OXDBF_PATH) + " dump '" + table + "' --csv > '" + csv + "'",
       {}},
      {"ogr2ogr -f CSV",
       "rm -f '" + csv + "' && ogr2ogr -f CSV '" + csv + "' '" + table + "' 2>/dev/null",
       {}},
      {"python3-dbfread + csv",
       "/usr/bin/python3 -c 'import sys, csv, dbfread\n"
       "t = dbfread.DBF(sys.argv[1], encoding=\"cp850\")\n"
       "w = csv.writer(sys.stdout)\nw.writerow(t.field_names)\n"
       "for r in t: w.writerow(r.values())' '" +
           table + "' > '" + csv + "'",
       {}},
  };
  std::printf("%d records, best of 3: wall-clock and CPU seconds\n", records);
  for (Program& p : programs) {
    p.time = BestOfThree(p.command);
    if (p.time.wall < 0) {
      std::printf("  %-24s failed or missing\n", p.name);
    } else {
      std::printf("  %-24s %8.3f s wall %8.3f s CPU  %10.0f records/s\n", p.name, p.time.wall,
                  p.time.cpu, records / p.time.wall);
    }
  }
  const Timing& ours = programs[0].time;
  for (const Program& p : programs) {
    if (&p == &programs[0] || p.time.wall < 0 || ours.wall <= 0 || ours.cpu <= 0) continue;
    std::printf("  oxdbf is %.1f times as fast as %s (wall), %.1f times (CPU)\n",
                p.time.wall / ours.wall, p.name, p.time.cpu / ours.cpu);
  }
  for (const Program& p : programs) {
    if (&p == &programs[0] || ours.wall <= 0) continue;
    bench::ReportPeer("CSV export (CPU seconds)", ours.cpu, p.name, p.time.cpu, "s",
                      bench::Better::kLower);
  }
  std::remove(csv.c_str());
  std::remove(table.c_str());
  return 0;
}
