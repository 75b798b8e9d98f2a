// Navigation and search through the active tag: GoTop, GoBottom, SKIP, GO
// with hidden deleted records, Find and FindExact with the near setting,
// the order commands and their errors.
#include "index_test_support.h"
#include "platform/os/files.h"

namespace orvex::test {
namespace {

class IndexNavigationTest : public IndexTest {
 protected:
  void SetUp() override {
    IndexTest::SetUp();
    //                                    record 1 .. 6
    WriteDbf(Path("movies.dbf"), {{"TITLE", 'C', 10}, {"YEAR", 'N', 4}, {"PREMIERE", 'D', 8}},
             {{{"Metropolis", "1927", "19270110"}},
              {{"ABC", "1999", "19990101"}},
              {{"abcd", "1927", "19270301"}, true},
              {{"M\x81ller", "1980", ""}},
              {{"Zorro", "2005", "20050601"}},
              {{"MUELLER", "1980", "19800505"}}});
    Use("movies.dbf");
    ASSERT_TRUE(MakeIndex({Tag("TITLE", "TITLE"), Tag("YEAR", "YEAR"), Tag("PREMIERE", "PREMIERE"),
                           Tag("YEARDESC", "YEAR", "", true)},
                          ""))
        << ErrorDetail;
    SetIndexTo("");
    ASSERT_EQ(DbfErrorNo, 0) << ErrorDetail;
  }
};

TEST_F(IndexNavigationTest, WalksFollowTheActiveTag) {
  struct Case {
    const char* tag;
    std::vector<std::int32_t> order;
  };
  const Case cases[] = {
      {"TITLE", {2, 3, 1, 4, 6, 5}},      // abc, abcd, metropolis, mueller (4 and 6), zorro
      {"YEAR", {1, 3, 4, 6, 2, 5}},
      {"PREMIERE", {1, 3, 6, 2, 5, 4}},   // the empty date sorts last
      {"YEARDESC", {5, 2, 4, 6, 1, 3}},
  };
  for (const Case& c : cases) {
    SetOrderToTag(c.tag);
    ASSERT_EQ(DbfErrorNo, 0) << ErrorDetail;
    EXPECT_EQ(CurrentOrder(), IndexOf(1)->Active()->number);
    EXPECT_EQ(WalkForward(), c.order) << c.tag;
    std::vector<std::int32_t> reversed(c.order.rbegin(), c.order.rend());
    EXPECT_EQ(WalkBackward(), reversed) << c.tag;
  }
  HideDeleted = true;
  SetOrderToTag("TITLE");
  EXPECT_EQ(WalkForward(), (std::vector<std::int32_t>{2, 1, 4, 6, 5}));
  GO(3);  // GO reaches a hidden record
  EXPECT_EQ(RecNo(), 3);
  SKIP(1);
  EXPECT_EQ(RecNo(), 1);
  SKIP(-2);
  EXPECT_EQ(RecNo(), 2);
  EXPECT_TRUE(dBOF());
  EXPECT_EQ(RecNo(), 2);  // stepping before the first key keeps the first record
  GoBottom();
  SKIP(1);
  EXPECT_TRUE(dEOF());
  EXPECT_EQ(RecNo(), 7);
  SKIP(-1);
  EXPECT_EQ(RecNo(), 5);
}

TEST_F(IndexNavigationTest, FindAndFindExact) {
  struct Case {
    const char* tag;
    const char* text;
    bool exact, near;
    bool found;
    std::int32_t record;  // 7 = end of file
  };
  const Case cases[] = {
      {"TITLE", "ABC", false, false, true, 2},
      {"TITLE", "abcd", false, false, true, 3},
      {"TITLE", "ABC", true, false, true, 2},
      {"TITLE", "AB", true, false, false, 7},
      {"TITLE", "MUELLER", false, false, true, 4},   // Müller folds to the same key
      {"TITLE", "Me", false, false, true, 1},
      {"TITLE", "N", false, false, false, 7},
      {"TITLE", "N", false, true, false, 5},         // near: the next key
      {"TITLE", "zz", false, true, false, 5},        // beyond every key: the last one
      {"TITLE", "zz", false, false, false, 7},
      {"YEAR", "1980", false, false, true, 4},
      {"YEAR", "1981", false, false, false, 7},
      {"YEAR", "1981", false, true, false, 2},
      {"YEARDESC", "1999", false, false, true, 2},
      {"PREMIERE", "05/05/1980", false, false, true, 6},
  };
  for (const Case& c : cases) {
    SetOrderToTag(c.tag);
    FindNear = c.near;
    bool found = c.exact ? FindExact(c.text) : Find(c.text);
    EXPECT_EQ(found, c.found) << c.tag << " " << c.text;
    EXPECT_EQ(Found, c.found);
    EXPECT_EQ(RecNo(), c.record) << c.tag << " " << c.text;
    EXPECT_EQ(dEOF(), c.record == 7) << c.tag << " " << c.text;
  }
  FindNear = false;
  SetOrderToTag("TITLE");
  HideDeleted = true;
  EXPECT_TRUE(Find("abc"));
  EXPECT_EQ(RecNo(), 2);
  EXPECT_FALSE(Find("abcd"));  // the only abcd is deleted and hidden
}

TEST_F(IndexNavigationTest, EmptyTagsAndEveryRecordHidden) {
  // A FOR tag no record meets: GoTop and GoBottom end at both ends.
  ASSERT_TRUE(AddIndexTag(Tag("NONE", "YEAR", "YEAR > 3000"), true)) << ErrorDetail;
  SetOrderToTag("NONE");
  for (bool bottom : {false, true}) {
    bottom ? GoBottom() : GoTop();
    EXPECT_TRUE(dEOF());
    EXPECT_TRUE(dBOF());
    SKIP(-1);
    EXPECT_EQ(DbfErrorNo, 0) << ErrorDetail;
    EXPECT_TRUE(dBOF());
  }
  // Every record deleted and deleted records hidden: GoTop and GoBottom in
  // an index order end at both ends.
  SetOrderToTag("TITLE");
  for (std::int32_t r = 1; r <= 6; ++r) {
    GO(r);
    DeleteRec();
    ASSERT_EQ(DbfErrorNo, 0) << ErrorDetail;
  }
  HideDeleted = true;
  for (bool bottom : {false, true}) {
    bottom ? GoBottom() : GoTop();
    EXPECT_TRUE(dEOF());
    EXPECT_TRUE(dBOF()) << bottom;
    EXPECT_EQ(RecNo(), 7);
    SKIP(-1);
    EXPECT_EQ(DbfErrorNo, 0) << ErrorDetail;
    EXPECT_TRUE(dBOF());
  }
}

TEST_F(IndexNavigationTest, OrderCommandsAndTheirErrors) {
  SetOrderToTag("TIT");
  EXPECT_EQ(CurrentOrder(), 1);
  EXPECT_EQ(IndexEngine.tag_name(1, 1), "TITLE");
  EXPECT_FALSE(IndexEngine.tag_ascending(1, 4));
  GO(4);
  EXPECT_EQ(IndexEngine.key_text(1, 1), "mueller   ");  // Müller + blanks: nothing is cut
  EXPECT_EQ(IndexEngine.key_text(1, 0), "Rec:         4");
  Set_Order_To(2);
  EXPECT_EQ(RecNo(), 4);  // the record stays
  SKIP(1);
  EXPECT_EQ(RecNo(), 6);
  SetOrderToTag("NOSUCH");
  EXPECT_EQ(DbfErrorNo, 220);
  EXPECT_NE(ErrorDetail.find("[SetOrderToTag(NOSUCH)]"), std::string::npos);
  Set_Order_To(5);
  EXPECT_EQ(DbfErrorNo, 220);
  EXPECT_EQ(CurrentOrder(), 2);
  Set_Order_To(0);
  EXPECT_EQ(CurrentOrder(), 0);
  EXPECT_FALSE(Find("ABC"));
  EXPECT_EQ(DbfErrorNo, 254);
  EXPECT_EQ(WalkForward(), (std::vector<std::int32_t>{1, 2, 3, 4, 5, 6}));
  // At end of file in one order, at end of file in the next.
  Set_Order_To(1);
  GoBottom();
  SKIP(1);
  Set_Order_To(2);
  EXPECT_TRUE(dEOF());
  SKIP(-1);
  EXPECT_EQ(RecNo(), 5);
  CloseIndex(1);
  Set_Order_To(1);
  EXPECT_EQ(DbfErrorNo, 221);
  EXPECT_FALSE(Find("x"));
  EXPECT_EQ(DbfErrorNo, 221);
}

TEST_F(IndexNavigationTest, OpeningErrors) {
  SetIndexTo("nosuch");
  EXPECT_EQ(DbfErrorNo, 2);
  EXPECT_NE(ErrorDetail.find("SetIndexTo("), std::string::npos);
  WriteFileBytes(Path("short.mdx"), std::string(3071, '\0'));
  SetIndexTo(Path("short.mdx"));
  EXPECT_EQ(DbfErrorNo, 222);
  EXPECT_EQ(IndexOf(1), nullptr);
  // A tag whose key expression names a field the table lacks.
  std::string mdx = ReadFileBytes(os::ResolvePath(Path("movies.mdx")));
  std::uint32_t page = static_cast<std::uint8_t>(mdx[512 + 32]) | static_cast<std::uint8_t>(mdx[512 + 33]) << 8;
  mdx.replace(page * 512 + 24, 6, std::string("NOPE\0\0", 6));
  WriteFileBytes(Path("bad.mdx"), mdx);
  SetIndexTo(Path("bad.mdx"));
  EXPECT_EQ(DbfErrorNo, 222);
  EXPECT_NE(ErrorDetail.find("Index-Datei besch"), std::string::npos);
  EXPECT_EQ(IndexOf(1), nullptr);
  // A header naming another table is no reason to refuse the file.
  mdx = ReadFileBytes(os::ResolvePath(Path("movies.mdx")));
  mdx.replace(4, 16, std::string("OTHERTAB\0\0\0\0\0\0\0\0", 16));
  WriteFileBytes(Path("other.mdx"), mdx);
  SetIndexTo(Path("other.mdx"));
  EXPECT_EQ(DbfErrorNo, 0) << ErrorDetail;
  EXPECT_EQ(WalkForward().size(), 6u);
}

}  // namespace
}  // namespace orvex::test
