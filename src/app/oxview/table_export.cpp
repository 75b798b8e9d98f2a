#include "app/oxview/table_export.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "common/errors.h"
#include "dataset/ox_file_data_set.h"
#include "engine/navigation.h"
#include "engine/record_io.h"
#include "engine/tables.h"
#include "engine/work_area.h"
#include "oxdbf.h"
#include "oxdbf_export.h"
#include "platform/os/codepage.h"

namespace orvex::view {
namespace {

// The record numbers the dataset shows, in its order (the engine walks the
// table's area with the dataset's options, then returns to its record).
std::vector<std::int32_t> ShownRecords(TOxDbf& table) {
  std::vector<std::int32_t> records;
  const std::int32_t current = table.GetRecNo();
  table.s_Go(current);  // selects the area with the dataset's options
  GoTop();
  while (!dEOF() && DbfErrorNo == 0) {
    records.push_back(RecNo());
    SKIP(1);
  }
  table.s_Go(current);
  return records;
}

// A second work area on the table file, opened as the tool opens a table
// (read-only, shared) in the lowest free slot; closed again, and the
// engine's options and selection put back, on every path.
class ExportArea {
 public:
  explicit ExportArea(const std::string& table_file)
      : previous_(SelectedArea()), open_mode_(OpenModeOverride), hide_deleted_(HideDeleted) {
    Select(0);
    tool::Invocation call;
    try {
      tool::OpenTable(call, table_file, true);
    } catch (...) {
      Restore();
      throw;
    }
    HideDeleted = false;  // the caller's list says which records
  }
  ~ExportArea() {
    CloseArea();
    Restore();
  }
  ExportArea(const ExportArea&) = delete;
  ExportArea& operator=(const ExportArea&) = delete;

 private:
  void Restore() {
    OpenModeOverride = open_mode_;
    HideDeleted = hide_deleted_;
    if (previous_ > 0) Select(previous_);
  }
  int previous_;
  std::uint16_t open_mode_;
  bool hide_deleted_;
};

// Writes `records` of the table file `table_file`.
long WriteRecords(const std::string& table_file, const std::vector<std::int32_t>& records,
                  const tool::ExportOptions& options, std::FILE* out, int* damaged) {
  ExportArea area(table_file);
  tool::RecordExport writer(options, out);
  long written = 0;
  for (const std::int32_t record : records) {
    GO(record);
    if (DbfErrorNo != 0) break;
    writer.Record(record, tool::StoredRecord());
    ++written;
  }
  writer.Flush();
  *damaged = writer.Damaged();
  return written;
}

}  // namespace

long ExportTable(TOxDbf& table, ExportKind kind, const std::string& file, int* damaged) {
  table.CheckBrowseMode();
  *damaged = 0;
  tool::ExportOptions options;
  options.format = kind == ExportKind::kCsv ? tool::ExportFormat::kCsv : tool::ExportFormat::kJson;
  options.with_deleted = !table.HideDeletedRecs();
  const std::vector<std::int32_t> records = ShownRecords(table);
  table.s_Go(table.GetRecNo());
  const std::string table_file = CurrentWorkArea()->file_name;

  std::FILE* out = std::fopen(file.c_str(), "wb");
  if (out == nullptr) {
    SetError(101, "Kann " + os::Utf8ToAnsi(file) + " nicht schreiben: " + std::strerror(errno) +
                      " [Export]");
    HandleError();
    return 0;
  }
  long written = 0;
  try {
    written = WriteRecords(table_file, records, options, out, damaged);
  } catch (...) {
    std::fclose(out);
    throw;
  }
  const bool failed = std::ferror(out) != 0;
  if (std::fclose(out) != 0 || failed) {
    SetError(101, "Schreiben nach " + os::Utf8ToAnsi(file) +
                      " fehlgeschlagen: " + std::strerror(errno) + " [Export]");
    HandleError();
  }
  return written;
}

}  // namespace orvex::view
