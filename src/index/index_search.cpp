#include "index/index_search.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <iterator>

#include "common/errors.h"
#include "common/file_utils.h"
#include "common/names.h"
#include "engine/engine_text.h"
#include "engine/locks.h"
#include "engine/navigation.h"
#include "engine/record_io.h"
#include "index/index_file.h"
#include "index/index_open.h"
#include "index/key_maker.h"
#include "index/semaphore.h"
#include "index/tag_walk.h"

namespace orvex {

bool FindNear = false;
bool Found = false;

namespace {

// Holds the read bracket of an area for a scope.
class ReadScope {
 public:
  explicit ReadScope(int area) : area_(area) { SetReadSemaphoreProc(area_, true); }
  ~ReadScope() { SetReadSemaphoreProc(area_, false); }
  ReadScope(const ReadScope&) = delete;
  ReadScope& operator=(const ReadScope&) = delete;

 private:
  int area_;
};

// The item the tag stands on becomes its current record. A record number
// the table does not have means a damaged tree (a count + 1 there would
// read as "past the end").
bool TakeItem(IndexFile& index, TagState& tag, const char* routine) {
  WorkArea& table = index.Table();
  const PathEntry& leaf = tag.path.back();
  if (leaf.index < 0 ||
      leaf.index >= NodeView(const_cast<Block&>(leaf.node), tag.geometry).Count()) {
    ReportDamaged(index, tag, routine);
    return false;
  }
  std::int32_t record = ItemRecord(tag);
  if (record < 1 || record > table.record_count) RefreshRecCount(table);
  if (record < 1 || record > table.record_count) {
    ReportDamaged(index, tag, routine);
    return false;
  }
  tag.current_record = record;
  tag.current_key.assign(reinterpret_cast<const char*>(ItemKey(tag)),
                         static_cast<std::size_t>(tag.geometry.key_length));
  tag.positioned = true;
  tag.on_gap = false;
  return true;
}

// Tells an exclusive table's record cache which records the walk reads
// next: those this leaf names from the walk's place on, in its direction,
// so that a file the system no longer holds serves them together rather
// than one wait each (record_cache.h).
void ExpectLeafRecords(IndexFile& index, TagState& tag, bool forward) {
  WorkArea& table = index.Table();
  if (!table.unshared) return;
  const PathEntry& leaf = tag.path.back();
  const NodeView items(const_cast<Block&>(leaf.node), tag.geometry);
  const int first = forward ? leaf.index : 0, end = forward ? items.Count() : leaf.index + 1;
  std::int32_t records[kMdxBlockSize / 8];
  std::size_t taken = 0;
  for (int i = std::max(first, 0); i < end && taken < std::size(records); ++i) {
    records[taken++] = static_cast<std::int32_t>(items.Pointer(i));
  }
  table.record_cache.Expect(records, taken);
}

// Asks the system to start reading the leaves that come after this one in
// the walk's direction, unless their copies are held. One request covers
// the next kLeavesAhead leaves of the parent, made on the first leaf a walk
// crosses to and then on every kLeavesAhead-th one, so that a walk over a
// file the system holds pays one call per kLeavesAhead leaves, not one per
// leaf. A build writes a parent's leaves one after another: their pages
// make one short range, asked for at once; leaves scattered by later
// splits are asked for one by one.
void PrefetchLeavesAhead(IndexFile& index, TagState& tag, bool forward) {
  if (tag.path.size() < 2) return;
  constexpr int kLeavesAhead = 8;
  const PathEntry& parent = tag.path[tag.path.size() - 2];
  const NodeView above(const_cast<Block&>(parent.node), tag.geometry);
  const int entries = above.Entries();
  const int done = forward ? parent.index : entries - 1 - parent.index;
  if (done % kLeavesAhead != 0 && std::labs(tag.leaf_moves) != 1) return;
  std::uint32_t pages[kLeavesAhead];
  int wanted = 0;
  for (int step = 1; step <= kLeavesAhead; ++step) {
    const int child = parent.index + (forward ? step : -step);
    if (child < 0 || child >= entries) break;
    const std::uint32_t page = above.Child(child);
    if (!index.node_cache.Holds(page)) pages[wanted++] = page;
  }
  if (wanted == 0) return;
  const auto [low, high] = std::minmax_element(pages, pages + wanted);
  const std::uint32_t block_pages = kMdxBlockSize / kMdxPageSize;
  if (*high - *low <= 2 * kLeavesAhead * block_pages) {
    os::Prefetch(index.file, static_cast<std::int64_t>(*low) * kMdxPageSize,
                 static_cast<std::size_t>(*high - *low + block_pages) * kMdxPageSize);
    return;
  }
  for (int i = 0; i < wanted; ++i) {
    os::Prefetch(index.file, static_cast<std::int64_t>(pages[i]) * kMdxPageSize, kMdxBlockSize);
  }
}

// Called when a walk has stepped onto another leaf. Nothing is read here,
// and seeks never come here: random access reads only what it asks for.
void ReadAheadOfWalk(IndexFile& index, TagState& tag, bool forward) {
  ExpectLeafRecords(index, tag, forward);
  PrefetchLeavesAhead(index, tag, forward);
}

// One step of a walk forward or back (from a gap: onto the item there);
// a step onto another leaf reads ahead of the walk.
Step WalkStep(IndexFile& index, TagState& tag, bool forward) {
  const std::uint32_t was = tag.path.back().page;
  Step s = forward ? (tag.on_gap ? SettleForward(index, tag) : StepForward(index, tag))
                   : (tag.on_gap ? SettleBackward(index, tag) : StepBackward(index, tag));
  if (s == Step::kMoved && tag.path.back().page != was) ReadAheadOfWalk(index, tag, forward);
  return s;
}

// True (with both flags set) when there is nothing to walk: an empty table
// or a tag without keys. A read error counts as nothing too (reported). A
// tag standing on an item has keys: the root is read only otherwise.
bool NothingToWalk(IndexFile& index, TagState& tag) {
  bool failed = false;
  if (index.Table().record_count > 0 &&
      ((tag.positioned && !tag.on_gap) || (!TagHoldsNoKeys(index, tag, &failed) && !failed))) {
    return false;
  }
  tag.bof = tag.eof = true;
  tag.positioned = false;
  return true;
}

// Stands the tag on its first or last item.
bool TakeEdge(IndexFile& index, TagState& tag, bool last, const char* routine) {
  return DescendToEdge(index, tag, last) && TakeItem(index, tag, routine);
}

// A tag whose path was dropped finds its current record again.
bool Reposition(IndexFile& index, TagState& tag, const char* routine) {
  if (tag.positioned) return true;
  if (tag.current_key.empty()) return TakeEdge(index, tag, false, routine);
  bool found = false;
  if (!PlaceOnRecord(index, tag, reinterpret_cast<const std::uint8_t*>(tag.current_key.data()),
                     tag.current_record, &found)) {
    return false;
  }
  tag.positioned = true;
  return true;
}

TagState* ActiveTag(int area, IndexFile** index) {
  *index = IndexOf(area);
  return *index != nullptr ? (*index)->Active() : nullptr;
}

std::int32_t Edge(int area, bool last) {
  IndexFile* index = nullptr;
  TagState* tag = ActiveTag(area, &index);
  WorkArea* table = WorkAreas[static_cast<std::size_t>(area)].get();
  if (tag == nullptr)
    return last && table != nullptr && table->record_count > 0 ? table->record_count : 1;
  CheckChangeCounter(*index);
  AreaScope scope(area);
  if (NothingToWalk(*index, *tag)) return table->record_count + 1;
  if (!TakeEdge(*index, *tag, last, "_FindFirst/LastRec")) {
    tag->bof = tag->eof = true;
    return table->record_count + 1;
  }
  tag->bof = tag->eof = false;
  return tag->current_record;
}

void SyncTag(IndexFile& index, TagState& tag, bool active) {
  WorkArea& table = index.Table();
  std::int32_t record = table.record_number;
  if (record < 1 || record > table.record_count || !MeetsFor(tag)) {
    if (active) {
      tag.eof = true;
      tag.bof = false;
    } else if (!NothingToWalk(index, tag) && TakeEdge(index, tag, true, "SyncIndex-0")) {
      tag.bof = tag.eof = false;
    }
    return;
  }
  if (NothingToWalk(index, tag)) return;
  std::string key;
  if (!MakeKey(KeySourceOf(index, tag), &key)) return;
  bool found = false;
  if (!PlaceOnRecord(index, tag, reinterpret_cast<const std::uint8_t*>(key.data()), record, &found))
    return;
  tag.current_key = key;
  tag.current_record = record;
  tag.positioned = true;
  tag.bof = tag.eof = false;
}

void GoEndOfFile(WorkArea& table, TagState& tag) {
  BlankRecord(table);
  table.record_number = table.record_count + 1;
  table.eof = true;
  tag.eof = true;
}

bool FindText(const std::string& text, bool exact) {
  DbfErrorNo = 0;
  WorkArea* table = RequireTable("Find");
  if (table == nullptr) return false;
  const int area = CurrentArea;
  IndexFile* index = IndexOf(area);
  if (index == nullptr) {
    SetError(221, Ansi("Index nicht geöffnet. (DBF=") + table->file_name + ") [Find]");
    return false;
  }
  TagState* tag = index->Active();
  if (tag == nullptr) {
    SetError(254, Ansi("Find() mit Index-Ordnung 0 (natürliche Ordnung) nicht erlaubt [Find]"));
    return false;
  }
  if (text.empty()) return Found;
  Found = false;
  ReadScope bracket(area);
  CheckChangeCounter(*index);
  RefreshRecCount(*table);
  if (NothingToWalk(*index, *tag)) {
    GoEndOfFile(*table, *tag);
    return false;
  }
  int compare_length = 0;
  bool can_match = true;
  std::string key = SearchKey(*index, *tag, text, exact, &compare_length, &can_match);
  const auto* search = reinterpret_cast<const std::uint8_t*>(key.data());
  if (!DescendToKey(*index, *tag, search)) return false;
  bool past_end = false;
  Step s = SettleForward(*index, *tag);
  if (s == Step::kEnd) {
    past_end = true;
    s = SettleBackward(*index, *tag);
  }
  if (s != Step::kMoved || !TakeItem(*index, *tag, "Find")) return false;
  // Records the engine does not show (hidden deleted ones, filtered) are
  // passed over.
  for (;;) {
    Dbf4RawGo(tag->current_record);
    if (DbfErrorNo != 0) return false;
    if (RecordVisible(*table)) break;
    s = StepForward(*index, *tag);
    if (s == Step::kError) return false;
    if (s == Step::kEnd || !TakeItem(*index, *tag, "Find")) {
      past_end = true;
      break;
    }
  }
  const auto* item = reinterpret_cast<const std::uint8_t*>(tag->current_key.data());
  bool found = !past_end && can_match;
  if (found) {
    char type = tag->layout.key_type;
    found = type == 'N' || type == 'F'
                ? CompareNumericKeys(item, search) == 0
                : std::memcmp(item, search, static_cast<std::size_t>(compare_length)) == 0;
  }
  if (found || (FindNear && RecordVisible(*table) && table->record_number == tag->current_record)) {
    tag->bof = tag->eof = false;
    StoreKeys(area, false);
    RunRelationHook();
  } else {
    GoEndOfFile(*table, *tag);
  }
  Found = found;
  return found;
}

}  // namespace

std::int32_t FindFirstRec(int area) { return Edge(area, false); }
std::int32_t FindLastRec(int area) { return Edge(area, true); }

std::int32_t FindNextRec(int area) {
  IndexFile* index = nullptr;
  TagState* tag = ActiveTag(area, &index);
  WorkArea& table = *WorkAreas[static_cast<std::size_t>(area)];
  if (tag == nullptr) return std::min(table.record_number + 1, std::max(table.record_count, 1));
  CheckChangeCounter(*index);
  AreaScope scope(area);
  if (NothingToWalk(*index, *tag)) return table.record_count + 1;
  if (tag->eof) {
    if (!TakeEdge(*index, *tag, true, "_FindNextRec")) return table.record_count + 1;
    return tag->current_record;
  }
  if (!Reposition(*index, *tag, "_FindNextRec")) return table.record_number;
  Step s = WalkStep(*index, *tag, true);
  if (s == Step::kMoved && TakeItem(*index, *tag, "_FindNextRec")) {
    tag->bof = false;
    return tag->current_record;
  }
  if (s == Step::kEnd) tag->eof = true;
  return table.record_number;
}

std::int32_t FindPriorRec(int area) {
  IndexFile* index = nullptr;
  TagState* tag = ActiveTag(area, &index);
  WorkArea& table = *WorkAreas[static_cast<std::size_t>(area)];
  if (tag == nullptr) return std::max(table.record_number - 1, 1);
  CheckChangeCounter(*index);
  AreaScope scope(area);
  if (NothingToWalk(*index, *tag)) return table.record_count + 1;
  if (tag->eof) {
    if (!TakeEdge(*index, *tag, true, "_FindPriorRec")) return table.record_count + 1;
    tag->eof = tag->bof = false;
    return tag->current_record;
  }
  if (!Reposition(*index, *tag, "_FindPriorRec")) return table.record_number;
  Step s = WalkStep(*index, *tag, false);
  if (s == Step::kMoved && TakeItem(*index, *tag, "_FindPriorRec")) {
    tag->eof = false;
    return tag->current_record;
  }
  if (s == Step::kEnd) tag->bof = true;
  return table.record_number;
}

bool IndexBof(int area) {
  IndexFile* index = nullptr;
  TagState* tag = ActiveTag(area, &index);
  return tag != nullptr && tag->bof;
}

bool IndexEof(int area) {
  IndexFile* index = nullptr;
  TagState* tag = ActiveTag(area, &index);
  return tag != nullptr && tag->eof;
}

void IndexSetBof(int area) {
  IndexFile* index = nullptr;
  if (TagState* tag = ActiveTag(area, &index)) tag->bof = true;
}

void IndexSetEof(int area) {
  IndexFile* index = nullptr;
  if (TagState* tag = ActiveTag(area, &index)) tag->eof = true;
}

void SyncIndex(int area, bool all_tags) {
  IndexFile* index = IndexOf(area);
  if (index == nullptr) return;
  CheckChangeCounter(*index);
  AreaScope scope(area);
  for (auto& tag : index->tags) {
    bool active = tag->number == index->active;
    if (all_tags || active) SyncTag(*index, *tag, active);
  }
}

void StoreKeys(int area, bool all_tags) {
  IndexFile* index = IndexOf(area);
  if (index == nullptr) return;
  AreaScope scope(area);
  WorkArea& table = index->Table();
  const std::int32_t record = table.record_number;
  const bool in_table = record >= 1 && record <= table.record_count;
  for (auto& tag : index->tags) {
    if (!all_tags && tag->number != index->active) continue;
    if (!in_table) {
      tag->stored_key.assign(static_cast<std::size_t>(tag->geometry.key_length),
                             tag->layout.key_type == 'C' ? ' ' : '\0');
    } else if (tag->positioned && !tag->on_gap && tag->current_record == record) {
      tag->stored_key = tag->current_key;
    } else if (!MakeKey(KeySourceOf(*index, *tag), &tag->stored_key)) {
      return;
    }
    if (all_tags) tag->stored_record = record;
  }
}

void Set_Order_To(int n) {
  DbfErrorNo = 0;
  WorkArea* table = RequireTable("Set_Order_To");
  if (table == nullptr) return;
  const int area = CurrentArea;
  IndexFile* index = IndexOf(area);
  const std::string routine = "[Set_Order_To(" + std::to_string(n) + ")]";
  if (index == nullptr) {
    SetError(221, Ansi("Index nicht geöffnet. (DBF=") + table->file_name + ") " + routine);
    return;
  }
  if (n < 0 || n > static_cast<int>(index->tags.size())) {
    SetError(220, Ansi("Ungültige Index-Ordnung angegeben: SET_ORDER_TO. ") + routine +
                      " (DBF=" + table->file_name + ")");
    return;
  }
  if (n == 0) {
    index->active = 0;
    return;
  }
  ReadScope bracket(area);
  TagState* old = index->Active();
  bool at_end =
      (old != nullptr ? old->eof : table->eof) || table->record_number > table->record_count;
  if (!at_end && table->record_number >= 1) Dbf4RawGo(table->record_number);
  if (DbfErrorNo != 0) return;
  index->active = n;
  if (at_end) {
    GoPhantom(*table);
    table->bof = false;
  }
  SyncIndex(area, true);
  TagState* tag = index->Active();
  if (at_end) tag->eof = true;
  StoreKeys(area, false);
}

void SetOrderToTag(const std::string& name) {
  DbfErrorNo = 0;
  WorkArea* table = RequireTable("SetOrderToTag");
  if (table == nullptr) return;
  std::string wanted = UpperCase(TrimBoth(name).substr(0, kMaxTagNameLength));
  IndexFile* index = IndexOf(CurrentArea);
  const std::string routine = "[SetOrderToTag(" + wanted + ")]";
  if (index == nullptr) {
    SetError(221, Ansi("Index nicht geöffnet. (DBF=") + table->file_name + ") " + routine);
    return;
  }
  if (wanted.empty()) return Set_Order_To(0);
  for (auto& tag : index->tags) {
    if (tag->name.compare(0, wanted.size(), wanted) == 0) return Set_Order_To(tag->number);
  }
  SetError(220, Ansi("Ungültige Index-Ordnung angegeben: SET_ORDER_TO. ") + routine +
                    " (DBF=" + table->file_name + ")");
}

bool Find(const std::string& text) { return FindText(text, false); }
bool FindExact(const std::string& text) { return FindText(text, true); }

std::string KeyText(int area, int order) {
  IndexFile* index = IndexOf(area);
  WorkArea* table = area >= 1 && area <= kWorkAreaSlots
                        ? WorkAreas[static_cast<std::size_t>(area)].get()
                        : nullptr;
  if (table == nullptr) return "";
  if (index == nullptr || order < 1 || order > static_cast<int>(index->tags.size())) {
    std::string number = std::to_string(table->record_number);
    return "Rec:" + std::string(number.size() < 10 ? 10 - number.size() : 0, ' ') + number;
  }
  TagState& tag = *index->tags[static_cast<std::size_t>(order - 1)];
  AreaScope scope(area);
  std::string key;
  if (!MakeKey(KeySourceOf(*index, tag), &key)) return "";
  return KeyAsText(tag, key);
}

}  // namespace orvex
