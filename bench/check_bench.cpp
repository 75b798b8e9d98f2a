// oxdbf check on a large table: 1,000,000 movie records whose production
// index has the four movie tags (TITLE on LOWER(TITLE), YEAR, RUNTIME,
// STARS on LOWER(STARS)). Prints the best of three runs of
// `oxdbf check` (wall-clock and CPU seconds) and the records checked per
// second; the check must find the table consistent (exit status 0).
//
// Usage: check_bench [records] [folder]   (defaults 1000000, $TMPDIR)
#include <unistd.h>

#include <cstdio>
#include <string>

#include "bench/bench_support.h"
#include "bench/command_timing.h"
#include "bench/movie_table.h"
#include "common/errors.h"
#include "dates/date_settings.h"
#include "engine/tables.h"
#include "index/index_build.h"

int main(int argc, char** argv) {
  using namespace orvex;
  const int records = bench::CountArgument(argc, argv, 1000000);
  const std::string dir = bench::FolderArgument(argc, argv);
  const std::string stem = dir + "/check_bench_" + std::to_string(getpid());
  SetRaiseOnError(true);
  CenturyOn = false;
  SetDateType(0);  // MM/DD/YY
  bench::BuildTable(stem + ".dbf", bench::MakeMovies(records));
  USE(stem + ".dbf EXCLUSIVE");
  if (!MakeIndex(bench::kMovieTags, "")) return 1;
  USE("");
  const bench::Timing t = bench::BestOfThree(std::string(OXDBF_PATH) + " check '" + stem + ".dbf' > /dev/null");
  for (const char* ext : {".dbf", ".dbt", ".mdx"}) std::remove((stem + ext).c_str());
  if (t.wall < 0) {
    std::fprintf(stderr, "oxdbf check failed or found the table inconsistent\n");
    return 1;
  }
  std::printf("oxdbf check, %d records, 4 tags   %7.2f s wall %7.2f s CPU %10.0f records/s\n", records, t.wall,
              t.cpu, records / t.wall);
  return 0;
}
