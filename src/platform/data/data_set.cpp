// TDataSet: opening and closing, state, fields, events to the controls.
#include "platform/data/data_set.h"

#include <algorithm>

#include "platform/data/application.h"
#include "platform/data/data_link.h"
#include "platform/data/database_error.h"
#include "platform/data/field_kinds.h"
#include "platform/data/try_finally.h"

namespace orvex::data {

TDataSet::TDataSet(std::string name) : name_(std::move(name)) {}

TDataSet::~TDataSet() {
  for (TDataSource* source : std::vector<TDataSource*>(data_sources_)) source->SetDataSet(nullptr);
}

void TDataSet::DestroyDataSet() {
  destroying_ = true;
  try {
    SetActive(false);
  } catch (const std::exception& e) {
    InternalHandleException(e);
  }
  fields_.clear();
}

// ------------------------------------------------------------------ state ---

void TDataSet::SetActive(bool active) {
  if (active == Active()) return;
  if (active) {
    Fire(BeforeOpen);
    try {
      OpenCursor();
    } catch (...) {
      try {
        CloseCursor();
      } catch (...) {
      }
      throw;
    }
    SetState(TDataSetState::dsBrowse);
    Fire(AfterOpen);
    if (!IsEmpty()) DoAfterScroll();
  } else {
    if (!destroying_) Fire(BeforeClose);
    SetState(TDataSetState::dsInactive);
    CloseCursor();
    if (!destroying_) Fire(AfterClose);
  }
}

void TDataSet::OpenCursor() {
  default_fields_ = fields_.empty();
  InternalOpen();
  ClearBuffers();
  SetBufferCount(WantedBufferCount());
  bof_ = true;
}

void TDataSet::CloseCursor() {
  ClearBuffers();
  SetBufListSize(0);
  buffer_count_ = 0;
  InternalClose();
  default_fields_ = false;
}

void TDataSet::CheckActive() const {
  if (state_ == TDataSetState::dsInactive) DatabaseError(kDataSetClosed, name_);
}

void TDataSet::SetState(TDataSetState state) {
  if (state == state_) return;
  state_ = state;
  modified_ = false;
  DataEvent(TDataEvent::deUpdateState, 0);
}

void TDataSet::InternalHandleException(const std::exception& e) { HandleApplicationException(e); }

// ----------------------------------------------------------------- fields ---

TField* TDataSet::FindField(const std::string& name) const {
  for (const auto& field : fields_) {
    if (SameFieldName(field->FieldName(), name)) return field.get();
  }
  return nullptr;
}

TField* TDataSet::FieldByName(const std::string& name) const {
  TField* field = FindField(name);
  if (field == nullptr) DatabaseError(FormatMessage(kFieldNotFound, name), name_);
  return field;
}

TField* TDataSet::AddField(std::unique_ptr<TField> field) {
  if (Active()) DatabaseError(kDataSetOpen, name_);
  field->data_set_ = this;
  field->index_ = static_cast<int>(fields_.size());
  fields_.push_back(std::move(field));
  return fields_.back().get();
}

FieldClass TDataSet::GetFieldClass(TFieldType type) {
  switch (type) {
    case TFieldType::ftString:
      return &NewField<TStringField>;
    case TFieldType::ftInteger:
      return &NewField<TIntegerField>;
    case TFieldType::ftLargeint:
      return &NewField<TLargeintField>;
    case TFieldType::ftFloat:
      return &NewField<TFloatField>;
    case TFieldType::ftBoolean:
      return &NewField<TBooleanField>;
    case TFieldType::ftDate:
      return &NewField<TDateField>;
    case TFieldType::ftMemo:
      return &NewField<TMemoField>;
    case TFieldType::ftBlob:
      return &NewField<TBlobField>;
    case TFieldType::ftCurrency:
      return &NewField<TCurrencyField>;
    case TFieldType::ftDateTime:
      return &NewField<TDateTimeField>;
    case TFieldType::ftUnknown:
      break;
  }
  return nullptr;
}

void TDataSet::CreateFields() {
  for (int i = 0; i < field_defs_.Count(); ++i) {
    const TFieldDef& def = field_defs_.Items(i);
    FieldClass make = GetFieldClass(def.data_type);
    if (make == nullptr) continue;
    std::unique_ptr<TField> field = make();
    field->SetFieldName(def.name);
    if (def.data_type == TFieldType::ftString) field->SetSize(def.size);
    field->SetRequired(def.required);
    field->field_no_ = def.field_no;
    field->data_set_ = this;
    field->index_ = static_cast<int>(fields_.size());
    fields_.push_back(std::move(field));
  }
}

void TDataSet::BindFields(bool binding) {
  calc_fields_size_ = 0;
  for (const auto& field : fields_) {
    if (field->FieldKind() == TFieldKind::fkCalculated) {
      field->field_no_ = -1;
      if (binding) {
        field->offset_ = calc_fields_size_;
        calc_fields_size_ += field->DataSize() + 1;
      }
      continue;
    }
    if (!binding) {
      field->field_no_ = 0;
      continue;
    }
    // Default fields stay with the definition they were made from (a table
    // may repeat a name); persistent fields are bound by name.
    if (default_fields_ && field->field_no_ > 0) continue;
    const TFieldDef* def = field_defs_.Find(field->FieldName());
    if (def == nullptr) DatabaseError(FormatMessage(kFieldNotFound, field->FieldName()), name_);
    if (def->data_type != field->DataType()) {
      DatabaseError(FormatMessage(kFieldTypeMismatch, field->FieldName()), name_);
    }
    if (def->data_type == TFieldType::ftString) field->SetSize(def->size);
    field->field_no_ = def->field_no;
  }
}

void TDataSet::DestroyFields() { fields_.clear(); }

std::unique_ptr<TStream> TDataSet::CreateBlobStream(TField*, TBlobStreamMode) { return nullptr; }

void TDataSet::CheckFieldWrite(const TField& field) {
  if (field.ReadOnly()) DatabaseError(FormatMessage(kFieldReadOnly, field.DisplayLabel()), name_);
  switch (state_) {
    case TDataSetState::dsEdit:
    case TDataSetState::dsInsert:
    case TDataSetState::dsSetKey:
    case TDataSetState::dsCalcFields:
      return;
    default:
      DatabaseError(kNotEditing, name_);
  }
}

void TDataSet::MoveField(int from, int to) {
  const int count = FieldCount();
  if (from < 0 || from >= count || to < 0 || to >= count || from == to) return;
  auto field = std::move(fields_[static_cast<std::size_t>(from)]);
  fields_.erase(fields_.begin() + from);
  fields_.insert(fields_.begin() + to, std::move(field));
  for (int i = 0; i < count; ++i) fields_[static_cast<std::size_t>(i)]->index_ = i;
  FieldLayoutChanged();
}

void TDataSet::FieldLayoutChanged() {
  if (Active()) DataEvent(TDataEvent::deLayoutChange, 0);
}

void TDataSet::FocusField(TField& field) {
  TField* target = &field;
  DataEvent(TDataEvent::deFocusControl, reinterpret_cast<std::intptr_t>(&target));
}

void TDataSet::GetCalcFields(RecordBuffer buffer) {
  if (calc_fields_size_ == 0 || !auto_calc_fields_) return;
  const TDataSetState saved = state_;
  state_ = TDataSetState::dsCalcFields;
  calc_buffer_ = buffer;
  TryFinally(
      [&] {
        ClearCalcFields(buffer);
        Fire(OnCalcFields);
      },
      [&] { state_ = saved; });
}

// ----------------------------------------------------------------- events ---

void TDataSet::DataEvent(TDataEvent event, std::intptr_t info) {
  if (event == TDataEvent::deFieldChange) {
    TField* field = InfoField(info);
    if (field->FieldKind() == TFieldKind::fkData) modified_ = true;
    if ((state_ == TDataSetState::dsEdit || state_ == TDataSetState::dsInsert) &&
        calc_fields_size_ > 0) {
      GetCalcFields(ActiveBuffer());
    }
    if (field->OnChange) field->OnChange(*field);
  }
  if (disable_count_ == 0) {
    // By index, not by a copy of the list: events go out for every fetched
    // record, and a copy would allocate each time.
    for (std::size_t i = 0; i < data_sources_.size(); ++i) data_sources_[i]->DataEvent(event, info);
    return;
  }
  held_back_ = true;
  if (event == TDataEvent::deLayoutChange) layout_held_back_ = true;
}

void TDataSet::DisableControls() {
  if (disable_count_ == 0) {
    disable_state_ = state_;
    held_back_ = layout_held_back_ = false;
  }
  ++disable_count_;
}

void TDataSet::EnableControls() {
  if (disable_count_ == 0 || --disable_count_ > 0) return;
  if (disable_state_ != state_) DataEvent(TDataEvent::deUpdateState, 0);
  if (held_back_ && disable_state_ != TDataSetState::dsInactive &&
      state_ != TDataSetState::dsInactive) {
    DataEvent(layout_held_back_ ? TDataEvent::deLayoutChange : TDataEvent::deDataSetChange, 0);
  }
}

void TDataSet::AddDataSource(TDataSource* source) {
  data_sources_.push_back(source);
  UpdateBufferCount();
}

void TDataSet::RemoveDataSource(TDataSource* source) {
  data_sources_.erase(std::remove(data_sources_.begin(), data_sources_.end(), source),
                      data_sources_.end());
  UpdateBufferCount();
}

void TDataSet::UpdateBufferCount() {
  if (buffer_count_ == 0 || destroying_) return;  // closed: the count is set at open
  SetBufferCount(WantedBufferCount());
}

int TDataSet::WantedBufferCount() const {
  int wanted = 1;
  for (TDataSource* source : data_sources_) {
    for (TDataLink* link : source->links_) wanted = std::max(wanted, link->BufferCount());
  }
  return wanted;
}

}  // namespace orvex::data
