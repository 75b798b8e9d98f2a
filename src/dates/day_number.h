// Day numbers: every date the library computes with.
//
// A DayNumber is the Julian day number of a date in the proleptic Gregorian
// calendar, held in a double and integral for a valid date. The valid range
// is 1 January of year 1 (1721426) to 31 December 9999 (5373484). Every
// conversion towards a day number yields EmptyDayNumber (1e100) for an empty
// or invalid date, and every conversion from a day number treats a value
// outside the valid range as empty. Because EmptyDayNumber is far above every
// valid date, an empty date sorts after all valid dates.
//
// On disk a date is the 8-character D text YYYYMMDD (8 blanks when empty).
// No function here reports an error.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace orvex {

using DayNumber = double;

inline constexpr DayNumber EmptyDayNumber = 1e100;
// The day before 1 January of year 1: the offset of all conversions.
inline constexpr std::int32_t DayNumberOffset = 1721425;
inline constexpr DayNumber FirstDayNumber = 1721426;  // 0001-01-01
inline constexpr DayNumber LastDayNumber = 5373484;   // 9999-12-31

struct CalendarDate {
  std::int32_t year = 0;
  std::int32_t month = 0;  // 1..12
  std::int32_t day = 0;    // 1..31
};

// True when first <= x <= last (so false for EmptyDayNumber and NaN). A
// fractional day number counts as the day it truncates to.
bool IsValidDayNumber(DayNumber x);

// Divisible by 4 and not by 100, or by 400. Year 0 counts as a leap year.
bool IsLeapYear(std::int32_t year);
// Days in the years 1 .. year-1; 0 for any year below 2.
std::int32_t DaysBeforeYear(std::int32_t year);
// 1-based day within the year, or -1 when year < 0 or month/day are out of
// range for that year.
std::int32_t DayOfYear(std::int32_t year, std::int32_t month, std::int32_t day);

// The day number of a calendar date, or EmptyDayNumber when the date does not
// exist or lies outside years 1..9999.
DayNumber DayNumberFromYMD(std::int32_t year, std::int32_t month, std::int32_t day);
// The calendar date of a day number (truncated); {0, 0, 0} for a value
// outside the valid range. Exact inverse of DayNumberFromYMD.
CalendarDate YMDFromDayNumber(DayNumber x);

// D field text (up to its first NUL or 8 characters): year 1-4, month 5-6,
// day 7-8. A part that is not a decimal number counts as 0; year 0 and
// invalid dates give EmptyDayNumber (so do 8 blanks, the empty D field).
DayNumber DayNumberFromDText(std::string_view d_text);
// 8 characters YYYYMMDD with leading zeros, or 8 blanks for a value outside
// the valid range.
std::string DTextFromDayNumber(DayNumber x);

// The day number of the local system date (through os::GetLocalTime).
DayNumber Today();

// Weekday by Zeller's congruence: 1 = Sunday .. 7 = Saturday. Defined for
// every year, month 1..12 and day; does not check that the date exists.
int WeekdayFromYMD(std::int32_t year, std::int32_t month, std::int32_t day);
// Weekday 1..7 of a valid day number, 0 for an empty one.
int WeekdayFromDayNumber(DayNumber x);

// The decimal value of one part of a date text: blanks (codes below 33) at
// both ends are ignored; a part that is empty or holds anything but the
// digits 0-9 (or more than 9 of them) counts as 0.
std::int32_t DatePartValue(std::string_view part);

}  // namespace orvex
