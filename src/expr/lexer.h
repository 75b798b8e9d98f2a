// The hand-written lexer of dBASE expressions.
//
// The text is held in a 256-byte buffer (at most 255 characters); reading past
// its end yields the end marker. Identifiers are read upper-cased and resolved
// in this order: a field of the aliased or current work area (unless the next
// non-blank character is "("), then the keyword table. Identifier and number
// tokens longer than 80 characters are a syntax error (no field name, keyword
// or sensible number is that long, and cutting them could silently change the
// meaning). A number literal is digits with at most one "." and an exponent
// "E" (either case) with an optional sign and at least one digit; a literal
// that is not a well-formed number is a syntax error.
//
// While reading, the lexer also collects what the compiler needs for the
// result length: the last length, the decimals and the work-pool size.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "expr/compiler.h"

namespace orvex {

inline constexpr int kMaxExprLength = 255;
inline constexpr int kMaxTokenLength = 80;
inline constexpr int kExprAliasLength = 10;

// The process-wide compile state of the lexer.
struct LexerState {
  char input[kMaxExprLength + 1] = {};
  int length = 0;
  int pos = 0;                   // read position: characters consumed
  int last_length = 0;           // length inherited by a C or N result
  int decimals = -1;             // -1 = not yet set
  std::uint32_t pool_size = 0;   // bytes the work pool needs
};
extern LexerState ExprLexer;

// Copies the text (cut to 255 characters) and resets the compile state.
void StartLexer(std::string_view text);

// Reads the next token and returns its parser token code (0 at the end);
// literals, fields and function words leave their value in `value`.
int NextToken(SemValue* value);

// The window of the input around the read position for error messages:
// "[" + 51 characters + "...]" or "]".
std::string ErrorWindow();

}  // namespace orvex
