// The work-area table, the engine's options and area selection.
#include "engine/work_area.h"

#include "common/errors.h"
#include "engine/engine_text.h"
#include "engine/locks.h"
#include "engine/peek_cache.h"
#include "engine/search.h"

namespace orvex {

std::array<std::unique_ptr<WorkArea>, kWorkAreaSlots + 1> WorkAreas;
std::uint8_t CurrentArea = 1;

std::uint16_t DefaultOpenMode = 0x42;
bool NetworkLocking = true;
std::uint16_t OpenModeOverride = 0xFFFF;
bool AnsiTables = false;
bool CountFromFileSize = false;
std::uint8_t ExtraVersionPlain = 0;
std::uint8_t ExtraVersionMemo = 0;
std::uint8_t MemoVersionByte = 0x8B;
bool FlushEachWrite = false;
bool ReplaceUpdatesIndexes = true;
bool HideDeleted = false;

namespace {

std::bitset<256> DefaultFieldTypes() {
  std::bitset<256> set;
  for (unsigned char c : std::string("CDFLMN")) set.set(c);
  return set;
}

}  // namespace

std::bitset<256> AllowedFieldTypes = DefaultFieldTypes();

void ResetEngineState() {
  for (auto& slot : WorkAreas) {
    if (slot && slot->file != os::kNoHandle) os::CloseFile(slot->file);
    slot.reset();
  }
  CurrentArea = 1;
  DefaultOpenMode = 0x42;
  NetworkLocking = true;
  OpenModeOverride = 0xFFFF;
  AnsiTables = false;
  CountFromFileSize = false;
  ExtraVersionPlain = 0;
  ExtraVersionMemo = 0;
  MemoVersionByte = 0x8B;
  AllowedFieldTypes = DefaultFieldTypes();
  FlushEachWrite = false;
  ReplaceUpdatesIndexes = true;
  HideDeleted = false;
  RecordCacheBudget = std::size_t{128} << 20;
  LockBase = 0x40000000;
  TableLockLength = 0x3FFFFFFF;
  MaxRecordLocks = 0;
  LockRetries = 0;
  LockRetryDelay = 0;
  LockFailedHook = nullptr;
  LastLockError = 0;
  ResetPeekCache();
  ResetSearchState();
}

WorkArea* ReportNoTable(const char* routine) {
  SetError(215, Ansi("Keine Datenbank (bzw.kein Arbeitsbereich) geöffnet. [") + routine +
                    "]  WorkArea = " + std::to_string(CurrentArea));
  return nullptr;
}

void Select(int n) {
  DbfErrorNo = 0;
  if (n == 0) {
    for (int i = 1; i <= kSelectableAreas; ++i) {
      if (!WorkAreas[i]) {
        CurrentArea = static_cast<std::uint8_t>(i);
        return;
      }
    }
    SetError(220, "Kein Arbeitsbereich frei [Select(0)]");
    return;
  }
  if (n < 0 || n > kSelectableAreas) {
    SetError(220, Ansi("Ungültiger Arbeitsbereich = [Select(") + std::to_string(n) + ")]");
    return;
  }
  CurrentArea = static_cast<std::uint8_t>(n);
}

int SelectedArea() { return CurrentArea; }

}  // namespace orvex
