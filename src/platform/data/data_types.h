// The small vocabulary of the record-buffer dataset framework: dataset
// states, field types, fetch modes and results, bookmark flags, the events a
// dataset sends to its data sources and links, and the record buffer itself.
#pragma once

#include <cstdint>
#include <vector>

namespace orvex::data {

// What a dataset is doing. Inactive: closed. Browse: open, moving through
// records. Edit: the active record is being changed. Insert: a new record is
// being built in the active buffer. SetKey: a search key is being entered.
// CalcFields: OnCalcFields is running for one buffer (field reads and writes
// then go to that buffer, see TDataSet::CalcBuffer).
enum class TDataSetState { dsInactive, dsBrowse, dsEdit, dsInsert, dsSetKey, dsCalcFields };

enum class TFieldType {
  ftUnknown,
  ftString,
  ftInteger,
  ftLargeint,
  ftBoolean,
  ftFloat,
  ftDate,
  ftMemo,
  ftBlob,
  ftCurrency,
  ftDateTime
};

// Data fields hold values of the record; calculated fields hold values that
// OnCalcFields computes for each fetched buffer.
enum class TFieldKind { fkData, fkCalculated };

enum class TAlignment { taLeftJustify, taRightJustify, taCenter };

// The record GetRecord is asked for, relative to the subclass's cursor.
enum class TGetMode { gmCurrent, gmNext, gmPrior };
// grOK: the buffer was filled; grBOF/grEOF: no record in that direction;
// grError: no current record.
enum class TGetResult { grOK, grBOF, grEOF, grError };

// Where a buffer stands: on a fetched record (current), on a record being
// inserted before the record its bookmark names (inserted), before the first
// (BOF) or after the last record (EOF; an appended record).
enum class TBookmarkFlag : std::uint8_t { bfCurrent = 0, bfBOF = 1, bfEOF = 2, bfInserted = 3 };

// Notifications that travel dataset -> data sources -> data links. The
// `info` that goes with them: deFieldChange and deRecordChange carry a field
// or nullptr (see FieldInfo), deFocusControl the address of a field pointer
// that the link which focuses its control sets to nullptr, deDataSetScroll
// the number of buffers the ring turned (see TDataSet::MoveBy), the others 0.
enum class TDataEvent {
  deFieldChange,      // one field of the active record changed
  deRecordChange,     // the active record changed as a whole (edit began, ...)
  deDataSetChange,    // the whole ring of buffers is new
  deDataSetScroll,    // the ring moved by `info` buffers
  deLayoutChange,     // fields or their display properties changed
  deUpdateRecord,     // links: write your pending edits into the fields now
  deUpdateState,      // the dataset's state changed
  deCheckBrowseMode,  // the dataset is about to leave edit/insert
  deFocusControl,     // the control of field `info` should take the focus
};

// Options of TDataSet::Resync.
enum TResyncMode : unsigned { rmExact = 1, rmCenter = 2 };

// What an error event asks for: raise the error (fail), stop silently
// (abort, an EAbort), or run the operation again (retry).
enum class TDataAction { daFail, daAbort, daRetry };

// A record buffer: a block of the subclass's layout, allocated and freed by
// the subclass (TDataSet::AllocRecordBuffer / FreeRecordBuffer).
using RecordBuffer = std::uint8_t*;

// A copy of the subclass's bookmark data of one record (empty = none).
using TBookmark = std::vector<std::uint8_t>;

}  // namespace orvex::data
