// The filter of a table tab: a dBASE condition (YEAR > 1960 .AND. "Kubrick"
// $ DIRECTOR) that hides every record it rejects from the dataset, in
// every order, for moves, searches and exports alike.
//
// The condition is compiled once, in the table's work area, and kept by the
// work area (which frees it when the table closes); navigation evaluates it
// for each record it reaches. Setting a filter puts the dataset on its
// first visible record.
#pragma once

#include <string>

namespace orvex {
class TOxDbf;
}

namespace orvex::view {

// Sets the condition (typed text, UTF-8; "" removes the filter). A
// condition that does not compile, or whose result is not logical (362),
// fails through the library's reporting path and leaves the filter as it
// was; so does a character the table's code page cannot hold.
void SetFilter(TOxDbf& table, const std::string& condition);

}  // namespace orvex::view
