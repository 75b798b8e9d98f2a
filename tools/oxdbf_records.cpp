// oxdbf append, replace, delete and recall: changing records under the locks
// other programs respect, keeping the table's production index right.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

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

// Puts the name=value arguments from `first` on into the unpacked buffer.
// Every value is checked before anything is written: one the field cannot
// hold exactly ends the program with the field, the value and the reason.
// Answers, per field, whether a value was given.
std::vector<bool> AssignFields(const Invocation& call, std::size_t first, const char* command) {
  std::vector<bool> given(static_cast<std::size_t>(FieldCount()), false);
  const std::string tag = std::string(" [oxdbf ") + command + "]";
  for (std::size_t i = first; i < call.args.size(); ++i) {
    const std::string& pair = call.args[i];
    std::size_t eq = pair.find('=');
    if (eq == std::string::npos) UsageError("expected name=value: " + pair);
    const std::string name = pair.substr(0, eq), value = pair.substr(eq + 1);
    int n = FieldNo(os::Utf8ToAnsi(name));
    if (n == 0) Fail(220, "Kein Feld " + name + " in " + call.args[0] + tag);
    given[static_cast<std::size_t>(n - 1)] = true;
    std::string refused = SetFieldText(n, value);
    if (!refused.empty()) Fail(220, "Unzulässiger Wert für " + name + ": " + Shown(value) + " (" + refused + ")" + tag);
  }
  return given;
}

// The unpacked form has no blank number or logical: appending writes 0 and
// F for fields not given. Writing the new record once more with those
// fields blank keeps "not given" apart from 0 and F (index keys are the
// same either way: a blank number or logical evaluates as 0 or .F.).
void BlankFieldsNotGiven(const std::vector<bool>& given) {
  WorkArea& area = *CurrentWorkArea();
  KeptFields kept;
  std::string blank(static_cast<std::size_t>(area.record_length), ' ');
  kept.stored = blank.data();
  bool any = false;
  for (std::size_t i = 0; i < given.size(); ++i) {
    char type = area.fields[i].type;
    kept.unchanged.push_back(!given[i] && (type == 'N' || type == 'F' || type == 'L'));
    any = any || kept.unchanged.back();
  }
  if (any) PutDbfRecord(area, RecNo(), &kept);
}

int AppendRecord(const Invocation& call) {
  ExpectArguments(call, 1, ~std::size_t{0});
  OpenTable(call, call.args[0], false);
  OpenProductionIndex();
  ClearRecord();
  const std::vector<bool> given = AssignFields(call, 1, "append");
  PatientLocks();
  if (!ALock()) Fail(1201, call.args[0] + " ist von einem anderen Programm gesperrt [oxdbf append]");
  StorePendingMemos();
  Append();
  BlankFieldsNotGiven(given);
  KeepGivenText();
  Unlock();
  return 0;
}

// replace FILE RECNO name=value ...: the record is locked first and read
// again under the lock, so that fields not named keep what another program
// may have written meanwhile.
int ReplaceRecord(const Invocation& call) {
  ExpectArguments(call, 2, ~std::size_t{0});
  OpenTable(call, call.args[0], false);
  OpenProductionIndex();
  const std::int32_t recno = RecordArgument(call.args[1], "RECNO");
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
  KeepGivenText();
  Unlock();
  return 0;
}

// delete / recall: the record must be locked against other programs. Only
// the flag byte is written.
int ChangeFlag(const Invocation& call, bool deleted) {
  const char* name = deleted ? "delete" : "recall";
  ExpectArguments(call, 2, 2);
  OpenTable(call, call.args[0], false);
  OpenProductionIndex();
  GO(RecordArgument(call.args[1], "RECNO"));
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

#define OXDBF_VALUE_FORMS                                                                      \
  "Values (UTF-8; refused with a reason when the field cannot hold them exactly):\n"          \
  "  C  text up to the field's length, in the table's code page\n"                            \
  "  N  F  a decimal number: -12.5, +.5, 7; no more decimals than the field\n"                \
  "  L  T F Y N J, true false yes no, .T. .F. (any case); empty for blank\n"                  \
  "  D  2024-12-31, 20241231 or the national form (31.12.2024); empty for blank\n"            \
  "  M  any text; \\n in the value is a line end\n"                                         \
  "FoxPro and level 7: I integers (32 bits), B O numbers, Y amounts (4 decimals),\n"         \
  "  T @ 2024-12-31 13:45:00 (.mmm optional), V text, Q hex digits\n"

SubcommandRegistration append{{"append", "FILE name=value ...", {}, AppendRecord,
                               "Appends one record to FILE with the fields given; fields not given stay\n"
                               "blank (not 0 or F). Waits up to ten seconds for another program's lock.\n" OXDBF_VALUE_FORMS
                               "Example:\n  oxdbf append films.dbf title=Metropolis year=1927 color=F premiere=1927-01-10\n"}};
SubcommandRegistration replace{{"replace", "FILE RECNO name=value ...", {}, ReplaceRecord,
                                "Changes the fields given in record RECNO of FILE; the others keep their\n"
                                "stored bytes. The record is locked against other programs first.\n" OXDBF_VALUE_FORMS
                                "Example:\n  oxdbf replace films.dbf 3 year=1928\n"}};
SubcommandRegistration remove{{"delete", "FILE RECNO", {}, Delete,
                               "Flags record RECNO of FILE as deleted (pack removes it; recall undoes it).\n"
                               "Example:\n  oxdbf delete films.dbf 3\n"}};
SubcommandRegistration recall{{"recall", "FILE RECNO", {}, Recall,
                               "Takes the deletion flag off record RECNO of FILE.\n"
                               "Example:\n  oxdbf recall films.dbf 3\n"}};

}  // namespace
}  // namespace orvex::tool
