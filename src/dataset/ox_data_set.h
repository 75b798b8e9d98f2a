// TOxDataSet: one table of the engine as a record-buffer dataset.
//
// The dataset implements the framework's virtual operations (see
// platform/data/data_set.h) on top of an engine work area, and adds three
// things of its own: records flagged as deleted can be hidden
// (HideDeletedRecs) or shown and restored (SetCurrentDeleted); the work
// area's while condition bounds every navigation step; and at design time
// the table is opened only long enough to learn its fields.
//
// The class is abstract: opening the table file (OpenTable) and the four
// locking writes (s_AppendWithLock, s_DeleteWithLock, s_RestoreWithLock,
// s_ReplaceWithLock) belong to the table component.
//
// RECORD BUFFER (every buffer the framework asks for; zero-filled):
//   0                      deleted flag (0 = not deleted)
//   1                      field slots in table order:
//                            C  length + 1: length byte, then the characters
//                            D  8: date-time value (double), 0 = empty date
//                            N/F with decimals  8: double, rounded to them
//                            N/F without, up to 9 characters  4: 32-bit
//                            integer; up to 18  8: 64-bit integer;
//                            wider  8: double
//                            L  2: the logical value, then 0
//                            M  4: 32-bit memo block number
//   record size            calculated fields: per field a null byte (0 =
//                          has a value, 1 = null), then its value
//   RecInfoOffset          4: record number (signed)
//   RecInfoOffset + 4      1: bookmark flag (0 = current for fetched records)
//   RecInfoOffset + 5      3: not used
//   BookmarkOffset (+8)    4: bookmark = the record number
// A field with an empty name gets neither a definition nor a slot.
//
// VALUES: dates go between the record and their slots with the full year,
// whatever CenturyOn and the display settings are, and integers of N
// fields wider than 9 characters with all their digits: both are read from
// the record as the engine holds it and written through the engine's exact
// field texts (record_pack.h) where its unpacked form cannot carry them.
//
// ENGINE ACCESS: the engine has one current work area for the whole
// program, so every operation that touches the engine first calls
// SelectArea with its own name, which selects the dataset's area and sets
// the engine options HideDeleted and AnsiTables from this dataset. The
// wrappers s_* do that and then the engine command.
//
// FAILURES: a wrapper on a dataset whose table is not open reports error
// 1103 "Datenbank ist nicht offen [<name>.<routine>]" through the library's
// error path and asks the application to terminate (data::RequestTerminate);
// the wrapper then does nothing. Engine failures at open are raised as
// EOrvexError; the framework's own failures as data::EDatabaseError.
// BookmarkValid never fails. The relation hook and the synchronisation
// guards are restored on every path.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "dataset/field_props.h"
#include "platform/data/data_set.h"

namespace orvex {

enum class TOxTableLanguage { tlOem = 0, tlAnsi = 1 };

class TOxDataSet : public data::TDataSet {
 public:
  // `design_mode`: made by a designer (fixed for the dataset's life); the
  // engine then raises its errors as exceptions instead of stopping.
  explicit TOxDataSet(std::string name = "", bool design_mode = false);
  ~TOxDataSet() override;

  // Published state (the table component publishes and checks it).
  const std::string& DbfFileName() const { return dbf_file_name_; }
  virtual void SetDbfFileName(const std::string& name) { dbf_file_name_ = name; }
  std::vector<std::string>& DbfFields() { return dbf_fields_; }
  bool HideDeletedRecs() const { return hide_deleted_recs_; }
  void SetHideDeletedRecs(bool hide) { hide_deleted_recs_ = hide; }
  bool ShowProgress() const { return show_progress_; }
  void SetShowProgress(bool show) { show_progress_ = show; }
  TOxTableLanguage TableLanguage() const { return table_language_; }
  void SetTableLanguage(TOxTableLanguage language) { table_language_ = language; }
  // The code page of the open table's texts (fields, memos, Locate values):
  // the one its language-driver byte names; where the byte names none, the
  // library's Windows-1252, which the engine converts tlOem tables' code
  // page 850 to and from. A table whose byte names 850 is such an OEM table
  // whatever TableLanguage says, one naming 1252 an ANSI table.
  int TextCodePage() const override { return text_code_page_; }
  // Whether the engine converts the table's text between code page 850 and
  // Windows-1252 (memo streams do the same).
  bool OemText() const { return oem_text_; }
  Notify BeforeRestore, AfterRestore;

