// What the fuzz targets share: a scratch folder of their own, writing a file
// whole, and the bytes of the small dBASE III tables they open beside the
// fuzzed input.
#pragma once

#include <stdlib.h>

#include <cstdlib>
#include <fstream>
#include <initializer_list>
#include <string>
#include <string_view>

namespace orvex::fuzz {

// A folder made once per process under /tmp, named after the target.
inline const std::string& ScratchFolder(const char* target) {
  static const std::string dir = [target] {
    std::string name = std::string("/tmp/orvex_") + target + "_XXXXXX";
    if (mkdtemp(name.data()) == nullptr) std::abort();
    return name;
  }();
  return dir;
}

// Writes `bytes` as the whole content of the file at `path`.
inline void WriteFile(const std::string& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

struct FieldSpec {
  const char* name;
  char type;
  int length, decimals;
};

// The header of a dBASE III table (version byte 3) with `fields` and
// `records` records, up to its terminator 0x0D; *record_length is the
// length of one record (deletion flag and fields).
inline std::string DbfHeader(std::initializer_list<FieldSpec> fields, int records,
                             int* record_length) {
  const int header = 32 + 32 * static_cast<int>(fields.size()) + 1;
  int length = 1;
  for (const FieldSpec& f : fields) length += f.length;
  std::string b(32, '\0');
  b[0] = 3;
  for (int i = 0; i < 4; ++i) b[4 + i] = static_cast<char>((records >> (8 * i)) & 0xFF);
  b[8] = static_cast<char>(header & 0xFF);
  b[9] = static_cast<char>(header >> 8);
  b[10] = static_cast<char>(length & 0xFF);
  b[11] = static_cast<char>(length >> 8);
  for (const FieldSpec& f : fields) {
    std::string d(32, '\0');
    d.replace(0, std::string(f.name).size(), f.name);
    d[11] = f.type;
    d[16] = static_cast<char>(f.length);
    d[17] = static_cast<char>(f.decimals);
    b += d;
  }
  b += '\x0D';
  *record_length = length;
  return b;
}

}  // namespace orvex::fuzz
