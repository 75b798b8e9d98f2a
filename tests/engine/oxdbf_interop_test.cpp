// oxdbf against an independent reader: tables that oxdbf writes are read by
// python3-dbfread with the same values, and every real table of the shared
// test data either dumps what dbfread reads or is refused with the error its
// header calls for. No input makes the tool crash.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "engine_test_support.h"

namespace orvex::test {
namespace {

// dbfread reads dBASE IV memos as if every file had 512-byte blocks and
// counts the 8-byte block header into the text: both scripts below mend
// that first.
const std::string kDb4MemoMend = R"PY(
import struct
from dbfread import DBF, FieldParser
from dbfread import memo
def db4_memo(self, index):
    if index <= 0: return None
    self.file.seek(20)
    block_size = struct.unpack('<H', self.file.read(2))[0] or 512
    self.file.seek(index * block_size)
    head = self.file.read(8)
    if head[:4] == b'\xff\xff\x08\x00':
        return self.file.read(struct.unpack('<I', head[4:])[0] - 8)
    data = head + self.file.read(1 << 20)
    return data.split(b'\x1a', 1)[0]
memo.DB4MemoFile.__getitem__ = db4_memo
class Hex(bytes): pass
)PY";

// Prints a table as dbfread reads it, one line each: "F <name> <type>" per
// field, "R" and "D" with the values of a record that is not deleted / is
// deleted, or "E <error>". Values are separated by tabs, each "s:" and text
// (tab, line end and backslash escaped), "n:" and a number, "b:T"/"b:F" or
// "-" for none. Numbers are written as Python reads them (integers with all
// their digits, floats as the shortest text of the double). Memo fields give
// their text (binary ones decoded like text), Visual FoxPro's G and P
// fields "x:" and the hex digits of their memo's bytes; dates YYYYMMDD.
//
// With the memo mend, memo texts can be compared whole.
const std::string kReader = kDb4MemoMend + R"PY(
import sys, datetime, decimal
class Parser(FieldParser):
    def parseM(self, field, data):
        v = FieldParser.parseM(self, field, data)
        return '' if v is None else v
    parseB = parseM
    def parseG(self, field, data):  # Visual FoxPro: the memo's bytes
        if self.dbversion in (0x30, 0x31, 0x32):
            return Hex(self.get_memo(self._parse_memo_index(data)) or b'')
        return self.parseM(field, data)
    parseP = parseG
def cell(v):
    if v is None: return '-'
    if isinstance(v, Hex): return 'x:' + v.hex()
    if isinstance(v, bool): return 'b:T' if v else 'b:F'
    if isinstance(v, (int, float)): return 'n:' + repr(v)
    if isinstance(v, decimal.Decimal): return 'n:' + str(v)
    if isinstance(v, datetime.datetime):
        ms = (v.microsecond + 500) // 1000
        v = v.strftime('%Y-%m-%d %H:%M:%S') + ('.%03d' % ms if ms else '')
    if isinstance(v, datetime.date): v = v.strftime('%Y%m%d')
    if isinstance(v, bytes): v = v.decode(sys.argv[2])
    return 's:' + v.replace('\\', '\\\\').replace('\t', '\\t').replace('\n', '\\n').replace('\r', '\\r')
out = sys.stdout
try:
    t = DBF(sys.argv[1], encoding=sys.argv[2], parserclass=Parser, ignore_missing_memofile=True,
            char_decode_errors='replace')
    lines = ['F\t%s\t%s' % (f.name, f.type) for f in t.fields]
    lines += ['\t'.join(['R'] + [cell(v) for v in r.values()]) for r in t]
    lines += ['\t'.join(['D'] + [cell(v) for v in r.values()]) for r in t.deleted]
except Exception as e:
    lines = ['E\t' + repr(e)]
out.buffer.write(('\n'.join(lines) + '\n').encode('utf-8'))
)PY";

// One value as dbfread gave it.
struct Value {
  char kind = '-';  // 's' text, 'n' number, 'b' logical, '-' none
  std::string text;
  double number = 0;
};

// A table as dbfread read it.
struct Table {
  std::string error;
  std::vector<std::pair<std::string, std::string>> fields;  // name, type
  std::vector<std::vector<Value>> records, deleted;
};

Value ParseValue(const std::string& cell) {
  Value v;
  v.kind = cell[0];
  std::string rest = cell.size() > 2 ? cell.substr(2) : "";
  if (v.kind == 'n') v.number = std::strtod(rest.c_str(), nullptr), v.text = rest;
  if (v.kind == 'b' || v.kind == 'x') v.text = rest;
  if (v.kind == 's') {
    for (std::size_t i = 0; i < rest.size(); ++i) {
      char c = rest[i];
      if (c == '\\' && i + 1 < rest.size()) {
        char e = rest[++i];
        c = e == 't' ? '\t' : e == 'n' ? '\n' : e == 'r' ? '\r' : e;
      }
      v.text += c;
    }
  }
  return v;
}

