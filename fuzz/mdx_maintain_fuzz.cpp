// Fuzz target of index maintenance: the input drives a sequence of appends,
// key-changing edits, deletes and recalls on a valid table with a production
// index of six tags (character, numeric, descending, compound, FOR and
// unique). Afterwards every tag must walk the records a rebuild of the index
// walks: the same keys in the same order, and (unique tags aside, which may
// keep another record of a key) the same records. Nothing may fail, crash or
// trip a sanitizer.
//
// Input: a sequence of operations of four bytes each: kind, record, and two
// bytes that make the new NAME (one to three letters of a small alphabet, so
// that keys collide) and NUM.
#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "common/errors.h"
#include "engine/navigation.h"
#include "engine/record_io.h"
#include "engine/tables.h"
#include "engine/work_area.h"
#include "fuzz_support.h"
#include "index/index_build.h"
#include "index/index_open.h"
#include "index/index_search.h"

namespace {

using namespace orvex;

constexpr int kRecords = 12;
constexpr int kMaxOperations = 48;
// Where the fields stand in a record as the file holds it.
constexpr int kNameAt = 1, kNameLength = 8, kNumAt = 9, kNumLength = 6, kCodeAt = 15,
              kCodeLength = 4;

const std::string& Directory() { return fuzz::ScratchFolder("mdx_maintain_fuzz"); }

void Require(bool ok) {
  if (!ok || DbfErrorNo != 0) std::abort();
}

// NAME C(8), NUM N(6,0), CODE C(4).
std::string TableBytes() {
  int record = 0;
  std::string b = fuzz::DbfHeader(
      {{"NAME", 'C', kNameLength, 0}, {"NUM", 'N', kNumLength, 0}, {"CODE", 'C', kCodeLength, 0}},
      kRecords, &record);
  for (int i = 0; i < kRecords; ++i) {
    char row[32];
    std::snprintf(row, sizeof row, " %-8s%6d%-4s", std::string(1 + i % 3, "aAbZ"[i % 4]).c_str(),
                  i % 5 - 2, i % 2 ? "x" : "y");
    b += row;
  }
  b += '\x1A';
  return b;
}

const std::vector<TagDefinition>& Tags() {
  static const std::vector<TagDefinition> tags = {{"NAME", "NAME", "", false, false},
                                                  {"NUM", "NUM", "", false, false},
                                                  {"UPNAME", "UPPER(NAME)", "", true, false},
                                                  {"CODENAME", "CODE+NAME", "", false, false},
                                                  {"POSITIVE", "NAME", "NUM > 0", false, false},
                                                  {"ONCE", "NAME", "", false, true}};
  return tags;
}

// The part of the record that tag n's key is made of.
std::string KeyPart(int n, const char* record) {
  const std::string name(record + kNameAt, kNameLength);
  switch (n) {
    case 2:
      return std::string(record + kNumAt, kNumLength);
    case 3: {
      std::string upper = name;
      for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      return upper;
    }
    case 4:
      return std::string(record + kCodeAt, kCodeLength) + name;
    default:
      return name;
  }
}

struct Walk {
  std::vector<std::string> keys;      // in the tag's order
  std::vector<std::int32_t> records;  // sorted
};

// Walks tag n from top to bottom.
Walk WalkTag(int n) {
  Walk walk;
  Set_Order_To(n);
  GoTop();
  while (DbfErrorNo == 0 && !dEOF()) {
    if (walk.keys.size() > 4 * static_cast<std::size_t>(RecCount()))
      std::abort();  // round in circles
    walk.keys.push_back(KeyPart(n, CurrentWorkArea()->record.data()));
    walk.records.push_back(RecNo());
    SKIP(1);
  }
  Require(true);
  std::sort(walk.records.begin(), walk.records.end());
  return walk;
}

// Puts NAME and NUM into the unpacked buffer (C: length byte and text; N
// without decimals: a 32-bit number).
void SetFields(std::uint8_t name_byte, std::uint8_t num_byte) {
  const int letters = 1 + name_byte % 3;
  std::uint8_t* name = FieldAddress(1);
  name[0] = static_cast<std::uint8_t>(letters);
  for (int i = 0; i < letters; ++i)
    name[1 + i] = static_cast<std::uint8_t>("aAbZ"[(name_byte >> (2 + 2 * i)) & 3]);
  const std::int32_t num = num_byte % 9 - 4;
  std::memcpy(FieldAddress(2), &num, sizeof num);
}

void Operate(const std::uint8_t* op) {
  const std::int32_t count = RecCount();
  Set_Order_To(1 +
               op[0] / 4 % static_cast<int>(Tags().size()));  // maintenance under any active order
  GO(1 + op[1] % count);
  Require(true);
  switch (op[0] % 4) {
    case 0:
      SetFields(op[2], op[3]);
      Append();
      break;
    case 1:
      SetFields(op[2], op[3]);
      Replace();
      break;
    case 2:
      DeleteRec();
      break;
    default:
      RecallRec();
  }
  Require(true);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const bool installed = (SetAutoReport(false), true);
  (void)installed;
  const std::string table = Directory() + "/fuzz.dbf";
  const std::string mdx = Directory() + "/fuzz.mdx";
  fuzz::WriteFile(table, TableBytes());
  std::remove(mdx.c_str());
  DbfErrorNo = 0;
  HideDeleted = false;
  Select(1);
  USE(table + " EXCLUSIVE");
  Require(true);
  Require(MakeIndex(Tags(), mdx));
  SetIndexTo(mdx);
  Require(true);
  for (std::size_t at = 0; at + 4 <= size && at < 4 * kMaxOperations; at += 4) Operate(data + at);
  const int tags = static_cast<int>(Tags().size());
  std::vector<Walk> kept;
  for (int n = 1; n <= tags; ++n) kept.push_back(WalkTag(n));
  Reindex();
  Require(true);
  for (int n = 1; n <= tags; ++n) {
    const Walk rebuilt = WalkTag(n);
    const Walk& maintained = kept[static_cast<std::size_t>(n - 1)];
    if (Tags()[static_cast<std::size_t>(n - 1)].unique) {
      if (std::adjacent_find(maintained.keys.begin(), maintained.keys.end()) !=
          maintained.keys.end())
        std::abort();
    } else if (maintained.keys != rebuilt.keys || maintained.records != rebuilt.records) {
      std::abort();
    }
  }
  CloseAllAreas();
  Require(true);
  return 0;
}
