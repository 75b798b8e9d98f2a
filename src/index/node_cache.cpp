#include "index/node_cache.h"

#include <algorithm>

namespace orvex {

std::size_t IndexNodeBudget = kIndexNodeBudget;

namespace {

std::size_t NodesInBudget() { return std::max<std::size_t>(IndexNodeBudget / sizeof(Block), 2); }

}  // namespace

const Block* NodeCache::Find(std::uint32_t page) {
  auto found = where_.find(page);
  if (found == where_.end()) return nullptr;
  Chain& chain = ChainOf(found->second.branch);
  chain.splice(chain.begin(), chain, found->second.at);
  return &found->second.at->node;
}

void NodeCache::Put(std::uint32_t page, const Block& node, bool branch, bool keep_kind) {
  auto found = where_.find(page);
  if (found != where_.end()) {
    if (keep_kind) branch = found->second.branch;
    Chain& from = ChainOf(found->second.branch);
    Chain& to = ChainOf(branch);
    to.splice(to.begin(), from, found->second.at);
    found->second.branch = branch;
    to.front().node = node;
    return;
  }
  Chain& to = ChainOf(branch);
  if (where_.size() >= NodesInBudget()) {
    // The least recently used leaf (a branch when no leaf is held) gives
    // its place, and its memory, to the new node.
    Chain& from = leaves_.empty() ? branches_ : leaves_;
    where_.erase(from.back().page);
    to.splice(to.begin(), from, std::prev(from.end()));
  } else {
    to.emplace_front();
  }
  to.front().page = page;
  to.front().node = node;
  where_[page] = Place{branch, to.begin()};
}

void NodeCache::Erase(std::uint32_t page) {
  auto found = where_.find(page);
  if (found == where_.end()) return;
  ChainOf(found->second.branch).erase(found->second.at);
  where_.erase(found);
}

void NodeCache::Clear() {
  where_ = {};
  leaves_.clear();
  branches_.clear();
}

}  // namespace orvex
