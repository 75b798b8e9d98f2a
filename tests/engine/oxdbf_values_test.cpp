// oxdbf values at the edge: append and replace store exactly what was given
// or refuse it and write nothing; dump and eval show exactly what is stored.
#include <string>

#include "engine_test_support.h"

namespace orvex::test {
namespace {

class OxdbfValuesTest : public EngineTest {
 protected:
  ProcessResult Oxdbf(const std::vector<std::string>& args) {
    std::vector<std::string> argv{BuildProgram("tools/oxdbf")};
    argv.insert(argv.end(), args.begin(), args.end());
    return RunProcess(argv);
  }
  // A table of every kind of field with one record, and its memo file.
  std::string MakeTable() {
    std::string table = Path("t.dbf");
    EXPECT_EQ(Oxdbf({"create", table, "name, C, 8, 0", "amount, N, 15, 2", "count, N, 4, 0", "ok, L, 1, 0",
                     "day, D, 8, 0", "notes, M, 10, 0"})
                  .exit_status,
              0);
    EXPECT_EQ(Oxdbf({"append", table, "name=Öl", "amount=12.5", "notes=alt"}).exit_status, 0);
    return table;
  }
  // What dbfread gives for field `name` of record `n` (Python repr).
  std::string Dbfread(const std::string& table, int n, const std::string& name) {
    ProcessResult r = RunProcess({"/usr/bin/python3", "-c",
                                  "import sys\nfrom dbfread import DBF\nr = list(DBF(sys.argv[1], encoding='cp850'))"
                                  "[int(sys.argv[2]) - 1]\nprint(repr(r[sys.argv[3]]))",
                                  table, std::to_string(n), name});
    EXPECT_EQ(r.exit_status, 0) << r.err;
    return r.out.substr(0, r.out.size() - 1);
  }
};

TEST_F(OxdbfValuesTest, ValuesThatCannotBeStoredAreRefusedAndNothingIsWritten) {
  const std::string table = MakeTable();
  const std::string memo = Path("t.dbt");
  struct Case {
    std::string assignment, shown;
  } cases[] = {
      {"amount=1234567890123.45", "passt nicht in das Feld"},  // 16 characters
      {"count=12345", "passt nicht in das Feld"},
      {"amount=9999999999.99", "nicht genau speicherbar"},   // beyond the 6-byte real
      {"count=1.5", "mehr Nachkommastellen"},
      {"amount=1.005", "mehr Nachkommastellen"},
      {"amount=12a", "keine Zahl"},
      {"name=zu langer Text", "länger als das Feld"},
      {"name=Ωμέγα", "U+03A9"},                             // Greek: not in code page 850
      {"notes=日本", "Zeichen außerhalb der Codepage"},
      {"day=20230229", "kein gültiges Datum"},
      {"ok=vielleicht", "kein logischer Wert"},
  };
  const std::string table_before = ReadFileBytes(table), memo_before = ReadFileBytes(memo);
  for (const Case& c : cases) {
    for (const char* command : {"append", "replace"}) {
      SCOPED_TRACE(std::string(command) + " " + c.assignment);
      std::vector<std::string> args{command, table};
      if (std::string(command) == "replace") args.push_back("1");
      args.push_back("notes=neuer Text");  // would be written first
      args.push_back(c.assignment);
      ProcessResult r = Oxdbf(args);
      EXPECT_EQ(r.exit_status, 220);
      std::string name = c.assignment.substr(0, c.assignment.find('='));
      EXPECT_NE(r.err.find("Unzulässiger Wert für " + name + ": "), std::string::npos) << r.err;
      EXPECT_NE(r.err.find(c.shown), std::string::npos) << r.err;
      EXPECT_EQ(ReadFileBytes(table), table_before);
      EXPECT_EQ(ReadFileBytes(memo), memo_before);
    }
  }
}

TEST_F(OxdbfValuesTest, ReplaceChangesOnlyTheNamedFields) {
  const std::string table = MakeTable();
  ASSERT_EQ(Oxdbf({"replace", table, "1", "count=-12", "day=19450508", "ok=T"}).exit_status, 0);
  EXPECT_EQ(Oxdbf({"dump", table}).out, "1   Öl | 12.50 | -12 | T | 1945-05-08 | alt\n");
  ProcessResult r = Oxdbf({"replace", table, "2", "count=1"});
  EXPECT_EQ(r.exit_status, 2) << r.err;
  EXPECT_NE(r.err.find("the table has records 1 to 1"), std::string::npos) << r.err;
}

TEST_F(OxdbfValuesTest, MemoTextsAreStoredExactly) {
  const std::string table = MakeTable();
  struct Case {
    std::string given, stored;
  } cases[] = {
      {"eins\r\nzwei", "'eins\\r\\nzwei'"},      // CR LF stays CR LF
      {"eins\nzwei\n", "'eins\\r\\nzwei\\r\\n'"},  // LF alone becomes CR LF
      {"endet mit Blank ", "'endet mit Blank '"},
      {"Grüße", "'Grüße'"},
  };
  int n = 1;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.given);
    ASSERT_EQ(Oxdbf({"append", table, "notes=" + c.given}).exit_status, 0);
    EXPECT_EQ(Dbfread(table, ++n, "NOTES").substr(0, c.stored.size() - 1) + "'", c.stored);
  }
}

