// oxdbf on the bytes of tables: code pages chosen by the language-driver
// byte and written by create, create's refusals, the value forms of append,
// find's dates, and dump's export formats, damaged memos and short files.
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace orvex::test {
namespace {

class OxdbfTablesTest : public ::testing::Test {
 protected:
  ProcessResult Run(const std::vector<std::string>& args) {
    std::vector<std::string> argv{BuildProgram("tools/oxdbf")};
    argv.insert(argv.end(), args.begin(), args.end());
    return RunProcess(argv, {"LANG=C"});
  }
  ProcessResult Python(const std::string& code, const std::string& file) {
    return RunProcess({"/usr/bin/python3", "-c", code, file});
  }
  TempDir dir_;
};

TEST_F(OxdbfTablesTest, CodePageFromTheLanguageDriverByte) {
  ORVEX_REQUIRE_TESTDATA();
  const std::string data = TestdataDir() + "/";
  struct Case {
    std::string file, expected;  // a part of the CSV
  } cases[] = {
      {"javadbf/countries.dbf", "Côte d'Ivoire"},  // 0x57
      {"dbase-rs/cp936.dbf", "测试中文"},           // 0x4D
  };
  for (const Case& c : cases) {
    ProcessResult r = Run({"dump", data + c.file, "--csv"});
    EXPECT_EQ(r.exit_status, 0) << r.err;
    EXPECT_NE(r.out.find(c.expected), std::string::npos) << c.file << "\n" << r.out.substr(0, 400);
  }
  // --codepage overrides the byte.
  EXPECT_EQ(Run({"dump", data + "javadbf/countries.dbf", "--csv", "--codepage", "850"}).out.find("Côte"),
            std::string::npos);
}

TEST_F(OxdbfTablesTest, CreateWritesTheDriverByteAndOthersReadTheTextUntold) {
  struct Case {
    std::vector<std::string> options;
    unsigned char driver;
    std::string text;
  } cases[] = {{{}, 0x02, "Größe"},
               {{"--ansi"}, 0x03, "Größe"},
               {{"--codepage", "1251"}, 0xC9, "Привет"},
               {{"--codepage=852"}, 0x64, "Łódź"},
               {{"--codepage", "866"}, 0x65, "Привет"}};
  int n = 0;
  for (const Case& c : cases) {
    const std::string t = dir_.File("t" + std::to_string(n++) + ".dbf");
    std::vector<std::string> create{"create", t, "name, C, 12, 0"};
    create.insert(create.end(), c.options.begin(), c.options.end());
    ASSERT_EQ(Run(create).exit_status, 0);
    EXPECT_EQ(static_cast<unsigned char>(ReadFileBytes(t)[29]), c.driver);
    // Later calls find the code page in the file.
    ASSERT_EQ(Run({"append", t, "name=" + c.text}).exit_status, 0);
    EXPECT_EQ(Run({"dump", t, "--csv", "--lf"}).out, "NAME\n" + c.text + "\n");
    ProcessResult theirs = Python("import sys, dbfread; print(list(dbfread.DBF(sys.argv[1]))[0]['NAME'])", t);
    EXPECT_EQ(theirs.out, c.text + "\n") << theirs.err;
  }
  // What the code page cannot hold is refused, the file unchanged.
  const std::string t = dir_.File("t0.dbf");
  const std::string before = ReadFileBytes(t);
  ProcessResult r = Run({"append", t, "name=Привет"});
  EXPECT_EQ(r.exit_status, 220);
  EXPECT_NE(r.err.find("U+041F"), std::string::npos) << r.err;
  EXPECT_EQ(ReadFileBytes(t), before);
}

// locate and eval take UTF-8 and search and answer in the table's code page,
// the one python3-dbfread decodes the same table with; delete and recall
// change the flag byte alone.
TEST_F(OxdbfTablesTest, LocateAndEvalWorkInTheTablesCodePage) {
  ORVEX_REQUIRE_TESTDATA();
  const std::string countries = TestdataDir() + "/javadbf/countries.dbf";  // 0x57: 1252
  const std::string socios = TestdataDir() + "/php-xbase/socios.dbf";      // 0x03: 1252
  const std::string chinese = TestdataDir() + "/dbase-rs/cp936.dbf";       // 0x4D: 936
  const std::string ru = dir_.File("ru.dbf"), de = dir_.File("de.dbf");    // 1251, 850
  ASSERT_EQ(Run({"create", ru, "name, C, 12, 0", "--codepage", "1251"}).exit_status, 0);
  ASSERT_EQ(Run({"create", de, "name, C, 12, 0"}).exit_status, 0);
  for (const std::string name : {"Привет ёж", "привет", "Ёлка"}) ASSERT_EQ(Run({"append", ru, "name=" + name}).exit_status, 0);
  for (const std::string name : {"Größe", "grün", "Öl"}) ASSERT_EQ(Run({"append", de, "name=" + name}).exit_status, 0);
  struct Case {
    std::vector<std::string> args;  // the table is args[1] for locate, args[2] for eval
    std::string theirs;             // Python over t, [(recno, {field: text})], giving the lines
  } cases[] = {
      {{"locate", countries, "NAME_SORT", "Ivory Coast (Côte"},
       "[i for i, r in t if r['NAME_SORT'].startswith('Ivory Coast (Côte')][:1]"},
      {{"locate", countries, "NAME_SORT", "CÔTE", "--nocase", "--contained", "--all"},
       "[i for i, r in t if 'CÔTE' in r['NAME_SORT'].upper()]"},
      {{"locate", socios, "PAIS", "panamÃ¡", "--nocase", "--all"}, "[i for i, r in t if r['PAIS'] == 'PANAMÃ¡']"},
      {{"locate", chinese, "TEST", "测试"}, "[i for i, r in t if r['TEST'].startswith('测试')]"},
      {{"eval", "--table", chinese, "TRIM(TEST)"}, "['\"' + t[0][1]['TEST'] + '\"']"},
      {{"locate", ru, "name", "ривет", "--contained", "--all"}, "[i for i, r in t if 'ривет' in r['NAME']]"},
      {{"locate", ru, "name", "Ёлка"}, "[i for i, r in t if r['NAME'] == 'Ёлка']"},
      {{"eval", "--table", ru, "--recno", "3", "TRIM(NAME) + '!'"}, "['\"' + t[2][1]['NAME'] + '!\"']"},
      {{"eval", "--table", ru, "TRIM(NAME) = 'Привет ёж'"}, "['.T.' if t[0][1]['NAME'] == 'Привет ёж' else '.F.']"},
      {{"locate", de, "name", "GRÜN", "--nocase"}, "[i for i, r in t if r['NAME'].upper() == 'GRÜN']"},
      {{"eval", "--table", de, "--recno", "3", "UPPER(TRIM(NAME))"}, "['\"' + t[2][1]['NAME'].upper() + '\"']"},
  };
  const std::string python =
      "import sys, dbfread\n"
      "d = dbfread.DBF(sys.argv[1], raw=True)\n"
      "t = [(i, {k: v.decode(d.encoding).rstrip(' \\0') for k, v in r.items()}) for i, r in enumerate(d, 1)]\n"
      "print(*";
  for (const Case& c : cases) {
    const bool eval = c.args[0] == "eval";
    ProcessResult ours = Run(c.args);
    EXPECT_EQ(ours.exit_status, 0) << c.args[3] << ours.err;
    ProcessResult theirs = Python(python + "(" + c.theirs + "), sep='\\n')", c.args[eval ? 2 : 1]);
    ASSERT_EQ(theirs.exit_status, 0) << theirs.err;
    EXPECT_EQ(eval ? ours.out.substr(ours.out.find('\n') + 1) : ours.out, theirs.out) << c.args[3];
  }
  // Text the table's code page (or, for 850, the library's text) cannot
  // hold is refused, as is --nocase beyond ASCII where the library's case
  // rules do not hold.
  struct Refusal {
    std::vector<std::string> args;
    std::string reason;
  } refusals[] = {
      {{"locate", de, "name", "Привет"}, "U+041F"},
      {{"eval", "--table", countries, "'Привет'"}, "U+041F"},
      {{"eval", "--table", de, "'─'"}, "U+2500"},
      {{"locate", ru, "name", "ёж", "--nocase"}, "NOCASE"},
  };
  for (const Refusal& r : refusals) {
    ProcessResult ours = Run(r.args);
    EXPECT_EQ(ours.exit_status, 220) << r.args[3];
    EXPECT_NE(ours.err.find(r.reason), std::string::npos) << ours.err;
  }
  const std::string before = ReadFileBytes(ru);
  ASSERT_EQ(Run({"delete", ru, "2"}).exit_status, 0);
  std::string deleted = before;
  deleted[32 * 2 + 1 + 13] = '*';
  EXPECT_EQ(ReadFileBytes(ru), deleted);
  ASSERT_EQ(Run({"recall", ru, "2"}).exit_status, 0);
  EXPECT_EQ(ReadFileBytes(ru), before);
}

TEST_F(OxdbfTablesTest, CreateRefusesBadDefinitionsAndExistingFiles) {
  const std::string t = dir_.File("films.dbf");
  struct Case {
    std::string field, reason;
  } cases[] = {
      {"1st, C, 5, 0", "must start with a letter"},
      {"a-b, C, 5, 0", "only A-Z, 0-9 and _"},
      {"abcdefghijk, C, 5, 0", "longer than 10"},
      {"name, C, 0, 0", "C fields are 1 to 254"},
      {"name, C, 255, 0", "C fields are 1 to 254"},
      {"n, N, 21, 0", "N and F fields are 1 to 20"},
      {"n, N, 4, 3", "room for the point"},
      {"d, D, 6, 0", "D fields are 8 long"},
      {"m, M, 4, 0", "M fields are 10 long"},
      {"q, Q, 4, 0", "unknown field type Q"},
  };
  for (const Case& c : cases) {
    ProcessResult r = Run({"create", t, c.field});
    EXPECT_EQ(r.exit_status, 211) << c.field;
    EXPECT_NE(r.err.find(c.reason), std::string::npos) << r.err;
  }
  ProcessResult twice = Run({"create", t, "Name, C, 5, 0", "NAME, N, 3, 0"});
  EXPECT_NE(twice.err.find("given twice: NAME"), std::string::npos) << twice.err;
  EXPECT_FALSE(std::ifstream(t).good());

  ASSERT_EQ(Run({"create", t, "name, C, 5, 0", "plot, M, 10, 0", "--memo", "fpt"}).exit_status, 0);
  ASSERT_EQ(Run({"append", t, "name=keep", "plot=text"}).exit_status, 0);
  const std::string table = ReadFileBytes(t), memo = ReadFileBytes(dir_.File("films.fpt"));
  EXPECT_EQ(static_cast<unsigned char>(table[0]), 0xF5);
  ProcessResult r = Run({"create", t, "other, C, 5, 0"});
  EXPECT_EQ(r.exit_status, 5);
  EXPECT_NE(r.err.find("--force"), std::string::npos) << r.err;
  EXPECT_EQ(ReadFileBytes(t), table);
  EXPECT_EQ(ReadFileBytes(dir_.File("films.fpt")), memo);
  ASSERT_EQ(Run({"create", t, "other, C, 5, 0", "--force"}).exit_status, 0);
  EXPECT_EQ(Run({"dump", t, "--csv", "--lf"}).out, "OTHER\n");

  // Memo kinds others read under the names they look for: dBASE III by
  // dbfread, FoxPro by python-dbf (which refuses dBASE IV tables).
  struct Kind {
    std::string kind, version, memo, reader;
  } kinds[] = {
      {"dbt3", "\x83", "dbt3.dbt", "import sys, dbfread; print(repr(list(dbfread.DBF(sys.argv[1]))[0]['PLOT']))"},
      {"fpt", "\xF5", "fpt.fpt",
       "import sys, dbf; t = dbf.Table(sys.argv[1]); t.open(); print(repr(t[0].plot.strip()))"},
      {"dbt4", "\x8B", "dbt4.dbt", ""},
  };
  for (const Kind& k : kinds) {
    const std::string m = dir_.File(k.kind + ".dbf");
    ASSERT_EQ(Run({"create", m, "plot, M, 10, 0", "--memo=" + k.kind}).exit_status, 0);
    ASSERT_EQ(Run({"append", m, "plot=Zwei\nZeilen"}).exit_status, 0);
    EXPECT_EQ(ReadFileBytes(m).substr(0, 1), k.version);
    EXPECT_TRUE(std::ifstream(dir_.File(k.memo)).good()) << k.memo;
    if (k.reader.empty()) continue;
    ProcessResult theirs = RunProcess({"/usr/bin/python3", "-c", k.reader, m});
    EXPECT_EQ(theirs.out, "'Zwei\\r\\nZeilen'\n") << k.kind << theirs.err;
  }
}

TEST_F(OxdbfTablesTest, AppendValueFormsAndFieldsNotGivenStayBlank) {
  const std::string t = dir_.File("v.dbf");
  ASSERT_EQ(Run({"create", t, "n, N, 5, 1", "ok, L, 1, 0", "day, D, 8, 0", "name, C, 4, 0"}).exit_status, 0);
  struct Case {
    std::string value, stored;  // given for ok / day, the record's bytes
  } cases[] = {
      {"ok=.T.", "      T        "},      {"ok=f", "      F        "},    {"ok=true", "      T        "},
      {"ok=No", "      F        "},      {"ok=Y", "      T        "},    {"day=2024-12-31", "       20241231"},
      {"day=20240229", "       20240229"}, {"name=ab", "               ab  "},
  };
  const std::size_t header = 32 * 5 + 1;
  int recno = 0;
  for (const Case& c : cases) {
    ASSERT_EQ(Run({"append", t, c.value}).exit_status, 0) << c.value;
    std::string bytes = ReadFileBytes(t);
    std::string record = bytes.substr(header + static_cast<std::size_t>(recno++) * 19, 19);
    EXPECT_EQ(record.substr(0, c.stored.size()), c.stored) << c.value;
  }
  for (const std::string bad : {"ok=maybe", "day=2024-02-30", "day=31.12.2024x", "n=1.25"}) {
    EXPECT_EQ(Run({"append", t, bad}).exit_status, 220) << bad;
  }
  EXPECT_EQ(Run({"dump", t, "--csv", "--lf"}).out,
            "N,OK,DAY,NAME\n,T,,\n,F,,\n,T,,\n,F,,\n,T,,\n,,2024-12-31,\n,,2024-02-29,\n,,,ab\n");
}

TEST_F(OxdbfTablesTest, FindTakesDatesAsAppendDoesAndShowsThemAsDumpDoes) {
  const std::string t = dir_.File("f.dbf");
  ASSERT_EQ(Run({"create", t, "name, C, 4, 0", "day, D, 8, 0"}).exit_status, 0);
  ASSERT_EQ(Run({"append", t, "name=old", "day=1999-05-01"}).exit_status, 0);
  ASSERT_EQ(Run({"append", t, "name=new", "day=2021-12-31"}).exit_status, 0);
  ASSERT_EQ(Run({"append", t, "name=none"}).exit_status, 0);
  ASSERT_EQ(Run({"index", t, "DAY", "DAY"}).exit_status, 0);
  // ISO, as stored, and the national form of the user's locale (American
  // outside German ones).
  for (const std::string date : {"2021-12-31", "20211231", "12/31/2021"}) {
    ProcessResult r = Run({"find", t, "DAY", date, "--exact"});
    EXPECT_EQ(r.exit_status, 0) << date << r.err;
    EXPECT_EQ(r.out, "2   new | 2021-12-31\n") << date;
  }
  // Texts that are no date are refused, not searched as the blank date.
  for (const std::string bad : {"garbage", "31.12.2021", "2021-02-30", "2021-13-01"}) {
    ProcessResult r = Run({"find", t, "DAY", bad});
    EXPECT_EQ(r.exit_status, 2) << bad;
    EXPECT_EQ(r.out, "") << bad;
    EXPECT_NE(r.err.find("not a date: " + bad), std::string::npos) << r.err;
  }
  EXPECT_EQ(Run({"dump", t}).out, "1   old | 1999-05-01\n2   new | 2021-12-31\n3   none | \n");
}

TEST_F(OxdbfTablesTest, ExportFormats) {
  const std::string t = dir_.File("e.dbf");
  ASSERT_EQ(Run({"create", t, "name, C, 8, 0", "n, N, 6, 2", "ok, L, 1, 0", "day, D, 8, 0", "memo, M, 10, 0"})
                .exit_status,
            0);
  ASSERT_EQ(Run({"append", t, "name=a,\"b\"", "n=-.5", "ok=T", "day=2024-01-02", "memo=x\ny"}).exit_status, 0);
  ASSERT_EQ(Run({"append", t, "name=gone", "n=0"}).exit_status, 0);
  ASSERT_EQ(Run({"append", t}).exit_status, 0);
  ASSERT_EQ(Run({"delete", t, "2"}).exit_status, 0);
  struct Case {
    std::vector<std::string> options;
    std::string out;
  } cases[] = {
      {{"--csv"}, "NAME,N,OK,DAY,MEMO\r\n\"a,\"\"b\"\"\",-0.50,T,2024-01-02,\"x\ny\"\r\n,,,,\r\n"},
      {{"--csv", "--lf", "--with-deleted"},
       "_deleted,NAME,N,OK,DAY,MEMO\nF,\"a,\"\"b\"\"\",-0.50,T,2024-01-02,\"x\ny\"\nT,gone,0.00,,,\nF,,,,,\n"},
      {{"--json"},
       "{\"NAME\":\"a,\\\"b\\\"\",\"N\":-0.50,\"OK\":true,\"DAY\":\"2024-01-02\",\"MEMO\":\"x\\ny\"}\n"
       "{\"NAME\":\"\",\"N\":null,\"OK\":null,\"DAY\":null,\"MEMO\":\"\"}\n"},
      {{"--json", "--with-deleted"}, "{\"_deleted\":true,\"NAME\":\"gone\",\"N\":0.00,"},
      {{}, "1   a,\"b\" | -0.50 | T | 2024-01-02 | x\ny\n2 * gone | 0.00 |  |  | \n3   "},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args{"dump", t};
    args.insert(args.end(), c.options.begin(), c.options.end());
    ProcessResult r = Run(args);
    EXPECT_EQ(r.exit_status, 0) << r.err;
    if (c.options.size() == 2 && c.options[0] == "--json") {
      EXPECT_NE(r.out.find(c.out), std::string::npos) << r.out;
    } else {
      EXPECT_EQ(r.out.substr(0, c.out.size()), c.out);
    }
  }
}

TEST_F(OxdbfTablesTest, DamagedMemoAndShortFileWarnAndGoOn) {
  const std::string t = dir_.File("d.dbf");
  ASSERT_EQ(Run({"create", t, "name, C, 4, 0", "memo, M, 10, 0", "--memo", "dbt3"}).exit_status, 0);
  for (const std::string name : {"a", "b", "c"}) ASSERT_EQ(Run({"append", t, "name=" + name, "memo=m" + name}).exit_status, 0);
  // Record 2's memo pointer points far beyond the memo file.
  std::string bytes = ReadFileBytes(t);
  const std::size_t header = 32 * 3 + 1, record = 15;
  bytes.replace(header + record + 5, 10, "    999999");
  WriteFileBytes(t, bytes);
  ProcessResult r = Run({"dump", t, "--csv", "--lf"});
  EXPECT_EQ(r.exit_status, 1);
  EXPECT_EQ(r.out, "NAME,MEMO\na,ma\nb,\nc,mc\n");
  EXPECT_NE(r.err.find("record 2, field MEMO left empty: Fehler Nr."), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("the export is incomplete"), std::string::npos) << r.err;

  // dBASE IV memos: a length past the end of the file (the cell would hold
  // the next memos' text), a file cut inside a memo, references of 2^32 and
  // more and ones that are no number. Each is a warning and status 1; the
  // other cells are exported as they are.
  const std::string m = dir_.File("m.dbf");
  ASSERT_EQ(Run({"create", m, "name, C, 4, 0", "memo, M, 10, 0"}).exit_status, 0);
  const std::string long_text(3000, 'L');
  for (const std::string& memo : {std::string("one"), std::string("two"), long_text}) {
    ASSERT_EQ(Run({"append", m, "name=" + memo.substr(0, 3), "memo=" + memo}).exit_status, 0);
  }
  const std::string table = ReadFileBytes(m), memo = ReadFileBytes(dir_.File("m.dbt"));
  auto with_reference = [&](int recno, const std::string& reference) {
    std::string bytes = table;
    bytes.replace(header + static_cast<std::size_t>(recno - 1) * record + 5, 10, reference);
    return bytes;
  };
  struct Damage {
    const char* what;
    std::string table, memo;
    int recno;
  } damages[] = {
      {"length past the end", table,
       memo.substr(0, 512 + 4) + std::string("\x00\x10\x00\x00", 4) + memo.substr(520), 1},
      {"memo file cut short", table, memo.substr(0, 1536 + 1000), 3},
      {"reference of 2^32 + 1", with_reference(1, "4294967297"), memo, 1},
      {"reference of letters", with_reference(2, "   two    "), memo, 2},
  };
  const std::string rows[] = {"one,one\n", "two,two\n", "LLL," + long_text + "\n"};
  for (const Damage& d : damages) {
    SCOPED_TRACE(d.what);
    WriteFileBytes(m, d.table);
    WriteFileBytes(dir_.File("m.dbt"), d.memo);
    r = Run({"dump", m, "--csv", "--lf"});
    EXPECT_EQ(r.exit_status, 1) << r.err;
    std::string expected = "NAME,MEMO\n";
    for (int i = 1; i <= 3; ++i) {
      const std::string& row = rows[i - 1];
      expected += i == d.recno ? row.substr(0, row.find(',') + 1) + "\n" : row;
    }
    EXPECT_EQ(r.out, expected);
    EXPECT_NE(r.err.find("record " + std::to_string(d.recno) +
                         ", field MEMO left empty: Fehler Nr. 1003"),
              std::string::npos)
        << r.err;
  }

  // A file cut after two records: a warning with both counts, two rows.
  const std::string s = dir_.File("s.dbf");
  ASSERT_EQ(Run({"create", s, "name, C, 4, 0"}).exit_status, 0);
  for (const std::string name : {"a", "b", "c"}) ASSERT_EQ(Run({"append", s, "name=" + name}).exit_status, 0);
  WriteFileBytes(s, ReadFileBytes(s).substr(0, 32 * 2 + 1 + 2 * 5));
  r = Run({"--exclusive", "dump", s, "--csv", "--lf"});
  EXPECT_NE(r.err.find("shorter than its header says: 3 records in the header, 2 in the file"), std::string::npos)
      << r.err;
  EXPECT_EQ(r.out, "NAME\na\nb\n");
}

// create looks for every file it would write as opening does: in any letter
// case, under the name as given (not with its extension swapped for .dbf),
// and under the bytes of a name in any script.
TEST_F(OxdbfTablesTest, CreateRefusesEveryExistingFileOfTheNameInAnyCase) {
  const std::string films = dir_.File("films.dbf");
  ASSERT_EQ(Run({"create", films, "title,C,10,0"}).exit_status, 0);
  ASSERT_EQ(Run({"append", films, "title=precious"}).exit_status, 0);
  const std::string kept = ReadFileBytes(films);
  ProcessResult r = Run({"create", dir_.File("FILMS.dbf"), "other,N,2,0"});
  EXPECT_EQ(r.exit_status, 5) << r.err;
  EXPECT_NE(r.err.find("films.dbf (--force"), std::string::npos) << r.err;
  EXPECT_EQ(ReadFileBytes(films), kept);
  EXPECT_FALSE(std::filesystem::exists(dir_.File("FILMS.dbf")));
  EXPECT_EQ(
      Python("import sys, dbfread; print([dict(r) for r in dbfread.DBF(sys.argv[1])])", films).out,
      "[{'TITLE': 'precious'}]\n");

  const std::string tab = dir_.File("b.tab");
  ASSERT_EQ(Run({"create", tab, "id,N,3,0"}).exit_status, 0);
  ASSERT_EQ(Run({"append", tab, "id=5"}).exit_status, 0);
  EXPECT_EQ(Run({"create", tab, "x,C,3,0"}).exit_status, 5);
  EXPECT_EQ(Run({"create", dir_.File("B.TAB"), "x,C,3,0"}).exit_status, 5);
  EXPECT_EQ(Run({"dump", tab, "--csv", "--lf"}).out, "ID\n5\n");

  // Names outside Windows-1252: two tables, each under its own name.
  const std::string table = dir_.File("表格.dbf"), data = dir_.File("数据.dbf");
  r = Run({"create", table, "name,C,10,0"});
  ASSERT_EQ(r.exit_status, 0) << r.err;
  ASSERT_EQ(Run({"append", table, "name=Tabelle"}).exit_status, 0);
  r = Run({"create", data, "other,N,3,0"});
  ASSERT_EQ(r.exit_status, 0) << r.err;
  EXPECT_EQ(Run({"create", table, "x,C,3,0"}).exit_status, 5);
  EXPECT_FALSE(std::filesystem::exists(dir_.File("??.dbf")));
  EXPECT_EQ(
      Python("import sys, dbfread; print([dict(r) for r in dbfread.DBF(sys.argv[1])])", table).out,
      "[{'NAME': 'Tabelle'}]\n");
  EXPECT_EQ(Run({"dump", data, "--csv", "--lf"}).out, "OTHER\n");

  // A memo file or production index left without its table would be taken
  // by the new table for its own.
  const std::string memo_table = dir_.File("m.dbf");
  ASSERT_EQ(Run({"create", memo_table, "plot,M,10,0"}).exit_status, 0);
  ASSERT_EQ(Run({"append", memo_table, "plot=old text"}).exit_status, 0);
  const std::string memo = ReadFileBytes(dir_.File("m.dbt"));
  std::filesystem::remove(memo_table);
  r = Run({"create", dir_.File("M.DBF"), "plot,M,10,0"});
  EXPECT_EQ(r.exit_status, 5);
  EXPECT_NE(r.err.find("m.dbt"), std::string::npos) << r.err;
  EXPECT_EQ(ReadFileBytes(dir_.File("m.dbt")), memo);
  EXPECT_FALSE(std::filesystem::exists(dir_.File("M.DBF")));
  WriteFileBytes(dir_.File("I.MDX"), "an index");
  EXPECT_EQ(Run({"create", dir_.File("i.dbf"), "n,N,2,0"}).exit_status, 5);
  EXPECT_FALSE(std::filesystem::exists(dir_.File("i.dbf")));
}

// A forced create leaves no file of the old table that the new one would
// take for its own: the production index and the old memo file go.
TEST_F(OxdbfTablesTest, ForcedCreateRemovesTheOldMemoAndIndex) {
  const std::string t = dir_.File("films.dbf");
  ASSERT_EQ(Run({"create", t, "title,C,20,0", "plot,M,10,0"}).exit_status, 0);
  for (const std::string title : {"one", "two", "three"}) {
    ASSERT_EQ(Run({"append", t, "title=" + title, "plot=about " + title}).exit_status, 0);
  }
  ProcessResult r = Run({"index", t, "TITLE", "TITLE"});
  ASSERT_EQ(r.exit_status, 0) << r.err;
  ASSERT_TRUE(std::filesystem::exists(dir_.File("films.mdx")));

  r = Run({"create", dir_.File("Films.dbf"), "year,N,4,0", "--force"});
  ASSERT_EQ(r.exit_status, 0) << r.err;
  EXPECT_FALSE(std::filesystem::exists(dir_.File("films.mdx")));
  EXPECT_FALSE(std::filesystem::exists(dir_.File("films.dbt")));
  EXPECT_FALSE(std::filesystem::exists(dir_.File("Films.dbf")));  // the table kept its name
  r = Run({"append", t, "year=1999"});
  EXPECT_EQ(r.exit_status, 0) << r.err;
  EXPECT_EQ(Run({"dump", t, "--csv", "--lf"}).out, "YEAR\n1999\n");
  EXPECT_EQ(
      Python("import sys, dbfread; print([dict(r) for r in dbfread.DBF(sys.argv[1])])", t).out,
      "[{'YEAR': 1999}]\n");

  // A new memo table replaces the memo file of the other kind too.
  ASSERT_EQ(Run({"create", t, "plot,M,10,0", "--memo", "fpt"}).exit_status, 5);
  ASSERT_EQ(Run({"create", t, "plot,M,10,0", "--force"}).exit_status, 0);
  ASSERT_EQ(Run({"append", t, "plot=dbt text"}).exit_status, 0);
  ASSERT_EQ(Run({"create", t, "plot,M,10,0", "--memo", "fpt", "--force"}).exit_status, 0);
  EXPECT_FALSE(std::filesystem::exists(dir_.File("films.dbt")));
  EXPECT_TRUE(std::filesystem::exists(dir_.File("films.fpt")));
}

// A folder whose name holds characters outside Windows-1252 works like any
// other, and the memo file beside a long table name keeps that name.
TEST_F(OxdbfTablesTest, NamesInAnyScriptReachTheFileSystemAsGiven) {
  std::filesystem::create_directory(dir_.File("数据"));
  const std::string t = dir_.File("数据/mt.dbf");
  ProcessResult r = Run({"create", t, "name,C,10,0", "plot,M,10,0"});
  ASSERT_EQ(r.exit_status, 0) << r.err;
  r = Run({"append", dir_.File("数据/MT.DBF"), "name=Zeile", "plot=Text"});
  ASSERT_EQ(r.exit_status, 0) << r.err;
  EXPECT_EQ(Run({"dump", t, "--csv", "--lf"}).out, "NAME,PLOT\nZeile,Text\n");
  EXPECT_TRUE(std::filesystem::exists(dir_.File("数据/mt.dbt")));

  std::string long_name;
  for (int i = 0; i < 30; ++i) long_name += "長";  // 90 bytes
  const std::string l = dir_.File(long_name + ".dbf");
  ASSERT_EQ(Run({"create", l, "plot,M,10,0"}).exit_status, 0);
  EXPECT_TRUE(std::filesystem::exists(dir_.File(long_name + ".dbt")));
  r = Run({"append", l, "plot=lang"});
  ASSERT_EQ(r.exit_status, 0) << r.err;
  EXPECT_EQ(Run({"dump", l, "--csv", "--lf"}).out, "PLOT\nlang\n");
  r = Run({"info", l});
  EXPECT_NE(r.out.find(long_name + ".dbf"), std::string::npos) << r.out;

  // Messages name the files as given: the library's text of a name loses
  // what Windows-1252 lacks, and the name's bytes taken for that text are
  // mojibake ("größe" as "grÃ¶ÃŸe").
  r = Run({"dump", dir_.File("数据/表格.dbf")});
  EXPECT_NE(r.err.find("数据/表格.dbf [USE/OpenDbf]"), std::string::npos) << r.err;
  const std::string g = dir_.File("größe.dbf");
  ASSERT_EQ(Run({"create", g, "plot,M,10,0"}).exit_status, 0);
  ASSERT_EQ(Run({"append", g, "plot=ein längerer Text"}).exit_status, 0);
  std::filesystem::resize_file(dir_.File("größe.dbt"), 515);
  r = Run({"dump", g});
  EXPECT_NE(r.err.find("/größe.dbt Record # 1"), std::string::npos) << r.err;
}

// A file replaced by a rename is replaced where it lives: the links stay
// links and the linked files hold the new content.
TEST_F(OxdbfTablesTest, ReplacementsThroughSymlinksReplaceTheLinkedFiles) {
  namespace fs = std::filesystem;
  fs::create_directory(dir_.File("real"));
  const std::string real = dir_.File("real/mt.dbf");
  ASSERT_EQ(Run({"create", real, "name,C,4,0", "plot,M,10,0"}).exit_status, 0);
  for (const std::string name : {"a", "b", "c"}) {
    ASSERT_EQ(
        Run({"append", real, "name=" + name, "plot=" + std::string(600, name[0])}).exit_status, 0);
  }
  ASSERT_EQ(Run({"replace", real, "2", "plot=second"}).exit_status, 0);  // leaves a dead memo
  fs::create_symlink("real/mt.dbf", dir_.File("link.dbf"));
  fs::create_symlink("real/mt.dbt", dir_.File("link.dbt"));
  const auto before = fs::file_size(dir_.File("real/mt.dbt"));

  ProcessResult r = Run({"pack-memo", dir_.File("link.dbf")});
  ASSERT_EQ(r.exit_status, 0) << r.err;
  EXPECT_TRUE(fs::is_symlink(dir_.File("link.dbt")));
  EXPECT_TRUE(fs::is_symlink(dir_.File("link.dbf")));
  EXPECT_EQ(fs::read_symlink(dir_.File("link.dbt")), "real/mt.dbt");
  EXPECT_LT(fs::file_size(dir_.File("real/mt.dbt")), before);
  const std::string expected =
      "NAME,PLOT\na," + std::string(600, 'a') + "\nb,second\nc," + std::string(600, 'c') + "\n";
  EXPECT_EQ(Run({"dump", real, "--csv", "--lf"}).out, expected);
  EXPECT_EQ(
      Python("import sys, dbfread; print([r['PLOT'][:6] for r in dbfread.DBF(sys.argv[1])])", real)
          .out,
      "['aaaaaa', 'second', 'cccccc']\n");

  // A forced create through the links replaces the linked table and memo.
  r = Run({"create", dir_.File("link.dbf"), "note,M,10,0", "--force"});
  ASSERT_EQ(r.exit_status, 0) << r.err;
  EXPECT_TRUE(fs::is_symlink(dir_.File("link.dbf")));
  EXPECT_TRUE(fs::is_symlink(dir_.File("link.dbt")));
  ASSERT_EQ(Run({"append", dir_.File("link.dbf"), "note=new"}).exit_status, 0);
  EXPECT_EQ(Run({"dump", real, "--csv", "--lf"}).out, "NOTE\nnew\n");
}

}  // namespace
}  // namespace orvex::test
