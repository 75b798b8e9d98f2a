// Packing a memo file: rebuilding it with only the memos that the table's
// records reference, in record order, and renumbering the M fields.
#pragma once

#include <cstdint>

#include "engine/work_area.h"

namespace orvex {

// Rebuilds the current area's memo file. Needs the table for itself (opened
// exclusively, or NetworkLocking off; else error 225) and, in the memo
// file's directory, free space for a copy (else 1012 "<name>
// [PackMemofile]", before anything is written). Every M field of every
// record (deleted ones included), in physical order, gets its memo copied to
// a new file "<memo name>.$$$" of the same kind and block size; a reference
// that lies beyond the end reports 1003 and becomes 0. The table is changed
// only once the new file is complete and flushed and a journal of the old
// field texts is written (memo_pack_journal.h): then the M fields are
// rewritten in place (their 10 bytes, nothing else of the records), and the
// new file replaces the old one in one atomic rename and is opened. A
// failure rolls the fields back and removes the new file; a program killed
// at any moment leaves files that the next open completes or rolls back.
void PackMemofile();

// Copies the memo at `block` of `source` to the end of `target` (padded to a
// whole block first; a fresh dBASE III file counts as 512 bytes) in the
// target's layout, bytes unchanged (see WriteMemoText for dBASE III texts
// that hold a 0x1A). An address at or beyond the
// source's size - 1 reports 1003 "<name> Memo block # <b> Record # <n>
// [PackMemo]" and gives 0. A memo that does not end within the source file
// reports 1003 with what is wrong and gives -1: the pack stops and nothing
// changes. Returns the new block number, 0 for an invalid reference, or -1
// after reporting an error (1005 when writing).
std::int64_t PackMemo(MemoState& source, MemoState& target, std::int64_t block,
                      std::int32_t record);

}  // namespace orvex
