#include "app/oxview/state_dump.h"

#include "controls/ox_grid.h"
#include "controls/ox_grid_rows.h"
#include "app/oxview/main_window.h"
#include "app/oxview/memo_pane.h"
#include "app/oxview/table_tab.h"
#include "platform/data/field.h"
#include "platform/data/field_text.h"

namespace orvex::view {
namespace {

std::string RowText(data::TDataSet& ds) {
  std::string line;
  for (int i = 0; i < ds.FieldCount(); ++i) {
    if (i > 0) line += " | ";
    line += data::FieldTextUtf8(*ds.Fields(i), true);
  }
  return line;
}

}  // namespace

std::string DumpState(MainWindow& window) {
  std::string text = "Title: " + window.windowTitle().toStdString() + "\n";
  text += "Tabs: " + std::to_string(window.TabCount()) + "\n";
  TableTab* tab = window.CurrentTab();
  if (tab == nullptr || !tab->Table().Active()) return text;
  text += "Status: " + tab->StatusText().toStdString() + "\n";
  text += "Order: " + tab->Order() + "\n";
  text += "Filter: " + tab->Filter().toStdString() + "\n";
  if (!window.SearchResult().isEmpty())
    text += "Search: " + window.SearchResult().toStdString() + "\n";
  if (tab->Memo().HasMemos()) {
    QString memo = tab->Memo().FirstText();
    memo.replace("\n", "\\n");
    text += "Memo: " + memo.toStdString() + "\n";
  }
  if (!tab->Table().IsEmpty()) text += "Current: " + RowText(tab->Table()) + "\n";
  ForEachVisibleRow(tab->Grid(), [&](data::TDataSet& ds) {
    text +=
        std::string("Row: ") + (tab->Table().IsCurrentDeleted() ? "*" : "") + RowText(ds) + "\n";
  });
  return text;
}

}  // namespace orvex::view
