// The semantic actions of the grammar: type rules and code emission into the
// expression being compiled. Used by the generated parser and by AssignExpr;
// not an interface for other units.
#pragma once

#include <cstdint>
#include <initializer_list>

#include "expr/compiled_expr.h"
#include "expr/keywords.h"

namespace orvex {

// The value of a token or of a reduced expression.
struct SemValue {
  ValueType type = ValueType::kNone;  // of an expression, or of a field token
  Func func = Func::kAbs;             // function tokens
  double number = 0;                  // NUMBER
  const char* text = nullptr;         // STRING: the literal's characters
  int length = 0;                     // STRING: its length
  int field = 0;                      // FIELD: 1-based position
  int area = 0;                       // FIELD: work area, 0 = the current one
};

enum class UnaryOp { kNot, kPlus, kMinus };
enum class BinaryOp {
  kPlus, kMinus, kTimes, kDivide, kPower, kEq, kNe, kLt, kGt, kLe, kGe, kEqEq, kContains,
  kAnd, kOr
};

// Each Emit function checks the operand types, appends the code entry and
// stores the result type in `out`; on a type error it reports 351 and answers
// false (the action then aborts the parse).
bool EmitNumber(double value, SemValue* out);
bool EmitText(const char* text, int length, SemValue* out);
bool EmitLogical(bool value, SemValue* out);
bool EmitField(int position, int area, ValueType type, SemValue* out);
bool EmitUnary(UnaryOp op, ValueType operand, SemValue* out);
bool EmitBinary(BinaryOp op, ValueType left, ValueType right, SemValue* out);
bool EmitCall(Func func, std::initializer_list<ValueType> args, SemValue* out);
void EmitEnd(ValueType type);

// Runs the generated parser over the lexer's input: 0 accepted, 1 syntax or
// type error, 2 state stack exhausted.
int RunParser();

}  // namespace orvex
