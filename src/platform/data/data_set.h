// TDataSet: the record-buffer dataset. A cursor over the records of some
// source with a state, fields and a ring of record buffers that data-aware
// controls draw from. The source is a subclass's business: it implements the
// virtual operations below, and the framework calls them in fixed situations.
//
// THE RING OF BUFFERS
//   BufferCount() buffers hold up to BufferCount() consecutive records of the
//   source; BufferCount is the largest buffer count that any data link of
//   the dataset's data sources asks for (at least 1). One more buffer serves
//   as the place where the next fetched record lands before the ring turns.
//   RecordCountInBuffers() (0..BufferCount) of them hold records, in source
//   order; ActiveRecord() is the index of the one the user is on, and
//   ActiveBuffer() that buffer. Buffers are allocated once (when the buffer
//   count grows) and turned by swapping pointers: fetching allocates
//   nothing.
//
// THE SUBCLASS'S CURSOR
//   The subclass keeps its own cursor in the source. Before the framework
//   fetches the record after the last buffer (GetRecord next) the cursor
//   stands on the last buffer's record; before it fetches the one before the
//   first buffer (GetRecord prior), on the first buffer's record. The
//   framework ensures this with SetCurrentRecord(index): when its note of
//   where the cursor stands differs from `index`, it calls
//   InternalSetToRecord(buffer) for a fetched or inserted buffer,
//   InternalFirst for a BOF buffer and InternalLast for an EOF buffer.
//   CursorPosChanged() forgets the note, so that the next SetCurrentRecord
//   repositions; UpdateCursorPos() puts the cursor on the active record.
//
// WHEN THE FRAMEWORK CALLS THE SUBCLASS
//   Open:    InternalOpen (the subclass opens its source, fills the field
//            definitions with InternalInitFieldDefs, creates or binds fields
//            with CreateFields / BindFields and sets BookmarkSize), then
//            state browse, the buffer ring sized and filled from the start
//            (as First), AfterOpen, AfterScroll.
//   Close:   the buffers freed (FreeRecordBuffer), InternalClose.
//   First:   CheckBrowseMode, ClearBuffers, InternalFirst (cursor before the
//            first record), GetRecord(next) until the ring is full.
//   Last:    CheckBrowseMode, ClearBuffers, InternalLast (cursor after the
//            last record), GetRecord(prior) until the ring is full.
//   MoveBy:  GetRecord(next/prior) whenever the active record leaves the ring.
//   Resync:  GetRecord(current) (then next, then prior without rmExact),
//            then GetRecord(prior) and GetRecord(next) around it.
//   GotoBookmark: CheckBrowseMode, InternalGotoBookmark, Resync(exact, center).
//   Refresh: CheckBrowseMode, UpdateCursorPos, InternalRefresh, Resync.
//   Edit:    UpdateCursorPos, InternalEdit, GetCalcFields(active buffer).
//   Insert:  a buffer made free at the active position (Append: InternalLast
//            and a buffer after the last), InternalInitRecord(buffer),
//            ClearCalcFields, bookmark flag inserted (append: EOF), then
//            InternalInsert, OnNewRecord.
//   Post:    UpdateRecord, BeforePost, UpdateCursorPos, InternalPost, state
//            browse, Resync (the ring re-read around where the cursor now
//            stands), AfterPost.
//   Cancel:  BeforeCancel, UpdateCursorPos, InternalCancel, state browse,
//            Resync, AfterCancel.
//   Delete:  BeforeDelete, UpdateCursorPos, InternalDelete, state browse,
//            Resync, AfterDelete.
//   Fields:  TField reads through GetFieldData and writes through
//            SetFieldData; the subclass raises deFieldChange after a write.
//   Calculated fields: the subclass calls GetCalcFields(buffer) for every
//            buffer it fills with a record; the framework clears the area
//            (ClearCalcFields) and runs OnCalcFields in calc-fields state.
//   Operation failures: InternalEdit, InternalPost and InternalDelete run
//            under the error events (OnEditError, OnPostError,
//            OnDeleteError): fail raises the exception again, abort raises
//            EAbort, retry runs the operation again.
//
// EVENTS TO THE CONTROLS
//   Every change goes out as one TDataEvent to each data source and from
//   there to its links (data_link.h). DisableControls / EnableControls nest;
//   while disabled nothing reaches the links, and the last EnableControls
//   sends one deDataSetChange (deLayoutChange when the layout changed) if
//   anything was held back.
//
// FAILURES
//   Framework failures raise EDatabaseError with the dataset's name in front:
//   a closed dataset, writing a field outside edit and insert, deleting in an
//   empty dataset, modifying a dataset that cannot be modified, a bookmark
//   whose record is gone (Record not found).
//
// LIFETIME
//   The class that implements the virtual operations must call
//   DestroyDataSet() in its destructor (virtual calls do not reach a
//   subclass from the base destructor): it closes the dataset and frees
//   the buffers.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/data/data_types.h"
#include "platform/data/field.h"
#include "platform/data/field_defs.h"
#include "platform/data/stream.h"
#include "platform/os/exception.h"

