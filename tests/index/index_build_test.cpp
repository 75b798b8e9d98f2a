// Index builds: the bytes of a new file, where blocks land, tag limits,
// unique and FOR tags, deep trees, large tables against an independent sort,
// and the spill to sorted runs.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <random>

#include "dates/day_number.h"
#include "engine/record_pack.h"
#include "index/build_sort.h"
#include "index/key_maker.h"
#include "index/mdx_format.h"
#include "index/tag_walk.h"
#include "index_test_support.h"
#include "platform/os/fault_injection.h"
#include "platform/os/files.h"
#include "platform/os/system.h"

namespace orvex::test {
namespace {

using Bytes = std::string;

std::uint32_t U32(const Bytes& b, std::size_t at) {
  return static_cast<std::uint8_t>(b[at]) | static_cast<std::uint8_t>(b[at + 1]) << 8 |
         static_cast<std::uint8_t>(b[at + 2]) << 16 |
         static_cast<std::uint32_t>(static_cast<std::uint8_t>(b[at + 3])) << 24;
}

// A table of one C field NAME (width `width`) holding `names`, written
// directly in the file format (fast enough for a million records).
void WriteNames(const std::string& path, const std::vector<std::string>& names, int width,
                const std::vector<bool>& deleted = {}) {
  std::vector<TestRecord> records;
  records.reserve(names.size());
  for (std::size_t i = 0; i < names.size(); ++i)
    records.push_back({{names[i]}, i < deleted.size() && deleted[i]});
  WriteDbf(path, {{"NAME", 'C', width}}, records);
}

class IndexBuildTest : public IndexTest {
 protected:
  // Builds the production index of `table` with `tags`; the index is left
  // open.
  void Build(const std::string& table, const std::vector<TagDefinition>& tags) {
    Use(table);
    ASSERT_TRUE(MakeIndex(tags, "")) << DbfErrorNo << " " << ErrorDetail;
    SetIndexTo("");
    ASSERT_EQ(DbfErrorNo, 0) << ErrorDetail;
  }
  Bytes Mdx(const std::string& table) {
    return ReadFileBytes(os::ResolvePath(Path(table.substr(0, table.size() - 4) + ".mdx")));
  }
};

TEST_F(IndexBuildTest, NewFileHeaderIsByteForByteTheFormat) {
  SetClockToDate(2026, 12, 7);
  WriteNames(Path("movies.dbf"), {"b", "a"}, 10);
  Use("movies.dbf");
  ASSERT_TRUE(MakeIndex({}, "")) << ErrorDetail;
  os::SetClockHook(nullptr);
  Bytes expected(2048, '\0');
  const unsigned char head[] = {2, 26, 12, 7, 'm', 'o', 'v', 'i', 'e', 's'};
  std::copy(std::begin(head), std::end(head), expected.begin());
  expected[20] = 2;
  expected[22] = 0x00;
  expected[23] = 0x04;
  expected[24] = 1;
  expected[25] = 48;
  expected[26] = 32;
  expected[44] = 26;
  expected[45] = 12;
  expected[46] = 7;
  EXPECT_EQ(Mdx("movies.dbf"), expected);
}

TEST_F(IndexBuildTest, BlocksLandAtTheEndOfTheFile) {
  WriteNames(Path("t.dbf"), {"b", "a", "c"}, 10);
  Build("t.dbf", {Tag("NAME", "NAME")});
  CloseAllAreas();
  Bytes mdx = Mdx("t.dbf");
  ASSERT_EQ(mdx.size(), 4096u);
  EXPECT_EQ(U32(mdx, 512 + 32), 6u);     // tag header at page 6
  EXPECT_EQ(U32(mdx, 6 * 512), 4u);      // root: the first node at page 4
  EXPECT_EQ(U32(mdx, 32), 6u);           // root + 2
  EXPECT_EQ(U32(mdx, 4 * 512), 3u);      // three keys
  EXPECT_EQ(U32(mdx, 4 * 512 + 8), 2u);  // "a" is record 2
  EXPECT_EQ(mdx.substr(6 * 512 + 24, 5), std::string("NAME\0", 5));
}

TEST_F(IndexBuildTest, FortySevenTagsFitAndTheFortyEighthIsRefused) {
  WriteNames(Path("t.dbf"), {"b", "a"}, 10);
  std::vector<TagDefinition> tags;
  for (int i = 1; i <= 47; ++i) tags.push_back(Tag("T" + std::to_string(i), "NAME"));
  Build("t.dbf", tags);
  EXPECT_EQ(IndexOf(1)->tags.size(), 47u);
  EXPECT_FALSE(AddIndexTag(Tag("T48", "NAME"), false));
  EXPECT_EQ(DbfErrorNo, 220);
  // Replacing one of them still works: it is the same name.
  EXPECT_TRUE(AddIndexTag(Tag("T47", "UPPER(NAME)"), false)) << ErrorDetail;
  EXPECT_EQ(IndexOf(1)->tags.size(), 47u);
}

TEST_F(IndexBuildTest, AddingATagReplacesOnlyATagOfTheSameName) {
  WriteNames(Path("t.dbf"), {"b", "a"}, 10);
  Build("t.dbf", {Tag("TITLE", "NAME")});
  ASSERT_TRUE(AddIndexTag(Tag("TIT", "UPPER(NAME)"), false)) << ErrorDetail;
  ASSERT_EQ(IndexTagLines(Path("t.mdx")),
            (std::vector<std::string>{"TITLE,F,F,NAME", "", "TIT,F,F,UPPER(NAME)", ""}));
  ASSERT_TRUE(AddIndexTag(Tag("title", "NAME", "", true), false)) << ErrorDetail;
  EXPECT_EQ(IndexTagLines(Path("t.mdx")),
            (std::vector<std::string>{"TIT,F,F,UPPER(NAME)", "", "TITLE,T,F,NAME", ""}));
}

// A character tag's key length is the width its expression declares, not
// the length of the first record's value (which a trimmed value or a NUL
// byte cuts short); a key longer than a tag's key length is refused with
// 266, never cut.
TEST_F(IndexBuildTest, KeyLengthIsTheDeclaredWidth) {
  WriteNames(Path("t.dbf"), {std::string("a\0c", 3), "ab", "abz"}, 10);
  Build("t.dbf", {Tag("T", "TRIM(NAME)"), Tag("N", "NAME")});
  IndexFile& index = *IndexOf(1);
  EXPECT_EQ(index.tags[0]->layout.key_length, 10);
  EXPECT_EQ(index.tags[1]->layout.key_length, 10);
  SetOrderToTag("T");
  EXPECT_EQ(WalkForward(), (std::vector<std::int32_t>{1, 2, 3}));
  EXPECT_TRUE(FindExact("abz"));
  EXPECT_EQ(RecNo(), 3);
  KeySource narrow = KeySourceOf(index, *index.tags[0]);
  narrow.key_length = 2;
  std::string key;
  GO(2);
  EXPECT_TRUE(MakeKey(narrow, &key));
  EXPECT_EQ(key, "ab");
  GO(3);
  EXPECT_FALSE(MakeKey(narrow, &key));
  EXPECT_EQ(DbfErrorNo, 266);
}

TEST_F(IndexBuildTest, EmptyTableGivesAnEmptyLeafRoot) {
  WriteNames(Path("t.dbf"), {}, 10);
  Build("t.dbf", {Tag("NAME", "NAME")});
  TagState& tag = *IndexOf(1)->tags[0];
  Block root;
  ASSERT_TRUE(ReadNode(*IndexOf(1), tag, tag.Root(), &root));
  EXPECT_EQ(Get32(root.data()), 0u);
  EXPECT_EQ(Get32(root.data() + 8), 0u);
  GoTop();
  EXPECT_TRUE(dEOF());
  EXPECT_FALSE(Find("a"));
  EXPECT_TRUE(dEOF());
}

TEST_F(IndexBuildTest, UniqueAndForTags) {
  //                      1    2    3    4    5    6
  WriteNames(Path("t.dbf"), {"b", "a", "b", "c", "a", "d"}, 5,
             {false, false, true, true, false, false});
  Build("t.dbf", {Tag("U", "NAME", "", false, true), Tag("F", "NAME", "NAME >= \"b\""),
                  Tag("NONE", "NAME", "NAME = \"x\""), Tag("D", "NAME", "", true)});
  EXPECT_EQ(WalkForward(), (std::vector<std::int32_t>{2, 1, 4, 6}));
  SetOrderToTag("F");
  EXPECT_EQ(WalkForward(), (std::vector<std::int32_t>{1, 3, 4, 6}));  // deleted records included
  SetOrderToTag("NONE");
  EXPECT_TRUE(WalkForward().empty());
  EXPECT_EQ(IndexOf(1)->tags[2]->anchor[kTagNotEmpty], 0);
  SetOrderToTag("D");
  EXPECT_EQ(WalkForward(), (std::vector<std::int32_t>{6, 4, 1, 3, 2, 5}));
  HideDeleted = true;
  EXPECT_EQ(WalkForward(), (std::vector<std::int32_t>{6, 1, 2, 5}));
  EXPECT_EQ(WalkBackward(), (std::vector<std::int32_t>{5, 2, 1, 6}));
}

TEST_F(IndexBuildTest, ExpressionLengthAndTypeLimits) {
  WriteNames(Path("t.dbf"), {"a"}, 5);
  Build("t.dbf", {Tag("N", "NAME")});
  std::string expr220 = "NAME" + std::string(216, ' ');
  EXPECT_TRUE(AddIndexTag(Tag("OK", expr220), false)) << ErrorDetail;
  EXPECT_FALSE(AddIndexTag(Tag("LONG", "NAME+" + std::string(216, ' ') + "\"\""), false));
  EXPECT_EQ(DbfErrorNo, 300);
  EXPECT_FALSE(AddIndexTag(Tag("L", "NAME = \"a\""), false));
  EXPECT_EQ(DbfErrorNo, 254);
  EXPECT_NE(ErrorDetail.find("[AddIndexTag()]"), std::string::npos);
  EXPECT_FALSE(AddIndexTag(Tag("BADFOR", "NAME", "NAME +"), false));
  EXPECT_NE(ErrorDetail.find("Invalid FOR expression for BADFOR"), std::string::npos);
}

// A table NAME C(5), FLAG L, QTY N(4):  1 b T 3 | 2 a F 5 | 3 c T 0 | 4 d T 2 (deleted)
void WriteStock(const std::string& path) {
  WriteDbf(path, {{"NAME", 'C', 5}, {"FLAG", 'L', 1}, {"QTY", 'N', 4}},
           {{{"b", "T", "3"}}, {{"a", "F", "5"}}, {{"c", "T", "0"}}, {{"d", "T", "2"}, true}});
}

// A rebuilt index is on the disk before it takes the old one's place, and
// its folder entry after: a crash at any moment leaves the old index or the
// whole new one under the name.
TEST_F(IndexBuildTest, TheNewIndexReachesTheDiskBeforeItReplacesTheOld) {
  WriteStock(Path("t.dbf"));
  Build("t.dbf", {Tag("NAME", "NAME")});
  std::vector<os::FileCall> calls;
  os::RecordFileCalls(&calls);
  Reindex();
  os::RecordFileCalls(nullptr);
  ASSERT_EQ(DbfErrorNo, 0) << ErrorDetail;
  auto first = [&](os::FaultOp op, bool on_handle) {
    std::size_t i = 0;
    while (i < calls.size() && !(calls[i].op == op && calls[i].on_handle == on_handle &&
                                 std::filesystem::path(calls[i].file).extension() == ".$MX")) {
      ++i;
    }
    return i;
  };
  const std::size_t write = first(os::kFaultWrite, true), flush = first(os::kFaultFlush, true),
                    rename = first(os::kFaultRename, false);
  ASSERT_LT(rename, calls.size());
  EXPECT_LT(write, flush);
  EXPECT_LT(flush, rename) << "the new file's bytes are flushed before the rename";
  std::size_t folder = rename;
  while (folder < calls.size() &&
         !(calls[folder].op == os::kFaultFlush && !calls[folder].on_handle))
    ++folder;
  EXPECT_LT(folder, calls.size()) << "the folder entry is flushed after the rename";
}

TEST_F(IndexBuildTest, ConditionsWhoseNormalisedTextReadsOtherwiseAreStoredAsGiven) {
  // Without blanks ".NOT.DELETED()" and "FLAG.AND.QTY>0" do not compile.
  WriteStock(Path("t.dbf"));
  Build("t.dbf",
        {Tag("LIVE", "NAME", ".NOT. DELETED()"), Tag("STOCK", "NAME", "FLAG .AND. QTY > 0")});
  const std::vector<std::string> lines = {"LIVE,F,F,NAME", ".NOT. DELETED()", "STOCK,F,F,NAME",
                                          "FLAG .AND. QTY > 0"};
  EXPECT_EQ(IndexTagLines(Path("t.mdx")), lines);
  for (int round = 0; round < 2; ++round) {
    SetOrderToTag("LIVE");
    EXPECT_EQ(WalkForward(), (std::vector<std::int32_t>{2, 1, 3}));
    SetOrderToTag("STOCK");
    EXPECT_EQ(WalkForward(), (std::vector<std::int32_t>{1, 4}));
    Reindex();
    ASSERT_EQ(DbfErrorNo, 0) << ErrorDetail;
    EXPECT_EQ(IndexTagLines(Path("t.mdx")), lines);
  }
  ASSERT_TRUE(AddIndexTag(Tag("HIGH", "QTY", "qty > 2 .and. .not. deleted()"), false))
      << ErrorDetail;
  SetOrderToTag("HIGH");
  EXPECT_EQ(WalkForward(), (std::vector<std::int32_t>{1, 2}));
}

TEST_F(IndexBuildTest, AConditionLongerThanItsRoomIsRefusedBeforeAnythingChanges) {
  WriteStock(Path("t.dbf"));
  Build("t.dbf", {Tag("NAME", "NAME")});
  CloseAllAreas();
  const Bytes before = Mdx("t.dbf");
  Use("t.dbf");
  SetIndexTo("");
  std::string condition = "QTY > 0";
  while (condition.size() < 221) condition += " .AND. QTY > 0";
  condition.resize(220, ' ');
  condition += "X";  // one past the room, even after trimming
  EXPECT_FALSE(AddIndexTag(Tag("LONG", "NAME", condition), false));
  EXPECT_EQ(DbfErrorNo, 300);
  EXPECT_NE(ErrorDetail.find("FOR-Bedingung"), std::string::npos) << ErrorDetail;
  EXPECT_NE(ErrorDetail.find("221 Zeichen"), std::string::npos) << ErrorDetail;
  EXPECT_FALSE(AddIndexTag(Tag("LONGKEY", "NAME+" + std::string(300, ' ') + "NAME"), false));
  EXPECT_NE(ErrorDetail.find("Index-Ausdruck"), std::string::npos) << ErrorDetail;
  EXPECT_NE(ErrorDetail.find("309 Zeichen"), std::string::npos) << ErrorDetail;
  EXPECT_FALSE(MakeIndex({Tag("NAME", "NAME"), Tag("LONG", "NAME", condition)}, ""));
  EXPECT_EQ(DbfErrorNo, 300);
  CloseAllAreas();
  EXPECT_EQ(Mdx("t.dbf"), before);
  // A condition of exactly 220 characters fits and opens again.
  std::string fits = "QTY > 0";
  while (fits.size() + 14 <= 220) fits += " .AND. QTY > 0";
  fits.insert(5, 220 - fits.size(), ' ');
  ASSERT_EQ(fits.size(), 220u);
  condition = fits;
  Use("t.dbf");
  SetIndexTo("");
  ASSERT_TRUE(AddIndexTag(Tag("FITS", "NAME", condition), false)) << ErrorDetail;
  EXPECT_EQ(IndexTagLines(Path("t.mdx")).size(), 4u);
}

TEST_F(IndexBuildTest, AFailedBuildLeavesTheOldIndexOrNoneAndNoTemporaryFile) {
  WriteStock(Path("t.dbf"));
  Use("t.dbf");
  // A typo in the first tag's field name: no index file is left behind.
  EXPECT_FALSE(MakeIndex({Tag("N1", "NAMEX")}, ""));
  EXPECT_NE(DbfErrorNo, 0);
  CloseAllAreas();
  EXPECT_EQ(std::vector<std::string>(1, "t.dbf"), [&] {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir_.Path())) {
      names.push_back(entry.path().filename().string());
    }
    return names;
  }());
  Build("t.dbf", {Tag("NAME", "NAME"), Tag("QTY", "QTY", "FLAG")});
  CloseAllAreas();
  const Bytes before = Mdx("t.dbf");
  Use("t.dbf");
  SetIndexTo("");
  // A later tag that fails to build takes the tags before it along.
  EXPECT_FALSE(MakeIndex({Tag("UP", "UPPER(NAME)"), Tag("BAD", "NAMEX")}, ""));
  SetIndexTo("");
  ASSERT_EQ(DbfErrorNo, 0) << ErrorDetail;
  EXPECT_FALSE(AddIndexTag(Tag("BAD", "QTY + NAME"), false));
  EXPECT_EQ(IndexOf(1)->tags.size(), 2u);
  CloseAllAreas();
  EXPECT_EQ(Mdx("t.dbf"), before);
  EXPECT_FALSE(os::FileExists(Path("t.$MX")));
}

