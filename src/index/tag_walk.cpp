#include "index/tag_walk.h"

#include <cstdlib>

namespace orvex {

namespace {

// Reads the node at `page` and appends it to the path. Null after an error
// (reported): a path deeper than any real tree means a damaged file.
PathEntry* PushNode(IndexFile& index, TagState& tag, std::uint32_t page) {
  if (static_cast<int>(tag.path.size()) >= kMaxTreeDepth) {
    ReportDamaged(index, tag, "GetNode");
    return nullptr;
  }
  // Read straight into the new path entry: one copy of the node, not two.
  PathEntry& e = tag.path.emplace_back();
  if (!ReadNode(index, tag, page, &e.node)) {
    tag.path.pop_back();
    return nullptr;
  }
  e.page = page;
  return &e;
}

// Follows first (or last) entries from `page` down to a leaf, appending to
// the path.
bool DescendFrom(IndexFile& index, TagState& tag, std::uint32_t page, bool last) {
  for (;;) {
    PathEntry* entry = PushNode(index, tag, page);
    if (entry == nullptr) return false;
    PathEntry& e = *entry;
    NodeView v(e.node, tag.geometry);
    bool leaf = v.IsLeaf();
    e.index = last ? (leaf ? v.Count() - 1 : v.Count()) : 0;
    if (leaf) return true;
    page = v.Child(e.index);
  }
}

// Forgets the leaves of the last walk (a new descent starts a new one).
void StartWalk(TagState& tag) {
  tag.leaf_moves = 0;
  tag.walked_leaves.clear();
  tag.walk_direction = 0;
}

// True when the keys `before` and `after`, met in that order walking
// forward, are in the tag's order; a walk that meets keys out of order is
// in a damaged tree and must not go on as if the order held.
bool InOrder(const TagState& tag, const std::uint8_t* before, const std::uint8_t* after) {
  return tag.order.Compare(before, after) <= 0;
}

// Notes the leaf a walk in one direction arrives on; false (reported) when
// the walk stood on it before or its first key (going forward; its last
// going back) is out of order with the leaf it came from.
bool ArriveOnLeaf(IndexFile& index, TagState& tag, bool forward, const PathEntry& from,
                  const char* routine) {
  const int direction = forward ? 1 : -1;
  if (tag.walk_direction != direction) {
    tag.walked_leaves.clear();
    tag.walk_direction = direction;
    tag.walked_leaves.insert(from.page);
  }
  const PathEntry& leaf = tag.path.back();
  bool sound = tag.walked_leaves.insert(leaf.page).second;
  NodeView was(const_cast<Block&>(from.node), tag.geometry),
      now(const_cast<Block&>(leaf.node), tag.geometry);
  if (sound && was.Count() > 0 && now.Count() > 0) {
    sound = forward ? InOrder(tag, was.Key(was.Count() - 1), now.Key(0))
                    : InOrder(tag, now.Key(now.Count() - 1), was.Key(0));
  }
  if (!sound) ReportDamaged(index, tag, routine);
  return sound;
}

// Moves to the neighbouring leaf that holds an item: its first item going
// forward, its last going back. Empty leaves on the way are passed over. At
// the end of the tag the path is restored as it was.
Step CrossLeaf(IndexFile& index, TagState& tag, bool forward) {
  std::vector<PathEntry> saved = tag.path;
  const char* routine = forward ? "_FindNextRec" : "_FindPriorRec";
  for (;;) {
    int level = static_cast<int>(tag.path.size()) - 2;
    int next = 0;
    for (; level >= 0; --level) {
      PathEntry& p = tag.path[static_cast<std::size_t>(level)];
      NodeView v(p.node, tag.geometry);
      next = p.index + (forward ? 1 : -1);
      if (next >= 0 && next < v.Entries()) break;
    }
    if (level < 0) {
      tag.path = std::move(saved);
      return Step::kEnd;
    }
    PathEntry& parent = tag.path[static_cast<std::size_t>(level)];
    parent.index = next;
    std::uint32_t child = NodeView(parent.node, tag.geometry).Child(next);
    tag.path.resize(static_cast<std::size_t>(level) + 1);
    tag.leaf_moves += forward ? 1 : -1;
    // The file's size is asked only when the walk passes the bound it gave
    // last (the file may have grown since): not once per leaf.
    if (std::labs(tag.leaf_moves) > tag.leaf_move_limit) {
      tag.leaf_move_limit = static_cast<long>(IndexFileSize(index) / kMdxBlockSize) + 2;
    }
    if (std::labs(tag.leaf_moves) > tag.leaf_move_limit) {
      ReportDamaged(index, tag, routine);
      tag.path = std::move(saved);
      return Step::kError;
    }
    if (!DescendFrom(index, tag, child, !forward) ||
        !ArriveOnLeaf(index, tag, forward, saved.back(), routine)) {
      tag.path = std::move(saved);
      return Step::kError;
    }
    PathEntry& leaf = tag.path.back();
    if (NodeView(leaf.node, tag.geometry).Count() > 0) return Step::kMoved;
  }
}

// Index of the first item whose key is at or above `key` (above it when
// `above`); the count when there is none.
int Bound(const NodeView& v, const KeyOrder& order, const std::uint8_t* key, bool above) {
  int lo = 0, hi = v.Count();
  while (lo < hi) {
    int mid = (lo + hi) / 2;
    const int c = order.Compare(v.Key(mid), key);
    if (c < 0 || (above && c == 0)) {
      lo = mid + 1;
    } else {
      hi = mid;
    }
  }
  return lo;
}

// From the root down to a leaf, taking in every node the first entry whose
// key is at or above (above when `above`) `key`. The path's copies are as
// good as the file's (the path is dropped whenever the file may have
// changed under it), so a level that holds the node of the new descent is
// kept as it stands: searches one after another share the root and often
// the branches below it, which are then neither looked up nor copied again.
bool DescendToBound(IndexFile& index, TagState& tag, const std::uint8_t* key, bool above) {
  StartWalk(tag);
  tag.on_gap = false;
  std::uint32_t page = tag.Root();
  for (std::size_t depth = 0;; ++depth) {
    PathEntry* entry = nullptr;
    if (depth < tag.path.size() && tag.path[depth].page == page) {
      entry = &tag.path[depth];
    } else {
      tag.path.resize(depth);
      entry = PushNode(index, tag, page);
      if (entry == nullptr) return false;
    }
    PathEntry& e = *entry;
    NodeView v(e.node, tag.geometry);
    e.index = Bound(v, tag.order, key, above);
    if (v.IsLeaf()) {
      tag.path.resize(depth + 1);
      return true;
    }
    page = v.Child(e.index);
  }
}

}  // namespace

bool TagHoldsNoKeys(IndexFile& index, TagState& tag, bool* failed) {
  *failed = false;
  if (tag.MarkedEmpty()) return true;
  Block root;
  if (!ReadNode(index, tag, tag.Root(), &root)) {
    *failed = true;
    return false;
  }
  NodeView v(root, tag.geometry);
  return v.IsLeaf() && v.Count() == 0;
}

bool DescendToEdge(IndexFile& index, TagState& tag, bool last) {
  tag.path.clear();
  StartWalk(tag);
  tag.on_gap = false;
  if (!DescendFrom(index, tag, tag.Root(), last)) return false;
  // A damaged or half-emptied tree may hold empty leaves at its edge.
  if (NodeView(tag.path.back().node, tag.geometry).Count() == 0 && tag.path.size() > 1) {
    Step s = CrossLeaf(index, tag, !last);
    if (s == Step::kError) return false;
  }
  return true;
}

bool DescendToKey(IndexFile& index, TagState& tag, const std::uint8_t* key) {
  return DescendToBound(index, tag, key, false);
}

bool PlaceAfterKey(IndexFile& index, TagState& tag, const std::uint8_t* key) {
  if (!DescendToBound(index, tag, key, true)) return false;
  tag.on_gap = true;
  return true;
}

// Moves within the current leaf from item `from` to item `to` (a neighbour),
// the two keys checked for order; kError (reported) when they are not.
Step StepInLeaf(IndexFile& index, TagState& tag, int from, int to) {
  PathEntry& leaf = tag.path.back();
  NodeView v(leaf.node, tag.geometry);
  const bool forward = to > from;
  if (from >= 0 && from < v.Count() &&
      !(forward ? InOrder(tag, v.Key(from), v.Key(to)) : InOrder(tag, v.Key(to), v.Key(from)))) {
    ReportDamaged(index, tag, forward ? "_FindNextRec" : "_FindPriorRec");
    return Step::kError;
  }
  leaf.index = to;
  return Step::kMoved;
}

Step StepForward(IndexFile& index, TagState& tag) {
  PathEntry& leaf = tag.path.back();
  if (leaf.index + 1 < NodeView(leaf.node, tag.geometry).Count())
    return StepInLeaf(index, tag, leaf.index, leaf.index + 1);
  return CrossLeaf(index, tag, true);
}

Step StepBackward(IndexFile& index, TagState& tag) {
  PathEntry& leaf = tag.path.back();
  if (leaf.index > 0) return StepInLeaf(index, tag, leaf.index, leaf.index - 1);
  return CrossLeaf(index, tag, false);
}

Step SettleForward(IndexFile& index, TagState& tag) {
  PathEntry& leaf = tag.path.back();
  if (leaf.index < NodeView(leaf.node, tag.geometry).Count()) return Step::kMoved;
  return CrossLeaf(index, tag, true);
}

Step SettleBackward(IndexFile& index, TagState& tag) {
  PathEntry& leaf = tag.path.back();
  if (leaf.index > 0) return StepInLeaf(index, tag, leaf.index, leaf.index - 1);
  return CrossLeaf(index, tag, false);
}

bool CountKeys(IndexFile& index, TagState& tag, std::int64_t* count) {
  *count = 0;
  bool failed = false;
  if (TagHoldsNoKeys(index, tag, &failed) || failed) return !failed;
  if (!DescendToEdge(index, tag, false)) return false;
  for (;;) {
    PathEntry& leaf = tag.path.back();
    int n = NodeView(leaf.node, tag.geometry).Count();
    *count += n;
    leaf.index = n > 0 ? n - 1 : 0;
    Step s = CrossLeaf(index, tag, true);
    if (s == Step::kError) return false;
    if (s == Step::kEnd) break;
  }
  tag.positioned = false;
  return true;
}

std::int32_t ItemRecord(const TagState& tag) {
  const PathEntry& leaf = tag.path.back();
  return static_cast<std::int32_t>(
      Get32(leaf.node.data() + 8 + leaf.index * tag.geometry.item_length));
}

const std::uint8_t* ItemKey(const TagState& tag) {
  const PathEntry& leaf = tag.path.back();
  return leaf.node.data() + 8 + leaf.index * tag.geometry.item_length + 4;
}

bool PlaceOnRecord(IndexFile& index, TagState& tag, const std::uint8_t* key, std::int32_t record,
                   bool* found) {
  *found = false;
  // Quick look first: the record is most often the last of its key (just
  // appended, or the key is unique), found by one descent.
  if (!PlaceAfterKey(index, tag, key)) return false;
  Step s = SettleBackward(index, tag);
  if (s == Step::kError) return false;
  if (s == Step::kMoved && tag.order.SameKey(ItemKey(tag), key) && ItemRecord(tag) == record) {
    *found = true;
    tag.on_gap = false;
    return true;
  }
  // First pass: the item of the record among the equal keys.
  if (!DescendToKey(index, tag, key)) return false;
  s = SettleForward(index, tag);
  while (s == Step::kMoved && tag.order.SameKey(ItemKey(tag), key)) {
    if (ItemRecord(tag) == record) {
      *found = true;
      tag.on_gap = false;
      return true;
    }
    s = StepForward(index, tag);
  }
  if (s == Step::kError) return false;
  // Second pass: the gap before the first equal item of a higher record, or
  // after the equal keys.
  if (!DescendToKey(index, tag, key)) return false;
  s = SettleForward(index, tag);
  while (s == Step::kMoved && tag.order.SameKey(ItemKey(tag), key) && ItemRecord(tag) < record) {
    s = StepForward(index, tag);
  }
  if (s == Step::kError) return false;
  if (s == Step::kEnd) {
    // Behind the last item of the tag: the gap after it.
    PathEntry& leaf = tag.path.back();
    leaf.index = NodeView(leaf.node, tag.geometry).Count();
  }
  tag.on_gap = true;
  return true;
}

}  // namespace orvex
