// Fetching records allocates nothing: the ring's buffers are allocated once
// and turned; nor does reading every field's text into a string kept for
// them all. A program of its own, because it replaces the global operator
// new to count allocations.
#include <atomic>
#include <cstdlib>
#include <new>

#include "dataset_test_support.h"
#include "engine/record_pack.h"

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

using FetchAllocations = DatasetTest;

TEST_F(FetchAllocations, TenThousandFetchesAllocateNothing) {
  const std::string table = Path("fetch.dbf");
  BuildTable(table,
             {{"TITLE", 'C', 30, 0},
              {"YEAR", 'N', 4, 0},
              {"STARS", 'N', 5, 2},
              {"COLOR", 'L', 1, 0},
              {"PREMIERE", 'D', 8, 0}},
             2000, [](int i) {
               SetText(1, "Film number " + std::to_string(i));
               SetInt(2, 1900 + i % 120);
               DoubleToReal(i % 1000 / 100.0, FieldAddress(3));
               *FieldAddress(4) = static_cast<std::uint8_t>(i & 1);
               SetText(5, "01.02.03");
             });
  TestDbf ds(table);
  data::TDataSource source;
  RowsLink grid(20);
  grid.SetDataSource(&source);
  source.SetDataSet(&ds);
  ds.Open();
  // Warm: every buffer allocated, and the engine's read-ahead has read each
  // block of the file once (it grows by whole blocks, not per record).
  ds.Last();
  ds.First();
  ds.MoveBy(30);

  // The counter sees allocations.
  counting = true;
  { std::string probe(100, 'x'); }
  counting = false;
  ASSERT_GT(allocations, 0);

  allocations = 0;
  counting = true;
  int fetched = 0;
  for (int pass = 0; fetched < 10000 && pass < 10; ++pass) {
    while (!ds.Eof() && fetched < 10000) {
      ds.Next();
      ++fetched;
    }
    while (!ds.Bof() && fetched < 10000) {
      ds.Prior();
      ++fetched;
    }
  }
  counting = false;
  EXPECT_EQ(fetched, 10000);
  EXPECT_EQ(allocations, 0);

  // Every text of every record, as a grid draws its cells: once the kept
  // string has room for the longest text, nothing is allocated.
  std::string text;
  text.reserve(64);
  std::size_t length = 0;
  ds.First();
  // The first date text takes the short date format apart, once.
  for (int i = 0; i < ds.FieldCount(); ++i) ds.Fields(i)->GetDisplayText(text);
  allocations = 0;
  counting = true;
  for (; !ds.Eof(); ds.Next()) {
    for (int i = 0; i < ds.FieldCount(); ++i) {
      ds.Fields(i)->GetDisplayText(text);
      length += text.size();
    }
  }
  counting = false;
  EXPECT_EQ(allocations, 0);
  EXPECT_GT(length, 2000u * 16);  // the titles alone
}

}  // namespace
}  // namespace orvex::test
