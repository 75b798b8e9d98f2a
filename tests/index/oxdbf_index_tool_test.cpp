// The index commands of oxdbf on a table made with the tool itself.
#include "index_test_support.h"
#include "platform/os/files.h"

namespace orvex::test {
namespace {

class OxdbfIndexTest : public ::testing::Test {
 protected:
  ProcessResult Run(std::vector<std::string> args) {
    args.insert(args.begin(), BuildProgram("tools/oxdbf"));
    return RunProcess(args);
  }
  void SetUp() override {
    table_ = dir_.File("movies.dbf");
    ASSERT_EQ(Run({"create", table_, "title, C, 30, 0", "year, N, 4, 0", "premiere, D, 8, 0"}).exit_status, 0);
    const char* rows[][3] = {{"Metropolis", "1927", "19270110"},
                             {"Der müde Tod", "1921", "19211006"},
                             {"Lola rennt", "1998", "19980820"},
                             {"M", "1931", "19310511"}};
    for (auto& row : rows) {
      ASSERT_EQ(Run({"append", table_, std::string("title=") + row[0], std::string("year=") + row[1],
                     std::string("premiere=") + row[2]})
                    .exit_status,
                0);
    }
  }
  TempDir dir_;
  std::string table_;
};

TEST_F(OxdbfIndexTest, IndexTagsDumpFindReindex) {
  ASSERT_EQ(Run({"index", table_, "TITLE", "LOWER(TITLE)"}).exit_status, 0);
  EXPECT_TRUE(os::FileExists(dir_.File("movies.mdx")));
  ASSERT_EQ(Run({"index", table_, "YEAR", "YEAR", "--descending"}).exit_status, 0);
  ASSERT_EQ(Run({"index", table_, "OLD", "YEAR", "--for", "YEAR < 1930", "--unique"}).exit_status, 0);
  ProcessResult tags = Run({"tags", table_});
  ASSERT_EQ(tags.exit_status, 0) << tags.err;
  EXPECT_NE(tags.out.find("TITLE      C     30 no     no          4  LOWER(TITLE)"), std::string::npos) << tags.out;
  EXPECT_NE(tags.out.find("YEAR       N     12 no     yes         4  YEAR"), std::string::npos) << tags.out;
  EXPECT_NE(tags.out.find("OLD        N     12 yes    no          2  YEAR  FOR YEAR<1930"), std::string::npos)
      << tags.out;
  ProcessResult dump = Run({"dump", table_, "--order", "YEAR", "--csv"});
  EXPECT_EQ(dump.out,
            "TITLE,YEAR,PREMIERE\r\nLola rennt,1998,1998-08-20\r\nM,1931,1931-05-11\r\nMetropolis,1927,1927-01-10\r\n"
            "Der müde Tod,1921,1921-10-06\r\n");
  ProcessResult found = Run({"find", table_, "TITLE", "der mu"});
  EXPECT_EQ(found.exit_status, 0);
  EXPECT_EQ(found.out, "2   Der müde Tod | 1921 | 1921-10-06\n");
  ProcessResult missing = Run({"find", table_, "TITLE", "Nosferatu"});
  EXPECT_EQ(missing.exit_status, 1);
  EXPECT_NE(missing.err.find("Nicht gefunden: Nosferatu"), std::string::npos);
  // Beyond every key, --near stands on the last one.
  EXPECT_EQ(Run({"find", table_, "TITLE", "Nosferatu", "--near"}).out, "1   Metropolis | 1927 | 1927-01-10\n");
  EXPECT_EQ(Run({"find", table_, "TITLE", "me", "--exact"}).exit_status, 1);
  std::string before = ReadFileBytes(os::ResolvePath(dir_.File("movies.mdx")));
  ASSERT_EQ(Run({"reindex", table_}).exit_status, 0);
  EXPECT_EQ(ReadFileBytes(os::ResolvePath(dir_.File("movies.mdx"))).size(), before.size());
  EXPECT_EQ(Run({"dump", table_, "--order", "NOSUCH"}).exit_status, 220);
  for (const char* command : {"tags", "find", "index", "reindex"}) {
    ProcessResult help = Run({command, "--help"});
    EXPECT_EQ(help.exit_status, 0);
    EXPECT_EQ(help.out.rfind(std::string("usage: oxdbf ") + command, 0), 0u) << help.out;
  }
}

// A character tag takes its key length from the width its expression
// declares, not from the first record's value; a search text longer than
// the key finds nothing, and a numeric search text is read whole.
TEST_F(OxdbfIndexTest, KeyLengthAndSearchTextsBeyondTheKey) {
  const std::string t = dir_.File("names.dbf");
  ASSERT_EQ(Run({"create", t, "name, C, 10, 0", "id, N, 5, 0"}).exit_status, 0);
  ASSERT_EQ(Run({"append", t, "name=ab", "id=7"}).exit_status, 0);
  ASSERT_EQ(Run({"append", t, "name=abcdef", "id=1000"}).exit_status, 0);
  ASSERT_EQ(Run({"append", t, "name=abz", "id=100"}).exit_status, 0);
  ASSERT_EQ(Run({"index", t, "TN", "TRIM(NAME)"}).exit_status, 0);
  ASSERT_EQ(Run({"index", t, "ID", "ID"}).exit_status, 0);
  ASSERT_EQ(Run({"index", t, "BIG", "ID*1000000000000000000"}).exit_status, 0);
  ProcessResult tags = Run({"tags", t});
  EXPECT_NE(tags.out.find("TN         C     10 no     no          3  TRIM(NAME)"),
            std::string::npos)
      << tags.out;
  EXPECT_EQ(Run({"find", t, "TN", "abz", "--exact"}).out.substr(0, 2), "3 ");
  EXPECT_EQ(Run({"dump", t, "--order", "TN", "--csv"}).out,
            "NAME,ID\r\nab,7\r\nabcdef,1000\r\nabz,100\r\n");
  EXPECT_EQ(Run({"find", t, "TN", "abcdef    XYZ", "--exact"}).exit_status, 1);
  EXPECT_EQ(Run({"find", t, "TN", "abcdef    XYZ"}).exit_status, 1);
  EXPECT_EQ(Run({"find", t, "TN", "abcdef    ", "--exact"}).out.substr(0, 2), "2 ");
  // Keys of 21 digits and more (1e20 and 1e21) keep their order.
  EXPECT_EQ(Run({"dump", t, "--order", "BIG", "--csv"}).out,
            "NAME,ID\r\nab,7\r\nabz,100\r\nabcdef,1000\r\n");
  EXPECT_EQ(Run({"find", t, "ID", "7e9", "--exact"}).exit_status, 1);
  EXPECT_EQ(Run({"find", t, "ID", "7e0", "--exact"}).out.substr(0, 2), "1 ");
  EXPECT_EQ(Run({"find", t, "BIG", "1e20", "--exact"}).out.substr(0, 2), "3 ");
  EXPECT_EQ(Run({"find", t, "ID", "seven", "--exact"}).exit_status, 1);
  ProcessResult check = Run({"check", t});
  EXPECT_EQ(check.exit_status, 0) << check.out << check.err;
}

// A tag whose keys would be longer than a key can be (100) is refused
// with 266 before anything is built.
TEST_F(OxdbfIndexTest, KeyThatDoesNotFitIsRefused) {
  const std::string t = dir_.File("wide.dbf");
  ASSERT_EQ(Run({"create", t, "a, C, 60, 0", "b, C, 60, 0"}).exit_status, 0);
  ProcessResult wide = Run({"index", t, "AB", "A+B"});
  EXPECT_EQ(wide.exit_status, 266 % 256) << wide.err;
  EXPECT_NE(wide.err.find("Nr. 266"), std::string::npos) << wide.err;
}

// dump --order on a damaged index stops with an error instead of printing
// records out of order or twice with status 0.
TEST_F(OxdbfIndexTest, DumpInOrderStopsAtDamage) {
  const std::string t = dir_.File("many.dbf");
  std::vector<TestRecord> records;
  for (int i = 0; i < 60; ++i) records.push_back({{std::to_string(100000 + i)}});
  WriteDbf(t, {{"NAME", 'C', 100}}, records);
  ASSERT_EQ(Run({"index", t, "NAME", "NAME"}).exit_status, 0);
  const std::string mdx = os::ResolvePath(dir_.File("many.mdx"));
  std::string bytes = ReadFileBytes(mdx);
  auto* b = reinterpret_cast<const std::uint8_t*>(bytes.data());
  std::uint32_t page = Get32(b + Get32(b + 512 + 32) * 512);  // the root
  while (Get32(b + page * 512 + 8 + Get32(b + page * 512) * 104) != 0) page = Get32(b + page * 512 + 8);
  const std::size_t first = page * 512 + 8 + 4, second = first + 104;  // two keys of the first leaf swapped
  const std::string key = bytes.substr(first, 100);
  bytes.replace(first, 100, bytes.substr(second, 100));
  bytes.replace(second, 100, key);
  WriteFileBytes(mdx, bytes);
  ProcessResult dump = Run({"dump", t, "--order", "NAME"});
  EXPECT_EQ(dump.exit_status, 254) << dump.out;
  EXPECT_NE(dump.err.find("beschädigt"), std::string::npos) << dump.err;
  ProcessResult check = Run({"check", t});
  EXPECT_EQ(check.exit_status, 1);
  EXPECT_NE(check.out.find("Baum beschädigt"), std::string::npos) << check.out;
}

}  // namespace
}  // namespace orvex::test
