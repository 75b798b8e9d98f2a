// Sequential search: Locate finds the first record, in natural record order,
// whose field equals (or starts with, or contains) a value; Continue finds the
// next one. The scan reads field text with Peek (through its cache when
// PeekCacheLimit is set) and moves the area only to the record it finds.
//
// Matching rules, for a search text prepared once per Locate (trailing blanks
// removed unless EXACT; upper-cased with NOCASE):
//   - default: the field starts with the search text (a prefix match);
//   - EXACT: the whole stored field, padding blanks included, equals the
//     untrimmed search text;
//   - CONTAINED: the search text occurs anywhere in the field;
//   - NOCASE: both sides are compared in upper case;
//   - memo fields: the memo (through the memo store) matches when the search
//     text occurs in one of its lines; a block number <= 0 never matches.
// Field text is compared as stored in the file: the search text is brought
// into the table's code page (OEM unless the table is ANSI) instead of
// converting each record. Virtual areas are searched by moving to each record
// and formatting the field's unpacked value.
//
// A found record that is not visible (a hidden deleted record, or filtered
// out) is passed over: the search continues until a visible record is found
// or the end of file is reached. Without a match the area ends at end of file
// and the search becomes inactive.
//
// One search state exists per process; Continue resumes the last Locate of
// the area it was made in.
#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "dates/day_number.h"

namespace orvex {

// A date value of the caller (a day number, see dates/day_number.h).
struct LocateDate {
  DayNumber day = EmptyDayNumber;
};

// The value to find as the caller's language hands it over. It is turned
// into search text by the type of the searched field:
//   C, M: the value as text (numbers in decimal with the current decimal
//         separator, logicals "True"/"False", dates in the DateType form);
//   D:    a text in the form of the current DateType, or a LocateDate, as
//         YYYYMMDD;
//   N, F: a number (or a text holding one) formatted with the field length
//         as width and the field's decimals (an integer when it has none);
//   L:    "T" for true, "F" for false (numbers: non-zero is true; texts: T,
//         Y, TRUE, .T. and F, N, FALSE, .F. in any case).
// A value that does not suit the field reports error 220 "Ungültiger
// Suchwert für Feld <name>: <value> [Locate]".
using LocateValue = std::variant<std::string, std::int64_t, double, bool, LocateDate>;

// The process-wide search state.
struct SearchState {
  std::string text;            // prepared search text (library text, Windows-1252)
  int field = 0;               // field searched; 0 = no search active
  int area = 0;                // work area of the search
  std::string alias;           // and the alias of its table
  bool case_sensitive = true;  // false with NOCASE
  bool exact = false;          // EXACT
  bool contained = false;      // CONTAINED
};
extern SearchState Search;

// Clears the search state (tests and start-up).
void ResetSearchState();

// Parses a search specification "<field> [NOCASE] [EXACT] [CONTAINED]" of
// the current area: trims and upper-cases it, takes the whole-word keywords
// out into the three flags of Search and looks up the rest with FieldNo.
// Returns the field number, or 0 after error 215 (no table, "Locate/Count/Sum"),
// 220 "No field name specified [Locate/Count/Sum]" or 220 "Unrecognized
// field name [Locate/Count/Sum(<name>)]".
int ParseSearchSpec(const std::string& search_spec);

// Locate(field name, value, no-case, exact): searches the current area from
// record 1. The field name is trimmed and cut at its first blank; option words
// after it (NOCASE, EXACT, CONTAINED) are kept, and the flags add NOCASE and
// EXACT. True when a visible record was found: the area stands on it. False at
// end of file, and after an error (the area is then not moved).
bool Locate(const std::string& field_name, const LocateValue& value, bool no_case = false,
            bool exact = false);

// Locate with several fields: names separated by ";" and one value per name.
// Each pair is tried with a full Locate; the first that finds a record ends
// with true, otherwise the result is that of the last pair. A list whose
// number of names differs from the number of values reports 220 "Number of
// values does not match the field list [Locate(<list>)]".
bool Locate(const std::string& field_list, const std::vector<LocateValue>& values,
            bool no_case = false, bool exact = false);

// Whether the current record matches `value` in field `field_name` as
// Locate would match it (same names, options and flags), without moving and
// leaving the search state as it was. False at end of file and after an
// error (reported as Locate reports it).
bool RecordMatches(const std::string& field_name, const LocateValue& value, bool no_case = false,
                   bool exact = false);

// Continue: searches on from the record after the current one. Without an
// active search in the current area: error 220 "Call to CONTINUE not
// preceeded by call to LOCATE. [Continue]" and false.
bool Continue();

}  // namespace orvex
