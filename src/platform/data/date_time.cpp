#include "platform/data/date_time.h"

#include <cctype>
#include <cmath>
#include <cstring>
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

// Writes a non-negative number with at least `width` (<= 4) digits
// (leading zeros) at `out`; negative years are written with their sign.
// Answers the number of characters, at most kNumberRoom.
constexpr std::size_t kNumberRoom = 12;
std::size_t WriteNumber(char* out, int value, int width) {
  char* p = out;
  if (value < 0) {
    *p++ = '-';
    value = -value;
  }
  char digits[12];
  int n = 0;
  do {
    digits[n++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value > 0);
  for (int i = n; i < width; ++i) *p++ = '0';
  while (n > 0) *p++ = digits[--n];
  return static_cast<std::size_t>(p - out);
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

// The usual formats ("dd.MM.yy", "MM/dd/yyyy", ...) give texts of one
// length: a day and a month of two digits, a year of two or four (a year
// of four digits lies in 1000..9999 for almost every date). Such a format
// also becomes a pattern, the literal characters in place and the digits
// written into it at fixed positions, which saves taking the parts one by
// one for each date.
struct ShortDate {
  std::vector<FormatPart> parts;
  bool fixed = false;  // the pattern below applies
  char pattern[32] = {};
  std::size_t length = 0;
  std::size_t day_at = 0, month_at = 0, year_at = 0;
  int year_width = 0;
};

// Fills the pattern of a format whose parts allow one: each of D, M, Y once,
// D and M of two digits; false otherwise.
bool MakePattern(ShortDate& date) {
  int seen[3] = {0, 0, 0};
  std::size_t at = 0;
  for (const FormatPart& part : date.parts) {
    if (part.kind == 0) {
      if (at + part.text.size() > sizeof date.pattern) return false;
      part.text.copy(date.pattern + at, part.text.size());
      at += part.text.size();
      continue;
    }
    if (at + static_cast<std::size_t>(part.width) > sizeof date.pattern) return false;
    if (part.kind == 'D') {
      ++seen[0];
      date.day_at = at;
    } else if (part.kind == 'M') {
      ++seen[1];
      date.month_at = at;
    } else {
      ++seen[2];
      date.year_at = at;
      date.year_width = part.width;
    }
    if (part.kind != 'Y' && part.width != 2) return false;
    at += static_cast<std::size_t>(part.width);
  }
  date.length = at;
  return seen[0] == 1 && seen[1] == 1 && seen[2] == 1;
}

const ShortDate& CurrentShortDate() {
  static std::string format;
  static char separator = 0;
  static ShortDate date;
  const os::FormatSettings& formats = os::Formats();
  if (formats.short_date_format == format && formats.date_separator == separator &&
      !date.parts.empty())
    return date;
  format = formats.short_date_format;
  separator = formats.date_separator;
  date = ShortDate();
  for (std::size_t i = 0; i < format.size();) {
    const char c = static_cast<char>(std::toupper(static_cast<unsigned char>(format[i])));
    std::size_t run = 1;
    while (i + run < format.size() &&
           std::toupper(static_cast<unsigned char>(format[i + run])) == c)
      ++run;
    if (c == 'D' || c == 'M') {
      date.parts.push_back({c, run >= 2 ? 2 : 1, ""});
    } else if (c == 'Y') {
      date.parts.push_back({c, run <= 2 ? 2 : 4, ""});
    } else {
      date.parts.push_back({0, 0, c == '/' ? std::string(run, separator) : format.substr(i, run)});
    }
    i += run;
  }
  date.fixed = MakePattern(date);
  return date;
}

void WriteTwoDigits(char* out, int value) {
  out[0] = static_cast<char>('0' + value / 10);
  out[1] = static_cast<char>('0' + value % 10);
}

}  // namespace

std::string DateToStr(TDateTime value) {
  std::string text;
  DateToStr(value, text);
  return text;
}

// Dates are written for every row a grid draws: the text is put together
// in a local array and handed to `out` in one piece, rather than character
// by character. With a pattern (see ShortDate) the digits go into a copy of
// it. Otherwise the parts are written one by one; a part that would not fit
// sends what the array holds ahead, and a literal longer than the whole
// array goes to `out` directly.
void DateToStr(TDateTime value, std::string& out) {
  const TDate date = DecodeDate(value);
  const ShortDate& format = CurrentShortDate();
  char chars[64];
  if (format.fixed && (format.year_width == 2 || (date.year >= 1000 && date.year <= 9999))) {
    std::memcpy(chars, format.pattern, sizeof format.pattern);
    WriteTwoDigits(chars + format.day_at, date.day);
    WriteTwoDigits(chars + format.month_at, date.month);
    if (format.year_width == 2) {
      WriteTwoDigits(chars + format.year_at, ((date.year % 100) + 100) % 100);
    } else {
      WriteTwoDigits(chars + format.year_at, date.year / 100);
      WriteTwoDigits(chars + format.year_at + 2, date.year % 100);
    }
    out.assign(chars, format.length);
    return;
  }
  std::size_t n = 0;
  out.clear();
  for (const FormatPart& part : format.parts) {
    const std::size_t room = part.kind != 0 ? kNumberRoom : part.text.size();
    if (n + room > sizeof chars) {
      out.append(chars, n);
      n = 0;
    }
    switch (part.kind) {
      case 'D':
        n += WriteNumber(chars + n, date.day, part.width);
        break;
      case 'M':
        n += WriteNumber(chars + n, date.month, part.width);
        break;
      case 'Y':
        n += WriteNumber(chars + n, part.width == 2 ? ((date.year % 100) + 100) % 100 : date.year,
                         part.width);
        break;
      default:
        if (room > sizeof chars) {
          out += part.text;
        } else {
          part.text.copy(chars + n, room);
          n += room;
        }
    }
  }
  out.append(chars, n);
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
