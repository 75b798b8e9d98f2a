// oxdbf check FILE: verifies the table's production index against the table.
//
// The table is read once from the first record to the last, computing every
// tag's key and FOR membership per record; then every tag is walked leaf by
// leaf in key order and each item is compared with what its record gives.
// Findings: keys out of order, record numbers outside the table or seen
// twice, keys that differ from the record's, records missing from a tag,
// trees that are not well formed. Deleted records that another program left
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
#include "engine/navigation.h"
#include "engine/record_io.h"
#include "engine/work_area.h"
#include "index/index_file.h"
#include "index/index_open.h"
#include "index/index_search.h"
#include "index/key_maker.h"
#include "index/tag_walk.h"
#include "oxdbf.h"
#include "oxdbf_index.h"
#include "platform/os/codepage.h"
#include "platform/os/files.h"

namespace orvex::tool {
namespace {

// More findings than this of one tag are counted, not listed.
constexpr int kListedFindings = 20;

struct Expected {
  std::string keys;              // key_length bytes per record, record 1 first
  std::vector<bool> member;      // index 0 = record 1
  std::vector<bool> seen;
};

class Findings {
 public:
  explicit Findings(std::string tag) : tag_(std::move(tag)) {}
  void Add(const std::string& text) {
    if (++count_ <= kListedFindings) std::printf("%s: %s\n", tag_.c_str(), text.c_str());
  }
  int Count() const { return count_; }
  ~Findings() {
    if (count_ > kListedFindings) std::printf("%s: %d more findings\n", tag_.c_str(), count_ - kListedFindings);
  }

