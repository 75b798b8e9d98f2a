// TForm1: the viewer's main window. It is built from its stored form
// (u_read_form.h): the constructor creates the components, sets every stored
// property by name (form_loader.h) and wires the stored event names to the
// handlers below. The table stays closed until the window is first
// activated.
//
// FormActivate opens the table (setting Active again on an open table
// changes nothing, so re-activation neither reopens nor repositions it).
// Button1Click .. Button4Click make the tags TITLE, RUNTIME, YEAR and STARS
// the order and say so in Label1 ("Sorted By <TAG> "). On a table whose open
// failed, a button reports error 1103 through the library's error path and
// the program is asked to end.
#pragma once

#include <string>

#include "controls/ox_grid.h"
#include "controls/ox_navigator.h"
#include "dataset/ox_file_data_set.h"
#include "platform/data/data_link.h"
#include "platform/widgets/forms.h"

namespace orvex::app {

class TForm1 : public ui::TForm {
 public:
  TForm1();
  ~TForm1() override;

  void FormActivate();
  void Button1Click();
  void Button2Click();
  void Button3Click();
  void Button4Click();

  // The form's components (owned by the form).
  ui::TLabel* Label1 = nullptr;
  TOxNavigator* OxNavigator1 = nullptr;
  ui::TGroupBox* GroupBox1 = nullptr;
  ui::TButton* Button1 = nullptr;
  ui::TButton* Button2 = nullptr;
  ui::TButton* Button3 = nullptr;
  ui::TButton* Button4 = nullptr;
  TOxGrid* OxGrid1 = nullptr;
  TOxDbf OxDbf1{"OxDbf1"};
  data::TDataSource DataSource1;

 private:
  // The order and caption of one button.
  void OrderBy(const std::string& tag, const std::string& caption);
};

}  // namespace orvex::app
