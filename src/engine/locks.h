// Record and file locks between programs that share a table: byte-range locks
// far beyond the data (LockBase), retried after a pause, skipped for
// exclusive tables and when NetworkLocking is off.
//
// Offsets: database byte LockBase; append lock LockBase + 1; whole table
// LockBase + 1 for TableLockLength; record n LockBase + header length +
// (n - 1) * record length for record length bytes.
#pragma once

#include <cstdint>
#include <functional>

#include "engine/work_area.h"

namespace orvex {

extern std::uint64_t LockBase;          // 0x40000000
extern std::uint64_t TableLockLength;   // 0x3FFFFFFF
extern std::uint16_t MaxRecordLocks;    // 0 = no limit
extern int LockRetries;                 // 0
extern int LockRetryDelay;              // seconds, 0
// Called when the retries are used up; true starts them again.
extern std::function<bool()> LockFailedHook;
// The platform error of the last failed lock primitive.
extern int LastLockError;

// Lock primitive: 0 at once without NetworkLocking, else the platform's
// LockFile/UnlockFile result.
int LockRange(os::Handle file, bool lock, std::uint64_t offset, std::uint64_t length);
// Lock with retries (LockRetries, LockRetryDelay, LockFailedHook).
bool LockWithRetries(os::Handle file, std::uint64_t offset, std::uint64_t length);

// The database lock byte of the current area (used by the index engine's
// semaphore actions): lock with retries / unlock (failure reported).
bool LockDatabaseByte();
void UnlockDatabaseByte();

// Append lock, record lock of the current record; false when not obtained
// (not an error).
bool ALock();
bool RLock();
// True when the whole table is locked or record n is in the lock list.
bool IsLocked(std::int32_t n);
// Releases record locks: n >= 1 that record, -1 the oldest, -2 the newest,
// -3 all. False (DbfErrorNo 220, not reported) for other numbers.
bool UnlockRec(std::int32_t n);
// Releases everything the current area holds.
void Unlock();

// Reopens the current table exclusively (true) or shared; returns 0 or an
// error number (5 for an area opened exclusively by USE).
int ReopenShared(bool exclusive);

// For an area that is not exclusive: the record count from the file size
// (so that records other programs appended become visible). Asked where a
// walk reaches the last record it knows of, when a lock is taken, and by the
// commands that need the count of the moment (RecCount, GoBottom, appends).
void RefreshRecCount(WorkArea& area);

}  // namespace orvex
