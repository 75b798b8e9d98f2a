// The framework's number and date format settings that the library reads and
// the date settings update: one process-wide record.
#pragma once

#include <string>

namespace orvex::os {

struct FormatSettings {
  std::string short_date_format = "MM/dd/yyyy";
  char date_separator = '/';
  char decimal_separator = '.';
  char thousand_separator = ',';
};

// The process-wide record. Start-up of the date settings fills it from the
// user's language.
FormatSettings& Formats();

// Puts the record back to the defaults above (for tests).
void ResetFormats();

}  // namespace orvex::os
