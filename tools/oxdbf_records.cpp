// oxdbf append, replace, delete and recall: changing records under the locks
// other programs respect, keeping the table's production index right.
#include <cstdint>
#include <cstdio>
#include <string>

#include "common/errors.h"
#include "engine/locks.h"
#include "engine/navigation.h"
#include "engine/record_io.h"
#include "engine/work_area.h"
#include "oxdbf.h"
#include "oxdbf_index.h"
#include "oxdbf_memo.h"
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

// A value for a message, which is Windows-1252 text: characters beyond it
// are written as U+XXXX so that the message still names them.
std::string Shown(const std::string& utf8) {
  std::string shown;
  for (std::size_t i = 0; i < utf8.size();) {
    std::size_t n = 1;
    while (i + n < utf8.size() && (static_cast<unsigned char>(utf8[i + n]) & 0xC0) == 0x80) ++n;
    std::string one = utf8.substr(i, n), ansi;
    if (os::Utf8ToCodePage(one, false, &ansi)) {
      shown += one;
    } else {
      char code[16];
      std::uint32_t cp = static_cast<unsigned char>(one[0]) & (n == 1 ? 0x7F : 0x3F >> (n - 1));
      for (std::size_t k = 1; k < n; ++k) cp = (cp << 6) | (static_cast<unsigned char>(one[k]) & 0x3F);
      std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(cp));
      shown += code;
    }
    i += n;
  }
  return shown;
}

// Puts the name=value arguments from `first` on into the unpacked buffer.
// Every value is checked before anything is written: one the field cannot
// hold exactly ends the program with the field, the value and the reason.
void AssignFields(const Invocation& call, std::size_t first, const char* command) {
  const std::string tag = std::string(" [oxdbf ") + command + "]";
  for (std::size_t i = first; i < call.args.size(); ++i) {
    const std::string& pair = call.args[i];
    std::size_t eq = pair.find('=');
    if (eq == std::string::npos) Fail(220, "Erwartet name=Wert: " + pair + tag);
    const std::string name = pair.substr(0, eq), value = pair.substr(eq + 1);
    int n = FieldNo(os::Utf8ToAnsi(name));
    if (n == 0) Fail(220, "Kein Feld " + name + " in " + call.args[0] + tag);
    std::string refused = SetFieldText(n, value);
    if (!refused.empty()) Fail(220, "Unzulässiger Wert für " + name + ": " + Shown(value) + " (" + refused + ")" + tag);
  }
}

int AppendRecord(const Invocation& call) {
  if (call.args.empty()) Fail(220, "oxdbf append FILE name=value ... [oxdbf]");
  OpenTableAsStored(call, call.args[0], false);
  OpenProductionIndex();
  ClearRecord();
  AssignFields(call, 1, "append");
  PatientLocks();
  if (!ALock()) Fail(1201, call.args[0] + " ist von einem anderen Programm gesperrt [oxdbf append]");
  StorePendingMemos();
  Append();
  Unlock();
  return 0;
}

// replace FILE RECNO name=value ...: the record is locked first and read
// again under the lock, so that fields not named keep what another program
// may have written meanwhile.
int ReplaceRecord(const Invocation& call) {
  if (call.args.size() < 2) Fail(220, "oxdbf replace FILE RECNO name=value ... [oxdbf]");
  OpenTableAsStored(call, call.args[0], false);
  OpenProductionIndex();
  const std::int32_t recno = static_cast<std::int32_t>(IntegerArgument(call.args[1], "RECNO"));
  GO(recno);
  PatientLocks();
  if (!RLock()) {
    Fail(1200, "Datensatz " + call.args[1] + " in " + call.args[0] +
                   " ist von einem anderen Programm gesperrt [oxdbf replace]");
  }
  GO(recno);
  AssignFields(call, 2, "replace");
  StorePendingMemos();
  Replace();
  Unlock();
  return 0;
}

// delete / recall: the record must be locked against other programs.
int ChangeFlag(const Invocation& call, bool deleted) {
  const char* name = deleted ? "delete" : "recall";
  if (call.args.size() != 2) Fail(220, std::string("oxdbf ") + name + " FILE RECNO [oxdbf]");
  OpenTable(call, call.args[0], false);
  OpenProductionIndex();
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
SubcommandRegistration replace{{"replace", "FILE RECNO name=value ...", {}, ReplaceRecord}};
SubcommandRegistration remove{{"delete", "FILE RECNO", {}, Delete}};
SubcommandRegistration recall{{"recall", "FILE RECNO", {}, Recall}};

}  // namespace
}  // namespace orvex::tool
