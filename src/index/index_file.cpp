#include "index/index_file.h"

#include <algorithm>
#include <cstring>

#include "common/errors.h"
#include "engine/engine_text.h"
#include "expr/compiled_expr.h"
#include "index/index_journal.h"

namespace orvex {

namespace {

// Writes bytes of the index file, or holds them back while a keyed write is
// under way. Returns 0 or the system's error.
int PutBytes(IndexFile& index, std::int64_t offset, const std::uint8_t* bytes, std::size_t length) {
  if (!index.holding) return os::WriteAt(index.file, offset, bytes, length);
  if (offset % kMdxPageSize == 0 && length == kMdxBlockSize) {
    const auto page = static_cast<std::size_t>(offset / kMdxPageSize);
    if (page >= index.held_pages.size()) index.held_pages.resize(page + page / 2 + 1);
    index.held_pages[page] = true;
  }
  std::string& held = index.held_writes[offset];
  index.held_bytes = index.held_bytes - held.size() + length;
  held.assign(reinterpret_cast<const char*>(bytes), length);
  index.held_end = std::max(index.held_end, offset + static_cast<std::int64_t>(length));
  return 0;
}

// The held block at `page`, or null.
const std::string* HeldBlock(const IndexFile& index, std::uint32_t page) {
  if (page >= index.held_pages.size() || !index.held_pages[page]) return nullptr;
  const auto held = index.held_writes.find(static_cast<std::int64_t>(page) * kMdxPageSize);
  return held != index.held_writes.end() && held->second.size() == kMdxBlockSize ? &held->second
                                                                                 : nullptr;
}

}  // namespace

void NodesWritten(IndexFile& index) {
  for (const auto& [offset, bytes] : index.held_writes) {
    if (offset % kMdxPageSize != 0 || bytes.size() != kMdxBlockSize) continue;
    Block node;
    std::memcpy(node.data(), bytes.data(), kMdxBlockSize);
    // A page written anew is taken for a leaf (most writes are); a branch
    // keeps its kind.
    index.node_cache.Put(static_cast<std::uint32_t>(offset / kMdxPageSize), node, false, true);
  }
}

TagState::~TagState() {
  FreeExpr(key_expr);
  FreeExpr(for_expr);
}

IndexFile::IndexFile() = default;

IndexFile::~IndexFile() {
  if (file != os::kNoHandle) os::CloseFile(file);
  if (journal_file != os::kNoHandle) os::CloseFile(journal_file);
}

IndexFile* IndexOf(int area) {
  if (area < 1 || area > kWorkAreaSlots || !WorkAreas[static_cast<std::size_t>(area)])
    return nullptr;
  return static_cast<IndexFile*>(WorkAreas[static_cast<std::size_t>(area)]->index_state.get());
}

std::string IndexAndTag(const IndexFile& index, const TagState& tag) {
  return index.file_name + " [tag: " + tag.name + "]";
}

std::int64_t IndexFileSize(const IndexFile& index) {
  int error = 0;
  std::int64_t size = os::FileSize(index.file, &error);
  if (index.holding) size = std::max(size, index.held_end);
  return size < 0 ? 0 : size;
}

void ReportDamaged(const IndexFile& index, const TagState& tag, const char* routine) {
  SetError(254, Ansi("Index-Datei beschädigt. ") + IndexAndTag(index, tag) + " [" + routine + "]");
}

namespace {

bool ReadNodeFromFile(IndexFile& index, TagState& tag, std::uint32_t page, Block* node) {
  std::size_t done = 0;
  int err = os::ReadAt(index.file, static_cast<std::int64_t>(page) * kMdxPageSize, node->data(),
                       kMdxBlockSize, &done);
  if (err != 0) {
    SetError(err,
             "Fehler beim Lesen der Index-Datei: " + IndexAndTag(index, tag) + " [SeekAndRead]");
    return false;
  }
  if (done != kMdxBlockSize || !CheckNode(*node, tag.geometry)) {
    ReportDamaged(index, tag, "GetNode");
    return false;
  }
  index.node_cache.Put(page, *node, !NodeView(*node, tag.geometry).IsLeaf());
  return true;
}

}  // namespace

bool ReadNode(IndexFile& index, TagState& tag, std::uint32_t page, Block* node) {
  if (page == 0) {
    SetError(254, "Ungültige Knotennummer (0) in DBF-Bereich " + std::to_string(index.area) +
                      "\n, Ordnung " + std::to_string(tag.number) + " " + IndexAndTag(index, tag) +
                      " [GetNode]");
    return false;
  }
  // A node copy on the path is as good as the file's (the path is dropped
  // whenever another program may have changed the file).
  for (auto it = tag.path.rbegin(); it != tag.path.rend(); ++it) {
    if (it->page == page) {
      *node = it->node;
      return true;
    }
  }
  // What this program wrote last is what the file holds (or will hold).
  if (const std::string* held = HeldBlock(index, page)) {
    std::memcpy(node->data(), held->data(), kMdxBlockSize);
  } else {
    const Block* cached = index.node_cache.Find(page);
    if (cached == nullptr) return ReadNodeFromFile(index, tag, page, node);
    *node = *cached;
  }
  if (!CheckNode(*node, tag.geometry)) {
    ReportDamaged(index, tag, "GetNode");
    return false;
  }
  return true;
}

bool WriteAnchor(IndexFile& index, TagState& tag) {
  const std::int64_t offset = static_cast<std::int64_t>(tag.header_page) * kMdxPageSize;
  int err = PutBytes(index, offset, tag.anchor.data(), kAnchorBytes);
  if (err != 0) {
    SetError(err, "Fehler beim Schreiben der Index-Datei:  " + IndexAndTag(index, tag) +
                      " [WriteAnchor]");
    return false;
  }
  tag.anchor_dirty = false;
  return true;
}

bool WriteBlock(IndexFile& index, const TagState* tag, std::uint32_t page, const Block& block,
                const char* routine) {
  const std::int64_t offset = static_cast<std::int64_t>(page) * kMdxPageSize;
  // A held block keeps the cached copy: it is the old bytes the journal
  // takes when the unit ends.
  if (!index.holding) index.node_cache.Erase(page);
  int err = PutBytes(index, offset, block.data(), kMdxBlockSize);
  if (err != 0) {
    SetError(err, "Fehler beim Schreiben der Index-Datei: " +
                      (tag != nullptr ? IndexAndTag(index, *tag) : index.file_name) + " [" +
                      routine + "]");
    return false;
  }
  return true;
}

bool AppendBlock(IndexFile& index, const TagState* tag, const Block& block, std::uint32_t* page,
                 const char* routine) {
  int error = 0;
  std::int64_t size = index.holding ? index.held_end : os::FileSize(index.file, &error);
  if (size < 0) {
    SetError(error,
             "Fehler beim Schreiben der Index-Datei: " + index.file_name + " [" + routine + "]");
    return false;
  }
  *page = static_cast<std::uint32_t>(size / kMdxPageSize);
  return WriteBlock(index, tag, *page, block, routine);
}

bool WriteHeaderIfDirty(IndexFile& index, const char* routine) {
  if (!index.header_dirty) return true;
  StampUpdateDate(index.header);
  int err = PutBytes(index, 0, index.header.data(), kMdxHeaderSize);
  if (err != 0) {
    SetError(err,
             "Fehler beim Schreiben der Index-Datei: " + index.file_name + " [" + routine + "]");
    return false;
  }
  index.header_dirty = false;
  return true;
}

}  // namespace orvex
