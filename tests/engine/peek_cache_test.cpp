// Peek with and without the block cache: stored bytes, the loading windows,
// the failing load, a limit below one record, ownership by alias, and the
// cached copy kept current by Replace, DeleteRec and RecallRec.
#include "engine/peek_cache.h"

#include <unistd.h>

#include "engine/locks.h"
#include "engine/navigation.h"
#include "engine/record_io.h"
#include "engine/tables.h"
#include "engine_test_support.h"
#include "platform/os/codepage.h"

namespace orvex::test {
namespace {

class PeekCacheTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    ResetPeekCache();
    // Record length 100: flag + 50 + 49.
    std::vector<std::string> records;
    for (int i = 1; i <= 100; ++i) {
      std::string name = "Name" + std::to_string(i);
      name.resize(50, ' ');
      records.push_back(name + "Rest" + std::to_string(i));
    }
    WriteFileBytes(Path("hundred.dbf"),
                   Dbase3File(0x03, {{"NAME", 'C', 50}, {"REST", 'C', 49}}, records));
  }
  void TearDown() override {
    ResetPeekCache();
    EngineTest::TearDown();
  }
  static std::string Padded(std::string text, std::size_t length) {
    text.resize(length, ' ');
    return text;
  }
};

TEST_F(PeekCacheTest, WithoutCacheReadsTheStoredFieldAndLeavesTheRecordAlone) {
  USE(Path("hundred.dbf") + " EXCLUSIVE");
  GO(3);
  EXPECT_EQ(Peek(1, 5), Padded("Name5", 50));
  EXPECT_EQ(Peek(2, 100), Padded("Rest100", 49));
  EXPECT_EQ(DbfErrorNo, 0);
  EXPECT_EQ(RecNo(), 3);
  EXPECT_EQ(CharField(1), Padded("Name3", 50));
  // Out of range: an empty text without error.
  for (auto [field, record] : {std::pair{1, 0}, {1, -4}, {1, 101}, {3, 1}, {-1, 1}}) {
    EXPECT_EQ(Peek(field, record), "") << field << "," << record;
    EXPECT_EQ(DbfErrorNo, 0);
  }
  EXPECT_TRUE(PeekCache.bytes.empty());
  USE("");
  EXPECT_EQ(Peek(1, 1), "");
  EXPECT_EQ(DbfErrorNo, 215);
}

TEST_F(PeekCacheTest, FieldZeroIsTheDeletionFlagAndBytesAreNotConverted) {
  // "Müller" stored in code page 850; the record reads as Windows-1252.
  std::string oem = os::Utf8ToCp850("Müller");
  WriteFileBytes(Path("oem.dbf"), Dbase3File(0x03, {{"NAME", 'C', 8}}, {oem, "Other"}));
  std::string bytes = ReadFileBytes(Path("oem.dbf"));
  bytes[bytes.size() - 1 - 9] = '*';  // delete record 2
  WriteFileBytes(Path("oem.dbf"), bytes);
  for (std::uint16_t limit : {0, 4096}) {
    PeekCacheLimit = limit;
    USE(Path("oem.dbf") + " EXCLUSIVE");
    EXPECT_EQ(Peek(1, 1), Padded(oem, 8)) << limit;
    EXPECT_EQ(CharField(1), Padded(os::Utf8ToAnsi("Müller"), 8));
    EXPECT_EQ(Peek(0, 1), " ");
    EXPECT_EQ(Peek(0, 2), "*");
  }
}

TEST_F(PeekCacheTest, CacheLoadsWindowsOfWholeRecordsFromTheRequestedOne) {
  PeekCacheLimit = 4096;
  USE(Path("hundred.dbf") + " EXCLUSIVE");
  EXPECT_EQ(Peek(1, 10), Padded("Name10", 50));
  EXPECT_EQ(PeekCache.bytes.size(), 4000u);
  EXPECT_EQ(PeekCache.owner, "HUNDRED");
  EXPECT_EQ(PeekCache.first, 10);
  EXPECT_EQ(PeekCache.count, 40);
  EXPECT_EQ(Peek(2, 49), Padded("Rest49", 49));
  EXPECT_EQ(PeekCache.first, 10);  // still the same window
  EXPECT_EQ(Peek(1, 50), Padded("Name50", 50));
  EXPECT_EQ(PeekCache.first, 50);
  EXPECT_EQ(Peek(1, 9), Padded("Name9", 50));
  EXPECT_EQ(PeekCache.first, 9);
  // Near the end fewer records come in.
  EXPECT_EQ(Peek(2, 95), Padded("Rest95", 49));
  EXPECT_EQ(PeekCache.first, 95);
  EXPECT_EQ(PeekCache.count, 6);
  // Every field of every record reads as without the cache.
  for (int r = 1; r <= 100; ++r) {
    for (int f = 0; f <= 2; ++f) {
      std::string cached = Peek(f, r);
      PeekCacheLimit = 0;
      ASSERT_EQ(cached, Peek(f, r)) << f << "," << r;
      PeekCacheLimit = 4096;
    }
  }
}

TEST_F(PeekCacheTest, SizeIsCappedByTheRecordCountAndTheLargestBlock) {
  WriteFileBytes(Path("three.dbf"), Dbase3File(0x03, {{"NAME", 'C', 9}}, {"a", "b", "c"}));
  PeekCacheLimit = 65535;
  USE(Path("three.dbf") + " EXCLUSIVE");
  EXPECT_EQ(Peek(1, 2), Padded("b", 9));
  EXPECT_EQ(PeekCache.bytes.size(), 30u);
  USE(Path("hundred.dbf") + " EXCLUSIVE");
  EXPECT_TRUE(PeekCache.bytes.empty());  // closing the owner released it
  Peek(1, 1);
  EXPECT_EQ(PeekCache.bytes.size(), 10000u);  // all 100 records fit into 65520
}

