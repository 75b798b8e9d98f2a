// Pack and unpack of records, code-page conversion and the 6-byte real.
#include "engine/record_pack.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

#include "common/decimal_text.h"
#include "dates/date_settings.h"
#include "dates/date_text.h"
#include "engine/field_values.h"
#include "platform/os/codepage.h"

namespace orvex {

namespace {

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }

// The field text trimmed at both ends.
std::string_view Trimmed(const char* p, std::size_t n) {
  std::size_t b = 0;
  while (b < n && IsBlank(p[b])) ++b;
  while (n > b && IsBlank(p[n - 1])) --n;
  return std::string_view(p + b, n - b);
}

constexpr double kPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8, 1e9,
                             1e10, 1e11, 1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18};

// Decimal text (optional sign, digits, optional point and digits, optional
// exponent) as a double; false when the text is not such a number. An empty
// text is 0.
bool ParseDecimal(std::string_view s, double* value) {
  *value = 0;
  if (s.empty()) return true;
  std::size_t i = 0;
  bool negative = false;
  if (s[i] == '+' || s[i] == '-') negative = s[i++] == '-';
  std::uint64_t mantissa = 0;
  int digits = 0, scale = 0;
  bool any = false;
  for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i, any = true) {
    if (digits < 18) {
      mantissa = mantissa * 10 + (s[i] - '0');
      if (mantissa) ++digits;
    } else {
      ++scale;
    }
  }
  if (i < s.size() && s[i] == '.') {
    for (++i; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i, any = true) {
      if (digits < 18) {
        mantissa = mantissa * 10 + (s[i] - '0');
        if (mantissa) ++digits;
        --scale;
      }
    }
  }
  if (!any) return false;
  if (i < s.size()) {
    // Exponent or anything unusual: let the C library judge the whole text.
    std::string text(s);
    char* end = nullptr;
    double v = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size() || !std::isfinite(v)) return false;
    *value = v;
    return true;
  }
  double v = static_cast<double>(mantissa);
  if (scale < 0) {
    v = scale >= -18 ? v / kPow10[-scale] : v * std::pow(10.0, scale);
  } else if (scale > 0) {
    v = scale <= 18 ? v * kPow10[scale] : v * std::pow(10.0, scale);
  }
  *value = negative ? -v : v;
  return true;
}

// The number a stored N or F field with decimals holds, 0 when it holds
// none: ParseDecimal of the trimmed text. The text of such a field is
// nearly always an optional sign, digits and a point, which this reads in
// one pass to the same mantissa and scale as ParseDecimal (the field is too
// short to reach its 18-digit limit); anything else goes to ParseDecimal.
double StoredDecimal(const char* p, std::size_t n) {
  std::string_view text = Trimmed(p, n);
  const char* q = text.data();
  const char* end = q + text.size();
  if (text.size() <= 18) {
    bool negative = false;
    if (q < end && (*q == '+' || *q == '-')) negative = *q++ == '-';
    std::uint64_t mantissa = 0;
    int scale = 0;
    bool any = false, point = false;
    for (; q < end; ++q) {
      const unsigned digit = static_cast<unsigned char>(*q) - '0';
      if (digit <= 9) {
        mantissa = mantissa * 10 + digit;
        any = true;
        scale -= point ? 1 : 0;
      } else if (*q == '.' && !point) {
        point = true;
      } else {
        break;
      }
    }
    if (q == end) {
      if (!any) return 0;
      const double v = static_cast<double>(mantissa) / kPow10[-scale];
      return negative ? -v : v;
    }
  }
  double v = 0;
  return ParseDecimal(text, &v) ? v : 0;
}

