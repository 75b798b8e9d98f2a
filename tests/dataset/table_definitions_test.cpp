// The table component's definition lists: DbfFields lines, their
// correction and its warning text, IndexList pairs and their comparison
// with the tags stored in an index file.
#include "dataset/table_definitions.h"

#include <gtest/gtest.h>

namespace orvex {
namespace {

std::string Show(const FieldDef& d) {
  return d.name + "|" + std::string(1, d.type) + "|" + std::to_string(d.length) + "|" +
         std::to_string(d.decimals);
}

TEST(FieldLines, ParseAndCorrect) {
  struct Case {
    const char* line;
    bool parsed;
    const char* written;
    const char* corrected;
  };
  const Case cases[] = {
      {"title, C, 20, 0", true, "title|C|20|0", "title|C|20|0"},
      {"premiere, D, 8, 0", true, "premiere|D|8|0", "premiere|D|8|0"},
      {"  amount ,\tn , +12 , 2 ", true, "amount|N|12|2", "amount|N|12|2"},
      {"averyveryverylongname, C, 5, 0", true, "averyveryv|C|5|0", "averyveryv|C|5|0"},
      {"price, N, 25, 24", true, "price|N|25|24", "price|N|20|18"},
      {"tiny, N, 1, 1", true, "tiny|N|1|1", "tiny|N|1|0"},
      {"ratio, N, 10, 9", true, "ratio|N|10|9", "ratio|N|10|8"},
      {"big, N, 30, 0", true, "big|N|30|0", "big|N|20|0"},
      {"text, C, 255, 3", true, "text|C|255|3", "text|C|254|0"},
      {"what, Q, 10, 0", true, "what|Q|10|0", "what|C|10|0"},
      {"blank, , 10, 0", true, "blank| |10|0", "blank|C|10|0"},
      {"skip, X, 1, 0", true, "skip|X|1|0", "skip|C|1|0"},
      {"two, C, 10", false, "", ""},
      {"four, C, 10, 0, 1", false, "", ""},
      {"huge, C, 300, 0", false, "", ""},
      {"word, C, ten, 0", false, "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    FieldDef def;
    ASSERT_EQ(ParseFieldLine(c.line, def), c.parsed);
    if (!c.parsed) continue;
    EXPECT_EQ(Show(def), c.written);
    EXPECT_EQ(Show(CorrectFieldDef(def)), c.corrected);
  }
}

TEST(FieldLines, WarningAndDesignLine) {
  FieldDef written{"price", 'N', 25, 24};
  EXPECT_EQ(CorrectedFieldWarning("OxDbf1", written, CorrectFieldDef(written)),
            "Invalid field definition for OxDbf1: price,N,25,24. Will use corrected "
            "definition: price,N,20,18");
  EXPECT_EQ(FieldLine({"TITLE", 'C', 20, 0}), "title, C, 20, 0");
}

TEST(IndexLines, Parse) {
  const std::vector<std::string> list = {"TITLE,F,F,LOWER(TITLE)",
                                         "",
                                         "YEAR,T,T,YEAR",
                                         "YEAR>1950",
                                         "LONGTAGNAME12,t,F,X",
                                         "",
                                         ",F,F,NONAME",
                                         "",
                                         "EMPTY,F,F,",
                                         "",
                                         "ODD,F,F,ODD"};
  EXPECT_EQ(IndexListTagCount(list), 5);
  const std::vector<TagDefinition> tags = ParseIndexList(list);
  ASSERT_EQ(tags.size(), 3u);
  EXPECT_EQ(tags[0].name, "TITLE");
  EXPECT_EQ(tags[0].key_expr, "LOWER(TITLE)");
  EXPECT_EQ(tags[0].for_expr, "");
  EXPECT_FALSE(tags[0].descending || tags[0].unique);
  EXPECT_TRUE(tags[1].descending && tags[1].unique);
  EXPECT_EQ(tags[1].for_expr, "YEAR>1950");
  // The name is cut to 10 characters and runs to the first comma; a lower-case
  // t is no flag.
  EXPECT_EQ(tags[2].name, "LONGTAGNAM");
  EXPECT_FALSE(tags[2].descending);
  EXPECT_EQ(tags[2].key_expr, "X");
}

TEST(IndexLines, StoredTagsMatchButForLetterCase) {
  const std::vector<std::string> list = {"TITLE,F,F,LOWER(TITLE)", "", "YEAR,F,F,YEAR", ""};
  EXPECT_TRUE(IndexListMatches({"title,F,F,lower(title)", "", "YEAR,F,F,YEAR", ""}, list));
  EXPECT_FALSE(IndexListMatches({"TITLE,F,F,UPPER(TITLE)", "", "YEAR,F,F,YEAR", ""}, list));
  EXPECT_FALSE(IndexListMatches({"TITLE,F,F,LOWER(TITLE)", ""}, list));
  EXPECT_FALSE(IndexListMatches({"TITLE,F,F,LOWER(TITLE)", "", "YEAR,T,F,YEAR", ""}, list));
}

}  // namespace
}  // namespace orvex