TEST_F(IndexBuildTest, OxdbfIndexWithATypoChangesNothingAndConditionsWithBlanksWork) {
  WriteStock(Path("t.dbf"));
  const std::string oxdbf = BuildProgram("tools/oxdbf");
  const ProcessResult typo = RunProcess({oxdbf, "index", Path("t.dbf"), "N1", "NAMEX"});
  EXPECT_NE(typo.exit_status, 0);
  EXPECT_FALSE(os::FileExists(Path("t.mdx")));
  EXPECT_EQ(ReadFileBytes(Path("t.dbf"))[28], 0);  // no production index announced
  for (const char* condition : {".NOT. DELETED()", "FLAG .AND. QTY > 0"}) {
    const ProcessResult made =
        RunProcess({oxdbf, "index", Path("t.dbf"), "F", "NAME", "--for", condition});
    EXPECT_EQ(made.exit_status, 0) << condition << ": " << made.err;
  }
  EXPECT_EQ(ReadFileBytes(Path("t.dbf"))[28], 1);
  EXPECT_EQ(IndexTagLines(Path("t.mdx")),
            (std::vector<std::string>{"F,F,F,NAME", "FLAG .AND. QTY > 0"}));
  const ProcessResult appended =
      RunProcess({oxdbf, "append", Path("t.dbf"), "NAME=e", "FLAG=T", "QTY=1"});
  EXPECT_EQ(appended.exit_status, 0) << appended.err;
  // The appended record 5 meets the condition; the deleted record 4 is kept.
  EXPECT_EQ(PerlWalk(os::ResolvePath(Path("t.mdx")), "F"), (std::vector<std::int32_t>{1, 4, 5}));
}

