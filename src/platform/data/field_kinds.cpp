#include "platform/data/field_kinds.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "platform/data/data_set.h"
#include "platform/data/database_error.h"
#include "platform/os/codepage.h"
#include "platform/os/format_settings.h"

namespace orvex::data {

namespace {

std::string TrimBlanks(const std::string& s) {
  std::size_t b = s.find_first_not_of(' ');
  if (b == std::string::npos) return "";
  return s.substr(b, s.find_last_not_of(' ') - b + 1);
}

// Decimal integer text (optional sign); false for anything else or a value
// outside 32 bits.
bool ParseInt32(const std::string& text, std::int32_t* value) {
  std::string s = TrimBlanks(text);
  if (s.empty()) return false;
  char* end = nullptr;
  errno = 0;
  long long v = std::strtoll(s.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || v < std::numeric_limits<std::int32_t>::min() ||
      v > std::numeric_limits<std::int32_t>::max()) {
    return false;
  }
  *value = static_cast<std::int32_t>(v);
  return true;
}

// Decimal integer text (optional sign); false for anything else or a value
// outside 64 bits.
bool ParseInt64(const std::string& text, std::int64_t* value) {
  std::string s = TrimBlanks(text);
  if (!s.empty() && s[0] == '+') s.erase(0, 1);
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), *value);
  return !s.empty() && ec == std::errc() && end == s.data() + s.size();
}

// A decimal number with the decimal separator of os::Formats() (a '.' is
// accepted as well); false for anything else.
bool ParseDouble(const std::string& text, double* value) {
  std::string s = TrimBlanks(text);
  const char separator = os::Formats().decimal_separator;
  for (char& c : s) {
    if (c == separator) c = '.';
  }
  if (s.empty()) return false;
  char* end = nullptr;
  double v = std::strtod(s.c_str(), &end);
  if (*end != '\0' || !std::isfinite(v)) return false;
  *value = v;
  return true;
}

// Writes `value` as printf's "%.*g" does for `precision` <= 15 when the
// value is a short decimal, the common case for table values (9.9,
// 1234.56); answers the length, or 0 when the value needs the general
// conversion (more digits, exponent form, infinities, NaN).
//
// Why this gives printf's text: a double keeps 15 decimal digits
// faithfully, so when a decimal D of at most `precision` significant digits
// converts to exactly `value`, rounding `value` back to `precision` digits
// lands on D again, and "%g" prints D without its trailing zeros. D is
// searched as m / 10^k for k = 0, 1, 2, ...: m is the integer nearest to
// value * 10^k, and m / 10^k == value checks the conversion exactly (m and
// 10^k are exact doubles, so the division rounds the true quotient to the
// nearest double, as reading the decimal text would). The first k that
// fits gives the shortest D, with no trailing zero after the point.
std::size_t ShortDecimalText(double value, int precision, char* out) {
  static constexpr double kPowers[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                       1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
  if (precision > 15) return 0;
  for (int k = 0; k <= 15; ++k) {
    const double scaled = value * kPowers[k];
    if (!(std::fabs(scaled) < 1e15)) return 0;  // also NaN
    const auto m = static_cast<std::int64_t>(scaled < 0 ? scaled - 0.5 : scaled + 0.5);
    if (static_cast<double>(m) / kPowers[k] != value) continue;
    char digits[20];
    int n = 0;
    for (std::uint64_t rest = static_cast<std::uint64_t>(m < 0 ? -m : m); n == 0 || rest > 0;
         rest /= 10)
      digits[n++] = static_cast<char>('0' + rest % 10);  // lowest digit first
    int significant = n;
    while (significant > 1 && digits[n - significant] == '0') --significant;
    const int exponent = m == 0 ? 0 : n - 1 - k;
    // "%g" writes the exponent form outside -4 <= exponent < precision.
    if (significant > precision || exponent < -4 || exponent >= precision) return 0;
    char* p = out;
    if (std::signbit(value)) *p++ = '-';  // "-0" for negative zero, as printf
    for (int i = n - 1; i >= k; --i) *p++ = digits[i];
    if (n <= k) *p++ = '0';
    if (k > 0) {
      *p++ = '.';
      for (int i = k; i > n; --i) *p++ = '0';
      for (int i = (n < k ? n : k) - 1; i >= 0; --i) *p++ = digits[i];
    }
    return static_cast<std::size_t>(p - out);
  }
  return 0;
}

// `value` with `precision` significant digits, trailing zeros dropped, the
// decimal separator of os::Formats(): printf's "%.*g", written into `text`.
// Short decimals take the quick way above; the rest goes through to_chars,
// which gives printf's text without printf's cost.
void FormatFloat(double value, int precision, std::string& text) {
  char chars[64];
  std::size_t length = ShortDecimalText(value, precision, chars);
  if (length == 0) {
    const auto written =
        std::to_chars(chars, chars + sizeof chars, value, std::chars_format::general, precision);
    length = written.ec == std::errc() ? static_cast<std::size_t>(written.ptr - chars) : 0;
  }
  const char separator = os::Formats().decimal_separator;
  if (separator != '.') {
    for (std::size_t i = 0; i < length; ++i) {
      if (chars[i] == '.') chars[i] = separator;
    }
  }
  text.assign(chars, length);
}

std::string FormatFloat(double value, int precision) {
  std::string text;
  FormatFloat(value, precision, text);
  return text;
}

bool StartsWithIgnoringCase(const std::string& whole, const std::string& start) {
  if (start.size() > whole.size()) return false;
  for (std::size_t i = 0; i < start.size(); ++i) {
    if (os::CharUpper(static_cast<unsigned char>(whole[i])) !=
        os::CharUpper(static_cast<unsigned char>(start[i]))) {
      return false;
    }
  }
  return true;
}

}  // namespace

