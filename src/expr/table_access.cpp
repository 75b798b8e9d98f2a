#include "expr/table_access.h"

#include "engine/field_values.h"
#include "engine/work_area.h"

namespace orvex::expr_tables {
namespace {

const WorkArea* Area(int area) {
  if (area < 1 || area > kMaxArea) return nullptr;
  return WorkAreas[area].get();
}

}  // namespace

int CurrentArea() { return orvex::CurrentArea; }

bool IsOpen(int area) { return Area(area) != nullptr; }

int AreaByAlias(std::string_view alias) {
  constexpr std::size_t kCompared = 10;
  std::string_view wanted = alias.substr(0, kCompared);
  for (int area = 1; area <= kMaxArea; ++area) {
    const WorkArea* wa = Area(area);
    if (wa != nullptr && std::string_view(wa->alias).substr(0, kCompared) == wanted) return area;
  }
  return 0;
}

int FindField(int area, std::string_view name, FieldInfo* info) {
  const WorkArea* wa = Area(area);
  if (wa == nullptr) return 0;
  for (std::size_t i = 0; i < wa->fields.size(); ++i) {
    if (wa->fields[i].name == name) {
      GetField(area, static_cast<int>(i) + 1, info);
      return static_cast<int>(i) + 1;
    }
  }
  return 0;
}

bool GetField(int area, int position, FieldInfo* info) {
  const WorkArea* wa = Area(area);
  if (wa == nullptr || position < 1 || position > static_cast<int>(wa->fields.size()))
    return false;
  const FieldDesc& f = wa->fields[position - 1];
  info->type = f.type;
  info->length = f.length;
  info->decimals = f.decimals;
  info->offset = f.offset;
  info->raw = f.raw;
  if (f.raw) {
    // Widths that hold every value: 32-bit integers in 11 characters,
    // currency with its four decimals, doubles with DefaultDecimals.
    switch (RawKindOf(*wa, f)) {
      case RawKind::kInteger:
        *info = {'N', 11, 0, f.offset, true};
        break;
      case RawKind::kCurrency:
        *info = {'N', 20, 4, f.offset, true};
        break;
      case RawKind::kDouble:
        *info = {'N', 20, f.decimals, f.offset, true};
        break;
      case RawKind::kDateTime:
        *info = {'D', 8, 0, f.offset, true};
        break;
      default:
        info->type = 0;
        break;
    }
  }
  return true;
}

bool RawFieldNumber(int area, int position, double* value) {
  const WorkArea* wa = Area(area);
  // Virtual areas hold no such fields; past the last record the record is
  // blank, which is no binary value.
  if (wa == nullptr || wa->is_virtual || position < 1 ||
      position > static_cast<int>(wa->fields.size()) || wa->record.size() < wa->record_length ||
      wa->record_number < 1 || wa->record_number > wa->record_count) {
    return false;
  }
  const FieldNumber number =
      orvex::RawFieldNumber(*wa, wa->fields[position - 1], wa->record.data());
  *value = number.value;
  return !number.null;
}

const unsigned char* RecordBuffer(int area, int* length) {
  const WorkArea* wa = Area(area);
  *length = 0;
  if (wa == nullptr) return nullptr;
  if (wa->is_virtual) {
    // A virtual area keeps its record in the caller's (unpacked) buffer.
    *length = wa->unpacked != nullptr ? wa->unpacked_size : 0;
    return wa->unpacked;
  }
  *length = static_cast<int>(wa->record.size());
  return reinterpret_cast<const unsigned char*>(wa->record.data());
}

std::int32_t RecordCount(int area) {
  const WorkArea* wa = Area(area);
  return wa != nullptr ? wa->record_count : 0;
}

std::int32_t RecordNumber(int area) {
  const WorkArea* wa = Area(area);
  return wa != nullptr ? wa->record_number : 0;
}

bool IsVirtual(int area) {
  const WorkArea* wa = Area(area);
  return wa != nullptr && wa->is_virtual;
}

bool HasMemoFile(int area) {
  const WorkArea* wa = Area(area);
  return wa != nullptr && wa->has_memo;
}

}  // namespace orvex::expr_tables
