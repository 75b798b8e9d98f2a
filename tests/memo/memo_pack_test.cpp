// Packing memo files: exactly the referenced memos in record order, shared
// blocks copied twice, invalid references cleared, nothing else of the table
// touched, and an interrupted pack (a real write failure in a child process)
// leaving table and memo file as they were.
#include "memo/memo_pack.h"

#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "memo_test_support.h"
#include "platform/os/fault_injection.h"

namespace orvex::test {
namespace {

class MemoPackTest : public MemoTest, public ::testing::WithParamInterface<int> {
 protected:
  std::uint8_t Kind() const { return static_cast<std::uint8_t>(GetParam()); }
  std::string MemoExt() const { return Kind() == kMemoFpt ? ".FPT" : ".DBT"; }

  // The ten characters of record n's NOTES field in the table file.
  std::string NotesText(const std::string& table, int n) {
    return ReadFileBytes(table).substr(97 + (n - 1) * 21 + 11, 10);
  }
};

const std::string kMemoA = "first memo, referenced twice\r\nwith a second line";
const std::string kMemoB(1300, 'b');
const std::string kMemoC = "belongs to a deleted record";

TEST_P(MemoPackTest, PackKeepsExactlyTheReferencedMemosInRecordOrder) {
  CreateAndUse("t", Kind());
  const std::int32_t orphan = AddMemo("nobody refers to this one");
  const std::int32_t a = AddMemo(kMemoA);
  const std::int32_t b = AddMemo(kMemoB);
  const std::int32_t c = AddMemo(kMemoC);
  ASSERT_NE(orphan, 0);
  AppendWithMemo("one", a);
  AppendWithMemo("two", a);
  AppendWithMemo("three", 0);
  AppendWithMemo("four", b);
  AppendWithMemo("five", 5000);
  AppendWithMemo("six", c);
  DeleteRec();
  FlushHeader(*CurrentWorkArea());
  const std::string table_before = ReadFileBytes(Path("t.DBF"));

  DbfErrorNo = 0;
  PackMemofile();
  EXPECT_EQ(DbfErrorNo, 1003) << "the reference beyond the end is reported";
  EXPECT_EQ(ErrorDetail,
            Path("t" + MemoExt()) + " Memo block # 5000 Record # 5 [PackMemo]");
  EXPECT_FALSE(std::filesystem::exists(Path("T.$$$")) || std::filesystem::exists(Path("t.$$$")));

  // The same memos written one after another into a fresh file of the same
  // name give the packed file byte for byte.
  TempDir reference_dir;
  Select(2);
  ASSERT_TRUE(CreateDbf(reference_dir.File("t"), {{"NOTES", 'M', 10, 0}}));
  USE(reference_dir.File("t") + " EXCLUSIVE ALIAS REF");
  MemoBlocksRead = 0;
  std::vector<std::int32_t> expected_blocks = {AddMemo(kMemoA), AddMemo(kMemoA), AddMemo(kMemoB),
                                               AddMemo(kMemoC)};
  CloseArea();
  Select(1);
  CloseArea();
  const std::string packed = ReadFileBytes(Path("t" + MemoExt()));
  const std::string reference = ReadFileBytes(reference_dir.File("t" + MemoExt()));
  EXPECT_TRUE(packed == reference)
      << "packed " << packed.size() << " bytes, reference " << reference.size() << "; headers "
      << Hex(packed.substr(0, 24)) << " / " << Hex(reference.substr(0, 24));

  const std::string table_after = ReadFileBytes(Path("t.DBF"));
  EXPECT_EQ(NotesText(Path("t.DBF"), 1), FormatMemoRef(expected_blocks[0]));
  EXPECT_EQ(NotesText(Path("t.DBF"), 2), FormatMemoRef(expected_blocks[1]));
  EXPECT_EQ(NotesText(Path("t.DBF"), 3), table_before.substr(97 + 2 * 21 + 11, 10));
  EXPECT_EQ(NotesText(Path("t.DBF"), 4), FormatMemoRef(expected_blocks[2]));
  EXPECT_EQ(NotesText(Path("t.DBF"), 5), "         0");
  EXPECT_EQ(NotesText(Path("t.DBF"), 6), FormatMemoRef(expected_blocks[3]));
  // Everything but the NOTES fields and the header's date is unchanged.
  ASSERT_EQ(table_after.size(), table_before.size());
  for (std::size_t i = 0; i < table_before.size(); ++i) {
    const bool date = i >= 1 && i <= 3;
    const bool notes = i >= 97 && i < 97 + 6 * 21 && (i - 97) % 21 >= 11;
    if (!date && !notes) {
      ASSERT_EQ(table_after[i], table_before[i]) << "byte " << i;
    }
  }

  USE(Path("t") + " EXCLUSIVE");
  GO(2);
  EXPECT_EQ(MemoText(NotesBlock()), kMemoA);
  GO(6);
  EXPECT_EQ(MemoText(NotesBlock()), kMemoC);
}

INSTANTIATE_TEST_SUITE_P(Kinds, MemoPackTest, ::testing::Values(0x83, 0x8B, 0xF5));

using MemoPackRulesTest = MemoTest;

TEST_F(MemoPackRulesTest, PackNeedsTheTableForItself) {
  CreateAndUse("t", kMemoDbase4);
  CloseArea();
  USE(Path("t"));  // shared
  ASSERT_EQ(DbfErrorNo, 0) << ErrorDetail;
  PackMemofile();
  EXPECT_EQ(DbfErrorNo, 225);
  EXPECT_EQ(ErrorDetail, CurrentWorkArea()->memo.name + " [PackMemofile]");
}

TEST_F(MemoPackRulesTest, PackThroughTheEntryPointOfTheEngine) {
  CreateAndUse("t", kMemoDbase4);
  AddMemo(std::string(3000, 'x'));
  AppendWithMemo("kept", AddMemo("kept text"));
  MemoStore.pack();
  ASSERT_EQ(DbfErrorNo, 0) << ErrorDetail;
  EXPECT_EQ(NotesBlock(), 1) << "the current record's unpacked field is renumbered too";
  EXPECT_EQ(MemoText(1), "kept text");
  EXPECT_EQ(ReadFileBytes(Path("t.DBT")).size(), 512u + 8 + 9);
}

TEST_F(MemoPackRulesTest, InterruptedPackLeavesTableAndMemoFileAsTheyWere) {
  CreateAndUse("t", kMemoDbase4);
  for (int i = 0; i < 40; ++i) {
    AddMemo("unreferenced " + std::string(900, 'u'));
    AppendWithMemo("r" + std::to_string(i), AddMemo(std::to_string(i) + std::string(1000, 'm')));
  }
  CloseArea();
  const std::string table_before = ReadFileBytes(Path("t.DBF"));
  const std::string memo_before = ReadFileBytes(Path("t.DBT"));
  ASSERT_GT(memo_before.size(), 80000u);
  ASSERT_LT(table_before.size(), 4096u);

  // Writes beyond 20000 bytes fail in the child: the new memo file breaks
  // off after some 19 memos.
  const ProcessResult result =
      RunProcess({BuildProgram("tests/memo/memo_helper"), "pack", Path("t"), "20000"});
  ASSERT_EQ(result.exit_status, 0) << result.err;
  EXPECT_EQ(result.out, "error 1005\n") << "Memo-Schreibfehler: the write beyond the limit failed";
  EXPECT_EQ(ReadFileBytes(Path("t.DBF")), table_before);
  EXPECT_EQ(ReadFileBytes(Path("t.DBT")), memo_before);
  for (const auto& entry : std::filesystem::directory_iterator(dir_.Path())) {
    EXPECT_NE(entry.path().extension(), ".$$$") << entry.path();
  }

  // Without the limit the same pack succeeds.
  const ProcessResult full =
      RunProcess({BuildProgram("tests/memo/memo_helper"), "pack", Path("t"), "100000000"});
  EXPECT_EQ(full.out, "error 0\n");
  EXPECT_LT(ReadFileBytes(Path("t.DBT")).size(), memo_before.size() / 2 + 1024);
}

TEST_F(MemoPackRulesTest, PackWithoutRoomForTheNewFileChangesNothing) {
  CreateAndUse("t", kMemoDbase3);
  for (int i = 0; i < 100; ++i) AddMemo("unreferenced " + std::string(900, 'u'));
  AppendWithMemo("kept", AddMemo("kept text"));
  FlushHeader(*CurrentWorkArea());
  const std::string table_before = ReadFileBytes(Path("t.DBF"));
  const std::string memo_before = ReadFileBytes(Path("t.DBT"));
  ASSERT_GT(memo_before.size(), 92u * 1024);

  os::LimitFreeSpace(40 * 1024);
  PackMemofile();
  os::LimitFreeSpace(-1);
  EXPECT_EQ(DbfErrorNo, 1012);
  EXPECT_EQ(ErrorDetail, Path("t.DBT") + " [PackMemofile]");
  EXPECT_EQ(ReadFileBytes(Path("t.DBF")), table_before);
  EXPECT_EQ(ReadFileBytes(Path("t.DBT")), memo_before);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.Path()), {}), 2) << "no $$$ file";

  os::LimitFreeSpace(static_cast<std::int64_t>(memo_before.size()) + 8192);
  PackMemofile();
  os::LimitFreeSpace(-1);
  EXPECT_EQ(DbfErrorNo, 0) << ErrorDetail;
  EXPECT_EQ(ReadFileBytes(Path("t.DBT")).size(), 1024u);
}

