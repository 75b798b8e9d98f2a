#include "dataset/field_props.h"

#include "engine/record_io.h"
#include "engine/work_area.h"
#include "platform/data/field_defs.h"

namespace orvex {

TDbfFieldProps::TDbfFieldProps(bool private_copy) {
  const int count = FieldCount();
  std::uint8_t* start = FieldAddress(0);
  WorkArea* area = CurrentWorkArea();
  for (int i = 1; i <= count; ++i) {
    const FieldDesc& f = area->fields[static_cast<std::size_t>(i) - 1];
    fields_.push_back({Field(i), FieldType(i), static_cast<std::uint16_t>(FieldLen(i)),
                       static_cast<std::uint16_t>(FieldDec(i)),
                       static_cast<std::uint16_t>(FieldAddress(i) - start), f.offset, f.raw,
                       RawKindOf(*area, f), f.null_bit >= 0});
  }
  if (area != nullptr) {
    shape_.dialect = area->dialect;
    shape_.visual_foxpro = area->visual_foxpro;
    shape_.null_flags_field = area->null_flags_field;
    shape_.fields = area->fields;
  }
  buffer_ = start;
  // A virtual area keeps no record of its own: its values are those of a
  // blank record.
  if (area != nullptr && area->record.size() >= area->record_length && !area->is_virtual) {
    record_ = area->record.data();
  } else {
    record_copy_.assign(area != nullptr ? area->record_length : 1, ' ');
    record_ = record_copy_.data();
  }
  if (private_copy && area != nullptr && start != nullptr) {
    ClearRecord();
    copy_.assign(start, start + area->unpacked_size);
    buffer_ = copy_.data();
    record_copy_.assign(record_, record_ + area->record_length);
    record_ = record_copy_.data();
  }
}

int TDbfFieldProps::Find(const std::string& name) const {
  for (std::size_t i = 0; i < fields_.size(); ++i) {
    if (data::SameFieldName(fields_[i].Name, name)) return static_cast<int>(i) + 1;
  }
  return 0;
}

}  // namespace orvex
