// Navigation of the current area: GoTop, GoBottom, SKIP, GO, Dbf4RawGo and
// the EOF/BOF state. Moves honour the active index order (through the index
// engine's entry points), the visibility rule (HideDeleted and a filter) and
// a while condition, and run the area's relation hook afterwards.
#pragma once

#include <cstdint>

#include "engine/work_area.h"

namespace orvex {

void GoTop();
void GoBottom();
// Moves n visible records; 0 re-reads the current record from the file.
void SKIP(std::int32_t n);
// Goes to record n regardless of visibility (212 outside 1..count).
void GO(std::int32_t n);
// Reads record n without index, filter or relation hook; n above the count
// goes to the phantom record. The Related variant runs the relation hook.
void Dbf4RawGo(std::int32_t n);
void Dbf4RawGoRelated(std::int32_t n);

// End/beginning of file (the index engine's flags with an active order);
// true without a table. dEOF refreshes the record count first.
bool dEOF();
bool dBOF();
void SetBOF();
void SetEOF();

// True when a while procedure or expression is set.
bool IsWhileOn();
// True when the current area has no while condition or its current record
// satisfies it (the while-range test of the dataset layer); true without a
// table.
bool InWhileRange();

// True when the current record of `area` is visible (HideDeleted, filter).
bool RecordVisible(WorkArea& area);

// Goes to the phantom record: blank record, number count + 1, BOF and EOF.
void GoPhantom(WorkArea& area);

// Runs the current area's relation hook (error 224 when it moved this area).
void RunRelationHook();

}  // namespace orvex
