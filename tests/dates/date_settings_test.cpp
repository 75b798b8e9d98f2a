#include "dates/date_settings.h"

#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "platform/os/format_settings.h"
#include "platform/os/system.h"
#include "support/test_support.h"

namespace orvex {
namespace {

// The settings a fresh process starts with under a locale environment, as
// the probe program prints them ("name=value" lines).
std::map<std::string, std::string> StartUpSettings(const std::string& lang) {
  test::ProcessResult result =
      test::RunProcess({test::BuildProgram("tests/dates/dates_locale_probe")},
                       {"LANG=" + lang, "LC_ALL=", "LC_MESSAGES="});
  EXPECT_EQ(result.exit_status, 0) << result.err;
  std::map<std::string, std::string> settings;
  std::istringstream lines(result.out);
  for (std::string line; std::getline(lines, line);) {
    auto eq = line.find('=');
    if (eq != std::string::npos) settings[line.substr(0, eq)] = line.substr(eq + 1);
  }
  return settings;
}

TEST(DateSettingsTest, LocaleChoosesTheDateTypeAndSeparatorsAtStartUp) {
  auto german = StartUpSettings("de_DE.UTF-8");
  EXPECT_EQ(german["date_type"], "5");
  EXPECT_EQ(german["decimal_separator"], ",");
  EXPECT_EQ(german["thousand_separator"], ".");
  EXPECT_EQ(german["short_date_format"], "dd.MM.yy");
  EXPECT_EQ(german["date_separator"], ".");
  EXPECT_EQ(german["century_on"], "0");
  EXPECT_EQ(german["dtoc"], "31.12.24");

  auto american = StartUpSettings("en_US.UTF-8");
  EXPECT_EQ(american["date_type"], "0");
  EXPECT_EQ(american["decimal_separator"], ".");
  EXPECT_EQ(american["thousand_separator"], ",");
  EXPECT_EQ(american["short_date_format"], "MM/dd/yy");
  EXPECT_EQ(american["dtoc"], "12/31/24");

  auto canadian = StartUpSettings("fr_CA.UTF-8");
  EXPECT_EQ(canadian["date_type"], "7");
  EXPECT_EQ(canadian["decimal_separator"], ".");
  EXPECT_EQ(canadian["dtoc"], "31.12.24");

  auto russian = StartUpSettings("ru_RU.UTF-8");
  EXPECT_EQ(russian["date_type"], "8");
  EXPECT_EQ(russian["thousand_separator"], " ");
  EXPECT_EQ(russian["dtoc"], "31/12/24");

  EXPECT_EQ(StartUpSettings("en_GB.UTF-8")["date_type"], "2");
  EXPECT_EQ(StartUpSettings("it_IT.UTF-8")["decimal_separator"], ",");
  EXPECT_EQ(StartUpSettings("C")["date_type"], "0");

  // The two-digit-year window starts 70 years before the current year.
  int year = os::GetLocalTime().year;
  int epoch = std::stoi(german["epoch_year"]);
  EXPECT_TRUE(epoch == year - 70 || epoch == year - 71) << epoch;  // a new year may begin
}

TEST(DateSettingsTest, DateTypeForEveryLanguage) {
  // {primary language, sub-language, date type}; Dutch (19) is not listed.
  const int cases[][3] = {{7, 1, 5},  {7, 2, 5},  {9, 1, 0},  {9, 2, 2},  {10, 1, 6}, {12, 1, 4},
                          {12, 3, 7}, {16, 1, 3}, {25, 1, 8}, {19, 1, 0}, {0, 0, 0}};
  for (const auto& c : cases)
    EXPECT_EQ(DateTypeForLanguage(static_cast<std::uint16_t>(c[0] | c[1] << 10)), c[2]) << c[0];
}

TEST(DateSettingsTest, SetDateTypeUpdatesTheFrameworkFormats) {
  ResetDateSettings();
  const char* expected[9][2] = {{"MM/dd/yy", "/"}, {"yy.MM.dd", "."}, {"dd/MM/yy", "/"},
                                {"dd-MM-yy", "-"}, {"dd.MM.yy", "."}, {"dd.MM.yy", "."},
                                {"dd.MM.yy", "."}, {"dd.MM.yy", "."}, {"dd.MM.yy", "."}};
  for (int century = 0; century < 2; ++century) {
    CenturyOn = century == 1;
    for (int type = 0; type <= 8; ++type) {
      SetDateType(type);
      std::string format = expected[type][0];
      if (CenturyOn) format.replace(format.find("yy"), 2, "yyyy");
      EXPECT_EQ(DateType, type);
      EXPECT_EQ(os::Formats().short_date_format, format) << type;
      EXPECT_EQ(std::string(1, os::Formats().date_separator), expected[type][1]) << type;
    }
  }
  // Out of range becomes type 0; the numeric separators stay as they were.
  char decimal = os::Formats().decimal_separator;
  SetDateType(5);
  SetDateType(9);
  EXPECT_EQ(DateType, 0);
  SetDateType(-3);
  EXPECT_EQ(DateType, 0);
  EXPECT_EQ(os::Formats().short_date_format, "MM/dd/yyyy");
  EXPECT_EQ(os::Formats().decimal_separator, decimal);
}

TEST(DateSettingsTest, CenturyOfTheTwoDigitYearWindow) {
  EpochYear = 1956;
  EXPECT_EQ(CenturyOf(55), 2000);
  EXPECT_EQ(CenturyOf(56), 1900);
  EXPECT_EQ(CenturyOf(0), 2000);
  EXPECT_EQ(CenturyOf(99), 1900);
  EpochYear = 2000;
  EXPECT_EQ(CenturyOf(0), 2000);
  EXPECT_EQ(CenturyOf(99), 2000);
  EpochYear = 1999;
  EXPECT_EQ(CenturyOf(98), 2000);
  EXPECT_EQ(CenturyOf(99), 1900);
}

TEST(DateSettingsTest, ResetReadsTheClockAndTheLanguageAgain) {
  test::SetClockToDate(2024, 6, 1);
  setenv("LC_ALL", "de_AT.UTF-8", 1);
  CenturyOn = true;
  SetDateType(1);
  ResetDateSettings();
  EXPECT_EQ(EpochYear, 1954);
  EXPECT_EQ(DateType, 5);
  EXPECT_FALSE(CenturyOn);
  EXPECT_EQ(os::Formats().short_date_format, "dd.MM.yy");
  EXPECT_EQ(os::Formats().decimal_separator, ',');
  setenv("LC_ALL", "en_US.UTF-8", 1);
  ResetDateSettings();
  EXPECT_EQ(DateType, 0);
  EXPECT_EQ(os::Formats().decimal_separator, '.');
  EXPECT_EQ(os::Formats().thousand_separator, ',');
  os::SetClockHook(nullptr);
  unsetenv("LC_ALL");
}

}  // namespace
}  // namespace orvex
