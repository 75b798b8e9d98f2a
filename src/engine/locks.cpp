// Byte-range locks between programs sharing a table.
#include "engine/locks.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "common/errors.h"
#include "engine/engine_text.h"
#include "engine/record_io.h"
#include "platform/os/system.h"

namespace orvex {

std::uint64_t LockBase = 0x40000000;
std::uint64_t TableLockLength = 0x3FFFFFFF;
std::uint16_t MaxRecordLocks = 0;
int LockRetries = 0;
int LockRetryDelay = 0;
std::function<bool()> LockFailedHook;
int LastLockError = 0;

namespace {

// OS locks are taken only for shared tables with NetworkLocking on.
bool UsesOsLocks(const WorkArea& area) { return NetworkLocking && !area.exclusive; }

std::uint64_t RecordLockOffset(const WorkArea& area, std::int32_t n) {
  return LockBase + area.header_length +
         static_cast<std::uint64_t>(static_cast<std::int64_t>(n) - 1) * area.record_length;
}

constexpr std::uint32_t kFirstPauseMs = 1;
constexpr std::uint32_t kLongestPauseMs = 50;

// Waits `seconds` before a retry, dispatching messages between short
// sleeps that grow from 1 to 50 ms (the processor stays free, the user
// interface responsive); ends early when the tick counter wraps. A wait of
// 0 seconds still pauses 1 ms, so that a retry loop never spins.
void WaitDispatching(int seconds) {
  std::uint32_t start = os::GetTickCount();
  std::uint32_t until = start + static_cast<std::uint32_t>(std::max(seconds, 0)) * 1000u;
  if (until < start) return;
  std::uint32_t pause = kFirstPauseMs;
  for (;;) {
    os::ProcessMessages();
    std::uint32_t now = os::GetTickCount();
    if (now < start || (now >= until && seconds > 0)) return;
    std::uint32_t left = seconds > 0 ? until - now : pause;
    std::this_thread::sleep_for(std::chrono::milliseconds(std::min(pause, left)));
    if (seconds <= 0) return;
    pause = std::min(pause * 2, kLongestPauseMs);
  }
}

// Releases one entry of the lock list; returns the unlock error.
int ReleaseEntry(WorkArea& area, std::size_t index) {
  std::int32_t n = area.lock_list[index];
  area.lock_list.erase(area.lock_list.begin() + static_cast<std::ptrdiff_t>(index));
  int err = UsesOsLocks(area) ? LockRange(area.file, false, RecordLockOffset(area, n), area.record_length) : 0;
  if (area.lock_count > 0) --area.lock_count;
  if (area.lock_count == 0) area.lock_state = LockState::kNone;
  return err;
}

}  // namespace

int LockRange(os::Handle file, bool lock, std::uint64_t offset, std::uint64_t length) {
  if (!NetworkLocking) return 0;
  int err = lock ? os::LockFile(file, offset, length) : os::UnlockFile(file, offset, length);
  if (err != 0) LastLockError = err;
  return err;
}

bool LockWithRetries(os::Handle file, std::uint64_t offset, std::uint64_t length) {
  int attempt = 0;
  do {
    if (LockRange(file, true, offset, length) == 0) return true;
    if (attempt < LockRetries) WaitDispatching(LockRetryDelay);
    ++attempt;
    if (attempt > LockRetries && LockFailedHook && LockFailedHook()) {
      attempt = 0;
      WaitDispatching(0);  // the hook asked for more: still no spinning
    }
  } while (attempt <= LockRetries);
  return false;
}

bool LockDatabaseByte() {
  WorkArea* area = RequireTable("LockDatabase");
  if (area == nullptr) return false;
  if (!NetworkLocking) return true;
  return LockWithRetries(area->file, LockBase, 1);
}

void UnlockDatabaseByte() {
  WorkArea* area = RequireTable("UnlockDatabase");
  if (area == nullptr) return;
  int err = LockRange(area->file, false, LockBase, 1);
  if (err != 0) {
    SetError(err, "Fehler beim Entsperren der Datei " + area->file_name + " in Bereich " +
                      std::to_string(CurrentArea));
  }
}

bool ALock() {
  WorkArea* area = RequireTable("ALock");
  if (area == nullptr) return false;
  if (area->is_virtual) {
    SetError(1100, " [ALock]");
    return false;
  }
  if (area->lock_state == LockState::kAppend) return true;
  if (area->lock_state != LockState::kNone) return false;
  if (UsesOsLocks(*area) && !LockWithRetries(area->file, LockBase + 1, 1)) return false;
  area->lock_state = LockState::kAppend;
  RefreshRecCount(*area);  // what others appended before the lock counts now
  return true;
}

bool RLock() {
  WorkArea* area = RequireTable("RLock");
  if (area == nullptr) return false;
  if (area->is_virtual) {
    SetError(1100, " [RLock]");
    return false;
  }
  if (MaxRecordLocks != 0 && area->lock_count >= MaxRecordLocks) {
    SetError(212, Ansi("Anzahl der gesperrten Datensätze zu groß [RLock]"));
    return false;
  }
  std::int32_t n = area->record_number;
  // Only records of the table and the phantom record behind them can be
  // locked: record 0 of an empty table would lock the bytes at LockBase
  // that ALock and the database lock use.
  if (n < 1 || n > area->record_count + 1) return false;
  bool listed = std::find(area->lock_list.begin(), area->lock_list.end(), n) != area->lock_list.end();
  if (area->lock_state == LockState::kRecords && listed) return true;
  if (area->lock_state == LockState::kTable || area->lock_state == LockState::kAppend) return false;
  std::uint64_t offset = RecordLockOffset(*area, n);
  if (UsesOsLocks(*area) && !LockWithRetries(area->file, offset, area->record_length)) return false;
  if (FreeMemory() < 10) {
    if (UsesOsLocks(*area)) LockRange(area->file, false, offset, area->record_length);
    SetError(217, "[RLock]");
    return false;
  }
  area->lock_list.push_back(n);
  area->lock_state = LockState::kRecords;
  ++area->lock_count;
  RefreshRecCount(*area);  // what others appended before the lock counts now
  return true;
}

bool IsLocked(std::int32_t n) {
  WorkArea* area = RequireTable("IsLocked");
  if (area == nullptr) return false;
  if (area->is_virtual) {
    SetError(1100, "[IsLocked]");
    return false;
  }
  if (area->lock_state == LockState::kTable) return true;
  return std::find(area->lock_list.begin(), area->lock_list.end(), n) != area->lock_list.end();
}

bool UnlockRec(std::int32_t n) {
  WorkArea* area = CurrentWorkArea();
  if (area == nullptr) return true;
  DbfErrorNo = 0;
  auto refuse = [](const std::string& detail) {
    DbfErrorNo = 220;
    ErrorDetail = detail;
    return false;
  };
  std::string call = "[UnlockRec(" + std::to_string(n) + ")]";
  if (n == 0 || n < -3) return refuse(call);
  int err = 0;
  if (n >= 1) {
    // The newest entry for the record: the list is kept oldest first.
    auto it = std::find(area->lock_list.rbegin(), area->lock_list.rend(), n);
    if (it == area->lock_list.rend()) return refuse("Record not locked. " + call);
    err = ReleaseEntry(*area, static_cast<std::size_t>(area->lock_list.rend() - it - 1));
  } else if (!area->lock_list.empty()) {
    if (n == -1) {
      err = ReleaseEntry(*area, 0);
    } else if (n == -2) {
      err = ReleaseEntry(*area, area->lock_list.size() - 1);
    } else {
      while (!area->lock_list.empty()) {
        int e = ReleaseEntry(*area, area->lock_list.size() - 1);
        if (e != 0) err = e;
      }
    }
  }
  DbfErrorNo = static_cast<std::uint16_t>(err);
  return err == 0;
}

void Unlock() {
  WorkArea* area = CurrentWorkArea();
  if (area == nullptr || area->is_virtual || area->lock_state == LockState::kNone) return;
  switch (area->lock_state) {
    case LockState::kRecords:
      UnlockRec(-3);
      break;
    case LockState::kTable:
      if (UsesOsLocks(*area)) LockRange(area->file, false, LockBase + 1, TableLockLength);
      break;
    case LockState::kAppend:
      if (UsesOsLocks(*area)) LockRange(area->file, false, LockBase + 1, 1);
      break;
    case LockState::kNone:
      break;
  }
  area->lock_list.clear();
  area->lock_count = 0;
  area->lock_state = LockState::kNone;
}

int ReopenShared(bool exclusive) {
  WorkArea* area = RequireTable("ReopenShared");
  if (area == nullptr) return 215;
  if (area->is_virtual) return 1100;
  if (area->opened_exclusive && !area->reopened_exclusive) return 5;
  // Locks belong to the open file and go with it.
  Unlock();
  std::uint8_t mode = static_cast<std::uint8_t>(exclusive ? os::kOpenReadWriteExclusive : DefaultOpenMode);
  int err = 0;
  os::Handle old = area->file;
  os::CloseFile(old);
  os::Handle fresh = os::OpenFile(area->file_name, mode, &err);
  if (fresh == os::kNoHandle) {
    // Keep the area usable with the mode it had.
    int again = 0;
    area->file = os::OpenFile(area->file_name, area->open_mode, &again);
    return err;
  }
  area->file = fresh;
  area->open_mode = mode;
  area->exclusive = exclusive || mode == os::kOpenReadWriteExclusive;
  area->reopened_exclusive = exclusive;
  area->unshared = (mode & 0xF0) != 0x40;
  area->known_file_size = -1;
  InvalidateReadAhead(*area);
  return 0;
}

void RefreshRecCount(WorkArea& area) {
  if (area.exclusive || area.is_virtual || area.file == os::kNoHandle || area.record_length == 0) return;
  if (area.dialect == DbfDialect::kDbase2) {
    // dBASE II files are padded behind their last record, so the size says
    // nothing; the header's count does (appends keep it current at once).
    std::uint8_t count[2];
    std::size_t done = 0;
    if (os::ReadAt(area.file, 1, count, 2, &done) == 0 && done == 2) area.record_count = count[0] | (count[1] << 8);
    return;
  }
  std::int64_t size = area.known_file_size;
  if (size < 0) {
    int err = 0;
    size = os::FileSize(area.file, &err);
    if (size < 0) return;
    if (area.unshared) area.known_file_size = size;
  }
  std::int64_t count = (size - area.header_length) / area.record_length;
  area.record_count = static_cast<std::int32_t>(std::clamp<std::int64_t>(count, 0, 0x7FFFFFFF));
}

}  // namespace orvex
