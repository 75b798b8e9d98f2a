// Work areas: the numbered slots that hold one open table each, the record of
// an open table (WorkArea), the engine's process-wide options, area selection
// and the queries on the current area's field list.
//
// The engine is a command interface in the manner of the dBASE language: the
// caller selects an area with Select and then issues commands that act on the
// current area. Slots 1-33 are selectable; 34 and 35 are reserved for the
// library's own use and are closed only at shut-down. All of this state is
// process-wide and unguarded: the library runs on one thread. Every command
// that needs an open table reports error 215 (RequireTable) when the current
// slot is empty and returns a neutral result.
//
// Text inside the engine is Windows-1252 bytes; tables hold code page 850
// unless they are declared ANSI (AnsiTables).
#pragma once

#include <array>
#include <bitset>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "engine/record_cache.h"
#include "platform/os/files.h"
#include "platform/os/mapped_reads.h"

namespace orvex {

// A compiled dBASE expression; the expression engine defines it and the
// engine only stores and passes pointers to it (see entry_points.h).
struct CompiledExpr;

inline constexpr int kWorkAreaSlots = 35;     // slots 1..35
inline constexpr int kSelectableAreas = 33;   // slots 1..33
inline constexpr int kMaxFields = 255;
inline constexpr int kMaxAliasLength = 64;
inline constexpr int kMaxFieldNameLength = 10;

// One field of the open table, in record order.
struct FieldDesc {
  std::string name;            // at most 10 characters, upper case
  char type = 'C';             // C, D, F, L, M or N (B, G, P read as M), or
                               // a type of field_values.h (then `raw`)
  std::uint16_t length = 0;    // bytes in the record (FoxPro C: above 255)
  std::uint8_t decimals = 0;   // N and F only
  std::uint16_t offset = 0;    // within the record; 1 for the first field
  // Fields of FoxPro and level-7 tables that have no unpacked form of their
  // own: the unpacked buffer carries their stored bytes unchanged (and
  // without code-page conversion unless they hold text), so that a write
  // keeps them as they were. Their values are read by field_values.h.
  bool raw = false;
  std::uint8_t flags = 0;      // Visual FoxPro field flags (0x02 nullable)
  std::int16_t null_bit = -1;  // bit in _NullFlags set when the value is null
  std::int16_t size_bit = -1;  // V/Q: bit set when the last byte holds the length
};

// How UnpackRecord (record_pack.h) makes the unpacked buffer of a field
// list, worked out once when the fields are read: each field's place in the
// record (`from`, `length`) and in the unpacked buffer (`to`, `size`), the
// fields grouped by the conversion they need, so that a record is unpacked
// kind by kind without asking every field for its type.
struct UnpackMove {
  std::uint16_t from = 0;
  std::uint16_t length = 0;
  std::uint16_t to = 0;
  std::uint16_t size = 0;
};
struct UnpackPlan {
  std::vector<UnpackMove> texts;     // C: length byte and the characters
  std::vector<UnpackMove> dates;     // D
  std::vector<UnpackMove> integers;  // N and F without decimals, M
  std::vector<UnpackMove> decimals;  // N and F with decimals
  std::vector<UnpackMove> logicals;  // L
  std::vector<UnpackMove> raw;       // raw fields: the stored bytes
};

// One field of a new table as handed to CreateDbf.
struct FieldDef {
  std::string name;            // trimmed, cut to 10 and upper-cased by CreateDbf
  char type = 'C';
  std::uint8_t length = 0;
  std::uint8_t decimals = 0;
};

// Status of an open table: closed (0), clean (1), a record was written in
// place (2), records were appended (3). The header is rewritten on flush or
// close when the status is 2 or 3; the end-of-file marker when it is 3.
enum class TableStatus : std::uint8_t { kClosed = 0, kClean = 1, kRecordWritten = 2, kRecordsAppended = 3 };

// Header dialect of the file (fixes where the header rewrite puts the count).
enum class DbfDialect : std::uint8_t { kDbase3 = 0, kDbase2 = 1, kLevel7 = 2 };

// Lock state of an area: none, whole table, append lock, record locks.
enum class LockState : std::uint8_t { kNone = 0, kTable = 1, kAppend = 2, kRecords = 3 };

// Per-record translation hook: called with the record bytes after the
// deletion flag (record length - 1 bytes) on every read and write.
using RecordTranslator = std::function<void(char* bytes, int length)>;

// The memo store's state of one table (filled and used by the memo store;
// the engine only tells it to open and close, see entry_points.h).
struct MemoState {
  bool open = false;
  os::Handle file = os::kNoHandle;
  std::string name;                 // memo file name, at most 79 characters
  std::uint8_t kind = 0;            // MemoType: 0x83, 0x8B or 0xF5
  std::uint16_t block_size = 0;
  bool locked = false;
  // A Visual FoxPro table whose memo file does not exist opens without it:
  // `open` stays false, `name` names the missing file, and every memo read
  // or write fails with error 2 while the other fields read and write.
  bool missing = false;
  std::shared_ptr<void> blob;       // the memo store's BLOB descriptor, if any
};

// The record of one open table.
struct WorkArea {
  std::string file_name;            // full path, default extension added
  std::array<std::uint8_t, 32> header{};  // main header as read (dBASE II: first 8 bytes)
  DbfDialect dialect = DbfDialect::kDbase3;
  bool visual_foxpro = false;       // version 0x30-0x32: binary memo block
                                    // numbers, _NullFlags, B as double
  int null_flags_field = -1;        // index of the _NullFlags field, or -1
  bool binary_fields = false;       // some raw field holds no text
  bool has_memo = false;
  std::uint16_t header_length = 0;
  std::uint16_t record_length = 0;
  std::uint8_t field_count = 0;
  std::vector<FieldDesc> fields;
  std::vector<std::uint16_t> unpacked_offsets;  // field n's part at [n - 1]
  UnpackPlan unpack_plan;                       // of `fields` (PlanUnpacking)
  TableStatus status = TableStatus::kClosed;
  std::string last_update;          // "MM/DD/YY" of the header date
  std::vector<char> record;         // the current record as stored (read form);
                                    // unused by virtual areas, whose record is
                                    // the caller's buffer (`unpacked`)
  std::int32_t record_count = 0;
  std::int32_t record_number = 0;   // 1-based; record_count + 1 = phantom record
  bool eof = true;
  bool bof = true;
  std::uint8_t open_mode = 0;
  bool oem_text = true;             // convert OEM <-> ANSI on read and write
  RecordTranslator read_translator;
  RecordTranslator write_translator;
  os::Handle file = os::kNoHandle;
  bool is_virtual = false;

