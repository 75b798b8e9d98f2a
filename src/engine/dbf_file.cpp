// The DBF file: header checks at open, creation, header rewrite and close.
#include "engine/dbf_file.h"

#include <chrono>
#include <cstring>
#include <thread>

#include "common/errors.h"
#include "common/names.h"
#include "common/quiet_errors.h"
#include "engine/engine_text.h"
#include "engine/entry_points.h"
#include "engine/field_values.h"
#include "engine/locks.h"
#include "engine/record_io.h"
#include "engine/record_pack.h"
#include "platform/os/codepage.h"
#include "platform/os/system.h"

namespace orvex {

namespace {

constexpr int kDbase2HeaderLength = 521;
// Visual FoxPro puts the name of the database a table belongs to (the
// backlink) between the descriptors' terminator and the first record.
constexpr int kBacklinkLength = 263;

std::uint16_t Get16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
std::uint32_t Get32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
void Put16(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}
void Put32(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

std::string ShortName(const std::string& name) {
  NameParts parts = SplitName(name);
  return parts.name + parts.ext;
}

bool ExtraVersionsConfigured() { return ExtraVersionPlain != 0 || ExtraVersionMemo != 0; }

bool VersionAccepted(std::uint8_t v) {
  switch (v) {
    case 0x02: case 0x03: case 0x04: case 0x83: case 0x8B: case 0x8C:  // dBASE, level 7
    case 0x30: case 0x31: case 0x32: case 0xF5: case 0xFB:             // FoxPro
      return true;
    default: return (ExtraVersionPlain != 0 && v == ExtraVersionPlain) ||
                    (ExtraVersionMemo != 0 && v == ExtraVersionMemo);
  }
}

// Releases what a failed open holds and reports the error.
bool FailOpen(WorkArea& area, int number, const std::string& detail) {
  if (area.file != os::kNoHandle) os::CloseFile(area.file);
  area.file = os::kNoHandle;
  area.record.clear();
  area.fields.clear();
  area.field_count = 0;
  area.status = TableStatus::kClosed;
  SetError(number, detail);
  return false;
}

std::string NotDbase(const std::string& name, const char* gap, const char* reason, const char* tag) {
  return name + " ist keine dBASE-Datenbank." + gap + "(" + Ansi(reason) + ")" + tag;
}

// One descriptor slot: name at 0 (up to 11 bytes, 0-ended, 10 kept), type,
// length and decimals at the dialect's positions. B, G and P are memo
// fields except in Visual FoxPro, where B is a double and G and P hold
// binary block numbers.
FieldDesc ParseSlot(const std::uint8_t* slot, int type_at, int length_at, int decimals_at, bool visual_foxpro) {
  FieldDesc f;
  std::size_t n = 0;
  while (n < 11 && slot[n] != 0) ++n;
  f.name = os::CharUpperString(std::string_view(reinterpret_cast<const char*>(slot), std::min<std::size_t>(n, 10)));
  f.type = static_cast<char>(slot[type_at]);
  if (!visual_foxpro && (f.type == 'B' || f.type == 'G' || f.type == 'P')) f.type = 'M';
  f.length = slot[length_at];
  f.decimals = slot[decimals_at];
  if (visual_foxpro) f.flags = slot[18];
  return f;
}

// Where the descriptors of a dialect lie: `slots` holds the bytes from file
// offset `first` up to the header length.
struct SlotLayout {
  int first;
  int slot_size;
  int slot_count;
  int type_at;
  int length_at;
  int decimals_at;
};

// True when the descriptor list ends inside the header. Without a 0x0D
// terminator in the slots, the byte behind the last descriptor must end the
// list: a header length that leaves exactly one byte behind it (and the
// backlink area of Visual FoxPro) names the count itself, whatever that byte
// holds, when the record length agrees (the fields fill it exactly); else
// inside the header a terminator (some programs write 0x00 there),
// at the header length the first record's deletion flag (blank or "*"), the
// end-of-file marker or the end of the file. Anything else is the next
// descriptor, which a header length too short has cut off.
bool DescriptorsEndInHeader(WorkArea& area, const std::vector<std::uint8_t>& slots, const SlotLayout& layout,
                            bool terminated) {
  if (terminated) return true;
  const std::size_t behind = area.fields.size() * static_cast<std::size_t>(layout.slot_size);
  if (behind + 1 + (area.visual_foxpro ? kBacklinkLength : 0) == slots.size()) {
    int filled = 1;
    for (const FieldDesc& f : area.fields) filled += f.length;
    if (filled == area.record_length) return true;
  }
  if (behind < slots.size()) return slots[behind] == 0x0D || slots[behind] == 0x00;
  std::uint8_t next = 0;
  std::size_t done = 0;
  // A read error here is no proof of damage; reading the records reports it.
  if (os::ReadAt(area.file, layout.first + static_cast<std::int64_t>(behind), &next, 1, &done) != 0) return true;
  return done == 0 || next == ' ' || next == '*' || next == 0x1A;
}

// FoxPro and Clipper store the length of a C field above 255 bytes with its
// high byte in the decimals byte. A C field with decimals is read so only
// when the record length says so (the plain lengths leave it short and the
// wide ones fill it exactly), because other programs leave stray decimals in
// C fields too. The wide fields are carried raw: their text is longer than
// the unpacked form of C can hold. *offset is moved to the end of the fields.
void ReadWideCharFields(WorkArea& area, int* offset) {
  int wide = 1;
  for (const FieldDesc& f : area.fields) wide += f.length + (f.type == 'C' && !f.raw ? 256 * f.decimals : 0);
  if (*offset == area.record_length || wide != area.record_length) return;
  *offset = 1;
  for (FieldDesc& f : area.fields) {
    if (f.type == 'C' && !f.raw && f.decimals > 0) {
      f.length = static_cast<std::uint16_t>(f.length + 256 * f.decimals);
      f.decimals = 0;
      f.raw = f.length > 255;
    }
    f.offset = static_cast<std::uint16_t>(*offset);
    *offset += f.length;
  }
}

// Walks the descriptor slots into area.fields and checks that the header
// and record lengths agree with them. False after reporting.
bool ParseFields(WorkArea& area, const std::vector<std::uint8_t>& slots, const SlotLayout& layout) {
  const int slot_size = layout.slot_size;
  const int type_at = layout.type_at, length_at = layout.length_at, decimals_at = layout.decimals_at;
  int offset = 1;
  bool terminated = false;
  for (int i = 0; i < layout.slot_count; ++i) {
    const std::uint8_t* slot = slots.data() + static_cast<std::size_t>(i) * slot_size;
    if (slot[0] == 0x0D) {
      terminated = true;
      break;
    }
    FieldDesc f = ParseSlot(slot, type_at, length_at, decimals_at, area.visual_foxpro);
    f.offset = static_cast<std::uint16_t>(offset);
    offset += f.length;
    // The types beyond dBASE's own (and fields of length 0) are carried as
    // raw bytes; a type no dialect explains is refused.
    f.raw = IsRawFieldType(area, f.type, f.length);
    area.binary_fields = area.binary_fields || (f.raw && f.length > 0 && !RawFieldHoldsText(f));
    if (!f.raw && !AllowedFieldTypes.test(static_cast<unsigned char>(f.type))) {
      return FailOpen(area, 211, "Field: " + f.name + " [" + std::string(1, f.type) + "] in " + area.file_name +
                                     Ansi(" ist kein gültiger Feldtyp"));
    }
    area.fields.push_back(std::move(f));
  }
  ReadWideCharFields(area, &offset);
  if (area.fields.empty()) {
    return FailOpen(area, 222, "Fehler beim Lesen von " + area.file_name + " [Use/OpenDbf]");
  }
  // A header that contradicts its field list is damaged: reading it anyway
  // would show record bytes as descriptors, or fields at the wrong places.
  // (Fields reaching beyond the record would even be read outside the
  // record buffer.)
  const char* mismatch = nullptr;
  if (!DescriptorsEndInHeader(area, slots, layout, terminated)) {
    mismatch = "Header-Länge kleiner als die Feldbeschreibungen";
  } else if (offset > area.record_length) {
    mismatch = "Datensatzlänge kleiner als die Summe der Feldlängen";
  } else if (offset < area.record_length) {
    mismatch = "Datensatzlänge größer als die Summe der Feldlängen";
  }
  if (mismatch != nullptr) {
    return FailOpen(area, 210, NotDbase(ShortName(area.file_name), " ", mismatch, " [Use/OpenDbf]"));
  }
  area.field_count = static_cast<std::uint8_t>(area.fields.size());
  AssignNullBits(area);
  area.unpacked_offsets.clear();
  std::uint16_t at = 1;
  for (const FieldDesc& f : area.fields) {
    area.unpacked_offsets.push_back(at);
    at = static_cast<std::uint16_t>(at + UnpackedFieldSize(f));
  }
  PlanUnpacking(area);
  return true;
}

bool ReadDbase2(WorkArea& area) {
  const std::string& name = area.file_name;
  int err = 0;
  std::int64_t size = os::FileSize(area.file, &err);
  if (size < kDbase2HeaderLength) {
    return FailOpen(area, 210, NotDbase(name, "", "Datenbank-Header ist kleiner als 521 Bytes", " [Use/OpenDBF]"));
  }
  area.dialect = DbfDialect::kDbase2;
  area.record_count = Get16(&area.header[1]);
  area.header_length = kDbase2HeaderLength;
  area.record_length = Get16(&area.header[6]);
  std::vector<std::uint8_t> slots(512);
  std::size_t done = 0;
  err = os::ReadAt(area.file, 8, slots.data(), slots.size(), &done);
  if (err != 0 || done != slots.size()) {
    return FailOpen(area, err != 0 ? err : os::kErrShortRead, "Fehler beim Lesen von " + name + " [Use/OpenDBF]");
  }
  bool terminated = false;
  for (int i = 0; i < 32 && !terminated; ++i) terminated = slots[static_cast<std::size_t>(i) * 16] == 0x0D;
  if (!terminated) {
    return FailOpen(area, 210, NotDbase(ShortName(name), "", "Zu viele Datenfelder", " [Use/OpenDbf]"));
  }
  return ParseFields(area, slots, SlotLayout{8, 16, 32, 11, 12, 15});
}

bool ReadDbase3Or7(WorkArea& area, bool level7) {
  const std::string& name = area.file_name;
  area.dialect = level7 ? DbfDialect::kLevel7 : DbfDialect::kDbase3;
  // Visual FoxPro marks a memo file in the table flags (byte 28, bit 1)
  // rather than in the version byte; its memo fields hold binary block
  // numbers and are raw.
  area.visual_foxpro = !ExtraVersionsConfigured() && area.header[0] >= 0x30 && area.header[0] <= 0x32;
  area.has_memo = ExtraVersionsConfigured() ? area.header[0] == ExtraVersionMemo
                  : area.visual_foxpro     ? (area.header[28] & 0x02) != 0
                                           : (area.header[0] & 0x80) != 0;
  int header_length = Get16(&area.header[8]);
  int slot_size = level7 ? 48 : 32;
  int slot_count = header_length >= 32 ? (header_length - 32) / slot_size : 0;
  if (slot_count == 0 || slot_count > 255) {
    return FailOpen(area, 210, NotDbase(ShortName(name), " ", "Zu viele Datenfelder", " [Use/OpenDbf]"));
  }
  std::uint32_t count = Get32(&area.header[4]);
  if (count > 0x7FFFFFFF) {
    return FailOpen(area, 210, NotDbase(ShortName(name), " ", "Satzanzahl ungültig", " [Use/OpenDbf]"));
  }
  area.record_count = static_cast<std::int32_t>(count);
  area.header_length = static_cast<std::uint16_t>(header_length);
  area.record_length = Get16(&area.header[10]);
  // The descriptors start at 32 (68 for level 7, after a block that is
  // skipped) and end with the header; reading further would take record
  // bytes and fail on tables without records.
  int first = level7 ? 68 : 32;
  std::size_t area_size = header_length > first ? static_cast<std::size_t>(header_length - first) : 0;
  std::vector<std::uint8_t> slots(area_size);
  std::size_t done = 0;
  int err = os::ReadAt(area.file, first, slots.data(), slots.size(), &done);
  if (err != 0 || done != slots.size()) {
    return FailOpen(area, err != 0 ? err : os::kErrShortRead, "Fehler beim Lesen von " + name + " [Use/OpenDbf]");
  }
  int usable = static_cast<int>(area_size / static_cast<std::size_t>(slot_size));
  return ParseFields(area, slots,
                     SlotLayout{first, slot_size, std::min(slot_count, usable), level7 ? 32 : 11,
                                level7 ? 33 : 16, level7 ? 34 : 17});
}

// 0 when the table `name` may be created anew: it does not exist, or it can
// be opened for writing without sharing (no other open of it forbids that);
// else the error of that open (32 while the table is in use, 5 for a file
// that may not be written). *exists tells whether the table exists.
int CheckReplaceable(const std::string& name, bool* exists) {
  int err = 0;
  const os::Handle probe = os::OpenFile(name, os::kOpenReadWriteExclusive, &err);
  if (probe != os::kNoHandle) os::CloseFile(probe);
  *exists = err != os::kErrFileNotFound;
  return err == os::kErrFileNotFound ? 0 : err;
}

void SetToday(WorkArea& area) {
  os::LocalTime now = os::GetLocalTime();
  std::uint8_t year = static_cast<std::uint8_t>(now.year - 1900);
  if (area.dialect == DbfDialect::kDbase2) {
    area.header[3] = static_cast<std::uint8_t>(now.month);
    area.header[4] = static_cast<std::uint8_t>(now.day);
    area.header[5] = year;
  } else {
    area.header[1] = year;
    area.header[2] = static_cast<std::uint8_t>(now.month);
    area.header[3] = static_cast<std::uint8_t>(now.day);
  }
  area.last_update = LastUpdateText(year, now.month, now.day);
}

// Whether the end-of-file marker may be written after appends. In a shared
// table the append-lock byte must be held for it, so that the marker never
// lands on a record another program is appending; it is taken here when the
// area does not hold it (waiting about two seconds at most: the program
// holding it writes the marker itself when it closes). *release tells the
// caller to unlock the byte afterwards.
bool MayWriteMarker(WorkArea& area, bool* release) {
  *release = false;
  if (area.exclusive || !NetworkLocking || area.lock_state == LockState::kAppend ||
      area.lock_state == LockState::kTable) {
    return true;
  }
  for (int attempt = 0; attempt < 2000; ++attempt) {
    if (LockRange(area.file, true, LockBase + 1, 1) == 0) {
      *release = true;
      return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return false;
}

}  // namespace

int WriteBackHeader(WorkArea& area) {
  bool release = false;
  bool marker = area.status == TableStatus::kRecordsAppended && MayWriteMarker(area, &release);
  if (!area.exclusive) RefreshRecCount(area);
  SetToday(area);
  int err = 0;
  std::uint32_t count = static_cast<std::uint32_t>(std::max(area.record_count, 0));
  if (area.dialect == DbfDialect::kDbase2) {
    Put16(&area.header[1], count);
    Put16(&area.header[6], area.record_length);
    err = os::WriteAt(area.file, 0, area.header.data(), 8);
  } else {
    Put32(&area.header[4], count);
    err = os::WriteAt(area.file, 0, area.header.data(), 32);
  }
  if (err == 0 && marker) {
    const char eof = 0x1A;
    std::int64_t at = static_cast<std::int64_t>(area.header_length) +
                      static_cast<std::int64_t>(count) * area.record_length;
    err = os::WriteAt(area.file, at, &eof, 1);
    if (err == 0 && area.known_file_size >= 0) area.known_file_size = std::max(area.known_file_size, at + 1);
  }
  if (release) LockRange(area.file, false, LockBase + 1, 1);
  return err;
}

std::string LastUpdateText(int year_byte, int month, int day) {
  char text[16];
  std::snprintf(text, sizeof text, "%02d/%02d/%02d", month % 100, day % 100, year_byte % 100);
  return text;
}

bool OpenDbf(WorkArea& area) {
  area.file_name = DefaultExt(area.file_name, "DBF");
  const std::string& name = area.file_name;
  area.fields.clear();
  area.field_count = 0;
  area.has_memo = false;
  area.visual_foxpro = false;
  area.binary_fields = false;
  area.null_flags_field = -1;
  int err = 0;
  area.file = os::OpenFile(name, area.open_mode, &err);
  if (area.file == os::kNoHandle) {
    return FailOpen(area, err,
                    Ansi("Fehler beim Öffnen von ") + NameAsText(name) + " [USE/OpenDbf]");
  }
  std::size_t done = 0;
  err = os::ReadAt(area.file, 0, area.header.data(), 32, &done);
  if (err != 0 || done < 32) {
    // A dBASE II table is at least 521 bytes long, so fewer than 32 bytes are
    // never a table of any dialect.
    return FailOpen(area, 210, NotDbase(name, " ", "Prolog ist kleiner als 32 Bytes", " [USE/OpenDBF]"));
  }
  std::uint8_t version = area.header[0];
  if (!VersionAccepted(version)) {
    return FailOpen(area, 210, NotDbase(name, "", "Versions-Byte ungültig", "+ [USE/OpenDBF]"));
  }
  bool ok = false;
  if (version == 0x02 && !ExtraVersionsConfigured()) {
    ok = ReadDbase2(area);
  } else {
    ok = ReadDbase3Or7(area, (version == 0x04 || version == 0x8C) && !ExtraVersionsConfigured());
  }
  if (!ok) return false;
  if (CountFromFileSize) {
    std::int64_t size = os::FileSize(area.file, &err);
    std::int64_t count = area.record_length > 0 ? (size - area.header_length) / area.record_length : 0;
    area.record_count = static_cast<std::int32_t>(std::clamp<std::int64_t>(count, 0, 0x7FFFFFFF));
  }
  area.record.assign(area.record_length, ' ');
  if (area.dialect == DbfDialect::kDbase2) {
    area.last_update = LastUpdateText(area.header[5], area.header[3], area.header[4]);
  } else {
    area.last_update = LastUpdateText(area.header[1], area.header[2], area.header[3]);
  }
  area.status = TableStatus::kClean;
  InvalidateReadAhead(area);
  area.unshared = (area.open_mode & 0xF0) != 0x40;
  if (area.record_count > 0) {
    area.record_number = 1;
    area.bof = area.eof = false;
  } else {
    area.record_number = 0;
    area.bof = area.eof = true;
  }
  return true;
}

namespace {

// The header of a new table with `fields`: descriptors, version byte, the
// lengths and the terminator (the date and the count are written with the
// header later). False after an error: 220 for an empty field name, 211
// for a field list that cannot be stored.
bool NewTableHeader(const std::string& name, const std::vector<FieldDef>& fields,
                    std::vector<std::uint8_t>* bytes, bool* has_memo) {
  const int count = static_cast<int>(fields.size());
  bytes->assign(static_cast<std::size_t>(32 * count + 33), 0);
  bool valid = count >= 1 && count <= kMaxFields;
  *has_memo = false;
  int record_length = 1;
  for (int i = 0; i < count && i <= kMaxFields; ++i) {
    const FieldDef& def = fields[i];
    std::string field_name = os::CharUpperString(TrimBoth(def.name).substr(0, kMaxFieldNameLength));
    if (field_name.empty()) {
      SetError(220, "Empty field name [CreateDbf(" + name + ")]");
      return false;
    }
    char type = static_cast<char>(os::CharUpper(static_cast<unsigned char>(def.type)));
    int length = def.length;
    int decimals = (type == 'N' || type == 'F') ? def.decimals : 0;
    if (type == 'D') length = 8;
    if (type == 'L') length = 1;
    if (type == 'M') length = 10;
    if (!AllowedFieldTypes.test(static_cast<unsigned char>(type)) ||
        ((type == 'C' || type == 'N' || type == 'F') && length == 0)) {
      valid = false;
    }
    *has_memo = *has_memo || type == 'M';
    record_length += length;
    std::uint8_t* d = &(*bytes)[32 + 32 * static_cast<std::size_t>(i)];
    std::memcpy(d, field_name.data(), field_name.size());
    d[11] = static_cast<std::uint8_t>(type);
    d[16] = static_cast<std::uint8_t>(length);
    d[17] = static_cast<std::uint8_t>(decimals);
  }
  if (!valid || record_length > 0xFFFF) {
    SetError(211, Ansi("Felddefinition ungültig [CreateDBF]"));
    return false;
  }
  const int header_length = 32 * count + 33;
  std::uint8_t version = 0x03;
  if (ExtraVersionPlain != 0) {
    version = *has_memo ? ExtraVersionMemo : ExtraVersionPlain;
  } else if (*has_memo) {
    version = MemoVersionByte;
  }
  (*bytes)[0] = version;
  Put16(&(*bytes)[8], static_cast<std::uint32_t>(header_length));
  Put16(&(*bytes)[10], static_cast<std::uint32_t>(record_length));
  (*bytes)[static_cast<std::size_t>(header_length) - 1] = 0x0D;
  return true;
}

// Writes the new table, without records, to `temp_name`, synced and
// closed: the header, today's date and the end-of-file marker. Stops at
// CheckReplaceable's refusal of `file_name`; *existed says whether a file
// of that name is there to be replaced. A failure is reported as
// `failure` and leaves no temporary file.
bool WriteEmptyTable(const std::string& file_name, const std::string& temp_name,
                     const std::vector<std::uint8_t>& bytes, const std::string& failure,
                     bool* existed) {
  WorkArea area;
  int err = CheckReplaceable(file_name, existed);
  if (err == 0) area.file = os::CreateFile(temp_name, os::kOpenReadWriteExclusive, &err);
  if (area.file != os::kNoHandle) err = os::WriteAt(area.file, 0, bytes.data(), bytes.size());
  if (err != 0) {
    if (area.file != os::kNoHandle) {
      os::CloseFile(area.file);
      os::DeleteFile(temp_name);
    }
    SetError(err, failure);
    return false;
  }
  area.file_name = file_name;
  area.exclusive = true;
  area.status = TableStatus::kRecordsAppended;
  area.record_count = 0;
  area.header_length = Get16(&bytes[8]);
  area.record_length = Get16(&bytes[10]);
  std::memcpy(area.header.data(), bytes.data(), 32);
  err = WriteBackHeader(area);  // today's date and the end-of-file marker
  if (err == 0) err = os::FlushFileBuffers(area.file);
  const int close_err = os::CloseFile(area.file);
  if (err == 0) err = close_err;
  if (err == 0) return true;
  os::DeleteFile(temp_name);
  SetError(err, failure);
  return false;
}

}  // namespace

bool CreateDbf(const std::string& name, const std::vector<FieldDef>& fields) {
  DbfErrorNo = 0;
  const int count = static_cast<int>(fields.size());
  if (FreeMemory() < 32 * count + 33) {
    SetError(217, "CreateDBF[" + name + "]");
    return false;
  }
  std::vector<std::uint8_t> bytes;
  bool has_memo = false;
  if (!NewTableHeader(name, fields, &bytes, &has_memo)) return false;

  std::string file_name = TrimBoth(DefaultExt(name, "DBF"));
  // The table is written completely under a temporary name and takes its
  // own name in one atomic rename once its memo file exists, so that a
  // program killed while creating leaves no half table behind.
  const std::string temp_name = ForceExt(file_name, "$CR");
  const std::string failure =
      "Fehler beim Schreiben von " + NameAsText(file_name) + ". [CreateDbf]";
  // Errors are reported once the temporary file is gone: a report may raise
  // or end the program, which must not leave that file behind.
  QuietErrors quiet;
  bool existed = false;
  if (WriteEmptyTable(file_name, temp_name, bytes, failure, &existed)) {
    // The order of the two renames leaves, at any moment, the old files, the
    // new ones, or a new (empty) table beside a memo file it does not refer
    // to: a new table never lacks its memo file unless it replaced one that
    // had none, and an old table never sees a new, empty memo file.
    const auto rename_table = [&] {
      if (DbfErrorNo != 0) return;
      int err = os::ReplaceFile(temp_name, file_name);
      if (err == 0) err = os::FlushDirectory(file_name);
      if (err != 0) SetError(err, failure);
    };
    if (existed) rename_table();
    // A table whose memo file cannot be made is removed again below.
    if (DbfErrorNo == 0 && has_memo && MemoStore.create != nullptr)
      MemoStore.create(file_name, "CreateDbf()");
    if (!existed) rename_table();
    if (DbfErrorNo != 0) os::DeleteFile(temp_name);
  }
  quiet.ReportHeld();
  return DbfErrorNo == 0;
}

void FlushFile(os::Handle file) {
  int err = os::FlushFileBuffers(file);
  if (err != 0) SetError(err, Ansi("Zurückschreiben (Flush) unmöglich für Datei [FlushFile]"));
}

void FlushHeader(WorkArea& area) {
  if (area.is_virtual || area.file == os::kNoHandle) return;
  if (area.status != TableStatus::kRecordWritten && area.status != TableStatus::kRecordsAppended) return;
  int err = WriteBackHeader(area);
  area.status = TableStatus::kClean;
  if (err != 0) {
    SetError(err, "Datei:  " + area.file_name + " [FlushHeader]");
    return;
  }
  FlushFile(area.file);
}

void CloseDbf(WorkArea& area) {
  if (area.is_virtual) {
    if (VirtualFiles.handler != nullptr) {
      area.virtual_operation = kVirtualClose;
      VirtualFiles.handler(area);
    }
    area.status = TableStatus::kClosed;
    return;
  }
  int err = 0;
  if (area.file != os::kNoHandle) {
    if (area.status == TableStatus::kRecordWritten || area.status == TableStatus::kRecordsAppended) {
      err = WriteBackHeader(area);
    }
    int close_err = os::CloseFile(area.file);
    if (err == 0) err = close_err;
    area.file = os::kNoHandle;
  }
  area.status = TableStatus::kClosed;
  area.record.clear();
  area.fields.clear();
  area.field_count = 0;
  InvalidateReadAhead(area);
  if (err != 0) SetError(err, "Datei:  " + area.file_name + " [CloseDbf(" + area.file_name + ")]");
}

bool TableFlagSet() {
  WorkArea* area = CurrentWorkArea();
  if (area == nullptr || area->dialect == DbfDialect::kDbase2) return false;
  if (area->visual_foxpro) {
    return (area->header[28] & 0x01) != 0 &&
           os::FileExists(ForceExt(area->file_name, ExtLike(area->file_name, "MDX")));
  }
  return area->header[28] != 0;
}

void SetTableFlag(bool on) {
  WorkArea* area = CurrentWorkArea();
  if (area == nullptr || area->dialect == DbfDialect::kDbase2) return;
  if (area->visual_foxpro) {
    if (on) area->header[28] |= 0x01;
    return;
  }
  area->header[28] = on ? 1 : 0;
}

bool MarkProductionIndex() {
  WorkArea* area = CurrentWorkArea();
  if (area == nullptr || area->dialect == DbfDialect::kDbase2) return true;
  SetTableFlag(true);
  const int err = os::WriteAt(area->file, 28, &area->header[28], 1);
  if (err != 0) {
    SetError(err, "Datei:  " + area->file_name + " [MarkProductionIndex]");
    return false;
  }
  return true;
}

}  // namespace orvex
