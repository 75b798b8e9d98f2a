// TOxDataSet: record buffers, GetRecord, the conversions between the work
// area's unpacked record and a record buffer, field data and bookmarks.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/errors.h"
#include "common/names.h"
#include "dataset/dataset_settings.h"
#include "dataset/ox_data_set.h"
#include "dates/date_settings.h"
#include "dates/date_text.h"
#include "dates/day_number.h"
#include "engine/field_values.h"
#include "engine/navigation.h"
#include "engine/record_io.h"
#include "engine/record_pack.h"
#include "platform/data/database_error.h"
#include "platform/os/system.h"

namespace orvex {

using data::RecordBuffer;
using data::TBookmarkFlag;
using data::TDataSetState;
using data::TGetMode;
using data::TGetResult;

namespace {

// Day number of 30 December 1899, the framework's date-time 0.
constexpr double kDateTimeEpoch = 2415019;

std::int32_t LoadInt32(const std::uint8_t* p) {
  std::int32_t v;
  std::memcpy(&v, p, 4);
  return v;
}

void StoreInt32(std::uint8_t* p, std::int32_t v) { std::memcpy(p, &v, 4); }

// The value rounded to `decimals` the way the number is written and read
// back as text, so that it equals the number the table shows. to_chars and
// from_chars give exactly printf's "%.*f" and strtod, several times faster.
//
// Quicker still for the values a table holds, without a text: the text
// "%.*f" writes is the integer k nearest to value * 10^decimals, put
// `decimals` places after the point, and reading it back gives k /
// 10^decimals rounded to the nearest double, which is what the division of
// the exact doubles k and 10^decimals gives. The product p = value *
// 10^decimals is itself rounded, by at most half a unit in its last place
// (under 2^-13 while |p| < 2^40); so when p lies at least 0.01 away from
// the middle between two integers, the nearest integer of p is the nearest
// integer of the exact product. Values near such a middle, large values,
// many decimals, infinities and NaN take the text way.
double RoundedToDecimals(double value, int decimals) {
  static constexpr double kPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                       1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                       1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
  if (decimals >= 0 && decimals <= 22) {
    const double scale = kPowers[decimals];
    const double p = value * scale;
    if (std::fabs(p) < 0x1p40) {
      const double k = std::trunc(p < 0 ? p - 0.5 : p + 0.5);  // p's nearest integer but at .5
      // The text of a negative value keeps its '-' even when it rounds to
      // zero ("-0.00"), so the result has the value's sign.
      if (std::fabs(p - k) <= 0.49) return std::copysign(k / scale, value);
    }
  }
  char text[400];
  const auto written =
      std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
  double rounded = value;
  if (written.ec == std::errc()) std::from_chars(text, written.ptr, rounded);
  return rounded;
}

// The date-time value of a D field as stored (YYYYMMDD); 0 for an empty
// or invalid date. Eight digits, the form nearly every stored date has, go
// straight to DayNumberFromYMD: DayNumberFromDText reads them the same way
// (year 0 is the empty date), after the general trimming other texts need.
double DateTimeFromStored(const char* stored, std::size_t length) {
  DayNumber day = EmptyDayNumber;
  int digits[8];
  int n = 0;
  while (n < 8 && static_cast<std::size_t>(n) < length && stored[n] >= '0' && stored[n] <= '9') {
    digits[n] = stored[n] - '0';
    ++n;
  }
  if (n == 8) {
    const int year = digits[0] * 1000 + digits[1] * 100 + digits[2] * 10 + digits[3];
    if (year != 0)
      day = DayNumberFromYMD(year, digits[4] * 10 + digits[5], digits[6] * 10 + digits[7]);
  } else {
    day = DayNumberFromDText(std::string_view(stored, length < 8 ? length : 8));
  }
  return IsValidDayNumber(day) ? day - kDateTimeEpoch : 0.0;
}

// The integer of an N or F field as stored (blanks around the digits); 0
// for a blank field or one that holds no integer within 64 bits.
std::int64_t IntegerFromStored(const char* stored, std::size_t length) {
  std::size_t b = 0;
  while (b < length && stored[b] == ' ') ++b;
  while (length > b && stored[length - 1] == ' ') --length;
  if (b < length && stored[b] == '+') ++b;
  std::int64_t value = 0;
  const auto [end, ec] = std::from_chars(stored + b, stored + length, value);
  return ec == std::errc() && end == stored + length ? value : 0;
}

// The number of an N or F field as stored; 0 for a blank field or one that
// holds no number.
double DoubleFromStored(const char* stored, std::size_t length) {
  std::size_t b = 0;
  while (b < length && stored[b] == ' ') ++b;
  while (length > b && stored[length - 1] == ' ') --length;
  if (b < length && stored[b] == '+') ++b;
  double value = 0;
  const auto [end, ec] = std::from_chars(stored + b, stored + length, value);
  return ec == std::errc() && end == stored + length && std::isfinite(value) ? value : 0.0;
}

// memcpy of the sizes a number, logical or memo slot has, with the size
// known at compile time in each case, so that no library call is made.
void CopySmall(std::uint8_t* to, const std::uint8_t* from, std::size_t size) {
  switch (size) {
    case 8:
      std::memcpy(to, from, 8);
      break;
    case 4:
      std::memcpy(to, from, 4);
      break;
    case 2:
      std::memcpy(to, from, 2);
      break;
    default:
      std::memcpy(to, from, size);
  }
}

void StoreShortString(std::uint8_t* to, const std::string& text, std::size_t max) {
  const std::size_t n = text.size() < max ? text.size() : max;
  to[0] = static_cast<std::uint8_t>(n);
  std::memcpy(to + 1, text.data(), n);
}

}  // namespace

// --------------------------------------------------------------- buffers ---

RecordBuffer TOxDataSet::AllocRecordBuffer() {
  return static_cast<RecordBuffer>(std::calloc(static_cast<std::size_t>(record_buffer_size_), 1));
}

void TOxDataSet::FreeRecordBuffer(RecordBuffer& buffer) {
  std::free(buffer);
  buffer = nullptr;
}

void TOxDataSet::ClearCalcFields(RecordBuffer buffer) {
  std::memset(buffer + calc_fields_offset_, 0, static_cast<std::size_t>(CalcFieldsSize()));
}

void TOxDataSet::GetBookmarkData(RecordBuffer buffer, void* data) {
  std::memcpy(data, buffer + bookmark_offset_, 4);
}

void TOxDataSet::SetBookmarkData(RecordBuffer buffer, const void* data) {
  std::memcpy(buffer + bookmark_offset_, data, 4);
}

TBookmarkFlag TOxDataSet::GetBookmarkFlag(RecordBuffer buffer) {
  return static_cast<TBookmarkFlag>(buffer[rec_info_offset_ + 4]);
}

void TOxDataSet::SetBookmarkFlag(RecordBuffer buffer, TBookmarkFlag flag) {
  buffer[rec_info_offset_ + 4] = static_cast<std::uint8_t>(flag);
}

bool TOxDataSet::GetCurrentRecord(std::uint8_t* buffer) {
  if (IsEmpty() || ActiveBuffer() == nullptr) return false;
  std::memcpy(buffer, ActiveBuffer(), record_size_);
  return true;
}

// ------------------------------------------------------------- GetRecord ---

TGetResult TOxDataSet::GetRecord(RecordBuffer buffer, TGetMode mode, bool) {
  TGetResult result = TGetResult::grError;
  const bool kept_open = KeepsTableOpen();
  if (!kept_open) {
    // The table is closed: the dataset shows the one blank record, so a
    // record after or before the one in the ring does not exist.
    if (mode != TGetMode::gmCurrent && RecordCountInBuffers() > 0) {
      return mode == TGetMode::gmNext ? TGetResult::grEOF : TGetResult::grBOF;
    }
    ReadEngineRecord(buffer);
    result = TGetResult::grOK;
  } else if (mode == TGetMode::gmCurrent) {
    result = ReadCurrent(buffer);
  } else if (mode == TGetMode::gmNext) {
    result = ReadNext(buffer);
  } else if (mode == TGetMode::gmPrior) {
    result = ReadPrior(buffer);
  }
  if (result != TGetResult::grOK) return result;
  std::int32_t rec_no = 1;
  if (kept_open) {
    // The reads above leave the dataset's area selected, and nothing ran
    // since that could select another one: the engine is asked directly.
    // They also brought the record count up to date as they moved, so the
    // count the area holds is taken, not asked of the file once more.
    const std::int32_t count = CurrentWorkArea()->record_count;
    rec_no = RecNo();
    if (rec_no > count) rec_no = count;
    if (rec_no < 1) rec_no = 1;
  }
  StoreInt32(buffer + rec_info_offset_, rec_no);
  SetBookmarkFlag(buffer, TBookmarkFlag::bfCurrent);
  StoreInt32(buffer + bookmark_offset_, rec_no);
  GetCalcFields(buffer);
  return TGetResult::grOK;
}

TGetResult TOxDataSet::ReadCurrent(RecordBuffer buffer) {
  if (s_IsEmpty() || (s_dEOF() && s_dBOF())) return TGetResult::grError;
  s_Skip(s_dEOF() ? -1 : 0);
  ReadEngineRecord(buffer);
  if (Hidden(buffer) || !s_InWhileRange()) return TGetResult::grError;
  return TGetResult::grOK;
}

// The step of every walk forward. It selects the dataset's area once: what
// runs below (the engine, s_GoTopWhile, reading the record) leaves that
// area selected with this dataset's options, so the wrappers' selection
// before each engine question would only repeat it.
TGetResult TOxDataSet::ReadNext(RecordBuffer buffer) {
  if (!SelectArea("s_IsEmpty")) return TGetResult::grEOF;
  do {
    // An empty table ends the walk at once: from an empty ring through the
    // count, from a record through dEOF below (the engine at the end).
    if (Eof() && Bof()) {
      if (RecCount() == 0) return TGetResult::grEOF;
      s_GoTopWhile();
    } else if (!dEOF()) {
      SkipSelected(1);
    }
    if (dEOF()) return TGetResult::grEOF;
    ReadEngineRecord(buffer);
  } while (Hidden(buffer));
  return TGetResult::grOK;
}

TGetResult TOxDataSet::ReadPrior(RecordBuffer buffer) {
  do {
    if (s_IsEmpty()) return TGetResult::grBOF;
    if (!s_dBOF()) s_Skip(-1);
    if (s_dBOF()) return TGetResult::grBOF;
    ReadEngineRecord(buffer);
  } while (Hidden(buffer));
  return TGetResult::grOK;
}

// --------------------------------------------- work area <-> record buffer ---

// Runs at every fetched record: the conversion of each slot is written out
// in the loop rather than called per slot.
void TOxDataSet::ReadEngineRecord(std::uint8_t* buffer) {
  if (field_props_ == nullptr) return;
  const std::uint8_t* record = field_props_->Address(0);
  const char* stored = field_props_->Record();
  buffer[0] = record[0];
  for (const Slot& slot : slots_) {
    if (!slot.has_slot) continue;
    const std::uint8_t* from = record + slot.unpacked_offset;
    std::uint8_t* to = buffer + slot.offset;
    if (slot.raw != RawKind::kNothing) {
      ReadRaw(slot, static_cast<int>(&slot - slots_.data()) + 1, stored, to);
      continue;
    }
    if (slot.nullable) {
      const WorkArea& shape = field_props_->Shape();
      const FieldDesc& f = shape.fields[static_cast<std::size_t>(&slot - slots_.data())];
      to[slot.width] = FieldIsNull(shape, f, stored) ? 1 : 0;
    }
    switch (slot.type) {
      case 'C':
        std::memcpy(to, from, slot.width);
        if (to[0] > slot.length) to[0] = slot.length;
        break;
      case 'D': {
        const double value = DateTimeFromStored(stored + slot.record_offset, slot.length);
        std::memcpy(to, &value, 8);
        break;
      }
      case 'N':
      case 'F':
        if (slot.decimals > 0) {
          const double value = RoundedToDecimals(RealToDouble(from), slot.decimals);
          std::memcpy(to, &value, 8);
        } else if (slot.wide) {
          ReadWide(slot, stored + slot.record_offset, to);
        } else {
          std::memcpy(to, from, 4);
        }
        break;
      case 'L':
        to[0] = from[0];
        to[1] = 0;
        break;
      default:  // M
        std::memcpy(to, from, 4);
        break;
    }
  }
}

void TOxDataSet::ReadRaw(const Slot& slot, int field_no, const char* stored,
                         std::uint8_t* to) const {
  const WorkArea& shape = field_props_->Shape();
  const FieldDesc& f = shape.fields[static_cast<std::size_t>(field_no) - 1];
  std::memset(to, 0, slot.width);
  std::uint8_t& null = to[slot.width - 1];
  if (slot.raw == RawKind::kText || slot.raw == RawKind::kBytes || slot.raw == RawKind::kMemo) {
    const FieldValue value = RawFieldValue(shape, f, stored);
    null = value.null ? 1 : 0;
    if (value.null) return;
    if (slot.raw == RawKind::kMemo) {
      const auto block = static_cast<std::int32_t>(MemoBlockOf(f, stored));
      std::memcpy(to, &block, 4);
    } else {
      // Text up to its first NUL, as a C field's.
      const std::size_t room = std::min<std::size_t>(slot.width - 2u, value.text.size());
      std::memcpy(to, value.text.data(), strnlen(value.text.data(), room));
    }
    return;
  }
  const FieldNumber number = RawFieldNumber(shape, f, stored);
  null = number.null ? 1 : 0;
  if (number.null) return;
  if (slot.raw == RawKind::kInteger) {
    StoreInt32(to, static_cast<std::int32_t>(number.value));
  } else {
    const double value =
        slot.raw == RawKind::kDateTime ? number.value - kDateTimeEpoch : number.value;
    std::memcpy(to, &value, 8);
  }
}

std::string TOxDataSet::WriteSlot(const Slot& slot, const std::uint8_t* from, std::uint8_t* to) {
  switch (slot.type) {
    case 'C':
      to[0] = from[0] > slot.length ? slot.length : from[0];
      std::memcpy(to + 1, from + 1, to[0]);
      return "";
    case 'D': {
      double value;
      std::memcpy(&value, from, 8);
      if (value == 0) {
        StoreShortString(to, EmptyDateText(DateType), 10);
        return "";
      }
      // A value outside the years 1..9999 has no date text.
      const DayNumber day = std::floor(value) + kDateTimeEpoch;
      if (!data::IsValidDate(value) || !IsValidDayNumber(day)) {
        os::MessageBox(kInvalidDateText, "", false);
        StoreShortString(to, EmptyDateText(DateType), 10);
        return "";
      }
      StoreShortString(to, DateTextFromDayNumber(day), 10);
      // Without the century the text names the year of CenturyOf's
      // window; another year is stored exactly.
      const int year = YMDFromDayNumber(day).year;
      if (CenturyOn || CenturyOf(year % 100) + year % 100 == year) return "";
      return DTextFromDayNumber(day);
    }
    case 'N':
    case 'F':
      if (slot.decimals > 0) {
        double value;
        std::memcpy(&value, from, 8);
        DoubleToReal(value, to);
      } else if (slot.wide) {
        // The unpacked buffer holds what the engine reads from such a
        // field: the value when it fits 32 bits, else 0.
        std::int32_t narrow = 0;
        const bool fits = WideFits32(slot, from, &narrow);
        StoreInt32(to, narrow);
        if (fits) return "";
        const std::string digits = WideDigits(slot, from);  // fits the field: see SetFieldData
        return std::string(slot.length - digits.size(), ' ') + digits;
      } else {
        std::memcpy(to, from, 4);
      }
      return "";
    case 'L':
      to[0] = from[0];
      return "";
    default:  // M
      std::memcpy(to, from, 4);
      return "";
  }
}

void TOxDataSet::WriteEngineRecord(const std::uint8_t* buffer, int field_no) {
  if (field_props_ == nullptr) return;
  std::uint8_t* record = field_props_->Address(0);
  // Exact texts go to the work area that holds the table; a private copy
  // of the record (design time) is never written.
  WorkArea* area = field_props_->CopySize() == 0
                       ? WorkAreas[static_cast<std::size_t>(work_area_)].get()
                       : nullptr;
  record_written_ = true;
  record[0] = buffer[0];
  if (field_no == 0) return;
  for (std::size_t i = 0; i < slots_.size(); ++i) {
    const bool selected = field_no == -1 || static_cast<int>(i) + 1 == field_no;
    // Raw fields are not written from the dataset: the unpacked buffer
    // keeps their stored bytes.
    if (selected && slots_[i].has_slot && slots_[i].raw == RawKind::kNothing) {
      std::string exact =
          WriteSlot(slots_[i], buffer + slots_[i].offset, record + slots_[i].unpacked_offset);
      if (area != nullptr) SetExactFieldText(*area, static_cast<int>(i) + 1, std::move(exact));
    }
    if (field_no != -1 && static_cast<int>(i) + 1 == field_no) break;
  }
}

// Integers of fields wider than 9 characters: a 64-bit integer while the
// field has at most 18 characters (every value it holds fits), a double in
// wider fields (exact up to 2^53).
void TOxDataSet::ReadWide(const Slot& slot, const char* stored, std::uint8_t* to) {
  if (slot.huge) {
    const double value = DoubleFromStored(stored, slot.length);
    std::memcpy(to, &value, 8);
  } else {
    const std::int64_t value = IntegerFromStored(stored, slot.length);
    std::memcpy(to, &value, 8);
  }
}

std::string TOxDataSet::WideDigits(const Slot& slot, const std::uint8_t* from) {
  if (!slot.huge) {
    std::int64_t value;
    std::memcpy(&value, from, 8);
    return std::to_string(value);
  }
  double value;
  std::memcpy(&value, from, 8);
  char text[400];
  const auto written =
      std::to_chars(text, text + sizeof text, std::nearbyint(value), std::chars_format::fixed, 0);
  return std::string(text, written.ec == std::errc() ? written.ptr : text);
}

bool TOxDataSet::WideFits32(const Slot& slot, const std::uint8_t* from, std::int32_t* narrow) {
  double value;
  if (slot.huge) {
    std::memcpy(&value, from, 8);
    value = std::nearbyint(value);
  } else {
    std::int64_t whole;
    std::memcpy(&whole, from, 8);
    value = static_cast<double>(whole);
  }
  const bool fits = value >= -2147483648.0 && value <= 2147483647.0;
  *narrow = fits ? static_cast<std::int32_t>(value) : 0;
  return fits;
}

// ------------------------------------------------------------ field data ---

const TOxDataSet::Slot* TOxDataSet::SlotOf(const data::TField& field) const {
  const int n = field.FieldNo();
  if (n < 1 || n > static_cast<int>(slots_.size())) return nullptr;
  const Slot& slot = slots_[static_cast<std::size_t>(n) - 1];
  return slot.has_slot ? &slot : nullptr;
}

std::uint8_t* TOxDataSet::ActiveSlot(const data::TField& field) {
  const Slot* slot = SlotOf(field);
  if (slot == nullptr || ActiveBuffer() == nullptr) return nullptr;
  return ActiveBuffer() + slot->offset;
}

void TOxDataSet::FieldContentsChanged(data::TField* field) {
  data::TDataSet::DataEvent(data::TDataEvent::deFieldChange, data::FieldInfo(field));
}

RecordBuffer TOxDataSet::FieldSource() const {
  if (State() == TDataSetState::dsCalcFields) return CalcBuffer();
  if (State() == TDataSetState::dsBrowse && IsEmpty()) return nullptr;
  return ActiveBuffer();
}

bool TOxDataSet::GetFieldData(data::TField* field, void* buffer) {
  RecordBuffer record = FieldSource();
  if (record == nullptr) return false;
  const std::size_t size = static_cast<std::size_t>(field->DataSize());
  if (field->FieldKind() == data::TFieldKind::fkCalculated) {
    const std::uint8_t* area = record + calc_fields_offset_ + field->Offset();
    if (area[0] != 0) return false;
    if (buffer != nullptr) std::memcpy(buffer, area + 1, size);
    return true;
  }
  const Slot* slot = SlotOf(*field);
  if (slot == nullptr) return false;
  const std::uint8_t* value = record + slot->offset;
  auto* out = static_cast<std::uint8_t*>(buffer);
  if (slot->nullable && value[slot->width] != 0) return false;  // null
  if (slot->raw != RawKind::kNothing) {
    if (value[slot->width - 1] != 0) return false;  // null
    if (slot->raw == RawKind::kText || slot->raw == RawKind::kBytes) {
      std::size_t n = strnlen(reinterpret_cast<const char*>(value), slot->width - 1u);
      while (n > 0 && value[n - 1] == ' ') --n;
      if (out != nullptr) {
        if (n >= size) n = size - 1;
        std::memcpy(out, value, n);
        out[n] = 0;
      }
      return true;
    }
  }
  // Every text a control draws comes through here: the native value is
  // written once, the text and its terminator rather than a cleared
  // buffer first.
  switch (slot->type) {
    case 'C': {
      std::size_t n = value[0];
      // Trailing blanks eight at a time while they fill a whole word (a
      // table's text fields are mostly padding), then byte by byte.
      static constexpr std::uint64_t kEightBlanks = 0x2020202020202020;
      while (n >= 8) {
        std::uint64_t word;
        std::memcpy(&word, value + n - 7, 8);  // characters n - 7 .. n
        if (word != kEightBlanks) break;
        n -= 8;
      }
      while (n > 0 && (value[n] == ' ' || value[n] == '\0')) --n;
      if (out != nullptr) {
        if (n >= size) n = size - 1;
        std::memcpy(out, value + 1, n);
        out[n] = 0;
      }
      return true;
    }
    case 'D': {
      double date_time;
      std::memcpy(&date_time, value, 8);
      if (date_time == 0) return false;
      if (out != nullptr)
        StoreInt32(out, static_cast<std::int32_t>(std::floor(date_time)) + data::kDateDelta);
      return true;
    }
    default:
      if (out != nullptr) {
        const std::size_t copied = size < slot->width ? size : slot->width;
        CopySmall(out, value, copied);
        if (copied < size) std::memset(out + copied, 0, size - copied);
      }
      return true;
  }
}

void TOxDataSet::SetFieldData(data::TField* field, const void* buffer) {
  RecordBuffer record = FieldSource();
  if (record == nullptr) return;
  const std::size_t size = static_cast<std::size_t>(field->DataSize());
  const auto* in = static_cast<const std::uint8_t*>(buffer);
  if (field->FieldKind() == data::TFieldKind::fkCalculated) {
    std::uint8_t* area = record + calc_fields_offset_ + field->Offset();
    area[0] = in == nullptr ? 1 : 0;
    if (in != nullptr) std::memcpy(area + 1, in, size);
  } else {
    if (State() == TDataSetState::dsCalcFields) data::DatabaseError(data::kNotEditing, Name());
    const Slot* slot = SlotOf(*field);
    if (slot == nullptr) return;
    if (slot->raw != RawKind::kNothing) {
      SetRawFieldData(*field, *slot, in);
      data::TDataSet::DataEvent(data::TDataEvent::deFieldChange, data::FieldInfo(field));
      return;
    }
    if (slot->wide && in != nullptr && WideDigits(*slot, in).size() > slot->length) {
      data::DatabaseError("Wert " + WideDigits(*slot, in) + " passt nicht in das Feld " +
                          field->FieldName() + " (" + std::to_string(slot->length) + " Stellen)");
    }
    std::uint8_t* value = record + slot->offset;
    std::memset(value, 0, slot->width);
    if (in != nullptr) {
      if (slot->type == 'C') {
        const std::size_t n = strnlen(reinterpret_cast<const char*>(in), slot->length);
        value[0] = static_cast<std::uint8_t>(n);
        std::memcpy(value + 1, in, n);
      } else if (slot->type == 'D') {
        const double date_time = static_cast<double>(LoadInt32(in)) - data::kDateDelta;
        std::memcpy(value, &date_time, 8);
      } else {
        std::memcpy(value, in, size < slot->width ? size : slot->width);
      }
    }
    WriteEngineRecord(ActiveBuffer(), field->FieldNo());
    if (slot->nullable) {
      // No value is a null (a blank beneath it); a value clears the bit.
      value[slot->width] = in == nullptr ? 1 : 0;
      MarkEngineNull(field->FieldNo(), in == nullptr);
    }
  }
  if (State() != TDataSetState::dsCalcFields) {
    data::TDataSet::DataEvent(data::TDataEvent::deFieldChange, data::FieldInfo(field));
  }
}

// A FoxPro or level-7 number or date-time: the value goes into the work
// area's record in the field's own layout (EncodeRawNumber) and clears the
// field's null bit; no value sets the null bit of a field that may be null
// (its bytes stay), empties a Visual FoxPro date-time, and is refused
// elsewhere, as are values the field cannot hold exactly and the text,
// byte and memo kinds. A refusal changes nothing.
void TOxDataSet::SetRawFieldData(const data::TField& field, const Slot& slot,
                                 const std::uint8_t* in) {
  const int n = field.FieldNo();
  const WorkArea& shape = field_props_->Shape();
  const FieldDesc& f = shape.fields[static_cast<std::size_t>(n) - 1];
  auto refuse = [&field](const std::string& reason) {
    data::DatabaseError("Feld " + field.FieldName() + ": " + reason);
  };
  if (slot.raw != RawKind::kInteger && slot.raw != RawKind::kDouble &&
      slot.raw != RawKind::kCurrency && slot.raw != RawKind::kDateTime) {
    refuse("Feldtyp kann noch nicht geschrieben werden");
  }
  std::uint8_t* value = ActiveBuffer() + slot.offset;
  char bytes[8] = {};
  const bool may_be_null = FieldMayBeNull(shape, f);
  if (in == nullptr) {
    if (!may_be_null && !(shape.visual_foxpro && slot.raw == RawKind::kDateTime)) {
      refuse("kann nicht leer sein");
    }
    if (!may_be_null) BlankRawField(shape, f, bytes, nullptr);
  } else {
    double number = 0;
    if (slot.raw == RawKind::kInteger) {
      number = LoadInt32(in);
    } else {
      std::memcpy(&number, in, 8);
      if (slot.raw == RawKind::kDateTime) number += kDateTimeEpoch;
    }
    const std::string reason = EncodeRawNumber(shape, f, number, bytes);
    if (!reason.empty()) refuse("Wert nicht speicherbar (" + reason + ")");
  }
  if (in != nullptr || !may_be_null) std::memcpy(field_props_->Address(n), bytes, f.length);
  MarkEngineNull(n, in == nullptr && may_be_null);
  std::memset(value, 0, slot.width);
  if (in != nullptr) std::memcpy(value, in, slot.raw == RawKind::kInteger ? 4 : 8);
  value[slot.width - 1] = in == nullptr ? 1 : 0;
  WriteEngineRecord(ActiveBuffer(), 0);
}

void TOxDataSet::MarkEngineNull(int field_no, bool null) {
  const WorkArea& shape = field_props_->Shape();
  if (shape.null_flags_field < 0) return;
  MarkNull(shape, shape.fields[static_cast<std::size_t>(field_no) - 1], null,
           reinterpret_cast<char*>(field_props_->Address(shape.null_flags_field + 1)));
}

// ------------------------------------------------------------- bookmarks ---

bool TOxDataSet::BookmarkValid(const std::uint8_t* bookmark) {
  if (bookmark == nullptr || work_area_ == 0 || !KeepsTableOpen()) return false;
  const std::int32_t rec_no = LoadInt32(bookmark);
  const bool report = SetAutoReport(false);
  bool valid = false;
  try {
    if (rec_no > 0 && rec_no <= GetRecordCount()) {
      CursorPosChanged();
      s_Go(rec_no);
      valid = DbfErrorNo == 0 && !(hide_deleted_recs_ && Deleted());
    }
  } catch (...) {
    valid = false;
  }
  SetAutoReport(report);
  if (DbfErrorNo != 0) {
    DbfErrorNo = 0;
    TakeErrorDetail();
    valid = false;
  }
  return valid;
}

int TOxDataSet::CompareBookmarks(const std::uint8_t* b1, const std::uint8_t* b2) {
  if (b1 == b2) return 0;
  if (b1 == nullptr || b2 == nullptr) return 1;
  return LoadInt32(b1) == LoadInt32(b2) ? 0 : 1;
}

}  // namespace orvex
