#include "expr/functions.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string_view>

#include "common/decimal_text.h"
#include "platform/os/codepage.h"

namespace orvex {

int ClampCount(double value, int lo, int hi) {
  if (std::isnan(value)) return lo;
  double t = std::trunc(value);
  if (t <= lo) return lo;
  if (t >= hi) return hi;
  return static_cast<int>(t);
}

namespace {

// The operating system's single-character case mapping as two tables, made
// once, so that UPPER and LOWER cost a lookup per character.
struct CaseTables {
  unsigned char upper[256];
  unsigned char lower[256];
  CaseTables() {
    for (int c = 0; c < 256; ++c) {
      upper[c] = os::CharUpper(static_cast<unsigned char>(c));
      lower[c] = os::CharLower(static_cast<unsigned char>(c));
    }
  }
};

const CaseTables& Cases() {
  static const CaseTables tables;
  return tables;
}

void MapText(char* s, int n, const unsigned char* table) {
  for (int i = 0; i < n; ++i) s[i] = static_cast<char>(table[static_cast<unsigned char>(s[i])]);
}

}  // namespace

void UpperText(char* s, int n) { MapText(s, n, Cases().upper); }

void LowerText(char* s, int n) { MapText(s, n, Cases().lower); }

int LTrimText(char* s, int n) {
  int skip = 0;
  while (skip < n && s[skip] == ' ') ++skip;
  std::memmove(s, s + skip, n - skip);
  return n - skip;
}

int RTrimLength(const char* s, int n) {
  while (n > 0 && s[n - 1] == ' ') --n;
  return n;
}

int LeftLength(int n, double count) { return ClampCount(count, 0, n); }

int RightText(char* s, int n, double count) {
  int keep = ClampCount(count, 0, n);
  std::memmove(s, s + n - keep, keep);
  return keep;
}

int SubstrText(char* s, int n, double start, double count) {
  int from = ClampCount(start, 1, n + 1);
  int take = std::min(ClampCount(count, 0, n), n - from + 1);
  std::memmove(s, s + from - 1, take);
  return take;
}

int StuffText(char* s, int n, double start, double count, const char* insert, int insert_n) {
  char piece[kMaxText + 1];
  insert_n = std::min(insert_n, kMaxText);
  std::memcpy(piece, insert, insert_n);
  // Delete: only when start lies inside the text.
  int at = ClampCount(start, 0, n + 1);
  if (at >= 1 && at <= n) {
    int gone = std::min(ClampCount(count, 0, n), n - at + 1);
    std::memmove(s + at - 1, s + at - 1 + gone, n - (at - 1) - gone);
    n -= gone;
  }
  // Insert: at the front for start < 1, at the end when past it.
  int pos = std::clamp(at, 1, n + 1) - 1;
  int added = std::min(insert_n, kMaxText - pos);
  int tail = std::min(n - pos, kMaxText - pos - added);
  std::memmove(s + pos + added, s + pos, tail);
  std::memcpy(s + pos, piece, added);
  return pos + added + tail;
}

int ReplicateText(char* s, int n, double times) {
  int count = ClampCount(times, 0, kMaxText);
  if (n == 0 || count == 0) return 0;
  int length = n;
  for (int i = 1; i < count && length < kMaxText; ++i) {
    int piece = std::min(n, kMaxText - length);
    std::memcpy(s + length, s, piece);
    length += piece;
  }
  return length;
}

int ConcatMovingBlanks(char* a, int na, const char* b, int nb) {
  int kept = RTrimLength(a, na);
  int blanks = na - kept;
  int moved = std::min(nb, kMaxText - kept);
  std::memmove(a + kept, b, moved);
  int length = kept + moved;
  int pad = std::min(blanks, kMaxText - length);
  std::memset(a + length, ' ', pad);
  return length + pad;
}

void SoundexCode(const char* s, int n, char out[5]) {
  // Codes of A..Z.
  static constexpr char kCodes[] = "01230120022455012623010202";
  std::memcpy(out, "0000", 5);
  n = std::min(n, 100);
  if (n == 0) return;
  auto letter_code = [](char c) -> char {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return c >= 'A' && c <= 'Z' ? kCodes[c - 'A'] : '\0';
  };
  out[0] = s[0] >= 'a' && s[0] <= 'z' ? static_cast<char>(s[0] - 'a' + 'A') : s[0];
  char last = letter_code(s[0]);
  if (last == '\0') last = '0';
  int written = 1;
  for (int i = 1; i < n && written < 4; ++i) {
    char code = letter_code(s[i]);
    if (code == '\0' || code == last) continue;
    if (code != '0') out[written++] = code;
    last = code;
  }
}

int FindText(const char* needle, int nn, const char* hay, int nh) {
  if (nn == 0) return 0;
  auto pos = std::string_view(hay, nh).find(std::string_view(needle, nn));
  return pos == std::string_view::npos ? 0 : static_cast<int>(pos) + 1;
}

int CompareText(const char* a, int na, const char* b, int nb) {
  int c = std::memcmp(a, b, std::min(na, nb));
  if (c != 0) return c;
  return na < nb ? -1 : (na > nb ? 1 : 0);
}

bool TextBeginsWith(const char* a, int na, const char* b, int nb) {
  if (nb == 0) return na == 0;
  return nb <= na && std::memcmp(a, b, nb) == 0;
}

double RoundHalfAway(double value, double decimals) {
  return RoundDecimal(value, ClampCount(decimals, -30, 30));
}

double ModTrunc(double a, double b) {
  a = std::trunc(a);
  b = std::trunc(b);
  if (b == 0) return a;
  return std::fmod(a, b);
}

double Power(double x, double y) {
  if (x > 0) return std::exp2(y * std::log2(x));
  if (x == 0 && y < 0) return 1e250;
  double r = std::pow(x, y);
  return std::isnan(r) && !std::isnan(x) && !std::isnan(y) ? 0.0 : r;
}

char ChrCode(double code) {
  if (!std::isfinite(code)) return '\0';
  double m = std::fmod(std::trunc(code), 256.0);
  if (m < 0) m += 256;
  return static_cast<char>(static_cast<unsigned char>(m));
}

}  // namespace orvex
