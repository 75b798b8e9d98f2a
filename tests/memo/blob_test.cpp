// BLOB access: reading headerless and headed memos as byte streams, learning
// a length by seeking to the end, writing with OEM conversion and its
// switch-off by a zero byte, the translator buffer, and what destroying a
// descriptor leaves in the file.
#include "memo/blob.h"

#include "memo_test_support.h"

namespace orvex::test {
namespace {

using BlobTest = MemoTest;

std::string ReadAll(std::int32_t piece) {
  std::string out;
  std::string buffer(static_cast<std::size_t>(piece), '\0');
  for (std::int32_t got; (got = ReadBlobStream(buffer.data(), piece)) > 0;)
    out.append(buffer, 0, got);
  return out;
}

void Write(const std::string& bytes) {
  EXPECT_EQ(WriteBlobStream(bytes.data(), static_cast<std::int32_t>(bytes.size())),
            static_cast<std::int32_t>(bytes.size()));
}

TEST_F(BlobTest, HeaderlessDbase3MemoReadsToItsEndMarkerAndSeekLearnsTheLength) {
  CreateAndUse("t", kMemoDbase3);
  const std::int32_t block = AddMemo(
      "Gr\x81\xE1"
      "e aus K\x94ln");  // OEM text
  ASSERT_EQ(CreateBlobDescriptor(true, block, kBlobRead), -block);
  EXPECT_EQ(SeekBlobStream(0, 2), 14);
  EXPECT_EQ(SeekBlobStream(-3, 2), 11);
  EXPECT_EQ(SeekBlobStream(0, 0), 0);
  EXPECT_EQ(ReadAll(4),
            "Gr\xFC\xDF"
            "e aus K\xF6ln");  // ANSI
  DestroyBlobDescriptor();

  const std::string long_text(1500, 'L');
  const std::int32_t long_block = AddMemo(long_text);
  ASSERT_EQ(CreateBlobDescriptor(false, long_block, kBlobRead), -long_block);
  EXPECT_EQ(ReadAll(100), long_text);
  EXPECT_EQ(SeekBlobStream(0, 1), 1500);
  DestroyBlobDescriptor();
}

TEST_F(BlobTest, WrittenTextIsConvertedToOemAndGetsABlockHeader) {
  CreateAndUse("t", kMemoDbase4);
  const std::int32_t block = CreateBlobDescriptor(true, 0, kBlobWrite);
  ASSERT_EQ(block, 1);
  Write(
      "Gr\xFC\xDF"
      "e");
  DestroyBlobDescriptor();
  const std::string bytes = ReadFileBytes(Path("t.DBT"));
  EXPECT_EQ(Hex(bytes.substr(512)), "FF FF 08 00 0D 00 00 00 47 72 81 E1 65");
  EXPECT_EQ(NextFree(bytes, kMemoDbase4), 2u);

  ASSERT_EQ(CreateBlobDescriptor(true, block, kBlobRead), block);
  EXPECT_EQ(SeekBlobStream(0, 2), 5);
  SeekBlobStream(1, 0);
  EXPECT_EQ(ReadAll(512),
            "r\xFC\xDF"
            "e");
}

TEST_F(BlobTest, ZeroByteInTheFirstPieceSwitchesConversionOff) {
  CreateAndUse("t", kMemoFpt);
  const std::int32_t block = CreateBlobDescriptor(true, 0, kBlobWrite);
  Write(std::string("a\0b", 3));
  Write("\xFC");
  DestroyBlobDescriptor();
  ASSERT_EQ(CreateBlobDescriptor(false, block, kBlobRead), block);
  EXPECT_EQ(ReadAll(512), std::string("a\0b\xFC", 4));
}

TEST_F(BlobTest, Dbase3MemoWrittenAsBlobCarriesAHeaderAndANegativeNumber) {
  CreateAndUse("t", kMemoDbase3);
  const std::int32_t block = CreateBlobDescriptor(false, 0, kBlobWrite);
  ASSERT_EQ(block, -1);
  Write(std::string("bin\x1A\0ary", 8));
  DestroyBlobDescriptor();
  const std::string bytes = ReadFileBytes(Path("t.DBT"));
  EXPECT_EQ(Hex(bytes.substr(512, 8)), "FF FF 08 00 10 00 00 00");
  EXPECT_EQ(NextFree(bytes, kMemoDbase3), 2u);
  ASSERT_EQ(CreateBlobDescriptor(false, block, kBlobRead), block);
  EXPECT_EQ(ReadAll(3), std::string("bin\x1A\0ary", 8)) << "the length, not the 0x1A, ends it";
  DestroyBlobDescriptor();
  EXPECT_EQ(MemoText(block), std::string("bin\x1A\0ary", 8));
}

TEST_F(BlobTest, DestroyingAnUnwrittenDescriptorLeavesNoBlockHeader) {
  CreateAndUse("t", kMemoDbase3);
  ASSERT_EQ(CreateBlobDescriptor(false, 0, kBlobWrite), -1);
  DestroyBlobDescriptor();
  const std::string bytes = ReadFileBytes(Path("t.DBT"));
  EXPECT_EQ(bytes.size(), 513u);
  EXPECT_EQ(bytes[512], '\x1A');
  EXPECT_EQ(AddMemo("next"), 1) << "the write lock was released";
}

TEST_F(BlobTest, LengthIsTheFurthestByteWrittenAfterSeekingBack) {
  CreateAndUse("t", kMemoDbase4);
  const std::int32_t block = CreateBlobDescriptor(false, 0, kBlobWrite);
  Write("0123456789");
  EXPECT_EQ(SeekBlobStream(2, 0), 2);
  Write("abc");
  EXPECT_EQ(SeekBlobStream(0, 2), 10);
  EXPECT_EQ(ReadBlobStream(nullptr, 5), 0) << "no reading in write mode";
  DestroyBlobDescriptor();
  EXPECT_EQ(MemoText(block), "01abc56789");
}

TEST_F(BlobTest, TablesWithTranslatorsTransferThroughTheTranslatedBuffer) {
  MemoVersionByte = kMemoDbase4;
  ASSERT_TRUE(CreateDbf(Path("t"), {{"NAME", 'C', 10, 0}, {"NOTES", 'M', 10, 0}}));
  auto flip = [](char* bytes, int n) {
    for (int i = 0; i < n; ++i) bytes[i] = static_cast<char>(bytes[i] ^ 0x20);
  };
  USE(Path("t") + " EXCLUSIVE", nullptr, 0, flip, flip);
  ASSERT_EQ(DbfErrorNo, 0) << ErrorDetail;
  std::string data;
  for (int i = 0; i < 1400; ++i) data += static_cast<char>('A' + i % 26);
  const std::int32_t block = CreateBlobDescriptor(false, 0, kBlobWrite);
  for (std::size_t at = 0; at < data.size(); at += 300) Write(data.substr(at, 300));
  SeekBlobStream(700, 0);
  Write("XYZ");
  data.replace(700, 3, "XYZ");
  DestroyBlobDescriptor();
  const std::string stored = ReadFileBytes(Path("t.DBT")).substr(520, 1400);
  std::string expected_stored = data;
  flip(expected_stored.data(), static_cast<int>(expected_stored.size()));
  EXPECT_EQ(stored, expected_stored);
  ASSERT_EQ(CreateBlobDescriptor(false, block, kBlobRead), block);
  EXPECT_EQ(ReadAll(333), data);
}

TEST_F(BlobTest, Dbase4BlobReplacesTheRecordsOldMemoAtTheEnd) {
  CreateAndUse("t", kMemoDbase4);
  const std::int32_t old_block = AddMemo(std::string(600, 'o'));
  const std::int32_t block = CreateBlobDescriptor(false, old_block, kBlobWrite);
  EXPECT_EQ(block, 3);
  Write("new");
  DestroyBlobDescriptor();
  EXPECT_EQ(MemoText(block), "new");
  const std::string bytes = ReadFileBytes(Path("t.DBT"));
  EXPECT_EQ(GetLe32(reinterpret_cast<const unsigned char*>(bytes.data()) + 32), 2u)
      << "the two blocks given up are counted";
}

TEST_F(BlobTest, AddressesBeyondTheEndAndSeeksOfEveryOrigin) {
  CreateAndUse("t", kMemoDbase4);
  AppendWithMemo("rec", 0);
  EXPECT_EQ(SeekBlobStream(5, 0), 0) << "no descriptor yet";
  EXPECT_EQ(CreateBlobDescriptor(false, 77, kBlobRead), 0);
  EXPECT_EQ(DbfErrorNo, 1003);
  EXPECT_EQ(ErrorDetail,
            "77 " + CurrentWorkArea()->memo.name + " Record # 1 [CreateBlobDescriptor]");

  const std::int32_t block = AddMemo("0123456789");
  ASSERT_EQ(CreateBlobDescriptor(false, block, kBlobRead), block);
  EXPECT_EQ(SeekBlobStream(4, 0), 4);
  EXPECT_EQ(SeekBlobStream(3, 1), 7);
  EXPECT_EQ(SeekBlobStream(-20, 1), 0);
  EXPECT_EQ(SeekBlobStream(6, 9), 0) << "an unknown origin keeps the position";
  EXPECT_EQ(SeekBlobStream(-1, 2), 9);
  EXPECT_EQ(ReadAll(10), "9");
  EXPECT_EQ(WriteBlobStream("x", 1), 0) << "no writing in read mode";

  ASSERT_EQ(CreateBlobDescriptor(false, 0, kBlobRead), 0);
  EXPECT_EQ(ReadAll(10), "") << "block 0 is an empty memo";
}

}  // namespace
}  // namespace orvex::test
