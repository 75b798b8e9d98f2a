// Reading records of a large table: the natural scan against the physical
// limit, and the record cache under walks in key order and seeks.
//
// Builds a table (default 1,000,000 records) with the movie table's fields
// (without the memo): title C(30), year N(4), color L, runtime N(3), stars
// N(4,1), director C(25), premiere D. Then it measures
//   - the engine scan: GoTop and SKIP(1) to the end, every field unpacked and
//     read, on a table opened exclusively, read-only, and shared;
//   - the raw pass: the file read in one pass with large reads and walked
//     record by record (the deletion flag and one byte of each field read),
//     the physical limit;
//   - for comparison, a plain stdio loop reading one record at a time, and a
//     loop with one read call per record;
//   - shapelib's DBF reader reading every field of every record
//     (bench/shapelib_peer.h);
//   - with a tag whose order scatters the records over the file: a walk in
//     that order reading every field, right after opening (cold) and again
//     (warm), and 10,000 seeks (Find, every field of the record read) cold
//     and warm, each with its read calls, bytes read and peak memory;
// and prints records per second of each and the ratios to the raw pass and
// to shapelib. Each figure of the scans is the best of three rounds in which
// every reader (raw pass, stdio, read per record, the three engine scans,
// shapelib) runs once.
//
// Usage: engine_bench [records] [folder]   (defaults 1000000, $TMPDIR)
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "bench/peer_report.h"
#include "bench/shapelib_peer.h"
#include "common/errors.h"
#include "dates/date_settings.h"
#include "engine/dbf_file.h"
#include "engine/navigation.h"
#include "engine/record_io.h"
#include "engine/record_pack.h"
#include "engine/tables.h"
#include "engine/work_area.h"
#include "index/index_build.h"
#include "index/index_open.h"
#include "index/index_search.h"

