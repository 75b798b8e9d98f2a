// oxdbf as a user meets it, run as a real child process: help texts, exit
// status, stdout and stderr apart, option forms, the English line, code
// pages read from the header and written by create, safe create, value forms
// of append and the export formats, checked against the file bytes and
// python3-dbfread.
#include <algorithm>
#include <string>
#include <vector>

#include "common/errors.h"
#include "support/test_support.h"

namespace orvex::test {
namespace {

class OxdbfConventionsTest : public ::testing::Test {
 protected:
  ProcessResult Run(const std::vector<std::string>& args, const std::vector<std::string>& env = {"LANG=C"}) {
    std::vector<std::string> argv{BuildProgram("tools/oxdbf")};
    argv.insert(argv.end(), args.begin(), args.end());
    return RunProcess(argv, env);
  }
  std::string Make(const std::string& name, const std::vector<std::string>& fields) {
    std::vector<std::string> args{"create", dir_.File(name)};
    args.insert(args.end(), fields.begin(), fields.end());
    ProcessResult r = Run(args);
    EXPECT_EQ(r.exit_status, 0) << r.err;
    return dir_.File(name);
  }
  // `stream` holds `part`, or is empty when `part` is.
  static void ExpectHolds(const std::string& stream, const std::string& part) {
    if (part.empty()) {
      EXPECT_EQ(stream, "");
    } else {
      EXPECT_NE(stream.find(part), std::string::npos) << stream;
    }
  }
  TempDir dir_;
};

TEST_F(OxdbfConventionsTest, ExitStatusAndStreams) {
  const std::string t = Make("t.dbf", {"name, C, 10, 0", "n, N, 5, 2"});
  ASSERT_EQ(Run({"append", t, "name=Abc", "n=1.5"}).exit_status, 0);
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string out_has, err_has;  // "" = stream empty
  } cases[] = {
      {{"--version"}, 0, "oxdbf ", ""},
      {{"--help"}, 0, "oxdbf dump", ""},
      {{"help"}, 0, "oxdbf create", ""},
      {{"help", "dump"}, 0, "--with-deleted", ""},
      {{"dump", "--help"}, 0, "--with-deleted", ""},
      {{"create", "--help"}, 0, "--memo KIND", ""},
      {{"--help", "append"}, 0, "2024-12-31", ""},
      {{}, 2, "", "no command given"},
      {{"frobnicate"}, 2, "", "unknown command: frobnicate"},
      {{"dump", t, "--bogus"}, 2, "", "unknown option --bogus for dump"},
      {{"dump"}, 2, "", "missing argument"},
      {{"dump", t, t}, 2, "", "too many arguments"},
      {{"delete", t, "one"}, 2, "", "RECNO is not a number: one"},
      {{"eval", "--recno"}, 2, "", "option --recno needs a value"},
      {{"eval", "--datetype", "9", "1"}, 2, "", "--datetype takes 0 to 8: 9"},
      {{"eval", "--datetype=-1", "1"}, 2, "", "--datetype takes 0 to 8"},
      {{"--codepage", "99999", "dump", t}, 2, "", "unknown code page"},
      {{"locate", t, "name", "Abc"}, 0, "1\n", ""},
      {{"locate", t, "name", "Xyz"}, 1, "", ""},
      {{"locate", t, "name", "Abc", "--", "--all"}, 2, "", "too many arguments: --all"},
      {{"append", t, "n=abc"}, 220, "", "Fehler Nr. 220"},
      {{"dump", dir_.File("none.dbf")}, 2, "", "Fehler Nr. 2 (Datei nicht gefunden)"},
  };
  for (const Case& c : cases) {
    std::string shown;
    for (const std::string& a : c.args) shown += a + " ";
    SCOPED_TRACE(shown);
    ProcessResult r = Run(c.args);
    EXPECT_EQ(r.exit_status, c.status) << r.err;
    ExpectHolds(r.out, c.out_has);
    ExpectHolds(r.err, c.err_has);
  }
}

TEST_F(OxdbfConventionsTest, OptionsAnywhereInEitherFormAndDashDashEndsThem) {
  const std::string t = Make("t.dbf", {"name, C, 10, 0"});
  ASSERT_EQ(Run({"append", t, "--", "name=--x"}).exit_status, 0);
  ASSERT_EQ(Run({"append", t, "name=y"}).exit_status, 0);
  const std::string expected = "NAME\r\n--x\r\ny\r\n";
  for (const auto& args : std::vector<std::vector<std::string>>{{"--csv", "dump", t},
                                                                 {"dump", "--csv", t},
                                                                 {"dump", t, "--csv"},
                                                                 {"--codepage=850", "dump", t, "--csv"},
                                                                 {"dump", "--codepage", "850", t, "--csv"}}) {
    EXPECT_EQ(Run(args).out, expected);
  }
  EXPECT_EQ(Run({"locate", t, "name", "--", "--x"}).out, "1\n");
  EXPECT_EQ(Run({"eval", "--datetype=5", "--century", "DTOC(CTOD('24.12.2024'))"}).out, "C 0 0\n\"24.12.2024\"\n");
  EXPECT_EQ(Run({"eval", "DTOC(CTOD('24.12.2024'))", "--datetype", "5", "--century"}).out, "C 0 0\n\"24.12.2024\"\n");
}

TEST_F(OxdbfConventionsTest, EnglishLineFollowsTheGermanMessageOutsideGermanLocales) {
  const std::string missing = dir_.File("none.dbf");
  struct Case {
    std::vector<std::string> env;
    bool english;
  } cases[] = {{{"LANG=C"}, true},
               {{"LANG=en_US.UTF-8"}, true},
               {{"LANG=de_DE.UTF-8"}, false},
               {{"LANG=de_DE.UTF-8", "LC_MESSAGES=fr_FR.UTF-8"}, true},
               {{"LANG=en_GB.UTF-8", "LC_ALL=de_AT.UTF-8"}, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.env.back());
    ProcessResult r = Run({"dump", missing}, c.env);
    EXPECT_EQ(r.exit_status, 2);
    EXPECT_EQ(r.err.rfind("Fehler Nr. 2 (Datei nicht gefunden)", 0), 0u) << r.err;
    EXPECT_EQ(r.err.find("(Error 2: File not found)") != std::string::npos, c.english) << r.err;
  }
  // The path in the message is the one the user gave.
  EXPECT_NE(Run({"dump", missing}).err.find(missing), std::string::npos);
}

TEST_F(OxdbfConventionsTest, FailedWriteToStdoutIsAnError) {
  const std::string t = Make("t.dbf", {"name, C, 10, 0"});
  ASSERT_EQ(Run({"append", t, "name=x"}).exit_status, 0);
  for (std::string format : {"--csv", "--json", "--lf"}) {
    std::vector<std::string> argv{"/bin/sh", "-c", "LANG=C \"$0\" dump \"$1\" $2 > /dev/full",
                                  BuildProgram("tools/oxdbf"), t, format == "--lf" ? "" : format};
    ProcessResult r = RunProcess(argv);
    EXPECT_EQ(r.exit_status, 101) << format;
    EXPECT_NE(r.err.find("Standardausgabe"), std::string::npos) << r.err;
  }
  // Every command that writes to stdout: the version, help texts, lists.
  for (std::string args : {"--version", "--help", "help find", "eval 1", "locate \"$1\" name x"}) {
    SCOPED_TRACE(args);
    std::vector<std::string> argv{"/bin/sh", "-c", "LANG=C \"$0\" " + args + " > /dev/full",
                                  BuildProgram("tools/oxdbf"), t};
    ProcessResult r = RunProcess(argv);
    EXPECT_GE(r.exit_status, 1) << r.err;
  }
}

TEST_F(OxdbfConventionsTest, RecordNumbersOutsideTheTableAreUsageErrors) {
  const std::string t = Make("t.dbf", {"name, C, 10, 0"});
  for (const char* name : {"one", "two", "three"})
    ASSERT_EQ(Run({"append", t, std::string("name=") + name}).exit_status, 0);
  const std::string before = ReadFileBytes(t);
  // 4294967298 and 4294967297 are 2 and 1 when cut to 32 bits.
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"replace", t, "4294967298", "name=X"},
           {"replace", t, "0", "name=X"},
           {"replace", t, "4", "name=X"},
           {"delete", t, "4294967297"},
           {"delete", t, "-1"},
           {"recall", t, "9223372036854775807"},
           {"eval", "--table", t, "--recno", "0", "NAME"},
           {"eval", "--table", t, "--recno", "4294967297", "NAME"}}) {
    SCOPED_TRACE(args[0] + " " + args[args.size() - 2]);
    ProcessResult r = Run(args);
    EXPECT_EQ(r.exit_status, 2) << r.err;
    EXPECT_NE(r.err.find("out of range: the table has records 1 to 3"), std::string::npos) << r.err;
  }
  EXPECT_EQ(ReadFileBytes(t), before);
  EXPECT_EQ(Run({"eval", "--recno", "1", "1"}).exit_status, 2);
  EXPECT_EQ(Run({"eval", "--table", t, "--recno", "3", "NAME"}).out, "C 10 0\n\"three     \"\n");
  EXPECT_EQ(Run({"replace", t, "3", "name=X"}).exit_status, 0);
  EXPECT_EQ(Run({"dump", t}).out, "1   one\n2   two\n3   X\n");
  const std::string empty = Make("e.dbf", {"name, C, 10, 0"});
  ProcessResult r = Run({"delete", empty, "1"});
  EXPECT_EQ(r.exit_status, 2);
  EXPECT_NE(r.err.find("the table has no records"), std::string::npos) << r.err;
}

