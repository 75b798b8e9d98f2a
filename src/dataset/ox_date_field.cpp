#include "dataset/ox_date_field.h"

#include "common/names.h"
#include "dates/date_settings.h"
#include "dates/date_text.h"
#include "platform/os/format_settings.h"

namespace orvex {

namespace {
constexpr double kDateTimeEpoch = 2415019;  // day number of date-time 0
}  // namespace

namespace {

// Whether the framework's date text is already the library's normalised
// form, so that CheckDateText would hand it back unchanged. That holds when
// the short date format is the one the current DateType sets (the usual
// case, since the dataset's start-up derives the type from the format); the
// answer is learned from one date with distinct day, month and year digits
// and kept until the settings change.
bool FrameworkTextIsNormalised() {
  struct Known {
    std::uint8_t type = 0xFF;
    bool century = false;
    std::string format;
    char separator = 0;
    bool normalised = false;
  };
  static Known known;
  const os::FormatSettings& formats = os::Formats();
  if (known.type != DateType || known.century != CenturyOn ||
      known.format != formats.short_date_format || known.separator != formats.date_separator) {
    data::TDateTime probe = 0;
    data::TryEncodeDate(1987, 11, 23, &probe);
    const std::string text = data::DateToStr(probe);
    std::string check = text.substr(0, 10);
    known = Known{DateType, CenturyOn, formats.short_date_format, formats.date_separator,
                  text.size() <= 10 && CheckDateText(check) && check == text};
  }
  return known.normalised;
}

}  // namespace

void TOxDateField::GetText(std::string& text, bool display_text) const {
  data::TDateField::GetText(text, display_text);
  if (text.empty() || FrameworkTextIsNormalised()) return;
  std::string check = text.substr(0, 10);
  if (CheckDateText(check)) text = check.substr(0, 10);
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
