// Queries on the current area's field list and the unpacked-buffer layout.
#include <algorithm>

#include "common/errors.h"
#include "dates/date_settings.h"
#include "engine/engine_text.h"
#include "engine/work_area.h"
#include "platform/os/codepage.h"

namespace orvex {

namespace {

// The field numbered n (1..count) of the current area, or nullptr after
// reporting 215 or 220 "Ungültige Feldnr. [<query>(<n>)]".
const FieldDesc* FieldOf(int n, const char* query) {
  WorkArea* area = RequireTable((std::string(query) + "()").c_str());
  if (area == nullptr) return nullptr;
  if (n < 1 || n > area->field_count) {
    SetError(220, Ansi("Ungültige Feldnr. [") + query + "(" + std::to_string(n) + ")]");
    return nullptr;
  }
  return &area->fields[n - 1];
}

}  // namespace

int UnpackedFieldSize(const FieldDesc& field) {
  // Raw fields: the stored bytes, zero-padded to at least 4 bytes (one
  // more for a wide C field), so that a reader that takes the part for a
  // memo block number or a C field's length byte and text stays inside it.
  if (field.raw) return std::max(field.length + (field.type == 'C' ? 1 : 0), 4);
  switch (field.type) {
    case 'C': return field.length + 1;
    case 'D': return 11;
    case 'N':
    case 'F': return field.decimals > 0 ? 6 : 4;
    case 'L': return 1;
    default: return 4;  // M
  }
}

int UnpackedSize(const std::vector<FieldDesc>& fields) {
  int size = 1;
  for (const FieldDesc& f : fields) size += UnpackedFieldSize(f);
  return size;
}

char FieldType(int n) {
  const FieldDesc* f = FieldOf(n, "FieldType");
  return f ? f->type : ' ';
}

int FieldLen(int n) {
  const FieldDesc* f = FieldOf(n, "FieldLen");
  if (f == nullptr) return 0;
  if (f->type == 'D') return CenturyOn ? 10 : 8;
  return f->length;
}

int FieldDec(int n) {
  const FieldDesc* f = FieldOf(n, "FieldDec");
  return f ? f->decimals : 0;
}

std::string Field(int n) {
  const FieldDesc* f = FieldOf(n, "Field");
  return f ? f->name : std::string();
}

int FieldNo(const std::string& name) {
  WorkArea* area = RequireTable("FieldNo()");
  if (area == nullptr) return 0;
  std::string wanted = name.substr(0, kMaxFieldNameLength);
  while (!wanted.empty() && static_cast<unsigned char>(wanted.back()) <= ' ') wanted.pop_back();
  wanted = os::CharUpperString(wanted);
  for (int i = 0; i < area->field_count; ++i) {
    if (area->fields[i].name == wanted) return i + 1;
  }
  return 0;
}

int FieldCount() {
  WorkArea* area = RequireTable("FieldCount()");
  return area ? area->field_count : 0;
}

std::uint8_t* FieldAddress(int n) {
  WorkArea* area = RequireTable("FieldAddress()");
  if (area == nullptr) return nullptr;
  if (n < 0 || n > area->field_count) {
    SetError(220, Ansi("Ungültige Feldnr. [FieldAddress(") + std::to_string(n) + ")]");
    return nullptr;
  }
  std::uint8_t* p = area->unpacked;
  if (n == 0 || p == nullptr) return p;
  return p + area->unpacked_offsets[static_cast<std::size_t>(n - 1)];
}

bool Deleted() {
  WorkArea* area = RequireTable("Deleted");
  return area != nullptr && area->unpacked != nullptr && area->unpacked[0] != 0;
}

}  // namespace orvex
