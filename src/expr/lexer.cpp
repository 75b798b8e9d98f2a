#include "expr/lexer.h"

#include <algorithm>
#include <cstring>

#include "expr/grammar.hpp"
#include "expr/number_text.h"
#include "expr/table_access.h"
#include "platform/os/codepage.h"

namespace orvex {

LexerState ExprLexer;

namespace {

LexerState& L = ExprLexer;

char Peek(int offset = 0) {
  int p = L.pos + offset;
  return p < L.length ? L.input[p] : '\0';
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsLetter(char c) {
  auto u = static_cast<unsigned char>(c);
  return (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || (u >= 128 && os::IsCharAlpha(u));
}
bool StartsIdentifier(char c) { return IsLetter(c) || c == '_' || c == '.'; }

// A literal, a function name or an operator word: the result length is not a
// field's any more.
void NoteNonField() {
  L.last_length = 0;
  L.decimals = DefaultDecimals;
}

char NextNonBlank() {
  int p = L.pos;
  while (p < L.length && (L.input[p] == ' ' || L.input[p] == '\t')) ++p;
  return p < L.length ? L.input[p] : '\0';
}

int TokenForWord(const Keyword& word, SemValue* value) {
  L.pool_size += word.pool_width;
  switch (word.kind) {
    case WordKind::kTrue: return TRUE_WORD;
    case WordKind::kFalse: return FALSE_WORD;
    case WordKind::kNot: return NOT_WORD;
    case WordKind::kAnd: return AND_WORD;
    case WordKind::kOr: return OR_WORD;
    case WordKind::kUnknown: return UNKNOWN_WORD;
    case WordKind::kFunction: break;
  }
  value->func = word.func;
  if (word.func == Func::kStr) return FNSTR;
  switch (FunctionArity(word.func)) {
    case 0: return FN0;
    case 1: return FN1;
    case 2: return FN2;
    case 3: return FN3;
    default: return FN4;
  }
}

// The type class of a field type letter; kNone for letters that expressions
// cannot read.
ValueType FieldClass(char type) {
  switch (type) {
    case 'C': return ValueType::kC;
    case 'N':
    case 'F': return ValueType::kN;
    case 'L': return ValueType::kL;
    case 'D': return ValueType::kD;
    case 'M': return ValueType::kM;
    default: return ValueType::kNone;
  }
}

// Resolves the identifier to a field token; 0 when it names no field.
int ResolveField(std::string_view alias, std::string_view name, SemValue* value) {
  int area = 0;
  if (!alias.empty()) {
    area = expr_tables::AreaByAlias(alias);
    if (area == 0) return 0;
  } else {
    area = expr_tables::CurrentArea();
    if (!expr_tables::IsOpen(area)) return 0;
  }
  expr_tables::FieldInfo info;
  int position = expr_tables::FindField(area, name, &info);
  if (position == 0) return 0;
  ValueType type = FieldClass(info.type);
  if (type == ValueType::kNone) return 0;
  if (NextNonBlank() == '(') return 0;
  value->type = type;
  value->field = position;
  value->area = alias.empty() ? 0 : area;
  // Only C and N fields pass their length on to a C or N result; D, L and M
  // fields leave the last length alone, so DTOS(datefield) has no length
  // known at compile time.
  if (type == ValueType::kC) {
    L.pool_size += info.length + 1;
    L.last_length = info.length;
  } else if (type == ValueType::kN) {
    L.last_length = info.length;
    L.decimals = L.decimals < 0 ? info.decimals : DefaultDecimals;
  }
  return FIELD;
}

int ReadIdentifier(SemValue* value) {
  char word[kMaxExprLength + 1];
  int n = 0;
  int alias_end = -1;  // length of the alias part, -1 without "->"
  int token_length = 0;
  while (L.pos < L.length) {
    char c = L.input[L.pos];
    bool in_field = alias_end >= 0;
    if (!in_field && c == '-' && Peek(1) == '>') {
      alias_end = n;
      L.pos += 2;
      token_length += 2;
      continue;
    }
    if (!(IsLetter(c) || IsDigit(c) || c == '_' || (c == '.' && !in_field))) break;
    word[n++] = static_cast<char>(os::CharUpper(static_cast<unsigned char>(c)));
    ++L.pos;
    ++token_length;
  }
  if (token_length > kMaxTokenLength) {
    NoteNonField();
    return UNKNOWN_WORD;
  }
  std::string_view alias;
  std::string_view name(word, n);
  if (alias_end >= 0) {
    alias = std::string_view(word, std::min(alias_end, kExprAliasLength));
    name = std::string_view(word + alias_end, n - alias_end);
  }
  if (int token = ResolveField(alias, name, value)) return token;
  NoteNonField();
  if (alias_end >= 0) return UNKNOWN_WORD;
  return TokenForWord(LookupKeyword(name), value);
}

int ReadNumber(SemValue* value) {
  int start = L.pos;
  bool dot = false, exponent = false;
  while (L.pos < L.length) {
    char c = L.input[L.pos];
    if (IsDigit(c)) {
      ++L.pos;
    } else if (c == '.' && !dot && !exponent) {
      dot = true;
      ++L.pos;
    } else if ((c == 'E' || c == 'e') && !exponent) {
      exponent = true;
      ++L.pos;
      if ((Peek() == '+' || Peek() == '-') && IsDigit(Peek(1))) ++L.pos;
    } else {
      break;
    }
  }
  NoteNonField();
  int length = L.pos - start;
  if (length > kMaxTokenLength) return UNKNOWN_WORD;
  if (!ParseNumberLiteral(std::string_view(L.input + start, length), &value->number))
    return UNKNOWN_WORD;
  return NUMBER;
}

int ReadString(SemValue* value) {
  char quote = L.input[L.pos++];
  int start = L.pos;
  while (L.pos < L.length && L.input[L.pos] != quote) ++L.pos;
  NoteNonField();
  if (L.pos >= L.length) return UNKNOWN_WORD;  // unterminated
  value->text = L.input + start;
  value->length = L.pos - start;
  ++L.pos;
  L.pool_size += value->length + 1;
  return STRING;
}

}  // namespace

void StartLexer(std::string_view text) {
  L = LexerState();
  L.length = static_cast<int>(std::min<std::size_t>(text.size(), kMaxExprLength));
  std::memcpy(L.input, text.data(), L.length);
  L.input[L.length] = '\0';
  // A NUL ends the text.
  L.length = static_cast<int>(std::strlen(L.input));
}

int NextToken(SemValue* value) {
  *value = SemValue();
  while (Peek() == ' ' || Peek() == '\t') ++L.pos;
  char c = Peek();
  if (c == '\0') return 0;
  if (IsDigit(c)) return ReadNumber(value);
  if (StartsIdentifier(c)) return ReadIdentifier(value);
  if (c == '"' || c == '\'') return ReadString(value);
  ++L.pos;
  char next = Peek();
  switch (c) {
    case '=':
      if (next == '=') return ++L.pos, EQEQ;
      return '=';
    case '<':
      if (next == '=') return ++L.pos, LE;
      if (next == '>') return ++L.pos, NE;
      return '<';
    case '>':
      if (next == '=') return ++L.pos, GE;
      return '>';
    case '#': return NE;
    case '^': return POW;
    case '*':
      if (next == '*') return ++L.pos, POW;
      return '*';
    default: return static_cast<unsigned char>(c);
  }
}

std::string ErrorWindow() {
  constexpr int kWidth = 51;
  int start = L.pos <= 50 ? 0 : L.pos - kWidth;
  int count = std::min(kWidth, L.length - start);
  std::string window = "[" + std::string(L.input + start, count);
  window += start + kWidth < L.length ? "...]" : "]";
  return window;
}

}  // namespace orvex
