// Builds a form from its stored form (u_read_form.h): the form's code adds
// its components under their stored names and its event handlers under
// their stored names, then Load sets every stored property by name, the way
// a stored form is read:
//   - controls: Left, Top, Width, Height, Caption, Font.* / TitleFont.*
//     (Name, Height, Color, Charset), Alignment, AutoSize, ParentFont,
//     TabOrder, and the events OnActivate (form) and OnClick (button);
//   - TOxGrid: BooleanBox, DataSource, DepressDisabled, FixedColumns,
//     savedColumns; TOxNavigator: DataSource, ConfirmRestore;
//   - datasets: their own SetProperty, between BeginLoading and EndLoading;
//     data sources: DataSet.
// References to other components (DataSource, DataSet) and handler names
// are resolved once every component exists. Controls without a stored font
// take the form's (ParentFont). Tab order follows TabOrder within each
// parent.
//
// A property the table names but no component takes, an unknown component or
// handler, or a value that does not fit raises orvex::Exception naming the
// component, property and value: the stored form and the code disagree.
#pragma once

#include <QWidget>
#include <functional>
#include <map>
#include <string>
#include <utility>

#include "platform/widgets/forms.h"

namespace orvex {
class TOxCDataSet;
namespace data {
class TDataSource;
}
}  // namespace orvex

namespace orvex::app {

class FormLoader {
 public:
  explicit FormLoader(ui::TForm& form);

  // Creates a control of the form under its stored name, as a child of its
  // stored parent, which must have been added before it.
  template <typename Control, typename... Args>
  Control* Add(const std::string& name, Args&&... args) {
    auto* control = new Control(Parent(name), std::forward<Args>(args)...);
    controls_[name] = control;
    return control;
  }
  void AddDataSet(const std::string& name, TOxCDataSet& data_set);
  void AddDataSource(const std::string& name, data::TDataSource& source);
  void AddHandler(const std::string& name, std::function<void()> handler);

  // Sets every stored property; the datasets' Active takes effect last.
  void Load();

 private:
  QWidget* Parent(const std::string& name) const;
  void SetControlProperty(QWidget& control, const std::string& name, const std::string& value);
  void SetFontProperty(const std::string& name, const std::string& value, bool title);
  std::function<void()> Handler(const std::string& name) const;
  data::TDataSource* Source(const std::string& name) const;
  [[noreturn]] void Refuse(const std::string& component, const std::string& name,
                           const std::string& value) const;

  ui::TForm& form_;
  std::map<std::string, QWidget*> controls_;
  std::map<std::string, TOxCDataSet*> data_sets_;
  std::map<std::string, data::TDataSource*> sources_;
  std::map<std::string, std::function<void()>> handlers_;
  // Stored font parts per control ("Label1" / "OxGrid1.Title"): name, height,
  // colour; applied once all are read.
  struct FontParts {
    std::string name = "MS Sans Serif";
    int height = -11;
    QColor color;
    bool has_color = false;
  };
  std::map<std::string, FontParts> fonts_;
  std::map<QWidget*, int> tab_orders_;
  std::string current_;  // the component whose property is being set
};

}  // namespace orvex::app
