#include "index/index_file.h"

#include "common/errors.h"
#include "engine/engine_text.h"
#include "expr/compiled_expr.h"
#include "index/index_journal.h"

namespace orvex {

namespace {

// Branch nodes kept per index file (16 MiB): far more than the branches of
// any table of millions of records; when full the copies start over.
constexpr std::size_t kBranchCacheNodes = 16384;

}  // namespace

TagState::~TagState() {
  FreeExpr(key_expr);
  FreeExpr(for_expr);
}

IndexFile::IndexFile() = default;

IndexFile::~IndexFile() {
  if (file != os::kNoHandle) os::CloseFile(file);
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
  return size < 0 ? 0 : size;
}

void ReportDamaged(const IndexFile& index, const TagState& tag, const char* routine) {
  SetError(254, Ansi("Index-Datei beschädigt. ") + IndexAndTag(index, tag) + " [" + routine + "]");
}

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
  auto cached = index.branch_cache.find(page);
  if (cached != index.branch_cache.end() && CheckNode(cached->second, tag.geometry)) {
    *node = cached->second;
    return true;
  }
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
  if (!NodeView(*node, tag.geometry).IsLeaf()) {
    if (index.branch_cache.size() >= kBranchCacheNodes) index.branch_cache.clear();
    index.branch_cache[page] = *node;
  }
  return true;
}

bool WriteAnchor(IndexFile& index, TagState& tag) {
  const std::int64_t offset = static_cast<std::int64_t>(tag.header_page) * kMdxPageSize;
  if (!JournalIndexBytes(index, offset, kAnchorBytes)) return false;
  int err = os::WriteAt(index.file, offset, tag.anchor.data(), kAnchorBytes);
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
  index.branch_cache.erase(page);
  const std::int64_t offset = static_cast<std::int64_t>(page) * kMdxPageSize;
  if (!JournalIndexBytes(index, offset, kMdxBlockSize)) return false;
  int err = os::WriteAt(index.file, offset, block.data(), kMdxBlockSize);
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
  std::int64_t size = os::FileSize(index.file, &error);
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
  if (!JournalIndexBytes(index, 0, kMdxHeaderSize)) return false;
  int err = os::WriteAt(index.file, 0, index.header.data(), kMdxHeaderSize);
  if (err != 0) {
    SetError(err,
             "Fehler beim Schreiben der Index-Datei: " + index.file_name + " [" + routine + "]");
    return false;
  }
  index.header_dirty = false;
  return true;
}

}  // namespace orvex
