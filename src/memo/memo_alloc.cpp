#include "memo/memo_alloc.h"

#include <cstdlib>

#include "memo/memo_file.h"
#include "memo/memo_format.h"
#include "memo/memo_settings.h"

namespace orvex {

namespace {

constexpr int kMaxChainSteps = 100;

bool IsUsedBlockMark(std::uint32_t next) { return (next & 0xFFFF) == 0xFFFF; }

// The (next, size) pair at the start of `block`; block 0 is the header, whose
// first field is the chain's head.
bool ReadChainEntry(MemoState& memo, std::uint32_t block, std::uint32_t* next, std::uint32_t* size,
                    const std::string& tag) {
  unsigned char entry[8] = {};
  std::size_t got = 0;
  if (!ReadMemoBytes(memo, std::int64_t{block} * memo.block_size, entry, sizeof entry, &got, tag)) {
    return false;
  }
  *next = GetLe32(entry);
  *size = GetLe32(entry + 4);
  return true;
}

bool WriteNextField(MemoState& memo, std::uint32_t block, std::uint32_t next,
                    const std::string& tag) {
  unsigned char field[4];
  PutLe32(field, next);
  return WriteMemoBytes(memo, std::int64_t{block} * memo.block_size, field, sizeof field, 29, tag);
}

}  // namespace

bool FreeMemoBlocks(MemoState& memo, std::uint32_t block_count, std::uint32_t first,
                    std::uint32_t count, const std::string& tag) {
  if (count == 0) return true;
  std::uint32_t head = 0;
  std::uint32_t unused = 0;
  if (!ReadChainEntry(memo, 0, &head, &unused, tag)) return false;
  if (head == block_count) return true;  // empty chain: nothing is recorded
  std::uint32_t prev = 0;
  std::uint32_t cur = head;
  for (int steps = 0; steps < kMaxChainSteps && cur != 0 && cur < first && cur < block_count;
       ++steps) {
    std::uint32_t next = 0;
    if (!ReadChainEntry(memo, cur, &next, &unused, tag)) return false;
    if (IsUsedBlockMark(next)) break;
    prev = cur;
    cur = next;
  }
  unsigned char entry[8];
  PutLe32(entry, cur);
  PutLe32(entry + 4, count);
  return WriteMemoBytes(memo, std::int64_t{first} * memo.block_size, entry, sizeof entry, 29,
                        tag) &&
         WriteNextField(memo, prev, first, tag);
}

std::int64_t AllocateMemoBlocks(WorkArea& area, std::int64_t file_size, std::int64_t old_block,
                                std::uint32_t needed, const std::string& tag) {
  MemoState& memo = area.memo;
  const auto block_count = static_cast<std::uint32_t>(file_size / memo.block_size);
  const std::int64_t old = std::llabs(old_block);
  if (old != 0 && old * memo.block_size + std::int64_t{kBlockHeaderSize} <= file_size) {
    const std::int64_t spans = ReadGroupHeader(memo, static_cast<std::uint32_t>(old), tag);
    if (spans < 0) return -1;
    const auto old_first = static_cast<std::uint32_t>(old);
    const auto old_count = static_cast<std::uint32_t>(spans);
    if (needed != 0 && old_count >= needed) {
      if (!FreeMemoBlocks(memo, block_count, old_first + needed, old_count - needed, tag))
        return -1;
      return old;
    }
    if (old_count != 0) {
      MemoBlocksFreed += old_count;
      if (!FreeMemoBlocks(memo, block_count, old_first, old_count, tag)) return -1;
    }
  }
  std::uint32_t prev = 0;
  std::uint32_t cur = 0;
  std::uint32_t size = 0;
  if (!ReadChainEntry(memo, 0, &cur, &size, tag)) return -1;
  bool too_long = false;
  for (int steps = 0; needed != 0 && cur != 0 && cur < block_count; ++steps) {
    if (steps == kMaxChainSteps) {
      too_long = true;
      break;
    }
    std::uint32_t next = 0;
    if (!ReadChainEntry(memo, cur, &next, &size, tag)) return -1;
    if (IsUsedBlockMark(next)) break;
    if (size >= needed) {
      if (!FreeMemoBlocks(memo, block_count, cur + needed, size - needed, tag)) return -1;
      return cur;
    }
    prev = cur;
    cur = next;
  }
  if (!WriteNextField(memo, too_long ? 0 : prev, block_count + needed, tag)) return -1;
  return block_count;
}

}  // namespace orvex
