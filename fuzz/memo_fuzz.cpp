// Memo files of arbitrary bytes, read through a small table that refers to
// them: every memo read (MemoPad, BLOB stream, copy to another table, the
// text stream) and a pack must end in a result or a library error, never in
// a crash, a hang or a silent failure.
//
// Input: byte 0 chooses the kind (dBASE III, dBASE IV, FPT); bytes 1-12 give
// six 16-bit block references for six records (as signed numbers, so that
// negative dBASE III references occur); the rest is the memo file.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "common/errors.h"
#include "engine/dbf_file.h"
#include "engine/navigation.h"
#include "engine/record_io.h"
#include "engine/tables.h"
#include "engine/work_area.h"
#include "fuzz_support.h"
#include "memo/blob.h"
#include "memo/memo_format.h"
#include "memo/memo_ops.h"
#include "memo/memo_pack.h"
#include "memo/memo_pad.h"
#include "memo/memo_settings.h"
#include "memo/memo_store.h"
#include "memo/memo_stream.h"

namespace {

using namespace orvex;

constexpr int kRecords = 6;
constexpr std::size_t kPrefix = 1 + 2 * kRecords;

const std::string& Directory() { return fuzz::ScratchFolder("memo_fuzz"); }

// A failed operation must have said why.
void RequireReported(bool ok) {
  if (!ok && DbfErrorNo == 0) std::abort();
  DbfErrorNo = 0;
}

void SetNotes(std::int32_t block) { std::memcpy(FieldAddress(2), &block, 4); }

std::int32_t Notes() {
  std::int32_t block = 0;
  std::memcpy(&block, FieldAddress(2), 4);
  return block;
}

bool BuildTable(const std::string& table, std::uint8_t kind, const std::uint8_t* refs) {
  MemoVersionByte = kind;
  if (!CreateDbf(table, {{"NAME", 'C', 10, 0}, {"NOTES", 'M', 10, 0}})) return false;
  USE(table + " EXCLUSIVE");
  for (int i = 0; i < kRecords && DbfErrorNo == 0; ++i) {
    SetNotes(static_cast<std::int16_t>(refs[2 * i] | refs[2 * i + 1] << 8));
    Append();
  }
  CloseArea();
  return DbfErrorNo == 0;
}

void ReadEveryMemo() {
  for (int r = 1; r <= RecCount(); ++r) {
    GO(r);
    std::int32_t block = Notes();
    RequireReported(GetMemo(block));
    if (CreateBlobDescriptor(true, block, kBlobRead) != 0 || DbfErrorNo == 0) {
      char buffer[300];
      while (ReadBlobStream(buffer, sizeof buffer) > 0) {
      }
      SeekBlobStream(0, 2);
      DestroyBlobDescriptor();
    }
    DbfErrorNo = 0;
    MemoStream stream(&block);
    if (stream.Open(MemoStreamMode::kInput) == 0) {
      std::string line;
      while (std::getline(stream, line)) {
      }
      stream.Close();
    }
    DbfErrorNo = 0;
    Select(2);
    RequireReported(CopyMemo(1, block) != 0 || block == 0);
    Select(1);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < kPrefix) return 0;
  static const bool installed = (InstallMemoStore(), SetAutoReport(false), true);
  (void)installed;
  const std::uint8_t kinds[] = {kMemoDbase3, kMemoDbase4, kMemoFpt};
  const std::uint8_t kind = kinds[data[0] % 3];
  const std::string table = Directory() + "/fuzz";
  const std::string copy = Directory() + "/copy";
  DbfErrorNo = 0;
  if (!BuildTable(table, kind, data + 1) || !BuildTable(copy, kMemoDbase4, data + 1)) std::abort();
  fuzz::WriteFile(table + (kind == kMemoFpt ? ".FPT" : ".DBT"),
                  std::string_view(reinterpret_cast<const char*>(data + kPrefix), size - kPrefix));
  Select(2);
  USE(copy + " EXCLUSIVE ALIAS COPY");
  Select(1);
  USE(table + " EXCLUSIVE");
  if (DbfErrorNo == 0) {
    ReadEveryMemo();
    PackMemofile();
    DbfErrorNo = 0;
    ReadEveryMemo();
  }
  DbfErrorNo = 0;
  CloseAllAreas();
  ClearMemoPad();
  return 0;
}
