#include "dataset/field_props.h"

#include "engine/record_io.h"
#include "engine/work_area.h"
#include "platform/data/field_defs.h"

namespace orvex {

TDbfFieldProps::TDbfFieldProps(bool private_copy) {
  const int count = FieldCount();
  std::uint8_t* start = FieldAddress(0);
  for (int i = 1; i <= count; ++i) {
    fields_.push_back({Field(i), FieldType(i), static_cast<std::uint16_t>(FieldLen(i)),
                       static_cast<std::uint16_t>(FieldDec(i)),
                       static_cast<std::uint16_t>(FieldAddress(i) - start)});
  }
  buffer_ = start;
  const WorkArea* area = CurrentWorkArea();
  if (private_copy && area != nullptr && start != nullptr) {
    ClearRecord();
    copy_.assign(start, start + area->unpacked_size);
    buffer_ = copy_.data();
  }
}

int TDbfFieldProps::Find(const std::string& name) const {
  for (std::size_t i = 0; i < fields_.size(); ++i) {
    if (data::SameFieldName(fields_[i].Name, name)) return static_cast<int>(i) + 1;
  }
  return 0;
}

}  // namespace orvex
