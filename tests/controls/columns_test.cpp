// Grid columns: assigned values against their defaults, the stored column
// descriptions, titles, fixed columns and pressed titles.
#include <QFontInfo>
#include <QFontMetrics>
#include <iterator>

#include "controls_test_support.h"

namespace orvex::test {
namespace {

class ColumnsTest : public ControlsTest {};

TEST_F(ColumnsTest, SavedColumnsCreateColumnsAndSetTheirValues) {
  ShownGrid grid;
  const QColor grid_color = grid.Color();
  grid.ReadSavedColumns({"cvColumn=1", "  cvWidthStr=80\r", "cvwidthstr=5", "nonsense",
                         "cvColumn=0", "cvTitleCaptionStr=Amount", "cvColumn=3",
                         "cvFontStr=Courier,clRed,778", "cvTitleFontStr=Serif", "cvColorStr=clBlue",
                         "cvTitleColorStr=$0000FF", "cvAlignmentStr=TARIGHTJUSTIFY",
                         "cvTitleAlignmentStr=middle", "cvReadOnlyStr=true", "cvFieldNameStr=NUM"});
  TOxGridColumns& columns = grid.Columns();
  ASSERT_EQ(columns.Count(), 4);  // the placeholder went; 0..3 exist
  EXPECT_EQ(columns.State(), TOxColumnsState::csCustomized);
  // "cvColumn=1" then the width: the second column gets 80, the first keeps
  // its defaults; a key in the wrong case is no key.
  EXPECT_EQ(columns.Items(1).Width(), 80);
  EXPECT_EQ(columns.Items(0).AssignedValues(), 0u);
  // "cvColumn=0" names an existing column: the current one stays column 1.
  EXPECT_EQ(columns.Items(1).Title().Caption(), "Amount");
  TOxColumn& last = columns.Items(3);
  const TOxFont font = last.Font();
  EXPECT_EQ(font.font.family(), "DejaVu Sans Mono");  // the installed font of its kind
  EXPECT_EQ(font.color, QColor(Qt::red));
  EXPECT_EQ(font.font.pointSize(), 10);  // 778 = 10 + bold + italic
  EXPECT_TRUE(font.font.bold());
  EXPECT_TRUE(font.font.italic());
  EXPECT_FALSE(font.font.underline());
  EXPECT_EQ(last.Title().Font(), grid.TitleFont());  // no comma: nothing set
  EXPECT_EQ(last.Color(), QColor(Qt::blue));
  EXPECT_EQ(last.Title().Color(), QColor(Qt::red));  // $0000FF is BGR
  EXPECT_EQ(last.Alignment(), TAlignment::taRightJustify);
  EXPECT_EQ(last.Title().Alignment(), TAlignment::taLeftJustify);
  EXPECT_TRUE(last.ReadOnly());
  EXPECT_EQ(last.FieldName(), "NUM");
  EXPECT_TRUE(grid.WriteSavedColumns().empty());
  EXPECT_EQ(columns.Items(0).Color(), grid_color);
}

// Every colour a stored form may carry: the classic names, the system
// colours by name and by number (new and old spelling), "no colour"; and
// the classic font names as installed fonts of the same kind.
TEST_F(ColumnsTest, SavedColumnsReadEveryColourAndClassicFonts) {
  ShownGrid grid;
  const QPalette palette = QApplication::palette();
  struct Case {
    const char* text;
    QColor color;
  };
  const Case cases[] = {
      {"clMoneyGreen", QColor(0xC0, 0xDC, 0xC0)},
      {"clSkyBlue", QColor(0xA6, 0xCA, 0xF0)},
      {"clCream", QColor(0xFF, 0xFB, 0xF0)},
      {"clMedGray", QColor(0xA0, 0xA0, 0xA4)},
      {"clMenuText", palette.color(QPalette::Active, QPalette::WindowText)},
      {"cl3DLight", palette.color(QPalette::Active, QPalette::Midlight)},
      {"cl3DDkShadow", palette.color(QPalette::Active, QPalette::Shadow)},
      {"clAppWorkSpace", palette.color(QPalette::Active, QPalette::Mid)},
      {"clInfoBk", palette.color(QPalette::Active, QPalette::ToolTipBase)},
      {"-16777211", palette.color(QPalette::Active, QPalette::Base)},         // clWindow
      {"$FF00000F", palette.color(QPalette::Active, QPalette::Button)},       // clBtnFace
      {"-2147483635", palette.color(QPalette::Active, QPalette::Highlight)},  // old clHighlight
      {"$80000012", palette.color(QPalette::Active, QPalette::ButtonText)},   // old clBtnText
      {"-16777199", palette.color(QPalette::Disabled, QPalette::Text)},       // clGrayText
      {"32768", QColor(0, 128, 0)},
  };
  std::vector<std::string> lines;
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    lines.push_back("cvColumn=" + std::to_string(i));
    lines.push_back(std::string("cvColorStr=") + cases[i].text);
    lines.push_back(std::string("cvTitleColorStr=") + cases[i].text);
  }
  const int plain = static_cast<int>(std::size(cases));
  for (const char* none : {"clNone", "clDefault", "536870911", "$20000000"}) {
    lines.push_back("cvColumn=" + std::to_string(plain));  // adds nothing after the first
    lines.push_back(std::string("cvColorStr=") + none);
  }
  // Not colours: an unused system colour number, one beyond the list, a
  // value above 24 bits, garbage.
  lines.push_back("cvColumn=" + std::to_string(plain + 1));
  for (const char* bad : {"-16777191", "$FF000040", "$01000000", "clNoSuch", "12x"}) {
    lines.push_back(std::string("cvColorStr=") + bad);
  }
  const std::pair<const char*, const char*> fonts[] = {
      {"Courier New", "DejaVu Sans Mono"},
      {"Times New Roman", "DejaVu Serif"},
      {"Arial", "DejaVu Sans"},
      {"MS Sans Serif", "DejaVu Sans"},
      {"Lucida Console", "DejaVu Sans Mono"},
      {"MS Serif", "DejaVu Serif"},
  };
  const int font_columns = plain + 2;
  for (std::size_t i = 0; i < std::size(fonts); ++i) {
    lines.push_back("cvColumn=" + std::to_string(font_columns + static_cast<int>(i)));
    lines.push_back(std::string("cvFontStr=") + fonts[i].first + ",clNone,8");
  }
  grid.ReadSavedColumns(lines);
  TOxGridColumns& columns = grid.Columns();
  ASSERT_EQ(columns.Count(), font_columns + static_cast<int>(std::size(fonts)));
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    TOxColumn& column = columns.Items(static_cast<int>(i));
    EXPECT_EQ(column.Color(), cases[i].color) << cases[i].text;
    EXPECT_EQ(column.Title().Color(), cases[i].color) << cases[i].text;
    EXPECT_TRUE(column.AssignedValues() & cvColor) << cases[i].text;
  }
  for (const int untouched : {plain, plain + 1}) {
    EXPECT_EQ(columns.Items(untouched).AssignedValues(), 0u) << untouched;
    EXPECT_EQ(columns.Items(untouched).Color(), grid.Color()) << untouched;
  }
  for (std::size_t i = 0; i < std::size(fonts); ++i) {
    const TOxFont font = columns.Items(font_columns + static_cast<int>(i)).Font();
    EXPECT_EQ(font.font.family(), fonts[i].second) << fonts[i].first;
    EXPECT_EQ(QFontInfo(font.font).family(), fonts[i].second) << "installed: " << fonts[i].first;
    EXPECT_EQ(QFontInfo(font.font).fixedPitch(),
              std::string(fonts[i].second).find("Mono") != std::string::npos)
        << fonts[i].first;
    EXPECT_EQ(font.color, grid.Font().color) << "clNone keeps the colour";
  }
}

