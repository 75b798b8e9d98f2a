#include "memo/memo_ops.h"

#include <optional>
#include <string_view>

#include "common/errors.h"
#include "engine/field_values.h"
#include "memo/memo_alloc.h"
#include "memo/memo_blocks.h"
#include "memo/memo_file.h"
#include "memo/memo_format.h"
#include "memo/memo_pad.h"
#include "memo/memo_settings.h"

namespace orvex {

namespace {

const std::string kEditTag = "EditMemo/CloseMemo";
const std::string kCopyTag = "[AppendFrom/CopyTo]";

const RecordTranslator* TranslatorOf(const RecordTranslator& translator) {
  return translator ? &translator : nullptr;
}

// Writes `text` as a memo of `area` at the end of its file (or at
// `fixed_block` when not 0); the block number, or 0 after an error.
std::int32_t WriteNewMemo(WorkArea& area, const std::string& text, const std::string& caller,
                          std::int64_t fixed_block, int error, const std::string& tag) {
  MemoState& memo = area.memo;
  MemoWriteScope scope(area);
  const std::int64_t start = LockMemoPadAndSeekEOF(area, caller);
  if (start == 0) return 0;
  const std::int64_t block = fixed_block != 0 ? fixed_block : start / memo.block_size;
  bool headed = false;
  if (!WriteMemoText(memo, block * memo.block_size, text, TranslatorOf(area.write_translator),
                     error, tag, &headed) ||
      !FlushMemo(memo, tag) || !MainHeaderWrite(area)) {
    return 0;
  }
  return static_cast<std::int32_t>(StoredBlockNumber(memo, block, headed));
}

std::int32_t CopyMemoTo(int source_area, std::int32_t block, bool same_block) {
  WorkArea* area = RequireMemo("CopyMemo");
  if (area == nullptr) return 0;
  WorkArea* source =
      source_area >= 1 && source_area <= kWorkAreaSlots ? WorkAreas[source_area].get() : nullptr;
  if (source == nullptr || !source->memo.open) {
    SetError(1019, " No Memo Field " + kCopyTag);
    return 0;
  }
  if (block == 0) return 0;
  MemoReadOptions options;
  options.nul_ends = source->memo.kind == kMemoDbase3;
  options.translator = TranslatorOf(source->read_translator);
  MemoBytes source_memo;
  switch (ReadMemoText(source->memo, block, options, &source_memo, kCopyTag)) {
    case MemoRead::kIoError:
      return 0;
    case MemoRead::kBadAddress:
      SetError(1003, source->memo.name + " Memo block # " + std::to_string(block) + " " + kCopyTag);
      return 0;
    case MemoRead::kDamaged:
      SetError(1003, source->memo.name + " Memo block # " + std::to_string(block) + ": " +
                         source_memo.damage + " " + kCopyTag);
      return 0;
    case MemoRead::kOk:
      break;
  }
  const std::int64_t fixed = same_block ? (block < 0 ? -std::int64_t{block} : block) : 0;
  return WriteNewMemo(*area, source_memo.text, "CopyMemo()", fixed, 1005, kCopyTag);
}

}  // namespace

namespace {

// Reads memo `block` of `area` whole (block 0: nothing); 1003 with the
// record number and `routine` for an address beyond the file or a memo that
// does not end within it.
bool ReadWholeMemo(WorkArea& area, std::int64_t block, MemoBytes* memo_bytes,
                   const std::string& routine) {
  if (block == 0) return true;
  MemoReadOptions options;
  options.translator = TranslatorOf(area.read_translator);
  const std::string tag = "[" + routine + "]";
  switch (ReadMemoText(area.memo, block, options, memo_bytes, tag)) {
    case MemoRead::kIoError:
      return false;
    case MemoRead::kBadAddress:
      SetError(1003, area.memo.name + " Record # " + std::to_string(area.record_number) + " " + tag);
      return false;
    case MemoRead::kDamaged:
      SetError(1003, area.memo.name + " Record # " + std::to_string(area.record_number) + ": " +
                         memo_bytes->damage + " " + tag);
      return false;
    case MemoRead::kOk:
      break;
  }
  return true;
}

}  // namespace

bool GetMemo(std::int32_t block, int line_limit) {
  WorkArea* area = RequireMemo("GetMemo");
  ClearMemoPad();
  MemoBlocksRead = 0;
  if (area == nullptr) return false;
  MemoBytes memo_bytes;
  if (!ReadWholeMemo(*area, block, &memo_bytes, "GetMemo")) return false;
  MemoBlocksRead = memo_bytes.blocks;
  FillMemoPad(memo_bytes.text, line_limit);
  return true;
}

bool ReadMemo(std::int32_t block, std::string* text) {
  text->clear();
  WorkArea* area = RequireMemo("ReadMemo");
  if (area == nullptr) return false;
  MemoBytes memo_bytes;
  if (!ReadWholeMemo(*area, block, &memo_bytes, "ReadMemo")) return false;
  *text = std::move(memo_bytes.text);
  return true;
}

bool ReadFieldMemo(int field, std::string* text) {
  text->clear();
  DbfErrorNo = 0;
  WorkArea* area = RequireTable("ReadMemo");
  if (area == nullptr) return false;
  const FieldDesc* f = field >= 1 && field <= static_cast<int>(area->fields.size())
                           ? &area->fields[static_cast<std::size_t>(field - 1)]
                           : nullptr;
  const bool binary = f != nullptr && HoldsMemoBlock(*area, *f);
  if (f == nullptr || (f->type != 'M' && !binary) || (f->raw && !binary)) {
    SetError(211, "Feld " + std::to_string(field) + " [ReadMemo]");
    return false;
  }
  const std::string_view stored(area->record.data() + f->offset, f->length);
  // Visual FoxPro's block numbers are binary; every other table's are text.
  const std::optional<std::int64_t> block =
      binary ? std::optional<std::int64_t>(MemoBlockOf(*f, area->record.data()))
             : ParseStoredMemoRef(stored);
  if (!block) {
    SetError(1003, area->memo.name + " Record # " + std::to_string(area->record_number) +
                       ": reference is no block number: " + std::string(stored) + " [ReadMemo]");
    return false;
  }
  if (*block == 0) return true;
  if (RequireMemo("ReadMemo") == nullptr) return false;
  MemoBytes memo_bytes;
  if (!ReadWholeMemo(*area, *block, &memo_bytes, "ReadMemo")) return false;
  *text = std::move(memo_bytes.text);
  return true;
}

std::int32_t EditMemoCloseMemo(std::int32_t block) {
  WorkArea* area = RequireMemo(kEditTag);
  if (area == nullptr) return 0;
  MemoState& memo = area->memo;
  const std::string text = MemoPadText();
  ClearMemoPad();
  const std::int64_t size =
      static_cast<std::int64_t>(text.size()) + (memo.kind == kMemoDbase3 ? 1 : 0);
  if (text.empty()) return 0;
  if (size / 1024 >= MemoDiskFree(memo)) {
    SetError(1004, memo.name + " [" + kEditTag + "]");
    return 0;
  }
  if (memo.kind != kMemoDbase4)
    return WriteNewMemo(*area, text, kEditTag, 0, 29, "[" + kEditTag + "]");
  const std::string tag = "[" + kEditTag + "]";
  MemoWriteScope scope(*area);
  const std::int64_t start = LockMemoPadAndSeekEOF(*area, kEditTag);
  if (start == 0) return 0;
  const std::int64_t target = AllocateMemoBlocks(
      *area, start, block, BlocksForText(static_cast<std::uint32_t>(text.size()), memo.block_size),
      tag);
  if (target < 0) return 0;
  bool headed = false;
  if (!WriteMemoText(memo, target * memo.block_size, text, TranslatorOf(area->write_translator), 29,
                     tag, &headed) ||
      !FlushMemo(memo, tag) || !MainHeaderWrite(*area)) {
    return 0;
  }
  return static_cast<std::int32_t>(target);
}

std::int32_t AddMemo(const std::string& text) {
  const std::size_t end = text.find_last_not_of(' ');
  return StoreMemo(end == std::string::npos ? std::string() : text.substr(0, end + 1));
}

std::int32_t StoreMemo(const std::string& text) {
  WorkArea* area = RequireMemo("AddMemo");
  if (area == nullptr || text.empty()) return 0;
  return WriteNewMemo(*area, text, "AddMemo()", 0, 0, "[AddMemo]");
}

std::int32_t CopyMemo(int source_area, std::int32_t block) {
  return CopyMemoTo(source_area, block, false);
}

std::int32_t CopyMemoToSameBlock(int source_area, std::int32_t block) {
  return CopyMemoTo(source_area, block, true);
}

}  // namespace orvex
