#include "memo/memo_file.h"

#include <algorithm>
#include <chrono>
#include <thread>
#include <vector>

#include "common/errors.h"
#include "common/file_replace.h"
#include "common/file_utils.h"
#include "common/names.h"
#include "memo/memo_format.h"
#include "memo/memo_pack_journal.h"
#include "memo/memo_settings.h"
#include "platform/os/files.h"

namespace orvex {

namespace {

constexpr std::uint64_t kLockOffset = 10;
constexpr int kLockAttempts = 11;
// Pauses between two lock attempts: 5 ms, doubling up to 500 ms, some two
// seconds in all. Another program holds the lock while it writes one memo
// and flushes the file, which a busy disk can stretch to a good part of a
// second.
constexpr std::chrono::milliseconds kFirstLockPause{5};
constexpr std::chrono::milliseconds kLongestLockPause{500};
constexpr std::uint16_t kMinDbase4BlockSize = 64;

// The open mode of a table's memo file (see OpenMemofile).
int MemoOpenMode(const WorkArea& area) {
  if (MemoOpenModeOverride != -1) return MemoOpenModeOverride;
  const bool shared = NetworkLocking && !area.exclusive;
  if ((area.open_mode & 0x0F) == os::kOpenRead) {
    return shared ? os::kOpenReadDenyNone : os::kOpenRead;
  }
  return shared ? os::kOpenReadWriteDenyNone : os::kOpenReadWrite;
}

bool NeedsWriteLock(const WorkArea& area) { return NetworkLocking && !area.exclusive; }

}  // namespace

WorkArea* RequireMemo(const std::string& operation) {
  DbfErrorNo = 0;
  WorkArea* area = RequireTable(operation.c_str());
  if (area == nullptr) return nullptr;
  if (area->memo.missing) {
    SetError(os::kErrFileNotFound,
             "Memo-Datei nicht gefunden: " + area->memo.name + " [" + operation + "]");
    return nullptr;
  }
  if (!area->memo.open) {
    SetError(1019, " No Memo Field [" + operation + "]");
    return nullptr;
  }
  return area;
}

std::uint8_t GetMemoType() {
  const WorkArea* area = CurrentWorkArea();
  if (area != nullptr && area->memo.open) return area->memo.kind;
  const std::uint8_t default_kind = MemoKindOfVersion(MemoVersionByte, MemoVersionByte);
  return area != nullptr ? MemoKindOfVersion(area->header[0], default_kind) : default_kind;
}

std::string MemoFileName(const std::string& table_name, std::uint8_t kind) {
  return ForceExt(table_name, ExtLike(table_name, MemoExtension(kind)));
}

bool CreateMemofile(const std::string& table_name, const std::string& routine) {
  const std::uint8_t kind = MemoKindOfVersion(MemoVersionByte, MemoVersionByte);
  const std::string name = MemoFileName(table_name, kind);
  const std::uint16_t block_size = kind == kMemoDbase3 ? kDbase3BlockSize : MemoBlockSize;
  if (block_size == 0 || (kind == kMemoDbase4 && block_size < kMinDbase4BlockSize)) {
    SetError(220, "MemoBlockSize=" + std::to_string(block_size) + " Cannot create memo file " +
                      name + " [" + routine + "]");
    return false;
  }
  const std::string header = NewMemoHeader(kind, block_size, NameAsText(SplitName(name).name));
  // Written under a temporary name and renamed over an existing memo file in
  // one step: a program killed meanwhile leaves the old file or the new one.
  const std::string temp = ForceExt(name, "$CM");
  int error = 0;
  const os::Handle file = os::CreateFile(temp, os::kOpenReadWriteExclusive, &error);
  if (file != os::kNoHandle) {
    error = os::WriteFile(file, header.data(), header.size());
    if (error == 0) {
      error = ReplaceWithWrittenFile(file, temp, name);
    } else {
      os::CloseFile(file);
      os::DeleteFile(temp);
    }
  }
  if (error != 0) {
    SetError(error, "Cannot create memo file " + name + " [" + routine + "]");
    return false;
  }
  return true;
}

bool OpenMemoNamed(WorkArea& area, const std::string& name, std::uint8_t kind,
                   const std::string& routine) {
  MemoState& memo = area.memo;
  memo = MemoState{};
  int error = 0;
  const os::Handle file = os::OpenFile(name, MemoOpenMode(area), &error);
  if (file == os::kNoHandle) {
    SetError(error, "Memo-Datei nicht gefunden: " + name + " [" + routine + "]");
    return false;
  }
  char header[24] = {};
  std::size_t got = 0;
  if (os::ReadAt(file, 0, header, sizeof header, &got) != 0) got = 0;
  memo.open = true;
  memo.file = file;
  memo.name = name;
  memo.kind = kind;
  memo.block_size = BlockSizeFromHeader(kind, std::string_view(header, got));
  return true;
}

void OpenMemofile(const std::string& table_name) {
  WorkArea* area = RequireTable("USE");
  if (area == nullptr) return;
  const std::uint8_t kind = GetMemoType();
  const std::string name = table_name + "." + ExtLike(area->file_name, MemoExtension(kind));
  if (area->memo.open) {
    SetError(1007, name + " [USE]");
    return;
  }
  if (!RecoverInterruptedPack(*area, name, "USE")) return;
  // Visual FoxPro tables whose memo file is gone still show their other
  // fields (their memo fields hold binary block numbers that nothing else
  // reads); dBASE tables without theirs stay refused.
  if (area->visual_foxpro && !os::FileExists(name)) {
    area->memo = MemoState{};
    area->memo.name = name;
    area->memo.missing = true;
    return;
  }
  OpenMemoNamed(*area, name, kind, "USE");
}

void CloseMemofile() {
  // Part of closing a table: an error the close met before stays reported.
  WorkArea* area = CurrentWorkArea();
  if (area == nullptr || !area->memo.open) return;
  const std::string name = area->memo.name;
  const int error = os::CloseFile(area->memo.file);
  area->memo = MemoState{};
  if (error != 0) SetError(error, name + " [CloseMemofile]");
}

void RecreateMemofile(const std::string& table_name) {
  WorkArea* area = RequireMemo("RecreateMemofile");
  if (area == nullptr) return;
  const NameParts parts = SplitName(table_name);
  const std::string base = parts.dir + parts.name;
  CloseMemofile();
  if (DbfErrorNo != 0) return;
  if (!CreateMemofile(base, "RecreateMemofile")) return;
  OpenMemofile(base);
}

std::int32_t MemoDiskFree(const MemoState& memo) { return DiskFree(SplitName(memo.name).dir); }

std::int64_t MemoFileSize(MemoState& memo, const std::string& tag) {
  int error = 0;
  const std::int64_t size = os::FileSize(memo.file, &error);
  if (size < 0) SetError(error, memo.name + " " + tag);
  return size;
}

bool ReadMemoBytes(MemoState& memo, std::int64_t offset, void* buffer, std::size_t count,
                   std::size_t* done, const std::string& tag) {
  const int error = os::ReadAt(memo.file, offset, buffer, count, done);
  if (error != 0) {
    SetError(error, memo.name + " " + tag);
    return false;
  }
  return true;
}

bool WriteMemoBytes(MemoState& memo, std::int64_t offset, const void* buffer, std::size_t count,
                    int error, const std::string& tag) {
  const int result = os::WriteAtUndoable(memo.file, offset, buffer, count);
  if (result != 0) {
    SetError(error != 0 ? error : result, memo.name + " " + tag);
    return false;
  }
  return true;
}

bool LockMemo(WorkArea& area) {
  if (area.memo.locked || !NeedsWriteLock(area)) return true;
  std::chrono::milliseconds pause = kFirstLockPause;
  for (int attempt = 1; attempt <= kLockAttempts; ++attempt) {
    const int error = os::LockFile(area.memo.file, kLockOffset, 1);
    if (error == 0) {
      area.memo.locked = true;
      return true;
    }
    // Only another program's lock is worth waiting for.
    if (error != os::kErrLockViolation || attempt == kLockAttempts) break;
    std::this_thread::sleep_for(pause);
    pause = std::min(pause * 2, kLongestLockPause);
  }
  return false;
}

bool UnlockMemo(WorkArea& area) {
  if (!area.memo.locked) return true;
  area.memo.locked = false;
  return os::UnlockFile(area.memo.file, kLockOffset, 1) == 0;
}

MemoWriteScope::~MemoWriteScope() { UnlockMemo(area_); }

std::int64_t LockMemoPadAndSeekEOF(WorkArea& area, const std::string& caller) {
  MemoState& memo = area.memo;
  if (!LockMemo(area)) {
    SetError(1017, memo.name + " [LockMemoPadAndSeekEOF]" + caller + "]");
    return 0;
  }
  const std::string tag = "[LockMemoPadAndSeekEOF]";
  const std::int64_t size = MemoFileSize(memo, tag);
  if (size < 0) return 0;
  if (size == kDbase3FreshSize && memo.kind == kMemoDbase3) return kDbase3FreshSize;
  const std::int64_t rest = size % memo.block_size;
  if (rest == 0) return size;
  const std::vector<char> zeros(static_cast<std::size_t>(memo.block_size - rest), '\0');
  if (!WriteMemoBytes(memo, size, zeros.data(), zeros.size(), 0, tag)) return 0;
  return size + static_cast<std::int64_t>(zeros.size());
}

bool MainHeaderWrite(WorkArea& area) {
  MemoState& memo = area.memo;
  const std::string tag = "[MainHeaderWrite()]";
  const std::int64_t size = MemoFileSize(memo, tag);
  if (size < 0) return false;
  unsigned char field[4];
  EncodeNextFree(memo.kind,
                 static_cast<std::uint32_t>((size + memo.block_size - 1) / memo.block_size), field);
  if (!WriteMemoBytes(memo, 0, field, sizeof field, 29, tag)) return false;
  // The counter must stay inside block 0: smaller blocks hold memo text there.
  const std::uint32_t increase = MemoBlocksRead + MemoBlocksFreed;
  MemoBlocksFreed = 0;
  if (memo.kind == kMemoDbase4 && memo.block_size >= kDbase4CounterOffset + 4 && increase != 0) {
    unsigned char counter[4] = {};
    std::size_t got = 0;
    if (!ReadMemoBytes(memo, kDbase4CounterOffset, counter, sizeof counter, &got, tag))
      return false;
    PutLe32(counter, GetLe32(counter) + increase);
    if (!WriteMemoBytes(memo, kDbase4CounterOffset, counter, sizeof counter, 29, tag)) return false;
  }
  if (!UnlockMemo(area)) {
    SetError(1018, memo.name + " " + tag);
    return false;
  }
  return true;
}

bool WriteGroupHeader(MemoState& memo, std::int64_t offset, std::uint32_t text_length,
                      const std::string& tag) {
  unsigned char header[kBlockHeaderSize];
  EncodeBlockHeader(memo.kind, text_length, header);
  return WriteMemoBytes(memo, offset, header, sizeof header, 29, tag);
}

std::int64_t ReadGroupHeader(MemoState& memo, std::uint32_t block, const std::string& tag) {
  unsigned char header[kBlockHeaderSize];
  std::size_t got = 0;
  const std::int64_t offset = std::int64_t{block} * memo.block_size;
  if (os::ReadAt(memo.file, offset, header, sizeof header, &got) != 0 || got != sizeof header) {
    SetError(30, memo.name + " " + tag);
    return -1;
  }
  if (memo.kind == kMemoFpt) return 0;
  const std::optional<std::uint32_t> length = DecodeBlockHeader(memo.kind, header);
  return length ? *length / memo.block_size + 1 : 0;
}

}  // namespace orvex
