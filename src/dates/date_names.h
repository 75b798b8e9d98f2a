// Weekday and month names in six languages.
//
// The names are byte strings in the OEM code pages, as table files store
// text: English, Italian, French, German and Spanish in code page 850,
// Russian in code page 866. Each language keeps its names in fixed-width
// slots padded with blanks; a name is returned with its padding.
//
//   language  day width  month width     date types
//   English       9          9           0, 1, 2 (and any other)
//   Italian       9          9           3
//   French        8          9           4, 7
//   German       10          9           5
//   Spanish       9         10           6
//   Russian      11          8           8
#pragma once

#include <string>
#include <string_view>

namespace orvex {

// The padded name of weekday 1 (Sunday) .. 7 (Saturday) in the language of
// the current DateType; 10 blanks for any other number.
std::string DayNameOf(int weekday);
// The padded name of month 1..12 in the language of the current DateType;
// 9 blanks for any other number.
std::string MonthNameOf(int month);

// CDOW of a national text: the day name of the date it denotes; 10 blanks for
// an empty or invalid date.
std::string DayName(std::string_view text);
// CMONTH of a national text: the name of its month; 9 blanks for an empty
// date or a month outside 1..12.
std::string MonthName(std::string_view text);

}  // namespace orvex