// ---------------------------------------------------------------- string ---

// AsString and the texts are one text; the kinds below call their own
// GetText by its qualified name, so that a subclass's other display text
// does not change AsString.
std::string TStringField::AsString() const {
  std::string text;
  TStringField::GetText(text, false);
  return text;
}

void TStringField::GetText(std::string& text, bool) const {
  char buffer[300];  // Size is at most 255 for every kind of table
  const int size = TStringField::DataSize();
  if (size > static_cast<int>(sizeof buffer)) {
    std::string big(static_cast<std::size_t>(size), '\0');
    text.assign(GetData(big.data()) ? big.c_str() : "");
    return;
  }
  if (GetData(buffer)) {
    text.assign(buffer);
  } else {
    text.clear();
  }
}

void TStringField::SetAsString(const std::string& value) {
  std::string buffer = value.substr(0, static_cast<std::size_t>(Size()));
  SetData(buffer.c_str());
}

std::int32_t TStringField::AsInteger() const {
  std::int32_t v = 0;
  if (!ParseInt32(AsString(), &v)) throw EConvertError(FormatMessage(kNotInteger, AsString()));
  return v;
}

double TStringField::AsFloat() const {
  double v = 0;
  if (!ParseDouble(AsString(), &v)) throw EConvertError(FormatMessage(kNotFloat, AsString()));
  return v;
}

bool TStringField::AsBoolean() const {
  std::string s = AsString();
  return !s.empty() && (s[0] == 'T' || s[0] == 't' || s[0] == 'Y' || s[0] == 'y');
}

// --------------------------------------------------------------- numeric ---

TNumericField::TNumericField(TFieldType type) : TField(type, 0) {
  SetAlignment(TAlignment::taRightJustify);
}

std::string TIntegerField::AsString() const {
  std::string text;
  TIntegerField::GetText(text, false);
  return text;
}

void TIntegerField::GetText(std::string& text, bool) const {
  std::int32_t v = 0;
  if (!GetData(&v)) return text.clear();
  char digits[16];
  text.assign(digits, std::to_chars(digits, digits + sizeof digits, v).ptr);
}

void TIntegerField::SetAsString(const std::string& value) {
  if (TrimBlanks(value).empty()) return Clear();
  std::int32_t v = 0;
  if (!ParseInt32(value, &v)) throw EConvertError(FormatMessage(kNotInteger, value));
  SetAsInteger(v);
}

std::int32_t TIntegerField::AsInteger() const {
  std::int32_t v = 0;
  return GetData(&v) ? v : 0;
}

void TIntegerField::SetAsInteger(std::int32_t value) { SetData(&value); }

void TIntegerField::SetAsFloat(double value) {
  double r = std::round(value);
  if (!(r >= std::numeric_limits<std::int32_t>::min() &&
        r <= std::numeric_limits<std::int32_t>::max())) {
    throw EConvertError(FormatMessage(kNotInteger, FormatFloat(value, 15)));
  }
  SetAsInteger(static_cast<std::int32_t>(r));
}

std::int64_t TLargeintField::AsLargeInt() const {
  std::int64_t v = 0;
  return GetData(&v) ? v : 0;
}

