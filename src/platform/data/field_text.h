// A field's text where people read and type it (the GUI, a terminal): as
// UTF-8, converted from and to the code page of the dataset's text
// (TDataSet::TextCodePage), so that every character shows as itself and
// none is stored as another.
#pragma once

#include <string>
#include <string_view>

#include "platform/data/field.h"

namespace orvex::data {

// A text of the field's dataset (such as one GetDisplayText wrote) as UTF-8;
// a byte that stands for no character shows as U+FFFD.
std::string TextAsUtf8(const TField& field, std::string_view text);
// The field's Text (display false) or DisplayText as UTF-8.
std::string FieldTextUtf8(const TField& field, bool display);

// SetText of the typed UTF-8 text. A character the code page cannot hold
// is refused before anything changes: EDatabaseError "Field '<name>':
// character U+XXXX is not in code page <n>".
void SetFieldTextUtf8(TField& field, std::string_view utf8);

}  // namespace orvex::data
