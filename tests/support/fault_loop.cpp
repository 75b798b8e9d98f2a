#include "support/fault_loop.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>

#include "platform/os/fault_injection.h"
#include "support/test_support.h"

namespace orvex::test {

namespace {

namespace fs = std::filesystem;

bool raises_errors = false;  // in the child of a kRaisedError run

// The names of the files in `dir`, sorted.
std::vector<std::string> FileNames(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

// Prints, for each table path, "### <path>" and then the field names, one
// line per record (deleted ones marked "*"), "absent" or the error. Texts
// lose trailing NUL bytes: dbfread reads a dBASE IV memo 8 bytes beyond its
// text (it takes the stored length, which counts the block header, as the
// text's), so the padding that a later memo puts behind the last one would
// otherwise show.
const char* const kDbfreadDump = R"(
import os, sys
from dbfread import DBF
for path in sys.argv[1:]:
    print('### ' + path)
    if not os.path.exists(path):
        print('absent')
        continue
    try:
        table = DBF(path, encoding='latin-1', load=True, char_decode_errors='replace')
        print([f.name for f in table.fields])
        def values(record):
            return repr([v.rstrip('\0') if isinstance(v, str) else v for v in record.values()])
        for record in table.records:
            print(' ', values(record))
        for record in table.deleted:
            print('*', values(record))
    except Exception as e:
        print('error', type(e).__name__, e)
)";

const char* KindName(FaultKind kind) {
  switch (kind) {
    case FaultKind::kDiskFull: return "disk full";
    case FaultKind::kIoError: return "I/O error";
    case FaultKind::kPartialWrite: return "partial write";
    case FaultKind::kExit: return "exit";
    case FaultKind::kKill: return "SIGKILL";
    case FaultKind::kRaisedError: return "raised I/O error";
  }
  return "?";
}

os::FaultPlan PlanFor(FaultKind kind, long n) {
  os::FaultPlan plan;
  plan.fail_at = n;
  switch (kind) {
    case FaultKind::kDiskFull:
      plan.ops = os::kFaultWrite;
      plan.sticky = true;
      break;
    case FaultKind::kIoError:
    case FaultKind::kRaisedError:
      plan.error = EIO;
      break;
    case FaultKind::kPartialWrite:
      plan.ops = os::kFaultWrite;
      plan.action = os::FaultAction::kPartial;
      break;
    case FaultKind::kExit:
      plan.action = os::FaultAction::kExit;
      break;
    case FaultKind::kKill:
      plan.action = os::FaultAction::kKill;
      break;
  }
  return plan;
}

void CopyFiles(const std::string& from, const std::string& to) {
  fs::create_directories(to);
  for (const auto& entry : fs::directory_iterator(from)) {
    fs::copy_file(entry.path(), fs::path(to) / entry.path().filename(),
                  fs::copy_options::overwrite_existing);
  }
}

// Runs the lead-in and (unless `lead_in_only`) the operation on `dir` in a
// child, the operation with `plan` armed. Returns the child's wait status;
// *calls gets the counted calls of a run that ended.
int RunChild(const FaultScenario& scenario, const std::string& dir, const os::FaultPlan& plan,
             long* calls, bool lead_in_only = false, bool raise = false) {
  int pipe_fds[2];
  if (pipe(pipe_fds) != 0) return -1;
  std::fflush(nullptr);  // nothing buffered is written twice
  const pid_t pid = fork();
  if (pid == 0) {
    close(pipe_fds[0]);
    raises_errors = raise;
    if (scenario.lead_in) scenario.lead_in(dir);
    os::ArmFaults(plan);
    try {
      if (!lead_in_only) scenario.operation(dir);
    } catch (const std::exception&) {
      if (!raise) throw;
    }
    const long seen = os::DisarmFaults();
    (void)!write(pipe_fds[1], &seen, sizeof seen);
    // A program that caught the error ends normally: its exit handlers
    // (the library's shut-down) run.
    if (raise) std::exit(0);
    _exit(0);
  }
  close(pipe_fds[1]);
  long seen = -1;
  if (read(pipe_fds[0], &seen, sizeof seen) != sizeof seen) seen = -1;
  close(pipe_fds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  if (calls != nullptr) *calls = seen;
  return status;
}

// True when the child ended the way the fault kind says it must.
bool EndedAsExpected(FaultKind kind, int status) {
  switch (kind) {
    case FaultKind::kExit:
      return WIFEXITED(status) && WEXITSTATUS(status) == os::kFaultExitStatus;
    case FaultKind::kKill:
      return WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
    default:
      return WIFEXITED(status) && WEXITSTATUS(status) == 0;
  }
}

// dbfread's dump of each table path.
std::map<std::string, std::string> DbfreadDumps(const std::vector<std::string>& paths) {
  std::vector<std::string> argv = {"/usr/bin/python3", "-c", kDbfreadDump};
  argv.insert(argv.end(), paths.begin(), paths.end());
  const ProcessResult result = RunProcess(argv);
  std::map<std::string, std::string> dumps;
  std::istringstream lines(result.out);
  std::string current;
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("### ", 0) == 0) {
      current = line.substr(4);
      dumps[current];
    } else {
      dumps[current] += line + "\n";
    }
  }
  if (result.exit_status != 0) dumps["(dbfread)"] = result.err;
  return dumps;
}

}  // namespace

