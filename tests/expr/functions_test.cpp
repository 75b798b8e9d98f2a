// Operators and functions on ordinary and edge values (constant expressions).
#include <cmath>
#include <string>

#include "dates/date_names.h"
#include "expr_test_util.h"
#include "platform/os/codepage.h"
#include "platform/os/system.h"
#include "support/test_support.h"

namespace orvex::test {
namespace {

using FunctionsTest = ExprTest;

TEST_F(FunctionsTest, TextComparisons) {
  EXPECT_TRUE(Logical("'ABC' = 'AB'"));
  EXPECT_FALSE(Logical("'AB' = 'ABC'"));
  EXPECT_FALSE(Logical("'ABC' == 'AB'"));
  EXPECT_TRUE(Logical("'ABC' == 'ABC'"));
  EXPECT_TRUE(Logical("'ABC' <> 'AB'"));
  EXPECT_TRUE(Logical("'ABC' # 'AB'"));
  EXPECT_FALSE(Logical("'AB' <> 'AB'"));
  EXPECT_TRUE(Logical("'B' $ 'ABC'"));
  EXPECT_FALSE(Logical("'D' $ 'ABC'"));
  EXPECT_FALSE(Logical("'' $ 'ABC'"));
  EXPECT_FALSE(Logical("'ABC' = ''"));  // the right text must not be empty ...
  EXPECT_TRUE(Logical("'' = ''"));      // ... unless the left one is empty too
  EXPECT_FALSE(Logical("'' <> ''"));
  EXPECT_FALSE(Logical("'' = 'A'"));
  EXPECT_TRUE(Logical("'AB' < 'ABC'"));
  EXPECT_TRUE(Logical("'ABC' > 'AB'"));
  EXPECT_TRUE(Logical("'a' > 'B'"));  // bytes, not letters
  EXPECT_TRUE(Logical("'AB' <= 'AB' .AND. 'AB' >= 'AB'"));
  EXPECT_TRUE(Logical(os::Utf8ToAnsi("'ä' > 'z'")));  // unsigned bytes
}

TEST_F(FunctionsTest, ConcatenationAndBlankMovingMinus) {
  EXPECT_EQ(Text("'AB  ' - 'CD'"), "ABCD  ");
  EXPECT_EQ(Text("'AB  ' + 'CD'"), "AB  CD");
  EXPECT_EQ(Text("'' - 'CD'"), "CD");
  EXPECT_EQ(Text("'   ' - ''"), "   ");
  // Texts are cut at 255 characters.
  EXPECT_EQ(Number("LEN(REPLICATE('a', 200) + REPLICATE('b', 200))"), 255);
  EXPECT_EQ(Number("LEN(REPLICATE('a ', 120) - REPLICATE('b', 200))"), 255);
  Outcome o = Compute("REPLICATE('a', 200) + REPLICATE('b', 200)");
  EXPECT_EQ(o.text, std::string(200, 'a') + std::string(55, 'b'));
}

TEST_F(FunctionsTest, Arithmetic) {
  EXPECT_DOUBLE_EQ(Number("7 / 2"), 3.5);
  EXPECT_NEAR(Number("2 ^ 0.5"), std::sqrt(2.0), 1e-12);
  EXPECT_DOUBLE_EQ(Number("(-2) ^ 3"), -8);
  EXPECT_DOUBLE_EQ(Number("0 ^ 2"), 0);
  EXPECT_DOUBLE_EQ(Number("0 ^ -1"), 1e250);
  EXPECT_DOUBLE_EQ(Number("(-8) ^ 0.5"), 0);
  EXPECT_TRUE(Logical("-1 < 0"));
}

TEST_F(FunctionsTest, DivisionByZeroReports358AndGoesOnWith1e250) {
  Outcome o = Compute("10 / 0");
  EXPECT_EQ(o.error, 358);
  EXPECT_EQ(o.detail, "Auswertungsfehler: Division durch 0 [Evaluate/Engine]");
  EXPECT_DOUBLE_EQ(o.number, 1e250);

  int calls = 0;
  ErrorHook = [&calls] { ++calls; };
  SetAutoReport(true);
  EXPECT_DOUBLE_EQ(Number("1 + 10 / 0"), 1e250);
  EXPECT_EQ(calls, 1);

  ErrorHook = nullptr;
  SetRaiseOnError(true);
  CompiledExpr* e = AssignExpr("5 / (2 - 2)");
  ASSERT_NE(e, nullptr);
  EXPECT_THROW(EvaluateExpr(e), EOrvexError);
  FreeExpr(e);
}

TEST_F(FunctionsTest, NumericFunctions) {
  EXPECT_DOUBLE_EQ(Number("ABS(-3.5)"), 3.5);
  EXPECT_DOUBLE_EQ(Number("INT(-2.9)"), -2);
  EXPECT_DOUBLE_EQ(Number("INT(2.9)"), 2);
  EXPECT_DOUBLE_EQ(Number("MOD(-7, 3)"), -1);
  EXPECT_DOUBLE_EQ(Number("MOD(7, -3)"), 1);
  EXPECT_DOUBLE_EQ(Number("MOD(7.9, 3)"), 1);
  EXPECT_DOUBLE_EQ(Number("MOD(5, 0)"), 5);
  EXPECT_DOUBLE_EQ(Number("MAX(1, 2)"), 2);
  EXPECT_DOUBLE_EQ(Number("MIN(1, 2)"), 1);
  // ROUND rounds the decimal value half away from zero, exactly.
  EXPECT_EQ(Number("ROUND(2.567, 2)"), 2.57);
  EXPECT_EQ(Number("ROUND(-2.567, 1)"), -2.6);
  EXPECT_EQ(Number("ROUND(7.9, 0)"), 8);
  EXPECT_EQ(Number("ROUND(7.9, -3)"), 0);
  EXPECT_EQ(Number("ROUND(1250, -2)"), 1300);
  EXPECT_EQ(Number("ROUND(2.57, 2)"), 2.57);
  EXPECT_EQ(Number("ROUND(8.2, 1)"), 8.2);
  EXPECT_EQ(Number("ROUND(19.99, 2)"), 19.99);
  EXPECT_EQ(Number("ROUND(2.675, 2)"), 2.68);
  EXPECT_EQ(Number("ROUND(-0.5, 0)"), -1);
  EXPECT_DOUBLE_EQ(Number("ROUND(1.5, 1000000)"), 1.5);
  EXPECT_DOUBLE_EQ(Number("VAL('12.5  ')"), 12.5);
  EXPECT_DOUBLE_EQ(Number("VAL('  -3')"), -3);
  EXPECT_DOUBLE_EQ(Number("VAL('12abc')"), 12);
  EXPECT_DOUBLE_EQ(Number("VAL('abc')"), 0);
  EXPECT_DOUBLE_EQ(Number("VAL('1E400')"), HUGE_VAL);
  EXPECT_DOUBLE_EQ(Number("LEN('ABC ')"), 4);
  EXPECT_DOUBLE_EQ(Number("LEN('')"), 0);
  EXPECT_DOUBLE_EQ(Number("ASC('A')"), 65);
  EXPECT_DOUBLE_EQ(Number("ASC('')"), 0);
  EXPECT_DOUBLE_EQ(Number("ASC(CHR(228))"), 228);
  EXPECT_DOUBLE_EQ(Number("AT('B', 'ABC')"), 2);
  EXPECT_DOUBLE_EQ(Number("AT('X', 'ABC')"), 0);
  EXPECT_DOUBLE_EQ(Number("AT('', 'ABC')"), 0);
  EXPECT_DOUBLE_EQ(Number("RECNO()"), 0);  // no table
}

TEST_F(FunctionsTest, Str) {
  EXPECT_EQ(Text("STR(3.14159, 6, 2)"), "  3.14");
  EXPECT_EQ(Text("STR(123456, 3)"), "***");
  EXPECT_EQ(Text("STR(5)"), "         5");
  EXPECT_EQ(Text("STR(-1.26, 6, 1)"), "  -1.3");
  // Halves of the decimal value round away from zero.
  EXPECT_EQ(Text("STR(2.675, 4, 2)"), "2.68");
  EXPECT_EQ(Text("STR(2.5)"), "         3");
  EXPECT_EQ(Text("STR(-2.5, 3)"), " -3");
  EXPECT_EQ(Text("STR(0.125, 5, 2)"), " 0.13");
  EXPECT_EQ(Text("STR(-0.001, 5, 2)"), " 0.00");
  EXPECT_EQ(Text("STR(9.995, 5, 2)"), "10.00");
  EXPECT_EQ(Text("STR(1E250)"), "**********");
  EXPECT_EQ(Text("STR(10 / 0, 3)"), "***");
  EXPECT_EQ(Text("STR(5, 0)"), "");
  EXPECT_EQ(Text("STR(5, -4)"), "");
  EXPECT_EQ(Text("STR(7, 1000)").size(), 255u);
  EXPECT_EQ(Text("STR(7, 3, 9)"), "***");
}

TEST_F(FunctionsTest, TextFunctions) {
  EXPECT_EQ(Text("UPPER('abc')"), "ABC");
  EXPECT_EQ(Text(os::Utf8ToAnsi("LOWER('ÄBC')")), os::Utf8ToAnsi("äbc"));
  EXPECT_EQ(Text(os::Utf8ToAnsi("UPPER('straße')")), os::Utf8ToAnsi("STRAßE"));
  EXPECT_EQ(Text("LTRIM('  A ')"), "A ");
  EXPECT_EQ(Text("RTRIM('  A ')"), "  A");
  EXPECT_EQ(Text("TRIM('  A \t')"), "  A \t");  // code 32 only
  EXPECT_EQ(Text("LEFT('ABC', 2)"), "AB");
  EXPECT_EQ(Text("LEFT('ABC', 5)"), "ABC");
  EXPECT_EQ(Text("LEFT('ABC', -1)"), "");
  EXPECT_EQ(Text("RIGHT('ABC', 2)"), "BC");
  EXPECT_EQ(Text("RIGHT('ABC', 0)"), "");
  EXPECT_EQ(Text("RIGHT('ABC', 9)"), "ABC");
  EXPECT_EQ(Text("RIGHT('ABC', -2)"), "");
  EXPECT_EQ(Text("SUBSTR('ABCDEF', 2, 3)"), "BCD");
  EXPECT_EQ(Text("SUBSTR('ABC', 0, 2)"), "AB");
  EXPECT_EQ(Text("SUBSTR('ABC', 4, 1)"), "");
  EXPECT_EQ(Text("SUBSTR('ABC', 2, 0)"), "");
  EXPECT_EQ(Text("SUBSTR('ABC', 2, 99)"), "BC");
  EXPECT_EQ(Text("STUFF('ABCDEF', 2, 3, 'xy')"), "AxyEF");
  EXPECT_EQ(Text("STUFF('ABC', 5, 1, 'x')"), "ABCx");
  EXPECT_EQ(Text("STUFF('ABC', 0, 1, 'x')"), "xABC");
  EXPECT_EQ(Text("STUFF('ABC', 2, 0, 'x')"), "AxBC");
  EXPECT_EQ(Text("STUFF('ABC', 2, 10, '')"), "A");
  EXPECT_EQ(Text("STUFF(REPLICATE('a', 200), 1, 0, REPLICATE('b', 100))").size(), 255u);
  EXPECT_EQ(Text("REPLICATE('ab', 3)"), "ababab");
  EXPECT_EQ(Text("REPLICATE('ab', 0)"), "");
  EXPECT_EQ(Text("REPLICATE('ab', -1)"), "");
  EXPECT_EQ(Text("REPLICATE('abc', 200)").size(), 255u);
  EXPECT_EQ(Text("REPLICATE('', 5)"), "");
  EXPECT_EQ(Text("SPACE(3)"), "   ");
  EXPECT_EQ(Text("SPACE(-1)"), "");
  EXPECT_EQ(Text("SPACE(300)").size(), 255u);
  EXPECT_EQ(Text("CHR(65)"), "A");
  EXPECT_EQ(Text("CHR(65.9)"), "A");
  EXPECT_EQ(Text("CHR(321)"), "A");
  EXPECT_EQ(Text("CHR(-191)"), "A");
  EXPECT_EQ(Text("CHR(0)"), "");
  EXPECT_EQ(Text("IIF(.T., 'a', 'bb')"), "a");
  EXPECT_EQ(Text("IIF(.F., 'a', 'bb')"), "bb");
  EXPECT_EQ(Text("IIF(1 > 2, 'yes', 'no') + '!'"), "no!");
}

TEST_F(FunctionsTest, Soundex) {
  EXPECT_EQ(Text("SOUNDEX('Robert')"), "R163");
  EXPECT_EQ(Text("SOUNDEX('Rupert')"), "R163");
  EXPECT_EQ(Text("SOUNDEX('Tymczak')"), "T522");
  EXPECT_EQ(Text("SOUNDEX(' Smith')"), " 253");
  EXPECT_EQ(Text("SOUNDEX('robert')"), "R163");
  EXPECT_EQ(Text("SOUNDEX('A')"), "A000");
  EXPECT_EQ(Text("SOUNDEX('')"), "0000");
  EXPECT_EQ(Text("SOUNDEX('Bb-b')"), "B000");  // equal codes are written once
  EXPECT_EQ(Text("SOUNDEX('Bab')"), "B100");   // a vowel lets the second one through
  EXPECT_EQ(Text("SOUNDEX('1abc')"), "1120");
  EXPECT_EQ(Text("SOUNDEX('x') + '|'"), "X000|");
}

TEST_F(FunctionsTest, DatesAndDateArithmetic) {
  test::SetClockToDate(2024, 7, 4);
  EXPECT_EQ(Text("DTOS(DATE())"), "20240704");
  os::SetClockHook(nullptr);
  EXPECT_EQ(Text("DTOS(CTOD('31.12.24'))"), "20241231");
  EXPECT_EQ(Text("DTOS(CTOD(''))"), "        ");
  EXPECT_EQ(Text("DTOC(CTOD('31.12.24'))"), "31.12.24");
  EXPECT_EQ(Text("DTOC(CTOD('xx'))"), "  .  .  ");
  EXPECT_DOUBLE_EQ(Number("CTOD('01.03.24') - CTOD('01.02.24')"), 29);
  EXPECT_EQ(Text("DTOS(CTOD('28.02.24') + 2)"), "20240301");
  EXPECT_EQ(Text("DTOS(2 + CTOD('28.02.24'))"), "20240301");
  EXPECT_EQ(Text("DTOS(CTOD('01.03.24') - 1)"), "20240229");
  EXPECT_TRUE(Logical("CTOD('01.01.24') < CTOD('02.01.24')"));
  EXPECT_TRUE(Logical("CTOD('') > CTOD('31.12.99')"));  // empty sorts last
  EXPECT_EQ(Text("DTOS(MAX(CTOD('01.01.24'), CTOD('02.01.24')))"), "20240102");
  EXPECT_EQ(Compute("MIN(CTOD('01.01.24'), CTOD('02.01.24'))").type, 'D');
  EXPECT_DOUBLE_EQ(Number("DAY(CTOD('31.12.24'))"), 31);
  EXPECT_DOUBLE_EQ(Number("MONTH(CTOD('31.12.24'))"), 12);
  EXPECT_DOUBLE_EQ(Number("YEAR(CTOD('31.12.24'))"), 24);
  EXPECT_DOUBLE_EQ(Number("DAY(CTOD(''))"), 0);
  EXPECT_DOUBLE_EQ(Number("YEAR(CTOD(''))"), 0);
  EXPECT_DOUBLE_EQ(Number("DOW(CTOD('01.01.2000'))"), 7);
  EXPECT_DOUBLE_EQ(Number("DOW(CTOD(''))"), 0);
  EXPECT_EQ(Text("CDOW(CTOD('01.01.25'))"), "Mittwoch  ");
  EXPECT_EQ(Text("CDOW(CTOD(''))"), std::string(10, ' '));
  EXPECT_EQ(Text("CMONTH(CTOD('01.01.25'))"), "Januar   ");
  EXPECT_EQ(Text("CMONTH(CTOD(''))"), std::string(9, ' '));
  CenturyOn = true;
  SetDateType(5);
  EXPECT_DOUBLE_EQ(Number("YEAR(CTOD('31.12.2024'))"), 2024);
  EXPECT_EQ(Text("DTOC(CTOD('31.12.2024'))"), "31.12.2024");
  // The weekday of a date outside the two-digit-year window is its own.
  EXPECT_DOUBLE_EQ(Number("DOW(CTOD('01.01.1900'))"), 2);
  CenturyOn = false;
  SetDateType(5);
  EXPECT_DOUBLE_EQ(Number("DOW(CTOD('01.01.1900') + 0)"), 2);
  EXPECT_EQ(Text("CDOW(CTOD('01.01.1900') + 0)"), "Montag    ");
  SetDateType(0);
  EXPECT_EQ(Text("CDOW(CTOD('01/01/25'))"), "Wednesday");
}

TEST_F(FunctionsTest, LogicalOperators) {
  EXPECT_TRUE(Logical(".T. .AND. .T."));
  EXPECT_FALSE(Logical(".T. .AND. .F."));
  EXPECT_TRUE(Logical(".F. .OR. .T."));
  EXPECT_FALSE(Logical(".NOT. .T."));
  EXPECT_TRUE(Logical(".T. = .T."));
  EXPECT_TRUE(Logical(".T. <> .F."));
}

}  // namespace
}  // namespace orvex::test