TEST_F(ColumnsTest, UnassignedValuesFollowTheirDefaults) {
  ShownGrid grid;
  Open(MakeTable(2), grid);
  TOxGridColumns& columns = grid.Columns();
  ASSERT_EQ(columns.Count(), 3);
  EXPECT_EQ(columns.State(), TOxColumnsState::csDefault);
  TOxColumn& name = columns.Items(0);
  TOxColumn& num = columns.Items(1);
  num.SetColor(QColor(Qt::yellow));
  grid.SetGridColor(QColor(Qt::cyan));
  EXPECT_EQ(name.Color(), QColor(Qt::cyan));
  EXPECT_EQ(num.Color(), QColor(Qt::yellow));
  EXPECT_TRUE(num.IsStored(cvColor));
  EXPECT_FALSE(name.IsStored(cvColor));

  // The title shows the field's name, not its display label.
  table->FieldByName("NAME")->SetDisplayLabel("Person");
  EXPECT_EQ(name.Title().Caption(), "NAME");

  // Default widths from "0" in the column's font and the field's width.
  const int zero = QFontMetrics(name.Font().font).horizontalAdvance('0');
  EXPECT_EQ(name.Width(),
            std::max(zero * 10 + 4,
                     QFontMetrics(name.Title().Font().font).horizontalAdvance("NAME") + 4));
  EXPECT_EQ(grid.ColWidth(1), name.Width());
  // A pass-through column keeps the width it is given and hands the
  // field the number of "0" characters that fit, which gives that width
  // back as the default.
  const int num_zero = QFontMetrics(num.Font().font).horizontalAdvance('0');
  num.SetWidth(num_zero * 12 + 4 + 2);
  EXPECT_EQ(table->FieldByName("NUM")->DisplayWidth(), 12);
  EXPECT_EQ(num.Width(), num_zero * 12 + 4 + 2);
  EXPECT_EQ(grid.ColWidth(2), num.Width());
  num.SetWidth(num_zero * 9 + 4);
  EXPECT_EQ(table->FieldByName("NUM")->DisplayWidth(), 9);
  EXPECT_EQ(num.Width(), num.DefaultWidth());
  num.SetAlignment(TAlignment::taCenter);  // passes through: cannot be set
  EXPECT_EQ(num.Alignment(), TAlignment::taLeftJustify);

  // Setting the width to the default while unassigned leaves it so.
  TOxColumn& user = grid.Columns().Add();
  user.SetFieldName("NAME");
  user.SetWidth(user.DefaultWidth());
  EXPECT_EQ(user.AssignedValues() & cvWidth, 0u);
  user.SetWidth(user.DefaultWidth() + 7);
  EXPECT_TRUE(user.IsStored(cvWidth));
  user.RestoreDefaults();
  EXPECT_EQ(user.AssignedValues(), 0u);
}