  // Unpacked record buffer (the caller's or owned) and its size.
  std::uint8_t* unpacked = nullptr;
  std::uint16_t unpacked_size = 0;
  bool owns_unpacked = false;
  std::vector<std::uint8_t> owned_unpacked;  // storage when owns_unpacked
  std::vector<std::uint8_t> swap;            // swap buffer of Replace
  // Field texts that go with the unpacked buffer for values its form cannot
  // carry (see SetExactFieldText in record_pack.h): field number and text.
  std::vector<std::pair<int, std::string>> exact_texts;

  std::string alias;                // unique among areas 1-33, at most 64
  std::function<bool()> filter_proc;
  CompiledExpr* filter_expr = nullptr;
  std::function<bool()> while_proc;
  CompiledExpr* while_expr = nullptr;
  std::function<void()> relation;   // relation hook, run after moves

  LockState lock_state = LockState::kNone;
  std::uint16_t lock_count = 0;
  std::vector<std::int32_t> lock_list;  // record locks, oldest first
  bool exclusive = false;
  bool opened_exclusive = false;    // exclusive by USE (not by a reopen)
  bool reopened_exclusive = false;  // the last reopen asked for exclusive

  // Per-table state of the index engine; created and read by it only.
  std::shared_ptr<void> index_state;
  // Per-table state of the memo store.
  MemoState memo;

