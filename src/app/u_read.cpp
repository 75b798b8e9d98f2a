#include "app/u_read.h"

#include "app/form_loader.h"

namespace orvex::app {

TForm1::TForm1() {
  FormLoader loader(*this);
  Label1 = loader.Add<ui::TLabel>("Label1", ui::Bounds{}, "");
  OxNavigator1 = loader.Add<TOxNavigator>("OxNavigator1");
  GroupBox1 = loader.Add<ui::TGroupBox>("GroupBox1", ui::Bounds{}, "");
  Button1 = loader.Add<ui::TButton>("Button1", ui::Bounds{}, "");
  Button2 = loader.Add<ui::TButton>("Button2", ui::Bounds{}, "");
  Button3 = loader.Add<ui::TButton>("Button3", ui::Bounds{}, "");
  Button4 = loader.Add<ui::TButton>("Button4", ui::Bounds{}, "");
  OxGrid1 = loader.Add<TOxGrid>("OxGrid1");
  loader.AddDataSet("OxDbf1", OxDbf1);
  loader.AddDataSource("DataSource1", DataSource1);
  loader.AddHandler("FormActivate", [this] { FormActivate(); });
  loader.AddHandler("Button1Click", [this] { Button1Click(); });
  loader.AddHandler("Button2Click", [this] { Button2Click(); });
  loader.AddHandler("Button3Click", [this] { Button3Click(); });
  loader.AddHandler("Button4Click", [this] { Button4Click(); });
  loader.Load();
}

// The grid and the navigator hold links to DataSource1 and OxDbf1, which go
// before the base class deletes its child widgets: unlink them first.
TForm1::~TForm1() {
  delete OxGrid1;
  delete OxNavigator1;
  DataSource1.SetDataSet(nullptr);
}

void TForm1::FormActivate() { OxDbf1.SetActive(true); }

void TForm1::Button1Click() { OrderBy("title", "Sorted By TITLE "); }
void TForm1::Button2Click() { OrderBy("runtime", "Sorted By RUNTIME "); }
void TForm1::Button3Click() { OrderBy("year", "Sorted By YEAR "); }
void TForm1::Button4Click() { OrderBy("stars", "Sorted By STARS "); }

void TForm1::OrderBy(const std::string& tag, const std::string& caption) {
  OxDbf1.SetOrderToTag(tag);
  Label1->SetCaption(caption);
}

}  // namespace orvex::app