 private:
  std::string tag_;
  int count_ = 0;
};

std::string Shown(const TagState& tag, const std::uint8_t* key) {
  return os::AnsiToUtf8(KeyAsText(tag, std::string(reinterpret_cast<const char*>(key),
                                                   static_cast<std::size_t>(tag.layout.key_length))));
}

// Reads every record once and fills each tag's expected keys.
void ReadTable(IndexFile& index, std::vector<Expected>* expected) {
  WorkArea& table = index.Table();
  const std::int32_t count = table.record_count;
  expected->resize(index.tags.size());
  for (std::size_t t = 0; t < index.tags.size(); ++t) {
    Expected& e = (*expected)[t];
    e.keys.resize(static_cast<std::size_t>(count) * static_cast<std::size_t>(index.tags[t]->layout.key_length));
    e.member.assign(static_cast<std::size_t>(count), false);
    e.seen.assign(static_cast<std::size_t>(count), false);
  }
  std::string key;
  for (std::int32_t r = 1; r <= count; ++r) {
    GO(r);
    if (DbfErrorNo != 0) Fail(DbfErrorNo, os::AnsiToUtf8(ErrorDetail));
    for (std::size_t t = 0; t < index.tags.size(); ++t) {
      TagState& tag = *index.tags[t];
      Expected& e = (*expected)[t];
      if (!MeetsFor(tag)) continue;
      if (!MakeKey(KeySourceOf(index, tag), &key)) Fail(DbfErrorNo, os::AnsiToUtf8(ErrorDetail));
      e.member[static_cast<std::size_t>(r - 1)] = true;
      key.copy(e.keys.data() + static_cast<std::size_t>(r - 1) * key.size(), key.size());
    }
  }
}

// Walks one tag in key order, checking each item. The number of findings.
int CheckTag(IndexFile& index, TagState& tag, Expected& e) {
  Findings findings(os::AnsiToUtf8(tag.name));
  const std::int32_t count = index.Table().record_count;
  const std::size_t length = static_cast<std::size_t>(tag.layout.key_length);
  bool failed = false;
  std::string held;  // keys a unique tag holds, for the missing-record test
  if (!TagHoldsNoKeys(index, tag, &failed) && !failed && DescendToEdge(index, tag, false)) {
    std::string previous;
    Step s = SettleForward(index, tag);
    while (s == Step::kMoved) {
      const std::int32_t record = ItemRecord(tag);
      const std::uint8_t* key = ItemKey(tag);
      if (!previous.empty() && tag.order.Compare(reinterpret_cast<const std::uint8_t*>(previous.data()), key) > 0) {
        findings.Add("Schlüssel " + Shown(tag, key) + " (Datensatz " + std::to_string(record) +
                     ") steht nach einem größeren");
      }
      previous.assign(reinterpret_cast<const char*>(key), length);
      if (record < 1 || record > count) {
        findings.Add("Datensatznummer " + std::to_string(record) + " außerhalb der Tabelle");
      } else if (e.seen[static_cast<std::size_t>(record - 1)]) {
        findings.Add("Datensatz " + std::to_string(record) + " mehr als einmal im Tag");
      } else {
        const std::size_t i = static_cast<std::size_t>(record - 1);
        e.seen[i] = true;
        const auto* want = reinterpret_cast<const std::uint8_t*>(e.keys.data() + i * length);
        if (!e.member[i]) {
          findings.Add("Datensatz " + std::to_string(record) + " erfüllt die FOR-Bedingung nicht");
        } else if (!tag.order.SameKey(key, want)) {
          findings.Add("Datensatz " + std::to_string(record) + " hat Schlüssel " + Shown(tag, key) + ", erwartet " +
                       Shown(tag, want));
        }
      }
      s = StepForward(index, tag);
    }
    failed = s == Step::kError;
  }
  if (DbfErrorNo != 0 || failed) {
    findings.Add("Baum beschädigt: " + os::AnsiToUtf8(ErrorDetail));
    DbfErrorNo = 0;
    return findings.Count();
  }
  // Records that belong in the tag but are not there.
  std::vector<std::string> unique_keys;
  if (tag.layout.unique) {
    for (std::int32_t r = 1; r <= count; ++r) {
      if (e.seen[static_cast<std::size_t>(r - 1)]) unique_keys.push_back(e.keys.substr(static_cast<std::size_t>(r - 1) * length, length));
    }
    std::sort(unique_keys.begin(), unique_keys.end());
  }
  int deleted_left_out = 0;
  for (std::int32_t r = 1; r <= count; ++r) {
    const std::size_t i = static_cast<std::size_t>(r - 1);
    if (!e.member[i] || e.seen[i]) continue;
    std::string want = e.keys.substr(i * length, length);
    if (tag.layout.unique && std::binary_search(unique_keys.begin(), unique_keys.end(), want)) continue;
    GO(r);
    if (Deleted()) {
      ++deleted_left_out;
    } else {
      findings.Add("Datensatz " + std::to_string(r) + " fehlt (Schlüssel " +
                   Shown(tag, reinterpret_cast<const std::uint8_t*>(want.data())) + ")");
    }
  }
  if (deleted_left_out > 0) {
    std::printf("%s: %d gelöschte Datensätze nicht im Tag (von anderer Software ausgelassen)\n",
                os::AnsiToUtf8(tag.name).c_str(), deleted_left_out);
  }
  return findings.Count();
}

int Check(const Invocation& call) {
  ExpectArguments(call, 1, 1);
  OpenTable(call, call.args[0], true);
  if (!os::FileExists(IndexFileName(*CurrentWorkArea(), ""))) {
    Fail(2, "Kein Produktionsindex zu " + call.args[0] + " [oxdbf check]");
  }
  OpenProductionIndex();
  Set_Order_To(0);
  IndexFile& index = *IndexOf(CurrentArea);
  std::vector<Expected> expected;
  ReadTable(index, &expected);
  int findings = 0;
  for (std::size_t t = 0; t < index.tags.size(); ++t) findings += CheckTag(index, *index.tags[t], expected[t]);
  if (findings == 0) {
    std::printf("%s: %zu Tags, %d Datensätze, konsistent\n", call.args[0].c_str(), index.tags.size(), RecCount());
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
