// Key maintenance: appends that split nodes and grow the tree, a random
// workload against a fresh build, the bytes an unchanged key leaves alone,
// FOR and unique tags, and the roll-back of a failed append (in every error
// mode).
#include "index/key_maintenance.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <random>
#include <set>

#include "dates/date_text.h"
#include "index/index_journal.h"
#include "index_test_support.h"
#include "platform/os/codepage.h"
#include "platform/os/fault_injection.h"
#include "platform/os/files.h"

namespace orvex::test {
namespace {

std::uint32_t U32(const std::string& b, std::size_t at) {
  return static_cast<std::uint8_t>(b[at]) | static_cast<std::uint8_t>(b[at + 1]) << 8 |
         static_cast<std::uint8_t>(b[at + 2]) << 16 |
         static_cast<std::uint32_t>(static_cast<std::uint8_t>(b[at + 3])) << 24;
}

// Record numbers and key texts of every tag of area 1, walked in key order.
using Walks = std::vector<std::vector<std::pair<std::int32_t, std::string>>>;

class KeyMaintenanceTest : public IndexTest {
 protected:
  // A table of NAME C 10, NUM C 6, ID C 8, WHEN D with `rows`, its
  // production index built with `tags` and left open on tag 1.
  void Make(const std::vector<TestRecord>& rows, const std::vector<TagDefinition>& tags) {
    WriteDbf(Path("t.dbf"), {{"NAME", 'C', 10}, {"NUM", 'C', 6}, {"ID", 'C', 8}, {"WHEN", 'D', 8}},
             rows);
    Use("t.dbf");
    ASSERT_TRUE(MakeIndex(tags, "")) << ErrorDetail;
    SetIndexTo("");
    ASSERT_EQ(DbfErrorNo, 0) << ErrorDetail;
  }
  std::string Mdx() { return ReadFileBytes(os::ResolvePath(Path("t.mdx"))); }
  // Whether the keyed-write journal (when there is one) holds nothing that
  // the next open would roll back: table, index and journal are copied
  // (as c.dbf, c.mdx and their journal, the alias T being in use) and
  // opened, which must leave the copies as they were.
  bool JournalRollsBackNothing() {
    const std::string journal = KeyedWriteJournalName(os::ResolvePath(Path("t.mdx")));
    if (!os::FileExists(journal)) return true;
    namespace fs = std::filesystem;
    const std::string table = Path("c.dbf"), index = Path("c.mdx");
    fs::copy_file(os::ResolvePath(Path("t.dbf")), table, fs::copy_options::overwrite_existing);
    fs::copy_file(os::ResolvePath(Path("t.mdx")), index, fs::copy_options::overwrite_existing);
    fs::copy_file(journal, KeyedWriteJournalName(index), fs::copy_options::overwrite_existing);
    const std::string dbf = ReadFileBytes(table), mdx = ReadFileBytes(index);
    const std::uint16_t pending = DbfErrorNo;
    DbfErrorNo = 0;
    Select(2);
    USE(table + " EXCLUSIVE");
    SetIndexTo("");
    const bool opened = DbfErrorNo == 0;
    USE("");
    Select(1);
    DbfErrorNo = pending;
    return opened && ReadFileBytes(table) == dbf && ReadFileBytes(index) == mdx;
  }