// A pack killed after the M fields were rewritten but before the new memo
// file took the old one's name: the next open, read-only ones too, puts the
// old references back.
TEST_F(MemoPackRulesTest, TheNextOpenRollsBackAPackKilledBeforeItsRename) {
  for (int mode : {os::kOpenReadDenyNone, 0x10, os::kOpenReadWriteDenyNone}) {
    SCOPED_TRACE(mode);
    CreateAndUse("t", kMemoFpt);
    AddMemo("unreferenced");
    AppendWithMemo("one", AddMemo("first"));
    AppendWithMemo("two", AddMemo("second"));
    CloseArea();
    const std::string table_before = ReadFileBytes(Path("t.DBF"));
    const std::string memo_before = ReadFileBytes(Path("t.FPT"));
    const pid_t pid = fork();
    if (pid == 0) {
      USE(Path("t") + " EXCLUSIVE");
      os::FaultPlan plan;
      plan.ops = os::kFaultRename;
      plan.fail_at = 1;
      plan.action = os::FaultAction::kKill;
      os::ArmFaults(plan);
      PackMemofile();
      _exit(0);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status)) << status;
    ASSERT_NE(ReadFileBytes(Path("t.DBF")), table_before) << "the fields point into the new file";
    ASSERT_TRUE(os::FileExists(Path("t.$PK")) && os::FileExists(Path("t.$$$")));

    OpenModeOverride = static_cast<std::uint16_t>(mode);
    USE(Path("t"));
    OpenModeOverride = 0xFFFF;
    ASSERT_EQ(DbfErrorNo, 0) << ErrorDetail;
    EXPECT_EQ(MemoText(NotesBlock()), "first");
    SKIP(1);
    EXPECT_EQ(MemoText(NotesBlock()), "second");
    CloseArea();
    EXPECT_EQ(ReadFileBytes(Path("t.DBF")), table_before);
    EXPECT_EQ(ReadFileBytes(Path("t.FPT")), memo_before);
    EXPECT_FALSE(os::FileExists(Path("t.$PK")) || os::FileExists(Path("t.$$$")));
  }
}

