#include "app/state_dump.h"

#include "app/u_read.h"
#include "platform/data/field.h"
#include "platform/os/codepage.h"

namespace orvex::app {

namespace {

// Calls `row(dataset)` with each visible row made the link's active record;
// the active record is put back afterwards, also on failure.
template <typename F>
void ForEachVisibleRow(TForm1& form, F&& row) {
  data::TDataLink& link = form.OxGrid1->DataLink();
  data::TDataSet* ds = link.DataSet();
  if (ds == nullptr || !ds->Active()) return;
  const int active = link.ActiveRecord();
  struct Restore {
    data::TDataLink& link;
    int active;
    ~Restore() { link.SetActiveRecord(active); }
  } restore{link, active};
  for (int i = 0; i < link.RecordCount(); ++i) {
    link.SetActiveRecord(i);
    row(*ds);
  }
}

}  // namespace

std::vector<std::string> VisibleValues(TForm1& form, const std::string& field) {
  std::vector<std::string> values;
  ForEachVisibleRow(form, [&](data::TDataSet& ds) {
    values.push_back(ds.FieldByName(field)->AsString());
  });
  return values;
}

std::string DumpState(TForm1& form) {
  std::string text = "Caption: " + os::AnsiToUtf8(form.Caption()) + "\n";
  text += "Label: " + os::AnsiToUtf8(form.Label1->Caption()) + "\n";
  ForEachVisibleRow(form, [&](data::TDataSet& ds) {
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
