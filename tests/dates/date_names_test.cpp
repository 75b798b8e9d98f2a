#include "dates/date_names.h"

#include <gtest/gtest.h>

#include "dates/date_settings.h"

namespace orvex {
namespace {

// A byte string from its code-page bytes, padded with blanks to `width`:
// the names are compared as the OEM bytes a table file holds.
std::string OemBytes(std::initializer_list<unsigned char> bytes, std::size_t width) {
  std::string s(bytes.begin(), bytes.end());
  s.resize(width, ' ');
  return s;
}

class DateNamesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetDateSettings();
    EpochYear = 1956;
  }
};

TEST_F(DateNamesTest, EveryTypeHasItsLanguageAndSlotWidths) {
  struct Expect {
    int day_width, month_width;
    const char* sunday;
    const char* january;
  };
  const Expect expected[9] = {
      {9, 9, "Sunday   ", "January  "},   {9, 9, "Sunday   ", "January  "},
      {9, 9, "Sunday   ", "January  "},   {9, 9, "Domenica ", "Gennaio  "},
      {8, 9, "Dimanche", "Janvier  "},    {10, 9, "Sonntag   ", "Januar   "},
      {9, 10, "Domingo  ", "Enero     "}, {8, 9, "Dimanche", "Janvier  "},
      {11, 8, nullptr, nullptr}};
  for (int type = 0; type <= 8; ++type) {
    SetDateType(type);
    for (int w = 1; w <= 7; ++w)
      EXPECT_EQ(DayNameOf(w).size(), static_cast<std::size_t>(expected[type].day_width)) << type;
    for (int m = 1; m <= 12; ++m)
      EXPECT_EQ(MonthNameOf(m).size(), static_cast<std::size_t>(expected[type].month_width))
          << type;
    if (expected[type].sunday) {
      EXPECT_EQ(DayNameOf(1), expected[type].sunday) << type;
      EXPECT_EQ(MonthNameOf(1), expected[type].january) << type;
    }
  }
}

TEST_F(DateNamesTest, NamesAreOemBytesPaddedToTheirSlots) {
  SetDateType(5);
  EXPECT_EQ(DayNameOf(5), "Donnerstag");  // fills its 10 places
  EXPECT_EQ(MonthNameOf(3), OemBytes({'M', 0x84, 'r', 'z'}, 9));
  SetDateType(4);
  EXPECT_EQ(MonthNameOf(2), OemBytes({'F', 0x82, 'v', 'r', 'i', 'e', 'r'}, 9));
  EXPECT_EQ(MonthNameOf(8), OemBytes({'A', 'o', 0x96, 't'}, 9));
  EXPECT_EQ(MonthNameOf(12), OemBytes({'D', 0x82, 'c', 'e', 'm', 'b', 'r', 'e'}, 9));
  SetDateType(6);
  EXPECT_EQ(MonthNameOf(9), "Septiembre");
  EXPECT_EQ(DayNameOf(4), "Miercoles");
  SetDateType(3);
  EXPECT_EQ(DayNameOf(4), "Mercoledi");
  SetDateType(8);  // code page 866
  EXPECT_EQ(DayNameOf(1),
            OemBytes({0x82, 0xAE, 0xE1, 0xAA, 0xE0, 0xA5, 0xE1, 0xA5, 0xAD, 0xEC, 0xA5}, 11));
  EXPECT_EQ(DayNameOf(4), OemBytes({0x91, 0xE0, 0xA5, 0xA4, 0xA0}, 11));
  EXPECT_EQ(MonthNameOf(1), OemBytes({0x9F, 0xAD, 0xA2, 0xA0, 0xE0, 0xEC}, 8));
  EXPECT_EQ(MonthNameOf(9), OemBytes({0x91, 0xA5, 0xAD, 0xE2, 0xEF, 0xA1, 0xE0, 0xEC}, 8));
}

TEST_F(DateNamesTest, NumbersOutsideTheTablesGiveBlanks) {
  SetDateType(5);
  EXPECT_EQ(DayNameOf(0), std::string(10, ' '));
  EXPECT_EQ(DayNameOf(8), std::string(10, ' '));
  EXPECT_EQ(MonthNameOf(0), std::string(9, ' '));
  EXPECT_EQ(MonthNameOf(13), std::string(9, ' '));
}

TEST_F(DateNamesTest, CdowAndCmonthOfNationalTexts) {
  SetDateType(5);
  EXPECT_EQ(DayName("25.12.24"), "Mittwoch  ");
  EXPECT_EQ(DayName("25.12.2024"), "Mittwoch  ");
  EXPECT_EQ(MonthName("25.12.24"), "Dezember ");
  EXPECT_EQ(DayName("  .  .  "), std::string(10, ' '));
  EXPECT_EQ(MonthName("  .  .  "), std::string(9, ' '));
  EXPECT_EQ(DayName("31.02.24"), std::string(10, ' '));  // no such day
  EXPECT_EQ(MonthName("01.13.24"), std::string(9, ' '));
  EXPECT_EQ(DayName("garbage"), std::string(10, ' '));
  // A two-digit year lies in the window of EpochYear: 01.01.00 is 2000.
  EXPECT_EQ(DayName("01.01.00"), "Samstag   ");
  SetDateType(0);
  EXPECT_EQ(DayName("12/25/24"), "Wednesday");
  SetDateType(8);  // DTOC writes type 8 with '/', the names read it as well
  EXPECT_EQ(DayName("25/12/24"), OemBytes({0x91, 0xE0, 0xA5, 0xA4, 0xA0}, 11));
}

}  // namespace
}  // namespace orvex
