// The process-wide date settings: date type, four-digit years and the window
// of two-digit years, and the framework formats that follow them.
//
// The settings are plain globals, unguarded (the library runs on one thread).
// They initialise themselves when the program starts: DateType from the
// user's language (os::GetUserDefaultLangID, derived from LC_ALL /
// LC_MESSAGES / LANG), CenturyOn false, EpochYear = current local year - 70;
// at the same moment os::Formats() receives the short date format, the date
// separator and the numeric separators that belong to that date type.
//
// Date types (order of the parts, separator of the national texts, language
// of the names):
//   0 MM/DD/YY  English    1 YY.MM.DD  English    2 DD/MM/YY  English
//   3 DD-MM-YY  Italian    4 DD.MM.YY  French     5 DD.MM.YY  German
//   6 DD.MM.YY  Spanish    7 DD.MM.YY  French (Canadian)
//   8 DD.MM.YY  Russian (DTOC alone writes DD/MM/YY for this type)
// YY is two digits, or four when CenturyOn is set. A DateType above 8 (only
// possible by assigning the global directly) is read as type 0.
#pragma once

#include <cstdint>

namespace orvex {

// 0..8, see above. Change it with SetDateType so that the framework formats
// follow.
extern std::uint8_t DateType;
// Four-digit years in produced texts and in parsing.
extern bool CenturyOn;
// Base of the two-digit-year window: "yy" means a year in
// EpochYear .. EpochYear + 99.
extern std::int16_t EpochYear;

// Sets DateType (any value outside 0..8 becomes 0) and the framework's short
// date format and date separator (os::Formats()): type 0 "MM/dd/Y",
// 1 "Y.MM.dd", 2 "dd/MM/Y", 3 "dd-MM-Y", 4..8 "dd.MM.Y", with Y = "yyyy" when
// CenturyOn else "yy"; separator '/' (0, 2), '.' (1, 4..8) or '-' (3). The
// numeric separators are left alone. Call it again after changing CenturyOn
// to refresh the short date format.
void SetDateType(int type);

// The date type the start-up chooses for a Windows language identifier
// (primary language in the low 10 bits, sub-language above): German 5,
// English US 0, other English 2, Spanish 6, Canadian French 7, other
// French 4, Italian 3, Russian 8, anything else 0.
int DateTypeForLanguage(std::uint16_t lang_id);

// The century that a two-digit year yy (0..99) belongs to:
// (EpochYear div 100) * 100, plus 100 when yy < EpochYear mod 100.
// With EpochYear 1956: CenturyOf(55) = 2000, CenturyOf(56) = 1900.
int CenturyOf(int yy);

// Puts every setting back to its start-up value, reading the language and
// the clock again, and fills os::Formats() as the start-up does: the date
// format and separator of SetDateType, decimal separator ',' and thousands
// separator '.' for types 3..6, else '.' and ',' (a blank for type 8).
// Runs once at program start; tests call it to start from a known state.
void ResetDateSettings();

}  // namespace orvex
