// Locate and Continue on table files: prefix, NOCASE, EXACT, CONTAINED, the
// value conversion by field type, hidden records, Continue's errors, field
// lists, text in the OEM code page, and the scan through the Peek cache.
#include "engine/search.h"

#include "dates/day_number.h"
#include "engine/locks.h"
#include "engine/navigation.h"
#include "engine/peek_cache.h"
#include "engine/record_io.h"
#include "engine/tables.h"
#include "engine_test_support.h"
#include "platform/os/codepage.h"
#include "platform/os/format_settings.h"

namespace orvex::test {
namespace {

std::string Left(std::string text, std::size_t width) {
  text.resize(width, ' ');
  return text;
}
std::string Right(const std::string& text, std::size_t width) {
  return std::string(width - text.size(), ' ') + text;
}

// TITLE C(20), YEAR N(4), QTY N(3), STARS N(4,1), PREMIERE D, COLOR L.
std::string Movie(const std::string& title, int year, int qty, const std::string& stars,
                  const std::string& premiere, char color) {
  return Left(title, 20) + Right(std::to_string(year), 4) + Right(std::to_string(qty), 3) +
         Right(stars, 4) + Left(premiere, 8) + color;
}

class SearchTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    ResetPeekCache();
    ResetSearchState();
    WriteFileBytes(Path("movies.dbf"),
                   Dbase3File(0x03,
                              {{"TITLE", 'C', 20},
                               {"YEAR", 'N', 4},
                               {"QTY", 'N', 3},
                               {"STARS", 'N', 4, 1},
                               {"PREMIERE", 'D', 8},
                               {"COLOR", 'L', 1}},
                              {Movie("Metropolis", 1927, 70, "8.3", "19270110", 'F'),
                               Movie("alibi", 1929, 17, "6.0", "19290406", 'F'),
                               Movie("Alice", 1999, 7, "7.5", "19991231", 'T'),
                               Movie("Ali", 2001, 7, "8.5", "", 'T'),
                               Movie("Malice", 2002, 7, "5.0", "20010101", 'F'),
                               Movie("X", 2005, 9, "4.0", "20050101", 'F')}));
  }
  void TearDown() override {
    ResetPeekCache();
    EngineTest::TearDown();
  }
  void OpenMovies() {
    USE(Path("movies.dbf") + " EXCLUSIVE");
    ASSERT_EQ(DbfErrorNo, 0);
  }
  // Deletes records in the file before it is opened.
  void DeleteInFile(const std::string& file, int header, int record_length,
                    std::initializer_list<int> records) {
    std::string bytes = ReadFileBytes(Path(file));
    for (int n : records) bytes[static_cast<std::size_t>(header + (n - 1) * record_length)] = '*';
    WriteFileBytes(Path(file), bytes);
  }
  // The records Locate and then Continue stand on, until the end of file.
  static std::vector<int> Found(bool located) {
    std::vector<int> found;
    for (bool ok = located; ok; ok = Continue()) found.push_back(RecNo());
    return found;
  }
};

TEST_F(SearchTest, PrefixNoCaseAndExactWithPadding) {
  OpenMovies();
  EXPECT_EQ(Found(Locate("title", "Ali")), (std::vector<int>{3, 4}));
  EXPECT_EQ(DbfErrorNo, 0);
  EXPECT_TRUE(dEOF());
  EXPECT_EQ(RecNo(), 7);
  EXPECT_EQ(Found(Locate("TITLE", "ali", true)), (std::vector<int>{2, 3, 4}));
  EXPECT_EQ(Search.text, "ALI");
  EXPECT_FALSE(Locate("TITLE", "ALI"));
  // Trailing blanks of the value do not count in a prefix search.
  EXPECT_EQ(Found(Locate("TITLE", "Ali   ")), (std::vector<int>{3, 4}));
  // EXACT compares the whole stored field, padding included.
  EXPECT_FALSE(Locate("TITLE", "Ali", false, true));
  EXPECT_EQ(Found(Locate("TITLE", Left("Ali", 20), false, true)), (std::vector<int>{4}));
  EXPECT_EQ(Found(Locate("TITLE", Left("ALI", 20), true, true)), (std::vector<int>{4}));
  EXPECT_FALSE(Locate("TITLE EXACT", Left("Ali", 21)));
}

