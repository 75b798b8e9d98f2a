// TOxFileDataSet: properties, opening and creating the table, the locking
// writes, index search and Locate, BLOB streams; and TOxDbf's order choice.
#include "dataset/ox_file_data_set.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>

#include "common/errors.h"
#include "common/file_utils.h"
#include "common/names.h"
#include "dataset/dataset_settings.h"
#include "dataset/ox_blob_stream.h"
#include "dataset/property_text.h"
#include "dataset/scoped_option.h"
#include "dataset/table_definitions.h"
#include "dates/date_text.h"
#include "engine/dbf_file.h"
#include "engine/entry_points.h"
#include "engine/locks.h"
#include "engine/navigation.h"
#include "engine/record_io.h"
#include "engine/tables.h"
#include "index/index_file.h"
#include "index/index_open.h"
#include "index/index_search.h"
#include "platform/data/field_kinds.h"
#include "platform/data/try_finally.h"
#include "platform/os/system.h"

namespace orvex {

namespace {

const char* const kCreateIndexNames[] = {"ciNotFound", "ciAlways", "ciVerifyHeader", "ciNever"};

}  // namespace

TOxFileDataSet::TOxFileDataSet(std::string name, bool design_mode)
    : TOxCDataSet(std::move(name), design_mode) {}

// KeepsTableOpen is this class's: the dataset is closed while it still
// answers.
TOxFileDataSet::~TOxFileDataSet() { DestroyDataSet(); }

void TOxFileDataSet::SetExclusive(bool exclusive) {
  if (exclusive == exclusive_) return;
  if (!Active()) {
    exclusive_ = exclusive;
    return;
  }
  Close();
  exclusive_ = exclusive;
  Open();
}

// ------------------------------------------------------------------ open ---

bool TOxFileDataSet::OpenTable(const std::string& name) {
  if (create_if_not_found_ && !FileExists(DefaultExt(name, "DBF")) && !CreateTable())
    DatasetWarning("Konnte '" + DbfFileName() + "' nicht erzeugen");
  std::string command = name;
  if (exclusive_) command += " EXCLUSIVE";
  const std::string alias = TrimBoth(Name());
  if (!alias.empty()) command += " ALIAS " + alias;
  {
    ScopedOption<bool> count(CountFromFileSize, auto_fix_rec_count_);
    ScopedOption<std::uint16_t> mode(
        OpenModeOverride,
        ReadOnly() ? static_cast<std::uint16_t>(exclusive_ ? 0 : 64) : OpenModeOverride);
    USE(command);
  }
  if (DbfErrorNo != 0) return false;
  if (!DesignMode()) {
    // A failure that raises leaves no table open behind the closed dataset.
    try {
      OpenProductionIndex();
    } catch (...) {
      const bool report = SetAutoReport(false);
      const std::uint16_t error = DbfErrorNo;
      USE("");
      DbfErrorNo = error;
      SetAutoReport(report);
      throw;
    }
  }
  return true;
}

FieldDef TOxFileDataSet::Corrected(const FieldDef& written) {
  const FieldDef corrected = CorrectFieldDef(written);
  if (corrected.type != written.type || corrected.length != written.length ||
      corrected.decimals != written.decimals)
    DatasetWarning(CorrectedFieldWarning(Name(), written, corrected));
  return corrected;
}

// Design mode: the lines of the open table's fields, corrected.
void TOxFileDataSet::RefillDbfFields() {
  DbfFields().clear();
  for (const FieldDesc& f : CurrentWorkArea()->fields)
    // (A FoxPro C field above 255 bytes has no field line of its own yet:
    // its line says 255, the most a new table can take.)
    DbfFields().push_back(FieldLine(Corrected(
        {f.name, f.type, static_cast<std::uint8_t>(std::min<int>(f.length, 255)), f.decimals})));
}

bool TOxFileDataSet::CreateTable() {
  if (DbfFields().empty()) {
    DatasetWarning("FieldList.Count ist <= 0 beim Versuch, eine Datenbank zu erzeugen");
    return false;
  }
  std::vector<FieldDef> defs;
  for (const std::string& line : DbfFields()) {
    FieldDef written;
    if (!ParseFieldLine(line, written)) return false;
    if (written.type == 'X') continue;
    if (MemoAsBlockNumber() && written.type == 'M') written = {written.name, 'N', 10, 0};
    defs.push_back(Corrected(written));
  }
  const bool report = SetAutoReport(false);
  const bool created = CreateDbf(DbfFileName(), defs) && DbfErrorNo == 0;
  SetAutoReport(report);
  return created;
}

// ---------------------------------------------------------------- writes ---

void TOxFileDataSet::s_AppendWithLock() {
  LockedWrite(
      "s_AppendWithLock", "Insert", ALock, [] { ::orvex::Append(); }, OnALockFailedOnInsert);
}
void TOxFileDataSet::s_DeleteWithLock() {
  LockedWrite("s_DeleteWithLock", "Delete", RLock, DeleteRec, OnRLockFailedOnDelete);
}
void TOxFileDataSet::s_RestoreWithLock() {
  LockedWrite("s_RestoreWithLock", "Restore", RLock, RecallRec, OnRLockFailedOnRestore);
}
void TOxFileDataSet::s_ReplaceWithLock() {
  LockedWrite("s_ReplaceWithLock", "Post", RLock, Replace, OnRLockFailedOnPost);
}

void TOxFileDataSet::LockedWrite(const char* routine, const char* word, bool (*lock)(),
                                 void (*operation)(), const TOxLockFailedEvent& event) {
  if (ReadOnly() || !SelectArea(routine)) return;
  int pause_ms = 10;
  for (;;) {
    if (lock()) {
      data::TryFinally(operation, [] { Unlock(); });
      return;
    }
    if (!event) {
      DatasetWarning(std::string("Sperren fehlgeschlagen [") + word + "]");
      return;
    }
    bool retry = false;
    event(this, retry);
    if (!retry) return;
    // The other program needs time to let go; the GUI stays responsive.
    std::this_thread::sleep_for(std::chrono::milliseconds(pause_ms));
    pause_ms = std::min(pause_ms * 2, 200);
    os::ProcessMessages();
    if (!SelectArea(routine)) return;
  }
}

// ---------------------------------------------------------------- search ---

bool TOxFileDataSet::Find(const std::string& key) { return Search("Find", key, false); }
bool TOxFileDataSet::FindExact(const std::string& key) { return Search("FindExact", key, true); }

bool TOxFileDataSet::Search(const char* routine, const std::string& key, bool exact) {
  if (!SelectArea(routine)) return false;
  const std::string text = key.substr(0, 100);
  const bool found = exact ? ::orvex::FindExact(text) : ::orvex::Find(text);
  if (dEOF()) {
    Last();
  } else {
    ResyncFromEngine();
  }
  return found;
}

bool TOxFileDataSet::Locate(const std::string& key_fields,
                            const std::vector<LocateValue>& key_values, unsigned options) {
  if (!SelectArea("Locate")) return false;
  if (!KeyFieldsAreActiveKey(key_fields))
    return TOxCDataSet::Locate(key_fields, key_values, options);
  std::string text;
  for (const LocateValue& value : key_values) {
    if (const auto* s = std::get_if<std::string>(&value)) {
      text += *s;
    } else if (const auto* i = std::get_if<std::int64_t>(&value)) {
      text += std::to_string(*i);
    } else if (const auto* d = std::get_if<double>(&value)) {
      char number[64];
      std::snprintf(number, sizeof number, "%.15g", *d);
      text += number;
    } else if (const auto* b = std::get_if<bool>(&value)) {
      text += *b ? "T" : "F";
    } else if (const auto* date = std::get_if<LocateDate>(&value)) {
      text += DateTextFromDayNumber(date->day);
    }
  }
  text = text.substr(0, 255);
  return (options & loPartialKey) != 0 ? Find(text) : FindExact(text);
}

bool TOxFileDataSet::KeyFieldsAreActiveKey(const std::string& key_fields) {
  if (!IndexOrderActive(WorkAreaNo())) return false;
  IndexFile* index = IndexOf(WorkAreaNo());
  const TagState* tag = index != nullptr ? index->Active() : nullptr;
  if (tag == nullptr) return false;
  std::string joined;
  for (const std::string& name : KeyFieldNames(key_fields))
    joined += (joined.empty() ? "" : "+") + name;
  return NormaliseExpression(tag->layout.key_expr) == NormaliseExpression(joined);
}

// ------------------------------------------------------------------ BLOB ---

std::unique_ptr<data::TStream> TOxFileDataSet::CreateBlobStream(data::TField* field,
                                                                data::TBlobStreamMode mode) {
  if (field == nullptr || dynamic_cast<data::TBlobField*>(field) == nullptr) return nullptr;
  return std::make_unique<TOxBlobStream>(field, mode, OemText());
}

// ------------------------------------------------------------ properties ---

bool TOxFileDataSet::SetProperty(const std::string& name, const std::string& value) {
  bool flag = false;
  const bool is_bool = ParseBoolText(value, flag);
  if (SameName(name, "IndexList")) {
    index_list_ = SplitLines(value);
  } else if (SameName(name, "CreateIndex")) {
    const auto* end = std::end(kCreateIndexNames);
    const auto* at = std::find_if(std::begin(kCreateIndexNames), end,
                                  [&](const char* n) { return SameName(n, value); });
    if (at == end) return false;
    create_index_ = static_cast<TCreateIndexType>(at - std::begin(kCreateIndexNames));
  } else if (SameName(name, "AutoFixRecCount") && is_bool) {
    auto_fix_rec_count_ = flag;
  } else if (SameName(name, "CreateIfNotFound") && is_bool) {
    create_if_not_found_ = flag;
  } else if (SameName(name, "Exclusive") && is_bool) {
    if (Loading()) {
      exclusive_ = flag;
    } else {
      SetExclusive(flag);
    }
  } else {
    return TOxCDataSet::SetProperty(name, value);
  }
  return true;
}

// ----------------------------------------------------------------- TOxDbf ---

bool TOxDbf::SetOrderToTag(const std::string& tag_name) {
  if (!SelectArea("SetOrderToTag")) return false;
  ::orvex::SetOrderToTag(tag_name.substr(0, 10));
  const bool set = DbfErrorNo == 0;
  RefreshFromEngine();
  return set;
}

}  // namespace orvex
