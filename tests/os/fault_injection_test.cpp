// The test switch of the file layer: which calls count, what a fault does to
// the file, and the atomic replace and directory flush the writers rely on.
#include "platform/os/fault_injection.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/os/files.h"
#include "support/test_support.h"

namespace orvex::os {
namespace {

using test::ReadFileBytes;
using test::TempDir;
using test::WriteFileBytes;

class FaultInjectionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteFileBytes(dir_.File("f"), "0123456789");
    file_ = OpenFile(dir_.File("f"), kOpenReadWrite, nullptr);
    ASSERT_NE(file_, kNoHandle);
  }
  void TearDown() override {
    DisarmFaults();
    PretendUncached(false);
    LimitFreeSpace(-1);
    CloseFile(file_);
  }
  // One call of each counted kind; returns the first error met.
  int EveryKind() {
    char buffer[4];
    std::size_t done = 0;
    int errors[] = {ReadAt(file_, 0, buffer, 4, &done), WriteAt(file_, 0, "ab", 2),
                    Truncate(file_, 10), FlushFileBuffers(file_), FlushDirectory(dir_.File("f"))};
    for (int error : errors) {
      if (error != 0) return error;
    }
    return 0;
  }

  TempDir dir_;
  Handle file_ = kNoHandle;
};

TEST_F(FaultInjectionTest, CountsOnlyTheChosenKindsOfCall) {
  struct Case {
    unsigned ops;
    long calls;
  } cases[] = {
      {kFaultAllOps, 5}, {kFaultWrite, 1}, {kFaultRead | kFaultFlush, 3}, {kFaultRename, 0}};
  for (const Case& c : cases) {
    FaultPlan plan;
    plan.ops = c.ops;
    ArmFaults(plan);
    EXPECT_EQ(EveryKind(), 0);
    EXPECT_EQ(FaultCallsSeen(), c.calls);
    EXPECT_EQ(DisarmFaults(), c.calls) << c.ops;
  }
  EXPECT_EQ(FaultCallsSeen(), 0) << "nothing counts once disarmed";
}

TEST_F(FaultInjectionTest, TheNthCallFailsOnceOrFromThenOn) {
  FaultPlan plan;
  plan.ops = kFaultWrite;
  plan.fail_at = 2;
  ArmFaults(plan);
  EXPECT_EQ(WriteAt(file_, 0, "a", 1), 0);
  EXPECT_EQ(WriteAt(file_, 1, "b", 1), kErrDiskFull) << "ENOSPC is the disk-full error";
  EXPECT_EQ(WriteAt(file_, 2, "c", 1), 0);
  plan.sticky = true;
  plan.error = EIO;
  ArmFaults(plan);
  EXPECT_EQ(WriteAt(file_, 3, "d", 1), 0);
  EXPECT_EQ(WriteAt(file_, 4, "e", 1), kErrGeneralFailure);
  EXPECT_EQ(WriteAt(file_, 5, "f", 1), kErrGeneralFailure);
  DisarmFaults();
  EXPECT_EQ(ReadFileBytes(dir_.File("f")), "a1cd456789") << "a failed call changes nothing";
}

TEST_F(FaultInjectionTest, APartialWriteStoresHalfItsBytesAndAPartialReadGivesHalf) {
  FaultPlan plan;
  plan.action = FaultAction::kPartial;
  plan.fail_at = 1;
  ArmFaults(plan);
  EXPECT_EQ(WriteAt(file_, 0, "abcdef", 6), kErrDiskFull);
  EXPECT_EQ(ReadFileBytes(dir_.File("f")), "abc3456789");
  ArmFaults(plan);
  char buffer[8] = {};
  std::size_t done = 0;
  EXPECT_EQ(ReadAt(file_, 0, buffer, 8, &done), 0);
  EXPECT_EQ(std::string(buffer, done), "abc3");
}

TEST_F(FaultInjectionTest, ACachedReadCountsOnlyWhenItReadsAndAHintNever) {
  char buffer[8] = {};
  std::size_t done = 0;
  bool cached = false;
  // Just written: the system holds the bytes.
  EXPECT_EQ(ReadAtIfCached(file_, 2, buffer, 4, &done, &cached), 0);
  EXPECT_TRUE(cached);
  EXPECT_EQ(std::string(buffer, done), "2345");
  // Up to the end of the file: left to ReadAt, which says where it ends,
  // or (a system that cannot tell) read as ReadAt reads it.
  EXPECT_EQ(ReadAtIfCached(file_, 8, buffer, 4, &done, &cached), 0);
  EXPECT_EQ(std::string(buffer, done), cached ? "89" : "");

  FaultPlan plan;
  plan.ops = ~0u;  // hints too
  plan.fail_at = 1;
  plan.error = EIO;
  std::vector<FileCall> calls;
  RecordFileCalls(&calls);
  ArmFaults(plan);
  PretendUncached(true);
  EXPECT_EQ(ReadAtIfCached(file_, 2, buffer, 4, &done, &cached), 0);
  EXPECT_FALSE(cached);
  EXPECT_EQ(done, 0u);
  PretendUncached(false);
  EXPECT_EQ(FaultCallsSeen(), 0) << "a read that read nothing is no call";
  Prefetch(file_, 0, 10);  // the counted call that fails: nothing to report
  EXPECT_EQ(ReadAtIfCached(file_, 2, buffer, 4, &done, &cached), 0);
  EXPECT_EQ(std::string(buffer, done), "2345");
  plan.ops = kFaultAllOps;
  ArmFaults(plan);
  Prefetch(file_, 0, 10);
  EXPECT_EQ(FaultCallsSeen(), 0) << "kFaultAllOps leaves hints out";
  EXPECT_EQ(ReadAtIfCached(file_, 2, buffer, 4, &done, &cached), kErrGeneralFailure);
  EXPECT_TRUE(cached);
  DisarmFaults();
  RecordFileCalls(nullptr);
  ASSERT_EQ(calls.size(), 4u);
  EXPECT_EQ(calls[0].op, kFaultHint);
  EXPECT_EQ(calls[1].op, kFaultRead);
  EXPECT_EQ(calls[2].op, kFaultHint);
  EXPECT_EQ(calls[3].op, kFaultRead);
  EXPECT_TRUE(calls[0].file.ends_with("/f")) << calls[0].file;
}

