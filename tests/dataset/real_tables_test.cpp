// Every table of the shared test data that the engine opens, walked through
// the dataset: date, number, logical, memo block number and text values read
// through the fields equal what python3-dbfread reads.
#include <cmath>
#include <filesystem>
#include <sstream>

#include "dataset/ox_file_data_set.h"
#include "dataset_test_support.h"
#include "platform/data/field_kinds.h"
#include "platform/data/field_text.h"
#include "platform/os/codepage.h"

namespace orvex::test {
namespace {

// One line per field "F<tab>name<tab>type<tab>length", then one line per
// record that is not deleted, the values separated by tabs: "s:" text
// (escaped), "n:" number (currency too), "b:T"/"b:F", "t:" date-time as
// YYYYMMDDHHMMSS, "-" for none. Dates YYYYMMDD, memo fields their block
// number.
const char* kReader = R"PY(
import sys, datetime, decimal
from dbfread import DBF, FieldParser
class Parser(FieldParser):
    def parseM(self, field, data):
        return self._parse_memo_index(data)
    parseG = parseP = parseM
    def parseB(self, field, data):  # Visual FoxPro: a double
        if self.dbversion in (0x30, 0x31, 0x32): return FieldParser.parseB(self, field, data)
        return self._parse_memo_index(data)
def cell(v):
    if v is None: return '-'
    if isinstance(v, bool): return 'b:T' if v else 'b:F'
    if isinstance(v, (int, float)): return 'n:' + repr(v)
    if isinstance(v, decimal.Decimal): return 'n:' + str(v)
    if isinstance(v, datetime.datetime):
        return 't:' + (v + datetime.timedelta(microseconds=500000)).strftime('%Y%m%d%H%M%S')
    if hasattr(v, 'strftime'): return 's:' + v.strftime('%Y%m%d')
    if isinstance(v, bytes): v = v.decode('latin-1')
    return 's:' + v.replace('\\', '\\\\').replace('\t', '\\t').replace('\n', '\\n').replace('\r', '\\r')
try:
    encoding = sys.argv[2] if len(sys.argv) > 2 else 'cp850'
    t = DBF(sys.argv[1], encoding=encoding, parserclass=Parser, ignore_missing_memofile=True,
            char_decode_errors='replace')
    lines = ['F\t%s\t%s\t%d' % (f.name, f.type, f.length) for f in t.fields]
    lines += ['\t'.join(['R'] + [cell(v) for v in r.values()]) for r in t]
except Exception as e:
    lines = ['E\t' + repr(e)]
sys.stdout.buffer.write(('\n'.join(lines) + '\n').encode('utf-8'))
)PY";

struct Theirs {
  bool error = false;
  std::vector<std::string> names, types;
  std::vector<int> lengths;
  std::vector<std::vector<std::string>> records;
};

std::string Unescape(const std::string& s) {
  std::string out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    char c = s[i];
    if (c == '\\' && i + 1 < s.size()) {
      char e = s[++i];
      c = e == 't' ? '\t' : e == 'n' ? '\n' : e == 'r' ? '\r' : e;
    }
    out += c;
  }
  return out;
}

Theirs Parse(const std::string& out) {
  Theirs t;
  std::istringstream lines(out);
  for (std::string line; std::getline(lines, line);) {
    std::vector<std::string> cells;
    std::istringstream parts(line);
    for (std::string part; std::getline(parts, part, '\t');) cells.push_back(part);
    if (cells.empty()) continue;
    if (cells[0] == "E") t.error = true;
    if (cells[0] == "F" && cells.size() == 4) {
      t.names.push_back(cells[1]);
      t.types.push_back(cells[2]);
      t.lengths.push_back(std::stoi(cells[3]));
    }
    if (cells[0] == "R") t.records.emplace_back(cells.begin() + 1, cells.end());
  }
  return t;
}

// Where dbfread reads an ASCII character ours must be the same; other
// characters may map to look-alikes on the way through Windows-1252.
bool SameText(const std::string& ours_ansi, const std::string& theirs_utf8) {
  std::string ours = os::AnsiToUtf8(ours_ansi);
  std::size_t i = 0, j = 0;
  auto next = [](const std::string& s, std::size_t& k) {
    unsigned char c = static_cast<unsigned char>(s[k]);
    std::size_t n = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    unsigned code = c < 0x80 ? c : 0x100;
    k += n;
    return code;
  };
  while (i < ours.size() && j < theirs_utf8.size()) {
    unsigned a = next(ours, i), b = next(theirs_utf8, j);
    if (b < 0x80 && a != b) return false;
  }
  return i >= ours.size() && j >= theirs_utf8.size();
}

