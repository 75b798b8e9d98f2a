#include "index/build_sort.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "common/errors.h"
#include "common/file_utils.h"
#include "engine/engine_text.h"
#include "index/mdx_format.h"
#include "platform/os/files.h"

namespace orvex {

std::size_t IndexSortBudget = 64u << 20;

EntrySorter::EntrySorter(const KeyOrder& order, int key_length)
    : order_(order),
      key_length_(key_length),
      entry_size_(static_cast<std::size_t>(key_length) + 4) {}

EntrySorter::~EntrySorter() {
  if (run_handle_ != os::kNoHandle) os::CloseFile(run_handle_);
  if (!run_file_.empty()) os::DeleteFile(run_file_);
}

bool EntrySorter::Fail(int number, const std::string& detail) {
  failed_ = true;
  SetError(number, detail);
  return false;
}

bool EntrySorter::Start() {
  capacity_ = IndexSortBudget / (entry_size_ + sizeof(Item));
  if (capacity_ < 256) return Fail(217, " um mindestens 256 s_ptrs zu alloziieren [MakeIndex]");
  return true;
}

namespace {

// The eight bytes at `p` as one big-endian number, so that numbers compare
// as the bytes do with memcmp.
std::uint64_t BigEndian64(const std::uint8_t* p) {
  std::uint64_t v;
  std::memcpy(&v, p, 8);
  if constexpr (std::endian::native == std::endian::little) v = __builtin_bswap64(v);
  return v;
}

std::uint32_t BigEndian32(const std::uint8_t* p) {
  std::uint32_t v;
  std::memcpy(&v, p, 4);
  if constexpr (std::endian::native == std::endian::little) v = __builtin_bswap32(v);
  return v;
}

// The image of a numeric key is 12 bytes: the keys of a build come from
// EncodeNumber, whose digits past the stored digit count are zero, so the
// comparison of two keys (sign, then the exponent, then the digits, both
// reversed for negative numbers; zero counts as exponent 0) is the
// comparison of a sign byte (1 for positive), the exponent byte and the ten
// digit bytes, the last two inverted for negative numbers. Here as the
// first 12 bytes of two big-endian words, record bytes after them.
void NumericWords(const std::uint8_t* key, std::uint64_t* high, std::uint64_t* low) {
  const bool negative = (key[1] & 0x80) != 0;
  const bool zero = (key[1] & 0x7C) == 0;
  const std::uint64_t flip = negative ? ~std::uint64_t{0} : 0;
  const std::uint64_t sign = negative ? 0 : 1;
  const std::uint64_t exponent = (zero ? 0 : key[0]) ^ (flip & 0xFF);
  // Digit bytes key[2..7] fill the low six bytes of the first word,
  // key[8..11] the high four of the second.
  const std::uint64_t digits_high = (BigEndian64(key + 2) >> 16) ^ (flip >> 16);
  const std::uint64_t digits_low = (std::uint64_t{BigEndian32(key + 8)} ^ (flip >> 32)) << 32;
  *high = sign << 56 | exponent << 48 | digits_high;
  *low = digits_low;
}

// The image of a date key is 8 bytes: the day number's bits, big-endian,
// with the sign bit set for positive numbers and all bits inverted for
// negative ones, so that they compare as the numbers do (-0 counts as 0).
std::uint64_t DateWord(const std::uint8_t* key) {
  double d;
  std::memcpy(&d, key, 8);
  if (d == 0) d = 0;  // -0 and 0 are one day
  std::uint64_t bits;
  std::memcpy(&bits, &d, 8);
  return (bits >> 63) != 0 ? ~bits : bits | (std::uint64_t{1} << 63);
}

}  // namespace

void EntrySorter::PrefixWords(const std::uint8_t* key, std::int32_t record,
                              std::uint64_t words[3]) const {
  // Records are numbered from 1: the plain 32-bit number orders them.
  const std::uint64_t r = static_cast<std::uint32_t>(record);
  // Inverting the key's image (not the record) orders a descending tag.
  const std::uint64_t invert = order_.descending ? ~std::uint64_t{0} : 0;
  switch (order_.key_type) {
    case 'N':
    case 'F': {
      std::uint64_t high, low;
      NumericWords(key, &high, &low);
      words[0] = high ^ invert;
      words[1] = ((low ^ invert) & 0xFFFFFFFF00000000u) | r;
      words[2] = 0;
      return;
    }
    case 'D':
      words[0] = DateWord(key) ^ invert;
      words[1] = r << 32;
      words[2] = 0;
      return;
    default: {
      std::uint8_t image[kSortPrefixBytes + 4] = {};
      const int length = std::min(order_.key_length, kSortPrefixBytes);
      std::memcpy(image, key, static_cast<std::size_t>(length));
      if (order_.descending) {
        for (int i = 0; i < length; ++i) image[i] = static_cast<std::uint8_t>(~image[i]);
      }
      for (int i = 0; i < 4; ++i) image[length + i] = static_cast<std::uint8_t>(r >> (24 - 8 * i));
      for (int i = 0; i < 3; ++i) words[i] = BigEndian64(image + 8 * i);
    }
  }
}

bool EntrySorter::EntryLess(const std::uint64_t* prefix_a, const std::uint8_t* a,
                            const std::uint64_t* prefix_b, const std::uint8_t* b) const {
  for (int i = 0; i < 3; ++i) {
    if (prefix_a[i] != prefix_b[i]) return prefix_a[i] < prefix_b[i];
  }
  return CompareEntries(a, b) < 0;
}

void EntrySorter::Reserve(std::size_t entries) {
  entries = std::min(entries, capacity_);
  pool_.reserve(entries * entry_size_);
  items_.reserve(entries);
}

int EntrySorter::CompareEntries(const std::uint8_t* a, const std::uint8_t* b) const {
  int c = order_.Compare(a, b);
  if (c != 0) return c;
  std::int32_t ra = static_cast<std::int32_t>(Get32(a + key_length_));
  std::int32_t rb = static_cast<std::int32_t>(Get32(b + key_length_));
  return ra < rb ? -1 : ra > rb ? 1 : 0;
}

bool EntrySorter::Add(const std::uint8_t* key, std::int32_t record) {
  if (failed_) return false;
  if (items_.size() == capacity_ && !WriteRun()) return false;
  std::uint8_t stored[4];
  Put32(stored, static_cast<std::uint32_t>(record));
  pool_.insert(pool_.end(), key, key + key_length_);
  pool_.insert(pool_.end(), stored, stored + 4);
  Item item{{}, static_cast<std::uint32_t>(items_.size())};
  PrefixWords(key, record, item.prefix);
  items_.push_back(item);
  return true;
}

namespace {

// Byte `k` (0..23) of an item's prefix.
template <typename Item>
unsigned PrefixByte(const Item& item, int k) {
  return static_cast<unsigned>(item.prefix[k / 8] >> (56 - 8 * (k % 8))) & 0xFF;
}

// How many leading prefix bytes items share whose prefixes differ from one
// of them in the bits `differ` (24 when they are equal).
int SharedPrefixBytes(const std::uint64_t differ[3]) {
  for (int i = 0; i < 3; ++i) {
    if (differ[i] != 0) return 8 * i + std::countl_zero(differ[i]) / 8;
  }
  return kSortPrefixBytes;
}

// Sorts items by their prefix bytes from byte `k` on, most significant
// first (an in-place radix sort, "American flag" style): each pass counts
// the items per byte value and swaps them into their buckets, then every
// bucket is sorted by the next byte. Small buckets, and items whose 24 prefix
// bytes agree, go to the comparison sort, which also decides by the whole
// key and the record number.
template <typename Item, typename Less>
void RadixSort(Item* begin, Item* end, int k, const Less& less) {
  const std::size_t n = static_cast<std::size_t>(end - begin);
  if (n < 64 || k == kSortPrefixBytes) {
    std::sort(begin, end, less);
    return;
  }
  // The counting pass also gathers the bits in which the prefixes differ
  // from the first one. A byte all items share (the sign of numeric keys,
  // the first letters of similar texts) decides nothing, and such bytes
  // often come in a row ("Film number 1", "Film number 2", ...): those bits
  // tell how many leading bytes all items share, and the sort goes on at
  // the first byte in which they differ, without a pass for each.
  std::size_t count[256] = {};
  std::uint64_t differ[3] = {};
  for (Item* p = begin; p < end; ++p) {
    ++count[PrefixByte(*p, k)];
    for (int i = 0; i < 3; ++i) differ[i] |= p->prefix[i] ^ begin->prefix[i];
  }
  if (count[PrefixByte(*begin, k)] == n) {
    RadixSort(begin, end, SharedPrefixBytes(differ), less);
    return;
  }
  std::size_t next[256], limit[256];
  std::size_t at = 0;
  for (int b = 0; b < 256; ++b) {
    next[b] = at;
    at += count[b];
    limit[b] = at;
  }
  for (int b = 0; b < 256; ++b) {
    while (next[b] < limit[b]) {
      unsigned d = PrefixByte(begin[next[b]], k);
      if (d == static_cast<unsigned>(b)) {
        ++next[b];
      } else {
        std::swap(begin[next[b]], begin[next[d]++]);
      }
    }
  }
  std::size_t from = 0;
  for (int b = 0; b < 256; ++b) {
    if (count[b] > 1) RadixSort(begin + from, begin + from + count[b], k + 1, less);
    from += count[b];
  }
}

}  // namespace

void EntrySorter::SortPool() {
  // The prefix decides most comparisons without touching the entries; equal
  // prefixes of long character keys fall back to the tag's comparison and
  // the record number.
  const std::uint8_t* base = pool_.data();
  auto less = [&](const Item& x, const Item& y) {
    return EntryLess(x.prefix, base + x.at * entry_size_, y.prefix, base + y.at * entry_size_);
  };
  RadixSort(items_.data(), items_.data() + items_.size(), 0, less);
}

// The entries lie in input order, so reading them sorted jumps all over the
// pool: the processor is asked for an entry a few steps ahead while this one
// is used, so that its cache miss overlaps the work.
void EntrySorter::PrefetchEntry(std::size_t sorted) const {
  if (sorted < items_.size()) __builtin_prefetch(pool_.data() + items_[sorted].at * entry_size_);
}

bool EntrySorter::WriteRun() {
  SortPool();
  if (run_file_.empty()) {
    run_file_ = UniqueFilename();
    if (run_file_.empty()) return failed_ = true, false;
    int err = 0;
    run_handle_ = os::OpenFile(run_file_, os::kOpenReadWriteExclusive, &err);
    if (run_handle_ == os::kNoHandle) return Fail(err, run_file_ + " [MakeIndex]");
  }
  Run run;
  int err = 0;
  run.offset = os::FileSize(run_handle_, &err);
  run.left = static_cast<std::int64_t>(items_.size());
  std::vector<std::uint8_t> out;
  out.reserve(std::min<std::size_t>(items_.size(), 4096) * entry_size_);
  for (std::size_t i = 0; i < items_.size(); ++i) {
    PrefetchEntry(i + kPrefetchAhead);
    const std::uint8_t* e = pool_.data() + items_[i].at * entry_size_;
    out.insert(out.end(), e, e + entry_size_);
    if (out.size() >= 4096 * entry_size_ || i + 1 == items_.size()) {
      int werr = os::WriteAt(
          run_handle_, run.offset + static_cast<std::int64_t>((i + 1) * entry_size_ - out.size()),
          out.data(), out.size());
      if (werr != 0) return Fail(werr, "Fehler beim Schreiben von " + run_file_ + " [MakeIndex]");
      out.clear();
    }
  }
  runs_.push_back(std::move(run));
  pool_.clear();
  items_.clear();
  return true;
}

bool EntrySorter::Refill(Run& run) {
  std::size_t want =
      std::min<std::int64_t>(run.left, static_cast<std::int64_t>(run.buffer.size() / entry_size_));
  std::size_t done = 0;
  int err = os::ReadAt(run_handle_, run.offset, run.buffer.data(), want * entry_size_, &done);
  if (err != 0 || done != want * entry_size_) {
    return Fail(err != 0 ? err : os::kErrShortRead,
                "Fehler beim Lesen von " + run_file_ + " [MakeIndex]");
  }
  run.offset += static_cast<std::int64_t>(done);
  run.left -= static_cast<std::int64_t>(want);
  run.fill = want;
  run.pos = 0;
  if (want > 0) TakeHeadPrefix(run);
  return true;
}

bool EntrySorter::Finish() {
  if (failed_) return false;
  if (runs_.empty()) {
    SortPool();
    next_ = 0;
    return true;
  }
  if (!items_.empty() && !WriteRun()) return false;
  std::vector<std::uint8_t>().swap(pool_);
  std::vector<Item>().swap(items_);
  // Each run reads through an equal share of the budget, in whole entries.
  std::size_t share = IndexSortBudget / runs_.size() / entry_size_;
  if (share < 1) return Fail(217, " nach Freigabe aller Pools [MakeIndex]");
  for (Run& run : runs_) {
    run.buffer.resize(share * entry_size_);
    if (!Refill(run)) return false;
  }
  for (int i = 0; i < static_cast<int>(runs_.size()); ++i) {
    if (runs_[static_cast<std::size_t>(i)].fill > 0) heap_.push_back(i);
  }
  std::make_heap(heap_.begin(), heap_.end(), [this](int x, int y) { return RunAfter(x, y); });
  return true;
}

const std::uint8_t* EntrySorter::Head(const Run& run) const {
  return run.buffer.data() + run.pos * entry_size_;
}

void EntrySorter::TakeHeadPrefix(Run& run) {
  const std::uint8_t* e = Head(run);
  PrefixWords(e, static_cast<std::int32_t>(Get32(e + key_length_)), run.head);
}

bool EntrySorter::RunAfter(int x, int y) const {
  const Run& a = runs_[static_cast<std::size_t>(x)];
  const Run& b = runs_[static_cast<std::size_t>(y)];
  return EntryLess(b.head, Head(b), a.head, Head(a));
}

// The heap's top run has a new current entry (or another run took its
// place): it sinks below the runs whose entries come first. Equal keys of
// one run follow each other, so the top run mostly stays on top after two
// comparisons.
void EntrySorter::SinkTop() {
  const std::size_t n = heap_.size();
  if (n < 2) return;
  const int moving = heap_[0];
  std::size_t at = 0;
  for (;;) {
    std::size_t child = 2 * at + 1;
    if (child >= n) break;
    if (child + 1 < n && RunAfter(heap_[child], heap_[child + 1])) ++child;
    if (!RunAfter(moving, heap_[child])) break;
    heap_[at] = heap_[child];
    at = child;
  }
  heap_[at] = moving;
}

bool EntrySorter::Next(const std::uint8_t** key, std::int32_t* record) {
  if (failed_) return false;
  if (runs_.empty()) {
    if (next_ >= items_.size()) return false;
    PrefetchEntry(next_ + kPrefetchAhead);
    const std::uint8_t* e = pool_.data() + items_[next_++].at * entry_size_;
    *key = e;
    *record = static_cast<std::int32_t>(Get32(e + key_length_));
    return true;
  }
  // The entry handed out last must stay valid until this call: its run moves
  // on only now.
  if (!heap_.empty() && taken_) {
    Run& run = runs_[static_cast<std::size_t>(heap_.front())];
    if (++run.pos == run.fill && (run.left == 0 || !Refill(run))) {
      if (failed_) return false;
      heap_.front() = heap_.back();
      heap_.pop_back();
    } else {
      TakeHeadPrefix(run);
    }
    SinkTop();
  }
  if (heap_.empty()) return false;
  const std::uint8_t* e = Head(runs_[static_cast<std::size_t>(heap_.front())]);
  *key = e;
  *record = static_cast<std::int32_t>(Get32(e + key_length_));
  taken_ = true;
  return true;
}

}  // namespace orvex
