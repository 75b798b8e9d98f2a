// Several programs keeping one index: appenders in other processes, each
// under ALock, leave every tag holding every record in order.
#include "index_test_support.h"

namespace orvex::test {
namespace {

class SharedMaintenanceTest : public IndexTest {};

TEST_F(SharedMaintenanceTest, FourProgramsAppendingUnderALockLeaveEveryKey) {
  WriteDbf(Path("t.dbf"), {{"NAME", 'C', 10}}, {});
  Use("t.dbf");
  const std::vector<TagDefinition> tags = {Tag("NAME", "NAME"), Tag("DESC", "NAME", "", true),
                                           Tag("TAIL", "SUBSTR(NAME,2,9)"), Tag("LOW", "LOWER(NAME)")};
  ASSERT_TRUE(MakeIndex(tags, "")) << ErrorDetail;
  CloseAllAreas();
  const char* prefixes[] = {"A", "B", "C", "D"};
  std::vector<std::unique_ptr<ChildProcess>> programs;
  for (int i = 0; i < 4; ++i) {
    programs.push_back(std::make_unique<ChildProcess>(std::vector<std::string>{BuildProgram("tests/index/index_helper")}));
    programs.back()->WriteLine("open " + Path("t.dbf"));
    ASSERT_EQ(programs.back()->ReadLine(), "opened");
  }
  for (int i = 0; i < 4; ++i) programs[static_cast<std::size_t>(i)]->WriteLine(std::string("appends 2000 ") + prefixes[i]);
  for (auto& p : programs) EXPECT_EQ(p->ReadLine(), "ok");
  for (auto& p : programs) p->Wait();
  Use("t.dbf");
  SetIndexTo("");
  ASSERT_EQ(RecCount(), 8000);
  std::vector<std::vector<std::int32_t>> kept;
  for (int n = 1; n <= 4; ++n) {
    Set_Order_To(n);
    kept.push_back(WalkForward());
    EXPECT_EQ(kept.back().size(), 8000u) << tags[static_cast<std::size_t>(n - 1)].name;
  }
  ASSERT_TRUE(MakeIndex(tags, "")) << ErrorDetail;
  SetIndexTo("");
  for (int n = 1; n <= 4; ++n) {
    Set_Order_To(n);
    EXPECT_EQ(WalkForward(), kept[static_cast<std::size_t>(n - 1)]) << tags[static_cast<std::size_t>(n - 1)].name;
  }
}

}  // namespace
}  // namespace orvex::test
