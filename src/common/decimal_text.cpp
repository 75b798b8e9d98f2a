#include "common/decimal_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace orvex {

int FormatDecimal(double value, int decimals, char* out) {
  if (!std::isfinite(value)) return 0;
  decimals = std::clamp(decimals, 0, kMaxDecimalPlaces);
  // Whole numbers (STR(n, w), N fields without decimals) take a short cut:
  // below 2^52 every number with a fraction of exactly .5 is a double of
  // its own, so the binary value rounds like its shortest decimal, and
  // llround rounds half away from zero.
  if (decimals == 0 && std::fabs(value) < 4503599627370496.0) {
    long long whole = std::llround(value);
    return static_cast<int>(std::to_chars(out, out + kMaxDecimalText, whole).ptr - out);
  }
  // The digits and how many of them stand before the decimal point. From
  // 2^53 on every double is a whole number, and its exact digits are what a
  // field written from it holds; below, the shortest digits that read back
  // as the same double ("d.ddde+XX").
  char digits[400];
  int count = 0, point = 0;
  const double magnitude = std::fabs(value);
  if (magnitude >= 9007199254740992.0) {
    count = static_cast<int>(std::to_chars(digits, digits + sizeof digits, magnitude, std::chars_format::fixed, 0).ptr -
                             digits);
    point = count;
  } else {
    char text[64];
    char* end = std::to_chars(text, text + sizeof text, magnitude, std::chars_format::scientific).ptr;
    char* e = std::find(text, end, 'e');
    for (char* p = text; p < e; ++p) {
      if (*p != '.') digits[count++] = *p;
    }
    int exponent = 0;
    const char* from = e + 1 < end && e[1] == '+' ? e + 2 : e + 1;
    std::from_chars(from, end, exponent);
    point = exponent + 1;
  }
  // The digits of |value| x 10^decimals down to the units ("whole"), rounded
  // half away from zero by the first digit dropped; one place is left in
  // front for a carry.
  char whole[kMaxDecimalText];
  const int keep = point + decimals;
  int n = 0;
  bool round_up = false;
  whole[n++] = '0';
  if (keep >= count) {
    std::memcpy(whole + n, digits, static_cast<std::size_t>(count));
    std::memset(whole + n + count, '0', static_cast<std::size_t>(keep - count));
    n += keep;
  } else if (keep >= 0) {
    std::memcpy(whole + n, digits, static_cast<std::size_t>(keep));
    n += keep;
    round_up = digits[keep] >= '5';
  }
  if (round_up) {
    int i = n - 1;
    while (whole[i] == '9') whole[i--] = '0';
    ++whole[i];
  }
  // At least one digit before the point.
  if (n < decimals + 1) {
    const int pad = decimals + 1 - n;
    std::memmove(whole + pad, whole, static_cast<std::size_t>(n));
    std::memset(whole, '0', static_cast<std::size_t>(pad));
    n += pad;
  }
  const int units = n - decimals;  // digits before the point
  int first = 0;
  while (first < units - 1 && whole[first] == '0') ++first;
  bool zero = std::all_of(whole, whole + n, [](char c) { return c == '0'; });
  int length = 0;
  if (value < 0 && !zero) out[length++] = '-';
  std::memcpy(out + length, whole + first, static_cast<std::size_t>(units - first));
  length += units - first;
  if (decimals > 0) {
    out[length++] = '.';
    std::memcpy(out + length, whole + units, static_cast<std::size_t>(decimals));
    length += decimals;
  }
  return length;
}

std::string DecimalText(double value, int decimals) {
  char text[kMaxDecimalText];
  return std::string(text, static_cast<std::size_t>(FormatDecimal(value, decimals, text)));
}

double RoundDecimal(double value, int decimals) {
  if (!std::isfinite(value)) return value;
  if (decimals < 0) {
    double scale = std::pow(10.0, std::min(-decimals, 300));
    return RoundDecimal(value / scale, 0) * scale;
  }
  char text[kMaxDecimalText + 1];
  text[FormatDecimal(value, decimals, text)] = '\0';
  return std::strtod(text, nullptr);
}

}  // namespace orvex
