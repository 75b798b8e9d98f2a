// Opens arbitrary bytes as a table and walks it: forward to the end, back
// from the end, a few direct moves, every field read. Every failure must be
// a library error (raised here as EOrvexError); nothing may crash.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "common/errors.h"
#include "engine/entry_points.h"
#include "engine/navigation.h"
#include "engine/record_io.h"
#include "engine/tables.h"
#include "engine/work_area.h"

namespace {

using namespace orvex;

std::string InputPath() {
  static const std::string path = [] {
    const char* tmp = std::getenv("TMPDIR");
    return std::string(tmp ? tmp : "/tmp") + "/dbf_open_fuzz_" + std::to_string(getpid()) + ".dbf";
  }();
  return path;
}

// Reads every field of the current record through the field queries.
void TouchFields() {
  int count = FieldCount();
  for (int i = 0; i <= count; ++i) {
    const std::uint8_t* p = FieldAddress(i);
    if (p == nullptr) continue;
    volatile std::uint8_t sink = p[0];
    (void)sink;
    if (i > 0) {
      (void)FieldType(i);
      (void)FieldLen(i);
    }
  }
}

void Walk() {
  USE(InputPath() + " EXCLUSIVE");
  for (int steps = 0; steps < 300 && !dEOF(); ++steps) {
    TouchFields();
    SKIP(1);
  }
  GoBottom();
  for (int steps = 0; steps < 50 && !dBOF(); ++steps) {
    TouchFields();
    SKIP(-1);
  }
  std::int32_t count = RecCount();
  for (std::int32_t n : {1, count / 2, count}) {
    if (n >= 1) {
      GO(n);
      TouchFields();
    }
  }
  if (count > 0) {
    // Write paths too: a record written back and one appended.
    GO(1);
    Replace();
    Append();
    DeleteRec();
    RecallRec();
  }
  USE("");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::FILE* f = std::fopen(InputPath().c_str(), "wb");
  if (f == nullptr) return 0;
  if (size > 0) std::fwrite(data, 1, size, f);
  std::fclose(f);
  static bool set_up = [] {
    SetRaiseOnError(true);
    HideDeleted = false;
    return true;
  }();
  (void)set_up;
  // Half of the runs read with deleted records hidden.
  HideDeleted = size > 0 && (data[size - 1] & 1);
  try {
    Walk();
  } catch (const EOrvexError&) {
    // A refused or damaged table: reported through the library, as it must.
  }
  try {
    CloseAllAreas();
  } catch (const EOrvexError&) {
  }
  std::remove(InputPath().c_str());
  return 0;
}
