// Replace writes only what the caller changed: every field the caller left as
// it was keeps its stored bytes, even where the unpacked forms cannot carry
// the stored value.
#include <cstring>

#include "engine/navigation.h"
#include "engine/record_io.h"
#include "engine/record_pack.h"
#include "engine/tables.h"
#include "engine_test_support.h"

namespace orvex::test {
namespace {

class ReplaceKeepsTest : public EngineTest {};

// Fields and a record whose stored values the unpacked buffer cannot hold:
// OEM box-drawing characters, a year of the last century, an integer beyond
// 32 bits, a decimal beyond the 6-byte real, blank logical, number and memo.
const std::vector<RawField> kFields = {{"NAME", 'C', 10},     {"BORN", 'D', 8},  {"BIG", 'N', 19},
                                       {"EXACT", 'N', 19, 15}, {"OK", 'L', 1},    {"QTY", 'N', 5},
                                       {"NOTE", 'M', 10}};
const std::string kStored = std::string("\xC4\xDF\xB0" "abc    ") + "19450508" + "1111111111111111040" +
                            "111.111111111111100" + " " + "     " + "          ";

// A new value for field n and the bytes Replace must store for it.
struct Change {
  int field;
  void (*set)(std::uint8_t* part);
  std::string stored;
};

void SetInt(std::uint8_t* p, std::int32_t v) { std::memcpy(p, &v, 4); }

const Change kChanges[] = {
    {1, [](std::uint8_t* p) { p[0] = 3, std::memcpy(p + 1, "new", 3); }, "new       "},
    {2, [](std::uint8_t* p) { p[0] = 8, std::memcpy(p + 1, "01.02.20", 8); }, "20200201"},
    {3, [](std::uint8_t* p) { SetInt(p, 5); }, "                  5"},
    {4, [](std::uint8_t* p) { DoubleToReal(2.5, p); }, "  2.500000000000000"},
    {5, [](std::uint8_t* p) { p[0] = 1; }, "T"},
    {6, [](std::uint8_t* p) { SetInt(p, 7); }, "    7"},
    {7, [](std::uint8_t* p) { SetInt(p, 12); }, "        12"},
};

TEST_F(ReplaceKeepsTest, EveryFieldTheCallerLeftKeepsItsStoredBytes) {
  for (const Change& change : kChanges) {
    SCOPED_TRACE(change.field);
    ResetEngineState();
    std::string file = Path("keep.dbf");
    WriteFileBytes(file, Dbase3File(0x03, kFields, {kStored}));
    USE(file + " EXCLUSIVE");
    ASSERT_EQ(DbfErrorNo, 0) << ErrorDetail;
    change.set(FieldAddress(change.field));
    Replace();
    ASSERT_EQ(DbfErrorNo, 0) << ErrorDetail;
    CloseAllAreas();
    std::string bytes = ReadFileBytes(file);
    std::string record = bytes.substr(Get16(bytes, 8) + 1, kStored.size());
    std::size_t at = 0;
    for (std::size_t i = 0; i < kFields.size(); ++i) {
      std::size_t length = static_cast<std::size_t>(kFields[i].length);
      std::string expected = static_cast<int>(i) + 1 == change.field ? change.stored : kStored.substr(at, length);
      EXPECT_EQ(record.substr(at, length), expected) << kFields[i].name;
      at += length;
    }
  }
}

}  // namespace
}  // namespace orvex::test
