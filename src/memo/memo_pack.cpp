#include "memo/memo_pack.h"

#include <vector>

#include "common/errors.h"
#include "common/file_utils.h"
#include "common/names.h"
#include "engine/entry_points.h"
#include "engine/record_io.h"
#include "engine/record_pack.h"
#include "memo/memo_blocks.h"
#include "memo/memo_file.h"
#include "memo/memo_format.h"
#include "memo/memo_pack_journal.h"
#include "platform/os/files.h"

namespace orvex {

namespace {

const std::string kPackTag = "[PackMemofile]";
constexpr std::size_t kMemoFieldLength = 10;

// The "$$$" file being built; removed unless the pack commits it.
struct PackTarget {
  MemoState memo;
  bool keep = false;
  ~PackTarget() {
    if (memo.file != os::kNoHandle) os::CloseFile(memo.file);
    if (!keep && !memo.name.empty()) os::DeleteFile(memo.name);
  }
};

bool IsMemoField(const FieldDesc& field) {
  return field.type == 'M' || field.type == 'B' || field.type == 'G' || field.type == 'P';
}

bool CreateTarget(WorkArea& area, PackTarget* target) {
  MemoState& memo = area.memo;
  const std::string name = PackTempName(memo.name);
  std::string header =
      NewMemoHeader(memo.kind, memo.block_size, NameAsText(SplitName(area.file_name).name));
  if (memo.kind == kMemoDbase4) {
    // The name field goes over as the old file has it.
    char old_header[16] = {};
    std::size_t got = 0;
    if (!ReadMemoBytes(memo, 0, old_header, sizeof old_header, &got, kPackTag)) return false;
    if (got == sizeof old_header) header.replace(8, 8, old_header + 8, 8);
  }
  int error = 0;
  const os::Handle file = os::CreateFile(name, os::kOpenReadWriteExclusive, &error);
  if (file == os::kNoHandle) {
    SetError(error, "Cannot create memo file " + name + " " + kPackTag);
    return false;
  }
  target->memo.file = file;
  target->memo.name = name;
  target->memo.kind = memo.kind;
  target->memo.block_size = memo.block_size;
  target->memo.open = true;
  return WriteMemoBytes(target->memo, 0, header.data(), header.size(), 0, kPackTag);
}

// Copies every referenced memo to the target, collecting the field rewrites.
bool CopyReferencedMemos(WorkArea& area, MemoState& target, std::vector<FieldUpdate>* updates) {
  std::vector<char> record(area.record_length);
  for (std::int32_t n = 1; n <= area.record_count; ++n) {
    const std::int64_t offset = area.header_length + std::int64_t{n - 1} * area.record_length;
    std::size_t got = 0;
    const int error = os::ReadAt(area.file, offset, record.data(), record.size(), &got);
    if (error != 0 || got != record.size()) {
      SetError(error != 0 ? error : 213, "Datei:  " + area.file_name + " " + kPackTag);
      return false;
    }
    for (const FieldDesc& field : area.fields) {
      if (!IsMemoField(field)) continue;
      const std::string text(record.data() + field.offset, field.length);
      const std::int64_t block = ParseMemoRef(text);
      if (block == 0) continue;
      const std::int64_t packed = PackMemo(area.memo, target, block, n);
      if (packed < 0) return false;
      updates->push_back({offset + field.offset, text, FormatMemoRef(packed, field.length)});
    }
  }
  unsigned char next_free[4];
  const std::int64_t size = MemoFileSize(target, kPackTag);
  if (size < 0) return false;
  EncodeNextFree(target.kind,
                 static_cast<std::uint32_t>((size + target.block_size - 1) / target.block_size),
                 next_free);
  if (!WriteMemoBytes(target, 0, next_free, sizeof next_free, 29, kPackTag) ||
      !FlushMemo(target, kPackTag)) {
    return false;
  }
  const int close_error = os::CloseFile(target.file);
  target.file = os::kNoHandle;
  if (close_error != 0) {
    SetError(29, target.name + " " + kPackTag);
    return false;
  }
  return true;
}

}  // namespace

std::int64_t PackMemo(MemoState& source, MemoState& target, std::int64_t block,
                      std::int32_t record) {
  const std::string tag = "[PackMemo]";
  std::int64_t size = MemoFileSize(target, tag);
  if (size < 0) return -1;
  if (target.kind == kMemoDbase3 && size == kDbase3FreshSize) size = kDbase3BlockSize;
  const std::int64_t rest = size % target.block_size;
  if (rest != 0) {
    const std::vector<char> zeros(static_cast<std::size_t>(target.block_size - rest), '\0');
    if (!WriteMemoBytes(target, size, zeros.data(), zeros.size(), 1005, tag)) return -1;
    size += static_cast<std::int64_t>(zeros.size());
  }
  const std::int64_t new_block = size / target.block_size;
  MemoReadOptions options;
  options.nul_ends = source.kind == kMemoDbase3;
  MemoBytes memo;
  switch (ReadMemoText(source, block, options, &memo, tag)) {
    case MemoRead::kIoError:
      return -1;
    case MemoRead::kBadAddress:
      SetError(1003, source.name + " Memo block # " + std::to_string(block) + " Record # " +
                         std::to_string(record) + " " + tag);
      return 0;
    case MemoRead::kDamaged:
      // Nothing is packed: the damaged memo keeps its bytes where they are.
      SetError(1003, source.name + " Memo block # " + std::to_string(block) + " Record # " +
                         std::to_string(record) + ": " + memo.damage + " " + tag);
      return -1;
    case MemoRead::kOk:
      break;
  }
  bool headed = false;
  if (!WriteMemoText(target, new_block * target.block_size, memo.text, nullptr, 1005, tag,
                     &headed)) {
    return -1;
  }
  return StoredBlockNumber(target, new_block, headed);
}

void PackMemofile() {
  WorkArea* area = RequireMemo("PackMemofile");
  if (area == nullptr) return;
  MemoState& memo = area->memo;
  if (NetworkLocking && !area->exclusive) {
    SetError(225, memo.name + " " + kPackTag);
    return;
  }
  for (const FieldDesc& field : area->fields) {
    if (IsMemoField(field) && field.length != kMemoFieldLength) {
      SetError(1019, area->file_name + " " + field.name + " " + kPackTag);
      return;
    }
  }
  const std::int64_t size = MemoFileSize(memo, kPackTag);
  if (size < 0) return;
  // The new file is at most as large as the old one.
  if (MemoDiskFree(memo) < size / 1024) {
    SetError(1012, memo.name + " " + kPackTag);
    return;
  }
  PackTarget target;
  std::vector<FieldUpdate> updates;
  if (!CreateTarget(*area, &target) || !CopyReferencedMemos(*area, target.memo, &updates) ||
      !WritePackJournal(memo.name, updates)) {
    return;
  }
  // From here on the journal lets the next open undo or finish what a killed
  // program left (memo_pack_journal.h). In this program a failure rolls the
  // fields back at once; when even that fails, the new file and the journal
  // stay for the next open to roll back.
  const std::string name = memo.name;
  const std::string disk_name = os::ResolvePath(memo.name);
  const std::uint8_t kind = memo.kind;
  if (!updates.empty() && area->status == TableStatus::kClean) {
    area->status = TableStatus::kRecordWritten;
  }
  InvalidateReadAhead(*area);
  int error = WriteFieldTexts(area->file, updates, true);
  std::string failed = area->file_name;
  if (error == 0) {
    os::CloseFile(memo.file);
    memo = MemoState{};
    error = os::ReplaceFile(target.memo.name, disk_name);
    failed = name;
    target.keep = error == 0;
  }
  if (error != 0) {
    const bool rolled_back = WriteFieldTexts(area->file, updates, false) == 0;
    InvalidateReadAhead(*area);
    target.keep = !rolled_back;
    if (rolled_back) os::DeleteFile(PackJournalName(name));
    if (!memo.open) OpenMemoNamed(*area, name, kind, "PackMemofile");
    SetError(error, failed + " " + kPackTag);
    return;
  }
  // The pack is complete; the journal only has to go.
  if (os::FlushDirectory(disk_name) == 0) os::DeleteFile(PackJournalName(name));
  if (!OpenMemoNamed(*area, name, kind, "PackMemofile")) return;
  if (area->record_number >= 1 && area->record_number <= area->record_count &&
      GetDbfRecord(*area, area->record_number)) {
    UnpackRecord(*area);
    if (RecordCache.record_written) RecordCache.record_written(*area);
  }
}

}  // namespace orvex
