// TDbfFieldProps and TDTField: the open table's field list as the dataset
// sees it, and access to the work area's unpacked record buffer.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/field_values.h"
#include "engine/work_area.h"

namespace orvex {

// One table field: the name as the engine reports it, the type letter (C, D,
// F, L, M or N, or a raw type), length (D: the length of the date text, 8 or 10) and
// decimals, and the place of its value in the unpacked buffer.
struct TDTField {
  std::string Name;
  char FieldType = 'C';
  std::uint16_t Len = 0;
  std::uint16_t Dec = 0;
  std::uint16_t Offset = 0;        // from the start of the unpacked buffer
  std::uint16_t RecordOffset = 0;  // from the start of the record as stored
  // FoxPro and level-7 types (field_values.h): read from Record() rather
  // than from the unpacked buffer.
  bool Raw = false;
  RawKind Kind = RawKind::kNothing;
  bool Nullable = false;  // _NullFlags may mark it null
};

class TDbfFieldProps {
 public:
  // Reads the field list of the current work area. Direct operation
  // (private_copy false) uses the work area's own unpacked buffer and
  // record; otherwise the object keeps copies of them holding the blank
  // record, for when the table is closed again at once (design-time
  // operation).
  explicit TDbfFieldProps(bool private_copy);
  TDbfFieldProps(const TDbfFieldProps&) = delete;
  TDbfFieldProps& operator=(const TDbfFieldProps&) = delete;

  int Count() const { return static_cast<int>(fields_.size()); }
  // Field i, 1-based.
  const TDTField& Item(int i) const { return fields_.at(static_cast<std::size_t>(i) - 1); }
  const std::string& Name(int i) const { return Item(i).Name; }
  char Type(int i) const { return Item(i).FieldType; }
  int Len(int i) const { return Item(i).Len; }
  int Dec(int i) const { return Item(i).Dec; }
  int Offset(int i) const { return Item(i).Offset; }
  // Where field i's value lies; 0 gives the buffer's first byte (the
  // deleted flag).
  std::uint8_t* Address(int i) const { return buffer_ + (i == 0 ? 0 : Offset(i)); }
  // The current record as the engine read it (read form: code page and
  // translators applied), where the values the unpacked buffer cannot
  // carry are read: dates with their century, integers beyond 32 bits.
  const char* Record() const { return record_; }
  // The table's field list and what else field_values.h reads a raw
  // field's value with (dialect, _NullFlags), kept while the table is
  // closed at design time.
  const WorkArea& Shape() const { return shape_; }
  // The number of the field of that name (letter case ignored), 0 when
  // there is none.
  int Find(const std::string& name) const;
  // 0 when the buffer is the work area's own; else the size of the copy.
  std::uint16_t CopySize() const { return static_cast<std::uint16_t>(copy_.size()); }

 private:
  std::vector<TDTField> fields_;
  std::vector<std::uint8_t> copy_;
  std::vector<char> record_copy_;
  std::uint8_t* buffer_ = nullptr;
  const char* record_ = nullptr;
  WorkArea shape_;
};

}  // namespace orvex