class RealTablesTest : public DatasetTest {
 protected:
  void SetUp() override {
    DatasetTest::SetUp();
    CenturyOn = true;  // dates keep their century through the unpacked text
    SetDateType(5);
    ResetDatasetUnit();
    WriteFileBytes(Path("reader.py"), kReader);
  }
  // A copy of the table and its memo files, so that nothing can touch the
  // shared files.
  std::string Copy(const std::filesystem::path& table, int n) {
    const std::filesystem::path to = Path("t" + std::to_string(n));
    std::filesystem::create_directory(to);
    for (const auto& entry : std::filesystem::directory_iterator(table.parent_path())) {
      if (entry.path().stem() == table.stem()) {
        std::filesystem::copy_file(entry.path(), to / entry.path().filename());
      }
    }
    return (to / table.filename()).string();
  }
};

TEST_F(RealTablesTest, FieldValuesEqualWhatDbfreadReads) {
  ORVEX_REQUIRE_TESTDATA();
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(TestdataDir())) {
    std::string ext = entry.path().extension().string();
    if (entry.is_regular_file() && (ext == ".dbf" || ext == ".DBF")) files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  ASSERT_GT(files.size(), 100u);
  int walked = 0, records = 0, values = 0, own_code_pages = 0, nulls = 0, raw_values = 0;
  for (std::size_t n = 0; n < files.size(); ++n) {
    SCOPED_TRACE(files[n].string());
    const std::string file = Copy(files[n], static_cast<int>(n));
    Theirs theirs = Parse(RunProcess({"/usr/bin/python3", Path("reader.py"), file}).out);
    if (theirs.error) continue;  // dbfread cannot read it
    // dbfread keeps one value per field name: tables with a name twice do
    // not fit its records.
    if (!theirs.records.empty() && theirs.records[0].size() != theirs.names.size()) continue;
    TestDbf ds(file);
    ds.SetHideDeletedRecs(true);
    try {
      ds.Open();
    } catch (const EOrvexError&) {
      ResetErrorState();  // a table the engine refuses (checked by the engine's tests)
      SetRaiseOnError(true);
      continue;
    }
    ++walked;
    // A table whose driver byte names its code page shows its text in it:
    // then every character must be dbfread's, read in that code page.
    const bool own_code_page = ds.TextCodePage() != 1252;
    if (own_code_page) {
      theirs = Parse(RunProcess({"/usr/bin/python3", Path("reader.py"), file,
                                 "cp" + std::to_string(ds.TextCodePage())})
                         .out);
      ASSERT_FALSE(theirs.error);
      ++own_code_pages;
    }
    std::vector<std::vector<std::string>> ours;
    // The dataset's fields in table order, matched to dbfread's by name.
    std::vector<int> column(static_cast<std::size_t>(ds.FieldCount()), -1);
    for (int f = 0; f < ds.FieldCount(); ++f) {
      for (std::size_t c = 0; c < theirs.names.size(); ++c) {
        if (data::SameFieldName(theirs.names[c], ds.Fields(f)->FieldName()))
          column[static_cast<std::size_t>(f)] = static_cast<int>(c);
      }
    }
    // dbfread reads C fields with decimals as Clipper's long fields (length
    // + 256 * decimals); the table format has C fields of at most 255.
    bool long_text = false;
    for (int f = 0; f < ds.FieldCount(); ++f) {
      const int c = column[static_cast<std::size_t>(f)];
      if (c >= 0 && theirs.types[static_cast<std::size_t>(c)] == "C" &&
          theirs.lengths[static_cast<std::size_t>(c)] !=
              ds.FieldProps()->Len(ds.Fields(f)->FieldNo())) {
        long_text = true;
      }
    }
    if (long_text) continue;
    // dbfread reads level 7's I, +, O and @ as if they were Visual
    // FoxPro's (little-endian, no flipped sign bit, a Julian day): their
    // values are checked by hand in the engine's tests instead.
    const std::string bytes = ReadFileBytes(file);
    const unsigned version = static_cast<unsigned char>(bytes[0]);
    // dbfread leaves out records whose deletion flag is neither blank nor
    // "*" (it reads them as neither live nor deleted); the dataset shows
    // them.
    bool odd_flags = false;
    auto get16 = [&bytes](std::size_t at) {
      return static_cast<std::size_t>(static_cast<unsigned char>(bytes[at]) |
                                      static_cast<unsigned char>(bytes[at + 1]) << 8);
    };
    const std::size_t header = get16(8), length = get16(10);
    for (std::size_t at = header; version != 2 && length > 0 && at + length <= bytes.size(); at += length)
      odd_flags = odd_flags || (bytes[at] != ' ' && bytes[at] != '*' && bytes[at] != 0x1A);
    if (odd_flags) {
      ds.Close();
      continue;
    }
    const bool level7 = version == 0x04 || version == 0x8C;
    // dbfread does not read _NullFlags: where it marks a field null,
    // dbfread shows whatever bytes lie beneath (blanks, zeros).
    const bool null_flags = ds.FieldProps()->Shape().null_flags_field >= 0;
    std::size_t r = 0;
    for (ds.First(); !ds.Eof(); ds.Next(), ++r) {
      ASSERT_LT(r, theirs.records.size());
      const std::vector<std::string>& row = theirs.records[r];
      for (int f = 0; f < ds.FieldCount(); ++f) {
        const int c = column[static_cast<std::size_t>(f)];
        if (c < 0) continue;
        data::TField* field = ds.Fields(f);
        const std::string& cell = row[static_cast<std::size_t>(c)];
        const std::string& type = theirs.types[static_cast<std::size_t>(c)];
        const std::string where =
            "record " + std::to_string(r + 1) + " field " + field->FieldName() + " " + cell;
        if (null_flags && field->IsNull() && type != "M" && type != "G" && type != "P") {
          ++nulls;
          continue;
        }
        if (type == "C" && field->DataType() != data::TFieldType::ftString) {
          ADD_FAILURE() << where << ": C field of kind " << static_cast<int>(field->DataType());
        } else if (type == "C" || type == "V") {
          // A string field's text ends at its first NUL byte (binary data
          // some programs keep in C fields).
          std::string text = cell == "-" ? "" : Unescape(cell.substr(2));
          text = text.substr(0, text.find('\0'));
          // dbfread reads V as C: a V field not full keeps the byte that
          // holds its used length, which ends the value.
          if (type == "V" && text.size() > field->AsString().size()) {
            std::string rest = text.substr(field->AsString().size());
            if (static_cast<unsigned char>(rest.back()) < ' ') rest.pop_back();
            if (rest.find_first_not_of(' ') == std::string::npos) text.resize(field->AsString().size());
          }
          if (own_code_page) {
            while (!text.empty() && text.back() == ' ') text.pop_back();
            EXPECT_EQ(data::FieldTextUtf8(*field, false), text) << where;
          } else {
            EXPECT_TRUE(SameText(field->AsString(), text))
                << where << " ours " << field->AsString();
          }
        } else if (type == "D") {
          const std::string expected = cell == "-" ? "" : cell.substr(2);
          std::string got;
          if (!field->IsNull()) {
            data::TDate d = data::DecodeDate(field->AsDateTime());
            char text[16];
            std::snprintf(text, sizeof text, "%04d%02d%02d", d.year, d.month, d.day);
            got = text;
          }
          EXPECT_EQ(got, expected) << where;
        } else if (type == "L") {
          EXPECT_EQ(field->AsBoolean(), cell == "b:T") << where;
        } else if ((type == "M" || type == "G" || type == "P") &&
                   (theirs.lengths[static_cast<std::size_t>(c)] == 10 ||
                    theirs.lengths[static_cast<std::size_t>(c)] == 4)) {
          // Memo fields: their block number (Visual FoxPro's binary ones
          // too), a null one none.
          const long expected = cell == "-" ? 0 : std::stol(cell.substr(2));
          EXPECT_EQ(static_cast<data::TBlobField*>(field)->BlobReference(), null_flags && field->IsNull() ? 0 : expected)
              << where;
        } else if (level7 && (type == "I" || type == "+" || type == "O" || type == "@")) {
          continue;
        } else if (type == "I" || type == "+") {
          ASSERT_EQ(field->DataType(), data::TFieldType::ftInteger) << where;
          EXPECT_EQ(field->AsInteger(), std::stol(cell.substr(2))) << where;
        } else if (type == "B" || type == "O" || type == "Y") {
          ASSERT_EQ(field->DataType(),
                    type == "Y" ? data::TFieldType::ftCurrency : data::TFieldType::ftFloat)
              << where;
          EXPECT_EQ(field->AsFloat(), std::strtod(cell.c_str() + 2, nullptr)) << where;
        } else if (type == "T" || type == "@") {
          ASSERT_EQ(field->DataType(), data::TFieldType::ftDateTime) << where;
          std::string got;
          if (!field->IsNull()) {
            // To the nearest second, as dbfread's value is rounded above.
            const double value = field->AsDateTime();
            const long seconds = std::lround((value - std::floor(value)) * 86400);
            data::TDate d = data::DecodeDate(std::floor(value) + (seconds == 86400 ? 1 : 0));
            char text[32];
            std::snprintf(text, sizeof text, "t:%04d%02d%02d%02ld%02ld%02ld", d.year, d.month, d.day,
                          seconds % 86400 / 3600, seconds / 60 % 60, seconds % 60);
            got = text;
          }
          EXPECT_EQ(got, cell == "-" ? "" : cell) << where;
        } else if ((type == "N" || type == "F") && cell.rfind("n:", 0) == 0) {
          double expected = std::strtod(cell.c_str() + 2, nullptr);
          if (field->DataType() == data::TFieldType::ftInteger) {
            EXPECT_EQ(field->AsInteger(), static_cast<long>(expected)) << where;
          } else if (field->DataType() == data::TFieldType::ftLargeint) {
            // Every digit: the same double as dbfread's reading of them.
            EXPECT_EQ(field->AsFloat(), expected) << where;
          } else {
            const int decimals = ds.FieldProps()->Dec(field->FieldNo());
            EXPECT_NEAR(field->AsFloat(), expected,
                        0.5 * std::pow(10.0, -decimals) + 1e-9 * std::fabs(expected))
                << where;
          }
        } else {
          continue;
        }
        if (ds.FieldProps()->Item(field->FieldNo()).Raw) ++raw_values;
        ++values;
      }
      ++records;
    }
    EXPECT_EQ(r, theirs.records.size());
    ds.Close();
  }
  EXPECT_GT(walked, 50);
  EXPECT_GT(records, 1000);
  EXPECT_GT(values, 10000);
  EXPECT_GT(own_code_pages, 0);
  EXPECT_GT(raw_values, 100);  // Visual FoxPro's types are compared
  EXPECT_GT(nulls, 0);
  std::printf("walked %d tables (%d in their own code page), %d records, %d values (%d of FoxPro's "
              "types, %d nulls)\n",
              walked, own_code_pages, records, values, raw_values, nulls);
}