// Decimal integer text as a 32-bit integer; 0 when it is not one or does not
// fit.
std::int32_t ParseInteger(std::string_view s) {
  if (s.empty()) return 0;
  std::size_t i = 0;
  bool negative = false;
  if (s[i] == '+' || s[i] == '-') negative = s[i++] == '-';
  if (i == s.size()) return 0;
  std::int64_t v = 0;
  for (; i < s.size(); ++i) {
    if (s[i] < '0' || s[i] > '9') return 0;
    v = v * 10 + (s[i] - '0');
    if (v > 2147483648LL) return 0;
  }
  if (negative) v = -v;
  if (v > std::numeric_limits<std::int32_t>::max()) return 0;
  return static_cast<std::int32_t>(v);
}

void StoreInt32(std::uint8_t* p, std::int32_t v) { std::memcpy(p, &v, 4); }
std::int32_t LoadInt32(const std::uint8_t* p) {
  std::int32_t v;
  std::memcpy(&v, p, 4);
  return v;
}

// The blank date texts that pack stores as 8 blanks.
bool IsBlankDate(const std::string& s) {
  static const char* const kBlank[] = {"        ", "          ", "  /  /  ", "  /  /    ", "  -  -  ",
                                       "  -  -    ", "  .  .  ", "  .  .    "};
  if (s.empty()) return true;
  for (const char* b : kBlank) {
    if (s == b) return true;
  }
  return false;
}

// The unpacked date text as a fixed gather: character i is taken from
// position source[i] of the stored YYYYMMDD text (0-7) followed by the
// characters of `fixed` (8 + i: a separator, or NUL behind the text).
// DateTextFromDText only rearranges the stored characters, so its answer for
// a probe of eight distinct characters gives the gather for every stored
// date without a NUL. It is a cache of what DateType and CenturyOn decide,
// learned again when either changes, so it needs no reset.
struct DateGather {
  std::uint8_t type = 0xFF;
  bool century = false;
  std::uint8_t length = 0;
  std::uint8_t source[10] = {};
  char fixed[10] = {};
};

const DateGather& CurrentDateGather() {
  static DateGather gather;
  if (gather.type != DateType || gather.century != CenturyOn) {
    std::string probe = DateTextFromDText("01234567");
    gather = DateGather{DateType, CenturyOn, static_cast<std::uint8_t>(std::min<std::size_t>(probe.size(), 10))};
    for (int i = 0; i < 10; ++i) {
      char c = i < gather.length ? probe[static_cast<std::size_t>(i)] : '\0';
      bool stored = c >= '0' && c <= '7';
      gather.source[i] = static_cast<std::uint8_t>(stored ? c - '0' : 8 + i);
      gather.fixed[i] = stored ? '\0' : c;
    }
  }
  return gather;
}

std::uint64_t Word(const char* p) {
  std::uint64_t w;
  std::memcpy(&w, p, 8);
  return w;
}

constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;
constexpr std::uint64_t kLowBits = 0x0101010101010101ULL;

// True when one of the eight bytes at `p` is 0 (a byte below 0x80 turns
// its high bit on by the subtraction only when it was 0).
bool HasNulByte(const char* p) {
  const std::uint64_t w = Word(p);
  return ((w - kLowBits) & ~w & kHighBits) != 0;
}

// The unpacked part of a D field of `length` stored bytes: length byte,
// text, NUL padding to 10. `gather` is CurrentDateGather(), asked once per
// record by the caller.
void UnpackDate(const char* p, std::size_t length, const DateGather& gather, std::uint8_t* out) {
  if (length >= 8 && !HasNulByte(p)) {
    char from[18];
    std::memcpy(from, p, 8);
    std::memcpy(from + 8, gather.fixed, 10);
    out[0] = gather.length;
    for (int i = 0; i < 10; ++i) out[1 + i] = static_cast<std::uint8_t>(from[gather.source[i]]);
    return;
  }
  std::string text = DateTextFromDText(std::string_view(p, std::min<std::size_t>(length, 8)));
  std::size_t n = std::min<std::size_t>(text.size(), 10);
  out[0] = static_cast<std::uint8_t>(n);
  std::memcpy(out + 1, text.data(), n);
  std::memset(out + 1 + n, 0, 10 - n);
}

