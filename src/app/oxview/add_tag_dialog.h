// The dialog that asks for a new tag: name, key expression, optional FOR
// condition, descending and unique. The answer is checked by the index
// build itself (add it through table_orders.h), which reports a bad
// expression with its number and text.
#pragma once

#include <optional>

#include "index/index_build.h"

class QWidget;

namespace orvex::view {

// The tag the user described, or nothing when the dialog was cancelled or
// the name or key was left empty. Texts are the library's (Windows-1252).
std::optional<TagDefinition> AskForTag(QWidget* parent);

}  // namespace orvex::view
