// Moving along one tag in key order: descending from the root to the first
// or last key or to a search key, stepping to the next or prior item across
// leaves, and placing the tag on a given record. These are the building
// blocks of navigation and search (index_search.h); they work on the tag's
// own path and report damaged trees (error 254) instead of following them:
// a path deeper than any real tree, a node that is not well formed, a walk
// that crosses more leaves than the file has blocks, comes to a leaf it
// stood on before or meets two keys out of the tag's order all end with an
// error, so a cycle in a damaged file cannot make a walk loop or show a
// record twice.
#pragma once

#include <cstdint>

#include "index/index_file.h"

namespace orvex {

enum class Step { kMoved, kEnd, kError };

// Deepest path accepted; real trees are far shallower (a 1024-byte node
// holds at least 9 keys, so 2^31 records need fewer than 11 levels).
inline constexpr int kMaxTreeDepth = 40;

// True when the tag has no keys: its root is an empty leaf, or it is a FOR
// tag that no record has met. False (with *failed set) after a read error.
bool TagHoldsNoKeys(IndexFile& index, TagState& tag, bool* failed);

// Builds the path to the first (last == false) or last key. The leaf entry
// may be empty only when the whole tag is; false after an error.
bool DescendToEdge(IndexFile& index, TagState& tag, bool last);

// Builds the path to the first item whose key is at or above `key` under the
// tag's order; the leaf index may equal the leaf's count (the key lies above
// every key of that leaf). False after an error.
bool DescendToKey(IndexFile& index, TagState& tag, const std::uint8_t* key);

// Stands the tag in the gap after the last item whose key is at or below
// `key`: where the item of a record higher than every record of the tag
// belongs among equal keys (equal keys are kept in record order). Found by
// one descent, however many items share the key. False after an error.
bool PlaceAfterKey(IndexFile& index, TagState& tag, const std::uint8_t* key);

// One item forward / back from an item position, crossing leaves. At the end
// the position is left where it was.
Step StepForward(IndexFile& index, TagState& tag);
Step StepBackward(IndexFile& index, TagState& tag);

// From a position just before leaf item path.back().index (which may be the
// leaf's count): onto the item at or after it / the item before it.
Step SettleForward(IndexFile& index, TagState& tag);
Step SettleBackward(IndexFile& index, TagState& tag);

// Counts the keys of a tag leaf by leaf (the tag's position is lost).
// False after an error.
bool CountKeys(IndexFile& index, TagState& tag, std::int64_t* count);

// The item the tag stands on.
std::int32_t ItemRecord(const TagState& tag);
const std::uint8_t* ItemKey(const TagState& tag);

// Places the tag on the item of `record` among the items of `key`. When
// there is none, the tag stands in the gap where that item would be
// (on_gap) and *found is false. False after an error.
bool PlaceOnRecord(IndexFile& index, TagState& tag, const std::uint8_t* key, std::int32_t record,
                   bool* found);

}  // namespace orvex
