#include "index/key_maintenance.h"

#include <cstring>
#include <utility>
#include <vector>

#include "common/errors.h"
#include "engine/engine_text.h"
#include "index/key_maker.h"
#include "index/tag_walk.h"
#include "platform/os/files.h"

namespace orvex {

bool FlushIndexWrites = false;

namespace {

// One entry of a node while it is being rebuilt: a leaf item (record
// number, key) or a branch child (page, the highest key below it). The
// right-most child of a branch is the last entry; its key is not stored in
// the node and may be unknown (empty).
struct Entry {
  std::uint32_t pointer = 0;
  std::string key;
};

// Existing nodes to rewrite once every new node is in the file.
using Rewrites = std::vector<std::pair<std::uint32_t, Block>>;

std::string KeyAt(const NodeView& v, int i, int key_length) {
  return std::string(reinterpret_cast<const char*>(v.Key(i)), static_cast<std::size_t>(key_length));
}

const std::uint8_t* Bytes(const std::string& s) {
  return reinterpret_cast<const std::uint8_t*>(s.data());
}

std::vector<Entry> EntriesOf(Block& node, const NodeGeometry& g) {
  NodeView v(node, g);
  std::vector<Entry> out;
  out.reserve(static_cast<std::size_t>(v.Count()) + 1);
  for (int i = 0; i < v.Count(); ++i) out.push_back({v.Pointer(i), KeyAt(v, i, g.key_length)});
  if (!v.IsLeaf()) out.push_back({v.Trailing(), std::string()});
  return out;
}

// Fills a node from entries [from, to); for a branch the last one becomes
// the trailing pointer.
Block NodeOf(const std::vector<Entry>& entries, std::size_t from, std::size_t to, bool leaf,
             const NodeGeometry& g) {
  Block b{};
  NodeView v(b, g);
  std::size_t items = leaf ? to : to - 1;
  for (std::size_t i = from; i < items; ++i) v.Append(entries[i].pointer, Bytes(entries[i].key));
  if (!leaf) v.SetTrailing(entries[to - 1].pointer);
  return b;
}

// Room rule of a node holding `items` key items.
bool HasRoomFor(int items, const NodeGeometry& g) {
  return items < g.max_keys && 1016 - (items + 1) * g.item_length > 3;
}

// The highest key below `page`: the last key of its right-most leaf.
bool HighestKey(IndexFile& index, TagState& tag, std::uint32_t page, std::string* key) {
  for (int depth = 0; depth < kMaxTreeDepth; ++depth) {
    Block node;
    if (!ReadNode(index, tag, page, &node)) return false;
    NodeView v(node, tag.geometry);
    if (!v.IsLeaf()) {
      page = v.Trailing();
      continue;
    }
    if (v.Count() == 0) break;
    *key = KeyAt(v, v.Count() - 1, tag.geometry.key_length);
    return true;
  }
  ReportDamaged(index, tag, "AppendIndex");
  return false;
}

void Remember(Rewrites& rewrites, const PathEntry& e) {
  for (auto& r : rewrites) {
    if (r.first == e.page) {
      r.second = e.node;
      return;
    }
  }
  rewrites.emplace_back(e.page, e.node);
}

// The node at path level `level` now ends with `key`: the parents that name
// it by an item get that key, up to the first one that does.
void PropagateHighest(TagState& tag, int level, const std::string& key, Rewrites& rewrites) {
  for (int l = level - 1; l >= 0; --l) {
    PathEntry& e = tag.path[static_cast<std::size_t>(l)];
    NodeView v(e.node, tag.geometry);
    if (e.index < v.Count()) {
      if (KeyAt(v, e.index, tag.geometry.key_length) != key) {
        std::memcpy(v.Item(e.index) + 4, key.data(), key.size());
        Remember(rewrites, e);
      }
      return;
    }
  }
}

// Appends a node that did not exist before; the header's page counter names
// the page after it.
bool AppendNode(IndexFile& index, TagState& tag, const Block& node, std::uint32_t* page,
                const char* routine) {
  if (!AppendBlock(index, &tag, node, page, routine)) return false;
  Put32(index.header.data() + kHdrPageCounter, *page + 1);
  index.header_dirty = true;
  return true;
}

// Writes the rewritten nodes in order, then the tag header when dirty, then
// flushes when asked. The tag's path no longer matches the file: it is
// dropped and found again on the next step.
bool Finish(IndexFile& index, TagState& tag, const Rewrites& rewrites) {
  tag.path.clear();
  tag.positioned = false;
  for (const auto& r : rewrites) {
    if (!WriteBlock(index, &tag, r.first, r.second, "SeekAndWrite")) return false;
  }
  if (tag.anchor_dirty && !WriteAnchor(index, tag)) return false;
  // Inside a keyed write the writes are held until its end, which flushes.
  if (FlushIndexWrites && !index.holding) {
    int err = os::FlushFileBuffers(index.file);
    if (err != 0) {
      SetError(err, Ansi("Fehler beim Zurückschreiben von Datei  [oxndx.FlushFile]"));
      return false;
    }
  }
  return true;
}

// Inserts at the gap the tag's path stands on, splitting full nodes from the
// leaf up.
bool InsertAtPath(IndexFile& index, TagState& tag, const std::string& key, std::int32_t record) {
  const NodeGeometry& g = tag.geometry;
  Rewrites rewrites;
  int level = static_cast<int>(tag.path.size()) - 1;
  PathEntry& leaf = tag.path.back();
  NodeView lv(leaf.node, g);
  if (HasRoomFor(lv.Count() + 1, g)) {
    lv.Insert(leaf.index, static_cast<std::uint32_t>(record), Bytes(key));
    Remember(rewrites, leaf);
    if (leaf.index == lv.Count() - 1) PropagateHighest(tag, level, key, rewrites);
    return Finish(index, tag, rewrites);
  }
  // Entries of the node being changed, with the change applied.
  std::vector<Entry> entries = EntriesOf(leaf.node, g);
  entries.insert(entries.begin() + leaf.index, Entry{static_cast<std::uint32_t>(record), key});
  for (;;) {
    PathEntry& e = tag.path[static_cast<std::size_t>(level)];
    const bool is_leaf = NodeView(e.node, g).IsLeaf();
    const int items = static_cast<int>(entries.size()) - (is_leaf ? 0 : 1);
    if (HasRoomFor(items, g)) {
      e.node = NodeOf(entries, 0, entries.size(), is_leaf, g);
      Remember(rewrites, e);
      break;
    }
    // Split: the new node takes the upper half and is written first.
    const std::size_t upper = entries.size() / 2;
    const std::size_t lower = entries.size() - upper;
    Block new_node = NodeOf(entries, lower, entries.size(), is_leaf, g);
    std::uint32_t new_page = 0;
    if (!AppendNode(index, tag, new_node, &new_page, "AppendIndex")) return false;
    e.node = NodeOf(entries, 0, lower, is_leaf, g);
    Remember(rewrites, e);
    std::string old_high = entries[lower - 1].key;
    if (level == 0) {
      // A new root above the two halves.
      std::vector<Entry> root = {{e.page, old_high}, {new_page, std::string()}};
      std::uint32_t root_page = 0;
      if (!AppendNode(index, tag, NodeOf(root, 0, 2, false, g), &root_page, "AppendIndex"))
        return false;
      Put32(tag.anchor.data() + kTagRoot, root_page);
      tag.anchor_dirty = true;
      break;
    }
    std::string new_high = entries.back().key;
    PathEntry& parent = tag.path[static_cast<std::size_t>(level - 1)];
    const bool parent_trailing = parent.index == NodeView(parent.node, g).Count();
    if (new_high.empty() && !parent_trailing && !HighestKey(index, tag, new_page, &new_high))
      return false;
    entries = EntriesOf(parent.node, g);
    auto at = entries.begin() + parent.index;
    at->key = old_high;
    entries.insert(at + 1, Entry{new_page, new_high});
    --level;
  }
  return Finish(index, tag, rewrites);
}

// Whether the gap the tag's path stands on (just placed after `key`) is
// where the key goes among the items of other keys: the item before it in
// the same leaf orders below `key` and an item follows in the leaf. The tag
// then holds no item of the key, and the gap is the one a search among
// equal keys would find. At a leaf's edge the neighbour is in another leaf,
// and the caller searches.
bool GapAmongOtherKeys(TagState& tag, const std::string& key) {
  PathEntry& leaf = tag.path.back();
  NodeView v(leaf.node, tag.geometry);
  return leaf.index > 0 && leaf.index < v.Count() &&
         tag.order.Compare(v.Key(leaf.index - 1), Bytes(key)) < 0;
}

}  // namespace

KeyChange AppendIndex(IndexFile& index, TagState& tag, const std::string& key, std::int32_t record,
                      bool for_checked, bool newest) {
  if (!for_checked && !MeetsFor(tag)) return KeyChange::kSkipped;
  if (tag.layout.has_for && tag.anchor[kTagNotEmpty] == 0) {
    tag.anchor[kTagNotEmpty] = 1;
    tag.anchor_dirty = true;
  }
  if (tag.layout.unique) {
    if (!DescendToKey(index, tag, Bytes(key))) return KeyChange::kFailed;
    Step s = SettleForward(index, tag);
    if (s == Step::kError) return KeyChange::kFailed;
    if (s == Step::kMoved && tag.order.SameKey(ItemKey(tag), Bytes(key))) {
      tag.positioned = false;
      return tag.anchor_dirty && !Finish(index, tag, {}) ? KeyChange::kFailed : KeyChange::kSkipped;
    }
    if (s == Step::kEnd)
      tag.path.back().index = NodeView(tag.path.back().node, tag.geometry).Count();
  } else {
    // One descent to the gap after the key serves the newest record, and a
    // key the tag holds no item of (most keys an edit gives); a search
    // among equal keys is left for the rest.
    if (!PlaceAfterKey(index, tag, Bytes(key))) return KeyChange::kFailed;
    bool found = false;
    if (!newest && !GapAmongOtherKeys(tag, key) &&
        !PlaceOnRecord(index, tag, Bytes(key), record, &found)) {
      return KeyChange::kFailed;
    }
    if (found) {
      tag.positioned = false;
      return tag.anchor_dirty && !Finish(index, tag, {}) ? KeyChange::kFailed : KeyChange::kSkipped;
    }
  }
  return InsertAtPath(index, tag, key, record) ? KeyChange::kDone : KeyChange::kFailed;
}

KeyChange DeleteKey(IndexFile& index, TagState& tag, const std::string& key, std::int32_t record) {
  if (tag.MarkedEmpty()) return KeyChange::kSkipped;
  bool found = false;
  if (!PlaceOnRecord(index, tag, Bytes(key), record, &found)) return KeyChange::kFailed;
  if (!found) {
    tag.positioned = false;
    return KeyChange::kSkipped;
  }
  const NodeGeometry& g = tag.geometry;
  Rewrites rewrites;
  int level = static_cast<int>(tag.path.size()) - 1;
  NodeView(tag.path.back().node, g).Remove(tag.path.back().index);
  // Unlink nodes that became empty, from the leaf up; each level removes
  // the entry of the child below it (the leaf: the item itself).
  for (;;) {
    PathEntry& e = tag.path[static_cast<std::size_t>(level)];
    NodeView v(e.node, g);
    Remember(rewrites, e);
    if (v.Count() == 0 && (v.IsLeaf() || v.Trailing() == 0)) {
      v.Clear();
      Remember(rewrites, e);
      if (level == 0) {
        if (tag.layout.has_for) {
          tag.anchor[kTagNotEmpty] = 0;
          tag.anchor_dirty = true;
        }
        break;
      }
      --level;
      PathEntry& parent = tag.path[static_cast<std::size_t>(level)];
      NodeView p(parent.node, g);
      if (parent.index < p.Count()) {
        p.Remove(parent.index);
      } else if (p.Count() == 0) {
        p.SetTrailing(0);  // its only child went: the branch is empty too
      } else {
        // The right-most child went: the last item's child takes its place
        // and that item's key is the branch's new highest key.
        const int last = p.Count() - 1;
        std::uint32_t child = p.Pointer(last);
        std::string high = KeyAt(p, last, g.key_length);
        p.Remove(last);
        p.SetTrailing(child);
        Remember(rewrites, parent);
        PropagateHighest(tag, level, high, rewrites);
        break;
      }
      continue;
    }
    if (v.IsLeaf() && e.index == v.Count())
      PropagateHighest(tag, level, KeyAt(v, v.Count() - 1, g.key_length), rewrites);
    break;
  }
  return Finish(index, tag, rewrites) ? KeyChange::kDone : KeyChange::kFailed;
}

}  // namespace orvex
