#include "dataset/ox_date_field.h"

#include "common/names.h"
#include "dates/date_settings.h"
#include "dates/date_text.h"

namespace orvex {

namespace {
constexpr double kDateTimeEpoch = 2415019;  // day number of date-time 0
}  // namespace

std::string TOxDateField::GetText(bool display_text) const {
  std::string text = data::TDateField::GetText(display_text);
  std::string check = text.substr(0, 10);
  return CheckDateText(check) ? check.substr(0, 10) : text;
}

void TOxDateField::SetAsString(const std::string& value) {
  const std::string text = TrimRight(value).substr(0, 10);
  if (text == TrimRight(EmptyDateText(DateType))) return Clear();
  std::string check = text;
  if (!CheckDateText(check)) return SetAsDateTime(data::StrToDate(text));
  const DayNumber day = DayNumberFromDateText(check);
  if (!IsValidDayNumber(day)) return Clear();
  SetAsDateTime(day - kDateTimeEpoch);
}

}  // namespace orvex
