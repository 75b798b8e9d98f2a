// TOxDataSet: creation, opening and closing, field definitions, and the
// framework operations that do not read or write records.
#include "dataset/ox_data_set.h"

#include <cctype>
#include <cstring>

#include "common/errors.h"
#include "common/names.h"
#include "dataset/dataset_settings.h"
#include "dataset/ox_date_field.h"
#include "dates/date_settings.h"
#include "engine/dbf_file.h"
#include "engine/entry_points.h"
#include "engine/tables.h"
#include "platform/data/database_error.h"
#include "platform/data/field_kinds.h"
#include "platform/os/format_settings.h"
#include "platform/os/table_code_pages.h"

namespace orvex {

using data::TDataSetState;
using data::TFieldType;

TOxDataSet::TOxDataSet(std::string name, bool design_mode)
    : data::TDataSet(std::move(name)), design_mode_(design_mode) {
  StartDatasetUnit();
  if (design_mode_) SetRaiseOnError(true);
}

TOxDataSet::~TOxDataSet() { DestroyDataSet(); }

// ------------------------------------------------------------------- open ---

void TOxDataSet::InternalOpen() {
  if (!dbf_file_name_.empty()) {
    is_open_ = OpenTableArea(dbf_file_name_);
  } else {
    is_open_ = false;
    SetError(1103, "DBF file name has not been specified for " + Name());
  }
  if (DbfErrorNo != 0) {
    is_open_ = false;
    RaiseOrvexError(GetErrorMessage());
  }
  InternalInitFieldDefs();
  if (DefaultFields()) CreateFields();
  BindFields(true);
  ApplyFieldDefaults();
  SetBookmarkSize(4);
  calc_fields_offset_ = record_size_;
  rec_info_offset_ = record_size_ + CalcFieldsSize();
  bookmark_offset_ = rec_info_offset_ + 8;
  record_buffer_size_ = rec_info_offset_ + 12;
}

bool TOxDataSet::OpenTableArea(const std::string& name) {
  field_props_.reset();
  const int previous = SelectedArea();
  Select(work_area_);
  if (DbfErrorNo != 0) {
    // Back to the area the caller had, keeping the first error.
    const std::uint16_t error = DbfErrorNo;
    const std::string detail = ErrorDetail;
    const bool report = SetAutoReport(false);
    Select(previous);
    SetAutoReport(report);
    DbfErrorNo = error;
    ReportedErrorNo = error;
    ErrorDetail = detail;
    return false;
  }
  ChooseTextCodePage(name);
  AnsiTables = !oem_text_;
  if (KeepsTableOpen()) {
    if (!OpenTable(name)) return false;
    RegisterTable();
    AfterTableOpen();
    return true;
  }
  USE(name);
  if (DbfErrorNo != 0) return false;
  RegisterTable();
  USE("");
  return true;
}

// The byte is read through the engine's own header reading, on a probe of
// the file that is closed at once; a file that does not open names none
// (the USE that follows reports why).
void TOxDataSet::ChooseTextCodePage(const std::string& name) {
  int named = 0;
  {
    const bool report = SetAutoReport(false);
    const bool raise = SetRaiseOnError(false);
    WorkArea probe;
    probe.file_name = DefaultExt(name, "DBF");
    probe.open_mode = os::kOpenReadDenyNone;
    if (OpenDbf(probe)) {
      if (probe.dialect != DbfDialect::kDbase2) named = os::CodePageOfDriver(probe.header[29]);
      CloseDbf(probe);
    }
    DbfErrorNo = 0;
    TakeErrorDetail();
    SetRaiseOnError(raise);
    SetAutoReport(report);
  }
  if (named == 0 || !os::CodePageSupported(named)) {
    oem_text_ = table_language_ == TOxTableLanguage::tlOem;
    text_code_page_ = 1252;
  } else {
    oem_text_ = named == 850;
    text_code_page_ = named == 850 ? 1252 : named;
  }
}

void TOxDataSet::RegisterTable() {
  if (design_mode_) RefillDbfFields();
  work_area_ = SelectedArea();
  field_props_ = std::make_unique<TDbfFieldProps>(!KeepsTableOpen());
}

void TOxDataSet::RefillDbfFields() {
  dbf_fields_.clear();
  for (int i = 1; i <= ::orvex::FieldCount(); ++i) {
    std::string name;
    for (char c : Field(i)) name += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const WorkArea* area = CurrentWorkArea();
    const FieldDesc& f = area->fields[static_cast<std::size_t>(i) - 1];
    dbf_fields_.push_back(name + ", " + f.type + ", " + std::to_string(f.length) + ", " +
                          std::to_string(f.decimals));
  }
}

void TOxDataSet::InternalInitFieldDefs() {
  FieldDefs().Clear();
  field_offsets_.clear();
  slots_.clear();
  if (field_props_ == nullptr)
    data::DatabaseError(Name() + ".DbfFields undefined. Set Active to TRUE");
  record_size_ = 1;
  for (int i = 1; i <= field_props_->Count(); ++i) {
    const TDTField& f = field_props_->Item(i);
    Slot slot;
    slot.type = f.FieldType;
    slot.length = static_cast<std::uint8_t>(f.Len);
    slot.decimals = static_cast<std::uint8_t>(f.Dec);
    slot.unpacked_offset = f.Offset;
    slot.record_offset = f.RecordOffset;
    TFieldType type = TFieldType::ftInteger;
    int size = 0;
    switch (f.FieldType) {
      case 'C':
        type = TFieldType::ftString;
        size = f.Len;
        slot.width = static_cast<std::uint16_t>(f.Len + 1);
        break;
      case 'D':
        type = TFieldType::ftDate;
        slot.width = 8;
        break;
      case 'N':
      case 'F':
        // Nine digits always fit 32 bits; from ten on a value may not.
        slot.wide = f.Dec == 0 && f.Len > 9;
        slot.huge = slot.wide && f.Len > 18;  // 19 digits may pass 2^63
        type = f.Dec > 0 || slot.huge ? TFieldType::ftFloat
               : slot.wide            ? TFieldType::ftLargeint
                                      : TFieldType::ftInteger;
        slot.width = f.Dec > 0 || slot.wide ? 8 : 4;
        break;
      case 'L':
        type = TFieldType::ftBoolean;
        slot.width = 2;
        break;
      default:  // M
        type = MemoAsBlockNumber() ? TFieldType::ftInteger : TFieldType::ftMemo;
        slot.width = 4;
        break;
    }
    if (!f.Name.empty()) {
      slot.has_slot = true;
      slot.offset = record_size_;
      field_offsets_.push_back(record_size_);
      record_size_ = static_cast<std::uint16_t>(record_size_ + slot.width);
      FieldDefs().Add(f.Name, type, size, false, i);
    }
    slots_.push_back(slot);
  }
}

// Date fields without an edit mask get one of the short date format's
// order; float fields show as many digits as the table field holds.
void TOxDataSet::ApplyFieldDefaults() {
  const std::string year = "9999";  // the date texts always show the century
  const std::string& format = os::Formats().short_date_format;
  const bool year_first = !format.empty() && (format[0] == 'Y' || format[0] == 'y');
  for (int i = 0; i < FieldCount(); ++i) {
    data::TField* field = Fields(i);
    if (field->DataType() == TFieldType::ftDate && field->EditMask().empty()) {
      field->SetEditMask(year_first ? year + "/99/99;1; " : "99/99/" + year + ";1; ");
    }
    if (field->DataType() == TFieldType::ftFloat && field->FieldNo() > 0) {
      auto* number = static_cast<data::TFloatField*>(field);
      const int table_field = field_props_->Find(field->FieldName());
      number->SetPrecision(table_field > 0 ? field_props_->Len(table_field)
                                           : field->DisplayWidth());
    }
  }
}

// ------------------------------------------------------------------ close ---

void TOxDataSet::InternalClose() {
  if (DefaultFields()) DestroyFields();
  CloseTable();
  is_open_ = false;
}

// A table that is not kept open was closed right after its fields were read;
// its area may since hold another table, which must stay open.
void TOxDataSet::CloseTable() {
  if (work_area_ == 0) return;
  if (KeepsTableOpen()) {
    Select(work_area_);
    ReleaseSavedRecords();
    USE("");
  }
  work_area_ = 0;
}

void TOxDataSet::DirectOpenClose(bool open) {
  if (!Active()) {
    SetError(1103, "DataSet must be active. " + Name());
    return;
  }
  if (KeepsTableOpen() || !SelectArea("DirectOpenClose")) return;
  USE(open ? dbf_file_name_ : "");
}

// ------------------------------------------------ framework's operations ---

data::FieldClass TOxDataSet::GetFieldClass(TFieldType type) {
  if (type == TFieldType::ftDate) return &data::NewField<TOxDateField>;
  return data::TDataSet::GetFieldClass(type);
}

void TOxDataSet::DataEvent(data::TDataEvent event, std::intptr_t info) {
  if (event == data::TDataEvent::deDataSetChange && refresh_pending_) RefreshFromEngine();
  data::TDataSet::DataEvent(event, info);
}

void TOxDataSet::DoAfterDelete() {
  if (IsEmpty()) s_GoBottomWhile();
  data::TDataSet::DoAfterDelete();
}

void TOxDataSet::DoBeforeScroll() {
  read_in_move_ = false;
  data::TDataSet::DoBeforeScroll();
}

void TOxDataSet::DoAfterScroll() {
  s_UpdateCursorPos(false);
  data::TDataSet::DoAfterScroll();
}

void TOxDataSet::DoBeforeCancel() {
  data::TDataSet::DoBeforeCancel();
  if (State() == TDataSetState::dsEdit) {
    s_HandleWhileAfterPost();
  } else {
    s_HandleWhileAfterInsert();
  }
}

int TOxDataSet::GetNextRecords() {
  const int fetched = data::TDataSet::GetNextRecords();
  s_UpdateCursorPos(false);
  return fetched;
}

int TOxDataSet::GetPriorRecords() {
  const int fetched = data::TDataSet::GetPriorRecords();
  s_UpdateCursorPos(false);
  return fetched;
}

int TOxDataSet::GetRecordCount() { return KeepsTableOpen() ? s_RecCount() : 1; }

int TOxDataSet::GetRecNo() {
  if (!KeepsTableOpen()) return 1;
  if (ControlsDisabled() || BufferCount() <= 1) return s_RecNo();
  std::int32_t rec_no = 0;
  if (ActiveBuffer() != nullptr) std::memcpy(&rec_no, ActiveBuffer() + rec_info_offset_, 4);
  return rec_no;
}

void TOxDataSet::SetRecNo(int value) {
  std::uint8_t bookmark[4];
  const std::int32_t rec_no = value;
  std::memcpy(bookmark, &rec_no, 4);
  GotoBookmark(bookmark);
}

bool TOxDataSet::IsSequenced() {
  if (!SelectArea("IsSequenced")) return true;
  return !IndexOrderActive(work_area_);
}

void TOxDataSet::Post() {
  if (State() == TDataSetState::dsEdit || State() == TDataSetState::dsInsert ||
      State() == TDataSetState::dsSetKey) {
    data::TDataSet::Post();
  }
}

void TOxDataSet::InternalEdit() {
  if (KeepsTableOpen()) s_Skip(0);
}

void TOxDataSet::InternalFirst() {
  if (!KeepsTableOpen()) return;
  s_GoTopWhile();
  if (!s_dBOF()) s_Skip(-1);
}

void TOxDataSet::InternalLast() {
  if (!KeepsTableOpen()) return;
  s_GoBottomWhile();
  if (!s_dEOF()) s_Skip(1);
}

void TOxDataSet::InternalGotoBookmark(const void* bookmark) {
  if (!KeepsTableOpen()) return;
  std::int32_t rec_no = 0;
  std::memcpy(&rec_no, bookmark, 4);
  s_Go(rec_no);
}

void TOxDataSet::InternalSetToRecord(data::RecordBuffer buffer) {
  InternalGotoBookmark(buffer + bookmark_offset_);
}

void TOxDataSet::InternalInitRecord(data::RecordBuffer buffer) {
  std::memset(buffer, 0, static_cast<std::size_t>(record_buffer_size_));
  s_ClearRecord();
}

void TOxDataSet::InternalPost() {
  if (State() == TDataSetState::dsEdit) {
    s_ReplaceWithLock();
    s_HandleWhileAfterPost();
    return;
  }
  ActiveBuffer()[0] = 0;
  WriteEngineRecord(ActiveBuffer(), -1);
  s_AppendWithLock();
  s_HandleWhileAfterInsert();
}

// New records are always appended; `append` does not matter.
void TOxDataSet::InternalAddRecord(const std::uint8_t* buffer, bool) {
  WriteEngineRecord(buffer, -1);
  field_props_->Address(0)[0] = 0;
  s_AppendWithLock();
  s_HandleWhileAfterInsert();
}

void TOxDataSet::InternalDelete() { s_DeleteWithLock(); }

// ---------------------------------------------------- delete and restore ---

bool TOxDataSet::IsCurrentDeleted() {
  if (design_mode_ || IsEmpty() || ActiveBuffer() == nullptr) return false;
  return ActiveBuffer()[0] != 0;
}

void TOxDataSet::SetCurrentDeleted(bool deleted) {
  if (deleted == IsCurrentDeleted()) return;
  if (deleted) {
    if (!IsEmpty()) Delete();
    return;
  }
  CheckActive();
  if (State() == TDataSetState::dsInsert || State() == TDataSetState::dsSetKey) {
    Cancel();
    return;
  }
  data::TDataSet::DataEvent(data::TDataEvent::deCheckBrowseMode, 0);
  DoBeforeRestore();
  UpdateCursorPos();
  s_RestoreWithLock();
  SetState(TDataSetState::dsBrowse);
  Resync(0);
  DoAfterRestore();
}

}  // namespace orvex
