// TDataSet: editing, inserting, posting, cancelling and deleting records.
#include <vector>

#include "platform/data/data_set.h"
#include "platform/data/database_error.h"

namespace orvex::data {

namespace {
bool Editing(TDataSetState state) {
  return state == TDataSetState::dsEdit || state == TDataSetState::dsInsert;
}
}  // namespace

void TDataSet::CheckBrowseMode() {
  CheckActive();
  DataEvent(TDataEvent::deCheckBrowseMode, 0);
  if (Editing(state_)) {
    UpdateRecord();
    if (modified_) {
      Post();
    } else {
      Cancel();
    }
  } else if (state_ == TDataSetState::dsSetKey) {
    Post();
  }
}

void TDataSet::UpdateRecord() {
  if (!Editing(state_) && state_ != TDataSetState::dsSetKey) DatabaseError(kNotEditing, name_);
  DataEvent(TDataEvent::deUpdateRecord, 0);
}

void TDataSet::CheckCanModify() {
  if (!GetCanModify()) DatabaseError(kDataSetReadOnly, name_);
}

void TDataSet::CheckOperation(void (TDataSet::*operation)(), const ErrorEvent& error_event) {
  for (;;) {
    try {
      UpdateCursorPos();
      (this->*operation)();
      return;
    } catch (const EAbort&) {
      throw;
    } catch (const Exception& e) {
      TDataAction action = TDataAction::daFail;
      if (error_event) error_event(*this, e, action);
      if (action == TDataAction::daFail) throw;
      if (action == TDataAction::daAbort) throw EAbort();
    }
  }
}

void TDataSet::Edit() {
  if (Editing(state_)) return;
  if (record_count_ == 0) return Insert();
  CheckBrowseMode();
  CheckCanModify();
  Fire(BeforeEdit);
  CheckOperation(&TDataSet::CallInternalEdit, OnEditError);
  GetCalcFields(ActiveBuffer());
  SetState(TDataSetState::dsEdit);
  DataEvent(TDataEvent::deRecordChange, 0);
  Fire(AfterEdit);
}

void TDataSet::InitRecord(RecordBuffer buffer) {
  InternalInitRecord(buffer);
  ClearCalcFields(buffer);
  SetBookmarkFlag(buffer, TBookmarkFlag::bfInserted);
}

void TDataSet::BeginInsertAppend() {
  CheckBrowseMode();
  CheckCanModify();
  Fire(BeforeInsert);
}

void TDataSet::EndInsertAppend() {
  SetState(TDataSetState::dsInsert);
  try {
    Fire(OnNewRecord);
  } catch (...) {
    try {
      UpdateCursorPos();
      SetState(TDataSetState::dsBrowse);
      Resync(0);
    } catch (...) {
    }
    throw;
  }
  modified_ = false;
  DataEvent(TDataEvent::deDataSetChange, 0);
  Fire(AfterInsert);
}

// The new record takes the active place; the records from there on move one
// buffer down (a full ring drops its last). Its bookmark is that of the
// record it stands before, so that Cancel and Post find their way back.
void TDataSet::Insert() {
  BeginInsertAppend();
  MoveBuffer(record_count_, active_record_);
  RecordBuffer buffer = ActiveBuffer();
  InitRecord(buffer);
  if (record_count_ == 0) {
    SetBookmarkFlag(buffer, TBookmarkFlag::bfBOF);
  } else {
    std::vector<std::uint8_t> next(static_cast<std::size_t>(bookmark_size_));
    GetBookmarkData(buffers_[static_cast<std::size_t>(active_record_) + 1], next.data());
    SetBookmarkData(buffer, next.data());
  }
  if (record_count_ < buffer_count_) ++record_count_;
  current_record_ = -1;
  InternalInsert();
  EndInsertAppend();
}

// The new record comes after the last one: the ring is refilled backwards
// from the end with the new buffer (flag EOF) last.
void TDataSet::Append() {
  BeginInsertAppend();
  ClearBuffers();
  RecordBuffer buffer = buffers_[0];
  InitRecord(buffer);
  SetBookmarkFlag(buffer, TBookmarkFlag::bfEOF);
  record_count_ = 1;
  bof_ = false;
  GetPriorRecords();
  InternalLast();
  current_record_ = active_record_;
  InternalInsert();
  EndInsertAppend();
}

void TDataSet::Post() {
  UpdateRecord();
  if (state_ == TDataSetState::dsSetKey) return SetState(TDataSetState::dsBrowse);
  DataEvent(TDataEvent::deCheckBrowseMode, 0);
  Fire(BeforePost);
  CheckOperation(&TDataSet::CallInternalPost, OnPostError);
  SetState(TDataSetState::dsBrowse);
  Resync(0);
  Fire(AfterPost);
}

void TDataSet::Cancel() {
  if (state_ == TDataSetState::dsSetKey) return SetState(TDataSetState::dsBrowse);
  if (!Editing(state_)) return;
  DataEvent(TDataEvent::deCheckBrowseMode, 0);
  DoBeforeCancel();
  const bool was_insert = state_ == TDataSetState::dsInsert;
  if (was_insert) DoBeforeScroll();
  UpdateCursorPos();
  InternalCancel();
  SetState(TDataSetState::dsBrowse);
  Resync(0);
  Fire(AfterCancel);
  if (was_insert) DoAfterScroll();
}

void TDataSet::Delete() {
  CheckActive();
  if (state_ == TDataSetState::dsInsert || state_ == TDataSetState::dsSetKey) return Cancel();
  if (record_count_ == 0) DatabaseError(kDataSetEmpty, name_);
  DataEvent(TDataEvent::deCheckBrowseMode, 0);
  Fire(BeforeDelete);
  DoBeforeScroll();
  CheckOperation(&TDataSet::CallInternalDelete, OnDeleteError);
  SetState(TDataSetState::dsBrowse);
  Resync(0);
  DoAfterDelete();
  DoAfterScroll();
}

void TDataSet::AddRecord(const std::uint8_t* buffer, bool append) {
  CheckBrowseMode();
  CheckCanModify();
  InternalAddRecord(buffer, append);
  Resync(0);
}

}  // namespace orvex::data
