// The accepted language: tokens, precedence and associativity, argument
// counts, limits and the exact compile error messages.
#include <string>

#include "expr/lexer.h"
#include "expr_test_util.h"

namespace orvex::test {
namespace {

using GrammarTest = ExprTest;

TEST_F(GrammarTest, PowerIsLeftAssociativeAndPrefixMinusBindsFirst) {
  EXPECT_DOUBLE_EQ(Number("2^3^2"), 64);
  EXPECT_DOUBLE_EQ(Number("2**3**2"), 64);
  EXPECT_DOUBLE_EQ(Number("-2^2"), 4);
  EXPECT_DOUBLE_EQ(Number("2*3^2"), 18);
  EXPECT_DOUBLE_EQ(Number("- - 3"), 3);
  EXPECT_DOUBLE_EQ(Number("+3 - -2"), 5);
}

TEST_F(GrammarTest, ArithmeticLevelsAndLeftAssociativity) {
  EXPECT_DOUBLE_EQ(Number("2+3*4"), 14);
  EXPECT_DOUBLE_EQ(Number("(2+3)*4"), 20);
  EXPECT_DOUBLE_EQ(Number("10-4-3"), 3);
  EXPECT_DOUBLE_EQ(Number("8/2/2"), 2);
  EXPECT_DOUBLE_EQ(Number("7-2*3+1"), 2);
}

TEST_F(GrammarTest, NotBindsOnlyToTheNextOperand) {
  // (.NOT. 1) = 1 is a type error; .NOT. (1 = 1) would be accepted.
  EXPECT_EQ(Reason(".NOT. 1 = 1"), "PARSER:Unvereinbare Typen in Ausdruck \".NOT.\"");
  EXPECT_TRUE(Logical(".NOT. (1 = 2)"));
  EXPECT_TRUE(Logical(".NOT. .F. .AND. .T."));
}

TEST_F(GrammarTest, ComparisonLevels) {
  // $ (level 6) binds tighter than = (level 7).
  EXPECT_TRUE(Logical("\"A\" $ \"ABC\" = .T."));
  // == (level 6) binds tighter than = and <> (level 7).
  EXPECT_TRUE(Logical("\"B\" == \"B\" = .T."));
  EXPECT_TRUE(Logical("\"B\" == \"C\" <> .T."));
  // < (level 5) binds tighter than = and than ==.
  EXPECT_TRUE(Logical("1 < 2 = .T."));
  EXPECT_EQ(Reason("\"A\" < \"B\" == \"C\""), "PARSER:Unvereinbare Typen in Ausdruck \"==\"");
  // Arithmetic binds tighter than comparison.
  EXPECT_TRUE(Logical("1 + 2 >= 3"));
  // .AND. binds tighter than .OR.
  EXPECT_TRUE(Logical(".T. .OR. .F. .AND. .F."));
  EXPECT_FALSE(Logical("(.T. .OR. .F.) .AND. .F."));
  EXPECT_TRUE(Logical("1 # 2"));
  EXPECT_TRUE(Logical("1 <> 2 .AND. 2 <= 2 .AND. 3 > 2"));
}

TEST_F(GrammarTest, SyntaxErrors) {
  for (const char* bad : {"a.AND.b", ".5", "DATE", "DATE(1)", "SUBSTR(\"ABC\",2)",
                          "STR(1,2,3,4)", "(1+2", "1+2)", "\"abc", "'abc\"", "1 & 2", "",
                          "1 2", "UPPER()", "1E", "A->", "NOSUCHWORD", ".T.AND..F."}) {
    EXPECT_EQ(Reason(bad), "Syntax error") << bad;
  }
  for (const char* good : {"STR(5)", "STR(5,5)", "STR(5,5,2)", "0.5", ".T. .AND. .F.", "DATE()",
                           "DELE()", "RECN()", "'say \"hi\"'", "\"it's\"", "5.", "\t1\t+ 2"}) {
    EXPECT_EQ(Reason(good), "") << good;
  }
}

TEST_F(GrammarTest, EveryAbbreviationIsAFunction) {
  for (const char* call : {"CMON(DATE())", "CMONT(DATE())", "LOWE('A')", "LTRI(' A')",
                           "MONT(DATE())", "REPL('A',2)", "REPLI('A',2)", "REPLIC('A',2)",
                           "REPLICA('A',2)", "REPLICAT('A',2)", "RIGH('AB',1)", "ROUN(1,1)",
                           "RTRI('A ')", "SOUN('A')", "SOUND('A')", "SOUNDE('A')", "SPAC(2)",
                           "STUF('A',1,1,'B')", "SUBS('AB',1,1)", "SUBST('AB',1,1)",
                           "UPPE('a')", "DELET()", "DELETE()", "recno()", "upper('x')"}) {
    EXPECT_EQ(Reason(call), "") << call;
  }
  EXPECT_EQ(Reason("CMO(DATE())"), "Syntax error");
  EXPECT_EQ(Reason("UPPERX('a')"), "Syntax error");
}

TEST_F(GrammarTest, NumberLiterals) {
  EXPECT_DOUBLE_EQ(Number("1E3"), 1000);
  EXPECT_DOUBLE_EQ(Number("1.5e-1"), 0.15);
  EXPECT_DOUBLE_EQ(Number("2.5E+1"), 25);
  EXPECT_DOUBLE_EQ(Number("007"), 7);
  EXPECT_EQ(Reason("1.2.3"), "Syntax error");
}

TEST_F(GrammarTest, TokensLongerThanEightyCharactersAreRefused) {
  std::string digits80(80, '1');
  EXPECT_EQ(Reason(digits80), "");
  EXPECT_EQ(Reason(digits80 + "1"), "Syntax error");
  std::string word81 = "X" + std::string(80, 'A');
  EXPECT_EQ(Reason(word81 + "()"), "Syntax error");
}

TEST_F(GrammarTest, OnlyTheFirst255CharactersAreRead) {
  std::string text = "1";
  while (text.size() < 255) text += "+1";
  ASSERT_EQ(text.size(), 255u);
  Outcome o = Compute(text + "+ garbage ((((");
  ASSERT_TRUE(o.compiled);
  EXPECT_DOUBLE_EQ(o.number, 128);
}

TEST_F(GrammarTest, DeepNestingOverflowsTheStateStack) {
  std::string shallow = std::string(30, '(') + "1" + std::string(30, ')');
  EXPECT_DOUBLE_EQ(Number(shallow), 1);
  std::string nested = std::string(100, '(') + "1" + std::string(100, ')');
  EXPECT_DOUBLE_EQ(Number(nested), 1);
  std::string deep = std::string(160, '(') + "1" + std::string(160, ')');
  EXPECT_EQ(Reason(deep), "Parser_stack_overflow");
  std::string minus = std::string(200, '-') + "1";
  EXPECT_EQ(Reason(minus), "Parser_stack_overflow");
  EXPECT_EQ(DbfErrorNo, 351);
}

TEST_F(GrammarTest, ErrorMessageWindowAndTag) {
  Outcome o = Compute("1 +* 2");
  EXPECT_EQ(o.error, 351);
  EXPECT_EQ(o.detail, "Fehler in dBASE-Ausdruck : Syntax error\r\n[1 +* 2]\r\n [AssignExpr]");

  // Failing early in a long text: the first 51 characters and "...]".
  std::string long_text = "1 +* " + std::string(60, '1');
  o = Compute(long_text);
  EXPECT_EQ(o.detail, "Fehler in dBASE-Ausdruck : Syntax error\r\n[" + long_text.substr(0, 51) +
                          "...]\r\n [AssignExpr]");

  // Failing late: the 51 characters before the read position.
  std::string late = std::string(70, '1') + " +* 2";
  o = Compute(late);
  int pos = 73;  // after "*"
  EXPECT_EQ(o.detail, "Fehler in dBASE-Ausdruck : Syntax error\r\n[" + late.substr(pos - 51, 51) +
                          "...]\r\n [AssignExpr]");
}

TEST_F(GrammarTest, TypeMessagesNameTheOperatorOrFunction) {
  struct Case {
    const char* text;
    const char* reason;
  } cases[] = {
      {"'a' + 1", "PARSER:Unvereinbare Typen in Ausdruck \"+\""},
      {"'a' - 1", "PARSER:Unvereinbare Typen in Ausdruck \"-\""},
      {"1 * 'a'", "PARSER:Unvereinbare Typen in Ausdruck \"*\""},
      {"1 / .T.", "PARSER:Unvereinbare Typen in Ausdruck \"/\""},
      {"2 ** 'a'", "PARSER:Unvereinbare Typen in Ausdruck \"** or ^\""},
      {"1 = 'a'", "PARSER:Unvereinbare Typen in Ausdruck \"=\""},
      {"1 # 'a'", "PARSER:Unvereinbare Typen in Ausdruck \"<>\""},
      {".T. < .F.", "PARSER:Unvereinbare Typen in Ausdruck \"<\""},
      {".T. >= .F.", "PARSER:Unvereinbare Typen in Ausdruck \">=\""},
      {"1 $ 2", "PARSER:Unvereinbare Typen in Ausdruck \"$\""},
      {"1 .AND. .T.", "PARSER:Unvereinbare Typen in Ausdruck \".AND.\""},
      {".T. .OR. 'x'", "PARSER:Unvereinbare Typen in Ausdruck \".OR.\""},
      {"+'a'", "PARSER:Unvereinbare Typen in Ausdruck \"Unary +\""},
      {"-'a'", "PARSER:Unvereinbare Typen in Ausdruck \"Unary -\""},
      {"UPPE(1)", "PARSER:Unvereinbare Typen in Funktion \"UPPER\""},
      {"IIF(1, 'a', 'b')", "PARSER:Unvereinbare Typen in Funktion \"IIF\""},
      {"MAX(1, DATE())", "PARSER:Unvereinbare Typen in Funktion \"MAX\""},
      {"STR(1, 'a')", "PARSER:Unvereinbare Typen in Funktion \"STR\""},
      {"DATE() + DATE()", "PARSER:Unvereinbare Typen in Ausdruck \"+\""},
      {"1 - DATE()", "PARSER:Unvereinbare Typen in Ausdruck \"-\""},
  };
  for (const auto& c : cases) EXPECT_EQ(Reason(c.text), c.reason) << c.text;
}

TEST_F(GrammarTest, FailedCompilationsLeaveNothingAllocated) {
  EXPECT_EQ(AssignExpr("1 +"), nullptr);
  EXPECT_EQ(AssignExpr("'a' + 1"), nullptr);
  EXPECT_TRUE(CompiledExprs.empty());

  SetAutoReport(true);
  SetRaiseOnError(true);
  try {
    AssignExpr("UPPER(1)");
    FAIL() << "no exception";
  } catch (const EOrvexError& e) {
    EXPECT_EQ(std::string(e.what()),
              "Fehler Nr. 351 (Unbekannter Fehler)\r\nFehler in dBASE-Ausdruck : PARSER:"
              "Unvereinbare Typen in Funktion \"UPPER\"\r\n[UPPER(1)]\r\n [AssignExpr]");
  }
  EXPECT_TRUE(CompiledExprs.empty());
}

TEST_F(GrammarTest, AssignExprClearsAnEarlierExpressionError) {
  DbfErrorNo = 358;
  CompiledExpr* e = AssignExpr("1");
  EXPECT_EQ(DbfErrorNo, 0);
  FreeExpr(e);
  DbfErrorNo = 2;
  e = AssignExpr("1");
  EXPECT_EQ(DbfErrorNo, 2);
  FreeExpr(e);
}

}  // namespace
}  // namespace orvex::test
