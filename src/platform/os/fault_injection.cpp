#include "platform/os/fault_injection.h"

#include <signal.h>
#include <unistd.h>

#include <climits>

namespace orvex::os {

namespace {

bool g_armed = false;
FaultPlan g_plan;
long g_calls = 0;
std::int64_t g_free_space_limit = -1;
std::vector<FileCall>* g_log = nullptr;
bool g_pretend_uncached = false;

// The path `handle` was opened on, as the kernel knows it.
std::string PathOfHandle(int handle) {
  char path[PATH_MAX];
  const std::string link = "/proc/self/fd/" + std::to_string(handle);
  const ssize_t n = readlink(link.c_str(), path, sizeof path);
  return n > 0 ? std::string(path, static_cast<std::size_t>(n)) : std::string();
}

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

void PretendUncached(bool on) { g_pretend_uncached = on; }

bool PretendingUncached() { return g_pretend_uncached; }

long FaultCallsSeen() { return g_armed ? g_calls : 0; }

void RecordFileCalls(std::vector<FileCall>* log) { g_log = log; }

int FaultCheck(FaultOp op, bool* partial, int handle, const char* name) {
  *partial = false;
  if (g_log != nullptr) {
    g_log->push_back(
        {op, handle >= 0, handle >= 0 ? PathOfHandle(handle) : std::string(name ? name : "")});
  }
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