  // Virtual areas (linked lists, virtual files): served by the virtual-file
  // handler; the engine stores the operation and record number before each
  // call.
  std::uint8_t virtual_storage = 1;   // 1 heap, 2 EMS, 3 EXT/XMS, 5 biggest
  std::uint8_t virtual_ordering = 0;  // 0 FIFO, 1 LIFO, 2 insertion, 3 asc, 4 desc
  std::uint8_t virtual_operation = 0;
  std::int32_t virtual_record = 0;

  // True when the open mode keeps every other program out of the file (any
  // share mode but deny-none), so that it changes only through this area:
  // reads are then served through the record cache, and the file size that
  // re-counting needs is asked once and then followed through own writes.
  bool unshared = false;
  RecordCache record_cache;
  std::int64_t known_file_size = -1;  // unshared areas; -1 = not asked yet
  // Shared areas read their records through a mapping of the file, which
  // sees other programs' changes as a read call does (mapped_reads.h).
  os::MappedReader mapped_reads;
};

// The work-area table (index 0 unused) and the current area number.
extern std::array<std::unique_ptr<WorkArea>, kWorkAreaSlots + 1> WorkAreas;
extern std::uint8_t CurrentArea;

// The area in the current slot, or nullptr.
inline WorkArea* CurrentWorkArea() { return WorkAreas[CurrentArea].get(); }

// Reports error 215 "Keine Datenbank (bzw.kein Arbeitsbereich) geöffnet.
// [<routine>]  WorkArea = <n>" and returns nullptr.
WorkArea* ReportNoTable(const char* routine);

// The current area, or nullptr after reporting error 215.
inline WorkArea* RequireTable(const char* routine) {
  WorkArea* area = CurrentWorkArea();
  return area != nullptr ? area : ReportNoTable(routine);
}

// Options read at open and by the commands (process-wide, with defaults).
extern std::uint16_t DefaultOpenMode;     // 0x42; 0x12 makes every open exclusive
extern bool NetworkLocking;               // true; false: mode 2, all exclusive, no locks
extern std::uint16_t OpenModeOverride;    // 0xFFFF = none; else its low byte is the mode
extern bool AnsiTables;                   // false: tables hold OEM text
extern bool CountFromFileSize;            // false: count from the header
extern std::uint8_t ExtraVersionPlain;    // 0 = not configured
extern std::uint8_t ExtraVersionMemo;     // 0 = not configured
extern std::uint8_t MemoVersionByte;      // 0x8B: version of new tables with memo
extern std::bitset<256> AllowedFieldTypes;  // C D F L M N (+ B G P read as M)
extern bool FlushEachWrite;               // false
extern bool ReplaceUpdatesIndexes;        // true
extern bool HideDeleted;                  // false

// Puts the work-area table, every option above (and those of locks.h), the
// Peek cache and the search state back to their start-up values. Open areas
// are dropped without writing anything back (their files are closed); for
// tests and start-up.
void ResetEngineState();

// Select(n): 1-33 makes area n current; 0 the lowest empty one of 1-33
// (error 220 "Kein Arbeitsbereich frei [Select(0)]" when all are in use);
// 34 and above error 220 "Ungültiger Arbeitsbereich = [Select(<n>)]".
void Select(int n);
// The current area number.
int SelectedArea();

// Field queries on the current area (fields numbered from 1). Each reports
// 215 without a table and 220 "Ungültige Feldnr. [<Query>(<n>)]" for a
// number out of range, returning a blank, 0, "" or nullptr.
char FieldType(int n);
int FieldLen(int n);          // D fields: 10 with CenturyOn, else 8
int FieldDec(int n);
std::string Field(int n);
int FieldNo(const std::string& name);  // 0 when there is no such field
int FieldCount();
// Address of field n's part in the unpacked buffer; 0 = the deleted byte.
std::uint8_t* FieldAddress(int n);
// The deleted byte of the unpacked buffer.
bool Deleted();

// Size of a field's part in the unpacked buffer (C: length + 1; D: 11;
// N/F with decimals: 6; N/F without and M: 4; L: 1).
int UnpackedFieldSize(const FieldDesc& field);
// 1 + the sum of the parts of all fields.
int UnpackedSize(const std::vector<FieldDesc>& fields);

}  // namespace orvex
