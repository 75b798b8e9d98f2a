#include "app/oxview/table_search.h"

#include "common/errors.h"
#include "dataset/ox_file_data_set.h"
#include "engine/navigation.h"
#include "engine/search.h"
#include "engine/work_area.h"
#include "platform/data/database_error.h"
#include "platform/data/field.h"
#include "platform/os/table_code_pages.h"

namespace orvex::view {
namespace {

// The value as the table's text (its own code page).
std::string TableText(TOxDbf& table, const SearchRequest& request) {
  std::string text;
  if (!os::Utf8ToCodePageText(table.TextCodePage(), request.value, &text))
    data::DatabaseError("The search value has a character that code page " +
                        std::to_string(table.TextCodePage()) + " does not hold");
  return text;
}

// What Locate is told to search: the field's name, followed by the
// engine's option word CONTAINED when the value may stand anywhere in it.
std::string FieldWithMatchWord(const SearchRequest& request) {
  return request.mode == MatchMode::kContains ? request.field + " CONTAINED" : request.field;
}

unsigned LocateOptions(const SearchRequest& request) {
  unsigned options = request.mode == MatchMode::kWhole ? 0u : unsigned{loPartialKey};
  if (request.case_insensitive) options |= loCaseInsensitive;
  return options;
}

}  // namespace

bool IndexFits(TOxDbf& table, const SearchRequest& request) {
  return request.mode != MatchMode::kContains && !request.case_insensitive &&
         table.KeyFieldsAreActiveKey(request.field);
}

SearchOutcome FindFirst(TOxDbf& table, const SearchRequest& request) {
  table.FieldByName(request.field);  // an unknown name fails here
  const std::string text = TableText(table, request);
  const data::TBookmark start = table.GetBookmark();
  SearchOutcome outcome;
  if (IndexFits(table, request)) {
    outcome.way = SearchWay::kIndex;
    outcome.found = request.mode == MatchMode::kWhole ? table.FindExact(text) : table.Find(text);
    if (!outcome.found && !request.nearest) table.GotoBookmark(start);
  } else {
    outcome.way = SearchWay::kLocate;
    outcome.found = table.Locate(FieldWithMatchWord(request), {LocateValue{text}}, LocateOptions(request));
    if (!outcome.found) table.GotoBookmark(start);
  }
  return outcome;
}

SearchOutcome FindNext(TOxDbf& table, const SearchRequest& request) {
  table.FieldByName(request.field);
  std::string text = TableText(table, request);
  const bool exact = request.mode == MatchMode::kWhole;
  SearchOutcome outcome;
  outcome.way = IndexFits(table, request) ? SearchWay::kIndex : SearchWay::kLocate;
  const data::TBookmark start = table.GetBookmark();
  // The engine's cursor on the dataset's record (s_Go selects the table's
  // area with its options), then a walk in the active order.
  table.s_Go(table.GetRecNo());
  if (exact) {
    // A whole C value is compared with its padding blanks, as Locate does.
    const int field = FieldNo(request.field);
    if (field > 0 && FieldType(field) == 'C' && static_cast<int>(text.size()) < FieldLen(field))
      text.resize(static_cast<std::size_t>(FieldLen(field)), ' ');
  }
  const std::string searched = FieldWithMatchWord(request);
  SKIP(1);
  while (!dEOF() && DbfErrorNo == 0) {
    if (RecordMatches(searched, LocateValue{text}, request.case_insensitive, exact)) {
      outcome.found = true;
      break;
    }
    if (outcome.way == SearchWay::kIndex) break;  // past the keys that match
    SKIP(1);
  }
  if (outcome.found) {
    table.RefreshFromEngine();
  } else {
    table.GotoBookmark(start);
  }
  return outcome;
}

}  // namespace orvex::view