namespace {

using namespace orvex;
using Clock = std::chrono::steady_clock;

// One pass over the file with large reads, walking record by record.
double RawPass(const std::string& name, long* checksum) {
  int fd = ::open(name.c_str(), O_RDONLY);
  if (fd < 0) return 0;
  auto start = Clock::now();
  unsigned char header[32];
  if (::pread(fd, header, 32, 0) != 32) return 0;
  std::size_t header_length = header[8] | (header[9] << 8);
  std::size_t record_length = header[10] | (header[11] << 8);
  std::uint32_t count = header[4] | (header[5] << 8) | (header[6] << 16) |
                        (static_cast<std::uint32_t>(header[7]) << 24);
  static const std::size_t kOffsets[] = {0, 1, 31, 35, 36, 39, 43, 68};
  std::vector<unsigned char> buffer(1 << 20);
  std::size_t filled = 0, at = 0;
  long sum = 0, records = 0;
  off_t offset = static_cast<off_t>(header_length);
  while (records < static_cast<long>(count)) {
    if (filled - at < record_length) {
      std::memmove(buffer.data(), buffer.data() + at, filled - at);
      filled -= at;
      at = 0;
      ssize_t n = ::pread(fd, buffer.data() + filled, buffer.size() - filled, offset);
      if (n <= 0) break;
      offset += n;
      filled += static_cast<std::size_t>(n);
      continue;
    }
    const unsigned char* r = buffer.data() + at;
    for (std::size_t o : kOffsets) sum += r[o];
    at += record_length;
    ++records;
  }
  double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  ::close(fd);
  *checksum = sum;
  return records / seconds;
}

// The file read front to back with stdio, one record at a time into a
// record buffer, as a plain reading program walks it.
double RecordByRecordRead(const std::string& name, long* checksum) {
  std::FILE* f = std::fopen(name.c_str(), "rb");
  if (f == nullptr) return 0;
  auto start = Clock::now();
  unsigned char header[32];
  if (std::fread(header, 1, 32, f) != 32) return 0;
  std::size_t header_length = header[8] | (header[9] << 8);
  std::size_t record_length = header[10] | (header[11] << 8);
  std::fseek(f, static_cast<long>(header_length), SEEK_SET);
  std::vector<unsigned char> record(record_length);
  long sum = 0, records = 0;
  while (std::fread(record.data(), 1, record_length, f) == record_length && record[0] != 0x1A) {
    sum += record[0] + record[1];
    ++records;
  }
  double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  std::fclose(f);
  *checksum = sum;
  return records / seconds;
}

// The file read front to back with one read call per record.
double ReadPerRecord(const std::string& name, long* checksum) {
  int fd = ::open(name.c_str(), O_RDONLY);
  if (fd < 0) return 0;
  auto start = Clock::now();
  unsigned char header[32];
  if (::read(fd, header, 32) != 32) return 0;
  std::size_t header_length = header[8] | (header[9] << 8);
  std::size_t record_length = header[10] | (header[11] << 8);
  ::lseek(fd, static_cast<off_t>(header_length), SEEK_SET);
  std::vector<unsigned char> record(record_length);
  long sum = 0, records = 0;
  while (::read(fd, record.data(), record_length) == static_cast<ssize_t>(record_length)) {
    sum += record[0] + record[1];
    ++records;
  }
  double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  ::close(fd);
  *checksum = sum;
  return records / seconds;
}

// The tag of the keyed measurements: runtime and year cycle with periods 120
// and 125 (see BuildMovieTable), so that consecutive keys lie 3,000 records
// apart and a walk in key order crosses the file again and again, as with
// most keys of real tables; the title's number makes every key unique.
const char kScatterKey[] = "STR(RUNTIME)+STR(YEAR)+SUBSTR(TITLE,13,8)";

std::string ScatterKeyOf(int i) {
  char key[40];
  std::snprintf(key, sizeof key, "%10d%10d%-8d", 60 + i % 120, 1900 + i % 125, i);
  return key;
}

// A value from /proc/self/<file> (such as "rchar:" in io, "VmHWM:" in
// status); 0 when absent.
long ProcValue(const char* file, const std::string& key) {
  std::ifstream in(std::string("/proc/self/") + file);
  std::string word;
  while (in >> word) {
    if (word == key) {
      long value = 0;
      in >> value;
      return value;
    }
  }
  return 0;
}

// One keyed measurement: time, read calls, bytes read and the peak resident
// memory while it ran.
struct Phase {
  double seconds = 0;
  long read_calls = 0;
  long bytes_read = 0;
  long peak_kib = 0;
};

template <typename Run>
Phase Measure(Run run) {
  std::ofstream("/proc/self/clear_refs") << "5";  // peak memory from now on
  const long calls = ProcValue("io", "syscr:"), bytes = ProcValue("io", "rchar:");
  const auto start = Clock::now();
  run();
  Phase phase;
  phase.seconds = std::chrono::duration<double>(Clock::now() - start).count();
  phase.read_calls = ProcValue("io", "syscr:") - calls;
  phase.bytes_read = ProcValue("io", "rchar:") - bytes;
  phase.peak_kib = ProcValue("status", "VmHWM:");
  return phase;
}

// Every field of the current record, as the caller sees it.
long ReadFields() {
  long sum = FieldAddress(1)[1] + FieldAddress(3)[0] + FieldAddress(6)[1] + FieldAddress(7)[1];
  std::int32_t year, runtime;
  std::memcpy(&year, FieldAddress(2), 4);
  std::memcpy(&runtime, FieldAddress(4), 4);
  return sum + year + runtime + static_cast<long>(RealToDouble(FieldAddress(5)) * 10);
}

void PrintPhase(const char* what, const Phase& phase, long count, const char* unit) {
  std::printf("%-28s %8.3f s %12.0f %s/s  %9ld read calls %9.1f MiB read  peak %7.1f MiB\n", what,
              phase.seconds, count / phase.seconds, unit, phase.read_calls,
              phase.bytes_read / 1048576.0, phase.peak_kib / 1024.0);
}

// Walks and seeks in the scattered key order (the table opened anew, so
// that its cache starts empty; the file itself stays in the page cache).
void KeyedMeasurements(const std::string& name, int records) {
  auto start = Clock::now();
  USE(name + " EXCLUSIVE");
  if (!MakeIndex({TagDefinition{"SCATTER", kScatterKey, "", false, false}}, "")) std::exit(1);
  USE("");
  std::printf("\ntag on %s built in %.2f s\n", kScatterKey,
              std::chrono::duration<double>(Clock::now() - start).count());

  long sum = 0, walked = 0;
  auto walk = [&] {
    walked = 0;
    for (GoTop(); !dEOF(); SKIP(1)) {
      sum += ReadFields();
      ++walked;
    }
  };
  USE(name + " EXCLUSIVE");
  SetIndexTo("");
  Phase cold_walk = Measure(walk);
  Phase warm_walk = Measure(walk);
  const long cold_walked = walked;

  const int seeks = 10000;
  std::mt19937 random(7);
  std::vector<std::string> keys;
  for (int i = 0; i < seeks; ++i)
    keys.push_back(ScatterKeyOf(static_cast<int>(random() % static_cast<unsigned>(records))));
  int found = 0;
  auto seek = [&] {
    found = 0;
    for (const std::string& key : keys) {
      if (Find(key)) {
        ++found;
        sum += ReadFields();
      }
    }
  };
  USE(name + " EXCLUSIVE");
  SetIndexTo("");
  Phase cold_seek = Measure(seek);
  Phase warm_seek = Measure(seek);
  USE("");

  PrintPhase("walk in key order, cold", cold_walk, cold_walked, "rec");
  PrintPhase("walk in key order, warm", warm_walk, walked, "rec");
  PrintPhase("10,000 seeks, cold", cold_seek, seeks, "seek");
  PrintPhase("10,000 seeks, warm", warm_seek, seeks, "seek");
  std::printf("walked %ld and %ld of %d records, found %d of %d keys (checksum %ld)\n", cold_walked,
              walked, records, found, seeks, sum);
  if (cold_walked != records || walked != records || found != seeks) {
    std::printf("MISMATCH\n");
    std::exit(1);
  }
}

}  // namespace

