// A table walked through the dataset as a grid of 20 rows walks it, against
// the engine's own walk and against SQLite stepping through the same rows.
//
// Builds a 1,000,000-record table with the movie table's fields (without the
// memo): title C(30), year N(4), color L, runtime N(3), stars N(4,1),
// director C(25), premiere D, and imports its records once into SQLite (in
// memory and in a database file; bench/sqlite_peer.h). Then it measures, in
// the same run, on the table opened exclusively:
//   - the engine walk: GoTop and SKIP(1) to the end, every field of the
//     unpacked buffer read (bench::EngineScan, as engine_bench measures it);
//   - the dataset walk: a data link of 20 buffers, First and Next to the
//     end, the DisplayText of every field read at every record into one
//     string kept for all of them (GetDisplayText, the way a grid draws);
//   - the same walk with DisplayText returning a new string for every text;
//   - the same walk without reading the texts (the moves alone);
//   - the texts alone: every field's text of one record, read once per
//     record of the table without moving;
// then the engine walk and the dataset walk with texts on the table opened
// shared (deny none, as the table component opens it), and SQLite stepping
// through SELECT * of the same rows, sqlite3_column_text on every column,
// in memory and on disk. Prints records per second of each, the ratio to
// the engine walk and the ratios of the dataset walks to SQLite's.
// Each figure is the best of three rounds in which every walk runs once.
//
// Usage: dataset_bench [records] [folder]   (defaults 1000000, $TMPDIR)
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>

#include "bench/bench_dbf.h"
#include "bench/bench_support.h"
#include "bench/peer_report.h"
#include "bench/sqlite_peer.h"
#include "common/errors.h"
#include "dataset/ox_data_set.h"
#include "dates/date_settings.h"
#include "platform/data/data_link.h"