TEST_F(SearchTest, ContainedAndOptionWordsAfterTheFieldName) {
  OpenMovies();
  EXPECT_EQ(Found(Locate("title contained", "lic")), (std::vector<int>{3, 5}));
  EXPECT_EQ(Found(Locate("TITLE CONTAINED NOCASE", "LI")), (std::vector<int>{1, 2, 3, 4, 5}));
  // Other words after the name are not part of it.
  EXPECT_EQ(Found(Locate("TITLE whatever", "Ali")), (std::vector<int>{3, 4}));
  EXPECT_EQ(ParseSearchSpec(" title  nocase exact contained "), 1);
  EXPECT_FALSE(Search.case_sensitive);
  EXPECT_TRUE(Search.exact);
  EXPECT_TRUE(Search.contained);
  EXPECT_EQ(ParseSearchSpec("qty"), 3);
  EXPECT_TRUE(Search.case_sensitive);
  EXPECT_FALSE(Search.exact || Search.contained);
}

TEST_F(SearchTest, ValuesAreFormattedByTheFieldType) {
  OpenMovies();
  EXPECT_EQ(Found(Locate("QTY", std::int64_t{7})), (std::vector<int>{3, 4, 5}));
  EXPECT_EQ(Search.text, "  7");  // not " 70" nor " 17"
  EXPECT_EQ(Found(Locate("QTY", std::string("7"))), (std::vector<int>{3, 4, 5}));
  Locate("QTY", 8.5);  // a whole number, halves away from zero
  EXPECT_EQ(Search.text, "  9");
  EXPECT_EQ(Found(Locate("STARS", 8.5)), (std::vector<int>{4}));
  EXPECT_EQ(Search.text, " 8.5");
  EXPECT_EQ(Found(Locate("STARS", std::int64_t{5})), (std::vector<int>{5}));
  EXPECT_EQ(Found(Locate("YEAR", std::int64_t{1999})), (std::vector<int>{3}));
  // Dates: the national text of the DateType (here DD.MM.YY) or a day number.
  EXPECT_EQ(Found(Locate("PREMIERE", "31.12.99")), (std::vector<int>{3}));
  EXPECT_EQ(Search.text, "19991231");
  EXPECT_EQ(Found(Locate("PREMIERE", LocateDate{DayNumberFromYMD(2001, 1, 1)})),
            (std::vector<int>{5}));
  EXPECT_EQ(Found(Locate("PREMIERE", "", false, true)), (std::vector<int>{4}));  // the empty date
  EXPECT_EQ(Found(Locate("COLOR", true)), (std::vector<int>{3, 4}));
  EXPECT_EQ(Found(Locate("COLOR", std::string(".f."))), (std::vector<int>{1, 2, 5, 6}));
  // Values as text for character fields.
  WriteFileBytes(Path("codes.dbf"),
                 Dbase3File(0x03, {{"CODE", 'C', 6}}, {"12", "True", "2.5", "False"}));
  USE(Path("codes.dbf"));
  EXPECT_EQ(Found(Locate("CODE", std::int64_t{12})), (std::vector<int>{1}));
  EXPECT_EQ(Found(Locate("CODE", true)), (std::vector<int>{2}));
  char separator = os::Formats().decimal_separator;
  os::Formats().decimal_separator = '.';
  EXPECT_EQ(Found(Locate("CODE", 2.5)), (std::vector<int>{3}));
  // Numbers as text follow the decimal separator, both ways.
  os::Formats().decimal_separator = ',';
  EXPECT_FALSE(Locate("CODE", 2.5));
  EXPECT_EQ(Search.text, "2,5");
  USE(Path("movies.dbf"));
  EXPECT_EQ(Found(Locate("STARS", std::string("7,5"))), (std::vector<int>{3}));
  os::Formats().decimal_separator = separator;
}

TEST_F(SearchTest, ValuesThatDoNotSuitTheFieldAreRefused) {
  OpenMovies();
  GO(2);
  EXPECT_FALSE(Locate("QTY", std::string("abc")));
  EXPECT_EQ(DbfErrorNo, 220);
  EXPECT_EQ(ErrorDetail, os::Utf8ToAnsi("Ungültiger Suchwert für Feld QTY: abc [Locate]"));
  EXPECT_EQ(RecNo(), 2);  // not moved
  EXPECT_FALSE(Locate("PREMIERE", "soon"));
  EXPECT_EQ(DbfErrorNo, 220);
  EXPECT_FALSE(Locate("COLOR", std::string("maybe")));
  EXPECT_EQ(DbfErrorNo, 220);
  EXPECT_FALSE(Locate("QTY", true));
  EXPECT_EQ(ErrorDetail, os::Utf8ToAnsi("Ungültiger Suchwert für Feld QTY: True [Locate]"));
  EXPECT_FALSE(Continue());
  EXPECT_EQ(DbfErrorNo, 220);
}

