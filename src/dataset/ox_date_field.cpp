#include "dataset/ox_date_field.h"

#include <cstring>

#include "common/names.h"
#include "dataset/scoped_option.h"
#include "dates/date_settings.h"
#include "dates/date_text.h"
#include "dates/day_number.h"

namespace orvex {

namespace {

constexpr double kDateTimeEpoch = 2415019;  // day number of date-time 0

// Checked and read with four-digit years, so that a typed century stays.
// The option is forced only for reading the text: the field's value is
// written under the caller's settings.
DayNumber TypedDay(const std::string& text, bool* is_date) {
  ScopedOption<bool> century(CenturyOn, true);
  std::string check = text;
  *is_date = CheckDateText(check);
  return *is_date ? DayNumberFromDateText(check) : 0;
}

// Speed: a grid asks for the text of every date it shows at every repaint,
// into a string it keeps. The library's date text of a DateType is a fixed
// arrangement of separators and of the digits of day, month and year, so
// the text of the date 1987-04-23 (eight different digits) shows once where
// each digit goes; every other date is then written into that pattern in
// place. The pattern is learned again when DateType changes.
struct DatePattern {
  std::uint8_t type = 0xFF;
  bool usable = false;
  std::string text;
  int place[8] = {};  // text position of the digits of DDMMYYYY
};

const DatePattern& CurrentDatePattern() {
  static DatePattern pattern;
  if (pattern.type == DateType) return pattern;
  pattern = DatePattern();
  pattern.type = DateType;
  {
    ScopedOption<bool> century(CenturyOn, true);
    pattern.text = DateTextFromDayNumber(DayNumberFromYMD(1987, 4, 23));
  }
  static constexpr char kDigits[] = "23041987";  // DDMMYYYY of that date
  int found = 0;
  for (std::size_t i = 0; i < pattern.text.size(); ++i) {
    const char* at = std::strchr(kDigits, pattern.text[i]);
    if (pattern.text[i] != '\0' && at != nullptr) {
      pattern.place[at - kDigits] = static_cast<int>(i);
      ++found;
    }
  }
  pattern.usable = found == 8;
  return pattern;
}

}  // namespace

void TOxDateField::GetText(std::string& text, bool) const {
  std::int32_t day = 0;
  if (!GetData(&day)) return text.clear();
  const DayNumber x = static_cast<DayNumber>(day - data::kDateDelta) + kDateTimeEpoch;
  const DatePattern& pattern = CurrentDatePattern();
  const CalendarDate date = YMDFromDayNumber(x);
  if (!pattern.usable || date.year < 1) {
    ScopedOption<bool> century(CenturyOn, true);
    text = DateTextFromDayNumber(x);
    return;
  }
  text.assign(pattern.text);
  const int digits[8] = {date.day / 10,       date.day % 10,    date.month / 10,
                         date.month % 10,     date.year / 1000, date.year / 100 % 10,
                         date.year / 10 % 10, date.year % 10};
  for (int i = 0; i < 8; ++i)
    text[static_cast<std::size_t>(pattern.place[i])] = static_cast<char>('0' + digits[i]);
}

void TOxDateField::SetAsString(const std::string& value) {
  const std::string text = TrimRight(value).substr(0, 10);
  // The empty masks with and without the century are the same when trimmed.
  if (text == TrimRight(EmptyDateText(DateType))) return Clear();
  bool is_date = false;
  const DayNumber day = TypedDay(text, &is_date);
  if (!is_date) return SetAsDateTime(data::StrToDate(text));
  if (!IsValidDayNumber(day)) return Clear();
  SetAsDateTime(day - kDateTimeEpoch);
}

}  // namespace orvex
