#include "app/oxview/column_layout.h"

#include <algorithm>

#include "controls/ox_grid.h"
#include "platform/data/data_set.h"
#include "platform/data/field.h"

namespace orvex::view {
namespace {

void AddColumn(TOxGridColumns& columns, data::TField& field, int width) {
  TOxColumn& column = columns.Add();
  column.SetFieldName(field.FieldName());
  const auto type = field.DataType();
  const bool number = type == data::TFieldType::ftInteger || type == data::TFieldType::ftFloat ||
                      type == data::TFieldType::ftLargeint;
  column.SetAlignment(number ? TAlignment::taRightJustify : TAlignment::taLeftJustify);
  if (width > 0) column.SetWidth(width);
}

}  // namespace

void ApplyColumns(TOxGrid& grid, const ColumnLayout& layout) {
  data::TDataSet* data_set = grid.DataSet();
  if (data_set == nullptr) return;
  TOxGridColumns& columns = grid.Columns();
  columns.BeginUpdate();
  columns.Clear();
  for (const ColumnSetting& setting : layout) {
    if (data::TField* field = data_set->FindField(setting.field))
      AddColumn(columns, *field, setting.width);
  }
  if (columns.Count() == 0) {
    for (int i = 0; i < data_set->FieldCount(); ++i) AddColumn(columns, *data_set->Fields(i), 0);
  }
  columns.EndUpdate();
}

ColumnLayout CurrentColumns(TOxGrid& grid) {
  ColumnLayout layout;
  TOxGridColumns& columns = grid.Columns();
  for (int i = 0; i < columns.Count(); ++i)
    layout.push_back({columns.Items(i).FieldName(), columns.Items(i).Width()});
  return layout;
}

std::vector<std::string> HiddenFields(TOxGrid& grid) {
  std::vector<std::string> hidden;
  data::TDataSet* data_set = grid.DataSet();
  if (data_set == nullptr) return hidden;
  const ColumnLayout shown = CurrentColumns(grid);
  for (int i = 0; i < data_set->FieldCount(); ++i) {
    const std::string& name = data_set->Fields(i)->FieldName();
    if (std::none_of(shown.begin(), shown.end(),
                     [&](const ColumnSetting& c) { return c.field == name; }))
      hidden.push_back(name);
  }
  return hidden;
}

}  // namespace orvex::view