TEST_F(ColumnsTest, AssignCopiesAssignedValuesAndTitle) {
  ShownGrid grid;
  TOxColumn& from = grid.Columns().Add();
  from.SetFieldName("NUM");
  from.SetWidth(99);
  from.SetReadOnly(true);
  from.Title().SetCaption("Number");
  from.SetDropDownRows(3);
  from.PickList() = {"a", "b"};
  from.SetButtonStyle(TOxColumnButtonStyle::cbsEllipsis);
  TOxColumn& to = grid.Columns().Add();
  to.Assign(from);
  EXPECT_EQ(to.FieldName(), "NUM");
  EXPECT_EQ(to.Width(), 99);
  EXPECT_TRUE(to.ReadOnly());
  EXPECT_EQ(to.Title().Caption(), "Number");
  EXPECT_EQ(to.DropDownRows(), 3);
  EXPECT_EQ(to.PickList(), from.PickList());
  EXPECT_EQ(to.ButtonStyle(), TOxColumnButtonStyle::cbsEllipsis);
  EXPECT_EQ(to.AssignedValues(), from.AssignedValues());
  // Restoring the defaults clears the flags, the caption, the pick list and
  // the button style.
  to.RestoreDefaults();
  EXPECT_EQ(to.AssignedValues(), 0u);
  EXPECT_EQ(to.Title().Caption(), "NUM");
  EXPECT_TRUE(to.PickList().empty());
  EXPECT_EQ(to.ButtonStyle(), TOxColumnButtonStyle::cbsAuto);
}

