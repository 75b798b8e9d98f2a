// The index's node copies: walks and seeks stay exact whatever the budget,
// a warm walk asks the index file for nothing, the copies follow this
// program's own key changes, and another program's change of the index is
// seen at the next walk. And the read-ahead of walks over a file the system
// no longer holds: walks stay exact, seeks ask for nothing ahead.
#include "index/node_cache.h"

#include <algorithm>
#include <filesystem>
#include <functional>
#include <random>

#include "common/names.h"
#include "engine/locks.h"
#include "engine/record_cache.h"
#include "index_test_support.h"
#include "platform/os/codepage.h"
#include "platform/os/fault_injection.h"

namespace orvex::test {
namespace {

class NodeCacheTest : public IndexTest {
 protected:
  // A table of `count` records with NAME "k<number>", every name another
  // and in scrambled order (key order is not record order), and a
  // production index on NAME.
  void MakeNames(int count, bool shared = false) {
    std::vector<int> numbers(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) numbers[static_cast<std::size_t>(i)] = 100000 + i;
    std::shuffle(numbers.begin(), numbers.end(), random_);
    std::vector<TestRecord> rows;
    for (int number : numbers) {
      names_.push_back("k" + std::to_string(number));
      rows.push_back({{names_.back()}});
    }
    WriteDbf(Path("t.dbf"), {{"NAME", 'C', 10}}, rows);
    Use("t.dbf");
    ASSERT_TRUE(MakeIndex({Tag("NAME", "NAME")}, "")) << ErrorDetail;
    CloseAllAreas();
    Use("t.dbf", shared);
    SetIndexTo("");
    ASSERT_EQ(DbfErrorNo, 0) << ErrorDetail;
  }

  // A name no record had before, starting with `first`.
  std::string NewName(char first) { return first + std::to_string(100000 + fresh_++); }

  // The record numbers in key order, worked out here: by name, then by
  // record number.
  std::vector<std::int32_t> KeyOrder() const {
    std::vector<std::int32_t> order(names_.size());
    for (std::size_t n = 0; n < order.size(); ++n) order[n] = static_cast<std::int32_t>(n + 1);
    std::stable_sort(order.begin(), order.end(), [this](std::int32_t a, std::int32_t b) {
      return names_[static_cast<std::size_t>(a - 1)] < names_[static_cast<std::size_t>(b - 1)];
    });
    return order;
  }

  // The read calls and the hints on the table and on the index file while
  // `run` runs.
  struct CallCounts {
    int table_reads = 0, table_hints = 0, index_reads = 0, index_hints = 0;
  };
  static CallCounts Calls(const std::function<void()>& run) {
    CallCounts counts;
    for (const os::FileCall& c : FileCallsOf(run)) {
      const std::string ext =
          os::CharUpperString(std::filesystem::path(c.file).extension().string());
      const bool read = c.op == os::kFaultRead, hint = c.op == os::kFaultHint;
      (ext == ".DBF" ? counts.table_reads : counts.index_reads) += read;
      (ext == ".DBF" ? counts.table_hints : counts.index_hints) += hint;
    }
    return counts;
  }
  // Another real program edits `edits` random records of t.dbf (random
  // generator `seed`) and answers its walk in key order afterwards.
  std::vector<std::int32_t> OtherProgramEdits(int edits, int seed) {
    ChildProcess other({BuildProgram("tests/index/index_helper")});
    other.WriteLine("open " + Path("t.dbf"));
    EXPECT_EQ(other.ReadLine(), "opened");
    other.WriteLine("edits " + std::to_string(edits) + " " + std::to_string(seed));
    EXPECT_EQ(other.ReadLine(), "ok");
    other.WriteLine("walk");
    const std::vector<std::int32_t> walk = Walked(other.ReadLine());
    other.WriteLine("close");
    EXPECT_EQ(other.ReadLine(), "ok");
    return walk;
  }

  // Read calls on the index file while `run` runs.
  static int IndexReads(const std::function<void()>& run) { return Calls(run).index_reads; }

  // Walks the active tag forward or back reading NAME at every record:
  // the record numbers, each checked to hold the name this test gave it.
  std::vector<std::int32_t> CheckedWalk(bool forward) {
    std::vector<std::int32_t> records;
    forward ? GoTop() : GoBottom();
    while (!dEOF() && !dBOF() && DbfErrorNo == 0) {
      records.push_back(RecNo());
      EXPECT_EQ(TrimRight(Text(1)), names_[static_cast<std::size_t>(RecNo() - 1)]) << RecNo();
      SKIP(forward ? 1 : -1);
    }
    EXPECT_EQ(DbfErrorNo, 0) << ErrorDetail;
    return records;
  }

