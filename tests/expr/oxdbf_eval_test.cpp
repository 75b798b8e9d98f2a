// `oxdbf eval` as a real child process: the two output lines, the options and
// the error path (message on stderr, error number as exit status).
#include <string>

#include "dbf_writer.h"
#include "support/test_support.h"

namespace orvex::test {
namespace {

class OxdbfEvalTest : public ::testing::Test {
 protected:
  void SetUp() override {
    table_ = dir_.File("movies.dbf");
    WriteDbf(table_,
             {{"NAME", 'C', 30}, {"PRICE", 'N', 10, 2}, {"RELEASED", 'D', 8}, {"COLOR", 'L', 1}},
             {{{"Alien", "12.5", "19790525", "T"}}, {{"Brazil", "-3", "", "F"}}});
  }

  ProcessResult Eval(const std::vector<std::string>& args) {
    std::vector<std::string> argv = {BuildProgram("tools/oxdbf"), "eval"};
    argv.insert(argv.end(), args.begin(), args.end());
    return RunProcess(argv);
  }

  TempDir dir_;
  std::string table_;
};

TEST_F(OxdbfEvalTest, PrintsTypeLengthDecimalsAndValue) {
  ProcessResult r = Eval({"--table", table_, "NAME"});
  EXPECT_EQ(r.exit_status, 0) << r.err;
  EXPECT_EQ(r.out, "C 30 0\n\"Alien" + std::string(25, ' ') + "\"\n");

  r = Eval({"--table", table_, "--recno", "2", "PRICE*2"});
  EXPECT_EQ(r.out, "N 13 2\n-6.00\n");
  r = Eval({"--table", table_, "--recno", "2", "RELEASED"});
  EXPECT_EQ(r.out, "D 8 0\n        \n");
  r = Eval({"--table", table_, "COLOR .AND. PRICE > 12"});
  EXPECT_EQ(r.out, "L 1 0\n.T.\n");
  r = Eval({"UPPER('abc') + STR(7, 3)"});
  EXPECT_EQ(r.out, "C 0 0\n\"ABC  7\"\n");
}

TEST_F(OxdbfEvalTest, DateTypeAndCentury) {
  ProcessResult r = Eval({"--table", table_, "--datetype", "5", "--century", "DTOC(RELEASED)"});
  EXPECT_EQ(r.out, "C 0 0\n\"25.05.1979\"\n");
  r = Eval({"--datetype", "0", "--table", table_, "DTOC(RELEASED) + ' ' + STR(YEAR(RELEASED), 4)"});
  EXPECT_EQ(r.out, "C 0 0\n\"05/25/79   79\"\n");
}

TEST_F(OxdbfEvalTest, ErrorsTakeTheLibrarysPath) {
  ProcessResult r = Eval({"10 / 0"});
  EXPECT_EQ(r.exit_status, 358 & 0xFF);
  EXPECT_NE(r.err.find("Fehler Nr. 358"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("Division durch 0 [Evaluate/Engine]"), std::string::npos);
  EXPECT_EQ(r.out, "");

  r = Eval({"--table", table_, "NAME +"});
  EXPECT_EQ(r.exit_status, 351 & 0xFF);
  EXPECT_NE(r.err.find("Fehler in dBASE-Ausdruck : Syntax error"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("[NAME +]"), std::string::npos);

  r = Eval({"--table", dir_.File("missing.dbf"), "1"});
  EXPECT_EQ(r.exit_status, 2);
  r = Eval({"--recno"});
  EXPECT_EQ(r.exit_status, 2);  // a usage error
}

}  // namespace
}  // namespace orvex::test
