#include "dates/date_text.h"

#include <gtest/gtest.h>

#include "support/test_support.h"

#include "common/errors.h"
#include "dates/date_settings.h"
#include "platform/os/codepage.h"
#include "platform/os/system.h"

namespace orvex {
namespace {

class DateTextTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetDateSettings();
    ResetErrorState();
    EpochYear = 1956;
  }
  void TearDown() override { os::SetClockHook(nullptr); }

  void Use(int type, bool century) {
    CenturyOn = century;
    SetDateType(type);
  }
};

const DayNumber kNewYearsEve2024 = DayNumberFromYMD(2024, 12, 31);

TEST_F(DateTextTest, EachTypeWritesItsTextAndEmptyMask) {
  struct Row {
    const char *text2, *text4, *dtoc_empty2, *dtoc_empty4, *mask2;
  };
  const Row rows[9] = {
      {"12/31/24", "12/31/2024", "  /  /  ", "  /  /    ", "  /  /  "},
      {"24.12.31", "2024.12.31", "  .  .  ", "    .  .  ", "  .  .  "},
      {"31/12/24", "31/12/2024", "  /  /  ", "  /  /    ", "  /  /  "},
      {"31-12-24", "31-12-2024", "  -  -  ", "  -  -    ", "  -  -  "},
      {"31.12.24", "31.12.2024", "  .  .  ", "  .  .    ", "  .  .  "},
      {"31.12.24", "31.12.2024", "  .  .  ", "  .  .    ", "  .  .  "},
      {"31.12.24", "31.12.2024", "  .  .  ", "  .  .    ", "  .  .  "},
      // Canadian French has the form of types 4 to 6, not an empty text.
      {"31.12.24", "31.12.2024", "  .  .  ", "  .  .    ", "  .  .  "},
      // DTOC alone writes type 8 with '/'; the conversions use '.'.
      {"31/12/24", "31/12/2024", "  /  /  ", "  /  /    ", "  .  .  "},
  };
  for (int type = 0; type <= 8; ++type) {
    Use(type, false);
    EXPECT_EQ(DateTextFromDayNumber(kNewYearsEve2024), rows[type].text2) << type;
    EXPECT_EQ(DateTextFromDayNumber(EmptyDayNumber), rows[type].dtoc_empty2) << type;
    EXPECT_EQ(DateTextFromDayNumber(1721425), rows[type].dtoc_empty2) << type;
    EXPECT_EQ(EmptyDateText(type), rows[type].mask2) << type;
    Use(type, true);
    EXPECT_EQ(DateTextFromDayNumber(kNewYearsEve2024), rows[type].text4) << type;
    EXPECT_EQ(DateTextFromDayNumber(EmptyDayNumber), rows[type].dtoc_empty4) << type;
    std::string mask4 =
        type == 1 ? "  " + std::string(rows[type].mask2) : std::string(rows[type].mask2) + "  ";
    EXPECT_EQ(EmptyDateText(type), mask4) << type;
  }
  EXPECT_EQ(EmptyDateText(9), EmptyDateText(0));
}

// DTOC and CTOD are inverses for every type (type 7 included) with either
// year width, as far as the two-digit window reaches.
TEST_F(DateTextTest, DtocAndCtodRoundTripForEveryType) {
  const DayNumber days[] = {DayNumberFromYMD(1956, 1, 1), DayNumberFromYMD(2000, 2, 29),
                            kNewYearsEve2024, DayNumberFromYMD(2055, 12, 31)};
  for (int type = 0; type <= 8; ++type) {
    for (bool century : {false, true}) {
      Use(type, century);
      for (DayNumber x : days) {
        std::string text = DateTextFromDayNumber(x);
        EXPECT_EQ(DayNumberFromDateText(text), x) << type << " " << text;
        std::string checked = text;
        EXPECT_TRUE(CheckDateText(checked)) << type << " " << text;
        EXPECT_EQ(DayNumberFromDateText(checked), x) << type << " " << checked;
      }
      EXPECT_EQ(DayNumberFromDateText(DateTextFromDayNumber(EmptyDayNumber)), EmptyDayNumber);
    }
    CenturyOn = true;
    EXPECT_EQ(DayNumberFromDateText(DateTextFromDayNumber(FirstDayNumber)), FirstDayNumber);
    EXPECT_EQ(DayNumberFromDateText(DateTextFromDayNumber(LastDayNumber)), LastDayNumber);
  }
}

