// Helpers shared by the benchmark programs.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "engine/dbf_file.h"
#include "engine/navigation.h"
#include "engine/record_io.h"
#include "engine/record_pack.h"
#include "engine/tables.h"
#include "engine/work_area.h"

namespace orvex::bench {

// Writes text into a C or D field of the current area's unpacked buffer
// (a length byte, then the characters).
inline void SetText(int field, const std::string& text) {
  std::uint8_t* p = FieldAddress(field);
  p[0] = static_cast<std::uint8_t>(text.size());
  std::memcpy(p + 1, text.data(), text.size());
}

// Makes `name`, a table of `records` records with the movie table's fields
// (without the memo): title C(30), year N(4), color L, runtime N(3), stars
// N(4,1), director C(25), premiere D; the values vary with the record number.
inline void BuildMovieTable(const std::string& name, int records) {
  CreateDbf(name, {{"title", 'C', 30, 0},
                   {"year", 'N', 4, 0},
                   {"color", 'L', 1, 0},
                   {"runtime", 'N', 3, 0},
                   {"stars", 'N', 4, 1},
                   {"director", 'C', 25, 0},
                   {"premiere", 'D', 8, 0}});
  USE(name + " EXCLUSIVE");
  auto set_int = [](int field, std::int32_t v) { std::memcpy(FieldAddress(field), &v, 4); };
  static const char* const kDirectors[] = {"Fritz Lang", "Robert Wiene", "Tom Tykwer",
                                           "Volker Schl\xF6ndorff"};
  for (int i = 0; i < records; ++i) {
    SetText(1, "Film number " + std::to_string(i));
    set_int(2, 1900 + i % 125);
    *FieldAddress(3) = static_cast<std::uint8_t>(i & 1);
    set_int(4, 60 + i % 120);
    DoubleToReal((i % 100) / 10.0, FieldAddress(5));
    SetText(6, kDirectors[i % 4]);
    char date[16];
    std::snprintf(date, sizeof date, "%02d.%02d.%02d", 1 + i % 28, 1 + i % 12, i % 100);
    SetText(7, date);
    Append();
  }
  USE("");
}

// The engine's own walk through a table made by BuildMovieTable: USE with
// `options` (" EXCLUSIVE" or "") in open mode `mode` (0xFFFF: the mode USE
// picks), then GoTop and SKIP(1) to the end, every field of the unpacked
// buffer read at every record. Answers records per second; *checksum gets
// a sum of the values read. The benchmarks that compare with the engine
// all measure it with this one function.
inline double EngineScan(const std::string& name, const std::string& options, std::uint16_t mode,
                         long* checksum) {
  OpenModeOverride = mode;
  USE(name + options);
  OpenModeOverride = 0xFFFF;
  const auto start = std::chrono::steady_clock::now();
  long sum = 0, records = 0;
  // The unpacked buffer stays in place while the table is open: callers take
  // the field addresses once.
  const std::uint8_t* field[8];
  for (int i = 1; i <= 7; ++i) field[i] = FieldAddress(i);
  GoTop();
  while (!dEOF()) {
    // Every field as the caller sees it.
    sum += field[1][0] + field[1][1];
    std::int32_t year;
    std::memcpy(&year, field[2], 4);
    sum += year + field[3][0];
    std::int32_t runtime;
    std::memcpy(&runtime, field[4], 4);
    sum += runtime + static_cast<long>(RealToDouble(field[5]) * 10);
    sum += field[6][1] + field[7][1];
    ++records;
    SKIP(1);
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  USE("");
  *checksum = sum;
  return records / seconds;
}

// A memory figure of this process in MB from /proc/self/status: "VmRSS"
// (resident now) or "VmHWM" (the resident high-water mark); -1 when the
// system does not say.
inline double ProcessMemoryMb(const std::string& key) {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind(key + ":", 0) == 0) return std::atof(line.c_str() + key.size() + 1) / 1024.0;
  }
  return -1;
}

// Writes the file's changed bytes to the medium and asks the system to drop
// what it holds of the file, so that the next reads come from the medium as
// after other work took the machine's memory. False when the file cannot be
// opened; the system may keep pages it cannot drop (a hint, not a promise).
inline bool DropFromSystemCache(const std::string& name) {
  const int fd = open(name.c_str(), O_RDONLY);
  if (fd < 0) return false;
  fdatasync(fd);
  posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
  close(fd);
  return true;
}

// The command line of every benchmark: [count] [folder]. The folder defaults
// to $TMPDIR, else /tmp.
inline int CountArgument(int argc, char** argv, int default_count) {
  return argc > 1 ? std::atoi(argv[1]) : default_count;
}
inline std::string FolderArgument(int argc, char** argv) {
  const char* tmp = std::getenv("TMPDIR");
  return argc > 2 ? argv[2] : (tmp != nullptr ? tmp : "/tmp");
}

// The best of several runs; results compare with `<` (higher is better).
template <typename Run>
auto BestOf(int runs, Run run) {
  auto best = run();
  for (int i = 1; i < runs; ++i) {
    auto next = run();
    if (best < next) best = next;
  }
  return best;
}

}  // namespace orvex::bench
