#include "expr/engine_binding.h"

#include "engine/entry_points.h"
#include "expr/compiled_expr.h"
#include "expr/evaluator.h"

namespace orvex {
namespace {

CompiledExpr* Compile(const std::string& text) { return AssignExpr(text); }

char ResultType(const CompiledExpr* expr) { return expr->result_type; }

// Registers at start-up, before main runs.
const bool registered = (RegisterExpressionEngine(), true);

}  // namespace

void RegisterExpressionEngine() {
  ExpressionEngine.compile = Compile;
  ExpressionEngine.free = FreeExpr;
  ExpressionEngine.evaluate = EvaluateExpr;
  ExpressionEngine.result_type = ResultType;
  ExpressionEngine.evaluate_index_expr = EvaluateExpr;
  ExpressionEngine.to_text = ValueToText;
  ExpressionEngine.present = true;
}

}  // namespace orvex
