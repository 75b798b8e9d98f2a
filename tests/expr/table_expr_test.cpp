// Expressions over open tables: field resolution, result type, length and
// decimals, CheckExprText, field reads and the record functions.
#include <string>

#include <cstring>

#include "dbf_writer.h"
#include "engine/dbf_file.h"
#include "engine/navigation.h"
#include "engine/record_io.h"
#include "engine/record_pack.h"
#include "engine/tables.h"
#include "expr_test_util.h"
#include "memo/memo_store.h"
#include "platform/os/codepage.h"

namespace orvex::test {
namespace {

class TableExprTest : public ExprTest {
 protected:
  void SetUp() override {
    ExprTest::SetUp();
    movies_ = dir_.File("movies.dbf");
    WriteDbf(movies_,
             {{"NAME", 'C', 30},
              {"YEAR", 'N', 4},
              {"PRICE", 'N', 10, 2},
              {"RELEASED", 'D', 8},
              {"COLOR", 'L', 1},
              {"PLOT", 'M', 10},
              {"DATE", 'C', 5},
              {"STARS", 'F', 5, 1}},
             {{{"Alien", "1979", "12.50", "19790525", "T", "5", "x", "4.5"}},
              {{"Brazil", "1985", "-3", "        ", "n", "", "y", "3"}, true},
              {{"Casablanca  ", "", "******", "19430123", "y", "", "z", "2.0"}}});
    Select(1);
    USE(movies_);
    ASSERT_EQ(DbfErrorNo, 0) << ErrorDetail;
  }

