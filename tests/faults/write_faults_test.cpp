// Every write path under the fault loop (support/fault_loop.h): a full disk,
// an I/O error, a half-stored write, an ended and a killed program at each of
// the path's file-layer calls in turn must leave files that open and that
// both the library and dbfread read as the state before or after the write.
// ORVEX_FAULT_SWEEP=1 (target fault_sweep) runs the same with larger files.
#include <cstring>
#include <filesystem>
#include <functional>
#include <iostream>

#include <gtest/gtest.h>

#include "common/errors.h"
#include "engine/dbf_file.h"
#include "engine/entry_points.h"
#include "engine/locks.h"
#include "engine/navigation.h"
#include "engine/record_io.h"
#include "engine/tables.h"
#include "engine/work_area.h"
#include "memo/blob.h"
#include "memo/memo_format.h"
#include "memo/memo_ops.h"
#include "memo/memo_pack.h"
#include "memo/memo_pad.h"
#include "memo/memo_settings.h"
#include "memo/memo_store.h"
#include "memo/memo_test_support.h"
#include "support/fault_loop.h"

namespace orvex::test {
namespace {

std::string TablePath(const std::string& dir) { return dir + "/t.DBF"; }

// The engine with memo files, reporting errors as the fault loop asks.
void ResetLibrary() {
  ResetMemoLibrary();
  ReportErrorsAsTheFaultLoopAsks();
}

void SetText(int field, const std::string& text) {
  std::uint8_t* p = FieldAddress(field);
  p[0] = static_cast<std::uint8_t>(text.size());
  std::memcpy(p + 1, text.data(), text.size());
}

void SetInt(int field, std::int32_t value) { std::memcpy(FieldAddress(field), &value, 4); }

std::int32_t GetInt(int field) {
  std::int32_t value = 0;
  std::memcpy(&value, FieldAddress(field), 4);
  return value;
}

// The records of dir/t.DBF as the library reads them: deletion flag and field
// bytes, memo fields as their texts (not their block numbers, which packing
// changes). "absent" without a table; "!" and the error when it cannot be
// read.
std::string LibraryState(const std::string& dir) {
  ResetLibrary();
  if (!std::filesystem::exists(TablePath(dir))) return "absent";
  Select(1);
  USE(TablePath(dir) + " EXCLUSIVE");
  std::string out;
  if (DbfErrorNo == 0) {
    const WorkArea& area = *CurrentWorkArea();
    for (const FieldDesc& field : area.fields) out += field.name + " " + field.type + "\n";
    for (std::int32_t n = 1; n <= area.record_count && DbfErrorNo == 0; ++n) {
      GO(n);
      const std::string record(area.record.begin(), area.record.end());
      out += record[0];
      for (const FieldDesc& field : area.fields) {
        std::string text = record.substr(field.offset, field.length);
        if (field.type == 'M') {
          const std::int64_t block = ParseMemoRef(text);
          text = block == 0 ? "[]" : GetMemo(static_cast<std::int32_t>(block)) ? "[" + MemoPadText() + "]" : "";
        }
        out += "|" + text;
      }
      out += "\n";
    }
  }
  if (DbfErrorNo != 0) out = "! " + std::to_string(DbfErrorNo) + " " + ErrorDetail;
  CloseAllAreas();
  return out;
}

// Opens dir/t.DBF in area 1; false when the open failed.
bool Use(const std::string& dir, const std::string& options = " EXCLUSIVE") {
  Select(1);
  USE(TablePath(dir) + options);
  return DbfErrorNo == 0;
}

int Records() { return FaultSweep() ? 300 : 3; }

// A table NAME C(12), QTY N(5), OK L with a few records.
void PreparePlain(const std::string& dir) {
  ResetLibrary();
  ASSERT_TRUE(CreateDbf(TablePath(dir), {{"NAME", 'C', 12, 0}, {"QTY", 'N', 5, 0}, {"OK", 'L', 1, 0}}));
  Use(dir);
  for (int i = 1; i <= Records(); ++i) {
    SetText(1, "item " + std::to_string(i));
    SetInt(2, i * 7);
    FieldAddress(3)[0] = i % 2;
    Append();
  }
  CloseAllAreas();
  ASSERT_EQ(DbfErrorNo, 0) << ErrorDetail;
}

// A table NAME C(10), NOTES M with memo kind `kind`: records referencing
// memos, one memo twice, one record without memo, one deleted, and memos
// nobody references (so that packing changes the memo file).
void PrepareMemo(const std::string& dir, std::uint8_t kind) {
  ResetLibrary();
  MemoVersionByte = kind;
  ASSERT_TRUE(CreateDbf(TablePath(dir), {{"NAME", 'C', 10, 0}, {"NOTES", 'M', 10, 0}}));
  Use(dir);
  const int rounds = FaultSweep() ? 10 : 1;
  for (int round = 0; round < rounds; ++round) {
    AddMemo("nobody refers to this one");
    const std::int32_t shared = AddMemo("first memo, referenced twice\r\nwith a second line");
    const std::int32_t longer = AddMemo(std::string(1300, 'b'));
    AddMemo("an old version");
    const std::int32_t deleted = AddMemo("belongs to a deleted record");
    const std::pair<const char*, std::int32_t> records[] = {
        {"one", shared}, {"two", shared}, {"three", 0}, {"four", longer}, {"five", deleted}};
    for (const auto& [name, block] : records) {
      SetText(1, name);
      SetInt(2, block);
      Append();
    }
    DeleteRec();
  }
  CloseAllAreas();
  ASSERT_EQ(DbfErrorNo, 0) << ErrorDetail;
}

using DirStep = std::function<void(const std::string& dir)>;

// Runs `operation` under the fault loop from the files `prepare` makes, and
// expects every fault to leave t.DBF (and its memo file) in the old or the
// new state.
void ExpectClean(const std::string& what, DirStep prepare, DirStep operation) {
  const FaultLoopReport report = RunFaultLoop({std::move(prepare), std::move(operation), LibraryState, {"t.DBF"}});
  std::cout << "[fault points] " << what << ": " << report.calls << " file-layer calls, "
            << report.points << " fault points" << std::endl;
  ::testing::Test::RecordProperty("fault_points", report.points);
  EXPECT_GT(report.points, 0);
  for (const std::string& failure : report.failures) ADD_FAILURE() << what << ": " << failure;
}

TEST(WriteFaults, AppendLeavesTheOldOrTheNewTable) {
  struct Variant {
    const char* what;
    const char* options;
    bool flush_each_write;
  } variants[] = {{"append", " EXCLUSIVE", false},
                  {"append (shared)", "", false},
                  {"append (shared, FlushEachWrite)", "", true}};
  for (const Variant& variant : variants) {
    ExpectClean(variant.what, PreparePlain, [variant](const std::string& dir) {
      ResetLibrary();
      FlushEachWrite = variant.flush_each_write;
      if (!Use(dir, variant.options) || !ALock()) return;
      SetText(1, "appended");
      SetInt(2, 12345);
      Append();
      CloseAllAreas();
    });
  }
}

TEST(WriteFaults, DeletingARecordLeavesItDeletedOrNot) {
  ExpectClean("delete", PreparePlain, [](const std::string& dir) {
    ResetLibrary();
    if (!Use(dir)) return;
    GO(1);
    DeleteRec();
    CloseAllAreas();
  });
}

TEST(WriteFaults, ReplaceLeavesTheOldOrTheNewRecord) {
  ExpectClean("replace", PreparePlain, [](const std::string& dir) {
    ResetLibrary();
    if (!Use(dir)) return;
    GO(2);
    SetText(1, "replaced");
    SetInt(2, 999);
    Replace();
    CloseAllAreas();
  });
}

// Creates t.DBF with a memo file of kind `kind`.
DirStep CreateWithMemoKind(std::uint8_t kind) {
  return [kind](const std::string& dir) {
    ResetLibrary();
    MemoVersionByte = kind;
    CreateDbf(TablePath(dir), {{"NAME", 'C', 10, 0}, {"NOTES", 'M', 10, 0}});
  };
}

TEST(WriteFaults, CreatingATableLeavesNoTableOrAWholeOne) {
  for (std::uint8_t kind : {std::uint8_t{0x83}, std::uint8_t{0x8B}, std::uint8_t{0xF5}}) {
    ExpectClean("create with memo kind " + std::to_string(kind), [](const std::string&) {}, CreateWithMemoKind(kind));
  }
}

TEST(WriteFaults, CreatingATableOverAnOldOneLeavesTheOldOrTheNewTable) {
  for (std::uint8_t kind : {std::uint8_t{0x83}, std::uint8_t{0x8B}, std::uint8_t{0xF5}}) {
    ExpectClean("create over a table with memo kind " + std::to_string(kind),
                [kind](const std::string& dir) { PrepareMemo(dir, kind); }, CreateWithMemoKind(kind));
  }
}

class MemoWriteFaults : public ::testing::TestWithParam<int> {
 protected:
  std::uint8_t Kind() const { return static_cast<std::uint8_t>(GetParam()); }
  std::string What(const char* operation) const {
    return std::string(operation) + " (memo kind " + std::to_string(GetParam()) + ")";
  }
  // Runs `operation` under the fault loop over the memo table of this kind.
  void ExpectCleanOnMemoTable(const char* operation_name, DirStep operation) const {
    const std::uint8_t kind = Kind();
    ExpectClean(What(operation_name), [kind](const std::string& dir) { PrepareMemo(dir, kind); },
                std::move(operation));
  }
};

TEST_P(MemoWriteFaults, AddingARecordWithAMemo) {
  ExpectCleanOnMemoTable("memo add", [](const std::string& dir) {
    ResetLibrary();
    if (!Use(dir)) return;
    const std::int32_t block = AddMemo("a new memo\r\nof two lines");
    if (block == 0) return;
    SetText(1, "added");
    SetInt(2, block);
    Append();
    CloseAllAreas();
  });
}

// `text` replaces the memo of record 2 (edited through the memo pad).
DirStep EditMemoOfRecord2(const std::string& text) {
  return [text](const std::string& dir) {
    ResetLibrary();
    if (!Use(dir)) return;
    GO(2);
    if (!GetMemo(GetInt(2))) return;
    FillMemoPad(text, 0);
    const std::int32_t block = EditMemoCloseMemo(GetInt(2));
    if (block == 0) return;
    SetInt(2, block);
    Replace();
    CloseAllAreas();
  };
}

TEST_P(MemoWriteFaults, EditingAMemo) {
  const std::string longer = "an edited memo that no longer fits its old blocks\r\n" + std::string(600, 'e');
  ExpectCleanOnMemoTable("memo edit", EditMemoOfRecord2(longer));
}

TEST_P(MemoWriteFaults, EditingAMemoIntoItsOwnBlocks) {
  ExpectCleanOnMemoTable("memo edit in place", EditMemoOfRecord2("shorter"));
}

TEST_P(MemoWriteFaults, WritingAMemoThroughTheBlobInterface) {
  ExpectCleanOnMemoTable("BLOB write", [](const std::string& dir) {
    ResetLibrary();
    if (!Use(dir)) return;
    GO(4);
    const std::int32_t block = CreateBlobDescriptor(true, GetInt(2), kBlobWrite);
    if (block == 0) return;
    const std::string text = "written as a stream\r\n" + std::string(700, 's');
    const bool written = WriteBlobStream(text.data(), static_cast<std::int32_t>(text.size())) ==
                         static_cast<std::int32_t>(text.size());
    DestroyBlobDescriptor();
    if (!written || DbfErrorNo != 0) return;
    SetInt(2, block);
    Replace();
    CloseAllAreas();
  });
}

TEST_P(MemoWriteFaults, PackingTheMemoFile) {
  ExpectCleanOnMemoTable("memo pack", [](const std::string& dir) {
    ResetLibrary();
    if (!Use(dir)) return;
    PackMemofile();
    CloseAllAreas();
  });
}

INSTANTIATE_TEST_SUITE_P(Kinds, MemoWriteFaults, ::testing::Values(0x83, 0x8B, 0xF5));

}  // namespace
}  // namespace orvex::test