  std::mt19937 random_{5};
  std::vector<std::string> names_;
  int fresh_ = 0;
};

TEST_F(NodeCacheTest, WalksAndSeeksAreExactUnderATinyBudget) {
  IndexNodeBudget = 3 * sizeof(Block);
  MakeNames(6000);
  const std::vector<std::int32_t> order = KeyOrder();
  for (int round = 0; round < 2; ++round) {
    EXPECT_EQ(WalkForward(), order) << "round " << round;
    EXPECT_EQ(WalkBackward(), std::vector<std::int32_t>(order.rbegin(), order.rend()));
  }
  EXPECT_LE(IndexOf(1)->node_cache.Size(), 3u);
  for (int i = 0; i < 2000; ++i) {
    const std::int32_t record = 1 + static_cast<std::int32_t>(random_() % names_.size());
    const std::string& name = names_[static_cast<std::size_t>(record - 1)];
    ASSERT_TRUE(Find(name)) << name;
    EXPECT_EQ(RecNo(), record) << name;
  }
  EXPECT_LE(IndexOf(1)->node_cache.Size(), 3u);
}

TEST_F(NodeCacheTest, AWarmWalkAndRepeatedSeeksReadNothingFromTheIndex) {
  MakeNames(6000);
  const std::vector<std::int32_t> order = KeyOrder();
  EXPECT_EQ(WalkForward(), order);
  int reads = IndexReads([&] {
    EXPECT_EQ(WalkForward(), order);
    EXPECT_EQ(WalkBackward(), std::vector<std::int32_t>(order.rbegin(), order.rend()));
    for (int i = 0; i < 500; ++i) EXPECT_TRUE(Find(names_[static_cast<std::size_t>(i * 7)]));
  });
  EXPECT_EQ(reads, 0);
  // Under a budget of a few nodes the same walk goes back to the file: the
  // count above is no accident of the recording.
  IndexNodeBudget = 4 * sizeof(Block);
  CloseAllAreas();
  Use("t.dbf");
  SetIndexTo("");
  WalkForward();
  reads = IndexReads([&] { EXPECT_EQ(WalkForward(), order); });
  EXPECT_GT(reads, 50);
}

TEST_F(NodeCacheTest, BranchesOutliveALongWalkUnderASmallBudget) {
  IndexNodeBudget = 40 * sizeof(Block);
  MakeNames(20000);
  const std::vector<std::int32_t> order = KeyOrder();
  EXPECT_EQ(WalkForward(), order);  // far more leaves than the budget holds
  // A seek into a leaf the walk passed long ago reads that leaf and nothing
  // else: the branches above it stayed.
  const std::string& early = names_[static_cast<std::size_t>(order[100] - 1)];
  const int reads = IndexReads([&] { EXPECT_TRUE(Find(early)); });
  EXPECT_EQ(reads, 1);
  EXPECT_EQ(RecNo(), order[100]);
}

TEST_F(NodeCacheTest, WalksFollowThisProgramsKeyChanges) {
  MakeNames(3000);
  WalkForward();  // every leaf held
  for (int i = 0; i < 400; ++i) {
    const std::int32_t record = 1 + static_cast<std::int32_t>(random_() % names_.size());
    GO(record);
    const std::string name = NewName('j');
    SetText(1, name);
    Replace();
    ASSERT_EQ(DbfErrorNo, 0) << ErrorDetail;
    names_[static_cast<std::size_t>(record - 1)] = name;
    if (i % 100 == 99) {
      EXPECT_EQ(WalkForward(), KeyOrder()) << "after " << i + 1 << " edits";
    }
  }
  for (int i = 0; i < 300; ++i) {
    names_.push_back(NewName('a'));
    SetText(1, names_.back());
    Append();
    ASSERT_EQ(DbfErrorNo, 0) << ErrorDetail;
  }
  EXPECT_EQ(WalkForward(), KeyOrder());
}

TEST_F(NodeCacheTest, SeeksOneAfterAnotherFollowEveryChangeOfTheTree) {
  // Searches keep the levels of their path that the next search passes
  // again. Key changes of this program split leaves and branches, and
  // another program's edits change nodes under the path: each search must
  // still find the key as the tree now holds it.
  MakeNames(3000, true);
  for (int i = 0; i < 600; ++i) {
    const std::int32_t record = 1 + static_cast<std::int32_t>(random_() % names_.size());
    GO(record);
    ASSERT_TRUE(RLock());
    const std::string name = NewName(i % 2 == 0 ? 'j' : 'a');
    SetText(1, name);
    Replace();
    ASSERT_EQ(DbfErrorNo, 0) << ErrorDetail;
    Unlock();
    names_[static_cast<std::size_t>(record - 1)] = name;
    const std::int32_t other = 1 + static_cast<std::int32_t>(random_() % names_.size());
    for (const std::int32_t wanted : {record, other}) {
      const std::string& text = names_[static_cast<std::size_t>(wanted - 1)];
      ASSERT_TRUE(Find(text)) << text << " after " << i + 1 << " edits";
      EXPECT_EQ(RecNo(), wanted) << text;
    }
  }
  OtherProgramEdits(300, 7);
  for (int i = 0; i < 600; ++i) {
    const std::int32_t record = 1 + static_cast<std::int32_t>(random_() % names_.size());
    GO(record);
    const std::string text = TrimRight(Text(1));
    ASSERT_TRUE(FindExact(text)) << text;
    // The other program's names repeat: the first record of the key.
    EXPECT_EQ(TrimRight(Text(1)), text);
    EXPECT_LE(RecNo(), record) << text;
  }
}

TEST_F(NodeCacheTest, AWalkSeesWhatAnotherProgramChangedInTheIndex) {
  MakeNames(3000, true);
  const std::vector<std::int32_t> before = WalkForward();
  ASSERT_EQ(before, KeyOrder());
  const std::vector<std::int32_t> theirs = OtherProgramEdits(300, 7);
  const std::vector<std::int32_t> after = WalkForward();
  EXPECT_NE(after, before);
  EXPECT_EQ(after, theirs);
  EXPECT_EQ(WalkBackward(), std::vector<std::int32_t>(after.rbegin(), after.rend()));
}

}  // namespace
}  // namespace orvex::test

