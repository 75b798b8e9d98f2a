// Fault injection for tests: makes one chosen call of the file layer fail the
// way a full disk, a broken medium or a killed program would, so that tests
// can run a write path with a fault at each of its I/O calls in turn and check
// what the files hold afterwards.
//
// Nothing here is active unless a test arms it; the file layer then costs one
// test of a flag per call. Arming is process-wide and not thread-safe (the
// library runs on one thread). A typical loop:
//
//   os::FaultPlan plan;                      // count only
//   os::ArmFaults(plan);  RunOperation();  long calls = os::DisarmFaults();
//   for (long n = 1; n <= calls; ++n) {      // then a fault at each call
//     plan.fail_at = n;  plan.action = os::FaultAction::kError;  plan.error = ENOSPC;
//     os::ArmFaults(plan);  RunOperation();  os::DisarmFaults();
//     CheckFiles();
//   }
//
// For crash points the operation runs in a forked child with action kExit or
// kKill; the child dies at call n and the parent looks at the files.
// tests/support/fault_loop.h wraps this loop.
#pragma once

#include <cerrno>
#include <cstdint>
#include <string>
#include <vector>

namespace orvex::os {

// The kinds of file-layer calls that count as fault points.
enum FaultOp : unsigned {
  kFaultRead = 1u << 0,      // ReadFile, ReadAt
  kFaultWrite = 1u << 1,     // WriteFile, WriteAt
  kFaultTruncate = 1u << 2,  // Truncate
  kFaultRename = 1u << 3,    // RenameFile, ReplaceFile
  kFaultFlush = 1u << 4,     // FlushFileBuffers, FlushDirectory
  kFaultCreate = 1u << 5,    // CreateFile
  kFaultDelete = 1u << 6,    // DeleteFile
  kFaultAllOps = (1u << 7) - 1,
  // A hint to the system (Prefetch): recorded, but not in kFaultAllOps, as
  // no fault of a hint can change a file or what the program reads.
  kFaultHint = 1u << 7,
};

enum class FaultAction {
  kError,    // the call fails with `error` (an errno value) and does nothing
  kPartial,  // a write stores the first half of its bytes, then fails with
             // `error`; a read returns the first half without an error; other
             // calls fail as with kError
  kExit,     // the process ends with _exit(kFaultExitStatus) before the call
  kKill,     // the process raises SIGKILL before the call
};

// Exit status of a process ended by FaultAction::kExit.
inline constexpr int kFaultExitStatus = 77;

struct FaultPlan {
  unsigned ops = kFaultAllOps;  // which calls are counted
  long fail_at = 0;             // the counted call (1-based) that fails; 0 = none
  FaultAction action = FaultAction::kError;
  int error = ENOSPC;
  bool sticky = false;  // every counted call after fail_at fails too
                        // (a disk that stays full)
};

// Starts counting the plan's calls from 0 and arms its fault.
void ArmFaults(const FaultPlan& plan);
// Stops counting; returns the number of counted calls since ArmFaults.
long DisarmFaults();
// Counted calls since ArmFaults (0 when not armed).
long FaultCallsSeen();

// Makes DiskFreeSpace report at most `bytes` free, as on a nearly full disk;
// a negative value removes the limit (the default).
void LimitFreeSpace(std::int64_t bytes);
// The limit set, or -1.
std::int64_t FreeSpaceLimit();

// Makes every ReadAtIfCached answer that its bytes are not in the system's
// cache (true), as after the system dropped the file from its cache, so that
// tests can follow what a program does with a cold file; false (the
// default) lets the system say.
void PretendUncached(bool on);
bool PretendingUncached();

// One call of the file layer as a recording saw it: its kind and the file it
// concerned, the name given for calls on a name and the path the handle was
// opened on (from /proc/self/fd) for calls on a handle. A flush on a handle
// flushes the file's bytes; one on a name (FlushDirectory) its folder entry.
struct FileCall {
  FaultOp op;
  bool on_handle;
  std::string file;
};

// Appends every following call of the file layer, in order, to *log (counted
// or not, armed or not), so that a test can check the order of writes and
// flushes across files; nullptr stops the recording.
void RecordFileCalls(std::vector<FileCall>* log);

// Called by the file layer at the start of each call of kind `op` on `handle`
// (or, for calls on a name, with handle -1 and the `name`). Returns 0 to go
// on, or the errno the call must fail with; sets *partial when a write must
// store half of its bytes (or a read return half) first. Ends the process for
// kExit and kKill.
int FaultCheck(FaultOp op, bool* partial, int handle, const char* name = nullptr);

}  // namespace orvex::os
