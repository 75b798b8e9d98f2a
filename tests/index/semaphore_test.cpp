// Semaphore files between real processes: login counts, read brackets, a
// writer facing a reader that crashed, the unbalanced leave, exclusive
// tables, and the change counter that makes other programs re-read.
#include <chrono>

#include "index/semaphore.h"
#include "index_test_support.h"
#include "platform/os/files.h"

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

TEST_F(SemaphoreTest, WriterGivesUpOnAReaderThatCrashed) {
  // A program that keeps the semaphore file open, so that the crashed
  // reader's count is not cleared by the next login.
  ChildProcess holder = Helper();
  ASSERT_EQ(Ask(holder, "open " + Path("t.dbf")), "opened");
  ChildProcess crashed = Helper();
  ASSERT_EQ(Ask(crashed, "open " + Path("t.dbf")), "opened");
  ASSERT_EQ(Ask(crashed, "read"), "ok");
  crashed.WriteLine("crash");
  crashed.Wait();
  OpenShared();
  EXPECT_EQ(Record(), (std::vector<int>{3, 1, 0}));
  SemaphoreTimeoutTicks = 18;  // about one second
  SetLockSemaphoreProc(1, true);
  EXPECT_EQ(DbfErrorNo, 1202);
  const std::string name = SemaphoreFileName(CurrentWorkArea()->file_name);
  EXPECT_EQ(ErrorDetail, "1 second timeout, cannot read: " + name +
                             "\r\nPossible cause: Other user's program has terminated abnormally.\r\n"
                             "Cure: Log all users of this application off the network,\r\nthen delete " + name);
  EXPECT_EQ(Record(), (std::vector<int>{3, 1, 0}));
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
  EXPECT_EQ(Record(), (std::vector<int>{2, 0, 1}));
  SKIP(1);
  EXPECT_EQ(RecNo(), 3);
  EXPECT_EQ(Ask(writer, "find b"), "found 3");
}

}  // namespace
}  // namespace orvex::test
