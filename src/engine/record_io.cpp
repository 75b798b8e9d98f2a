// Reading and writing records in the table file.
#include "engine/record_io.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "common/errors.h"
#include "engine/dbf_file.h"
#include "engine/engine_text.h"
#include "engine/entry_points.h"
#include "engine/field_values.h"
#include "engine/locks.h"
#include "engine/record_pack.h"

namespace orvex {

namespace {

std::int64_t RecordOffset(const WorkArea& area, std::int32_t n) {
  return static_cast<std::int64_t>(area.header_length) +
         static_cast<std::int64_t>(n - 1) * static_cast<std::int64_t>(area.record_length);
}

RecordGeometry Geometry(const WorkArea& area) { return {area.header_length, area.record_length}; }

// Reads record n as stored: for areas nobody else changes through the
// record cache (*block then points at the bytes there when a held block
// serves them), otherwise from the file into `into`, through the area's
// mapping of it, which gives what a read call gives at that moment: other
// programs' changes and appends are seen at every read. Returns 0, an I/O
// error or 213.
int ReadStored(WorkArea& area, std::int32_t n, char* into, const char** block) {
  *block = nullptr;
  if (area.unshared) return area.record_cache.Read(area.file, Geometry(area), n, into, block);
  std::size_t done = 0;
  int err =
      area.mapped_reads.ReadAt(area.file, RecordOffset(area, n), into, area.record_length, &done);
  return err == 0 && done != area.record_length ? 213 : err;
}

// Writes the first `length` bytes of the record buffer as record n (append
// when n is above the count). `whole` converts the record for writing and
// back; `kept`, when given, puts back the stored bytes of the fields it marks
// after the conversion. A failed write leaves the file as it was
// (os::WriteAtUndoable), which keeps the old record or, behind the last one,
// the end-of-file marker. Returns true on success.
bool WriteRecord(WorkArea& area, std::int32_t n, std::size_t length, bool whole, const char* tag,
                 const KeptFields* kept = nullptr) {
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
  if (kept != nullptr) {
    for (std::size_t i = 0; i < area.fields.size() && i < kept->unchanged.size(); ++i) {
      const FieldDesc& f = area.fields[i];
      if (kept->unchanged[i]) std::memcpy(area.record.data() + f.offset, kept->stored + f.offset, f.length);
    }
  }
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
    area.record_cache.Patch(Geometry(area), offset, area.record.data(), length);
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
    // Other programs count the records of a dBASE II file by its header
    // (see RefreshRecCount): the count goes there with the record.
    if (area.dialect == DbfDialect::kDbase2) {
      const std::uint8_t count[2] = {static_cast<std::uint8_t>(n & 0xFF), static_cast<std::uint8_t>((n >> 8) & 0xFF)};
      err = os::WriteAt(area.file, 1, count, 2);
      if (err != 0) {
        SetError(err, "Datei:  " + area.file_name + tag);
        return false;
      }
    }
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

void InvalidateReadAhead(WorkArea& area) {
  area.record_cache.Clear();
  area.mapped_reads.Reset();
}

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
  const char* stored = nullptr;
  int err = ReadStored(area, n, area.record.data(), &stored);
  if (err != 0) {
    SetError(err, "Datei:  " + area.file_name + "  [GetDbfRecord]");
    // No record is current after a failed read, as at the end of file: the
    // buffer may hold part of record n over another record's bytes, and a
    // write that followed would change the wrong record. (With a damaged
    // count of 2^31 - 1 no number is left behind the last; 0 then.)
    area.record_number =
        area.record_count < std::numeric_limits<std::int32_t>::max() ? area.record_count + 1 : 0;
    area.eof = true;
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

bool PutDbfRecord(WorkArea& area, std::int32_t n, const KeptFields* kept) {
  return WriteRecord(area, n, area.record_length, true, " [Replace/Append/PutDbfRecord]", kept);
}

bool ReadStoredRecord(WorkArea& area, std::int32_t n, std::vector<char>* stored) {
  stored->assign(area.record_length, ' ');
  const char* block = nullptr;
  int err = ReadStored(area, n, stored->data(), &block);
  if (err == 0 && block != nullptr) std::memcpy(stored->data(), block, area.record_length);
  if (err != 0) SetError(err, "Datei:  " + area.file_name + "  [GetDbfRecord]");
  return err == 0;
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
  BlankRawFields(area, area.record.data());  // Visual FoxPro's binary fields hold zeros
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
