#include "memo/blob.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "common/errors.h"
#include "engine/work_area.h"
#include "memo/memo_alloc.h"
#include "memo/memo_blocks.h"
#include "memo/memo_file.h"
#include "memo/memo_format.h"
#include "platform/os/codepage.h"
#include "platform/os/files.h"

namespace orvex {

namespace {

constexpr std::int32_t kMaxPiece = 32767;
constexpr std::size_t kBufferSize = 512;
constexpr std::int64_t kEmptyWindow = 2147483647 - 512;

struct BlobDescriptor {
  bool open = false;
  int mode = 0;
  std::int32_t length = -1;  // -1 while unknown
  std::int64_t data_start = 0;
  std::int32_t header_size = 0;
  std::int32_t position = 0;
  std::int32_t written_end = 0;  // furthest byte written (write mode)
  std::int32_t block = 0;
  int conversion = -1;                 // -1 decide on the first piece, 1 convert, 0 none
  bool buffered = false;               // the table has translators
  std::vector<char> buffer;            // the 512-byte window
  std::int64_t window = kEmptyWindow;  // file offset of buffer[0]
  std::size_t fill = 0;
};

BlobDescriptor& DescriptorOf(WorkArea& area) {
  if (!area.memo.blob) area.memo.blob = std::make_shared<BlobDescriptor>();
  return *static_cast<BlobDescriptor*>(area.memo.blob.get());
}

// The current area with an open memo file; nullptr (reported) otherwise.
WorkArea* BlobArea(const char* operation) { return RequireMemo(operation); }

void Reset(BlobDescriptor& d, const WorkArea& area, bool auto_convert) {
  d = BlobDescriptor{};
  d.conversion = auto_convert ? -1 : 0;
  d.buffered = static_cast<bool>(area.read_translator) || static_cast<bool>(area.write_translator);
  if (d.buffered) d.buffer.resize(kBufferSize);
}

void DecideConversion(BlobDescriptor& d, const char* piece, std::size_t n) {
  if (d.conversion == -1) d.conversion = std::memchr(piece, 0, n) == nullptr ? 1 : 0;
}

std::string Tag(const WorkArea& area, const char* operation) {
  return area.memo.name + " Record # " + std::to_string(area.record_number) + " [" + operation +
         "]";
}

// Reads `n` bytes at file offset `offset` (fewer at the end of the file),
// through the translated window when buffered. -1 after an error.
std::int64_t ReadAt(WorkArea& area, BlobDescriptor& d, std::int64_t offset, char* out,
                    std::size_t n) {
  const std::string tag = Tag(area, "ReadBlobStream");
  std::size_t got = 0;
  if (!d.buffered) {
    return ReadMemoBytes(area.memo, offset, out, n, &got, tag) ? static_cast<std::int64_t>(got)
                                                               : -1;
  }
  std::size_t done = 0;
  while (done < n) {
    const std::int64_t at = offset + static_cast<std::int64_t>(done);
    if (at < d.window || at >= d.window + static_cast<std::int64_t>(d.fill)) {
      if (!ReadMemoBytes(area.memo, at, d.buffer.data(), kBufferSize, &got, tag)) return -1;
      if (got == 0) break;
      area.read_translator(d.buffer.data(), static_cast<int>(got));
      d.window = at;
      d.fill = got;
    }
    const std::size_t from = static_cast<std::size_t>(at - d.window);
    const std::size_t take = std::min(n - done, d.fill - from);
    std::memcpy(out + done, d.buffer.data() + from, take);
    done += take;
  }
  return static_cast<std::int64_t>(done);
}

bool FlushWindow(WorkArea& area, BlobDescriptor& d) {
  if (d.fill == 0) return true;
  std::vector<char> bytes(d.buffer.begin(), d.buffer.begin() + static_cast<std::ptrdiff_t>(d.fill));
  area.write_translator(bytes.data(), static_cast<int>(bytes.size()));
  const bool ok = WriteMemoBytes(area.memo, d.window, bytes.data(), bytes.size(), 0,
                                 Tag(area, "WriteBlobStream"));
  d.fill = 0;
  d.window = kEmptyWindow;
  return ok;
}

bool WriteAt(WorkArea& area, BlobDescriptor& d, std::int64_t offset, const char* bytes,
             std::size_t n) {
  if (!d.buffered)
    return WriteMemoBytes(area.memo, offset, bytes, n, 0, Tag(area, "WriteBlobStream"));
  std::size_t done = 0;
  while (done < n) {
    const std::int64_t at = offset + static_cast<std::int64_t>(done);
    if (at != d.window + static_cast<std::int64_t>(d.fill) || d.fill == kBufferSize) {
      if (!FlushWindow(area, d)) return false;
      d.window = at;
    }
    const std::size_t take = std::min(n - done, kBufferSize - d.fill);
    std::memcpy(d.buffer.data() + d.fill, bytes + done, take);
    d.fill += take;
    done += take;
  }
  return true;
}

}  // namespace

std::int32_t CreateBlobDescriptor(bool auto_convert, std::int32_t block, int mode) {
  WorkArea* area = BlobArea("CreateBlobDescriptor");
  if (area == nullptr) return 0;
  MemoState& memo = area->memo;
  BlobDescriptor& d = DescriptorOf(*area);
  Reset(d, *area, auto_convert);
  const std::int64_t abs_block = std::llabs(std::int64_t{block});
  const std::string tag = "[CreateBlobDescriptor]";
  if (mode == kBlobRead) {
    if (abs_block == 0) {
      d.open = true;
      d.mode = mode;
      d.length = 0;
      return 0;
    }
    const std::int64_t size = MemoFileSize(memo, tag);
    if (size < 0) return 0;
    const std::int64_t offset = abs_block * memo.block_size;
    if (offset >= size - 1) {
      SetError(1003, std::to_string(block) + " " + memo.name + " Record # " +
                         std::to_string(area->record_number) + " " + tag);
      return 0;
    }
    unsigned char header[kBlockHeaderSize] = {};
    std::size_t got = 0;
    if (!ReadMemoBytes(memo, offset, header, sizeof header, &got, tag)) return 0;
    const std::optional<std::uint32_t> length =
        got == sizeof header ? DecodeBlockHeader(memo.kind, header) : std::nullopt;
    if (length) {
      d.header_size = kBlockHeaderSize;
      d.length = static_cast<std::int32_t>(std::min<std::uint32_t>(*length, INT32_MAX));
    }
    d.data_start = offset + d.header_size;
  } else if (mode == kBlobWrite) {
    const std::int64_t start = LockMemoPadAndSeekEOF(*area, "CreateBlobDescriptor");
    if (start == 0) {
      UnlockMemo(*area);
      Reset(d, *area, auto_convert);
      return 0;
    }
    std::int64_t target = start / memo.block_size;
    if (memo.kind == kMemoDbase4) {
      target = AllocateMemoBlocks(*area, start, abs_block, 0, tag);
      if (target < 0) {
        UnlockMemo(*area);
        return 0;
      }
    }
    d.header_size = kBlockHeaderSize;
    d.data_start = target * memo.block_size + kBlockHeaderSize;
    d.block = static_cast<std::int32_t>(target);
  } else {
    SetError(220, memo.name + " mode " + std::to_string(mode) + " " + tag);
    return 0;
  }
  if (mode == kBlobRead) d.block = static_cast<std::int32_t>(abs_block);
  d.open = true;
  d.mode = mode;
  return memo.kind == kMemoDbase3 ? -d.block : d.block;
}

std::int32_t ReadBlobStream(char* buffer, std::int32_t count) {
  WorkArea* area = CurrentWorkArea();
  if (area == nullptr || !area->memo.open || !area->memo.blob || count <= 0) return 0;
  BlobDescriptor& d = DescriptorOf(*area);
  if (!d.open || d.mode != kBlobRead) return 0;
  int error = 0;
  const std::int64_t size = os::FileSize(area->memo.file, &error);
  if (size < 0) {
    SetError(error, Tag(*area, "ReadBlobStream"));
    return 0;
  }
  std::int64_t wanted = std::min<std::int64_t>(count, size - (d.data_start + d.position));
  if (d.length >= 0) wanted = std::min<std::int64_t>(wanted, d.length - d.position);
  std::int32_t total = 0;
  while (wanted > 0) {
    const std::size_t piece = static_cast<std::size_t>(std::min<std::int64_t>(wanted, kMaxPiece));
    char* out = buffer + total;
    const std::int64_t got = ReadAt(*area, d, d.data_start + d.position, out, piece);
    if (got < 0) return 0;
    if (got == 0) break;
    std::size_t keep = static_cast<std::size_t>(got);
    bool ended = false;
    if (d.length < 0) {
      const void* end = std::memchr(out, kMemoEnd, keep);
      if (end != nullptr) {
        keep = static_cast<std::size_t>(static_cast<const char*>(end) - out);
        ended = true;
      }
    }
    DecideConversion(d, out, keep);
    if (d.conversion == 1) os::OemToCharBuff(out, keep);
    d.position += static_cast<std::int32_t>(keep);
    total += static_cast<std::int32_t>(keep);
    if (ended) {
      d.length = d.position;
      break;
    }
    wanted -= got;
  }
  return total;
}

std::int32_t WriteBlobStream(const char* buffer, std::int32_t count) {
  WorkArea* area = CurrentWorkArea();
  if (area == nullptr || !area->memo.open || !area->memo.blob || count <= 0) return 0;
  BlobDescriptor& d = DescriptorOf(*area);
  if (!d.open || d.mode != kBlobWrite) return 0;
  std::int32_t total = 0;
  std::string piece;
  while (total < count) {
    const std::int32_t n = std::min(count - total, kMaxPiece);
    piece.assign(buffer + total, static_cast<std::size_t>(n));
    DecideConversion(d, piece.data(), piece.size());
    if (d.conversion == 1) os::CharToOemBuff(piece.data(), piece.size());
    if (!WriteAt(*area, d, d.data_start + d.position, piece.data(), piece.size())) return total;
    d.position += n;
    d.written_end = std::max(d.written_end, d.position);
    total += n;
  }
  return total;
}

std::int32_t SeekBlobStream(std::int32_t offset, int origin) {
  WorkArea* area = CurrentWorkArea();
  if (area == nullptr || !area->memo.open || !area->memo.blob) return 0;
  BlobDescriptor& d = DescriptorOf(*area);
  if (!d.open || d.mode == 0 || (d.block == 0 && d.length != 0)) return 0;
  std::int64_t target = d.position;
  switch (origin) {
    case 0:
      target = offset;
      break;
    case 1:
      target = std::int64_t{d.position} + offset;
      break;
    case 2:
      if (d.mode == kBlobWrite) {
        target = std::int64_t{d.written_end} + offset;
        break;
      }
      if (d.length < 0) {
        const std::int32_t saved_position = d.position;
        const int saved_conversion = d.conversion;
        d.position = 0;
        d.conversion = 0;
        char scratch[kBufferSize];
        while (d.length < 0 && ReadBlobStream(scratch, sizeof scratch) > 0) {
        }
        if (d.length < 0) d.length = d.position;
        d.position = saved_position;
        d.conversion = saved_conversion;
      }
      target = std::int64_t{d.length} + offset;
      break;
    default:
      break;
  }
  d.position = static_cast<std::int32_t>(std::clamp<std::int64_t>(target, 0, INT32_MAX));
  return d.position;
}

void DestroyBlobDescriptor() {
  WorkArea* area = BlobArea("DestroyBlobDescriptor");
  if (area == nullptr) return;
  BlobDescriptor& d = DescriptorOf(*area);
  MemoWriteScope scope(*area);
  if (d.open && d.mode == kBlobWrite) {
    const std::string tag = Tag(*area, "DestroyBlobDescriptor");
    const std::int64_t header_at = d.data_start - kBlockHeaderSize;
    if (FlushWindow(*area, d) &&
        (d.written_end == 0 ||
         WriteGroupHeader(area->memo, header_at, static_cast<std::uint32_t>(d.written_end), tag)) &&
        FlushMemo(area->memo, tag)) {
      MainHeaderWrite(*area);
    }
  }
  Reset(d, *area, false);
}

}  // namespace orvex