namespace orvex::data {

class TDataSource;
class TDataLink;

// The field that travels with deFieldChange, deRecordChange and
// deFocusControl.
inline std::intptr_t FieldInfo(TField* field) { return reinterpret_cast<std::intptr_t>(field); }
inline TField* InfoField(std::intptr_t info) { return reinterpret_cast<TField*>(info); }

class TDataSet {
 public:
  using Notify = std::function<void(TDataSet&)>;
  using ErrorEvent = std::function<void(TDataSet&, const Exception&, TDataAction&)>;

  explicit TDataSet(std::string name = "");
  virtual ~TDataSet();
  TDataSet(const TDataSet&) = delete;
  TDataSet& operator=(const TDataSet&) = delete;

  const std::string& Name() const { return name_; }
  void SetName(const std::string& name) { name_ = name; }

  // ------------------------------------------------------------ state ---
  TDataSetState State() const { return state_; }
  bool Active() const { return state_ != TDataSetState::dsInactive; }
  void SetActive(bool active);
  void Open() { SetActive(true); }
  void Close() { SetActive(false); }
  // EDatabaseError "Cannot perform this operation on a closed dataset".
  void CheckActive() const;
  // In edit or insert: post when modified, else cancel. Set-key: post.
  void CheckBrowseMode();
  bool Modified() const { return modified_; }
  bool CanModify() { return GetCanModify(); }
  bool Bof() const { return bof_; }
  bool Eof() const { return eof_; }
  bool IsEmpty() const { return record_count_ == 0; }
  bool AutoCalcFields() const { return auto_calc_fields_; }
  void SetAutoCalcFields(bool on) { auto_calc_fields_ = on; }

  // ------------------------------------------------------------ moves ---
  void First();
  void Last();
  // Moves the active record by `distance` records; answers how many it moved
  // (negative backwards). Sets Eof / Bof when a step forward / backward could
  // not be made. Controls receive one deDataSetScroll with the number of
  // buffers the ring turned (negative when it turned forward).
  int MoveBy(int distance);
  void Next() { MoveBy(1); }
  void Prior() { MoveBy(-1); }
  // Re-reads the ring around the subclass's cursor (see the file comment).
  // rmExact: the current record must be found (EDatabaseError "Record not
  // found"); rmCenter: put it in the middle of the ring rather than at the
  // active position.
  void Resync(unsigned mode);
  void Refresh();
  // Record count and number as the subclass reports them (-1 when unknown);
  // SetRecNo makes that record active.
  virtual int GetRecordCount() { return -1; }
  virtual int GetRecNo() { return -1; }
  virtual void SetRecNo(int value) { (void)value; }
  // True when record numbers follow the order of the records.
  virtual bool IsSequenced() { return true; }
  // The code page of the texts the fields give and take: Windows-1252, the
  // library's own text, unless the dataset holds text of another one (see
  // field_text.h for the edges where people read and type them).
  virtual int TextCodePage() const { return 1252; }

  // -------------------------------------------------------- bookmarks ---
  // The active record's bookmark; empty when the dataset is empty.
  TBookmark GetBookmark();
  // Makes the bookmark's record active (centred in the ring). An empty
  // bookmark does nothing.
  void GotoBookmark(const TBookmark& bookmark);
  void GotoBookmark(const std::uint8_t* bookmark);
  // Whether the bookmark names a record that can be made active; never
  // raises.
  virtual bool BookmarkValid(const std::uint8_t* bookmark) = 0;
  // 0 for the same record, otherwise non-zero (subclass's order).
  virtual int CompareBookmarks(const std::uint8_t* b1, const std::uint8_t* b2) = 0;
  bool BookmarkValid(const TBookmark& b) { return BookmarkValid(b.empty() ? nullptr : b.data()); }
  int CompareBookmarks(const TBookmark& b1, const TBookmark& b2) {
    return CompareBookmarks(b1.empty() ? nullptr : b1.data(), b2.empty() ? nullptr : b2.data());
  }
  int BookmarkSize() const { return bookmark_size_; }

  // ---------------------------------------------------------- editing ---
  // Edit of an empty dataset becomes Insert.
  void Edit();
  void Insert();
  void Append();
  virtual void Post();
  void Cancel();
  void Delete();
  // Adds the record held in a record buffer of the subclass's layout
  // (InternalAddRecord), then re-reads the ring.
  void AddRecord(const std::uint8_t* buffer, bool append);
  // Asks the links to write pending edits into the fields (deUpdateRecord).
  void UpdateRecord();
  // Copies the active record's data part into `buffer`; false when there is
  // none.
  virtual bool GetCurrentRecord(std::uint8_t* buffer) {
    (void)buffer;
    return false;
  }

