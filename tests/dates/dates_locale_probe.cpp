// Prints the start-up date settings of this process, one "name=value" per
// line, exactly as the library's initialisation left them.
#include <cstdio>

#include "dates/date_settings.h"
#include "dates/date_text.h"
#include "platform/os/format_settings.h"

int main() {
  const orvex::os::FormatSettings& formats = orvex::os::Formats();
  std::printf("date_type=%d\n", orvex::DateType);
  std::printf("century_on=%d\n", orvex::CenturyOn ? 1 : 0);
  std::printf("epoch_year=%d\n", orvex::EpochYear);
  std::printf("short_date_format=%s\n", formats.short_date_format.c_str());
  std::printf("date_separator=%c\n", formats.date_separator);
  std::printf("decimal_separator=%c\n", formats.decimal_separator);
  std::printf("thousand_separator=%c\n", formats.thousand_separator);
  std::printf("dtoc=%s\n", orvex::DateTextFromDayNumber(2460676).c_str());
  return 0;
}
