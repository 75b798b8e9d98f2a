// The values and texts the fields show, checked against the plain library
// conversions they must equal: numbers rounded to their decimals as the
// table writes them, float texts as printf's "%g", date texts under several
// short date formats.
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "dataset_test_support.h"
#include "engine/engine_test_support.h"
#include "engine/record_pack.h"
#include "platform/data/date_time.h"
#include "platform/data/field_text.h"
#include "platform/os/codepage.h"
#include "platform/os/format_settings.h"
#include "platform/os/table_code_pages.h"

namespace orvex::test {
namespace {

using TextsTest = DatasetTest;

std::string Printf(const char* format, int precision, double value) {
  char text[512];
  std::snprintf(text, sizeof text, format, precision, value);
  return text;
}

// Same double, down to the sign of zero.
bool SameDouble(double a, double b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

TEST_F(TextsTest, NumbersWithDecimalsReadAsTheirRoundedText) {
  // Texts with more digits than the field's decimals, halves that the binary
  // value puts just below or above the middle, negative values that round
  // to zero, large values.
  const std::vector<std::string> texts = {
      "3.14159",  "0.125",    "2.675",          "1.005",      "-0.001",      "-0.0049",
      "0",        "-0",       "99999.995",      "0.3",        "12345678.125", "-7.5",
      "1e-7",     "2.5",      "1234567890123.4", "0.00049999", "-123.456789", "7.0000001"};
  const int decimals[] = {1, 2, 3, 4, 9};
  std::vector<RawField> fields;
  for (int d : decimals) fields.push_back({"N" + std::to_string(d), 'N', 20, static_cast<std::uint8_t>(d)});
  std::vector<std::string> records;
  for (const std::string& t : texts) {
    std::string record;
    for (std::size_t i = 0; i < fields.size(); ++i) record += std::string(20 - t.size(), ' ') + t;
    records.push_back(record);
  }
  const std::string table = Path("numbers.dbf");
  WriteFileBytes(table, Dbase3File(0x03, fields, records));

  TestDbf ds(table);
  ds.Open();
  for (const std::string& t : texts) {
    ASSERT_TRUE(ds.SelectArea("test"));
    for (int i = 0; i < 5; ++i) {
      // The engine's value, written with the field's decimals and read back.
      const double engine = RealToDouble(FieldAddress(i + 1));
      const double expected = std::strtod(Printf("%.*f", decimals[i], engine).c_str(), nullptr);
      const double shown = ds.Fields(i)->AsFloat();
      EXPECT_TRUE(SameDouble(shown, expected)) << t << " with " << decimals[i] << " decimals: " << shown;
    }
    ds.Next();
  }
  EXPECT_TRUE(ds.Eof());
}

TEST_F(TextsTest, FloatTextsAreWhatPrintfWritesAtEveryPrecision) {
  const std::string table = Path("floats.dbf");
  WriteFileBytes(table, Dbase3File(0x03, {{"VALUE", 'N', 20, 6}}, {std::string(19, ' ') + "0"}));
  TestDbf ds(table);
  ds.Open();
  auto* field = static_cast<data::TFloatField*>(ds.Fields(0));
  ds.Edit();
  std::string kept;
  for (double value : {0.0, -0.0, 0.1, 0.3, 1.0 / 3, 2.5, -2.25, 9.9, 99.95, 123.456, 1e-5, 0.0001234,
                       0.00001234, 123456789012345.0, 999999999999999.0, 1e15, 1e16, 1234567.0, 1200.0,
                       -1e-300, 5e-324, 1.7976931348623157e308, 0.1 + 0.2, 100.0, 0.5, 1e-4, 9.5e-5}) {
    field->SetAsFloat(value);
    for (int precision : {2, 3, 6, 10, 15, 17}) {
      field->SetPrecision(precision);
      const std::string expected = Printf("%.*g", precision, value);
      EXPECT_EQ(field->DisplayText(), expected) << value << " at " << precision;
      field->GetDisplayText(kept);
      EXPECT_EQ(kept, expected);
    }
  }
  ds.Cancel();
}

TEST_F(TextsTest, DateTextsUnderEveryKindOfShortDateFormat) {
  struct Case {
    std::string format;
    char separator;
    int year, month, day;
    std::string text;
  };
  const std::string long_literal(70, '*');
  for (const Case& c : std::vector<Case>{
           {"dd.MM.yy", '.', 2024, 2, 29, "29.02.24"},
           {"MM/dd/yyyy", '/', 2024, 2, 29, "02/29/2024"},
           {"MM/dd/yyyy", '-', 1999, 12, 31, "12-31-1999"},
           {"yyyy-MM-dd", '/', 2026, 3, 9, "2026-03-09"},
           {"yyyy-MM-dd", '/', 999, 1, 5, "0999-01-05"},
           {"yy/MM/dd", '.', 2005, 7, 4, "05.07.04"},
           {"d.M.yyyy", '.', 2024, 3, 1, "1.3.2024"},
           {"dd.MM.yyyy dd", '.', 2024, 3, 1, "01.03.2024 01"},
           {"dd" + long_literal + "MM" + long_literal + "yy", '.', 2024, 3, 1,
            "01" + long_literal + "03" + long_literal + "24"},
       }) {
    os::Formats().short_date_format = c.format;
    os::Formats().date_separator = c.separator;
    data::TDateTime value = 0;
    ASSERT_TRUE(data::TryEncodeDate(c.year, c.month, c.day, &value));
    std::string kept = "an old text longer than the date";
    data::DateToStr(value, kept);
    EXPECT_EQ(kept, c.text) << c.format;
    EXPECT_EQ(data::DateToStr(value), c.text) << c.format;
  }
  os::ResetFormats();
}

// A table whose language driver names code page `driver_code_page` (0: names
// none), with field NAME C(12) holding `stored` (bytes as stored) in its
// one record and a memo field.
std::string CodePageTable(const std::string& path, unsigned char driver,
                          const std::string& stored) {
  EXPECT_TRUE(CreateDbf(path, {{"NAME", 'C', 12, 0}}));
  std::string bytes = ReadFileBytes(path);
  bytes[29] = static_cast<char>(driver);
  WriteFileBytes(path, bytes);
  const bool ansi = AnsiTables;
  AnsiTables = true;  // the bytes as given
  Select(1);
  USE(path + " EXCLUSIVE");
  ClearRecord();
  SetText(1, stored);
  ::orvex::Append();
  USE("");
  AnsiTables = ansi;
  return path;
}

// The stored NAME of the first record, without its padding.
std::string StoredName(const std::string& path) {
  std::string name = ReadRecords(path)[0].bytes;
  return name.erase(name.find_last_not_of(' ') + 1);
}

TEST_F(TextsTest, TextsShowAndStoreInTheCodePageTheDriverByteNames) {
  struct Case {
    unsigned char driver;
    int code_page;
  };
  for (const Case c : {Case{0x65, 866}, Case{0xC9, 1251}, Case{0x26, 866}}) {
    SCOPED_TRACE(c.code_page);
    std::string stored;
    ASSERT_TRUE(os::Utf8ToCodePageText(c.code_page, "Привет", &stored));
    const std::string path =
        CodePageTable(Path("cp" + std::to_string(c.driver) + ".dbf"), c.driver, stored);
    TestDbf ds(path);
    ds.Open();
    EXPECT_EQ(ds.TextCodePage(), c.code_page);
    data::TField* name = ds.FieldByName("NAME");
    EXPECT_EQ(name->AsString(), stored);
    EXPECT_EQ(data::FieldTextUtf8(*name, true), "Привет");
    // Typed text is stored in the table's code page.
    ds.Edit();
    data::SetFieldTextUtf8(*name, "Ёлка и мир");
    ds.Post();
    std::string expected;
    ASSERT_TRUE(os::Utf8ToCodePageText(c.code_page, "Ёлка и мир", &expected));
    EXPECT_EQ(StoredName(path), expected);
    EXPECT_EQ(data::FieldTextUtf8(*name, false), "Ёлка и мир");
    // A character the code page lacks is refused, naming it; nothing changes.
    ds.Edit();
    try {
      data::SetFieldTextUtf8(*name, "Zoë");
      ADD_FAILURE() << "not refused";
    } catch (const data::EDatabaseError& e) {
      EXPECT_EQ(std::string(e.what()), "Field 'NAME': character U+00EB is not in code page " +
                                           std::to_string(c.code_page));
    }
    EXPECT_EQ(name->AsString(), expected);
    ds.Post();
    EXPECT_EQ(StoredName(path), expected);
  }
}

TEST_F(TextsTest, TablesNamingNoCodePageKeepTheOemAnsiPair) {
  // No driver byte: code page 850 in the file, Windows-1252 in the fields.
  const std::string path = CodePageTable(Path("pair.dbf"), 0, os::Utf8ToCp850("Müller"));
  TestDbf ds(path);
  ds.Open();
  EXPECT_EQ(ds.TextCodePage(), 1252);
  data::TField* name = ds.FieldByName("NAME");
  EXPECT_EQ(name->AsString(), os::Utf8ToAnsi("Müller"));
  EXPECT_EQ(data::FieldTextUtf8(*name, true), "Müller");
  ds.Edit();
  data::SetFieldTextUtf8(*name, "Jürgen");
  EXPECT_THROW(data::SetFieldTextUtf8(*name, "Жук"), data::EDatabaseError);
  ds.Post();
  EXPECT_EQ(StoredName(path), os::Utf8ToCp850("Jürgen"));
}

}  // namespace
}  // namespace orvex::test