// Copies n bytes: short copies of variable length are the bulk of unpacking,
// and a few fixed-size copies (the last one overlapping the one before)
// beat a call of the general copy routine there.
void CopyBytes(std::uint8_t* to, const char* from, std::size_t n) {
  if (n >= 16) {
    for (std::size_t i = 0; i + 16 < n; i += 16) std::memcpy(to + i, from + i, 16);
    std::memcpy(to + n - 16, from + n - 16, 16);
  } else if (n >= 8) {
    std::memcpy(to, from, 8);
    std::memcpy(to + n - 8, from + n - 8, 8);
  } else {
    while (n-- > 0) *to++ = static_cast<std::uint8_t>(*from++);
  }
}

bool HasHighByte(const char* p) { return (Word(p) & kHighBits) != 0; }

// True when a byte of the range has its high bit set (code pages only differ
// there).
bool AnyHighByte(const char* p, std::size_t n) {
  std::uint64_t any = 0;
  if (n < 8) {
    for (std::size_t i = 0; i < n; ++i) any |= static_cast<unsigned char>(p[i]);
  } else {
    for (std::size_t i = 0; i + 8 <= n; i += 8) any |= Word(p + i);
    any |= Word(p + n - 8);
  }
  return (any & kHighBits) != 0;
}

// OEM -> ANSI in place. The two code pages agree below 0x80, so only the
// 8-byte groups holding a byte with the high bit set go through the table
// (the last group, overlapping the one before, converts only its new bytes).
void OemToAnsiInPlace(char* p, std::size_t n) {
  if (n < 8) {
    os::OemToCharBuff(p, n);
    return;
  }
  std::size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    if (HasHighByte(p + i)) os::OemToCharBuff(p + i, 8);
  }
  if (i < n && HasHighByte(p + n - 8)) os::OemToCharBuff(p + i, n - i);
}

// Copies text into a field of the record, padded with blanks on the right.
void PutText(char* field, int length, std::string_view text) {
  std::size_t n = std::min<std::size_t>(text.size(), static_cast<std::size_t>(length));
  std::memcpy(field, text.data(), n);
  std::memset(field + n, ' ', length - n);
}

}  // namespace

double RealToDouble(const std::uint8_t* real) {
  if (real[0] == 0) return 0.0;
  std::uint64_t bits = 0;
  for (int i = 5; i >= 1; --i) bits = (bits << 8) | real[i];
  // Same value as a double: exponent rebased from 129 to 1023, the 39
  // fraction bits at the top of the 52.
  std::uint64_t sign = (bits >> 39) & 1;
  std::uint64_t fraction = bits & ((std::uint64_t{1} << 39) - 1);
  std::uint64_t exponent = static_cast<std::uint64_t>(real[0]) - 129 + 1023;
  std::uint64_t word = (sign << 63) | (exponent << 52) | (fraction << 13);
  double v;
  std::memcpy(&v, &word, 8);
  return v;
}

void DoubleToReal(double value, std::uint8_t* real) {
  std::memset(real, 0, 6);
  if (value == 0 || std::isnan(value)) return;
  std::uint64_t word;
  std::memcpy(&word, &value, 8);
  std::uint64_t sign = word >> 63;
  int exponent = static_cast<int>((word >> 52) & 0x7FF);
  std::uint64_t fraction = word & ((std::uint64_t{1} << 52) - 1);
  if (exponent == 0) return;  // subnormal: far below the smallest real
  // Round the 52 fraction bits to 39, carrying into the exponent.
  fraction = (fraction + (std::uint64_t{1} << 12)) >> 13;
  if (fraction >> 39) {
    fraction = 0;
    ++exponent;
  }
  int biased = exponent - 1023 + 129;
  if (biased < 1) return;  // too small: 0
  if (biased > 255) {      // too large (or infinite): the largest real
    biased = 255;
    fraction = (std::uint64_t{1} << 39) - 1;
  }
  real[0] = static_cast<std::uint8_t>(biased);
  std::uint64_t bits = fraction | (sign << 39);
  for (int i = 1; i <= 5; ++i, bits >>= 8) real[i] = static_cast<std::uint8_t>(bits & 0xFF);
}

