// Export of a table tab to CSV or JSON lines, in the forms of `oxdbf dump
// --csv` and `oxdbf dump --json` (the tool's own writer, tools/
// oxdbf_export.h): the same bytes for the same records.
//
// The records are those the tab shows, in its order: the active tag's (or
// natural) order, without the records the filter rejects. Deleted records
// are left out while the tab hides them; while it shows them they are
// exported with the first column "_deleted", as `--with-deleted` writes
// them.
//
// The table is read through a second work area opened read-only and shared
// (the table's file as the tool opens it, so that text comes out in the
// table's code page exactly as the tool writes it); the tab's dataset does
// not move.
#pragma once

#include <string>

namespace orvex {
class TOxDbf;
}

namespace orvex::view {

enum class ExportKind { kCsv, kJson };

// Writes the export to `file` (a name as the user gave it; an existing file
// is replaced). Answers the number of records written. Failures (the file
// cannot be written, a table read fails) go through the library's
// reporting path (101 for the output file); a memo that cannot be read is
// left empty and counted in *damaged.
long ExportTable(TOxDbf& table, ExportKind kind, const std::string& file, int* damaged);

}  // namespace orvex::view