void TLargeintField::SetAsLargeInt(std::int64_t value) { SetData(&value); }

std::string TLargeintField::AsString() const {
  std::string text;
  TLargeintField::GetText(text, false);
  return text;
}

void TLargeintField::GetText(std::string& text, bool) const {
  std::int64_t v = 0;
  if (!GetData(&v)) return text.clear();
  char digits[24];
  text.assign(digits, std::to_chars(digits, digits + sizeof digits, v).ptr);
}

void TLargeintField::SetAsString(const std::string& value) {
  if (TrimBlanks(value).empty()) return Clear();
  std::int64_t v = 0;
  if (!ParseInt64(value, &v)) throw EConvertError(FormatMessage(kNotInteger, value));
  SetAsLargeInt(v);
}

std::int32_t TLargeintField::AsInteger() const {
  const std::int64_t v = AsLargeInt();
  if (v < std::numeric_limits<std::int32_t>::min() || v > std::numeric_limits<std::int32_t>::max())
    ConversionError();
  return static_cast<std::int32_t>(v);
}

void TLargeintField::SetAsFloat(double value) {
  const double r = std::round(value);
  // 2^63 itself is one past the largest 64-bit integer.
  if (!(r >= -0x1p63 && r < 0x1p63))
    throw EConvertError(FormatMessage(kNotInteger, FormatFloat(value, 15)));
  SetAsLargeInt(static_cast<std::int64_t>(r));
}

void TFloatField::SetPrecision(int precision) {
  precision_ = precision < 2 ? 2 : precision > 17 ? 17 : precision;
  if (DataSet() != nullptr) DataSet()->FieldLayoutChanged();
}

std::string TFloatField::AsString() const {
  double v = 0;
  return GetData(&v) ? FormatFloat(v, 15) : std::string();
}

void TFloatField::GetText(std::string& text, bool) const {
  double v = 0;
  if (GetData(&v)) {
    FormatFloat(v, precision_, text);
  } else {
    text.clear();
  }
}

void TFloatField::SetAsString(const std::string& value) {
  if (TrimBlanks(value).empty()) return Clear();
  double v = 0;
  if (!ParseDouble(value, &v)) throw EConvertError(FormatMessage(kNotFloat, value));
  SetAsFloat(v);
}

std::int32_t TFloatField::AsInteger() const {
  double r = std::round(AsFloat());
  if (!(r >= std::numeric_limits<std::int32_t>::min() &&
        r <= std::numeric_limits<std::int32_t>::max())) {
    ConversionError();
  }
  return static_cast<std::int32_t>(r);
}

double TFloatField::AsFloat() const {
  double v = 0;
  return GetData(&v) ? v : 0.0;
}

void TFloatField::SetAsFloat(double value) { SetData(&value); }

void TCurrencyField::GetText(std::string& text, bool) const {
  double v = 0;
  if (!GetData(&v)) return text.clear();
  char chars[64];
  const auto written = std::to_chars(chars, chars + sizeof chars, v, std::chars_format::fixed, 4);
  text.assign(chars, written.ec == std::errc() ? written.ptr : chars);
  const char separator = os::Formats().decimal_separator;
  for (char& c : text) {
    if (c == '.') c = separator;
  }
}

// --------------------------------------------------------------- boolean ---

std::string TBooleanField::AsString() const {
  std::string text;
  TBooleanField::GetText(text, false);
  return text;
}

void TBooleanField::GetText(std::string& text, bool) const {
  std::uint16_t v = 0;
  if (!GetData(&v)) return text.clear();
  text.assign(v != 0 ? kTrueText : kFalseText);
}

void TBooleanField::SetAsString(const std::string& value) {
  std::string s = TrimBlanks(value);
  if (s.empty()) return Clear();
  if (StartsWithIgnoringCase(kTrueText, s)) return SetAsBoolean(true);
  if (StartsWithIgnoringCase(kFalseText, s)) return SetAsBoolean(false);
  throw EConvertError(FormatMessage(kNotBoolean, value));
}

bool TBooleanField::AsBoolean() const {
  std::uint16_t v = 0;
  return GetData(&v) && v != 0;
}

void TBooleanField::SetAsBoolean(bool value) {
  std::uint16_t v = value ? 1 : 0;
  SetData(&v);
}

// ------------------------------------------------------------------ date ---

std::string TDateField::AsString() const {
  std::string text;
  TDateField::GetText(text, false);
  return text;
}