namespace {

using namespace orvex;
using Clock = std::chrono::steady_clock;

class GridLink : public data::TDataLink {
 public:
  GridLink() { SetBufferCount(20); }
};

enum class Texts { kKeptString, kNewStrings, kNone, kOnly };

// One dataset walk; records per second. *checksum gets the total length of
// the texts read.
double DatasetWalk(const std::string& name, Texts texts, bool shared, long* checksum) {
  bench::BenchDbf table("OxDbf1");
  table.SetShared(shared);
  table.SetDbfFileName(name);
  data::TDataSource source;
  GridLink grid;
  grid.SetDataSource(&source);
  source.SetDataSet(&table);
  table.Open();
  const int fields = table.FieldCount();
  const int count = table.GetRecordCount();
  std::string text;
  long sum = 0, records = 0;
  auto start = Clock::now();
  if (texts == Texts::kOnly) {
    for (; records < count; ++records) {
      for (int i = 0; i < fields; ++i) {
        table.Fields(i)->GetDisplayText(text);
        sum += static_cast<long>(text.size());
      }
    }
  } else {
    for (table.First(); !table.Eof(); table.Next()) {
      if (texts == Texts::kKeptString) {
        for (int i = 0; i < fields; ++i) {
          table.Fields(i)->GetDisplayText(text);
          sum += static_cast<long>(text.size());
        }
      } else if (texts == Texts::kNewStrings) {
        for (int i = 0; i < fields; ++i)
          sum += static_cast<long>(table.Fields(i)->DisplayText().size());
      }
      ++records;
    }
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
  bench::SqlitePeer memory, disk(name + ".sqlite");
  memory.ImportDbf(name, "movies");
  disk.ImportDbf(name, "movies");
  long engine_sum = 0, kept_sum = 0, new_sum = 0, other_sum = 0, shared_sum = 0;
  bench::EngineScan(name, " EXCLUSIVE", 0xFFFF, &engine_sum);  // warm the page cache
  const auto engine = [&] { return bench::EngineScan(name, " EXCLUSIVE", 0xFFFF, &engine_sum); };
  long sqlite_rows = 0, sqlite_sum = 0;
  const auto step = [&](bench::SqlitePeer& peer) {
    return peer.StepAll("SELECT * FROM movies", bench::SqlitePeer::Columns::kText, &sqlite_rows,
                        &sqlite_sum);
  };
  // Three rounds, each measuring every walk once, and the best of each
  // walk kept: the walks compared take turns, so that a neighbour's passing
  // load on the machine does not tilt the ratios.
  double engine_rate = 0, kept = 0, fresh = 0, moves = 0, texts_only = 0, engine_shared = 0,
         shared = 0, sqlite_memory = 0, sqlite_disk = 0;
  for (int round = 0; round < 3; ++round) {
    engine_rate = std::max(engine_rate, engine());
    kept = std::max(kept, DatasetWalk(name, Texts::kKeptString, false, &kept_sum));
    sqlite_memory = std::max(sqlite_memory, step(memory));
    shared = std::max(shared, DatasetWalk(name, Texts::kKeptString, true, &shared_sum));
    sqlite_disk = std::max(sqlite_disk, step(disk));
    fresh = std::max(fresh, DatasetWalk(name, Texts::kNewStrings, false, &new_sum));
    moves = std::max(moves, DatasetWalk(name, Texts::kNone, false, &other_sum));
    texts_only = std::max(texts_only, DatasetWalk(name, Texts::kOnly, false, &other_sum));
    engine_shared = std::max(engine_shared, bench::EngineScan(name, "", 0xFFFF, &other_sum));
  }
  if (!bench::SqlitePeer::Available()) sqlite_memory = sqlite_disk = -1;

  std::printf("engine GoTop/SKIP walk:                    %12.0f records/s  (%.3f us per record)\n",
              engine_rate, 1e6 / engine_rate);
  std::printf(
      "dataset Next walk, 20-row link, texts:     %12.0f records/s  (%.2f of the engine walk)\n",
      kept, kept / engine_rate);
  std::printf(
      "  the same, DisplayText as new strings:    %12.0f records/s  (%.2f of the engine walk)\n",
      fresh, fresh / engine_rate);
  std::printf(
      "  the same walk without the texts:         %12.0f records/s  (%.2f of the engine walk)\n",
      moves, moves / engine_rate);
  std::printf("time per record: engine %.3f us, dataset moves beyond it %.3f us, 7 texts %.3f us\n",
              1e6 / engine_rate, 1e6 / moves - 1e6 / engine_rate, 1e6 / texts_only);
  std::printf("shared: engine walk %12.0f records/s, dataset walk with texts %12.0f records/s\n",
              engine_shared, shared);
  std::printf(
      "sqlite SELECT *, column_text on every column: %12.0f rows/s in memory, %12.0f rows/s on "
      "disk\n",
      sqlite_memory, sqlite_disk);
  bench::ReportPeer("dataset walk, every display text, exclusive", kept,
                    "sqlite stepping in memory", sqlite_memory, "rec/s");
  bench::ReportPeer("dataset walk, every display text, exclusive", kept, "sqlite stepping on disk",
                    sqlite_disk, "rec/s");
  bench::ReportPeer("dataset walk, every display text, shared", shared, "sqlite stepping in memory",
                    sqlite_memory, "rec/s");
  bench::ReportPeer("dataset walk, every display text, shared", shared, "sqlite stepping on disk",
                    sqlite_disk, "rec/s");
  bench::ReportPeer("dataset walk, exclusive (target 0.25)", kept, "engine walk exclusive",
                    engine_rate, "rec/s");
  bench::ReportPeer("dataset walk, shared (target 0.25)", shared, "engine walk shared",
                    engine_shared, "rec/s");
  bench::ReportPeer("dataset walk shared (target 0.8)", shared, "dataset walk exclusive", kept,
                    "rec/s");
  std::printf("(checksums %ld %ld %ld %ld; sqlite %ld rows, %ld)\n", engine_sum, kept_sum, new_sum,
              shared_sum, sqlite_rows, sqlite_sum);
  std::remove(name.c_str());
  return kept_sum == new_sum && kept_sum == shared_sum ? 0 : 1;
}
