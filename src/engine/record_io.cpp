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

// Points `stored` at record n's bytes in its read-ahead block, reading the
// block first when it is not held (or was read before the file grew past
// the record). Returns 0, an I/O error or 213 for a short read.
int ReadThroughBlock(WorkArea& area, std::int32_t n, const char** stored) {
  ReadAhead& ra = area.read_ahead;
  const std::size_t length = area.record_length;
  if (ra.block_records == 0) ra.block_records = std::max<std::size_t>(1, kReadAheadBytes / length);
  const std::size_t index = static_cast<std::size_t>(n - 1);
  const std::size_t number = index / ra.block_records;
  const std::size_t at = (index % ra.block_records) * length;
  if (number >= ra.blocks.size()) ra.blocks.resize(number + 1);
  std::vector<char>* block = &ra.blocks[number];
  if (block->size() < at + length) {
    const std::size_t size = ra.block_records * length;
    if (ra.held + size > ReadAheadLimit) {
      // Over the limit: start over with this block alone.
      ra.blocks.assign(number + 1, {});
      ra.held = 0;
      block = &ra.blocks[number];
    }
    ra.held -= block->size();
    block->resize(size);
    std::size_t done = 0;
    int err = os::ReadAt(area.file, RecordOffset(area, static_cast<std::int32_t>(number * ra.block_records + 1)),
                         block->data(), size, &done);
    block->resize(err == 0 ? done : 0);
    ra.held += block->size();
    if (err != 0) return err;
    if (block->size() < at + length) return 213;
  }
  *stored = block->data() + at;
  return 0;
}

// Reads record n as stored: for areas nobody else changes through the
// read-ahead block (*block then points at the bytes there), otherwise from
// the file into `into`. Returns 0, an I/O error or 213.
int ReadStored(WorkArea& area, std::int32_t n, char* into, const char** block) {
  *block = nullptr;
  if (area.unshared) return ReadThroughBlock(area, n, block);
  std::size_t done = 0;
  int err = os::ReadAt(area.file, RecordOffset(area, n), into, area.record_length, &done);
  return err == 0 && done != area.record_length ? 213 : err;
}

// Copies bytes this process wrote into the read-ahead blocks that hold them.
void PatchReadAhead(WorkArea& area, std::int64_t offset, const char* bytes, std::size_t length) {
  ReadAhead& ra = area.read_ahead;
  if (ra.block_records == 0 || offset < area.header_length) return;
  const std::int64_t block_bytes = static_cast<std::int64_t>(ra.block_records * area.record_length);
  for (std::int64_t from = offset; from < offset + static_cast<std::int64_t>(length);) {
    std::int64_t relative = from - area.header_length;
    std::size_t number = static_cast<std::size_t>(relative / block_bytes);
    std::int64_t within = relative % block_bytes;
    std::int64_t count = std::min(block_bytes - within, offset + static_cast<std::int64_t>(length) - from);
    if (number < ra.blocks.size()) {
      std::vector<char>& block = ra.blocks[number];
      std::int64_t held = std::min<std::int64_t>(count, static_cast<std::int64_t>(block.size()) - within);
      if (held > 0) std::memcpy(block.data() + within, bytes + (from - offset), static_cast<std::size_t>(held));
    }
    from += count;
  }
}

// Writes the first `length` bytes of the record buffer as record n (append
// when n is above the count). `whole` converts the record for writing and
// back; `kept`, when given, puts back the stored bytes of the fields it marks
// after the conversion. Returns true on success.
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
  int err = os::WriteAt(area.file, offset, area.record.data(), length);
  if (err == 0) {
    PatchReadAhead(area, offset, area.record.data(), length);
    if (area.known_file_size >= 0) {
      area.known_file_size = std::max(area.known_file_size, offset + static_cast<std::int64_t>(length));
    }
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
  const char* stored = nullptr;
  int err = ReadStored(area, n, area.record.data(), &stored);
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
