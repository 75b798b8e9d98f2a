#include "platform/os/fault_injection.h"

#include <signal.h>
#include <unistd.h>

namespace orvex::os {

namespace {

bool g_armed = false;
FaultPlan g_plan;
long g_calls = 0;
std::int64_t g_free_space_limit = -1;

}  // namespace

void ArmFaults(const FaultPlan& plan) {
  g_plan = plan;
  g_calls = 0;
  g_armed = true;
}

long DisarmFaults() {
  g_armed = false;
  return g_calls;
}

void LimitFreeSpace(std::int64_t bytes) { g_free_space_limit = bytes < 0 ? -1 : bytes; }

std::int64_t FreeSpaceLimit() { return g_free_space_limit; }

long FaultCallsSeen() { return g_armed ? g_calls : 0; }

int FaultCheck(FaultOp op, bool* partial) {
  *partial = false;
  if (!g_armed || (g_plan.ops & op) == 0) return 0;
  const long n = ++g_calls;
  if (g_plan.fail_at == 0 || n < g_plan.fail_at || (n > g_plan.fail_at && !g_plan.sticky)) return 0;
  switch (g_plan.action) {
    case FaultAction::kExit:
      _exit(kFaultExitStatus);
    case FaultAction::kKill:
      raise(SIGKILL);
      _exit(kFaultExitStatus);  // not reached
    case FaultAction::kPartial:
      // Only the first failing call stores half; a sticky fault after it
      // fails outright, as a disk that filled up does.
      *partial = n == g_plan.fail_at;
      return g_plan.error;
    case FaultAction::kError:
      return g_plan.error;
  }
  return 0;
}

}  // namespace orvex::os