void TDateField::GetText(std::string& text, bool) const {
  std::int32_t day = 0;
  if (GetData(&day)) {
    DateToStr(static_cast<TDateTime>(day) - kDateDelta, text);
  } else {
    text.clear();
  }
}

void TDateField::SetAsString(const std::string& value) {
  if (TrimBlanks(value).empty()) return Clear();
  SetAsDateTime(StrToDate(value));
}

TDateTime TDateField::AsDateTime() const {
  std::int32_t day = 0;
  return GetData(&day) ? static_cast<TDateTime>(day) - kDateDelta : 0.0;
}

void TDateField::SetAsDateTime(TDateTime value) {
  double day = std::floor(value) + kDateDelta;
  if (!(day >= 1 - 1e9 && day <= 1e9))
    throw EConvertError(FormatMessage(kNotDate, FormatFloat(value, 15)));
  std::int32_t native = static_cast<std::int32_t>(day);
  SetData(&native);
}

// ------------------------------------------------------------- date-time ---

std::string TDateTimeField::AsString() const {
  std::string text;
  TDateTimeField::GetText(text, false);
  return text;
}

void TDateTimeField::GetText(std::string& text, bool) const {
  TDateTime value = 0;
  if (!GetData(&value)) return text.clear();
  DateToStr(value, text);
  // The time to the nearest second; a value that rounds up to midnight
  // shows the last second of its day rather than a time of 24:00:00.
  const double fraction = value - std::floor(value);
  const int seconds = std::min(static_cast<int>(std::lround(fraction * 86400)), 86399);
  char time[32];
  std::snprintf(time, sizeof time, " %02d:%02d:%02d", seconds / 3600, seconds / 60 % 60,
                seconds % 60);
  text += time;
}

void TDateTimeField::SetAsString(const std::string& value) {
  const std::string s = TrimBlanks(value);
  if (s.empty()) return Clear();
  const std::size_t blank = s.find(' ');
  TDateTime date = StrToDate(s.substr(0, blank));
  if (blank != std::string::npos) {
    int hours = 0, minutes = 0, seconds = 0, used = 0;
    const std::string time = TrimBlanks(s.substr(blank));
    const int parts =
        std::sscanf(time.c_str(), "%2d:%2d%n:%2d%n", &hours, &minutes, &used, &seconds, &used);
    if (parts < 2 || static_cast<std::size_t>(used) != time.size() || hours > 23 || minutes > 59 ||
        seconds > 59 || hours < 0 || minutes < 0 || seconds < 0) {
      throw EConvertError(FormatMessage(kNotDate, value));
    }
    date += (hours * 3600 + minutes * 60 + seconds) / 86400.0;
  }
  SetAsDateTime(date);
}

TDateTime TDateTimeField::AsDateTime() const {
  TDateTime value = 0;
  return GetData(&value) ? value : 0.0;
}

void TDateTimeField::SetAsDateTime(TDateTime value) {
  if (!IsValidDate(value)) throw EConvertError(FormatMessage(kNotDate, FormatFloat(value, 15)));
  SetData(&value);
}

// ------------------------------------------------------------------ BLOB ---

std::int32_t TBlobField::BlobReference() const {
  std::int32_t reference = 0;
  return GetData(&reference) ? reference : 0;
}

std::string TBlobField::AsString() const {
  if (DataSet() == nullptr) return "";
  std::unique_ptr<TStream> stream =
      DataSet()->CreateBlobStream(const_cast<TBlobField*>(this), TBlobStreamMode::bmRead);
  std::string contents;
  if (stream == nullptr) return contents;
  char chunk[4096];
  for (std::int32_t n; (n = stream->Read(chunk, sizeof chunk)) > 0;)
    contents.append(chunk, static_cast<std::size_t>(n));
  return contents;
}

void TBlobField::SetAsString(const std::string& value) {
  if (DataSet() == nullptr) return;
  DataSet()->CheckFieldWrite(*this);
  std::unique_ptr<TStream> stream = DataSet()->CreateBlobStream(this, TBlobStreamMode::bmWrite);
  if (stream != nullptr && !value.empty())
    stream->Write(value.data(), static_cast<std::int32_t>(value.size()));
}

void TBlobField::GetText(std::string& text, bool display_text) const {
  if (!display_text) {
    text = AsString();
    return;
  }
  const bool memo = DataType() == TFieldType::ftMemo;
  if (IsNull()) {
    text.assign(memo ? "(Memo)" : "(Blob)");
  } else {
    text.assign(memo ? "(MEMO)" : "(BLOB)");
  }
}

}  // namespace orvex::data
