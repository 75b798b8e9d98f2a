// oxdbf against an independent reader: tables that oxdbf writes are read by
// python3-dbfread with the same values, and every real table of the shared
// test data either dumps what dbfread reads or is refused with the error its
// header calls for. No input makes the tool crash.
#include <cmath>
#include <cstdlib>
#include <map>
#include <sstream>

#include "engine_test_support.h"

namespace orvex::test {
namespace {

// Prints a table as dbfread reads it: one JSON object with the field list,
// the records that are not deleted and the deleted ones. Memo fields give
// their block number text; dates YYYYMMDD.
const char* kReader = R"PY(
import sys, json, datetime
from dbfread import DBF, FieldParser
class Parser(FieldParser):
    def parseM(self, field, data):
        return data.decode('ascii', 'replace').strip(' \0')
    parseB = parseG = parseP = parseM
def value(v):
    if isinstance(v, datetime.date): return v.strftime('%Y%m%d')
    if isinstance(v, bytes): return v.decode('latin-1')
    return v
try:
    t = DBF(sys.argv[1], encoding=sys.argv[2], parserclass=Parser, ignore_missing_memofile=True,
            char_decode_errors='replace')
    out = {'fields': [[f.name, f.type] for f in t.fields],
           'records': [[value(v) for v in r.values()] for r in t],
           'deleted': [[value(v) for v in r.values()] for r in t.deleted]}
except Exception as e:
    out = {'error': repr(e)}
print(json.dumps(out))
)PY";

// A minimal JSON reader for the reader's output.
struct Json {
  enum Kind { kNull, kBool, kNumber, kString, kArray, kObject } kind = kNull;
  bool boolean = false;
  double number = 0;
  bool integral = false;
  std::string text;
  std::vector<Json> items;
  std::map<std::string, Json> members;
  const Json& operator[](const std::string& key) const { return members.at(key); }
  bool Has(const std::string& key) const { return members.count(key) != 0; }
};

class JsonParser {
 public:
  explicit JsonParser(const std::string& s) : s_(s) {}
  Json Parse() {
    Skip();
    Json j;
    char c = s_[i_];
    if (c == '{') {
      j.kind = Json::kObject;
      ++i_;
      Skip();
      while (s_[i_] != '}') {
        std::string key = ParseString();
        Skip();
        ++i_;  // ':'
        j.members[key] = Parse();
        Skip();
        if (s_[i_] == ',') ++i_, Skip();
      }
      ++i_;
    } else if (c == '[') {
      j.kind = Json::kArray;
      ++i_;
      Skip();
      while (s_[i_] != ']') {
        j.items.push_back(Parse());
        Skip();
        if (s_[i_] == ',') ++i_, Skip();
      }
      ++i_;
    } else if (c == '"') {
      j.kind = Json::kString;
      j.text = ParseString();
    } else if (s_.compare(i_, 4, "null") == 0) {
      i_ += 4;
    } else if (s_.compare(i_, 4, "true") == 0) {
      j.kind = Json::kBool, j.boolean = true, i_ += 4;
    } else if (s_.compare(i_, 5, "false") == 0) {
      j.kind = Json::kBool, i_ += 5;
    } else {
      j.kind = Json::kNumber;
      std::size_t start = i_;
      while (i_ < s_.size() && std::string("+-0123456789.eE").find(s_[i_]) != std::string::npos) ++i_;
      std::string number = s_.substr(start, i_ - start);
      j.number = std::strtod(number.c_str(), nullptr);
      j.integral = number.find_first_of(".eE") == std::string::npos;
      if (s_.compare(i_, 3, "NaN") == 0) i_ += 3;
    }
    return j;
  }

 private:
  void Skip() {
    while (i_ < s_.size() && std::isspace(static_cast<unsigned char>(s_[i_]))) ++i_;
  }
  std::string ParseString() {
    std::string out;
    ++i_;
    while (s_[i_] != '"') {
      char c = s_[i_++];
      if (c != '\\') {
        out += c;
        continue;
      }
      char e = s_[i_++];
      if (e == 'u') {
        unsigned code = static_cast<unsigned>(std::stoul(s_.substr(i_, 4), nullptr, 16));
        i_ += 4;
        if (code >= 0xD800 && code < 0xDC00) {  // surrogate pair
          unsigned low = static_cast<unsigned>(std::stoul(s_.substr(i_ + 2, 4), nullptr, 16));
          i_ += 6;
          code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
        }
        AppendUtf8(out, code);
      } else {
        out += e == 'n' ? '\n' : e == 't' ? '\t' : e == 'r' ? '\r' : e == 'b' ? '\b' : e == 'f' ? '\f' : e;
      }
    }
    ++i_;
    return out;
  }
  static void AppendUtf8(std::string& out, unsigned code) {
    if (code < 0x80) {
      out += static_cast<char>(code);
    } else if (code < 0x800) {
      out += static_cast<char>(0xC0 | (code >> 6));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
      out += static_cast<char>(0xE0 | (code >> 12));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (code >> 18));
      out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    }
  }
  const std::string& s_;
  std::size_t i_ = 0;
};