// The journal is what lets the next open undo a pack killed half way, so its
// bytes and its folder entry must be on the disk before the first M field of
// the table changes: a crash in between would leave new references and no
// way back.
TEST_F(MemoPackRulesTest, TheJournalReachesTheDiskBeforeTheTableChanges) {
  CreateAndUse("t", kMemoDbase4);
  AddMemo("unreferenced");
  AppendWithMemo("one", AddMemo("first"));
  FlushHeader(*CurrentWorkArea());
  std::vector<os::FileCall> calls;
  os::RecordFileCalls(&calls);
  PackMemofile();
  os::RecordFileCalls(nullptr);
  ASSERT_EQ(DbfErrorNo, 0) << ErrorDetail;
  // The position of the first call of kind `op` on `file`; calls.size() when none.
  auto first = [&](os::FaultOp op, const char* file, bool on_handle) {
    std::size_t i = 0;
    while (i < calls.size() && !(calls[i].op == op && calls[i].on_handle == on_handle &&
                                 std::filesystem::path(calls[i].file).filename() == file)) {
      ++i;
    }
    return i;
  };
  const std::size_t table_write = first(os::kFaultWrite, "t.DBF", true);
  const std::size_t journal_write = first(os::kFaultWrite, "t.$PK", true);
  const std::size_t journal_flush = first(os::kFaultFlush, "t.$PK", true);
  const std::size_t folder_flush = first(os::kFaultFlush, "t.$PK", false);
  const std::size_t none = calls.size();
  ASSERT_LT(table_write, none) << "the pack rewrites the M field";
  EXPECT_LT(journal_write, journal_flush);
  EXPECT_LT(journal_flush, table_write) << "the journal's bytes are flushed first";
  EXPECT_LT(folder_flush, table_write) << "the journal's folder entry is flushed first";
}

}  // namespace
}  // namespace orvex::test
