// Navigation: the phantom record, BOF/EOF, hidden records, filters, while
// conditions, GO errors and the relation hook.
#include "engine/navigation.h"

#include "engine/locks.h"
#include "engine/record_io.h"
#include "engine/tables.h"
#include "engine_test_support.h"
#include "platform/os/codepage.h"

namespace orvex::test {
namespace {

class NavigationTest : public EngineTest {
 protected:
  // Records "r1".."rN"; those listed in `deleted` carry the deletion flag.
  void OpenNumbered(int count, const std::vector<int>& deleted = {}, const std::string& options = " EXCLUSIVE") {
    std::vector<std::string> records;
    for (int i = 1; i <= count; ++i) records.push_back("r" + std::to_string(i));
    std::string bytes = Dbase3File(0x03, {{"NAME", 'C', 4}}, records);
    for (int d : deleted) bytes[65 + static_cast<std::size_t>(d - 1) * 5] = '*';
    WriteFileBytes(Path("n.dbf"), bytes);
    USE(Path("n.dbf") + options);
    ASSERT_EQ(DbfErrorNo, 0);
  }
  std::string Name() { return TrimRight(CharField(1)); }
  static std::string TrimRight(std::string s) {
    while (!s.empty() && s.back() == ' ') s.pop_back();
    return s;
  }
};

TEST_F(NavigationTest, SkipForwardReachesThePhantomRecord) {
  OpenNumbered(3);
  EXPECT_EQ(Name(), "r1");
  SKIP(2);
  EXPECT_EQ(RecNo(), 3);
  SKIP(1);
  EXPECT_EQ(RecNo(), 4);
  EXPECT_TRUE(dEOF());
  EXPECT_FALSE(dBOF());
  EXPECT_EQ(Name(), "");
  SKIP(1);
  EXPECT_EQ(DbfErrorNo, 212);
  EXPECT_EQ(ErrorDetail, "Datenbank \"" + CurrentWorkArea()->file_name + "\" ist hinter EOF. [SKIP]");
  SKIP(-1);
  EXPECT_EQ(RecNo(), 3);
  EXPECT_FALSE(dEOF());
}

TEST_F(NavigationTest, AHeaderClaimingTheLargestCountMovesWithoutOverflow) {
  // A damaged header: 2^31 - 1 records in a file that holds three. The
  // table is exclusive, so the count is taken from the header as it stands.
  std::string bytes = Dbase3File(0x03, {{"NAME", 'C', 4}}, {"r1", "r2", "r3"});
  bytes.replace(4, 4, std::string("\xFF\xFF\xFF\x7F", 4));
  WriteFileBytes(Path("n.dbf"), bytes);
  USE(Path("n.dbf") + " EXCLUSIVE");
  ASSERT_EQ(DbfErrorNo, 0) << ErrorDetail;
  ASSERT_EQ(RecCount(), 0x7FFFFFFF);
  EXPECT_EQ(Name(), "r1");
  GO(0);
  EXPECT_EQ(DbfErrorNo, 212);
  EXPECT_TRUE(dEOF());
  EXPECT_EQ(RecNo(), 0x7FFFFFFF);
  GoTop();
  EXPECT_EQ(Name(), "r1");
  SKIP(-1);
  EXPECT_TRUE(dBOF());
  GO(3);
  SKIP(1);  // record 4 is not in the file: an error, not a wrong record
  EXPECT_NE(DbfErrorNo, 0);
}

TEST_F(NavigationTest, SkipBackPastTheFirstRecordSetsBof) {
  OpenNumbered(3);
  GO(2);
  SKIP(-5);
  EXPECT_EQ(RecNo(), 1);
  EXPECT_TRUE(dBOF());
  EXPECT_EQ(Name(), "r1");
  SKIP(-1);  // nothing happens at BOF
  EXPECT_EQ(DbfErrorNo, 0);
  EXPECT_EQ(RecNo(), 1);
  SKIP(1);
  EXPECT_EQ(RecNo(), 2);
  EXPECT_FALSE(dBOF());
}

TEST_F(NavigationTest, HiddenRecordsAreSkipped) {
  HideDeleted = true;
  OpenNumbered(6, {1, 2, 3, 5});
  EXPECT_EQ(RecNo(), 4);
  SKIP(1);
  EXPECT_EQ(RecNo(), 6);
  SKIP(-1);
  EXPECT_EQ(RecNo(), 4);
  GoBottom();
  EXPECT_EQ(RecNo(), 6);
  GO(5);  // GO ignores visibility
  EXPECT_EQ(DbfErrorNo, 0);
  EXPECT_TRUE(Deleted());
  HideDeleted = false;
  GoTop();
  EXPECT_EQ(RecNo(), 1);
}

TEST_F(NavigationTest, AllRecordsHiddenGivesThePhantomRecord) {
  HideDeleted = true;
  OpenNumbered(3, {1, 2, 3});
  EXPECT_EQ(RecNo(), 4);
  EXPECT_TRUE(dEOF());
  GoBottom();
  EXPECT_EQ(RecNo(), 4);
  EXPECT_TRUE(dBOF());
  EXPECT_TRUE(dEOF());
}

TEST_F(NavigationTest, FilterAndWhileConditions) {
  OpenNumbered(6);
  WorkArea& area = *CurrentWorkArea();
  area.filter_proc = [] { return RecNo() % 2 == 0; };
  GoTop();
  EXPECT_EQ(RecNo(), 2);
  SKIP(2);
  EXPECT_EQ(RecNo(), 6);
  area.filter_proc = nullptr;
  GO(1);
  area.while_proc = [] { return RecNo() < 4; };
  EXPECT_TRUE(IsWhileOn());
  SKIP(10);
  EXPECT_EQ(RecNo(), 4);  // stays on the first record that failed
  EXPECT_TRUE(dEOF());
}

TEST_F(NavigationTest, FilterExpressionWithoutExpressionEngineHidesAll) {
  OpenNumbered(2);
  // A compiled expression can only come from the expression engine; absent,
  // its condition never holds.
  CurrentWorkArea()->filter_expr = reinterpret_cast<CompiledExpr*>(&DbfErrorNo);
  GoTop();
  EXPECT_EQ(RecNo(), 3);
  CurrentWorkArea()->filter_expr = nullptr;
}

TEST_F(NavigationTest, GoOutsideTheTableReports212) {
  OpenNumbered(3);
  GO(0);
  EXPECT_EQ(DbfErrorNo, 212);
  EXPECT_EQ(ErrorDetail, os::Utf8ToAnsi("Ungültige Datensatznr. = 0 Datenbank \"") + CurrentWorkArea()->file_name + "\" [GO]");
  EXPECT_TRUE(dEOF());
  GO(4);
  EXPECT_EQ(DbfErrorNo, 212);
  EXPECT_EQ(RecNo(), 4);
  GO(2);
  EXPECT_EQ(Name(), "r2");
  Dbf4RawGo(9);
  EXPECT_EQ(RecNo(), 4);
  EXPECT_TRUE(dEOF());
  Dbf4RawGo(0);
  EXPECT_EQ(DbfErrorNo, 212);
}

TEST_F(NavigationTest, EmptyTableStandsOnABlankRecord) {
  OpenNumbered(0);
  EXPECT_EQ(RecNo(), 0);
  EXPECT_TRUE(dBOF());
  EXPECT_TRUE(dEOF());
  EXPECT_EQ(CharField(1), "    ");
  SKIP(-1);
  EXPECT_EQ(DbfErrorNo, 212);
  EXPECT_EQ(ErrorDetail, "Datenbank \"" + CurrentWorkArea()->file_name + "\" ist leer. [SKIP]");
  GO(1);
  EXPECT_EQ(DbfErrorNo, 212);
}

TEST_F(NavigationTest, SkipZeroRereadsTheFile) {
  OpenNumbered(2, {}, "");
  std::string bytes = ReadFileBytes(Path("n.dbf"));
  bytes.replace(66, 2, "zz");
  WriteFileBytes(Path("n.dbf"), bytes);
  EXPECT_EQ(Name(), "r1");
  SKIP(0);
  EXPECT_EQ(Name(), "zz");
}

TEST_F(NavigationTest, RelationHookRunsAfterMovesAndCatchesCycles) {
  OpenNumbered(3);
  int calls = 0;
  CurrentWorkArea()->relation = [&] { ++calls; };
  SKIP(1);
  GO(3);
  GoTop();
  EXPECT_EQ(calls, 3);
  CurrentWorkArea()->relation = [] { Dbf4RawGo(3); };
  SKIP(1);
  EXPECT_EQ(DbfErrorNo, 224);
  EXPECT_EQ(ErrorDetail, CurrentWorkArea()->file_name);
  EXPECT_TRUE(static_cast<bool>(CurrentWorkArea()->relation));
}

TEST_F(NavigationTest, NoTableAnswersNeutrally) {
  GoTop();
  EXPECT_EQ(DbfErrorNo, 215);
  EXPECT_EQ(ErrorDetail, os::Utf8ToAnsi("Keine Datenbank (bzw.kein Arbeitsbereich) geöffnet. [GoTop]  WorkArea = 1"));
  EXPECT_TRUE(dEOF());
  EXPECT_TRUE(dBOF());
  EXPECT_EQ(RecCount(), 0);
}

}  // namespace
}  // namespace orvex::test
