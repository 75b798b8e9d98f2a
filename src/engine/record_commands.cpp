// The record-changing commands: Replace, Append, DeleteRec, RecallRec.
#include <algorithm>
#include <cstring>
#include <vector>

#include "common/errors.h"
#include "engine/engine_text.h"
#include "engine/entry_points.h"
#include "engine/locks.h"
#include "engine/navigation.h"
#include "engine/record_io.h"
#include "engine/record_pack.h"

namespace orvex {

namespace {

bool InLockList(const WorkArea& area, std::int32_t n) {
  return std::find(area.lock_list.begin(), area.lock_list.end(), n) != area.lock_list.end();
}

// Enters the index writer's lock bracket of area `a`. False (with the
// error reported) when the lock could not be had: the bracket is then not
// held, and the caller must write nothing, so that the table never holds a
// record whose keys the index misses.
bool EnterLockBracket(int a) {
  if (IndexEngine.lock_bracket) IndexEngine.lock_bracket(a, true);
  if (DbfErrorNo == 0) return true;
  ReportPendingError();
  return false;
}

// Key maintenance of an edit starts from the record as stored: the caller's
// buffer is kept in the swap buffer, the stored record is read and the index
// engine remembers its keys. False (reported) without a swap buffer (254) or
// when the writer's lock could not be had.
bool BeginIndexedEdit(WorkArea& area, int a, const char* routine) {
  if (area.swap.size() != area.unpacked_size) {
    SetError(254, area.file_name + " " + "Tausch-Puffer ist NIL." + " [" + routine + "]");
    ReportPendingError();
    return false;
  }
  if (!EnterLockBracket(a)) return false;
  std::memcpy(area.swap.data(), area.unpacked, area.unpacked_size);
  // The caller's exact texts go with the caller's buffer.
  auto exact_texts = std::move(area.exact_texts);
  if (GetDbfRecord(area, area.record_number)) UnpackRecord(area);
  if (IndexEngine.before_edit) IndexEngine.before_edit(a);
  area.exact_texts = std::move(exact_texts);
  return true;
}

void EndIndexedEdit(int a) {
  if (IndexEngine.after_edit) IndexEngine.after_edit(a);
  if (IndexEngine.lock_bracket) IndexEngine.lock_bracket(a, false);
}

// DeleteRec and RecallRec: set or clear the deletion flag of the current
// record. Tags whose key or FOR condition reads the flag follow it.
void SetDeletionFlag(bool deleted) {
  const char* routine = deleted ? "DeleteRec" : "RecallRec";
  DbfErrorNo = 0;
  WorkArea* area = RequireTable(routine);
  if (area == nullptr) return;
  bool allowed =
      area->exclusive || area->lock_state == LockState::kTable ||
      (area->lock_state == LockState::kRecords && InLockList(*area, area->record_number));
  if (!allowed) {
    SetError(1200, deleted ? area->file_name + " Datensatz nicht gesperrt [DeleteRec]"
                           : std::string("Datensatz nicht gesperrt [RecallRec]"));
    return;
  }
  if (!deleted) RefreshRecCount(*area);
  if (area->record_number < 1 || area->record_number > area->record_count) {
    SetError(1103, area->file_name + " at EOF [" + routine + "]");
    return;
  }
  if (area->is_virtual) {
    area->virtual_operation = deleted ? kVirtualDelete : kVirtualRecall;
    if (VirtualFiles.handler != nullptr) VirtualFiles.handler(*area);
    return;
  }
  const int a = CurrentArea;
  const bool indexed = IndexOpen(a);
  if (indexed && !BeginIndexedEdit(*area, a, routine)) return;
  if (area->unpacked != nullptr) area->unpacked[0] = deleted ? 1 : 0;
  area->record[0] = deleted ? '*' : ' ';
  if (WriteDeletionFlag(*area, area->record_number) && RecordCache.record_written != nullptr) {
    RecordCache.record_written(*area);
  }
  if (indexed) {
    EndIndexedEdit(a);
    // The caller's buffer comes back with the flag as stored: the new one,
    // or the old one when the write was rolled back.
    std::memcpy(area->unpacked, area->swap.data(), area->unpacked_size);
    if (DbfErrorNo == 0) area->unpacked[0] = deleted ? 1 : 0;
    ReportPendingError();
  }
}

}  // namespace

void Replace() {
  DbfErrorNo = 0;
  WorkArea* area = RequireTable("Replace");
  if (area == nullptr) return;
  if (area->record_number < 1) {
    SetError(212, DatabaseText(area->file_name) + " ist leer. [REPLACE]");
    return;
  }
  if (area->record_number > area->record_count) {
    SetError(212, DatabaseText(area->file_name) + " bei EOF angelangt. [REPLACE]");
    return;
  }
  if (!area->exclusive && area->lock_state != LockState::kTable &&
      !InLockList(*area, area->record_number)) {
    SetError(1200, "Record #" + std::to_string(area->record_number) + " in " + area->file_name +
                       " [REPLACE]");
    return;
  }
  int a = CurrentArea;
  bool indexed = ReplaceUpdatesIndexes && IndexOpen(a) && !area->is_virtual;
  if (indexed) {
    if (!BeginIndexedEdit(*area, a, "REPLACE")) return;
    std::memcpy(area->unpacked, area->swap.data(), area->unpacked_size);
  }
  // Fields the caller left as they were keep their stored bytes exactly.
  std::vector<char> stored;
  KeptFields kept;
  if (!area->is_virtual && ReadStoredRecord(*area, area->record_number, &stored)) {
    kept.stored = stored.data();
    kept.unchanged = UnchangedFields(*area, stored.data());
  }
  PackRecord(*area);
  if (DbfErrorNo == 0 && PutDbfRecord(*area, area->record_number, &kept)) {
    UnpackRecord(*area);
    if (RecordCache.record_written != nullptr) RecordCache.record_written(*area);
  }
  if (indexed) EndIndexedEdit(a);
  ReportPendingError();
  RunRelationHook();
}

void Append() {
  DbfErrorNo = 0;
  WorkArea* area = RequireTable("Append");
  if (area == nullptr) return;
  if (NetworkLocking && !area->exclusive && area->lock_state != LockState::kTable &&
      area->lock_state != LockState::kAppend) {
    SetError(5, Ansi("Datei muß gesperrt sein zum Anhängen: ") + area->file_name + " [APPEND]");
    return;
  }
  // The blank record holds Visual FoxPro's empty values (BlankRawFields).
  // Level 7's types have none, and an autoincrement field needs its next
  // value counted in the header: refused rather than stored as a value
  // the table's programs would read differently.
  for (const FieldDesc& f : area->fields) {
    const bool autoincrement = area->visual_foxpro && (f.flags & 0x08) != 0;
    if (f.raw && f.length > 0 && (!area->visual_foxpro || autoincrement)) {
      SetError(211, "Field: " + f.name + " [" + std::string(1, f.type) + "] in " + area->file_name +
                        Ansi(": Anhängen an Tabellen mit diesem Feldtyp nicht möglich [APPEND]"));
      return;
    }
  }
  int a = CurrentArea;
  RefreshRecCount(*area);
  PackRecord(*area);
  bool indexed = IndexOpen(a);
  if (indexed && !EnterLockBracket(a)) return;
  if (PutDbfRecord(*area, area->record_count + 1)) UnpackRecord(*area);
  if (indexed) {
    if (IndexEngine.append_new_key) IndexEngine.append_new_key(a);
    if (IndexEngine.lock_bracket) IndexEngine.lock_bracket(a, false);
  }
  area->eof = area->bof = false;
  ReportPendingError();
  RunRelationHook();
}

void DeleteRec() { SetDeletionFlag(true); }
void RecallRec() { SetDeletionFlag(false); }

}  // namespace orvex