// Rows of RFC 4180 CSV.
std::vector<std::vector<std::string>> ParseCsv(const std::string& s) {
  std::vector<std::vector<std::string>> rows;
  std::vector<std::string> row;
  std::string cell;
  bool quoted = false, any = false;
  for (std::size_t i = 0; i < s.size(); ++i) {
    char c = s[i];
    if (quoted) {
      if (c == '"' && i + 1 < s.size() && s[i + 1] == '"') {
        cell += '"';
        ++i;
      } else if (c == '"') {
        quoted = false;
      } else {
        cell += c;
      }
    } else if (c == '"') {
      quoted = any = true;
    } else if (c == ',') {
      row.push_back(cell), cell.clear();
    } else if (c == '\r' && i + 1 < s.size() && s[i + 1] == '\n') {
      row.push_back(cell), cell.clear();
      rows.push_back(row), row.clear();
      ++i;
    } else {
      cell += c, any = true;
    }
  }
  if (!row.empty() || !cell.empty()) row.push_back(cell), rows.push_back(row);
  return rows;
}

// Code points of a UTF-8 text.
std::vector<unsigned> CodePoints(const std::string& s) {
  std::vector<unsigned> out;
  for (std::size_t i = 0; i < s.size();) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    int n = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    unsigned code = n == 1 ? c : c & (0x3F >> (n - 1));
    for (int k = 1; k < n && i + k < s.size(); ++k) code = (code << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
    out.push_back(code);
    i += static_cast<std::size_t>(n);
  }
  while (!out.empty() && out.back() <= ' ') out.pop_back();
  return out;
}

class OxdbfInteropTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    WriteFileBytes(Path("reader.py"), kReader);
  }
  ProcessResult Oxdbf(const std::vector<std::string>& args) {
    std::vector<std::string> argv{BuildProgram("tools/oxdbf")};
    argv.insert(argv.end(), args.begin(), args.end());
    return RunProcess(argv);
  }
  Json Read(const std::string& file, const std::string& encoding = "cp850") {
    ProcessResult r = RunProcess({"/usr/bin/python3", Path("reader.py"), file, encoding});
    EXPECT_EQ(r.exit_status, 0) << r.err;
    return JsonParser(r.out).Parse();
  }
  // Compares one dumped CSV cell with dbfread's value of a field of `type`.
  static void ExpectSameValue(const std::string& cell, const Json& value, const std::string& type,
                              const std::string& where) {
    if (type == "C") {
      std::vector<unsigned> ours = CodePoints(cell), theirs = CodePoints(value.text);
      ASSERT_EQ(ours.size(), theirs.size()) << where << ": " << cell << " / " << value.text;
      for (std::size_t i = 0; i < ours.size(); ++i) {
        // Characters outside ASCII may be mapped to look-alikes on the way
        // through Windows-1252; ASCII must be equal.
        if (theirs[i] < 0x80) {
          EXPECT_EQ(ours[i], theirs[i]) << where << ": " << cell << " / " << value.text;
        }
      }
    } else if (type == "N" || type == "F") {
      double expected = value.kind == Json::kNumber ? value.number : 0;
      bool integral_field = cell.find('.') == std::string::npos;
      if (integral_field && std::fabs(expected) > 2147483647.0) expected = 0;  // 32-bit integers
      double ours = std::strtod(cell.c_str(), nullptr);
      // Ours is rounded to the field's decimals, through a 39-bit mantissa.
      int decimals = integral_field ? 0 : static_cast<int>(cell.size() - cell.find('.') - 1);
      double tolerance = std::max(1e-9 * std::fabs(expected), decimals > 0 ? 0.5 * std::pow(10.0, -decimals) : 0.0);
      EXPECT_NEAR(ours, expected, tolerance + 1e-12)
          << where;
    } else if (type == "L") {
      EXPECT_EQ(cell, value.kind == Json::kBool && value.boolean ? "T" : "F") << where;
    } else if (type == "D") {
      EXPECT_EQ(cell, value.kind == Json::kString ? value.text : "") << where;
    } else {  // memo kinds: the block number
      char* end = nullptr;
      long block = std::strtol(value.text.c_str(), &end, 10);
      EXPECT_EQ(cell, std::to_string(*end == '\0' ? block : 0)) << where;
    }
  }
  static void ExpectSameRecords(const std::string& csv, const Json& table, const std::string& where) {
    auto rows = ParseCsv(csv);
    const Json& records = table["records"];
    ASSERT_EQ(rows.size(), records.items.size() + 1) << where;
    const Json& fields = table["fields"];
    for (std::size_t r = 0; r < records.items.size(); ++r) {
      ASSERT_EQ(rows[r + 1].size(), fields.items.size()) << where << " row " << r;
      for (std::size_t f = 0; f < fields.items.size(); ++f) {
        ExpectSameValue(rows[r + 1][f], records.items[r].items[f], fields.items[f].items[1].text,
                        where + " row " + std::to_string(r + 1) + " field " + fields.items[f].items[0].text);
      }
    }
  }
};

