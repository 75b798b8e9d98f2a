// Decimal conversions of the expression engine. They never depend on the C
// locale: the decimal point is always ".".
#pragma once

#include <cstddef>
#include <string_view>

namespace orvex {

// A number literal of an expression: the whole text must be digits with an
// optional "." part and an optional exponent. False for anything else.
bool ParseNumberLiteral(std::string_view text, double* value);

// The standard decimal conversion of a field text or of VAL: leading blanks
// are skipped, then the longest prefix of the form [sign] digits [. digits]
// [E [sign] digits] is converted; a text without such a prefix gives 0 (an
// all-blank N field, a row of "*", "ABC").
double ParseDecimal(const char* text, std::size_t length);

// STR: `value` with `decimals` decimals right-aligned in `width` characters,
// or `width` asterisks when the text is longer. Width is limited to 255 and
// negative values of width or decimals count as 0. Writes at most 255
// characters plus NUL to `out` and returns the length.
int FormatStr(double value, int width, int decimals, char* out);

}  // namespace orvex
