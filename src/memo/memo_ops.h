// The memo operations on the current work area: reading a memo into the
// MemoPad, writing the MemoPad back, storing a text as a new memo, and copying
// memos between the memo files of two tables.
//
// Each checks its precondition first (error 215 without a table, 1019 without
// a memo file). Writes take the memo file's write lock for their duration
// (shared tables), start at the end of the file, and end with MainHeaderWrite,
// after which the header's next-free is the file size divided by the block
// size, rounded up. A block number given back is what the M field stores: in
// dBASE III files a text holding 0x1A is written with a block header and its
// number is negative (see WriteMemoText). The table's translators (WorkArea read/write translator),
// when set, are applied to memo text as it is read and written; OEM/ANSI
// conversion of memo text is left to them and to the BLOB interface.
#pragma once

#include <cstdint>
#include <string>

namespace orvex {

// Loads the memo at `block` into the MemoPad (see FillMemoPad); block 0 gives
// an empty pad. `line_limit` above 0 stops after that many lines. An address
// at or beyond the file size - 1 reports 1003 "<name> Record # <n> [GetMemo]".
// True when the memo is in the pad.
bool GetMemo(std::int32_t block, int line_limit = 0);

// Reads the memo at `block` whole and as stored (the table's read translator
// applied, nothing else: no line limits, every byte kept) into `text`; block
// 0 gives "". Errors as GetMemo (" [ReadMemo]"). True on success.
bool ReadMemo(std::int32_t block, std::string* text);
// Reads the memo that M field `field` (1-based) of the current record refers
// to, as ReadMemo does, from the reference as the file holds it: blanks are
// no memo (""); a reference that is no block number (letters, more digits
// than any block) or that lies beyond the file reports 1003 with the record
// number, as does a memo that does not end within the file. Visual
// FoxPro's M, G, P and W fields hold the block number in 4 binary bytes.
// 211 when the field is no memo field. True on success.
bool ReadFieldMemo(int field, std::string* text);

// Writes the MemoPad as the record's memo, whose current block is `block` (0 =
// none), and empties the pad. dBASE III and FPT: a new memo at the end of the
// file; dBASE IV: in place when it fits the old blocks, else where
// AllocateMemoBlocks puts it. An empty pad writes nothing and gives 0. Errors:
// 1004 when the drive lacks the space; 29 for a short write. Returns the
// block number to store into the M field, or 0.
std::int32_t EditMemoCloseMemo(std::int32_t block);

// Stores `text` (trailing blanks removed) as a new memo at the end of the
// file; 0 for an empty text, which leaves the file untouched. Returns the
// block number to store into the M field, or 0 after an error.
std::int32_t AddMemo(const std::string& text);

// As AddMemo, but stores `text` exactly as given, trailing blanks included.
std::int32_t StoreMemo(const std::string& text);
// Copies memo `block` of the table in `source_area` to the end of the current
// area's memo file, in the destination's layout, with the source's read and
// the destination's write translator applied (" [AppendFrom/CopyTo]"; a write
// failure reports 1005). A headerless dBASE III source memo also ends at a
// NUL byte. Returns the block in the destination, or 0 (block 0, or an error).
std::int32_t CopyMemo(int source_area, std::int32_t block);

// The same, to the block number `block` of the destination file (offset
// |block| x the destination's block size) instead of its end.
std::int32_t CopyMemoToSameBlock(int source_area, std::int32_t block);

}  // namespace orvex