  // ----------------------------------------------------------- fields ---
  TFieldDefs& FieldDefs() { return field_defs_; }
  int FieldCount() const { return static_cast<int>(fields_.size()); }
  TField* Fields(int i) const { return fields_.at(static_cast<std::size_t>(i)).get(); }
  // nullptr / EDatabaseError "Field '<name>' not found"; letter case ignored.
  TField* FindField(const std::string& name) const;
  TField* FieldByName(const std::string& name) const;
  // Adds a persistent field (only while closed). A dataset with persistent
  // fields binds them at open instead of creating default fields.
  TField* AddField(std::unique_ptr<TField> field);
  // Moves field `from` of the field list to place `to` (a control showing
  // the fields in list order was rearranged); the controls hear of it as a
  // layout change. Indexes out of range do nothing.
  void MoveField(int from, int to);
  // Bytes of the calculated-fields part of each record buffer.
  int CalcFieldsSize() const { return calc_fields_size_; }
  // The contents of a BLOB field; nullptr when the dataset has none to offer.
  virtual std::unique_ptr<TStream> CreateBlobStream(TField* field, TBlobStreamMode mode);
  // For fields: EDatabaseError unless the field may be written now (see
  // field.h); deLayoutChange after a display property changed; deFocusControl.
  void CheckFieldWrite(const TField& field);
  void FieldLayoutChanged();
  void FocusField(TField& field);

  // --------------------------------------------------------- controls ---
  void DisableControls();
  void EnableControls();
  bool ControlsDisabled() const { return disable_count_ > 0; }
  int BufferCount() const { return buffer_count_; }
  int RecordCountInBuffers() const { return record_count_; }
  int ActiveRecord() const { return active_record_; }
  // Links make a row active to draw it and put the old one back; nothing
  // else changes.
  void SetActiveRecord(int index);
  RecordBuffer ActiveBuffer() const {
    return buffers_.empty() ? nullptr : buffers_[active_record_];
  }
  RecordBuffer Buffer(int index) const { return buffers_.at(static_cast<std::size_t>(index)); }
  // The buffer OnCalcFields is computing (valid in calc-fields state).
  RecordBuffer CalcBuffer() const { return calc_buffer_; }

  // Data sources (data_link.h) register themselves.
  void AddDataSource(TDataSource* source);
  void RemoveDataSource(TDataSource* source);
  // Recomputes the buffer count from the links of all data sources.
  void UpdateBufferCount();

  // -------------------------------------------------------- events ---
  Notify BeforeOpen, AfterOpen, BeforeClose, AfterClose;
  Notify BeforeInsert, AfterInsert, BeforeEdit, AfterEdit;
  Notify BeforePost, AfterPost, BeforeCancel, AfterCancel;
  Notify BeforeDelete, AfterDelete, BeforeScroll, AfterScroll;
  Notify OnCalcFields, OnNewRecord;
  ErrorEvent OnPostError, OnEditError, OnDeleteError;

 protected:
  // ------------------------------------- the subclass's operations ---
  virtual RecordBuffer AllocRecordBuffer() = 0;
  virtual void FreeRecordBuffer(RecordBuffer& buffer) = 0;
  // Bookmark data (BookmarkSize bytes) and flag of a buffer.
  virtual void GetBookmarkData(RecordBuffer buffer, void* data) = 0;
  virtual void SetBookmarkData(RecordBuffer buffer, const void* data) = 0;
  virtual TBookmarkFlag GetBookmarkFlag(RecordBuffer buffer) = 0;
  virtual void SetBookmarkFlag(RecordBuffer buffer, TBookmarkFlag flag) = 0;
  // Fills the buffer with the record at (current), after (next) or before
  // (prior) the cursor and leaves the cursor there; see TGetResult.
  virtual TGetResult GetRecord(RecordBuffer buffer, TGetMode mode, bool do_check) = 0;
  // Bytes of a record's data part (GetCurrentRecord).
  virtual int GetRecordSize() = 0;
  virtual void InternalAddRecord(const std::uint8_t* buffer, bool append) = 0;
  virtual void InternalOpen() = 0;
  virtual void InternalClose() = 0;
  virtual bool IsCursorOpen() = 0;
  virtual void InternalInitFieldDefs() = 0;
  // Cursor before the first / after the last record.
  virtual void InternalFirst() = 0;
  virtual void InternalLast() = 0;
  virtual void InternalGotoBookmark(const void* bookmark) = 0;
  virtual void InternalSetToRecord(RecordBuffer buffer) = 0;
  // Blank record in the buffer for Insert / Append.
  virtual void InternalInitRecord(RecordBuffer buffer) = 0;
  virtual void InternalPost() = 0;
  virtual void InternalDelete() = 0;
  virtual void InternalEdit() {}
  virtual void InternalInsert() {}
  virtual void InternalCancel() {}
  virtual void InternalRefresh() {}
  // An exception met where it cannot be raised (in a notification).
  virtual void InternalHandleException(const std::exception& e);
  // Field data of the active buffer (the calc buffer in calc-fields state);
  // see field.h for the native forms.
  virtual bool GetFieldData(TField* field, void* buffer) = 0;
  virtual void SetFieldData(TField* field, const void* buffer) = 0;
  virtual void ClearCalcFields(RecordBuffer buffer) { (void)buffer; }
  virtual bool GetCanModify() { return true; }
  // The class of the default field of a type.
  virtual FieldClass GetFieldClass(TFieldType type);