  bool DesignMode() const { return design_mode_; }
  // The work area holding the table (0 = none).
  int WorkAreaNo() const { return work_area_; }
  const TDbfFieldProps* FieldProps() const { return field_props_.get(); }
  // The record-buffer layout of the open table.
  int RecordSize() const { return record_size_; }
  int CalcFieldsOffset() const { return calc_fields_offset_; }
  int RecInfoOffset() const { return rec_info_offset_; }
  int BookmarkOffset() const { return bookmark_offset_; }
  int RecordBufferSize() const { return record_buffer_size_; }
  // Slot offset of each table field with a slot, in field-number order.
  const std::vector<int>& FieldOffsets() const { return field_offsets_; }

  // Whether the active record is flagged as deleted (false in design mode
  // and when the dataset is empty).
  bool IsCurrentDeleted();
  // Deletes (framework Delete) or restores the active record; nothing when
  // it already is in that state.
  void SetCurrentDeleted(bool deleted);
  // Opens (true) or closes the table for operations that need it while the
  // dataset does not keep it open (design-time mode); nothing otherwise.
  // Error 1103 "DataSet must be active. <name>" when the dataset is closed.
  void DirectOpenClose(bool open);
  // Whether the table stays open while the dataset is active (see
  // KeepsTableOpen); controls leave such a dataset alone otherwise.
  bool TableKeptOpen() { return KeepsTableOpen(); }
  // The work area's record <-> a record buffer. field_no -1 writes every
  // field, n only field n, 0 only the deleted flag. Writing a date that is no
  // valid date shows "        Invalid date       " and stores the empty date.
  void WriteEngineRecord(const std::uint8_t* buffer, int field_no);
  void ReadEngineRecord(std::uint8_t* buffer);
  // Brings the dataset up to the engine's cursor after the cursor moved
  // behind its back (Locate, a new index order); see the file comment of
  // ox_data_set_engine.cpp.
  void RefreshFromEngine();
  void ResyncFromEngine();
  // The slot of a table field in the active buffer (a memo field's holds
  // its 32-bit block number); nullptr for other fields or without a buffer.
  std::uint8_t* ActiveSlot(const data::TField& field);
  // Raises the framework's field-change event for the field (a BLOB stream
  // changed its contents).
  void FieldContentsChanged(data::TField* field);

  // Framework operations answered here.
  bool BookmarkValid(const std::uint8_t* bookmark) override;
  int CompareBookmarks(const std::uint8_t* b1, const std::uint8_t* b2) override;
  bool GetCurrentRecord(std::uint8_t* buffer) override;
  bool IsSequenced() override;
  void Post() override;
  int GetRecordCount() override;
  int GetRecNo() override;
  void SetRecNo(int value) override;
  using data::TDataSet::BookmarkValid;
  using data::TDataSet::CompareBookmarks;

  // ------------------------------------------------------ engine wrappers ---
  void s_ClearRecord();
  void s_Skip(std::int32_t n);
  void s_Go(std::int32_t rec_no);
  bool s_InWhileRange();
  bool s_IsEmpty();
  void s_ClearActive();
  void s_GoTopWhile();
  void s_GoBottomWhile();
  std::int32_t s_RecNo();
  std::int32_t s_RecCount();
  bool s_dBOF();
  bool s_dEOF();
  void s_UpdateCursorPos(bool use_rec_no);
  void s_HandleWhileAfterInsert();
  void s_HandleWhileAfterPost();

