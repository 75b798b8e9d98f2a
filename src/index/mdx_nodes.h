// Tree nodes of a tag: a 1024-byte block holding a count, key items (a
// 4-byte pointer and the key bytes, padded to the item length) and a
// trailing pointer. In a leaf the item pointers are record numbers and the
// trailing pointer is 0; in a branch node they are child pages, the child
// named by an item holding keys at or below the item's key, and the trailing
// pointer naming the right-most child.
//
// NodeView reads and edits one node's bytes in place; the editing functions
// (insert, remove, split halves) keep the trailing pointer behind the last
// item. CheckNode tells whether a node read from a file is well formed for
// its tag, so that damaged files are reported instead of being followed.
#pragma once

#include <cstdint>
#include <cstring>

#include "index/mdx_format.h"

namespace orvex {

// The item geometry of one tag.
struct NodeGeometry {
  int key_length = 0;
  int item_length = 0;
  int max_keys = 0;
};

class NodeView {
 public:
  NodeView(Block& block, const NodeGeometry& g) : b_(block.data()), g_(g) {}

  int Count() const { return static_cast<int>(Get32(b_)); }
  std::uint8_t* Item(int i) const { return b_ + 8 + i * g_.item_length; }
  std::uint32_t Pointer(int i) const { return Get32(Item(i)); }
  const std::uint8_t* Key(int i) const { return Item(i) + 4; }
  std::uint32_t Trailing() const { return Get32(Item(Count())); }
  bool IsLeaf() const { return Trailing() == 0; }
  // Child i of a branch node: item i's pointer, or the trailing pointer for
  // i == Count().
  std::uint32_t Child(int i) const { return i < Count() ? Pointer(i) : Trailing(); }
  // Children of a branch node; items of a leaf.
  int Entries() const { return IsLeaf() ? Count() : Count() + 1; }

  // A node has room for another key while its count is below the tag's
  // maximum and the items leave more than the trailing pointer's 4 bytes.
  bool HasRoom() const {
    return Count() < g_.max_keys && 1016 - (Count() + 1) * g_.item_length > 3;
  }

  void Clear() { std::memset(b_, 0, kMdxBlockSize); }
  void SetCount(int n) { Put32(b_, static_cast<std::uint32_t>(n)); }
  void SetTrailing(std::uint32_t pointer) { Put32(Item(Count()), pointer); }
  void SetItem(int i, std::uint32_t pointer, const std::uint8_t* key) {
    Put32(Item(i), pointer);
    std::memcpy(Item(i) + 4, key, static_cast<std::size_t>(g_.key_length));
  }
  // Inserts an item at i: the items from i on and the trailing pointer move
  // up by one item. The caller has checked HasRoom.
  void Insert(int i, std::uint32_t pointer, const std::uint8_t* key);
  // Removes item i: the following items and the trailing pointer move down.
  void Remove(int i);
  // Appends an item behind the last one, keeping the trailing pointer.
  void Append(std::uint32_t pointer, const std::uint8_t* key) { Insert(Count(), pointer, key); }

 private:
  std::uint8_t* b_;
  const NodeGeometry& g_;
};

// True when a node read for a tag is well formed: a count within the tag's
// maximum whose items and trailing pointer fit the block.
bool CheckNode(const Block& block, const NodeGeometry& g);

}  // namespace orvex