  TempDir dir_;
  std::string movies_;
};

TEST_F(TableExprTest, ResultLengthsAndDecimals) {
  struct Case {
    const char* text;
    char type;
    int length;
    int decimals;
  } cases[] = {
      {"NAME", 'C', 30, 0},
      {"UPPER(NAME)", 'C', 30, 0},
      {"TRIM(NAME)", 'C', 30, 0},
      {"NAME + 'x'", 'C', 0, 0},
      {"DTOS(RELEASED)", 'C', 0, 0},
      {"STR(YEAR,4)+DTOS(RELEASED)", 'C', 0, 0},
      {"PRICE", 'N', 10, 2},
      {"PRICE*2", 'N', 13, 2},
      {"5", 'N', 13, 2},
      {"YEAR", 'N', 4, 0},
      {"YEAR + 1", 'N', 13, 2},
      {"STARS", 'N', 5, 1},
      {"YEAR + PRICE", 'N', 10, 2},
      {"STARS > 3", 'L', 1, 0},
      {"COLOR", 'L', 1, 0},
      {"RELEASED", 'D', 8, 0},
      {"RELEASED + 1", 'D', 8, 0},
      {"PLOT", 'M', 256, 0},
  };
  for (const auto& c : cases) {
    CompiledExpr* e = AssignExpr(c.text);
    ASSERT_NE(e, nullptr) << c.text << ": " << ErrorDetail;
    EXPECT_EQ(e->result_type, c.type) << c.text;
    EXPECT_EQ(e->result_length, c.length) << c.text;
    EXPECT_EQ(e->decimals, c.decimals) << c.text;
    FreeExpr(e);
  }
  CompiledExpr* e = AssignExpr("NAME");
  EXPECT_EQ(e->pool_size, 31);
  FreeExpr(e);
  e = AssignExpr("DTOS(RELEASED)");
  EXPECT_EQ(e->pool_size, 9);
  FreeExpr(e);
  MemoWidth = 100;
  e = AssignExpr("PLOT");
  EXPECT_EQ(e->result_length, 100);
  FreeExpr(e);
}

TEST_F(TableExprTest, CheckExprTextCodes) {
  EXPECT_EQ(CheckExprText("  ", true), 359);
  EXPECT_EQ(CheckExprText("NAME", true), 0);
  EXPECT_EQ(CheckExprText(std::string(221, '1'), true), 360);
  std::string key220 = "11";
  while (key220.size() < 220) key220 += "+1";
  EXPECT_EQ(CheckExprText("  " + key220 + "  ", true), 0);
  EXPECT_EQ(CheckExprText(key220 + "+1", false), 362);  // only keys are limited
  EXPECT_EQ(CheckExprText("NAME +", true), 351);
  EXPECT_EQ(CheckExprText("PLOT", true), 361);
  EXPECT_EQ(CheckExprText("COLOR", true), 361);
  EXPECT_EQ(CheckExprText("YEAR", false), 362);
  EXPECT_EQ(CheckExprText("YEAR > 1980 .AND. COLOR", false), 0);
  EXPECT_EQ(DbfErrorNo, 0);
  EXPECT_FALSE(AutoReport);  // as the fixture left it
  SetAutoReport(true);
  SetRaiseOnError(true);
  EXPECT_EQ(CheckExprText("NAME + 1", true), 351);  // never raises
  EXPECT_TRUE(AutoReport);
  EXPECT_EQ(MemoWidth, 256);
  EXPECT_TRUE(CompiledExprs.empty());
}

TEST_F(TableExprTest, FieldReadsFromTheRawRecord) {
  EXPECT_EQ(Text("NAME"), "Alien" + std::string(25, ' '));
  EXPECT_EQ(Text("TRIM(NAME) + '!'"), "Alien!");
  EXPECT_DOUBLE_EQ(Number("YEAR"), 1979);
  EXPECT_DOUBLE_EQ(Number("PRICE * 2"), 25);
  EXPECT_DOUBLE_EQ(Number("STARS"), 4.5);
  EXPECT_EQ(Text("DTOS(RELEASED)"), "19790525");
  EXPECT_TRUE(Logical("COLOR"));
  EXPECT_EQ(Text("PLOT"), "");  // no memo store linked into this test
  EXPECT_FALSE(Logical("DELETED()"));
  EXPECT_DOUBLE_EQ(Number("RECNO()"), 1);

  GO(2);
  EXPECT_DOUBLE_EQ(Number("PRICE"), -3);
  EXPECT_EQ(Text("DTOS(RELEASED)"), "        ");
  EXPECT_FALSE(Logical("COLOR"));  // "n"
  EXPECT_TRUE(Logical("DELETED()"));
  EXPECT_DOUBLE_EQ(Number("RECNO()"), 2);

  GO(3);
  EXPECT_DOUBLE_EQ(Number("YEAR"), 0);    // blank
  EXPECT_DOUBLE_EQ(Number("PRICE"), 0);   // overflow asterisks
  EXPECT_TRUE(Logical("COLOR"));          // "y"
  EXPECT_TRUE(Logical("NAME = 'Casa'"));
  EXPECT_TRUE(Logical("'blanc' $ NAME"));
  EXPECT_EQ(Text("UPPER(NAME)"), "CASABLANCA" + std::string(20, ' '));
}

TEST_F(TableExprTest, AFieldNamedLikeAFunctionIsAFieldUnlessCalled) {
  EXPECT_EQ(Text("DATE"), "x    ");
  Outcome o = Compute("DATE()");
  EXPECT_EQ(o.type, 'D');
  EXPECT_EQ(Compute("DATE ()").type, 'D');
  EXPECT_EQ(Reason("DATE.AND.NAME"), "Syntax error");
  EXPECT_EQ(Reason("name"), "");  // identifiers are read upper-cased
}

TEST_F(TableExprTest, AliasedFieldsReadTheirOwnArea) {
  std::string other = dir_.File("people.dbf");
  WriteDbf(other, {{"NAME", 'C', 12}, {"AGE", 'N', 3}}, {{{"Zoe", "41"}}, {{"Max", "7"}}});
  Select(2);
  USE(other + " ALIAS LONGALIASNAME1");
  ASSERT_EQ(DbfErrorNo, 0) << ErrorDetail;
  GO(2);
  Select(1);
  CompiledExpr* e = AssignExpr("TRIM(LONGALIASNAME1->NAME) + '/' + TRIM(NAME)");
  ASSERT_NE(e, nullptr) << ErrorDetail;
  EvaluateExpr(e);
  EXPECT_EQ(ResultText(e), "Max/Alien");
  FreeExpr(e);
  // Aliases are compared by their first ten characters.
  EXPECT_DOUBLE_EQ(Number("LONGALIASN->AGE + 1"), 8);
  EXPECT_DOUBLE_EQ(Number("longaliasnXYZ->AGE"), 7);
  EXPECT_DOUBLE_EQ(Number("MOVIES->YEAR"), 1979);
  EXPECT_EQ(Reason("NOSUCH->NAME"), "Syntax error");
  EXPECT_EQ(Reason("MOVIES->AGE"), "Syntax error");
  EXPECT_EQ(Reason("AGE"), "Syntax error");  // not in the current area
}

TEST_F(TableExprTest, UnaliasedFieldsFollowTheCurrentAreaAndStaySafe) {
  CompiledExpr* e = AssignExpr("NAME");
  ASSERT_NE(e, nullptr);
  // Another table whose first field is far longer than the compiled one.
  std::string wide = dir_.File("wide.dbf");
  WriteDbf(wide, {{"TEXT", 'C', 200}, {"N", 'N', 3}}, {{{"long text", "1"}}});
  Select(2);
  USE(wide);
  ASSERT_EQ(DbfErrorNo, 0);
  EXPECT_EQ(EvaluateExpr(e), nullptr);
  EXPECT_EQ(DbfErrorNo, 354);
  EXPECT_EQ(ErrorDetail, os::Utf8ToAnsi("Arbeitspool übergelaufen [PARSER/Allocate]"));
  // A closed current area gives the blank value.
  Select(3);
  ASSERT_NE(EvaluateExpr(e), nullptr);
  EXPECT_EQ(ResultText(e), "");
  Select(1);
  EvaluateExpr(e);
  EXPECT_EQ(ResultText(e).substr(0, 5), "Alien");
  FreeExpr(e);
}

TEST_F(TableExprTest, AnEmptyTableGivesBlankValues) {
  std::string empty = dir_.File("empty.dbf");
  WriteDbf(empty, {{"NAME", 'C', 4}, {"N", 'N', 3}, {"D", 'D', 8}, {"L", 'L', 1}}, {});
  Select(2);
  USE(empty);
  ASSERT_EQ(DbfErrorNo, 0);
  EXPECT_EQ(Text("NAME + '|'"), "    |");
  EXPECT_DOUBLE_EQ(Number("N"), 0);
  EXPECT_EQ(Text("DTOS(D)"), "        ");
  EXPECT_FALSE(Logical("L"));
  EXPECT_DOUBLE_EQ(Number("RECNO()"), 0);
}

TEST_F(TableExprTest, FreeExprLeavesUnknownRecordsAlone) {
  CompiledExpr* a = AssignExpr("NAME");
  CompiledExpr* b = AssignExpr("YEAR");
  ASSERT_EQ(CompiledExprs.size(), 2u);
  CompiledExpr stranger;
  FreeExpr(&stranger);
  FreeExpr(nullptr);
  EXPECT_EQ(CompiledExprs.size(), 2u);
  FreeExpr(a);
  FreeExpr(a);  // already gone: harmless
  EXPECT_EQ(CompiledExprs.size(), 1u);
  EXPECT_EQ(CompiledExprs[0], b);
  FreeExpr(b);
  EXPECT_TRUE(CompiledExprs.empty());
}

TEST_F(TableExprTest, TheEngineFiltersThroughTheEntryPoints) {
  ASSERT_TRUE(ExpressionEngine.present);
  CompiledExpr* e = ExpressionEngine.compile("YEAR > 1980");
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(ExpressionEngine.result_type(e), 'L');
  EXPECT_FALSE(EvaluateCondition(e));
  GO(2);
  EXPECT_TRUE(EvaluateCondition(e));
  ExpressionEngine.free(e);

  CompiledExpr* n = ExpressionEngine.compile("PRICE");
  EXPECT_EQ(ExpressionEngine.to_text(n, ExpressionEngine.evaluate(n)), "     -3.00");
  ExpressionEngine.free(n);
  CompiledExpr* d = ExpressionEngine.compile("RELEASED");
  GO(1);
  EXPECT_EQ(ExpressionEngine.to_text(d, ExpressionEngine.evaluate_index_expr(d)), "25.05.79");
  ExpressionEngine.free(d);
  EXPECT_TRUE(CompiledExprs.empty());

  // Navigation honours a filter expression.
  WorkAreas[1]->filter_expr = AssignExpr("YEAR > 1980 .OR. YEAR = 0");
  GoTop();
  EXPECT_EQ(RecNo(), 2);
  SKIP(1);
  EXPECT_EQ(RecNo(), 3);
  SKIP(-1);
  EXPECT_EQ(RecNo(), 2);
}

TEST_F(TableExprTest, VirtualAreasAreReadInTheUnpackedLayout) {
  // A virtual area as the virtual-file manager would present it: the record
  // in the unpacked layout, addressed with the field offsets.
  auto area = std::make_unique<WorkArea>();
  area->alias = "V";
  area->is_virtual = true;
  area->record_count = 1;
  area->record_number = 1;
  area->fields = {{"NAME", 'C', 6, 0, 1},  {"DAY", 'D', 8, 0, 8},  {"PRICE", 'N', 8, 2, 19},
                  {"QTY", 'N', 5, 0, 25},  {"OK", 'L', 1, 0, 29},  {"NOTE", 'M', 10, 0, 30}};
  area->field_count = 6;
  std::vector<std::uint8_t> buffer(34, 0);
  buffer[0] = 1;  // deleted
  buffer[1] = 4;
  std::memcpy(&buffer[2], "Lila  ", 6);
  buffer[8] = 8;
  std::memcpy(&buffer[9], "25.05.79", 8);
  DoubleToReal(-12.25, &buffer[19]);
  std::int32_t qty = 4711;
  std::memcpy(&buffer[25], &qty, 4);
  buffer[29] = 1;
  area->unpacked = buffer.data();
  area->unpacked_size = static_cast<std::uint16_t>(buffer.size());
  WorkAreas[5] = std::move(area);

  EXPECT_EQ(Text("V->NAME + '|'"), "Lila|");
  EXPECT_EQ(Text("DTOS(V->DAY)"), "19790525");
  EXPECT_DOUBLE_EQ(Number("V->PRICE"), -12.25);
  EXPECT_DOUBLE_EQ(Number("V->QTY"), 4711);
  EXPECT_TRUE(Logical("V->OK"));
  EXPECT_EQ(Text("V->NOTE"), "");
  Select(5);
  EXPECT_TRUE(Logical("DELETED()"));
  EXPECT_DOUBLE_EQ(Number("RECNO()"), 1);
  WorkAreas[5].reset();
}

TEST_F(TableExprTest, MemoTextComesThroughTheMemoStore) {
  InstallMemoStore();
  std::string notes = dir_.File("notes.dbf");
  ASSERT_TRUE(CreateDbf(notes, {{"TITLE", 'C', 10, 0}, {"NOTE", 'M', 10, 0}}));
  Select(2);
  USE(notes + " EXCLUSIVE ALIAS NOTES");
  ASSERT_EQ(DbfErrorNo, 0) << ErrorDetail;
  std::int32_t block = MemoStore.append("first line\r\n" + std::string(300, 'x') + "\r\nlast");
  ASSERT_GT(block, 0);
  std::uint8_t* title = FieldAddress(1);
  title[0] = 5;
  std::memcpy(title + 1, "Notes", 5);
  std::memcpy(FieldAddress(2), &block, 4);
  Append();
  ASSERT_EQ(DbfErrorNo, 0) << ErrorDetail;

  // The text keeps its line ends and is cut at the pool size - 1.
  const std::string text = "first line\r\n" + std::string(300, 'x') + "\r\nlast";
  Outcome o = Compute("NOTE");
  EXPECT_EQ(o.type, 'M');
  EXPECT_EQ(o.text, text.substr(0, 255));
  MemoWidth = 1000;
  EXPECT_EQ(Text("NOTE"), text);
  // Read through an alias while another area is current.
  Select(1);
  EXPECT_EQ(Text("NOTES->NOTE"), text);
  EXPECT_EQ(SelectedArea(), 1);
  // A table without memo file: no text, and no memo error either.
  EXPECT_EQ(Text("PLOT"), "");
  EXPECT_EQ(DbfErrorNo, 0);
}

}  // namespace
}  // namespace orvex::test
