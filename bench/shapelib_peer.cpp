#include "bench/shapelib_peer.h"

#include <chrono>
#include <cstring>

#ifdef ORVEX_HAVE_SHAPELIB
#include <shapefil.h>
#endif

namespace orvex::bench {

#ifdef ORVEX_HAVE_SHAPELIB

bool ShapelibAvailable() { return true; }

double ShapelibScan(const std::string& name, long* checksum) {
  DBFHandle table = DBFOpen(name.c_str(), "rb");
  if (table == nullptr) return -1;
  const auto start = std::chrono::steady_clock::now();
  const int records = DBFGetRecordCount(table);
  const int fields = DBFGetFieldCount(table);
  long sum = 0;
  for (int r = 0; r < records; ++r) {
    for (int f = 0; f < fields; ++f)
      sum += static_cast<long>(std::strlen(DBFReadStringAttribute(table, r, f)));
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  DBFClose(table);
  *checksum = sum;
  return records / seconds;
}

#else  // without shapelib: nothing to compare with

bool ShapelibAvailable() { return false; }

double ShapelibScan(const std::string&, long* checksum) {
  *checksum = 0;
  return -1;
}

#endif

}  // namespace orvex::bench