TEST_F(IndexBuildTest, BuildsKeepTheCurrentRecordAndOrder) {
  WriteStock(Path("t.dbf"));
  Use("t.dbf");
  GO(2);
  // The first tag's first record is 3, the NAME tag's is 2.
  ASSERT_TRUE(MakeIndex({Tag("QTY", "QTY"), Tag("NAME", "NAME")}, "")) << ErrorDetail;
  EXPECT_EQ(RecNo(), 2);
  SetIndexTo("");
  SetOrderToTag("NAME");
  GO(2);
  ASSERT_TRUE(AddIndexTag(Tag("UP", "UPPER(NAME)"), false)) << ErrorDetail;
  EXPECT_EQ(RecNo(), 2);
  EXPECT_EQ(CurrentOrder(), 2);
  SKIP(1);
  EXPECT_EQ(RecNo(), 1);
  GO(2);
  Reindex();
  ASSERT_EQ(DbfErrorNo, 0) << ErrorDetail;
  EXPECT_EQ(RecNo(), 2);
  EXPECT_EQ(CurrentOrder(), 2);
  Set_Order_To(0);
  GO(2);
  Reindex();
  EXPECT_EQ(RecNo(), 2);
  EXPECT_EQ(CurrentOrder(), 0);
}

// The record numbers of a Perl walk, those of equal keys in ascending order:
// a build puts them so, other writers in the order they came. (Only the
// order is compared: writers may encode the same number differently.)
std::vector<std::int32_t> TiesInRecordOrder(std::vector<PerlKey> walk) {
  for (auto first = walk.begin(); first != walk.end();) {
    const auto last =
        std::find_if(first, walk.end(), [&](const PerlKey& key) { return key.key != first->key; });
    std::sort(first, last, [](const PerlKey& a, const PerlKey& b) { return a.record < b.record; });
    first = last;
  }
  std::vector<std::int32_t> records;
  for (const PerlKey& key : walk) records.push_back(key.record);
  return records;
}

