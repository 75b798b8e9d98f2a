// oxdbf check FILE: verifies the table's production index against the table.
//
// Every tag is walked leaf by leaf in key order and each item is compared
// with what its record gives; then the table is read for records missing
// from the tag. The whole check runs inside the index's read bracket, so a
// program appending meanwhile waits instead of showing a half-written
// state. Findings: record numbers outside the table or seen twice, keys
// that differ from the record's, records missing from a tag, trees that
// are not well formed (keys out of order, a leaf met twice), a production
// index the table's header names but that is gone. Deleted records that another program left
// out of a tag are counted and reported as such, not as damage; a unique
// tag holds each key once, so a record whose key another record already
// holds is not missing.
//
// Exit status 0 when the index is consistent, 1 with the list of findings.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "common/errors.h"
#include "engine/dbf_file.h"
#include "engine/locks.h"
#include "engine/navigation.h"
#include "engine/record_io.h"
#include "engine/work_area.h"
#include "index/index_file.h"
#include "index/index_open.h"
#include "index/index_search.h"
#include "index/key_maker.h"
#include "common/quiet_errors.h"
#include "index/semaphore.h"
#include "index/tag_walk.h"
#include "oxdbf.h"
#include "oxdbf_index.h"
#include "platform/os/codepage.h"
#include "platform/os/display_text.h"
#include "platform/os/files.h"

namespace orvex::tool {
namespace {

// More findings than this of one tag are counted, not listed.
constexpr int kListedFindings = 20;

class Findings {
 public:
  explicit Findings(std::string tag) : tag_(std::move(tag)) {}
  void Add(const std::string& text) {
    if (++count_ <= kListedFindings) std::printf("%s: %s\n", tag_.c_str(), text.c_str());
  }
  int Count() const { return count_; }
  ~Findings() {
    if (count_ > kListedFindings)
      std::printf("%s: %d more findings\n", tag_.c_str(), count_ - kListedFindings);
  }