// A Visual FoxPro table through the table component TOxDbf: integers,
// currency and date-times are fields of their own kinds with their exact
// values, and the fields _NullFlags marks null have no value (an empty
// text, never 0).
TEST_F(RealTablesTest, VisualFoxProTypesAndNullsThroughTheDataset) {
  ORVEX_REQUIRE_TESTDATA();
  const std::filesystem::path table =
      TestdataDir() + "/javadbf/fixtures/foxpro-xsource/payments.dbf";
  TOxDbf ds("OxDbf1");
  ds.SetDbfFileName(Copy(table, 0));
  ds.Open();
  ASSERT_TRUE(ds.Active());
  EXPECT_EQ(ds.FindField("_NULLFLAGS"), nullptr);  // the system field is no field
  data::TField* id = ds.FieldByName("PAYMENTID");
  data::TField* amount = ds.FieldByName("PAYMENTAMO");
  data::TField* paid = ds.FieldByName("PAYMENTDAT");
  data::TField* card = ds.FieldByName("CREDITCARD");
  data::TField* expires = ds.FieldByName("CREDITCAR2");
  EXPECT_EQ(id->DataType(), data::TFieldType::ftInteger);
  EXPECT_EQ(amount->DataType(), data::TFieldType::ftCurrency);
  EXPECT_EQ(paid->DataType(), data::TFieldType::ftDateTime);
  ds.First();
  EXPECT_EQ(id->AsInteger(), 1);
  EXPECT_EQ(amount->AsFloat(), 1000);
  EXPECT_EQ(amount->DisplayText(), "1000.0000");
  data::TDate day = data::DecodeDate(paid->AsDateTime());
  EXPECT_EQ(day.year * 10000 + day.month * 100 + day.day, 19950103);
  EXPECT_EQ(paid->DisplayText(), "03.01.1995 00:00:00");  // German dates (type 5)
  EXPECT_TRUE(card->IsNull());
  EXPECT_EQ(card->DisplayText(), "");
  EXPECT_TRUE(expires->IsNull());  // day 0: no date-time
  EXPECT_EQ(expires->DisplayText(), "");
  ds.Next();
  EXPECT_EQ(id->AsInteger(), 2);
  EXPECT_EQ(amount->AsFloat(), 497);
  // Values the fields cannot hold exactly are refused; the file stays.
  const std::string before = ReadFileBytes(ds.DbfFileName());
  ds.Edit();
  EXPECT_THROW(amount->SetAsFloat(1.23456), data::EDatabaseError);
  EXPECT_EQ(amount->AsFloat(), 497);
  ds.Cancel();
  EXPECT_EQ(ReadFileBytes(ds.DbfFileName()), before);

  // Integer, currency, date-time and text in record 2 in their own layout;
  // a cleared field becomes null (its null bit set, its bytes kept), a
  // value given to a null field clears its bit. Nothing else changes.
  ds.Edit();
  id->SetAsInteger(-7);
  amount->SetAsFloat(12.3456);
  data::TDateTime when = 0;
  ASSERT_TRUE(data::TryEncodeDate(2001, 2, 3, &when));
  paid->SetAsDateTime(when + (4 * 3600 + 5 * 60 + 6.007) / 86400);
  card->SetAsString("Visa");
  ds.FieldByName("PROJECTID")->Clear();
  EXPECT_TRUE(ds.FieldByName("PROJECTID")->IsNull());
  ds.Post();
  ds.Close();
  const std::string after = ReadFileBytes(ds.DbfFileName());
  ASSERT_EQ(after.size(), before.size());
  const std::size_t header =
      static_cast<unsigned char>(before[8]) | static_cast<std::size_t>(static_cast<unsigned char>(before[9])) << 8;
  const std::size_t record2 = header + 149;  // records of 149 bytes, the deletion flag included
  for (std::size_t i = 4; i < after.size(); ++i) {
    if (i < record2 || i >= record2 + 149) {
      ASSERT_EQ(after[i], before[i]) << i;
    }
  }
  EXPECT_EQ(after.substr(record2 + 5, 4), before.substr(record2 + 5, 4));  // PROJECTID's bytes
  // _NullFlags: CARDHOLDER, CREDITCAR2 and CREDITCAR3 null as before, and PROJECTID.
  EXPECT_EQ(after.substr(record2 + 147, 2), std::string("\xE2\0", 2));
  ProcessResult r = RunProcess(
      {"/usr/bin/python3", "-c",
       "import sys\nfrom dbfread import DBF\nr = list(DBF(sys.argv[1]))[1]\n"
       "print(r['PAYMENTID'], r['PAYMENTAMO'], r['PAYMENTDAT'].isoformat(), r['CREDITCARD'], r['_NullFlags'].hex())",
       ds.DbfFileName()});
  ASSERT_EQ(r.exit_status, 0) << r.err;
  EXPECT_EQ(r.out, "-7 12.3456 2001-02-03T04:05:06.007000 Visa e200\n");
  ds.Open();
  ds.First();
  ds.Next();
  EXPECT_EQ(ds.FieldByName("PAYMENTID")->AsInteger(), -7);
  EXPECT_TRUE(ds.FieldByName("PROJECTID")->IsNull());
  EXPECT_EQ(ds.FieldByName("PROJECTID")->DisplayText(), "");
  EXPECT_EQ(ds.FieldByName("PAYMENTAMO")->DisplayText(), "12.3456");
  EXPECT_EQ(ds.FieldByName("PAYMENTDAT")->DisplayText(), "03.02.2001 04:05:06");
  EXPECT_EQ(ds.FieldByName("CREDITCARD")->AsString(), "Visa");
  ds.Close();
}

}  // namespace
}  // namespace orvex::test
