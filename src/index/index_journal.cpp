#include "index/index_journal.h"

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "common/errors.h"
#include "common/journal_bytes.h"
#include "common/names.h"
#include "engine/dbf_file.h"
#include "engine/engine_text.h"
#include "engine/entry_points.h"
#include "engine/record_io.h"
#include "engine/record_pack.h"
#include "index/index_open.h"
#include "index/key_maintenance.h"
#include "index/semaphore.h"
#include "platform/os/files.h"

namespace orvex {

std::size_t HeldWriteBudget = kHeldWriteBudget;

namespace {

// Journal layout: the 8 bytes of kMagic and the unit's number (64-bit),
// then entries: in-table flag and as-size flag (8-bit each), offset
// (64-bit), length (32-bit), the bytes, and a check word (32-bit): the
// checksum (FNV-1a) of the entry's bytes before it, exclusive-or the unit's
// mark (UnitMark). All integers little-endian. Entries are only ever
// appended. A journal kept open is marked empty by overwriting kMagic, and
// the next unit writes over it from the start: entries of an earlier unit
// still behind the new ones carry another unit's mark and count for
// nothing.
constexpr char kMagic[8] = {'O', 'X', 'K', 'E', 'Y', 'W', '2', '\n'};
// The mark of the first layout (no unit number; the check word is the
// checksum alone), still rolled back when a program of that layout left one.
constexpr char kMagicWithoutUnit[8] = {'O', 'X', 'K', 'E', 'Y', 'W', '1', '\n'};
constexpr std::size_t kUnitBytes = 8;
constexpr std::size_t kEntryHead = 14;

// What a unit's number changes in its entries' check words: the number
// times an odd constant, which differs for any two units less than 2^32
// apart (0 for the first layout).
std::uint32_t UnitMark(std::uint64_t unit) {
  return static_cast<std::uint32_t>(unit) * 0x9E3779B1u;
}

void EncodeEntry(const SavedBytes& s, std::uint64_t unit, std::string* out) {
  const std::size_t start = out->size();
  PutLe(out, s.in_table ? 1 : 0, 1);
  PutLe(out, s.as_size ? 1 : 0, 1);
  PutLe(out, static_cast<std::uint64_t>(s.offset), 8);
  PutLe(out, s.bytes.size(), 4);
  *out += s.bytes;
  PutLe(out, JournalChecksum(std::string_view(*out).substr(start)) ^ UnitMark(unit), 4);
}

// The complete entries of the journal's unit, in the order written; an
// entry cut short (and all behind it) was never acted on. A journal marked
// empty holds none.
std::vector<SavedBytes> DecodeEntries(const std::string& in) {
  std::vector<SavedBytes> out;
  if (in.size() < sizeof kMagic) return out;
  std::uint32_t mark = 0;
  std::size_t at = sizeof kMagic;
  if (std::memcmp(in.data(), kMagic, sizeof kMagic) == 0) {
    if (in.size() < at + kUnitBytes) return out;
    mark = UnitMark(GetLe(in, at, static_cast<int>(kUnitBytes)));
    at += kUnitBytes;
  } else if (std::memcmp(in.data(), kMagicWithoutUnit, sizeof kMagic) != 0) {
    return out;
  }
  while (at + kEntryHead + 4 <= in.size()) {
    const std::size_t length = static_cast<std::size_t>(GetLe(in, at + 10, 4));
    if (length > in.size() - at - kEntryHead - 4) break;
    const std::size_t body = kEntryHead + length;
    const std::uint32_t check = JournalChecksum(std::string_view(in).substr(at, body)) ^ mark;
    if (GetLe(in, at + body, 4) != check) break;
    SavedBytes s;
    s.in_table = in[at] != 0;
    s.as_size = in[at + 1] != 0;
    s.offset = static_cast<std::int64_t>(GetLe(in, at + 2, 8));
    s.bytes = in.substr(at + kEntryHead, length);
    out.push_back(std::move(s));
    at += body + 4;
  }
  return out;
}

// Writes the saved bytes back in reverse order (the oldest copy of a range
// is written last) and cuts the files to their old sizes; flushes both.
// Returns 0 or the first error.
int WriteBack(const std::vector<SavedBytes>& saved, os::Handle table, os::Handle index) {
  for (auto it = saved.rbegin(); it != saved.rend(); ++it) {
    const os::Handle file = it->in_table ? table : index;
    const int error = it->as_size
                          ? os::Truncate(file, it->offset)
                          : os::WriteAt(file, it->offset, it->bytes.data(), it->bytes.size());
    if (error != 0) return error;
  }
  int error = os::FlushFileBuffers(table);
  if (error == 0) error = os::FlushFileBuffers(index);
  return error;
}

bool FlushAsked() { return FlushIndexWrites || FlushEachWrite; }

std::int64_t RecordOffset(const WorkArea& table, std::int32_t n) {
  return table.header_length + static_cast<std::int64_t>(n - 1) * table.record_length;
}

// Reads the table's record count again after its file was put back (from
// where the open takes it: the header, or the file size), and its current
// record when it is still in the table.
void RereadTable(WorkArea& table) {
  table.known_file_size = -1;
  InvalidateReadAhead(table);
  int error = 0;
  std::uint8_t count[4];
  std::size_t done = 0;
  if (table.dialect == DbfDialect::kDbase2) {
    if (os::ReadAt(table.file, 1, count, 2, &done) == 0 && done == 2)
      table.record_count = count[0] | (count[1] << 8);
  } else if (CountFromFileSize || !table.exclusive) {
    const std::int64_t size = os::FileSize(table.file, &error);
    if (size >= 0 && table.record_length > 0) {
      table.record_count = static_cast<std::int32_t>(std::clamp<std::int64_t>(
          (size - table.header_length) / table.record_length, 0, 0x7FFFFFFF));
    }
  } else if (os::ReadAt(table.file, 4, count, 4, &done) == 0 && done == 4) {
    table.record_count =
        static_cast<std::int32_t>(std::min<std::uint32_t>(Get32(count), 0x7FFFFFFF));
  }
  if (table.record_number >= 1 && table.record_number <= table.record_count &&
      GetDbfRecord(table, table.record_number)) {
    UnpackRecord(table);
  }
}

// Drops what this program knows of the index file's pages (they were put
// back): the header and tag headers are read again, paths and cached
// branches dropped.
void RereadIndex(IndexFile& index) {
  ReadAnchorNodes(index);
  index.header_dirty = false;
  for (auto& tag : index.tags) tag->anchor_dirty = false;
}

// Writes back what the journal at `name` holds and deletes it. Returns 0
// or the error.
int ReplayJournal(const std::string& name, os::Handle table, os::Handle index) {
  std::string bytes;
  int error = 0;
  if (!ReadWholeFile(name, &bytes, &error)) return error;
  error = WriteBack(DecodeEntries(bytes), table, index);
  if (error == 0) error = os::DeleteFile(name);
  if (error == 0) error = os::FlushDirectory(name);
  return error;
}

// Old bytes [offset, offset + length) of `file`, cut at `size`.
int ReadOld(os::Handle file, std::int64_t offset, std::int64_t length, std::int64_t size,
            SavedBytes* out) {
  length = std::min(length, size - offset);
  out->bytes.assign(static_cast<std::size_t>(std::max<std::int64_t>(length, 0)), '\0');
  if (out->bytes.empty()) return 0;
  out->offset = offset;
  std::size_t done = 0;
  const int error = os::ReadAt(file, offset, out->bytes.data(), out->bytes.size(), &done);
  out->bytes.resize(done);
  return error;
}

// Ends the journal of this program's unit: marked empty when it stays open
// for the next unit (an exclusively opened index), else closed and removed.
// Returns 0 or the error.
int DropJournal(IndexFile& index) {
  KeyedWriteJournal& j = *index.journal;
  if (j.file == index.journal_file) {
    // Overwriting the mark costs one small write where cutting the file
    // would cost a change of its size; the next unit writes over it.
    static constexpr char kEmpty[sizeof kMagic] = {};
    int error = os::WriteAt(j.file, 0, kEmpty, sizeof kEmpty);
    if (error == 0 && FlushAsked()) error = os::FlushFileBuffers(j.file);
    return error;
  }
  const int close_error = os::CloseFile(j.file);
  j.file = os::kNoHandle;
  int error = os::DeleteFile(j.name);
  if (error == 0 && FlushAsked()) error = os::FlushDirectory(j.name);
  return error != 0 ? error : close_error;
}

// Leaves a journal that still holds a unit for the next writer or open to
// roll back: the handle is closed and no longer kept.
void LeaveJournal(IndexFile& index) {
  KeyedWriteJournal& j = *index.journal;
  os::CloseFile(j.file);
  if (j.file == index.journal_file) index.journal_file = os::kNoHandle;
  j.file = os::kNoHandle;
}

// Adds entries behind those in the journal, in one write (flushed when
// asked). Returns 0 or the error; the journal's entries then end where they
// ended before (a half-written entry fails its check word).
int AddEntries(KeyedWriteJournal& j, std::vector<SavedBytes> entries) {
  if (entries.empty()) return 0;
  std::string bytes;
  for (const SavedBytes& s : entries) EncodeEntry(s, j.unit, &bytes);
  int error = os::WriteAt(j.file, j.end, bytes.data(), bytes.size());
  if (error == 0 && FlushAsked()) error = os::FlushFileBuffers(j.file);
  if (error != 0) return error;
  j.end += static_cast<std::int64_t>(bytes.size());
  for (SavedBytes& s : entries) j.saved.push_back(std::move(s));
  return 0;
}

// The most bytes of held index writes that go out in one write call.
constexpr std::size_t kJoinedWriteBytes = std::size_t{1} << 20;

// Old bytes [offset, offset + length) of the index file for the journal:
// the copy of a node as the file holds it when there is one, else read.
int OldIndexBytes(IndexFile& index, std::int64_t offset, std::size_t length, SavedBytes* out) {
  const KeyedWriteJournal& j = *index.journal;
  if (offset % kMdxPageSize == 0 && length == kMdxBlockSize &&
      offset + static_cast<std::int64_t>(length) <= j.index_size) {
    const Block* cached = index.node_cache.Find(static_cast<std::uint32_t>(offset / kMdxPageSize));
    if (cached != nullptr) {
      out->offset = offset;
      out->bytes.assign(reinterpret_cast<const char*>(cached->data()), kMdxBlockSize);
      return 0;
    }
  }
  return ReadOld(index.file, offset, static_cast<std::int64_t>(length), j.index_size, out);
}

// Puts the index writes held during the unit into the file: first the old
// bytes of every range that existed at the start go into the journal, in
// one write (flushed when asked), and only then is each range written, once.
// Pages added at the end need no entry: the old size takes them away again.
// Returns 0 or the error (the journal then covers every byte written).
int WriteHeldIndexBytes(IndexFile& index) {
  KeyedWriteJournal& j = *index.journal;
  std::vector<SavedBytes> entries;
  for (const auto& [offset, bytes] : index.held_writes) {
    if (offset >= j.index_size || j.saved_index.count(offset) != 0) continue;
    SavedBytes s{false, false, offset, {}};
    const int error = OldIndexBytes(index, offset, bytes.size(), &s);
    if (error != 0) return error;
    if (!s.bytes.empty()) entries.push_back(std::move(s));
  }
  for (const SavedBytes& s : entries) j.saved_index.insert(s.offset);
  if (const int error = AddEntries(j, std::move(entries)); error != 0) return error;
  // In the order of the file, which the system writes best; ranges that
  // follow each other without a gap (the pages splits added at the end, a
  // node beside its neighbour) go out in one call of at most
  // kJoinedWriteBytes.
  std::vector<const std::pair<const std::int64_t, std::string>*> in_order;
  in_order.reserve(index.held_writes.size());
  for (const auto& held : index.held_writes) in_order.push_back(&held);
  std::sort(in_order.begin(), in_order.end(),
            [](const auto* a, const auto* b) { return a->first < b->first; });
  std::string joined;
  for (std::size_t from = 0; from < in_order.size();) {
    std::size_t to = from + 1;
    std::int64_t end =
        in_order[from]->first + static_cast<std::int64_t>(in_order[from]->second.size());
    while (to < in_order.size() && in_order[to]->first == end &&
           end - in_order[from]->first + in_order[to]->second.size() <= kJoinedWriteBytes) {
      end += static_cast<std::int64_t>(in_order[to]->second.size());
      ++to;
    }
    const std::string* bytes = &in_order[from]->second;
    if (to - from > 1) {
      joined.clear();
      for (std::size_t n = from; n < to; ++n) joined += in_order[n]->second;
      bytes = &joined;
    }
    const int error = os::WriteAt(index.file, in_order[from]->first, bytes->data(), bytes->size());
    if (error != 0) return error;
    from = to;
  }
  NodesWritten(index);
  return 0;
}

// Forgets the held writes (written or not); holding goes on.
void DropHeldWrites(IndexFile& index) {
  for (const auto& held : index.held_writes) {
    const auto page = static_cast<std::size_t>(held.first / kMdxPageSize);
    if (page < index.held_pages.size()) index.held_pages[page] = false;
  }
  index.held_writes.clear();
  index.held_bytes = 0;
}

// Drops the writes held during the unit and stops holding.
void StopHolding(IndexFile& index) {
  index.holding = false;
  DropHeldWrites(index);
  index.held_end = 0;
}

// The table ranges [offset, length) a record command may change: the
// current record and the bytes an appended record takes (the end-of-file
// marker among them).
std::vector<std::pair<std::int64_t, std::int64_t>> CommandRanges(const WorkArea& table,
                                                                 std::int64_t table_size) {
  return {{table.record_number >= 1 && table.record_number <= table.record_count
               ? RecordOffset(table, table.record_number)
               : table_size,
           table.record_length},
          {RecordOffset(table, table.record_count + 1), table.record_length + 1}};
}

// Whether the journal holds the old bytes of [offset, end) of the table.
bool TableRangeSaved(const KeyedWriteJournal& j, std::int64_t offset, std::int64_t end) {
  auto it = j.saved_table.upper_bound(offset);
  return it != j.saved_table.begin() && (--it)->second >= end;
}

// Reads the old bytes of the table ranges the journal does not hold yet,
// cut at the unit's start size (bytes behind it need none), as entries.
// Returns 0 or the error.
int SaveTableRanges(KeyedWriteJournal& j, os::Handle table,
                    const std::vector<std::pair<std::int64_t, std::int64_t>>& ranges,
                    std::vector<SavedBytes>* out) {
  for (const auto& [offset, length] : ranges) {
    const std::int64_t end = std::min(offset + length, j.table_size);
    if (offset >= end || TableRangeSaved(j, offset, end)) continue;
    SavedBytes s{true, false, offset, {}};
    if (const int error = ReadOld(table, offset, length, j.table_size, &s); error != 0)
      return error;
    if (s.bytes.empty()) continue;
    std::int64_t& saved_end = j.saved_table[offset];
    saved_end = std::max(saved_end, offset + static_cast<std::int64_t>(s.bytes.size()));
    out->push_back(std::move(s));
  }
  return 0;
}

// A record command inside a transaction: the journal gets the old bytes of
// the table ranges the command may change that it does not hold yet.
// Appends behind the start size need none. Returns 0 or the error.
int SaveCommandBytes(IndexFile& index) {
  KeyedWriteJournal& j = *index.journal;
  WorkArea& table = index.Table();
  std::vector<SavedBytes> entries;
  const int error = SaveTableRanges(j, table.file, CommandRanges(table, j.table_size), &entries);
  return error != 0 ? error : AddEntries(j, std::move(entries));
}

// A transaction's held index writes past HeldWriteBudget go into the file
// (old bytes journaled first); the unit goes on holding the next ones.
// Returns 0 or the error.
int PutOutHeldWrites(IndexFile& index) {
  if (index.held_bytes <= HeldWriteBudget) return 0;
  const int error = WriteHeldIndexBytes(index);
  DropHeldWrites(index);
  return error;
}

// Starts the unit: the journal with the table's bytes the command may
// change and both files' sizes. Returns 0 or the error (no journal left).
int BeginUnit(IndexFile& index) {
  WorkArea& table = index.Table();
  auto j = std::make_unique<KeyedWriteJournal>();
  j->name = KeyedWriteJournalName(index.file_name);
  j->record_count = table.record_count;
  j->record_number = table.record_number;
  j->status = table.status;
  int error = 0;
  const std::int64_t table_size = os::FileSize(table.file, &error);
  if (table_size < 0) return error;
  j->index_size = os::FileSize(index.file, &error);
  if (j->index_size < 0) return error;
  j->table_size = table_size;
  std::vector<SavedBytes> start;
  start.push_back({true, true, table_size, {}});
  start.push_back({false, true, j->index_size, {}});
  // The header's start (a dBASE II count) and the bytes the command may
  // change. Ranges that meet are read as one: after an append the current
  // record is the last, just before the bytes the next append takes.
  auto ranges = CommandRanges(table, table_size);
  ranges.emplace_back(0, 32);
  std::sort(ranges.begin(), ranges.end());
  for (std::size_t n = 1; n < ranges.size();) {
    auto& [offset, length] = ranges[n - 1];
    if (ranges[n].first > offset + length) {
      ++n;
      continue;
    }
    length = std::max(length, ranges[n].first + ranges[n].second - offset);
    ranges.erase(ranges.begin() + static_cast<std::ptrdiff_t>(n));
  }
  if ((error = SaveTableRanges(*j, table.file, ranges, &start)) != 0) return error;
  // The journal of an exclusively opened index is made once and kept open
  // (and empty) between units: a unit then costs no directory operation. A
  // shared index's journal is made and removed by each unit, since another
  // program's unit may remove the file this one would keep open.
  const bool kept = table.exclusive;
  const bool made = !kept || index.journal_file == os::kNoHandle;
  j->file =
      made ? os::CreateFile(j->name, os::kOpenReadWriteExclusive, &error) : index.journal_file;
  if (j->file == os::kNoHandle) return error;
  if (kept) index.journal_file = j->file;
  // The mark, the unit's number and the entries of the start go out in one
  // write.
  j->unit = ++index.journal_units;
  std::string bytes(kMagic, sizeof kMagic);
  PutLe(&bytes, j->unit, static_cast<int>(kUnitBytes));
  for (const SavedBytes& s : start) EncodeEntry(s, j->unit, &bytes);
  error = os::WriteAt(j->file, 0, bytes.data(), bytes.size());
  if (error == 0 && FlushAsked()) error = os::FlushFileBuffers(j->file);
  if (error == 0 && FlushAsked() && made) error = os::FlushDirectory(j->name);
  j->end = static_cast<std::int64_t>(bytes.size());
  j->saved = std::move(start);
  index.journal = std::move(j);
  if (error != 0) {
    // Nothing was changed yet: the journal's entries undo nothing.
    if (DropJournal(index) != 0) LeaveJournal(index);
    index.journal.reset();
    return error;
  }
  index.holding = true;
  index.held_end = index.journal->index_size;
  return 0;
}

// Ends the unit: keeps the changes when `keep` and no error is pending,
// else puts the old bytes back. The pending error stays the first one met;
// a roll-back asked for without one reports its own failure.
void EndUnit(IndexFile& index, bool keep) {
  WorkArea& table = index.Table();
  KeyedWriteJournal& j = *index.journal;
  if (keep && DbfErrorNo == 0) {
    const int error = WriteHeldIndexBytes(index);
    if (error != 0)
      SetError(error,
               "Fehler beim Schreiben der Index-Datei: " + index.file_name + " [KeyedWrite]");
  }
  StopHolding(index);
  // An appended record counts for other programs (and for this one's next
  // open) once the header says so: the header belongs to the unit.
  if (keep && DbfErrorNo == 0 && table.record_count != j.record_count) {
    const int error = WriteBackHeader(table);
    if (error != 0) SetError(error, "Datei:  " + table.file_name + " [KeyedWrite]");
  }
  if (keep && DbfErrorNo == 0 && FlushAsked()) {
    int error = os::FlushFileBuffers(table.file);
    if (error == 0) error = os::FlushFileBuffers(index.file);
    if (error != 0)
      SetError(error,
               Ansi("Fehler beim Zurückschreiben von Datei  ") + index.file_name + " [KeyedWrite]");
  }
  if (keep && DbfErrorNo == 0) {
    // The files are complete (and flushed when asked) before the journal is
    // emptied: a kill in between rolls back a unit that was whole.
    const int error = DropJournal(index);
    if (error != 0) {
      SetError(error, j.name + " [KeyedWrite]");
      LeaveJournal(index);
    }
    index.journal.reset();
    return;
  }
  const std::uint16_t number = DbfErrorNo;
  const std::string detail = ErrorDetail;
  const int error = WriteBack(j.saved, table.file, index.file);
  table.record_count = j.record_count;
  table.record_number = j.record_number;
  table.status = j.status;
  RereadTable(table);
  if (RecordCache.record_written != nullptr && table.record_number >= 1 &&
      table.record_number <= table.record_count) {
    RecordCache.record_written(table);
  }
  RereadIndex(index);
  // When the roll-back failed, the journal stays for the next writer or open
  // to finish it.
  const int drop_error = error != 0 ? error : DropJournal(index);
  if (drop_error != 0) LeaveJournal(index);
  index.journal.reset();
  if (number == 0) {
    if (drop_error != 0) SetError(drop_error, j.name + " [KeyedWrite]");
    return;
  }
  DbfErrorNo = number;
  ErrorDetail = detail;
  ReportedErrorNo = number;
}

// Rolls back a journal a dead writer left, the writer's lock held and the
// index open. False after reporting the error.
bool RecoverUnderLock(IndexFile& index) {
  // A journal this program keeps open is its own, and empty.
  if (index.journal_file != os::kNoHandle) return true;
  const std::string name = KeyedWriteJournalName(index.file_name);
  if (!os::FileExists(name)) return true;
  const int error = ReplayJournal(name, index.Table().file, index.file);
  RereadTable(index.Table());
  RereadIndex(index);
  if (error != 0) {
    SetError(error, name + " [KeyedWrite]");
    return false;
  }
  return true;
}

}  // namespace

std::string KeyedWriteJournalName(const std::string& index_name) {
  return ForceExt(index_name, ExtLike(index_name, "$KJ"));
}

namespace {

// Leaves the semaphore's lock bracket once; the first error met stays the
// one reported.
void LeaveSemaphore(int area) {
  const std::uint16_t number = DbfErrorNo;
  const std::string detail = ErrorDetail;
  SetLockSemaphoreProc(area, false);
  if (number != 0) {
    DbfErrorNo = number;
    ErrorDetail = detail;
    ReportedErrorNo = number;
  }
}

// Leaves one level of the writer's bracket: the AutoReport setting of its
// entry comes back and the semaphore is left.
void LeaveLevel(IndexFile& index) {
  --index.write_depth;
  LeaveSemaphore(index.area);
  SetAutoReport(index.auto_reports.back());
  index.auto_reports.pop_back();
}

// Ends the unit and leaves every level of the bracket (a failed command in
// a transaction leaves its own level and the transaction's).
void EndUnitAndLeave(IndexFile& index, bool keep) {
  if (index.journal) EndUnit(index, keep);
  while (index.write_depth > 0) LeaveLevel(index);
}

// A command inside a transaction failed: the whole transaction is rolled
// back, and refuses writes until the caller ends it.
void FailTransaction(IndexFile& index) {
  EndUnitAndLeave(index, false);
  index.transaction = IndexFile::Transaction::kFailed;
}

}  // namespace

void KeyedWriteBracket(int area, bool enter) {
  IndexFile* index = IndexOf(area);
  if (enter) {
    if (index != nullptr && index->transaction == IndexFile::Transaction::kFailed) {
      SetError(1103,
               Ansi("Transaktion nach einem Fehler zurückgenommen, sie muß beendet werden: ") +
                   index->Table().file_name + " [KeyedWrite]");
      return;
    }
    SetLockSemaphoreProc(area, true);
    if (DbfErrorNo != 0 || index == nullptr) return;
    ++index->write_depth;
    index->auto_reports.push_back(SetAutoReport(false));
    int error = 0;
    if (index->write_depth > 1) {
      if (index->transaction != IndexFile::Transaction::kOpen || !index->journal) return;
      if ((error = SaveCommandBytes(*index)) == 0) return;
      SetError(error, index->journal->name + " [KeyedWrite]");
      FailTransaction(*index);
      return;
    }
    CheckChangeCounter(*index);
    if (RecoverUnderLock(*index) && (error = BeginUnit(*index)) == 0) return;
    if (error != 0) SetError(error, KeyedWriteJournalName(index->file_name) + " [KeyedWrite]");
    LeaveLevel(*index);
    return;
  }
  if (index == nullptr || index->write_depth == 0) {
    LeaveSemaphore(area);
    return;
  }
  if (index->write_depth == 1) {
    EndUnitAndLeave(*index, true);
    return;
  }
  if (index->transaction == IndexFile::Transaction::kOpen && index->journal) {
    if (DbfErrorNo == 0) {
      if (const int error = PutOutHeldWrites(*index); error != 0)
        SetError(error,
                 "Fehler beim Schreiben der Index-Datei: " + index->file_name + " [KeyedWrite]");
    }
    if (DbfErrorNo != 0) {
      FailTransaction(*index);
      return;
    }
  }
  LeaveLevel(*index);
}

void LeaveTransactionUnit(IndexFile& index, bool keep) {
  index.transaction = IndexFile::Transaction::kNone;
  if (index.write_depth == 0) return;
  SetAutoReport(false);
  EndUnitAndLeave(index, keep);
}

bool RecoverKeyedWriteAtOpen(int area, const std::string& index_name) {
  const std::string name = KeyedWriteJournalName(index_name);
  WorkArea* table = WorkAreas[static_cast<std::size_t>(area)].get();
  if (!os::FileExists(name) || table == nullptr || (table->open_mode & 0x0F) == os::kOpenRead)
    return true;
  SetLockSemaphoreProc(area, true);
  if (DbfErrorNo != 0) return false;
  int error = 0;
  if (os::FileExists(name)) {
    const int mode =
        NetworkLocking && !table->exclusive ? os::kOpenReadWriteDenyNone : os::kOpenReadWrite;
    const os::Handle index = os::OpenFile(index_name, mode, &error);
    if (index != os::kNoHandle) {
      error = ReplayJournal(name, table->file, index);
      os::CloseFile(index);
    }
    RereadTable(*table);
  }
  SetLockSemaphoreProc(area, false);
  if (error != 0) {
    SetError(error, name + " [KeyedWrite]");
    return false;
  }
  return DbfErrorNo == 0;
}

void CloseKeyedWriteJournal(IndexFile& index) {
  if (index.journal_file == os::kNoHandle) return;
  os::CloseFile(index.journal_file);
  index.journal_file = os::kNoHandle;
  const std::string name = KeyedWriteJournalName(index.file_name);
  int error = os::DeleteFile(name);
  if (error == 0 && FlushAsked()) error = os::FlushDirectory(name);
  if (error != 0) SetError(error, name + " [KeyedWrite]");
}

}  // namespace orvex
