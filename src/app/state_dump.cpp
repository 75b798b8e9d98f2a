#include "app/state_dump.h"

#include "app/u_read.h"
#include "controls/ox_grid_rows.h"
#include "platform/data/field.h"
#include "platform/os/codepage.h"

namespace orvex::app {

std::vector<std::string> VisibleValues(TForm1& form, const std::string& field) {
  std::vector<std::string> values;
  ForEachVisibleRow(*form.OxGrid1, [&](data::TDataSet& ds) {
    values.push_back(ds.FieldByName(field)->AsString());
  });
  return values;
}

std::string DumpState(TForm1& form) {
  std::string text = "Caption: " + os::AnsiToUtf8(form.Caption()) + "\n";
  text += "Label: " + os::AnsiToUtf8(form.Label1->Caption()) + "\n";
  ForEachVisibleRow(*form.OxGrid1, [&](data::TDataSet& ds) {
    std::string line = "Row: ";
    if (form.OxDbf1.IsCurrentDeleted()) line += "*";
    for (int i = 0; i < ds.FieldCount(); ++i) {
      if (i > 0) line += " | ";
      line += os::AnsiToUtf8(ds.Fields(i)->DisplayText());
    }
    text += line + "\n";
  });
  return text;
}

}  // namespace orvex::app
