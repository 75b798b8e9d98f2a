// The record cache of a table that nobody else can change (see
// WorkArea::unshared): blocks of whole consecutive records (about 64 KiB
// each) held in memory up to a fixed budget, so that walks and repeated
// reads do not ask the file for every record.
//
// How a read of record n is served:
//   - from its block when the block is held (the block becomes the most
//     recently used one);
//   - by reading its whole block when the access is sequential, that is when
//     the record lies near the one read before (a walk in file order,
//     forwards or backwards, or in an index order that mostly follows the
//     file). A walk passes through the table with two blocks of its own,
//     taking turns: it does not fill the budget with blocks it will not come
//     back to, nor pay for fresh memory at every block (reading a block again
//     from the system's file cache costs less than holding it). A jump to a
//     record in one of them keeps that block like one read for a jump;
//   - by reading its whole block when the access jumps but the block was
//     asked for before and the budget still has room: a table within the
//     budget ends up held whole after at most two reads per block, whatever
//     the order of access; when the budget is used up and a block must make
//     room, it is the least recently used one, one block at a time;
//   - otherwise by reading the record alone: a jump to a block asked for the
//     first time (a seek, a walk in key order on a table far larger than the
//     budget) reads the record's bytes and nothing more.
// The memory held stays within the budget (at least one block) plus one
// number per block of the file, plus the records expected next (below).
//
// Reading ahead: a walk in an order the cache cannot follow (a key order)
// says which records it will read next (Expect: the records an index leaf
// names, a few dozen). They cost nothing while the system's file cache
// holds what is read. The first of them read alone whose bytes the system
// would have to fetch from the medium makes the cache ask the system, before
// it waits, to start fetching all the others it does not hold, in file
// order, so that the medium serves them together rather than one wait per
// record. Nothing is read into the program ahead of its reads: every record
// is still read when it is asked for, as the file then holds it, and random
// access (seeks, jumps without an Expect) reads exactly the records asked
// for.
//
// The cache holds the file's bytes as stored. The owner keeps it current:
// bytes it writes go in through Patch, and any change of the file by other
// means (a pack, a rollback, a reopen) calls Clear.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/os/files.h"

namespace orvex {

// Bytes of blocks that one table's cache may hold (128 MiB; at least one
// block is always held). A change applies to blocks read from then on.
extern std::size_t RecordCacheBudget;

// Where the records lie in the file: the header length and the record
// length (not 0).
struct RecordGeometry {
  std::int64_t header_length = 0;
  std::size_t record_length = 0;
};

class RecordCache {
 public:
  // Reads record n (1-based) of `file`. When it is served from a held block,
  // *stored points at its bytes there (valid until the next call on the
  // cache); otherwise its bytes are read into `into` (record length bytes)
  // and *stored is nullptr. Returns 0, the I/O error, or 213 when the file
  // ends inside the record.
  int Read(os::Handle file, const RecordGeometry& geometry, std::int32_t n, char* into,
           const char** stored);

  // Notes the records (1-based) about to be read, replacing the records
  // noted before; none is read here.
  void Expect(const std::int32_t* records, std::size_t count);

  // Copies `length` bytes written at file offset `offset` into the held
  // blocks that cover them. Bytes behind the end of a held block (appended
  // records) are not taken in: the block is read again when they are asked
  // for.
  void Patch(const RecordGeometry& geometry, std::int64_t offset, const char* bytes,
             std::size_t length);

  // Drops every block and frees the memory.
  void Clear();

  // Bytes of the blocks allocated now (at most the budget, or one block).
  std::size_t HeldBytes() const { return slots_.size() * block_bytes_; }

 private:
  // A block held in memory; slots are chained from the most recently used
  // (newest_) to the least recently used (oldest_).
  struct Slot {
    std::unique_ptr<char[]> bytes;
    std::size_t size = 0;     // bytes read (the file's last block may be short)
    std::int64_t block = -1;  // its block number
    bool walk = false;        // one of the two blocks of walks
    int newer = -1, older = -1;
  };

  // What block_state_ holds for a block that is not in a slot.
  static constexpr int kNeverAsked = -1;
  static constexpr int kAskedOnce = -2;

  void Unlink(int slot);
  void MakeNewest(int slot);
  // A slot for `block`: for a walk the older of its two blocks once it has
  // two; else a new one while the budget allows, else the least recently
  // used one. The block the slot held is dropped.
  int TakeSlot(std::int64_t block, bool walk);
  // Takes the slot out of the walk's two, to be kept like any other.
  void Release(int slot);
  int ReadBlock(os::Handle file, const RecordGeometry& geometry, int slot);
  // Reads record n alone into `into`; when records are expected and n's
  // bytes are not in the system's cache, asks for the expected ones first.
  int ReadAlone(os::Handle file, const RecordGeometry& geometry, std::int32_t n, char* into);

  std::size_t block_records_ = 0;  // records per block
  std::size_t block_bytes_ = 0;
  std::vector<int> block_state_;  // by block number: its slot, or kNeverAsked / kAskedOnce
  std::vector<Slot> slots_;
  int newest_ = -1, oldest_ = -1;
  int walk_slots_[2] = {-1, -1};  // the walk's blocks; the next to reuse first
  std::int64_t last_record_ = -(std::int64_t{1} << 40);  // the previous read's record
  std::vector<std::int32_t> expected_;                   // records to be read soon, ascending
};

}  // namespace orvex
