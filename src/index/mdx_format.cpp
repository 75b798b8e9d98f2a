#include "index/mdx_format.h"

#include <algorithm>

#include "common/file_utils.h"
#include "platform/os/system.h"

namespace orvex {

std::string FixedText(const std::uint8_t* p, int width) {
  int n = 0;
  while (n < width && p[n] != 0) ++n;
  return std::string(reinterpret_cast<const char*>(p), static_cast<std::size_t>(n));
}

void PutFixedText(std::uint8_t* p, int width, const std::string& text) {
  std::memset(p, 0, static_cast<std::size_t>(width));
  std::size_t n = std::min<std::size_t>(text.size(), static_cast<std::size_t>(width - 1));
  std::memcpy(p, text.data(), n);
}

namespace {

void PutToday(std::uint8_t* p) {
  os::LocalTime now = os::GetLocalTime();
  p[0] = static_cast<std::uint8_t>(now.year % 100);
  p[1] = static_cast<std::uint8_t>(now.month);
  p[2] = static_cast<std::uint8_t>(now.day);
}

}  // namespace

MdxHeader NewMdxHeader(const std::string& table_base_name) {
  MdxHeader h{};
  h[kHdrVersion] = 2;
  PutToday(h.data() + kHdrCreated);
  PutFixedText(h.data() + kHdrTableName, 16, table_base_name);
  Put16(h.data() + kHdrBlockPages, 2);
  Put16(h.data() + kHdrBlockBytes, kMdxBlockSize);
  h[kHdrProduction] = 1;
  h[kHdrSlots] = kTagTableSlots;
  Put16(h.data() + kHdrEntryLength, kTagEntrySize);
  PutToday(h.data() + kHdrUpdated);
  return h;
}

void StampUpdateDate(MdxHeader& header) { PutToday(header.data() + kHdrUpdated); }

std::string TagEntryName(const MdxHeader& header, int n) {
  return FixedText(TagEntry(header, n) + kEntryName, 11);
}

void RebuildTagLinks(MdxHeader& header) {
  int count = std::min(TagCount(header), kMaxTags);
  for (int i = 0; i <= count; ++i) {
    std::uint8_t* e = TagEntry(header, i);
    e[kEntryLess] = e[kEntryGreater] = e[kEntryParent] = 0;
  }
  if (count == 0) return;
  TagEntry(header, 0)[kEntryGreater] = 1;
  for (int i = 2; i <= count; ++i) {
    const std::uint8_t* name = TagEntry(header, i) + kEntryName;
    int at = 1;
    for (;;) {
      std::uint8_t* visited = TagEntry(header, at);
      int side = std::memcmp(name, visited + kEntryName, 11) < 0 ? kEntryLess : kEntryGreater;
      if (visited[side] == 0) {
        visited[side] = static_cast<std::uint8_t>(i);
        TagEntry(header, i)[kEntryParent] = static_cast<std::uint8_t>(at);
        break;
      }
      at = visited[side];
    }
  }
}

void RemoveTagEntry(MdxHeader& header, int n) {
  int count = TagCount(header);
  if (n < 1 || n > count) return;
  if (n != count) std::memcpy(TagEntry(header, n), TagEntry(header, count), kTagEntrySize);
  std::memset(TagEntry(header, count), 0, kTagEntrySize);
  header[kHdrTagCount] = static_cast<std::uint8_t>(count - 1);
  RebuildTagLinks(header);
}

void AddTagEntry(MdxHeader& header, std::uint32_t page, const std::string& name, char key_type) {
  int n = TagCount(header) + 1;
  std::uint8_t* e = TagEntry(header, n);
  std::memset(e, 0, kTagEntrySize);
  Put32(e + kEntryPage, page);
  PutFixedText(e + kEntryName, 11, UpperCase(name.substr(0, kMaxTagNameLength)));
  e[kEntryTwo] = 2;
  e[kEntryKeyType] = static_cast<std::uint8_t>(key_type);
  header[kHdrTagCount] = static_cast<std::uint8_t>(n);
  RebuildTagLinks(header);
}

int FindTagEntry(const MdxHeader& header, const std::string& name) {
  std::string wanted = UpperCase(name.substr(0, kMaxTagNameLength));
  int count = std::min(TagCount(header), kMaxTags);
  for (int i = 1; i <= count; ++i) {
    if (TagEntryName(header, i) == wanted) return i;
  }
  return 0;
}

TagLayout ReadTagLayout(const Block& anchor) {
  TagLayout t;
  const std::uint8_t* a = anchor.data();
  t.key_type = static_cast<char>(a[kTagKeyType]);
  t.key_length = Get16(a + kTagKeyLength);
  t.item_length = Get16(a + kTagItemLength);
  t.max_keys = Get16(a + kTagMaxKeys);
  t.descending = (a[kTagFormat] & kFormatDescending) != 0;
  t.unique = (a[kTagFormat] & kFormatUnique) != 0 || a[kTagUnique] != 0;
  t.has_for = a[kTagHasFor] != 0;
  t.key_expr = FixedText(a + kTagExpr, kMaxExprLength + 1);
  if (t.has_for) t.for_expr = FixedText(a + kTagForExpr, kMaxExprLength + 1);
  return t;
}

int NewItemLength(char key_type, int key_length) {
  int length = 4 + (key_length + 3) / 4 * 4;
  return key_type == 'N' || key_type == 'F' ? length + 4 : length;
}

Block NewTagHeader(const TagLayout& layout, std::uint32_t root_page, bool not_empty) {
  Block b{};
  std::uint8_t* a = b.data();
  Put32(a + kTagRoot, root_page);
  a[kTagFormat] = static_cast<std::uint8_t>(kFormatAlways | (layout.descending ? kFormatDescending : 0) |
                                            (layout.unique ? kFormatUnique : 0));
  a[kTagKeyType] = static_cast<std::uint8_t>(layout.key_type);
  Put16(a + kTagKeyLength, static_cast<std::uint16_t>(layout.key_length));
  Put16(a + kTagMaxKeys, static_cast<std::uint16_t>(layout.max_keys));
  Put16(a + kTagNotChar, layout.key_type == 'C' ? 0 : 1);
  Put16(a + kTagItemLength, static_cast<std::uint16_t>(layout.item_length));
  a[kTagUnique] = layout.unique ? 1 : 0;
  PutFixedText(a + kTagExpr, kMaxExprLength + 1, layout.key_expr);
  if (layout.has_for) {
    a[kTagHasFor] = 1;
    a[kTagNotEmpty] = not_empty ? 1 : 0;
    PutFixedText(a + kTagForExpr, kMaxExprLength + 1, layout.for_expr);
  }
  return b;
}

}  // namespace orvex
