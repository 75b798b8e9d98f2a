#include "index/mdx_nodes.h"

namespace orvex {

void NodeView::Insert(int i, std::uint32_t pointer, const std::uint8_t* key) {
  int n = Count();
  std::uint8_t* at = Item(i);
  // Items i..n-1 and the trailing pointer (4 bytes) move up by one item.
  std::memmove(at + g_.item_length, at, static_cast<std::size_t>((n - i) * g_.item_length + 4));
  std::memset(at, 0, static_cast<std::size_t>(g_.item_length));
  SetCount(n + 1);
  SetItem(i, pointer, key);
}

void NodeView::Remove(int i) {
  int n = Count();
  std::uint8_t* at = Item(i);
  std::memmove(at, at + g_.item_length, static_cast<std::size_t>((n - 1 - i) * g_.item_length + 4));
  std::memset(Item(n - 1) + 4, 0, static_cast<std::size_t>(g_.item_length));
  SetCount(n - 1);
}

bool CheckNode(const Block& block, const NodeGeometry& g) {
  std::uint32_t n = Get32(block.data());
  if (g.item_length <= 0) return false;
  if (n > static_cast<std::uint32_t>(g.max_keys)) return false;
  return 8 + static_cast<int>(n) * g.item_length + 4 <= kMdxBlockSize;
}

}  // namespace orvex
