#include "memo/memo_format.h"

#include <algorithm>
#include <cstring>

namespace orvex {

namespace {
constexpr std::uint16_t kDbase4Marker = 0x0102;
constexpr std::size_t kDbase4HeaderSize = 24;
constexpr std::size_t kFptHeaderSize = 512;
constexpr std::size_t kNameOffset = 8;
constexpr std::size_t kNameLength = 8;
}  // namespace

std::uint32_t GetLe32(const unsigned char* p) {
  return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
         std::uint32_t{p[3]} << 24;
}

std::uint32_t GetBe32(const unsigned char* p) {
  return std::uint32_t{p[3]} | std::uint32_t{p[2]} << 8 | std::uint32_t{p[1]} << 16 |
         std::uint32_t{p[0]} << 24;
}

std::uint16_t GetLe16(const unsigned char* p) {
  return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

void PutLe32(unsigned char* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(v >> (8 * i));
}

void PutBe32(unsigned char* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[3 - i] = static_cast<unsigned char>(v >> (8 * i));
}

void PutLe16(unsigned char* p, std::uint16_t v) {
  p[0] = static_cast<unsigned char>(v);
  p[1] = static_cast<unsigned char>(v >> 8);
}

std::uint8_t MemoKindOfVersion(std::uint8_t version, std::uint8_t default_kind) {
  switch (version) {
    case kMemoDbase3:
    case kMemoDbase4:
    case kMemoFpt:
      return version;
    case 0x30:  // Visual FoxPro, with autoincrement, with varchar
    case 0x31:
    case 0x32:
      return kMemoFpt;
    default:
      return default_kind == kMemoDbase3 || default_kind == kMemoFpt || default_kind == 0x30
                 ? MemoKindOfVersion(default_kind, kMemoDbase4)
                 : kMemoDbase4;
  }
}

std::string MemoExtension(std::uint8_t version_or_kind) {
  return MemoKindOfVersion(version_or_kind, kMemoDbase4) == kMemoFpt ? "FPT" : "DBT";
}

std::string NewMemoHeader(std::uint8_t kind, std::uint16_t block_size, std::string_view base_name) {
  std::string bytes;
  auto p = [&bytes] { return reinterpret_cast<unsigned char*>(bytes.data()); };
  if (kind == kMemoDbase3) {
    bytes.assign(static_cast<std::size_t>(kDbase3FreshSize), '\0');
    PutLe32(p(), 1);
    bytes[512] = static_cast<char>(kMemoEnd);
  } else if (kind == kMemoFpt) {
    bytes.assign(kFptHeaderSize, '\0');
    PutBe32(p(), 511u / block_size + 1);
    p()[6] = static_cast<unsigned char>(block_size >> 8);
    p()[7] = static_cast<unsigned char>(block_size);
  } else {
    bytes.assign(kDbase4HeaderSize, '\0');
    PutLe32(p(), 1);
    std::memcpy(p() + kNameOffset, base_name.data(), std::min(base_name.size(), kNameLength));
    PutLe16(p() + 18, kDbase4Marker);
    PutLe16(p() + 20, block_size);
  }
  return bytes;
}

std::uint16_t BlockSizeFromHeader(std::uint8_t kind, std::string_view header) {
  const auto* p = reinterpret_cast<const unsigned char*>(header.data());
  if (kind == kMemoFpt) {
    if (header.size() < 8) return kDbase3BlockSize;
    const std::uint16_t size = static_cast<std::uint16_t>(p[6] << 8 | p[7]);
    return size != 0 ? size : kDbase3BlockSize;
  }
  if (kind == kMemoDbase4 && header.size() >= 22 && GetLe16(p + 18) == kDbase4Marker) {
    const std::uint16_t size = GetLe16(p + 20);
    if (size != 0) return size;
  }
  return kDbase3BlockSize;
}

std::uint32_t DecodeNextFree(std::uint8_t kind, const unsigned char* bytes) {
  return kind == kMemoFpt ? GetBe32(bytes) : GetLe32(bytes);
}

void EncodeNextFree(std::uint8_t kind, std::uint32_t next_free, unsigned char* bytes) {
  if (kind == kMemoFpt) {
    PutBe32(bytes, next_free);
  } else {
    PutLe32(bytes, next_free);
  }
}

void EncodeBlockHeader(std::uint8_t kind, std::uint32_t text_length, unsigned char* out) {
  if (kind == kMemoFpt) {
    PutBe32(out, 1);
    PutBe32(out + 4, text_length);
  } else {
    out[0] = 0xFF;
    out[1] = 0xFF;
    PutLe16(out + 2, kBlockHeaderSize);
    PutLe32(out + 4, text_length + kBlockHeaderSize);
  }
}

std::optional<std::uint32_t> DecodeBlockHeader(std::uint8_t kind,
                                               const unsigned char* block_start) {
  if (kind == kMemoFpt) return GetBe32(block_start + 4);
  if (block_start[0] != 0xFF || block_start[1] != 0xFF || block_start[2] != 0x08 ||
      block_start[3] != 0x00) {
    return std::nullopt;
  }
  const std::uint32_t stored = GetLe32(block_start + 4);
  return stored >= kBlockHeaderSize ? stored - kBlockHeaderSize : 0;
}

std::uint32_t BlocksForText(std::uint32_t text_length, std::uint16_t block_size) {
  return static_cast<std::uint32_t>((std::uint64_t{text_length} + kBlockHeaderSize) / block_size +
                                    1);
}

std::int64_t ParseMemoRef(std::string_view field_text) {
  return ParseStoredMemoRef(field_text).value_or(0);
}

std::optional<std::int64_t> ParseStoredMemoRef(std::string_view field_text) {
  std::size_t begin = 0;
  std::size_t end = field_text.size();
  while (begin < end && static_cast<unsigned char>(field_text[begin]) <= ' ') ++begin;
  while (end > begin && static_cast<unsigned char>(field_text[end - 1]) <= ' ') --end;
  bool negative = false;
  if (begin < end && (field_text[begin] == '-' || field_text[begin] == '+')) {
    negative = field_text[begin] == '-';
    ++begin;
  }
  if (begin == end && !negative) return 0;
  if (begin == end || end - begin > 18) return std::nullopt;
  std::int64_t value = 0;
  for (std::size_t i = begin; i < end; ++i) {
    const char c = field_text[i];
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  return negative ? -value : value;
}

std::string FormatMemoRef(std::int64_t block, std::size_t width) {
  std::string digits = std::to_string(block);
  if (digits.size() > width) return std::string(width, '*');
  return std::string(width - digits.size(), ' ') + digits;
}

}  // namespace orvex
