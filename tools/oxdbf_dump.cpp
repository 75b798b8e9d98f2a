// oxdbf dump: a table's records as text, CSV or JSON lines, without losing
// a character or telling a blank field from a zero.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "common/errors.h"
#include "engine/field_values.h"
#include "engine/navigation.h"
#include "engine/record_io.h"
#include "engine/work_area.h"
#include "oxdbf.h"
#include "oxdbf_export.h"
#include "oxdbf_index.h"
#include "platform/os/files.h"

namespace orvex::tool {
namespace {

// A file shorter than its header says is read as far as it goes.
void WarnIfShort(const std::string& file) {
  const WorkArea& area = *CurrentWorkArea();
  if (area.dialect == DbfDialect::kDbase2 || area.record_length == 0) return;
  std::uint32_t said = 0;
  std::memcpy(&said, area.header.data() + 4, 4);
  std::error_code error;
  auto size = std::filesystem::file_size(os::ResolvePath(area.file_name), error);
  if (error || size < static_cast<std::uintmax_t>(area.header_length)) return;
  std::uintmax_t held =
      (size - static_cast<std::uintmax_t>(area.header_length)) / area.record_length;
  if (held < said) {
    std::fprintf(stderr,
                 "oxdbf: warning: %s is shorter than its header says: %u records in the header, "
                 "%ju in the file\n",
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
  if (area.read_translator || area.dialect == DbfDialect::kDbase2 || area.record_length == 0)
    return false;
  const std::int32_t count = RecCount();
  const std::size_t length = static_cast<std::size_t>(area.record_length);
  const std::int32_t per_block =
      static_cast<std::int32_t>(std::max<std::size_t>(1, (1 << 20) / length));
  std::vector<char> block(length * static_cast<std::size_t>(per_block));
  for (std::int32_t first = 1; first <= count; first += per_block) {
    const std::int32_t wanted = std::min(per_block, count - first + 1);
    std::size_t got = 0;
    const std::int64_t at =
        area.header_length + static_cast<std::int64_t>(first - 1) * area.record_length;
    int error =
        os::ReadAt(area.file, at, block.data(), length * static_cast<std::size_t>(wanted), &got);
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
  if (call.HasFlag("--csv") && call.HasFlag("--json"))
    UsageError("--csv and --json exclude each other");
  if (with_deleted && call.HasFlag("--hide-deleted"))
    UsageError("--with-deleted and --hide-deleted exclude each other");
  ExportOptions options;
  options.format = call.HasFlag("--csv")    ? ExportFormat::kCsv
                   : call.HasFlag("--json") ? ExportFormat::kJson
                                            : ExportFormat::kText;
  options.with_deleted = with_deleted;
  options.crlf = !call.HasFlag("--lf");
  // Text dumps show every record with its flag; exports leave deleted ones
  // out unless asked for them.
  HideDeleted =
      call.HasFlag("--hide-deleted") || (options.format != ExportFormat::kText && !with_deleted);
  OpenTable(call, call.args[0], true);
  WarnIfShort(call.args[0]);
  const std::string order = call.FlagValue("--order");
  if (!order.empty()) UseOrder(order);
  RecordExport out(options, stdout);
  auto write_record = [&out](std::int32_t recno, const char* record) { out.Record(recno, record); };
  // A snapshot reads in natural order only.
  if (!order.empty() || !ReadSnapshot(write_record)) {
    GoTop();
    while (!dEOF() && DbfErrorNo == 0) {
      write_record(RecNo(), StoredRecord());
      SKIP(1);
    }
  }
  out.Flush();
  const int damaged = out.Damaged();
  if (damaged > 0) {
    std::fprintf(stderr, "oxdbf: warning: %d field%s could not be read; the export is incomplete\n",
                 damaged, damaged == 1 ? "" : "s");
    return 1;
  }
  return 0;
}

SubcommandRegistration dump{
    {"dump",
     "FILE [--order TAG] [--csv [--lf] | --json] [--with-deleted | --hide-deleted]",
     {"--order=", "--hide-deleted", "--with-deleted", "--csv", "--json", "--lf"},
     Dump,
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
