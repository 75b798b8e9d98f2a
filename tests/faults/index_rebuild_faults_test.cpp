// Index builds under the fault loop (support/fault_loop.h): a full disk, an
// I/O error, a half-stored write and a killed program (with
// ORVEX_FAULT_SWEEP=1 also an ended one) at each file-layer call of a
// rebuild or of a new tag must leave an index that
// opens with every tag definition as before or as after the build, each tag
// holding exactly the keys a fresh rebuild of the table gives.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <iostream>
#include <map>

#include "common/errors.h"
#include "engine/dbf_file.h"
#include "engine/entry_points.h"
#include "engine/navigation.h"
#include "engine/record_io.h"
#include "engine/tables.h"
#include "engine/work_area.h"
#include "expr/compiled_expr.h"
#include "expr/engine_binding.h"
#include "index/index_build.h"
#include "index/index_entry_points.h"
#include "index/index_file.h"
#include "index/index_open.h"
#include "index/index_search.h"
#include "index/index_test_support.h"
#include "memo/memo_test_support.h"
#include "support/fault_loop.h"

namespace orvex::test {
namespace {

namespace fs = std::filesystem;

std::string TablePath(const std::string& dir) { return dir + "/t.DBF"; }

// The index library over a memo-capable engine.
void ResetLibraries() {
  ResetMemoLibrary();
  InstallIndexLibrary();
  ReportErrorsAsTheFaultLoopAsks();
}

bool Use(const std::string& dir) {
  Select(1);
  USE(TablePath(dir) + " EXCLUSIVE");
  return DbfErrorNo == 0;
}

// The five tags of the table: characters, upper case over bytes that fold
// (sharp s, letters with accents, box-drawing bytes), a number ascending and
// descending, and a condition that only compiles as written.
std::vector<TagDefinition> FiveTags() {
  return {{"NAME", "NAME", "", false, false},
          {"UPNAME", "UPPER(NAME)", "", false, false},
          {"QTY", "QTY", "", false, false},
          {"QTYDOWN", "QTY", "", true, false},
          {"LIVE", "NAME", ".NOT. DELETED()", false, false}};
}

// A table NAME C(12), QTY N(6) of records with repeated and non-ASCII names,
// some deleted.
void PrepareTable(const std::string& dir) {
  ResetLibraries();
  ASSERT_TRUE(CreateDbf(TablePath(dir), {{"NAME", 'C', 12, 0}, {"QTY", 'N', 6, 0}})) << ErrorDetail;
  ASSERT_TRUE(Use(dir));
  const char* const names[] = {
      "stra\xDF"
      "e",
      "Stra\xDF"
      "e",
      "\xC4"
      "pfel",
      "\xE4"
      "pfel",
      "\xB3\xC4\xC4 box",
      "zebra",
      "Zebra",
      "mitte",
      "\xFC"
      "ber",
      "\xDC"
      "ber"};
  const int count = FaultSweep() ? 400 : 80;
  for (int i = 0; i < count; ++i) {
    const std::string name = std::string(names[i % 10]) + " " + std::to_string(i % 7);
    std::uint8_t* field = FieldAddress(1);
    field[0] = static_cast<std::uint8_t>(name.size());
    std::memcpy(field + 1, name.data(), name.size());
    const std::int32_t qty = (i * 37) % 101 - 20;
    std::memcpy(FieldAddress(2), &qty, sizeof qty);
    Append();
    if (i % 9 == 4) DeleteRec();
  }
  ASSERT_EQ(DbfErrorNo, 0) << ErrorDetail;
  ASSERT_TRUE(MakeIndex(FiveTags(), "")) << ErrorDetail;
  CloseAllAreas();
  ASSERT_EQ(DbfErrorNo, 0) << ErrorDetail;
}

// The table as PrepareTable makes it, without an index file.
void PrepareTableWithoutIndex(const std::string& dir) {
  PrepareTable(dir);
  fs::remove(dir + "/t.MDX");
}

// Each tag of the open index as walked: record numbers with their stored
// keys in hex.
std::map<std::string, std::string> Walks() {
  std::map<std::string, std::string> walks;
  IndexFile& index = *IndexOf(1);
  for (std::size_t n = 1; n <= index.tags.size(); ++n) {
    Set_Order_To(static_cast<int>(n));
    TagState& tag = *index.tags[n - 1];
    std::string& walk = walks[tag.name];
    for (GoTop(); DbfErrorNo == 0 && !dEOF(); SKIP(1)) {
      walk += std::to_string(RecNo()) + ":";
      for (unsigned char c : tag.current_key)
        walk += "0123456789ABCDEF"[c >> 4], walk += "0123456789ABCDEF"[c & 15];
      walk += " ";
    }
    if (DbfErrorNo != 0) walk += "! " + std::to_string(DbfErrorNo) + " " + ErrorDetail;
  }
  return walks;
}

// What dir holds, read through the library: the tag definitions of the
// index and the walk of each tag, and whether each tag equals a fresh
// rebuild of the table (built into another file beside it).
std::string IndexState(const std::string& dir) {
  ResetLibraries();
  if (!Use(dir)) return "! " + std::to_string(DbfErrorNo) + " " + ErrorDetail;
  std::string out;
  if (!fs::exists(dir + "/t.MDX")) {
    out = "no index\n";
  } else {
    SetIndexTo("");
    if (DbfErrorNo != 0) {
      out = "! " + std::to_string(DbfErrorNo) + " " + ErrorDetail;
    } else {
      for (const std::string& line : IndexTagLines(dir + "/t.MDX")) out += line + "\n";
      std::vector<TagDefinition> definitions;
      for (const auto& tag : IndexOf(1)->tags) {
        const TagLayout& t = tag->layout;
        definitions.push_back(
            {tag->name, t.key_expr, t.has_for ? t.for_expr : "", t.descending, t.unique});
      }
      const std::map<std::string, std::string> walks = Walks();
      for (const auto& [tag, walk] : walks) out += tag + " " + std::to_string(walk.size()) + "\n";
      if (!MakeIndex(definitions, "FRESH")) {
        out += "fresh rebuild failed: " + ErrorDetail + "\n";
      } else {
        SetIndexTo("FRESH");
        const std::map<std::string, std::string> fresh = Walks();
        for (const auto& [tag, walk] : walks) {
          if (fresh.count(tag) == 0 || fresh.at(tag) != walk)
            out += tag + " differs from a fresh rebuild\n";
        }
      }
    }
  }
  CloseAllAreas();
  fs::remove(dir + "/FRESH.MDX");
  return out;
}

using DirStep = std::function<void(const std::string& dir)>;

// Runs `operation` under the fault loop, one fault kind after the other,
// and prints the number of fault points of each kind. An ended program
// (like a killed one, at every call) is left to the longer sweep.
void ExpectWholeIndex(const std::string& what, const DirStep& prepare, const DirStep& operation) {
  std::vector<std::pair<FaultKind, const char*>> kinds = {
      {FaultKind::kKill, "kill"},
      {FaultKind::kIoError, "I/O error"},
      {FaultKind::kDiskFull, "disk full"},
      {FaultKind::kPartialWrite, "partial write"},
      {FaultKind::kRaisedError, "raised I/O error"}};
  if (FaultSweep()) kinds.push_back({FaultKind::kExit, "exit"});
  std::string figures;
  for (const auto& [kind, name] : kinds) {
    const FaultLoopReport report =
        RunFaultLoop({prepare, operation, IndexState, {"t.DBF"}}, {kind});
    figures +=
        std::string(figures.empty() ? "" : ", ") + name + " " + std::to_string(report.points);
    EXPECT_GT(report.points, 0) << what << ": " << name;
    for (const std::string& failure : report.failures) ADD_FAILURE() << what << ": " << failure;
  }
  std::cout << "[fault points] " << what << ": " << figures << std::endl;
}

TEST(IndexRebuildFaults, StartingStateHasFiveTagsEqualToAFreshRebuild) {
  TempDir dir;
  PrepareTable(dir.Path());
  const std::string state = IndexState(dir.Path());
  EXPECT_EQ(state.find("differs"), std::string::npos) << state;
  EXPECT_NE(state.find("LIVE,F,F,NAME\n.NOT. DELETED()\n"), std::string::npos) << state;
  EXPECT_NE(state.find("QTYDOWN,T,F,QTY\n"), std::string::npos) << state;
}

TEST(IndexRebuildFaults, Reindex) {
  ExpectWholeIndex("reindex", PrepareTable, [](const std::string& dir) {
    ResetLibraries();
    if (!Use(dir)) return;
    SetIndexTo("");
    if (DbfErrorNo == 0) Reindex();
    CloseAllAreas();
  });
}

TEST(IndexRebuildFaults, AddingATag) {
  ExpectWholeIndex("index (a new tag)", PrepareTable, [](const std::string& dir) {
    ResetLibraries();
    if (!Use(dir)) return;
    SetIndexTo("");
    if (DbfErrorNo == 0)
      AddIndexTag({"BIG", "UPPER(NAME)", "QTY > 10 .AND. .NOT. DELETED()", true, false}, true);
    CloseAllAreas();
  });
}

TEST(IndexRebuildFaults, ReplacingATag) {
  ExpectWholeIndex("index (a tag replaced)", PrepareTable, [](const std::string& dir) {
    ResetLibraries();
    if (!Use(dir)) return;
    SetIndexTo("");
    if (DbfErrorNo == 0) AddIndexTag({"QTY", "QTY", "QTY > 0", false, true}, true);
    CloseAllAreas();
  });
}

TEST(IndexRebuildFaults, CreatingTheIndex) {
  ExpectWholeIndex("index (the first tags of a new index file)", PrepareTableWithoutIndex,
                   [](const std::string& dir) {
                     ResetLibraries();
                     if (!Use(dir)) return;
                     MakeIndex(FiveTags(), "");
                     CloseAllAreas();
                   });
}

}  // namespace
}  // namespace orvex::test
