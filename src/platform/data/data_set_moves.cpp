// TDataSet: the ring of buffers, moves, Resync and bookmarks.
#include <algorithm>

#include "platform/data/data_set.h"
#include "platform/data/database_error.h"
#include "platform/data/try_finally.h"

namespace orvex::data {

// ------------------------------------------------------------------ ring ---

void TDataSet::SetBufListSize(int size) {
  const std::size_t wanted = size > 0 ? static_cast<std::size_t>(size) + 1 : 0;
  while (buffers_.size() < wanted) buffers_.push_back(AllocRecordBuffer());
  while (buffers_.size() > wanted) {
    FreeRecordBuffer(buffers_.back());
    buffers_.pop_back();
  }
}

void TDataSet::SetBufferCount(int count) {
  count = std::max(count, 1);
  if (count == buffer_count_) return;
  if (count > buffer_count_) {
    SetBufListSize(count);
    buffer_count_ = count;
    if (buffer_count_ > 0 && IsCursorOpen()) {
      int fetched = GetNextRecords();  // records after the ring first, then before it
      fetched += GetPriorRecords();
      if (fetched > 0) DataEvent(TDataEvent::deDataSetChange, 0);
    }
    return;
  }
  // Fewer buffers: records before the active one that no longer fit leave
  // at the front, the rest at the end.
  const int drop = std::max(active_record_ - count + 1, 0);
  for (int i = 0; i < drop; ++i) MoveBuffer(0, buffer_count_);
  active_record_ -= drop;
  record_count_ = std::min(record_count_ - drop, count);
  current_record_ = current_record_ - drop >= 0 && current_record_ - drop < record_count_
                        ? current_record_ - drop
                        : -1;
  SetBufListSize(count);
  buffer_count_ = count;
}

// The ring turns by one buffer at every fetch: the pointers between move by
// one place with one block move (std::copy of pointers), quicker than the
// general std::rotate.
void TDataSet::MoveBuffer(int from, int to) {
  RecordBuffer* first = buffers_.data();
  const RecordBuffer moved = first[from];
  if (from < to) {
    std::copy(first + from + 1, first + to + 1, first + from);
  } else if (from > to) {
    std::copy_backward(first + to, first + from, first + from + 1);
  }
  first[to] = moved;
}

void TDataSet::ClearBuffers() {
  record_count_ = 0;
  active_record_ = 0;
  current_record_ = -1;
  bof_ = eof_ = true;
}

void TDataSet::ActivateBuffers() {
  record_count_ = 1;
  active_record_ = 0;
  current_record_ = 0;
  bof_ = eof_ = false;
}

void TDataSet::SetActiveRecord(int index) {
  active_record_ = std::clamp(index, 0, std::max(record_count_ - 1, 0));
}

void TDataSet::SetCurrentRecord(int index) {
  if (current_record_ == index) return;
  RecordBuffer buffer = buffers_[static_cast<std::size_t>(index)];
  switch (GetBookmarkFlag(buffer)) {
    case TBookmarkFlag::bfCurrent:
    case TBookmarkFlag::bfInserted:
      InternalSetToRecord(buffer);
      break;
    case TBookmarkFlag::bfBOF:
      InternalFirst();
      break;
    case TBookmarkFlag::bfEOF:
      InternalLast();
      break;
  }
  current_record_ = index;
}

void TDataSet::UpdateCursorPos() {
  if (record_count_ > 0) SetCurrentRecord(active_record_);
}

// The record lands in the buffer after the last one that holds a record
// (the spare buffer when the ring is full); a full ring then turns by one,
// its first buffer becoming the spare.
bool TDataSet::GetNextRecord() {
  if (record_count_ > 0) SetCurrentRecord(record_count_ - 1);
  const bool ok = GetRecord(buffers_[static_cast<std::size_t>(record_count_)], TGetMode::gmNext,
                            true) == TGetResult::grOK;
  if (!ok) {
    CursorPosChanged();
    return false;
  }
  if (record_count_ == 0) {
    ActivateBuffers();
  } else if (record_count_ < buffer_count_) {
    ++record_count_;
  } else {
    MoveBuffer(0, record_count_);
    if (active_record_ > 0) --active_record_;
  }
  current_record_ = record_count_ - 1;
  return true;
}

// Mirror image: the record lands in the spare place and moves to the front;
// a full ring drops its last record.
bool TDataSet::GetPriorRecord() {
  if (record_count_ > 0) SetCurrentRecord(0);
  const bool ok = GetRecord(buffers_[static_cast<std::size_t>(record_count_)], TGetMode::gmPrior,
                            true) == TGetResult::grOK;
  if (!ok) {
    CursorPosChanged();
    return false;
  }
  if (record_count_ == 0) {
    ActivateBuffers();
  } else {
    MoveBuffer(record_count_, 0);
    if (record_count_ < buffer_count_) {
      ++record_count_;
      ++active_record_;
    } else if (active_record_ < record_count_ - 1) {
      ++active_record_;
    }
  }
  current_record_ = 0;
  return true;
}

int TDataSet::GetNextRecords() {
  int fetched = 0;
  while (record_count_ < buffer_count_ && GetNextRecord()) ++fetched;
  return fetched;
}

int TDataSet::GetPriorRecords() {
  int fetched = 0;
  while (record_count_ < buffer_count_ && GetPriorRecord()) ++fetched;
  return fetched;
}

// ----------------------------------------------------------------- moves ---

void TDataSet::First() {
  CheckBrowseMode();
  DoBeforeScroll();
  ClearBuffers();
  TryFinally(
      [&] {
        InternalFirst();
        GetNextRecords();
      },
      [&] {
        bof_ = true;
        DataEvent(TDataEvent::deDataSetChange, 0);
        DoAfterScroll();
      });
}

void TDataSet::Last() {
  CheckBrowseMode();
  DoBeforeScroll();
  ClearBuffers();
  TryFinally(
      [&] {
        InternalLast();
        GetPriorRecords();
      },
      [&] {
        eof_ = true;
        DataEvent(TDataEvent::deDataSetChange, 0);
        DoAfterScroll();
      });
}

int TDataSet::MoveBy(int distance) {
  CheckBrowseMode();
  int moved = 0;
  DoBeforeScroll();
  if (!((distance > 0 && !eof_) || (distance < 0 && !bof_))) return 0;
  bof_ = eof_ = false;
  int turned = 0;  // buffers the ring turned: negative forwards
  TryFinally(
      [&] {
        for (; distance > 0; --distance, ++moved) {
          if (active_record_ < record_count_ - 1) {
            ++active_record_;
            continue;
          }
          const bool full = record_count_ == buffer_count_;
          if (!GetNextRecord()) {
            eof_ = true;
            break;
          }
          if (full) --turned;
          active_record_ = record_count_ - 1;
        }
        for (; distance < 0; ++distance, --moved) {
          if (active_record_ > 0) {
            --active_record_;
            continue;
          }
          const bool full = record_count_ == buffer_count_;
          if (!GetPriorRecord()) {
            bof_ = true;
            break;
          }
          if (full) ++turned;
          active_record_ = 0;
        }
      },
      [&] {
        DataEvent(TDataEvent::deDataSetScroll, turned);
        DoAfterScroll();
      });
  return moved;
}

void TDataSet::Resync(unsigned mode) {
  RecordBuffer spare = buffers_[static_cast<std::size_t>(record_count_)];
  if (mode & rmExact) {
    CursorPosChanged();
    if (GetRecord(spare, TGetMode::gmCurrent, true) != TGetResult::grOK)
      DatabaseError(kRecordNotFound, name_);
  } else if (GetRecord(spare, TGetMode::gmCurrent, false) != TGetResult::grOK &&
             GetRecord(spare, TGetMode::gmNext, false) != TGetResult::grOK &&
             GetRecord(spare, TGetMode::gmPrior, false) != TGetResult::grOK) {
    ClearBuffers();
    DataEvent(TDataEvent::deDataSetChange, 0);
    return;
  }
  int before = (mode & rmCenter) ? (buffer_count_ - 1) / 2 : active_record_;
  MoveBuffer(record_count_, 0);
  ActivateBuffers();
  TryFinally(
      [&] {
        while (before > 0 && GetPriorRecord()) --before;
        GetNextRecords();
        GetPriorRecords();
      },
      [&] { DataEvent(TDataEvent::deDataSetChange, 0); });
}

void TDataSet::Refresh() {
  CheckBrowseMode();
  UpdateCursorPos();
  TryFinally([&] { InternalRefresh(); }, [&] { Resync(0); });
}

// ------------------------------------------------------------- bookmarks ---

TBookmark TDataSet::GetBookmark() {
  TBookmark bookmark;
  if (!Active() || record_count_ == 0 ||
      GetBookmarkFlag(ActiveBuffer()) != TBookmarkFlag::bfCurrent) {
    return bookmark;
  }
  bookmark.resize(static_cast<std::size_t>(bookmark_size_));
  GetBookmarkData(ActiveBuffer(), bookmark.data());
  return bookmark;
}

void TDataSet::GotoBookmark(const TBookmark& bookmark) {
  GotoBookmark(bookmark.empty() ? nullptr : bookmark.data());
}

void TDataSet::GotoBookmark(const std::uint8_t* bookmark) {
  if (bookmark == nullptr) return;
  CheckBrowseMode();
  DoBeforeScroll();
  InternalGotoBookmark(bookmark);
  Resync(rmExact | rmCenter);
  DoAfterScroll();
}

}  // namespace orvex::data
