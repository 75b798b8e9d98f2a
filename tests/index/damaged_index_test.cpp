// Damaged index files: cycles, wild page numbers and impossible counts end
// a walk or a search with error 254 instead of a loop or a crash.
#include "index_test_support.h"
#include "engine/engine_text.h"
#include "platform/os/files.h"

namespace orvex::test {
namespace {

class DamagedIndexTest : public IndexTest {
 protected:
  void SetUp() override {
    IndexTest::SetUp();
    std::vector<TestRecord> records;
    for (int i = 0; i < 300; ++i) records.push_back({{std::to_string(100000 + i)}});
    Build(records);
  }
  // Writes the table NAME C(100) with `records` and builds its index.
  void Build(const std::vector<TestRecord>& records) {
    WriteDbf(Path("t.dbf"), {{"NAME", 'C', 100}}, records);
    Use("t.dbf");
    ASSERT_TRUE(MakeIndex({Tag("NAME", "NAME")}, "")) << ErrorDetail;
    CloseAllAreas();
    mdx_name_ = os::ResolvePath(Path("t.mdx"));
    bytes_ = ReadFileBytes(mdx_name_);
    std::uint32_t header = Get32(reinterpret_cast<const std::uint8_t*>(bytes_.data()) + 512 + 32);
    root_ = Get32(reinterpret_cast<const std::uint8_t*>(bytes_.data()) + header * 512);
  }
  void Put(std::size_t at, std::uint32_t v) { Put32(reinterpret_cast<std::uint8_t*>(bytes_.data()) + at, v); }
  // Writes the damaged bytes, opens the index and returns the walk's error.
  int WalkError() {
    WriteFileBytes(mdx_name_, bytes_);
    Use("t.dbf");
    SetIndexTo("");
    if (DbfErrorNo != 0) return DbfErrorNo;
    WalkForward(100000);
    if (DbfErrorNo != 0) return DbfErrorNo;
    WalkBackward(100000);
    if (DbfErrorNo != 0) return DbfErrorNo;
    Find("100150");
    return DbfErrorNo;
  }
  std::string mdx_name_, bytes_;
  std::uint32_t root_ = 0;
};

// Damage the opening does not meet (it looks at the first and last leaf)
// is found by the walk: 254.
TEST_F(DamagedIndexTest, ABranchPointingAtItselfIsReported) {
  Put(root_ * 512 + 8 + 104 + 0, root_);  // the root's second child
  EXPECT_EQ(WalkError(), 254);
  EXPECT_NE(ErrorDetail.find(Ansi("Index-Datei beschädigt.")), std::string::npos) << ErrorDetail;
}

TEST_F(DamagedIndexTest, AWildPageNumberIsReported) {
  Put(root_ * 512 + 8 + 104, 999999);
  EXPECT_EQ(WalkError(), 254);
}

// Damage at the root is met while opening: 222.
TEST_F(DamagedIndexTest, ADamagedRootRefusesTheOpening) {
  Put(root_ * 512 + 8, root_);
  EXPECT_EQ(WalkError(), 222);
  EXPECT_EQ(IndexOf(1), nullptr);
}

TEST_F(DamagedIndexTest, ATrailingPointerToAnAncestorIsReported) {
  std::uint32_t count = Get32(reinterpret_cast<const std::uint8_t*>(bytes_.data()) + root_ * 512);
  std::uint32_t child = Get32(reinterpret_cast<const std::uint8_t*>(bytes_.data()) + root_ * 512 + 8);
  std::uint32_t child_count = Get32(reinterpret_cast<const std::uint8_t*>(bytes_.data()) + child * 512);
  Put(child * 512 + 8 + child_count * 104, root_);  // the child's trailing pointer
  (void)count;
  EXPECT_EQ(WalkError(), 254);
}

TEST_F(DamagedIndexTest, ACountBeyondTheNodeIsReported) {
  auto* b = reinterpret_cast<const std::uint8_t*>(bytes_.data());
  std::uint32_t middle = Get32(b + root_ * 512 + 8 + 104);
  Put(middle * 512, 5000);
  EXPECT_EQ(WalkError(), 254);
}

TEST_F(DamagedIndexTest, ARecordNumberTheTableLacksIsReported) {
  std::uint32_t page = root_;
  auto* b = reinterpret_cast<const std::uint8_t*>(bytes_.data());
  while (Get32(b + page * 512 + 8 + Get32(b + page * 512) * 104) != 0) page = Get32(b + page * 512 + 8);
  Put(page * 512 + 8, 301);  // record count + 1 would read as "past the end"
  EXPECT_EQ(WalkError(), 254);
}

// A walk that would show records twice or out of order stops with 254: a
// branch naming one child twice, and two keys of a leaf swapped.
TEST_F(DamagedIndexTest, AChildGivenTwiceIsReported) {
  auto* b = reinterpret_cast<const std::uint8_t*>(bytes_.data());
  Put(root_ * 512 + 8 + 104, Get32(b + root_ * 512 + 8));  // second child = first
  EXPECT_EQ(WalkError(), 254);
}

// Among equal keys the order cannot tell: the walk notices the leaf it
// stood on before.
TEST_F(DamagedIndexTest, AChildGivenTwiceAmongEqualKeysIsReported) {
  Build(std::vector<TestRecord>(300, TestRecord{{"same"}}));
  auto* b = reinterpret_cast<const std::uint8_t*>(bytes_.data());
  Put(root_ * 512 + 8 + 104, Get32(b + root_ * 512 + 8));
  EXPECT_EQ(WalkError(), 254);
}

TEST_F(DamagedIndexTest, KeysOutOfOrderAreReported) {
  std::uint32_t page = root_;
  auto* b = reinterpret_cast<const std::uint8_t*>(bytes_.data());
  while (Get32(b + page * 512 + 8 + Get32(b + page * 512) * 104) != 0)
    page = Get32(b + page * 512 + 8 + 104);
  ASSERT_GE(Get32(b + page * 512), 3u);
  const std::size_t first = page * 512 + 8 + 4, second = first + 104;
  std::string key = bytes_.substr(first, 100);
  bytes_.replace(first, 100, bytes_.substr(second, 100));
  bytes_.replace(second, 100, key);
  EXPECT_EQ(WalkError(), 254);
}

}  // namespace
}  // namespace orvex::test