TEST_F(IndexBuildTest, OxdbfReindexOfEveryRealIndexKeepsItsTagsAndTheirOrder) {
  ORVEX_REQUIRE_TESTDATA();
  int files = 0, unopened = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(TestdataDir())) {
    const std::filesystem::path mdx = entry.path();
    if (!entry.is_regular_file() || mdx.extension() != ".MDX") continue;
    SCOPED_TRACE(mdx.string());
    // The table with its memo file and index, in a folder of its own.
    const std::string folder = Path(std::to_string(++files));
    std::filesystem::create_directory(folder);
    for (const auto& sibling : std::filesystem::directory_iterator(mdx.parent_path())) {
      if (sibling.path().stem() == mdx.stem()) {
        std::filesystem::copy_file(sibling.path(), folder / sibling.path().filename());
      }
    }
    const std::string copy = folder + "/" + mdx.filename().string();
    const std::vector<std::string> lines = IndexTagLines(copy);
    ASSERT_FALSE(lines.empty());
    std::vector<std::vector<std::int32_t>> walks;
    for (std::size_t n = 0; n < lines.size(); n += 2) {
      walks.push_back(
          TiesInRecordOrder(PerlWalkKeys(copy, lines[n].substr(0, lines[n].find(',')))));
    }
    const std::string table = folder + "/" + mdx.stem().string() + ".DBF";
    const std::string bytes = ReadFileBytes(copy);
    const ProcessResult reindex = RunProcess({BuildProgram("tools/oxdbf"), "reindex", table});
    if (RunProcess({BuildProgram("tools/oxdbf"), "tags", table}).exit_status != 0) {
      // A table the tool cannot open (VLTAB53.DBF has a field of type '0'):
      // its index stays as it was.
      EXPECT_NE(reindex.exit_status, 0);
      EXPECT_EQ(ReadFileBytes(copy), bytes);
      ++unopened;
      continue;
    }
    ASSERT_EQ(reindex.exit_status, 0) << reindex.err;
    EXPECT_EQ(IndexTagLines(copy), lines);
    for (std::size_t n = 0; n < lines.size(); n += 2) {
      const std::string tag = lines[n].substr(0, lines[n].find(','));
      EXPECT_EQ(TiesInRecordOrder(PerlWalkKeys(copy, tag)), walks[n / 2]) << tag;
    }
    EXPECT_FALSE(os::FileExists(folder + "/" + mdx.stem().string() + ".$MX"));
  }
  EXPECT_GE(files, 8);
  EXPECT_LE(unopened, 1);
}