  void Add(const std::string& name, const std::string& num, const std::string& id) {
    SetText(1, name);
    SetText(2, num);
    SetText(3, id);
    Append();
    ASSERT_EQ(DbfErrorNo, 0) << ErrorDetail;
  }
  void Edit(std::int32_t record, int field, const std::string& text) {
    GO(record);
    SetText(field, text);
    Replace();
    ASSERT_EQ(DbfErrorNo, 0) << ErrorDetail;
  }
  Walks WalkAll(int tags) {
    Walks out;
    for (int n = 1; n <= tags; ++n) {
      Set_Order_To(n);
      out.emplace_back();
      GoTop();
      while (!dEOF() && DbfErrorNo == 0) {
        out.back().emplace_back(RecNo(), KeyText(1, n));
        SKIP(1);
      }
      EXPECT_EQ(DbfErrorNo, 0) << ErrorDetail;
    }
    return out;
  }
};

TEST_F(KeyMaintenanceTest, IncreasingAppendsSplitLeavesAndGrowTheTree) {
  // A 16-byte key makes 20-byte items, 50 to a node.
  WriteDbf(Path("t.dbf"), {{"ID", 'C', 16}}, {});
  Use("t.dbf");
  ASSERT_TRUE(MakeIndex({Tag("ID", "ID")}, "")) << ErrorDetail;
  SetIndexTo("");
  char id[17];
  for (int i = 1; i <= 1000; ++i) {
    std::snprintf(id, sizeof id, "k%015d", i);
    SetText(1, id);
    Append();
    ASSERT_EQ(DbfErrorNo, 0) << i << " " << ErrorDetail;
  }
  std::vector<std::int32_t> expected(1000);
  for (int i = 0; i < 1000; ++i) expected[static_cast<std::size_t>(i)] = i + 1;
  EXPECT_EQ(WalkForward(), expected);
  CloseAllAreas();
  std::string mdx = Mdx();
  ASSERT_EQ(mdx.size() % 1024, 0u);
  const std::uint32_t pages = static_cast<std::uint32_t>(mdx.size() / 512);
  // The last block appended was a split's new node: the counter names the
  // page after it.
  EXPECT_EQ(U32(mdx, 32), pages - 1);
  std::uint32_t anchor = U32(mdx, 512 + 32);
  std::uint32_t root = U32(mdx, anchor * 512);
  ASSERT_LT(root, pages);
  // Two levels: a branch root whose children are leaves, every pointer to
  // a page inside the file.
  std::size_t at = root * 512;
  std::uint32_t n = U32(mdx, at);
  ASSERT_GT(n, 0u);
  std::uint32_t trailing = U32(mdx, at + 8 + n * 20);
  ASSERT_NE(trailing, 0u);
  for (std::uint32_t i = 0; i <= n; ++i) {
    std::uint32_t child = i < n ? U32(mdx, at + 8 + i * 20) : trailing;
    ASSERT_LT(child, pages);
    ASSERT_GE(child, 4u);
    std::uint32_t leaf_count = U32(mdx, child * 512);
    EXPECT_EQ(U32(mdx, child * 512 + 8 + leaf_count * 20), 0u) << "child " << child << " is a leaf";
  }
}

TEST_F(KeyMaintenanceTest, RandomWorkloadEqualsAFreshBuild) {
  const std::vector<TagDefinition> tags = {Tag("NAME", "NAME"),
                                           Tag("NUM", "VAL(NUM)"),
                                           Tag("DESC", "LOWER(NAME)", "", true),
                                           Tag("ID", "ID", "", false, true),
                                           Tag("LIVE", "NAME", "DELETED()=.F."),
                                           Tag("WHEN", "WHEN")};
  Make({{{"m", "5", "i0"}}, {{"c", "2", "i1"}}}, tags);
  std::mt19937 rng(12);
  int next_id = 2;
  auto name = [&] {
    return std::string(1, static_cast<char>('a' + rng() % 26)) + std::to_string(rng() % 40);
  };
  // Dates across two centuries, and now and then the empty date.
  auto date = [&] {
    if (rng() % 10 == 0) return std::string();
    char d[9];
    std::snprintf(d, sizeof d, "%04u%02u%02u", static_cast<unsigned>(1890 + rng() % 200),
                  static_cast<unsigned>(1 + rng() % 12), static_cast<unsigned>(1 + rng() % 28));
    return DateTextFromDText(d);
  };
  for (int op = 0; op < 100000; ++op) {
    std::int32_t count = RecCount();
    std::int32_t record = static_cast<std::int32_t>(rng() % static_cast<unsigned>(count)) + 1;
    switch (rng() % 7) {
      case 0:
        Add(name(), std::to_string(static_cast<int>(rng() % 200) - 100),
            "i" + std::to_string(next_id++));
        break;
      case 1:
        Edit(record, 1, name());
        break;
      case 2:
        Edit(record, 2, std::to_string(rng() % 50));
        break;
      case 3:
        GO(record);
        Edit(record, 1, Text(1));  // same key
        break;
      case 4:
        GO(record);
        DeleteRec();
        break;
      case 5:
        Edit(record, 4, date());
        break;
      default:
        GO(record);
        RecallRec();
        break;
    }
    ASSERT_EQ(DbfErrorNo, 0) << op << " " << ErrorDetail;
  }
  Walks kept = WalkAll(6);
  ASSERT_TRUE(MakeIndex(tags, "")) << ErrorDetail;
  SetIndexTo("");
  Walks fresh = WalkAll(6);
  // The date tag holds many different dates, not only empty ones.
  std::set<std::string> dates;
  for (const auto& item : kept[5]) dates.insert(item.second);
  EXPECT_GT(dates.size(), 100u);
  for (std::size_t t = 0; t < tags.size(); ++t) EXPECT_EQ(kept[t], fresh[t]) << tags[t].name;
}

TEST_F(KeyMaintenanceTest, AnUnchangedKeyWritesNothing) {
  Make({{{"b", "1", "x"}}, {{"a", "2", "y"}}}, {Tag("NAME", "NAME")});
  std::string before = Mdx();
  Edit(1, 2, "77");
  EXPECT_EQ(Mdx(), before);
  Edit(1, 1, "c");
  EXPECT_NE(Mdx(), before);
  EXPECT_EQ(WalkForward(), (std::vector<std::int32_t>{2, 1}));
}

TEST_F(KeyMaintenanceTest, DeletingTheOnlyKeyOfAForTagMarksItEmpty) {
  Make({{{"a", "1", "x"}}}, {Tag("LIVE", "NAME", "DELETED()=.F.")});
  GO(1);
  DeleteRec();
  ASSERT_EQ(DbfErrorNo, 0) << ErrorDetail;
  std::string mdx = Mdx();
  EXPECT_EQ(mdx[U32(mdx, 512 + 32) * 512 + 246], 0);
  GoTop();
  EXPECT_TRUE(dEOF());
  GO(1);
  RecallRec();
  mdx = Mdx();
  EXPECT_EQ(mdx[U32(mdx, 512 + 32) * 512 + 246], 1);
  EXPECT_EQ(WalkForward(), (std::vector<std::int32_t>{1}));
}

TEST_F(KeyMaintenanceTest, AUniqueTagKeepsTheFirstRecordOfAKey) {
  Make({{{"a", "1", "x"}}, {{"a", "2", "y"}}}, {Tag("U", "NAME", "", false, true)});
  EXPECT_EQ(WalkForward(), (std::vector<std::int32_t>{1}));
  Add("a", "3", "z");
  EXPECT_EQ(WalkForward(), (std::vector<std::int32_t>{1}));
  Edit(1, 1, "b");
  // Record 2 still holds "a" but this edit does not enter it.
  EXPECT_EQ(WalkForward(), (std::vector<std::int32_t>{1}));
}

// Tag 3's key cannot be made for a record whose NUM is 0 (division by 0):
// the append fails after tags 1 and 2 took the record's keys.
constexpr const char* kFailingAppend = "c";

TEST_F(KeyMaintenanceTest, AFailedAppendLeavesTableAndEveryTagAsTheyWere) {
  Make({{{"b", "1", "x"}}, {{"a", "2", "y"}}},
       {Tag("NAME", "NAME"), Tag("NUM", "VAL(NUM)"), Tag("INV", "100/VAL(NUM)")});
  Walks before = WalkAll(3);
  const std::string mdx = Mdx();
  const std::string dbf = ReadFileBytes(Path("t.dbf"));
  SetText(1, kFailingAppend);
  SetText(2, "0");
  SetText(3, "z");
  Append();
  EXPECT_EQ(DbfErrorNo, 358);
  EXPECT_EQ(RecCount(), 2);
  EXPECT_EQ(Mdx(), mdx);
  EXPECT_EQ(ReadFileBytes(Path("t.dbf")), dbf);
  EXPECT_TRUE(JournalRollsBackNothing());
  DbfErrorNo = 0;
  EXPECT_EQ(WalkAll(3), before);
}

// An appended record counts for other programs once its keyed write ends:
// the header on disk holds the new count while the table is still open.
TEST_F(KeyMaintenanceTest, AnAppendedRecordIsCountedInTheHeaderWhenTheWriteEnds) {
  Make({{{"b", "1", "x"}}, {{"a", "2", "y"}}}, {Tag("NAME", "NAME")});
  for (int i = 3; i <= 5; ++i) {
    Add("n" + std::to_string(i), "0", "i");
    const std::string dbf = ReadFileBytes(Path("t.dbf"));
    ASSERT_GE(dbf.size(), 8u);
    EXPECT_EQ(static_cast<unsigned char>(dbf[4]) | static_cast<unsigned char>(dbf[5]) << 8, i);
  }
}

TEST_F(KeyMaintenanceTest, TheJournalStaysOpenAndEmptyBetweenKeyedWritesAndGoesWithTheIndex) {
  Make({{{"b", "1", "x"}}, {{"a", "2", "y"}}}, {Tag("NAME", "NAME"), Tag("NUM", "VAL(NUM)")});
  const std::string journal = KeyedWriteJournalName(os::ResolvePath(Path("t.mdx")));
  for (int i = 0; i < 300; ++i) Add("n" + std::to_string(i % 37), std::to_string(i % 11), "i");
  Edit(2, 1, "zz");
  // The exclusive index kept its journal, emptied by every write.
  EXPECT_TRUE(os::FileExists(journal));
  EXPECT_TRUE(JournalRollsBackNothing());
  const Walks kept = WalkAll(2);
  CloseAllAreas();
  EXPECT_FALSE(os::FileExists(journal));
  Use("t.dbf");
  SetIndexTo("");
  EXPECT_EQ(WalkAll(2), kept);
  ASSERT_TRUE(MakeIndex({Tag("NAME", "NAME"), Tag("NUM", "VAL(NUM)")}, "")) << ErrorDetail;
  SetIndexTo("");
  EXPECT_EQ(WalkAll(2), kept);
}

// When writes are to reach the disk, each entry of the journal does so
// before the write it protects: a crash between the two would leave a
// changed table or index and no way back.
TEST_F(KeyMaintenanceTest, WithFlushedWritesTheJournalReachesTheDiskFirst) {
  Make({{{"b", "1", "x"}}, {{"a", "2", "y"}}}, {Tag("NAME", "NAME"), Tag("NUM", "VAL(NUM)")});
  FlushIndexWrites = true;
  std::vector<os::FileCall> calls;
  os::RecordFileCalls(&calls);
  for (int i = 0; i < 40; ++i) Add("n" + std::to_string(i), std::to_string(i), "i");
  Edit(2, 1, "zz");
  os::RecordFileCalls(nullptr);
  FlushIndexWrites = false;
  auto extension = [](const os::FileCall& c) {
    return os::CharUpperString(std::filesystem::path(c.file).extension().string());
  };
  int protected_writes = 0;
  bool journal_pending = false;  // written since its last flush
  for (const os::FileCall& c : calls) {
    if (!c.on_handle) continue;
    const std::string ext = extension(c);
    if (ext == ".$KJ") {
      if (c.op == os::kFaultWrite) journal_pending = true;
      if (c.op == os::kFaultFlush) journal_pending = false;
    } else if ((ext == ".DBF" || ext == ".MDX") && c.op == os::kFaultWrite) {
      ++protected_writes;
      EXPECT_FALSE(journal_pending) << "a write to " << c.file << " before the journal's flush";
    }
  }
  EXPECT_GT(protected_writes, 40);
}

TEST_F(KeyMaintenanceTest, AReadOnlyTableMakesNoJournal) {
  Make({{{"b", "1", "x"}}, {{"a", "2", "y"}}}, {Tag("NAME", "NAME"), Tag("NUM", "VAL(NUM)")});
  CloseAllAreas();
  const std::string journal = KeyedWriteJournalName(os::ResolvePath(Path("t.mdx")));
  const std::string mdx = Mdx();
  OpenModeOverride = os::kOpenRead;
  Select(1);
  USE(Path("t.dbf"));
  OpenModeOverride = 0xFFFF;
  SetIndexTo("");
  ASSERT_EQ(DbfErrorNo, 0) << ErrorDetail;
  EXPECT_EQ(WalkAll(2).size(), 2u);
  // Writes are refused; none of them leaves a journal behind.
  GO(1);
  SetText(1, "c");
  Replace();
  EXPECT_NE(DbfErrorNo, 0);
  DbfErrorNo = 0;
  SetText(1, "d");
  Append();
  EXPECT_NE(DbfErrorNo, 0);
  DbfErrorNo = 0;
  GO(2);
  DeleteRec();
  EXPECT_NE(DbfErrorNo, 0);
  DbfErrorNo = 0;
  RecallRec();
  DbfErrorNo = 0;
  EXPECT_FALSE(os::FileExists(journal));
  CloseAllAreas();
  EXPECT_FALSE(os::FileExists(journal));
  EXPECT_EQ(Mdx(), mdx);
}

TEST_F(KeyMaintenanceTest, AnAppendThatStopsTheProgramLeavesTheRecordOutAfterTheNextOpen) {
  // The default error mode ends the program at the first error: the
  // roll-back cannot wait for the command to finish.
  Make({{{"b", "1", "x"}}, {{"a", "2", "y"}}},
       {Tag("NAME", "NAME"), Tag("NUM", "VAL(NUM)"), Tag("INV", "100/VAL(NUM)")});
  Walks before = WalkAll(3);
  CloseAllAreas();
  const std::string dbf = ReadFileBytes(Path("t.dbf"));
  const std::string mdx = Mdx();
  const pid_t child = fork();
  if (child == 0) {
    Use("t.dbf");
    SetIndexTo("");
    SetAutoReport(true);
    SetText(1, kFailingAppend);
    SetText(2, "0");
    Append();
    _exit(0);  // not reached: the error stops the program
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 358 & 0xFF);
  Use("t.dbf");
  SetIndexTo("");
  ASSERT_EQ(DbfErrorNo, 0) << ErrorDetail;
  EXPECT_EQ(RecCount(), 2);
  EXPECT_EQ(WalkAll(3), before);
  CloseAllAreas();
  EXPECT_EQ(Mdx(), mdx);
  EXPECT_EQ(ReadFileBytes(Path("t.dbf")).substr(32), dbf.substr(32));
}

}  // namespace
}  // namespace orvex::test
