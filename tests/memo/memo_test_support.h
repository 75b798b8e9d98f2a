// Shared set-up of the memo tests: a clean engine with the memo store
// installed, errors kept instead of reported, and helpers that build tables
// with memo fields and look at the bytes of their files.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "common/errors.h"
#include "common/file_utils.h"
#include "engine/dbf_file.h"
#include "engine/entry_points.h"
#include "engine/locks.h"
#include "engine/navigation.h"
#include "engine/record_io.h"
#include "engine/tables.h"
#include "engine/work_area.h"
#include "memo/memo_file.h"
#include "memo/memo_format.h"
#include "memo/memo_ops.h"
#include "memo/memo_pad.h"
#include "memo/memo_settings.h"
#include "memo/memo_store.h"
#include "platform/os/system.h"
#include "support/test_support.h"

namespace orvex::test {

// A clean engine with the memo store installed, default memo settings, an
// empty memo pad and errors kept instead of reported.
inline void ResetMemoLibrary() {
  ResetErrorState();
  ResetEngineState();
  ResetEntryPoints();
  InstallMemoStore();
  ResetMemoSettings();
  ClearMemoPad();
  SetAutoReport(false);
}

class MemoTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetMemoLibrary(); }
  void TearDown() override {
    CloseAllAreas();
    ResetEngineState();
  }

  std::string Path(const std::string& name) const { return dir_.File(name); }

  // Creates <name>.DBF with fields NAME C(10) and NOTES M, memo kind `kind`,
  // and opens it exclusively in area 1.
  void CreateAndUse(const std::string& name, std::uint8_t kind) {
    MemoVersionByte = kind;
    ASSERT_TRUE(CreateDbf(Path(name), {{"NAME", 'C', 10, 0}, {"NOTES", 'M', 10, 0}}))
        << ErrorDetail;
    Select(1);
    USE(Path(name) + " EXCLUSIVE");
    ASSERT_EQ(DbfErrorNo, 0) << ErrorDetail;
  }

  // Appends a record whose NOTES field holds `block`.
  void AppendWithMemo(const std::string& name, std::int32_t block) {
    std::uint8_t* p = FieldAddress(1);
    p[0] = static_cast<std::uint8_t>(name.size());
    std::memcpy(p + 1, name.data(), name.size());
    std::memcpy(FieldAddress(2), &block, 4);
    Append();
    ASSERT_EQ(DbfErrorNo, 0) << ErrorDetail;
  }

  // The memo block number in the current record's unpacked NOTES field.
  static std::int32_t NotesBlock() {
    std::int32_t block = 0;
    std::memcpy(&block, FieldAddress(2), 4);
    return block;
  }

  // The memo text at `block` as the MemoPad gives it back.
  static std::string MemoText(std::int32_t block) {
    EXPECT_TRUE(GetMemo(block)) << ErrorDetail;
    return MemoPadText();
  }

  // Loads `text` into the MemoPad as lines (no word wrap).
  static void FillPad(const std::string& text) { FillMemoPad(text, 0); }

  TempDir dir_;
};

// The next-free field of a memo file's bytes.
inline std::uint32_t NextFree(const std::string& bytes, std::uint8_t kind) {
  return DecodeNextFree(kind, reinterpret_cast<const unsigned char*>(bytes.data()));
}

inline std::string Hex(const std::string& bytes) {
  static const char* digits = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : bytes) {
    if (!out.empty()) out += ' ';
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}

}  // namespace orvex::test
