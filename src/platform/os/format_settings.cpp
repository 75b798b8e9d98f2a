#include "platform/os/format_settings.h"

namespace orvex::os {

namespace {
constinit FormatSettings g_formats;
}  // namespace

FormatSettings& Formats() { return g_formats; }

void ResetFormats() { g_formats = FormatSettings(); }

}  // namespace orvex::os
