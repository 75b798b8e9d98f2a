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
  const std::int64_t offset = std::llabs(block) * memo.block_size;
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
    const auto wanted = static_cast<std::size_t>(std::min<std::int64_t>(*length, available));
    const std::size_t in_chunk = std::min(wanted, got - kBlockHeaderSize);
    text->assign(chunk + kBlockHeaderSize, in_chunk);
    if (in_chunk < wanted) {
      text->resize(wanted);
      if (!ReadMemoBytes(memo, offset + kBlockHeaderSize + in_chunk, text->data() + in_chunk,
                         wanted - in_chunk, &got, tag)) {
        return MemoRead::kIoError;
      }
      text->resize(in_chunk + got);
    }
    consumed = static_cast<std::int64_t>(kBlockHeaderSize + text->size());
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
