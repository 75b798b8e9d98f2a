#include "expr/number_text.h"

#include "common/decimal_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

namespace orvex {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Length of the longest prefix of `s` (no sign) of the form digits [. digits]
// [E [sign] digits] with at least one mantissa digit; 0 when there is none.
std::size_t NumberPrefix(const char* s, std::size_t n) {
  std::size_t i = 0, digits = 0;
  while (i < n && IsDigit(s[i])) ++i, ++digits;
  if (i < n && s[i] == '.') {
    ++i;
    while (i < n && IsDigit(s[i])) ++i, ++digits;
  }
  if (digits == 0) return 0;
  if (i < n && (s[i] == 'E' || s[i] == 'e')) {
    std::size_t j = i + 1;
    if (j < n && (s[j] == '+' || s[j] == '-')) ++j;
    if (j < n && IsDigit(s[j])) {
      while (j < n && IsDigit(s[j])) ++j;
      i = j;
    }
  }
  return i;
}

// Decimal exponent of the leading significant digit of a valid prefix; used
// only to tell overflow from underflow.
long Magnitude(const char* s, std::size_t n) {
  std::size_t i = 0;
  long magnitude = 0;
  while (i < n && s[i] == '0') ++i;
  while (i < n && IsDigit(s[i])) ++i, ++magnitude;
  if (magnitude == 0 && i < n && s[i] == '.') {
    ++i;
    while (i < n && s[i] == '0') ++i, --magnitude;
  }
  const char* e = std::find_if(s, s + n, [](char c) { return c == 'e' || c == 'E'; });
  if (e != s + n) magnitude += std::clamp(std::strtol(std::string(e + 1, s + n).c_str(), nullptr, 10),
                                       -100000L, 100000L);
  return magnitude;
}

double Convert(const char* s, std::size_t n) {
  double value = 0;
  auto result = std::from_chars(s, s + n, value);
  if (result.ec == std::errc::result_out_of_range) return Magnitude(s, n) > 0 ? HUGE_VAL : 0.0;
  return value;
}

}  // namespace

bool ParseNumberLiteral(std::string_view text, double* value) {
  if (text.empty() || NumberPrefix(text.data(), text.size()) != text.size()) return false;
  *value = Convert(text.data(), text.size());
  return true;
}

double ParseDecimal(const char* text, std::size_t length) {
  std::size_t i = 0;
  while (i < length && text[i] == ' ') ++i;
  bool negative = false;
  if (i < length && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  std::size_t n = NumberPrefix(text + i, length - i);
  if (n == 0) return 0.0;
  // Whole numbers of up to 15 digits (most N fields) are exact without the
  // general conversion.
  double value = 0;
  if (n <= 15 && std::all_of(text + i, text + i + n, IsDigit)) {
    for (std::size_t k = i; k < i + n; ++k) value = value * 10 + (text[k] - '0');
  } else {
    value = Convert(text + i, n);
  }
  return negative ? -value : value;
}

int FormatStr(double value, int width, int decimals, char* out) {
  width = std::clamp(width, 0, 255);
  decimals = std::clamp(decimals, 0, width);
  char text[kMaxDecimalText];
  int length = FormatDecimal(value, decimals, text);
  if (length == 0) length = width + 1;  // infinities and NaN never fit: asterisks
  if (length > width) {
    std::memset(out, '*', width);
  } else {
    std::memset(out, ' ', width - length);
    std::memcpy(out + width - length, text, static_cast<std::size_t>(length));
  }
  out[width] = '\0';
  return width;
}

}  // namespace orvex
