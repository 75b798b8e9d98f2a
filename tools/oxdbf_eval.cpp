// oxdbf eval [--table FILE] [--recno N] [--datetype N] [--century] EXPRESSION
//
// Compiles a dBASE expression (over the table, positioned on record N, when
// one is given), evaluates it and prints two lines: the result type, length
// and decimals ("C 30 0"), then the value: C and M in double quotes with
// their blanks (M with its line ends), N exactly with the expression's
// decimals, L as .T. or .F., D as YYYYMMDD or 8 blanks. Compile and evaluation errors take the library's
// path: the message on stderr, the error number as exit status.
//
// The values of --table, --recno and --datetype are the positional arguments
// that follow the options in order; the expression is the last one.
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
#include "platform/os/codepage.h"

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
    default: return "\"" + os::AnsiToUtf8(std::string(ResultText(e))) + "\"";
  }
}

int Eval(const Invocation& call) {
  std::size_t next = 0;
  auto value_of = [&](const char* what) -> const std::string& {
    if (next + 1 >= call.args.size()) Fail(220, std::string("Wert fehlt für ") + what + " [eval]");
    return call.args[next++];
  };
  std::string table;
  long recno = 0;
  long date_type = -1;
  for (const std::string& flag : call.flags) {
    if (flag == "--table") table = value_of("--table");
    if (flag == "--recno") recno = IntegerArgument(value_of("--recno"), "--recno");
    if (flag == "--datetype") date_type = IntegerArgument(value_of("--datetype"), "--datetype");
  }
  if (next + 1 != call.args.size()) Fail(220, "Genau ein Ausdruck erwartet [eval]");
  const std::string& expression = call.args[next];

  CenturyOn = call.HasFlag("--century");
  SetDateType(date_type >= 0 ? static_cast<int>(date_type) : DateType);
  if (!table.empty()) {
    OpenTable(call, table, true);
    if (recno != 0) GO(static_cast<std::int32_t>(recno));
  }
  CompiledExpr* e = AssignExpr(os::Utf8ToAnsi(expression));
  if (e == nullptr) return DbfErrorNo & 0xFF ? DbfErrorNo : 1;
  const void* result = EvaluateExpr(e);
  if (result == nullptr || DbfErrorNo != 0) return DbfErrorNo & 0xFF ? DbfErrorNo : 1;
  std::printf("%c %d %d\n%s\n", e->result_type, e->result_length, e->decimals,
              ValueLine(e).c_str());
  FreeExpr(e);
  return 0;
}

SubcommandRegistration eval{{"eval", "[--table FILE] [--recno N] [--datetype N] [--century] EXPRESSION",
                             {"--table", "--recno", "--datetype", "--century"},
                             Eval}};

}  // namespace
}  // namespace orvex::tool
