// oxdbf locate: the record numbers found, its options, field lists, memo
// fields of a table another program (python3-dbf) wrote, and its errors.
#include "engine_test_support.h"

namespace orvex::test {
namespace {

class SearchToolTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    // TITLE C(12), QTY N(3), DAY D; record 4 deleted.
    auto film = [](std::string title, const std::string& qty, const std::string& day) {
      title.resize(12, ' ');
      return title + std::string(3 - qty.size(), ' ') + qty + day;
    };
    std::string bytes = Dbase3File(
        0x03, {{"TITLE", 'C', 12}, {"QTY", 'N', 3}, {"DAY", 'D', 8}},
        {film("Metropolis", "70", ""), film("alibi", "7", ""), film("Alice", "7", "20241224"),
         film("Ali", "7", ""), film("Malice", "17", "")});
    bytes[129 + 3 * 24] = '*';  // header 129, records of 24 bytes
    WriteFileBytes(Path("films.dbf"), bytes);
  }
  ProcessResult Locate(std::vector<std::string> args) {
    args.insert(args.begin(), {BuildProgram("tools/oxdbf"), "locate"});
    return RunProcess(args);
  }
  // stdout of a successful run (exit status 1 when nothing was found).
  std::string Found(const std::vector<std::string>& args) {
    ProcessResult r = Locate(args);
    EXPECT_EQ(r.exit_status, r.out.empty() ? 1 : 0) << r.err;
    return r.out;
  }
};

TEST_F(SearchToolTest, PrintsTheRecordsFound) {
  std::string films = Path("films.dbf");
  EXPECT_EQ(Found({films, "title", "Ali"}), "3\n");
  EXPECT_EQ(Found({films, "title", "Ali", "--all"}), "3\n4\n");
  EXPECT_EQ(Found({films, "title", "Ali", "--all", "--hide-deleted"}), "3\n");
  EXPECT_EQ(Found({films, "title", "ali", "--all", "--nocase"}), "2\n3\n4\n");
  EXPECT_EQ(Found({films, "title", "Ali", "--exact"}), "");
  EXPECT_EQ(Found({films, "title", "Ali         ", "--exact"}), "4\n");
  EXPECT_EQ(Found({films, "title", "lic", "--contained", "--all"}), "3\n5\n");
  EXPECT_EQ(Found({films, "qty", "7", "--all"}), "2\n3\n4\n");
  EXPECT_EQ(Found({films, "day", "20241224"}), "3\n");
  EXPECT_EQ(Found({films, "title;qty", "Zorro;17", "--all"}), "5\n");
  EXPECT_EQ(Found({films, "title", "Zorro"}), "");
}

TEST_F(SearchToolTest, MemoFieldsAreSearchedLineByLine) {
  WriteFileBytes(Path("make.py"), R"PY(
import sys, dbf
t = dbf.Table(sys.argv[1], 'title C(12); plot M', dbf_type='db3', codepage='cp850')
t.open(dbf.READ_WRITE)
for row in [('Metropolis', 'A city of the future'), ('Alibi', 'first line\r\nsecond Storm here'),
            ('Alice', 'storm'), ('Nothing', '')]:
    t.append(row)
t.close()
)PY");
  ProcessResult made = RunProcess({"/usr/bin/python3", Path("make.py"), Path("plots.dbf")});
  ASSERT_EQ(made.exit_status, 0) << made.err;
  std::string plots = Path("plots.dbf");
  EXPECT_EQ(Found({plots, "plot", "storm", "--all"}), "3\n");
  EXPECT_EQ(Found({plots, "plot", "storm", "--all", "--nocase"}), "2\n3\n");
  EXPECT_EQ(Found({plots, "plot", "city of", "--all"}), "1\n");   // contained, always
  EXPECT_EQ(Found({plots, "plot", "line second", "--all"}), "");  // never across a line end
}

TEST_F(SearchToolTest, RealTablesOfOtherPrograms) {
  ORVEX_REQUIRE_TESTDATA();
  std::string dir = TestdataDir() + "/dans-dbf-lib/";
  // Clipper memos break their lines softly (0x8D LF): a text across such a
  // break is not found.
  std::string memotest = dir + "clipper5/types/MEMOTEST.DBF";
  EXPECT_EQ(Found({memotest, "memo", "memo.", "--all"}), "3\n");
  EXPECT_EQ(Found({memotest, "memo", "long memo", "--all"}), "");
  EXPECT_EQ(Found({memotest, "memo", "m", "--all"}), "1\n3\n");
  EXPECT_EQ(Found({dir + "dbase3plus/cars/cars.dbf", "descr", "volks", "--all", "--nocase"}),
            "3\n");
  EXPECT_EQ(Found({dir + "dbase3plus/cars/cars.dbf", "descr", "YEAR MODEL", "--all"}), "1\n3\n");
  // dbfread reads records 1, 3 and 4 of this one; record 2 is deleted.
  EXPECT_EQ(Found({dir + "dbase3plus/cars_del/cars.dbf", "name", "", "--all", "--hide-deleted"}),
            "1\n3\n4\n");
}

TEST_F(SearchToolTest, ErrorsTakeTheLibrarysPath) {
  std::string films = Path("films.dbf");
  ProcessResult r = Locate({films, "director", "x"});
  EXPECT_EQ(r.exit_status, 220);
  EXPECT_NE(r.err.find("Unrecognized field name [Locate/Count/Sum(DIRECTOR)]"), std::string::npos)
      << r.err;
  r = Locate({films, "qty", "many"});
  EXPECT_EQ(r.exit_status, 220);
  EXPECT_NE(r.err.find("Ungültiger Suchwert für Feld QTY: many [Locate]"), std::string::npos)
      << r.err;
  r = Locate({films, "title;qty", "x"});
  EXPECT_EQ(r.exit_status, 2);  // usage errors
  r = Locate({films, "title"});
  EXPECT_EQ(r.exit_status, 2);
  r = Locate({Path("missing.dbf"), "title", "x"});
  EXPECT_EQ(r.exit_status, 2);
}

}  // namespace
}  // namespace orvex::test
