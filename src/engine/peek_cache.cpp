// Peek, Poke and the block cache of raw records.
#include "engine/peek_cache.h"

#include <algorithm>
#include <cstring>

#include "common/errors.h"
#include "engine/entry_points.h"
#include "engine/locks.h"
#include "engine/record_io.h"

namespace orvex {

std::uint16_t PeekCacheLimit = 0;
PeekCacheState PeekCache;

namespace {

constexpr std::int32_t kLargestCache = 65520;

std::int64_t RecordOffset(const WorkArea& area, std::int32_t record) {
  return static_cast<std::int64_t>(area.header_length) +
         static_cast<std::int64_t>(record - 1) * static_cast<std::int64_t>(area.record_length);
}

// Place of a field in the stored record: field 0 is the deletion flag.
struct FieldPlace {
  std::size_t offset;
  std::size_t length;
};
FieldPlace PlaceOf(const WorkArea& area, int field) {
  if (field == 0) return {0, 1};
  const FieldDesc& f = area.fields[static_cast<std::size_t>(field - 1)];
  return {f.offset, f.length};
}

bool Holds(const WorkArea& area, std::int32_t record) {
  return record >= PeekCache.first && record < PeekCache.first + PeekCache.count &&
         PeekCache.owner && *PeekCache.owner == area.alias;
}

char* CacheSlot(const WorkArea& area, std::int32_t record) {
  return PeekCache.bytes.data() +
         static_cast<std::size_t>(record - PeekCache.first) * area.record_length;
}

void ReportReadFailure(const WorkArea& area, int error, int field, std::int32_t record) {
  SetError(error != 0 ? error : 100, "DBF: " + area.file_name + " [Peek(" + std::to_string(field) +
                                         "," + std::to_string(record) + ")]");
}

// The area's record was written by this process: the cached copy is read
// again from the file, where it now stands as stored (the record buffer
// holds it converted for reading, which is not what the cache keeps). A
// failing read leaves the cache without an owner.
void RefreshCachedRecord(WorkArea& area) {
  if (area.is_virtual || !Holds(area, area.record_number)) return;
  std::size_t done = 0;
  int err = os::ReadAt(area.file, RecordOffset(area, area.record_number),
                       CacheSlot(area, area.record_number), area.record_length, &done);
  if (err != 0 || done != area.record_length) PeekCache.owner.reset();
}

void ReleaseForAlias(const std::string& alias) {
  if (PeekCache.owner && *PeekCache.owner == alias) ReleasePeekCache();
}

// The cache is told about writes and closes only while it exists; the
// notifications are installed with the first cache.
void InstallNotifications() {
  RecordCache.release_for_alias = ReleaseForAlias;
  RecordCache.record_written = RefreshCachedRecord;
}

enum class Preparation { kCache, kReadDirectly, kFailed };

// Makes sure a cache for this area exists (steps 1 and 4 of a cached Peek).
// When not even one record fits into PeekCacheLimit the caller reads the
// field directly; error 217 when memory is short even for one record.
Preparation PrepareCache(WorkArea& area) {
  if (!PeekCache.bytes.empty() && PeekCache.owner && *PeekCache.owner != area.alias)
    ReleasePeekCache();
  if (!PeekCache.bytes.empty()) {
    return PeekCache.bytes.size() >= area.record_length ? Preparation::kCache
                                                        : Preparation::kReadDirectly;
  }
  std::int32_t half_free = FreeMemory() / 2;
  std::int32_t size = std::min<std::int32_t>({PeekCacheLimit, half_free, kLargestCache});
  std::int32_t records = std::min(size / area.record_length, area.record_count);
  if (records <= 0) {
    if (half_free >= area.record_length) return Preparation::kReadDirectly;
    SetError(217, "Insufficient memory for cache [Peek]");
    return Preparation::kFailed;
  }
  PeekCache.bytes.assign(static_cast<std::size_t>(records) * area.record_length, 0);
  PeekCache.owner.reset();
  PeekCache.count = 0;
  InstallNotifications();
  return Preparation::kCache;
}

// Loads as many records as fit, starting at `record` (fewer near the end of
// the file are accepted, but at least the one asked for). Bytes behind the
// last counted record are not kept: a record appended there later must not be
// served from them.
bool LoadCache(WorkArea& area, int field, std::int32_t record) {
  PeekCache.owner.reset();
  PeekCache.count = 0;
  std::size_t fit = PeekCache.bytes.size() / area.record_length * area.record_length;
  std::size_t done = 0;
  int err = os::ReadAt(area.file, RecordOffset(area, record), PeekCache.bytes.data(), fit, &done);
  if (err != 0 || done < area.record_length) {
    ReportReadFailure(area, err, field, record);
    return false;
  }
  PeekCache.owner = area.alias;
  PeekCache.first = record;
  PeekCache.count = std::min(static_cast<std::int32_t>(done / area.record_length),
                             area.record_count - record + 1);
  return true;
}

bool ReadDirectly(WorkArea& area, int field, std::int32_t record, std::string& out) {
  FieldPlace place = PlaceOf(area, field);
  out.resize(place.length);
  std::size_t done = 0;
  int err =
      os::ReadAt(area.file, RecordOffset(area, record) + static_cast<std::int64_t>(place.offset),
                 out.data(), place.length, &done);
  if (err != 0 || done != place.length) {
    out.clear();
    ReportReadFailure(area, err, field, record);
    return false;
  }
  return true;
}

// Refreshes a shared table's count only when a record lies beyond it.
bool ValidNumbers(WorkArea& area, int field, std::int32_t record) {
  if (record > area.record_count) RefreshRecCount(area);
  return record >= 1 && record <= area.record_count && field >= 0 && field <= area.field_count;
}

}  // namespace

void ReleasePeekCache() {
  PeekCache.bytes.clear();
  PeekCache.bytes.shrink_to_fit();
  PeekCache.owner.reset();
  PeekCache.first = PeekCache.count = 0;
}

void ResetPeekCache() {
  ReleasePeekCache();
  PeekCacheLimit = 0;
}

CachedRecords PeekCachedRecords(WorkArea& area, int field, std::int32_t record) {
  if (PeekCacheLimit == 0 || area.record_length == 0) return {};
  if (!Holds(area, record)) {
    Preparation prepared = PrepareCache(area);
    if (prepared == Preparation::kReadDirectly) return {};
    if (prepared == Preparation::kFailed || !LoadCache(area, field, record))
      return {nullptr, 0, true};
  }
  return {CacheSlot(area, record), PeekCache.first + PeekCache.count - record, false};
}

bool PeekInto(WorkArea& area, int field, std::int32_t record, std::string& out) {
  CachedRecords cached = PeekCachedRecords(area, field, record);
  if (cached.failed) {
    out.clear();
    return false;
  }
  if (cached.bytes == nullptr) return ReadDirectly(area, field, record, out);
  FieldPlace place = PlaceOf(area, field);
  out.assign(cached.bytes + place.offset, place.length);
  return true;
}

std::string Peek(int field, std::int32_t record) {
  DbfErrorNo = 0;
  WorkArea* area = RequireTable("Peek");
  if (area == nullptr) return {};
  if (area->is_virtual) {
    SetError(1100, "Search-Befehl bei virtuellen Dateien nicht erlaubt. [Peek]");
    return {};
  }
  std::string out;
  if (ValidNumbers(*area, field, record)) PeekInto(*area, field, record, out);
  return out;
}

void Poke(const std::string& text, int field, std::int32_t record) {
  DbfErrorNo = 0;
  WorkArea* area = RequireTable("Poke");
  if (area == nullptr) return;
  std::string call =
      ("[Poke(" + text + "," + std::to_string(field) + "," + std::to_string(record) + ")]")
          .substr(0, 100);
  if (area->is_virtual) {
    SetError(1100, "Search-Befehl bei virtuellen Dateien nicht erlaubt." + call);
    return;
  }
  bool listed =
      std::find(area->lock_list.begin(), area->lock_list.end(), record) != area->lock_list.end();
  bool allowed = !NetworkLocking || area->exclusive || area->lock_state == LockState::kTable ||
                 (area->lock_state != LockState::kAppend && listed);
  if (!allowed) {
    SetError(1200, "Datensatz nicht gesperrt " + call);
    return;
  }
  if (!ValidNumbers(*area, field, record)) return;
  FieldPlace place = PlaceOf(*area, field);
  std::size_t length = std::min(text.size(), place.length);
  if (length == 0) return;
  int err =
      os::WriteAt(area->file, RecordOffset(*area, record) + static_cast<std::int64_t>(place.offset),
                  text.data(), length);
  InvalidateReadAhead(*area);
  if (err != 0) {
    SetError(err, call);
    return;
  }
  if (Holds(*area, record))
    std::memcpy(CacheSlot(*area, record) + place.offset, text.data(), length);
}

}  // namespace orvex