 protected:
  // --------------------------------------------- this class's own slots ---
  virtual void DoBeforeRestore() { Fire(BeforeRestore); }
  virtual void DoAfterRestore() { Fire(AfterRestore); }
  // Makes the dataset's work area current; false (after reporting 1103 and
  // asking the application to terminate) when the table is not open.
  virtual bool SelectArea(const char* routine);
  // False here: M fields are memo fields, not block numbers.
  virtual bool MemoAsBlockNumber() { return false; }
  virtual void DbfFileNameChanging() {}
  virtual void ReleaseSavedRecords() {}
  virtual void AfterTableOpen() {}
  // Opens the table file in the current work area; true on success.
  virtual bool OpenTable(const std::string& name) = 0;
  virtual void s_AppendWithLock() = 0;
  virtual void s_DeleteWithLock() = 0;
  virtual void s_RestoreWithLock() = 0;
  virtual void s_ReplaceWithLock() = 0;
  // Whether the table stays open while the dataset is active: not in
  // design mode.
  virtual bool KeepsTableOpen() { return !design_mode_; }
  // Design mode: DbfFields refilled from the open table, one line
  // "name, T, len, dec" per field (name in lower case).
  virtual void RefillDbfFields();

  // ------------------------------------------- framework's operations ---
  void ClearCalcFields(data::RecordBuffer buffer) override;
  void DataEvent(data::TDataEvent event, std::intptr_t info) override;
  void DoAfterDelete() override;
  void DoBeforeScroll() override;
  void DoAfterScroll() override;
  void DoBeforeCancel() override;
  data::FieldClass GetFieldClass(data::TFieldType type) override;
  int GetNextRecords() override;
  int GetPriorRecords() override;
  void InternalEdit() override;
  void InternalRefresh() override {}
  data::RecordBuffer AllocRecordBuffer() override;
  void FreeRecordBuffer(data::RecordBuffer& buffer) override;
  void GetBookmarkData(data::RecordBuffer buffer, void* data) override;
  void SetBookmarkData(data::RecordBuffer buffer, const void* data) override;
  data::TBookmarkFlag GetBookmarkFlag(data::RecordBuffer buffer) override;
  void SetBookmarkFlag(data::RecordBuffer buffer, data::TBookmarkFlag flag) override;
  bool GetFieldData(data::TField* field, void* buffer) override;
  void SetFieldData(data::TField* field, const void* buffer) override;
  data::TGetResult GetRecord(data::RecordBuffer buffer, data::TGetMode mode,
                             bool do_check) override;
  int GetRecordSize() override { return record_size_; }
  void InternalAddRecord(const std::uint8_t* buffer, bool append) override;
  void InternalClose() override;
  void InternalDelete() override;
  void InternalFirst() override;
  void InternalGotoBookmark(const void* bookmark) override;
  void InternalInitFieldDefs() override;
  void InternalInitRecord(data::RecordBuffer buffer) override;
  void InternalLast() override;
  void InternalOpen() override;
  void InternalPost() override;
  void InternalSetToRecord(data::RecordBuffer buffer) override;
  bool IsCursorOpen() override { return is_open_; }

