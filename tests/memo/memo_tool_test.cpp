// oxdbf pack-memo: packs a table's memo file from the command line, and
// refuses when it cannot have the table for itself.
#include "memo_test_support.h"

namespace orvex::test {
namespace {

using MemoToolTest = MemoTest;

TEST_F(MemoToolTest, PackMemoShrinksTheMemoFileAndKeepsTheTexts) {
  CreateAndUse("t", kMemoDbase4);
  AddMemo(std::string(5000, 'g'));
  AppendWithMemo("kept", AddMemo("kept text"));
  CloseArea();
  const ProcessResult result = RunProcess({BuildProgram("tools/oxdbf"), "pack-memo", Path("t")});
  EXPECT_EQ(result.exit_status, 0) << result.err;
  EXPECT_EQ(ReadFileBytes(Path("t.DBT")).size(), 512u + 8 + 9);
  USE(Path("t"));
  GO(1);
  EXPECT_EQ(MemoText(NotesBlock()), "kept text");
}

TEST_F(MemoToolTest, PackMemoNeedsTheTableForItself) {
  CreateAndUse("t", kMemoDbase4);
  CloseArea();
  USE(Path("t"));  // shared, as another program would have it
  const ProcessResult result = RunProcess({BuildProgram("tools/oxdbf"), "pack-memo", Path("t")});
  EXPECT_EQ(result.exit_status, 32) << result.out << result.err;
  EXPECT_NE(result.err.find("Fehler Nr. 32"), std::string::npos) << result.err;

  const ProcessResult usage = RunProcess({BuildProgram("tools/oxdbf"), "pack-memo"});
  EXPECT_EQ(usage.exit_status, 2);
}

}  // namespace
}  // namespace orvex::test