TEST_F(DateTextTest, AnySeparatorParsesTheTypeDecidesTheOrder) {
  Use(5, false);
  const DayNumber feb1 = DayNumberFromYMD(2024, 2, 1);
  for (const char* text : {"1.2.24", "01-02-24", "01/02/24", " 1. 2.24 ", "1.2.2024"})
    EXPECT_EQ(DayNumberFromDateText(text), feb1) << text;
  // Without any separator nothing is converted, and nothing parses.
  EXPECT_EQ(NationalToAmerican("010224"), "010224");
  EXPECT_EQ(DayNumberFromDateText("010224"), EmptyDayNumber);
  EXPECT_EQ(DayNumberFromDateText("01022024"), EmptyDayNumber);
  // CTOD reads only the first 10 characters; a longer year is not cut down.
  EXPECT_EQ(DayNumberFromDateText("01.02.2024x"), feb1);
  EXPECT_EQ(DayNumberFromDateText("1.2.20245"), EmptyDayNumber);
  EXPECT_EQ(DayNumberFromDateText("31.02.24"), EmptyDayNumber);
  EXPECT_EQ(DayNumberFromDateText("ab.02.24"), EmptyDayNumber);
  EXPECT_EQ(DayNumberFromDateText("01.01.0000"), EmptyDayNumber);
  Use(0, false);
  EXPECT_EQ(DayNumberFromDateText("2/1/24"), feb1);
  Use(1, false);
  EXPECT_EQ(DayNumberFromDateText("24.2.1"), feb1);
  Use(3, true);
  EXPECT_EQ(DayNumberFromDateText("1-2-24"), feb1);
}

TEST_F(DateTextTest, CanonicalTextConversions) {
  Use(5, false);
  EXPECT_EQ(NationalToAmerican("1.2.2024"), "02/01/2024");  // kept as given
  EXPECT_EQ(NationalToAmerican(std::string("1.2.24\0-9", 9)), "02/01/24");
  // '/' beats '-', which beats '.'; the third part keeps further separators.
  EXPECT_EQ(NationalToAmerican("01-02.24"), "01-02.24");  // only two parts at '-': no date
  EXPECT_EQ(NationalToAmerican("01-02.24-5"), "02.24/01/05");
  EXPECT_EQ(NationalToAmerican("1/2/3/4"), "02/01/3/4");
  CenturyOn = true;
  EXPECT_EQ(NationalToAmerican("1.2.024"), "02/01/0024");
  EXPECT_EQ(NationalToAmerican("1.2.5"), "02/01/2005");
  EXPECT_EQ(NationalToAmerican(" . . "), "  /  /    ");
  EXPECT_EQ(AmericanToNational("2/1/24"), "01.02.2024");
  Use(1, true);
  EXPECT_EQ(AmericanToNational("  /  /"), "    .  .  ");
}

TEST_F(DateTextTest, TwoDigitYearsAroundTheEpochYear) {
  Use(5, false);
  EXPECT_EQ(DayNumberFromDateText("31.12.55"), DayNumberFromYMD(2055, 12, 31));
  EXPECT_EQ(DayNumberFromDateText("01.01.56"), DayNumberFromYMD(1956, 1, 1));
  EXPECT_EQ(DTextFromDateText("31.12.55"), "20551231");
  EXPECT_EQ(DTextFromDateText("01.01.56"), "19560101");
  EXPECT_EQ(DTextFromDisplayDateText("01.01.56"), "19560101");
  EpochYear = 2000;
  EXPECT_EQ(DTextFromDateText("01.01.99"), "20990101");
  EXPECT_EQ(DTextFromDateText("01.01.00"), "20000101");
  // The leap test of a two-digit year uses the century of the window.
  EpochYear = 1901;
  std::string text = "29.02.00";
  EXPECT_TRUE(CheckDateText(text));  // 2000
  EpochYear = 1900;
  EXPECT_FALSE(CheckDateText(text));  // 1900
  CenturyOn = true;
  EpochYear = 1956;
  EXPECT_TRUE(CheckDateText(text));
  EXPECT_EQ(text, "29.02.2000");
}

