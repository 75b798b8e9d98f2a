#include "common/file_utils.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "common/errors.h"
#include "common/names.h"
#include "platform/os/format_settings.h"
#include "support/test_support.h"

namespace orvex {
namespace {

class FileUtilsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetErrorState();
    os::Formats() = os::FormatSettings{};
  }
  void TearDown() override {
    ResetErrorState();
    os::Formats() = os::FormatSettings{};
  }
};

TEST_F(FileUtilsTest, TextToSmallIntRules) {
  EXPECT_EQ(TextToSmallInt(""), 0);
  EXPECT_EQ(TextToSmallInt("99999"), 32767);
  EXPECT_EQ(TextToSmallInt("-99999"), -32768);
  EXPECT_EQ(TextToSmallInt("$12 and more"), 12);
  EXPECT_EQ(TextToSmallInt("  + 1,234.5"), 1234);
  os::Formats().decimal_separator = ',';
  EXPECT_EQ(TextToSmallInt("   +1.234,5"), 1234);
  EXPECT_EQ(TextToSmallInt("abc"), 0);
}

TEST_F(FileUtilsTest, NumberTextToIntegerNormalises) {
  EXPECT_EQ(NumberTextToInteger("$ 1,234.99"), 1234);
  EXPECT_EQ(NumberTextToInteger("  +42"), 42);
  EXPECT_EQ(NumberTextToInteger("- -17.5"), -17);
  EXPECT_EQ(NumberTextToInteger("-.5"), 0);
  EXPECT_EQ(NumberTextToInteger("12-3"), 12);
  EXPECT_EQ(NumberTextToInteger("7."), 7);
  EXPECT_EQ(NumberTextToInteger(""), 0);
  os::Formats().decimal_separator = ',';
  EXPECT_EQ(NumberTextToInteger("1.234,5"), 1234);
  EXPECT_EQ(NumberTextToInteger("12,5"), 12);
}

TEST_F(FileUtilsTest, OccurrencesFromEitherSide) {
  EXPECT_EQ(CountOccurrences("a", "banana"), 3);
  EXPECT_EQ(CountOccurrences("aa", "aaaa"), 2);
  EXPECT_EQ(CountOccurrences("", "x"), 0);
  EXPECT_EQ(NthOccurrence(-1, "ab", "abxab"), 4);
  EXPECT_EQ(NthOccurrence(-2, "ab", "abxab"), 1);
  EXPECT_EQ(NthOccurrence(-3, "ab", "abxab"), 0);
  EXPECT_EQ(NthOccurrence(-1, "xy", "abcd"), 0);
  EXPECT_EQ(NthOccurrence(2, "an", "banana"), 4);
  EXPECT_EQ(NthOccurrence(0, "a", "a"), 0);
  EXPECT_EQ(RepeatChar('*', 3), "***");
  EXPECT_EQ(RepeatChar('*', -1), "");
}

TEST_F(FileUtilsTest, RemoveWordTakesOnlyWholeOptionWords) {
  std::string cmd = "movie.dbf exclusive alias M";
  EXPECT_TRUE(RemoveWord("EXCLUSIVE", cmd));
  EXPECT_EQ(cmd, "MOVIE.DBF  ALIAS M");
  std::string joined = "A EXCLUSIVE2 EXCLUSIVE_X EXCLUSIVEX";
  EXPECT_FALSE(RemoveWord("exclusive", joined));
  EXPECT_EQ(joined, "A EXCLUSIVE2 EXCLUSIVE_X EXCLUSIVEX");
}

TEST_F(FileUtilsTest, NumberAndIntegerTextUseSeparator) {
  EXPECT_EQ(NumberToText(3.14159, 8, 2), "    3.14");
  EXPECT_EQ(IntegerToText(42, 5), "   42");
  os::Formats().decimal_separator = ',';
  EXPECT_EQ(NumberToText(3.14159, 0, 2), "3,14");
  EXPECT_EQ(NumberToText(3.0, 0, 0), "3");
}

