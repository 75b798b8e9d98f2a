// USE, closing areas and the library's shut-down.
#include "engine/tables.h"

#include <cstdlib>
#include <cstring>

#include "common/errors.h"
#include "common/file_utils.h"
#include "common/names.h"
#include "engine/dbf_file.h"
#include "engine/engine_text.h"
#include "engine/entry_points.h"
#include "engine/locks.h"
#include "engine/navigation.h"
#include "engine/record_io.h"
#include "platform/os/codepage.h"

namespace orvex {

namespace {

// The library closes every table when the process ends normally: headers,
// end-of-file markers and the other units' files are written back.
void RegisterShutDown() {
  static bool registered = false;
  if (registered) return;
  registered = true;
  std::atexit([] {
    // Errors found while the process ends are kept, not reported: the
    // reporting path may itself end the process.
    bool auto_report = SetAutoReport(false);
    ShutDownEngine();
    SetAutoReport(auto_report);
  });
}

// The alias named after " ALIAS " in the command, or "". A table's command
// is cut there (the alias clause ends it); a virtual area's command loses
// only the clause, so that the option words after it still count.
std::string TakeAlias(std::string& command, bool keep_rest = false) {
  std::size_t at = command.find(" ALIAS ");
  if (at == std::string::npos) return "";
  std::string rest = TrimBoth(command.substr(at + 7));
  std::size_t end = std::min(rest.find(' '), rest.size());
  command.erase(at);
  if (keep_rest) command += " " + rest.substr(end) + " ";
  return rest.substr(0, std::min(end, static_cast<std::size_t>(kMaxAliasLength)));
}

bool AliasInUse(const std::string& alias) {
  for (int i = 1; i <= kSelectableAreas; ++i) {
    if (i != CurrentArea && WorkAreas[i] && WorkAreas[i]->alias == alias) return true;
  }
  return false;
}

std::string AliasUsedText(const std::string& alias) {
  return "Alias-Name \"" + alias + "\" bereits benutzt. [USE]";
}

// Removes every occurrence of a keyword; true when one was found.
bool TakeKeyword(std::string& command, const std::string& keyword) {
  bool found = false;
  for (std::size_t at; (at = command.find(keyword)) != std::string::npos;) {
    command.erase(at, keyword.size());
    found = true;
  }
  return found;
}

// Runs the remaining steps of an open. A library error raised on the way
// closes the half-opened current area before it travels on, so that a failed
// USE always leaves the slot empty.
template <typename Steps>
void ClosingOnRaise(Steps&& steps) {
  try {
    steps();
  } catch (const EOrvexError&) {
    try {
      CloseArea();
    } catch (const EOrvexError&) {
      // The first error is the one to report.
    }
    throw;
  }
}

void UseVirtual(std::string command, std::uint8_t* buffer, int size) {
  std::string call = "[USE(" + command + ",<@Buffer>," + std::to_string(size) + ")]";
  if (VirtualFiles.handler == nullptr) {
    SetError(1101, call);
    return;
  }
  if (buffer == nullptr || size <= 0 || size > 0xFFFF) {
    SetError(220, "NIL Puffer-Zeiger [USE(" + command + ",Nil," + std::to_string(size) + ")]");
    return;
  }
  TakeKeyword(command, " LINKED LIST");
  TakeKeyword(command, " VIRTUAL FILE");
  std::string alias = TakeAlias(command, true);
  if (alias.empty()) {
    std::string first = TrimBoth(command);
    first = first.substr(0, first.find(' '));
    alias = first.substr(0, std::min(first.find('.'), static_cast<std::size_t>(kMaxAliasLength)));
  }
  if (AliasInUse(alias)) {
    SetError(220, AliasUsedText(alias));
    return;
  }
  std::memset(buffer, 0, static_cast<std::size_t>(size));
  auto area = std::make_unique<WorkArea>();
  area->alias = alias;
  area->is_virtual = true;
  area->exclusive = true;
  area->record_length = static_cast<std::uint16_t>(size);
  area->unpacked = buffer;
  area->unpacked_size = static_cast<std::uint16_t>(size);
  area->bof = area->eof = true;
  area->status = TableStatus::kClean;
  static const std::pair<const char*, std::uint8_t> kStorage[] = {
      {" TO EMS", 2}, {" TO EXT", 3}, {" TO XMS", 3}, {" TO HEAP", 1}, {" TO BIGGEST", 5}};
  for (const auto& [word, kind] : kStorage) {
    if (TakeKeyword(command, word)) area->virtual_storage = kind;
  }
  static const std::pair<const char*, std::uint8_t> kOrdering[] = {
      {" FIFO", 0}, {" LIFO", 1}, {" INSERTION", 2}, {" ASCENDING", 3}, {" DESCENDING", 4}};
  for (const auto& [word, kind] : kOrdering) {
    if (TakeKeyword(command, word)) area->virtual_ordering = kind;
  }
  area->file_name = TrimRight(command);
  WorkAreas[CurrentArea] = std::move(area);
  WorkArea& opened = *WorkAreas[CurrentArea];
  opened.virtual_operation = kVirtualOpen;
  ClosingOnRaise([&] { VirtualFiles.handler(opened); });
  if (DbfErrorNo != 0) WorkAreas[CurrentArea].reset();
}

// Closes the half-opened current area and reports the failure.
void FailUse(int number, const std::string& detail) {
  std::uint16_t before = DbfErrorNo;
  CloseArea();
  DbfErrorNo = before;
  SetError(number, detail);
}

// Empties the current slot even when a close step raised.
struct SlotRelease {
  int slot;
  ~SlotRelease() {
    std::unique_ptr<WorkArea>& area = WorkAreas[slot];
    if (area && !area->is_virtual && area->file != os::kNoHandle) os::CloseFile(area->file);
    area.reset();
  }
};

// What the USE command of a table asks for.
struct TableRequest {
  std::string name;   // the file, as the caller wrote it, with the default extension
  std::string alias;  // the alias given, or the one made from the name
  std::string shown;  // the command as written, for messages
  bool exclusive = false;
  std::uint16_t mode = 0;  // the OS open mode
};

// Reads a table's USE command: `written` as the caller wrote it (trimmed,
// one blank after it), `upper` the same upper-cased.
TableRequest ReadTableCommand(const std::string& written, std::string upper) {
  TableRequest request;
  request.shown = TrimBoth(written);
  bool exclusive = RemoveWord(" EXCLUSIVE", upper);
  upper += " ";
  request.alias = TakeAlias(upper);
  std::string name = TrimBoth(upper);
  // Upper-casing keeps every byte in its place: the name stands at the
  // same offset in what the caller wrote.
  name = written.substr(os::CharUpperString(written).find(name), name.size());
  // The alias is library text derived from the name; the name itself keeps
  // its bytes.
  if (request.alias.empty())
    request.alias =
        os::CharUpperString(NameAsText(SplitName(name).name).substr(0, kMaxAliasLength));
  request.name = DefaultExt(ExpandName(name), "DBF");

  std::uint16_t mode = exclusive ? os::kOpenReadWriteExclusive : DefaultOpenMode;
  if (mode == os::kOpenReadWriteExclusive) exclusive = true;
  if (!NetworkLocking) {
    mode = os::kOpenReadWrite;
    exclusive = true;
  }
  if (OpenModeOverride != 0xFFFF) mode = OpenModeOverride & 0xFF;
  request.exclusive = exclusive;
  request.mode = mode;
  return request;
}

// Gives the opened table its unpacked buffer: the caller's, which must have
// the record's unpacked size (else error 266), or one of its own when the
// caller gave none. Refuses an alias another area holds (220). False after
// an error; the area is closed then.
bool AttachUnpackedBuffer(WorkArea& opened, const TableRequest& request, std::uint8_t* buffer,
                          int size) {
  int unpacked_size = UnpackedSize(opened.fields);
  if (buffer == nullptr) {
    opened.owned_unpacked.assign(static_cast<std::size_t>(unpacked_size), 0);
    opened.unpacked = opened.owned_unpacked.data();
    opened.owns_unpacked = true;
  } else if (size != unpacked_size) {
    FailUse(266, Ansi("Ungleiche Puffer- und Datensatzgröße der Datenbank: ") + request.shown +
                     " [USE()]\n\rRecord Size=" + std::to_string(unpacked_size) +
                     ", Buffer Size=" + std::to_string(size));
    return false;
  } else {
    opened.unpacked = buffer;
  }
  opened.unpacked_size = static_cast<std::uint16_t>(unpacked_size);
  if (AliasInUse(request.alias)) {
    FailUse(220, AliasUsedText(request.alias));
    return false;
  }
  return true;
}

// The open's last steps: the first record read (or a blank one in an empty
// table) and the memo file opened. An error closes the area.
void FinishOpen(WorkArea& opened, const TableRequest& request, int size) {
  opened.swap.assign(opened.unpacked_size, 0);
  if (opened.record_count <= 0) {
    std::memset(opened.unpacked, 0, opened.unpacked_size);
    BlankRecord(opened);
    opened.bof = opened.eof = true;
  } else {
    GoTop();
    if (DbfErrorNo != 0) {  // reported by the read
      std::uint16_t error = DbfErrorNo;
      CloseArea();
      DbfErrorNo = error;
      return;
    }
  }
  if (opened.has_memo && MemoStore.open != nullptr) {
    NameParts parts = SplitName(opened.file_name);
    MemoStore.open(parts.dir + parts.name);
    if (DbfErrorNo != 0) {
      FailUse(DbfErrorNo, "Problem mit MEMO [USE(" + request.shown + ",<@Buffer>," +
                              std::to_string(size) + ")]");
    }
  }
}

}  // namespace

void USE(const std::string& command, std::uint8_t* buffer, int size) {
  USE(command, buffer, size, nullptr, nullptr);
}

void USE(const std::string& command, std::uint8_t* buffer, int size,
         RecordTranslator read_translator, RecordTranslator write_translator) {
  CloseArea();
  DbfErrorNo = 0;
  // The option words and the alias are read from the upper-cased command;
  // the file name keeps the case the caller wrote (names are
  // case-sensitive on this platform).
  const std::string written = TrimBoth(command) + " ";
  if (written.size() == 1) return;
  std::string cmd = os::CharUpperString(written);
  if (cmd.find("LINKED LIST") != std::string::npos ||
      cmd.find("VIRTUAL FILE") != std::string::npos) {
    UseVirtual(cmd, buffer, size);
    return;
  }
  if ((buffer == nullptr) != (size == 0)) {
    SetError(220, Ansi("Puffer ist NIL oder Größe ist Null beim Öffnen von ") + TrimBoth(written) +
                      " [USE]");
    return;
  }
  const TableRequest request = ReadTableCommand(written, cmd);
  auto area = std::make_unique<WorkArea>();
  area->file_name = request.name;
  area->open_mode = static_cast<std::uint8_t>(request.mode);
  area->oem_text = !AnsiTables;
  if (!OpenDbf(*area)) return;
  area->alias = request.alias;
  area->is_virtual = false;
  area->exclusive = request.exclusive;
  area->opened_exclusive = request.exclusive;
  WorkAreas[CurrentArea] = std::move(area);
  RegisterShutDown();
  WorkArea& opened = *WorkAreas[CurrentArea];
  ClosingOnRaise([&] {
    if (!AttachUnpackedBuffer(opened, request, buffer, size)) return;
    opened.read_translator = std::move(read_translator);
    opened.write_translator = std::move(write_translator);
    FinishOpen(opened, request, size);
  });
}

void CloseArea() {
  WorkArea* area = CurrentWorkArea();
  if (area == nullptr) return;
  int slot = CurrentArea;
  SlotRelease release{slot};
  bool index_open = IndexEngine.index_open ? IndexEngine.index_open(slot) : IndexOrderActive(slot);
  if (index_open && IndexEngine.close_index != nullptr) IndexEngine.close_index(slot);
  RefreshRecCount(*area);
  Unlock();
  area->swap.clear();
  if (area->has_memo && area->memo.open && MemoStore.close != nullptr) MemoStore.close();
  if (RecordCache.release_for_alias != nullptr) RecordCache.release_for_alias(area->alias);
  if (ExpressionEngine.free != nullptr) {
    if (area->filter_expr != nullptr) ExpressionEngine.free(area->filter_expr);
    if (area->while_expr != nullptr) ExpressionEngine.free(area->while_expr);
  }
  area->filter_expr = area->while_expr = nullptr;
  CloseDbf(*area);
}

void CloseAllAreas() {
  DbfErrorNo = 0;
  for (int i = 1; i <= kSelectableAreas; ++i) {
    CurrentArea = static_cast<std::uint8_t>(i);
    CloseArea();
  }
  CurrentArea = 1;
}

void ShutDownEngine() {
  try {
    for (int i = kSelectableAreas + 1; i <= kWorkAreaSlots; ++i) {
      CurrentArea = static_cast<std::uint8_t>(i);
      CloseArea();
    }
    CloseAllAreas();
  } catch (const EOrvexError&) {
  }
}

}  // namespace orvex