TEST_F(IndexBuildTest, LongKeysInShortNodesGrowDeepTrees) {
  // 100-byte keys: 9 keys a node, so 2000 records need four levels.
  std::vector<std::string> names;
  for (int i = 0; i < 2000; ++i) names.push_back(std::to_string((i * 7919) % 2000 + 10000));
  WriteNames(Path("t.dbf"), names, 100);
  Build("t.dbf", {Tag("NAME", "NAME")});
  TagState& tag = *IndexOf(1)->tags[0];
  ASSERT_TRUE(DescendToEdge(*IndexOf(1), tag, false));
  EXPECT_GE(tag.path.size(), 4u);
  std::vector<std::int32_t> expected(2000);
  for (int i = 0; i < 2000; ++i) expected[static_cast<std::size_t>(i)] = i + 1;
  std::sort(expected.begin(), expected.end(),
            [&](int a, int b) { return names[a - 1] < names[b - 1]; });
  EXPECT_EQ(WalkForward(), expected);
  std::vector<std::int32_t> back = WalkBackward();
  std::reverse(back.begin(), back.end());
  EXPECT_EQ(back, expected);
  for (int probe : {0, 999, 1999}) {
    ASSERT_TRUE(Find(names[static_cast<std::size_t>(probe)]));
    EXPECT_EQ(RecNo(), probe + 1);
  }
}

