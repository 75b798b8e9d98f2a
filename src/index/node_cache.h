// Copies of an index file's nodes as the file holds them, by page, within a
// fixed budget: the branch nodes searches descend through and the leaves
// walks and seeks read, so that a second walk or a seek into a tag that has
// been read before asks the file for nothing.
//
// When the budget is used up, the least recently used leaf makes room, one
// node at a time; branch nodes make room only when no leaf is held. A walk
// over a tag larger than the budget therefore keeps the branches every
// search needs and passes its leaves through the rest of the budget. The
// memory held stays within the budget (at least two nodes) plus about 64
// bytes of bookkeeping per node held.
//
// The cache knows nothing of the file: its owner (IndexFile) keeps it
// current with the bytes it writes and clears it whenever the file may have
// changed by other means (another program's write, a roll-back).
#pragma once

#include <cstddef>
#include <cstdint>
#include <list>
#include <unordered_map>

#include "index/mdx_format.h"

namespace orvex {

// Bytes of nodes that one open index file may hold (kIndexNodeBudget by
// default). A change applies to nodes taken in from then on.
inline constexpr std::size_t kIndexNodeBudget = std::size_t{64} << 20;
extern std::size_t IndexNodeBudget;

class NodeCache {
 public:
  // The copy of `page`, or null; a found node becomes the most recently
  // used one. The pointer is valid until the next Put, Erase or Clear.
  const Block* Find(std::uint32_t page);

  // Whether a copy of `page` is held (its place in the order stays).
  bool Holds(std::uint32_t page) const { return where_.count(page) != 0; }

  // Takes in the bytes of `page` as the file holds them, as the most
  // recently used node (replacing a copy held). `branch` says whether the
  // node is a branch node; a page held already keeps its kind when
  // `keep_kind` is set.
  void Put(std::uint32_t page, const Block& node, bool branch, bool keep_kind = false);

  // Drops the copy of `page` (the file's bytes there are changing).
  void Erase(std::uint32_t page);

  // Drops every copy and frees the memory.
  void Clear();

  // Nodes held now.
  std::size_t Size() const { return where_.size(); }

 private:
  struct Held {
    std::uint32_t page = 0;
    Block node{};
  };
  using Chain = std::list<Held>;
  struct Place {
    bool branch = false;
    Chain::iterator at;
  };

  Chain& ChainOf(bool branch) { return branch ? branches_ : leaves_; }

  // Each chain runs from the most recently used node (front) to the least
  // recently used one (back).
  Chain leaves_;
  Chain branches_;
  std::unordered_map<std::uint32_t, Place> where_;
};

}  // namespace orvex
