// The DBF table file itself: reading and checking the header and field
// descriptors of the three dialects (dBASE II, dBASE III/IV, level 7),
// creating a new table, the header rewrite and closing.
//
// Open failures report 210 (not a dBASE file; also when the header length
// cuts the field descriptors short or the record length is not 1 + the sum
// of the field lengths, the detail naming which), 211 (field type not
// allowed), 222 (no field), 100 (short descriptor read) or the platform's I/O
// error, each with its message, and leave the WorkArea without file or
// buffers. Bytes between the descriptors' terminator and the first record
// are allowed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/work_area.h"

namespace orvex {

// Opens area.file_name (default extension "DBF" added) with area.open_mode,
// reads and checks the header, fills the header copy, the field array and the
// record buffer, and stands on record 1 (or record 0 with BOF and EOF for an
// empty table). Errors: "Fehler beim Öffnen von <name> [USE/OpenDbf]" and the
// header errors. True on success.
bool OpenDbf(WorkArea& area);

// Creates a new table with the given fields (dBASE III/IV header, record
// count 0, today's date, one 0x1A after the header) and, when it has memo
// fields, its memo file through the memo store. The table is written under
// the name "<name>.$CR" and renamed to its own name (replacing an existing
// table) when it is complete: after its memo file was made for a new table,
// before it for one that replaces an existing table (whose old memo file
// then lies unused beside it until the new one replaces it). So a failure
// or a killed program leaves no half table, and no table without the memo
// file it needs; a failure removes the temporary file.
// Errors: 220 empty field name, 211 invalid definition, the I/O error of the
// create or write (32 while an existing table is in use). Does not open the
// table. True on success.
bool CreateDbf(const std::string& name, const std::vector<FieldDef>& fields);

// Writes back header and end-of-file marker when the status asks for it,
// closes the file and releases record buffer and field array. The virtual
// handler closes virtual areas. Errors: "Datei:  <name> [CloseDbf(<name>)]".
void CloseDbf(WorkArea& area);

// When the status is record written or records appended: rewrites the header
// with today's date and the record count, writes the 0x1A marker after the
// last record when records were appended, sets the status to clean and
// flushes the file.
void FlushHeader(WorkArea& area);

// Rewrites the header with today's date and the record count and, when
// records were appended, writes the 0x1A marker after the last one; no flush,
// the status stays. Returns 0 or the I/O error.
int WriteBackHeader(WorkArea& area);

// Asks the platform to write the file's buffers to the medium; failure:
// "Zurückschreiben (Flush) unmöglich für Datei [FlushFile]".
void FlushFile(os::Handle file);

// The table flags byte (header offset 28) of the current area: a query (false
// for dBASE II tables and without a table) and a setter storing 1 or 0 that
// reaches the file with the next header rewrite (ignored for dBASE II).
// Visual FoxPro's byte holds more: bit 0 names its own compound index
// (CDX), bit 1 the memo file. There the query answers bit 0 only while a
// production MDX lies beside the table, and the setter sets bit 0 and
// clears nothing (the bit may stand for the CDX too).
bool TableFlagSet();
void SetTableFlag(bool on);

// Marks the current table as having a production index now: sets the flag
// as SetTableFlag(true) does and writes byte 28 to the file at once, so
// that every program that opens the table from then on opens the index too
// and keeps it current. Nothing to do for dBASE II tables. False after
// reporting a write error ("Datei:  <table> [MarkProductionIndex]").
bool MarkProductionIndex();

// The "MM/DD/YY" text of a header date (year byte modulo 100).
std::string LastUpdateText(int year_byte, int month, int day);

}  // namespace orvex
