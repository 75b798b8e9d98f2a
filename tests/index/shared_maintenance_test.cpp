// Several programs keeping one index: appenders in other processes, each
// under ALock, leave every tag holding every record in order; a reader
// walking inside the read bracket while a writer edits keys meets every
// record once; a program killed while it appends or reads leaves files the
// next program opens, and a reader count it left behind stops writers after
// their timeout with the message that names the cure.
#include <unistd.h>

#include <filesystem>
#include <set>

#include "engine/locks.h"
#include "index/semaphore.h"
#include "index/transaction.h"
#include "index_test_support.h"

namespace orvex::test {
namespace {

class SharedMaintenanceTest : public IndexTest {
 protected:
  // A second program with the table open shared and its production index.
  std::unique_ptr<ChildProcess> Program(const std::string& table) {
    auto program = std::make_unique<ChildProcess>(
        std::vector<std::string>{BuildProgram("tests/index/index_helper")});
    program->WriteLine("open " + Path(table));
    EXPECT_EQ(program->ReadLine(), "opened");
    return program;
  }
  // A table of `count` records NAME = "n<i>" with a production index on NAME.
  void MakeNames(int count) {
    std::vector<TestRecord> rows;
    for (int i = 0; i < count; ++i) rows.push_back({{"n" + std::to_string(i)}});
    WriteDbf(Path("t.dbf"), {{"NAME", 'C', 10}}, rows);
    Use("t.dbf");
    ASSERT_TRUE(MakeIndex({Tag("NAME", "NAME"), Tag("DESC", "NAME", "", true)}, "")) << ErrorDetail;
    CloseAllAreas();
  }
};

TEST_F(SharedMaintenanceTest, FourProgramsAppendingUnderALockLeaveEveryKey) {
  WriteDbf(Path("t.dbf"), {{"NAME", 'C', 10}}, {});
  Use("t.dbf");
  const std::vector<TagDefinition> tags = {Tag("NAME", "NAME"), Tag("DESC", "NAME", "", true),
                                           Tag("TAIL", "SUBSTR(NAME,2,9)"),
                                           Tag("LOW", "LOWER(NAME)")};
  ASSERT_TRUE(MakeIndex(tags, "")) << ErrorDetail;
  CloseAllAreas();
  const char* prefixes[] = {"A", "B", "C", "D"};
  std::vector<std::unique_ptr<ChildProcess>> programs;
  for (int i = 0; i < 4; ++i) {
    programs.push_back(std::make_unique<ChildProcess>(
        std::vector<std::string>{BuildProgram("tests/index/index_helper")}));
    programs.back()->WriteLine("open " + Path("t.dbf"));
    ASSERT_EQ(programs.back()->ReadLine(), "opened");
  }
  for (int i = 0; i < 4; ++i)
    programs[static_cast<std::size_t>(i)]->WriteLine(std::string("appends 2000 ") + prefixes[i]);
  for (auto& p : programs) EXPECT_EQ(p->ReadLine(), "ok");
  for (auto& p : programs) p->Wait();
  Use("t.dbf");
  SetIndexTo("");
  ASSERT_EQ(RecCount(), 8000);
  std::vector<std::vector<std::int32_t>> kept;
  for (int n = 1; n <= 4; ++n) {
    Set_Order_To(n);
    kept.push_back(WalkForward());
    EXPECT_EQ(kept.back().size(), 8000u) << tags[static_cast<std::size_t>(n - 1)].name;
  }
  ASSERT_TRUE(MakeIndex(tags, "")) << ErrorDetail;
  SetIndexTo("");
  for (int n = 1; n <= 4; ++n) {
    Set_Order_To(n);
    EXPECT_EQ(WalkForward(), kept[static_cast<std::size_t>(n - 1)])
        << tags[static_cast<std::size_t>(n - 1)].name;
  }
}

TEST_F(SharedMaintenanceTest, AReaderInsideTheReadBracketMeetsEveryRecordOnceWhileKeysChange) {
  MakeNames(300);
  auto writer = Program("t.dbf");
  auto reader = Program("t.dbf");
  reader->WriteLine("walk");
  const std::vector<std::int32_t> before = Walked(reader->ReadLine());
  writer->WriteLine("edits 600 7");
  for (int i = 0; i < 25; ++i) {
    reader->WriteLine("read");
    ASSERT_EQ(reader->ReadLine(), "ok");
    reader->WriteLine("walk");
    std::vector<std::int32_t> walk = Walked(reader->ReadLine());
    EXPECT_EQ(walk.size(), 300u) << "walk " << i;
    EXPECT_EQ(std::set<std::int32_t>(walk.begin(), walk.end()).size(), walk.size()) << "walk " << i;
    reader->WriteLine("unread");
    ASSERT_EQ(reader->ReadLine(), "ok");
  }
  ASSERT_EQ(writer->ReadLine(), "ok");
  // The next walk learns of the change through the counter.
  reader->WriteLine("walk");
  std::vector<std::int32_t> after = Walked(reader->ReadLine());
  Use("t.dbf", true);
  SetIndexTo("");
  EXPECT_EQ(after, WalkForward());
  EXPECT_NE(after, before);
}

// A transaction on a shared table holds the writer's lock to its end: this
// program reads its own changes meanwhile, and another program's walk
// through the index waits and then meets all of them.
TEST_F(SharedMaintenanceTest, AnotherProgramWalksATransactionWholeOnceItEnds) {
  MakeNames(100);
  auto reader = Program("t.dbf");
  Use("t.dbf", true);
  SetIndexTo("");
  BeginTransaction();
  ASSERT_EQ(DbfErrorNo, 0) << ErrorDetail;
  for (const char* name : {"x1", "a2", "n50z"}) {
    ASSERT_TRUE(ALock()) << ErrorDetail;
    SetText(1, name);
    Append();
    ASSERT_EQ(DbfErrorNo, 0) << ErrorDetail;
    Unlock();
  }
  EXPECT_TRUE(Find("a2"));
  EXPECT_EQ(RecNo(), 102);
  reader->WriteLine("walk");
  usleep(300 * 1000);
  EndTransaction();
  ASSERT_EQ(DbfErrorNo, 0) << ErrorDetail;
  const std::vector<std::int32_t> walk = Walked(reader->ReadLine());
  EXPECT_EQ(walk, WalkForward());
  EXPECT_EQ(walk.size(), 103u);
}

TEST_F(SharedMaintenanceTest, AProgramKilledWhileAppendingLeavesFilesTheNextOneOpens) {
  MakeNames(0);
  {
    auto appender = Program("t.dbf");
    appender->WriteLine("appends 90000 K");
    const std::string table = os::ResolvePath(Path("t.dbf"));
    std::error_code error;
    // Waits for the bytes of record 201: the append under way when the
    // program dies is rolled back, and the one before it is whole once the
    // next one writes (appends of one program follow one another).
    for (int i = 0; i < 6000 && std::filesystem::file_size(table, error) < 65 + 11 * 201; ++i)
      usleep(5000);
  }  // killed with SIGKILL here, somewhere inside its appends
  SemaphoreTimeoutTicks = 18;
  Use("t.dbf", true);
  SetIndexTo("");
  ASSERT_EQ(DbfErrorNo, 0) << ErrorDetail;
  const std::int32_t count = RecCount();
  EXPECT_GE(count, 200);
  for (int n = 1; n <= 2; ++n) {
    Set_Order_To(n);
    std::vector<std::int32_t> walk = WalkForward();
    ASSERT_EQ(DbfErrorNo, 0) << ErrorDetail;
    // The record being appended may lack its keys; no other may.
    EXPECT_GE(walk.size() + 1, static_cast<std::size_t>(count));
    for (std::int32_t r : walk) EXPECT_LE(r, count);
  }
  // A writer lock the killed program held is a stale count: the next
  // writer gives up after its timeout, names the file and writes nothing.
  ALock();
  SetText(1, "next");
  Append();
  if (DbfErrorNo != 0) {
    EXPECT_EQ(DbfErrorNo, 1202) << ErrorDetail;
    EXPECT_EQ(RecCount(), count);
  } else {
    EXPECT_EQ(RecCount(), count + 1);
  }
}

TEST_F(SharedMaintenanceTest, AKilledReadersCountDoesNotStopAWriter) {
  MakeNames(3);
  // While another program keeps the semaphore file open, the count a killed
  // reader left in it stays in the file; writers see that its program is gone.
  auto keeper = Program("t.dbf");
  {
    auto reader = Program("t.dbf");
    reader->WriteLine("read");
    ASSERT_EQ(reader->ReadLine(), "ok");
  }  // killed inside the read bracket
  SemaphoreTimeoutTicks = 18;
  Use("t.dbf", true);
  SetIndexTo("");
  GO(2);
  ASSERT_TRUE(RLock());
  SetText(1, "changed");
  Replace();
  EXPECT_EQ(DbfErrorNo, 0) << ErrorDetail;
  Unlock();
  ASSERT_TRUE(ALock());
  SetText(1, "n9");
  Append();
  EXPECT_EQ(DbfErrorNo, 0) << ErrorDetail;
  Unlock();
  EXPECT_EQ(WalkForward(), (std::vector<std::int32_t>{2, 1, 3, 4}));
  keeper->WriteLine("find n9");
  EXPECT_EQ(keeper->ReadLine(), "found 4");
}

}  // namespace
}  // namespace orvex::test
