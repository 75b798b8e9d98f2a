// oxdbf append, delete and replace keep a production index written by other
// software, and oxdbf check tells a consistent index from a stale one.
#include <chrono>
#include <filesystem>
#include <thread>

#include "index_test_support.h"
#include "platform/os/files.h"

namespace orvex::test {
namespace {

class OxdbfMaintenanceTest : public ::testing::Test {
 protected:
  ProcessResult Run(std::vector<std::string> args) {
    args.insert(args.begin(), BuildProgram("tools/oxdbf"));
    return RunProcess(args);
  }
  TempDir dir_;
};

TEST_F(OxdbfMaintenanceTest, RecordCommandsKeepASiemensUniqueForTag) {
  const std::string source = TestdataDir() + "/siemens-step7/expb-conn/VERBTAB";
  if (TestdataDir().empty() || !os::FileExists(source + ".DBF")) GTEST_SKIP() << "test data absent";
  const std::string table = dir_.File("VERBTAB.DBF");
  WriteFileBytes(table, ReadFileBytes(source + ".DBF"));
  WriteFileBytes(dir_.File("VERBTAB.MDX"), ReadFileBytes(source + ".MDX"));
  // ID_TAG: unique on ID, FOR .NOT. DELETED().
  ASSERT_EQ(Run({"append", table, "ID=99", "NAME=neu"}).exit_status, 0);
  EXPECT_EQ(Run({"find", table, "ID_TAG", "99"}).out.substr(0, 2), "8 ");
  ProcessResult check = Run({"check", table});
  EXPECT_EQ(check.exit_status, 0) << check.out << check.err;
  ASSERT_EQ(Run({"delete", table, "8"}).exit_status, 0);
  EXPECT_EQ(Run({"find", table, "ID_TAG", "99"}).exit_status, 1);
  ASSERT_EQ(Run({"recall", table, "8"}).exit_status, 0);
  ASSERT_EQ(Run({"replace", table, "8", "ID=100"}).exit_status, 0);
  EXPECT_EQ(Run({"find", table, "ID_TAG", "100"}).out.substr(0, 2), "8 ");
  EXPECT_EQ(Run({"find", table, "ID_TAG", "99"}).exit_status, 1);
  check = Run({"check", table});
  EXPECT_EQ(check.exit_status, 0) << check.out << check.err;
}

TEST_F(OxdbfMaintenanceTest, CheckReportsAKeyTheRecordNoLongerGives) {
  const std::string table = dir_.File("t.dbf");
  WriteDbf(table, {{"NAME", 'C', 10}}, {{{"berta"}}, {{"anna"}, true}, {{"carl"}}});
  ASSERT_EQ(Run({"index", table, "NAME", "NAME"}).exit_status, 0);
  ProcessResult check = Run({"check", table});
  EXPECT_EQ(check.exit_status, 0) << check.out << check.err;
  // Record 1 changed behind the index's back.
  std::string bytes = ReadFileBytes(table);
  bytes.replace(32 + 32 + 1 + 1, 5, "zorro");
  WriteFileBytes(table, bytes);
  check = Run({"check", table});
  EXPECT_EQ(check.exit_status, 1);
  EXPECT_NE(check.out.find("NAME: Datensatz 1 hat Schlüssel berta"), std::string::npos)
      << check.out;
  EXPECT_NE(check.out.find("1 Befunde"), std::string::npos) << check.out;
}

// check counts the records as the build does (from the file's size, not a
// stale header count), finds a record missing from a tag, and names a
// production index that the table's header promises but that is gone.
TEST_F(OxdbfMaintenanceTest, CheckCountsAsTheBuildAndFindsMissingKeysAndLostTags) {
  const std::string table = dir_.File("t.dbf");
  WriteDbf(table, {{"NAME", 'C', 10}}, {{{"berta"}}, {{"anna"}}, {{"carl"}}});
  ASSERT_EQ(Run({"index", table, "NAME", "NAME"}).exit_status, 0);
  std::string bytes = ReadFileBytes(table);
  bytes[4] = 2;  // the header says 2 records; the file holds 3
  WriteFileBytes(table, bytes);
  ProcessResult check = Run({"check", table});
  EXPECT_EQ(check.exit_status, 0) << check.out << check.err;
  EXPECT_NE(check.out.find("3 Datensätze, konsistent"), std::string::npos) << check.out;
  // A record added behind the index's back.
  bytes = ReadFileBytes(table);
  if (bytes.back() == 0x1A) bytes.pop_back();
  bytes += " dora      ";
  WriteFileBytes(table, bytes);
  check = Run({"check", table});
  EXPECT_EQ(check.exit_status, 1);
  EXPECT_NE(check.out.find("NAME: Datensatz 4 fehlt (Schlüssel dora"), std::string::npos)
      << check.out;
  // The index file gone while the header still names it.
  std::filesystem::remove(os::ResolvePath(dir_.File("t.mdx")));
  check = Run({"check", table});
  EXPECT_EQ(check.exit_status, 1);
  EXPECT_NE(check.out.find("alle Tags verloren"), std::string::npos) << check.out;
}

// check reads inside the index's read bracket: while another program holds
// the write bracket, check waits, and then sees that program's appends
// whole (without the bracket it would have finished on the 3 records).
TEST_F(OxdbfMaintenanceTest, CheckWaitsForAWriterAndSeesItsAppendsWhole) {
  const std::string table = dir_.File("t.dbf");
  WriteDbf(table, {{"NAME", 'C', 10}}, {{{"berta"}}, {{"anna"}}, {{"carl"}}});
  ASSERT_EQ(Run({"index", table, "NAME", "NAME"}).exit_status, 0);
  ChildProcess writer({BuildProgram("tests/index/index_helper")});
  writer.WriteLine("open " + table);
  ASSERT_EQ(writer.ReadLine(), "opened");
  writer.WriteLine("lock");
  ASSERT_EQ(writer.ReadLine(), "ok");
  ChildProcess check({BuildProgram("tools/oxdbf"), "check", table});
  std::this_thread::sleep_for(std::chrono::seconds(1));
  writer.WriteLine("appends 2 x");
  ASSERT_EQ(writer.ReadLine(), "ok");
  writer.WriteLine("unlock");
  ASSERT_EQ(writer.ReadLine(), "ok");
  EXPECT_EQ(check.ReadLine(), table + ": 1 Tags, 5 Datensätze, konsistent");
  EXPECT_EQ(check.Wait(), 0);
  writer.Wait();
}

// A write whose record's old key the tag lacks (the tag was wrong before)
// is reported and, being one unit with its keys, undone.
TEST_F(OxdbfMaintenanceTest, AKeyTheTagLacksIsReportedByTheWrite) {
  const std::string table = dir_.File("t.dbf");
  WriteDbf(table, {{"NAME", 'C', 10}}, {{{"berta"}}, {{"anna"}}, {{"carl"}}});
  ASSERT_EQ(Run({"index", table, "NAME", "NAME"}).exit_status, 0);
  std::string bytes = ReadFileBytes(table);
  bytes.replace(32 + 32 + 1 + 1, 5, "zorro");  // record 1 behind the index's back
  WriteFileBytes(table, bytes);
  ProcessResult replace = Run({"replace", table, "1", "name=xaver"});
  EXPECT_EQ(replace.exit_status, 254);
  EXPECT_NE(replace.err.find("Schlüssel von Datensatz 1 fehlte im Tag"), std::string::npos)
      << replace.err;
  EXPECT_EQ(Run({"find", table, "NAME", "xaver"}).exit_status, 1);
  EXPECT_EQ(ReadFileBytes(table).substr(32 + 32 + 1 + 1, 5), "zorro");
  EXPECT_EQ(Run({"check", table}).exit_status, 1);  // the stale key of berta is still there
}

// The movie table names no code page; its text is OEM text, and its index
// was made from that text (--oem). Read as stored, the key of a record with
// upper-case accented text is another key, which the tag lacks: a write of
// such a record is refused and undone, also for a deleted record, which the
// tag holds under its real key. With --oem the write keeps the index whole.
TEST_F(OxdbfMaintenanceTest, AKeyMadeFromAnotherReadingOfTheTextIsRefusedAndUndone) {
  ASSERT_EQ(RunProcess({BuildProgram("tools/make_movies"), dir_.Path()}).exit_status, 0);
  const std::string table = dir_.File("movie_r.dbf");
  const std::string before = ReadFileBytes(table);
  const std::string index_before = ReadFileBytes(dir_.File("movie_r.mdx"));
  // Record 36, "La Règle du jeu", and the deleted record 223, whose STARS are
  // "Ärzte, Öfen und Übungen".
  for (const char* change : {"36|TITLE=Zorro", "223|STARS=Zorro"}) {
    const std::string text = change;
    const std::size_t bar = text.find('|');
    ProcessResult replace = Run({"replace", table, text.substr(0, bar), text.substr(bar + 1)});
    EXPECT_EQ(replace.exit_status, 254) << change;
    EXPECT_NE(replace.err.find("fehlte im Tag"), std::string::npos) << replace.err;
    EXPECT_EQ(ReadFileBytes(table), before) << change;
    EXPECT_EQ(ReadFileBytes(dir_.File("movie_r.mdx")), index_before) << change;
  }
  ASSERT_EQ(Run({"replace", "--oem", table, "223", "STARS=Zorro"}).exit_status, 0);
  ASSERT_EQ(Run({"replace", "--oem", table, "36", "TITLE=Éclair"}).exit_status, 0);
  ProcessResult check = Run({"check", "--oem", table});
  EXPECT_EQ(check.exit_status, 0) << check.out << check.err;
  EXPECT_EQ(Run({"find", "--oem", table, "TITLE", "éclair"}).out.substr(0, 3), "36 ");
}

}  // namespace
}  // namespace orvex::test
