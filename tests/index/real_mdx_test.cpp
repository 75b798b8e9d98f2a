// Every MDX file of the shared test data (production indexes written by
// other software) opens, each tag walks in non-decreasing key order, and
// each key equals the key our key maker computes for its record.
#include <algorithm>
#include <cctype>

#include "common/file_utils.h"
#include "index/key_maker.h"
#include "index/tag_walk.h"
#include "index_test_support.h"

namespace orvex::test {
namespace {

struct RealIndex {
  const char* table;   // relative to testdata
  int tags;
  std::vector<int> keys;  // keys per tag
};

const RealIndex kRealIndexes[] = {
    {"jdbfdriver/TEST.DBF", 2, {3, 3}},
    {"siemens-step7/canoma-symlist/SYMLIST.DBF", 5, {156, 156, 156, 156, 0}},
    {"siemens-step7/expb-conn/VERBTAB.DBF", 1, {7}},
    {"siemens-step7/expb-conn/VLTAB53.DBF", 1, {7}},
    {"siemens-step7/stdlib30-subblk/BAUSTEIN.DBF", 2, {144, 144}},
    {"siemens-step7/stdlib30-symlist/SYMLIST.DBF", 5, {144, 144, 144, 144, 0}},
    {"siemens-step7/zen01_01-siprom/CHANGELOG.DBF", 6, {3, 3, 3, 3, 3, 3}},
    {"siemens-step7/zen01_01-siprom/SIPROM.DBF", 2, {2, 2}},
};

class RealMdxTest : public IndexTest, public ::testing::WithParamInterface<RealIndex> {};

// Copies the table and its index (the test data folder is read-only and the
// semaphore file lives beside the table).
std::string CopyBeside(const TempDir& dir, const std::string& table) {
  std::string source = TestdataDir() + "/" + table;
  std::string base = source.substr(0, source.size() - 4);
  std::string name = table.substr(table.rfind('/') + 1);
  WriteFileBytes(dir.File(name), ReadFileBytes(source));
  std::string stem = name.substr(0, name.size() - 4);
  WriteFileBytes(dir.File(stem + ".MDX"), ReadFileBytes(base + ".MDX"));
  for (const char* memo : {".DBT", ".dbt"}) {
    if (FileExists(base + memo)) WriteFileBytes(dir.File(stem + memo), ReadFileBytes(base + memo));
  }
  return name;
}

TEST_P(RealMdxTest, OpensWalksInOrderAndKeysMatchOurKeyMaker) {
  ORVEX_REQUIRE_TESTDATA();
  const RealIndex& real = GetParam();
  // Raw bytes, so that the keys compare with what the other writer stored.
  AnsiTables = true;
  // VLTAB53.DBF carries a descriptor of type '0' and length 0 (the tag's name):
  // the table opens once that type is allowed.
  AllowedFieldTypes.set('0');
  std::string name = CopyBeside(dir_, real.table);
  Use(name, /*shared=*/true);
  SetIndexTo("");
  ASSERT_EQ(DbfErrorNo, 0) << ErrorDetail;
  IndexFile* index = IndexOf(1);
  ASSERT_NE(index, nullptr);
  ASSERT_EQ(static_cast<int>(index->tags.size()), real.tags);
  for (int n = 1; n <= real.tags; ++n) {
    SCOPED_TRACE(real.table + std::string(" tag ") + std::to_string(n));
    Set_Order_To(n);
    ASSERT_EQ(DbfErrorNo, 0) << ErrorDetail;
    TagState& tag = *index->tags[static_cast<std::size_t>(n - 1)];
    std::vector<std::int32_t> records = WalkForward();
    ASSERT_EQ(DbfErrorNo, 0) << ErrorDetail;
    EXPECT_EQ(static_cast<int>(records.size()), real.keys[static_cast<std::size_t>(n - 1)]);
    std::string previous;
    GoTop();
    for (std::int32_t record : records) {
      ASSERT_EQ(RecNo(), record);
      std::string computed;
      ASSERT_TRUE(MakeKey(KeySourceOf(*index, tag), &computed));
      ASSERT_TRUE(tag.order.SameKey(reinterpret_cast<const std::uint8_t*>(tag.current_key.data()),
                                    reinterpret_cast<const std::uint8_t*>(computed.data())))
          << "record " << record << " stored [" << tag.current_key << "] computed [" << computed << "]";
      if (!previous.empty()) {
        EXPECT_LE(tag.order.Compare(reinterpret_cast<const std::uint8_t*>(previous.data()),
                                    reinterpret_cast<const std::uint8_t*>(tag.current_key.data())),
                  0);
      }
      previous = tag.current_key;
      SKIP(1);
    }
    // Backwards gives the same records reversed.
    std::vector<std::int32_t> back = WalkBackward();
    std::reverse(back.begin(), back.end());
    EXPECT_EQ(back, records);
    // Find of every record's key lands on a record with that key.
    for (std::int32_t record : records) {
      GO(record);
      std::string text = KeyText(1, n);
      if (tag.layout.key_type == 'C') continue;  // numeric keys are searched by value below
      ASSERT_TRUE(Find(text)) << text;
    }
  }
  // A record missing from a tag (a stale empty tag) neither fails GO nor
  // stepping.
  Set_Order_To(real.tags);
  GO(1);
  EXPECT_EQ(DbfErrorNo, 0) << ErrorDetail;
  SKIP(1);
  SKIP(-1);
  EXPECT_TRUE(DbfErrorNo == 0 || DbfErrorNo == 212) << ErrorDetail;
}

INSTANTIATE_TEST_SUITE_P(Testdata, RealMdxTest, ::testing::ValuesIn(kRealIndexes),
                         [](const ::testing::TestParamInfo<RealIndex>& info) {
                           std::string name = info.param.table;
                           for (char& c : name) {
                             if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                           }
                           return name;
                         });

}  // namespace
}  // namespace orvex::test