TEST_F(SearchTest, FieldNameErrors) {
  EXPECT_FALSE(Locate("TITLE", "x"));
  EXPECT_EQ(DbfErrorNo, 215);
  EXPECT_EQ(
      ErrorDetail,
      os::Utf8ToAnsi("Keine Datenbank (bzw.kein Arbeitsbereich) geöffnet. [Locate/Count/Sum]  "
                     "WorkArea = 1"));
  OpenMovies();
  EXPECT_FALSE(Locate("   ", "x"));
  EXPECT_EQ(DbfErrorNo, 220);
  EXPECT_EQ(ErrorDetail, "No field name specified [Locate/Count/Sum]");
  EXPECT_EQ(ParseSearchSpec("nocase"), 0);  // a keyword needs a name before it
  EXPECT_EQ(ErrorDetail, "Unrecognized field name [Locate/Count/Sum(NOCASE)]");
  EXPECT_FALSE(Locate("director", "x"));
  EXPECT_EQ(ErrorDetail, "Unrecognized field name [Locate/Count/Sum(DIRECTOR)]");
}

TEST_F(SearchTest, HiddenDeletedAndFilteredRecordsArePassedOver) {
  DeleteInFile("movies.dbf", 32 * 6 + 33, 41, {3});
  OpenMovies();
  EXPECT_EQ(Found(Locate("TITLE", "Ali")), (std::vector<int>{3, 4}));
  HideDeleted = true;
  EXPECT_EQ(Found(Locate("TITLE", "Ali")), (std::vector<int>{4}));
  CurrentWorkArea()->filter_proc = [] { return RecNo() != 4; };
  EXPECT_EQ(Found(Locate("TITLE", "ali", true)), (std::vector<int>{2}));
  EXPECT_TRUE(dEOF());
  EXPECT_FALSE(Locate("TITLE", "Ali"));
  EXPECT_TRUE(dEOF());
  EXPECT_EQ(DbfErrorNo, 0);
  // Every record hidden: the search ends at end of file without an error.
  CurrentWorkArea()->filter_proc = [] { return false; };
  EXPECT_FALSE(Locate("TITLE", "X"));
  EXPECT_EQ(DbfErrorNo, 0);
  EXPECT_TRUE(dEOF());
}

TEST_F(SearchTest, ContinueNeedsALocateInTheSameArea) {
  OpenMovies();
  const std::string message = "Call to CONTINUE not preceeded by call to LOCATE. [Continue]";
  EXPECT_FALSE(Continue());
  EXPECT_EQ(DbfErrorNo, 220);
  EXPECT_EQ(ErrorDetail, message);
  EXPECT_FALSE(Locate("TITLE", "Zorro"));
  EXPECT_EQ(DbfErrorNo, 0);
  EXPECT_TRUE(dEOF());
  EXPECT_FALSE(Continue());
  EXPECT_EQ(ErrorDetail, message);
  ASSERT_TRUE(Locate("TITLE", "Ali"));
  WriteFileBytes(Path("copy.dbf"), ReadFileBytes(Path("movies.dbf")));
  Select(2);
  USE(Path("copy.dbf"));
  ASSERT_EQ(DbfErrorNo, 0);
  EXPECT_FALSE(Continue());
  EXPECT_EQ(ErrorDetail, message);
  Select(1);
  EXPECT_TRUE(Continue());
  EXPECT_EQ(RecNo(), 4);
  EXPECT_FALSE(Continue());
  EXPECT_EQ(DbfErrorNo, 0);
  EXPECT_FALSE(Continue());
  EXPECT_EQ(DbfErrorNo, 220);
}

TEST_F(SearchTest, FieldListsTryEachPairInTurn) {
  OpenMovies();
  std::vector<LocateValue> values{std::string("X"), std::int64_t{1999}};
  EXPECT_TRUE(Locate("TITLE;YEAR", values));
  EXPECT_EQ(RecNo(), 6);  // the title alone decides
  EXPECT_TRUE(
      Locate("TITLE;YEAR", std::vector<LocateValue>{std::string("Nope"), std::int64_t{1929}}));
  EXPECT_EQ(RecNo(), 2);
  EXPECT_EQ(Found(true), (std::vector<int>{2}));
  EXPECT_FALSE(
      Locate("title; year", std::vector<LocateValue>{std::string("Nope"), std::int64_t{1}}));
  EXPECT_TRUE(dEOF());
  EXPECT_FALSE(Locate("TITLE;YEAR", std::vector<LocateValue>{std::string("X")}));
  EXPECT_EQ(DbfErrorNo, 220);
  EXPECT_EQ(ErrorDetail, "Number of values does not match the field list [Locate(TITLE;YEAR)]");
  EXPECT_FALSE(
      Locate("TITLE;NOPE", std::vector<LocateValue>{std::string("Zorro"), std::int64_t{1}}));
  EXPECT_EQ(ErrorDetail, "Unrecognized field name [Locate/Count/Sum(NOPE)]");
}

