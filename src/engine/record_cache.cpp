// The record cache of tables nobody else can change.
#include "engine/record_cache.h"

#include <algorithm>
#include <cstring>

namespace orvex {

namespace {

constexpr std::size_t kBlockBytes = 64 * 1024;

std::int64_t RecordOffset(const RecordGeometry& geometry, std::int64_t index) {
  return geometry.header_length + index * static_cast<std::int64_t>(geometry.record_length);
}

}  // namespace

std::size_t RecordCacheBudget = std::size_t{128} << 20;

void RecordCache::Unlink(int slot) {
  Slot& s = slots_[static_cast<std::size_t>(slot)];
  (s.newer >= 0 ? slots_[static_cast<std::size_t>(s.newer)].older : oldest_) = s.older;
  (s.older >= 0 ? slots_[static_cast<std::size_t>(s.older)].newer : newest_) = s.newer;
  s.newer = s.older = -1;
}

void RecordCache::MakeNewest(int slot) {
  if (newest_ == slot) return;
  Unlink(slot);
  Slot& s = slots_[static_cast<std::size_t>(slot)];
  s.older = newest_;
  if (newest_ >= 0) slots_[static_cast<std::size_t>(newest_)].newer = slot;
  newest_ = slot;
  if (oldest_ < 0) oldest_ = slot;
}

int RecordCache::TakeSlot(std::int64_t block, bool walk) {
  const std::size_t most = std::max<std::size_t>(1, RecordCacheBudget / block_bytes_);
  // A walk with two blocks of its own reuses the older one.
  int slot = walk && walk_slots_[1] >= 0 ? walk_slots_[0] : -1;
  if (slot < 0 && (slots_.size() < most || oldest_ < 0)) {
    slots_.emplace_back();
    slot = static_cast<int>(slots_.size() - 1);
    slots_.back().bytes = std::make_unique_for_overwrite<char[]>(block_bytes_);
  } else {
    if (slot < 0) slot = oldest_;
    // The dropped block was asked for: a later jump to it reads it whole
    // again while the budget has room.
    block_state_[static_cast<std::size_t>(slots_[static_cast<std::size_t>(slot)].block)] =
        kAskedOnce;
    Release(slot);
  }
  Slot& s = slots_[static_cast<std::size_t>(slot)];
  s.block = block;
  s.size = 0;
  if (walk) {
    s.walk = true;
    walk_slots_[walk_slots_[0] < 0 ? 0 : 1] = slot;
  }
  block_state_[static_cast<std::size_t>(block)] = slot;
  MakeNewest(slot);
  return slot;
}

void RecordCache::Release(int slot) {
  Slot& s = slots_[static_cast<std::size_t>(slot)];
  if (!s.walk) return;
  s.walk = false;
  for (int& w : walk_slots_) {
    if (w == slot) w = -1;
  }
  if (walk_slots_[0] < 0) std::swap(walk_slots_[0], walk_slots_[1]);
}

int RecordCache::ReadBlock(os::Handle file, const RecordGeometry& geometry, int slot) {
  Slot& s = slots_[static_cast<std::size_t>(slot)];
  std::size_t done = 0;
  int err =
      os::ReadAt(file, RecordOffset(geometry, s.block * static_cast<std::int64_t>(block_records_)),
                 s.bytes.get(), block_bytes_, &done);
  s.size = err == 0 ? done : 0;
  return err;
}

int RecordCache::Read(os::Handle file, const RecordGeometry& geometry, std::int32_t n, char* into,
                      const char** stored) {
  *stored = nullptr;
  const std::size_t length = geometry.record_length;
  if (block_records_ == 0) {
    block_records_ = std::max<std::size_t>(1, kBlockBytes / length);
    block_bytes_ = block_records_ * length;
  }
  const std::size_t index = static_cast<std::size_t>(n - 1);
  const std::int64_t block = static_cast<std::int64_t>(index / block_records_);
  const std::size_t at = (index % block_records_) * length;
  if (static_cast<std::size_t>(block) >= block_state_.size()) {
    block_state_.resize(static_cast<std::size_t>(block) + 1, kNeverAsked);
  }
  int& state = block_state_[static_cast<std::size_t>(block)];
  // A step to a record near the previous one (a sixteenth of a block either
  // way) counts as sequential: a walk in file order, or in an order that
  // mostly follows the file.
  const std::int64_t step = static_cast<std::int64_t>(n) - last_record_;
  const std::int64_t near =
      static_cast<std::int64_t>(std::max<std::size_t>(1, block_records_ / 16));
  const bool sequential = step >= -near && step <= near;
  last_record_ = n;
  int slot = state;
  if (slot >= 0) {
    MakeNewest(slot);
    if (!sequential) Release(slot);  // a jump to one of the walk's blocks: keep it
    // A held block that ends before the record was read before the file
    // grew past it: read it again.
    if (slots_[static_cast<std::size_t>(slot)].size < at + length) {
      if (int err = ReadBlock(file, geometry, slot); err != 0) return err;
    }
  } else if (sequential ||
             (state == kAskedOnce &&
              slots_.size() < std::max<std::size_t>(1, RecordCacheBudget / block_bytes_))) {
    slot = TakeSlot(block, sequential);
    if (int err = ReadBlock(file, geometry, slot); err != 0) return err;
  } else {
    state = kAskedOnce;
    return ReadAlone(file, geometry, n, into);
  }
  const Slot& s = slots_[static_cast<std::size_t>(slot)];
  if (s.size < at + length) return 213;
  *stored = s.bytes.get() + at;
  return 0;
}

void RecordCache::Expect(const std::int32_t* records, std::size_t count) {
  expected_.assign(records, records + count);
  std::sort(expected_.begin(), expected_.end());
}

int RecordCache::ReadAlone(os::Handle file, const RecordGeometry& geometry, std::int32_t n,
                           char* into) {
  const std::size_t length = geometry.record_length;
  const std::int64_t offset = RecordOffset(geometry, n - 1);
  std::size_t done = 0;
  int err = 0;
  bool cached = false;
  // A record the walk did not announce ends its read-ahead: what follows is
  // a jump, which reads what it asks for and nothing more.
  if (!std::binary_search(expected_.begin(), expected_.end(), n)) expected_.clear();
  if (!expected_.empty()) {
    err = os::ReadAtIfCached(file, offset, into, length, &done, &cached);
    if (!cached) {
      // The medium must serve this record: ask it for the expected records
      // not held here first (in file order), then wait for this one.
      for (const std::int32_t r : expected_) {
        const std::size_t block = static_cast<std::size_t>(r - 1) / block_records_;
        if (r == n || (block < block_state_.size() && block_state_[block] >= 0)) continue;
        os::Prefetch(file, RecordOffset(geometry, r - 1), length);
      }
      expected_.clear();
    }
  }
  if (!cached) err = os::ReadAt(file, offset, into, length, &done);
  return err == 0 && done != length ? 213 : err;
}

void RecordCache::Patch(const RecordGeometry& geometry, std::int64_t offset, const char* bytes,
                        std::size_t length) {
  if (block_bytes_ == 0 || offset < geometry.header_length) return;
  const std::int64_t block_bytes = static_cast<std::int64_t>(block_bytes_);
  const std::int64_t end = offset + static_cast<std::int64_t>(length);
  for (std::int64_t from = offset; from < end;) {
    const std::int64_t relative = from - geometry.header_length;
    const std::int64_t block = relative / block_bytes;
    const std::int64_t within = relative % block_bytes;
    const std::int64_t count = std::min(block_bytes - within, end - from);
    if (block < static_cast<std::int64_t>(block_state_.size()) &&
        block_state_[static_cast<std::size_t>(block)] >= 0) {
      Slot& s = slots_[static_cast<std::size_t>(block_state_[static_cast<std::size_t>(block)])];
      const std::int64_t held =
          std::min<std::int64_t>(count, static_cast<std::int64_t>(s.size) - within);
      if (held > 0)
        std::memcpy(s.bytes.get() + within, bytes + (from - offset),
                    static_cast<std::size_t>(held));
    }
    from += count;
  }
}

void RecordCache::Clear() { *this = RecordCache{}; }

}  // namespace orvex
