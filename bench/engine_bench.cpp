// Natural-order scan of a large table against the physical limit.
//
// Builds a 1,000,000-record table with the movie table's fields (without the
// memo): title C(30), year N(4), color L, runtime N(3), stars N(4,1),
// director C(25), premiere D. Then it measures
//   - the engine scan: GoTop and SKIP(1) to the end, every field unpacked and
//     read, on a table opened exclusively, read-only, and shared;
//   - the raw pass: the file read in one pass with large reads and walked
//     record by record (the deletion flag and one byte of each field read),
//     the physical limit;
//   - for comparison, a plain stdio loop reading one record at a time, and a
//     loop with one read call per record;
//   - shapelib's DBF reader reading every field of every record
//     (bench/shapelib_peer.h).
// and prints records per second of each and the ratio to the raw pass and
// to shapelib.
//
// Usage: engine_bench [records] [folder]   (defaults 1000000, $TMPDIR)
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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

  long raw_sum = 0, sum = 0;
  RawPass(name, &raw_sum);  // warm the page cache
  double raw = bench::BestOf(3, [&] { return RawPass(name, &raw_sum); });
  double plain = bench::BestOf(3, [&] { return RecordByRecordRead(name, &raw_sum); });
  double per_record = bench::BestOf(3, [&] { return ReadPerRecord(name, &raw_sum); });
  double exclusive =
      bench::BestOf(3, [&] { return bench::EngineScan(name, " EXCLUSIVE", 0xFFFF, &sum); });
  double read_only =
      bench::BestOf(3, [&] { return bench::EngineScan(name, "", os::kOpenRead, &sum); });
  double shared = bench::BestOf(1, [&] { return bench::EngineScan(name, "", 0xFFFF, &sum); });
  long shapelib_sum = 0;
  const double shapelib =
      bench::BestOf(3, [&] { return bench::ShapelibScan(name, &shapelib_sum); });

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
  std::remove(name.c_str());
  return 0;
}
