// oxdbf dump: a table's records as text, CSV or JSON lines, without losing
// a character or telling a blank field from a zero.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "common/errors.h"
#include "engine/field_values.h"
#include "engine/navigation.h"
#include "engine/record_io.h"
#include "engine/work_area.h"
#include "oxdbf.h"
#include "oxdbf_index.h"
#include "oxdbf_memo.h"
#include "platform/os/codepage.h"
#include "platform/os/display_text.h"
#include "platform/os/files.h"

namespace orvex::tool {
namespace {

enum class Format { kText, kCsv, kJson };

// The output, gathered in a buffer of 1 MiB and handed to stdout in whole
// buffers. Speed: appending is a bounds check and a memcpy into memory that
// stays put, with one write call per megabyte of output.
class Output {
 public:
  Output() : buffer_(kSize) {}
  ~Output() { Flush(); }
  void Add(std::string_view text) {
    if (text.size() > kSize - used_) {
      Flush();
      if (text.size() > kSize) {  // a memo larger than the buffer
        std::fwrite(text.data(), 1, text.size(), stdout);
        return;
      }
    }
    std::memcpy(buffer_.data() + used_, text.data(), text.size());
    used_ += text.size();
  }
  void Add(char c) {
    if (used_ == kSize) Flush();
    buffer_[used_++] = c;
  }
  void Flush() {
    if (used_ > 0) std::fwrite(buffer_.data(), 1, used_, stdout);
    used_ = 0;
  }