TEST_F(ColumnsTest, PersistentColumnsMapTheirFields) {
  ShownGrid grid;
  grid.ReadSavedColumns({"cvColumn=0", "cvFieldNameStr=NUM", "cvColumn=1", "cvFieldNameStr=MISSING",
                         "cvColumn=2", "cvFieldNameStr=NAME"});
  int defined = 0;
  grid.OnDefineFieldMap = [&](TCustomOxGrid&) { ++defined; };
  Open(MakeTable(2), grid);
  EXPECT_GT(defined, 0);
  ASSERT_EQ(grid.Columns().Count(), 3);
  EXPECT_EQ(grid.ColumnField(0), table->FieldByName("NUM"));
  EXPECT_EQ(grid.ColumnField(1), nullptr);
  EXPECT_EQ(grid.ColumnField(2), table->FieldByName("NAME"));
  EXPECT_EQ(grid.ColCount(), 4);  // with the indicator
}

TEST_F(ColumnsTest, PersistentColumnsFindTheirFieldsAgainAfterTheDatasetReopens) {
  ShownGrid grid;
  grid.ReadSavedColumns({"cvColumn=0", "cvFieldNameStr=NUM", "cvColumn=1", "cvFieldNameStr=NAME"});
  Open(MakeTable(2), grid);
  ASSERT_EQ(grid.ColumnField(0), table->FieldByName("NUM"));
  // Closing frees the dataset's fields; the columns must not read the freed
  // ones (AddressSanitizer reports it) when the reopened dataset rebuilds
  // the layout, and must show the new fields.
  table->Close();
  table->Open();
  EXPECT_EQ(grid.ColumnField(0), table->FieldByName("NUM"));
  EXPECT_EQ(grid.ColumnField(1), table->FieldByName("NAME"));
  EXPECT_GT(grid.Columns().Items(0).Width(), 0);
}

TEST_F(ColumnsTest, FixedColumnsAreCutToTheColumns) {
  ShownGrid grid;
  Open(MakeTable(2), grid);
  grid.SetFixedColumns(1);
  EXPECT_EQ(grid.FixedCols(), 2);
  grid.SetFixedColumns(10);
  EXPECT_EQ(grid.FixedColumns(), 10);
  EXPECT_LE(grid.FixedCols(), grid.Columns().Count());  // the plain grid keeps one to scroll
  grid.SetGridOptions(grid.GridOptions() & ~dgIndicator);
  EXPECT_EQ(grid.ColCount(), 3);
}

TEST_F(ColumnsTest, RightClickPressesOneTitleUnlessDisabled) {
  ShownGrid grid;
  Open(MakeTable(2), grid);
  std::vector<TOxColumn*> pressed;
  std::vector<TOxColumn*> clicked;
  grid.OnDepressTitle = [&](TCustomOxGrid&, TOxColumn* column) { pressed.push_back(column); };
  grid.OnTitleClick = [&](TCustomOxGrid&, TOxColumn* column) { clicked.push_back(column); };
  int corner = 0;
  grid.OnCornerRightClick = [&](TCustomOxGrid&) { ++corner; };
  QTest::mouseClick(grid.Surface(), Qt::RightButton, {}, grid.Center(1, 0));
  EXPECT_EQ(grid.PressedColumn(), &grid.Columns().Items(0));
  QTest::mouseClick(grid.Surface(), Qt::RightButton, {}, grid.Center(2, 0));
  EXPECT_EQ(grid.PressedColumn(), &grid.Columns().Items(1));
  EXPECT_EQ(pressed.size(), 2u);
  QTest::mouseClick(grid.Surface(), Qt::LeftButton, {}, grid.Center(2, 0));
  EXPECT_EQ(clicked, std::vector<TOxColumn*>{&grid.Columns().Items(1)});
  QTest::mouseClick(grid.Surface(), Qt::RightButton, {}, grid.Center(0, 0));
  EXPECT_EQ(corner, 1);
  // The pressed title is drawn sunken: its top-left edge in the shadow colour.
  const QRect title = grid.CellRect(2, 0);
  const QImage image = grid.Picture();
  EXPECT_NE(image.pixelColor(title.left(), title.top() + 3),
            image.pixelColor(grid.CellRect(1, 0).left(), title.top() + 3));
  grid.SetDepressDisabled(true);
  EXPECT_EQ(grid.PressedColumn(), nullptr);
  QTest::mouseClick(grid.Surface(), Qt::RightButton, {}, grid.Center(1, 0));
  EXPECT_EQ(grid.PressedColumn(), nullptr);
  EXPECT_EQ(pressed.size(), 2u);
}

}  // namespace
}  // namespace orvex::test
