// TField: one column of a dataset, the way controls read and write values.
//
// A field reads its value through its dataset's GetFieldData(field, buffer)
// (the subclass's field data of the active buffer, or of the calc buffer
// while OnCalcFields runs) into a small buffer in the field's native form,
// and writes through SetFieldData. Native forms (DataSize bytes):
//   ftString   zero-terminated text in Size + 1 bytes (the bytes after the
//              terminator are not part of the value)
//   ftInteger  32-bit signed integer
//   ftFloat    8-byte double
//   ftBoolean  16-bit value, 0 = false
//   ftDate     32-bit day count, 1 = 1 January of year 1 (see date_time.h)
//   ftMemo, ftBlob  32-bit reference of the dataset's own (the memo block
//              number for tables); the contents go through CreateBlobStream
// GetFieldData answers false for a null value.
//
// Writing is allowed only while the dataset is in edit, insert or set-key
// state (EDatabaseError "Dataset not in edit or insert mode" otherwise);
// calculated fields are written while OnCalcFields runs.
//
// A field belongs to one dataset, which owns it. Data fields are bound at
// open to the field definition of the same name (FieldNo); calculated fields
// get an area of DataSize + 1 bytes in each record buffer's calculated-fields
// part (Offset within that part, see TDataSet::CalcFieldsSize).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/data/data_types.h"
#include "platform/data/date_time.h"

namespace orvex::data {

class TDataSet;

class TField {
 public:
  TField(TFieldType type, int size);
  virtual ~TField() = default;
  TField(const TField&) = delete;
  TField& operator=(const TField&) = delete;

  TDataSet* DataSet() const { return data_set_; }
  const std::string& FieldName() const { return field_name_; }
  void SetFieldName(const std::string& name) { field_name_ = name; }
  TFieldKind FieldKind() const { return field_kind_; }
  void SetFieldKind(TFieldKind kind) { field_kind_ = kind; }
  TFieldType DataType() const { return data_type_; }
  // Characters of a string field; 0 for the other kinds.
  int Size() const { return size_; }
  void SetSize(int size) { size_ = size; }
  // Bytes of the native form (see the file comment).
  virtual int DataSize() const = 0;
  // The field definition's number once bound; -1 for calculated fields.
  int FieldNo() const { return field_no_; }
  // Calculated fields: where the field's area starts in the calculated-fields
  // part of a record buffer (a null byte, then DataSize bytes).
  int Offset() const { return offset_; }
  // Position in the dataset's field list.
  int Index() const { return index_; }

  // Display properties.
  std::string DisplayLabel() const { return display_label_.empty() ? field_name_ : display_label_; }
  void SetDisplayLabel(const std::string& label) { display_label_ = label; }
  int DisplayWidth() const { return display_width_ >= 0 ? display_width_ : DefaultDisplayWidth(); }
  void SetDisplayWidth(int width);
  bool Visible() const { return visible_; }
  void SetVisible(bool visible);
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment alignment);
  const std::string& EditMask() const { return edit_mask_; }
  void SetEditMask(const std::string& mask) { edit_mask_ = mask; }
  bool ReadOnly() const { return read_only_; }
  void SetReadOnly(bool read_only) { read_only_ = read_only; }
  bool Required() const { return required_; }
  void SetRequired(bool required) { required_ = required; }

  // The value as a control shows it (DisplayText) or edits it (Text); the
  // empty text for null. Setting the text converts it to the field's type
  // (EConvertError when it does not convert; an empty text clears the field).
  std::string DisplayText() const {
    std::string text;
    GetText(text, true);
    return text;
  }
  std::string Text() const {
    std::string text;
    GetText(text, false);
    return text;
  }
  virtual void SetText(const std::string& text) { SetAsString(text); }
  // The same two texts written into `text`, replacing what it held. A
  // caller that reads many cells (a grid drawing its rows) keeps one string
  // for all of them: once the string has grown to the longest text, reading
  // a text allocates nothing, where DisplayText allocates for every text
  // longer than the string's inline room (15 characters).
  void GetDisplayText(std::string& text) const { GetText(text, true); }
  void GetEditText(std::string& text) const { GetText(text, false); }

  // Values. Conversions a kind does not offer raise EDatabaseError "Invalid
  // conversion of field '<name>'". Null reads as "", 0, 0.0, false, 0.
  virtual bool IsNull() const;
  void Clear() { SetData(nullptr); }
  virtual std::string AsString() const = 0;
  virtual void SetAsString(const std::string& value) = 0;
  virtual std::int32_t AsInteger() const;
  virtual void SetAsInteger(std::int32_t value);
  virtual double AsFloat() const;
  virtual void SetAsFloat(double value);
  virtual bool AsBoolean() const;
  virtual void SetAsBoolean(bool value);
  virtual TDateTime AsDateTime() const;
  virtual void SetAsDateTime(TDateTime value);

  // The native value through the dataset; false for null. `buffer` may be
  // nullptr to ask for null only.
  bool GetData(void* buffer) const;
  // Writes the native value (nullptr = null) through the dataset.
  void SetData(const void* buffer);

  // Asks the controls to focus this field's control.
  void FocusControl();

  // Called after the field's value was changed through the dataset.
  std::function<void(TField&)> OnChange;

 protected:
  // Writes the display text (display_text true) or the edit text into
  // `text`; AsString by default.
  virtual void GetText(std::string& text, bool display_text) const;
  virtual int DefaultDisplayWidth() const = 0;
  [[noreturn]] void ConversionError() const;

 private:
  friend class TDataSet;
  TDataSet* data_set_ = nullptr;
  std::string field_name_;
  TFieldKind field_kind_ = TFieldKind::fkData;
  TFieldType data_type_;
  int size_;
  int field_no_ = 0;
  int offset_ = 0;
  int index_ = -1;
  std::string display_label_;
  int display_width_ = -1;  // -1: the kind's default
  bool visible_ = true;
  TAlignment alignment_ = TAlignment::taLeftJustify;
  std::string edit_mask_;
  bool read_only_ = false;
  bool required_ = false;
};

// Makes a field object of one kind (see TDataSet::GetFieldClass).
using FieldClass = std::unique_ptr<TField> (*)();
template <typename T>
std::unique_ptr<TField> NewField() {
  return std::make_unique<T>();
}

}  // namespace orvex::data
