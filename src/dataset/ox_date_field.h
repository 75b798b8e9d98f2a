// TOxDateField: the date field of a TOxDataSet. Its texts follow the
// library's date texts (the current DateType and CenturyOn) rather than the
// framework's short date format alone.
#pragma once

#include "platform/data/field_kinds.h"

namespace orvex {

class TOxDateField : public data::TDateField {
 public:
  // A text that is neither the empty date text nor a date in the current
  // date type is read with the framework's date parser (EConvertError when
  // that fails too); the empty date text clears the field.
  void SetAsString(const std::string& value) override;

 protected:
  // The framework's text, normalised to the library's form when the library
  // accepts its first 10 characters as a date (a null date shows as the
  // empty text).
  void GetText(std::string& text, bool display_text) const override;
};

}  // namespace orvex
