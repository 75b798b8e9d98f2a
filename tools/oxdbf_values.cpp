// Field values at the tool's edge: what dump shows (exactly what the file
// holds) and what append and replace store (exactly what was given, or
// nothing).
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "common/decimal_text.h"
#include "dates/date_text.h"
#include "engine/field_values.h"
#include "engine/record_pack.h"
#include "engine/work_area.h"
#include "oxdbf.h"
#include "oxdbf_memo.h"
#include "platform/os/codepage.h"

namespace orvex::tool {
namespace {

// Speed: the helpers below that look at a field's bytes are plain loops;
// find_first_not_of and its kin call memchr once per byte, which an export of
// millions of fields feels.

// `s` without the blanks at either end.
std::string_view StripBlanks(std::string_view s) {
  std::size_t b = 0, e = s.size();
  while (b < e && s[b] == ' ') ++b;
  while (e > b && s[e - 1] == ' ') --e;
  return s.substr(b, e - b);
}

// `s` without trailing blanks and NUL bytes (the padding of a C field).
std::string_view WithoutPadding(std::string_view s) {
  std::size_t e = s.size();
  while (e > 0 && (s[e - 1] == ' ' || s[e - 1] == '\0')) --e;
  return s.substr(0, e);
}

bool OnlyBlanksAndZeros(std::string_view s) {
  return std::all_of(s.begin(), s.end(), [](char c) { return c == ' ' || c == '0'; });
}

// A decimal number as given ("-12.50", "+.5", "7") in its plain form with
// exactly `decimals` places ("-12.50", "0.50", "7.00"); "" when the text is
// not such a number or has non-zero digits beyond `decimals` places.
std::string PlainDecimal(const std::string& text, int decimals, bool* too_precise) {
  std::size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  std::size_t point = text.find('.', i);
  std::string whole = text.substr(i, point == std::string::npos ? std::string::npos : point - i);
  std::string fraction = point == std::string::npos ? "" : text.substr(point + 1);
  auto digits = [](const std::string& s) {
    return s.find_first_not_of("0123456789") == std::string::npos;
  };
  if ((whole.empty() && fraction.empty()) || !digits(whole) || !digits(fraction)) return "";
  std::size_t used = fraction.find_last_not_of('0');
  if (used != std::string::npos && static_cast<int>(used) + 1 > decimals) {
    *too_precise = true;
    return "";
  }
  fraction.resize(static_cast<std::size_t>(decimals), '0');
  whole.erase(0, std::min(whole.find_first_not_of('0'), whole.size()));
  if (whole.empty()) whole = "0";
  bool zero = whole == "0" && fraction.find_first_not_of('0') == std::string::npos;
  return (negative && !zero ? "-" : "") + whole + (decimals > 0 ? "." + fraction : "");
}

// N and F values: refused unless the field and its unpacked form hold them
// exactly.
std::string SetNumber(int n, const std::string& text) {
  const int length = FieldLen(n), decimals = FieldDec(n);
  bool too_precise = false;
  std::string plain = PlainDecimal(text, decimals, &too_precise);
  if (too_precise) return "mehr Nachkommastellen als das Feld (" + std::to_string(decimals) + ")";
  if (plain.empty()) return "keine Zahl";
  if (static_cast<int>(plain.size()) > length) {
    return "passt nicht in das Feld (" + std::to_string(length) + "," + std::to_string(decimals) +
           ")";
  }
  double value = std::strtod(plain.c_str(), nullptr);
  std::uint8_t* p = FieldAddress(n);
  if (decimals > 0) {
    std::uint8_t real[6];
    DoubleToReal(value, real);
    if (DecimalText(RealToDouble(real), decimals) != plain) return "nicht genau speicherbar";
    std::memcpy(p, real, 6);
  } else {
    if (value < -2147483648.0 || value > 2147483647.0) return "nicht genau speicherbar";
    std::int32_t i = static_cast<std::int32_t>(value);
    std::memcpy(p, &i, 4);
  }
  return "";
}

}  // namespace

std::string FieldText(int n) {
  std::string text;
  FieldTextIn(n, StoredRecord(), &text);
  return text;
}

bool FieldTextIn(int n, const char* record, std::string* text) {
  const WorkArea& area = *CurrentWorkArea();
  const FieldDesc& f = area.fields[static_cast<std::size_t>(n - 1)];
  const std::string_view stored(record + f.offset, f.length);
  text->clear();
  if (FieldIsNull(area, f, record)) return false;
  if (f.raw) {
    FieldValue value = RawFieldValue(area, f, record);
    if (!value.null && HoldsMemoBlock(area, f)) value.text = MemoFieldText(n);
    if (RawFieldHoldsText(f)) {
      AppendStoredAsUtf8(WithoutPadding(value.text), text);
    } else {
      *text = std::move(value.text);
    }
    return !value.null;
  }
  switch (f.type) {
    case 'C':
      AppendStoredAsUtf8(WithoutPadding(stored), text);
      return true;
    case 'L': {
      char c = stored.empty() ? ' ' : stored[0];
      text->append(c == 'T' || c == 't' || c == 'Y' || c == 'y'   ? "T"
                   : c == 'F' || c == 'f' || c == 'N' || c == 'n' ? "F"
                                                                  : "");
      return true;
    }
    case 'M':
      *text = MemoFieldText(n);
      return true;
    // Dates and digits as stored; a damaged field's other bytes are text of
    // the table's code page like any other.
    case 'D':  // a date of blanks and zeros is no date
      if (!OnlyBlanksAndZeros(stored)) AppendStoredAsUtf8(StripBlanks(stored), text);
      return true;
    default:  // N, F: the stored digits
      AppendStoredAsUtf8(StripBlanks(stored), text);
      return true;
  }
}

bool DateArgument(const std::string& text, std::string* date_text) {
  std::string given = text;
  if (given.size() == 10 && given[4] == '-' && given[7] == '-')
    given = given.substr(0, 4) + given.substr(5, 2) + given.substr(8, 2);
  const bool digits =
      given.size() == 8 && given.find_first_not_of("0123456789") == std::string::npos;
  *date_text = given.empty() ? std::string() : digits ? DateTextFromDText(given) : given;
  return date_text->empty() || CheckDateText(*date_text);
}

void ShowIsoDate(std::string* text) {
  if (text->size() != 8 || text->find_first_not_of("0123456789") != std::string::npos) return;
  // YYYYMMDD -> YYYY-MM-DD in place, without a new string.
  text->insert(6, 1, '-');
  text->insert(4, 1, '-');
}

namespace {

std::string StoreFieldText(int n, const std::string& value) {
  std::uint8_t* p = FieldAddress(n);
  const WorkArea& area = *CurrentWorkArea();
  const FieldDesc& field = area.fields[static_cast<std::size_t>(n - 1)];
  // Visual FoxPro's types in their own layout; the unpacked buffer carries
  // a raw field's stored bytes and _NullFlags as stored. Text memos are
  // stored as memos; the others are refused rather than stored in a form
  // their programs would read differently.
  if (HoldsMemoBlock(area, field) && field.type == 'M') return SetMemoFieldText(n, value);
  if (field.raw) {
    std::string given = value;
    if (RawFieldHoldsText(field) && !Utf8ToStored(value, &given)) {
      return "Zeichen außerhalb der Codepage der Tabelle";
    }
    char* flags = area.null_flags_field >= 0
                      ? reinterpret_cast<char*>(FieldAddress(area.null_flags_field + 1))
                      : nullptr;
    return EncodeRawField(area, field, given, reinterpret_cast<char*>(p), flags);
  }
  switch (FieldType(n)) {
    case 'C': {
      std::string text;
      if (!Utf8ToStored(value, &text)) return "Zeichen außerhalb der Codepage der Tabelle";
      if (static_cast<int>(text.size()) > FieldLen(n)) {
        return "länger als das Feld (" + std::to_string(FieldLen(n)) + " Zeichen)";
      }
      PutGivenText(n, text);
      return "";
    }
    case 'D': {
      std::string date;
      if (!DateArgument(value, &date)) return "kein gültiges Datum";
      p[0] = static_cast<std::uint8_t>(std::min<std::size_t>(date.size(), 10));
      std::memcpy(p + 1, date.data(), p[0]);
      return "";
    }
    case 'L': {
      // T, Y, J, true, .T., ... and F, N, false, .F., ... in any case.
      std::string upper = os::CharUpperString(value);
      if (upper.size() == 3 && upper.front() == '.' && upper.back() == '.')
        upper = upper.substr(1, 1);
      if (upper == "T" || upper == "Y" || upper == "TRUE" || upper == "J" || upper == "YES") {
        *p = 1;
      } else if (upper == "F" || upper == "N" || upper == "FALSE" || upper == "NO" ||
                 upper.empty()) {
        *p = 0;
      } else {
        return "kein logischer Wert";
      }
      return "";
    }
    case 'M':
      return SetMemoFieldText(n, value);
    default:
      return SetNumber(n, value);
  }
}

}  // namespace

std::string SetFieldText(int n, const std::string& value) {
  const WorkArea& area = *CurrentWorkArea();
  const FieldDesc& field = area.fields[static_cast<std::size_t>(n - 1)];
  std::string reason = StoreFieldText(n, value);
  // A value given to a field _NullFlags marked null makes it not null: its
  // bit is cleared (the unpacked buffer carries _NullFlags as stored).
  if (reason.empty() && FieldMayBeNull(area, field)) {
    MarkNull(area, field, false, reinterpret_cast<char*>(FieldAddress(area.null_flags_field + 1)));
  }
  return reason;
}

}  // namespace orvex::tool
