#include "index/mdx_keys.h"

#include <charconv>
#include <cmath>
#include <cstring>

namespace orvex {

namespace {

// OEM code page 850 bytes the folding knows.
constexpr unsigned char kOemAUml = 132, kOemOUml = 148, kOemUUml = 129, kOemSharpS = 225;
constexpr unsigned char kOemAUmlUpper = 142, kOemOUmlUpper = 153, kOemUUmlUpper = 154;

// The exponent byte of a numeric key counts the digits before the point
// from 0x34 on; numbers of more digits than the byte can count (10^203 and
// above) all take its largest value.
constexpr int kLargestExponent = 255;

}  // namespace

namespace {

// The single-byte part of folding (A-Z and the upper-case umlauts to lower
// case) as a table, and which folded bytes expand to two letters.
struct FoldTables {
  unsigned char fold[256];
  bool expands[256];
  FoldTables() : expands{} {
    for (int c = 0; c < 256; ++c) fold[c] = static_cast<unsigned char>(c);
    for (int c = 'A'; c <= 'Z'; ++c) fold[c] = static_cast<unsigned char>(c - 'A' + 'a');
    fold[kOemAUmlUpper] = kOemAUml;
    fold[kOemOUmlUpper] = kOemOUml;
    fold[kOemUUmlUpper] = kOemUUml;
    expands[kOemAUml] = expands[kOemOUml] = expands[kOemUUml] = expands[kOemSharpS] = true;
  }
};
const FoldTables kFold;

}  // namespace

namespace {

// True when the text holds a byte that folding may change: a capital A-Z or
// a byte of 0x80 and above (the umlauts and sharp s are all there). Eight
// bytes are looked at in one step: most keys (texts already in lower case,
// numbers written as text) hold none, and they are folded once per record
// in a build.
bool MayFold(const std::string& text) {
  constexpr std::uint64_t kOnes = 0x0101010101010101u, kHigh = 0x8080808080808080u;
  std::size_t i = 0;
  for (; i + 8 <= text.size(); i += 8) {
    std::uint64_t w;
    std::memcpy(&w, text.data() + i, 8);
    if ((w & kHigh) != 0) return true;
    // Each byte is below 0x80 here: adding 0x80 - 'A' sets its high bit
    // when it is 'A' or above, adding 0x80 - ('Z' + 1) when it is above 'Z',
    // and no sum carries into the next byte.
    const std::uint64_t from_a = w + kOnes * (0x80 - 'A');
    const std::uint64_t past_z = w + kOnes * (0x80 - 'Z' - 1);
    if ((from_a & ~past_z & kHigh) != 0) return true;
  }
  for (; i < text.size(); ++i) {
    const auto u = static_cast<unsigned char>(text[i]);
    if (u >= 0x80 || (u >= 'A' && u <= 'Z')) return true;
  }
  return false;
}

}  // namespace

void FoldKeyText(std::string& text) {
  if (!MayFold(text)) return;
  bool any_pair = false;
  for (char& c : text) {
    unsigned char u = kFold.fold[static_cast<unsigned char>(c)];
    any_pair |= kFold.expands[u];
    c = static_cast<char>(u);
  }
  if (!any_pair) return;
  const std::size_t length = text.size();
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char* pair = nullptr;
    switch (static_cast<unsigned char>(text[i])) {
      case kOemAUml:
        pair = "ae";
        break;
      case kOemOUml:
        pair = "oe";
        break;
      case kOemUUml:
        pair = "ue";
        break;
      case kOemSharpS:
        pair = "ss";
        break;
      default:
        continue;
    }
    text.replace(i, 1, pair);
    ++i;  // past the inserted pair
  }
  text.resize(length);  // an umlaut in the last place keeps only its first letter
}

bool HasFoldableBytes(const std::uint8_t* key, int length) {
  for (int i = 0; i < length; ++i) {
    std::uint8_t u = key[i];
    if ((u >= 'A' && u <= 'Z') || u == kOemAUmlUpper || u == kOemOUmlUpper || u == kOemUUmlUpper ||
        u == kOemAUml || u == kOemOUml || u == kOemUUml || u == kOemSharpS) {
      return true;
    }
  }
  return false;
}

