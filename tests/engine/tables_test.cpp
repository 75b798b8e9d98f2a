// Work areas and USE: selection, aliases, caller buffers, the EXCLUSIVE word,
// virtual areas without a manager, closing and the shut-down at exit.
#include "engine/tables.h"

#include <unistd.h>

#include <cstring>

#include "engine/dbf_file.h"
#include "engine/locks.h"
#include "engine/navigation.h"
#include "engine/record_io.h"
#include "engine_test_support.h"
#include "platform/os/codepage.h"

namespace orvex::test {
namespace {

class TablesTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    WriteFileBytes(Path("movie_r.dbf"), Dbase3File(0x03, {{"TITLE", 'C', 10}, {"YEAR", 'N', 4}}, {"Metropolis1927"}));
  }
};

TEST_F(TablesTest, SelectZeroTakesTheLowestFreeArea) {
  USE(Path("movie_r"));
  Select(2);
  USE(Path("movie_r") + " ALIAS SECOND");
  Select(0);
  EXPECT_EQ(SelectedArea(), 3);
  Select(34);
  EXPECT_EQ(DbfErrorNo, 220);
  EXPECT_EQ(ErrorDetail, os::Utf8ToAnsi("Ungültiger Arbeitsbereich = [Select(34)]"));
  EXPECT_EQ(SelectedArea(), 3);
  for (int i = 3; i <= 33; ++i) {
    Select(i);
    USE(Path("movie_r") + " ALIAS A" + std::to_string(i));
    ASSERT_EQ(DbfErrorNo, 0) << i;
  }
  Select(0);
  EXPECT_EQ(DbfErrorNo, 220);
  EXPECT_EQ(ErrorDetail, "Kein Arbeitsbereich frei [Select(0)]");
  CloseAllAreas();
  EXPECT_EQ(SelectedArea(), 1);
  for (int i = 1; i <= 33; ++i) EXPECT_EQ(WorkAreas[i], nullptr);
}

TEST_F(TablesTest, AliasesAreUniqueAndDefaultToTheBaseName) {
  ASSERT_EQ(::chdir(dir_.Path().c_str()), 0);
  USE("movie_r");
  ASSERT_EQ(DbfErrorNo, 0);
  EXPECT_EQ(CurrentWorkArea()->alias, "MOVIE_R");
  EXPECT_EQ(CurrentWorkArea()->file_name, dir_.Path() + "/movie_r.DBF");  // as written
  Select(2);
  USE("movie_r");
  EXPECT_EQ(DbfErrorNo, 220);
  EXPECT_EQ(ErrorDetail, "Alias-Name \"MOVIE_R\" bereits benutzt. [USE]");
  EXPECT_EQ(CurrentWorkArea(), nullptr);
  USE("movie_r alias m2");
  EXPECT_EQ(DbfErrorNo, 0);
  EXPECT_EQ(CurrentWorkArea()->alias, "M2");
}

TEST_F(TablesTest, ExclusiveWordAndOpenModes) {
  USE(Path("movie_r") + " exclusive");
  EXPECT_TRUE(CurrentWorkArea()->exclusive);
  EXPECT_EQ(CurrentWorkArea()->open_mode, 0x12);
  // Only the whole word counts.
  WriteFileBytes(Path("EXCLUSIVE_X.dbf"), ReadFileBytes(Path("movie_r.dbf")));
  ASSERT_EQ(::chdir(dir_.Path().c_str()), 0);
  USE("EXCLUSIVE_X");
  EXPECT_EQ(DbfErrorNo, 0);
  EXPECT_FALSE(CurrentWorkArea()->exclusive);
  EXPECT_EQ(CurrentWorkArea()->open_mode, 0x42);
  DefaultOpenMode = 0x12;
  USE(Path("movie_r"));
  EXPECT_TRUE(CurrentWorkArea()->exclusive);
  DefaultOpenMode = 0x42;
  OpenModeOverride = 0x40;
  USE(Path("movie_r"));
  EXPECT_EQ(CurrentWorkArea()->open_mode, 0x40);
  GO(1);
  EXPECT_EQ(CharField(1), "Metropolis");
}

TEST_F(TablesTest, CallerBufferMustHaveTheUnpackedSize) {
  std::vector<std::uint8_t> buffer(1 + 11 + 4);
  USE(Path("movie_r"), buffer.data(), 15);
  EXPECT_EQ(DbfErrorNo, 266);
  EXPECT_EQ(ErrorDetail, os::Utf8ToAnsi("Ungleiche Puffer- und Datensatzgröße der Datenbank: ") +
                             Path("movie_r") + " [USE()]\n\rRecord Size=16, Buffer Size=15");
  EXPECT_EQ(CurrentWorkArea(), nullptr);
  USE(Path("movie_r"), buffer.data(), 0);
  EXPECT_EQ(DbfErrorNo, 220);
  USE(Path("movie_r"), buffer.data(), 16);
  ASSERT_EQ(DbfErrorNo, 0);
  EXPECT_EQ(FieldAddress(0), buffer.data());
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer.data() + 2), 10), "Metropolis");
  std::int32_t year;
  std::memcpy(&year, buffer.data() + 12, 4);
  EXPECT_EQ(year, 1927);
}

