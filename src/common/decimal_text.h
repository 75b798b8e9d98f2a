// Numbers as decimal text, rounded the way dBASE users expect.
//
// A double is taken as the shortest decimal that reads back as the same
// double: 2.675 is "2.675" (what a user typed or a field stored), not the
// binary neighbour 2.67499999... that plain formatting would round down.
// Whole numbers from 2^53 on are written with their exact digits.
// That decimal is rounded half away from zero, so STR(2.5) is "3" and
// ROUND(2.57, 2) is 2.57. Every place that turns a number into text (STR,
// N and F fields, the tool's output) goes through here, so all agree.
#pragma once

#include <string>

namespace orvex {

inline constexpr int kMaxDecimalPlaces = 300;
inline constexpr int kMaxDecimalText = 320 + kMaxDecimalPlaces;  // room for any double

// `value` with exactly `decimals` (0..kMaxDecimalPlaces) digits after the
// point and no point for 0; "-" only when the rounded value is not zero.
// Writes into `out` (room for kMaxDecimalText characters, no NUL) without
// allocating and answers the length; 0 for infinities and NaN.
int FormatDecimal(double value, int decimals, char* out);
// The same as a string ("" for infinities and NaN).
std::string DecimalText(double value, int decimals);

// `value` rounded half away from zero to `decimals` places (negative counts
// round to tens, hundreds, ...), as the double nearest that decimal.
double RoundDecimal(double value, int decimals);

}  // namespace orvex