TEST_F(SearchTest, TextOfOemTablesIsFoundInBothCases) {
  std::vector<std::string> names{"Mueller", "Müller", "MÜLLERS", "Groß"};
  std::vector<std::string> oem, ansi;
  for (const std::string& n : names) {
    oem.push_back(os::Utf8ToCp850(n));
    ansi.push_back(os::Utf8ToAnsi(n));
  }
  WriteFileBytes(Path("oem.dbf"), Dbase3File(0x03, {{"NAME", 'C', 10}}, oem));
  WriteFileBytes(Path("ansi.dbf"), Dbase3File(0x03, {{"NAME", 'C', 10}}, ansi));
  for (bool ansi_tables : {false, true}) {
    AnsiTables = ansi_tables;
    USE(Path(ansi_tables ? "ansi.dbf" : "oem.dbf"));
    EXPECT_EQ(Found(Locate("NAME", os::Utf8ToAnsi("Mül"))), (std::vector<int>{2})) << ansi_tables;
    EXPECT_EQ(Found(Locate("NAME", os::Utf8ToAnsi("mül"), true)), (std::vector<int>{2, 3}))
        << ansi_tables;
    EXPECT_EQ(Found(Locate("NAME CONTAINED", os::Utf8ToAnsi("ß"))), (std::vector<int>{4}))
        << ansi_tables;
  }
}

TEST_F(SearchTest, CachedScanFindsWhatTheDirectScanFinds) {
  std::vector<std::string> records;
  for (int i = 1; i <= 500; ++i)
    records.push_back(Left("T" + std::to_string(i % 7), 10) + std::to_string(i));
  WriteFileBytes(Path("many.dbf"), Dbase3File(0x03, {{"NAME", 'C', 10}, {"N", 'C', 5}}, records));
  USE(Path("many.dbf") + " EXCLUSIVE");
  std::vector<int> direct = Found(Locate("NAME", "T3"));
  ASSERT_EQ(direct.size(), 72u);
  PeekCacheLimit = 1000;  // 62 records a window
  EXPECT_EQ(Found(Locate("NAME", "T3")), direct);
  // The cache follows this program's writes during a search.
  ASSERT_TRUE(Locate("NAME", "T3"));
  EXPECT_EQ(RecNo(), 3);
  GO(5);
  SetCharField(1, "T3 new");
  Replace();
  GO(3);
  EXPECT_TRUE(Continue());
  EXPECT_EQ(RecNo(), 5);
}

TEST_F(SearchTest, NewSearchOfASharedTableSeesTheOtherProgramsChanges) {
  WriteFileBytes(Path("shared.dbf"), Dbase3File(0x03, {{"NAME", 'C', 8}}, {"one", "two", "three"}));
  PeekCacheLimit = 4096;
  USE(Path("shared.dbf"));
  EXPECT_FALSE(Locate("NAME", "zzz"));
  EXPECT_EQ(PeekCache.owner, "SHARED");
  ChildProcess other({BuildProgram("tests/engine/engine_helper")});
  other.WriteLine("use " + Path("shared.dbf"));
  ASSERT_EQ(other.ReadLine(), "ok");
  for (const char* step : {"go 2", "rlock", "replace zzz"}) {
    other.WriteLine(step);
    other.ReadLine();
  }
  EXPECT_TRUE(Locate("NAME", "zzz"));
  EXPECT_EQ(RecNo(), 2);
}

TEST_F(SearchTest, MemoFieldsNeedTheMemoStore) {
  WriteFileBytes(Path("notes.dbf"),
                 Dbase3File(0x83, {{"TITLE", 'C', 8}, {"NOTE", 'M', 10}}, {"a              1"}));
  USE(Path("notes.dbf"));
  GO(1);
  EXPECT_FALSE(Locate("NOTE", "x"));
  EXPECT_EQ(DbfErrorNo, 220);
  EXPECT_EQ(ErrorDetail, "MEMO unit not linked in [Count/Sum/Continue]");
  EXPECT_EQ(RecNo(), 1);
  EXPECT_FALSE(Continue());
  EXPECT_EQ(DbfErrorNo, 220);
}

TEST_F(SearchTest, EmptyTableEndsAtEndOfFile) {
  WriteFileBytes(Path("empty.dbf"), Dbase3File(0x03, {{"NAME", 'C', 8}}, {}));
  PeekCacheLimit = 4096;
  USE(Path("empty.dbf"));
  EXPECT_FALSE(Locate("NAME", ""));
  EXPECT_EQ(DbfErrorNo, 0);
  EXPECT_TRUE(dEOF());
}

}  // namespace
}  // namespace orvex::test