TEST_F(OxdbfInteropTest, TablesWrittenByOxdbfReadTheSameInDbfread) {
  std::string table = Path("films.dbf");
  ASSERT_EQ(Oxdbf({"create", table, "title, C, 24, 0", "year, N, 4, 0", "color, L, 1, 0", "stars, N, 5, 2",
                   "rating, F, 8, 3", "plot, M, 10, 0", "premiere, D, 8, 0", "skipped, X, 1, 0"})
                .exit_status,
            0);
  ASSERT_EQ(Oxdbf({"append", table, "title=Der müde Tod", "year=1921", "color=F", "stars=7.55", "rating=-1.125",
                   "premiere=19211006"})
                .exit_status,
            0);
  ASSERT_EQ(Oxdbf({"append", table, "title=Über, \"Ärger\" & Öl", "year=2024", "color=T", "plot=3"}).exit_status, 0);
  ASSERT_EQ(Oxdbf({"append", table, "title=gone", "year=-12"}).exit_status, 0);
  ASSERT_EQ(Oxdbf({"delete", table, "3"}).exit_status, 0);

  std::string bytes = ReadFileBytes(table);
  EXPECT_NE(bytes.find("\x9A" "ber"), std::string::npos);  // OEM Ü in the file
  Json theirs = Read(table);
  ASSERT_FALSE(theirs.Has("error")) << theirs["error"].text;
  ASSERT_EQ(theirs["fields"].items.size(), 7u);
  ASSERT_EQ(theirs["records"].items.size(), 2u);
  ASSERT_EQ(theirs["deleted"].items.size(), 1u);
  EXPECT_EQ(theirs["records"].items[1].items[0].text, "Über, \"Ärger\" & Öl");
  EXPECT_EQ(theirs["records"].items[0].items[6].text, "19211006");
  EXPECT_EQ(theirs["deleted"].items[0].items[1].number, -12);

  ProcessResult csv = Oxdbf({"dump", table, "--csv"});
  ASSERT_EQ(csv.exit_status, 0) << csv.err;
  ExpectSameRecords(csv.out, theirs, "films");
  ProcessResult dump = Oxdbf({"dump", table});
  EXPECT_NE(dump.out.find("3 * gone"), std::string::npos) << dump.out;
  EXPECT_EQ(Oxdbf({"dump", table, "--hide-deleted"}).out.find("gone"), std::string::npos);
  EXPECT_EQ(Oxdbf({"recall", table, "3"}).exit_status, 0);
  EXPECT_EQ(Read(table)["records"].items.size(), 3u);
}

