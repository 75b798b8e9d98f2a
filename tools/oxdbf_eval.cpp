// oxdbf eval [--table FILE] [--recno N] [--datetype N] [--century] EXPRESSION
//
// Compiles a dBASE expression (over the table, positioned on record N, when
// one is given), evaluates it and prints two lines: the result type, length
// and decimals ("C 30 0"), then the value: C and M in double quotes with
// their blanks (M with its line ends), N exactly with the expression's
// decimals, L as .T. or .F., D as YYYYMMDD or 8 blanks. Compile and evaluation errors take the library's
// path: the message on stderr, the error number as exit status.
//
// The expression is UTF-8 and goes into the table's code page (Windows-1252
// without a table); one with a character the code page cannot hold is
// refused (error 220). Text results come back through the same code page.
#include <cstdio>
#include <string>

#include "common/decimal_text.h"
#include "common/errors.h"
#include "dates/date_settings.h"
#include "dates/day_number.h"
#include "engine/navigation.h"
#include "engine/work_area.h"
#include "expr/compiled_expr.h"
#include "expr/evaluator.h"
#include "oxdbf.h"

namespace orvex::tool {
namespace {

std::string ValueLine(const CompiledExpr* e) {
  switch (e->result_type) {
    case 'N': {
      std::string text = DecimalText(ResultNumber(e), static_cast<int>(e->decimals));
      return text.empty() ? std::string("*") : text;
    }
    case 'L': return ResultLogical(e) ? ".T." : ".F.";
    case 'D': return DTextFromDayNumber(ResultNumber(e));
    // Memo texts are as stored (the table's code page), line ends included.
    case 'M': return "\"" + StoredToUtf8(ResultText(e)) + "\"";
    default: return "\"" + LibraryTextToUtf8(ResultText(e)) + "\"";
  }
}

int Eval(const Invocation& call) {
  ExpectArguments(call, 1, 1);
  const std::string& expression = call.args[0];
  const std::string table = call.FlagValue("--table");
  const std::string recno = call.FlagValue("--recno");
  if (!recno.empty() && table.empty()) UsageError("--recno needs --table");
  long date_type = -1;
  if (!call.FlagValue("--datetype").empty()) {
    date_type = IntegerArgument(call.FlagValue("--datetype"), "--datetype");
    if (date_type < 0 || date_type > 8) UsageError("--datetype takes 0 to 8: " + call.FlagValue("--datetype"));
  }

  CenturyOn = call.HasFlag("--century");
  SetDateType(date_type >= 0 ? static_cast<int>(date_type) : DateType);
  if (!table.empty()) {
    OpenTable(call, table, true);
    if (!recno.empty()) GO(RecordArgument(recno, "--recno"));
  }
  std::string text;
  if (!Utf8ToLibraryText(expression, &text)) {
    Fail(220, "Zeichen außerhalb der Codepage der Tabelle im Ausdruck " + Shown(expression) + " [oxdbf eval]");
  }
  CompiledExpr* e = AssignExpr(text);
  if (e == nullptr) return DbfErrorNo & 0xFF ? DbfErrorNo : 1;
  const void* result = EvaluateExpr(e);
  if (result == nullptr || DbfErrorNo != 0) return DbfErrorNo & 0xFF ? DbfErrorNo : 1;
  std::printf("%c %d %d\n%s\n", e->result_type, e->result_length, e->decimals,
              ValueLine(e).c_str());
  FreeExpr(e);
  return 0;
}

SubcommandRegistration eval{{"eval", "[--table FILE] [--recno N] [--datetype N] [--century] EXPRESSION",
                             {"--table=", "--recno=", "--datetype=", "--century"},
                             Eval,
                             "Evaluates a dBASE expression and prints two lines: result type, length\n"
                             "and decimals, then the value (C and M in double quotes, N with its\n"
                             "decimals, L as .T. or .F., D as YYYYMMDD).\n"
                             "  --table FILE     over the fields of FILE\n"
                             "  --recno N        positioned on record N (default 1)\n"
                             "  --datetype N     date format 0-8 (0 American, 5 German, ...)\n"
                             "  --century        four-digit years in date texts\n"
                             "Example:\n  oxdbf eval --table films.dbf --recno 2 \"UPPER(TITLE) + STR(YEAR, 5)\"\n"}};

}  // namespace
}  // namespace orvex::tool
