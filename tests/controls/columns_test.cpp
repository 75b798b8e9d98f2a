// Grid columns: assigned values against their defaults, the stored column
// descriptions, titles, fixed columns and pressed titles.
#include <QFontMetrics>

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
  EXPECT_EQ(font.font.family(), "Courier");
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
  // A pass-through column hands its width to the field.
  num.SetWidth(QFontMetrics(num.Font().font).averageCharWidth() * 12);
  EXPECT_EQ(table->FieldByName("NUM")->DisplayWidth(), 12);
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
