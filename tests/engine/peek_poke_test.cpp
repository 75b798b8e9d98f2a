// Poke: bytes written in place, the cached copy, the lock rules and their
// messages, within one program and between two real processes.
#include <sys/types.h>

#include "engine/locks.h"
#include "engine/navigation.h"
#include "engine/peek_cache.h"
#include "engine/record_io.h"
#include "engine/tables.h"
#include "engine_test_support.h"

namespace orvex::test {
namespace {

class PokeTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    ResetPeekCache();
    WriteFileBytes(Path("stock.dbf"),
                   Dbase3File(0x03, {{"NAME", 'C', 6}, {"QTY", 'N', 3}},
                              {"apple   1", "pear    2", "plum    3", "fig     4"}));
  }
  void TearDown() override {
    ResetPeekCache();
    EngineTest::TearDown();
  }
  // Record n's bytes in the file (header 97, record length 10).
  std::string StoredRecord(int n) {
    return ReadFileBytes(Path("stock.dbf")).substr(97 + (n - 1) * 10, 10);
  }
  std::string Helper() { return BuildProgram("tests/engine/engine_helper"); }
  std::string Ask(ChildProcess& child, const std::string& line) {
    child.WriteLine(line);
    return child.ReadLine();
  }
};

TEST_F(PokeTest, WritesTheFieldInPlaceWithoutTouchingTheCurrentRecord) {
  USE(Path("stock.dbf") + " EXCLUSIVE");
  GO(3);
  Poke("kiwi", 1, 2);
  EXPECT_EQ(DbfErrorNo, 0);
  EXPECT_EQ(StoredRecord(2), " kiwi    2");
  Poke("12345", 2, 2);  // cut to the field length
  EXPECT_EQ(StoredRecord(2), " kiwi  123");
  Poke("*", 0, 1);
  EXPECT_EQ(StoredRecord(1), "*apple   1");
  EXPECT_EQ(RecNo(), 3);
  EXPECT_EQ(CharField(1), "plum  ");
  EXPECT_EQ(CurrentWorkArea()->status, TableStatus::kClean);
  // Records read ahead before the Poke are read again.
  GO(2);
  EXPECT_EQ(CharField(1), "kiwi  ");
  GO(1);
  EXPECT_TRUE(Deleted());
  // Invalid numbers change nothing.
  std::string before = ReadFileBytes(Path("stock.dbf"));
  for (auto [field, record] : {std::pair{1, 0}, {1, 5}, {3, 1}, {-1, 1}}) {
    Poke("zz", field, record);
    EXPECT_EQ(DbfErrorNo, 0);
  }
  EXPECT_EQ(ReadFileBytes(Path("stock.dbf")), before);
}

TEST_F(PokeTest, UpdatesTheCachedCopy) {
  PeekCacheLimit = 4096;
  USE(Path("stock.dbf") + " EXCLUSIVE");
  EXPECT_EQ(Peek(1, 1), "apple ");
  EXPECT_EQ(PeekCache.count, 4);
  Poke("lime", 1, 3);
  EXPECT_EQ(Peek(1, 3), "lime  ");
  EXPECT_EQ(PeekCache.first, 1);
}

TEST_F(PokeTest, SharedTablesNeedTheRecordLock) {
  USE(Path("stock.dbf"));
  Poke("kiwi", 1, 2);
  EXPECT_EQ(DbfErrorNo, 1200);
  EXPECT_EQ(ErrorDetail, "Datensatz nicht gesperrt [Poke(kiwi,1,2)]");
  EXPECT_EQ(StoredRecord(2), " pear    2");
  GO(2);
  ASSERT_TRUE(RLock());
  Poke("kiwi", 1, 2);
  EXPECT_EQ(DbfErrorNo, 0);
  EXPECT_EQ(StoredRecord(2), " kiwi    2");
  Poke("x", 1, 3);  // another record stays refused
  EXPECT_EQ(DbfErrorNo, 1200);
  Unlock();
  // The append lock does not cover records.
  ASSERT_TRUE(ALock());
  Poke("x", 1, 3);
  EXPECT_EQ(DbfErrorNo, 1200);
  Unlock();
  // The call text is cut to 100 characters.
  Poke(std::string(120, 'a'), 1, 2);
  EXPECT_EQ(ErrorDetail,
            "Datensatz nicht gesperrt " + ("[Poke(" + std::string(120, 'a')).substr(0, 100));
  NetworkLocking = false;
  Poke("fig", 1, 3);
  EXPECT_EQ(DbfErrorNo, 0);
  EXPECT_EQ(StoredRecord(3), " figm    3");  // no padding: only the given bytes
}

TEST_F(PokeTest, AnotherProgramPokesUnderItsLockAndThisOneSeesIt) {
  USE(Path("stock.dbf"));
  ChildProcess other({Helper()});
  ASSERT_EQ(Ask(other, "use " + Path("stock.dbf")), "ok");
  EXPECT_EQ(Ask(other, "poke kiwi 1 2"), "err 1200");
  ASSERT_EQ(Ask(other, "go 2"), "2 pear");
  ASSERT_EQ(Ask(other, "rlock"), "yes");
  EXPECT_EQ(Ask(other, "poke kiwi 1 2"), "ok");
  EXPECT_EQ(Peek(1, 2), "kiwi  ");
  GO(2);
  EXPECT_FALSE(RLock());  // the other program holds it
  Poke("lime", 1, 2);
  EXPECT_EQ(DbfErrorNo, 1200);
  ASSERT_EQ(Ask(other, "unlock"), "ok");
  ASSERT_TRUE(RLock());
  Poke("lime", 1, 2);
  EXPECT_EQ(DbfErrorNo, 0);
  EXPECT_EQ(Ask(other, "peek 1 2"), "[lime  ]");
  EXPECT_EQ(Ask(other, "peek 0 2"), "[ ]");
}

}  // namespace
}  // namespace orvex::test
