// Block allocation in dBASE IV memo files: rewriting a memo in its old
// blocks when it fits, reusing a group of the free-block chain, or going to
// the end of the file; and recording blocks that a rewrite gives up in the
// chain.
//
// The chain starts at the header's next-free field and lists free groups in
// ascending block order; the first block of a group holds the next group's
// block number and the group's size in blocks (32-bit LE each). The last
// group's next field is the number of blocks in the file. Since every write
// ends with MainHeaderWrite, which sets next-free to the block count, a chain
// written here lasts only while one write runs; chains in files made by other
// programs are used as found.
#pragma once

#include <cstdint>
#include <string>

#include "engine/work_area.h"

namespace orvex {

// The first block for a memo of `needed` blocks in the open dBASE IV memo
// file of `area`, whose size is `file_size` (a whole number of blocks, as
// LockMemoPadAndSeekEOF leaves it). `old_block` is the record's current memo
// (0 = none); `needed` 0 means the length is not known yet (a BLOB being
// written), which never reuses blocks. Rules:
//  1. the old memo, when it has a block header and spans at least `needed`
//     blocks, is rewritten in place and its surplus blocks are freed; an old
//     memo that is too small is freed and its blocks count in
//     MemoBlocksFreed;
//  2. else the first chain group of at least `needed` blocks is used (its
//     surplus freed); the walk stops after 100 groups, at a next field at or
//     beyond the block count, or at one whose low 16 bits are 0xFFFF;
//  3. else the end of the file, and the last visited chain entry (the
//     header when the chain is empty or too long) points behind the new memo.
// Returns -1 after reporting an I/O error with `tag`.
std::int64_t AllocateMemoBlocks(WorkArea& area, std::int64_t file_size, std::int64_t old_block,
                                std::uint32_t needed, const std::string& tag);

// Records blocks first .. first + count - 1 as a free group in the chain, in
// ascending order (nothing when the chain is empty). False after reporting an
// I/O error with `tag`.
bool FreeMemoBlocks(MemoState& memo, std::uint32_t block_count, std::uint32_t first,
                    std::uint32_t count, const std::string& tag);

}  // namespace orvex
