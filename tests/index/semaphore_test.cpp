// Semaphore files between real processes: login counts, read brackets, a
// writer after a reader or writer that was killed, a live reader that keeps
// a writer out, the unbalanced leave, work area 35, exclusive tables, a
// reader on a full disk, and the change counter that makes other programs
// re-read.
#include "index/semaphore.h"

#include <chrono>
#include <cstdio>

#include "index_test_support.h"
#include "platform/os/fault_injection.h"
#include "platform/os/files.h"
#include "platform/os/system.h"

namespace orvex::test {
namespace {

class SemaphoreTest : public IndexTest {
 protected:
  void SetUp() override {
    IndexTest::SetUp();
    WriteDbf(Path("t.dbf"), {{"NAME", 'C', 5}}, {{{"a"}}, {{"b"}}, {{"c"}}});
    Use("t.dbf");
    ASSERT_TRUE(MakeIndex({Tag("NAME", "NAME")}, "")) << ErrorDetail;
    CloseAllAreas();
  }
  std::string Semaphore() { return os::ResolvePath(Path("t.@S@")); }
  // The 4-byte record: logins, readers, change counter.
  std::vector<int> Record() {
    std::string b = ReadFileBytes(Semaphore());
    if (b.size() < 4) return {};
    return {static_cast<std::uint8_t>(b[0]), static_cast<std::int8_t>(b[1]),
            static_cast<std::uint8_t>(b[2]) | static_cast<std::uint8_t>(b[3]) << 8};
  }
  void OpenShared() {
    Use("t.dbf", /*shared=*/true);
    SetIndexTo("");
    ASSERT_EQ(DbfErrorNo, 0) << ErrorDetail;
  }
  ChildProcess Helper() { return ChildProcess({BuildProgram("tests/index/index_helper")}); }
  std::string Ask(ChildProcess& child, const std::string& line) {
    child.WriteLine(line);
    return child.ReadLine();
  }
};

TEST_F(SemaphoreTest, FirstOpenCreatesLastCloseDeletes) {
  ChildProcess other = Helper();
  ASSERT_EQ(Ask(other, "open " + Path("t.dbf")), "opened");
  EXPECT_EQ(Record(), (std::vector<int>{1, 0, 0}));
  OpenShared();
  EXPECT_EQ(Record(), (std::vector<int>{2, 0, 0}));
  EXPECT_EQ(Ask(other, "close"), "ok");
  EXPECT_EQ(Record(), (std::vector<int>{1, 0, 0}));
  CloseAllAreas();
  EXPECT_FALSE(os::FileExists(Semaphore()));
  other.Wait();
}

TEST_F(SemaphoreTest, NestedReadBracketsCountOnceAndAnUnbalancedLeaveChangesNothing) {
  OpenShared();
  for (int i = 0; i < 3; ++i) SetReadSemaphoreProc(1, true);
  EXPECT_EQ(Record(), (std::vector<int>{1, 1, 0}));
  for (int i = 0; i < 3; ++i) SetReadSemaphoreProc(1, false);
  EXPECT_EQ(Record(), (std::vector<int>{1, 0, 0}));
  std::string before = ReadFileBytes(Semaphore());
  SetReadSemaphoreProc(1, false);
  EXPECT_EQ(DbfErrorNo, 254);
  EXPECT_EQ(ErrorDetail, "Non-symmetrical Lock-Unlock [SetReadSemaphoreProc]");
  SetLockSemaphoreProc(1, false);
  EXPECT_EQ(ErrorDetail, "Non-symmetrical Lock-Unlock [SetLockSemaphoreProc]");
  EXPECT_EQ(ReadFileBytes(Semaphore()), before);
  // A writer's bracket publishes a change.
  SetLockSemaphoreProc(1, true);
  EXPECT_EQ(Record(), (std::vector<int>{1, 1, 0}));
  SetLockSemaphoreProc(1, false);
  EXPECT_EQ(Record(), (std::vector<int>{1, 0, 1}));
}

TEST_F(SemaphoreTest, AKilledReaderOrWriterCostsTheNextWriterNoWait) {
  // A program that keeps the semaphore file open, so that the killed
  // programs' counts are not cleared by the next login.
  ChildProcess holder = Helper();
  ASSERT_EQ(Ask(holder, "open " + Path("t.dbf")), "opened");
  ChildProcess reader = Helper();
  ASSERT_EQ(Ask(reader, "open " + Path("t.dbf")), "opened");
  ASSERT_EQ(Ask(reader, "read"), "ok");
  reader.WriteLine("kill");
  reader.Wait();
  OpenShared();
  EXPECT_EQ(Record(), (std::vector<int>{3, 1, 0}));
  SemaphoreTimeoutTicks = 18;  // about one second, should the count stay
  SetLockSemaphoreProc(1, true);
  ASSERT_EQ(DbfErrorNo, 0) << ErrorDetail;
  SetLockSemaphoreProc(1, false);
  EXPECT_EQ(Record(), (std::vector<int>{3, 0, 1}));

  // A writer killed inside its lock leaves the writer's mark behind.
  ChildProcess writer = Helper();
  ASSERT_EQ(Ask(writer, "open " + Path("t.dbf")), "opened");
  ASSERT_EQ(Ask(writer, "lock"), "ok");
  writer.WriteLine("kill");
  writer.Wait();
  EXPECT_EQ(Record(), (std::vector<int>{4, 1, 1}));
  SetLockSemaphoreProc(1, true);
  ASSERT_EQ(DbfErrorNo, 0) << ErrorDetail;
  SetLockSemaphoreProc(1, false);
  EXPECT_EQ(Record(), (std::vector<int>{4, 0, 2}));
  EXPECT_EQ(Ask(holder, "lock"), "ok");
  EXPECT_EQ(Ask(holder, "unlock"), "ok");
}

TEST_F(SemaphoreTest, ALiveReaderKeepsTheWriterOutAndTheTimeoutNamesTheFileToDelete) {
  ChildProcess reader = Helper();
  ASSERT_EQ(Ask(reader, "open " + Path("t.dbf")), "opened");
  ASSERT_EQ(Ask(reader, "read"), "ok");
  // A reader killed beside the live one: its count goes, the live one's
  // stays.
  ChildProcess killed = Helper();
  ASSERT_EQ(Ask(killed, "open " + Path("t.dbf")), "opened");
  ASSERT_EQ(Ask(killed, "read"), "ok");
  killed.WriteLine("kill");
  killed.Wait();
  OpenShared();
  EXPECT_EQ(Record(), (std::vector<int>{3, 2, 0}));
  SemaphoreTimeoutTicks = 18;
  SetLockSemaphoreProc(1, true);
  EXPECT_EQ(DbfErrorNo, 1202);
  const std::string name = SemaphoreFileName(CurrentWorkArea()->file_name);
  const std::string detail =
      "1 second timeout, cannot read: " + name +
      "\r\nPossible cause: Other user's program has terminated abnormally.\r\n"
      "Cure: Log all users of this application off the network,\r\nthen delete " +
      name;
  EXPECT_EQ(ErrorDetail, detail);
  // The program-stopping report shows the whole message, the file name last.
  EXPECT_EXIT(
      {
        os::SetMessageBoxHook([](const std::string& text, const std::string&, bool) {
          std::fprintf(stderr, "%s|", text.c_str());
        });
        SetAutoReport(true);
        SetError(1202, detail);
      },
      ::testing::ExitedWithCode(1202 & 0xFF), "then delete " + name + "\\|");
  EXPECT_EQ(Ask(reader, "unread"), "ok");
  DbfErrorNo = 0;
  SetLockSemaphoreProc(1, true);
  EXPECT_EQ(DbfErrorNo, 0) << ErrorDetail;
  SetLockSemaphoreProc(1, false);
}

TEST_F(SemaphoreTest, WorkArea35TakesPartLikeEveryOther) {
  // The last slot, one the library keeps for its own tables (not selectable).
  CurrentArea = kWorkAreaSlots;
  USE(Path("t.dbf"));
  ASSERT_EQ(DbfErrorNo, 0) << ErrorDetail;
  ASSERT_TRUE(HandleSemaphore(kWorkAreaSlots, kLogin)) << ErrorDetail;
  EXPECT_EQ(Record(), (std::vector<int>{1, 0, 0}));
  EXPECT_TRUE(HandleSemaphore(kWorkAreaSlots, kIncRead)) << ErrorDetail;
  EXPECT_EQ(Record(), (std::vector<int>{1, 1, 0}));
  EXPECT_TRUE(HandleSemaphore(kWorkAreaSlots, kDecRead)) << ErrorDetail;
  EXPECT_TRUE(HandleSemaphore(kWorkAreaSlots, kLogout)) << ErrorDetail;
  EXPECT_FALSE(os::FileExists(Semaphore()));
  EXPECT_FALSE(HandleSemaphore(kWorkAreaSlots + 1, kIncRead));
  EXPECT_EQ(DbfErrorNo, 254);
}

TEST_F(SemaphoreTest, AReaderOnAFullDiskGoesWithoutASemaphoreFile) {
  OpenModeOverride = os::kOpenReadDenyNone;
  Use("t.dbf", /*shared=*/true);
  os::FaultPlan full;
  full.ops = os::kFaultWrite;
  full.fail_at = 1;
  full.sticky = true;
  os::ArmFaults(full);
  SetIndexTo("");
  EXPECT_EQ(DbfErrorNo, 0) << ErrorDetail;
  EXPECT_EQ(WalkForward(), (std::vector<std::int32_t>{1, 2, 3}));
  os::DisarmFaults();
  EXPECT_FALSE(os::FileExists(Semaphore()));
}

TEST_F(SemaphoreTest, AHeldRegionEndsTheWaitWithTheTimeoutMessage) {
  ChildProcess writer = Helper();
  ASSERT_EQ(Ask(writer, "open " + Path("t.dbf")), "opened");
  OpenShared();
  ASSERT_EQ(Ask(writer, "lock"), "ok");
  SemaphoreLockWaitMs = 300;
  auto start = std::chrono::steady_clock::now();
  SetReadSemaphoreProc(1, true);
  auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(DbfErrorNo, 1202);
  EXPECT_EQ(ErrorDetail.rfind("10 second timeout: Cannot lock index semaphore file: ", 0), 0u) << ErrorDetail;
  EXPECT_GE(waited, std::chrono::milliseconds(300));  // slept, did not give up at once
  EXPECT_EQ(Ask(writer, "unlock"), "ok");
  SetReadSemaphoreProc(1, false);
  DbfErrorNo = 0;
  SetReadSemaphoreProc(1, true);
  EXPECT_EQ(DbfErrorNo, 0) << ErrorDetail;
  SetReadSemaphoreProc(1, false);
}

TEST_F(SemaphoreTest, ExclusiveTablesMakeNoSemaphoreFile) {
  Use("t.dbf");
  SetIndexTo("");
  ASSERT_EQ(DbfErrorNo, 0) << ErrorDetail;
  SetReadSemaphoreProc(1, true);
  SetLockSemaphoreProc(1, true);
  SetLockSemaphoreProc(1, false);
  SetReadSemaphoreProc(1, false);
  EXPECT_EQ(DbfErrorNo, 0);
  EXPECT_FALSE(os::FileExists(Semaphore()));
}

TEST_F(SemaphoreTest, AnotherProgramsChangeMakesTheNextStepReadTheIndexAgain) {
  ChildProcess writer = Helper();
  ASSERT_EQ(Ask(writer, "open " + Path("t.dbf")), "opened");
  ChildProcess reader = Helper();
  ASSERT_EQ(Ask(reader, "open " + Path("t.dbf")), "opened");
  ASSERT_EQ(Ask(reader, "find b"), "found 2");
  OpenShared();
  GoTop();
  ASSERT_EQ(RecNo(), 1);
  // The other program rewrites the leaf (records 3 and 2 exchanged) and
  // publishes the change through the counter.
  const std::string mdx_name = os::ResolvePath(Path("t.mdx"));
  std::string mdx = ReadFileBytes(mdx_name);
  const std::size_t leaf = 4 * 512 + 8, item = 12;
  mdx[leaf + item] = 3;
  mdx[leaf + 2 * item] = 2;
  WriteFileBytes(mdx_name, mdx);
  ASSERT_EQ(Ask(writer, "lock"), "ok");
  ASSERT_EQ(Ask(writer, "unlock"), "ok");
  EXPECT_EQ(Record(), (std::vector<int>{3, 0, 1}));
  SKIP(1);
  EXPECT_EQ(RecNo(), 3);
  // A program that read the old leaf before sees the new one too.
  EXPECT_EQ(Ask(reader, "find b"), "found 3");
}

}  // namespace
}  // namespace orvex::test
