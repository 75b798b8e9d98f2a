// Reading and writing one memo's bytes in the layout of its file: the text
// behind an 8-byte block header, or a headerless text ended by 0x1A. Shared
// by the memo operations, the copy between tables and the packer.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/work_area.h"

namespace orvex {

enum class MemoRead {
  kOk,
  kBadAddress,  // the block lies at or beyond the file size - 1 (nothing reported)
  kDamaged,     // the memo does not end within the file (nothing reported;
                // MemoBytes::damage says how)
  kIoError,     // reported with the caller's tag
};

struct MemoReadOptions {
  // A NUL byte ends a headerless memo like 0x1A (copying from dBASE III).
  bool nul_ends = false;
  // Applied to the text, in pieces of at most 512 bytes, when set.
  const RecordTranslator* translator = nullptr;
};

// One memo as read.
struct MemoBytes {
  std::string text;
  std::uint32_t blocks = 0;  // blocks its bytes touch
  std::string damage;        // for kDamaged: what is wrong, for the report
};

// Reads the memo starting at block |block|. A block header (always in FPT;
// FF FF 08 00 in other kinds) gives the length; otherwise the text runs to
// the first 0x1A (or NUL, see options). A memo is read only within the file:
// a length beyond its end, or a text whose end marker the file does not
// hold (a file cut short), is kDamaged, never the bytes of other memos or a
// part of the text.
MemoRead ReadMemoText(MemoState& memo, std::int64_t block, const MemoReadOptions& options,
                      MemoBytes* memo_bytes, const std::string& tag);

// Writes `text` as a memo at `offset` in the layout of the file's kind: FPT and
// dBASE IV with their block header; dBASE III followed by 0x1A and zero bytes
// up to the end of its last block, unless the text itself holds a 0x1A, which
// would end it early: then it gets the block header too (*headed is set; the
// caller stores the block number negated). `translator`, when set, is applied
// to a copy of the text in pieces of at most 512 bytes. A failure is reported
// as `error` (the I/O error's own number when 0) with `tag`.
bool WriteMemoText(MemoState& memo, std::int64_t offset, std::string_view text,
                   const RecordTranslator* translator, int error, const std::string& tag,
                   bool* headed);

// The M field number of a memo written at `block`: negated when a dBASE III
// file got a memo with block header.
std::int64_t StoredBlockNumber(const MemoState& memo, std::int64_t block, bool headed);

// Applies a translator to `text` in pieces of at most 512 bytes.
void TranslatePieces(const RecordTranslator& translator, char* text, std::size_t length);

// Flushes the memo file; failure reported with "<name> <tag>".
bool FlushMemo(MemoState& memo, const std::string& tag);

}  // namespace orvex
