#include "app/u_read_form.h"

namespace orvex::app {

const std::vector<StoredComponent>& Form1Components() {
  static const std::vector<StoredComponent> components = {
      {"Form1", "TForm1", ""},
      {"Label1", "TLabel", "Form1"},
      {"OxNavigator1", "TOxNavigator", "Form1"},
      {"GroupBox1", "TGroupBox", "Form1"},
      {"Button1", "TButton", "GroupBox1"},
      {"Button2", "TButton", "GroupBox1"},
      {"Button3", "TButton", "GroupBox1"},
      {"Button4", "TButton", "GroupBox1"},
      {"OxGrid1", "TOxGrid", "Form1"},
      {"OxDbf1", "TOxDbf", "Form1"},
      {"DataSource1", "TDataSource", "Form1"},
  };
  return components;
}

// Fonts: every control takes the form's font (ParentFont) unless it stores
// its own; Label1 stores the same font in red.
const std::vector<StoredProperty>& Form1Properties() {
  static const std::vector<StoredProperty> properties = {
      {"Form1", "Left", "228"},
      {"Form1", "Top", "108"},
      {"Form1", "Width", "470"},
      {"Form1", "Height", "335"},
      {"Form1", "Caption", "File opened ReadOnly"},
      {"Form1", "Font.Charset", "DEFAULT_CHARSET"},
      {"Form1", "Font.Color", "clWindowText"},
      {"Form1", "Font.Height", "-11"},
      {"Form1", "Font.Name", "MS Sans Serif"},
      {"Form1", "PixelsPerInch", "96"},
      {"Form1", "TextHeight", "13"},
      {"Form1", "OnActivate", "FormActivate"},

      {"Label1", "Left", "280"},
      {"Label1", "Top", "118"},
      {"Label1", "Width", "129"},
      {"Label1", "Height", "13"},
      {"Label1", "Alignment", "taRightJustify"},
      {"Label1", "AutoSize", "False"},
      {"Label1", "Caption", "Sorted by TITLE "},
      {"Label1", "Font.Charset", "DEFAULT_CHARSET"},
      {"Label1", "Font.Color", "clRed"},
      {"Label1", "Font.Height", "-11"},
      {"Label1", "Font.Name", "MS Sans Serif"},
      {"Label1", "ParentFont", "False"},

      {"OxNavigator1", "Left", "98"},
      {"OxNavigator1", "Top", "272"},
      {"OxNavigator1", "Width", "310"},
      {"OxNavigator1", "Height", "25"},
      {"OxNavigator1", "DataSource", "DataSource1"},
      {"OxNavigator1", "TabOrder", "0"},
      {"OxNavigator1", "ConfirmRestore", "False"},

      {"GroupBox1", "Left", "90"},
      {"GroupBox1", "Top", "14"},
      {"GroupBox1", "Width", "177"},
      {"GroupBox1", "Height", "105"},
      {"GroupBox1", "Caption", "Order By:"},
      {"GroupBox1", "TabOrder", "1"},

      {"Button1", "Left", "14"},
      {"Button1", "Top", "24"},
      {"Button1", "Width", "63"},
      {"Button1", "Height", "25"},
      {"Button1", "Caption", "Title"},
      {"Button1", "TabOrder", "0"},
      {"Button1", "OnClick", "Button1Click"},

      {"Button2", "Left", "14"},
      {"Button2", "Top", "58"},
      {"Button2", "Width", "63"},
      {"Button2", "Height", "25"},
      {"Button2", "Caption", "Runtime"},
      {"Button2", "TabOrder", "1"},
      {"Button2", "OnClick", "Button2Click"},

      {"Button3", "Left", "88"},
      {"Button3", "Top", "24"},
      {"Button3", "Width", "65"},
      {"Button3", "Height", "25"},
      {"Button3", "Caption", "Year"},
      {"Button3", "TabOrder", "2"},
      {"Button3", "OnClick", "Button3Click"},

      {"Button4", "Left", "88"},
      {"Button4", "Top", "58"},
      {"Button4", "Width", "67"},
      {"Button4", "Height", "25"},
      {"Button4", "Caption", "Stars"},
      {"Button4", "TabOrder", "3"},
      {"Button4", "OnClick", "Button4Click"},

      {"OxGrid1", "Left", "88"},
      {"OxGrid1", "Top", "138"},
      {"OxGrid1", "Width", "320"},
      {"OxGrid1", "Height", "120"},
      {"OxGrid1", "BooleanBox", "bbCheckBox"},
      {"OxGrid1", "DataSource", "DataSource1"},
      {"OxGrid1", "DepressDisabled", "True"},
      {"OxGrid1", "FixedColumns", "0"},
      {"OxGrid1", "TabOrder", "2"},
      {"OxGrid1", "TitleFont.Charset", "DEFAULT_CHARSET"},
      {"OxGrid1", "TitleFont.Color", "clWindowText"},
      {"OxGrid1", "TitleFont.Height", "-11"},
      {"OxGrid1", "TitleFont.Name", "MS Sans Serif"},
      {"OxGrid1", "savedColumns", ""},

      {"OxDbf1", "DbfFileName", "movie_r.dbf"},
      {"OxDbf1", "ReadOnly", "True"},
      {"OxDbf1", "Exclusive", "True"},
      {"OxDbf1", "CreateIndex", "ciNever"},
      {"OxDbf1", "HideDeletedRecs", "False"},
      {"OxDbf1", "TableLanguage", "tlOem"},
      {"OxDbf1", "DbfFields",
       "title, C, 20, 0\n"
       "year, N, 4, 0\n"
       "color, L, 1, 0\n"
       "runtime, N, 3, 0\n"
       "stars, C, 50, 0\n"
       "director, C, 20, 0\n"
       "plot, M, 10, 0\n"
       "premiere, D, 8, 0\n"},
      {"OxDbf1", "IndexList",
       "TITLE,F,F,LOWER(TITLE)\n"
       "\n"
       "YEAR,F,F,YEAR\n"
       "\n"
       "RUNTIME,F,F,RUNTIME\n"
       "\n"
       "STARS,F,F,LOWER(STARS)\n"
       "\n"},

      {"DataSource1", "DataSet", "OxDbf1"},
  };
  return properties;
}

std::string StoredValue(const std::string& component, const std::string& name) {
  for (const StoredProperty& p : Form1Properties())
    if (p.component == component && p.name == name) return p.value;
  return "";
}

}  // namespace orvex::app
