// Evaluation allocates nothing once warm: a program of its own, because it
// replaces the global operator new to count allocations.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <string>

#include "dbf_writer.h"
#include "engine/navigation.h"
#include "engine/tables.h"
#include "expr_test_util.h"

// The replacements below pair malloc with free by design; GCC, seeing its
// delete inlined next to a new, takes them for a mismatch.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

namespace {
std::atomic<bool> counting{false};
std::atomic<long> allocations{0};

void* Allocate(std::size_t size) {
  if (counting) ++allocations;
  return std::malloc(size == 0 ? 1 : size);
}
}  // namespace

void* operator new(std::size_t size) {
  if (void* p = Allocate(size)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }

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

  // The counter sees allocations.
  counting = true;
  {
    std::string probe(100, 'x');
    volatile char c = probe[50];
    (void)c;
  }
  counting = false;
  ASSERT_GT(allocations, 0);

  long total = 0;
  for (int i = 0; i < 10000; ++i) {
    if (i % 200 == 0) GO(1 + (i / 200) % 50);  // moving is the engine's business
    allocations = 0;
    counting = true;
    const void* result = EvaluateExpr(e);
    counting = false;
    total += allocations;
    ASSERT_NE(result, nullptr);
  }
  EXPECT_EQ(total, 0);
  EXPECT_EQ(ResultText(e).substr(30), "199919990101");
  FreeExpr(e);
}

}  // namespace
}  // namespace orvex::test
