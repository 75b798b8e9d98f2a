// Copying memos between tables of different kinds (to the end and to the same
// block number), with both tables' translators, and the errors of copying
// and of creating memo files.
#include <filesystem>

#include "memo_test_support.h"

namespace orvex::test {
namespace {

using MemoCopyTest = MemoTest;

// Opens <name> with kind `kind` in area `area` under the alias <name>.
void OpenIn(MemoTest& test, int area, const std::string& path, std::uint8_t kind,
            RecordTranslator read = nullptr, RecordTranslator write = nullptr) {
  MemoVersionByte = kind;
  ASSERT_TRUE(CreateDbf(path, {{"NAME", 'C', 10, 0}, {"NOTES", 'M', 10, 0}})) << ErrorDetail;
  Select(area);
  USE(path + " EXCLUSIVE", nullptr, 0, std::move(read), std::move(write));
  ASSERT_EQ(DbfErrorNo, 0) << ErrorDetail;
  (void)test;
}

TEST_F(MemoCopyTest, CopiesGoOverInTheDestinationsLayout) {
  OpenIn(*this, 1, Path("three"), kMemoDbase3);
  const std::int32_t text = AddMemo("copied text\r\nline two");
  const std::int32_t long_text = AddMemo(std::string(700, 'k'));
  OpenIn(*this, 2, Path("four"), kMemoDbase4);
  OpenIn(*this, 3, Path("fox"), kMemoFpt);

  Select(2);
  const std::int32_t in_four = CopyMemo(1, text);
  EXPECT_EQ(in_four, 1);
  EXPECT_EQ(MemoText(in_four), "copied text\r\nline two");
  EXPECT_EQ(Hex(ReadFileBytes(Path("four.DBT")).substr(512, 8)), "FF FF 08 00 1D 00 00 00");
  EXPECT_EQ(CopyMemo(1, long_text), 2);
  EXPECT_EQ(MemoText(2), std::string(254, 'k') + std::string(254, 'k') + std::string(192, 'k'));

  Select(3);
  const std::int32_t in_fox = CopyMemo(2, in_four);
  EXPECT_EQ(in_fox, 1);
  EXPECT_EQ(MemoText(in_fox), "copied text\r\nline two");

  Select(1);
  const std::int32_t back = CopyMemo(3, in_fox);
  EXPECT_EQ(back, 4);  // the 700-byte memo holds blocks 2 and 3
  const std::string three = ReadFileBytes(Path("three.DBT"));
  EXPECT_EQ(three.substr(4 * 512, 22), "copied text\r\nline two\x1A");
  EXPECT_EQ(NextFree(three, kMemoDbase3), 5u);
  EXPECT_EQ(CopyMemo(3, 0), 0);
}

TEST_F(MemoCopyTest, NulEndsAHeaderlessDbase3Source) {
  OpenIn(*this, 1, Path("three"), kMemoDbase3);
  CloseArea();
  std::string bytes = ReadFileBytes(Path("three.DBT")).substr(0, 512);
  bytes += std::string("before\0after\x1A", 13) + std::string(499, '\0');
  WriteFileBytes(Path("three.DBT"), bytes);
  USE(Path("three") + " EXCLUSIVE");
  OpenIn(*this, 2, Path("four"), kMemoDbase4);
  EXPECT_EQ(MemoText(CopyMemo(1, 1)), "before");
  Select(1);
  EXPECT_EQ(MemoText(1), std::string("before\0after", 12)) << "reading stops at 0x1A only";
}

TEST_F(MemoCopyTest, CopyAppliesTheSourcesReadAndTheDestinationsWriteTranslator) {
  auto add = [](int by) {
    return [by](char* bytes, int n) {
      for (int i = 0; i < n; ++i) bytes[i] = static_cast<char>(bytes[i] + by);
    };
  };
  OpenIn(*this, 1, Path("src"), kMemoDbase4, add(-1), add(1));
  const std::int32_t block = AddMemo("abc");
  EXPECT_EQ(ReadFileBytes(Path("src.DBT")).substr(520, 3), "bcd");
  OpenIn(*this, 2, Path("dst"), kMemoFpt, add(-2), add(2));
  const std::int32_t copied = CopyMemo(1, block);
  EXPECT_EQ(ReadFileBytes(Path("dst.FPT")).substr(520, 3), "cde");
  EXPECT_EQ(MemoText(copied), "abc");
}

TEST_F(MemoCopyTest, CopyToTheSameBlockNumber) {
  OpenIn(*this, 1, Path("src"), kMemoDbase4);
  AddMemo("one");
  AddMemo("two");
  const std::int32_t third = AddMemo("three");
  OpenIn(*this, 2, Path("dst"), kMemoDbase4);
  EXPECT_EQ(CopyMemoToSameBlock(1, third), third);
  EXPECT_EQ(MemoText(third), "three");
  const std::string bytes = ReadFileBytes(Path("dst.DBT"));
  EXPECT_EQ(bytes.size(), 3u * 512 + 8 + 5);
  EXPECT_EQ(NextFree(bytes, kMemoDbase4), 4u);
}

TEST_F(MemoCopyTest, CopyErrors) {
  OpenIn(*this, 1, Path("src"), kMemoDbase4);
  AppendWithMemo("r", 0);
  OpenIn(*this, 2, Path("dst"), kMemoFpt);
  EXPECT_EQ(CopyMemo(1, 40), 0);
  EXPECT_EQ(DbfErrorNo, 1003);
  EXPECT_EQ(ErrorDetail, WorkAreas[1]->memo.name + " Memo block # 40 [AppendFrom/CopyTo]");
  EXPECT_EQ(CopyMemo(7, 1), 0);
  EXPECT_EQ(DbfErrorNo, 1019);
  EXPECT_EQ(ErrorDetail, " No Memo Field [AppendFrom/CopyTo]");
}

TEST_F(MemoCopyTest, MemoFileThatCannotBeCreatedFailsCreateDbf) {
  std::filesystem::create_directory(Path("blocked.DBT"));
  EXPECT_FALSE(CreateDbf(Path("blocked"), {{"NOTES", 'M', 10, 0}}));
  EXPECT_NE(DbfErrorNo, 0);
  EXPECT_EQ(ErrorDetail, "Cannot create memo file " + Path("blocked.DBT") + " [CreateDbf()]");
}

}  // namespace
}  // namespace orvex::test
