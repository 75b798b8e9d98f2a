// National date texts and their conversions.
//
// Users see and type dates as national texts in the form of the current
// DateType (date_settings.h): 31.12.24, 12/31/2024, 24.12.31 ... Every parse
// passes through the canonical ("American") text MM/DD/YY or MM/DD/YYYY with
// leading zeros; the empty canonical text is "  /  /" plus 2 or 4 blanks.
//
// Texts are Windows-1252 bytes. The empty mask of a type is what the
// conversions produce for an empty date: "  /  /" (types 0, 2), ".  .  "
// after the year blanks (type 1), "  -  -" (3), "  .  ." (4..8), followed
// (or, for type 1, preceded) by 2 year blanks, or 4 when CenturyOn.
//
// Only DateFrom reports an error (220); everything else answers with the
// empty mask, 8 blanks, EmptyDayNumber, 0 or false.
#pragma once

#include <string>
#include <string_view>

#include "dates/day_number.h"

namespace orvex {

// The empty mask of a date type (current CenturyOn), e.g. "  .  .  " for
// type 5; a type above 8 is read as 0.
std::string EmptyDateText(int type);

// National text -> canonical text. The separator is '/' when present, else
// '-' when present, else '.'; a text with none of them is returned
// unchanged. The text is cut at its first NUL, split at the first two
// separators, each part trimmed; all parts empty gives the empty canonical
// text, some parts empty ("1.2": no year) the text unchanged. Parts shorter than 2 get a leading "0"; the order of the parts is
// month/day/year for type 0, year/month/day for type 1, day/month/year
// otherwise. With CenturyOn a two-digit year gets its century (CenturyOf) in
// front and a shorter-than-4 year is zero-padded to 4; without it the year
// stays as given.
std::string NationalToAmerican(std::string_view text);
// Canonical text -> national text of the current DateType (empty parts give
// the empty mask of DateType); month and day zero-padded, the year
// normalised as above.
std::string AmericanToNational(std::string_view american);

// True when `text` (trimmed, first 10 characters) is a valid date of the
// current DateType or an empty date; then `text` is replaced by its
// normalised national form (two-digit year when CenturyOn is off, four digits
// with a two-digit year widened when it is on; the empty mask for an empty
// date). False leaves `text` unchanged. Any of the separators / - . is
// accepted; the type decides the order. Two-digit years are completed with
// CenturyOf for the leap-year test; the year 0000 is refused.
bool CheckDateText(std::string& text);

// The national text of a date. A year below 100 is widened with
// CenturyOf(year) (and written with 2 digits when CenturyOn is off); years of
// 100 or more are written with 4 digits. Refused, with error 220 and the
// detail "[DateFrom(<year as written>,<month:2>,<day:2>)]": a month outside
// 1..12, a day outside 1..31, February 29..31 of a common year, and a year
// outside 0..9999; the result is then the empty mask. Success resets
// DbfErrorNo to 0. Only February is checked against the month length, so
// DateFrom(2023, 4, 31) yields the text 31.04.23 without an error.
std::string DateFrom(int year, int month, int day);

// DTOC: the national text of a day number in the form of DateType, the year
// with 4 digits when CenturyOn else year mod 100 with 2 digits; the empty mask
// for a day number outside the valid range. Type 8 is written DD/MM/YY (and
// its empty mask "  /  /"); type 7 is written DD.MM.YY like types 4..6.
std::string DateTextFromDayNumber(DayNumber x);
// CTOD: the day number of the first 10 characters of a national text, read
// with four-digit years (a two-digit year widened with CenturyOf);
// EmptyDayNumber for an empty, malformed or non-existent date.
DayNumber DayNumberFromDateText(std::string_view text);

// National text (first 10 characters) -> D field text YYYYMMDD, taking the
// characters of the parts as they stand (a two-digit year widened with
// CenturyOf, a shorter year zero-padded). Not checked against the calendar.
// An empty date, or a text that does not have the shape of a date (no
// separator, a missing part, a part longer than its place, a character that
// is not a digit), gives 8 blanks.
std::string DTextFromDateText(std::string_view text);
// The same for dates kept as display text (the unpacked record of a virtual
// work area): month, day and year are read as numbers (0 when not a number)
// with four-digit years and written zero-padded; 8 blanks when that gives
// "00000000".
std::string DTextFromDisplayDateText(std::string_view display_text);

// D field text YYYYMMDD (up to 8 characters, a shorter text read as padded
// with blanks) -> national text of the current DateType: the characters are
// arranged as they stand (MM/DD/Y for type 0, Y.MM.DD for type 1, DD-MM-Y for
// type 3, DD.MM.Y for types 4..8, DD/MM/Y otherwise), Y being the last 2 or
// all 4 year characters by CenturyOn. A blank D text gives the empty mask.
std::string DateTextFromDText(std::string_view d_text);

// The numbers of a national text, read from its canonical form: month
// (characters 1-2), day (4-5), year (7 to the end; a two-digit year stays
// two-digit), each 0 when not a number.
int MonthOfDateText(std::string_view text);
int DayOfDateText(std::string_view text);
int YearOfDateText(std::string_view text);
// Weekday 1 (Sunday) .. 7 (Saturday) of the date a national text denotes, a
// two-digit year widened with CenturyOf; 0 for an empty or invalid date.
int WeekdayOfDateText(std::string_view text);

// DateFrom of the local system date (year mod 100 when CenturyOn is off).
std::string TodayDateText();

}  // namespace orvex
