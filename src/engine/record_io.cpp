// Reading and writing records in the table file.
#include "engine/record_io.h"

#include <algorithm>
#include <cstring>

#include "common/errors.h"
#include "engine/dbf_file.h"
#include "engine/engine_text.h"
#include "engine/entry_points.h"
#include "engine/locks.h"
#include "engine/record_pack.h"

namespace orvex {

namespace {

constexpr std::size_t kReadAheadBytes = 64 * 1024;

std::int64_t RecordOffset(const WorkArea& area, std::int32_t n) {
  return static_cast<std::int64_t>(area.header_length) +
         static_cast<std::int64_t>(n - 1) * static_cast<std::int64_t>(area.record_length);
}

// Points `stored` at the record bytes at `offset` in the read-ahead block,
// reading the block first when it does not hold them. Returns 0, an I/O
// error or 213 for a short read.
int ReadThroughBlock(WorkArea& area, std::int64_t offset, const char** stored) {
  ReadAhead& ra = area.read_ahead;
  std::size_t length = area.record_length;
  bool inside = offset >= ra.offset && offset + static_cast<std::int64_t>(length) <=
                                           ra.offset + static_cast<std::int64_t>(ra.length);
  if (!inside) {
    std::size_t block = std::max(kReadAheadBytes, length);
    std::int64_t start = offset;
    // Moving backwards: let the block end at the record, so that a backward
    // walk is served from it as well.
    if (ra.length > 0 && offset < ra.offset) {
      start = std::max<std::int64_t>(area.header_length,
                                     offset + static_cast<std::int64_t>(length) - static_cast<std::int64_t>(block));
    }
    ra.bytes.resize(block);
    std::size_t done = 0;
    int err = os::ReadAt(area.file, start, ra.bytes.data(), block, &done);
    ra.offset = start;
    ra.length = err == 0 ? done : 0;
    if (err != 0) return err;
    if (offset + static_cast<std::int64_t>(length) > start + static_cast<std::int64_t>(done)) return 213;
  }
  *stored = ra.bytes.data() + (offset - ra.offset);
  return 0;
}

// Copies bytes this process wrote into the read-ahead block where it holds
// them.
void PatchReadAhead(WorkArea& area, std::int64_t offset, const char* bytes, std::size_t length) {
  ReadAhead& ra = area.read_ahead;
  std::int64_t begin = std::max(offset, ra.offset);
  std::int64_t end = std::min(offset + static_cast<std::int64_t>(length), ra.offset + static_cast<std::int64_t>(ra.length));
  if (begin < end) std::memcpy(ra.bytes.data() + (begin - ra.offset), bytes + (begin - offset), end - begin);
}

// Writes the first `length` bytes of the record buffer as record n (append
// when n is above the count). `whole` converts the record for writing and
// back. A failed write leaves the file as it was (os::WriteAtUndoable), which
// keeps the old record or, behind the last one, the end-of-file marker.
// Returns true on success.
bool WriteRecord(WorkArea& area, std::int32_t n, std::size_t length, bool whole, const char* tag) {
  bool append = n > area.record_count;
  if (append) n = area.record_count + 1;
  if (area.is_virtual) {
    area.virtual_operation = kVirtualWrite;
    area.virtual_record = n;
    if (VirtualFiles.handler != nullptr) VirtualFiles.handler(area);
    if (DbfErrorNo != 0) return false;
    if (append) area.record_count = n;
    area.record_number = n;
    return true;
  }
  std::int64_t offset = RecordOffset(area, n);
  if (whole) ConvertForWrite(area, area.record.data());
  // Nobody else changes an unshared file: its size, asked once, spares the
  // undoable write the read of what lies behind the last record when
  // records are appended one after another.
  if (area.unshared && area.known_file_size < 0) {
    int size_err = 0;
    area.known_file_size = os::FileSize(area.file, &size_err);
  }
  int err = os::WriteAtUndoable(area.file, offset, area.record.data(), length,
                                area.unshared ? area.known_file_size : -1);
  if (err == 0) {
    PatchReadAhead(area, offset, area.record.data(), length);
    if (area.known_file_size >= 0) {
      area.known_file_size = std::max(area.known_file_size, offset + static_cast<std::int64_t>(length));
    }
  } else {
    area.known_file_size = -1;  // the undo may have cut the file
  }
  if (whole) ConvertForRead(area, area.record.data());
  if (err != 0) {
    SetError(err, "Datei:  " + area.file_name + tag);
    return false;
  }
  if (append) {
    area.record_count = n;
    area.record_number = n;
    area.status = TableStatus::kRecordsAppended;
  } else if (area.status != TableStatus::kRecordsAppended) {
    area.status = TableStatus::kRecordWritten;
  }
  if (FlushEachWrite) {
    if (append) {
      FlushHeader(area);
    } else {
      FlushFile(area.file);
    }
  }
  return DbfErrorNo == 0;
}

}  // namespace

void InvalidateReadAhead(WorkArea& area) { area.read_ahead = ReadAhead{}; }

bool GetDbfRecord(WorkArea& area, std::int32_t n, const char** read_form) {
  if (n < 1 || n > area.record_count) {
    SetError(212, Ansi("Ungültige Datensatznr. = ") + std::to_string(n) + " (" + area.file_name +
                      ")  [GetDbfRecord]");
    return false;
  }
  area.eof = area.bof = false;
  if (read_form != nullptr) *read_form = area.record.data();
  if (area.is_virtual) {
    area.virtual_operation = kVirtualRead;
    area.virtual_record = n;
    if (VirtualFiles.handler != nullptr) VirtualFiles.handler(area);
    if (DbfErrorNo != 0) return false;
    area.record_number = n;
    return true;
  }
  std::int64_t offset = RecordOffset(area, n);
  int err = 0;
  const char* stored = nullptr;
  if (area.unshared) {
    err = ReadThroughBlock(area, offset, &stored);
  } else {
    std::size_t done = 0;
    err = os::ReadAt(area.file, offset, area.record.data(), area.record_length, &done);
    if (err == 0 && done != area.record_length) err = 213;
  }
  if (err != 0) {
    SetError(err, "Datei:  " + area.file_name + "  [GetDbfRecord]");
    return false;
  }
  area.record_number = n;
  if (stored != nullptr) {
    std::memcpy(area.record.data(), stored, area.record_length);
    if (!NeedsReadConversion(area, stored)) {
      if (read_form != nullptr) *read_form = stored;
      return true;
    }
  }
  ConvertForRead(area, area.record.data());
  return true;
}

bool PutDbfRecord(WorkArea& area, std::int32_t n) {
  return WriteRecord(area, n, area.record_length, true, " [Replace/Append/PutDbfRecord]");
}

bool WriteDeletionFlag(WorkArea& area, std::int32_t n) {
  return WriteRecord(area, n, 1, false, " [DeleteRec/RecallRec]");
}

void BlankRecord(WorkArea& area) {
  if (area.is_virtual) {
    if (area.unpacked != nullptr) std::memset(area.unpacked, 0, area.unpacked_size);
    return;
  }
  std::fill(area.record.begin(), area.record.end(), ' ');
  UnpackRecord(area);
}

void ClearRecord() {
  WorkArea* area = RequireTable("ClearRecord");
  if (area != nullptr) BlankRecord(*area);
}

std::int32_t RecCount() {
  WorkArea* area = CurrentWorkArea();
  if (area == nullptr) return 0;
  RefreshRecCount(*area);
  return area->record_count;
}

std::int32_t RecNo() {
  WorkArea* area = CurrentWorkArea();
  return area ? area->record_number : 0;
}

int RecSize() {
  WorkArea* area = CurrentWorkArea();
  return area ? area->record_length : 0;
}

}  // namespace orvex
