// What makes packing a memo file safe against a program killed at any
// moment: a small journal beside the table that holds the M fields' old
// texts while the table points into the new memo file but the new file does
// not yet carry the memo file's name.
//
// A pack runs in this order (memo_pack.cpp):
//   1. the new memo file is written completely under "<memo>.$$$" and flushed;
//   2. the journal "<memo>.$PK" is written and flushed (offsets and old texts
//      of every M field that changes, with a checksum);
//   3. the M fields are rewritten and the table is flushed;
//   4. "<memo>.$$$" replaces the memo file in one atomic rename;
//   5. the journal is deleted.
// So, whatever moment a kill strikes, the next open finds one of these:
//   - no journal: the old table and memo file (a "$$$" file is a leftover of
//     step 1 and is removed), or the new ones;
//   - a journal and a "$$$" file: the rename has not happened; the old
//     memo file is in place and the M fields are rolled back to their old
//     texts (a journal cut short by the kill means step 3 never began: the
//     fields are old already);
//   - a journal without a "$$$" file: the rename has happened, step 3 was
//     complete: only the journal is removed.
// The file formats of table and memo file stay as they are.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/work_area.h"

namespace orvex {

// One M field that a pack rewrites: its file offset in the table and its
// old and new texts (10 bytes each).
struct FieldUpdate {
  std::int64_t offset;
  std::string old_text;
  std::string new_text;
};

// "<memo name>.$$$" and "<memo name>.$PK".
std::string PackTempName(const std::string& memo_name);
std::string PackJournalName(const std::string& memo_name);

// Writes the journal of `updates` for the memo file `memo_name` and flushes
// it and its directory. False after reporting the I/O error with
// "<journal name> [PackMemofile]" (a partly written journal is removed).
bool WritePackJournal(const std::string& memo_name, const std::vector<FieldUpdate>& updates);

// Writes the old (or the new) texts of `updates` into the table file and
// flushes it. Returns 0 or the first I/O error.
int WriteFieldTexts(os::Handle table, const std::vector<FieldUpdate>& updates, bool new_texts);

// Completes or rolls back a pack of the memo file `memo_name` of `area`'s
// table that was interrupted (see the file comment); does nothing when there
// is no journal. The table is written through its own handle; a read-only
// area's table is closed, opened for writing in the same share mode for the
// rollback and opened again as before. False after reporting
// the I/O error with "<file name> [<routine>]"; the journal then stays for
// the next attempt.
bool RecoverInterruptedPack(WorkArea& area, const std::string& memo_name,
                            const std::string& routine);

}  // namespace orvex