TEST_F(PeekCacheTest, BytesBehindTheLastRecordAreNotCached) {
  // Two records' worth of old bytes follow the three counted ones.
  WriteFileBytes(Path("tail.dbf"),
                 Dbase3File(0x03, {{"NAME", 'C', 9}}, {"a", "b", "c"}) + std::string(19, 'x'));
  PeekCacheLimit = 4096;
  USE(Path("tail.dbf") + " EXCLUSIVE");
  EXPECT_EQ(Peek(1, 1), Padded("a", 9));
  EXPECT_EQ(PeekCache.count, 3);
  SetCharField(1, "appended");
  Append();
  ASSERT_EQ(DbfErrorNo, 0);
  EXPECT_EQ(Peek(1, 4), Padded("appended", 9));
}

TEST_F(PeekCacheTest, LimitBelowOneRecordReadsTheFieldDirectly) {
  PeekCacheLimit = 99;
  USE(Path("hundred.dbf") + " EXCLUSIVE");
  EXPECT_EQ(Peek(1, 7), Padded("Name7", 50));
  EXPECT_EQ(DbfErrorNo, 0);
  EXPECT_TRUE(PeekCache.bytes.empty());
}

TEST_F(PeekCacheTest, PeekOnAnotherAreaReleasesTheCacheAndClosingTheOwnerToo) {
  WriteFileBytes(Path("other.dbf"), Dbase3File(0x03, {{"CODE", 'C', 4}}, {"A1", "B2"}));
  PeekCacheLimit = 4096;
  USE(Path("hundred.dbf") + " EXCLUSIVE");
  Peek(1, 1);
  Select(2);
  USE(Path("other.dbf") + " EXCLUSIVE");
  EXPECT_EQ(Peek(1, 2), "B2  ");
  EXPECT_EQ(PeekCache.owner, "OTHER");
  EXPECT_EQ(PeekCache.bytes.size(), 10u);
  Select(1);
  USE("");
  EXPECT_EQ(PeekCache.owner, "OTHER");  // not the owner: kept
  Select(2);
  USE("");
  EXPECT_FALSE(PeekCache.owner.has_value());
  EXPECT_TRUE(PeekCache.bytes.empty());
}

TEST_F(PeekCacheTest, FailingLoadLeavesTheCacheWithoutOwnerAndTheNextPeekReloads) {
  std::string whole = ReadFileBytes(Path("hundred.dbf"));
  PeekCacheLimit = 4096;
  USE(Path("hundred.dbf") + " EXCLUSIVE");
  EXPECT_EQ(Peek(1, 1), Padded("Name1", 50));
  // Behind the engine's back the file loses its last 60 records.
  ASSERT_EQ(::truncate(Path("hundred.dbf").c_str(), 97 + 40 * 100), 0);
  EXPECT_EQ(Peek(1, 70), "");
  EXPECT_EQ(DbfErrorNo, 100);
  EXPECT_EQ(ErrorDetail, "DBF: " + CurrentWorkArea()->file_name + " [Peek(1,70)]");
  EXPECT_FALSE(PeekCache.owner.has_value());
  EXPECT_EQ(PeekCache.bytes.size(), 4000u);
  // The records the failed load did not bring are not served from the cache.
  EXPECT_EQ(Peek(1, 2), Padded("Name2", 50));
  EXPECT_EQ(PeekCache.first, 2);
  EXPECT_EQ(PeekCache.count, 39);
  // Without the cache the short read fails the same way.
  PeekCacheLimit = 0;
  EXPECT_EQ(Peek(2, 41), "");
  EXPECT_EQ(DbfErrorNo, 100);
  EXPECT_EQ(ErrorDetail, "DBF: " + CurrentWorkArea()->file_name + " [Peek(2,41)]");
  WriteFileBytes(Path("hundred.dbf"), whole);
  PeekCacheLimit = 4096;
  EXPECT_EQ(Peek(1, 70), Padded("Name70", 50));
  EXPECT_EQ(PeekCache.owner, "HUNDRED");
}

TEST_F(PeekCacheTest, OwnWritesRefreshTheCachedRecordAsStored) {
  PeekCacheLimit = 4096;
  USE(Path("hundred.dbf"));  // shared: the writes need the record lock
  EXPECT_EQ(Peek(1, 4), Padded("Name4", 50));
  GO(4);
  ASSERT_TRUE(RLock());
  SetCharField(1, os::Utf8ToAnsi("Größe"));
  Replace();
  ASSERT_EQ(DbfErrorNo, 0);
  EXPECT_EQ(PeekCache.first, 4);
  EXPECT_EQ(Peek(1, 4), Padded(os::Utf8ToCp850("Größe"), 50));  // stored form, not the read form
  DeleteRec();
  EXPECT_EQ(Peek(0, 4), "*");
  RecallRec();
  EXPECT_EQ(Peek(0, 4), " ");
  // A record outside the cached window is left to the next load.
  GO(80);
  ASSERT_TRUE(RLock());
  DeleteRec();
  EXPECT_EQ(PeekCache.first, 4);
  EXPECT_EQ(Peek(0, 80), "*");
  EXPECT_EQ(PeekCache.first, 80);
}

}  // namespace
}  // namespace orvex::test