TEST_F(DateTextTest, CheckDateTextValidatesAndNormalises) {
  Use(2, false);
  for (const char* bad :
       {"31/04/24", "29/02/23", "30/02/24", "31/06/24", "32/01/24", "00/01/24", "01/13/24",
        "01/00/24", "ab/01/24", "01/01/123", "1/1/2024x", "", "010124", "1/1/-24", "31/12", "31/12/"}) {
    std::string text = bad;
    EXPECT_FALSE(CheckDateText(text)) << bad;
    EXPECT_EQ(text, bad) << "left unchanged";
  }
  std::string text = "29/02/24";
  EXPECT_TRUE(CheckDateText(text));
  EXPECT_EQ(text, "29/02/24");
  text = "  /  /  ";
  EXPECT_TRUE(CheckDateText(text));
  EXPECT_EQ(text, "  /  /  ");
  text = " 1.2.24 ";
  EXPECT_TRUE(CheckDateText(text));
  EXPECT_EQ(text, "01/02/24");
  text = "31-07-2024";  // four digits are shortened while CenturyOn is off
  EXPECT_TRUE(CheckDateText(text));
  EXPECT_EQ(text, "31/07/24");
  CenturyOn = true;
  text = "1/2/24";
  EXPECT_TRUE(CheckDateText(text));
  EXPECT_EQ(text, "01/02/2024");
  text = "01/01/0000";  // no such year
  EXPECT_FALSE(CheckDateText(text));
  text = "  /  /  ";
  EXPECT_TRUE(CheckDateText(text));
  EXPECT_EQ(text, "  /  /    ");

  Use(5, false);
  text = "  .  .";
  EXPECT_TRUE(CheckDateText(text));
  EXPECT_EQ(text, "  .  .  ");
  text = "31.12";  // no year: no date
  EXPECT_FALSE(CheckDateText(text));
  EXPECT_EQ(DayNumberFromDateText("1.2"), EmptyDayNumber);
  EXPECT_NE(DayNumberFromDateText("1.2.24"), EmptyDayNumber);
  Use(1, false);
  text = "24.2.1";
  EXPECT_TRUE(CheckDateText(text));
  EXPECT_EQ(text, "24.02.01");
  Use(8, false);
  text = "01/02/24";
  EXPECT_TRUE(CheckDateText(text));
  EXPECT_EQ(text, "01.02.24");
  Use(0, false);
  text = "2-1-24";
  EXPECT_TRUE(CheckDateText(text));
  EXPECT_EQ(text, "02/01/24");
}

TEST_F(DateTextTest, DateFromRefusesOnlyImpossibleFebruaryDaysAndBadRanges) {
  SetAutoReport(false);
  Use(5, false);
  EXPECT_EQ(DateFrom(24, 12, 31), "31.12.24");
  EXPECT_EQ(DateFrom(2024, 12, 31), "31.12.2024");  // written as given
  EXPECT_EQ(DbfErrorNo, 0);
  // Only February is checked against the month length.
  EXPECT_EQ(DateFrom(2023, 4, 31), "31.04.2023");
  EXPECT_EQ(DateFrom(2024, 2, 30), "30.02.2024");
  EXPECT_EQ(DbfErrorNo, 0);

  struct Bad {
    int year, month, day;
    const char* detail;
  };
  for (const Bad& bad :
       {Bad{2023, 2, 29, "[DateFrom(2023, 2,29)]"}, Bad{2023, 2, 31, "[DateFrom(2023, 2,31)]"},
        Bad{23, 13, 1, "[DateFrom(23,13, 1)]"}, Bad{2024, 0, 5, "[DateFrom(2024, 0, 5)]"},
        Bad{2024, 1, 32, "[DateFrom(2024, 1,32)]"}, Bad{-1, 1, 1, "[DateFrom(-1, 1, 1)]"},
        Bad{10000, 1, 1, "[DateFrom(10000, 1, 1)]"}}) {
    ResetErrorState();
    SetAutoReport(false);
    EXPECT_EQ(DateFrom(bad.year, bad.month, bad.day), "  .  .  ");
    EXPECT_EQ(DbfErrorNo, 220);
    EXPECT_EQ(ErrorDetail, bad.detail);
  }
  // A valid date clears the error number.
  EXPECT_EQ(DateFrom(0, 1, 1), "01.01.00");
  EXPECT_EQ(DbfErrorNo, 0);

  CenturyOn = true;
  EXPECT_EQ(DateFrom(55, 1, 1), "01.01.2055");
  EXPECT_EQ(DateFrom(56, 1, 1), "01.01.1956");
  ResetErrorState();
  SetRaiseOnError(true);
  try {
    DateFrom(23, 2, 29);
    ADD_FAILURE() << "no error raised";
  } catch (const EOrvexError& e) {
    EXPECT_EQ(std::string(e.what()),
              os::Utf8ToAnsi("Fehler Nr. 220 (Unzulässiger Parameter)\r\n[DateFrom(2023, 2,29)]"));
  }
}

