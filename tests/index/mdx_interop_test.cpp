// Independent check: Perl's XBase module (XBase::mdx) reads the MDX files we
// write and walks every tag in our order: character, numeric, date,
// descending, unique and FOR tags, shallow and deep trees.
#include <sstream>

#include "index_test_support.h"
#include "platform/os/files.h"

namespace orvex::test {
namespace {

// Prints the record numbers of a tag in the order XBase::mdx walks it.
const char* kPerlWalk = R"(
use strict;
use XBase::Index;
my ($file, $tag) = @ARGV;
my $index = XBase::Index->new($file, 'tag' => $tag) or die XBase::Index->errstr;
$index->prepare_select or die $index->errstr;
while (my ($key, $record) = $index->fetch) { print "$record\n"; }
)";

std::vector<std::int32_t> PerlWalk(const std::string& mdx, const std::string& tag) {
  ProcessResult r = RunProcess({"/usr/bin/perl", "-e", kPerlWalk, mdx, tag});
  EXPECT_EQ(r.exit_status, 0) << r.err;
  std::vector<std::int32_t> records;
  std::istringstream in(r.out);
  for (std::int32_t n; in >> n;) records.push_back(n);
  return records;
}

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

}  // namespace
}  // namespace orvex::test
