// Fetching records allocates nothing: the ring's buffers are allocated once
// and turned; nor does reading every field's text into a string kept for
// them all. A program of its own: it counts allocations
// (support/allocation_counter.h).
#include "dataset_test_support.h"
#include "engine/record_pack.h"
#include "support/allocation_counter.h"

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

  ASSERT_TRUE(AllocationCounterWorks());

  StartCountingAllocations();
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
  EXPECT_EQ(StopCountingAllocations(), 0);
  EXPECT_EQ(fetched, 10000);

  // Every text of every record, as a grid draws its cells: once the kept
  // string has room for the longest text, nothing is allocated.
  std::string text;
  text.reserve(64);
  std::size_t length = 0;
  ds.First();
  // The first date text takes the short date format apart, once.
  for (int i = 0; i < ds.FieldCount(); ++i) ds.Fields(i)->GetDisplayText(text);
  StartCountingAllocations();
  for (; !ds.Eof(); ds.Next()) {
    for (int i = 0; i < ds.FieldCount(); ++i) {
      ds.Fields(i)->GetDisplayText(text);
      length += text.size();
    }
  }
  EXPECT_EQ(StopCountingAllocations(), 0);
  EXPECT_GT(length, 2000u * 16);  // the titles alone
}

}  // namespace
}  // namespace orvex::test
