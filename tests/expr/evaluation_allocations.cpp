// Evaluation allocates nothing once warm: a program of its own, because it
// counts allocations (support/allocation_counter.h).
#include <gtest/gtest.h>

#include <string>

#include "dbf_writer.h"
#include "engine/navigation.h"
#include "engine/tables.h"
#include "expr_test_util.h"
#include "support/allocation_counter.h"

namespace orvex::test {
namespace {

using EvaluationAllocations = ExprTest;

TEST_F(EvaluationAllocations, TenThousandWarmEvaluationsAllocateNothing) {
  TempDir dir;
  std::vector<TestRecord> records;
  for (int i = 0; i < 50; ++i)
    records.push_back({{"Title number " + std::to_string(i), std::to_string(1950 + i),
                        std::to_string(19500101 + i * 10000)}});
  WriteDbf(dir.File("movies.dbf"), {{"TITLE", 'C', 30}, {"YEAR", 'N', 4}, {"PREMIERE", 'D', 8}},
           records);
  Select(1);
  USE(dir.File("movies.dbf"));
  ASSERT_EQ(DbfErrorNo, 0) << ErrorDetail;

  CompiledExpr* e = AssignExpr("UPPER(TITLE)+STR(YEAR,4)+DTOS(PREMIERE)");
  ASSERT_NE(e, nullptr);
  ASSERT_NE(EvaluateExpr(e), nullptr);  // the first evaluation may warm up
  std::string expected = "TITLE NUMBER 0" + std::string(16, ' ') + "195019500101";
  EXPECT_EQ(ResultText(e), expected);

  ASSERT_TRUE(AllocationCounterWorks());

  long total = 0;
  for (int i = 0; i < 10000; ++i) {
    if (i % 200 == 0) GO(1 + (i / 200) % 50);  // moving is the engine's business
    StartCountingAllocations();
    const void* result = EvaluateExpr(e);
    total += StopCountingAllocations();
    ASSERT_NE(result, nullptr);
  }
  EXPECT_EQ(total, 0);
  EXPECT_EQ(ResultText(e).substr(30), "199919990101");
  FreeExpr(e);
}

}  // namespace
}  // namespace orvex::test
