// Compiling: type rules and code emission (the grammar's semantic actions),
// AssignExpr with its result type, length and decimals, FreeExpr,
// CheckExprText and the process-wide list.
#include <algorithm>
#include <array>
#include <new>

#include "common/errors.h"
#include "common/names.h"
#include "expr/compiler.h"
#include "expr/lexer.h"

namespace orvex {

std::uint16_t MemoWidth = 256;
std::uint8_t DefaultDecimals = 2;
std::vector<CompiledExpr*> CompiledExprs;

namespace {

using VT = ValueType;

// The expression receiving code, and the work-stack depth of its code so far.
struct EmitState {
  CompiledExpr* target = nullptr;
  int depth = 0;
  int max_depth = 0;
  bool reported = false;  // a type error has been reported
};
EmitState S;

void Report351(const std::string& reason) {
  SetError(351, "Fehler in dBASE-Ausdruck : " + reason + "\r\n" + ErrorWindow() +
                    "\r\n [AssignExpr]");
}

void Append(CodeEntry entry, int pops, int pushes) {
  S.target->code.push_back(entry);
  S.depth += pushes - pops;
  S.max_depth = std::max(S.max_depth, S.depth);
}

void Push(ValueType type, CodeEntry entry) {
  entry.opcode = kOpPush;
  entry.type = type;
  Append(entry, 0, 1);
}

bool TypeError(const char* what, std::string_view name) {
  Report351(std::string("PARSER:Unvereinbare Typen in ") + what + " \"" + std::string(name) +
            "\"");
  S.reported = true;
  return false;
}

const char* BinaryName(BinaryOp op) {
  switch (op) {
    case BinaryOp::kPlus: return "+";
    case BinaryOp::kMinus: return "-";
    case BinaryOp::kTimes: return "*";
    case BinaryOp::kDivide: return "/";
    case BinaryOp::kPower: return "** or ^";
    case BinaryOp::kEq: return "=";
    case BinaryOp::kNe: return "<>";
    case BinaryOp::kLt: return "<";
    case BinaryOp::kGt: return ">";
    case BinaryOp::kLe: return "<=";
    case BinaryOp::kGe: return ">=";
    case BinaryOp::kEqEq: return "==";
    case BinaryOp::kContains: return "$";
    case BinaryOp::kAnd: return ".AND.";
    case BinaryOp::kOr: return ".OR.";
  }
  return "?";
}

// The opcode and result type of a binary operator on the given operand types;
// opcode 0 when the combination is not allowed.
std::pair<int, VT> BinaryRule(BinaryOp op, VT a, VT b) {
  auto both = [&](VT t) { return a == t && b == t; };
  bool numeric = both(VT::kN) || both(VT::kD);
  switch (op) {
    case BinaryOp::kPlus:
      if (both(VT::kN)) return {kOpAddN, VT::kN};
      if ((a == VT::kN && b == VT::kD) || (a == VT::kD && b == VT::kN)) return {kOpAddN, VT::kD};
      if (both(VT::kC)) return {kOpAddC, VT::kC};
      break;
    case BinaryOp::kMinus:
      if (both(VT::kN) || both(VT::kD)) return {kOpSubN, VT::kN};
      if (a == VT::kD && b == VT::kN) return {kOpSubN, VT::kD};
      if (both(VT::kC)) return {kOpSubC, VT::kC};
      break;
    case BinaryOp::kTimes:
      if (both(VT::kN)) return {kOpMul, VT::kN};
      break;
    case BinaryOp::kDivide:
      if (both(VT::kN)) return {kOpDiv, VT::kN};
      break;
    case BinaryOp::kPower:
      if (both(VT::kN)) return {kOpPow, VT::kN};
      break;
    case BinaryOp::kEq:
      if (numeric) return {kOpEqN, VT::kL};
      if (both(VT::kC)) return {kOpEqC, VT::kL};
      if (both(VT::kL)) return {kOpEqL, VT::kL};
      break;
    case BinaryOp::kNe:
      if (numeric) return {kOpNeN, VT::kL};
      if (both(VT::kC)) return {kOpNeC, VT::kL};
      if (both(VT::kL)) return {kOpNeL, VT::kL};
      break;
    case BinaryOp::kLt:
      if (numeric || both(VT::kC)) return {numeric ? kOpLtN : kOpLtC, VT::kL};
      break;
    case BinaryOp::kGt:
      if (numeric || both(VT::kC)) return {numeric ? kOpGtN : kOpGtC, VT::kL};
      break;
    case BinaryOp::kLe:
      if (numeric || both(VT::kC)) return {numeric ? kOpLeN : kOpLeC, VT::kL};
      break;
    case BinaryOp::kGe:
      if (numeric || both(VT::kC)) return {numeric ? kOpGeN : kOpGeC, VT::kL};
      break;
    case BinaryOp::kEqEq:
      if (both(VT::kC)) return {kOpEqEq, VT::kL};
      break;
    case BinaryOp::kContains:
      if (both(VT::kC)) return {kOpContains, VT::kL};
      break;
    case BinaryOp::kAnd:
      if (both(VT::kL)) return {kOpAnd, VT::kL};
      break;
    case BinaryOp::kOr:
      if (both(VT::kL)) return {kOpOr, VT::kL};
      break;
  }
  return {0, VT::kNone};
}

// Argument types and result type of each function, as letters: "N:C" takes a
// C and gives an N. MAX and MIN (N,N or D,D) and STR (1 to 3 N) are checked
// apart.
constexpr std::array<const char*, static_cast<int>(Func::kCount)> kSignatures = {
    "N:N",     // ABS
    "N:C",     // ASC
    "N:CC",    // AT
    "C:D",     // CDOW
    "C:N",     // CHR
    "C:D",     // CMONTH
    "D:C",     // CTOD
    "D:",      // DATE
    "N:D",     // DAY
    "L:",      // DELETED
    "N:D",     // DOW
    "C:D",     // DTOC
    "C:D",     // DTOS
    "C:LCC",   // IIF
    "N:N",     // INT
    "C:CN",    // LEFT
    "N:C",     // LEN
    "C:C",     // LOWER
    "C:C",     // LTRIM
    "N:NN",    // MAX
    "N:NN",    // MIN
    "N:NN",    // MOD
    "N:D",     // MONTH
    "N:",      // RECNO
    "C:CN",    // REPLICATE
    "C:CN",    // RIGHT
    "N:NN",    // ROUND
    "C:C",     // RTRIM
    "C:C",     // SOUNDEX
    "C:N",     // SPACE
    "C:NNN",   // STR (a prefix of the arguments)
    "C:CNNC",  // STUFF
    "C:CNN",   // SUBSTR
    "C:C",     // TRIM
    "C:C",     // UPPER
    "N:C",     // VAL
    "N:D",     // YEAR
};

VT FromLetter(char c) {
  switch (c) {
    case 'C': return VT::kC;
    case 'N': return VT::kN;
    case 'L': return VT::kL;
    case 'D': return VT::kD;
    default: return VT::kM;
  }
}

// The result type of a call, kNone when the argument types do not fit.
VT CallResult(Func func, std::initializer_list<VT> args) {
  if (func == Func::kMax || func == Func::kMin) {
    VT a = *args.begin(), b = *(args.begin() + 1);
    return a == b && (a == VT::kN || a == VT::kD) ? a : VT::kNone;
  }
  const char* sig = kSignatures[static_cast<int>(func)];
  const char* want = sig + 2;
  std::size_t i = 0;
  for (VT arg : args) {
    if (want[i] == '\0' || FromLetter(want[i]) != arg) return VT::kNone;
    ++i;
  }
  return FromLetter(sig[0]);
}

// Result length of the whole expression from what the lexer collected.
std::uint16_t ResultLength(char type, int decimals, std::uint32_t pool_size) {
  int last = ExprLexer.last_length;
  switch (type) {
    case 'C': return pool_size == static_cast<std::uint32_t>(last) + 1 ? last : 0;
    case 'D': return 8;
    case 'L': return 1;
    case 'M': return static_cast<std::uint16_t>(pool_size);
    default: return last >= decimals + 2 ? last : decimals + 11;
  }
}

void Release(CompiledExpr* expr) {
  auto it = std::find(CompiledExprs.begin(), CompiledExprs.end(), expr);
  if (it == CompiledExprs.end()) return;
  CompiledExprs.erase(it);
  delete expr;
}

// Compiles into `expr` (already in the list). False after a reported failure.
bool Compile(CompiledExpr* expr, std::string_view text) {
  StartLexer(text);
  S = EmitState();
  S.target = expr;
  int result = RunParser();
  S.target = nullptr;
  if (result == 2) {
    Report351("Parser_stack_overflow");
    return false;
  }
  if (result != 0) {
    if (!S.reported) Report351("Syntax error");
    return false;
  }
  expr->source = std::string(text);
  if (expr->result_type == 'M') ExprLexer.pool_size = MemoWidth;
  if (ExprLexer.pool_size > 0xFFFF) {
    SetError(217, " [AssignExpr]");
    return false;
  }
  expr->pool_size = static_cast<std::uint16_t>(ExprLexer.pool_size);
  expr->pool.assign(std::max<std::size_t>(expr->pool_size, 1), '\0');
  expr->work.resize(std::max(S.max_depth, 1));
  int decimals = ExprLexer.decimals < 0 ? DefaultDecimals : ExprLexer.decimals;
  expr->result_length = ResultLength(expr->result_type, decimals, expr->pool_size);
  expr->decimals = expr->result_type == 'N' ? static_cast<std::uint8_t>(decimals) : 0;
  bool in_pool = expr->result_type == 'C' || expr->result_type == 'M';
  expr->result = in_pool ? static_cast<const void*>(expr->pool.data())
                         : static_cast<const void*>(&expr->work[0].value);
  return true;
}

}  // namespace

char TypeLetter(ValueType t) {
  static constexpr char kLetters[] = "?CNLDM";
  int i = static_cast<int>(t);
  return i >= 0 && i <= 5 ? kLetters[i] : '?';
}

bool EmitNumber(double value, SemValue* out) {
  CodeEntry e;
  e.value.number = value;
  Push(VT::kN, e);
  out->type = VT::kN;
  return true;
}

bool EmitText(const char* text, int length, SemValue* out) {
  S.target->literals.emplace_back(text, length);
  CodeEntry e;
  e.value.text = S.target->literals.back().c_str();
  e.argc = length;
  Push(VT::kC, e);
  out->type = VT::kC;
  return true;
}

bool EmitLogical(bool value, SemValue* out) {
  CodeEntry e;
  e.value.logical = value ? 1 : 0;
  Push(VT::kL, e);
  out->type = VT::kL;
  return true;
}

bool EmitField(int position, int area, ValueType type, SemValue* out) {
  CodeEntry e;
  e.opcode = kOpField;
  e.argc = position;
  e.type = type;
  e.value.logical = area;
  Append(e, 0, 1);
  out->type = type;
  return true;
}

bool EmitUnary(UnaryOp op, ValueType operand, SemValue* out) {
  static constexpr const char* kNames[] = {".NOT.", "Unary +", "Unary -"};
  VT want = op == UnaryOp::kNot ? VT::kL : VT::kN;
  if (operand != want) return TypeError("Ausdruck", kNames[static_cast<int>(op)]);
  if (op != UnaryOp::kPlus) {
    CodeEntry e;
    e.opcode = op == UnaryOp::kNot ? kOpNot : kOpNeg;
    e.type = want;
    Append(e, 1, 1);
  }
  out->type = want;
  return true;
}

bool EmitBinary(BinaryOp op, ValueType left, ValueType right, SemValue* out) {
  auto [opcode, result] = BinaryRule(op, left, right);
  if (opcode == 0) return TypeError("Ausdruck", BinaryName(op));
  CodeEntry e;
  e.opcode = opcode;
  e.argc = 2;
  e.type = result;
  Append(e, 2, 1);
  out->type = result;
  return true;
}

bool EmitCall(Func func, std::initializer_list<ValueType> args, SemValue* out) {
  VT result = CallResult(func, args);
  if (result == VT::kNone) return TypeError("Funktion", FunctionName(func));
  CodeEntry e;
  e.opcode = kOpFunction + static_cast<int>(func);
  e.argc = static_cast<int>(args.size());
  e.type = result;
  Append(e, e.argc, 1);
  out->type = result;
  return true;
}

void EmitEnd(ValueType type) {
  CodeEntry e;
  e.opcode = kOpEnd;
  e.type = type;
  S.target->code.push_back(e);
  S.target->result_type = TypeLetter(type);
}

CompiledExpr* AssignExpr(std::string_view text) {
  if (DbfErrorNo >= 350 && DbfErrorNo <= 363) DbfErrorNo = 0;
  CompiledExpr* expr = new (std::nothrow) CompiledExpr;
  if (expr == nullptr) {
    SetError(217, " [AssignExpr]");
    return nullptr;
  }
  bool ok = false;
  try {
    CompiledExprs.push_back(expr);
    ok = Compile(expr, text);
  } catch (const std::bad_alloc&) {
    SetError(217, " [AssignExpr]");
  } catch (...) {
    // The report raised (RaiseOnError): nothing stays allocated.
    S.target = nullptr;
    Release(expr);
    throw;
  }
  if (!ok) {
    Release(expr);
    return nullptr;
  }
  return expr;
}

void FreeExpr(CompiledExpr* expr) { Release(expr); }

int CheckExprText(std::string_view text, bool as_key) {
  std::string trimmed = TrimBoth(text);
  if (trimmed.empty()) return 359;
  if (as_key && trimmed.size() > 220) return 360;
  bool auto_report = SetAutoReport(false);
  std::uint16_t memo_width = MemoWidth;
  MemoWidth = 0;
  int code = 0;
  CompiledExpr* expr = AssignExpr(trimmed);
  if (expr == nullptr) {
    code = DbfErrorNo;
  } else {
    char type = expr->result_type;
    if (as_key)
      code = type == 'M' || type == 'L' ? 361 : 0;
    else
      code = type == 'L' ? 0 : 362;
    FreeExpr(expr);
  }
  DbfErrorNo = 0;
  SetAutoReport(auto_report);
  MemoWidth = memo_width;
  return code;
}

void ResetExprState() {
  while (!CompiledExprs.empty()) Release(CompiledExprs.back());
  MemoWidth = 256;
  DefaultDecimals = 2;
}

}  // namespace orvex
