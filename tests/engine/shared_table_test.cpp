// Two and more real processes on one shared table: locks held by the other
// program, its appends and changes seen without reopening, and concurrent
// appends under the append lock.
#include <set>

#include "engine/dbf_file.h"
#include "engine/locks.h"
#include "engine/navigation.h"
#include "engine/record_io.h"
#include "engine/tables.h"
#include "engine_test_support.h"

namespace orvex::test {
namespace {

class SharedTableTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    ASSERT_TRUE(CreateDbf(Path("shared.dbf"), {{"NAME", 'C', 12, 0}, {"QTY", 'N', 6, 0}}));
  }
  std::string Helper() { return BuildProgram("tests/engine/engine_helper"); }
  // Fills the table with `count` records named r1, r2, ...
  void FillTable(int count) {
    USE(Path("shared.dbf") + " EXCLUSIVE");
    for (int i = 1; i <= count; ++i) {
      SetCharField(1, "r" + std::to_string(i));
      Append();
      ASSERT_EQ(DbfErrorNo, 0);
    }
    USE("");
  }
  static std::string Trimmed(std::string text) {
    text.erase(text.find_last_not_of(' ') + 1);
    return text;
  }
  std::string Ask(ChildProcess& child, const std::string& line) {
    child.WriteLine(line);
    return child.ReadLine();
  }
  void AppendHere(const std::string& name) {
    ASSERT_TRUE(ALock());
    SetCharField(1, name);
    Append();
    ASSERT_EQ(DbfErrorNo, 0);
    Unlock();
  }
};

TEST_F(SharedTableTest, LocksHeldByTheOtherProgramAreRefused) {
  USE(Path("shared.dbf"));
  AppendHere("one");
  AppendHere("two");
  ChildProcess other({Helper()});
  ASSERT_EQ(Ask(other, "use " + Path("shared.dbf")), "ok");
  ASSERT_EQ(Ask(other, "go 2"), "2 two");
  ASSERT_EQ(Ask(other, "rlock"), "yes");
  GO(2);
  EXPECT_FALSE(RLock());
  EXPECT_EQ(DbfErrorNo, 0);
  GO(1);
  EXPECT_TRUE(RLock());  // another record is free
  Unlock();
  ASSERT_EQ(Ask(other, "unlock"), "ok");
  ASSERT_EQ(Ask(other, "alock"), "yes");
  EXPECT_FALSE(ALock());
  GO(2);
  EXPECT_TRUE(RLock());  // the append lock does not cover records
  Unlock();
  ASSERT_EQ(Ask(other, "unlock"), "ok");
  EXPECT_TRUE(ALock());
  EXPECT_EQ(Ask(other, "alock"), "no");
}

TEST_F(SharedTableTest, AppendsAndChangesOfTheOtherProgramAreSeen) {
  USE(Path("shared.dbf"));
  AppendHere("mine");
  ChildProcess other({Helper()});
  ASSERT_EQ(Ask(other, "use " + Path("shared.dbf")), "ok");
  ASSERT_EQ(Ask(other, "alock"), "yes");
  ASSERT_EQ(Ask(other, "append theirs"), "ok");
  ASSERT_EQ(Ask(other, "append more"), "ok");
  EXPECT_EQ(RecCount(), 3);
  GO(1);
  SKIP(1);
  EXPECT_EQ(CharField(1).substr(0, 6), "theirs");
  GoBottom();
  EXPECT_EQ(RecNo(), 3);
  EXPECT_EQ(CharField(1).substr(0, 4), "more");
  // A change of the other program shows on SKIP(0).
  ASSERT_EQ(Ask(other, "unlock"), "ok");
  ASSERT_EQ(Ask(other, "go 3"), "3 more");
  ASSERT_EQ(Ask(other, "rlock"), "yes");
  ASSERT_EQ(Ask(other, "replace changed"), "ok");
  EXPECT_EQ(CharField(1).substr(0, 4), "more");
  SKIP(0);
  EXPECT_EQ(CharField(1).substr(0, 7), "changed");
  // And our append is seen by the other one.
  AppendHere("late");
  EXPECT_EQ(Ask(other, "reccount"), "4");
  EXPECT_EQ(Ask(other, "skip 1"), "4 late");
  EXPECT_EQ(Ask(other, "gobottom"), "4 late");
}

