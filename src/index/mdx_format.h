// The layout of a multiple-tag index file (MDX): the 2048-byte file header
// with its tag table, the tag header (anchor node) and the little-endian
// fields inside them. Nothing here touches a file; the functions work on
// byte buffers that the caller reads and writes.
//
// The file is addressed in pages of 512 bytes. Every block after the header
// (tag headers and tree nodes) is 1024 bytes and is appended at the end of
// the file, so that its page number is the file size / 512 when it is
// written.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <string>

namespace orvex {

inline constexpr int kMdxPageSize = 512;
inline constexpr int kMdxBlockSize = 1024;
inline constexpr int kMdxHeaderSize = 2048;
inline constexpr int kMaxTags = 47;
inline constexpr int kTagTableSlots = 48;
inline constexpr int kTagEntrySize = 32;
inline constexpr int kTagTableOffset = 512;
inline constexpr int kAnchorBytes = 983;     // the part of a tag header read and written
inline constexpr int kMaxKeyLength = 100;
inline constexpr int kMaxExprLength = 220;
inline constexpr int kMaxTagNameLength = 10;

// File header offsets.
inline constexpr int kHdrVersion = 0;
inline constexpr int kHdrCreated = 1;
inline constexpr int kHdrTableName = 4;
inline constexpr int kHdrBlockPages = 20;
inline constexpr int kHdrBlockBytes = 22;
inline constexpr int kHdrProduction = 24;
inline constexpr int kHdrSlots = 25;
inline constexpr int kHdrEntryLength = 26;
inline constexpr int kHdrTagCount = 28;
inline constexpr int kHdrPageCounter = 32;
inline constexpr int kHdrUpdated = 44;

// Tag-table entry offsets (within the 32-byte entry).
inline constexpr int kEntryPage = 0;
inline constexpr int kEntryName = 4;
inline constexpr int kEntryLess = 16;
inline constexpr int kEntryGreater = 17;
inline constexpr int kEntryParent = 18;
inline constexpr int kEntryTwo = 19;
inline constexpr int kEntryKeyType = 20;

// Tag header offsets.
inline constexpr int kTagRoot = 0;
inline constexpr int kTagFormat = 8;
inline constexpr int kTagKeyType = 9;
inline constexpr int kTagKeyLength = 12;
inline constexpr int kTagMaxKeys = 14;
inline constexpr int kTagNotChar = 16;
inline constexpr int kTagItemLength = 18;
inline constexpr int kTagUnique = 23;
inline constexpr int kTagExpr = 24;
inline constexpr int kTagHasFor = 245;
inline constexpr int kTagNotEmpty = 246;
inline constexpr int kTagForExpr = 762;

// Key-format flags of tag header byte 8.
inline constexpr std::uint8_t kFormatAlways = 0x10;
inline constexpr std::uint8_t kFormatDescending = 0x08;
inline constexpr std::uint8_t kFormatUnique = 0x40;

using MdxHeader = std::array<std::uint8_t, kMdxHeaderSize>;
using Block = std::array<std::uint8_t, kMdxBlockSize>;

inline std::uint32_t Get32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}
inline std::uint16_t Get16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}
inline void Put32(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
  p[2] = static_cast<std::uint8_t>(v >> 16);
  p[3] = static_cast<std::uint8_t>(v >> 24);
}
inline void Put16(std::uint8_t* p, std::uint16_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}

// A NUL-terminated text of at most `width` bytes at p (no terminator needed
// when it fills the width).
std::string FixedText(const std::uint8_t* p, int width);
// Stores text (cut to width - 1) NUL-terminated and zero-filled over width.
void PutFixedText(std::uint8_t* p, int width, const std::string& text);

// A new file header: version 2, today's creation and update dates, the
// table's base name (without directory and extension), block size 2 pages /
// 1024 bytes, production flag 1, 48 slots of 32 bytes, no tags.
MdxHeader NewMdxHeader(const std::string& table_base_name);

// Stamps today's date as the date of last update.
void StampUpdateDate(MdxHeader& header);

// The tag-table entry of tag n (1..47).
inline std::uint8_t* TagEntry(MdxHeader& header, int n) {
  return header.data() + kTagTableOffset + kTagEntrySize * n;
}
inline const std::uint8_t* TagEntry(const MdxHeader& header, int n) {
  return header.data() + kTagTableOffset + kTagEntrySize * n;
}
inline int TagCount(const MdxHeader& header) { return header[kHdrTagCount]; }
std::string TagEntryName(const MdxHeader& header, int n);

// Rebuilds the three link bytes of entries 0..count: entries 2..n are
// inserted in order into a binary tree rooted at entry 1 by their 11 name
// bytes (smaller to "less", equal or greater to "greater-or-equal").
void RebuildTagLinks(MdxHeader& header);

// Removes tag entry n: the last entry is copied over it, the count drops by
// one and the links are rebuilt. The tag's pages stay unused in the file.
void RemoveTagEntry(MdxHeader& header, int n);

// Appends an entry for a tag whose header lies at `page`; the count grows by
// one and the links are rebuilt. The caller has checked that a slot is free.
void AddTagEntry(MdxHeader& header, std::uint32_t page, const std::string& name, char key_type);

// The number (1..n) of the tag whose stored name equals `name` exactly
// (upper-cased, at most 10 characters), or 0.
int FindTagEntry(const MdxHeader& header, const std::string& name);

// What a tag header says about its tag.
struct TagLayout {
  char key_type = 'C';          // C, N, F or D
  int key_length = 0;
  int item_length = 0;
  int max_keys = 0;
  bool descending = false;
  bool unique = false;          // bit 0x40 or a non-zero byte 23
  bool has_for = false;
  std::string key_expr;
  std::string for_expr;
};
TagLayout ReadTagLayout(const Block& anchor);

// The item length and keys per node of a new tag (4 + key length rounded up
// to a multiple of 4, 4 more for numeric keys; 1012 / item length).
int NewItemLength(char key_type, int key_length);
inline int NewMaxKeys(int item_length) { return 1012 / item_length; }

// A new tag header (first 983 bytes filled, the rest zero).
Block NewTagHeader(const TagLayout& layout, std::uint32_t root_page, bool not_empty);

}  // namespace orvex
