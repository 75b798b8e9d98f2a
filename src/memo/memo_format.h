// The byte layouts of memo files: the three kinds, their headers, block sizes,
// the 8-byte block header that starts a memo, and the reference an M field
// holds. Pure functions on bytes; nothing here touches a file.
//
// Kinds (the table's version byte chooses one):
//   dBASE III (0x83): header = next free block (32-bit LE), 512-byte blocks;
//     a memo is its text ended by 0x1A.
//   dBASE IV (0x8B): header = next free block (LE), table name at 8, 0x0102 at
//     18, block size at 20 (LE), a counter at 32; a memo starts with
//     FF FF 08 00 and the 32-bit LE length of header plus text.
//   FPT (0xF5): header = next free block (32-bit BE), block size at 6 (BE); a
//     memo starts with its 32-bit BE type (1 = text) and 32-bit BE length.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace orvex {

inline constexpr std::uint8_t kMemoDbase3 = 0x83;
inline constexpr std::uint8_t kMemoDbase4 = 0x8B;
inline constexpr std::uint8_t kMemoFpt = 0xF5;

inline constexpr std::uint8_t kMemoEnd = 0x1A;      // end marker of a headerless memo
inline constexpr std::size_t kBlockHeaderSize = 8;  // FF FF 08 00 + length, or FPT type + length
inline constexpr std::uint16_t kDbase3BlockSize = 512;   // fixed for dBASE III files
inline constexpr std::int64_t kDbase3FreshSize = 513;    // a new dBASE III file: header + 0x1A
inline constexpr std::size_t kDbase4CounterOffset = 32;  // the 32-bit counter of dBASE IV headers

// The memo kind of a table version byte: 0x83, 0x8B and 0xF5 name their own
// kind, 0x30-0x32 (Visual FoxPro) are the FPT kind, every other byte gives the kind
// of `default_kind` (the same rules; a default that names no kind gives
// dBASE IV).
std::uint8_t MemoKindOfVersion(std::uint8_t version, std::uint8_t default_kind);

// The extension of the memo file for a version byte or kind: "FPT" for 0xF5
// and 0x30-0x32, "DBT" otherwise.
std::string MemoExtension(std::uint8_t version_or_kind);

// The bytes of a new, empty memo file of `kind`: 513 bytes for dBASE III
// (next free 1, zeros, 0x1A), 24 for dBASE IV (next free 1, the base name in
// at most 8 characters, 0x0102, the block size), 512 for FPT (next free
// 511 div block size + 1, the block size big-endian). `block_size` is ignored
// for dBASE III.
std::string NewMemoHeader(std::uint8_t kind, std::uint16_t block_size, std::string_view base_name);

// The block size stated by the first bytes of an existing file (`header` may
// be shorter than a whole header when the file is short). dBASE III: 512.
// dBASE IV: the value at 20 when the marker 0x0102 is at 18 and the value is
// not 0, else 512. FPT: the big-endian value at 6 when not 0, else 512.
std::uint16_t BlockSizeFromHeader(std::uint8_t kind, std::string_view header);

// The next-free field (offset 0) in the byte order of the kind.
std::uint32_t DecodeNextFree(std::uint8_t kind, const unsigned char* bytes);
void EncodeNextFree(std::uint8_t kind, std::uint32_t next_free, unsigned char* bytes);

// 32-bit little-/big-endian helpers.
std::uint32_t GetLe32(const unsigned char* p);
std::uint32_t GetBe32(const unsigned char* p);
std::uint16_t GetLe16(const unsigned char* p);
void PutLe32(unsigned char* p, std::uint32_t v);
void PutBe32(unsigned char* p, std::uint32_t v);
void PutLe16(unsigned char* p, std::uint16_t v);

// The 8-byte block header for a memo of `text_length` bytes: FPT type 1 and
// the length (big-endian); otherwise FF FF 08 00 and text_length + 8.
void EncodeBlockHeader(std::uint8_t kind, std::uint32_t text_length, unsigned char* out);

// Reads the block header at the start of a memo. FPT: always present, the
// text length is bytes 4-7 (big-endian). Other kinds: present when the block
// starts FF FF 08 00; the text length is the stored value minus 8 (0 when the
// stored value is below 8). nullopt: a headerless memo, ended by 0x1A.
std::optional<std::uint32_t> DecodeBlockHeader(std::uint8_t kind, const unsigned char* block_start);

// Number of blocks a memo of `text_length` bytes takes with its 8-byte
// header: (text_length + 8) div block_size + 1.
std::uint32_t BlocksForText(std::uint32_t text_length, std::uint16_t block_size);

// The block number held by an M field's text: trimmed decimal text, blanks
// mean 0; a leading '-' marks the dBASE III form of a memo with block header.
// Text that is not a number gives 0. The value may exceed 32 bits (ten digits).
std::int64_t ParseMemoRef(std::string_view field_text);

// The same, but text that is no such number (letters, more than 18 digits)
// gives nothing: a damaged reference, which readers report.
std::optional<std::int64_t> ParseStoredMemoRef(std::string_view field_text);

// The M field text of a block number: right-aligned in `width` characters,
// blank-padded (block 7 in 10 characters is nine blanks and "7"); a number
// wider than the field gives a row of '*', as for numeric fields.
std::string FormatMemoRef(std::int64_t block, std::size_t width = 10);

}  // namespace orvex
