// The table component beside a second, real program: an index that another
// program holds is never rebuilt, the locking writes wait for, or give up
// on, a record lock that the other program holds, and a shared table shows
// what the other program changed and appended while reading each record
// once per move, and a table cut short under a walk is an error.
#include "platform/os/fault_injection.h"
#include "table_test_support.h"

namespace orvex::test {
namespace {

// The file-layer reads (of any file) made while `run` runs.
long FileReads(const std::function<void()>& run) {
  os::FaultPlan count_only;
  count_only.ops = os::kFaultRead;
  os::ArmFaults(count_only);
  run();
  return os::DisarmFaults();
}

TEST_F(TableTest, SharedWalkReadsEachRecordOnceAndSeesTheOtherProgramsChanges) {
  const std::string path = MovieTable();
  auto table = Table(path, TCreateIndexType::ciNotFound, {});
  table->Open();  // shared, as the component opens a table by default
  table->First();
  std::vector<std::string> titles{table->FieldByName("title")->AsString()};
  const long reads = FileReads([&] {
    for (table->Next(); !table->Eof(); table->Next())
      titles.push_back(table->FieldByName("title")->AsString());
  });
  ASSERT_EQ(titles.size(), kMovies.size());
  // One read per step onto the next record, and one for the step past the
  // last; the cursor synchronisation after each move reads nothing again.
  EXPECT_LE(reads, static_cast<long>(kMovies.size()));

  ChildProcess other({BuildProgram("tests/engine/engine_helper")});
  const auto tell = [&](const std::string& line) {
    other.WriteLine(line);
    return other.ReadLine();
  };
  // The other program changes the title of record n under its record lock.
  const auto change = [&](int n, const std::string& title) {
    tell("go " + std::to_string(n));
    ASSERT_EQ(tell("rlock"), "yes");
    ASSERT_EQ(tell("replace " + title), "ok");
    ASSERT_EQ(tell("unlock"), "ok");
  };
  ASSERT_EQ(tell("use " + path), "ok");
  table->First();
  change(1, "Psycho");
  EXPECT_EQ(table->FieldByName("title")->AsString(), "Vertigo");  // as read
  table->Refresh();
  EXPECT_EQ(table->FieldByName("title")->AsString(), "Psycho");
  // A move onto a record reads it anew, also back onto one read before.
  change(2, "Solaris");
  change(1, "Brazil");
  table->Next();
  EXPECT_EQ(table->FieldByName("title")->AsString(), "Solaris");
  table->Prior();
  EXPECT_EQ(table->FieldByName("title")->AsString(), "Brazil");
  // A record the other program appends is there at the end of the walk.
  ASSERT_EQ(tell("alock"), "yes");
  ASSERT_EQ(tell("append Zardoz"), "ok");
  ASSERT_EQ(tell("unlock"), "ok");
  table->Last();
  EXPECT_EQ(table->FieldByName("title")->AsString(), "Zardoz");
  EXPECT_EQ(table->GetRecNo(), static_cast<int>(kMovies.size()) + 1);
  ASSERT_EQ(tell("close"), "ok");
}

// The other program cuts the table short under a shared walk: the step onto
// the record the cut went through fails with an error instead of showing
// made-up bytes or crashing, and the records before it read as stored.
TEST_F(TableTest, ACutUnderASharedWalkIsAnErrorNotACrash) {
  const std::string path = MovieTable();
  const std::string bytes = ReadFileBytes(path);
  const auto word = [&](int at) {
    return static_cast<unsigned char>(bytes[at]) | static_cast<unsigned char>(bytes[at + 1]) << 8;
  };
  auto table = Table(path, TCreateIndexType::ciNotFound, {});
  table->Open();
  table->First();
  ChildProcess other({BuildProgram("tests/engine/engine_helper")});
  other.WriteLine("cut " + path + " " + std::to_string(word(8) + 2 * word(10) + 5));
  ASSERT_EQ(other.ReadLine(), "ok");
  std::vector<std::string> titles{table->FieldByName("title")->AsString()};
  bool failed = false;
  try {
    for (table->Next(); !table->Eof(); table->Next())
      titles.push_back(table->FieldByName("title")->AsString());
  } catch (const std::exception&) {
    failed = true;
  }
  EXPECT_TRUE(failed);
  EXPECT_EQ(titles, (std::vector<std::string>{kMovies[0].title, kMovies[1].title}));
}

TEST_F(TableTest, AlwaysRebuildsExceptWhileAnotherProgramHoldsTheTable) {
  const std::string path = MovieTable();
  Table(path)->Open();
  ASSERT_EQ(builds, 1);
  const std::string bytes = ReadFileBytes(Path("movie_r.mdx"));
  {
    ChildProcess other({BuildProgram("tests/index/index_helper")});
    other.WriteLine("open " + path);
    ASSERT_EQ(other.ReadLine(), "opened");
    for (TCreateIndexType create : {TCreateIndexType::ciAlways, TCreateIndexType::ciVerifyHeader}) {
      auto table = Table(path, create, {"TITLE,F,F,UPPER(TITLE)", ""});
      table->Open();
      EXPECT_EQ(CurrentOrder(), 1);
      EXPECT_EQ(Column(*table, "title").size(), kMovies.size());
    }
    EXPECT_EQ(builds, 1);
    EXPECT_EQ(ReadFileBytes(Path("movie_r.mdx")), bytes);
    other.WriteLine("close");
    EXPECT_EQ(other.ReadLine(), "ok");
  }
  Table(path, TCreateIndexType::ciAlways)->Open();
  EXPECT_EQ(builds, 2);
}

class LockTest : public TableTest {
 protected:
  void SetUp() override {
    TableTest::SetUp();
    path_ = MovieTable();
    other_ = std::make_unique<ChildProcess>(
        std::vector<std::string>{BuildProgram("tests/engine/engine_helper")});
    other_->WriteLine("use " + path_);
    ASSERT_EQ(other_->ReadLine(), "ok");
    other_->WriteLine("go 1");
    other_->ReadLine();
    other_->WriteLine("rlock");
    ASSERT_EQ(other_->ReadLine(), "yes");
    table_ = Table(path_, TCreateIndexType::ciNotFound, {});
    table_->Open();
    table_->First();
  }
  void TearDown() override {
    table_.reset();
    other_.reset();
    TableTest::TearDown();
  }
  std::string path_;
  std::unique_ptr<ChildProcess> other_;
  std::unique_ptr<TestTable> table_;
};

TEST_F(LockTest, RetryingHandlerWaitsForTheLockAndTheEditLands) {
  int calls = 0;
  table_->OnRLockFailedOnPost = [&](void* sender, bool& retry) {
    EXPECT_EQ(sender, table_.get());
    if (++calls == 3) {
      other_->WriteLine("unlock");
      EXPECT_EQ(other_->ReadLine(), "ok");
    }
    retry = true;
  };
  table_->Edit();
  table_->FieldByName("year")->SetAsInteger(2001);
  table_->Post();
  EXPECT_EQ(calls, 3);
  EXPECT_TRUE(warnings.empty());
  EXPECT_EQ(ReadRecords(path_)[0].bytes.substr(20, 4), "2001");
}

TEST_F(LockTest, FailedLocksWarnOrAskAndChangeNothing) {
  const std::string bytes = ReadFileBytes(path_);
  table_->Edit();
  table_->FieldByName("year")->SetAsInteger(2001);
  table_->Post();
  table_->s_DeleteWithLock();
  table_->s_RestoreWithLock();
  EXPECT_EQ(warnings, (std::vector<std::string>{"Sperren fehlgeschlagen [Post]",
                                                "Sperren fehlgeschlagen [Delete]",
                                                "Sperren fehlgeschlagen [Restore]"}));
  // A handler that does not retry: no warning.
  int calls = 0;
  table_->OnRLockFailedOnDelete = [&](void*, bool&) { ++calls; };
  table_->s_DeleteWithLock();
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(warnings.size(), 3u);
  // Warnings at another level are dropped.
  DatasetWarningLevel = 1;
  table_->s_ReplaceWithLock();
  EXPECT_EQ(warnings.size(), 3u);
  EXPECT_EQ(ReadFileBytes(path_), bytes);
}

}  // namespace
}  // namespace orvex::test
