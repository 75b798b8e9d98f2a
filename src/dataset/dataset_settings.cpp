#include "dataset/dataset_settings.h"

#include <cctype>

#include "dates/date_settings.h"
#include "platform/data/database_error.h"
#include "platform/os/format_settings.h"
#include "platform/os/system.h"

namespace orvex {

std::string DatasetYesText;
std::string DatasetNoText;
std::string DatasetTrueText;
std::string DatasetFalseText;
char DatasetDecimalSeparator = '.';
int DatasetWarningLevel = 2;

void DatasetWarning(const std::string& text_ansi) {
  if (DatasetWarningLevel == 2) os::ShowWarning(text_ansi);
}

namespace {
IndexProgressHook progress_hook;
}  // namespace

void SetIndexProgressHook(IndexProgressHook hook) { progress_hook = std::move(hook); }

void RunIndexProgress(const std::string& index_file_ansi, const IndexProgressWork& work) {
  if (progress_hook) {
    progress_hook(index_file_ansi, work);
  } else {
    work([] {});
  }
}

namespace {

std::string Short(const std::string& text) { return text.substr(0, 20); }

// The date type the short date format calls for (see the header).
int DateTypeOfFormat(const os::FormatSettings& formats) {
  if (formats.short_date_format.empty()) return 0;
  const char first =
      static_cast<char>(std::toupper(static_cast<unsigned char>(formats.short_date_format[0])));
  if (first == 'D')
    return formats.date_separator == '-' ? 3 : formats.date_separator == '.' ? 5 : 2;
  return first == 'Y' ? 1 : 0;
}

}  // namespace

void ResetDatasetUnit() {
  DatasetYesText = Short(kYesWord);
  DatasetNoText = Short(kNoWord);
  DatasetTrueText = Short(data::kTrueText);
  DatasetFalseText = Short(data::kFalseText);
  const os::FormatSettings formats = os::Formats();
  std::string upper;
  for (char c : formats.short_date_format)
    upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  CenturyOn = upper.find("YYYY") != std::string::npos;
  DatasetDecimalSeparator = formats.decimal_separator;
  SetDateType(DateTypeOfFormat(formats));
}

void StartDatasetUnit() {
  static const bool started = (ResetDatasetUnit(), true);
  (void)started;
}

}  // namespace orvex
