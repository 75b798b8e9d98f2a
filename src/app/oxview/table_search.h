// Searching a table tab's dataset for a value in one field (Ctrl+F, F3).
//
// FIND: when the active tag's key is exactly the field (and the search is
// not "contains" nor case-insensitive), the index is searched (TOxDbf Find
// for "starts with", FindExact for the whole value); with `nearest` a key
// that is missing leaves the dataset on the key that follows it, else on
// the record it stood on. Otherwise Locate: the first record in the active
// order (natural or tag) whose field equals, starts with or contains the
// value, case-insensitive when asked.
//
// NEXT (F3): from the record after the current one, in the active order,
// the next record that matches the same way. After an index search the
// matches stand together, so the walk ends at the first record that does
// not match.
//
// The dataset stays where it was when nothing is found. Records the
// dataset hides (a filter, hidden deleted records) are never found. The
// value is typed text (UTF-8); a character the table's code page cannot
// hold is a failure (EDatabaseError), as is an unknown field.
#pragma once

#include <string>

namespace orvex {
class TOxDbf;
}

namespace orvex::view {

enum class MatchMode { kWhole, kStartsWith, kContains };

struct SearchRequest {
  std::string field;  // the field's name
  std::string value;  // UTF-8
  MatchMode mode = MatchMode::kStartsWith;
  bool case_insensitive = false;
  bool nearest = false;  // index search only
};

enum class SearchWay { kNone, kIndex, kLocate };

struct SearchOutcome {
  bool found = false;
  SearchWay way = SearchWay::kNone;
};

// Whether `request` can be answered through the active tag of `table`.
bool IndexFits(TOxDbf& table, const SearchRequest& request);

SearchOutcome FindFirst(TOxDbf& table, const SearchRequest& request);
SearchOutcome FindNext(TOxDbf& table, const SearchRequest& request);

}  // namespace orvex::view
