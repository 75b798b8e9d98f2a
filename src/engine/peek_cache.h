// Direct field access in the table file: Peek reads one field of any record
// and Poke writes one, neither moving the current record. Peek may serve its
// reads from a block cache of consecutive raw records (one per process), which
// is what makes the sequential search fast.
//
// Both work on the bytes as stored in the file: no code-page conversion, no
// translators. Field number 0 stands for the one deletion-flag byte. Virtual
// areas have no file and refuse both (error 1100).
//
// The cache holds whole records of one work area, named by its alias. It is
// released when that area closes and when Peek is used on another area, and
// it is kept current with this process's own writes: Replace, DeleteRec and
// RecallRec tell it through RecordCache.record_written (installed when a cache
// is first built), Poke patches it. Changes other programs make to a shared
// table are not seen until the cache is reloaded.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/work_area.h"

namespace orvex {

// Largest cache in bytes; 0 (the default) means no cache: every Peek reads the
// file. A cache never exceeds 65520 bytes.
extern std::uint16_t PeekCacheLimit;

// The process's cache of raw records.
struct PeekCacheState {
  std::vector<char> bytes;           // allocated size: a whole number of records
  std::optional<std::string> owner;  // alias whose records are held; none after a failed load
  std::int32_t first = 0;            // number of the first cached record
  std::int32_t count = 0;            // records held (fewer than fit near the end of a file)
};
extern PeekCacheState PeekCache;

// Drops the cache (buffer and owner).
void ReleasePeekCache();
// Drops the cache and puts PeekCacheLimit back to 0 (tests and start-up).
void ResetPeekCache();

// Peek(field, record): the stored bytes of field `field` (0: the deletion
// flag) of record `record` of the current area, as a string of the field's
// length. An empty text, without error, for a record number <= 0 or above the
// record count or a field number outside 0..field count. Errors: 215 without
// a table; 1100 "Search-Befehl bei virtuellen Dateien nicht erlaubt. [Peek]"
// for a virtual area; a failed read (I/O error, or 100 when fewer bytes than
// needed were read) "DBF: <file> [Peek(<field>,<record>)]" and an empty text.
// A failed cache load leaves the buffer allocated without an owner, so that
// the next Peek loads again. With a PeekCacheLimit smaller than one record
// the field is read directly from the file.
std::string Peek(int field, std::int32_t record);

// The same read for a given area with numbers already checked (field 0..field
// count, record 1..record count; the area not virtual): copies the field into
// `out`, reusing its storage. False after reporting a read failure as Peek
// does.
bool PeekInto(WorkArea& area, int field, std::int32_t record, std::string& out);

// The cached records from `record` on, for scans that walk them in place:
// `bytes` points at the record as stored in the cache and `count` records
// follow there one after another (at least 1). The cache is loaded as Peek
// loads it (`field` only names the call in messages). `bytes` is null when no
// cache is in use (PeekCacheLimit 0 or below one record: read with PeekInto)
// and, with `failed` set, after a reported load failure. The bytes stay valid
// until the next Peek, Poke, write or close.
struct CachedRecords {
  const char* bytes = nullptr;
  std::int32_t count = 0;
  bool failed = false;
};
CachedRecords PeekCachedRecords(WorkArea& area, int field, std::int32_t record);

// Poke(text, field, record): writes the first min(text length, field length)
// bytes of `text` at the field's place (field 0: the deletion-flag byte) of
// record `record` in the file of the current area, and into the cached copy
// when the cache holds that record. Neither converts code pages nor touches
// the current record, the header, the status or the indexes. With the call
// text "[Poke(<text>,<field>,<record>)]" (cut to 100 characters), errors are:
// 215 without a table; 1100 "Search-Befehl bei virtuellen Dateien nicht
// erlaubt." + call text for a virtual area; 1200 "Datensatz nicht gesperrt "
// + call text unless NetworkLocking is off, the table is exclusive or locked
// as a whole, or (without an append lock) the record is in the lock list; a
// failed write its error number (101 for a short one) with the call text.
// Numbers outside the ranges of Peek do nothing.
void Poke(const std::string& text, int field, std::int32_t record);

}  // namespace orvex
