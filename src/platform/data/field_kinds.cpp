#include "platform/data/field_kinds.h"

#include <charconv>
#include <cmath>
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

// `value` with `precision` significant digits, trailing zeros dropped, the
// decimal separator of os::Formats(): printf's "%.*g", through to_chars,
// which gives the same text without printf's cost.
std::string FormatFloat(double value, int precision) {
  char text[64];
  const auto written =
      std::to_chars(text, text + sizeof text, value, std::chars_format::general, precision);
  std::string out(text, written.ec == std::errc() ? written.ptr : text);
  const char separator = os::Formats().decimal_separator;
  if (separator != '.') {
    for (char& c : out) {
      if (c == '.') c = separator;
    }
  }
  return out;
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

std::string TStringField::AsString() const {
  char buffer[300];  // Size is at most 255 for every kind of table
  if (DataSize() > static_cast<int>(sizeof buffer)) {
    std::string big(static_cast<std::size_t>(DataSize()), '\0');
    return GetData(big.data()) ? std::string(big.c_str()) : std::string();
  }
  return GetData(buffer) ? std::string(buffer) : std::string();
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
  std::int32_t v = 0;
  return GetData(&v) ? std::to_string(v) : std::string();
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

void TFloatField::SetPrecision(int precision) {
  precision_ = precision < 2 ? 2 : precision > 17 ? 17 : precision;
  if (DataSet() != nullptr) DataSet()->FieldLayoutChanged();
}

std::string TFloatField::AsString() const {
  double v = 0;
  return GetData(&v) ? FormatFloat(v, 15) : std::string();
}

std::string TFloatField::GetText(bool) const {
  double v = 0;
  return GetData(&v) ? FormatFloat(v, precision_) : std::string();
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

// --------------------------------------------------------------- boolean ---

std::string TBooleanField::AsString() const {
  std::uint16_t v = 0;
  if (!GetData(&v)) return "";
  return v != 0 ? kTrueText : kFalseText;
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
  std::int32_t day = 0;
  return GetData(&day) ? DateToStr(static_cast<TDateTime>(day) - kDateDelta) : std::string();
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

std::string TBlobField::GetText(bool display_text) const {
  if (!display_text) return AsString();
  const bool memo = DataType() == TFieldType::ftMemo;
  if (IsNull()) return memo ? "(Memo)" : "(Blob)";
  return memo ? "(MEMO)" : "(BLOB)";
}

}  // namespace orvex::data
