// A table walked through the dataset as a grid of 20 rows walks it, against
// the engine's own walk.
//
// Builds a 1,000,000-record table with the movie table's fields (without the
// memo): title C(30), year N(4), color L, runtime N(3), stars N(4,1),
// director C(25), premiere D, and opens it exclusively. Then it measures
//   - the engine walk: GoTop and SKIP(1) to the end, every field of the
//     unpacked buffer read;
//   - the dataset walk: a data link of 20 buffers, First and Next to the
//     end, the DisplayText of every field read at every record;
//   - the same walk without reading the texts (the moves alone);
// and prints records per second of each and the ratio to the engine walk.
//
// Usage: dataset_bench [records] [folder]   (defaults 1000000, $TMPDIR)
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

#include "bench/bench_dbf.h"
#include "bench/bench_support.h"
#include "bench/movie_table.h"
#include "common/errors.h"
#include "dataset/ox_data_set.h"
#include "dates/date_settings.h"
#include "engine/dbf_file.h"
#include "engine/navigation.h"
#include "engine/record_io.h"
#include "engine/record_pack.h"
#include "engine/tables.h"
#include "platform/data/data_link.h"

namespace {

using namespace orvex;
using Clock = std::chrono::steady_clock;

class GridLink : public data::TDataLink {
 public:
  GridLink() { SetBufferCount(20); }
};

double EngineWalk(const std::string& name, long* checksum) {
  Select(1);
  USE(name + " EXCLUSIVE");
  auto start = Clock::now();
  long sum = 0, records = 0;
  const std::uint8_t* field[8];
  for (int i = 1; i <= 7; ++i) field[i] = FieldAddress(i);
  GoTop();
  while (!dEOF()) {
    sum += field[1][0] + field[1][1];
    std::int32_t year, runtime;
    std::memcpy(&year, field[2], 4);
    std::memcpy(&runtime, field[4], 4);
    sum += year + field[3][0] + runtime + static_cast<long>(RealToDouble(field[5]) * 10);
    sum += field[6][1] + field[7][1];
    ++records;
    SKIP(1);
  }
  double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  USE("");
  *checksum = sum;
  return records / seconds;
}

double DatasetWalk(const std::string& name, bool read_texts, long* checksum) {
  bench::BenchDbf table("OxDbf1");
  table.SetDbfFileName(name);
  data::TDataSource source;
  GridLink grid;
  grid.SetDataSource(&source);
  source.SetDataSet(&table);
  table.Open();
  auto start = Clock::now();
  long sum = 0, records = 0;
  const int fields = table.FieldCount();
  for (table.First(); !table.Eof(); table.Next()) {
    if (read_texts) {
      for (int i = 0; i < fields; ++i)
        sum += static_cast<long>(table.Fields(i)->DisplayText().size());
    }
    ++records;
  }
  double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  table.Close();
  *checksum = sum;
  return records / seconds;
}

}  // namespace

int main(int argc, char** argv) {
  int records = bench::CountArgument(argc, argv, 1000000);
  std::string dir = bench::FolderArgument(argc, argv);
  std::string name = dir + "/dataset_bench_" + std::to_string(getpid()) + ".dbf";
  SetRaiseOnError(true);
  CenturyOn = false;
  SetDateType(5);

  bench::BuildMovieTable(name, records);
  long engine_sum = 0, dataset_sum = 0;
  EngineWalk(name, &engine_sum);  // warm the page cache
  double engine = bench::BestOf(3, [&] { return EngineWalk(name, &engine_sum); });
  double dataset = bench::BestOf(3, [&] { return DatasetWalk(name, true, &dataset_sum); });
  long moves_sum = 0;
  double moves_only = bench::BestOf(3, [&] { return DatasetWalk(name, false, &moves_sum); });
  std::printf("engine GoTop/SKIP walk:            %12.0f records/s\n", engine);
  std::printf("dataset Next walk, 20-row link:    %12.0f records/s  (%.2f of the engine walk)\n",
              dataset, dataset / engine);
  std::printf("the same walk without the texts:   %12.0f records/s  (%.2f of the engine walk)\n",
              moves_only, moves_only / engine);
  std::printf("(checksums %ld %ld)\n", engine_sum, dataset_sum);
  std::remove(name.c_str());
  return 0;
}