 private:
  // Where one table field lives in the unpacked buffer and in a record
  // buffer.
  struct Slot {
    char type = 'C';
    std::uint16_t length = 0;
    std::uint8_t decimals = 0;
    bool has_slot = false;
    bool wide = false;  // an N or F integer wider than 32 bits can hold
    bool huge = false;  // such an integer wider than 64 bits can hold
    std::uint16_t unpacked_offset = 0;
    std::uint16_t record_offset = 0;  // in the record as stored
    std::uint16_t offset = 0;         // in the record buffer
    std::uint16_t width = 0;
    // A FoxPro or level-7 field: its value is read from the record as
    // stored by field_values.h, and the slot's last byte is 1 when it is
    // null (GetFieldData then has no value).
    RawKind raw = RawKind::kNothing;
    // Another field _NullFlags may mark null: the byte after the slot is 1
    // when it does.
    bool nullable = false;
  };
  // Decides the table's text code page and conversion from the language-
  // driver byte of file `name` (TextCodePage), before the engine opens it.
  void ChooseTextCodePage(const std::string& name);
  // Opens the table (OpenTable, or only to read its fields) and registers
  // it; false when the engine reported an error first.
  bool OpenTableArea(const std::string& name);
  void RegisterTable();
  void CloseTable();
  void ApplyFieldDefaults();
  const Slot* SlotOf(const data::TField& field) const;
  data::RecordBuffer FieldSource() const;
  void Fire(const Notify& event) {
    if (event) event(*this);
  }
  // A record read by GetRecord is shown unless it is a hidden deleted one.
  bool Hidden(const std::uint8_t* buffer) const { return hide_deleted_recs_ && buffer[0] != 0; }
  data::TGetResult ReadCurrent(data::RecordBuffer buffer);
  data::TGetResult ReadNext(data::RecordBuffer buffer);
  data::TGetResult ReadPrior(data::RecordBuffer buffer);
  // Writes a slot's value into the unpacked buffer; answers the field text
  // the write must store exactly instead (see SetExactFieldText), or "".
  std::string WriteSlot(const Slot& slot, const std::uint8_t* from, std::uint8_t* to);
  // The slot of a wide integer from its stored text; the text of its value
  // (digits, '-' in front); whether that value fits 32 bits (*narrow then
  // holds it, else 0).
  static data::TFieldType RawFieldType(const TDTField& f, int* size, std::uint16_t* width);
  // Reads a raw field's value from the record as stored into its slot.
  void ReadRaw(const Slot& slot, int field_no, const char* stored, std::uint8_t* to) const;
  // Writes a value (null: none) of a raw field's slot into the record
  // buffer and the work area's record; refuses with EDatabaseError.
  void SetRawFieldData(const data::TField& field, const Slot& slot, const std::uint8_t* in);
  // Sets or clears field `field_no`'s null bit in the work area's record.
  void MarkEngineNull(int field_no, bool null);
  static void ReadWide(const Slot& slot, const char* stored, std::uint8_t* to);
  static std::string WideDigits(const Slot& slot, const std::uint8_t* from);
  static bool WideFits32(const Slot& slot, const std::uint8_t* from, std::int32_t* narrow);
  bool InEditingState() const;
  // SKIP(n) in the selected area with the relation hook taken out (s_Skip
  // without the selection).
  void SkipSelected(std::int32_t n);
  // The engine has just read the selected area's current record.
  void RecordRead() {
    record_written_ = false;
    read_in_move_ = true;
  }
  // Whether the selected area's cursor stands on record `rec_no` with the
  // record as it read it (see s_Go), and whether it so stands on the active
  // buffer's record inside the while range (see s_UpdateCursorPos).
  bool StillRead(std::int32_t rec_no);
  bool ActiveStillRead();
  // Walk from the current record to the first / last one inside the while
  // range (see s_GoTopWhile).
  void WalkToRangeEnd(bool forwards);
  // s_GoTopWhile (bottom false) and s_GoBottomWhile (bottom true).
  void GoToEndWhile(bool bottom, const char* routine);
  friend class RelationDetach;

  std::string dbf_file_name_;
  std::vector<std::string> dbf_fields_;
  bool hide_deleted_recs_ = false;
  bool show_progress_ = true;
  TOxTableLanguage table_language_ = TOxTableLanguage::tlOem;
  int text_code_page_ = 1252;
  bool oem_text_ = true;
  const bool design_mode_;

  int work_area_ = 0;  // FWorkArea
  bool is_open_ = false;
  std::uint16_t record_size_ = 1;
  int calc_fields_offset_ = 0;
  int rec_info_offset_ = 0;
  int bookmark_offset_ = 0;
  int record_buffer_size_ = 0;
  std::vector<int> field_offsets_;
  std::vector<Slot> slots_;  // one per table field, in field-number order
  std::unique_ptr<TDbfFieldProps> field_props_;
  std::int32_t last_in_range_rec_no_ = 0;
  bool refresh_pending_ = false;
  bool suppress_cursor_sync_ = false;
  bool syncing_cursor_ = false;
  // The work area's record holds what this dataset wrote into it (field
  // values, a blank record) rather than what the engine last read.
  bool record_written_ = true;
  // The engine read the work area's record since the current move of the
  // dataset began (its DoBeforeScroll; between moves: since the last one
  // began). See StillRead.
  bool read_in_move_ = false;
};

}  // namespace orvex