TEST_F(IndexBuildTest, MillionRecordsWalkAsAnIndependentSortAndRunsGiveTheSameBytes) {
  const int count = 1000000;
  std::mt19937 random(7);
  std::vector<std::string> names(static_cast<std::size_t>(count));
  for (auto& n : names) n = std::to_string(random() % 300000);  // many equal keys
  WriteNames(Path("big.dbf"), names, 8);
  Build("big.dbf", {Tag("NAME", "NAME")});
  CloseAllAreas();
  Bytes in_memory = Mdx("big.dbf");
  // A budget for about 25,000 entries: some forty runs.
  IndexSortBudget = 25000 * (8 + 4 + 16);
  Build("big.dbf", {Tag("NAME", "NAME")});
  EXPECT_EQ(Mdx("big.dbf"), in_memory);
  std::vector<std::int32_t> expected(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) expected[static_cast<std::size_t>(i)] = i + 1;
  for (auto& n : names) n.resize(8, ' ');
  std::stable_sort(expected.begin(), expected.end(), [&](int a, int b) {
    return names[static_cast<std::size_t>(a - 1)] < names[static_cast<std::size_t>(b - 1)];
  });
  EXPECT_TRUE(WalkForward() == expected);
}

// Random numbers with the edge cases among them: negative, zero written
// both ways, decimals, 1e20 and beyond, very small.
std::vector<double> EdgeNumbers(std::mt19937& random, int count) {
  std::vector<double> v = {0.0,   -0.0,   1e20,    -1e20, 1e21, 9.99e19, 123456789012345678901234.0,
                           -5e25, 0.0001, -0.0001, 1.5,   -1.5, 1,       -1,
                           0.5};
  while (static_cast<int>(v.size()) < count) {
    double x =
        static_cast<double>(random() % 100000) / std::pow(10.0, static_cast<int>(random() % 6));
    if (random() % 8 == 0) x *= 1e20;
    v.push_back(random() % 2 == 0 ? -x : x);
  }
  return v;
}

