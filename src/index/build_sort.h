// The sort of an index build: (key, record number) entries in the tag's key
// order, equal keys by ascending record number.
//
// Entries are kept in memory up to the process-wide IndexSortBudget; when
// the budget is used up, the entries are sorted and written as a run to a
// temporary file, and at the end all runs are merged at once, each run read
// through an equal share of the budget. Both ways give the same order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "index/mdx_keys.h"

namespace orvex {

// Bytes an index build may use for sorting (default 64 MiB). Too small a
// budget for 256 entries is refused with error 217.
extern std::size_t IndexSortBudget;

// Bytes of an entry's sort prefix (see EntrySorter::PrefixWords).
inline constexpr int kSortPrefixBytes = 24;

class EntrySorter {
 public:
  EntrySorter(const KeyOrder& order, int key_length);
  ~EntrySorter();
  EntrySorter(const EntrySorter&) = delete;
  EntrySorter& operator=(const EntrySorter&) = delete;

  // False (error 217) when the budget cannot hold 256 entries.
  bool Start();
  // Room for about this many entries (as many as the budget allows).
  void Reserve(std::size_t entries);
  // Adds one entry; may write a run. False after an error (reported).
  bool Add(const std::uint8_t* key, std::int32_t record);
  // Ends the input: sorts, or writes the last run and prepares the merge.
  bool Finish();
  // The next entry in order; false at the end or after an error (Failed()).
  bool Next(const std::uint8_t** key, std::int32_t* record);
  bool Failed() const { return failed_; }

 private:
  // The entry's sort prefix (PrefixWords) decides most comparisons without
  // a look at the entry itself (which lies elsewhere in memory, so that
  // every look costs a cache miss); for numeric and date keys, and
  // character keys of up to 20 bytes, it decides all.
  struct Item {
    std::uint64_t prefix[3];
    std::uint32_t at;  // entry index in the pool
  };
  // A run on disk in the merge. Its current entry's sort prefix (`head`)
  // decides the merge's comparisons as the items' prefixes decide the sort.
  struct Run {
    std::uint64_t head[3] = {};
    std::int64_t offset = 0;  // of its next unread entry in the file
    std::int64_t left = 0;    // entries not yet read into the buffer
    std::vector<std::uint8_t> buffer;
    std::size_t fill = 0, pos = 0;  // entries in the buffer / next one
  };

  static constexpr std::size_t kPrefetchAhead = 16;

  int CompareEntries(const std::uint8_t* a, const std::uint8_t* b) const;
  // The sort prefix of an entry: 24 bytes, here as three big-endian words,
  // that order entries as the tag orders them (key order, then ascending
  // record number), as far as the bytes reach. It is the start of the
  // entry's image: a character key's own bytes; for a numeric key a sign
  // byte, the exponent and the ten digit bytes; for a date key the bits of
  // its day number in an order-keeping form; the key part inverted in a
  // descending tag; then the record number, big-endian; zero bytes after.
  // Numeric (16 bytes), date (12) and character keys of up to 20 bytes fit
  // whole, so that for them equal prefixes mean equal entries; longer
  // character keys are decided by the prefix only where their first 24
  // bytes differ.
  void PrefixWords(const std::uint8_t* key, std::int32_t record, std::uint64_t words[3]) const;
  // Entry a before entry b, given their prefix words: the words decide
  // unless they are equal.
  bool EntryLess(const std::uint64_t* prefix_a, const std::uint8_t* a,
                 const std::uint64_t* prefix_b, const std::uint8_t* b) const;
  void PrefetchEntry(std::size_t sorted) const;
  const std::uint8_t* Head(const Run& run) const;
  void TakeHeadPrefix(Run& run);
  // Whether run x's current entry comes after run y's.
  bool RunAfter(int x, int y) const;
  // Restores the heap of runs after its top run changed.
  void SinkTop();
  void SortPool();
  bool WriteRun();
  bool Refill(Run& run);
  bool Fail(int number, const std::string& detail);

  KeyOrder order_;
  int key_length_;
  std::size_t entry_size_;
  std::size_t capacity_ = 0;        // entries that fit the budget
  std::vector<std::uint8_t> pool_;  // entries: key bytes, record (little-endian)
  std::vector<Item> items_;
  std::size_t next_ = 0;  // in-memory reading position
  std::string run_file_;
  int run_handle_ = -1;
  std::vector<Run> runs_;
  std::vector<int> heap_;  // runs ordered by their current entry
  bool taken_ = false;     // the heap's top entry was handed out
  bool failed_ = false;
};

}  // namespace orvex
