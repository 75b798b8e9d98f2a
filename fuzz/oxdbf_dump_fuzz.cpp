// Fuzz target of oxdbf's writers: a table of arbitrary bytes (and its memo
// file) dumped as CSV, as JSON lines and as the plain listing by the tool's
// own command. The tool may stop with a library error (raised here as
// EOrvexError, where the program would exit); whatever it writes when it
// finishes must be well-formed: valid UTF-8, CSV rows of as many cells as the
// header line, JSON lines that are objects with one member per field and
// values of JSON's grammar. Nothing may crash.
//
// Input: the table's bytes, then optionally the marker kMemoMarker and the
// bytes of its memo file (written as both .dbt and .fpt).
#include <unistd.h>

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "common/errors.h"
#include "engine/tables.h"
#include "engine/work_area.h"
#include "fuzz_support.h"
#include "oxdbf.h"

namespace {

using namespace orvex;

constexpr std::string_view kMemoMarker = "\n==memo==\n";

const std::string& Directory() { return fuzz::ScratchFolder("oxdbf_dump_fuzz"); }

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), {});
}

void Require(bool ok) {
  if (!ok) std::abort();
}

// True when `text` is well-formed UTF-8 (no overlong forms, no surrogates).
bool ValidUtf8(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    const auto c = static_cast<unsigned char>(text[i]);
    int more = c < 0x80 ? 0 : (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : -1;
    if (more < 0 || (more == 1 && c < 0xC2) ||
        i + static_cast<std::size_t>(more) >= text.size() + (more == 0)) {
      return false;
    }
    std::uint32_t code = more == 0 ? c : c & (0x3F >> more);
    for (int k = 1; k <= more; ++k) {
      const auto next = static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]);
      if ((next & 0xC0) != 0x80) return false;
      code = code << 6 | (next & 0x3F);
    }
    if ((more == 2 && (code < 0x800 || (code >= 0xD800 && code <= 0xDFFF))) ||
        (more == 3 && (code < 0x10000 || code > 0x10FFFF))) {
      return false;
    }
    i += static_cast<std::size_t>(more) + 1;
  }
  return true;
}

// The number of cells of each CSV row (rows end with CR LF; cells with a
// comma, quote or line break are quoted, quotes doubled); empty when the
// text is no such CSV.
std::vector<int> CsvRowWidths(std::string_view csv) {
  std::vector<int> widths;
  std::size_t i = 0;
  int cells = 1;
  while (i < csv.size()) {
    if (csv[i] == '"') {
      for (++i;; ++i) {
        if (i >= csv.size()) return {};
        if (csv[i] == '"') {
          if (i + 1 < csv.size() && csv[i + 1] == '"') {
            ++i;
          } else {
            break;
          }
        }
      }
      ++i;
      if (i < csv.size() && csv[i] != ',' && csv[i] != '\r') return {};
      continue;
    }
    if (csv[i] == ',') {
      ++cells;
    } else if (csv[i] == '\r') {
      if (i + 1 >= csv.size() || csv[i + 1] != '\n') return {};
      widths.push_back(cells);
      cells = 1;
      ++i;
    } else if (csv[i] == '\n') {
      return {};
    }
    ++i;
  }
  if (cells != 1) return {};  // the last row lacks its CR LF
  return widths;
}

