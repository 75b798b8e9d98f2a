// The record hooks of key maintenance: what the table engine calls before
// and after an edit and after an append (see key_maintenance.h).
#include "common/errors.h"
#include "engine/engine_text.h"
#include "index/index_open.h"
#include "index/index_search.h"
#include "index/key_maintenance.h"
#include "index/key_maker.h"
#include "index/tag_walk.h"

namespace orvex {

namespace {

bool InTable(const WorkArea& table) {
  return table.record_number >= 1 && table.record_number <= table.record_count;
}

// Whether the current record belongs in the tag and, if so, its key. False
// after an evaluation error (reported).
bool KeyOfRecord(IndexFile& index, TagState& tag, bool* member, std::string* key) {
  *member = InTable(index.Table()) && MeetsFor(tag);
  if (DbfErrorNo != 0) return false;
  // Some evaluation errors (division by 0) still yield a value.
  return DbfErrorNo == 0 &&
         (!*member || (MakeKey(KeySourceOf(index, tag), key) && DbfErrorNo == 0));
}

// Whether the tag holds `record` under some key: a walk over every item (the
// tag's position is lost). Asked only when a deleted record's old key was not
// found: it tells a record that other software left out of the tag from one
// the tag holds under another key (made from another reading of its text),
// which a write must not leave behind beside the new key. False with
// *failed set after an error.
bool TagHoldsRecord(IndexFile& index, TagState& tag, std::int32_t record, bool* failed) {
  *failed = false;
  bool held = false;
  if (!TagHoldsNoKeys(index, tag, failed) && !*failed) {
    Step step = DescendToEdge(index, tag, false) ? Step::kMoved : Step::kError;
    while (step == Step::kMoved && !(held = ItemRecord(tag) == record))
      step = StepForward(index, tag);
    *failed = step == Step::kError;
  }
  tag.positioned = false;
  return held;
}

// After a change: the file header when a split changed it, then the active
// tag back on the current record with its key remembered.
void Settle(int area, IndexFile& index, const char* routine) {
  std::uint16_t error = DbfErrorNo;
  std::string detail = ErrorDetail;
  WriteHeaderIfDirty(index, routine);
  SyncIndex(area, false);
  StoreKeys(area, false);
  // The first failure is the one to report.
  if (error != 0) {
    DbfErrorNo = error;
    ErrorDetail = detail;
  }
}

// Whether the active tag stands on the current record's item under the key
// the record gives now (after a GO or a step to the record it does): its
// position then needs no search.
bool ActiveStandsOnRecord(IndexFile& index) {
  TagState* tag = index.Active();
  if (tag == nullptr || !tag->positioned || tag->on_gap ||
      tag->current_record != index.Table().record_number || !InTable(index.Table())) {
    return false;
  }
  std::string key;
  return MeetsFor(*tag) && MakeKey(KeySourceOf(index, *tag), &key) && key == tag->current_key;
}

}  // namespace

void BeforeEdit(int area) {
  IndexFile* index = IndexOf(area);
  if (index == nullptr) return;
  AreaScope scope(area);
  CheckChangeCounter(*index);
  if (!ActiveStandsOnRecord(*index)) SyncIndex(area, false);
  StoreKeys(area, true);
  for (auto& tag : index->tags) tag->stored_member = InTable(index->Table()) && MeetsFor(*tag);
}

void CompareKeys(int area) {
  IndexFile* index = IndexOf(area);
  // A record write that failed changed no key.
  if (index == nullptr || DbfErrorNo != 0) return;
  AreaScope scope(area);
  const std::int32_t record = index->Table().record_number;
  bool changed = false;
  TagState* missing = nullptr;  // a tag that lacked the record's old key
  for (auto& owned : index->tags) {
    TagState& tag = *owned;
    bool member = false;
    std::string key;
    if (!KeyOfRecord(*index, tag, &member, &key)) break;
    if (tag.stored_record != record) {
      SetError(254, Ansi("Gespeicherter Schlüssel gehört nicht zu Datensatz ") +
                        std::to_string(record) + ": " + IndexAndTag(*index, tag) +
                        " [CompareKeys]");
      break;
    }
    if (member == tag.stored_member && (!member || key == tag.stored_key)) continue;
    changed = true;
    if (tag.stored_member) {
      const KeyChange removed = DeleteKey(*index, tag, tag.stored_key, record);
      if (removed == KeyChange::kFailed) break;
      // The tag did not hold the key the record gave before this write: it
      // was wrong already (a deleted record that other software left out is
      // no fault, unless the tag holds it under another key; nor is a record
      // a unique tag leaves out because another holds its key). The fault is
      // reported after, which undoes the write.
      if (removed == KeyChange::kSkipped && !tag.MarkedEmpty() && !tag.layout.unique) {
        bool failed = false;
        if (index->Table().record[0] != '*' || TagHoldsRecord(*index, tag, record, &failed))
          missing = &tag;
        if (failed) break;
      }
    }
    if (member && AppendIndex(*index, tag, key, record, true) == KeyChange::kFailed) break;
    if (member) tag.stored_key = key;
    tag.stored_member = member;
  }
  if (changed) Settle(area, *index, "CompareKeys");
  if (missing != nullptr && DbfErrorNo == 0) {
    SetError(254, Ansi("Schlüssel von Datensatz ") + std::to_string(record) +
                      Ansi(" fehlte im Tag: ") + IndexAndTag(*index, *missing) + " [CompareKeys]");
  }
}

void AppendNewKey(int area) {
  IndexFile* index = IndexOf(area);
  // A record that was not written gets no keys.
  if (index == nullptr || DbfErrorNo != 0) return;
  CheckChangeCounter(*index);
  AreaScope scope(area);
  const std::int32_t record = index->Table().record_number;
  for (auto& owned : index->tags) {
    TagState& tag = *owned;
    bool member = false;
    std::string key;
    // A failure ends the loop; the keyed write's roll-back takes out the
    // record and the keys already inserted (index_journal.h).
    if (!KeyOfRecord(*index, tag, &member, &key) ||
        (member && AppendIndex(*index, tag, key, record, true, true) == KeyChange::kFailed)) {
      break;
    }
  }
  Settle(area, *index, "AppendNewKey");
}

}  // namespace orvex