TEST_F(DateTextTest, DTextConversions) {
  Use(5, false);
  EXPECT_EQ(DTextFromDateText("31.12.24"), "20241231");
  EXPECT_EQ(DTextFromDateText("1.2.2024"), "20240201");
  EXPECT_EQ(DTextFromDateText("1.2.024"), "00240201");
  EXPECT_EQ(DTextFromDateText("31.02.24"), "20240231");  // characters, not calendar
  // Texts that are not made of a date's parts are no date.
  for (const char* malformed : {"ab.cd.ef", "1.2.24.7", "1.2", "31.12", "..24", "1.x.2024"}) {
    EXPECT_EQ(DTextFromDateText(malformed), "        ") << malformed;
  }
  for (const char* empty : {"  .  .  ", "", "20241231", "1.123.24", "1.2.24567"})
    EXPECT_EQ(DTextFromDateText(empty), "        ") << empty;
  EXPECT_EQ(DTextFromDisplayDateText("31.12.24"), "20241231");
  EXPECT_EQ(DTextFromDisplayDateText("1.2.2024"), "20240201");
  EXPECT_EQ(DTextFromDisplayDateText("  .  .  "), "        ");
  EXPECT_EQ(DTextFromDisplayDateText("x.y.z"), "        ");
  EXPECT_EQ(DTextFromDisplayDateText("20241231"), "        ");

  // D text to national text and back, for every type and year width.
  const char* const forms[9] = {"12/31/24", "24.12.31", "31/12/24", "31-12-24", "31.12.24",
                                "31.12.24", "31.12.24", "31.12.24", "31.12.24"};
  for (int type = 0; type <= 8; ++type) {
    Use(type, false);
    EXPECT_EQ(DateTextFromDText("20241231"), forms[type]) << type;
    EXPECT_EQ(DateTextFromDText("        "), EmptyDateText(type)) << type;
    EXPECT_EQ(DateTextFromDText(""), EmptyDateText(type)) << type;
    EXPECT_EQ(DTextFromDateText(DateTextFromDText("20241231")), "20241231") << type;
    EXPECT_EQ(DTextFromDateText(DateTextFromDText("        ")), "        ") << type;
    Use(type, true);
    EXPECT_EQ(DateTextFromDText("19001231"), AmericanToNational("12/31/1900")) << type;
    EXPECT_EQ(DTextFromDateText(DateTextFromDText("19001231")), "19001231") << type;
    EXPECT_EQ(DTextFromDisplayDateText(DateTextFromDText("19001231")), "19001231") << type;
  }
}

TEST_F(DateTextTest, NumbersOfATextAndTodaysText) {
  Use(5, false);
  EXPECT_EQ(MonthOfDateText("31.12.24"), 12);
  EXPECT_EQ(DayOfDateText("31.12.24"), 31);
  EXPECT_EQ(YearOfDateText("31.12.24"), 24);
  EXPECT_EQ(YearOfDateText("31.12.2024"), 2024);
  EXPECT_EQ(WeekdayOfDateText("31.12.24"), 3);  // Tuesday
  EXPECT_EQ(WeekdayOfDateText("01.01.00"), 7);  // 2000
  for (const char* none : {"  .  .  ", "garbage", "31.02.24"})
    EXPECT_EQ(WeekdayOfDateText(none), 0) << none;
  EXPECT_EQ(MonthOfDateText("  .  .  ") + DayOfDateText("  .  .  ") + YearOfDateText("  .  .  "),
            0);
  EXPECT_EQ(DayOfDateText("xx.12.24"), 0);

  test::SetClockToDate(2024, 2, 29);
  EXPECT_EQ(TodayDateText(), "29.02.24");
  CenturyOn = true;
  EXPECT_EQ(TodayDateText(), "29.02.2024");
  Use(0, false);
  EXPECT_EQ(TodayDateText(), "02/29/24");
}

}  // namespace
}  // namespace orvex
