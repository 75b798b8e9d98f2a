// Memo text as lines: the MemoPad's line ends, long lines and word wrap,
// line limits, the AssignMemo text stream in its three modes with its result
// codes, and memo values read by the expression engine.
#include "expr/engine_binding.h"
#include "memo/memo_stream.h"
#include "memo_test_support.h"

namespace orvex::test {
namespace {

using MemoTextTest = MemoTest;

std::vector<std::pair<std::string, int>> PadLines() {
  std::vector<std::pair<std::string, int>> lines;
  for (std::size_t i = 0; i < MemoPad.lines.size(); ++i) {
    lines.emplace_back(MemoPad.lines[i], MemoPad.ends[i]);
  }
  return lines;
}

using Lines = std::vector<std::pair<std::string, int>>;

TEST_F(MemoTextTest, LinesKeepTheirEndsAndComeBackUnchanged) {
  const std::string text = "first\r\nsoft\x8D\nthird\rlone cr\nlone lf\r\n\r\nlast";
  FillPad(text);
  EXPECT_EQ(PadLines(), (Lines{{"first", 13},
                               {"soft", 141},
                               {"third", 13},
                               {"lone cr\nlone lf", 13},
                               {"", 13},
                               {"last", 0}}));
  // A lone CR ends its line as well; the line is stored back with CR LF.
  EXPECT_EQ(MemoPadText(), "first\r\nsoft\x8D\nthird\r\nlone cr\nlone lf\r\n\r\nlast");

  const std::string long_line = std::string(254, 'a') + "bc\r\n" + std::string(254, 'd') + "\r\n";
  FillPad(long_line);
  EXPECT_EQ(PadLines(),
            (Lines{{std::string(254, 'a'), 0}, {"bc", 13}, {std::string(254, 'd'), 13}}));
  EXPECT_EQ(MemoPadText(), long_line);
}

TEST_F(MemoTextTest, LineLimitsStopOrDropLines) {
  FillMemoPad("1\r\n2\r\n3\r\n4", 2);
  EXPECT_EQ(PadLines(), (Lines{{"1", 13}, {"2", 13}}));
  MaxMemoLines = 3;
  FillMemoPad("1\r\n2\r\n3\r\n4\r\n5", 0);
  EXPECT_EQ(PadLines(), (Lines{{"1", 13}, {"2", 13}, {"3", 13}}));
}

TEST_F(MemoTextTest, WordWrapJoinsParagraphLinesAndBreaksAtBlanks) {
  MemoWordWrap = true;
  MemoLineWidth = 9;  // lines of at most 10 characters
  FillPad("one two\r\nthree four five\r\n\r\nsecond para\x8D\nends");
  EXPECT_EQ(PadLines(), (Lines{{"one two", 141},
                               {"three four", 141},
                               {"five", 13},
                               {"", 13},
                               {"second", 141},
                               {"para ends", 0}}));
  FillPad("abcdefghijklmnop");
  EXPECT_EQ(PadLines(), (Lines{{"abcdefghij", 0}, {"klmnop", 0}}));
}

TEST_F(MemoTextTest, GetMemoAndEditMemoRoundTripThroughTheFile) {
  CreateAndUse("t", kMemoDbase4);
  const std::string text = "Zeile 1\r\nZeile 2\x8D\nZeile 3";
  FillPad(text);
  const std::int32_t block = EditMemoCloseMemo(0);
  EXPECT_TRUE(MemoPad.lines.empty()) << "writing empties the pad";
  ASSERT_TRUE(GetMemo(block));
  EXPECT_EQ(PadLines(), (Lines{{"Zeile 1", 13}, {"Zeile 2", 141}, {"Zeile 3", 0}}));
  ASSERT_TRUE(GetMemo(0));
  EXPECT_TRUE(MemoPad.lines.empty());
  ClearMemoPad();
  EXPECT_EQ(EditMemoCloseMemo(block), 0) << "an empty pad writes nothing";
}

TEST_F(MemoTextTest, TranslatorsApplyToMemoTextBothWays) {
  MemoVersionByte = kMemoDbase3;
  ASSERT_TRUE(CreateDbf(Path("t"), {{"NAME", 'C', 10, 0}, {"NOTES", 'M', 10, 0}}));
  auto shift = [](int by) {
    return [by](char* bytes, int n) {
      for (int i = 0; i < n; ++i) {
        if (bytes[i] >= 'a' && bytes[i] <= 'z')
          bytes[i] = static_cast<char>('a' + (bytes[i] - 'a' + by) % 26);
      }
    };
  };
  USE(Path("t") + " EXCLUSIVE", nullptr, 0, shift(25), shift(1));
  ASSERT_EQ(DbfErrorNo, 0) << ErrorDetail;
  const std::int32_t block = AddMemo("abc xyz");
  EXPECT_EQ(ReadFileBytes(Path("t.DBT")).substr(512, 8), "bcd yza\x1A");
  EXPECT_EQ(MemoText(block), "abc xyz");
}

TEST_F(MemoTextTest, AssignMemoStreamsReadWriteAndAppend) {
  CreateAndUse("t", kMemoFpt);
  std::int32_t block = 0;
  MemoStream out(&block);
  ASSERT_EQ(out.Open(MemoStreamMode::kOutput), 0);
  out << "alpha\r\nbeta\nsoft\x8D\ngamma";
  EXPECT_EQ(out.Close(), 0);
  ASSERT_NE(block, 0);
  EXPECT_EQ(MemoText(block), "alpha\r\nbeta\r\nsoft\x8D\ngamma");

  MemoStream append(&block);
  ASSERT_EQ(append.Open(MemoStreamMode::kAppend), 0);
  append << " delta\r\n";
  const std::int32_t before = block;
  EXPECT_EQ(append.Close(), 0);
  EXPECT_NE(block, before) << "FPT memos are rewritten at the end";
  EXPECT_EQ(MemoText(block), "alpha\r\nbeta\r\nsoft\x8D\ngamma delta\r\n");

  std::unique_ptr<std::istream> in = AssignMemo(&block);
  ASSERT_NE(in, nullptr);
  std::string line;
  std::vector<std::string> lines;
  while (std::getline(*in, line)) lines.push_back(line);
  EXPECT_EQ(lines, (std::vector<std::string>{"alpha\r", "beta\r", "soft\x8D", "gamma delta\r"}));
}

TEST_F(MemoTextTest, AssignMemoResultCodes) {
  CreateAndUse("t", kMemoDbase4);
  std::int32_t block = AddMemo("text");
  MemoStream in(&block);
  EXPECT_EQ(in.Close(), 104);
  ASSERT_EQ(in.Open(MemoStreamMode::kInput), 0);
  in << "x";
  EXPECT_EQ(in.result(), 102);
  EXPECT_TRUE(in.bad());
  EXPECT_EQ(in.Close(), 102);

  std::int32_t bad = 999;
  MemoStream broken(&bad);
  EXPECT_EQ(broken.Open(MemoStreamMode::kInput), 100);
  EXPECT_EQ(DbfErrorNo, 1003);
  EXPECT_EQ(AssignMemo(&bad), nullptr);

  MaxMemoLines = 2;
  std::int32_t many = block;
  MemoStream out(&many);
  ASSERT_EQ(out.Open(MemoStreamMode::kOutput), 0);
  out << "1\n2\n3\n";
  EXPECT_EQ(out.Close(), 101);
  EXPECT_EQ(many, block) << "a failed write leaves the reference alone";

  std::string read_back;
  MemoStream output_only(&many);
  ASSERT_EQ(output_only.Open(MemoStreamMode::kOutput), 0);
  output_only >> read_back;
  EXPECT_EQ(output_only.result(), 102);
}

TEST_F(MemoTextTest, ExpressionEngineReadsMemoValuesThroughAssignMemo) {
  RegisterExpressionEngine();
  CreateAndUse("t", kMemoDbase3);
  AppendWithMemo("first", AddMemo("Hello\r\nWorld"));
  AppendWithMemo("second", 0);
  GO(1);
  CompiledExpr* expr = ExpressionEngine.compile("NOTES");
  ASSERT_NE(expr, nullptr) << ErrorDetail;
  EXPECT_EQ(ExpressionEngine.result_type(expr), 'M');
  const void* value = ExpressionEngine.evaluate(expr);
  ASSERT_NE(value, nullptr);
  EXPECT_EQ(ExpressionEngine.to_text(expr, value), "Hello\r\nWorld");
  GO(2);
  value = ExpressionEngine.evaluate(expr);
  EXPECT_EQ(ExpressionEngine.to_text(expr, value), "");
  ExpressionEngine.free(expr);
}

TEST_F(MemoTextTest, ExpressionsReadMemosWithANegativeReference) {
  // dBASE III files mark a memo with block header by a negative number;
  // the memo store writes one for a text holding 0x1A.
  RegisterExpressionEngine();
  CreateAndUse("t", kMemoDbase3);
  const std::int32_t block = AddMemo("eins\x1A zwei");
  ASSERT_LT(block, 0);
  AppendWithMemo("first", block);
  GO(1);
  CompiledExpr* expr = ExpressionEngine.compile("NOTES");
  ASSERT_NE(expr, nullptr) << ErrorDetail;
  EXPECT_EQ(ExpressionEngine.to_text(expr, ExpressionEngine.evaluate(expr)), "eins\x1A zwei");
  ExpressionEngine.free(expr);
}

}  // namespace
}  // namespace orvex::test
