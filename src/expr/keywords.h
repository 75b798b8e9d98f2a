// The words of the expression language: function names with every accepted
// abbreviation, the logical constants and the logical operator words.
//
// Each spelling is an entry of its own; lookup is exact (the lexer has already
// upper-cased the identifier). Every entry carries the work-pool width that a
// compiled expression reserves for the word's result text.
#pragma once

#include <cstdint>
#include <string_view>

namespace orvex {

// The functions of the expression language, in the order of the keyword table.
enum class Func : std::int32_t {
  kAbs, kAsc, kAt, kCdow, kChr, kCmonth, kCtod, kDate, kDay, kDeleted, kDow, kDtoc, kDtos,
  kIif, kInt, kLeft, kLen, kLower, kLtrim, kMax, kMin, kMod, kMonth, kRecno, kReplicate,
  kRight, kRound, kRtrim, kSoundex, kSpace, kStr, kStuff, kSubstr, kTrim, kUpper, kVal,
  kYear,
  kCount
};

// What a keyword stands for.
enum class WordKind { kFunction, kTrue, kFalse, kNot, kAnd, kOr, kUnknown };

struct Keyword {
  std::string_view spelling;
  WordKind kind;
  Func func;                 // meaningful for kFunction
  std::uint16_t pool_width;  // bytes reserved in the work pool
};

// The entry for an exact spelling; the "$EOT$" entry (kind kUnknown, pool
// width 0) when the word is not in the table.
const Keyword& LookupKeyword(std::string_view word);

// The canonical name of a function ("CMONTH" for every spelling of it).
std::string_view FunctionName(Func f);

// The fixed number of arguments of a function; STR, the only function with a
// variable count, answers 1 (it also accepts 2 and 3).
int FunctionArity(Func f);

}  // namespace orvex
