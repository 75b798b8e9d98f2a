// Independent check: Perl's XBase module (XBase::mdx) reads the MDX files we
// write and walks every tag in our order: character, numeric, date,
// descending, unique and FOR tags, shallow and deep trees.
#include "index_test_support.h"
#include "platform/os/files.h"

namespace orvex::test {
namespace {

class MdxInteropTest : public IndexTest {};

TEST_F(MdxInteropTest, PerlWalksEveryTagInOurOrder) {
  if (RunProcess({"/usr/bin/perl", "-MXBase", "-e", "1"}).exit_status != 0) GTEST_SKIP() << "Perl XBase not installed";
  std::vector<TestRecord> records;
  for (int i = 0; i < 3000; ++i) {
    int k = (i * 7919) % 3000;
    records.push_back({{"Title " + std::to_string(k % 977), std::to_string(1900 + k % 120), std::to_string(k % 50) + ".5",
                        std::to_string(19000101 + (k % 12) * 100 + k % 28)},
                       i % 10 == 0});
  }
  WriteDbf(Path("movies.dbf"), {{"TITLE", 'C', 30}, {"YEAR", 'N', 4}, {"STARS", 'N', 5, 1}, {"PREMIERE", 'D', 8}},
           records);
  Use("movies.dbf");
  const std::vector<TagDefinition> tags = {
      Tag("TITLE", "LOWER(TITLE)"),          Tag("YEAR", "YEAR"),
      Tag("STARS", "STARS", "", true),       Tag("PREMIERE", "PREMIERE"),
      Tag("UTITLE", "UPPER(TITLE)", "", false, true), Tag("RECENT", "YEAR", "YEAR > 1990"),
      Tag("LONG", "TITLE+TITLE+TITLE"),
  };
  ASSERT_TRUE(MakeIndex(tags, "")) << ErrorDetail;
  SetIndexTo("");
  ASSERT_EQ(DbfErrorNo, 0) << ErrorDetail;
  const std::string mdx = os::ResolvePath(Path("movies.mdx"));
  for (const TagDefinition& tag : tags) {
    SetOrderToTag(tag.name);
    std::vector<std::int32_t> ours = WalkForward();
    ASSERT_FALSE(ours.empty());
    EXPECT_EQ(PerlWalk(mdx, tag.name), ours) << tag.name;
  }
}

// Keys we insert and remove, with node splits and unlinked nodes, leave a
// file Perl still walks in our order.
TEST_F(MdxInteropTest, PerlWalksTagsWeMaintained) {
  if (RunProcess({"/usr/bin/perl", "-MXBase", "-e", "1"}).exit_status != 0) GTEST_SKIP() << "Perl XBase not installed";
  WriteDbf(Path("t.dbf"), {{"NAME", 'C', 20}, {"NUM", 'C', 6}}, {});
  Use("t.dbf");
  const std::vector<TagDefinition> tags = {Tag("NAME", "NAME"), Tag("NUM", "VAL(NUM)", "", true),
                                           Tag("UNAME", "NAME", "", false, true), Tag("LIVE", "NAME", "DELETED()=.F.")};
  ASSERT_TRUE(MakeIndex(tags, "")) << ErrorDetail;
  SetIndexTo("");
  for (int i = 0; i < 1500; ++i) {
    int k = (i * 7919) % 1500;
    SetText(1, "name " + std::to_string(k % 400));
    SetText(2, std::to_string(k % 97 - 40));
    Append();
    ASSERT_EQ(DbfErrorNo, 0) << ErrorDetail;
  }
  for (int r = 1; r <= 1500; r += 3) {
    GO(r);
    if (r % 2 == 0) {
      DeleteRec();
    } else {
      SetText(1, "edited " + std::to_string(r));
      Replace();
    }
    ASSERT_EQ(DbfErrorNo, 0) << ErrorDetail;
  }
  const std::string mdx = os::ResolvePath(Path("t.mdx"));
  for (const TagDefinition& tag : tags) {
    SetOrderToTag(tag.name);
    std::vector<std::int32_t> ours = WalkForward();
    ASSERT_FALSE(ours.empty());
    EXPECT_EQ(PerlWalk(mdx, tag.name), ours) << tag.name;
  }
}

}  // namespace
}  // namespace orvex::test
