#include "app/oxview/table_filter.h"

#include "common/errors.h"
#include "dataset/ox_file_data_set.h"
#include "engine/entry_points.h"
#include "engine/work_area.h"
#include "platform/os/table_code_pages.h"

namespace orvex::view {
namespace {

// Makes the table's area current for as long as it lives.
class AreaSelection {
 public:
  explicit AreaSelection(int area) : previous_(SelectedArea()) { Select(area); }
  ~AreaSelection() {
    if (previous_ > 0) Select(previous_);
  }
  AreaSelection(const AreaSelection&) = delete;
  AreaSelection& operator=(const AreaSelection&) = delete;

 private:
  int previous_;
};

// Compiles the condition in the current area; null after a reported error.
CompiledExpr* CompileCondition(const std::string& text) {
  CompiledExpr* expr = ExpressionEngine.compile(text);
  if (expr == nullptr) {
    // A compile error that was not reported at once (AutoReport off).
    if (DbfErrorNo == 0) SetError(351, text + " [Filter]");
    HandleError();
    return nullptr;
  }
  if (ExpressionEngine.result_type(expr) != 'L') {
    ExpressionEngine.free(expr);
    SetError(362, "Der Filter ist keine logische Bedingung: " + text + " [Filter]");
    HandleError();
    return nullptr;
  }
  return expr;
}

}  // namespace

void SetFilter(TOxDbf& table, const std::string& condition) {
  table.CheckBrowseMode();
  std::string text;
  if (!os::Utf8ToCodePageText(table.TextCodePage(), condition, &text)) {
    SetError(220, "Der Filter hat ein Zeichen, das die Codeseite " +
                      std::to_string(table.TextCodePage()) + " nicht kennt [Filter]");
    HandleError();
    return;
  }
  CompiledExpr* expr = nullptr;
  {
    AreaSelection selection(table.WorkAreaNo());
    if (!text.empty() && (expr = CompileCondition(text)) == nullptr) return;
    WorkArea* area = CurrentWorkArea();
    if (area == nullptr) return;
    if (area->filter_expr != nullptr) ExpressionEngine.free(area->filter_expr);
    area->filter_expr = expr;
  }
  table.First();
}

}  // namespace orvex::view
