#include "expr/keywords.h"

#include <array>

namespace orvex {
namespace {

using enum Func;
constexpr WordKind F = WordKind::kFunction;

// Searched in order; ends with "$EOT$", the unknown word.
constexpr Keyword kTable[] = {
    {"ABS", F, kAbs, 0},
    {"ASC", F, kAsc, 0},
    {"AT", F, kAt, 0},
    {"CDOW", F, kCdow, 15},
    {"CHR", F, kChr, 2},
    {"CMON", F, kCmonth, 15},
    {"CMONT", F, kCmonth, 15},
    {"CMONTH", F, kCmonth, 15},
    {"CTOD", F, kCtod, 0},
    {"DATE", F, kDate, 0},
    {"DAY", F, kDay, 0},
    {"DELE", F, kDeleted, 0},
    {"DELET", F, kDeleted, 0},
    {"DELETE", F, kDeleted, 0},
    {"DELETED", F, kDeleted, 0},
    {"DOW", F, kDow, 0},
    {"DTOC", F, kDtoc, 11},
    {"DTOS", F, kDtos, 9},
    {"IIF", F, kIif, 256},
    {"INT", F, kInt, 0},
    {"LEFT", F, kLeft, 0},
    {"LEN", F, kLen, 0},
    {"LOWE", F, kLower, 0},
    {"LOWER", F, kLower, 0},
    {"LTRI", F, kLtrim, 0},
    {"LTRIM", F, kLtrim, 0},
    {"MAX", F, kMax, 0},
    {"MIN", F, kMin, 0},
    {"MOD", F, kMod, 0},
    {"MONT", F, kMonth, 0},
    {"MONTH", F, kMonth, 0},
    {"RECN", F, kRecno, 0},
    {"RECNO", F, kRecno, 0},
    {"REPL", F, kReplicate, 256},
    {"REPLI", F, kReplicate, 256},
    {"REPLIC", F, kReplicate, 256},
    {"REPLICA", F, kReplicate, 256},
    {"REPLICAT", F, kReplicate, 256},
    {"REPLICATE", F, kReplicate, 256},
    {"RIGH", F, kRight, 0},
    {"RIGHT", F, kRight, 0},
    {"ROUN", F, kRound, 0},
    {"ROUND", F, kRound, 0},
    {"RTRI", F, kRtrim, 0},
    {"RTRIM", F, kRtrim, 0},
    {"SOUN", F, kSoundex, 15},
    {"SOUND", F, kSoundex, 15},
    {"SOUNDE", F, kSoundex, 15},
    {"SOUNDEX", F, kSoundex, 15},
    {"SPAC", F, kSpace, 256},
    {"SPACE", F, kSpace, 256},
    {"STR", F, kStr, 256},
    {"STUF", F, kStuff, 0},
    {"STUFF", F, kStuff, 0},
    {"SUBS", F, kSubstr, 0},
    {"SUBST", F, kSubstr, 0},
    {"SUBSTR", F, kSubstr, 0},
    {"TRIM", F, kTrim, 0},
    {"UPPE", F, kUpper, 0},
    {"UPPER", F, kUpper, 0},
    {"VAL", F, kVal, 0},
    {"YEAR", F, kYear, 0},
    {".F.", WordKind::kFalse, kAbs, 0},
    {".T.", WordKind::kTrue, kAbs, 0},
    {".NOT.", WordKind::kNot, kAbs, 0},
    {".OR.", WordKind::kOr, kAbs, 0},
    {".AND.", WordKind::kAnd, kAbs, 0},
    {"$EOT$", WordKind::kUnknown, kAbs, 0},
};

struct FuncInfo {
  std::string_view name;
  int arity;
};

constexpr std::array<FuncInfo, static_cast<int>(kCount)> kFuncs = {{
    {"ABS", 1},     {"ASC", 1},     {"AT", 2},        {"CDOW", 1},  {"CHR", 1},
    {"CMONTH", 1},  {"CTOD", 1},    {"DATE", 0},      {"DAY", 1},   {"DELETED", 0},
    {"DOW", 1},     {"DTOC", 1},    {"DTOS", 1},      {"IIF", 3},   {"INT", 1},
    {"LEFT", 2},    {"LEN", 1},     {"LOWER", 1},     {"LTRIM", 1}, {"MAX", 2},
    {"MIN", 2},     {"MOD", 2},     {"MONTH", 1},     {"RECNO", 0}, {"REPLICATE", 2},
    {"RIGHT", 2},   {"ROUND", 2},   {"RTRIM", 1},     {"SOUNDEX", 1}, {"SPACE", 1},
    {"STR", 1},     {"STUFF", 4},   {"SUBSTR", 3},    {"TRIM", 1},  {"UPPER", 1},
    {"VAL", 1},     {"YEAR", 1},
}};

}  // namespace

const Keyword& LookupKeyword(std::string_view word) {
  constexpr int n = sizeof(kTable) / sizeof(kTable[0]);
  for (int i = 0; i < n - 1; ++i)
    if (kTable[i].spelling == word) return kTable[i];
  return kTable[n - 1];
}

std::string_view FunctionName(Func f) { return kFuncs[static_cast<int>(f)].name; }

int FunctionArity(Func f) { return kFuncs[static_cast<int>(f)].arity; }

}  // namespace orvex
