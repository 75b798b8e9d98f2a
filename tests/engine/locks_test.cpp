// Locks within one process: states, the lock list, limits, and where the
// record locks lie in the file.
#include "engine/locks.h"

#include <ctime>

#include "engine/navigation.h"
#include "engine/record_io.h"
#include "engine/tables.h"
#include "engine_test_support.h"
#include "platform/os/codepage.h"

namespace orvex::test {
namespace {

class LocksTest : public EngineTest {
 protected:
  void OpenShared(int count = 3, const std::string& options = "") {
    std::vector<std::string> records(static_cast<std::size_t>(count), "x");
    WriteFileBytes(Path("l.dbf"), Dbase3File(0x03, {{"NAME", 'C', 20}}, records));
    USE(Path("l.dbf") + options);
    ASSERT_EQ(DbfErrorNo, 0);
  }
  // Whether another open of the file can lock [offset, offset + length).
  bool OtherCanLock(std::uint64_t offset, std::uint64_t length) {
    int err = 0;
    os::Handle h = os::OpenFile(Path("l.dbf"), os::kOpenReadWriteDenyNone, &err);
    EXPECT_NE(h, os::kNoHandle);
    bool ok = os::LockFile(h, offset, length) == 0;
    os::CloseFile(h);
    return ok;
  }
};

TEST_F(LocksTest, RecordLocksLieAtTheirOffsets) {
  // header 97, record 21: record 3 at 1073741824 + 97 + 42 for 21 bytes.
  WriteFileBytes(Path("l.dbf"), Dbase3File(0x03, {{"NAME", 'C', 10}, {"MORE", 'C', 10}}, {"a", "b", "c"}));
  USE(Path("l.dbf"));
  GO(3);
  ASSERT_TRUE(RLock());
  EXPECT_FALSE(OtherCanLock(1073741963, 1));
  EXPECT_FALSE(OtherCanLock(1073741963 + 20, 1));
  EXPECT_TRUE(OtherCanLock(1073741962, 1));
  EXPECT_TRUE(OtherCanLock(1073741963 + 21, 1));
  EXPECT_TRUE(OtherCanLock(0, 100));  // data stays readable and lockable
  ASSERT_TRUE(UnlockRec(3));
  EXPECT_TRUE(OtherCanLock(1073741963, 21));
}

TEST_F(LocksTest, AppendLockAndRecordLocksExcludeEachOther) {
  OpenShared();
  ASSERT_TRUE(ALock());
  EXPECT_EQ(CurrentWorkArea()->lock_state, LockState::kAppend);
  EXPECT_FALSE(OtherCanLock(LockBase + 1, 1));
  EXPECT_TRUE(ALock());  // already held
  EXPECT_FALSE(RLock());
  Unlock();
  EXPECT_TRUE(OtherCanLock(LockBase + 1, 1));
  ASSERT_TRUE(RLock());
  EXPECT_FALSE(ALock());
}

TEST_F(LocksTest, RecordLockListKeepsOneEntryPerRecord) {
  OpenShared();
  ASSERT_TRUE(RLock());
  ASSERT_TRUE(RLock());
  EXPECT_EQ(CurrentWorkArea()->lock_count, 1);
  EXPECT_TRUE(IsLocked(1));
  EXPECT_FALSE(IsLocked(2));
  ASSERT_TRUE(UnlockRec(1));
  EXPECT_EQ(CurrentWorkArea()->lock_state, LockState::kNone);
  EXPECT_FALSE(UnlockRec(1));
  EXPECT_EQ(DbfErrorNo, 220);
  EXPECT_EQ(ErrorDetail, "Record not locked. [UnlockRec(1)]");
}

TEST_F(LocksTest, UnlockRecReleasesOldestNewestOrAll) {
  OpenShared(4);
  for (int n = 1; n <= 4; ++n) {
    GO(n);
    ASSERT_TRUE(RLock());
  }
  EXPECT_TRUE(UnlockRec(-1));  // record 1, the oldest
  EXPECT_FALSE(IsLocked(1));
  EXPECT_TRUE(UnlockRec(-2));  // record 4, the newest
  EXPECT_FALSE(IsLocked(4));
  EXPECT_TRUE(IsLocked(2));
  EXPECT_TRUE(UnlockRec(-3));
  EXPECT_EQ(CurrentWorkArea()->lock_count, 0);
  EXPECT_EQ(CurrentWorkArea()->lock_state, LockState::kNone);
  EXPECT_TRUE(OtherCanLock(LockBase, TableLockLength + 1));
  EXPECT_FALSE(UnlockRec(0));
  EXPECT_EQ(DbfErrorNo, 220);
  EXPECT_EQ(ErrorDetail, "[UnlockRec(0)]");
  EXPECT_EQ(ReportedErrorNo, 0);  // kept, not reported
}

TEST_F(LocksTest, MaxRecordLocksLimitsTheList) {
  MaxRecordLocks = 2;
  OpenShared();
  ASSERT_TRUE(RLock());
  GO(2);
  ASSERT_TRUE(RLock());
  GO(3);
  EXPECT_FALSE(RLock());
  EXPECT_EQ(DbfErrorNo, 212);
  EXPECT_EQ(ErrorDetail, os::Utf8ToAnsi("Anzahl der gesperrten Datensätze zu groß [RLock]"));
}

TEST_F(LocksTest, WithoutNetworkLockingNothingIsLockedInTheFile) {
  NetworkLocking = false;
  OpenShared();
  EXPECT_TRUE(CurrentWorkArea()->exclusive);
  EXPECT_EQ(CurrentWorkArea()->open_mode, 2);
  EXPECT_EQ(LockRange(CurrentWorkArea()->file, true, LockBase, 1), 0);
  ASSERT_TRUE(RLock());
  EXPECT_TRUE(IsLocked(1));
  EXPECT_FALSE(ALock());
  Unlock();
  EXPECT_TRUE(ALock());
  EXPECT_TRUE(LockDatabaseByte());
}

TEST_F(LocksTest, FailedLocksRetryAndAskTheHook) {
  OpenShared();
  int err = 0;
  os::Handle other = os::OpenFile(Path("l.dbf"), os::kOpenReadWriteDenyNone, &err);
  ASSERT_EQ(os::LockFile(other, LockBase + 1, 1), 0);
  int asked = 0;
  LockRetries = 2;
  LockFailedHook = [&] { return ++asked < 2; };
  EXPECT_FALSE(ALock());
  EXPECT_EQ(asked, 2);
  EXPECT_EQ(LastLockError, 33);
  EXPECT_EQ(DbfErrorNo, 0);  // a failed lock is no error
  LockFailedHook = [&] {
    os::UnlockFile(other, LockBase + 1, 1);
    return true;
  };
  EXPECT_TRUE(ALock());
  os::CloseFile(other);
}

TEST_F(LocksTest, WaitingForALockSleepsAndDispatchesMessages) {
  OpenShared();
  int err = 0;
  os::Handle other = os::OpenFile(Path("l.dbf"), os::kOpenReadWriteDenyNone, &err);
  ASSERT_EQ(os::LockFile(other, LockBase + 1, 1), 0);
  int dispatched = 0;
  os::SetProcessMessagesHook([&] { ++dispatched; });
  LockRetries = 1;
  LockRetryDelay = 1;
  std::clock_t cpu = std::clock();
  std::uint32_t start = os::GetTickCount();
  EXPECT_FALSE(ALock());
  EXPECT_GE(os::GetTickCount() - start, 1000u);  // the wait the settings ask for
  EXPECT_LT(std::clock() - cpu, CLOCKS_PER_SEC / 4);  // asleep, not spinning
  EXPECT_GT(dispatched, 5);
  os::SetProcessMessagesHook(nullptr);
  os::CloseFile(other);
}

TEST_F(LocksTest, OnlyRecordsOfTheTableAndThePhantomCanBeLocked) {
  // Record 0 of an empty table, whose records are longer than its header,
  // would lock the database and append bytes.
  WriteFileBytes(Path("l.dbf"), Dbase3File(0x03, {{"NAME", 'C', 100}}, {}));
  USE(Path("l.dbf"));
  ASSERT_EQ(RecNo(), 0);
  EXPECT_FALSE(RLock());
  EXPECT_TRUE(OtherCanLock(LockBase, 2));
  EXPECT_TRUE(ALock());
}

TEST_F(LocksTest, ExclusiveTablesRecordLocksWithoutTheFile) {
  OpenShared(3, " EXCLUSIVE");
  ASSERT_TRUE(RLock());
  EXPECT_TRUE(IsLocked(1));
  EXPECT_EQ(ReopenShared(false), 5);
}

TEST_F(LocksTest, ReopenSwitchesBetweenSharedAndExclusive) {
  OpenShared();
  EXPECT_EQ(ReopenShared(true), 0);
  EXPECT_TRUE(CurrentWorkArea()->exclusive);
  int err = 0;
  EXPECT_EQ(os::OpenFile(Path("l.dbf"), os::kOpenReadWriteDenyNone, &err), os::kNoHandle);
  EXPECT_EQ(err, 32);
  EXPECT_EQ(ReopenShared(false), 0);
  EXPECT_FALSE(CurrentWorkArea()->exclusive);
  os::Handle h = os::OpenFile(Path("l.dbf"), os::kOpenReadWriteDenyNone, &err);
  EXPECT_NE(h, os::kNoHandle);
  os::CloseFile(h);
  GO(2);
  EXPECT_EQ(DbfErrorNo, 0);
}

}  // namespace
}  // namespace orvex::test
