// The sample-data maker's files read by independent readers: python3-dbfread
// reads every record with its memo text as written, and Perl's XBase::mdx
// walks the four tags of movie_r.mdx in key order.
#include "app_test_support.h"
#include "tools/make_movies.h"

namespace orvex::test {
namespace {

// The first `n` characters of a UTF-8 text (the table's field width).
std::string Cut(const std::string& utf8, std::size_t n) {
  std::size_t chars = 0, i = 0;
  for (; i < utf8.size(); ++i) {
    if ((static_cast<unsigned char>(utf8[i]) & 0xC0) != 0x80 && chars++ == n) break;
  }
  return utf8.substr(0, i);
}

using SampleDataTest = ViewerTest;

TEST_F(SampleDataTest, DbfreadReadsEveryFilmWithItsPlot) {
  const SampleTable table = ReadSample();
  const std::vector<tool::Film>& films = tool::SampleFilms();
  ASSERT_EQ(table.records.size(), films.size());
  int deleted = 0;
  for (std::size_t i = 0; i < films.size(); ++i) {
    const SampleRecord& r = table.records[i];
    const tool::Film& f = films[i];
    EXPECT_EQ(r.deleted, f.deleted) << f.title;
    deleted += r.deleted;
    EXPECT_EQ(Trimmed(r.values[0]), Trimmed(Cut(f.title, 20)));
    EXPECT_EQ(r.values[1], std::to_string(f.year)) << f.title;
    EXPECT_EQ(r.values[2], std::to_string(f.runtime)) << f.title;
    EXPECT_EQ(Trimmed(r.values[3]), Trimmed(Cut(f.stars, 50))) << f.title;
    EXPECT_EQ(r.values[4], f.plot) << f.title;
  }
  EXPECT_GE(deleted, 3);
}

TEST_F(SampleDataTest, PerlWalksTheFourTagsInKeyOrder) {
  if (RunProcess({"/usr/bin/perl", "-MXBase", "-e", "1"}).exit_status != 0) GTEST_SKIP() << "Perl XBase not installed";
  const SampleTable table = ReadSample();
  for (const char* tag : {"TITLE", "YEAR", "RUNTIME", "STARS"}) {
    EXPECT_EQ(PerlWalk(dir.File("movie_r.mdx"), tag), table.orders.at(tag)) << tag;
  }
  // The orders differ: films share years and runtimes.
  EXPECT_NE(table.orders.at("YEAR"), table.orders.at("RUNTIME"));
  EXPECT_NE(table.orders.at("TITLE"), table.orders.at("STARS"));
}

}  // namespace
}  // namespace orvex::test