int main(int argc, char** argv) {
  int records = bench::CountArgument(argc, argv, 1000000);
  std::string dir = bench::FolderArgument(argc, argv);
  std::string name = dir + "/engine_bench_" + std::to_string(getpid()) + ".dbf";
  SetRaiseOnError(true);
  CenturyOn = false;
  SetDateType(5);

  auto build_start = Clock::now();
  bench::BuildMovieTable(name, records);
  std::printf("table: %d records written through Append in %.2f s\n", records,
              std::chrono::duration<double>(Clock::now() - build_start).count());

  long raw_sum = 0, sum = 0, shapelib_sum = 0;
  RawPass(name, &raw_sum);  // warm the page cache
  // Every reader takes its turn in each of three rounds, and the best of
  // each is kept: the figures compared come from the same run, and a
  // neighbour's passing load on the machine should not tilt their ratios.
  double raw = 0, plain = 0, per_record = 0, exclusive = 0, read_only = 0, shared = 0, shapelib = 0;
  for (int round = 0; round < 3; ++round) {
    raw = std::max(raw, RawPass(name, &raw_sum));
    exclusive = std::max(exclusive, bench::EngineScan(name, " EXCLUSIVE", 0xFFFF, &sum));
    read_only = std::max(read_only, bench::EngineScan(name, "", os::kOpenRead, &sum));
    shared = std::max(shared, bench::EngineScan(name, "", 0xFFFF, &sum));
    shapelib = std::max(shapelib, bench::ShapelibScan(name, &shapelib_sum));
    plain = std::max(plain, RecordByRecordRead(name, &raw_sum));
    per_record = std::max(per_record, ReadPerRecord(name, &raw_sum));
  }

  std::printf("raw one-pass read:          %12.0f records/s\n", raw);
  std::printf("stdio record by record:     %12.0f records/s  (%.2f of raw)\n", plain, plain / raw);
  std::printf("one read call per record:   %12.0f records/s  (%.2f of raw)\n", per_record,
              per_record / raw);
  for (auto [label, rate] :
       {std::pair{"exclusive: ", exclusive}, {"read-only: ", read_only}, {"shared:    ", shared}}) {
    std::printf("engine scan, %s    %12.0f records/s  (%.2f of raw, %.2f of one read per record)\n",
                label, rate, rate / raw, rate / per_record);
  }
  bench::ReportPeer("natural scan, exclusive (target 0.5)", exclusive, "raw one-pass read", raw,
                    "rec/s");
  bench::ReportPeer("natural scan, exclusive", exclusive, "shapelib DBFReadStringAttribute",
                    shapelib, "rec/s");
  bench::ReportPeer("natural scan, shared (target 0.8)", shared, "natural scan, exclusive",
                    exclusive, "rec/s");
  std::printf("(checksums %ld %ld %ld)\n", raw_sum, sum, shapelib_sum);

  KeyedMeasurements(name, records);
  std::remove(name.c_str());
  std::remove((name.substr(0, name.size() - 3) + "mdx").c_str());
  return 0;
}
