// Memo throughput of the three memo kinds against the physical limit.
//
// For each kind it writes N memos of 100 to 2,000 bytes (AddMemo, which
// flushes the file after every memo, as the library promises), reads them all
// back through the MemoPad (GetMemo) and through the BLOB interface, and packs
// the file after every other memo was dropped. For comparison it measures
// the raw limit: the same bytes written with one pwrite per memo (with and
// without an fsync after each) and read back with one pread per memo.
// Prints memos per second and MB per second.
//
// Usage: memo_bench [memos] [folder]   (defaults 20000, $TMPDIR)
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "common/errors.h"
#include "engine/dbf_file.h"
#include "engine/navigation.h"
#include "engine/record_io.h"
#include "engine/tables.h"
#include "engine/work_area.h"
#include "memo/blob.h"
#include "memo/memo_format.h"
#include "memo/memo_ops.h"
#include "memo/memo_pack.h"

namespace {

using namespace orvex;
using Clock = std::chrono::steady_clock;

std::string Text(int i) {
  std::string text = "Memo " + std::to_string(i) + ": ";
  const std::size_t length = 100 + static_cast<std::size_t>(i) * 7919 % 1900;
  while (text.size() < length) text += "the quick brown fox jumps over the lazy dog\r\n";
  text.resize(length);
  return text;
}

double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

void Report(const char* what, int memos, double bytes, double seconds) {
  std::printf("  %-34s %10.0f memos/s %8.1f MB/s\n", what, memos / seconds, bytes / seconds / 1e6);
}

void BenchKind(const char* label, std::uint8_t kind, int memos, const std::string& folder,
               double total_bytes) {
  std::printf("%s\n", label);
  const std::string table = folder + "/memo_bench_" + std::to_string(kind);
  MemoVersionByte = kind;
  CreateDbf(table, {{"NOTES", 'M', 10, 0}});
  USE(table + " EXCLUSIVE");
  if (DbfErrorNo != 0) std::exit(1);
  std::vector<std::int32_t> blocks(static_cast<std::size_t>(memos));
  auto start = Clock::now();
  for (int i = 0; i < memos; ++i) blocks[static_cast<std::size_t>(i)] = AddMemo(Text(i));
  Report("AddMemo (flushed each)", memos, total_bytes, Seconds(start));

  start = Clock::now();
  for (std::int32_t block : blocks) GetMemo(block);
  Report("GetMemo into the MemoPad", memos, total_bytes, Seconds(start));

  std::vector<char> buffer(4096);
  start = Clock::now();
  for (std::int32_t block : blocks) {
    CreateBlobDescriptor(false, block, kBlobRead);
    while (ReadBlobStream(buffer.data(), static_cast<std::int32_t>(buffer.size())) > 0) {
    }
    DestroyBlobDescriptor();
  }
  Report("BLOB read", memos, total_bytes, Seconds(start));

  for (int i = 0; i < memos; i += 2) {
    std::memcpy(FieldAddress(1), &blocks[static_cast<std::size_t>(i)], 4);
    Append();
  }
  start = Clock::now();
  PackMemofile();
  Report("PackMemofile (half referenced)", memos / 2, total_bytes / 2, Seconds(start));
  CloseAllAreas();
}

void BenchRaw(int memos, const std::string& folder, double total_bytes) {
  std::printf("raw file, one call per memo\n");
  const std::string name = folder + "/memo_bench_raw";
  for (bool sync : {false, true}) {
    const int fd = open(name.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644);
    off_t at = 512;
    auto start = Clock::now();
    for (int i = 0; i < memos; ++i) {
      const std::string text = Text(i);
      if (pwrite(fd, text.data(), text.size(), at) < 0) std::exit(1);
      if (sync) fsync(fd);
      at += static_cast<off_t>((text.size() + 8) / 512 + 1) * 512;
    }
    Report(sync ? "pwrite + fsync" : "pwrite", memos, total_bytes, Seconds(start));
    if (!sync) {
      std::vector<char> buffer(2048);
      at = 512;
      start = Clock::now();
      for (int i = 0; i < memos; ++i) {
        const std::size_t length = 100 + static_cast<std::size_t>(i) * 7919 % 1900;
        if (pread(fd, buffer.data(), length, at) < 0) std::exit(1);
        at += static_cast<off_t>((length + 8) / 512 + 1) * 512;
      }
      Report("pread", memos, total_bytes, Seconds(start));
    }
    close(fd);
  }
  unlink(name.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  const int memos = argc > 1 ? std::atoi(argv[1]) : 20000;
  const char* tmp = std::getenv("TMPDIR");
  const std::string folder = argc > 2 ? argv[2] : tmp != nullptr ? tmp : "/tmp";
  SetAutoReport(false);
  double total_bytes = 0;
  for (int i = 0; i < memos; ++i) total_bytes += static_cast<double>(Text(i).size());
  std::printf("%d memos, %.1f MB of text\n", memos, total_bytes / 1e6);
  BenchRaw(memos, folder, total_bytes);
  BenchKind("dBASE III", kMemoDbase3, memos, folder, total_bytes);
  BenchKind("dBASE IV", kMemoDbase4, memos, folder, total_bytes);
  BenchKind("FPT", kMemoFpt, memos, folder, total_bytes);
  for (const char* suffix : {"_131", "_139", "_245"}) {
    for (const char* ext : {".DBF", ".DBT", ".FPT"})
      unlink((folder + "/memo_bench" + suffix + ext).c_str());
  }
  return 0;
}
