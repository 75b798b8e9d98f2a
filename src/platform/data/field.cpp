#include "platform/data/field.h"

#include "platform/data/data_set.h"
#include "platform/data/database_error.h"

namespace orvex::data {

TField::TField(TFieldType type, int size) : data_type_(type), size_(size) {}

void TField::SetDisplayWidth(int width) {
  display_width_ = width;
  if (data_set_ != nullptr) data_set_->FieldLayoutChanged();
}

void TField::SetVisible(bool visible) {
  visible_ = visible;
  if (data_set_ != nullptr) data_set_->FieldLayoutChanged();
}

void TField::SetAlignment(TAlignment alignment) {
  alignment_ = alignment;
  if (data_set_ != nullptr) data_set_->FieldLayoutChanged();
}

bool TField::IsNull() const { return !GetData(nullptr); }

std::int32_t TField::AsInteger() const { ConversionError(); }
void TField::SetAsInteger(std::int32_t) { ConversionError(); }
double TField::AsFloat() const { ConversionError(); }
void TField::SetAsFloat(double) { ConversionError(); }
bool TField::AsBoolean() const { ConversionError(); }
void TField::SetAsBoolean(bool) { ConversionError(); }
TDateTime TField::AsDateTime() const { ConversionError(); }
void TField::SetAsDateTime(TDateTime) { ConversionError(); }

bool TField::GetData(void* buffer) const {
  if (data_set_ == nullptr) return false;
  return data_set_->GetFieldData(const_cast<TField*>(this), buffer);
}

void TField::SetData(const void* buffer) {
  if (data_set_ == nullptr) DatabaseError(FormatMessage(kFieldNotFound, field_name_));
  data_set_->CheckFieldWrite(*this);
  data_set_->SetFieldData(this, buffer);
}

void TField::FocusControl() {
  if (data_set_ != nullptr) data_set_->FocusField(*this);
}

void TField::GetText(std::string& text, bool) const { text = AsString(); }

void TField::ConversionError() const {
  DatabaseError(FormatMessage(kInvalidConversion, field_name_));
}

}  // namespace orvex::data
