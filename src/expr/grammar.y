/* The grammar of dBASE expressions, an LALR(1) grammar for bison.
 *
 * Precedence, tightest first: prefix .NOT., unary + and - (they bind only to
 * the next operand); ^ and **; * and /; binary + and -; < > <= >=; == and $;
 * = <> #; .AND.; .OR. Every binary operator is left-associative.
 *
 * Every rule's action type-checks its operands and appends one entry to the
 * code list of the expression being compiled, so the code comes out in
 * postfix order. A call names its function with a token that carries the
 * function's argument count, so a call with another number of arguments is a
 * syntax error. There are no error productions: the first error ends the
 * parse. The state stack holds at most 150 entries; beyond it the parse ends
 * with result 2, which the compiler reports as "Parser_stack_overflow".
 */
%code requires {
#include "expr/compiler.h"
}

%code {
#include "expr/lexer.h"
#define YYINITDEPTH 150
#define YYMAXDEPTH 150
/* The syntax-error and stack-exhausted cases are told apart by the parse
   result; the compiler writes the message. */
static void oxexprerror(const char*) {}
static int oxexprlex(OXEXPRSTYPE* value) { return orvex::NextToken(value); }
using namespace orvex;
}

%define api.prefix {oxexpr}
%define api.pure full
%define api.value.type {orvex::SemValue}

%token NUMBER STRING FIELD TRUE_WORD FALSE_WORD
%token NOT_WORD AND_WORD OR_WORD
%token EQEQ NE LE GE POW
%token FN0 FN1 FN2 FN3 FN4 FNSTR
%token UNKNOWN_WORD

%left OR_WORD
%left AND_WORD
%left '=' NE
%left EQEQ '$'
%left '<' '>' LE GE
%left '+' '-'
%left '*' '/'
%left POW
%precedence NOT_WORD UNARY

%%

top
  : expr                { EmitEnd($1.type); }
  ;

expr
  : primary
  | NOT_WORD expr       { if (!EmitUnary(UnaryOp::kNot, $2.type, &$$)) YYABORT; }
  | '+' expr %prec UNARY { if (!EmitUnary(UnaryOp::kPlus, $2.type, &$$)) YYABORT; }
  | '-' expr %prec UNARY { if (!EmitUnary(UnaryOp::kMinus, $2.type, &$$)) YYABORT; }
  | expr OR_WORD expr   { if (!EmitBinary(BinaryOp::kOr, $1.type, $3.type, &$$)) YYABORT; }
  | expr AND_WORD expr  { if (!EmitBinary(BinaryOp::kAnd, $1.type, $3.type, &$$)) YYABORT; }
  | expr '=' expr       { if (!EmitBinary(BinaryOp::kEq, $1.type, $3.type, &$$)) YYABORT; }
  | expr NE expr        { if (!EmitBinary(BinaryOp::kNe, $1.type, $3.type, &$$)) YYABORT; }
  | expr EQEQ expr      { if (!EmitBinary(BinaryOp::kEqEq, $1.type, $3.type, &$$)) YYABORT; }
  | expr '$' expr       { if (!EmitBinary(BinaryOp::kContains, $1.type, $3.type, &$$)) YYABORT; }
  | expr '<' expr       { if (!EmitBinary(BinaryOp::kLt, $1.type, $3.type, &$$)) YYABORT; }
  | expr '>' expr       { if (!EmitBinary(BinaryOp::kGt, $1.type, $3.type, &$$)) YYABORT; }
  | expr LE expr        { if (!EmitBinary(BinaryOp::kLe, $1.type, $3.type, &$$)) YYABORT; }
  | expr GE expr        { if (!EmitBinary(BinaryOp::kGe, $1.type, $3.type, &$$)) YYABORT; }
  | expr '+' expr       { if (!EmitBinary(BinaryOp::kPlus, $1.type, $3.type, &$$)) YYABORT; }
  | expr '-' expr       { if (!EmitBinary(BinaryOp::kMinus, $1.type, $3.type, &$$)) YYABORT; }
  | expr '*' expr       { if (!EmitBinary(BinaryOp::kTimes, $1.type, $3.type, &$$)) YYABORT; }
  | expr '/' expr       { if (!EmitBinary(BinaryOp::kDivide, $1.type, $3.type, &$$)) YYABORT; }
  | expr POW expr       { if (!EmitBinary(BinaryOp::kPower, $1.type, $3.type, &$$)) YYABORT; }
  ;

primary
  : NUMBER              { if (!EmitNumber($1.number, &$$)) YYABORT; }
  | STRING              { if (!EmitText($1.text, $1.length, &$$)) YYABORT; }
  | TRUE_WORD           { if (!EmitLogical(true, &$$)) YYABORT; }
  | FALSE_WORD          { if (!EmitLogical(false, &$$)) YYABORT; }
  | FIELD               { if (!EmitField($1.field, $1.area, $1.type, &$$)) YYABORT; }
  | '(' expr ')'        { $$ = $2; }
  | call
  ;

call
  : FN0 '(' ')'
      { if (!EmitCall($1.func, {}, &$$)) YYABORT; }
  | FN1 '(' expr ')'
      { if (!EmitCall($1.func, {$3.type}, &$$)) YYABORT; }
  | FN2 '(' expr ',' expr ')'
      { if (!EmitCall($1.func, {$3.type, $5.type}, &$$)) YYABORT; }
  | FN3 '(' expr ',' expr ',' expr ')'
      { if (!EmitCall($1.func, {$3.type, $5.type, $7.type}, &$$)) YYABORT; }
  | FN4 '(' expr ',' expr ',' expr ',' expr ')'
      { if (!EmitCall($1.func, {$3.type, $5.type, $7.type, $9.type}, &$$)) YYABORT; }
  | FNSTR '(' expr ')'
      { if (!EmitCall($1.func, {$3.type}, &$$)) YYABORT; }
  | FNSTR '(' expr ',' expr ')'
      { if (!EmitCall($1.func, {$3.type, $5.type}, &$$)) YYABORT; }
  | FNSTR '(' expr ',' expr ',' expr ')'
      { if (!EmitCall($1.func, {$3.type, $5.type, $7.type}, &$$)) YYABORT; }
  ;

%%

namespace orvex {

int RunParser() { return oxexprparse(); }

}  // namespace orvex
