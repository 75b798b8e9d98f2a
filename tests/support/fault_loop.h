// The fault loop: runs a write path once to count its file-layer calls, then
// again from the same starting files with a fault at each of those calls in
// turn (a full disk, an I/O error, a write that stores half its bytes, the
// program ending or killed at that call), each run in a forked child process.
// After every run the files must open, and both the library and dbfread
// (/usr/bin/python3) must read in them either the starting state or the
// state a faultless run leaves.
//
// Any write path can be put through it, the index build and key maintenance
// included: a scenario only says how to make the starting files, how to run
// the write and how the library reads the files back.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "common/errors.h"

namespace orvex::test {

struct FaultScenario {
  // Makes the starting files in `dir` (runs once; the loop copies them).
  std::function<void(const std::string& dir)> prepare;
  // Runs the write path on the files in `dir`. Runs in a forked child, which
  // ends when it returns; errors must be kept, not reported by stopping the
  // program (AutoReport off).
  std::function<void(const std::string& dir)> operation;
  // What the files in `dir` hold, as text, read through the library (its
  // open may finish or roll back an interrupted write). Differences that
  // are no change of data (say the numbers of memo blocks after packing)
  // must not show.
  std::function<std::string(const std::string& dir)> library_state;
  // Tables in `dir` that dbfread must read as the starting or the final
  // state (after library_state has opened them).
  std::vector<std::string> tables;
  // Optional: runs in the same child just before the operation, with no
  // fault armed (say the open and earlier writes that leave state behind
  // in the program). What it changes belongs to the starting state.
  std::function<void(const std::string& dir)> lead_in = nullptr;
};

enum class FaultKind {
  kDiskFull,      // every write from the n-th on fails with ENOSPC
  kIoError,       // the n-th call of any kind fails with EIO
  kPartialWrite,  // the n-th write stores half its bytes and fails with
                  // ENOSPC (later writes find room again, as after a
                  // truncation frees some)
  kExit,          // the program ends (_exit) at the n-th call of any kind
  kKill,          // the program is killed (SIGKILL) at the n-th call
  kRaisedError,   // the n-th call of any kind fails with EIO in a program
                  // whose errors are raised as exceptions: it catches the
                  // one raised and ends normally (the library's shut-down
                  // closes its tables); no file may stay behind that
                  // neither state has
};

inline const std::vector<FaultKind> kAllFaultKinds = {
    FaultKind::kDiskFull, FaultKind::kIoError, FaultKind::kPartialWrite,
    FaultKind::kExit,     FaultKind::kKill,    FaultKind::kRaisedError};

struct FaultLoopReport {
  long calls = 0;                     // file-layer calls of one faultless run
  int points = 0;                     // runs with a fault, over all kinds
  std::vector<std::string> failures;  // one line per broken rule
};

FaultLoopReport RunFaultLoop(const FaultScenario& scenario,
                             const std::vector<FaultKind>& kinds = kAllFaultKinds);

// True in the child of a kRaisedError run.
bool FaultLoopRaisesErrors();

// How a scenario's library reports errors: kept for the caller to look at
// (AutoReport off), or raised as exceptions in the child of a kRaisedError
// run. Scenarios call it where they reset the library.
inline void ReportErrorsAsTheFaultLoopAsks() {
  const bool raise = FaultLoopRaisesErrors();
  SetRaiseOnError(raise);
  SetAutoReport(raise);
}

// True when the longer sweep is asked for (ORVEX_FAULT_SWEEP=1): scenarios
// then use larger files.
bool FaultSweep();

}  // namespace orvex::test