  // ----------------------------- hooks the subclass may extend ---
  virtual void DataEvent(TDataEvent event, std::intptr_t info);
  virtual int GetNextRecords();
  virtual int GetPriorRecords();
  virtual void DoBeforeCancel() { Fire(BeforeCancel); }
  virtual void DoAfterDelete() { Fire(AfterDelete); }
  // The first and the last step of every move of the active record (and of
  // Delete and the Cancel of an insert).
  virtual void DoBeforeScroll() { Fire(BeforeScroll); }
  virtual void DoAfterScroll() { Fire(AfterScroll); }

  // -------------------------------- services for the subclass ---
  void SetState(TDataSetState state);
  // Empties the ring: no records, ActiveRecord 0, Bof and Eof set, the
  // cursor position unknown.
  void ClearBuffers();
  // One record fetched after the last / before the first buffer; false at
  // the end (see the file comment for where the ring turns).
  bool GetNextRecord();
  bool GetPriorRecord();
  void CursorPosChanged() { current_record_ = -1; }
  void UpdateCursorPos();
  // Runs OnCalcFields for a freshly filled buffer (when there are
  // calculated fields and AutoCalcFields is on).
  void GetCalcFields(RecordBuffer buffer);
  // Default fields from the field definitions / bind the fields to them.
  void CreateFields();
  void BindFields(bool binding);
  void DestroyFields();
  // True when the fields were created by the framework at open.
  bool DefaultFields() const { return default_fields_; }
  void SetBookmarkSize(int size) { bookmark_size_ = size; }
  // Call first in the destructor of the class that implements the virtual
  // operations.
  void DestroyDataSet();
  bool Destroying() const { return destroying_; }

 private:
  friend class TField;
  void Fire(const Notify& event) {
    if (event) event(*this);
  }
  void SetCurrentRecord(int index);
  void ActivateBuffers();
  // Moves buffer `from` to position `to`, shifting those between.
  void MoveBuffer(int from, int to);
  void SetBufferCount(int count);
  // The largest buffer count the links of the data sources ask for (>= 1).
  int WantedBufferCount() const;
  void SetBufListSize(int size);
  void OpenCursor();
  void CloseCursor();
  void CheckOperation(void (TDataSet::*operation)(), const ErrorEvent& error_event);
  void CheckCanModify();
  void BeginInsertAppend();
  void EndInsertAppend();
  void InitRecord(RecordBuffer buffer);
  void CallInternalEdit() { InternalEdit(); }
  void CallInternalPost() { InternalPost(); }
  void CallInternalDelete() { InternalDelete(); }

  std::string name_;
  TDataSetState state_ = TDataSetState::dsInactive;
  TFieldDefs field_defs_;
  std::vector<std::unique_ptr<TField>> fields_;
  bool default_fields_ = false;
  int calc_fields_size_ = 0;
  int bookmark_size_ = 0;
  bool auto_calc_fields_ = true;

  std::vector<RecordBuffer> buffers_;  // buffer_count_ + 1 when open
  int buffer_count_ = 0;
  int record_count_ = 0;
  int active_record_ = 0;
  int current_record_ = -1;  // the buffer the subclass's cursor is on; -1 unknown
  bool bof_ = true;
  bool eof_ = true;
  bool modified_ = false;
  RecordBuffer calc_buffer_ = nullptr;

  int disable_count_ = 0;
  TDataSetState disable_state_ = TDataSetState::dsInactive;
  bool held_back_ = false;         // an event was held back while disabled
  bool layout_held_back_ = false;  // ... and it was a layout change
  bool destroying_ = false;
  std::vector<TDataSource*> data_sources_;
};

}  // namespace orvex::data
