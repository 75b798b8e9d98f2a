// TOxDataSet: SelectArea, the engine wrappers, the while range, cursor
// synchronisation and the refresh from the engine.
//
// The framework fills its buffers by moving the engine cursor ahead of or
// behind the record the user sees; s_UpdateCursorPos puts it back on the
// active record after every scroll and every batch of fetched records, so
// that engine commands (locks, writes, Locate) act on the record the user
// sees. RefreshFromEngine goes the other way: after the engine cursor moved
// behind the framework's back it re-reads the ring around it, or, while an
// engine error is pending, only the active buffer, leaving the full re-read
// for the next data-set-change event.
#include <cstring>

#include "common/errors.h"
#include "dataset/dataset_settings.h"
#include "dataset/ox_data_set.h"
#include "engine/navigation.h"
#include "engine/record_io.h"
#include "platform/data/application.h"
#include "platform/data/try_finally.h"

namespace orvex {

using data::TDataSetState;

// Takes the current work area's relation hook out for the lifetime of the
// object and puts it back afterwards, on every path. While the cursor is
// being synchronised the hook stays in place.
class RelationDetach {
 public:
  explicit RelationDetach(const TOxDataSet& data_set)
      : area_(data_set.syncing_cursor_ ? nullptr : CurrentWorkArea()) {
    if (area_ != nullptr) {
      relation_ = std::move(area_->relation);
      area_->relation = nullptr;
    }
  }
  ~RelationDetach() {
    if (area_ != nullptr) area_->relation = std::move(relation_);
  }
  RelationDetach(const RelationDetach&) = delete;
  RelationDetach& operator=(const RelationDetach&) = delete;

