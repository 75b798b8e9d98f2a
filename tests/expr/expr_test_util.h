// Helpers of the expression tests: compile and evaluate a text in one call,
// with errors stored (AutoReport off) instead of raised.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "common/errors.h"
#include "dates/date_settings.h"
#include "engine/entry_points.h"
#include "engine/work_area.h"
#include "expr/compiled_expr.h"
#include "expr/engine_binding.h"
#include "expr/evaluator.h"

namespace orvex::test {

struct Outcome {
  bool compiled = false;
  char type = '?';
  int length = 0;
  int decimals = 0;
  std::string text;      // C and M results
  double number = 0;     // N and D results
  bool logical = false;  // L results
  int error = 0;         // DbfErrorNo after compiling and evaluating
  std::string detail;    // ErrorDetail of the last report
};

// Compiles and evaluates `source`; the expression is freed again.
inline Outcome Compute(const std::string& source) {
  Outcome o;
  DbfErrorNo = 0;
  ErrorDetail.clear();
  CompiledExpr* e = AssignExpr(source);
  if (e != nullptr) {
    o.compiled = true;
    o.type = e->result_type;
    o.length = e->result_length;
    o.decimals = e->decimals;
    if (EvaluateExpr(e) != nullptr) {
      if (o.type == 'C' || o.type == 'M') o.text = std::string(ResultText(e));
      if (o.type == 'N' || o.type == 'D') o.number = ResultNumber(e);
      if (o.type == 'L') o.logical = ResultLogical(e);
    }
    FreeExpr(e);
  }
  o.error = DbfErrorNo;
  o.detail = ErrorDetail;
  return o;
}

// A clean process state for each case: errors stored rather than raised,
// German date type without century, no tables, the expression engine known
// to the table engine.
class ExprTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetErrorState();
    ResetEngineState();
    ResetDateSettings();
    SetDateType(5);
    ResetExprState();
    ResetEntryPoints();  // no index engine or memo store: this unit alone
    RegisterExpressionEngine();
    SetAutoReport(false);
  }
  void TearDown() override {
    ResetExprState();
    ResetEngineState();
  }

  static std::string Text(const std::string& source) { return Compute(source).text; }
  static double Number(const std::string& source) { return Compute(source).number; }
  static bool Logical(const std::string& source) { return Compute(source).logical; }
  // The reason line of a compile error ("Syntax error", ...), or "" when the
  // text compiled.
  static std::string Reason(const std::string& source) {
    Outcome o = Compute(source);
    if (o.compiled) return "";
    const std::string prefix = "Fehler in dBASE-Ausdruck : ";
    if (o.detail.rfind(prefix, 0) != 0) return o.detail;
    return o.detail.substr(prefix.size(), o.detail.find("\r\n") - prefix.size());
  }
};

}  // namespace orvex::test
