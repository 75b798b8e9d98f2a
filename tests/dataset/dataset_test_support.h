// Shared set-up of the dataset tests: a concrete dataset over a table opened
// with USE and written with the engine's locking commands, a clean engine
// that raises its errors, fixed date settings, and table builders.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "common/errors.h"
#include "dataset/dataset_settings.h"
#include "dataset/ox_data_set.h"
#include "dates/date_settings.h"
#include "engine/dbf_file.h"
#include "engine/locks.h"
#include "engine/record_io.h"
#include "engine/tables.h"
#include "engine/work_area.h"
#include "platform/data/application.h"
#include "platform/data/data_link.h"
#include "platform/data/database_error.h"
#include "platform/data/field_kinds.h"
#include "platform/os/system.h"
#include "support/test_support.h"

namespace orvex::test {

// The table component's part, as small as the tests need it: USE with
// EXCLUSIVE (unless `shared`), and the four writes under the engine's locks.
class TestDbf : public TOxDataSet {
 public:
  explicit TestDbf(const std::string& file, bool design_mode = false)
      : TOxDataSet("TestDbf", design_mode) {
    SetDbfFileName(file);
  }
  bool shared = false;
  using TOxDataSet::AllocRecordBuffer;
  using TOxDataSet::FreeRecordBuffer;
  using TOxDataSet::GetRecord;
  using TOxDataSet::SelectArea;

 protected:
  bool OpenTable(const std::string& name) override {
    USE(name + (shared ? "" : " EXCLUSIVE") + " ALIAS " + Name());
    return DbfErrorNo == 0;
  }
  void s_AppendWithLock() override {
    Locked("s_AppendWithLock", ALock, [] { ::orvex::Append(); });
  }
  void s_DeleteWithLock() override { Locked("s_DeleteWithLock", RLock, DeleteRec); }
  void s_RestoreWithLock() override { Locked("s_RestoreWithLock", RLock, RecallRec); }
  void s_ReplaceWithLock() override { Locked("s_ReplaceWithLock", RLock, Replace); }
  // As the table component: the file is held open except in design mode
  // with exclusive use.
  bool KeepsTableOpen() override { return !DesignMode() || shared; }

 private:
  void Locked(const char* routine, bool (*lock)(), const std::function<void()>& operation) {
    if (!SelectArea(routine)) return;
    if (lock()) {
      operation();
      Unlock();
    }
  }
};

// A grid's connection: a link asking for `rows` buffers.
class RowsLink : public data::TDataLink {
 public:
  explicit RowsLink(int rows) { SetBufferCount(rows); }
  int scrolled = 0;
  int changed = 0;

 protected:
  void DataSetScrolled(int distance) override { scrolled += distance; }
  void DataSetChanged() override { ++changed; }
};

class DatasetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetErrorState();
    ResetEngineState();
    SetRaiseOnError(true);
    CenturyOn = false;
    SetDateType(5);
    ResetDatasetUnit();
    SetClockToDate(2026, 3, 9);
    os::SetMessageBoxHook(
        [this](const std::string& text, const std::string&, bool) { messages.push_back(text); });
  }
  void TearDown() override {
    ResetEngineState();
    os::SetClockHook(nullptr);
    os::SetMessageBoxHook(nullptr);
    data::SetTerminateHook(nullptr);
  }
  std::string Path(const std::string& name) const { return dir_.File(name); }
  std::vector<std::string> messages;
  TempDir dir_;
};

// Builds a table with the engine: `fill(i, unpacked buffer)` sets record i
// (1-based) through FieldAddress before each Append.
inline void BuildTable(const std::string& path, const std::vector<FieldDef>& fields, int records,
                       const std::function<void(int)>& fill) {
  ASSERT_TRUE(CreateDbf(path, fields)) << ErrorDetail;
  Select(1);
  USE(path + " EXCLUSIVE");
  for (int i = 1; i <= records; ++i) {
    ClearRecord();
    fill(i);
    ::orvex::Append();
  }
  USE("");
}

inline void SetText(int field, const std::string& text) {
  std::uint8_t* p = FieldAddress(field);
  p[0] = static_cast<std::uint8_t>(text.size());
  std::memcpy(p + 1, text.data(), text.size());
}
inline void SetInt(int field, std::int32_t v) { std::memcpy(FieldAddress(field), &v, 4); }

// The values of field `name` in the link's rows, top to bottom; the active
// record is put back afterwards.
inline std::vector<int> RowValues(data::TDataLink& link, const std::string& name) {
  std::vector<int> values;
  data::TDataSet* ds = link.DataSet();
  const int active = link.ActiveRecord();
  for (int row = 0; row < link.RecordCount(); ++row) {
    link.SetActiveRecord(row);
    values.push_back(ds->FieldByName(name)->AsInteger());
  }
  link.SetActiveRecord(active);
  return values;
}

// Records of a DBF file as stored: deletion flag and the raw field bytes,
// read without the library.
struct FileRecord {
  bool deleted = false;
  std::string bytes;  // the record after its deletion flag
};
inline std::vector<FileRecord> ReadRecords(const std::string& path) {
  std::string s = ReadFileBytes(path);
  auto u16 = [&](std::size_t at) {
    return static_cast<unsigned char>(s[at]) | (static_cast<unsigned char>(s[at + 1]) << 8);
  };
  std::uint32_t count = 0;
  for (int i = 3; i >= 0; --i) count = (count << 8) | static_cast<unsigned char>(s[4 + i]);
  const std::size_t header = u16(8), length = u16(10);
  std::vector<FileRecord> records;
  for (std::uint32_t n = 0; n < count; ++n) {
    const std::size_t at = header + n * length;
    records.push_back({s[at] == '*', s.substr(at + 1, length - 1)});
  }
  return records;
}

}  // namespace orvex::test
