// Values of the FoxPro, Visual FoxPro and level-7 field types.
#include "engine/field_values.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "dates/day_number.h"

namespace orvex {

namespace {

constexpr double kMsPerDay = 86400000.0;

std::uint32_t Little32(const char* p) {
  std::uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(p[i]);
  return v;
}

std::uint64_t Little64(const char* p) {
  std::uint64_t v = 0;
  for (int i = 7; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(p[i]);
  return v;
}

std::uint64_t Big64(const char* p) {
  std::uint64_t v = 0;
  for (int i = 0; i < 8; ++i) v = (v << 8) | static_cast<unsigned char>(p[i]);
  return v;
}

double DoubleOf(std::uint64_t bits) {
  double d;
  std::memcpy(&d, &bits, 8);
  return d;
}

// The shortest "%.*g" text that reads back as the same double.
std::string DoubleText(double v) {
  char text[40];
  for (int digits = 1; digits <= 17; ++digits) {
    std::snprintf(text, sizeof text, "%.*g", digits, v);
    if (std::strtod(text, nullptr) == v) break;
  }
  return text;
}

// Day number (Julian) and milliseconds since midnight as
// "YYYY-MM-DD HH:MM:SS[.mmm]"; null outside years 1 to 9999.
FieldValue DateTimeText(double day, double ms) {
  const CalendarDate date = YMDFromDayNumber(day);
  if (!IsValidDayNumber(day) || ms < 0 || ms >= kMsPerDay) return FieldValue{true, {}};
  const auto whole = static_cast<long long>(ms);
  char text[40];
  int n =
      std::snprintf(text, sizeof text, "%04d-%02d-%02d %02lld:%02lld:%02lld", date.year, date.month,
                    date.day, whole / 3600000, whole / 60000 % 60, whole / 1000 % 60);
  if (whole % 1000 != 0)
    std::snprintf(text + n, sizeof text - static_cast<std::size_t>(n), ".%03lld", whole % 1000);
  return FieldValue{false, text};
}

// True when the table's _NullFlags field holds bit `bit` (-1: no bit).
bool HasFlagBit(const WorkArea& area, int bit) {
  return bit >= 0 && area.null_flags_field >= 0 &&
         bit / 8 < area.fields[static_cast<std::size_t>(area.null_flags_field)].length;
}

bool NullFlagSet(const WorkArea& area, int bit, const char* record) {
  if (!HasFlagBit(area, bit)) return false;
  const FieldDesc& flags = area.fields[static_cast<std::size_t>(area.null_flags_field)];
  return (static_cast<unsigned char>(record[flags.offset + bit / 8]) >> (bit % 8) & 1) != 0;
}

FieldValue VisualFoxProValue(const WorkArea& area, const FieldDesc& f, const char* p,
                             const char* record) {
  switch (f.type) {
    case 'I':
      return FieldValue{false, std::to_string(static_cast<std::int32_t>(Little32(p)))};
    case 'B':
      return FieldValue{false, DoubleText(DoubleOf(Little64(p)))};
    case 'Y': {
      const auto units = static_cast<std::int64_t>(Little64(p));
      const std::uint64_t magnitude =
          units < 0 ? 0 - static_cast<std::uint64_t>(units) : static_cast<std::uint64_t>(units);
      char text[32];
      std::snprintf(text, sizeof text, "%s%llu.%04llu", units < 0 ? "-" : "",
                    static_cast<unsigned long long>(magnitude / 10000),
                    static_cast<unsigned long long>(magnitude % 10000));
      return FieldValue{false, text};
    }
    case 'T': {
      const std::uint32_t day = Little32(p);
      // Blanks and day 0 are the empty date-time.
      if (day == 0 || day == 0x20202020) return FieldValue{true, {}};
      return DateTimeText(day, Little32(p + 4));
    }
    case 'V':
    case 'Q': {
      std::size_t used = f.length;
      if (NullFlagSet(area, f.size_bit, record) && f.length > 0) {
        used = std::min<std::size_t>(static_cast<unsigned char>(p[f.length - 1]), f.length - 1u);
      }
      return FieldValue{false,
                        f.type == 'V' ? std::string(p, used) : HexText(std::string_view(p, used))};
    }
    case 'M':
    case 'G':
    case 'P':
    case 'W':
      return FieldValue{false, HexText(std::string_view(p, f.length))};
    default:  // _NullFlags
      return FieldValue{true, {}};
  }
}

FieldValue Level7Value(const FieldDesc& f, const char* p) {
  switch (f.type) {
    case 'I':
    case '+': {
      std::uint32_t v = 0;
      for (int i = 0; i < 4; ++i) v = (v << 8) | static_cast<unsigned char>(p[i]);
      return FieldValue{false, std::to_string(static_cast<std::int32_t>(v ^ 0x80000000u))};
    }
    case 'O': {
      std::uint64_t bits = Big64(p);
      bits = (bits >> 63) != 0 ? bits ^ (std::uint64_t{1} << 63) : ~bits;
      return FieldValue{false, DoubleText(DoubleOf(bits))};
    }
    default: {  // '@'
      const double ms = DoubleOf(Big64(p));
      if (ms == 0 || !std::isfinite(ms)) return FieldValue{true, {}};
      const double days = std::floor(ms / kMsPerDay);
      return DateTimeText(days + DayNumberOffset, ms - days * kMsPerDay);
    }
  }
}

}  // namespace

bool IsRawFieldType(const WorkArea& area, char type, int length) {
  if (length == 0) return true;
  if (area.visual_foxpro) {
    switch (type) {
      case 'I':
        return length == 4;
      case 'B':
      case 'Y':
      case 'T':
        return length == 8;
      case 'M':
      case 'G':
      case 'P':
      case 'W':
        return length == 4;
      case 'V':
      case 'Q':
      case '0':
        return true;
      default:
        return false;
    }
  }
  if (area.dialect == DbfDialect::kLevel7) {
    switch (type) {
      case 'I':
      case '+':
        return length == 4;
      case 'O':
      case '@':
        return length == 8;
      default:
        return false;
    }
  }
  return false;
}

std::string HexText(std::string_view bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string text;
  text.reserve(2 * bytes.size());
  for (const char c : bytes) {
    text += kDigits[static_cast<unsigned char>(c) >> 4];
    text += kDigits[static_cast<unsigned char>(c) & 15];
  }
  return text;
}

bool FieldIsNull(const WorkArea& area, const FieldDesc& field, const char* record) {
  return NullFlagSet(area, field.null_bit, record);
}

bool HoldsMemoBlock(const WorkArea& area, const FieldDesc& field) {
  if (!area.visual_foxpro || !field.raw || field.length != 4) return false;
  return field.type == 'M' || field.type == 'G' || field.type == 'P' || field.type == 'W';
}

std::uint32_t MemoBlockOf(const FieldDesc& field, const char* record) {
  return Little32(record + field.offset);
}

bool RawFieldHoldsText(const FieldDesc& field) { return field.type == 'V' || field.type == 'C'; }

bool RawValueIsNumber(const FieldDesc& field) {
  switch (field.type) {
    case 'I':
    case 'Y':
    case '+':
    case 'O':
      return field.length > 0;
    case 'B':
      return field.raw && field.length == 8;
    default:
      return false;
  }
}

void AssignNullBits(WorkArea& area) {
  area.null_flags_field = -1;
  if (!area.visual_foxpro) return;
  std::int16_t bit = 0;
  for (std::size_t i = 0; i < area.fields.size(); ++i) {
    FieldDesc& f = area.fields[i];
    if (f.type == '0' && f.length > 0) {
      area.null_flags_field = static_cast<int>(i);
      continue;
    }
    if (f.type == 'V' || f.type == 'Q') f.size_bit = bit++;
    if ((f.flags & 0x02) != 0) f.null_bit = bit++;
  }
}

FieldValue RawFieldValue(const WorkArea& area, const FieldDesc& field, const char* record) {
  if (field.length == 0 || FieldIsNull(area, field, record)) return FieldValue{true, {}};
  const char* p = record + field.offset;
  if (field.type == 'C') return FieldValue{false, std::string(p, field.length)};  // wide C
  if (area.visual_foxpro) return VisualFoxProValue(area, field, p, record);
  return Level7Value(field, p);
}

RawKind RawKindOf(const WorkArea& area, const FieldDesc& field) {
  if (!field.raw || field.length == 0) return RawKind::kNothing;
  if (HoldsMemoBlock(area, field)) return RawKind::kMemo;
  switch (field.type) {
    case 'C':
    case 'V':
      return RawKind::kText;
    case 'Q':
      return RawKind::kBytes;
    case 'I':
    case '+':
      return RawKind::kInteger;
    case 'B':
    case 'O':
      return RawKind::kDouble;
    case 'Y':
      return RawKind::kCurrency;
    case 'T':
    case '@':
      return RawKind::kDateTime;
    default:  // _NullFlags
      return RawKind::kNothing;
  }
}

FieldNumber RawFieldNumber(const WorkArea& area, const FieldDesc& field, const char* record) {
  const RawKind kind = RawKindOf(area, field);
  const FieldValue value = RawFieldValue(area, field, record);
  if (value.null) return FieldNumber{true, 0};
  const char* p = record + field.offset;
  switch (kind) {
    case RawKind::kInteger:
    case RawKind::kDouble:
      // The texts of RawFieldValue read back as the same number.
      return FieldNumber{false, std::strtod(value.text.c_str(), nullptr)};
    case RawKind::kCurrency:
      return FieldNumber{false,
                         static_cast<double>(static_cast<std::int64_t>(Little64(p))) / 10000};
    case RawKind::kDateTime:
      if (area.visual_foxpro) return FieldNumber{false, Little32(p) + Little32(p + 4) / kMsPerDay};
      return FieldNumber{false, DoubleOf(Big64(p)) / kMsPerDay + DayNumberOffset};
    default:
      return FieldNumber{true, 0};
  }
}

namespace {

void PutLittle(std::uint64_t v, int bytes, char* out) {
  for (int i = 0; i < bytes; ++i) out[i] = static_cast<char>(v >> (8 * i) & 0xFF);
}

// A decimal with an optional sign and at most `decimals` decimals as an
// integer of 10^-decimals units within 64 bits; false for anything else.
bool ParseUnits(const std::string& text, int decimals, std::int64_t* units) {
  std::size_t i = 0;
  const bool negative = i < text.size() && text[i] == '-';
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
  std::uint64_t magnitude = 0;
  int digits = 0, after_point = -1;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '.' && after_point < 0) {
      after_point = 0;
      continue;
    }
    if (c < '0' || c > '9' || after_point == decimals) return false;
    if (magnitude > (std::uint64_t{1} << 62) / 10) return false;
    magnitude = magnitude * 10 + static_cast<unsigned>(c - '0');
    ++digits;
    if (after_point >= 0) ++after_point;
  }
  if (digits == 0) return false;
  for (int k = after_point < 0 ? 0 : after_point; k < decimals; ++k) {
    if (magnitude > (std::uint64_t{1} << 62) / 10) return false;
    magnitude *= 10;
  }
  *units = negative ? -static_cast<std::int64_t>(magnitude) : static_cast<std::int64_t>(magnitude);
  return true;
}

// "YYYY-MM-DD[ HH:MM[:SS[.mmm]]]" as Julian day and milliseconds.
bool ParseDateTime(const std::string& text, std::uint32_t* day, std::uint32_t* ms) {
  int y = 0, mo = 0, d = 0, h = 0, mi = 0, sec = 0, milli = 0, used = 0;
  const int n = std::sscanf(text.c_str(), "%4d-%2d-%2d%n %2d:%2d%n:%2d%n.%3d%n", &y, &mo, &d, &used,
                            &h, &mi, &used, &sec, &used, &milli, &used);
  if (n < 3 || static_cast<std::size_t>(used) != text.size() || n == 4) return false;
  if (n == 7 && text.size() - text.rfind('.') != 4) return false;  // milliseconds: three digits
  if (h < 0 || h > 23 || mi < 0 || mi > 59 || sec < 0 || sec > 59 || milli < 0) return false;
  const DayNumber number = DayNumberFromYMD(y, mo, d);
  const CalendarDate back = YMDFromDayNumber(number);
  if (!IsValidDayNumber(number) || back.year != y || back.month != mo || back.day != d)
    return false;
  *day = static_cast<std::uint32_t>(number);
  *ms = static_cast<std::uint32_t>(((h * 60 + mi) * 60 + sec) * 1000 + milli);
  return true;
}

std::string TooLong(const FieldDesc& field) {
  return "länger als das Feld (" + std::to_string(field.length) + " Bytes)";
}

// Pairs of hex digits as bytes; false for anything else.
bool ParseHex(const std::string& text, std::string* bytes) {
  auto digit = [](char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  if (text.size() % 2 != 0) return false;
  for (std::size_t i = 0; i < text.size(); i += 2) {
    const int high = digit(text[i]), low = digit(text[i + 1]);
    if (high < 0 || low < 0) return false;
    *bytes += static_cast<char>(high << 4 | low);
  }
  return true;
}

void SetFlagBit(int bit, bool on, char* flags) {
  const auto mask = static_cast<unsigned char>(1u << (bit % 8));
  auto& byte = reinterpret_cast<unsigned char&>(flags[bit / 8]);
  byte = static_cast<unsigned char>(on ? byte | mask : byte & ~mask);
}

// V and Q as Visual FoxPro writes them: the bytes, then zeros, and in the
// last byte the used length with the field's size bit set; a value that
// fills the field has no length byte and its size bit clear.
std::string EncodeVariable(const WorkArea& area, const FieldDesc& field, const std::string& bytes,
                           char* out, char* flags) {
  if (bytes.size() > field.length) return TooLong(field);
  const bool sized = flags != nullptr && HasFlagBit(area, field.size_bit);
  const bool short_value = bytes.size() < field.length;
  if (short_value && !sized) return "Tabelle ohne _NullFlags: nur Werte, die das Feld füllen";
  std::memset(out, 0, field.length);
  std::memcpy(out, bytes.data(), bytes.size());
  if (short_value) out[field.length - 1] = static_cast<char>(bytes.size());
  if (sized) SetFlagBit(field.size_bit, short_value, flags);
  return "";
}

void PutBig(std::uint64_t v, int bytes, char* out) {
  for (int i = 0; i < bytes; ++i) out[i] = static_cast<char>(v >> (8 * (bytes - 1 - i)) & 0xFF);
}

std::uint64_t BitsOf(double v) {
  std::uint64_t bits;
  std::memcpy(&bits, &v, 8);
  return bits;
}

// A date-time as Julian day plus fraction: the day and the milliseconds
// since midnight (rounded to the nearest millisecond); false outside the
// years 1 to 9999.
bool SplitDateTime(double value, std::uint32_t* day, std::uint32_t* ms) {
  if (!std::isfinite(value)) return false;
  double whole = std::floor(value);
  double milli = std::nearbyint((value - whole) * kMsPerDay);
  if (milli >= kMsPerDay) {
    whole += 1;
    milli = 0;
  }
  if (!IsValidDayNumber(whole)) return false;
  *day = static_cast<std::uint32_t>(whole);
  *ms = static_cast<std::uint32_t>(milli);
  return true;
}

// Level 7's I, + and O from a decimal text, @ from a date-time text;
// through EncodeRawNumber. A level-7 field has no empty value: an empty
// text is refused.
std::string EncodeLevel7Text(const WorkArea& area, const FieldDesc& field, const std::string& text,
                             char* out) {
  switch (RawKindOf(area, field)) {
    case RawKind::kInteger: {
      std::int64_t v = 0;
      if (!ParseUnits(text, 0, &v)) return "keine ganze Zahl";
      if (v < INT32_MIN || v > INT32_MAX) return "passt nicht in 32 Bit";
      return EncodeRawNumber(area, field, static_cast<double>(v), out);
    }
    case RawKind::kDouble: {
      char* end = nullptr;
      const double v = std::strtod(text.c_str(), &end);
      if (text.empty() || end != text.c_str() + text.size()) return "keine Zahl";
      return EncodeRawNumber(area, field, v, out);
    }
    case RawKind::kDateTime: {
      std::uint32_t day = 0, ms = 0;
      if (!ParseDateTime(text, &day, &ms)) return "kein Datum mit Uhrzeit (JJJJ-MM-TT HH:MM:SS)";
      return EncodeRawNumber(area, field, day + ms / kMsPerDay, out);
    }
    default:
      return "Feldtyp kann noch nicht geschrieben werden";
  }
}

}  // namespace

std::string EncodeRawNumber(const WorkArea& area, const FieldDesc& field, double value, char* out) {
  if (!field.raw || field.length == 0) return "Feldtyp kann noch nicht geschrieben werden";
  if (!std::isfinite(value)) return "keine Zahl";
  const RawKind kind = RawKindOf(area, field);
  if (kind == RawKind::kInteger &&
      (value != std::floor(value) || value < INT32_MIN || value > INT32_MAX)) {
    return "keine ganze Zahl in 32 Bit";
  }
  std::uint32_t day = 0, ms = 0;
  if (kind == RawKind::kDateTime && !SplitDateTime(value, &day, &ms)) {
    return "kein Datum mit Uhrzeit in den Jahren 1 bis 9999";
  }
  // (Only an integer kind's value is known to lie within 32 bits here.)
  const auto integer =
      kind == RawKind::kInteger ? static_cast<std::uint32_t>(static_cast<std::int32_t>(value)) : 0u;
  if (area.visual_foxpro) {
    switch (kind) {
      case RawKind::kInteger:
        PutLittle(integer, 4, out);
        return "";
      case RawKind::kDouble:
        PutLittle(BitsOf(value), 8, out);
        return "";
      case RawKind::kCurrency: {
        // The ten-thousandths the value stands for, when it stands for a
        // whole number of them (the double nearest that decimal).
        const double units = std::nearbyint(value * 10000);
        if (std::fabs(units) >= 9.2e18 || units / 10000 != value) {
          return "kein Betrag mit 4 Nachkommastellen";
        }
        PutLittle(static_cast<std::uint64_t>(static_cast<std::int64_t>(units)), 8, out);
        return "";
      }
      case RawKind::kDateTime:
        PutLittle(day, 4, out);
        PutLittle(ms, 4, out + 4);
        return "";
      default:
        return "Feldtyp kann noch nicht geschrieben werden";
    }
  }
  switch (kind) {  // level 7: big-endian, in forms whose bytes sort as the values do
    case RawKind::kInteger:
      PutBig(integer ^ 0x80000000u, 4, out);
      return "";
    case RawKind::kDouble: {
      const std::uint64_t bits = BitsOf(value == 0 ? 0.0 : value);  // -0 is 0
      PutBig((bits >> 63) != 0 ? ~bits : bits | std::uint64_t{1} << 63, 8, out);
      return "";
    }
    case RawKind::kDateTime: {
      const double total = (static_cast<double>(day) - DayNumberOffset) * kMsPerDay + ms;
      PutBig(BitsOf(total), 8, out);
      return "";
    }
    default:
      return "Feldtyp kann noch nicht geschrieben werden";
  }
}

bool BlankRawField(const WorkArea& area, const FieldDesc& field, char* out, char* flags) {
  if (!area.visual_foxpro || !field.raw) return false;
  if (field.type == 'C') {
    std::memset(out, ' ', field.length);
  } else if (field.type == 'V' || field.type == 'Q') {
    EncodeVariable(area, field, std::string(), out, flags);
  } else {
    std::memset(out, 0, field.length);
  }
  return true;
}

void BlankRawFields(const WorkArea& area, char* record) {
  if (!area.visual_foxpro) return;
  char* flags = nullptr;
  if (area.null_flags_field >= 0) {
    const FieldDesc& f = area.fields[static_cast<std::size_t>(area.null_flags_field)];
    flags = record + f.offset;
    std::memset(flags, 0, f.length);
  }
  for (const FieldDesc& f : area.fields) {
    if (f.raw && f.length > 0 && f.type != '0') BlankRawField(area, f, record + f.offset, flags);
  }
}

bool FieldMayBeNull(const WorkArea& area, const FieldDesc& field) {
  return HasFlagBit(area, field.null_bit);
}

void MarkNull(const WorkArea& area, const FieldDesc& field, bool null, char* flags) {
  if (FieldMayBeNull(area, field)) SetFlagBit(field.null_bit, null, flags);
}

std::string EncodeRawField(const WorkArea& area, const FieldDesc& field, const std::string& text,
                           char* out, char* flags) {
  if (!field.raw) return "Feldtyp kann noch nicht geschrieben werden";
  if (!area.visual_foxpro) return EncodeLevel7Text(area, field, text, out);
  const bool empty = text.find_first_not_of(' ') == std::string::npos;
  switch (field.length == 0 ? '\0' : field.type) {
    case 'C':
      if (text.size() > field.length) return TooLong(field);
      std::memset(out, ' ', field.length);
      std::memcpy(out, text.data(), text.size());
      return "";
    case 'V':
      return EncodeVariable(area, field, text, out, flags);
    case 'Q': {
      std::string bytes;
      if (!ParseHex(text, &bytes)) return "keine Hex-Ziffern (zwei je Byte)";
      return EncodeVariable(area, field, bytes, out, flags);
    }
    case 'I': {
      std::int64_t v = 0;
      if (!empty && !ParseUnits(text, 0, &v)) return "keine ganze Zahl";
      if (v < INT32_MIN || v > INT32_MAX) return "passt nicht in 32 Bit";
      PutLittle(static_cast<std::uint32_t>(static_cast<std::int32_t>(v)), 4, out);
      return "";
    }
    case 'Y': {
      std::int64_t units = 0;
      if (!empty && !ParseUnits(text, 4, &units)) return "kein Betrag mit 4 Nachkommastellen";
      PutLittle(static_cast<std::uint64_t>(units), 8, out);
      return "";
    }
    case 'B': {
      double v = 0;
      if (!empty) {
        char* end = nullptr;
        v = std::strtod(text.c_str(), &end);
        if (end != text.c_str() + text.size() || !std::isfinite(v)) return "keine Zahl";
      }
      std::uint64_t bits;
      std::memcpy(&bits, &v, 8);
      PutLittle(bits, 8, out);
      return "";
    }
    case 'T': {
      std::uint32_t day = 0, ms = 0;
      if (!empty && !ParseDateTime(text, &day, &ms))
        return "kein Datum mit Uhrzeit (JJJJ-MM-TT HH:MM:SS)";
      PutLittle(day, 4, out);
      PutLittle(ms, 4, out + 4);
      return "";
    }
    default:
      return "Feldtyp kann noch nicht geschrieben werden";
  }
}

}  // namespace orvex