TEST_F(FaultInjectionTest, CrashPointsEndOrKillTheProcessBeforeTheCall) {
  struct Case {
    FaultAction action;
    bool killed;
  } cases[] = {{FaultAction::kExit, false}, {FaultAction::kKill, true}};
  for (const Case& c : cases) {
    const pid_t pid = fork();
    if (pid == 0) {
      FaultPlan plan;
      plan.fail_at = 2;
      plan.action = c.action;
      ArmFaults(plan);
      WriteAt(file_, 0, "x", 1);
      WriteAt(file_, 1, "y", 1);
      _exit(0);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    if (c.killed) {
      EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << status;
    } else {
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == kFaultExitStatus) << status;
    }
    EXPECT_EQ(ReadFileBytes(dir_.File("f")), "x123456789");
  }
}

TEST_F(FaultInjectionTest, AFailedUndoableWriteLeavesTheFileAsItWas) {
  struct Case {
    const char* what;
    std::int64_t offset;
    std::int64_t known_size;
    long reads;  // counted reads of a faultless write
  } cases[] = {{"in place", 2, -1, 1},
               {"over the end", 8, -1, 1},
               {"behind the end", 10, -1, 1},
               {"over the end, size known", 8, 10, 1},
               {"behind the end, size known", 10, 10, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FaultPlan plan;
    ArmFaults(plan);
    ASSERT_EQ(WriteAtUndoable(file_, c.offset, "ABCDEF", 6, c.known_size), 0);
    plan.ops = kFaultRead;
    ArmFaults(plan);
    WriteAtUndoable(file_, c.offset, "ABCDEF", 6, c.known_size);
    EXPECT_EQ(DisarmFaults(), c.reads);
    WriteFileBytes(dir_.File("f"), "0123456789");
    plan.ops = kFaultWrite;
    plan.fail_at = 1;
    plan.action = FaultAction::kPartial;
    ArmFaults(plan);
    EXPECT_EQ(WriteAtUndoable(file_, c.offset, "ABCDEF", 6, c.known_size), kErrDiskFull);
    DisarmFaults();
    EXPECT_EQ(ReadFileBytes(dir_.File("f")), "0123456789");
  }
}

TEST_F(FaultInjectionTest, FreeSpaceCanBeLimited) {
  LimitFreeSpace(40 * 1024);
  DiskSpace space;
  ASSERT_TRUE(DiskFreeSpace(dir_.Path(), &space));
  EXPECT_LE(std::uint64_t{space.free_clusters} * space.sectors_per_cluster * space.bytes_per_sector,
            40u * 1024);
}

TEST_F(FaultInjectionTest, ReplaceFileSwapsTheNameInOneStep) {
  WriteFileBytes(dir_.File("new"), "new bytes");
  EXPECT_EQ(ReplaceFile(dir_.File("new"), dir_.File("OLD")), 0) << "also where nothing is replaced";
  WriteFileBytes(dir_.File("new"), "newer");
  EXPECT_EQ(ReplaceFile(dir_.File("NEW"), dir_.File("old")), 0)
      << "names resolve case-insensitively";
  EXPECT_EQ(ReadFileBytes(dir_.File("OLD")), "newer");
  EXPECT_FALSE(FileExists(dir_.File("new")));
  EXPECT_EQ(ReplaceFile(dir_.File("f"), dir_.File("OLD")), kErrSharingViolation) << "f is open";
  FaultPlan plan;
  plan.ops = kFaultRename;
  plan.fail_at = 1;
  ArmFaults(plan);
  WriteFileBytes(dir_.File("new"), "lost");
  EXPECT_EQ(ReplaceFile(dir_.File("new"), dir_.File("OLD")), kErrDiskFull);
  EXPECT_EQ(ReadFileBytes(dir_.File("OLD")), "newer");
}

}  // namespace
}  // namespace orvex::os
