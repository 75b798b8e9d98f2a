// The index engine's state of one table (kept in WorkArea::index_state): the
// open MDX file, its header buffer and one TagState per tag, and the reads
// and writes of blocks with their error reports.
//
// Tags are numbered 1..n in tag-table order; tags[n - 1] holds tag n. The
// active tag is `active` (0 = natural record order). Each tag keeps its own
// path from the root to the current leaf, so a path can never be used for
// another tag; a path is dropped (positioned = false) whenever the tag
// headers are read again, and the next step re-finds the current key.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "engine/work_area.h"
#include "index/mdx_format.h"
#include "index/mdx_keys.h"
#include "index/mdx_nodes.h"
#include "index/node_cache.h"

namespace orvex {

// One node on a tag's path, with the entry (item or child) taken in it.
struct PathEntry {
  std::uint32_t page = 0;
  Block node{};
  int index = 0;
};

struct TagState {
  int number = 0;  // 1..47
  std::string name;
  std::uint32_t header_page = 0;
  Block anchor{};  // the tag header (first 983 bytes used)
  bool anchor_dirty = false;
  TagLayout layout;
  NodeGeometry geometry;
  KeyOrder order;
  // Keys of this tag are folded (our own writers); false for a tag whose
  // keys another writer stored unfolded (upper case letters in its keys).
  bool fold_keys = true;
  CompiledExpr* key_expr = nullptr;
  CompiledExpr* for_expr = nullptr;

  // Position: the path from the root to the current leaf. With `on_gap` the
  // position lies just before the leaf's item path.back().index (the current
  // record is not in the tag); otherwise on that item.
  std::vector<PathEntry> path;
  bool positioned = false;
  bool on_gap = false;
  bool bof = false;
  bool eof = false;
  // Leaf changes since the last descent from the root, forward minus
  // backward; a walk that goes further than the file has blocks is going
  // round a damaged tree and is stopped.
  long leaf_moves = 0;
  // The most leaf changes the file's size allows, as last asked.
  long leaf_move_limit = 0;
  // The leaves a walk in one direction (1 forward, -1 back, 0 none since the
  // last descent) has stood on: a walk that comes to one of them again is
  // going round a damaged tree.
  std::unordered_set<std::uint32_t> walked_leaves;
  int walk_direction = 0;
  std::string current_key;  // key bytes of the current record
  std::int32_t current_record = 0;
  // The key and record number stored before an edit (key maintenance).
  std::string stored_key;
  std::int32_t stored_record = 0;
  // Whether that record was in the tag's FOR condition before the edit.
  bool stored_member = false;

  std::uint32_t Root() const { return Get32(anchor.data() + kTagRoot); }
  // A FOR tag no record has met yet counts as empty.
  bool MarkedEmpty() const { return anchor[kTagHasFor] != 0 && anchor[kTagNotEmpty] == 0; }
  ~TagState();
};

// The undo journal of a keyed write under way (index_journal.h).
struct KeyedWriteJournal;

struct IndexFile {
  int area = 0;
  std::string file_name;
  os::Handle file = os::kNoHandle;
  bool read_only = false;
  MdxHeader header{};
  bool header_dirty = false;
  std::vector<std::unique_ptr<TagState>> tags;
  int active = 0;  // 0 = natural order
  // Copies of nodes as the file holds them, by page, within a budget: the
  // nodes read (a second walk or search reads nothing) and the nodes this
  // program wrote (a writer then neither reads back what it wrote nor reads
  // the old bytes its journal needs). Dropped with the paths when another
  // program changed the index (change counter) or a roll-back put old bytes
  // back; kept current by this program's node writes.
  NodeCache node_cache;
  // The keyed write under way (null outside one) and the nesting of the
  // writer's lock bracket around it.
  std::unique_ptr<KeyedWriteJournal> journal;
  int write_depth = 0;
  // The AutoReport setting at each entry of the bracket, restored when it
  // is left (errors inside are held back for the roll-back first).
  std::vector<bool> auto_reports;
  // The caller's transaction on the table (transaction.h): none, open (its
  // unit spans the record commands until it ends), or failed (a command in
  // it failed and the whole unit was rolled back; writes are refused until
  // the caller ends it).
  enum class Transaction { kNone, kOpen, kFailed } transaction = Transaction::kNone;
  // While a keyed write is under way its index writes are held here, one
  // entry per range by offset (a hash map: every node read of the unit
  // looks here first), and reach the file when the unit ends (a long
  // transaction puts them out earlier, see index_journal.h); `held_bytes`
  // is their size, `held_end` the file's size with them.
  bool holding = false;
  std::unordered_map<std::int64_t, std::string> held_writes;
  // Which pages start a held block, by page number: a node read asks this
  // before the hash map, so that the common answer (not held) costs one
  // bit instead of a walk through the map's buckets.
  std::vector<bool> held_pages;
  std::size_t held_bytes = 0;
  std::int64_t held_end = 0;
  // The keyed-write journal of an exclusively opened index stays open and
  // empty between keyed writes (index_journal.h); kNoHandle otherwise.
  os::Handle journal_file = os::kNoHandle;
  // Keyed-write units begun on this index (the number of the last one).
  std::uint64_t journal_units = 0;
  IndexFile();
  ~IndexFile();

  TagState* Active() {
    return active > 0 ? tags[static_cast<std::size_t>(active - 1)].get() : nullptr;
  }
  WorkArea& Table() { return *WorkAreas[static_cast<std::size_t>(area)]; }
};

// The index state of an area, or nullptr when no index is open.
IndexFile* IndexOf(int area);

// "<index file> [tag: <name>]", the file-and-tag part of messages.
std::string IndexAndTag(const IndexFile& index, const TagState& tag);

// Reads the node at `page` for a tag. Page 0, a block beyond the end of the
// file or a node that is not well formed report error 254; a failed read
// the system's error. False after reporting.
bool ReadNode(IndexFile& index, TagState& tag, std::uint32_t page, Block* node);

// The writes below are held back while a keyed write is under way (see
// IndexFile::holding): the unit writes each range once when it ends, after
// journaling its old bytes (index_journal.h). Reads of nodes see the held
// bytes.

// After the held writes reached the file: keeps copies of the nodes among
// them (the journal's old bytes of the next unit, and no read-back).
void NodesWritten(IndexFile& index);

// Writes a tag's header (983 bytes at its page). False after reporting the
// system's error.
bool WriteAnchor(IndexFile& index, TagState& tag);

// Writes a whole block at `page` (SeekAndWrite).
bool WriteBlock(IndexFile& index, const TagState* tag, std::uint32_t page, const Block& block,
                const char* routine);

// Appends a block at the end of the file; its page (file size / 512, the
// held blocks counted) in *page.
bool AppendBlock(IndexFile& index, const TagState* tag, const Block& block, std::uint32_t* page,
                 const char* routine);

// Writes the file header back when it is dirty.
bool WriteHeaderIfDirty(IndexFile& index, const char* routine);

// Reports error 254 for a damaged tree of the tag from `routine`.
void ReportDamaged(const IndexFile& index, const TagState& tag, const char* routine);

// Size of the open index file in bytes, held blocks counted (0 when it
// cannot be asked).
std::int64_t IndexFileSize(const IndexFile& index);

}  // namespace orvex