std::string FormatNumber(double value, int width, int decimals) {
  std::string text = DecimalText(value, decimals);
  if (text.empty() || static_cast<int>(text.size()) > width) return std::string(static_cast<std::size_t>(width), '*');
  return std::string(static_cast<std::size_t>(width) - text.size(), ' ') + text;
}

namespace {

// Runs a conversion of the record's text over `record`, keeping the bytes of
// raw fields that hold no text (numbers, date-times, block numbers) as they
// are: a code page must never change a number.
template <typename Convert>
void ConvertText(const WorkArea& area, char* record, const Convert& convert) {
  if (!area.binary_fields) return convert();
  std::vector<char> kept(record, record + area.record_length);
  convert();
  for (const FieldDesc& f : area.fields) {
    if (f.raw && !RawFieldHoldsText(f)) std::memcpy(record + f.offset, kept.data() + f.offset, f.length);
  }
}

}  // namespace

void ConvertForRead(WorkArea& area, char* record) {
  int n = area.record_length - 1;
  if (n <= 0) return;
  ConvertText(area, record, [&] {
    if (area.read_translator) area.read_translator(record + 1, n);
    if (area.oem_text) OemToAnsiInPlace(record + 1, static_cast<std::size_t>(n));
  });
}

bool NeedsReadConversion(const WorkArea& area, const char* record) {
  int n = area.record_length - 1;
  if (n <= 0) return false;
  return area.read_translator || (area.oem_text && AnyHighByte(record + 1, static_cast<std::size_t>(n)));
}

void ConvertForWrite(WorkArea& area, char* record) {
  int n = area.record_length - 1;
  if (n <= 0) return;
  ConvertText(area, record, [&] {
    if (area.oem_text) os::CharToOemBuff(record + 1, static_cast<std::size_t>(n));
    if (area.write_translator) area.write_translator(record + 1, n);
  });
}

void UnpackRecord(WorkArea& area) { UnpackRecord(area, area.record.data()); }

