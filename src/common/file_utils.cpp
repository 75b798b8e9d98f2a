#include "common/file_utils.h"

#include <algorithm>
#include <cstdio>
#include <limits>

#include "common/errors.h"
#include "common/names.h"
#include "platform/os/codepage.h"
#include "platform/os/files.h"
#include "platform/os/format_settings.h"

namespace orvex {

namespace {

char DecimalSeparator() { return os::Formats().decimal_separator; }
// The thousands separator of the current convention: "," when the decimal
// separator is ".", otherwise ".".
char ThousandsSeparator() { return DecimalSeparator() == '.' ? ',' : '.'; }

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

void EraseAll(std::string& s, char c) { s.erase(std::remove(s.begin(), s.end(), c), s.end()); }

void CutAtBlank(std::string& s) {
  auto blank = s.find(' ');
  if (blank != std::string::npos) s.resize(blank);
}

// Decimal integer of an optional '-' followed by digits; anything else gives
// 0. Saturates at the limits of 64 bits.
long long ParseDecimal(std::string_view s) {
  bool negative = !s.empty() && s[0] == '-';
  if (negative) s.remove_prefix(1);
  if (s.empty()) return 0;
  long long value = 0;
  for (char c : s) {
    if (!IsDigit(c)) return 0;
    if (value > (std::numeric_limits<long long>::max() - 9) / 10) {
      value = std::numeric_limits<long long>::max();
      break;
    }
    value = value * 10 + (c - '0');
  }
  return negative ? -value : value;
}

}  // namespace

bool FileExists(const std::string& file_name) { return os::FileExists(file_name); }

void DeleteFiles(const std::string& name_or_pattern) {
  DbfErrorNo = 0;
  if (name_or_pattern.find_first_of("*?") == std::string::npos) {
    int error = os::DeleteFile(name_or_pattern);
    if (error != 0) {
      DbfErrorNo = static_cast<std::uint16_t>(error);
      SetError(error, os::Utf8ToAnsi("Fehler beim Löschen von ") + name_or_pattern);
    }
    return;
  }
  NameParts parts = SplitName(ExpandName(name_or_pattern));
  int search_error = 0;
  int failed = 0;
  for (const auto& name : os::FindFiles(parts.dir, parts.name + parts.ext, &search_error)) {
    if (os::DeleteFile(parts.dir + name) != 0) ++failed;
  }
  DbfErrorNo = static_cast<std::uint16_t>(search_error);
  if (failed > 0) {
    SetError(5, std::to_string(failed) + " Datei(en) mit Namen wie " + name_or_pattern);
  }
}

std::string UniqueFilename() {
  std::string name;
  int error = os::TempFileName(os::TempPath(), "OXP", &name);
  if (error != 0) {
    SetError(error, "Fehler beim Anfordern des Dateinamens [UniqueFilename]");
    return {};
  }
  return name;
}

// The figure is computed in 64 bits and clamped: in 32-bit arithmetic a disk
// with more than 2 TB free would wrap to a small or negative number and make
// every space check fail.
std::int32_t DiskFree(const std::string& path) {
  std::string root = TrimBoth(path);
  if (!root.empty() && root.back() != '/' && root.back() != '\\') root += '/';
  os::DiskSpace space;
  if (!os::DiskFreeSpace(root, &space)) return 2147483647;
  long long kb = static_cast<long long>(space.sectors_per_cluster) * space.bytes_per_sector / 512 *
                 space.free_clusters / 2;
  return static_cast<std::int32_t>(std::min<long long>(kb, 2147483647));
}

std::int32_t DriveFree(int drive) {
  if (drive == 0) return DiskFree("");
  std::string root(1, static_cast<char>(64 + drive));
  return DiskFree(root + ":\\");
}

std::string UpperCase(std::string_view s) { return os::CharUpperString(s); }

bool StartsWithLetter(std::string_view s) {
  return !s.empty() && os::IsCharAlpha(static_cast<unsigned char>(s[0]));
}

char UpCaseChar(char c) { return static_cast<char>(os::CharUpper(static_cast<unsigned char>(c))); }
char LoCaseChar(char c) { return static_cast<char>(os::CharLower(static_cast<unsigned char>(c))); }

int CountOccurrences(std::string_view needle, std::string_view text) {
  if (needle.empty() || text.empty()) return 0;
  int count = 0;
  for (std::size_t pos = text.find(needle); pos != std::string_view::npos;
       pos = text.find(needle, pos + needle.size())) {
    ++count;
  }
  return count;
}

int NthOccurrence(int n, std::string_view needle, std::string_view text) {
  if (needle.empty() || text.empty() || n == 0) return 0;
  if (n > 0) {
    std::size_t pos = text.find(needle);
    while (pos != std::string_view::npos && --n > 0) pos = text.find(needle, pos + needle.size());
    return pos == std::string_view::npos ? 0 : static_cast<int>(pos) + 1;
  }
  std::size_t pos = text.rfind(needle);
  while (pos != std::string_view::npos && ++n < 0) {
    if (pos < needle.size()) return 0;
    pos = text.rfind(needle, pos - needle.size());
  }
  return pos == std::string_view::npos ? 0 : static_cast<int>(pos) + 1;
}

std::string RepeatChar(char c, int n) { return n <= 0 ? std::string() : std::string(n, c); }

std::int16_t TextToSmallInt(std::string_view text) {
  if (text.empty()) return 0;
  std::string s = TrimLeft(text);
  if (!s.empty() && s[0] == '+') s = TrimLeft(s.substr(1));
  EraseAll(s, ThousandsSeparator());
  auto dollar = s.find('$');
  if (dollar != std::string::npos) s.erase(dollar, 1);
  CutAtBlank(s);
  auto stop = s.find_first_not_of("0123456789-");
  if (stop != std::string::npos) s.resize(stop);
  long long value = ParseDecimal(s);
  return static_cast<std::int16_t>(std::clamp<long long>(value, -32768, 32767));
}

std::string NumberToText(double x, int width, int decimals) {
  char buffer[400];
  std::snprintf(buffer, sizeof buffer, "%*.*f", std::clamp(width, 0, 255),
                std::clamp(decimals, 0, 64), x);
  std::string s = buffer;
  if (DecimalSeparator() != '.' && decimals > 0) std::replace(s.begin(), s.end(), '.', DecimalSeparator());
  return s;
}

std::string IntegerToText(long n, int width) {
  char buffer[300];
  std::snprintf(buffer, sizeof buffer, "%*ld", std::clamp(width, 0, 255), n);
  return buffer;
}

// The whole part of the number: the text is normalised to digits with an
// optional leading '-' and '.' as the decimal separator, then cut before that
// separator. (Cutting at the normalised '.', not at the user's separator,
// keeps "12,5" with a ',' convention at 12 instead of failing to 0.)
long NumberTextToInteger(std::string_view text) {
  std::string s(text);
  EraseAll(s, '$');
  std::size_t lead = 0;
  while (lead < s.size() && (s[lead] == ' ' || s[lead] == '+')) ++lead;
  s.erase(0, lead);
  const char dec = DecimalSeparator();
  std::string sign;
  if (!s.empty() && s[0] == '-') {
    std::size_t i = 1;
    while (i < s.size() && (s[i] == ' ' || s[i] == '+' || s[i] == '-')) ++i;
    s.erase(0, i);
    sign = "-";
  }
  EraseAll(s, ThousandsSeparator());
  if (dec != '.') std::replace(s.begin(), s.end(), dec, '.');
  if (!s.empty() && s[0] == '.') s.insert(0, "0");
  s = sign + s;
  CutAtBlank(s);
  for (std::size_t i = 0; i < s.size(); ++i) {
    char c = s[i];
    if (!(IsDigit(c) || c == '.' || c == '-') || (c == '-' && i > 0)) {
      s.resize(i);
      break;
    }
  }
  if (!s.empty() && s.back() == '.') s.pop_back();
  auto point = s.find('.');
  if (point != std::string::npos) s.resize(point);
  long long value = ParseDecimal(s);
  return static_cast<long>(std::clamp<long long>(value, std::numeric_limits<std::int32_t>::min(),
                                                 std::numeric_limits<std::int32_t>::max()));
}

bool RemoveWord(std::string_view word, std::string& text) {
  std::string upper_text = UpperCase(text);
  const std::string upper_word = UpperCase(word);
  bool removed = false;
  if (!upper_word.empty()) {
    std::size_t pos = upper_text.find(upper_word);
    while (pos != std::string::npos) {
      std::size_t after = pos + upper_word.size();
      unsigned char next = after < upper_text.size() ? upper_text[after] : 0;
      bool joined = next != 0 && (IsDigit(static_cast<char>(next)) || next == '\\' ||
                                  next == '_' || os::IsCharAlpha(next));
      if (joined) {
        pos = upper_text.find(upper_word, pos + 1);
      } else {
        upper_text.erase(pos, upper_word.size());
        removed = true;
        pos = upper_text.find(upper_word, pos);
      }
    }
  }
  text = TrimBoth(upper_text);
  return removed;
}

}  // namespace orvex
