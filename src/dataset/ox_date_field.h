// TOxDateField: the date field of a TOxDataSet. Its texts are the library's
// date texts of the current DateType, always with a four-digit year, so that
// a date of any century shows and is typed without losing it.
#pragma once

#include "platform/data/field_kinds.h"

namespace orvex {

class TOxDateField : public data::TDateField {
 public:
  // A text that is neither the empty date text nor a date in the current
  // date type is read with the framework's date parser (EConvertError when
  // that fails too); the empty date text clears the field. A two-digit year
  // gets its century from CenturyOf; a four-digit year stays as typed.
  void SetAsString(const std::string& value) override;

 protected:
  // The date in the current DateType with a four-digit year (a null date
  // shows as the empty text).
  void GetText(std::string& text, bool display_text) const override;
};

}  // namespace orvex