namespace orvex::test {
namespace {

// Tests below make every read find the table's file cold (not in the
// system's cache) and put that back when they end.
class ColdFileTest : public NodeCacheTest {
 protected:
  void SetUp() override {
    NodeCacheTest::SetUp();
    os::PretendUncached(true);
  }
  void TearDown() override {
    os::PretendUncached(false);
    NodeCacheTest::TearDown();
  }
};

TEST_F(ColdFileTest, WalksReadAheadByLeafAndStayExactUnderTinyBudgets) {
  RecordCacheBudget = 0;  // one block of records
  IndexNodeBudget = 3 * sizeof(Block);
  MakeNames(20000);  // 4 blocks of records, about 600 leaves
  ASSERT_TRUE(CurrentWorkArea()->unshared);
  const std::vector<std::int32_t> order = KeyOrder();
  const CallCounts counts = Calls([&] {
    EXPECT_EQ(CheckedWalk(true), order);
    EXPECT_EQ(CheckedWalk(false), std::vector<std::int32_t>(order.rbegin(), order.rend()));
  });
  // The records of each leaf after the first are asked for ahead, the
  // leaves ahead too (eight leaves to a request: some 80 requests over the
  // two walks); every record is still read when the walk comes to it.
  EXPECT_GT(counts.table_hints, 20000);
  EXPECT_GT(counts.index_hints, 60);
  EXPECT_GE(counts.table_reads, 20000);
}

TEST_F(ColdFileTest, SeeksAskForNothingAhead) {
  RecordCacheBudget = 0;
  MakeNames(20000);
  // A walk over a few leaves first, while the system holds the file: the
  // records it expected are never asked for, and must not be once the walk
  // is over and the file is cold.
  os::PretendUncached(false);
  WalkForward(100);
  os::PretendUncached(true);
  for (int i = 0; i < 500; ++i) {
    const std::int32_t record = 1 + static_cast<std::int32_t>(random_() % names_.size());
    const CallCounts counts = Calls([&] {
      ASSERT_TRUE(Find(names_[static_cast<std::size_t>(record - 1)]));
      EXPECT_EQ(TrimRight(Text(1)), names_[static_cast<std::size_t>(record - 1)]);
    });
    EXPECT_EQ(counts.table_hints + counts.index_hints, 0) << record;
    EXPECT_LE(counts.table_reads, 1) << record;
    EXPECT_EQ(RecNo(), record);
  }
}

TEST_F(ColdFileTest, AWalkAfterAnotherProgramsChangesReadsTheirRecords) {
  RecordCacheBudget = 0;
  IndexNodeBudget = 3 * sizeof(Block);
  MakeNames(6000);
  ASSERT_EQ(CheckedWalk(true), KeyOrder());
  CloseAllAreas();
  const std::vector<std::int32_t> theirs = OtherProgramEdits(400, 11);
  Use("t.dbf");
  SetIndexTo("");
  ASSERT_EQ(DbfErrorNo, 0) << ErrorDetail;
  // The names as the other program left them.
  for (std::size_t n = 0; n < names_.size(); ++n) {
    GO(static_cast<std::int32_t>(n + 1));
    names_[n] = TrimRight(Text(1));
  }
  ASSERT_EQ(KeyOrder(), theirs);
  EXPECT_EQ(CheckedWalk(true), theirs);
  EXPECT_EQ(CheckedWalk(false), std::vector<std::int32_t>(theirs.rbegin(), theirs.rend()));
  // This program's own change between walks is read too.
  GO(theirs[100]);
  SetText(1, "a0");
  Replace();
  ASSERT_EQ(DbfErrorNo, 0) << ErrorDetail;
  names_[static_cast<std::size_t>(theirs[100] - 1)] = "a0";
  EXPECT_EQ(CheckedWalk(true), KeyOrder());
}

}  // namespace
}  // namespace orvex::test