 private:
  WorkArea* area_;
  std::function<void()> relation_;
};

bool TOxDataSet::SelectArea(const char* routine) {
  if (work_area_ == 0) {
    SetError(1103, std::string(kDatabaseNotOpenText) + " [" + Name() + "." + routine + "]");
    data::RequestTerminate(ExitStatusFor(1103));
    return false;
  }
  if (SelectedArea() != work_area_) Select(work_area_);
  HideDeleted = hide_deleted_recs_;
  AnsiTables = !oem_text_;
  return true;
}

bool TOxDataSet::InEditingState() const {
  return State() == TDataSetState::dsEdit || State() == TDataSetState::dsInsert ||
         State() == TDataSetState::dsSetKey;
}

// -------------------------------------------------------------- wrappers ---

void TOxDataSet::s_ClearRecord() {
  if (!SelectArea("s_ClearRecord")) return;
  ClearRecord();
  record_written_ = true;
}

void TOxDataSet::s_Skip(std::int32_t n) {
  if (!SelectArea("s_Skip") || s_IsEmpty()) return;
  SkipSelected(n);
}

void TOxDataSet::SkipSelected(std::int32_t n) {
  RelationDetach detach(*this);
  SKIP(n);
  RecordRead();
}

// Synchronising the cursor onto the record the engine already stands on
// would read the same bytes again, when no relation hook waits to follow,
// this dataset wrote nothing into the work area's record since it was read,
// and no other program can have changed the record since:
//   - nobody else can change a table opened unshared;
//   - on a shared table, a record read during the move that is ending is
//     taken as it was read: reading it again a moment later would not make
//     it any more current (another program may change it the moment after
//     either read). A record read before the move began is read again.
// The walk through a table then reads each record once, not twice. What
// another program changed is seen when the dataset reads the record anew:
// at the next move onto it, at Refresh, and at Edit, which reads the record
// before it is changed.
bool TOxDataSet::StillRead(std::int32_t rec_no) {
  if (rec_no != RecNo()) return false;
  const WorkArea* area = CurrentWorkArea();
  return !area->relation && !record_written_ && (area->unshared || read_in_move_);
}

void TOxDataSet::s_Go(std::int32_t rec_no) {
  if (!SelectArea("s_Go") || RecCount() == 0) return;
  const bool same = rec_no == RecNo();
  if (same && !syncing_cursor_) return;
  if (!(same && StillRead(rec_no) && !dEOF() && !dBOF())) {
    RelationDetach detach(*this);
    GO(rec_no);
    RecordRead();
  }
  if (!s_InWhileRange()) s_GoBottomWhile();
}

bool TOxDataSet::s_InWhileRange() {
  if (InEditingState()) return true;
  return SelectArea("s_InWhileRange") && InWhileRange();
}

bool TOxDataSet::s_IsEmpty() { return !SelectArea("s_IsEmpty") || RecCount() == 0; }

void TOxDataSet::s_ClearActive() {
  if (!SelectArea("s_ClearActive")) return;
  ClearRecord();
  record_written_ = true;
  ClearBuffers();
  if (ActiveBuffer() != nullptr) ReadEngineRecord(ActiveBuffer());
}

std::int32_t TOxDataSet::s_RecNo() { return SelectArea("s_RecNo") ? RecNo() : 0; }
std::int32_t TOxDataSet::s_RecCount() { return SelectArea("s_RecCount") ? RecCount() : 0; }
bool TOxDataSet::s_dBOF() { return !SelectArea("s_dBOF") || dBOF(); }
bool TOxDataSet::s_dEOF() { return !SelectArea("s_dEOF") || dEOF(); }

// ---------------------------------------------------------- while range ---

void TOxDataSet::WalkToRangeEnd(bool forwards) {
  std::int32_t found = 0;
  for (;;) {
    SKIP(forwards ? 1 : -1);
    if (DbfErrorNo != 0 || (forwards ? dEOF() : dBOF())) break;
    if (!(hide_deleted_recs_ && Deleted())) found = RecNo();
  }
  if (found > 0) GO(found);
}

// With a while condition: from a record inside the range (or one being
// edited) walk to the range's first (last) record; from outside go past the
// end, which leaves the dataset empty. Without one: the first (last) record.
void TOxDataSet::s_GoTopWhile() { GoToEndWhile(false, "s_GoTopWhile"); }

void TOxDataSet::s_GoBottomWhile() { GoToEndWhile(true, "s_GoBottomWhile"); }

void TOxDataSet::GoToEndWhile(bool bottom, const char* routine) {
  if (!SelectArea(routine) || RecCount() == 0) return;
  if (IsWhileOn()) {
    if (InWhileRange() || InEditingState()) {
      RelationDetach detach(*this);
      WalkToRangeEnd(bottom);
      return;
    }
    {
      RelationDetach detach(*this);
      GoBottom();
      if (!dEOF()) SKIP(1);
    }
    s_ClearActive();
    return;
  }
  {
    RelationDetach detach(*this);
    if (bottom) {
      GoBottom();
    } else {
      GoTop();
    }
  }
  if (bottom ? dEOF() : dBOF()) s_ClearActive();
}

// A new record outside the range: back to the last record seen inside it.
void TOxDataSet::s_HandleWhileAfterInsert() {
  if (!SelectArea("s_HandleWhileAfterInsert") || InWhileRange()) return;
  if (last_in_range_rec_no_ > 0 && last_in_range_rec_no_ <= RecCount()) {
    RelationDetach detach(*this);
    GO(last_in_range_rec_no_);
  }
}

// A changed record that left the range: the neighbour before it when that
// is inside, else the one after it, else the range's end.
void TOxDataSet::s_HandleWhileAfterPost() {
  if (!SelectArea("s_HandleWhileAfterPost") || InWhileRange()) return;
  {
    RelationDetach detach(*this);
    if (!dBOF()) SKIP(-1);
    if (InWhileRange()) return;
    if (!dEOF()) SKIP(1);
    if (InWhileRange()) return;
  }
  s_GoBottomWhile();
}

// ------------------------------------------------- cursor synchronisation ---

void TOxDataSet::s_UpdateCursorPos(bool use_rec_no) {
  if (suppress_cursor_sync_ || syncing_cursor_ || !KeepsTableOpen() || Destroying()) return;
  if (IsEmpty()) last_in_range_rec_no_ = 0;
  if (!SelectArea("s_UpdateCursorPos")) return;
  // Both flags once: the shortcut below needs them too.
  const bool eof = dEOF();
  const bool bof = dBOF();
  if (eof && bof) return;
  if (!use_rec_no && !eof && !bof && ActiveStillRead()) {
    // The full way below (the framework's note forgotten, the cursor put on
    // the active record again) would end in s_Go finding the engine still
    // on that record, inside the while range, and doing nothing: after
    // every step of a walk through the table the engine stands there,
    // having just read it. Only the framework's note is brought up to date;
    // s_Go, called for it when the note differs, returns at once, since the
    // record number is the same and no synchronisation is running.
    UpdateCursorPos();
    last_in_range_rec_no_ = RecNo();
    return;
  }
  CursorPosChanged();
  if (use_rec_no) {
    const int wanted = GetRecNo();
    if (wanted != RecNo()) {
      RelationDetach detach(*this);
      GO(wanted);
    }
  } else {
    syncing_cursor_ = true;
    data::TryFinally([&] { UpdateCursorPos(); }, [&] { syncing_cursor_ = false; });
  }
  if (s_InWhileRange()) last_in_range_rec_no_ = RecNo();
}

// Whether the engine, which the caller found neither at the end nor at the
// beginning, stands on the active buffer's record as read, and that record
// is inside the while range (see s_UpdateCursorPos). The dataset's area is
// selected.
bool TOxDataSet::ActiveStillRead() {
  const data::RecordBuffer active = ActiveBuffer();
  if (IsEmpty() || active == nullptr) return false;
  const auto flag = GetBookmarkFlag(active);
  if (flag != data::TBookmarkFlag::bfCurrent && flag != data::TBookmarkFlag::bfInserted)
    return false;
  std::int32_t rec_no = 0;
  std::memcpy(&rec_no, active + bookmark_offset_, 4);
  return StillRead(rec_no) && (InEditingState() || InWhileRange());
}

// ----------------------------------------------------------- refreshing ---

// With the controls disabled the ring is re-read all the same: the
// framework holds the data-set-change event back for EnableControls, and
// moves and record numbers asked meanwhile need the ring where the engine
// now stands.
void TOxDataSet::RefreshFromEngine() {
  if (DbfErrorNo != 0) {
    if (ActiveBuffer() != nullptr && SelectArea("RefreshFromEngine"))
      ReadEngineRecord(ActiveBuffer());
    refresh_pending_ = true;
    return;
  }
  ResyncFromEngine();
}

void TOxDataSet::ResyncFromEngine() {
  if (!SelectArea("ResyncFromEngine")) return;
  suppress_cursor_sync_ = true;
  refresh_pending_ = false;
  RelationDetach detach(*this);
  data::TryFinally(
      [&] {
        if (s_dEOF() && s_dBOF()) {
          s_ClearActive();
          Resync(0);
        } else if (!InEditingState()) {
          Resync(0);
        } else {
          Cancel();
        }
        if (s_dEOF() && s_dBOF()) {
          s_ClearActive();
        } else {
          UpdateCursorPos();
        }
      },
      [&] { suppress_cursor_sync_ = false; });
}

}  // namespace orvex
