// The entry-point tables; the units above the engine fill them at start-up.
#include "engine/entry_points.h"

namespace orvex {

IndexEntryPoints IndexEngine;
MemoEntryPoints MemoStore;
ExpressionEntryPoints ExpressionEngine;
VirtualFileEntryPoints VirtualFiles;
RecordCacheEntryPoints RecordCache;

bool IndexOrderActive(int area) {
  return IndexEngine.order_active != nullptr && IndexEngine.order_active(area);
}

bool IndexOpen(int area) { return IndexEngine.index_open != nullptr && IndexEngine.index_open(area); }

bool EvaluateCondition(CompiledExpr* expr) {
  if (!ExpressionEngine.present || ExpressionEngine.evaluate == nullptr || expr == nullptr) return false;
  if (ExpressionEngine.result_type != nullptr && ExpressionEngine.result_type(expr) != 'L') return false;
  const void* value = ExpressionEngine.evaluate(expr);
  return value != nullptr && *static_cast<const std::uint8_t*>(value) != 0;
}

void ResetEntryPoints() {
  IndexEngine = IndexEntryPoints{};
  MemoStore = MemoEntryPoints{};
  ExpressionEngine = ExpressionEntryPoints{};
  VirtualFiles = VirtualFileEntryPoints{};
  RecordCache = RecordCacheEntryPoints{};
}

}  // namespace orvex
