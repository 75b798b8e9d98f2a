// Record I/O of the current table: reading and writing records in the file,
// the deletion-flag write, and the record-changing commands Replace, Append,
// DeleteRec, RecallRec and ClearRecord.
//
// Reads of areas that nobody else can change (opened with any share mode but
// deny-none: exclusively, or read-only without sharing) are served through
// the area's record cache (record_cache.h); shared areas read the file on
// every call so that other programs' changes are seen, through a shared
// mapping of the file (mapped_reads.h): the same bytes as a read call, at
// the cost of a copy. Writes of this process keep the cache current.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/work_area.h"

namespace orvex {

// Reads record n (1..record count) into the record buffer, converted for
// reading (translator, OEM -> ANSI), and makes it current with EOF and BOF
// cleared. Errors: 212 for n out of range (nothing changes), the I/O error or
// 213 for a short read, after which no record is current (the record number
// is the one behind the last and EOF is set, so that no write can land on
// another record with what the buffer holds). Does not unpack. True on
// success.
//
// `read_form`, when given, receives where the record's bytes in read form
// are best read until the area's next read or write: the record buffer, or
// the same bytes in a cached block when the record needs no read
// conversion (reading them there, rather than the copy just made, spares the
// processor a wait on that copy).
bool GetDbfRecord(WorkArea& area, std::int32_t n, const char** read_form = nullptr);

// Fields whose stored bytes a write keeps: `unchanged` per field (see
// UnchangedFields), `stored` the record as it stands in the file.
struct KeptFields {
  const char* stored = nullptr;
  std::vector<bool> unchanged;
};

// Writes the record buffer as record n; n above the record count appends it
// as record count + 1. Fields marked in `kept` are written with their stored
// bytes instead. Status, FlushEachWrite and record cache as described in the
// file comment. True on success.
bool PutDbfRecord(WorkArea& area, std::int32_t n, const KeptFields* kept = nullptr);

// Reads record n (1..record count) as it stands in the file, without read
// conversion, into `stored`. Errors as GetDbfRecord; true on success.
bool ReadStoredRecord(WorkArea& area, std::int32_t n, std::vector<char>* stored);

// Writes only the deletion-flag byte of the record buffer as record n (same
// append and status rules). True on success.
bool WriteDeletionFlag(WorkArea& area, std::int32_t n);

// Drops the area's record cache and its mapping of the file (after outside
// writes into the file, a reopen, a close).
void InvalidateReadAhead(WorkArea& area);

// Fills the record buffer with blanks (for a virtual area, which has no
// fields, the caller's buffer with zero bytes) and unpacks it: ClearRecord
// for the current area, BlankRecord for a given one.
void ClearRecord();
void BlankRecord(WorkArea& area);

// Writes the unpacked buffer into the current record (needs exclusive use, a
// table lock or a lock on the record: error 1200). 212 on an empty table or
// at EOF.
void Replace();

// Appends the unpacked buffer as a new record (shared tables need ALock: error
// 5).
void Append();

// Set / clear the deletion flag of the current record (needs exclusive use, a
// table lock or a record lock: error 1200; 1103 at EOF).
void DeleteRec();
void RecallRec();

// Record count (refreshed from the file size for shared tables), current
// record number and record length; 0 without a table.
std::int32_t RecCount();
std::int32_t RecNo();
int RecSize();

}  // namespace orvex
