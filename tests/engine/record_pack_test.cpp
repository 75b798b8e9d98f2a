// Unpacking against its definitions: every stored date text arranged as the
// date library arranges it, OEM text converted as the code-page table
// converts the whole record, for many random and malformed field texts.
#include <random>
#include <string>
#include <vector>

#include "dates/date_text.h"
#include "engine/navigation.h"
#include "engine/tables.h"
#include "engine_test_support.h"
#include "platform/os/codepage.h"

namespace orvex::test {
namespace {

class RecordPackTest : public EngineTest {
 protected:
  // `count` random texts of `length` bytes drawn from `alphabet`.
  std::vector<std::string> RandomTexts(int count, int length, const std::string& alphabet) {
    std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
    std::vector<std::string> texts;
    for (int i = 0; i < count; ++i) {
      std::string text;
      for (int j = 0; j < length; ++j) text += alphabet[pick(random_)];
      texts.push_back(text);
    }
    return texts;
  }
  // Opens a table of the given fields and records exclusively.
  void Open(const std::vector<RawField>& fields, const std::vector<std::string>& records) {
    WriteFileBytes(Path("t.dbf"), Dbase3File(0x03, fields, records));
    USE(Path("t.dbf") + " EXCLUSIVE");
    ASSERT_EQ(DbfErrorNo, 0);
  }
  std::mt19937 random_{20261207};
};

TEST_F(RecordPackTest, DatesAreArrangedAsTheDateLibraryArrangesThem) {
  AnsiTables = true;
  std::vector<std::string> stored = RandomTexts(400, 8, std::string("0123456789 ./-aZ\x84\xFF", 18) + '\0');
  stored.insert(stored.end(), {"20240229", "        ", std::string(8, '\0'), std::string("2024\0" "229", 8),
                               "1999123", "ABCDEFGH"});
  Open({{"DAY", 'D', 8}}, stored);
  for (int type = 0; type <= 9; ++type) {
    for (bool century : {false, true}) {
      CenturyOn = century;
      SetDateType(type);
      DateType = static_cast<std::uint8_t>(type);  // 9: read as type 0
      GoTop();
      for (const std::string& text : stored) {
        std::string date = DateTextFromDText(text);
        std::string expected = std::string(1, static_cast<char>(date.size())) + date;
        expected.resize(11, '\0');
        std::string unpacked(reinterpret_cast<const char*>(FieldAddress(1)), 11);
        ASSERT_EQ(unpacked, expected) << "type " << type << " century " << century << " text " << text;
        SKIP(1);
      }
      EXPECT_TRUE(dEOF());
    }
  }
}

TEST_F(RecordPackTest, OemTextIsConvertedOverTheWholeRecordOfEveryLength) {
  std::string alphabet;
  for (int c = 0x20; c <= 0xFF; ++c) alphabet += static_cast<char>(c);
  for (int length = 1; length <= 40; ++length) {
    std::vector<std::string> stored = RandomTexts(20, length, alphabet);
    stored.push_back(std::string(static_cast<std::size_t>(length), 'a'));
    stored.push_back(std::string(static_cast<std::size_t>(length - 1), 'a') + '\x84');
    Open({{"TEXT", 'C', length}}, stored);
    for (std::string expected : stored) {
      os::OemToCharBuff(expected.data(), expected.size());
      ASSERT_EQ(CharField(1), expected) << "length " << length;
      SKIP(1);
    }
    USE("");
  }
}

}  // namespace
}  // namespace orvex::test
