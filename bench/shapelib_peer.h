// shapelib (libshp-dev) beside the benchmarks: its DBF reader walking a
// table as a program that uses it would.
//
// The benchmarks build without shapelib: ShapelibAvailable() is then false
// and ShapelibScan answers -1, so that the benchmark leaves the peer out.
#pragma once

#include <string>

namespace orvex::bench {

bool ShapelibAvailable();

// Opens the DBF file `name` with DBFOpen and reads every field of every
// record with DBFReadStringAttribute (shapelib's text of the field, which
// it converts and trims itself), in record order. Answers records per
// second; *checksum gets the total length of the texts. -1 when shapelib
// is missing or cannot open the file.
double ShapelibScan(const std::string& name, long* checksum);

}  // namespace orvex::bench
