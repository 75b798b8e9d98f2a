// The field kinds the framework offers: string, integer, float (and
// currency), boolean, date, date-time and the BLOB kinds (memo and binary). Native forms: see
// field.h.
#pragma once

#include "platform/data/field.h"

namespace orvex::data {

class TStringField : public TField {
 public:
  TStringField() : TField(TFieldType::ftString, 20) {}
  int DataSize() const override { return Size() + 1; }
  std::string AsString() const override;
  void SetAsString(const std::string& value) override;
  std::int32_t AsInteger() const override;
  double AsFloat() const override;
  bool AsBoolean() const override;  // true for a text starting with T, t, Y or y

 protected:
  void GetText(std::string& text, bool display_text) const override;
  int DefaultDisplayWidth() const override { return Size(); }
};

// Numbers are right-aligned.
class TNumericField : public TField {
 public:
  explicit TNumericField(TFieldType type);
};

class TIntegerField : public TNumericField {
 public:
  TIntegerField() : TNumericField(TFieldType::ftInteger) {}
  int DataSize() const override { return 4; }
  std::string AsString() const override;
  void SetAsString(const std::string& value) override;
  std::int32_t AsInteger() const override;
  void SetAsInteger(std::int32_t value) override;
  double AsFloat() const override { return AsInteger(); }
  void SetAsFloat(double value) override;  // rounded to the nearest integer

 protected:
  void GetText(std::string& text, bool display_text) const override;
  int DefaultDisplayWidth() const override { return 11; }
};

// A 64-bit integer, for integers wider than 32 bits.
class TLargeintField : public TNumericField {
 public:
  TLargeintField() : TNumericField(TFieldType::ftLargeint) {}
  int DataSize() const override { return 8; }
  std::int64_t AsLargeInt() const;
  void SetAsLargeInt(std::int64_t value);
  std::string AsString() const override;
  // A decimal integer text (optional sign) within 64 bits; EConvertError
  // for anything else, blanks clear the field.
  void SetAsString(const std::string& value) override;
  // EConvertError when the value does not fit 32 bits.
  std::int32_t AsInteger() const override;
  void SetAsInteger(std::int32_t value) override { SetAsLargeInt(value); }
  double AsFloat() const override { return static_cast<double>(AsLargeInt()); }
  // Rounded to the nearest integer; EConvertError outside 64 bits.
  void SetAsFloat(double value) override;

 protected:
  void GetText(std::string& text, bool display_text) const override;
  int DefaultDisplayWidth() const override { return 20; }
};

class TFloatField : public TNumericField {
 public:
  TFloatField() : TFloatField(TFieldType::ftFloat) {}
  int DataSize() const override { return 8; }
  // Significant digits of the display text (15 by default).
  int Precision() const { return precision_; }
  void SetPrecision(int precision);
  std::string AsString() const override;  // 15 significant digits
  void SetAsString(const std::string& value) override;
  std::int32_t AsInteger() const override;
  double AsFloat() const override;
  void SetAsFloat(double value) override;
  void SetAsInteger(std::int32_t value) override { SetAsFloat(value); }

 protected:
  explicit TFloatField(TFieldType type) : TNumericField(type) {}
  // The display text has Precision significant digits, trailing zeros
  // dropped, with the decimal separator of os::Formats().
  void GetText(std::string& text, bool display_text) const override;
  int DefaultDisplayWidth() const override { return 10; }

 private:
  int precision_ = 15;
};

// An amount of money: a float whose display text has four decimals (a
// currency holds ten-thousandths), with the decimal separator of
// os::Formats().
class TCurrencyField : public TFloatField {
 public:
  TCurrencyField() : TFloatField(TFieldType::ftCurrency) {}

 protected:
  void GetText(std::string& text, bool display_text) const override;
  int DefaultDisplayWidth() const override { return 14; }
};

class TBooleanField : public TField {
 public:
  TBooleanField() : TField(TFieldType::ftBoolean, 0) {}
  int DataSize() const override { return 2; }
  // The framework's "True" and "False" texts.
  std::string AsString() const override;
  // "" clears; a text that starts the "True" / "False" text (letter case
  // ignored) sets the value; anything else raises EConvertError.
  void SetAsString(const std::string& value) override;
  bool AsBoolean() const override;
  void SetAsBoolean(bool value) override;

 protected:
  void GetText(std::string& text, bool display_text) const override;
  int DefaultDisplayWidth() const override { return 5; }
};

class TDateField : public TField {
 public:
  TDateField() : TField(TFieldType::ftDate, 0) {}
  int DataSize() const override { return 4; }
  // The short date text (date_time.h).
  std::string AsString() const override;
  // "" (or blanks) clears; otherwise StrToDate.
  void SetAsString(const std::string& value) override;
  TDateTime AsDateTime() const override;
  // The day of the value; EConvertError for a value no day count can hold.
  void SetAsDateTime(TDateTime value) override;
  double AsFloat() const override { return AsDateTime(); }

 protected:
  // The short date text, as AsString.
  void GetText(std::string& text, bool display_text) const override;
  int DefaultDisplayWidth() const override { return 10; }
};

// A date and a time of day: the native value is the TDateTime itself (a
// double, 8 bytes).
class TDateTimeField : public TField {
 public:
  TDateTimeField() : TField(TFieldType::ftDateTime, 0) {}
  int DataSize() const override { return 8; }
  // The short date text, a blank and the time as hh:mm:ss.
  std::string AsString() const override;
  // "" (or blanks) clears; otherwise a date as StrToDate reads it,
  // optionally followed by a blank and hh:mm or hh:mm:ss.
  void SetAsString(const std::string& value) override;
  TDateTime AsDateTime() const override;
  void SetAsDateTime(TDateTime value) override;
  double AsFloat() const override { return AsDateTime(); }

 protected:
  void GetText(std::string& text, bool display_text) const override;
  int DefaultDisplayWidth() const override { return 19; }
};

// BLOB fields: the native value is the dataset's 32-bit reference; the
// contents are read and written through the dataset's CreateBlobStream
// (nothing to read when the dataset offers no stream).
class TBlobField : public TField {
 public:
  TBlobField() : TBlobField(TFieldType::ftBlob) {}
  int DataSize() const override { return 4; }
  // The reference (0 = no contents).
  std::int32_t BlobReference() const;
  bool IsNull() const override { return BlobReference() == 0; }
  std::string AsString() const override;
  void SetAsString(const std::string& value) override;

 protected:
  explicit TBlobField(TFieldType type) : TField(type, 0) {}
  // DisplayText: "(BLOB)" with contents, "(Blob)" without; the memo kind
  // says MEMO / Memo.
  void GetText(std::string& text, bool display_text) const override;
  int DefaultDisplayWidth() const override { return 10; }
};

class TMemoField : public TBlobField {
 public:
  TMemoField() : TBlobField(TFieldType::ftMemo) {}
};

}  // namespace orvex::data
