// The key expressions of real MDX files made by other software, compiled and
// evaluated over their own tables: the expression text as dBASE wrote it,
// the result type and length that the tags were built with.
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include "engine/navigation.h"
#include "engine/record_io.h"
#include "engine/tables.h"
#include "expr_test_util.h"
#include "support/test_support.h"

namespace orvex::test {
namespace {

struct Tag {
  std::string table;  // the sibling DBF
  std::string expression;
  char type;
  int key_length;
};

// The tags the testdata manifest lists for each MDX file.
std::vector<Tag> ManifestTags(const std::string& testdata) {
  std::vector<Tag> tags;
  std::ifstream manifest(testdata + "/MANIFEST.md");
  std::regex file_re(R"(^- `([^`]+\.(MDX|mdx))`)");
  std::regex tag_re(R"re(: "([^"]*)" type (.) keylen (\d+))re");
  std::string line;
  while (std::getline(manifest, line)) {
    std::smatch file;
    if (!std::regex_search(line, file, file_re) || line.find("TAGS:") == std::string::npos)
      continue;
    std::filesystem::path mdx = testdata + "/" + file[1].str();
    std::string table;
    for (const char* ext : {".DBF", ".dbf"}) {
      std::filesystem::path candidate = mdx;
      candidate.replace_extension(ext);
      if (std::filesystem::exists(candidate)) table = candidate.string();
    }
    if (table.empty()) continue;
    std::string rest = line.substr(line.find("TAGS:"));
    for (std::sregex_iterator it(rest.begin(), rest.end(), tag_re), end; it != end; ++it)
      tags.push_back({table, (*it)[1].str(), (*it)[2].str()[0], std::stoi((*it)[3].str())});
  }
  return tags;
}

using RealTablesTest = ExprTest;

TEST_F(RealTablesTest, KeyExpressionsOfRealIndexesCompileAndFitTheirTags) {
  ORVEX_REQUIRE_TESTDATA();
  std::vector<Tag> tags = ManifestTags(TestdataDir());
  ASSERT_GE(tags.size(), 10u);
  TempDir dir;
  int evaluated = 0, opened = 0;
  for (const Tag& tag : tags) {
    SCOPED_TRACE(tag.table + ": " + tag.expression);
    // A copy, so that nothing can touch the shared files.
    std::string copy = dir.File(std::filesystem::path(tag.table).filename().string());
    std::filesystem::copy_file(tag.table, copy, std::filesystem::copy_options::overwrite_existing);
    Select(1);
    USE(copy + " ALIAS REAL");
    if (DbfErrorNo != 0) continue;  // a table the engine refuses (odd descriptors)
    ++opened;
    EXPECT_EQ(CheckExprText(tag.expression, true), 0);
    CompiledExpr* e = AssignExpr(tag.expression);
    ASSERT_NE(e, nullptr) << ErrorDetail;
    EXPECT_EQ(e->result_type, tag.type);
    if (tag.type == 'C' && e->result_length != 0) {
      EXPECT_EQ(e->result_length, tag.key_length);
    }
    for (std::int32_t n = 1; n <= RecCount(); ++n) {
      GO(n);
      ASSERT_NE(EvaluateExpr(e), nullptr);
      if (tag.type == 'C') {
        EXPECT_LE(static_cast<int>(ResultText(e).size()), tag.key_length);
      }
      ++evaluated;
    }
    FreeExpr(e);
    USE("");
  }
  EXPECT_GE(opened, 10);
  EXPECT_GT(evaluated, 100);
}

}  // namespace
}  // namespace orvex::test
