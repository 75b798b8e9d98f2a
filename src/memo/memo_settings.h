// Process-wide options and counters of the memo store. The memo kind of new
// tables (MemoVersionByte) is the engine's option (engine/work_area.h),
// because the engine writes it into the table header.
#pragma once

#include <cstdint>

namespace orvex {

// Block size of new dBASE IV and FPT memo files (dBASE III files always use
// 512). dBASE IV needs at least 64 (its header reaches offset 36), FPT at
// least 1; CreateMemofile refuses smaller values with error 220.
extern std::uint16_t MemoBlockSize;  // 512
// Most lines GetMemo keeps in the MemoPad; further lines are read and dropped.
extern int MaxMemoLines;  // 1024
// Word wrap of GetMemo: lines of at most MemoLineWidth + 1 characters, single
// line breaks inside a paragraph joined with a blank.
extern bool MemoWordWrap;  // false
extern int MemoLineWidth;  // 78
// Open mode of memo files; -1 = chosen from the table's open (see memo_file.h).
extern int MemoOpenModeOverride;  // -1
// Blocks read by the most recent GetMemo; MainHeaderWrite adds them to the
// counter at offset 32 of dBASE IV files.
extern std::uint32_t MemoBlocksRead;  // 0
// Blocks of dBASE IV memos that the current write moved away from because
// they were too small; MainHeaderWrite adds them to the counter and clears it.
extern std::uint32_t MemoBlocksFreed;  // 0

// Puts every value above back to its start-up value (tests).
void ResetMemoSettings();

}  // namespace orvex
