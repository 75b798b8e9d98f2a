// Moving the current record: GoTop, GoBottom, SKIP, GO, Dbf4RawGo.
#include "engine/navigation.h"

#include <limits>

#include "common/errors.h"
#include "engine/engine_text.h"
#include "engine/entry_points.h"
#include "engine/locks.h"
#include "engine/record_io.h"
#include "engine/record_pack.h"

namespace orvex {

namespace {

// Reads and unpacks record n; false after an error (already reported).
bool ReadAndUnpack(WorkArea& area, std::int32_t n) {
  const char* read_form = nullptr;
  if (!GetDbfRecord(area, n, &read_form)) return false;
  UnpackRecord(area, read_form);
  return true;
}

// Brackets a move with the index engine's read bracket when an order is
// active.
class ReadBracket {
 public:
  ReadBracket(int area, bool indexed) : area_(area), entered_(indexed && IndexEngine.read_bracket) {
    if (entered_) IndexEngine.read_bracket(area_, true);
  }
  ~ReadBracket() { Leave(); }
  void Leave() {
    if (entered_) IndexEngine.read_bracket(area_, false);
    entered_ = false;
  }
  ReadBracket(const ReadBracket&) = delete;
  ReadBracket& operator=(const ReadBracket&) = delete;

 private:
  int area_;
  bool entered_;
};

void IndexCall(void (*op)(int, bool), int area, bool all) {
  if (op != nullptr) op(area, all);
}

std::int32_t IndexRecord(std::int32_t (*op)(int), int area, std::int32_t fallback) {
  return op != nullptr ? op(area) : fallback;
}

bool IndexFlag(bool (*op)(int), int area, bool fallback) {
  return op != nullptr ? op(area) : fallback;
}

// The number after `n`, which stays at the largest record number a table can
// have: a damaged header can claim 2^31 - 1 records, and the phantom record
// behind them has no number of its own then (its eof flag marks it).
std::int32_t After(std::int32_t n) {
  return n < std::numeric_limits<std::int32_t>::max() ? n + 1 : n;
}

// The number of the phantom record behind the last one.
std::int32_t PhantomNumber(const WorkArea& area) { return After(area.record_count); }

bool WhileHolds(WorkArea& area) {
  int a = CurrentArea;
  bool holds = area.while_proc ? area.while_proc() : EvaluateCondition(area.while_expr);
  CurrentArea = static_cast<std::uint8_t>(a);
  return holds;
}

// Restores the relation procedure even when it raised.
struct RelationRestore {
  int area;
  std::function<void()> relation;
  std::uint8_t state;
  ~RelationRestore() {
    CurrentArea = static_cast<std::uint8_t>(area);
    if (IndexEngine.relation_state != nullptr) *IndexEngine.relation_state = state;
    if (WorkAreas[area]) WorkAreas[area]->relation = std::move(relation);
  }
};

// The step of a walk through a table in file order where every record
// shows and nothing runs after a move: no order, filter, hidden deleted
// records, while condition or relation, not virtual, and the next record
// known to exist. It reads the next record and answers true; SKIP(1)'s
// general loop would do the same, with each of those questions asked again
// at every record. False (nothing done) when any of them applies or the
// next record lies beyond the count the area knows after asking the file.
bool PlainStep(WorkArea& area, bool indexed) {
  if (indexed || area.is_virtual || HideDeleted || area.filter_proc ||
      area.filter_expr != nullptr || area.while_proc || area.while_expr != nullptr ||
      area.relation) {
    return false;
  }
  const std::int32_t next = After(area.record_number);
  if (next > area.record_count) RefreshRecCount(area);
  if (next == area.record_number || next > area.record_count) return false;
  ReadAndUnpack(area, next);
  return true;
}

// SKIP's refusals: a step forward from the end, any step in an empty
// table (both error 212). True when the table may be walked.
bool MayStep(WorkArea& area, int a, bool indexed, std::int32_t n) {
  const bool at_eof = indexed ? IndexFlag(IndexEngine.eof, a, area.eof) : area.eof;
  if (n > 0 && at_eof) {
    SetError(212, DatabaseText(area.file_name) + " ist hinter EOF. [SKIP]");
    return false;
  }
  if (area.record_count <= 0) {
    area.bof = area.eof = true;
    SetError(212, DatabaseText(area.file_name) + " ist leer. [SKIP]");
    return false;
  }
  return true;
}

// How a walk of SKIP(n) ended: at an end of the table, where the while
// condition stopped holding, or (neither) after n visible records.
// `last_visible` is the last visible record a backward walk passed.
struct StepsTaken {
  bool hit_end = false;
  bool while_failed = false;
  std::int32_t last_visible = 0;
};

// Walks n visible records from the current one, in the active order or
// the file's, and says in *steps how the walk ended. False after a read
// error (reported by the read).
bool TakeSteps(WorkArea& area, int a, bool indexed, std::int32_t n, StepsTaken* steps) {
  steps->last_visible = PhantomNumber(area);
  if (area.is_virtual && VirtualFiles.skip != nullptr) {
    std::int32_t target = VirtualFiles.skip(n, &steps->hit_end);
    return steps->hit_end || ReadAndUnpack(area, target);
  }
  std::int32_t counted = 0;
  while (counted != n) {
    std::int32_t current = area.record_number;
    std::int32_t candidate;
    if (n < 0) {
      if (RecordVisible(area)) steps->last_visible = current;
      candidate = indexed ? IndexRecord(IndexEngine.prior_record, a, current - 1) : current - 1;
      if (indexed ? candidate == current : current <= 1) {
        steps->hit_end = true;
        return true;
      }
    } else {
      // Other programs' appends are looked for only when the walk reaches
      // the last record it knows of: asking the file system at every step
      // would cost more than reading the record.
      if (!indexed && After(current) > area.record_count) RefreshRecCount(area);
      candidate =
          indexed ? IndexRecord(IndexEngine.next_record, a, After(current)) : After(current);
      if (candidate == current || candidate > area.record_count) {
        steps->hit_end = true;
        return true;
      }
    }
    if (!ReadAndUnpack(area, candidate)) return false;
    if (RecordVisible(area)) counted += n < 0 ? -1 : 1;
    if (IsWhileOn() && !WhileHolds(area)) {
      steps->while_failed = true;
      return true;
    }
  }
  return true;
}

// Where a walk that did not count all its steps leaves the area: forward
// past the end on the phantom record (eof); backward before the start on
// the first record (bof); where the while condition failed, forward at
// eof and backward on the last visible record passed (bof). False after a
// read error.
bool SettleAfterSteps(WorkArea& area, int a, bool indexed, std::int32_t n,
                      const StepsTaken& steps) {
  if (steps.hit_end && n > 0) {
    BlankRecord(area);
    area.record_number = PhantomNumber(area);
    area.eof = true;
    if (indexed) IndexCall(IndexEngine.sync_index, a, false);
  } else if (steps.hit_end) {
    GoTop();
    SetBOF();
    if (area.eof) BlankRecord(area);
  } else if (steps.while_failed && n > 0) {
    SetEOF();
  } else if (steps.while_failed) {
    if (steps.last_visible > area.record_count) {
      BlankRecord(area);
      area.record_number = PhantomNumber(area);
      area.bof = true;
    } else {
      if (!ReadAndUnpack(area, steps.last_visible)) return false;
      area.bof = true;
    }
    if (indexed) {
      IndexCall(IndexEngine.sync_index, a, false);
      SetBOF();
    }
  }
  return true;
}

// The record after (forward) or before the current one in the active
// order or the file's, on the way from one end of the table past hidden
// records, into *next; false when there is none.
bool NextFromEnd(WorkArea& area, int a, bool indexed, bool forward, std::int32_t* next) {
  if (forward) {
    *next = After(area.record_number);
    if (indexed) {
      *next = IndexRecord(IndexEngine.next_record, a, *next);
      if (IndexFlag(IndexEngine.eof, a, false)) *next = PhantomNumber(area);
    }
    return *next <= area.record_count;
  }
  *next = indexed ? IndexRecord(IndexEngine.prior_record, a, area.record_number - 1)
                  : area.record_number - 1;
  const bool at_begin = indexed ? IndexFlag(IndexEngine.bof, a, false) : area.bof;
  return *next >= 1 && !at_begin;
}

// GoTop (`top`) and GoBottom: the first or last record of the active order
// or the file, then on past records that do not show. Without a record to
// show the area stands at both ends. GoBottom first looks for other
// programs' appends.
void GoToEnd(bool top) {
  DbfErrorNo = 0;
  WorkArea* area = RequireTable(top ? "GoTop" : "GoBottom");
  if (area == nullptr) return;
  if (!top) RefreshRecCount(*area);
  if (area->record_count <= 0) return;
  int a = CurrentArea;
  bool indexed = IndexOrderActive(a);
  {
    ReadBracket bracket(a, indexed);
    std::int32_t n = 0;
    if (top) {
      n = indexed ? IndexRecord(IndexEngine.first_record, a, 1) : 1;
    } else {
      n = indexed ? IndexRecord(IndexEngine.last_record, a, area->record_count)
                  : area->record_count;
    }
    if (n == PhantomNumber(*area)) {
      GoPhantom(*area);
      bracket.Leave();
      RunRelationHook();
      return;
    }
    if (!ReadAndUnpack(*area, n)) return;
    while (!RecordVisible(*area) && !area->eof && DbfErrorNo == 0) {
      std::int32_t next = 0;
      if (!NextFromEnd(*area, a, indexed, top, &next)) {
        GoPhantom(*area);
        if (indexed) {
          IndexCall(IndexEngine.sync_index, a, false);
          SetBOF();
          SetEOF();
        }
      } else if (!ReadAndUnpack(*area, next)) {
        break;
      }
    }
    if (indexed) IndexCall(IndexEngine.store_keys, a, false);
  }
  RunRelationHook();
}

}  // namespace

bool RecordVisible(WorkArea& area) {
  if (HideDeleted) {
    bool deleted = area.is_virtual ? (area.unpacked != nullptr && area.unpacked[0] != 0)
                                   : area.record[0] == '*';
    if (deleted) return false;
  }
  if (!area.filter_proc && area.filter_expr == nullptr) return true;
  int a = CurrentArea;
  bool visible = area.filter_proc ? area.filter_proc() : EvaluateCondition(area.filter_expr);
  CurrentArea = static_cast<std::uint8_t>(a);
  return visible;
}

void GoPhantom(WorkArea& area) {
  BlankRecord(area);
  area.record_number = PhantomNumber(area);
  area.bof = area.eof = true;
}

void RunRelationHook() {
  WorkArea* area = CurrentWorkArea();
  if (area == nullptr || !area->relation) return;
  std::int32_t before = area->record_number;
  std::string file_name = area->file_name;
  {
    RelationRestore restore{
        CurrentArea, std::move(area->relation),
        IndexEngine.relation_state ? *IndexEngine.relation_state : std::uint8_t{0}};
    area->relation = nullptr;
    restore.relation();
  }
  area = CurrentWorkArea();
  if (DbfErrorNo == 0 && area != nullptr && area->record_number != before) DbfErrorNo = 224;
  if (DbfErrorNo != 0) SetError(DbfErrorNo, file_name);
}

void GoTop() { GoToEnd(true); }

void GoBottom() { GoToEnd(false); }

void SKIP(std::int32_t n) {
  DbfErrorNo = 0;
  WorkArea* area = RequireTable("SKIP()");
  if (area == nullptr) return;
  int a = CurrentArea;
  bool indexed = IndexOrderActive(a);
  if (!MayStep(*area, a, indexed, n)) return;
  if (n < 0 && dBOF()) return;
  if (n == 0) {
    if (area->eof) {
      BlankRecord(*area);
    } else if (!ReadAndUnpack(*area, area->record_number)) {
      return;
    }
    RunRelationHook();
    return;
  }
  area->bof = area->eof = false;
  if (n == 1 && PlainStep(*area, indexed)) return;
  {
    ReadBracket bracket(a, indexed);
    StepsTaken steps;
    if (!TakeSteps(*area, a, indexed, n, &steps) || !SettleAfterSteps(*area, a, indexed, n, steps))
      return;
    if (indexed) IndexCall(IndexEngine.store_keys, a, false);
  }
  RunRelationHook();
}

void GO(std::int32_t n) {
  DbfErrorNo = 0;
  WorkArea* area = RequireTable("GO()");
  if (area == nullptr) return;
  if (n > area->record_count) RefreshRecCount(*area);
  // The message is built only when it is needed: GO is on the path of every
  // positioned read.
  auto report_invalid = [&] {
    SetError(212, Ansi("Ungültige Datensatznr. = ") + std::to_string(n) + " " +
                      DatabaseText(area->file_name) + " [GO]");
  };
  if (area->record_count <= 0) {
    area->bof = area->eof = true;
    BlankRecord(*area);
    report_invalid();
    return;
  }
  area->bof = area->eof = false;
  if (n < 1 || n > area->record_count) {
    area->record_number = PhantomNumber(*area);
    area->eof = true;
    report_invalid();
    return;
  }
  int a = CurrentArea;
  bool indexed = IndexOrderActive(a);
  {
    ReadBracket bracket(a, indexed);
    if (ReadAndUnpack(*area, n) && indexed) {
      IndexCall(IndexEngine.sync_index, a, false);
      IndexCall(IndexEngine.store_keys, a, false);
    }
  }
  ReportPendingError();
  RunRelationHook();
}

void Dbf4RawGo(std::int32_t n) {
  DbfErrorNo = 0;
  WorkArea* area = RequireTable("Dbf4RawGo");
  if (area == nullptr) return;
  if (n > area->record_count) {
    area->record_number = PhantomNumber(*area);
    area->eof = true;
    BlankRecord(*area);
  } else if (n <= 0) {
    SetError(212, " [Dbf4RawGo]");
  } else {
    ReadAndUnpack(*area, n);
  }
}

void Dbf4RawGoRelated(std::int32_t n) {
  Dbf4RawGo(n);
  if (DbfErrorNo == 0) RunRelationHook();
}

bool dEOF() {
  WorkArea* area = CurrentWorkArea();
  if (area == nullptr) return true;
  // The count is asked again only at the end the area knows: before it, a
  // grown file changes nothing here (and tables in shared use are not cut
  // by others), so a walk that tests for the end at every record does not
  // ask the file system at every record.
  if (area->eof || area->record_number > area->record_count) RefreshRecCount(*area);
  if (area->record_number > area->record_count) area->eof = true;
  int a = CurrentArea;
  return IndexOrderActive(a) ? IndexFlag(IndexEngine.eof, a, area->eof) : area->eof;
}

bool dBOF() {
  WorkArea* area = CurrentWorkArea();
  if (area == nullptr) return true;
  int a = CurrentArea;
  return IndexOrderActive(a) ? IndexFlag(IndexEngine.bof, a, area->bof) : area->bof;
}

void SetBOF() {
  WorkArea* area = CurrentWorkArea();
  if (area == nullptr) return;
  area->bof = true;
  if (IndexOrderActive(CurrentArea) && IndexEngine.set_bof) IndexEngine.set_bof(CurrentArea);
}

void SetEOF() {
  WorkArea* area = CurrentWorkArea();
  if (area == nullptr) return;
  area->eof = true;
  if (IndexOrderActive(CurrentArea) && IndexEngine.set_eof) IndexEngine.set_eof(CurrentArea);
}

bool IsWhileOn() {
  WorkArea* area = CurrentWorkArea();
  return area != nullptr && (area->while_proc || area->while_expr != nullptr);
}

bool InWhileRange() {
  WorkArea* area = CurrentWorkArea();
  return area == nullptr || !IsWhileOn() || WhileHolds(*area);
}

}  // namespace orvex