std::array<std::uint8_t, kNumericKeyLength> EncodeNumericText(std::string_view text, int decimals) {
  std::array<std::uint8_t, kNumericKeyLength> k{};
  std::size_t i = 0;
  const std::size_t n = text.size();
  while (i < n && text[i] == ' ') ++i;
  if (i < n && text[i] == '+') {
    ++i;
  } else if (i < n && text[i] == '-') {
    k[1] |= 0x80;
    ++i;
  }
  while (i < n && (text[i] == ' ' || text[i] == '0')) ++i;
  int exponent = 0x34;
  bool seen_point = false;
  if (i < n && text[i] == '.') {
    seen_point = true;
    ++i;
    while (i < n && text[i] == '0') {
      --exponent;
      ++i;
    }
  }
  int digits = 0;
  int trailing_zeros = 0;
  // The key holds the first 20 digits; the digits before the point beyond
  // them still count in the exponent, so that 1e20 and 1e21 stay apart and
  // in order.
  for (; i < n; ++i) {
    char c = text[i];
    if (c == '.') {
      if (seen_point) break;
      seen_point = true;
      continue;
    }
    if (c < '0' || c > '9') break;
    if (!seen_point && exponent < kLargestExponent) ++exponent;
    if (digits == 20) continue;
    int d = c - '0';
    k[2 + digits / 2] |= static_cast<std::uint8_t>(digits % 2 == 0 ? d << 4 : d);
    ++digits;
    trailing_zeros = d == 0 ? trailing_zeros + 1 : 0;
  }
  int count = digits - trailing_zeros;
  if (count == 0) {  // zero: one encoding whatever the sign and text
    k = {};
    k[0] = 0x34;
    k[1] = 0x01;
    return k;
  }
  if (seen_point && decimals > trailing_zeros) {
    count = digits;
  } else if (count < 10) {
    count = 10;
  }
  if (count > 20) count = 20;
  k[0] = static_cast<std::uint8_t>(exponent);
  k[1] = static_cast<std::uint8_t>(k[1] | 0x01 | count << 2);
  return k;
}

std::array<std::uint8_t, kNumericKeyLength> EncodeNumber(double value, int decimals) {
  // The value written as printf's "%.*f" writes it (the exact binary value
  // rounded to `decimals` places); std::to_chars gives those same characters
  // several times faster, and this runs once per record in a build. The
  // largest double takes 309 digits, a sign, a point and 30 decimals.
  char text[400];
  if (!std::isfinite(value)) value = 0;
  const auto written = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed,
                                     decimals < 0    ? 0
                                     : decimals > 30 ? 30
                                                     : decimals);
  return EncodeNumericText(std::string_view(text, static_cast<std::size_t>(written.ptr - text)),
                           decimals);
}

double DecodeNumericKey(const std::uint8_t* key) {
  double v = 0;
  for (int d = 0; d < 20; ++d) {
    int digit = d % 2 == 0 ? key[2 + d / 2] >> 4 : key[2 + d / 2] & 15;
    v += digit * std::pow(10.0, -(d + 1));
  }
  v *= std::pow(10.0, key[0] - 0x34);
  return (key[1] & 0x80) != 0 ? -v : v;
}

int CompareCharKeys(const std::uint8_t* a, const std::uint8_t* b, int length) {
  // Unsigned bytes in order: memcmp's sign is the sign of the first
  // difference.
  return std::memcmp(a, b, static_cast<std::size_t>(length));
}

int CompareNumericKeys(const std::uint8_t* a, const std::uint8_t* b) {
  bool neg_a = (a[1] & 0x80) != 0, neg_b = (b[1] & 0x80) != 0;
  if (neg_a != neg_b) return neg_a ? -1 : 1;
  int count_a = (a[1] & 0x7C) >> 2, count_b = (b[1] & 0x7C) >> 2;
  int exp_a = count_a != 0 ? a[0] : 0, exp_b = count_b != 0 ? b[0] : 0;
  if (exp_a != exp_b) return (exp_a < exp_b ? -1 : 1) * (neg_a ? -1 : 1);
  int bytes = ((count_a > count_b ? count_a : count_b) + 1) / 2;
  if (bytes > 10) bytes = 10;
  int c = CompareCharKeys(a + 2, b + 2, bytes);
  return neg_a ? -c : c;
}

int CompareDateKeys(const std::uint8_t* a, const std::uint8_t* b) {
  double x, y;
  std::memcpy(&x, a, 8);
  std::memcpy(&y, b, 8);
  return x == y ? 0 : x > y ? 1 : -1;
}

}  // namespace orvex