bool FaultLoopRaisesErrors() { return raises_errors; }

bool FaultSweep() {
  const char* sweep = std::getenv("ORVEX_FAULT_SWEEP");
  return sweep != nullptr && std::string(sweep) == "1";
}

FaultLoopReport RunFaultLoop(const FaultScenario& scenario, const std::vector<FaultKind>& kinds) {
  FaultLoopReport report;
  TempDir root;
  const std::string base = root.File("base");
  fs::create_directories(base);
  scenario.prepare(base);
  // A faultless run on a copy of the starting files; the counted calls of
  // the kinds that `ops` selects, or -1 when the run does not end.
  auto count_calls = [&](const std::string& dir, unsigned ops) {
    CopyFiles(base, dir);
    os::FaultPlan counting;
    counting.ops = ops;
    long calls = -1;
    return WIFEXITED(RunChild(scenario, dir, counting, &calls)) ? calls : -1;
  };

  const std::string old_dir = root.File("old");
  const std::string new_dir = root.File("new");
  CopyFiles(base, old_dir);
  if (scenario.lead_in) RunChild(scenario, old_dir, os::FaultPlan{}, nullptr, true);
  report.calls = count_calls(new_dir, os::kFaultAllOps);
  if (report.calls < 0) {
    report.failures.push_back("the operation does not end without a fault");
    return report;
  }
  const std::string old_state = scenario.library_state(old_dir);
  const std::string new_state = scenario.library_state(new_dir);

  std::vector<std::pair<std::string, std::string>> runs;  // directory, what happened
  for (FaultKind kind : kinds) {
    const unsigned ops = PlanFor(kind, 0).ops;
    const long calls = ops == os::kFaultAllOps ? report.calls : count_calls(root.File("count"), ops);
    for (long n = 1; n <= calls; ++n) {
      const std::string where = std::string(KindName(kind)) + " at call " + std::to_string(n);
      const std::string dir = root.File("run " + std::to_string(runs.size()));
      CopyFiles(base, dir);
      const bool raise = kind == FaultKind::kRaisedError;
      const int status = RunChild(scenario, dir, PlanFor(kind, n), nullptr, false, raise);
      if (!EndedAsExpected(kind, status)) {
        report.failures.push_back(where + ": the program ended with wait status " + std::to_string(status));
      }
      const std::string state = scenario.library_state(dir);
      if (state != old_state && state != new_state) {
        report.failures.push_back(where + ": the library reads neither state:\n" + state);
      }
      if (raise) {
        for (const std::string& name : FileNames(dir)) {
          if (!fs::exists(fs::path(old_dir) / name) && !fs::exists(fs::path(new_dir) / name))
            report.failures.push_back(where + ": a file stays behind: " + name);
        }
      }
      runs.emplace_back(dir, where);
    }
  }
  report.points = static_cast<int>(runs.size());

  // dbfread reads the tables after the library has opened them (an open
  // finishes or rolls back what a killed program left).
  std::vector<std::string> paths;
  for (const std::string& table : scenario.tables) {
    paths.push_back(old_dir + "/" + table);
    paths.push_back(new_dir + "/" + table);
    for (const auto& run : runs) paths.push_back(run.first + "/" + table);
  }
  std::map<std::string, std::string> dumps = DbfreadDumps(paths);
  if (dumps.count("(dbfread)") != 0) report.failures.push_back("dbfread failed: " + dumps["(dbfread)"]);
  for (const std::string& table : scenario.tables) {
    const std::string& old_dump = dumps[old_dir + "/" + table];
    const std::string& new_dump = dumps[new_dir + "/" + table];
    for (const std::string* dump : {&old_dump, &new_dump}) {
      if (dump->rfind("error", 0) == 0) report.failures.push_back("dbfread cannot read " + table + ": " + *dump);
    }
    for (const auto& [dir, where] : runs) {
      const std::string& dump = dumps[dir + "/" + table];
      if (dump != old_dump && dump != new_dump) {
        report.failures.push_back(where + ": dbfread reads neither state in " + table + ":\n" + dump +
                                  "old:\n" + old_dump + "new:\n" + new_dump);
      }
    }
  }
  return report;
}

}  // namespace orvex::test
