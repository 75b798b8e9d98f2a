#include "dates/day_number.h"

#include <gtest/gtest.h>

#include "support/test_support.h"

#include <cmath>
#include <cstring>
#include <limits>

#include "platform/os/system.h"

namespace orvex {
namespace {

std::int32_t MonthLength(std::int32_t year, std::int32_t month) {
  static const std::int32_t kLength[13] = {0, 31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return kLength[month] + (month == 2 && IsLeapYear(year) ? 1 : 0);
}

// Every day of the calendar gets the next day number, and converts back to
// the same date, both as numbers and as D text.
TEST(DayNumberTest, RoundTripOfEveryDayFromYear1To9999) {
  DayNumber expected = FirstDayNumber;
  std::int64_t days = 0;
  for (std::int32_t year = 1; year <= 9999; ++year) {
    for (std::int32_t month = 1; month <= 12; ++month) {
      for (std::int32_t day = 1; day <= MonthLength(year, month); ++day, ++days) {
        DayNumber n = DayNumberFromYMD(year, month, day);
        ASSERT_EQ(n, expected) << year << "-" << month << "-" << day;
        CalendarDate back = YMDFromDayNumber(n);
        ASSERT_TRUE(back.year == year && back.month == month && back.day == day)
            << year << "-" << month << "-" << day << " came back as " << back.year << "-"
            << back.month << "-" << back.day;
        std::string d_text = DTextFromDayNumber(n);
        ASSERT_EQ(DayNumberFromDText(d_text), n) << d_text;
        expected += 1;
      }
    }
  }
  EXPECT_EQ(expected - 1, LastDayNumber);
  EXPECT_EQ(days, 3652059);
}

TEST(DayNumberTest, KnownDayNumbersAndDifferences) {
  EXPECT_EQ(DayNumberFromYMD(1, 1, 1), 1721426);
  EXPECT_EQ(DayNumberFromYMD(9999, 12, 31), 5373484);
  EXPECT_EQ(DayNumberFromYMD(2000, 1, 1), 2451545);
  EXPECT_EQ(DTextFromDayNumber(2451545), "20000101");
  EXPECT_EQ(DTextFromDayNumber(1721426), "00010101");
  EXPECT_EQ(DTextFromDayNumber(5373484), "99991231");
  EXPECT_EQ(DayNumberFromDText("20240229") - DayNumberFromDText("20240101"), 59);
  // A fractional day number (date arithmetic with a fractional operand) is
  // the day it truncates to.
  EXPECT_EQ(DTextFromDayNumber(2451545.75), "20000101");
}

TEST(DayNumberTest, EmptyDayNumberIsOneE100AndSortsLast) {
  std::uint64_t bits;
  std::memcpy(&bits, &EmptyDayNumber, sizeof bits);
  EXPECT_EQ(bits, 0x54B249AD2594C37DULL);
  EXPECT_GT(EmptyDayNumber, LastDayNumber);
  EXPECT_FALSE(IsValidDayNumber(EmptyDayNumber));
  EXPECT_FALSE(IsValidDayNumber(std::numeric_limits<double>::quiet_NaN()));
}

TEST(DayNumberTest, LeapRules) {
  EXPECT_TRUE(IsLeapYear(2000));
  EXPECT_TRUE(IsLeapYear(2024));
  EXPECT_TRUE(IsLeapYear(400));
  EXPECT_TRUE(IsLeapYear(0));
  EXPECT_FALSE(IsLeapYear(1900));
  EXPECT_FALSE(IsLeapYear(2023));
  EXPECT_FALSE(IsLeapYear(100));

  EXPECT_EQ(DayNumberFromYMD(1900, 2, 29), EmptyDayNumber);
  EXPECT_NE(DayNumberFromYMD(2000, 2, 29), EmptyDayNumber);
  EXPECT_EQ(DayNumberFromYMD(2023, 2, 29), EmptyDayNumber);

  EXPECT_EQ(DayOfYear(2023, 3, 1), 60);
  EXPECT_EQ(DayOfYear(2024, 3, 1), 61);
  EXPECT_EQ(DayOfYear(2024, 2, 29), 60);
  EXPECT_EQ(DayOfYear(2024, 12, 31), 366);
  EXPECT_EQ(DayOfYear(2023, 12, 31), 365);
  EXPECT_EQ(DayOfYear(0, 2, 29), 60);  // year 0 is a leap year
  EXPECT_EQ(DayOfYear(-1, 1, 1), -1);
  EXPECT_EQ(DayOfYear(2023, 0, 1), -1);
  EXPECT_EQ(DayOfYear(2023, 13, 1), -1);
  EXPECT_EQ(DayOfYear(2023, 1, 0), -1);
  EXPECT_EQ(DayOfYear(2023, 4, 31), -1);

  EXPECT_EQ(DaysBeforeYear(-5), 0);
  EXPECT_EQ(DaysBeforeYear(1), 0);
  EXPECT_EQ(DaysBeforeYear(2), 365);
  EXPECT_EQ(DaysBeforeYear(5), 4 * 365 + 1);
  EXPECT_EQ(DaysBeforeYear(2001), 2451545 - DayNumberOffset - 1 + 366);
}

// Years outside 1..9999 have no day number; year 0 must not fall onto the
// days of year 1.
TEST(DayNumberTest, YearsOutsideTheRangeAreEmpty) {
  EXPECT_EQ(DayNumberFromYMD(0, 1, 1), EmptyDayNumber);
  EXPECT_EQ(DayNumberFromYMD(0, 12, 31), EmptyDayNumber);
  EXPECT_EQ(DayNumberFromYMD(-1, 6, 1), EmptyDayNumber);
  EXPECT_EQ(DayNumberFromYMD(10000, 1, 1), EmptyDayNumber);
  EXPECT_EQ(DayNumberFromYMD(std::numeric_limits<std::int32_t>::max(), 1, 1), EmptyDayNumber);
  EXPECT_EQ(DaysBeforeYear(std::numeric_limits<std::int32_t>::max()),
            std::numeric_limits<std::int32_t>::max());
}

TEST(DayNumberTest, EmptyAndDamagedDTexts) {
  for (std::string_view text : {"00000000", "        ", "2024AB01", "", "2024", "20240230",
                                "0000AB01", "-0240101", "2024-1-1", "x0240101"})
    EXPECT_EQ(DayNumberFromDText(text), EmptyDayNumber) << "'" << text << "'";
  // The text ends at its first NUL or after 8 characters.
  EXPECT_EQ(DayNumberFromDText(std::string_view("20240101\0"
                                                "99",
                                                11)),
            2460311);
  EXPECT_EQ(DayNumberFromDText("2024010199"), 2460311);
  EXPECT_EQ(DayNumberFromDText(std::string_view("2024\0"
                                                "0101",
                                                9)),
            EmptyDayNumber);

  for (DayNumber x :
       {EmptyDayNumber, 1721425.0, 1721425.5, 5373484.5, 5373485.0, 0.0, -1e300,
        std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity()}) {
    EXPECT_EQ(DTextFromDayNumber(x), "        ") << x;
    CalendarDate date = YMDFromDayNumber(x);
    EXPECT_EQ(date.year + date.month + date.day, 0) << x;
  }
}

TEST(DayNumberTest, DatePartValueReadsOnlyWholeNumbers) {
  EXPECT_EQ(DatePartValue("2024"), 2024);
  EXPECT_EQ(DatePartValue(" 7 "), 7);
  for (std::string_view part : {"", "  ", "AB", "1A", "-1", "1 2", "9999999999"})
    EXPECT_EQ(DatePartValue(part), 0) << "'" << part << "'";
}

TEST(DayNumberTest, WeekdaysByZeller) {
  EXPECT_EQ(WeekdayFromYMD(2000, 1, 1), 7);  // Saturday
  EXPECT_EQ(WeekdayFromYMD(1776, 7, 4), 5);  // Thursday
  EXPECT_EQ(WeekdayFromYMD(2024, 12, 25), 4);
  EXPECT_EQ(WeekdayFromYMD(1, 1, 1), 2);    // Monday
  EXPECT_EQ(WeekdayFromYMD(100, 1, 1), 6);  // K = 0 in January: previous century
  EXPECT_EQ(WeekdayFromYMD(9999, 12, 31), 6);
  EXPECT_EQ(WeekdayFromDayNumber(EmptyDayNumber), 0);
  // The congruence agrees with the day count (2451545 is a Saturday) on the
  // first and last day of every month of the calendar.
  for (std::int32_t year = 1; year <= 9999; ++year) {
    for (std::int32_t month = 1; month <= 12; ++month) {
      for (std::int32_t day : {1, MonthLength(year, month)}) {
        auto n = static_cast<std::int64_t>(DayNumberFromYMD(year, month, day));
        int by_count = static_cast<int>((n + 1) % 7) + 1;
        ASSERT_EQ(WeekdayFromYMD(year, month, day), by_count) << year << "-" << month << "-" << day;
        ASSERT_EQ(WeekdayFromDayNumber(static_cast<DayNumber>(n)), by_count);
      }
    }
  }
}

TEST(DayNumberTest, TodayReadsTheLocalClock) {
  test::SetClockToDate(2024, 2, 29);
  EXPECT_EQ(Today(), DayNumberFromYMD(2024, 2, 29));
  os::SetClockHook(nullptr);
  EXPECT_TRUE(IsValidDayNumber(Today()));
}

}  // namespace
}  // namespace orvex
