// The grid columns of a table tab: which fields show, in which order, how
// wide, and aligned by type (numbers to the right).
#pragma once

#include "app/oxview/view_settings.h"

namespace orvex {
class TOxGrid;
}

namespace orvex::view {

// Gives the grid one column per entry of `layout` whose field the grid's
// open dataset has, in that order and width; an empty layout (or one that
// names none of the fields) shows every field at its default width. N and
// F fields are right-aligned, all others left-aligned.
void ApplyColumns(TOxGrid& grid, const ColumnLayout& layout);

// The grid's columns as they stand now (after the user moved or sized them).
ColumnLayout CurrentColumns(TOxGrid& grid);

// Every field of the dataset that the grid does not show.
std::vector<std::string> HiddenFields(TOxGrid& grid);

}  // namespace orvex::view
