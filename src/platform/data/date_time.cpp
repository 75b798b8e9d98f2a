#include "platform/data/date_time.h"

#include <cctype>
#include <cmath>
#include <vector>

#include "platform/data/database_error.h"
#include "platform/os/format_settings.h"
#include "platform/os/system.h"

namespace orvex::data {

namespace {

// Days from 1 January 1970 of a proleptic Gregorian date, and back (the
// era-based algorithm: 400-year eras of 146097 days).
std::int64_t DaysFromCivil(std::int64_t y, int m, int d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const std::int64_t yoe = y - era * 400;
  const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

TDate CivilFromDays(std::int64_t z) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const std::int64_t doe = z - era * 146097;
  const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const std::int64_t mp = (5 * doy + 2) / 153;
  const int d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  const int m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  return {static_cast<int>(yoe + era * 400 + (m <= 2)), m, d};
}

// Appends a non-negative number with at least `width` digits (leading
// zeros); negative years are written with their sign.
void AppendNumber(std::string& out, int value, int width) {
  if (value < 0) {
    out += '-';
    value = -value;
  }
  char digits[12];
  int n = 0;
  do {
    digits[n++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value > 0);
  for (int i = n; i < width; ++i) out += '0';
  while (n > 0) out += digits[--n];
}

// 30 December 1899 counted from 1 January 1970.
constexpr std::int64_t kEpochOffset = -25569;

int DaysInMonth(int year, int month) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[month - 1];
}

// The order of the parts in the short date format: 'D', 'M' or 'Y' for the
// first, second and third part.
std::string PartOrder() {
  std::string order;
  for (char c : os::Formats().short_date_format) {
    char part = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if ((part == 'D' || part == 'M' || part == 'Y') && order.find(part) == std::string::npos) {
      order += part;
    }
  }
  return order.size() == 3 ? order : "MDY";
}

}  // namespace

bool TryEncodeDate(int year, int month, int day, TDateTime* value) {
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 ||
      day > DaysInMonth(year, month)) {
    return false;
  }
  *value = static_cast<double>(DaysFromCivil(year, month, day) - kEpochOffset);
  return true;
}

TDate DecodeDate(TDateTime value) {
  if (!std::isfinite(value) || std::fabs(value) > 1e9) return {};
  return CivilFromDays(static_cast<std::int64_t>(std::floor(value)) + kEpochOffset);
}

bool IsValidDate(TDateTime value) {
  TDate d = DecodeDate(value);
  return d.year >= 1 && d.year <= 9999 && d.month >= 1;
}

namespace {

// The short date format taken apart: parts D, M, Y with their digit counts
// and the text between them. Dates are formatted for every row a grid
// draws, so the format is taken apart once and kept until it changes.
struct FormatPart {
  char kind;  // 'D', 'M', 'Y', or 0 for literal text
  int width;
  std::string text;
};

const std::vector<FormatPart>& ShortDateParts() {
  static std::string format;
  static char separator = 0;
  static std::vector<FormatPart> parts;
  const os::FormatSettings& formats = os::Formats();
  if (formats.short_date_format == format && formats.date_separator == separator && !parts.empty())
    return parts;
  format = formats.short_date_format;
  separator = formats.date_separator;
  parts.clear();
  for (std::size_t i = 0; i < format.size();) {
    const char c = static_cast<char>(std::toupper(static_cast<unsigned char>(format[i])));
    std::size_t run = 1;
    while (i + run < format.size() &&
           std::toupper(static_cast<unsigned char>(format[i + run])) == c)
      ++run;
    if (c == 'D' || c == 'M') {
      parts.push_back({c, run >= 2 ? 2 : 1, ""});
    } else if (c == 'Y') {
      parts.push_back({c, run <= 2 ? 2 : 4, ""});
    } else {
      parts.push_back({0, 0, c == '/' ? std::string(run, separator) : format.substr(i, run)});
    }
    i += run;
  }
  return parts;
}

}  // namespace

std::string DateToStr(TDateTime value) {
  const TDate date = DecodeDate(value);
  std::string out;
  for (const FormatPart& part : ShortDateParts()) {
    switch (part.kind) {
      case 'D':
        AppendNumber(out, date.day, part.width);
        break;
      case 'M':
        AppendNumber(out, date.month, part.width);
        break;
      case 'Y':
        AppendNumber(out, part.width == 2 ? ((date.year % 100) + 100) % 100 : date.year,
                     part.width);
        break;
      default:
        out += part.text;
    }
  }
  return out;
}

bool TryStrToDate(const std::string& text, TDateTime* value) {
  const char separator = os::Formats().date_separator;
  int parts[3] = {0, 0, 0};
  int digits[3] = {0, 0, 0};
  int count = 0;
  bool in_number = false;
  for (char c : text) {
    if (c >= '0' && c <= '9') {
      if (count == 3 || digits[count] >= 9) return false;
      parts[count] = parts[count] * 10 + (c - '0');
      ++digits[count];
      in_number = true;
    } else if (c == separator || c == '/' || c == '-' || c == '.') {
      if (!in_number) return false;
      ++count;
      in_number = false;
    } else if (c != ' ') {
      return false;
    }
  }
  if (in_number) ++count;
  if (count != 3) return false;
  const std::string order = PartOrder();
  int year = 0, month = 0, day = 0;
  for (int i = 0; i < 3; ++i) {
    if (order[i] == 'Y') {
      year = parts[i];
      if (digits[i] <= 2) year += os::GetLocalTime().year / 100 * 100;
    } else if (order[i] == 'M') {
      month = parts[i];
    } else {
      day = parts[i];
    }
  }
  return TryEncodeDate(year, month, day, value);
}

TDateTime StrToDate(const std::string& text) {
  TDateTime value = 0;
  if (!TryStrToDate(text, &value)) throw EConvertError(FormatMessage(kNotDate, text));
  return value;
}

}  // namespace orvex::data
