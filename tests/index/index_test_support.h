// Shared set-up of the index tests: a clean engine with the expression and
// index engines installed, errors kept instead of reported, tables written
// quickly, and walks over a tag through the engine's navigation.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "common/errors.h"
#include "engine/entry_points.h"
#include "engine/navigation.h"
#include "engine/record_io.h"
#include "engine/tables.h"
#include "engine/work_area.h"
#include "expr/compiled_expr.h"
#include "expr/dbf_writer.h"
#include "expr/engine_binding.h"
#include "index/index_build.h"
#include "index/index_entry_points.h"
#include "index/index_file.h"
#include "index/index_open.h"
#include "index/index_search.h"
#include "platform/os/fault_injection.h"
#include "support/test_support.h"

namespace orvex::test {

// Installs the expression and index engines over an engine that has been
// reset, with the index settings at their defaults.
inline void InstallIndexLibrary() {
  ResetExprState();
  RegisterExpressionEngine();
  InstallIndexEngine();
  ResetIndexSettings();
}

// A clean engine with the expression and index engines installed and errors
// kept instead of reported: where every index test starts.
inline void ResetIndexLibrary() {
  ResetErrorState();
  ResetEngineState();
  ResetEntryPoints();
  InstallIndexLibrary();
  SetAutoReport(false);
}

class IndexTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetIndexLibrary(); }
  void TearDown() override {
    CloseAllAreas();
    ResetEngineState();
    ResetIndexSettings();
  }
  std::string Path(const std::string& name) const { return dir_.File(name); }

  // Opens a table in area 1 (exclusively unless `shared`).
  void Use(const std::string& name, bool shared = false) {
    Select(1);
    USE(Path(name) + (shared ? "" : " EXCLUSIVE"));
    ASSERT_EQ(DbfErrorNo, 0) << ErrorDetail;
  }

  TempDir dir_;
};

// The file-layer calls made while `run` runs.
inline std::vector<os::FileCall> FileCallsOf(const std::function<void()>& run) {
  std::vector<os::FileCall> calls;
  os::RecordFileCalls(&calls);
  run();
  os::RecordFileCalls(nullptr);
  return calls;
}

// A tag definition in one line.
inline TagDefinition Tag(const std::string& name, const std::string& expr,
                         const std::string& condition = "", bool descending = false,
                         bool unique = false) {
  return TagDefinition{name, expr, condition, descending, unique};
}

// The record numbers of the current table in the active order, walked with
// GoTop and SKIP(1) (at most `limit` steps).
inline std::vector<std::int32_t> WalkForward(int limit = 10000000) {
  std::vector<std::int32_t> records;
  GoTop();
  while (!dEOF() && DbfErrorNo == 0 && limit-- > 0) {
    records.push_back(RecNo());
    SKIP(1);
  }
  return records;
}

// The same walked backwards with GoBottom and SKIP(-1).
inline std::vector<std::int32_t> WalkBackward(int limit = 10000000) {
  std::vector<std::int32_t> records;
  GoBottom();
  while (!dEOF() && DbfErrorNo == 0 && limit-- > 0) {
    records.push_back(RecNo());
    if (dBOF()) break;
    SKIP(-1);
    if (dBOF()) break;
  }
  return records;
}

// The record numbers of the index helper's "walk" answer.
inline std::vector<std::int32_t> Walked(const std::string& answer) {
  std::istringstream in(answer);
  std::string word;
  in >> word;
  EXPECT_EQ(word, "walk") << answer;
  std::vector<std::int32_t> records;
  std::int32_t n = 0;
  while (in >> n) records.push_back(n);
  return records;
}

// The text of C field n of the current record, trimmed on the right.
inline std::string Text(int n) {
  const std::uint8_t* p = FieldAddress(n);
  std::string s(reinterpret_cast<const char*>(p + 1), p[0]);
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

// Sets C field n of the current record's buffer to `text`.
inline void SetText(int n, const std::string& text) {
  std::uint8_t* p = FieldAddress(n);
  p[0] = static_cast<std::uint8_t>(text.size());
  std::memcpy(p + 1, text.data(), text.size());
}

}  // namespace orvex::test
