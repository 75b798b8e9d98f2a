#include "memo/memo_pack_journal.h"

#include <cstring>

#include "common/errors.h"
#include "common/journal_bytes.h"
#include "common/names.h"
#include "engine/record_io.h"
#include "engine/record_pack.h"
#include "platform/os/files.h"

namespace orvex {

namespace {

// Journal layout: the 8 bytes of kMagic, the entry count (32-bit), per entry
// the field's file offset (64-bit) and its old text length (8-bit) and
// bytes, then a checksum of everything before it (32-bit FNV-1a). All
// integers little-endian.
constexpr char kMagic[8] = {'O', 'X', 'P', 'A', 'C', 'K', '1', '\n'};

std::string EncodeJournal(const std::vector<FieldUpdate>& updates) {
  std::string out(kMagic, sizeof kMagic);
  PutLe(&out, updates.size(), 4);
  for (const FieldUpdate& update : updates) {
    PutLe(&out, static_cast<std::uint64_t>(update.offset), 8);
    PutLe(&out, update.old_text.size(), 1);
    out += update.old_text;
  }
  PutLe(&out, JournalChecksum(out), 4);
  return out;
}

// The entries of a complete journal (old texts only); false when the
// journal is cut short or damaged.
bool DecodeJournal(const std::string& in, std::vector<FieldUpdate>* updates) {
  if (in.size() < sizeof kMagic + 8 || std::memcmp(in.data(), kMagic, sizeof kMagic) != 0) return false;
  const std::size_t body = in.size() - 4;
  if (GetLe(in, body, 4) != JournalChecksum(in.substr(0, body))) return false;
  const std::uint64_t count = GetLe(in, sizeof kMagic, 4);
  std::size_t at = sizeof kMagic + 4;
  for (std::uint64_t i = 0; i < count; ++i) {
    if (at + 9 > body) return false;
    const std::int64_t offset = static_cast<std::int64_t>(GetLe(in, at, 8));
    const std::size_t length = static_cast<unsigned char>(in[at + 8]);
    at += 9;
    if (at + length > body) return false;
    updates->push_back({offset, in.substr(at, length), {}});
    at += length;
  }
  return at == body;
}

}  // namespace

std::string PackTempName(const std::string& memo_name) { return ForceExt(memo_name, "$$$"); }
std::string PackJournalName(const std::string& memo_name) { return ForceExt(memo_name, "$PK"); }

bool WritePackJournal(const std::string& memo_name, const std::vector<FieldUpdate>& updates) {
  const std::string name = PackJournalName(memo_name);
  const std::string bytes = EncodeJournal(updates);
  int error = 0;
  const os::Handle file = os::CreateFile(name, os::kOpenReadWriteExclusive, &error);
  if (file != os::kNoHandle) {
    error = os::WriteAt(file, 0, bytes.data(), bytes.size());
    if (error == 0) error = os::FlushFileBuffers(file);
    const int close_error = os::CloseFile(file);
    if (error == 0) error = close_error;
    if (error == 0) error = os::FlushDirectory(name);
    if (error != 0) os::DeleteFile(name);
  }
  if (error != 0) {
    SetError(error, name + " [PackMemofile]");
    return false;
  }
  return true;
}

int WriteFieldTexts(os::Handle table, const std::vector<FieldUpdate>& updates, bool new_texts) {
  for (const FieldUpdate& update : updates) {
    const std::string& text = new_texts ? update.new_text : update.old_text;
    const int error = os::WriteAt(table, update.offset, text.data(), text.size());
    if (error != 0) return error;
  }
  return os::FlushFileBuffers(table);
}

namespace {

// Writes the journal's old texts back into the table when the journal is
// complete. Returns 0 or the I/O error.
int RollBackFields(WorkArea& area, const std::string& journal) {
  std::string bytes;
  int error = 0;
  if (!ReadWholeFile(journal, &bytes, &error)) return error;
  std::vector<FieldUpdate> updates;
  if (!DecodeJournal(bytes, &updates) || updates.empty()) return 0;
  if ((area.open_mode & 0x0F) != os::kOpenRead) {
    error = WriteFieldTexts(area.file, updates, false);
  } else {
    // A read-only area: the table is opened for writing in the same share
    // mode for the rollback, then opened again as it was (no lock is held
    // this early in the open).
    os::CloseFile(area.file);
    const os::Handle table = os::OpenFile(area.file_name, (area.open_mode & 0xF0) | os::kOpenReadWrite, &error);
    if (table != os::kNoHandle) {
      error = WriteFieldTexts(table, updates, false);
      os::CloseFile(table);
    }
    int reopen_error = 0;
    area.file = os::OpenFile(area.file_name, area.open_mode, &reopen_error);
    if (error == 0) error = reopen_error;
  }
  InvalidateReadAhead(area);
  // The open has read the current record already: read it again.
  if (error == 0 && area.record_number >= 1 && area.record_number <= area.record_count &&
      GetDbfRecord(area, area.record_number)) {
    UnpackRecord(area);
  }
  return error;
}

}  // namespace

bool RecoverInterruptedPack(WorkArea& area, const std::string& memo_name,
                            const std::string& routine) {
  const std::string journal = PackJournalName(memo_name);
  const std::string temp = PackTempName(memo_name);
  const bool renamed = !os::FileExists(temp);
  if (!os::FileExists(journal)) {
    // A new memo file that was never committed; nothing refers to it.
    if (!renamed) os::DeleteFile(temp);
    return true;
  }
  int error = 0;
  std::string failed = journal;
  if (!renamed) {
    error = RollBackFields(area, journal);
    failed = error != 0 ? area.file_name : temp;
    if (error == 0) error = os::DeleteFile(temp);
  }
  if (error == 0) {
    failed = journal;
    error = os::DeleteFile(journal);
    if (error == 0) error = os::FlushDirectory(journal);
  }
  if (error != 0) {
    SetError(error, failed + " [" + routine + "]");
    return false;
  }
  return true;
}

}  // namespace orvex
