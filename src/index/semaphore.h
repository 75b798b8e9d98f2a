// Semaphore files: how several programs that share a table and its index
// keep readers and a single index writer apart, and learn that another
// program changed the index.
//
// One small file per table ("<table>.@S@", beside the table or in
// SemaphoreDirectory) holds a 4-byte record: the number of programs logged
// in, the number of readers inside the index (or 1 while a writer holds the
// lock) and a change counter that every writer increments when it lets go.
// Each read-modify-write of the record happens under a byte-range lock of
// bytes 1-4 of the file; a writer keeps that lock from LOCKSEMAPHORE until
// UNLOCKSEMAPHORE. For an exclusively opened table nothing here has any
// effect; without NetworkLocking the file is still kept and counted but
// every lock succeeds at once.
//
// Waits never spin: a lock that another program holds is tried again after
// short, growing sleeps, for SemaphoreLockWaitMs in all, with the process-
// messages hook called between tries.
#pragma once

#include <cstdint>
#include <string>

namespace orvex {

enum SemaphoreAction : int {
  kLogin = 0,
  kLogout = 1,
  kIncRead = 2,
  kDecRead = 3,
  kLockSemaphore = 4,
  kUnlockSemaphore = 5,
};

// Settings (process-wide): the directory of semaphore files ("" = beside the
// table); the writer's timeout in ticks of 1/18.2 s (0 = wait forever); how
// long a lock of the semaphore region or of the table's database byte is
// tried (milliseconds).
extern std::string SemaphoreDirectory;
extern std::uint16_t SemaphoreTimeoutTicks;  // 1820
extern int SemaphoreLockWaitMs;              // 10000

// The semaphore file's name for a table file.
std::string SemaphoreFileName(const std::string& table_file);

// Performs one action for the table in `area` (1..34). Errors: 1202 for a
// lock that could not be had in time (region, database byte, the writer's
// timeout), the system's error for file failures, 254 for unbalanced
// leaves and an area out of range. True on success (and for actions that
// have nothing to do).
bool HandleSemaphore(int area, int action);

// LOGIN for SetIndexTo. A table opened read-only whose semaphore file
// cannot be created (a read-only folder) is used without one: false is
// then answered without an error, and the other actions do nothing.
bool SemaphoreLogin(int area);

// True when this program is logged in to the table's semaphore file.
bool SemaphoreLoggedIn(int area);

// The read bracket and the lock bracket: enter (true) / leave (false),
// nested per table; the first entry performs INCREAD (LOCKSEMAPHORE), the
// last leave DECREAD (UNLOCKSEMAPHORE). A leave without entry reports 254
// "Non-symmetrical Lock-Unlock [SetReadSemaphoreProc]" (or
// "[SetLockSemaphoreProc]") and changes nothing. An entry of the lock
// bracket whose LOCKSEMAPHORE failed (error set) leaves the bracket not
// entered: the caller must not write and must not leave.
void SetReadSemaphoreProc(int area, bool enter);
void SetLockSemaphoreProc(int area, bool enter);

// The change counter in the file differs from the one last seen: remembers
// the new one and answers true. False when not logged in or unchanged.
bool SemaphoreCounterChanged(int area);

// Drops the bracket nesting of an area whose index closed.
void ResetSemaphoreBrackets(int area);

// Forgets every semaphore state without touching files (tests).
void ResetSemaphoreState();

}  // namespace orvex