TEST_F(IndexBuildTest, NumericAndDateKeysSortAsTheTagComparesThem) {
  // The sort decides by byte prefixes; the order must be the tag's
  // comparison (and the record number for equal keys), in memory and in
  // runs, ascending and descending.
  std::mt19937 random(17);
  const std::vector<double> numbers = EdgeNumbers(random, 6000);
  std::vector<double> days = {EmptyDayNumber, 0.0, -0.0, 2451545, -1, 2299161, EmptyDayNumber};
  while (days.size() < 6000)
    days.push_back(random() % 5 == 0 ? EmptyDayNumber : 2000000.0 + random() % 900000);
  for (char type : {'N', 'D', 'C'}) {
    for (bool descending : {false, true}) {
      for (bool runs : {false, true}) {
        KeyOrder order{type,
                       type == 'N'   ? kNumericKeyLength
                       : type == 'D' ? kDateKeyLength
                                     : 30,
                       descending};
        std::vector<std::string> keys;
        for (std::size_t i = 0; i < 6000; ++i) {
          std::string k;
          if (type == 'N') {
            // Repeat values now and then: equal keys go by record number.
            const auto b =
                EncodeNumber(numbers[random() % 3 == 0 ? i / 3 : i], static_cast<int>(i % 5));
            k.assign(b.begin(), b.end());
          } else if (type == 'D') {
            k.assign(reinterpret_cast<const char*>(&days[i]), 8);
          } else {
            k = std::to_string(random() % 2000);  // long keys that agree in their first 24 bytes
            k = std::string(24, 'x') + k + std::string(6 - k.size(), ' ');
          }
          keys.push_back(k);
        }
        IndexSortBudget =
            runs ? 300 * (static_cast<std::size_t>(order.key_length) + 4 + 32) : 64u << 20;
        EntrySorter sorter(order, order.key_length);
        ASSERT_TRUE(sorter.Start());
        for (std::size_t i = 0; i < keys.size(); ++i)
          ASSERT_TRUE(sorter.Add(reinterpret_cast<const std::uint8_t*>(keys[i].data()),
                                 static_cast<std::int32_t>(i + 1)));
        ASSERT_TRUE(sorter.Finish());
        std::vector<std::int32_t> got;
        const std::uint8_t* key = nullptr;
        std::int32_t record = 0;
        while (sorter.Next(&key, &record)) got.push_back(record);
        std::vector<std::int32_t> expected(keys.size());
        for (std::size_t i = 0; i < keys.size(); ++i)
          expected[i] = static_cast<std::int32_t>(i + 1);
        std::stable_sort(expected.begin(), expected.end(), [&](std::int32_t a, std::int32_t b) {
          return order.Compare(reinterpret_cast<const std::uint8_t*>(
                                   keys[static_cast<std::size_t>(a - 1)].data()),
                               reinterpret_cast<const std::uint8_t*>(
                                   keys[static_cast<std::size_t>(b - 1)].data())) < 0;
        });
        EXPECT_TRUE(got == expected) << type << " descending " << descending << " runs " << runs;
      }
    }
  }
}

TEST_F(IndexBuildTest, NumericAndDateTagsBuildAsTheirKeysInsertedOneByOne) {
  // AMT N(20,4), BIG C(26) read with VAL (numbers of 1e20 and more), WHEN D
  // with blank dates; each in both directions.
  const std::vector<TestField> fields = {{"AMT", 'N', 20, 4}, {"BIG", 'C', 26}, {"WHEN", 'D', 8}};
  const std::vector<TagDefinition> tags = {
      Tag("AMT", "AMT"),      Tag("AMTD", "AMT", "", true),
      Tag("BIG", "VAL(BIG)"), Tag("BIGD", "VAL(BIG)", "", true),
      Tag("WHEN", "WHEN"),    Tag("WHEND", "WHEN", "", true)};
  std::mt19937 random(29);
  std::vector<TestRecord> rows;
  const char* amounts[] = {"0.0000",          "-0.0000",         "",   "0.0001", "-0.0001",
                           "999999999999999", "-99999999999999", "1.5"};
  const char* bigs[] = {"100000000000000000000",
                        "99999999999999999999",
                        "-100000000000000000000",
                        "123456789012345678901234",
                        "0",
                        "-0.5",
                        ""};
  for (int i = 0; i < 4000; ++i) {
    std::string amount, big, when;
    if (i < 8) {
      amount = amounts[i];
    } else {
      char t[32];
      std::snprintf(t, sizeof t, "%s%u.%04u", random() % 2 ? "-" : "",
                    static_cast<unsigned>(random() % 100000),
                    static_cast<unsigned>(random() % 10000));
      amount = random() % 7 == 0 ? amounts[random() % 8] : t;
    }
    if (i < 7) {
      big = bigs[i];
    } else {
      big = random() % 2 ? "-" : "";
      const int digits = 1 + static_cast<int>(random() % 24);
      for (int d = 0; d < digits; ++d) big += static_cast<char>('0' + random() % 10);
    }
    if (random() % 6 != 0) {
      char d[9];
      std::snprintf(d, sizeof d, "%04u%02u%02u", static_cast<unsigned>(1800 + random() % 300),
                    static_cast<unsigned>(1 + random() % 12),
                    static_cast<unsigned>(1 + random() % 28));
      when = d;
    }
    rows.push_back({{amount, big, when}});
  }
  auto walks = [&] {
    std::vector<std::vector<std::int32_t>> out;
    for (int n = 1; n <= static_cast<int>(tags.size()); ++n) {
      Set_Order_To(n);
      out.push_back(WalkForward());
      EXPECT_EQ(out.back().size(), rows.size());
    }
    return out;
  };
  WriteDbf(Path("built.dbf"), fields, rows);
  Build("built.dbf", tags);
  const auto built = walks();
  CloseAllAreas();
  // The same records appended one by one to a table whose tags exist: every
  // key inserted by key maintenance.
  WriteDbf(Path("kept.dbf"), fields, {});
  Build("kept.dbf", tags);
  WorkArea& area = *CurrentWorkArea();
  for (const TestRecord& row : rows) {
    for (int f = 0; f < 3; ++f) {
      std::string text = row.values[static_cast<std::size_t>(f)];
      const std::size_t width =
          static_cast<std::size_t>(fields[static_cast<std::size_t>(f)].length);
      text = f == 1 ? text + std::string(width - text.size(), ' ')
                    : std::string(width - text.size(), ' ') + text;
      SetExactFieldText(area, f + 1, text);
    }
    Append();
    ASSERT_EQ(DbfErrorNo, 0) << ErrorDetail;
  }
  EXPECT_TRUE(walks() == built);
}