TEST_F(FileUtilsTest, NameHelpers) {
  NameParts p = SplitName("data/sub.dir/MOVIE_R.DBF");
  EXPECT_EQ(p.dir, "data/sub.dir/");
  EXPECT_EQ(p.name, "MOVIE_R");
  EXPECT_EQ(p.ext, ".DBF");
  EXPECT_EQ(SplitName("C:\\x\\y").dir, "C:\\x\\");
  EXPECT_EQ(DefaultExt("data/movie", "dbf"), "data/movie.dbf");
  EXPECT_EQ(DefaultExt("data/movie.x", "dbf"), "data/movie.x");
  EXPECT_EQ(ForceExt("data/movie.dbf", "MDX"), "data/movie.MDX");
  EXPECT_EQ(TrimBoth("\t a b \r\n"), "a b");

  // Names derived from a table's name keep all of its bytes.
  std::string long_name;
  for (int i = 0; i < 30; ++i) long_name += "長";
  EXPECT_EQ(SplitName("d/" + long_name + ".dbf").name, long_name);
  EXPECT_EQ(ForceExt("d/" + long_name + ".dbf", "dbt"), "d/" + long_name + ".dbt");
  EXPECT_EQ(DefaultExt(long_name + std::string(70, 'x'), "DBF"),
            long_name + std::string(70, 'x') + ".DBF");
  EXPECT_EQ(SplitName("a." + std::string(70, 'e')).ext, "." + std::string(70, 'e'));
  // What is derived as library text: UTF-8 names converted, others kept.
  EXPECT_EQ(NameAsText("Bücher"),
            "B\xFC"
            "cher");
  EXPECT_EQ(NameAsText("表格"), "??");
  EXPECT_EQ(NameAsText("B\xFC"
                       "cher"),
            "B\xFC"
            "cher");
}

TEST_F(FileUtilsTest, DeleteFilesByNameAndPattern) {
  test::TempDir dir;
  test::WriteFileBytes(dir.File("a.tmp"), "1");
  test::WriteFileBytes(dir.File("b.TMP"), "2");
  test::WriteFileBytes(dir.File("keep.dat"), "3");
  DeleteFiles(dir.Path() + "/*.tmp");
  EXPECT_EQ(DbfErrorNo, 0);
  EXPECT_FALSE(FileExists(dir.File("a.tmp")));
  EXPECT_FALSE(FileExists(dir.File("b.TMP")));
  EXPECT_TRUE(FileExists(dir.File("keep.dat")));
  DeleteFiles(dir.Path() + "/*.none");  // nothing matches: nothing reported
  EXPECT_EQ(ReportedErrorNo, 0);

  SetAutoReport(false);
  DeleteFiles(dir.File("missing.dat"));
  EXPECT_EQ(DbfErrorNo, 2);
  EXPECT_EQ(ErrorDetail, "Fehler beim L\xF6schen von " + dir.File("missing.dat"));
}

// A pattern match that cannot be deleted is counted and reported with 5. The
// child drops root rights so that the directory's permissions apply.
TEST(FileUtilsDeathTest, UndeletableMatchReportsCount) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  test::TempDir dir;
  chmod(dir.Path().c_str(), 0755);
  std::string sub = dir.File("ro");
  mkdir(sub.c_str(), 0755);
  test::WriteFileBytes(sub + "/x.tmp", "1");
  chmod(sub.c_str(), 0555);
  std::string pattern = sub + "/*.tmp";
  EXPECT_EXIT(
      {
        if (geteuid() == 0 && setuid(65534) != 0) std::exit(3);
        SetAutoReport(false);
        DeleteFiles(pattern);
        std::exit(DbfErrorNo == 5 && ErrorDetail == "1 Datei(en) mit Namen wie " + pattern ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
  chmod(sub.c_str(), 0755);
}

TEST_F(FileUtilsTest, TempNamesAndFreeSpace) {
  std::string name = UniqueFilename();
  ASSERT_FALSE(name.empty());
  EXPECT_EQ(SplitName(name).name.substr(0, 3), "OXP");
  EXPECT_TRUE(FileExists(name));
  EXPECT_EQ(test::ReadFileBytes(name), "");
  unlink(name.c_str());
  EXPECT_GT(DiskFree(""), 0);
  EXPECT_GT(DriveFree(0), 0);
  // No drive letters here: any other drive cannot be queried.
  EXPECT_EQ(DriveFree(3), 2147483647);
  EXPECT_EQ(DiskFree("/no/such/place"), 2147483647);
}

}  // namespace
}  // namespace orvex
