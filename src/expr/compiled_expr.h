// Compiled dBASE expressions: the compiled form, compiling, freeing and the
// process-wide list of every compiled expression.
//
// AssignExpr compiles a text once; the code list is in postfix order and is
// run by EvaluateExpr (evaluator.h) as often as needed. Everything an
// evaluation needs (the work stack at its deepest size and the work pool) is
// allocated at compile time, so evaluating allocates nothing.
//
// Compiling and evaluating use process-wide state and are single-threaded and
// not re-entrant.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

namespace orvex {

// Value type codes of code entries and work-stack entries.
enum class ValueType : std::int32_t { kNone = 0, kC = 1, kN = 2, kL = 3, kD = 4, kM = 5 };

// The type letter of a value type ("C", "N", "L", "D", "M"; '?' for kNone).
char TypeLetter(ValueType t);

// Operation codes. 0 pushes the entry's constant, -1 ends the list; the rest
// name the operator or function applied to the values on the work stack.
enum Opcode : std::int32_t {
  kOpEnd = -1,
  kOpPush = 0,
  kOpField = 1,  // argc: field position (1-based); value.area: 0 = current area
  kOpAddN, kOpAddC,  // AddN also serves N+D and D+N
  kOpSubN, kOpSubC,  // SubN also serves D-N and D-D
  kOpMul, kOpDiv, kOpPow, kOpNeg,
  kOpEqN, kOpEqC, kOpEqL, kOpNeN, kOpNeC, kOpNeL,
  kOpLtN, kOpLtC, kOpGtN, kOpGtC, kOpLeN, kOpLeC, kOpGeN, kOpGeC,
  kOpEqEq, kOpContains,
  kOpAnd, kOpOr, kOpNot,
  kOpFunction = 100,  // + static_cast<int>(Func)
};

// One entry of the code list or of the work stack. On the work stack a C value
// is a text in the work pool: value.text points at it and argc holds its
// length (the text is also NUL-terminated).
struct CodeEntry {
  std::int32_t opcode = kOpPush;
  std::int32_t argc = 0;
  ValueType type = ValueType::kNone;
  union {
    double number;      // N and D (a DayNumber)
    std::int32_t logical;  // L: 0 or 1; also the work area of a field read
    const char* text;   // C and M
  } value{0.0};
};

struct CompiledExpr {
  std::string source;          // copy of the expression text
  char result_type = 'C';      // 'C', 'N', 'L', 'D' or 'M'
  std::uint16_t result_length = 0;
  std::uint8_t decimals = 0;   // for N results; 0 otherwise
  const void* result = nullptr;  // the pool start (C, M) or &work[0].value (N, D, L)
  std::deque<std::string> literals;  // string literals; their addresses never move
  std::vector<CodeEntry> code;       // postfix code ending with kOpEnd
  std::vector<CodeEntry> work;       // the work stack at its deepest size
  std::uint16_t pool_size = 0;       // size of the work pool; 0 = none
  std::vector<char> pool;            // pool_size bytes, at least 1 (the result "" when empty)
};

// Options. MemoWidth is the work-pool size of an expression whose result is a
// memo (its text is cut to MemoWidth - 1 characters); DefaultDecimals is the
// number of decimals of computed numbers.
extern std::uint16_t MemoWidth;
extern std::uint8_t DefaultDecimals;

// Every compiled expression that has not been freed, oldest first.
extern std::vector<CompiledExpr*> CompiledExprs;

// Compiles `text` (cut to 255 characters). Resets a DbfErrorNo of 350 to 363
// first. On failure reports through SetError (351 syntax and type errors, 217
// memory) and returns nullptr; nothing stays allocated.
CompiledExpr* AssignExpr(std::string_view text);

// Releases an expression of the list; a pointer not in the list (nullptr,
// already freed, foreign) is left alone.
void FreeExpr(CompiledExpr* expr);

// Checks a key expression (as_key) or a condition without raising: 0 when
// usable, 359 empty text, 360 key longer than 220 characters, the compile
// error's number (351, ...), 361 a key of type M or L, 362 a condition that is
// not L. DbfErrorNo is 0 afterwards; AutoReport and MemoWidth are restored.
int CheckExprText(std::string_view text, bool as_key);

// Frees every compiled expression and restores the options (tests).
void ResetExprState();

}  // namespace orvex
