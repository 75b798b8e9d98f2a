// Evaluating compiled expressions over the current records of the open work
// areas.
//
// A field without an alias is read from the area that is current at
// evaluation time; an aliased field from its area. A closed area, a field
// position the area does not have, or a table without records gives the
// blank value of the compiled type (C: the field length in blanks, N: 0,
// L: false, D: the empty date, M: no text). Memo text is read through the
// memo store's stream entry when the memo store is present and the table has a
// memo file, else it is empty.
//
// Text values are at most 255 characters: every operation that builds a text
// (concatenations included) cuts its result there.
//
// Evaluation allocates nothing (memo text excepted): the work stack and the
// work pool were sized when the expression was compiled.
#pragma once

#include <string>
#include <string_view>

#include "expr/compiled_expr.h"

namespace orvex {

// Runs the expression and returns the address of its result: the work pool's
// start for C and M (a NUL-terminated text), else the first work-stack value
// (a double for N and D, a 32-bit 0 or 1 for L). nullptr for a null
// expression, and after an error that stops the evaluation (354 work pool
// overflow); division by zero reports 358 and, when the report returns,
// goes on with 1e250. The result stays valid until the next evaluation of
// the same expression or its release.
const void* EvaluateExpr(CompiledExpr* expr);

// The last result of an evaluated expression, by type.
std::string_view ResultText(const CompiledExpr* expr);    // C and M
double ResultNumber(const CompiledExpr* expr);            // N and D
bool ResultLogical(const CompiledExpr* expr);             // L

// A result value as text: C and M as they are, N right-aligned in the
// expression's length with its decimals (STR rules), D as the national date
// text (DTOC), L as ".T." or ".F.".
std::string ValueToText(const CompiledExpr* expr, const void* value);

}  // namespace orvex