// A JSON value of a dumped field at text[*i]: a string, a number, true,
// false or null. Advances *i past it; false when it is none of them.
bool JsonValue(std::string_view text, std::size_t* i) {
  std::size_t& p = *i;
  if (p >= text.size()) return false;
  if (text[p] == '"') {
    for (++p; p < text.size() && text[p] != '"'; ++p) {
      const auto c = static_cast<unsigned char>(text[p]);
      if (c < 0x20) return false;
      if (c != '\\') continue;
      if (++p >= text.size()) return false;
      if (text[p] == 'u') {
        if (p + 4 >= text.size()) return false;
        for (int k = 1; k <= 4; ++k) {
          if (!std::isxdigit(static_cast<unsigned char>(text[p + static_cast<std::size_t>(k)])))
            return false;
        }
        p += 4;
      } else if (std::string_view("\"\\/bfnrt").find(text[p]) == std::string_view::npos) {
        return false;
      }
    }
    if (p >= text.size()) return false;
    ++p;
    return true;
  }
  for (std::string_view word : {"true", "false", "null"}) {
    if (text.substr(p, word.size()) == word) {
      p += word.size();
      return true;
    }
  }
  // -?(0|[1-9][0-9]*)(.[0-9]+)?
  if (text[p] == '-') ++p;
  auto digits = [&] {
    std::size_t start = p;
    while (p < text.size() && text[p] >= '0' && text[p] <= '9') ++p;
    return p - start;
  };
  const std::size_t start = p;
  const std::size_t whole = digits();
  if (whole == 0 || (whole > 1 && text[start] == '0')) return false;
  if (p < text.size() && text[p] == '.') {
    ++p;
    if (digits() == 0) return false;
  }
  return true;
}

// The members of a JSON line {"name":value,...}; -1 when it is no such object.
int JsonMembers(std::string_view line) {
  std::size_t p = 0;
  if (line.empty() || line[p++] != '{') return -1;
  int members = 0;
  if (p < line.size() && line[p] == '}') return p + 1 == line.size() ? 0 : -1;
  while (true) {
    if (p >= line.size() || line[p] != '"' || !JsonValue(line, &p)) return -1;
    if (p >= line.size() || line[p++] != ':' || !JsonValue(line, &p)) return -1;
    ++members;
    if (p >= line.size()) return -1;
    if (line[p] == '}') return p + 1 == line.size() ? members : -1;
    if (line[p++] != ',') return -1;
  }
}

// Runs `oxdbf dump TABLE <options>` with stdout into a file; the output, or
// false when the tool stopped with an error.
bool Dump(const std::string& table, std::vector<std::string> options, std::string* output) {
  const std::string out_path = Directory() + "/out";
  if (std::freopen(out_path.c_str(), "wb", stdout) == nullptr) std::abort();
  std::vector<std::string> args = {"oxdbf", "dump", table};
  args.insert(args.end(), options.begin(), options.end());
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  bool finished = true;
  try {
    tool::Run(static_cast<int>(args.size()), argv.data());
  } catch (const EOrvexError&) {
    finished = false;
  }
  std::fflush(stdout);
  const bool auto_report = SetAutoReport(false);
  CloseAllAreas();
  SetAutoReport(auto_report);
  DbfErrorNo = 0;
  *output = ReadFile(out_path);
  return finished;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const bool installed = (SetRaiseOnError(true), true);
  (void)installed;
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::size_t marker = input.find(kMemoMarker);
  const std::string table = Directory() + "/fuzz.dbf";
  fuzz::WriteFile(table, input.substr(0, marker));
  const std::string_view memo = marker == std::string_view::npos
                                    ? std::string_view()
                                    : input.substr(marker + kMemoMarker.size());
  fuzz::WriteFile(Directory() + "/fuzz.dbt", memo);
  fuzz::WriteFile(Directory() + "/fuzz.fpt", memo);

  std::string csv, json, text;
  const bool csv_done = Dump(table, {"--csv", "--with-deleted"}, &csv);
  const bool json_done = Dump(table, {"--json"}, &json);
  Dump(table, {}, &text);
  if (csv_done) {
    Require(ValidUtf8(csv));
    const std::vector<int> widths = CsvRowWidths(csv);
    Require(!widths.empty());
    for (int w : widths) Require(w == widths[0]);
    if (json_done) {
      Require(ValidUtf8(json));
      std::size_t start = 0;
      while (start < json.size()) {
        std::size_t end = json.find('\n', start);
        Require(end != std::string::npos);
        // One member per field: the CSV header has the _deleted column more.
        Require(JsonMembers(std::string_view(json).substr(start, end - start)) == widths[0] - 1);
        start = end + 1;
      }
    }
  }
  return 0;
}