 private:
  static constexpr std::size_t kSize = std::size_t{1} << 20;
  std::vector<char> buffer_;
  std::size_t used_ = 0;
};

// The bytes that make a CSV cell need quotes, as a table indexed by byte:
// one look-up per byte instead of a search for each of the four.
constexpr std::array<bool, 256> kQuoted = [] {
  std::array<bool, 256> quoted{};
  for (unsigned char c : {',', '"', '\r', '\n'}) quoted[c] = true;
  return quoted;
}();

// One CSV cell: quoted when it holds a comma, a quote or a line break.
void AddCsvCell(Output& out, std::string_view text) {
  if (std::none_of(text.begin(), text.end(), [](char c) { return kQuoted[static_cast<unsigned char>(c)]; })) {
    return out.Add(text);
  }
  out.Add('"');
  for (char c : text) {
    if (c == '"') out.Add('"');
    out.Add(c);
  }
  out.Add('"');
}

void AddJsonString(Output& out, std::string_view text) {
  out.Add('"');
  for (unsigned char c : text) {
    if (c == '"' || c == '\\') {
      out.Add('\\');
      out.Add(static_cast<char>(c));
    } else if (c == '\n') {
      out.Add("\\n");
    } else if (c < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
      out.Add(escaped);
    } else {
      out.Add(static_cast<char>(c));
    }
  }
  out.Add('"');
}

// Stored digits ("-.5", "+007", "3.") as a JSON number ("-0.5", "7", "3");
// "" when they are no number (an overflow's asterisks, say).
std::string JsonNumber(const std::string& digits) {
  std::size_t i = 0;
  std::string sign;
  if (i < digits.size() && (digits[i] == '+' || digits[i] == '-')) sign = digits[i++] == '-' ? "-" : "";
  std::size_t point = digits.find('.', i);
  std::string whole = digits.substr(i, point == std::string::npos ? std::string::npos : point - i);
  std::string fraction = point == std::string::npos ? "" : digits.substr(point + 1);
  auto all_digits = [](const std::string& s) { return s.find_first_not_of("0123456789") == std::string::npos; };
  if ((whole.empty() && fraction.empty()) || !all_digits(whole) || !all_digits(fraction)) return "";
  whole.erase(0, std::min(whole.find_first_not_of('0'), whole.size()));
  if (whole.empty()) whole = "0";
  return sign + whole + (fraction.empty() ? "" : "." + fraction);
}

// The field as exported into `text` (its storage reused): dates as
// YYYY-MM-DD (other stored texts as they are), everything else as
// FieldTextIn gives it. False when a memo could not be read (the text is
// then empty). *null tells that the field holds no value.
bool ExportText(int n, char type, const char* record, std::string* text, bool* null) {
  *null = false;
  if (type == 'M') {
    // A memo field _NullFlags marks null holds no memo to read.
    const WorkArea& area = *CurrentWorkArea();
    const FieldDesc& f = area.fields[static_cast<std::size_t>(n - 1)];
    *null = FieldIsNull(area, f, record);
    if (*null) {
      text->clear();
      return true;
    }
    return TryMemoFieldText(n, text);
  }
  *null = !FieldTextIn(n, record, text);
  if (type == 'D') ShowIsoDate(text);
  return true;
}

void AddJsonValue(Output& out, const FieldDesc& field, const std::string& text, bool null) {
  const char type = field.type;
  if (null) return out.Add("null");
  if (field.raw && !RawValueIsNumber(field)) return AddJsonString(out, text);
  if (type == 'C' || type == 'M') return AddJsonString(out, text);
  if (text.empty()) return out.Add("null");
  if (type == 'L') return out.Add(text == "T" ? "true" : "false");
  std::string number = type == 'N' || type == 'F' || field.raw ? JsonNumber(text) : "";
  if (number.empty()) return AddJsonString(out, text);
  out.Add(number);
}

// A file shorter than its header says is read as far as it goes.
void WarnIfShort(const std::string& file) {
  const WorkArea& area = *CurrentWorkArea();
  if (area.dialect == DbfDialect::kDbase2 || area.record_length == 0) return;
  std::uint32_t said = 0;
  std::memcpy(&said, area.header.data() + 4, 4);
  std::error_code error;
  auto size = std::filesystem::file_size(os::ResolvePath(area.file_name), error);
  if (error || size < static_cast<std::uintmax_t>(area.header_length)) return;
  std::uintmax_t held = (size - static_cast<std::uintmax_t>(area.header_length)) / area.record_length;
  if (held < said) {
    std::fprintf(stderr, "oxdbf: warning: %s is shorter than its header says: %u records in the header, %ju in the file\n",
                 file.c_str(), said, held);
  }
}

// A table that is only read and has no memo fields is read as a snapshot:
// the record count taken once, the records read straight from the file in
// large blocks and handed to `each` with their numbers, deleted ones left
// out when HideDeleted says so. This spares the engine's per-record checks
// of the file size and its one read per record, which are what a shared
// table needs while others write, but not what a one-pass export needs.
// False (nothing read) for tables the engine must read itself: memo fields,
// a read translator, dBASE II.
template <typename Each>
bool ReadSnapshot(const Each& each) {
  WorkArea& area = *CurrentWorkArea();
  for (const FieldDesc& f : area.fields) {
    if (f.type == 'M' || HoldsMemoBlock(area, f)) return false;
  }
  if (area.read_translator || area.dialect == DbfDialect::kDbase2 || area.record_length == 0) return false;
  const std::int32_t count = RecCount();
  const std::size_t length = static_cast<std::size_t>(area.record_length);
  const std::int32_t per_block = static_cast<std::int32_t>(std::max<std::size_t>(1, (1 << 20) / length));
  std::vector<char> block(length * static_cast<std::size_t>(per_block));
  for (std::int32_t first = 1; first <= count; first += per_block) {
    const std::int32_t wanted = std::min(per_block, count - first + 1);
    std::size_t got = 0;
    const std::int64_t at = area.header_length + static_cast<std::int64_t>(first - 1) * area.record_length;
    int error = os::ReadAt(area.file, at, block.data(), length * static_cast<std::size_t>(wanted), &got);
    if (error != 0) Fail(error, "Lesefehler in " + area.file_name + " [oxdbf dump]");
    const std::int32_t records = static_cast<std::int32_t>(got / length);
    for (std::int32_t i = 0; i < records; ++i) {
      const char* record = block.data() + static_cast<std::size_t>(i) * length;
      if (HideDeleted && record[0] == '*') continue;
      each(first + i, record);
    }
    if (records < wanted) break;  // the file ends early (warned about)
  }
  return true;
}

int Dump(const Invocation& call) {
  ExpectArguments(call, 1, 1);
  const bool with_deleted = call.HasFlag("--with-deleted");
  if (call.HasFlag("--csv") && call.HasFlag("--json")) UsageError("--csv and --json exclude each other");
  if (with_deleted && call.HasFlag("--hide-deleted")) UsageError("--with-deleted and --hide-deleted exclude each other");
  const Format format = call.HasFlag("--csv") ? Format::kCsv : call.HasFlag("--json") ? Format::kJson : Format::kText;
  const std::string_view row_end = format == Format::kCsv && !call.HasFlag("--lf") ? "\r\n" : "\n";
  // Text dumps show every record with its flag; exports leave deleted ones
  // out unless asked for them.
  HideDeleted = call.HasFlag("--hide-deleted") || (format != Format::kText && !with_deleted);
  OpenTable(call, call.args[0], true);
  WarnIfShort(call.args[0]);
  const std::string order = call.FlagValue("--order");
  if (!order.empty()) UseOrder(order);
  const int fields = FieldCount();
  std::vector<std::string> names;
  std::vector<char> types;  // looked up once, not once per value
  for (int i = 1; i <= fields; ++i) {
    names.push_back(StoredToUtf8(Field(i)));
    const FieldDesc& f = CurrentWorkArea()->fields[static_cast<std::size_t>(i - 1)];
    // Raw fields other than Visual FoxPro's memo fields never take the memo
    // path.
    types.push_back(HoldsMemoBlock(*CurrentWorkArea(), f) ? 'M' : f.raw ? 'R' : FieldType(i));
  }

  Output out;
  if (format == Format::kCsv) {
    if (with_deleted) out.Add("_deleted");
    for (int i = 1; i <= fields; ++i) {
      if (i > 1 || with_deleted) out.Add(',');
      AddCsvCell(out, names[static_cast<std::size_t>(i - 1)]);
    }
    out.Add(row_end);
  }
  const int width = static_cast<int>(std::to_string(RecCount()).size());
  int damaged = 0;
  std::string text;
  bool null = false;
  auto write_record = [&](std::int32_t recno, const char* record) {
    const bool deleted = record[0] == '*';
    if (format == Format::kText) {
      char head[32];
      std::snprintf(head, sizeof head, "%*d %c", width, recno, deleted ? '*' : ' ');
      out.Add(head);
    } else if (format == Format::kCsv && with_deleted) {
      out.Add(deleted ? "T," : "F,");
    } else if (format == Format::kJson) {
      out.Add(with_deleted ? (deleted ? "{\"_deleted\":true," : "{\"_deleted\":false,") : "{");
    }
    for (int i = 1; i <= fields; ++i) {
      const char type = types[static_cast<std::size_t>(i - 1)];
      if (!ExportText(i, type, record, &text, &null)) {
        out.Flush();
        std::fflush(stdout);
        std::fprintf(stderr, "oxdbf: warning: record %d, field %s left empty: %s (%s)\n", recno,
                     names[static_cast<std::size_t>(i - 1)].c_str(), os::AnsiToUtf8(ErrorText(DbfErrorNo)).c_str(),
                     os::DisplayText(TakeErrorDetail()).c_str());
        DbfErrorNo = 0;
        ++damaged;
      }
      if (format == Format::kText) {
        out.Add(i > 1 ? " | " : " ");
        out.Add(text);
      } else if (format == Format::kCsv) {
        if (i > 1) out.Add(',');
        AddCsvCell(out, text);
      } else {
        if (i > 1) out.Add(',');
        AddJsonString(out, names[static_cast<std::size_t>(i - 1)]);
        out.Add(':');
        AddJsonValue(out, CurrentWorkArea()->fields[static_cast<std::size_t>(i - 1)], text, null);
      }
    }
    if (format == Format::kJson) out.Add('}');
    out.Add(row_end);
  };
  // A snapshot reads in natural order only.
  if (!order.empty() || !ReadSnapshot(write_record)) {
    GoTop();
    while (!dEOF() && DbfErrorNo == 0) {
      write_record(RecNo(), StoredRecord());
      SKIP(1);
    }
  }
  out.Flush();
  if (damaged > 0) {
    std::fprintf(stderr, "oxdbf: warning: %d field%s could not be read; the export is incomplete\n", damaged,
                 damaged == 1 ? "" : "s");
    return 1;
  }
  return 0;
}

SubcommandRegistration dump{
    {"dump", "FILE [--order TAG] [--csv [--lf] | --json] [--with-deleted | --hide-deleted]",
     {"--order=", "--hide-deleted", "--with-deleted", "--csv", "--json", "--lf"}, Dump,
     "Writes the records of FILE to stdout in natural order, or in the key order\n"
     "of a tag of its production index with --order TAG.\n"
     "  (no format)      one line per record: number, '*' when deleted, the fields\n"
     "                   separated by ' | '; deleted records included\n"
     "  --csv            RFC 4180 CSV with a header line of the field names as stored;\n"
     "                   rows end with CR LF, line ends inside memo cells are LF\n"
     "  --lf             rows end with LF instead of CR LF\n"
     "  --json           one JSON object per line; numbers as numbers, logicals as\n"
     "                   true/false, blank N/F/L/D fields as null\n"
     "  --with-deleted   include deleted records, with a first column '_deleted'\n"
     "                   (T or F; in JSON true or false); CSV and JSON leave them out\n"
     "                   otherwise\n"
     "  --hide-deleted   leave deleted records out of the plain listing\n"
     "Values: C as stored without trailing blanks; N and F the stored digits;\n"
     "L T or F; D as YYYY-MM-DD; M the whole memo text. Blank fields are empty\n"
     "cells, never 0 or F. A memo that cannot be read leaves its cell empty with a\n"
     "warning on stderr, the export goes on and ends with exit status 1.\n"
     "Examples:\n"
     "  oxdbf dump films.dbf --csv > films.csv\n"
     "  oxdbf dump films.dbf --json --with-deleted | jq .TITLE\n"}};

}  // namespace
}  // namespace orvex::tool
