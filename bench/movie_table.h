// The table the dataset and grid benchmarks walk: the movie table's fields
// (without the memo): title C(30), year N(4), color L, runtime N(3), stars
// N(4,1), director C(25), premiere D; record i (from 0) has the title "Film
// number i". Built with the engine, then closed.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "bench/bench_support.h"
#include "engine/dbf_file.h"
#include "engine/record_io.h"
#include "engine/record_pack.h"
#include "engine/tables.h"
#include "engine/work_area.h"

namespace orvex::bench {

inline void SetInt(int field, std::int32_t v) { std::memcpy(FieldAddress(field), &v, 4); }

inline void BuildMovieTable(const std::string& name, int records) {
  CreateDbf(name, {{"title", 'C', 30, 0},
                   {"year", 'N', 4, 0},
                   {"color", 'L', 1, 0},
                   {"runtime", 'N', 3, 0},
                   {"stars", 'N', 4, 1},
                   {"director", 'C', 25, 0},
                   {"premiere", 'D', 8, 0}});
  USE(name + " EXCLUSIVE");
  static const char* const kDirectors[] = {"Fritz Lang", "Robert Wiene", "Tom Tykwer",
                                           "Volker Schl\xF6ndorff"};
  for (int i = 0; i < records; ++i) {
    SetText(1, "Film number " + std::to_string(i));
    SetInt(2, 1900 + i % 125);
    *FieldAddress(3) = static_cast<std::uint8_t>(i & 1);
    SetInt(4, 60 + i % 120);
    DoubleToReal((i % 100) / 10.0, FieldAddress(5));
    SetText(6, kDirectors[i % 4]);
    char date[16];
    std::snprintf(date, sizeof date, "%02d.%02d.%02d", 1 + i % 28, 1 + i % 12, i % 100);
    SetText(7, date);
    Append();
  }
  USE("");
}

}  // namespace orvex::bench
