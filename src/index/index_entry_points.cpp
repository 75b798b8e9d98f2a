#include "index/index_entry_points.h"

#include "engine/entry_points.h"
#include "index/build_sort.h"
#include "index/index_build.h"
#include "index/index_file.h"
#include "index/index_journal.h"
#include "index/index_open.h"
#include "index/key_maintenance.h"
#include "index/index_search.h"
#include "index/semaphore.h"

namespace orvex {

namespace {

// The state byte that the relation hook saves and restores around the
// relation procedure.
std::uint8_t RelationState = 0;

TagState* TagOf(int area, int order) {
  IndexFile* index = IndexOf(area);
  if (index == nullptr || order < 1 || order > static_cast<int>(index->tags.size())) return nullptr;
  return index->tags[static_cast<std::size_t>(order - 1)].get();
}

// Runs an operation with `area` current.
template <typename Op>
void InArea(int area, Op op) {
  std::uint8_t saved = CurrentArea;
  CurrentArea = static_cast<std::uint8_t>(area);
  op();
  CurrentArea = saved;
}

}  // namespace

void InstallIndexEngine() {
  IndexEngine.index_open = [](int area) { return IndexOf(area) != nullptr; };
  IndexEngine.order_active = [](int area) {
    IndexFile* index = IndexOf(area);
    return index != nullptr && index->active > 0;
  };
  IndexEngine.first_record = FindFirstRec;
  IndexEngine.last_record = FindLastRec;
  IndexEngine.next_record = FindNextRec;
  IndexEngine.prior_record = FindPriorRec;
  IndexEngine.bof = IndexBof;
  IndexEngine.eof = IndexEof;
  IndexEngine.set_bof = IndexSetBof;
  IndexEngine.set_eof = IndexSetEof;
  IndexEngine.sync_index = SyncIndex;
  IndexEngine.store_keys = StoreKeys;
  IndexEngine.before_edit = BeforeEdit;
  IndexEngine.after_edit = CompareKeys;
  IndexEngine.append_new_key = AppendNewKey;
  IndexEngine.read_bracket = SetReadSemaphoreProc;
  IndexEngine.lock_bracket = KeyedWriteBracket;
  IndexEngine.close_index = CloseIndex;
  IndexEngine.set_index_to = [](int area, const std::string& name) { InArea(area, [&] { SetIndexTo(name); }); };
  IndexEngine.reindex = [](int area) { InArea(area, [] { Reindex(); }); };
  IndexEngine.found = [] { return Found; };
  IndexEngine.tag_name = [](int area, int order) {
    TagState* tag = TagOf(area, order);
    return tag != nullptr ? tag->name : std::string();
  };
  IndexEngine.tag_ascending = [](int area, int order) {
    TagState* tag = TagOf(area, order);
    return tag == nullptr || !tag->layout.descending;
  };
  IndexEngine.key_text = KeyText;
  IndexEngine.relation_state = &RelationState;
}

void ResetIndexSettings() {
  FindNear = false;
  Found = false;
  IndexOpenMode = 0xFFFF;
  IndexSortBudget = 64u << 20;
  IndexNodeBudget = kIndexNodeBudget;
  HeldWriteBudget = kHeldWriteBudget;
  IndexProgress = nullptr;
  IndexProgressSteps = 0;
  FlushIndexWrites = false;
  SemaphoreDirectory.clear();
  SemaphoreTimeoutTicks = 1820;
  SemaphoreLockWaitMs = 10000;
  ResetSemaphoreState();
}

namespace {
// The program's start-up fills the table (orvex_core links this unit whole).
const bool kInstalled = (InstallIndexEngine(), true);
}  // namespace

}  // namespace orvex
