// The record forms of `oxdbf dump` (plain listing, RFC 4180 CSV, JSON lines)
// as one writer, so that every program that exports records writes exactly
// what the tool writes: the tool's dump and the viewer oxview's export.
//
// The writer reads the table opened last with OpenTable (oxdbf.h), in the
// current work area: field names and types when it is made, then one
// record at a time as the caller hands them over (the caller chooses the
// records and their order). Values are the tool's field texts in UTF-8
// (FieldTextIn; dates YYYY-MM-DD, M the whole memo).
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "engine/work_area.h"

namespace orvex::tool {

enum class ExportFormat { kText, kCsv, kJson };

struct ExportOptions {
  ExportFormat format = ExportFormat::kCsv;
  // A first column "_deleted" (CSV T/F, JSON true/false); deleted records
  // are otherwise expected to be left out by the caller.
  bool with_deleted = false;
  // Row end: CR LF (the CSV default of RFC 4180) or LF.
  bool crlf = true;
};

class RecordExport {
 public:
  // Writes to `out` (not closed here); the CSV header line is written at
  // once.
  RecordExport(const ExportOptions& options, std::FILE* out);
  // Flushes what is still buffered.
  ~RecordExport();
  RecordExport(const RecordExport&) = delete;
  RecordExport& operator=(const RecordExport&) = delete;

  // One record: its number and its bytes as the file holds them (deletion
  // flag first, see StoredRecord). The current record must be that record
  // (memo fields are read from it). A memo that cannot be read leaves its
  // cell empty, with a warning on stderr, and counts as damaged.
  void Record(std::int32_t recno, const char* record);
  // Hands the buffered output to the file.
  void Flush();
  // Fields that could not be read so far.
  int Damaged() const { return damaged_; }

 private:
  void Add(std::string_view text);
  void Add(char c);
  void AddCsvCell(std::string_view text);
  void AddJsonString(std::string_view text);
  // A JSON value of `field` from its exported text; null when the field
  // holds no value.
  void AddJsonValue(const FieldDesc& field, const std::string& text, bool null);

  ExportOptions options_;
  std::FILE* out_;
  std::string_view row_end_;
  std::vector<std::string> names_;
  std::vector<char> types_;  // looked up once, not once per value
  int width_ = 1;            // digits of the largest record number (plain listing)
  int damaged_ = 0;
  std::string text_;  // the value being written; its storage reused
  // The output, gathered in a buffer of 1 MiB and handed over in whole
  // buffers. Speed: appending is a bounds check and a memcpy into memory
  // that stays put, with one write call per megabyte of output.
  std::vector<char> buffer_;
  std::size_t used_ = 0;
};

}  // namespace orvex::tool
