// Shared set-up of the engine tests: a clean engine, errors kept instead of
// reported, fixed date settings, and helpers to build table files byte by
// byte.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "common/errors.h"
#include "dates/date_settings.h"
#include "engine/entry_points.h"
#include "engine/work_area.h"
#include "platform/os/system.h"
#include "support/test_support.h"

namespace orvex::test {

class EngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetErrorState();
    ResetEngineState();
    ResetEntryPoints();
    SetAutoReport(false);
    CenturyOn = false;
    SetDateType(5);
    test::SetClockToDate(2026, 3, 9);
  }
  void TearDown() override {
    ResetEngineState();
    os::SetClockHook(nullptr);
  }
  std::string Path(const std::string& name) const { return dir_.File(name); }
  TempDir dir_;
};

// Little-endian helpers for building headers.
inline void Put16(std::string& s, std::size_t at, unsigned v) {
  s[at] = static_cast<char>(v & 0xFF);
  s[at + 1] = static_cast<char>((v >> 8) & 0xFF);
}
inline void Put32(std::string& s, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) s[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}
inline unsigned Get16(const std::string& s, std::size_t at) {
  return static_cast<unsigned char>(s[at]) | (static_cast<unsigned char>(s[at + 1]) << 8);
}
inline std::uint32_t Get32(const std::string& s, std::size_t at) {
  std::uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(s[at + i]);
  return v;
}

struct RawField {
  std::string name;
  char type;
  int length;
  int decimals = 0;
};

// A dBASE III header (version, count, fields, 0x0D) followed by the given
// record bytes (each record without its deletion flag gets a blank).
inline std::string Dbase3File(std::uint8_t version, const std::vector<RawField>& fields,
                              const std::vector<std::string>& records) {
  int header_length = 32 * static_cast<int>(fields.size()) + 33;
  int record_length = 1;
  for (const RawField& f : fields) record_length += f.length;
  std::string s(static_cast<std::size_t>(header_length), '\0');
  s[0] = static_cast<char>(version);
  s[1] = 126, s[2] = 1, s[3] = 2;
  Put32(s, 4, static_cast<std::uint32_t>(records.size()));
  Put16(s, 8, static_cast<unsigned>(header_length));
  Put16(s, 10, static_cast<unsigned>(record_length));
  for (std::size_t i = 0; i < fields.size(); ++i) {
    std::size_t d = 32 + 32 * i;
    s.replace(d, fields[i].name.size(), fields[i].name);
    s[d + 11] = fields[i].type;
    s[d + 16] = static_cast<char>(fields[i].length);
    s[d + 17] = static_cast<char>(fields[i].decimals);
  }
  s[static_cast<std::size_t>(header_length) - 1] = 0x0D;
  for (const std::string& r : records) {
    std::string rec = " " + r;
    rec.resize(static_cast<std::size_t>(record_length), ' ');
    s += rec;
  }
  s += '\x1A';
  return s;
}

// The C part of the unpacked buffer at field n as text (length byte first).
inline std::string CharField(int n) {
  const std::uint8_t* p = FieldAddress(n);
  return std::string(reinterpret_cast<const char*>(p + 1), p[0]);
}
inline void SetCharField(int n, const std::string& text) {
  std::uint8_t* p = FieldAddress(n);
  p[0] = static_cast<std::uint8_t>(text.size());
  std::copy(text.begin(), text.end(), p + 1);
}

}  // namespace orvex::test
