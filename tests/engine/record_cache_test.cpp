// The record cache of tables nobody else can change: reads in any order see
// the file's bytes, this program's own writes and appends, also when the
// table is far larger than the budget and blocks are dropped; jumps read a
// record's bytes, not its whole block; records a walk expects are asked for
// ahead only when the system would fetch them from the medium.
#include <fstream>
#include <functional>
#include <iterator>
#include <string>

#include "common/names.h"
#include "engine/navigation.h"
#include "engine/record_io.h"
#include "engine/tables.h"
#include "engine_test_support.h"
#include "platform/os/fault_injection.h"

namespace orvex::test {
namespace {

// Records of 41 bytes: 1,598 to a cached block of 64 KiB.
constexpr int kBlockRecords = 65536 / 41;

// Bytes this process has read from files so far (the kernel's count).
long BytesReadByProcess() {
  std::ifstream io("/proc/self/io");
  std::string key;
  long value = 0;
  while (io >> key >> value) {
    if (key == "rchar:") return value;
  }
  ADD_FAILURE() << "no rchar in /proc/self/io";
  return 0;
}

// The record numbers of a fixed jumping walk over 1..count.
std::vector<int> Jumps(int count, int how_many) {
  std::vector<int> numbers;
  std::uint32_t x = 12345;
  for (int i = 0; i < how_many; ++i) {
    x = x * 1103515245u + 12345u;
    numbers.push_back(1 + static_cast<int>((x >> 8) % static_cast<std::uint32_t>(count)));
  }
  return numbers;
}

class RecordCacheTest : public EngineTest {
 protected:
  void MakeTable(int count) {
    std::vector<std::string> records;
    for (int i = 1; i <= count; ++i) records.push_back(std::to_string(100000 + i));
    WriteFileBytes(Path("t.dbf"), Dbase3File(0x03, {{"NAME", 'C', 40}}, records));
    USE(Path("t.dbf") + " EXCLUSIVE");
    ASSERT_EQ(DbfErrorNo, 0);
  }
  void Budget(std::size_t bytes) {
    RecordCacheBudget = bytes;
    InvalidateReadAhead(*CurrentWorkArea());
  }
  std::string Name() { return TrimRight(CharField(1)); }
  std::string Expected(int n) { return std::to_string(100000 + n); }
  std::size_t Held() { return CurrentWorkArea()->record_cache.HeldBytes(); }
};

TEST_F(RecordCacheTest, ScatteredReadsWritesAndAppends) {
  MakeTable(3000);
  int changed = 1500;
  for (std::size_t limit : {std::size_t{128} << 20, std::size_t{10000}}) {
    Budget(limit);
    for (int n : {2999, 7, 1499, 3000, 1, 1498, 2999, 2998, 3000}) {
      GO(n);
      EXPECT_EQ(Name(), Expected(n)) << limit;
    }
    ++changed;
    GO(changed);
    SetCharField(1, "changed " + std::to_string(limit));
    Replace();
    GO(3);
    GO(changed);
    EXPECT_EQ(Name(), "changed " + std::to_string(limit));
    // The first record's bytes start where the header ends.
    GO(1);
    SetCharField(1, "first " + std::to_string(limit));
    Replace();
    GO(3);
    GO(1);
    EXPECT_EQ(Name(), "first " + std::to_string(limit));
    SetCharField(1, Expected(1));
    Replace();
    SetCharField(1, "appended");
    Append();
    GO(2);
    GO(RecCount());
    EXPECT_EQ(Name(), "appended");
    EXPECT_LE(Held(), std::max<std::size_t>(limit, 65536));
  }
}

TEST_F(RecordCacheTest, WalksAndJumpsStayExactOnATableLargerThanTheBudget) {
  const int count = 13 * kBlockRecords + 100;  // 14 blocks
  MakeTable(count);
  Budget(3 * 65536);
  GoTop();
  for (int n = 1; n <= count; ++n, SKIP(1)) ASSERT_EQ(Name(), Expected(n)) << n;
  EXPECT_TRUE(dEOF());
  GoBottom();
  for (int n = count; n >= 1; --n, SKIP(-1)) ASSERT_EQ(Name(), Expected(n)) << n;
  for (int n : Jumps(count, 3000)) {
    GO(n);
    ASSERT_EQ(Name(), Expected(n)) << n;
    // A short walk from each jump: neighbours come from the block read whole.
    SKIP(1);
    if (n < count) {
      ASSERT_EQ(Name(), Expected(n + 1)) << n;
    }
  }
  EXPECT_LE(Held(), std::size_t{3} * 65536);
}

// A walk in file order passes through with two blocks, forwards and
// backwards; a jump into one of them keeps it.
TEST_F(RecordCacheTest, AWalkInFileOrderHoldsTwoBlocks) {
  const int count = 20 * kBlockRecords;
  MakeTable(count);
  GoTop();
  for (int n = 1; n <= count; ++n, SKIP(1)) ASSERT_EQ(Name(), Expected(n)) << n;
  EXPECT_EQ(Held(), std::size_t{2} * kBlockRecords * 41);
  GoBottom();
  for (int n = count; n >= 1; --n, SKIP(-1)) ASSERT_EQ(Name(), Expected(n)) << n;
  EXPECT_EQ(Held(), std::size_t{2} * kBlockRecords * 41);
  GO(kBlockRecords + 7);  // in the walk's second block, now kept
  EXPECT_EQ(Name(), Expected(kBlockRecords + 7));
  // GoBottom jumps to a block asked for before: kept as well; the walk
  // from there takes two blocks again.
  GoBottom();
  for (int n = count; n > count - 3 * kBlockRecords; --n, SKIP(-1))
    ASSERT_EQ(Name(), Expected(n)) << n;
  EXPECT_EQ(Held(), std::size_t{4} * kBlockRecords * 41);
  long before = BytesReadByProcess();
  GO(kBlockRecords + 9);
  EXPECT_EQ(Name(), Expected(kBlockRecords + 9));
  EXPECT_LT(BytesReadByProcess() - before, 4096);
}

TEST_F(RecordCacheTest, WritesAreReadBackAfterTheirBlockWasDropped) {
  const int count = 10 * kBlockRecords;
  MakeTable(count);
  Budget(2 * 65536);
  // Record 5's block is held when it is changed ...
  GO(4);
  SKIP(1);
  SetCharField(1, "held when written");
  Replace();
  ASSERT_EQ(DbfErrorNo, 0);
  // ... then a walk drops it, and the record is read from the file again.
  for (SKIP(1); !dEOF(); SKIP(1)) {
  }
  GO(5);
  EXPECT_EQ(Name(), "held when written");
  SKIP(1);
  EXPECT_EQ(Name(), Expected(6));
  // A record whose block is not held when it is changed.
  GO(count - 1);
  SKIP(1);
  GO(3 * kBlockRecords + 2);
  SetCharField(1, "not held");
  Replace();
  GoTop();
  for (int n = 1; n <= count; ++n, SKIP(1)) {
    std::string expected = n == 5                       ? "held when written"
                           : n == 3 * kBlockRecords + 2 ? "not held"
                                                        : Expected(n);
    ASSERT_EQ(Name(), expected) << n;
  }
  // An append behind a held last block, and a deletion flag inside one.
  SetCharField(1, "appended");
  Append();
  GO(count);
  SKIP(1);
  EXPECT_EQ(Name(), "appended");
  GO(count);
  DeleteRec();
  SKIP(-1);
  SKIP(1);
  EXPECT_TRUE(Deleted());
  EXPECT_LE(Held(), std::size_t{2} * 65536);
}

TEST_F(RecordCacheTest, JumpsReadRecordsNotBlocks) {
  const int count = 20 * kBlockRecords;
  MakeTable(count);
  Budget(2 * 65536);
  const std::vector<int> jumps = Jumps(count, 400);
  long before = BytesReadByProcess();
  for (int n : jumps) {
    GO(n);
    ASSERT_EQ(Name(), Expected(n));
  }
  long read = BytesReadByProcess() - before;
  // A record each (41 bytes); whole blocks only for the two that the
  // budget has room for (jumps to blocks asked for before) and for the few
  // jumps that land next to the record before; plus the reads of
  // /proc/self/io itself. Reading a block at every jump would take 26 MB.
  EXPECT_LT(read, 400 * 41 + 8 * 65536);
}

TEST_F(RecordCacheTest, ATableWithinTheBudgetIsReadOnceWhateverTheOrder) {
  const int count = 20 * kBlockRecords;
  MakeTable(count);
  const std::vector<int> jumps = Jumps(count, 4000);
  for (int round = 0; round < 2; ++round) {
    for (int n : jumps) GO(n);
  }
  long before = BytesReadByProcess();
  for (int n : jumps) {
    GO(n);
    ASSERT_EQ(Name(), Expected(n));
  }
  EXPECT_LT(BytesReadByProcess() - before, 8192);
}

// The read calls and the hints on the table's file while `run` runs.
struct TableCalls {
  explicit TableCalls(const std::function<void()>& run) {
    std::vector<os::FileCall> calls;
    os::RecordFileCalls(&calls);
    run();
    os::RecordFileCalls(nullptr);
    for (const os::FileCall& c : calls) {
      if (!c.file.ends_with("t.dbf")) continue;
      reads += c.op == os::kFaultRead;
      hints += c.op == os::kFaultHint;
    }
  }
  int reads = 0, hints = 0;
};

TEST_F(RecordCacheTest, ExpectedRecordsAreAskedForAheadWhenTheFileIsCold) {
  const int count = 20 * kBlockRecords;
  MakeTable(count);
  Budget(2 * 65536);
  auto& cache = CurrentWorkArea()->record_cache;
  const std::int32_t expected[] = {9000, 17, 25000, 5000, 30000};
  // Held by the system: the expected records cost nothing more.
  cache.Expect(expected, std::size(expected));
  EXPECT_EQ(TableCalls([&] { GO(25000); }).hints, 0);
  EXPECT_EQ(Name(), Expected(25000));

  struct Cold {
    Cold() { os::PretendUncached(true); }
    ~Cold() { os::PretendUncached(false); }
  } cold;
  // The first expected record the medium must serve asks for the other
  // four first, then is read; the next ones are read without asking again.
  cache.Expect(expected, std::size(expected));
  const TableCalls first([&] { GO(9000); });
  EXPECT_EQ(first.hints, 4);
  EXPECT_EQ(first.reads, 1);
  EXPECT_EQ(Name(), Expected(9000));
  for (int n : {17, 30000, 5000}) {
    EXPECT_EQ(TableCalls([&] { GO(n); }).hints, 0) << n;
    EXPECT_EQ(Name(), Expected(n));
  }
  // A record not expected is a jump: the walk's read-ahead is over, and a
  // jump asks for nothing ahead, then or later.
  cache.Expect(expected, std::size(expected));
  EXPECT_EQ(TableCalls([&] { GO(12000); }).hints, 0);
  EXPECT_EQ(Name(), Expected(12000));
  EXPECT_EQ(TableCalls([&] { GO(25000); }).hints, 0);
  EXPECT_EQ(Name(), Expected(25000));
  // Records in held blocks are not asked for. Blocks asked for before are
  // read whole while the budget has room: 25000's (just now) and 16's.
  GO(16);
  const std::int32_t again[] = {17, 25000, 2, 5000, 31000};
  cache.Expect(again, std::size(again));
  EXPECT_EQ(TableCalls([&] { GO(31000); }).hints, 1) << "5000 only";
  EXPECT_EQ(Name(), Expected(31000));
  EXPECT_EQ(Held(), std::size_t{2} * kBlockRecords * 41);
}

}  // namespace
}  // namespace orvex::test