TEST_F(OxdbfInteropTest, FailuresGoThroughTheLibrary) {
  ProcessResult r = Oxdbf({"dump", Path("none.dbf")});
  EXPECT_EQ(r.exit_status, 2);
  EXPECT_NE(r.err.find("Fehler Nr. 2 (Datei nicht gefunden)"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("Fehler beim Öffnen von"), std::string::npos) << r.err;
  r = Oxdbf({"create", Path("bad.dbf"), "name, Q, 3, 0"});
  EXPECT_EQ(r.exit_status, 211);
  EXPECT_NE(r.err.find("Felddefinition ungültig [CreateDBF]"), std::string::npos) << r.err;
  ASSERT_EQ(Oxdbf({"create", Path("n.dbf"), "n, N, 3, 0"}).exit_status, 0);
  r = Oxdbf({"append", Path("n.dbf"), "n=abc"});
  EXPECT_EQ(r.exit_status, 220);
  r = Oxdbf({"delete", Path("n.dbf"), "1"});
  EXPECT_EQ(r.exit_status, 212);
  EXPECT_NE(r.err.find("Fehler Nr. 212 (Anfrage außerhalb Bereich)"), std::string::npos) << r.err;
  r = Oxdbf({"frobnicate"});
  EXPECT_EQ(r.exit_status, 220);
}

// What the header rules say about a file: "" when it opens, else the reason
// text of the refusal.
std::string ExpectedRefusal(const std::string& s) {
  if (s.size() < 32) return "Prolog ist kleiner als 32 Bytes";
  unsigned version = static_cast<unsigned char>(s[0]);
  if (version != 2 && version != 3 && version != 4 && version != 0x83 && version != 0x8B && version != 0xF5) {
    return "Versions-Byte ungültig";
  }
  bool two = version == 2;
  if (two && s.size() < 521) return "Datenbank-Header ist kleiner als 521 Bytes";
  unsigned header = two ? 521 : Get16(s, 8);
  unsigned record = Get16(s, two ? 6 : 10);
  unsigned slot = two ? 16 : version == 4 ? 48 : 32, first = two ? 8 : version == 4 ? 68 : 32;
  unsigned slots = two ? 32 : header >= 32 ? (header - 32) / slot : 0;
  if (!two && (slots == 0 || slots > 255)) return "Zu viele Datenfelder";
  if (!two && s.size() < header) return "Fehler beim Lesen";
  unsigned type_at = two ? 11 : version == 4 ? 32 : 11, length_at = two ? 12 : version == 4 ? 33 : 16;
  unsigned sum = 1, fields = 0;
  bool terminated = false;
  for (unsigned i = 0; i < slots && first + (i + 1) * slot <= (two ? 521u : header); ++i) {
    std::size_t d = first + i * slot;
    if (s[d] == 0x0D) {
      terminated = true;
      break;
    }
    char type = s[d + type_at];
    if (std::string("CDFLMNBGP").find(type) == std::string::npos || type == 0) return "ist kein gültiger Feldtyp";
    sum += static_cast<unsigned char>(s[d + length_at]);
    ++fields;
  }
  if (two && !terminated) return "Zu viele Datenfelder";
  if (fields == 0) return "Fehler beim Lesen";
  if (sum > record) return "Datensatzlänge kleiner als die Summe der Feldlängen";
  if (!two && Get32(s, 4) > 0x7FFFFFFF) return "Satzanzahl";
  return "";
}

// A dBASE III/IV descriptor of a C field with decimals.
bool HasLongCharField(const std::string& s) {
  unsigned header = Get16(s, 8);
  for (std::size_t d = 32; d + 32 <= header && s[d] != 0x0D; d += 32) {
    if (s[d + 11] == 'C' && s[d + 17] != 0) return true;
  }
  return false;
}

TEST_F(OxdbfInteropTest, RealTablesDumpWhatDbfreadReadsOrAreRefusedByTheHeaderRules) {
  ORVEX_REQUIRE_TESTDATA();
  std::vector<std::string> files;
  ProcessResult found = RunProcess({"/usr/bin/find", TestdataDir(), "-iname", "*.dbf", "-type", "f"});
  std::istringstream lines(found.out);
  for (std::string line; std::getline(lines, line);) files.push_back(line);
  ASSERT_GT(files.size(), 100u);
  int compared = 0, refused = 0;
  for (const std::string& file : files) {
    SCOPED_TRACE(file);
    std::string refusal = ExpectedRefusal(ReadFileBytes(file));
    // Exclusive: the record count comes from the header, as dbfread takes
    // it (shared readers count the records in the file instead).
    ProcessResult csv = Oxdbf({"--exclusive", "dump", file, "--csv"});
    // Every failure is a library error on stderr: no crash, no sanitizer
    // report.
    ASSERT_EQ(csv.err.find("Sanitizer"), std::string::npos) << csv.err;
    if (csv.exit_status != 0) {
      ASSERT_EQ(csv.err.rfind("Fehler Nr. ", 0), 0u) << csv.err;
    }
    if (!refusal.empty()) {
      EXPECT_NE(csv.exit_status, 0);
      EXPECT_NE(csv.err.find(refusal), std::string::npos) << csv.err;
      ++refused;
      continue;
    }
    if (csv.exit_status != 0) {
      // Tables with memo fields need their memo file.
      EXPECT_NE(csv.err.find("Memo"), std::string::npos) << csv.err;
      continue;
    }
    Json theirs = Read(file);
    if (theirs.Has("error")) continue;  // dbfread cannot read it
    // dbfread reads C fields with decimals as Clipper's long fields (length
    // + 256 * decimals); the table format has C fields of at most 255.
    if (HasLongCharField(ReadFileBytes(file))) continue;
    // dbfread keeps one value per field name: tables with a name twice do
    // not fit its records.
    if (!theirs["records"].items.empty() && theirs["records"].items[0].items.size() != theirs["fields"].items.size()) {
      continue;
    }
    ExpectSameRecords(csv.out, theirs, file);
    ++compared;
  }
  EXPECT_GT(compared, 50);
  EXPECT_GT(refused, 20);
}

}  // namespace
}  // namespace orvex::test