namespace {

// The conversions of unpacking, by the kind of field: a field's `length`
// stored bytes at `p` into its part at `out`.
enum class UnpackKind { kText, kDate, kInteger, kDecimal, kLogical, kRaw };

UnpackKind KindOf(const FieldDesc& f) {
  if (f.raw) return UnpackKind::kRaw;
  switch (f.type) {
    case 'C':
      return UnpackKind::kText;
    case 'D':
      return UnpackKind::kDate;
    case 'N':
    case 'F':
      return f.decimals > 0 ? UnpackKind::kDecimal : UnpackKind::kInteger;
    case 'L':
      return UnpackKind::kLogical;
    default:
      return UnpackKind::kInteger;  // M: the block number
  }
}

void UnpackText(const char* p, std::size_t length, std::uint8_t* out) {
  out[0] = static_cast<std::uint8_t>(length);
  CopyBytes(out + 1, p, length);
}

void UnpackInteger(const char* p, std::size_t length, std::uint8_t* out) {
  StoreInt32(out, ParseInteger(Trimmed(p, length)));
}

void UnpackDecimal(const char* p, std::size_t length, std::uint8_t* out) {
  DoubleToReal(StoredDecimal(p, length), out);
}

void UnpackLogical(const char* p, std::size_t length, std::uint8_t* out) {
  *out = length > 0 && (p[0] == 'T' || p[0] == 't' || p[0] == 'Y' || p[0] == 'y') ? 1 : 0;
}

// A raw field's stored bytes, zero-padded to the `size` of its part.
void UnpackRaw(const char* p, std::size_t length, std::size_t size, std::uint8_t* out) {
  std::memcpy(out, p, length);
  std::memset(out + length, 0, size - length);
}

// Unpacks the field at `p` into `out` (its part's size is UnpackedFieldSize).
void UnpackField(const FieldDesc& f, const char* p, std::uint8_t* out) {
  switch (KindOf(f)) {
    case UnpackKind::kText:
      return UnpackText(p, f.length, out);
    case UnpackKind::kDate:
      return UnpackDate(p, f.length, CurrentDateGather(), out);
    case UnpackKind::kInteger:
      return UnpackInteger(p, f.length, out);
    case UnpackKind::kDecimal:
      return UnpackDecimal(p, f.length, out);
    case UnpackKind::kLogical:
      return UnpackLogical(p, f.length, out);
    case UnpackKind::kRaw:
      return UnpackRaw(p, f.length, static_cast<std::size_t>(UnpackedFieldSize(f)), out);
  }
}

// True when two unpacked parts of field `f` hold the same value: short
// strings by their length and characters, logicals by truth, the rest by
// their bytes.
bool SamePart(const FieldDesc& f, const std::uint8_t* a, const std::uint8_t* b) {
  if (f.raw) return std::memcmp(a, b, f.length) == 0;
  switch (f.type) {
    case 'C':
    case 'D': {
      int limit = f.type == 'C' ? f.length : 10;
      int n = std::min<int>(a[0], limit);
      return n == std::min<int>(b[0], limit) && std::memcmp(a + 1, b + 1, static_cast<std::size_t>(n)) == 0;
    }
    case 'L':
      return (a[0] != 0) == (b[0] != 0);
    default:
      return std::memcmp(a, b, static_cast<std::size_t>(UnpackedFieldSize(f))) == 0;
  }
}

}  // namespace

void SetExactFieldText(WorkArea& area, int field, std::string text) {
  auto& texts = area.exact_texts;
  std::erase_if(texts, [field](const auto& entry) { return entry.first == field; });
  if (!text.empty() && field >= 1 && field <= static_cast<int>(area.fields.size()))
    texts.emplace_back(field, std::move(text));
}

void PlanUnpacking(WorkArea& area) {
  UnpackPlan plan;
  for (std::size_t i = 0; i < area.fields.size() && i < area.unpacked_offsets.size(); ++i) {
    const FieldDesc& f = area.fields[i];
    const UnpackMove move{f.offset, f.length, area.unpacked_offsets[i],
                          static_cast<std::uint16_t>(UnpackedFieldSize(f))};
    switch (KindOf(f)) {
      case UnpackKind::kText:
        plan.texts.push_back(move);
        break;
      case UnpackKind::kDate:
        plan.dates.push_back(move);
        break;
      case UnpackKind::kInteger:
        plan.integers.push_back(move);
        break;
      case UnpackKind::kDecimal:
        plan.decimals.push_back(move);
        break;
      case UnpackKind::kLogical:
        plan.logicals.push_back(move);
        break;
      case UnpackKind::kRaw:
        plan.raw.push_back(move);
        break;
    }
  }
  area.unpack_plan = std::move(plan);
}

// Unpacking runs at every record read. It goes through the area's plan kind
// by kind rather than field by field: each loop below does one conversion,
// so the processor is not asked at every field which of six to run (a
// question it guesses wrong often enough to cost more than the simpler
// conversions themselves).
void UnpackRecord(WorkArea& area, const char* rec) {
  area.exact_texts.clear();
  if (area.is_virtual || area.unpacked == nullptr) return;
  const UnpackPlan& plan = area.unpack_plan;
  std::uint8_t* out = area.unpacked;
  out[0] = rec[0] == '*' ? 1 : 0;
  for (const UnpackMove& m : plan.texts) UnpackText(rec + m.from, m.length, out + m.to);
  for (const UnpackMove& m : plan.integers) UnpackInteger(rec + m.from, m.length, out + m.to);
  for (const UnpackMove& m : plan.decimals) UnpackDecimal(rec + m.from, m.length, out + m.to);
  for (const UnpackMove& m : plan.logicals) UnpackLogical(rec + m.from, m.length, out + m.to);
  if (!plan.dates.empty()) {
    const DateGather& gather = CurrentDateGather();
    for (const UnpackMove& m : plan.dates) UnpackDate(rec + m.from, m.length, gather, out + m.to);
  }
  for (const UnpackMove& m : plan.raw) UnpackRaw(rec + m.from, m.length, m.size, out + m.to);
}

