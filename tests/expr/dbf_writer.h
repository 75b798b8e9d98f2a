// Writes small dBASE III tables (without memo file) byte by byte for the expression tests, so that
// they do not depend on the engine's own table creation.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace orvex::test {

struct TestField {
  std::string name;
  char type;
  int length;
  int decimals = 0;
};

// One record: the deletion flag and the field texts, padded here (C left
// aligned with blanks, every other type right aligned).
struct TestRecord {
  std::vector<std::string> values;
  bool deleted = false;
};

inline void WriteDbf(const std::string& path, const std::vector<TestField>& fields,
                     const std::vector<TestRecord>& records) {
  int record_length = 1;
  for (const auto& f : fields) record_length += f.length;
  int header_length = 32 + 32 * static_cast<int>(fields.size()) + 1;
  std::string bytes(32, '\0');
  // Version 3 without the memo flag: M fields read as block numbers, no memo
  // file is needed.
  bytes[0] = 0x03;
  bytes[1] = 124;
  bytes[2] = 1;
  bytes[3] = 1;
  auto put16 = [&](int at, int v) {
    bytes[at] = static_cast<char>(v & 0xFF);
    bytes[at + 1] = static_cast<char>((v >> 8) & 0xFF);
  };
  std::uint32_t count = static_cast<std::uint32_t>(records.size());
  for (int i = 0; i < 4; ++i) bytes[4 + i] = static_cast<char>((count >> (8 * i)) & 0xFF);
  put16(8, header_length);
  put16(10, record_length);
  for (const auto& f : fields) {
    std::string d(32, '\0');
    d.replace(0, f.name.size(), f.name);
    d[11] = f.type;
    d[16] = static_cast<char>(f.length);
    d[17] = static_cast<char>(f.decimals);
    bytes += d;
  }
  bytes += '\x0D';
  for (const auto& r : records) {
    bytes += r.deleted ? '*' : ' ';
    for (std::size_t i = 0; i < fields.size(); ++i) {
      std::string v = i < r.values.size() ? r.values[i] : "";
      int len = fields[i].length;
      v = v.substr(0, len);
      std::string pad(len - v.size(), ' ');
      bytes += fields[i].type == 'C' ? v + pad : pad + v;
    }
  }
  bytes += '\x1A';
  WriteFileBytes(path, bytes);
}

}  // namespace orvex::test