Table ParseTable(const std::string& out) {
  Table table;
  std::istringstream lines(out);
  for (std::string line; std::getline(lines, line);) {
    std::vector<std::string> cells;
    std::istringstream parts(line);
    for (std::string part; std::getline(parts, part, '\t');) cells.push_back(part);
    if (cells.empty()) continue;
    if (cells[0] == "E") table.error = line;
    if (cells[0] == "F") table.fields.emplace_back(cells[1], cells[2]);
    if (cells[0] == "R" || cells[0] == "D") {
      std::vector<Value> values;
      for (std::size_t i = 1; i < cells.size(); ++i) values.push_back(ParseValue(cells[i]));
      (cells[0] == "R" ? table.records : table.deleted).push_back(values);
    }
  }
  return table;
}

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
  Table Read(const std::string& file) {
    ProcessResult r = RunProcess({"/usr/bin/python3", Path("reader.py"), file, "cp850"});
    EXPECT_EQ(r.exit_status, 0) << r.err;
    return ParseTable(r.out);
  }
  // Compares one dumped CSV cell with dbfread's value of a field of `type`:
  // exactly, character for character and digit for digit.
  static void ExpectSameValue(const std::string& cell, const Value& value, const std::string& type,
                              const std::string& where) {
    if (value.kind == 'x') {  // Visual FoxPro's binary memos
      EXPECT_EQ(cell, value.text) << where;
    } else if (type == "0") {  // _NullFlags: dbfread gives its bytes, the dump nothing
      EXPECT_EQ(cell, "") << where;
    } else if (type == "V") {
      // dbfread reads V as C, so its text keeps the padding and, where the
      // field is not full, the byte that holds the used length: the dump
      // shows the used text only.
      std::string rest = value.text.rfind(cell, 0) == 0 ? value.text.substr(cell.size()) : "?";
      if (!rest.empty() && static_cast<unsigned char>(rest.back()) < ' ') rest.pop_back();
      EXPECT_EQ(rest.find_first_not_of(' '), std::string::npos) << where << ": " << cell << " / " << value.text;
    } else if (type == "C" || type == "T" || type == "@") {
      EXPECT_EQ(cell, value.text) << where;
    } else if (type == "I" || type == "Y" || type == "B" || type == "O" || type == "+") {
      ASSERT_EQ(value.kind, 'n') << where;
      EXPECT_EQ(std::strtod(cell.c_str(), nullptr), value.number) << where << ": " << cell;
    } else if (type == "N" || type == "F") {
      if (value.kind != 'n') {  // no value: blank, or asterisks of an overflow
        EXPECT_EQ(cell.find_first_not_of('*'), std::string::npos) << where << ": " << cell;
        return;
      }
      if (value.text.find_first_of(".eEn") == std::string::npos) {  // an integer, all its digits
        EXPECT_EQ(PlainInteger(cell), PlainInteger(value.text)) << where;
      } else {  // the same double as Python reads from the same digits
        std::string digits = cell;
        std::replace(digits.begin(), digits.end(), ',', '.');
        EXPECT_EQ(std::strtod(digits.c_str(), nullptr), value.number) << where << ": " << cell;
      }
    } else if (type == "L") {
      EXPECT_EQ(cell, value.kind == 'b' ? value.text : "") << where;
    } else if (type == "D") {  // exported as YYYY-MM-DD
      std::string date = value.kind == 's' ? value.text : "";
      if (date.size() == 8) date = date.substr(0, 4) + "-" + date.substr(4, 2) + "-" + date.substr(6, 2);
      EXPECT_EQ(cell, date) << where;
    } else {  // memo kinds: the whole text, line ends as "\n"
      std::string text = value.kind == 's' ? value.text : "";
      for (std::size_t at; (at = text.find("\r\n")) != std::string::npos;) text.erase(at, 1);
      for (std::size_t at; (at = text.find("\xC3\xAC\n")) != std::string::npos;) text.erase(at, 2);  // 0x8D LF
      std::replace(text.begin(), text.end(), '\r', '\n');
      EXPECT_EQ(cell, text) << where;
    }
  }
  // An integer's digits without sign of zero, plus sign or leading zeros.
  static std::string PlainInteger(std::string s) {
    bool negative = !s.empty() && s[0] == '-';
    if (!s.empty() && (s[0] == '-' || s[0] == '+')) s.erase(0, 1);
    s.erase(0, std::min(s.find_first_not_of('0'), s.size() - 1));
    return (negative && s != "0" ? "-" : "") + s;
  }
  static void ExpectSameRecords(const std::string& csv, const Table& table, const std::string& where) {
    auto rows = ParseCsv(csv);
    ASSERT_EQ(rows.size(), table.records.size() + 1) << where;
    // dbfread does not read _NullFlags: where that marks a field null, the
    // export's blank cell stands for dbfread's bytes beneath.
    const bool null_flags = std::any_of(table.fields.begin(), table.fields.end(),
                                        [](const auto& field) { return field.second == "0"; });
    for (std::size_t r = 0; r < table.records.size(); ++r) {
      ASSERT_EQ(rows[r + 1].size(), table.fields.size()) << where << " row " << r;
      for (std::size_t f = 0; f < table.fields.size(); ++f) {
        if (null_flags && rows[r + 1][f].empty()) continue;
        ExpectSameValue(rows[r + 1][f], table.records[r][f], table.fields[f].second,
                        where + " row " + std::to_string(r + 1) + " field " + table.fields[f].first);
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
  ASSERT_EQ(Oxdbf({"append", table, "title=Über, \"Ärger\" & Öl", "year=2024", "color=T",
                   "plot=Zwei Zeilen\nText"}).exit_status,
            0);
  ASSERT_EQ(Oxdbf({"append", table, "title=gone", "year=-12"}).exit_status, 0);
  ASSERT_EQ(Oxdbf({"delete", table, "3"}).exit_status, 0);

  std::string bytes = ReadFileBytes(table);
  EXPECT_NE(bytes.find("\x9A" "ber"), std::string::npos);  // OEM Ü in the file
  Table theirs = Read(table);
  ASSERT_EQ(theirs.error, "");
  ASSERT_EQ(theirs.fields.size(), 7u);
  ASSERT_EQ(theirs.records.size(), 2u);
  ASSERT_EQ(theirs.deleted.size(), 1u);
  EXPECT_EQ(theirs.records[1][0].text, "Über, \"Ärger\" & Öl");
  EXPECT_EQ(theirs.records[0][6].text, "19211006");
  EXPECT_EQ(theirs.deleted[0][1].number, -12);
  EXPECT_EQ(theirs.records[1][5].text, "Zwei Zeilen\r\nText");
  EXPECT_EQ(theirs.records[0][5].text, "");

  ProcessResult csv = Oxdbf({"dump", table, "--csv"});
  ASSERT_EQ(csv.exit_status, 0) << csv.err;
  ExpectSameRecords(csv.out, theirs, "films");
  ProcessResult dump = Oxdbf({"dump", table});
  EXPECT_NE(dump.out.find("3 * gone"), std::string::npos) << dump.out;
  EXPECT_EQ(Oxdbf({"dump", table, "--hide-deleted"}).out.find("gone"), std::string::npos);
  EXPECT_EQ(Oxdbf({"recall", table, "3"}).exit_status, 0);
  EXPECT_EQ(Read(table).records.size(), 3u);
}

TEST_F(OxdbfInteropTest, AnsiTablesKeepWindowsText) {
  std::string table = Path("ansi.dbf");
  ASSERT_EQ(Oxdbf({"create", table, "name, C, 8, 0"}).exit_status, 0);
  ASSERT_EQ(Oxdbf({"--ansi", "append", table, "name=Größe"}).exit_status, 0);
  EXPECT_NE(ReadFileBytes(table).find("Gr\xF6\xDF" "e"), std::string::npos);
  EXPECT_EQ(Oxdbf({"--ansi", "dump", table, "--csv"}).out, "NAME\r\nGröße\r\n");
  // Read as OEM text the same bytes are other characters.
  EXPECT_NE(Oxdbf({"--oem", "dump", table, "--csv"}).out, "NAME\r\nGröße\r\n");
}

TEST_F(OxdbfInteropTest, FailuresGoThroughTheLibrary) {
  ProcessResult r = Oxdbf({"dump", Path("none.dbf")});
  EXPECT_EQ(r.exit_status, 2);
  EXPECT_NE(r.err.find("Fehler Nr. 2 (Datei nicht gefunden)"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("Fehler beim Öffnen von"), std::string::npos) << r.err;
  r = Oxdbf({"create", Path("bad.dbf"), "name, Q, 3, 0"});
  EXPECT_EQ(r.exit_status, 211);
  EXPECT_NE(r.err.find("Felddefinition ungültig"), std::string::npos) << r.err;
  ASSERT_EQ(Oxdbf({"create", Path("n.dbf"), "n, N, 3, 0"}).exit_status, 0);
  r = Oxdbf({"append", Path("n.dbf"), "n=abc"});
  EXPECT_EQ(r.exit_status, 220);
  r = Oxdbf({"delete", Path("n.dbf"), "1"});
  EXPECT_EQ(r.exit_status, 2);  // no record 1: a usage error naming the range
  EXPECT_NE(r.err.find("the table has no records"), std::string::npos) << r.err;
  r = Oxdbf({"frobnicate"});
  EXPECT_EQ(r.exit_status, 2);  // a usage error
}

// What the header rules say about a file: "" when it opens, else the reason
// text of the refusal.
std::string ExpectedRefusal(const std::string& s) {
  if (s.size() < 32) return "Prolog ist kleiner als 32 Bytes";
  unsigned version = static_cast<unsigned char>(s[0]);
  if (std::string("\x02\x03\x04\x83\x8B\x8C\x30\x31\x32\xF5\xFB").find(static_cast<char>(version)) ==
      std::string::npos) {
    return "Versions-Byte ungültig";
  }
  bool two = version == 2, seven = version == 4 || version == 0x8C, fox = version >= 0x30 && version <= 0x32;
  if (two && s.size() < 521) return "Datenbank-Header ist kleiner als 521 Bytes";
  unsigned header = two ? 521 : Get16(s, 8);
  unsigned record = Get16(s, two ? 6 : 10);
  unsigned slot = two ? 16 : seven ? 48 : 32, first = two ? 8 : seven ? 68 : 32;
  unsigned slots = two ? 32 : header >= 32 ? (header - 32) / slot : 0;
  if (!two && (slots == 0 || slots > 255)) return "Zu viele Datenfelder";
  if (!two && s.size() < header) return "Fehler beim Lesen";
  unsigned type_at = two ? 11 : seven ? 32 : 11, length_at = two ? 12 : seven ? 33 : 16;
  unsigned sum = 1, wide = 1, fields = 0;
  bool terminated = false;
  for (unsigned i = 0; i < slots && first + (i + 1) * slot <= (two ? 521u : header); ++i) {
    std::size_t d = first + i * slot;
    if (s[d] == 0x0D) {
      terminated = true;
      break;
    }
    // dBASE's types; Visual FoxPro's and level 7's in their tables; any
    // type of a field that holds nothing.
    char type = s[d + type_at];
    const unsigned length = static_cast<unsigned char>(s[d + length_at]);
    const std::string types = fox ? "CDFLMNBGPIYTVQW0" : seven ? "CDFLMNBGPIO@+" : "CDFLMNBGP";
    if ((types.find(type) == std::string::npos || type == 0) && length != 0) return "ist kein gültiger Feldtyp";
    sum += length;
    // FoxPro's C fields above 255 bytes: the decimals byte is the high byte.
    wide += length + (!two && !seven && type == 'C' ? 256 * static_cast<unsigned char>(s[d + 17]) : 0);
    ++fields;
  }
  if (two && !terminated) return "Zu viele Datenfelder";
  if (fields == 0) return "Fehler beim Lesen";
  // The byte behind the last descriptor must end the list: a 0x0D (or 0x00)
  // inside the header, a record's deletion flag after it; any byte when the
  // header length leaves exactly that byte (and Visual FoxPro's 263-byte
  // backlink) behind the descriptors and the fields fill the record.
  std::size_t behind = first + fields * slot;
  char end = behind < s.size() ? s[behind] : 0x1A;
  if (sum != record && wide == record) sum = wide;
  const bool exact = !two && behind + 1 + (fox ? 263 : 0) == header && sum == record;
  if (!terminated && !exact && (behind < header ? end != 0x0D && end != 0x00 : end != ' ' && end != '*' && end != 0x1A)) {
    return "Header-Länge kleiner als die Feldbeschreibungen";
  }
  if (sum > record) return "Datensatzlänge kleiner als die Summe der Feldlängen";
  if (sum < record) return "Datensatzlänge größer als die Summe der Feldlängen";
  if (!two && Get32(s, 4) > 0x7FFFFFFF) return "Satzanzahl";
  return "";
}

// A dBASE III or later table with a record whose first byte is neither
// blank nor "*".
bool HasOddDeletionFlag(const std::string& s) {
  const std::size_t header = Get16(s, 8), length = Get16(s, 10);
  for (std::size_t at = header; length > 0 && at + length <= s.size(); at += length) {
    if (s[at] != ' ' && s[at] != '*') return true;
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
    // Read as code page 850 on both sides, whatever the header names.
    ProcessResult csv = Oxdbf({"--exclusive", "--codepage", "850", "dump", file, "--csv"});
    // Every failure is a library error on stderr: no crash, no sanitizer
    // report.
    ASSERT_EQ(csv.err.find("Sanitizer"), std::string::npos) << csv.err;
    // A memo that cannot be read is a warning naming the library's error;
    // the export goes on.
    const bool warned = csv.err.rfind("oxdbf: warning: ", 0) == 0;
    if (csv.exit_status != 0) {
      ASSERT_TRUE(csv.err.rfind("Fehler Nr. ", 0) == 0 || warned) << csv.err;
    }
    if (!refusal.empty()) {
      EXPECT_NE(csv.exit_status, 0);
      EXPECT_NE(csv.err.find(refusal), std::string::npos) << csv.err;
      ++refused;
      continue;
    }
    if (csv.exit_status != 0) {
      // Tables with memo fields need their memo file, and readable memos.
      EXPECT_NE(csv.err.find("Memo"), std::string::npos) << csv.err;
      continue;
    }
    Table theirs = Read(file);
    if (!theirs.error.empty()) continue;  // dbfread cannot read it
    // dbfread keeps one value per field name: tables with a name twice do
    // not fit its records.
    if (!theirs.records.empty() && theirs.records[0].size() != theirs.fields.size()) continue;
    // dbfread leaves out records whose deletion flag is neither blank nor
    // "*" (it reads them as neither live nor deleted); the dump shows them.
    const std::string bytes = ReadFileBytes(file);
    if (bytes[0] != 2 && HasOddDeletionFlag(bytes)) continue;
    ExpectSameRecords(csv.out, theirs, file);
    ++compared;
  }
  EXPECT_GT(compared, 90);
  EXPECT_GT(refused, 3);
}

// Compares `oxdbf dump --json` of a table with dbfread's values, both read
// as code page 850: prints "OK <values>", "BAD" and the first differences,
// "THEIRS-ERROR" when dbfread cannot read the table, "OURS-ERROR" and
// oxdbf's message when oxdbf fails, "PARTIAL" and oxdbf's warnings when the
// values it read are the same but it left some fields unread, "COUNT" or "FIELDS" when the records or
// their fields differ in number. What dbfread reads differently is set
// aside here, each for its reason: it reads dBASE IV memos as if every file
// had 512-byte blocks and counts the block header into the text (mended
// as above); it reads level 7's I, +, O and @ as if they were Visual
// FoxPro's (those are read by hand below); it does not read _NullFlags, so
// where that marks a field null it shows the bytes beneath; it reads V
// fields as C, keeping the padding and the byte that holds the used
// length; it gives None where a number field holds an overflow's
// asterisks, which oxdbf shows as stored. Memo texts are compared with
// their line ends as "\n", as oxdbf exports them; date-times to the
// millisecond; Visual FoxPro's G and P memos as hex digits.
const std::string kJsonComparer = kDb4MemoMend + R"PY(
import sys, json, datetime, decimal, subprocess
class Parser(FieldParser):
    def parseG(self, field, data):
        if self.dbversion in (0x30, 0x31, 0x32):
            return Hex(self.get_memo(self._parse_memo_index(data)) or b'')
        return FieldParser.parseM(self, field, data)
    parseP = parseG
oxdbf, path, encoding = sys.argv[1], sys.argv[2], sys.argv[3]
try:
    t = DBF(path, encoding=encoding, parserclass=Parser, ignore_missing_memofile=True, char_decode_errors='replace')
    theirs = [list(r.items()) for r in t]
except Exception as e:
    print('THEIRS-ERROR', repr(e)); sys.exit(0)
p = subprocess.run([oxdbf, '--exclusive', '--codepage', encoding[2:], 'dump', path, '--json'], capture_output=True)
# Exit status 1 with records: some fields could not be read (named on stderr).
partial = p.returncode == 1 and p.stdout
if p.returncode != 0 and not partial:
    print('OURS-ERROR', p.stderr.decode('utf-8', 'replace').strip()); sys.exit(0)
ours = [json.loads(l) for l in p.stdout.decode('utf-8').splitlines()]
version = t.header.dbversion
level7 = version in (0x04, 0x8C)
vfp = version in (0x30, 0x31, 0x32)
types = {f.name: f.type for f in t.fields}
bad = []
if len(ours) != len(theirs):
    print('COUNT', len(ours), len(theirs)); sys.exit(0)
soft = bytes([0x8D]).decode(encoding)
def lines(s): return s.replace('\r\n', '\n').replace(soft + '\n', '\n').replace('\r', '\n')
n = 0
for r, (o, th) in enumerate(zip(ours, theirs), 1):
    ov = list(o.values())
    if len(ov) != len(th): print('FIELDS', len(ov), len(th)); sys.exit(0)
    for (name, v), mine in zip(th, ov):
        ty = types[name]
        ok = True
        if ty == '0': continue
        if level7 and ty in 'I+O@': continue
        if mine is None and vfp: pass
        elif isinstance(v, Hex): ok = mine == v.hex()
        elif v is None and isinstance(mine, str) and ty in 'NF' and mine.strip('*') == '': ok = True
        elif v is None: ok = mine is None or mine == ''
        elif isinstance(v, bool): ok = mine is v
        elif isinstance(v, datetime.datetime):
            try:
                m = datetime.datetime.fromisoformat(mine)
                ok = abs((m - v).total_seconds()) < 0.001
            except Exception: ok = False
        elif isinstance(v, datetime.date): ok = mine == v.isoformat()
        elif isinstance(v, (int, float, decimal.Decimal)) and not isinstance(v, bool):
            ok = isinstance(mine, (int, float)) and float(mine) == float(v)
        elif isinstance(v, bytes): ok = mine == v.decode(encoding, 'replace')
        elif isinstance(v, str):
            if ty == 'V':
                rest = v[len(mine):] if isinstance(mine, str) and v.startswith(mine) else '?'
                if rest and ord(rest[-1]) < 32: rest = rest[:-1]
                ok = rest.strip(' ') == ''
            elif ty in 'MGPB': ok = mine == lines(v)
            else: ok = isinstance(mine, str) and mine.rstrip('\0 ') == v
        else: ok = False
        n += 1
        if not ok: bad.append('record %d %s %s: ours %r theirs %r' % (r, name, ty, mine, v))
print('BAD' if bad else 'PARTIAL' if partial else 'OK', n, '\n'.join(bad[:5]))
if partial and not bad: print(p.stderr.decode('utf-8', 'replace'))
)PY";

TEST_F(OxdbfInteropTest, JsonDumpEqualsDbfreadForEveryTableBothRead) {
  ORVEX_REQUIRE_TESTDATA();
  WriteFileBytes(Path("compare.py"), kJsonComparer);
  ProcessResult found = RunProcess({"/usr/bin/find", TestdataDir(), "-iname", "*.dbf", "-type", "f"});
  std::istringstream lines(found.out);
  int same = 0, values = 0, without_memo_file = 0;
  for (std::string file; std::getline(lines, file);) {
    SCOPED_TRACE(file);
    ProcessResult r =
        RunProcess({"/usr/bin/python3", Path("compare.py"), BuildProgram("tools/oxdbf"), file, "cp850"});
    ASSERT_EQ(r.exit_status, 0) << r.err;
    const std::string verdict = r.out.substr(0, r.out.find_first_of(" \n"));
    const std::string bytes = ReadFileBytes(file);
    if (verdict == "OK") {
      ++same;
      values += std::atoi(r.out.c_str() + 3);
    } else if (verdict == "PARTIAL") {
      // Every value read equals dbfread's; the fields left empty are memos
      // that cannot be read: a damaged block number, or a Visual FoxPro
      // table whose memo file is missing (dbfread, told to ignore it, reads
      // them as None).
      EXPECT_NE(r.out.find("[ReadMemo]"), std::string::npos) << r.out;
      if (r.out.find("Memo-Datei nicht gefunden") != std::string::npos) ++without_memo_file;
    } else if (verdict == "OURS-ERROR") {
      // oxdbf refuses only what the header rules refuse, and tables whose
      // memo file is missing or damaged (dbfread, told to ignore a missing
      // memo file, reads their memos as empty).
      EXPECT_TRUE(!ExpectedRefusal(bytes).empty() || r.out.find("Memo") != std::string::npos) << r.out;
    } else if (verdict == "COUNT") {
      // dbfread leaves out records whose deletion flag is neither blank
      // nor "*"; the dump shows them.
      EXPECT_TRUE(HasOddDeletionFlag(bytes)) << r.out;
    } else if (verdict == "FIELDS") {
      // dbfread keeps one value per field name: a name twice leaves one.
    } else {
      EXPECT_EQ(verdict, "THEIRS-ERROR") << r.out;
    }
  }
  EXPECT_GT(same, 100);
  EXPECT_GT(values, 100000);
  EXPECT_GE(without_memo_file, 1);  // javadbf's books.dbf, whose FPT is not in the test data
}

// Level-7 binary types, read by hand from the bytes: I is big-endian with
// the sign bit flipped (80 00 00 01 = 1, 7F FF FF FF = -1), O a big-endian
// double whose sign bit is flipped when positive and whose bits are all
// inverted when negative (C0 45 D3 33 .. = 43.65, 3F 97 00 51 .. = -199.99),
// @ a big-endian double of milliseconds where day 1 is 1 January of year 1
// (42 C6 F5 F3 4E 66 00 00 = 50491209600000 = 584389 days = 1601-01-01).
TEST_F(OxdbfInteropTest, LevelSevenBinaryTypesShowTheirValues) {
  ORVEX_REQUIRE_TESTDATA();
  const std::string dir = TestdataDir() + "/php-xbase/";
  ProcessResult r = Oxdbf({"dump", dir + "dBaseVII_int.dbf", "--json"});
  ASSERT_EQ(r.exit_status, 0) << r.err;
  EXPECT_EQ(r.out,
            "{\"INT\":1}\n{\"INT\":-1}\n{\"INT\":5000000}\n{\"INT\":-5000000}\n{\"INT\":2147483647}\n"
            "{\"INT\":-2147483647}\n");
  r = Oxdbf({"dump", dir + "dBaseVII_double.dbf", "--csv"});
  ASSERT_EQ(r.exit_status, 0) << r.err;
  EXPECT_EQ(r.out, "DOUBLE\r\n-199.99\r\n-74.62\r\n43.65\r\n150.48\r\n0\r\n");
  r = Oxdbf({"dump", dir + "dBaseVII_ts.dbf", "--json", "--with-deleted"});
  ASSERT_EQ(r.exit_status, 0) << r.err;
  EXPECT_EQ(r.out.substr(0, r.out.find('\n')), "{\"_deleted\":true,\"TS\":\"1601-01-01 00:00:00\"}");
  EXPECT_NE(r.out.find("{\"_deleted\":false,\"TS\":\"1900-01-01 00:00:00\"}"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("{\"_deleted\":false,\"TS\":\"2000-01-10 00:00:00\"}"), std::string::npos) << r.out;
}

// Appending to a Visual FoxPro table: the fields not given hold what
// Visual FoxPro writes into a new record (zeros for I, Y and T, blanks for
// C, _NullFlags clear), the given ones their values; dbfread reads them.
// A table with an autoincrement field, or level 7's types, is refused with
// the file untouched.
TEST_F(OxdbfInteropTest, AppendToVisualFoxProTablesWritesTheirEmptyValues) {
  ORVEX_REQUIRE_TESTDATA();
  const std::string table = Path("payments.dbf");
  const std::string before = ReadFileBytes(TestdataDir() + "/javadbf/fixtures/foxpro-xsource/payments.dbf");
  WriteFileBytes(table, before);
  ProcessResult r = Oxdbf({"append", table, "PAYMENTID=6", "PAYMENTAMO=1.5", "CREDITCARD=Visa"});
  ASSERT_EQ(r.exit_status, 0) << r.err;
  const std::string after = ReadFileBytes(table);
  const std::size_t header = Get16(before, 8), length = Get16(before, 10);
  ASSERT_EQ(after.size(), before.size() + length);
  EXPECT_EQ(Get32(after, 4), 6u);
  const std::string added = after.substr(header + 5 * length, length);
  const std::string expected = std::string(" \x06\0\0\0", 5) + std::string(4, '\0') +  // PAYMENTID, PROJECTID
                               std::string("\x98\x3A\0\0\0\0\0\0", 8) + std::string(8, '\0') +  // 15000, no date
                               "Visa" + std::string(26 + 50, ' ') + std::string(8, '\0') +  // CREDITCAR2
                               std::string(30, ' ') + std::string(4 + 2, '\0');            // PAYMENTMET, flags
  EXPECT_EQ(added, expected);
  EXPECT_EQ(after[0], before[0]);
  EXPECT_EQ(after.substr(8, header + 5 * length - 8), before.substr(8, header + 5 * length - 8));
  r = RunProcess({"/usr/bin/python3", "-c",
                  "import sys\nfrom dbfread import DBF\nr = list(DBF(sys.argv[1]))[5]\n"
                  "print(r['PAYMENTID'], r['PROJECTID'], r['PAYMENTAMO'], r['PAYMENTDAT'], r['CREDITCARD'])",
                  table});
  ASSERT_EQ(r.exit_status, 0) << r.err;
  EXPECT_EQ(r.out, "6 0 1.5 None Visa\n");

  for (const std::string name : {"php-xbase/vfp", "php-xbase/dBaseVII_int"}) {
    const std::string copy = Path("refused.dbf");
    const std::string bytes = ReadFileBytes(TestdataDir() + "/" + name + ".dbf");
    WriteFileBytes(copy, bytes);
    if (name == "php-xbase/vfp") WriteFileBytes(Path("refused.fpt"), ReadFileBytes(TestdataDir() + "/php-xbase/vfp.fpt"));
    r = Oxdbf({"append", copy});
    EXPECT_EQ(r.exit_status, 211) << name;
    EXPECT_NE(r.err.find("Anhängen an Tabellen mit diesem Feldtyp nicht möglich"), std::string::npos) << r.err;
    EXPECT_EQ(ReadFileBytes(copy), bytes) << name;
  }
}

// Level 7's binary types written by oxdbf replace in their byte forms: I
// big-endian with the sign bit flipped, O big-endian with positive values'
// sign bit set and negative ones inverted, @ as milliseconds; only the
// field's bytes and the header date change, and the dump reads the value.
TEST_F(OxdbfInteropTest, LevelSevenBinaryTypesWriteTheirByteForms) {
  ORVEX_REQUIRE_TESTDATA();
  struct Case {
    const char* table;
    const char* record;
    const char* assignment;
    std::string bytes;  // empty: checked through the dump only
    const char* shown;
  };
  const Case cases[] = {
      {"dBaseVII_int", "1", "INT=-5", std::string("\x7F\xFF\xFF\xFB", 4), "{\"_deleted\":false,\"INT\":-5}"},
      {"dBaseVII_double", "1", "DOUBLE=-0.25", std::string("\x40\x2F\xFF\xFF\xFF\xFF\xFF\xFF", 8),
       "{\"_deleted\":false,\"DOUBLE\":-0.25}"},
      {"dBaseVII_double", "1", "DOUBLE=2", std::string("\xC0\0\0\0\0\0\0\0", 8), "{\"_deleted\":false,\"DOUBLE\":2}"},
      {"dBaseVII_ts", "2", "TS=2020-01-02 03:04:05.006", "",
       "{\"_deleted\":true,\"TS\":\"2020-01-02 03:04:05.006\"}"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.assignment);
    const std::string table = Path(std::string(c.table) + ".dbf");
    const std::string old_bytes = ReadFileBytes(TestdataDir() + "/php-xbase/" + c.table + ".dbf");
    WriteFileBytes(table, old_bytes);
    ASSERT_EQ(Oxdbf({"replace", table, c.record, c.assignment}).exit_status, 0);
    const std::string new_bytes = ReadFileBytes(table);
    ASSERT_EQ(new_bytes.size(), old_bytes.size());
    const std::size_t length = Get16(old_bytes, 10);
    const std::size_t from = Get16(old_bytes, 8) + (std::stoul(c.record) - 1) * length + 1;
    for (std::size_t i = 4; i < new_bytes.size(); ++i) {
      if (i < from || i >= from + length - 1) {
        ASSERT_EQ(new_bytes[i], old_bytes[i]) << i;
      }
    }
    if (!c.bytes.empty()) {
      EXPECT_EQ(new_bytes.substr(from, c.bytes.size()), c.bytes);
    }
    ProcessResult r = Oxdbf({"dump", table, "--json", "--with-deleted"});
    std::istringstream records(r.out);
    std::string line;
    for (std::size_t n = std::stoul(c.record); n > 0; --n) std::getline(records, line);
    EXPECT_EQ(line, c.shown);
  }
  // No empty value, and nothing beyond 32 bits.
  const std::string table = Path("dBaseVII_int.dbf");
  const std::string before = ReadFileBytes(table);
  EXPECT_EQ(Oxdbf({"replace", table, "1", "INT="}).exit_status, 220);
  EXPECT_EQ(Oxdbf({"replace", table, "1", "INT=2147483648"}).exit_status, 220);
  EXPECT_EQ(ReadFileBytes(table), before);
}

// Visual FoxPro: nulls by _NullFlags are null in JSON and blank in CSV;
// currency, integers and date-times are values; a replace changes only the
// field it names (and the header date); values a field cannot hold exactly
// are refused, and so is an append, without touching the file.
TEST_F(OxdbfInteropTest, VisualFoxProValuesNullsAndWrites) {
  ORVEX_REQUIRE_TESTDATA();
  const std::string original = TestdataDir() + "/javadbf/fixtures/foxpro-xsource/payments.dbf";
  const std::string table = Path("payments.dbf");
  WriteFileBytes(table, ReadFileBytes(original));
  ProcessResult r = Oxdbf({"dump", table, "--json"});
  ASSERT_EQ(r.exit_status, 0) << r.err;
  EXPECT_EQ(r.out.substr(0, r.out.find('\n')),
            "{\"PAYMENTID\":1,\"PROJECTID\":2,\"PAYMENTAMO\":1000.0000,\"PAYMENTDAT\":\"1995-01-03 00:00:00\","
            "\"CREDITCARD\":null,\"CARDHOLDER\":null,\"CREDITCAR2\":null,\"CREDITCAR3\":null,\"PAYMENTMET\":1,"
            "\"_NULLFLAGS\":null}");
  // The C fields _NullFlags marks null in javadbf's bug-93 table hold
  // blanks beneath: null, not "".
  r = Oxdbf({"dump", TestdataDir() + "/javadbf/bug93_null_field/testfile.dbf", "--json"});
  ASSERT_EQ(r.exit_status, 0) << r.err;
  EXPECT_NE(r.out.find("\"D_FLAG\":null"), std::string::npos) << r.out;
  r = Oxdbf({"dump", table, "--csv"});
  EXPECT_NE(r.out.find("\r\n1,2,1000.0000,1995-01-03 00:00:00,,,,,1,\r\n"), std::string::npos) << r.out;

  const std::string before = ReadFileBytes(table);
  // Values the binary fields cannot hold exactly are refused.
  EXPECT_EQ(Oxdbf({"replace", table, "2", "PAYMENTID=2147483648"}).exit_status, 220);
  EXPECT_EQ(Oxdbf({"replace", table, "2", "PAYMENTID=-2147483649"}).exit_status, 220);
  EXPECT_EQ(Oxdbf({"replace", table, "2", "PAYMENTAMO=1.23456"}).exit_status, 220);
  EXPECT_EQ(Oxdbf({"replace", table, "2", "PAYMENTDAT=2023-02-29"}).exit_status, 220);
  EXPECT_EQ(ReadFileBytes(table), before);
  // A value given to a null field clears its null bit, and only its bit.
  ASSERT_EQ(Oxdbf({"replace", table, "2", "CREDITCARD=Visa", "PAYMENTID=-7"}).exit_status, 0);
  r = Oxdbf({"dump", table, "--json"});
  EXPECT_NE(r.out.find("{\"PAYMENTID\":-7,\"PROJECTID\":2,\"PAYMENTAMO\":497.0000,"
                       "\"PAYMENTDAT\":\"1995-01-23 00:00:00\",\"CREDITCARD\":\"Visa\",\"CARDHOLDER\":null,"),
            std::string::npos)
      << r.out;

  // A table whose C fields may not be null: one field's bytes change.
  const std::string dates = Path("bdays.dbf");
  WriteFileBytes(dates, ReadFileBytes(TestdataDir() + "/javadbf/bdays.dbf"));
  const std::string old_bytes = ReadFileBytes(dates);
  ASSERT_EQ(Oxdbf({"replace", dates, "1", "FIRSTNAME=Ada"}).exit_status, 0);
  const std::string new_bytes = ReadFileBytes(dates);
  ASSERT_EQ(new_bytes.size(), old_bytes.size());
  const std::size_t header = Get16(old_bytes, 8), first = header + 1;  // record 1, field FIRSTNAME (50 bytes)
  for (std::size_t i = 4; i < new_bytes.size(); ++i) {
    if (i >= first && i < first + 50) continue;
    EXPECT_EQ(new_bytes[i], old_bytes[i]) << "byte " << i;
  }
  EXPECT_EQ(new_bytes.substr(first, 50), "Ada" + std::string(47, ' '));
}

// A Visual FoxPro table whose memo file is missing (javadbf's books.dbf
// comes without its FPT) opens: every other field reads, each memo that a
// block number names is reported unread by name (the dump leaves it empty
// and ends with status 1), a block number 0 is the empty memo it stores.
// Writing a memo is refused with the file untouched; the other fields
// write.
TEST_F(OxdbfInteropTest, VisualFoxProTableWithoutItsMemoFileReadsAllButTheMemos) {
  ORVEX_REQUIRE_TESTDATA();
  const std::string table = Path("books.dbf");
  WriteFileBytes(table, ReadFileBytes(TestdataDir() + "/javadbf/books.dbf"));
  ProcessResult r = Oxdbf({"dump", table, "--json"});
  EXPECT_EQ(r.exit_status, 1);
  EXPECT_NE(r.err.find("record 1, field NOTES left empty"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("Memo-Datei nicht gefunden"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("books.fpt"), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find("record 10,"), std::string::npos) << r.err;  // block 0: no memo
  EXPECT_NE(r.err.find("9 fields could not be read"), std::string::npos) << r.err;
  EXPECT_EQ(r.out.substr(0, r.out.find('\n')),
            "{\"BOOK_ID\":1,\"TITLE\":\"Dirk Luchte Comes Home\",\"TOPIC_ID\":5,\"COPYRIGHT_\":1985,"
            "\"ISBN_NUMBE\":\"\",\"PUBLISHER_\":\"GGG&G Publishing\",\"PURCHASE_P\":23.5000,"
            "\"COVERTYPE\":\"Hard\",\"DATE_PURCH\":\"1993-11-23\",\"PAGES\":1012,\"NOTES\":\"\"}");
  EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 10);

  const std::string before = ReadFileBytes(table);
  for (const char* memo : {"NOTES=new text", "NOTES="}) {
    r = Oxdbf({"replace", table, "10", memo});
    EXPECT_NE(r.exit_status, 0) << memo;
    EXPECT_NE(r.err.find("Memo-Datei nicht gefunden"), std::string::npos) << r.err;
    EXPECT_EQ(ReadFileBytes(table), before) << memo;
  }
  ASSERT_EQ(Oxdbf({"replace", table, "1", "PAGES=7"}).exit_status, 0);
  r = Oxdbf({"dump", table, "--csv"});
  EXPECT_NE(r.out.find(",Hard,1993-11-23,7,\r\n"), std::string::npos) << r.out;
  // No memo file was made on the way.
  EXPECT_FALSE(std::filesystem::exists(Path("books.FPT")));
  EXPECT_FALSE(std::filesystem::exists(Path("books.fpt")));
}

// The offset of field `name` in the records of a Visual FoxPro table.
std::size_t FoxProFieldOffset(const std::string& table, const std::string& name) {
  for (std::size_t d = 32; d + 32 <= Get16(table, 8) && table[d] != 0x0D; d += 32) {
    if (table.compare(d, name.size() + 1, name + '\0') == 0) return Get32(table, d + 12);
  }
  ADD_FAILURE() << "no field " << name;
  return 0;
}

// V and Q as Visual FoxPro writes them (php-xbase's vfp.dbf): a shorter
// value is followed by zeros and its length in the last byte, with its
// size bit in _NullFlags set; a value that fills the field clears the bit;
// Q takes hex digits. An M field stores a new memo that dbfread reads.
TEST_F(OxdbfInteropTest, VisualFoxProVarcharVarbinaryAndMemoWrites) {
  ORVEX_REQUIRE_TESTDATA();
  const std::string table = Path("vfp.dbf");
  WriteFileBytes(table, ReadFileBytes(TestdataDir() + "/php-xbase/vfp.dbf"));
  WriteFileBytes(Path("vfp.fpt"), ReadFileBytes(TestdataDir() + "/php-xbase/vfp.fpt"));
  const std::string before = ReadFileBytes(table);
  const std::size_t record = Get16(before, 8), varchar = record + FoxProFieldOffset(before, "VARCHAR"),
                    varbinary = record + FoxProFieldOffset(before, "VARBINARY"),
                    flags = record + FoxProFieldOffset(before, "_NullFlags");
  ASSERT_EQ(before.substr(varchar, 10), std::string("qwe\0\0\0\0\0\0\x03", 10));
  ASSERT_EQ(before[flags], '\x20');  // VARCHAR's size bit (5); below it the null bits of five fields

  ASSERT_EQ(Oxdbf({"replace", table, "1", "VARCHAR=0123456789"}).exit_status, 0);
  std::string after = ReadFileBytes(table);
  EXPECT_EQ(after.substr(varchar, 10), "0123456789");
  EXPECT_EQ(after[flags], '\0');
  ASSERT_EQ(Oxdbf({"replace", table, "1", "VARCHAR=ab", "VARBINARY=00FF"}).exit_status, 0);
  after = ReadFileBytes(table);
  EXPECT_EQ(after.substr(varchar, 10), std::string("ab\0\0\0\0\0\0\0\x02", 10));
  EXPECT_EQ(after.substr(varbinary, 10), std::string("\0\xFF\0\0\0\0\0\0\0\x02", 10));
  EXPECT_EQ(after[flags], '\x20');
  EXPECT_EQ(after[flags + 1], before[flags + 1]);  // VARBINARY's size bit was set already
  ProcessResult r = Oxdbf({"dump", table, "--csv"});
  const auto rows = ParseCsv(r.out);
  ASSERT_GT(rows.size(), 1u);
  const auto cell = [&rows](const std::string& name) {
    const auto at = std::find(rows[0].begin(), rows[0].end(), name);
    return at == rows[0].end() ? std::string("?") : rows[1][static_cast<std::size_t>(at - rows[0].begin())];
  };
  EXPECT_EQ(cell("VARCHAR"), "ab");
  EXPECT_EQ(cell("VARBINARY"), "00ff");
  // Too long, or not hex: refused, the file untouched.
  for (const char* value : {"VARCHAR=01234567890", "VARBINARY=0", "VARBINARY=zz", "VARBINARY=0011223344556677889900"}) {
    r = Oxdbf({"replace", table, "1", value});
    EXPECT_EQ(r.exit_status, 220) << value;
    EXPECT_EQ(ReadFileBytes(table), after) << value;
  }

  // An M field: a new memo in the FPT, its binary block number in the
  // field; dbfread reads the text, and the other memos stay.
  const std::string memo_table = Path("memo.dbf");
  const std::string dir = TestdataDir() + "/yortus-dbffile/";
  WriteFileBytes(memo_table, ReadFileBytes(dir + "vfp9_30_memo.dbf"));
  WriteFileBytes(Path("memo.fpt"), ReadFileBytes(dir + "vfp9_30_memo.fpt"));
  const std::string old_bytes = ReadFileBytes(memo_table);
  ASSERT_EQ(Oxdbf({"replace", memo_table, "3", "MEMO=Neu\nzwei"}).exit_status, 0);
  const std::string new_bytes = ReadFileBytes(memo_table);
  const std::size_t memo_at = Get16(old_bytes, 8) + 2 * Get16(old_bytes, 10) + FoxProFieldOffset(old_bytes, "MEMO");
  for (std::size_t i = 4; i < new_bytes.size(); ++i) {
    if (i < memo_at || i >= memo_at + 4) {
      ASSERT_EQ(new_bytes[i], old_bytes[i]) << i;
    }
  }
  EXPECT_GT(Get32(new_bytes, memo_at), Get32(old_bytes, memo_at));
  r = RunProcess({"/usr/bin/python3", "-c",
                  "import sys\nfrom dbfread import DBF\nprint(repr([r['MEMO'] for r in DBF(sys.argv[1])]))",
                  memo_table});
  ASSERT_EQ(r.exit_status, 0) << r.err;
  EXPECT_EQ(r.out,
            "['Memo of record 1. Which needs to be very long to be bigger than 64 bytes and take 2 memo blocks', "
            "'Neu\\r\\nzwei']\n");
}

// Binary numbers and date-times in expressions: Visual FoxPro's I and Y
// and level 7's I are numbers, T and @ date-times whose day DTOS and YEAR
// take; a null date-time is an empty date. Index keys are made of them the
// same way: a tag on currency orders by amount, one on DTOS(T) finds a day.
TEST_F(OxdbfInteropTest, FoxProNumbersAndDateTimesInExpressionsAndIndexKeys) {
  ORVEX_REQUIRE_TESTDATA();
  const std::string table = Path("payments.dbf");
  WriteFileBytes(table, ReadFileBytes(TestdataDir() + "/javadbf/fixtures/foxpro-xsource/payments.dbf"));
  auto eval = [&](const std::string& file, const std::string& recno, const std::string& expression) {
    ProcessResult r = Oxdbf({"eval", "--century", "--table", file, "--recno", recno, expression});
    EXPECT_EQ(r.exit_status, 0) << expression << ": " << r.err;
    return r.out.substr(r.out.find('\n') + 1);
  };
  EXPECT_EQ(eval(table, "2", "PAYMENTID + 1"), "3.00\n");
  EXPECT_EQ(eval(table, "2", "PAYMENTAMO * 2"), "994.00\n");
  EXPECT_EQ(eval(table, "2", "YEAR(PAYMENTDAT) + 1"), "1996.00\n");
  EXPECT_EQ(eval(table, "2", "DTOS(PAYMENTDAT)"), "\"19950123\"\n");
  EXPECT_EQ(eval(table, "2", "DTOS(CREDITCAR2)"), "\"        \"\n");  // null
  const std::string level7 = TestdataDir() + "/php-xbase/dBaseVII_";
  EXPECT_EQ(eval(level7 + "int.dbf", "3", "INT - 1"), "4999999.00\n");
  EXPECT_EQ(eval(level7 + "ts.dbf", "2", "DTOS(TS)"), "\"16010102\"\n");

  ASSERT_EQ(Oxdbf({"index", table, "AMT", "PAYMENTAMO"}).exit_status, 0);
  ASSERT_EQ(Oxdbf({"index", table, "DAY", "DTOS(PAYMENTDAT)+STR(PAYMENTID,5)"}).exit_status, 0);
  ProcessResult r = Oxdbf({"dump", table, "--order", "AMT", "--csv"});
  ASSERT_EQ(r.exit_status, 0) << r.err;
  std::vector<std::string> ids;
  for (const auto& row : ParseCsv(r.out)) ids.push_back(row[0]);
  EXPECT_EQ(ids, (std::vector<std::string>{"PAYMENTID", "2", "3", "1", "5", "4"}));
  r = Oxdbf({"find", table, "DAY", "19950123"});
  ASSERT_EQ(r.exit_status, 0) << r.err;
  EXPECT_EQ(r.out.rfind("2 ", 0), 0u) << r.out;  // record 2
}

// The round trip: on a copy of each Visual FoxPro table of the test data
// that has a record, oxdbf replace of one field (the first field, record by
// record, of a type it writes that holds a value there) changes that
// field's bytes, the _NullFlags bit of a V or Q field's length and the
// header's date of the last change, nothing else, and the dump shows the
// value given.
TEST_F(OxdbfInteropTest, ReplaceOnVisualFoxProTablesChangesOnlyThatField) {
  ORVEX_REQUIRE_TESTDATA();
  ProcessResult found = RunProcess({"/usr/bin/find", TestdataDir(), "-iname", "*.dbf", "-type", "f"});
  std::istringstream lines(found.out);
  int tables = 0, replaced = 0, unnamed = 0;
  for (std::string file; std::getline(lines, file);) {
    const std::string old_bytes = ReadFileBytes(file);
    if (old_bytes.size() < 32 || old_bytes[0] < 0x30 || old_bytes[0] > 0x32) continue;
    // No record to write, or a table the header rules refuse.
    if (Get32(old_bytes, 4) == 0 || !ExpectedRefusal(old_bytes).empty()) continue;
    SCOPED_TRACE(file);
    ++tables;
    const std::string table = Path("vfp" + std::to_string(tables) + ".dbf");
    WriteFileBytes(table, old_bytes);
    const std::size_t dot = file.rfind('.');
    for (const char* ext : {".fpt", ".FPT"}) {
      const std::string memo = file.substr(0, dot) + ext;
      if (std::filesystem::exists(memo)) WriteFileBytes(Path("vfp" + std::to_string(tables) + ext), ReadFileBytes(memo));
    }
    // Status 1: a memo file is missing, every other field was read.
    ProcessResult dump = Oxdbf({"--exclusive", "dump", table, "--json", "--with-deleted"});
    ASSERT_TRUE(dump.exit_status == 0 || dump.exit_status == 1) << dump.err;
    std::vector<std::string> records;
    std::istringstream dumped(dump.out);
    for (std::string line; std::getline(dumped, line);) records.push_back(line);
    ASSERT_EQ(records.size(), Get32(old_bytes, 4));
    // The fields in order: name, type, offset and length from the
    // descriptors.
    const std::size_t header = Get16(old_bytes, 8), record_length = Get16(old_bytes, 10);
    std::string name, value;
    bool variable = false;    // V or Q
    bool ascii_name = false;  // some field has an ASCII name
    std::size_t record = 0, offset = 1, length = 0, flags_at = 0, flags_length = 0;
    for (std::size_t d = 32; d + 32 <= header && old_bytes[d] != 0x0D; d += 32) {
      if (old_bytes[d + 11] == '0') {
        flags_at = Get32(old_bytes, d + 12);
        flags_length = static_cast<unsigned char>(old_bytes[d + 16]);
      }
    }
    for (std::size_t r = 0; r < records.size() && name.empty(); ++r) {
      offset = 1;
      for (std::size_t d = 32; d + 32 <= header && old_bytes[d] != 0x0D; d += 32) {
        std::string field = old_bytes.substr(d, std::min(old_bytes.find('\0', d), d + 11) - d);
        for (char& c : field) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        const char type = old_bytes[d + 11];
        length = static_cast<unsigned char>(old_bytes[d + 16]);
        if (type == 'C') length += 256u * static_cast<unsigned char>(old_bytes[d + 17]);
        const std::string values = "ITYBCNDVQ";
        // (Names given on the command line are UTF-8: ASCII names only.)
        const bool ascii = std::all_of(field.begin(), field.end(), [](char c) { return c > ' '; });
        ascii_name = ascii_name || ascii;
        const bool holds = ascii && records[r].find("\"" + field + "\":null") == std::string::npos;
        const bool decimals = (type == 'N' || type == 'F') && old_bytes[d + 17] != 0;
        if (length >= 2 && values.find(type) != std::string::npos && holds && !decimals) {
          name = field;
          record = r + 1;
          variable = type == 'V' || type == 'Q';
          value = type == 'I'   ? "-12345"
                  : type == 'Y' ? "12.3456"
                  : type == 'B' ? "0.1"
                  : type == 'T' ? "2001-02-03 04:05:06"
                  : type == 'D' ? "2001-02-03"
                  : type == 'C' ? "Zy"
                  : type == 'V' ? "Zy"
                  : type == 'Q' ? "5a79"
                  : records[r].find("\"" + field + "\":1,") == std::string::npos ? "1"
                                                                               : "2";
          break;
        }
        offset += length;
      }
    }
    if (name.empty()) {
      // Every field name is outside ASCII (javadbf's gbk.dbf): command-line
      // names reach only ASCII names of tables in code pages other than
      // Windows-1252.
      ASSERT_FALSE(ascii_name) << "no field to write";
      ++unnamed;
      continue;
    }
    // Exclusive, as the dump above: the record count is the header's (a
    // shared write would take the count the file's size gives).
    ProcessResult r = Oxdbf({"--exclusive", "replace", table, std::to_string(record), name + "=" + value});
    ASSERT_EQ(r.exit_status, 0) << name << ": " << r.err;
    const std::string new_bytes = ReadFileBytes(table);
    ASSERT_EQ(new_bytes.size(), old_bytes.size());
    const std::size_t at = header + (record - 1) * record_length;
    const std::size_t from = at + offset, to = from + length;
    for (std::size_t i = 4; i < new_bytes.size(); ++i) {
      // (_NullFlags: the length bit of a V or Q field may change.)
      const bool flags = variable && i >= at + flags_at && i < at + flags_at + flags_length;
      if ((i < from || i >= to) && !flags) {
        ASSERT_EQ(new_bytes[i], old_bytes[i]) << name << ": byte " << i;
      }
    }
    EXPECT_NE(new_bytes.substr(from, length), old_bytes.substr(from, length)) << name;
    dump = Oxdbf({"dump", table, "--csv", "--with-deleted"});
    const auto rows = ParseCsv(dump.out);
    ASSERT_GT(rows.size(), record);
    const auto column = std::find(rows[0].begin(), rows[0].end(), name);
    ASSERT_NE(column, rows[0].end());
    std::string shown = rows[record][static_cast<std::size_t>(column - rows[0].begin())];
    if (value.find('-', 1) != std::string::npos || value == "Zy" || value == "5a79") {
      EXPECT_EQ(shown, value) << name;  // dates, date-times, text, bytes
    } else {
      EXPECT_EQ(std::strtod(shown.c_str(), nullptr), std::strtod(value.c_str(), nullptr)) << name << " " << shown;
    }
    ++replaced;
  }
  EXPECT_EQ(replaced + unnamed, tables);
  EXPECT_LE(unnamed, 1);
  EXPECT_GE(replaced, 26);
}

// The Siemens table with a field of type "0" and length 0 opens, and its
// production index walks as Perl's XBase::Index walks it: the same record
// numbers in the same order; each ID finds its record.
TEST_F(OxdbfInteropTest, SiemensTableWithAnEmptyFieldWalksItsIndexAsPerlXBase) {
  ORVEX_REQUIRE_TESTDATA();
  const std::string dir = TestdataDir() + "/siemens-step7/expb-conn/";
  for (const char* name : {"VLTAB53.DBF", "VLTAB53.MDX"}) WriteFileBytes(Path(name), ReadFileBytes(dir + name));
  WriteFileBytes(Path("walk.pl"),
                 "use XBase::Index;\n"
                 "my $i = XBase::Index->new($ARGV[0], 'tag' => 'ID_TAG') or die XBase::Index->errstr;\n"
                 "$i->prepare_select;\n"
                 "while (my @entry = $i->fetch) { print \"$entry[1]\\n\"; }\n");
  ProcessResult perl = RunProcess({"/usr/bin/perl", Path("walk.pl"), Path("VLTAB53.MDX")});
  ASSERT_EQ(perl.exit_status, 0) << perl.err;
  ProcessResult ours = Oxdbf({"dump", Path("VLTAB53.DBF"), "--order", "ID_TAG"});
  ASSERT_EQ(ours.exit_status, 0) << ours.err;
  std::string walked;
  std::istringstream rows(ours.out);
  for (std::string row; std::getline(rows, row);) walked += std::to_string(std::atoi(row.c_str())) + "\n";
  EXPECT_EQ(walked, perl.out);
  EXPECT_EQ(perl.out.size(), 14u);  // seven records
  std::istringstream order(perl.out);
  int id = 1;
  for (std::string recno; std::getline(order, recno); ++id) {
    ProcessResult found = Oxdbf({"find", Path("VLTAB53.DBF"), "ID_TAG", std::to_string(id)});
    ASSERT_EQ(found.exit_status, 0) << found.err;
    EXPECT_EQ(std::atoi(found.out.c_str()), std::atoi(recno.c_str())) << "ID " << id;
  }
}

}  // namespace
}  // namespace orvex::test
