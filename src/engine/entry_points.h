// The tables of entry points through which the table engine reaches the units
// above it: the index engine, the memo store, the expression engine and the
// virtual-file manager. Each unit fills its table from its own start-up code
// (a static initialiser in that unit); the engine never includes their
// headers. A null entry means "feature absent": the engine skips the call.
//
// Unless said otherwise, an entry acts on the area whose number it receives
// (the index engine keeps its per-table state in WorkArea::index_state) or on
// the current area, reports failures through SetError and leaves DbfErrorNo
// set.
#pragma once

#include <cstdint>
#include <istream>
#include <memory>
#include <string>

#include "engine/work_area.h"

namespace orvex {

// ---------------------------------------------------------------- index ---
struct IndexEntryPoints {
  // Navigation state: true when an index file is open / a tag (order >= 1)
  // is active for the area's table.
  bool (*index_open)(int area) = nullptr;
  bool (*order_active)(int area) = nullptr;
  // Record numbers in key order; record count + 1 (with the end-of-file flag)
  // means past the end.
  std::int32_t (*first_record)(int area) = nullptr;
  std::int32_t (*last_record)(int area) = nullptr;
  std::int32_t (*next_record)(int area) = nullptr;
  std::int32_t (*prior_record)(int area) = nullptr;
  // The active tag's beginning/end-of-file flags and their setters.
  bool (*bof)(int area) = nullptr;
  bool (*eof)(int area) = nullptr;
  void (*set_bof)(int area) = nullptr;
  void (*set_eof)(int area) = nullptr;
  // Re-align the active tag (all_tags false) or every tag with the current
  // record; remember the current key of the active tag or of all tags.
  void (*sync_index)(int area, bool all_tags) = nullptr;
  void (*store_keys)(int area, bool all_tags) = nullptr;
  // Record maintenance: before an edit (SyncIndex of the active tag, then
  // StoreKeys of all tags), after the edited record was written (CompareKeys,
  // header write, resync, StoreKeys), after a record was appended.
  void (*before_edit)(int area) = nullptr;
  void (*after_edit)(int area) = nullptr;
  void (*append_new_key)(int area) = nullptr;
  // The semaphore brackets: enter (true) / leave (false), nested per table.
  void (*read_bracket)(int area, bool enter) = nullptr;
  void (*lock_bracket)(int area, bool enter) = nullptr;
  // Close the table's index (called when the area closes).
  void (*close_index)(int area) = nullptr;
  // Open / rebuild requests and queries for the layers above the engine.
  void (*set_index_to)(int area, const std::string& file_name) = nullptr;
  void (*reindex)(int area) = nullptr;
  bool (*found)() = nullptr;
  std::string (*tag_name)(int area, int order) = nullptr;
  bool (*tag_ascending)(int area, int order) = nullptr;
  std::string (*key_text)(int area, int order) = nullptr;
  // A state byte the index engine registers; the relation hook saves it
  // before calling the relation procedure and restores it afterwards.
  std::uint8_t* relation_state = nullptr;
};
extern IndexEntryPoints IndexEngine;

// True when the index engine is present and reports an active order for the
// area (the "index active" of navigation and record maintenance).
bool IndexOrderActive(int area);

// True when the index engine reports an open index for the area, active tag
// or natural order: record changes keep every tag of it right.
bool IndexOpen(int area);

// ----------------------------------------------------------------- memo ---
struct MemoEntryPoints {
  // Open the memo file of the current area's table (name without its
  // extension) into WorkArea::memo; close it again.
  void (*open)(const std::string& table_name_without_ext) = nullptr;
  void (*close)() = nullptr;
  // Create an empty memo file for a new table (kind from MemoVersionByte);
  // `routine` names the caller in messages ("CreateDbf()").
  void (*create)(const std::string& table_name, const std::string& routine) = nullptr;
  // Close, create anew and open: empties the current area's memo file.
  void (*recreate)(const std::string& table_name) = nullptr;
  // Rebuild the current area's memo file with only referenced memos.
  void (*pack)() = nullptr;
  // Store a text as a new memo; the block number, or 0 for an empty text.
  std::int32_t (*append)(const std::string& text) = nullptr;
  // Copy memo `block` of `source_area` to the end of the current area's memo
  // file / to the same block number; the block number in the current file.
  std::int32_t (*copy_to_end)(int source_area, std::int32_t block) = nullptr;
  std::int32_t (*copy_to_same_block)(int source_area, std::int32_t block) = nullptr;
  // A text stream over the memo whose block number is at `block` (an M field
  // in the unpacked buffer): read line by line; null after an error.
  std::unique_ptr<std::istream> (*assign_memo)(std::int32_t* block) = nullptr;
  // The whole memo at `block` of the current area as stored, line ends
  // included, into `text`; false after an error.
  bool (*read)(std::int32_t block, std::string* text) = nullptr;
};
extern MemoEntryPoints MemoStore;

// ----------------------------------------------------------- expression ---
struct ExpressionEntryPoints {
  // True once the expression engine has filled this table.
  bool present = false;
  // Compile a dBASE expression; null after reporting an error.
  CompiledExpr* (*compile)(const std::string& text) = nullptr;
  // Release a compiled expression (unknown pointers are left alone).
  void (*free)(CompiledExpr* expr) = nullptr;
  // Evaluate for the current record: the address of the result value (a
  // logical result is one byte, non-zero = true); null after an error.
  const void* (*evaluate)(CompiledExpr* expr) = nullptr;
  // The result type letter of a compiled expression (C, N, D, L, M).
  char (*result_type)(const CompiledExpr* expr) = nullptr;
  // Evaluate a tag's key expression for the current record of the current
  // area: the address of the key value.
  const void* (*evaluate_index_expr)(CompiledExpr* key_expr) = nullptr;
  // The value at `value` (a result of `expr`) as text.
  std::string (*to_text)(const CompiledExpr* expr, const void* value) = nullptr;
};
extern ExpressionEntryPoints ExpressionEngine;

// True when the expression evaluates to a true logical value; false when the
// expression engine is absent, the result is not logical or an error occurs.
bool EvaluateCondition(CompiledExpr* expr);

// ---------------------------------------------------------- virtual file ---
// Operation codes the engine stores in WorkArea::virtual_operation before it
// calls the handler (WorkArea::virtual_record holds the record number where
// one is listed).
enum VirtualOperation : std::uint8_t {
  kVirtualClose = 1,
  kVirtualDelete = 2,
  kVirtualRead = 3,    // record n into the buffer
  kVirtualOpen = 4,
  kVirtualWrite = 8,   // the buffer as record n; append when n > count
  kVirtualRecall = 9,
};

struct VirtualFileEntryPoints {
  // Serves one operation on a virtual area; failures through DbfErrorNo.
  // The record lives in the caller's buffer (WorkArea::unpacked). At open the
  // handler may describe it as fields (fields, field_count and
  // unpacked_offsets, each FieldDesc::offset being the place of the field's
  // unpacked part in that buffer) for the field queries, the expression
  // engine and the search.
  void (*handler)(WorkArea& area) = nullptr;
  // Replacement for the record-by-record stepping of SKIP on virtual areas:
  // called with n, sets *hit_end, returns the record to read.
  std::int32_t (*skip)(int n, bool* hit_end) = nullptr;
};
extern VirtualFileEntryPoints VirtualFiles;

// ---------------------------------------------------------- record cache ---
// The record cache of Peek lives beside the engine and is told about changes.
struct RecordCacheEntryPoints {
  // Drop the cache when it belongs to the area being closed.
  void (*release_for_alias)(const std::string& alias) = nullptr;
  // The current record of `area` was written: refresh the cached copy.
  void (*record_written)(WorkArea& area) = nullptr;
};
extern RecordCacheEntryPoints RecordCache;

// Empties all five tables (tests).
void ResetEntryPoints();

}  // namespace orvex
