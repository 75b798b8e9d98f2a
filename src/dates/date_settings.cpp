#include "dates/date_settings.h"

#include <string>

#include "platform/os/format_settings.h"
#include "platform/os/system.h"

namespace orvex {

std::uint8_t DateType = 0;
bool CenturyOn = false;
std::int16_t EpochYear = 0;

namespace {

// The settings take their start-up values when the program starts.
[[maybe_unused]] const bool kStarted = (ResetDateSettings(), true);

}  // namespace

void SetDateType(int type) {
  if (type < 0 || type > 8) type = 0;
  DateType = static_cast<std::uint8_t>(type);
  const std::string year = CenturyOn ? "yyyy" : "yy";
  os::FormatSettings& formats = os::Formats();
  switch (type) {
    case 0:
      formats.short_date_format = "MM/dd/" + year;
      formats.date_separator = '/';
      break;
    case 1:
      formats.short_date_format = year + ".MM.dd";
      formats.date_separator = '.';
      break;
    case 2:
      formats.short_date_format = "dd/MM/" + year;
      formats.date_separator = '/';
      break;
    case 3:
      formats.short_date_format = "dd-MM-" + year;
      formats.date_separator = '-';
      break;
    default:
      formats.short_date_format = "dd.MM." + year;
      formats.date_separator = '.';
      break;
  }
}

int DateTypeForLanguage(std::uint16_t lang_id) {
  switch (os::PrimaryLang(lang_id)) {
    case os::kLangGerman:
      return 5;
    case os::kLangEnglish:
      return os::SubLang(lang_id) == os::kSubLangEnglishUs ? 0 : 2;
    case os::kLangSpanish:
      return 6;
    case os::kLangFrench:
      return os::SubLang(lang_id) == os::kSubLangFrenchCanadian ? 7 : 4;
    case os::kLangItalian:
      return 3;
    case os::kLangRussian:
      return 8;
    default:
      return 0;
  }
}

int CenturyOf(int yy) {
  int century = (EpochYear / 100) * 100;
  return yy < EpochYear % 100 ? century + 100 : century;
}

void ResetDateSettings() {
  CenturyOn = false;
  EpochYear = static_cast<std::int16_t>(os::GetLocalTime().year - 70);
  int type = DateTypeForLanguage(os::GetUserDefaultLangID());
  DateType = static_cast<std::uint8_t>(type);
  SetDateType(type);
  os::FormatSettings& formats = os::Formats();
  if (type >= 3 && type <= 6) {
    formats.decimal_separator = ',';
    formats.thousand_separator = '.';
  } else {
    formats.decimal_separator = '.';
    formats.thousand_separator = type == 8 ? ' ' : ',';
  }
}

}  // namespace orvex