// A walk in file order that the other program appends to: the records it
// appends while the walk is under way, and those appended when the walk
// stands on the last record, are walked too (also with dEOF asked between
// the steps, as a loop does).
TEST_F(SharedTableTest, AWalkSeesRecordsAppendedDuringIt) {
  USE(Path("shared.dbf"));
  for (const char* name : {"a", "b", "c"}) AppendHere(name);
  ChildProcess other({Helper()});
  ASSERT_EQ(Ask(other, "use " + Path("shared.dbf")), "ok");
  ASSERT_EQ(Ask(other, "alock"), "yes");
  std::vector<std::string> walked;
  for (GoTop(); !dEOF(); SKIP(1)) {
    std::string name = CharField(1);
    walked.push_back(name.substr(0, name.find(' ')));
    if (walked.size() == 1 || walked.size() == 4) {
      ASSERT_EQ(Ask(other, walked.size() == 1 ? "append d" : "append e"), "ok");
    }
  }
  EXPECT_EQ(walked, (std::vector<std::string>{"a", "b", "c", "d", "e"}));
  EXPECT_EQ(RecNo(), 6);
  // Standing at the end: a record appended now is found by the next look.
  ASSERT_EQ(Ask(other, "append f"), "ok");
  EXPECT_EQ(RecCount(), 6);
  GO(6);
  EXPECT_EQ(CharField(1).substr(0, 1), "f");
}

// A walk over a table the other program changes ahead of it and appends to
// sees each record as the file holds it when the walk reaches it: the
// changed records with their new text, the appended ones at the end.
TEST_F(SharedTableTest, AWalkSeesTheOtherProgramsChangesAheadOfItAndItsAppends) {
  FillTable(1000);
  USE(Path("shared.dbf"));
  ChildProcess other({Helper()});
  ASSERT_EQ(Ask(other, "use " + Path("shared.dbf")), "ok");
  std::vector<std::string> expected;
  for (int i = 1; i <= 1000; ++i) expected.push_back("r" + std::to_string(i));
  expected[499] = "x500";
  expected[998] = "x999";
  expected.push_back("n1");
  expected.push_back("n2");
  std::vector<std::string> walked;
  for (GoTop(); !dEOF(); SKIP(1)) {
    ASSERT_EQ(DbfErrorNo, 0);
    walked.push_back(Trimmed(CharField(1)));
    if (walked.size() == 10) {
      for (const char* n : {"500", "999"}) {
        ASSERT_EQ(Ask(other, std::string("go ") + n), std::string(n) + " r" + n);
        ASSERT_EQ(Ask(other, "rlock"), "yes");
        ASSERT_EQ(Ask(other, std::string("replace x") + n), "ok");
        ASSERT_EQ(Ask(other, "unlock"), "ok");
      }
    }
    if (walked.size() == 600) {
      ASSERT_EQ(Ask(other, "alock"), "yes");
      ASSERT_EQ(Ask(other, "append n1"), "ok");
      ASSERT_EQ(Ask(other, "append n2"), "ok");
      ASSERT_EQ(Ask(other, "unlock"), "ok");
    }
  }
  EXPECT_EQ(walked, expected);
}

