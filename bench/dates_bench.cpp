// Timing of the date conversions: the whole calendar (every day of years
// 1..9999 to a day number and back, as numbers and as D text), and the
// national text conversions that index keys and DTOC/CTOD use.
#include <benchmark/benchmark.h>

#include "dates/date_settings.h"
#include "dates/date_text.h"
#include "dates/day_number.h"

namespace {

using namespace orvex;

std::int32_t MonthLength(std::int32_t year, std::int32_t month) {
  static const std::int32_t kLength[13] = {0, 31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return kLength[month] + (month == 2 && IsLeapYear(year) ? 1 : 0);
}

// The round trip the tests make over all 3,652,059 days, with its checks.
void BM_RoundTripAllDays(benchmark::State& state) {
  for (auto _ : state) {
    std::int64_t mismatches = 0;
    for (std::int32_t year = 1; year <= 9999; ++year)
      for (std::int32_t month = 1; month <= 12; ++month)
        for (std::int32_t day = 1; day <= MonthLength(year, month); ++day) {
          DayNumber n = DayNumberFromYMD(year, month, day);
          CalendarDate back = YMDFromDayNumber(n);
          if (back.year != year || back.month != month || back.day != day) ++mismatches;
          if (DayNumberFromDText(DTextFromDayNumber(n)) != n) ++mismatches;
        }
    if (mismatches != 0) state.SkipWithError("round trip mismatch");
    benchmark::DoNotOptimize(mismatches);
  }
  state.SetItemsProcessed(state.iterations() * 3652059);
}
BENCHMARK(BM_RoundTripAllDays)->Unit(benchmark::kMillisecond);

// Numbers only: day number to date and back for every day.
void BM_YmdRoundTripAllDays(benchmark::State& state) {
  for (auto _ : state) {
    std::int64_t sum = 0;
    for (DayNumber n = FirstDayNumber; n <= LastDayNumber; n += 1) {
      CalendarDate d = YMDFromDayNumber(n);
      sum += static_cast<std::int64_t>(DayNumberFromYMD(d.year, d.month, d.day));
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * 3652059);
}
BENCHMARK(BM_YmdRoundTripAllDays)->Unit(benchmark::kMillisecond);

// DTOC then CTOD of one date in the German form.
void BM_DtocCtod(benchmark::State& state) {
  SetDateType(5);
  DayNumber x = DayNumberFromYMD(2024, 12, 31);
  for (auto _ : state) {
    DayNumber back = DayNumberFromDateText(DateTextFromDayNumber(x));
    benchmark::DoNotOptimize(back);
  }
}
BENCHMARK(BM_DtocCtod);

}  // namespace

BENCHMARK_MAIN();
