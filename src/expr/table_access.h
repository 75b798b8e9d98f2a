// What the expression engine asks of the table engine: the open work areas,
// their fields and current records. One narrow door, so that the lexer and
// the evaluator do not depend on the layout of the engine's records.
//
// Areas are numbered 1 to 32 here (the areas that expressions can name).
// Every query answers a neutral value (0, false, nullptr) for a closed area or
// a field position out of range.
#pragma once

#include <cstdint>
#include <string_view>

namespace orvex::expr_tables {

inline constexpr int kMaxArea = 32;

struct FieldInfo {
  char type = 0;      // the field's type letter as stored (C, N, F, L, D, M)
  int length = 0;
  int decimals = 0;
  int offset = 0;     // within the record; 1 for the first field
  // A FoxPro or level-7 field held in binary: `type` then says how
  // expressions see it, N for integers, doubles and currency (with a
  // length and decimals that show every value), D for date-times (their
  // day); 0 for the others, which expressions cannot read. Its value comes
  // from RawFieldNumber.
  bool raw = false;
};

// The current work area number (it may be closed).
int CurrentArea();
bool IsOpen(int area);
// The first open area 1..32 whose alias, compared by its first 10 characters,
// equals `alias`; 0 when none.
int AreaByAlias(std::string_view alias);
// The 1-based position of the field called `name` (exact, upper case) in the
// area, with its description; 0 when there is none.
int FindField(int area, std::string_view name, FieldInfo* info);
// The description of field `position`; false when out of range.
bool GetField(int area, int position, FieldInfo* info);
// The current record as held in memory (file layout, or the unpacked layout for
// a virtual area) and its length in bytes.
const unsigned char* RecordBuffer(int area, int* length);
// The value of raw field `position` of the current record: a number, or
// for a date-time its Julian day number with the time as fraction; false
// when it holds none (null, an empty date-time, no current record).
bool RawFieldNumber(int area, int position, double* value);
std::int32_t RecordCount(int area);
std::int32_t RecordNumber(int area);
bool IsVirtual(int area);
// True when the area's table has a memo file.
bool HasMemoFile(int area);

}  // namespace orvex::expr_tables
