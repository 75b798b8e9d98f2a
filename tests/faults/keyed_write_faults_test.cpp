// The keyed writes (append, replace, delete, recall on a table with a
// production index of five tags) under the fault loop: at each file-layer
// call a kill, an ended program, an I/O error, a full disk and a half-stored
// write must leave, after the next open, the record and every tag as before
// the command or as after it, every tag equal to a fresh rebuild of the table
// as it then stands, every tag definition in place and `oxdbf check` content.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <iostream>

#include "common/errors.h"
#include "engine/entry_points.h"
#include "engine/locks.h"
#include "engine/navigation.h"
#include "engine/record_io.h"
#include "engine/tables.h"
#include "engine/work_area.h"
#include "expr/compiled_expr.h"
#include "expr/dbf_writer.h"
#include "expr/engine_binding.h"
#include "index/index_build.h"
#include "index/index_entry_points.h"
#include "index/index_file.h"
#include "index/index_journal.h"
#include "index/index_open.h"
#include "index/index_search.h"
#include "index/transaction.h"
#include "platform/os/files.h"
#include "support/fault_loop.h"
#include "support/test_support.h"

namespace orvex::test {
namespace {

namespace fs = std::filesystem;

std::string TablePath(const std::string& dir) { return dir + "/t.DBF"; }

void ResetLibrary() {
  ResetErrorState();
  ResetEngineState();
  ResetEntryPoints();
  ResetExprState();
  RegisterExpressionEngine();
  InstallIndexEngine();
  ResetIndexSettings();
  ReportErrorsAsTheFaultLoopAsks();
}

// The five tags: a C key, UPPER() of it (the names hold ß, ı and
// box-drawing bytes of code page 850), a numeric key up and down, and a
// FOR tag that follows the deletion flag.
const std::vector<TagDefinition> kTags = {
    {"NAME", "NAME", "", false, false},
    {"UNAME", "UPPER(NAME)", "", false, false},
    {"QTY", "QTY", "", false, false},
    {"QTYD", "QTY", "", true, false},
    {"LIVE", "NAME", "DELETED() = .F.", false, false},
};

// "ß" (E1), "ı" (D5) and box-drawing bytes (B3, C4, DA) of code page 850.
std::string Name(int i) {
  static const char* const kParts[] = {
      "stra\xE1"
      "e",
      "\xB3\xC4\xDA",
      "K\xD5"
      "z",
      "abc", "gro\xE1"};
  char number[8];
  std::snprintf(number, sizeof number, "%04d", i);
  return std::string(kParts[i % 5]) + number;
}

// Two full leaves per tag of 12-byte keys (63 items each, as a build fills
// them): every key a write adds splits a leaf.
int Records() { return FaultSweep() ? 63 * 20 : 63 * 2; }

bool Open(const std::string& dir) {
  Select(1);
  USE(TablePath(dir) + " EXCLUSIVE");
  if (DbfErrorNo == 0 && IndexOf(1) == nullptr) SetIndexTo("");
  return DbfErrorNo == 0;
}

void Prepare(const std::string& dir) {
  std::vector<TestRecord> rows;
  for (int i = 1; i <= Records(); ++i) {
    rows.push_back({{Name(i), std::to_string((i * 37) % 101)}, i % 7 == 0});
  }
  WriteDbf(TablePath(dir), {{"NAME", 'C', 12}, {"QTY", 'N', 6}}, rows);
  // A code page 850 table (language driver 0x02), as the library keys it:
  // oxdbf then makes its keys the same way.
  std::string bytes = ReadFileBytes(TablePath(dir));
  bytes[29] = '\x02';
  WriteFileBytes(TablePath(dir), bytes);
  ResetLibrary();
  Select(1);
  USE(TablePath(dir) + " EXCLUSIVE");
  ASSERT_TRUE(MakeIndex(kTags, "")) << ErrorDetail;
  CloseAllAreas();
  ASSERT_EQ(DbfErrorNo, 0) << ErrorDetail;
}

// Every tag's definition and its (record, key) items in key order.
std::string TagWalks() {
  std::string out;
  IndexFile* index = IndexOf(1);
  if (index == nullptr) return "no index\n";
  for (const auto& tag : index->tags) {
    out += "tag " + tag->name + " " + tag->layout.key_expr + " FOR " + tag->layout.for_expr +
           (tag->layout.descending ? " DESC" : "") + "\n";
  }
  for (int n = 1; n <= static_cast<int>(index->tags.size()) && DbfErrorNo == 0; ++n) {
    Set_Order_To(n);
    GoTop();
    while (!dEOF() && DbfErrorNo == 0) {
      out += std::to_string(RecNo()) + ":" + KeyText(1, n) + " ";
      SKIP(1);
    }
    out += "\n";
  }
  return out;
}

// What the files of `dir` hold after the next open: the records, every
// tag's definition and walk, whether the walks equal those of a fresh
// rebuild (made in a copy) and what `oxdbf check` answers. A journal left
// behind after the open shows too.
std::string KeyedState(const std::string& dir) {
  ResetLibrary();
  std::string out;
  if (!Open(dir)) return "! open " + std::to_string(DbfErrorNo) + " " + ErrorDetail;
  const WorkArea& area = *CurrentWorkArea();
  for (std::int32_t n = 1; n <= area.record_count && DbfErrorNo == 0; ++n) {
    GO(n);
    out += std::string(area.record.begin(), area.record.end()) + "\n";
  }
  const std::string walks = TagWalks();
  out += walks;
  if (DbfErrorNo != 0) out += "! walk " + std::to_string(DbfErrorNo) + " " + ErrorDetail + "\n";
  CloseAllAreas();
  if (fs::exists(KeyedWriteJournalName(os::ResolvePath(dir + "/t.MDX"))))
    out += "journal left behind\n";

  const std::string copy = dir + " rebuilt";
  fs::create_directories(copy);
  for (const char* file : {"t.DBF", "t.MDX"}) {
    fs::copy_file(dir + "/" + file, copy + "/" + file, fs::copy_options::overwrite_existing);
  }
  ResetLibrary();
  if (Open(copy)) {
    Reindex();
    if (TagWalks() != walks) out += "a tag differs from a fresh rebuild\n";
  }
  CloseAllAreas();
  fs::remove_all(copy);

  const ProcessResult check = RunProcess({BuildProgram("tools/oxdbf"), "check", TablePath(dir)});
  out += "check: " + std::to_string(check.exit_status) + "\n";
  if (check.exit_status != 0) out += check.out + check.err;
  return out;
}

struct PathCount {
  long calls = 0;
  int points = 0;
};

// Runs `operation` (on an open table, errors kept) under the fault loop
// with every fault kind, and checks that the faultless run changed keys.
// A `lead_in` runs on the open table first, with no fault armed.
PathCount ExpectAllOrNothing(const std::string& what, const std::function<void()>& operation,
                             const std::function<void()>& lead_in = nullptr) {
  FaultScenario scenario{Prepare,
                         [operation, lead_in](const std::string& dir) {
                           if (!lead_in) {
                             ResetLibrary();
                             if (!Open(dir)) return;
                           }
                           operation();
                           CloseAllAreas();
                         },
                         KeyedState,
                         {"t.DBF"}};
  if (lead_in) {
    scenario.lead_in = [lead_in](const std::string& dir) {
      ResetLibrary();
      if (Open(dir)) lead_in();
    };
  }
  const FaultLoopReport report =
      RunFaultLoop(scenario, {FaultKind::kKill, FaultKind::kIoError, FaultKind::kDiskFull,
                              FaultKind::kRaisedError});
  std::cout << "[fault points] keyed " << what << ": " << report.calls << " file-layer calls, "
            << report.points << " fault points (a kill, an I/O error, a full disk and a raised I/O error at each)"
            << std::endl;
  ::testing::Test::RecordProperty("fault_points", report.points);
  EXPECT_GT(report.points, 0);
  for (const std::string& failure : report.failures) ADD_FAILURE() << what << ": " << failure;
  return {report.calls, report.points};
}

void SetName(const std::string& text) {
  std::uint8_t* p = FieldAddress(1);
  p[0] = static_cast<std::uint8_t>(text.size());
  std::memcpy(p + 1, text.data(), text.size());
}

void SetQty(std::int32_t value) { std::memcpy(FieldAddress(2), &value, sizeof value); }

TEST(KeyedWriteFaults, AppendIsAllOrNothing) {
  ExpectAllOrNothing("append", [] {
    SetName("zz\xE1\xB3 new");
    SetQty(99);
    Append();
  });
}

// An exclusively opened index keeps its journal between keyed writes and
// marks it empty: the entries of the appends before are still in the file
// behind the mark, laid out as this append's own will be. None of them may
// be taken for this append's.
TEST(KeyedWriteFaults, AnAppendAfterOthersIsAllOrNothing) {
  ExpectAllOrNothing(
      "append after two appends",
      [] {
        SetName("zz\xE1\xB3 third");
        SetQty(97);
        Append();
      },
      [] {
        for (const char* name : {"a first", "b second"}) {
          SetName(name);
          SetQty(98);
          Append();
        }
      });
}

// A transaction of appends, a replace, a delete and a recall is one unit:
// a fault at any call leaves all of it or none. A command that fails rolls
// the transaction back, and the ones after it are refused. Held index
// writes are put out after every command (no budget), so that writes of
// one node in place, journaled once, are part of the run.
TEST(KeyedWriteFaults, ATransactionIsAllOrNothing) {
  ExpectAllOrNothing("transaction", [] {
    HeldWriteBudget = 0;
    BeginTransaction();
    for (const char* name : {"zz\xE1 one", "a\xB3 two", "m three"}) {
      SetName(name);
      SetQty(96);
      Append();
    }
    GO(3);
    SetName("a\xE1\xC4 moved");
    SetQty(77);
    Replace();
    GO(12);
    DeleteRec();
    GO(7);
    RecallRec();
    EndTransaction();
  });
}

TEST(KeyedWriteFaults, ReplaceIsAllOrNothing) {
  ExpectAllOrNothing("replace", [] {
    GO(3);
    SetName("a\xE1\xC4 moved");
    SetQty(77);
    Replace();
  });
}

TEST(KeyedWriteFaults, DeleteIsAllOrNothing) {
  ExpectAllOrNothing("delete", [] {
    GO(12);
    DeleteRec();
  });
}

TEST(KeyedWriteFaults, RecallIsAllOrNothing) {
  ExpectAllOrNothing("recall", [] {
    GO(7);
    RecallRec();
  });
}

}  // namespace
}  // namespace orvex::test