TEST_F(OxdbfConventionsTest, EveryCommandExplainsItselfWithOptionsAndExamples) {
  const std::string commands = Run({"--help"}).out;
  for (std::size_t at = commands.find("  oxdbf "); at != std::string::npos;
       at = commands.find("  oxdbf ", at + 1)) {
    const std::size_t begin = at + 8;
    const std::string name = commands.substr(begin, commands.find(' ', begin) - begin);
    SCOPED_TRACE(name);
    ProcessResult r = Run({"help", name});
    EXPECT_EQ(r.exit_status, 0);
    const std::string own = r.out.substr(0, r.out.find("Options for every command:"));
    EXPECT_NE(own.find("Example"), std::string::npos) << own;
    EXPECT_GE(std::count(own.begin(), own.end(), '\n'), 4) << own;
  }
}

}  // namespace
}  // namespace orvex::test

// The tool's English meaning of a library error number (oxdbf_english.cpp).
namespace orvex::tool {
std::string EnglishErrorText(int number);
}

namespace orvex::test {
namespace {

TEST(OxdbfEnglishTest, EveryLibraryErrorNumberHasItsEnglishLine) {
  const std::string unknown = StandardErrorText(9999);
  std::vector<int> numbers;
  for (int n = 1; n < 1300; ++n) {
    if (StandardErrorText(n) != unknown) numbers.push_back(n);
  }
  // Numbers the library reports without a German text of their own: the
  // file layer's (file exists, invalid parameter, disk full, name taken)
  // and the expression compiler's.
  for (int n : {80, 87, 112, 183, 300, 351, 354, 358, 359, 360, 361, 362}) numbers.push_back(n);
  for (int n : numbers) EXPECT_NE(tool::EnglishErrorText(n), "Unknown error") << n;
}

}  // namespace
}  // namespace orvex::test
