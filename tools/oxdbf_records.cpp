// oxdbf append, delete and recall: changing records under the locks other
// programs respect.
#include <string>

#include "common/errors.h"
#include "engine/locks.h"
#include "engine/navigation.h"
#include "engine/record_io.h"
#include "engine/work_area.h"
#include "oxdbf.h"
#include "platform/os/codepage.h"

namespace orvex::tool {
namespace {

// Waits up to about ten seconds for a lock another program holds.
void PatientLocks() {
  LockRetries = 20;
  LockRetryDelay = 0;
  LockFailedHook = [] {
    static int rounds = 0;
    return ++rounds < 500;
  };
}

int AppendRecord(const Invocation& call) {
  if (call.args.empty()) Fail(220, "oxdbf append FILE name=value ... [oxdbf]");
  OpenTable(call, call.args[0], false);
  ClearRecord();
  for (std::size_t i = 1; i < call.args.size(); ++i) {
    const std::string& pair = call.args[i];
    std::size_t eq = pair.find('=');
    if (eq == std::string::npos) Fail(220, "Erwartet name=Wert: " + pair + " [oxdbf append]");
    int n = FieldNo(os::Utf8ToAnsi(pair.substr(0, eq)));
    if (n == 0) Fail(220, "Kein Feld " + pair.substr(0, eq) + " in " + call.args[0] + " [oxdbf append]");
    if (!SetFieldText(n, pair.substr(eq + 1))) {
      Fail(220, "Unzulässiger Wert für " + pair.substr(0, eq) + ": " + pair.substr(eq + 1) + " [oxdbf append]");
    }
  }
  PatientLocks();
  if (!ALock()) Fail(1201, call.args[0] + " ist von einem anderen Programm gesperrt [oxdbf append]");
  Append();
  Unlock();
  return 0;
}

// delete / recall: the record must be locked against other programs.
int ChangeFlag(const Invocation& call, bool deleted) {
  const char* name = deleted ? "delete" : "recall";
  if (call.args.size() != 2) Fail(220, std::string("oxdbf ") + name + " FILE RECNO [oxdbf]");
  OpenTable(call, call.args[0], false);
  GO(static_cast<std::int32_t>(IntegerArgument(call.args[1], "RECNO")));
  PatientLocks();
  if (!RLock()) {
    Fail(1200, "Datensatz " + call.args[1] + " in " + call.args[0] + " ist von einem anderen Programm gesperrt [oxdbf " +
                   name + "]");
  }
  deleted ? DeleteRec() : RecallRec();
  Unlock();
  return 0;
}

int Delete(const Invocation& call) { return ChangeFlag(call, true); }
int Recall(const Invocation& call) { return ChangeFlag(call, false); }

SubcommandRegistration append{{"append", "FILE name=value ...", {}, AppendRecord}};
SubcommandRegistration remove{{"delete", "FILE RECNO", {}, Delete}};
SubcommandRegistration recall{{"recall", "FILE RECNO", {}, Recall}};

}  // namespace
}  // namespace orvex::tool