// FNV-1a over the bytes: a fingerprint of a whole index file.
std::uint64_t Fingerprint(const Bytes& bytes) {
  std::uint64_t h = 14695981039346656037ull;
  for (char c : bytes) {
    h ^= static_cast<std::uint8_t>(c);
    h *= 1099511628211ull;
  }
  return h;
}

TEST_F(IndexBuildTest, BuildsWriteTheSameBytesAsBeforeTheSorterWasMadeFaster) {
  // 40,000 records with long runs of shared leading characters, mixed
  // case, equal keys, blank numbers and dates, and keys longer than the
  // sort prefix; seven tags of every kind. The fingerprint was taken from
  // the file this build wrote before the sorter's radix and prefix paths
  // were changed for speed: every stored byte must stay as it was, with the
  // entries sorted in memory and in runs on disk.
  SetClockToDate(2026, 12, 7);
  std::mt19937 random(2026);
  static const char* const kWords[] = {"Film number ", "film Number ", "The ", "", "Zz", "a"};
  std::vector<TestRecord> rows;
  for (int i = 0; i < 40000; ++i) {
    const unsigned r = static_cast<unsigned>(random());
    std::string title = std::string(kWords[r % 6]) + std::to_string(random() % 15000);
    std::string year = r % 11 == 0 ? "" : std::to_string(1900 + random() % 125);
    char amount[24];
    std::snprintf(amount, sizeof amount, "%s%u.%02u", r % 3 == 0 ? "-" : "",
                  static_cast<unsigned>(random() % 100000), static_cast<unsigned>(random() % 100));
    char date[9] = "";
    if (r % 7 != 0) {
      std::snprintf(date, sizeof date, "%04u%02u%02u", static_cast<unsigned>(1890 + random() % 140),
                    static_cast<unsigned>(1 + random() % 12),
                    static_cast<unsigned>(1 + random() % 28));
    }
    rows.push_back({{title, year, amount, date}, r % 13 == 0});
  }
  WriteDbf(Path("golden.dbf"),
           {{"TITLE", 'C', 30}, {"YEAR", 'N', 4}, {"AMOUNT", 'N', 10, 2}, {"PREMIERE", 'D', 8}},
           rows);
  const std::vector<TagDefinition> tags = {Tag("LTITLE", "LOWER(TITLE)"),
                                           Tag("YEAR", "YEAR"),
                                           Tag("AMOUNT", "AMOUNT", "", true),
                                           Tag("PREMIERE", "PREMIERE"),
                                           Tag("UTITLE", "UPPER(TITLE)", "", false, true),
                                           Tag("RECENT", "TITLE", "YEAR > 2000"),
                                           Tag("BOTH", "DTOS(PREMIERE)+TITLE", "", true)};
  for (std::size_t budget : {std::size_t{64} << 20, std::size_t{2000} * 80}) {
    IndexSortBudget = budget;
    Build("golden.dbf", tags);
    CloseAllAreas();
    EXPECT_EQ(Fingerprint(Mdx("golden.dbf")), 0x59df5c78ebd197c2ull) << "budget " << budget;
  }
}

TEST_F(IndexBuildTest, SortBudgetTooSmallAndProgress) {
  WriteNames(Path("t.dbf"), {"b", "a", "c", "d"}, 10);
  Use("t.dbf");
  IndexSortBudget = 1000;
  EXPECT_FALSE(MakeIndex({Tag("NAME", "NAME")}, ""));
  EXPECT_EQ(DbfErrorNo, 217);
  EXPECT_EQ(ErrorDetail, " um mindestens 256 s_ptrs zu alloziieren [MakeIndex]");
  IndexSortBudget = 1u << 20;
  int calls = 0;
  IndexProgress = [&] { ++calls; };
  IndexProgressSteps = 100;
  EXPECT_TRUE(MakeIndex({Tag("NAME", "NAME"), Tag("UP", "UPPER(NAME)")}, ""));
  EXPECT_EQ(calls, 200);
}

}  // namespace
}  // namespace orvex::test