TEST_F(OxdbfValuesTest, DumpAndEvalShowWhatIsStored) {
  ORVEX_REQUIRE_TESTDATA();
  const std::string numbers = TestdataDir() + "/dans-dbf-lib/dbase5/types/NUMBER.DBF";
  ProcessResult dump = Oxdbf({"dump", numbers, "--csv"});
  EXPECT_NE(dump.out.find("1111111111111111040,111.111111111111100"), std::string::npos) << dump.out;
  EXPECT_NE(dump.out.find("3333333333333332992,333.333333333333340"), std::string::npos) << dump.out;
  ProcessResult eval = Oxdbf({"eval", "--table", numbers, "--recno", "1", "MAXINT"});
  EXPECT_EQ(eval.out, "N 19 0\n1111111111111111040\n");
  eval = Oxdbf({"eval", "--table", numbers, "--recno", "1", "MAXDEC"});
  EXPECT_EQ(eval.out, "N 19 15\n111.111111111111100\n");

  // A memo of 3,000 lines is shown whole; eval gives memo text in UTF-8
  // with its line ends.
  const std::string table = MakeTable();
  std::string text;
  for (int i = 1; i <= 3000; ++i) text += "Zeile " + std::to_string(i) + "\n";
  ASSERT_EQ(Oxdbf({"append", table, "notes=" + text}).exit_status, 0);
  ASSERT_EQ(Oxdbf({"append", table, "notes=Grüße\nzurück"}).exit_status, 0);
  dump = Oxdbf({"dump", table, "--csv"});
  EXPECT_NE(dump.out.find("Zeile 2999\nZeile 3000\n\""), std::string::npos);
  eval = Oxdbf({"eval", "--table", table, "--recno", "3", "NOTES"});
  EXPECT_EQ(eval.out, "M 256 0\n\"Grüße\r\nzurück\"\n");
}

// A damaged N or D field holds bytes beyond ASCII: exports show them as the
// characters of the table's code page (850 here), so that CSV and JSON stay
// UTF-8 like the rest of the output.
TEST_F(OxdbfValuesTest, DamagedNumbersAndDatesAreExportedAsText) {
  const std::string table = MakeTable();
  std::string bytes = ReadFileBytes(table);
  const std::size_t record = 32 + 32 * 6 + 1;
  bytes.replace(record + 1 + 8, 15, std::string(10, ' ') + "12\xD5" + "50");  // amount
  bytes.replace(record + 1 + 8 + 15 + 4 + 1, 8, std::string("19\x8E") + "50508");  // day
  WriteFileBytes(table, bytes);
  ProcessResult csv = Oxdbf({"dump", table, "--csv", "--lf"});
  EXPECT_EQ(csv.out, "NAME,AMOUNT,COUNT,OK,DAY,NOTES\nÖl,12ı50,,,19Ä50508,alt\n");
  ProcessResult json = Oxdbf({"dump", table, "--json"});
  EXPECT_NE(json.out.find("\"AMOUNT\":\"12ı50\""), std::string::npos) << json.out;
  EXPECT_NE(json.out.find("\"DAY\":\"19Ä50508\""), std::string::npos) << json.out;
}

}  // namespace
}  // namespace orvex::test
