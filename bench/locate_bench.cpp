// Sequential search of a large table: Locate through the Peek cache against
// the walk a caller would write without it.
//
// Builds a 1,000,000-record table (title C(30), year N(4), director C(25),
// premiere D) whose only title "Needle in the haystack" stands near the end
// (record count - 10), then measures, on the table opened exclusively and
// shared:
//   - Locate with the cache on (PeekCacheLimit 65520);
//   - Locate with the cache off (one read per record);
//   - GoTop and SKIP(1) to the record, comparing the unpacked title.
// and prints the records scanned per second of each and the ratio of the
// cached Locate to the SKIP walk.
//
// Usage: locate_bench [records] [folder]   (defaults 1000000, $TMPDIR)
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "bench/bench_support.h"
#include "common/errors.h"
#include "dates/date_settings.h"
#include "engine/dbf_file.h"
#include "engine/navigation.h"
#include "engine/peek_cache.h"
#include "engine/record_io.h"
#include "engine/search.h"
#include "engine/tables.h"
#include "engine/work_area.h"

namespace {

using namespace orvex;
using Clock = std::chrono::steady_clock;

const std::string kNeedle = "Needle in the haystack";

void BuildTable(const std::string& name, int records, int needle) {
  CreateDbf(name, {{"title", 'C', 30, 0},
                   {"year", 'N', 4, 0},
                   {"director", 'C', 25, 0},
                   {"premiere", 'D', 8, 0}});
  USE(name + " EXCLUSIVE");
  static const char* const kDirectors[] = {"Fritz Lang", "Robert Wiene", "Tom Tykwer",
                                           "Wim Wenders"};
  for (int i = 1; i <= records; ++i) {
    bench::SetText(1, i == needle ? kNeedle : "Film number " + std::to_string(i));
    std::int32_t year = 1900 + i % 125;
    std::memcpy(FieldAddress(2), &year, 4);
    bench::SetText(3, kDirectors[i % 4]);
    char date[16];
    std::snprintf(date, sizeof date, "%02d.%02d.%02d", 1 + i % 28, 1 + i % 12, i % 100);
    bench::SetText(4, date);
    Append();
  }
  USE("");
}

struct Run {
  double records_per_second = 0;
  std::int32_t found = 0;
  bool operator<(const Run& other) const { return records_per_second < other.records_per_second; }
};

// Times one search from the top; the records scanned are those up to the
// one found.
template <typename Search>
Run Timed(Search search) {
  auto start = Clock::now();
  std::int32_t found = search();
  double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  return {found / seconds, found};
}

Run LocateRun(std::uint16_t cache_limit) {
  PeekCacheLimit = cache_limit;
  return Timed([] { return Locate("TITLE", kNeedle) ? RecNo() : 0; });
}

Run SkipRun() {
  return Timed([] {
    const std::uint8_t* title = FieldAddress(1);
    GoTop();
    while (!dEOF()) {
      if (title[0] >= kNeedle.size() && std::memcmp(title + 1, kNeedle.data(), kNeedle.size()) == 0)
        return RecNo();
      SKIP(1);
    }
    return 0;
  });
}

}  // namespace

int main(int argc, char** argv) {
  int records = bench::CountArgument(argc, argv, 1000000);
  std::string dir = bench::FolderArgument(argc, argv);
  std::string name = dir + "/locate_bench_" + std::to_string(getpid()) + ".dbf";
  SetRaiseOnError(true);
  CenturyOn = false;
  SetDateType(5);
  int needle = std::max(1, records - 10);

  auto build_start = Clock::now();
  BuildTable(name, records, needle);
  std::printf("table: %d records, needle at %d, built in %.1f s\n\n", records, needle,
              std::chrono::duration<double>(Clock::now() - build_start).count());
  std::printf("%-10s %-28s %16s %8s\n", "open", "search", "records/s", "found");
  bool all_found = true;
  for (const char* open : {" EXCLUSIVE", ""}) {
    USE(name + open);
    Run cached = bench::BestOf(3, [] { return LocateRun(65520); });
    Run direct = bench::BestOf(1, [] { return LocateRun(0); });
    Run walk = bench::BestOf(3, [] { return SkipRun(); });
    const char* label = *open ? "exclusive" : "shared";
    std::printf("%-10s %-28s %16.0f %8d\n", label, "Locate, cache 65520", cached.records_per_second,
                cached.found);
    std::printf("%-10s %-28s %16.0f %8d\n", label, "Locate, no cache", direct.records_per_second,
                direct.found);
    std::printf("%-10s %-28s %16.0f %8d\n", label, "GoTop/SKIP(1), unpacked",
                walk.records_per_second, walk.found);
    std::printf("%-10s %-28s %15.1fx\n\n", label, "cached Locate / SKIP walk",
                cached.records_per_second / walk.records_per_second);
    all_found =
        all_found && cached.found == needle && direct.found == needle && walk.found == needle;
    USE("");
  }
  std::remove(name.c_str());
  if (!all_found) std::printf("MISMATCH: a search did not stop on record %d\n", needle);
  return all_found ? 0 : 1;
}
