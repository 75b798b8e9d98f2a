#include "dates/day_number.h"

#include <cmath>
#include <limits>

#include "platform/os/system.h"

namespace orvex {
namespace {

// Days before month m of a common year, m = 1..13.
constexpr std::int32_t kDaysBeforeMonth[14] = {0,   0,   31,  59,  90,  120, 151,
                                               181, 212, 243, 273, 304, 334, 365};

std::int32_t DaysInYear(std::int32_t year) { return IsLeapYear(year) ? 366 : 365; }

// Floor division and its non-negative remainder.
std::int32_t FloorDiv(std::int32_t a, std::int32_t b) {
  std::int32_t q = a / b;
  return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

// Writes the last `width` decimal digits of a non-negative value.
void PutDigits(char* at, std::int32_t value, int width) {
  for (int i = width - 1; i >= 0; --i, value /= 10) at[i] = static_cast<char>('0' + value % 10);
}

}  // namespace

bool IsValidDayNumber(DayNumber x) { return x >= FirstDayNumber && x <= LastDayNumber; }

bool IsLeapYear(std::int32_t year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

std::int32_t DaysBeforeYear(std::int32_t year) {
  if (year < 2) return 0;
  std::int64_t p = year - 1;
  std::int64_t days = p * 365 + p / 4 + p / 400 - p / 100;
  // Saturate instead of overflowing for absurd years; no valid date gets near.
  return days > std::numeric_limits<std::int32_t>::max() ? std::numeric_limits<std::int32_t>::max()
                                                         : static_cast<std::int32_t>(days);
}

std::int32_t DayOfYear(std::int32_t year, std::int32_t month, std::int32_t day) {
  if (year < 0 || month < 1 || month > 12 || day < 1) return -1;
  bool leap = IsLeapYear(year);
  std::int32_t length = kDaysBeforeMonth[month + 1] - kDaysBeforeMonth[month];
  if (month == 2 && leap) ++length;
  if (day > length) return -1;
  return day + kDaysBeforeMonth[month] + (month > 2 && leap ? 1 : 0);
}

DayNumber DayNumberFromYMD(std::int32_t year, std::int32_t month, std::int32_t day) {
  // Years outside 1..9999 have no day number: year 0 would fall onto the days
  // of year 1, and later years beyond the range every reader accepts.
  if (year < 1 || year > 9999) return EmptyDayNumber;
  std::int32_t k = DayOfYear(year, month, day);
  if (k <= 0) return EmptyDayNumber;
  return static_cast<DayNumber>(DaysBeforeYear(year) + k + DayNumberOffset);
}

CalendarDate YMDFromDayNumber(DayNumber x) {
  if (!IsValidDayNumber(x)) return {};
  std::int32_t n = static_cast<std::int32_t>(std::trunc(x)) - DayNumberOffset;
  // A low estimate of the year (never below year 1), then step forward year
  // by year. 400 years hold 146097 days; the estimate from that average is
  // never above the year of a valid day and at most two below it (checked
  // for every day of years 1 to 9999), so that every date shown costs a
  // step or two rather than a walk over the years in between.
  const std::int32_t estimate = static_cast<std::int32_t>(std::int64_t{n} * 400 / 146097);
  std::int32_t year = estimate < 1 ? 1 : estimate;
  n -= DaysBeforeYear(year);
  while (n > DaysInYear(year)) {
    n -= DaysInYear(year);
    ++year;
  }
  CalendarDate date;
  date.year = year;
  if (IsLeapYear(year)) {
    if (n == 60) {
      date.month = 2;
      date.day = 29;
      return date;
    }
    if (n > 60) --n;
  }
  std::int32_t month = 1;
  while (kDaysBeforeMonth[month + 1] < n) ++month;
  date.month = month;
  date.day = n - kDaysBeforeMonth[month];
  return date;
}

std::int32_t DatePartValue(std::string_view part) {
  while (!part.empty() && static_cast<unsigned char>(part.front()) < 33) part.remove_prefix(1);
  while (!part.empty() && static_cast<unsigned char>(part.back()) < 33) part.remove_suffix(1);
  if (part.empty() || part.size() > 9) return 0;
  std::int32_t value = 0;
  for (char c : part) {
    if (c < '0' || c > '9') return 0;
    value = value * 10 + (c - '0');
  }
  return value;
}

DayNumber DayNumberFromDText(std::string_view d_text) {
  d_text = d_text.substr(0, d_text.find('\0'));
  d_text = d_text.substr(0, 8);
  auto part = [&](std::size_t pos, std::size_t len) {
    return pos < d_text.size() ? DatePartValue(d_text.substr(pos, len)) : 0;
  };
  std::int32_t year = part(0, 4);
  if (year == 0) return EmptyDayNumber;
  return DayNumberFromYMD(year, part(4, 2), part(6, 2));
}

std::string DTextFromDayNumber(DayNumber x) {
  if (!IsValidDayNumber(x)) return std::string(8, ' ');
  CalendarDate date = YMDFromDayNumber(x);
  std::string text(8, '0');
  PutDigits(text.data(), date.year, 4);
  PutDigits(text.data() + 4, date.month, 2);
  PutDigits(text.data() + 6, date.day, 2);
  return text;
}

DayNumber Today() {
  os::LocalTime now = os::GetLocalTime();
  return DayNumberFromYMD(now.year, now.month, now.day);
}

int WeekdayFromYMD(std::int32_t year, std::int32_t month, std::int32_t day) {
  // January and February count as months 13 and 14 of the previous year.
  if (month < 3) {
    month += 12;
    --year;
  }
  std::int32_t century = FloorDiv(year, 100);
  std::int32_t year_of_century = year - century * 100;
  std::int64_t h = static_cast<std::int64_t>(day) + (26 * (month + 1)) / 10 + year_of_century +
                   year_of_century / 4 + FloorDiv(century, 4) -
                   2 * static_cast<std::int64_t>(century);
  h %= 7;
  if (h < 0) h += 7;
  return h == 0 ? 7 : static_cast<int>(h);
}

int WeekdayFromDayNumber(DayNumber x) {
  if (!IsValidDayNumber(x)) return 0;
  CalendarDate date = YMDFromDayNumber(x);
  return WeekdayFromYMD(date.year, date.month, date.day);
}

}  // namespace orvex
