#include "memo/memo_blocks.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "common/errors.h"
#include "memo/memo_file.h"
#include "memo/memo_format.h"
#include "platform/os/files.h"

namespace orvex {

namespace {
constexpr std::size_t kTranslatePiece = 512;
constexpr std::size_t kReadChunk = 4096;
// The first block after the one at `offset` that the headed memo `text`
// (read from there) runs into and that starts with a dBASE IV block header:
// another memo's, so the length stated for this one is damaged. 0 when there
// is none, and always for FPT files, whose block headers carry no marker.
std::int64_t BlockOfAnotherMemo(const MemoState& memo, std::int64_t offset, std::string_view text) {
  if (memo.kind == kMemoFpt) return 0;
  const std::int64_t end = offset + static_cast<std::int64_t>(kBlockHeaderSize + text.size());
  for (std::int64_t block = offset / memo.block_size + 1;
       block * memo.block_size + static_cast<std::int64_t>(kBlockHeaderSize) <= end; ++block) {
    const std::size_t at =
        static_cast<std::size_t>(block * memo.block_size - offset) - kBlockHeaderSize;
    if (DecodeBlockHeader(memo.kind, reinterpret_cast<const unsigned char*>(text.data() + at))
            .has_value()) {
      return block;
    }
  }
  return 0;
}

}  // namespace

void TranslatePieces(const RecordTranslator& translator, char* text, std::size_t length) {
  for (std::size_t done = 0; done < length; done += kTranslatePiece) {
    translator(text + done, static_cast<int>(std::min(kTranslatePiece, length - done)));
  }
}

MemoRead ReadMemoText(MemoState& memo, std::int64_t block, const MemoReadOptions& options,
                      MemoBytes* memo_bytes, const std::string& tag) {
  *memo_bytes = MemoBytes{};
  std::string* text = &memo_bytes->text;
  const std::int64_t size = MemoFileSize(memo, tag);
  if (size < 0) return MemoRead::kIoError;
  // The magnitude is compared before it is multiplied: a reference of any
  // size must not overflow.
  const std::uint64_t magnitude =
      block < 0 ? 0 - static_cast<std::uint64_t>(block) : static_cast<std::uint64_t>(block);
  if (magnitude > static_cast<std::uint64_t>(size / memo.block_size)) return MemoRead::kBadAddress;
  const std::int64_t offset = static_cast<std::int64_t>(magnitude) * memo.block_size;
  if (offset >= size - 1) return MemoRead::kBadAddress;
  // The first chunk holds the block header and, mostly, the whole text.
  char chunk[kReadChunk];
  std::size_t got = 0;
  if (!ReadMemoBytes(memo, offset, chunk, sizeof chunk, &got, tag)) return MemoRead::kIoError;
  std::int64_t consumed = 0;
  const std::optional<std::uint32_t> length =
      got >= kBlockHeaderSize
          ? DecodeBlockHeader(memo.kind, reinterpret_cast<const unsigned char*>(chunk))
          : std::nullopt;
  if (length) {
    const std::int64_t available = size - offset - static_cast<std::int64_t>(kBlockHeaderSize);
    if (*length > available) {
      memo_bytes->damage = "length " + std::to_string(*length) +
                           " runs past the end of the file (" +
                           std::to_string(std::max<std::int64_t>(available, 0)) + " bytes left)";
      return MemoRead::kDamaged;
    }
    const auto wanted = static_cast<std::size_t>(*length);
    const std::size_t in_chunk = std::min(wanted, got - kBlockHeaderSize);
    text->assign(chunk + kBlockHeaderSize, in_chunk);
    if (in_chunk < wanted) {
      text->resize(wanted);
      if (!ReadMemoBytes(memo, offset + kBlockHeaderSize + in_chunk, text->data() + in_chunk,
                         wanted - in_chunk, &got, tag)) {
        return MemoRead::kIoError;
      }
      if (got != wanted - in_chunk) {
        memo_bytes->damage = "the file ends before the memo does";
        return MemoRead::kDamaged;
      }
    }
    consumed = static_cast<std::int64_t>(kBlockHeaderSize + text->size());
    const std::int64_t other = BlockOfAnotherMemo(memo, offset, *text);
    if (other != 0) {
      memo_bytes->damage = "length " + std::to_string(*length) + " runs into the memo at block " +
                           std::to_string(other);
      return MemoRead::kDamaged;
    }
  } else {
    for (bool ended = false; !ended && got > 0;) {
      std::size_t end = 0;
      while (end < got && static_cast<unsigned char>(chunk[end]) != kMemoEnd &&
             !(options.nul_ends && chunk[end] == '\0')) {
        ++end;
      }
      ended = end < got;
      text->append(chunk, end);
      consumed += static_cast<std::int64_t>(end + (ended ? 1 : 0));
      if (!ended && !ReadMemoBytes(memo, offset + consumed, chunk, sizeof chunk, &got, tag)) {
        return MemoRead::kIoError;
      }
      if (!ended && got == 0) {
        memo_bytes->damage = "no end marker before the end of the file";
        return MemoRead::kDamaged;
      }
    }
  }
  memo_bytes->blocks =
      static_cast<std::uint32_t>((consumed + memo.block_size - 1) / memo.block_size);
  if (options.translator != nullptr && *options.translator) {
    TranslatePieces(*options.translator, text->data(), text->size());
  }
  return MemoRead::kOk;
}

bool WriteMemoText(MemoState& memo, std::int64_t offset, std::string_view text,
                   const RecordTranslator* translator, int error, const std::string& tag,
                   bool* headed) {
  std::string stored(text);
  if (translator != nullptr && *translator)
    TranslatePieces(*translator, stored.data(), stored.size());
  *headed =
      memo.kind != kMemoDbase3 || stored.find(static_cast<char>(kMemoEnd)) != std::string::npos;
  std::string bytes;
  if (*headed) {
    bytes.resize(kBlockHeaderSize);
    EncodeBlockHeader(memo.kind == kMemoFpt ? kMemoFpt : kMemoDbase4,
                      static_cast<std::uint32_t>(stored.size()),
                      reinterpret_cast<unsigned char*>(bytes.data()));
  }
  bytes += stored;
  if (!*headed) {
    bytes.push_back(static_cast<char>(kMemoEnd));
    const std::size_t rest = bytes.size() % memo.block_size;
    if (rest != 0) bytes.append(memo.block_size - rest, '\0');
  }
  return WriteMemoBytes(memo, offset, bytes.data(), bytes.size(), error, tag);
}

std::int64_t StoredBlockNumber(const MemoState& memo, std::int64_t block, bool headed) {
  return memo.kind == kMemoDbase3 && headed ? -block : block;
}

bool FlushMemo(MemoState& memo, const std::string& tag) {
  const int error = os::FlushFileBuffers(memo.file);
  if (error != 0) {
    SetError(error, memo.name + " " + tag);
    return false;
  }
  return true;
}

}  // namespace orvex
