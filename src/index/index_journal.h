// A keyed write as one unit: the change of a record and of every tag of the
// table's index happens in full or not at all, whether the write fails, the
// disk fills or the program is killed at any write call.
//
// The unit is the writer's lock bracket of a record command (append,
// replace, delete, recall). On entering it, a small undo journal
// "<index>.$KJ" beside the index gets the old sizes of table and index file
// and the table bytes the command may change (the start of the header, the
// current record, the bytes behind the last record). Every entry carries its
// own checksum, and an entry is complete in the journal before the write it
// protects begins.
//
// The unit's index writes are held in memory (IndexFile::holding): a node
// changed by several tags' keys, or twice by one split, is read from there
// and written once. On leaving the bracket without an error, still under
// the writer's lock (so that no reader sees a tree half written), the old
// bytes of every held range that existed at the start go into the journal
// in one write, and only then are the ranges written in place; pages added
// at the end need no entry, the old size takes them away again. Then the
// table's header is written, table and index are flushed when
// FlushIndexWrites or FlushEachWrite ask for it (the journal is then
// flushed before any in-place write), and the journal is emptied: an
// exclusively opened index keeps it open and overwrites its mark, so that
// the next unit needs no directory operation nor a change of the file's
// size (it is removed when the index closes); a shared index's journal is
// deleted. Each unit's entries carry its number, so that entries of an
// earlier unit left behind the new ones in a kept journal count for
// nothing. On leaving with an error the
// held writes are dropped, the old bytes written back, both files cut to
// their old sizes, the in-memory state of table and index read again and the
// journal emptied, before the error is reported: the first error stays the
// one reported. When even that fails the journal stays behind.
//
// A journal with entries found at the next open of the index, or by the
// next writer entering its bracket, is the trace of a writer that died (or
// failed to roll back): its complete entries are written back in reverse order, the
// files cut to the old sizes, and the journal deleted, all under the
// writer's lock, so that a live writer's journal is never touched. A kill
// at any call therefore leaves, after the next open, the record and its keys
// as they were before the command or as the command left them.
//
// Other programs that read MDX files never see the journal's name and need
// nothing from it; the formats of table and index stay as they are.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "index/index_file.h"

namespace orvex {

// Old bytes of a range of the table or the index file, or (as_size) the
// file's old size in `offset`.
struct SavedBytes {
  bool in_table = false;
  bool as_size = false;
  std::int64_t offset = 0;
  std::string bytes;
};

struct KeyedWriteJournal {
  std::string name;
  os::Handle file = os::kNoHandle;
  std::int64_t end = 0;  // where the next entry goes
  std::vector<SavedBytes> saved;
  // The unit's number (IndexFile::journal_units), which its entries carry.
  std::uint64_t unit = 0;
  std::int64_t index_size = 0;
  // The table file's size at the start: bytes behind it need no entry.
  std::int64_t table_size = 0;
  // What the journal holds the old bytes of: table ranges [offset, end) and
  // index offsets. A transaction's later commands, and held index writes
  // put out before its end, save each range once.
  std::map<std::int64_t, std::int64_t> saved_table;
  std::set<std::int64_t> saved_index;
  // The table's state at the start, put back by a roll-back.
  std::int32_t record_count = 0;
  std::int32_t record_number = 0;
  TableStatus status = TableStatus::kClosed;
};

// "<index name>.$KJ" (in the case of the index's extension).
std::string KeyedWriteJournalName(const std::string& index_name);

// The record hooks' lock bracket (IndexEngine.lock_bracket): LOCKSEMAPHORE
// and UNLOCKSEMAPHORE around a keyed write unit. Errors met inside the
// bracket are held back (AutoReport off) and left pending on leaving, after
// the roll-back, for the command to report. An entry that fails (lock,
// journal) leaves the bracket not entered, with the error pending.
//
// Inside a transaction (transaction.h) the unit is the transaction's: a
// command's entry journals the table bytes it may change that the journal
// does not hold yet, and its leave keeps the unit open; held index writes
// beyond HeldWriteBudget are put into the file then, their old bytes
// journaled first. A command that fails rolls the whole transaction back
// and marks it failed; entries are then refused (1103) until it is ended.
void KeyedWriteBracket(int area, bool enter);

// Bytes of held index writes a transaction keeps in memory before it puts
// them into the file (kHeldWriteBudget, 32 MiB, unless changed).
inline constexpr std::size_t kHeldWriteBudget = std::size_t{32} << 20;
extern std::size_t HeldWriteBudget;

// Ends the unit of the transaction of `index` (the writer's bracket entered
// once, by the transaction): keeps its changes (`keep`, when no error is
// pending) or rolls it back, and leaves the bracket. Errors are left
// pending, the first one met reported.
void LeaveTransactionUnit(IndexFile& index, bool keep);

// Closes and removes the empty journal an exclusively opened index kept
// open between keyed writes (when the index closes). A journal that still
// holds a unit is never kept open (it stays for the next open).
void CloseKeyedWriteJournal(IndexFile& index);

// Rolls back the keyed write a dead writer left for the index file
// `index_name` of `area`'s table, before the index is opened (takes and
// leaves the writer's lock when a journal is there). A table opened
// read-only is left to the next writer. False after reporting the error.
bool RecoverKeyedWriteAtOpen(int area, const std::string& index_name);

}  // namespace orvex