std::vector<bool> UnchangedFields(WorkArea& area, const char* stored) {
  std::vector<bool> unchanged(area.fields.size(), false);
  if (area.is_virtual || area.unpacked == nullptr) return unchanged;
  std::vector<char> read_form(stored, stored + area.record_length);
  ConvertForRead(area, read_form.data());
  // The largest unpacked part: 255 characters and their length byte, or a
  // raw field's bytes (a wide C field's beyond that).
  std::size_t largest = 256;
  for (const FieldDesc& f : area.fields) largest = std::max<std::size_t>(largest, UnpackedFieldSize(f));
  std::vector<std::uint8_t> buffer(largest);
  std::uint8_t* part = buffer.data();
  const std::uint8_t* in = area.unpacked + 1;
  for (std::size_t i = 0; i < area.fields.size(); ++i) {
    const FieldDesc& f = area.fields[i];
    UnpackField(f, read_form.data() + f.offset, part);
    unchanged[i] = SamePart(f, in, part);
    in += UnpackedFieldSize(f);
  }
  for (const auto& [field, text] : area.exact_texts) unchanged[static_cast<std::size_t>(field) - 1] = false;
  return unchanged;
}

void PackRecord(WorkArea& area) {
  if (area.is_virtual || area.unpacked == nullptr) return;
  char* rec = area.record.data();
  const std::uint8_t* in = area.unpacked;
  // The deletion flag is written only when the record's state changes:
  // some programs leave another byte than a blank in live records (0x00),
  // which a write of other fields keeps.
  const bool deleted = *in++ != 0;
  if (deleted != (rec[0] == '*')) rec[0] = deleted ? '*' : ' ';
  for (const FieldDesc& f : area.fields) {
    char* p = rec + f.offset;
    if (f.raw) {
      std::memcpy(p, in, f.length);
      in += UnpackedFieldSize(f);
      continue;
    }
    switch (f.type) {
      case 'C': {
        int n = std::min<int>(in[0], f.length);
        PutText(p, f.length, std::string_view(reinterpret_cast<const char*>(in + 1), n));
        in += f.length + 1;
        break;
      }
      case 'D': {
        std::string text(reinterpret_cast<const char*>(in + 1), std::min<int>(in[0], 10));
        in += 11;
        std::size_t expected = CenturyOn ? 10 : 8;
        if (!text.empty() && text.size() != expected && !CheckDateText(text)) text.clear();
        PutText(p, f.length, IsBlankDate(text) ? std::string(8, ' ') : DTextFromDateText(text));
        break;
      }
      case 'N':
      case 'F':
        if (f.decimals > 0) {
          PutText(p, f.length, FormatNumber(RealToDouble(in), f.length, f.decimals));
          in += 6;
        } else {
          PutText(p, f.length, FormatNumber(LoadInt32(in), f.length, 0));
          in += 4;
        }
        break;
      case 'L':
        if (f.length > 0) PutText(p, f.length, *in ? "T" : "F");
        in += 1;
        break;
      default:  // M
        PutText(p, f.length, FormatNumber(LoadInt32(in), f.length, 0));
        in += 4;
        break;
    }
  }
  for (const auto& [field, text] : area.exact_texts) {
    const FieldDesc& f = area.fields[static_cast<std::size_t>(field) - 1];
    PutText(rec + f.offset, f.length, text);
  }
}

}  // namespace orvex
