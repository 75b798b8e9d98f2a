#include "platform/os/format_settings.h"

namespace orvex::os {

// Built on first use, so that the start-up code of any unit may read or fill
// it whatever order the units start in.
FormatSettings& Formats() {
  static FormatSettings formats;
  return formats;
}

void ResetFormats() { Formats() = FormatSettings(); }

}  // namespace orvex::os
