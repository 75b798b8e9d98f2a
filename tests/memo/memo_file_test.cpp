// Memo files byte for byte: new files of the three kinds, where memos land,
// the header's next-free after writes, dBASE IV block reuse, and the errors
// of opening and addressing.
#include "memo/memo_pack.h"
#include "memo_test_support.h"

namespace orvex::test {
namespace {

using MemoFileTest = MemoTest;

TEST_F(MemoFileTest, NewFilesOfEachKindByteForByte) {
  MemoVersionByte = kMemoDbase3;
  ASSERT_TRUE(CreateDbf(Path("three"), {{"NOTES", 'M', 10, 0}}));
  std::string expected(513, '\0');
  expected[0] = 1;
  expected[512] = 0x1A;
  EXPECT_EQ(ReadFileBytes(Path("three.DBT")), expected);

  MemoVersionByte = kMemoDbase4;
  ASSERT_TRUE(CreateDbf(Path("movies"), {{"NOTES", 'M', 10, 0}}));
  EXPECT_EQ(Hex(ReadFileBytes(Path("movies.DBT"))),
            "01 00 00 00 00 00 00 00 6D 6F 76 69 65 73 00 00 00 00 02 01 00 02 00 00");

  MemoVersionByte = kMemoFpt;
  MemoBlockSize = 64;
  ASSERT_TRUE(CreateDbf(Path("fox"), {{"NOTES", 'M', 10, 0}}));
  const std::string fpt = ReadFileBytes(Path("fox.FPT"));
  ASSERT_EQ(fpt.size(), 512u);
  EXPECT_EQ(Hex(fpt.substr(0, 8)), "00 00 00 08 00 00 00 40");
  EXPECT_EQ(fpt.substr(8), std::string(504, '\0'));
}

TEST_F(MemoFileTest, BaseNameInDbase4HeaderIsCutToEightCharacters) {
  ASSERT_TRUE(CreateDbf(Path("averylongname"), {{"NOTES", 'M', 10, 0}}));
  EXPECT_EQ(ReadFileBytes(Path("averylongname.DBT")).substr(8, 8), "averylon");
}

TEST_F(MemoFileTest, BlockSizesTheKindsCannotHoldAreRefused) {
  MemoBlockSize = 32;
  EXPECT_FALSE(CreateDbf(Path("small"), {{"NOTES", 'M', 10, 0}}));
  EXPECT_EQ(DbfErrorNo, 220);
  MemoVersionByte = kMemoFpt;
  MemoBlockSize = 0;
  EXPECT_FALSE(CreateDbf(Path("zero"), {{"NOTES", 'M', 10, 0}}));
  EXPECT_EQ(DbfErrorNo, 220);
  // Neither table is left behind without its memo file.
  EXPECT_FALSE(os::FileExists(Path("small.dbf")));
  EXPECT_FALSE(os::FileExists(Path("zero.dbf")));
}

TEST_F(MemoFileTest, AddMemoOnFreshDbase3FileOverwritesTheEndMarker) {
  CreateAndUse("t", kMemoDbase3);
  EXPECT_EQ(AddMemo("   "), 0);
  EXPECT_EQ(ReadFileBytes(Path("t.DBT")).size(), 513u);
  EXPECT_EQ(AddMemo("Hello  "), 1);
  const std::string bytes = ReadFileBytes(Path("t.DBT"));
  ASSERT_EQ(bytes.size(), 1024u);
  EXPECT_EQ(bytes.substr(512, 6), "Hello\x1A");
  EXPECT_EQ(bytes.substr(518), std::string(506, '\0'));
  EXPECT_EQ(NextFree(bytes, kMemoDbase3), 2u);
  EXPECT_EQ(AddMemo(std::string(600, 'x')), 2);
  EXPECT_EQ(ReadFileBytes(Path("t.DBT")).size(), 2048u);
  EXPECT_EQ(MemoText(2), std::string(254, 'x') + std::string(254, 'x') + std::string(92, 'x'));
}

TEST_F(MemoFileTest, Dbase3TextHoldingTheEndMarkerKeepsItsBytesBehindABlockHeader) {
  CreateAndUse("t", kMemoDbase3);
  const std::string text(
      "before\x1A"
      "after",
      12);
  const std::int32_t block = AddMemo(text);
  ASSERT_EQ(block, -1);
  EXPECT_EQ(Hex(ReadFileBytes(Path("t.DBT")).substr(512, 8)), "FF FF 08 00 14 00 00 00");
  EXPECT_EQ(MemoText(block), text);
  AppendWithMemo("r", block);
  PackMemofile();
  ASSERT_EQ(DbfErrorNo, 0) << ErrorDetail;
  EXPECT_EQ(NotesBlock(), -1);
  EXPECT_EQ(MemoText(NotesBlock()), text);
}

TEST_F(MemoFileTest, FiveCharacterDbase4MemoInBlockThree) {
  CreateAndUse("t", kMemoDbase4);
  EXPECT_EQ(AddMemo("one"), 1);
  EXPECT_EQ(AddMemo("two"), 2);
  const std::int32_t block = AddMemo("Hello");
  ASSERT_EQ(block, 3);
  AppendWithMemo("rec", block);
  CloseArea();
  const std::string memo = ReadFileBytes(Path("t.DBT"));
  EXPECT_EQ(Hex(memo.substr(1536, 8)), "FF FF 08 00 0D 00 00 00");
  EXPECT_EQ(memo.substr(1544), "Hello");
  EXPECT_EQ(NextFree(memo, kMemoDbase4), 4u);
  const std::string table = ReadFileBytes(Path("t.DBF"));
  // Header 32 + 2 x 32 + 1 = 97; the record: flag, NAME(10), NOTES(10).
  EXPECT_EQ(table.substr(97 + 11, 10), "         3");
}

TEST_F(MemoFileTest, FptMemoWithBlockSize64) {
  MemoBlockSize = 64;
  CreateAndUse("t", kMemoFpt);
  EXPECT_EQ(AddMemo("abc"), 8);
  EXPECT_EQ(AddMemo(std::string(100, 'y')), 9);
  const std::string bytes = ReadFileBytes(Path("t.FPT"));
  EXPECT_EQ(Hex(bytes.substr(512, 11)), "00 00 00 01 00 00 00 03 61 62 63");
  EXPECT_EQ(Hex(bytes.substr(576, 8)), "00 00 00 01 00 00 00 64");
  EXPECT_EQ(bytes.size(), 576u + 108u);
  EXPECT_EQ(NextFree(bytes, kMemoFpt), 11u);  // 684 / 64 rounded up
  EXPECT_EQ(MemoText(9), std::string(100, 'y'));
}

class NextFreeTest : public MemoTest, public ::testing::WithParamInterface<int> {};

TEST_P(NextFreeTest, NextFreeIsFileSizeOverBlockSizeRoundedUpAfterEveryWrite) {
  const auto kind = static_cast<std::uint8_t>(GetParam());
  CreateAndUse("t", kind);
  const std::string file = Path(kind == kMemoFpt ? "t.FPT" : "t.DBT");
  auto check = [&] {
    const std::string bytes = ReadFileBytes(file);
    EXPECT_EQ(NextFree(bytes, kind), (bytes.size() + 511) / 512) << "size " << bytes.size();
  };
  std::int32_t block = AddMemo("first memo");
  check();
  FillPad(std::string(700, 'a') + "\r\nsecond line");
  block = EditMemoCloseMemo(block);
  check();
  FillPad("short");
  block = EditMemoCloseMemo(block);
  check();
  EXPECT_EQ(MemoText(block), "short");
  AddMemo(std::string(1500, 'z'));
  check();
}

INSTANTIATE_TEST_SUITE_P(Kinds, NextFreeTest, ::testing::Values(0x83, 0x8B, 0xF5));

TEST_F(MemoFileTest, Dbase4MemoStaysInPlaceWhenItFitsAndMovesWhenItGrows) {
  CreateAndUse("t", kMemoDbase4);
  FillPad(std::string(600, 'a'));
  const std::int32_t first = EditMemoCloseMemo(0);
  ASSERT_EQ(first, 1);
  EXPECT_EQ(AddMemo("after"), 3);  // the 600-byte memo takes blocks 1 and 2
  FillPad(std::string(100, 'b'));
  EXPECT_EQ(EditMemoCloseMemo(first), first);
  EXPECT_EQ(MemoText(first), std::string(100, 'b'));
  EXPECT_EQ(MemoText(3), "after");
  const std::string before = ReadFileBytes(Path("t.DBT"));
  FillPad(std::string(1200, 'c'));
  const std::int32_t moved = EditMemoCloseMemo(first);
  EXPECT_EQ(moved, 4);  // the end of the file: 4 blocks before the write
  EXPECT_EQ(MemoText(moved), std::string(254, 'c') + std::string(254, 'c') + std::string(254, 'c') +
                                 std::string(254, 'c') + std::string(184, 'c'));
  const std::string after = ReadFileBytes(Path("t.DBT"));
  EXPECT_EQ(after.substr(512, 108), before.substr(512, 108)) << "the old memo is left alone";
  // The counter at 32 counts blocks given up by moved memos and blocks read.
  EXPECT_GT(GetLe32(reinterpret_cast<const unsigned char*>(after.data()) + 32), 0u);
}

TEST_F(MemoFileTest, StoredLengthCountsOnlyTheBytesWritten) {
  CreateAndUse("t", kMemoDbase4);
  FillPad("line one\r\nline two");
  ASSERT_EQ(EditMemoCloseMemo(0), 1);
  const std::string bytes = ReadFileBytes(Path("t.DBT"));
  EXPECT_EQ(GetLe32(reinterpret_cast<const unsigned char*>(bytes.data()) + 516), 18u + 8u);
  EXPECT_EQ(bytes.substr(520), "line one\r\nline two");
}

TEST_F(MemoFileTest, Dbase4ReuseTakesAGroupOfTheFreeChain) {
  CreateAndUse("t", kMemoDbase4);
  for (int i = 0; i < 4; ++i) AddMemo("memo " + std::to_string(i));  // blocks 1-4
  CloseArea();
  // A chain as another program leaves it: head 2, group 2 of 2 blocks whose
  // next field is the end of the file (5 blocks).
  std::string bytes = ReadFileBytes(Path("t.DBT"));
  bytes.resize(5 * 512, '\0');
  PutLe32(reinterpret_cast<unsigned char*>(bytes.data()), 2);
  PutLe32(reinterpret_cast<unsigned char*>(bytes.data()) + 1024, 5);
  PutLe32(reinterpret_cast<unsigned char*>(bytes.data()) + 1028, 2);
  WriteFileBytes(Path("t.DBT"), bytes);
  USE(Path("t") + " EXCLUSIVE");
  FillPad(std::string(700, 'q'));
  EXPECT_EQ(EditMemoCloseMemo(0), 2);
  EXPECT_EQ(MemoText(2), std::string(254, 'q') + std::string(254, 'q') + std::string(192, 'q'));
  EXPECT_EQ(MemoText(4), "memo 3");
  EXPECT_EQ(NextFree(ReadFileBytes(Path("t.DBT")), kMemoDbase4), 5u);
}

TEST_F(MemoFileTest, ReadingEitherLayoutInDbase3AndDbase4Files) {
  CreateAndUse("t", kMemoDbase3);
  CloseArea();
  std::string bytes = ReadFileBytes(Path("t.DBT")).substr(0, 512);
  bytes += std::string(
               "\xFF\xFF\x08\x00\x0B\x00\x00\x00"
               "abc",
               11) +
           std::string(501, '\0');
  bytes += "plain\x1A" + std::string(506, '\0');
  WriteFileBytes(Path("t.DBT"), bytes);
  USE(Path("t") + " EXCLUSIVE");
  EXPECT_EQ(MemoText(-1), "abc");  // the negative form of a memo with block header
  EXPECT_EQ(MemoText(1), "abc");
  EXPECT_EQ(MemoText(2), "plain");
}

TEST_F(MemoFileTest, AMemoIsReadOnlyWithinTheFile) {
  // dBASE IV, block size 512: memo "first" in block 1, "second" in block 2.
  CreateAndUse("t", kMemoDbase4);
  AppendWithMemo("a", AddMemo("first"));
  AppendWithMemo("b", AddMemo("second"));
  CloseArea();
  const std::string good = ReadFileBytes(Path("t.DBT"));
  const std::string memo_name = Path("t.DBT");
  struct Case {
    const char* what;
    std::string bytes;
    std::int32_t block;
    std::string detail;  // "" = read as it stands
  } cases[] = {
      // Block 1's length reaches over block 2 and past the end of the file.
      {"length past the end",
       good.substr(0, 516) + std::string("\xE8\x03\x00\x00", 4) + good.substr(520), 1,
       memo_name +
           " Record # 1: length 992 runs past the end of the file (518 bytes left) [GetMemo]"},
      // Block 1's length reaches into block 2, which holds another memo.
      {"length into the next memo",
       good.substr(0, 516) + std::string("\x08\x02\x00\x00", 4) + good.substr(520), 1,
       memo_name + " Record # 1: length 512 runs into the memo at block 2 [GetMemo]"},
      // The file cut inside block 2's text.
      {"file cut short", good.substr(0, 1024 + 8 + 3), 2,
       memo_name + " Record # 1: length 6 runs past the end of the file (3 bytes left) [GetMemo]"},
      {"intact", good, 2, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WriteFileBytes(Path("t.DBT"), c.bytes);
    USE(Path("t") + " EXCLUSIVE");
    DbfErrorNo = 0;
    const bool read = GetMemo(c.block);
    EXPECT_EQ(read, c.detail.empty());
    EXPECT_EQ(DbfErrorNo, c.detail.empty() ? 0 : 1003);
    EXPECT_EQ(c.detail.empty() ? c.detail : ErrorDetail, c.detail);
    std::string text;
    EXPECT_EQ(ReadMemo(c.block, &text), c.detail.empty());
    EXPECT_EQ(text, c.detail.empty() ? "second" : "");
    EXPECT_TRUE(ReadMemo(2, &text) || c.block == 2)
        << ErrorDetail;  // the memo after block 1 is sound
    CloseArea();
  }

  // dBASE III: a text whose end marker the file no longer holds.
  CreateAndUse("d3", kMemoDbase3);
  AppendWithMemo("a", AddMemo(std::string(700, 'x')));
  CloseArea();
  WriteFileBytes(Path("d3.DBT"), ReadFileBytes(Path("d3.DBT")).substr(0, 512 + 600));
  USE(Path("d3") + " EXCLUSIVE");
  EXPECT_FALSE(GetMemo(1));
  EXPECT_EQ(ErrorDetail,
            Path("d3.DBT") + " Record # 1: no end marker before the end of the file [GetMemo]");
}

TEST_F(MemoFileTest, FieldReferencesAreReadAsTheFileHoldsThem) {
  CreateAndUse("t", kMemoDbase4);
  AppendWithMemo("a", AddMemo("first"));
  CloseArea();
  const std::string table = ReadFileBytes(Path("t.DBF"));
  const std::size_t field = 32 * 3 + 1 + 1 + 10;  // record 1, NOTES
  const std::string memo_name = Path("t.DBT");
  struct Case {
    std::string stored;
    bool read;
    std::string text_or_detail;
  } cases[] = {
      {"         1", true, "first"},
      {"          ", true, ""},
      // 2^32 + 1: block 1 when cut to 32 bits.
      {"4294967297", false, memo_name + " Record # 1 [ReadMemo]"},
      {"   1x     ", false,
       memo_name + " Record # 1: reference is no block number:    1x      [ReadMemo]"},
      {"        - ", false,
       memo_name + " Record # 1: reference is no block number:         -  [ReadMemo]"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.stored);
    std::string bytes = table;
    bytes.replace(field, 10, c.stored);
    WriteFileBytes(Path("t.DBF"), bytes);
    USE(Path("t") + " EXCLUSIVE");
    std::string text = "untouched";
    EXPECT_EQ(ReadFieldMemo(2, &text), c.read);
    EXPECT_EQ(DbfErrorNo, c.read ? 0 : 1003);
    EXPECT_EQ(c.read ? text : ErrorDetail, c.text_or_detail);
    CloseArea();
  }
  USE(Path("t") + " EXCLUSIVE");
  std::string text;
  EXPECT_FALSE(ReadFieldMemo(1, &text));
  EXPECT_EQ(DbfErrorNo, 211);
}

TEST_F(MemoFileTest, ErrorsOfAddressesOpeningAndMissingMemo) {
  CreateAndUse("t", kMemoDbase4);
  AppendWithMemo("a", 0);
  EXPECT_FALSE(GetMemo(9));
  EXPECT_EQ(DbfErrorNo, 1003);
  const std::string memo_name = CurrentWorkArea()->memo.name;  // the USE path as written
  EXPECT_EQ(memo_name, Path("t.DBT"));  // "t" gets the default extension DBF
  EXPECT_EQ(ErrorDetail, memo_name + " Record # 1 [GetMemo]");
  EXPECT_EQ(ErrorText(1003), "Fehler Nr. 1003 (Unzul\xE4ssige Memo-Adresse)");

  DbfErrorNo = 0;
  OpenMemofile(Path("T"));
  EXPECT_EQ(DbfErrorNo, 1007);
  EXPECT_EQ(ErrorDetail, Path("T") + ".DBT [USE]");

  MemoVersionByte = 0x8B;
  ASSERT_TRUE(CreateDbf(Path("plain"), {{"NAME", 'C', 10, 0}}));
  USE(Path("plain"));
  EXPECT_EQ(AddMemo("x"), 0);
  EXPECT_EQ(DbfErrorNo, 1019);
  EXPECT_EQ(ErrorDetail, " No Memo Field [AddMemo]");

  CloseArea();
  EXPECT_FALSE(GetMemo(1));
  EXPECT_EQ(DbfErrorNo, 215);
}

TEST_F(MemoFileTest, MissingMemoFileFailsTheOpenOfItsTable) {
  CreateAndUse("t", kMemoDbase4);
  CloseArea();
  ASSERT_EQ(os::DeleteFile(Path("t.DBT")), 0);
  USE(Path("t"));
  EXPECT_EQ(DbfErrorNo, 2);
  EXPECT_EQ(CurrentWorkArea(), nullptr);
}

TEST_F(MemoFileTest, RecreateEmptiesTheMemoFile) {
  CreateAndUse("t", kMemoDbase4);
  AddMemo("gone soon");
  MemoStore.recreate(Path("T.DBF"));
  ASSERT_EQ(DbfErrorNo, 0) << ErrorDetail;
  EXPECT_EQ(ReadFileBytes(Path("t.DBT")).size(), 24u);
  EXPECT_EQ(AddMemo("again"), 1);
}

TEST_F(MemoFileTest, GetMemoTypeFollowsTheTableOrTheDefault) {
  MemoVersionByte = kMemoFpt;
  EXPECT_EQ(GetMemoType(), kMemoFpt);
  CreateAndUse("t", kMemoDbase3);
  MemoVersionByte = kMemoFpt;
  EXPECT_EQ(GetMemoType(), kMemoDbase3);
}

TEST_F(MemoFileTest, ReadOnlyTableOpensItsMemoReadOnly) {
  CreateAndUse("t", kMemoDbase4);
  const std::int32_t block = AddMemo("kept");
  CloseArea();
  OpenModeOverride = os::kOpenRead;
  USE(Path("t"));
  ASSERT_EQ(DbfErrorNo, 0) << ErrorDetail;
  EXPECT_EQ(MemoText(block), "kept");
  EXPECT_EQ(AddMemo("refused"), 0);
  EXPECT_NE(DbfErrorNo, 0);
}

}  // namespace
}  // namespace orvex::test