// The other program cuts the file short under a walk (at a page boundary,
// then inside a page): reading a record that is gone, or only partly there,
// is error 213 and leaves no record current; records still in the file read
// as they are; nothing crashes.
TEST_F(SharedTableTest, AFileCutShortUnderAWalkGivesAnErrorNotACrash) {
  FillTable(1000);  // 19-byte records behind a 97-byte header
  USE(Path("shared.dbf"));
  ChildProcess other({Helper()});
  GoTop();
  SKIP(9);
  ASSERT_EQ(Trimmed(CharField(1)), "r10");
  ASSERT_EQ(Ask(other, "cut " + Path("shared.dbf") + " 8192"), "ok");
  GO(500);  // at 9578: its page is gone
  EXPECT_EQ(DbfErrorNo, 213);
  EXPECT_TRUE(dEOF());
  GO(300);
  EXPECT_EQ(DbfErrorNo, 0);
  EXPECT_EQ(Trimmed(CharField(1)), "r300");
  ASSERT_EQ(Ask(other, "cut " + Path("shared.dbf") + " 3000"), "ok");
  GO(160);  // at 3118: behind the end, in the file's last page
  EXPECT_EQ(DbfErrorNo, 213);
  // A walk reads up to the last whole record (152) and stops with the error
  // at the one the cut went through.
  GO(140);
  std::string last;
  while (DbfErrorNo == 0 && !dEOF()) {
    last = Trimmed(CharField(1));
    SKIP(1);
  }
  EXPECT_EQ(last, "r152");
  EXPECT_EQ(DbfErrorNo, 213);
  EXPECT_TRUE(dEOF());
}

TEST_F(SharedTableTest, ExclusiveOpenExcludesOthers) {
  USE(Path("shared.dbf") + " EXCLUSIVE");
  ChildProcess other({Helper()});
  EXPECT_EQ(Ask(other, "use " + Path("shared.dbf")), "err 32");
  USE("");
  EXPECT_EQ(Ask(other, "use " + Path("shared.dbf")), "ok");
  USE(Path("shared.dbf") + " EXCLUSIVE");
  EXPECT_EQ(DbfErrorNo, 32);
}

TEST_F(SharedTableTest, FourProgramsAppendingAtOnceLoseNothing) {
  constexpr int kPerProcess = 2000;
  std::vector<std::unique_ptr<ChildProcess>> children;
  for (int i = 0; i < 4; ++i) {
    children.push_back(std::make_unique<ChildProcess>(std::vector<std::string>{Helper()}));
    ASSERT_EQ(Ask(*children.back(), "use " + Path("shared.dbf")), "ok");
  }
  for (int i = 0; i < 4; ++i) children[i]->WriteLine("stress " + std::to_string(kPerProcess) + " p" + std::to_string(i) + "-");
  for (auto& child : children) EXPECT_EQ(child->ReadLine(), "ok");
  for (auto& child : children) {
    child->WriteLine("close");
    EXPECT_EQ(child->ReadLine(), "ok");
    child->WriteLine("exit");
    EXPECT_EQ(child->Wait(), 0);
  }
  std::string s = ReadFileBytes(Path("shared.dbf"));
  const std::size_t header = 32 * 2 + 33, length = 1 + 12 + 6;
  EXPECT_EQ(Get32(s, 4), 4u * kPerProcess);
  ASSERT_EQ(s.size(), header + 4 * kPerProcess * length + 1);
  EXPECT_EQ(s.back(), 0x1A);
  std::set<std::string> names;
  for (std::size_t r = 0; r < 4u * kPerProcess; ++r) {
    std::string rec = s.substr(header + r * length, length);
    ASSERT_EQ(rec[0], ' ') << r;
    ASSERT_EQ(rec.substr(13), "     0") << r;
    std::string name = rec.substr(1, 12);
    name.erase(name.find_last_not_of(' ') + 1);
    names.insert(name);
  }
  EXPECT_EQ(names.size(), 4u * kPerProcess);
  for (int p = 0; p < 4; ++p) {
    EXPECT_TRUE(names.count("p" + std::to_string(p) + "-0"));
    EXPECT_TRUE(names.count("p" + std::to_string(p) + "-" + std::to_string(kPerProcess - 1)));
  }
}

}  // namespace
}  // namespace orvex::test