 private:
  std::string tag_;
  int count_ = 0;
};

std::string Shown(const TagState& tag, const std::uint8_t* key) {
  return os::AnsiToUtf8(
      KeyAsText(tag, std::string(reinterpret_cast<const char*>(key),
                                 static_cast<std::size_t>(tag.layout.key_length))));
}

// The error the library recorded as a finding's text, and cleared.
std::string TakeError() {
  std::string text = os::DisplayText(ErrorDetail);
  DbfErrorNo = 0;
  return text;
}

// What record r gives for the tag: whether it belongs in it and its key.
// False (with *error) when the record cannot be read or its key not made.
bool RecordKey(IndexFile& index, TagState& tag, std::int32_t r, bool* member, std::string* key,
               std::string* error) {
  GO(r);
  *member = DbfErrorNo == 0 && MeetsFor(tag);
  if (DbfErrorNo == 0 && *member) MakeKey(KeySourceOf(index, tag), key);
  if (DbfErrorNo == 0) return true;
  *error = TakeError();
  return false;
}

// True when the tag holds an item with `key` (a unique tag holds each key
// once: a record whose key another record holds is not missing).
bool TagHoldsKey(IndexFile& index, TagState& tag, const std::string& key) {
  const auto* k = reinterpret_cast<const std::uint8_t*>(key.data());
  return DescendToKey(index, tag, k) && SettleForward(index, tag) == Step::kMoved &&
         tag.order.SameKey(ItemKey(tag), k);
}

// Checks one tag: walks it in key order, comparing each item with what its
// record gives, then reads the table for records that belong in the tag
// but are not there. Memory is one bit per record, whatever the count: the
// keys are made again per item, not held for the whole table. The number
// of findings.
int CheckTag(IndexFile& index, TagState& tag) {
  Findings findings(os::AnsiToUtf8(tag.name));
  const std::int32_t count = index.Table().record_count;
  std::vector<bool> seen(static_cast<std::size_t>(count), false);
  std::string key, error;
  bool member = false, failed = false;
  if (!TagHoldsNoKeys(index, tag, &failed) && !failed && DescendToEdge(index, tag, false)) {
    Step s = SettleForward(index, tag);
    while (s == Step::kMoved) {
      const std::int32_t record = ItemRecord(tag);
      const std::string held(reinterpret_cast<const char*>(ItemKey(tag)),
                             static_cast<std::size_t>(tag.layout.key_length));
      const auto* item = reinterpret_cast<const std::uint8_t*>(held.data());
      if (record < 1 || record > count) {
        findings.Add("Datensatznummer " + std::to_string(record) + " außerhalb der Tabelle");
      } else if (seen[static_cast<std::size_t>(record - 1)]) {
        findings.Add("Datensatz " + std::to_string(record) + " mehr als einmal im Tag");
      } else {
        seen[static_cast<std::size_t>(record - 1)] = true;
        if (!RecordKey(index, tag, record, &member, &key, &error)) {
          findings.Add("Datensatz " + std::to_string(record) + ": " + error);
        } else if (!member) {
          findings.Add("Datensatz " + std::to_string(record) + " erfüllt die FOR-Bedingung nicht");
        } else if (!tag.order.SameKey(item, reinterpret_cast<const std::uint8_t*>(key.data()))) {
          findings.Add("Datensatz " + std::to_string(record) + " hat Schlüssel " +
                       Shown(tag, item) + ", erwartet " +
                       Shown(tag, reinterpret_cast<const std::uint8_t*>(key.data())));
        }
      }
      s = StepForward(index, tag);
    }
    failed = s == Step::kError;
  }
  if (DbfErrorNo != 0 || failed) {
    findings.Add("Baum beschädigt: " + TakeError());
    return findings.Count();
  }
  // Records that belong in the tag but are not there.
  int deleted_left_out = 0;
  for (std::int32_t r = 1; r <= count; ++r) {
    if (seen[static_cast<std::size_t>(r - 1)]) continue;
    if (!RecordKey(index, tag, r, &member, &key, &error)) {
      findings.Add("Datensatz " + std::to_string(r) + ": " + error);
      continue;
    }
    if (!member || (tag.layout.unique && TagHoldsKey(index, tag, key))) continue;
    if (DbfErrorNo != 0) {
      findings.Add("Baum beschädigt: " + TakeError());
      return findings.Count();
    }
    GO(r);
    if (Deleted()) {
      ++deleted_left_out;
    } else {
      findings.Add("Datensatz " + std::to_string(r) + " fehlt (Schlüssel " +
                   Shown(tag, reinterpret_cast<const std::uint8_t*>(key.data())) + ")");
    }
  }
  if (deleted_left_out > 0) {
    std::printf("%s: %d gelöschte Datensätze nicht im Tag (von anderer Software ausgelassen)\n",
                os::AnsiToUtf8(tag.name).c_str(), deleted_left_out);
  }
  return findings.Count();
}

// A table whose header says it has a production index (byte 28) but whose
// index file is not there has lost every tag.
bool HeaderPromisesIndex(const WorkArea& table) {
  return table.dialect != DbfDialect::kDbase2 && table.header[28] != 0;
}

int Check(const Invocation& call) {
  ExpectArguments(call, 1, 1);
  OpenTable(call, call.args[0], true);
  WorkArea& table = *CurrentWorkArea();
  if (!os::FileExists(IndexFileName(table, ""))) {
    if (HeaderPromisesIndex(table)) {
      std::printf(
          "%s: der Tabellenkopf nennt einen Produktionsindex, aber %s fehlt: alle Tags verloren\n",
          call.args[0].c_str(), IndexFileName(table, "").c_str());
      return 1;
    }
    Fail(2, "Kein Produktionsindex zu " + call.args[0] + " [oxdbf check]");
  }
  OpenProductionIndex();
  Set_Order_To(0);
  IndexFile& index = *IndexOf(CurrentArea);
  int findings = 0;
  {
    // Inside the read bracket no other program changes the index or adds
    // records; the records are counted there, as the build counts them
    // (from the file's size), and errors become findings.
    SetReadSemaphoreProc(CurrentArea, true);
    if (DbfErrorNo != 0) FailAsReported();
    QuietErrors quiet;
    CheckChangeCounter(index);
    RefreshRecCount(table);
    for (std::size_t t = 0; t < index.tags.size(); ++t) findings += CheckTag(index, *index.tags[t]);
    quiet.ReportHeld();
    SetReadSemaphoreProc(CurrentArea, false);
  }
  if (findings == 0) {
    std::printf("%s: %zu Tags, %d Datensätze, konsistent\n", call.args[0].c_str(),
                index.tags.size(), table.record_count);
    return 0;
  }
  std::printf("%s: %d Befunde\n", call.args[0].c_str(), findings);
  return 1;
}

SubcommandRegistration check{
    {"check",
     "FILE",
     {},
     Check,
     "Verifies the production index of FILE against the table: every tag is\n"
     "walked in key order and each key compared with what its record gives.\n"
     "Reports keys out of order, record numbers outside the table or seen twice,\n"
     "keys that differ from their record's, records missing from a tag, and\n"
     "trees that are not well formed. Reads only; nothing is changed.\n"
     "Exit status 0 when the index is consistent, 1 with the list of findings.\n"
     "Example:\n  oxdbf check films.dbf\n"}};

}  // namespace
}  // namespace orvex::tool
