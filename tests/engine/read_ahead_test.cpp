// The read-ahead blocks of tables nobody else can change: reads in any order
// see the file's bytes, this program's own writes and appends, and a limit
// smaller than the table only makes the blocks start over.
#include "common/names.h"
#include "engine/navigation.h"
#include "engine/record_io.h"
#include "engine/tables.h"
#include "engine_test_support.h"

namespace orvex::test {
namespace {

class ReadAheadTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    std::vector<std::string> records;
    for (int i = 1; i <= 3000; ++i) records.push_back(std::to_string(100000 + i));
    WriteFileBytes(Path("t.dbf"), Dbase3File(0x03, {{"NAME", 'C', 40}}, records));
    USE(Path("t.dbf") + " EXCLUSIVE");
    ASSERT_EQ(DbfErrorNo, 0);
  }
  std::string Name() { return TrimRight(CharField(1)); }
};

TEST_F(ReadAheadTest, ScatteredReadsWritesAndAppends) {
  int changed = 1500;
  for (std::size_t limit : {std::size_t{128} << 20, std::size_t{10000}}) {
    ReadAheadLimit = limit;
    InvalidateReadAhead(*CurrentWorkArea());
    for (int n : {2999, 7, 1499, 3000, 1, 1498, 2999}) {
      GO(n);
      EXPECT_EQ(Name(), std::to_string(100000 + n)) << limit;
    }
    ++changed;
    GO(changed);
    SetCharField(1, "changed " + std::to_string(limit));
    Replace();
    GO(3);
    GO(changed);
    EXPECT_EQ(Name(), "changed " + std::to_string(limit));
    SetCharField(1, "appended");
    Append();
    GO(2);
    GO(RecCount());
    EXPECT_EQ(Name(), "appended");
    EXPECT_LE(CurrentWorkArea()->read_ahead.held, std::max<std::size_t>(limit, 65536));
  }
}

}  // namespace
}  // namespace orvex::test
