// The framework's date values and the two conversions between dates and the
// short date text of os::Formats().
//
// TDateTime counts days since 30 December 1899 (day 0) in a double; the
// fraction is the time of day. Date fields keep their value in a record
// buffer as a day count of their own (TDateTimeRecDate): 1 = 1 January of
// year 1, so TDateTime = date - kDateDelta.
#pragma once

#include <cstdint>
#include <string>

namespace orvex::data {

using TDateTime = double;

// Days from 1 January of year 1 (day 1) to 30 December 1899 (TDateTime 0).
inline constexpr std::int32_t kDateDelta = 693594;

struct TDate {
  int year = 0, month = 0, day = 0;
};

// False (and *value untouched) when the date does not exist or lies outside
// years 1..9999.
bool TryEncodeDate(int year, int month, int day, TDateTime* value);
// The calendar date of the day a value falls on (the fraction dropped); the
// proleptic Gregorian calendar, valid for any day count.
TDate DecodeDate(TDateTime value);
// True when the value's day lies in years 1..9999.
bool IsValidDate(TDateTime value);

// The value as text in the short date format: d/dd, M/MM, yy/yyyy (any case)
// stand for the parts, '/' for the date separator, anything else is copied.
// "yyyy" writes the year with at least 4 digits.
std::string DateToStr(TDateTime value);
// The same text written into `text`, replacing what it held (no allocation
// once `text` has room for it).
void DateToStr(TDateTime value, std::string& text);

// Reads a date written in the order of the short date format (day, month and
// year; month, day and year; or year, month and day): three numbers separated
// by the date separator (also '/', '-' or '.'), blanks ignored. A year of one
// or two digits lies in the current century. False for anything else and for
// dates that do not exist.
bool TryStrToDate(const std::string& text, TDateTime* value);
// The same, raising EConvertError "'<text>' is not a valid date".
TDateTime StrToDate(const std::string& text);

}  // namespace orvex::data