TEST_F(TablesTest, EmptyCommandOnlyClosesAndVirtualAreasNeedAManager) {
  USE(Path("movie_r"));
  USE("  ");
  EXPECT_EQ(CurrentWorkArea(), nullptr);
  EXPECT_EQ(DbfErrorNo, 0);
  std::vector<std::uint8_t> buffer(10);
  USE("queue linked list", buffer.data(), 10);
  EXPECT_EQ(DbfErrorNo, 1101);
  EXPECT_EQ(ErrorDetail, "[USE(QUEUE LINKED LIST ,<@Buffer>,10)]");
}

TEST_F(TablesTest, VirtualAreasAreServedByTheHandler) {
  static std::vector<std::string> calls;
  calls.clear();
  VirtualFiles.handler = [](WorkArea& area) {
    calls.push_back(std::to_string(area.virtual_operation) + ":" + std::to_string(area.virtual_record));
    if (area.virtual_operation == kVirtualWrite && area.virtual_record > area.record_count) area.record_count++;
  };
  std::vector<std::uint8_t> buffer(8);
  USE("items.x virtual file to xms lifo", buffer.data(), 8);
  ASSERT_EQ(DbfErrorNo, 0);
  WorkArea& area = *CurrentWorkArea();
  EXPECT_EQ(area.alias, "ITEMS");
  EXPECT_EQ(area.file_name, "ITEMS.X");
  EXPECT_EQ(area.virtual_storage, 3);
  EXPECT_EQ(area.virtual_ordering, 1);
  EXPECT_TRUE(area.exclusive);
  EXPECT_FALSE(ALock());
  EXPECT_EQ(DbfErrorNo, 1100);
  Append();
  EXPECT_EQ(area.record_count, 1);
  USE("");
  EXPECT_EQ(calls, (std::vector<std::string>{"4:0", "8:1", "1:1"}));
}

TEST_F(TablesTest, TablesThatAreNotExclusiveCountTheRecordsInTheFile) {
  // The header says 1 record; the file holds 2.
  WriteFileBytes(Path("more.dbf"), Dbase3File(0x03, {{"TITLE", 'C', 10}, {"YEAR", 'N', 4}}, {"a", "b"}));
  std::string bytes = ReadFileBytes(Path("more.dbf"));
  Put32(bytes, 4, 1);
  WriteFileBytes(Path("more.dbf"), bytes);
  USE(Path("more.dbf") + " EXCLUSIVE");
  EXPECT_EQ(RecCount(), 1);
  for (std::uint16_t mode : {0x42, 0x40, 0x00, 0x02}) {
    OpenModeOverride = mode;  // shared ones and those that keep others out
    USE(Path("more.dbf"));
    EXPECT_EQ(RecCount(), 2) << mode;
  }
  // Own appends count as well where the size is followed rather than asked.
  ASSERT_TRUE(ALock());
  Append();
  EXPECT_EQ(RecCount(), 3);
  GoBottom();
  EXPECT_EQ(RecNo(), 3);
}

TEST_F(TablesTest, FailedFirstReadLeavesTheAreaEmpty) {
  std::string bytes = ReadFileBytes(Path("movie_r.dbf"));
  bytes.resize(65 + 32);  // header of 2 fields only, count 1
  WriteFileBytes(Path("cut.dbf"), bytes);
  USE(Path("cut.dbf") + " EXCLUSIVE");
  EXPECT_EQ(DbfErrorNo, 213);
  EXPECT_EQ(CurrentWorkArea(), nullptr);
  SetRaiseOnError(true);
  SetAutoReport(true);
  EXPECT_THROW(USE(Path("cut.dbf")), EOrvexError);
  EXPECT_EQ(CurrentWorkArea(), nullptr);
  EXPECT_THROW(USE(Path("cut.dbf"), nullptr, 3), EOrvexError);
}

TEST_F(TablesTest, ExitClosesTablesAndWritesTheirHeaders) {
  ChildProcess child({BuildProgram("tests/engine/engine_helper")});
  child.WriteLine("use " + Path("movie_r.dbf") + " exclusive");
  ASSERT_EQ(child.ReadLine(), "ok");
  child.WriteLine("append Nosferatu");
  ASSERT_EQ(child.ReadLine(), "ok");
  child.WriteLine("exit");  // without closing the table
  EXPECT_EQ(child.Wait(), 0);
  std::string s = ReadFileBytes(Path("movie_r.dbf"));
  EXPECT_EQ(Get32(s, 4), 2u);
  EXPECT_EQ(s.back(), 0x1A);
  EXPECT_EQ(s.size(), 97u + 2 * 15 + 1);
}

}  // namespace
}  // namespace orvex::test
