// The plain grid driven like a user would: clicks, keys, dragging column
// edges and titles, scrolling, the in-place editor, and the pictures it draws.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QWheelEvent>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/widgets/custom_grid.h"
#include "support/gui_test_support.h"

namespace orvex::ui {
namespace {

// A grid of texts "col,row" that records what the base grid asks of it.
class TextGrid : private test::AppFirst, public TCustomGrid {
 public:
  TextGrid() {
    resize(400, 200);
    SetColCount(6);
    SetRowCount(8);
    SetDefaultColWidth(60);
    SetDefaultRowHeight(20);
    SetOptions(Options() | goColSizing | goColMoving | goEditing | goTabs);
    show();
    activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(this));
    setFocus();
  }

  QPoint Center(int col, int row) const { return CellRect(col, row).center(); }
  QWidget* Surface() const { return viewport(); }

  std::vector<std::string> log;
  bool refuse_select = false;
  bool modifiable = true;
  bool digits_only = false;
  QRect red_cell_rect;  // DrawCell paints this cell red
  int red_col = -1, red_row = -1;
  QString edited;
  GridState last_finished = GridState::kNormal;

 protected:
  bool SelectCell(int col, int row) override {
    log.push_back("select " + std::to_string(col) + "," + std::to_string(row));
    return !refuse_select;
  }
  bool CanEditModify() const override { return modifiable; }
  bool CanEditAcceptKey(QChar key) const override { return !digits_only || key.isDigit(); }
  QString GetEditText(int col, int row) const override {
    return QString("%1,%2").arg(col).arg(row);
  }
  void SetEditText(int, int, const QString& text) override { edited = text; }
  void DrawCell(QPainter& painter, int col, int row, const QRect& rect, unsigned state) override {
    if (col == red_col && row == red_row) painter.fillRect(rect, Qt::red);
    TCustomGrid::DrawCell(painter, col, row, rect, state);
  }
  void MouseUp(QMouseEvent*, GridCoord, GridState finished) override { last_finished = finished; }
  void ColumnMoved(int from, int to) override {
    log.push_back("moved " + std::to_string(from) + ">" + std::to_string(to));
  }
  void ColWidthsChanged() override { log.push_back("widths"); }
  void VScroll(ScrollCode code, int position) override {
    log.push_back("vscroll " + std::to_string(static_cast<int>(code)) + " " +
                  std::to_string(position));
  }
};

TEST(GridLayout, CellsAndMouseCoordinatesAgree) {
  TextGrid grid;
  // Columns 60 wide plus a 1-pixel line, rows 20 high plus a line.
  EXPECT_EQ(grid.CellRect(0, 0), QRect(0, 0, 60, 20));
  EXPECT_EQ(grid.CellRect(2, 1), QRect(122, 21, 60, 20));
  for (int col = 0; col < 6; ++col) {
    for (int row = 0; row < 8; ++row) {
      const QRect r = grid.CellRect(col, row);
      if (r.isEmpty()) continue;
      EXPECT_EQ(grid.MouseCoord(r.topLeft()), (GridCoord{col, row}));
      EXPECT_EQ(grid.MouseCoord(r.bottomRight() + QPoint(1, 1)), (GridCoord{col, row}))
          << "the line after a cell belongs to it";
    }
  }
  EXPECT_EQ(grid.MouseCoord(QPoint(5000, 5)), GridCoord{});
}

TEST(GridLayout, FixedCountsLeaveOneScrollableCell) {
  TextGrid grid;
  grid.SetFixedCols(9);
  grid.SetFixedRows(9);
  EXPECT_EQ(grid.FixedCols(), 5);
  EXPECT_EQ(grid.FixedRows(), 7);
  EXPECT_EQ(grid.Col(), 5);
  EXPECT_EQ(grid.Row(), 7);
  grid.SetColCount(12);
  EXPECT_EQ(grid.FixedCols(), 9) << "the count set comes back as the grid grows";
  grid.SetFixedCols(1);
  grid.SetFixedRows(1);
  grid.MoveTo(2, 2);
  EXPECT_EQ((GridCoord{grid.Col(), grid.Row()}), (GridCoord{2, 2}));
}

TEST(GridPicture, LinesFollowTheOptions) {
  struct Case {
    GridOptions options;
    QRgb fixed_gap, data_gap;  // between cells (0,0)|(1,0) and (1,1)|(2,1)
  };
  TextGrid probe;
  const QRgb fixed_fill = probe.FixedColor().rgb();
  const QRgb data_fill = probe.Color().rgb();
  const Case cases[] = {
      {goFixedVertLine | goVertLine, TCustomGrid::kFixedLineColor, TCustomGrid::kLineColor},
      {goVertLine, fixed_fill, TCustomGrid::kLineColor},
      {goFixedVertLine, TCustomGrid::kFixedLineColor, data_fill},
  };
  for (const Case& c : cases) {
    TextGrid grid;
    grid.SetCol(3);  // keep the selection away from the probed cells
    grid.SetOptions(c.options);
    const QImage image = grid.Surface()->grab().toImage();
    const QRect fixed = grid.CellRect(0, 0);
    const QRect data = grid.CellRect(1, 1);
    EXPECT_EQ(image.pixel(fixed.right() + 1, fixed.center().y()), c.fixed_gap);
    EXPECT_EQ(image.pixel(data.right() + 1, data.center().y()), c.data_gap);
  }
  TextGrid none;
  none.SetOptions(0);
  EXPECT_EQ(none.CellRect(1, 1), QRect(60, 20, 60, 20)) << "no lines, no gaps";
}

TEST(GridPicture, DrawCellPaintsInsideTheCell) {
  TextGrid grid;
  grid.red_col = 2;
  grid.red_row = 3;
  const QImage image = grid.Surface()->grab().toImage();
  const QRect r = grid.CellRect(2, 3);
  EXPECT_EQ(image.pixel(r.topLeft()), qRgb(255, 0, 0));
  EXPECT_EQ(image.pixel(r.bottomRight()), qRgb(255, 0, 0));
  EXPECT_EQ(image.pixel(r.right() + 1, r.center().y()), TCustomGrid::kLineColor);
  EXPECT_EQ(image.pixel(r.center().x(), r.top() - 1), TCustomGrid::kLineColor);
}

TEST(GridMouse, ClickSelectsDataCellsOnly) {
  TextGrid grid;
  QTest::mouseClick(grid.Surface(), Qt::LeftButton, {}, grid.Center(3, 2));
  EXPECT_EQ((GridCoord{grid.Col(), grid.Row()}), (GridCoord{3, 2}));
  QTest::mouseClick(grid.Surface(), Qt::LeftButton, {}, grid.Center(0, 4));  // fixed column
  EXPECT_EQ((GridCoord{grid.Col(), grid.Row()}), (GridCoord{3, 2}));
  grid.refuse_select = true;
  QTest::mouseClick(grid.Surface(), Qt::LeftButton, {}, grid.Center(1, 1));
  EXPECT_EQ((GridCoord{grid.Col(), grid.Row()}), (GridCoord{3, 2}));
  EXPECT_EQ(grid.log.back(), "select 1,1");
  EXPECT_TRUE(grid.hasFocus());
}

TEST(GridKeys, MoveTheSelection) {
  struct Case {
    GridCoord from;
    int key;
    Qt::KeyboardModifiers modifiers;
    GridCoord to;
  };
  const Case cases[] = {
      {{2, 2}, Qt::Key_Down, {}, {2, 3}},
      {{2, 2}, Qt::Key_Up, {}, {2, 1}},
      {{2, 1}, Qt::Key_Up, {}, {2, 1}},  // not into the fixed row
      {{2, 2}, Qt::Key_Right, {}, {3, 2}},
      {{1, 2}, Qt::Key_Left, {}, {1, 2}},
      {{3, 2}, Qt::Key_Home, {}, {1, 2}},
      {{3, 2}, Qt::Key_End, {}, {5, 2}},
      {{3, 4}, Qt::Key_Home, Qt::ControlModifier, {3, 1}},
      {{3, 4}, Qt::Key_End, Qt::ControlModifier, {3, 7}},
      {{5, 2}, Qt::Key_Tab, {}, {1, 3}},  // wraps to the next row
      {{1, 3}, Qt::Key_Backtab, Qt::ShiftModifier, {5, 2}},
      {{2, 1}, Qt::Key_PageDown, {}, {2, 7}},
  };
  for (const Case& c : cases) {
    TextGrid grid;
    grid.resize(400, 400);
    grid.MoveTo(c.from.col, c.from.row);
    QTest::keyClick(&grid, static_cast<Qt::Key>(c.key), c.modifiers);
    EXPECT_EQ((GridCoord{grid.Col(), grid.Row()}), c.to) << "key " << c.key;
  }
  // On a form with other controls, Tab moves between cells only with goTabs.
  QWidget form;
  auto* grid = new TextGrid;
  grid->setParent(&form);
  auto* button = new QPushButton("OK", &form);
  button->move(0, 210);
  form.show();
  form.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
  grid->setFocus();
  QTest::keyClick(grid, Qt::Key_Tab);
  EXPECT_EQ(grid->Col(), 2);
  EXPECT_TRUE(grid->hasFocus());
  grid->SetOptions(grid->Options() & ~goTabs);
  QTest::keyClick(grid, Qt::Key_Tab);
  EXPECT_EQ(grid->Col(), 2);
  EXPECT_TRUE(button->hasFocus());
}

TEST(GridScroll, SelectionScrollsIntoView) {
  TextGrid grid;
  grid.SetColCount(20);
  grid.SetRowCount(50);
  grid.MoveTo(15, 40);
  const QRect r = grid.CellRect(15, 40);
  ASSERT_FALSE(r.isEmpty());
  EXPECT_LE(r.right(), grid.Surface()->width());
  EXPECT_LE(r.bottom(), grid.Surface()->height());
  EXPECT_EQ(grid.horizontalScrollBar()->value(), grid.LeftCol());
  EXPECT_EQ(grid.verticalScrollBar()->value(), grid.TopRow());
  grid.verticalScrollBar()->setValue(3);  // the user drags the bar
  EXPECT_EQ(grid.TopRow(), 3);
  const int left = grid.LeftCol();
  EXPECT_EQ(grid.MouseCoord(grid.CellRect(left, 3).center()), (GridCoord{left, 3}));
  grid.MoveTo(1, 1);
  EXPECT_EQ(grid.LeftCol(), 1);
  EXPECT_EQ(grid.TopRow(), 1);
}

// Going to the last of many rows costs what one screen costs: the work of
// Ctrl+End, then Ctrl+Home, on 20,000 rows is that on 200 rows (before,
// the view crept down one row at a time, measuring every row in between
// each time).
TEST(GridScroll, JumpingToTheEndCostsOneScreen) {
  auto jump_work = [](int rows) {
    TextGrid grid;
    grid.SetRowCount(rows);
    grid.SetRowHeight(rows - 3, 45);  // rows of their own height near the end
    const std::uint64_t start = grid.MeasuredCells();
    QTest::keyClick(&grid, Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(grid.Row(), rows - 1);
    const QRect last = grid.CellRect(1, rows - 1);
    EXPECT_FALSE(last.isEmpty());
    EXPECT_LE(last.bottom(), grid.Surface()->height());
    EXPECT_EQ(grid.TopRow(), grid.verticalScrollBar()->maximum()) << "the last screenful";
    QTest::keyClick(&grid, Qt::Key_Home, Qt::ControlModifier);
    EXPECT_EQ(grid.TopRow(), 1);
    return grid.MeasuredCells() - start;
  };
  const std::uint64_t few = jump_work(200);
  const std::uint64_t many = jump_work(20000);
  EXPECT_GT(few, 0u);
  EXPECT_LE(many, few + 10) << "few rows: " << few;
}

// The plain grid's wheel: three rows a notch, summed from parts of notches;
// the horizontal wheel scrolls the columns.
TEST(GridScroll, WheelScrollsRowsAndColumns) {
  TextGrid grid;
  grid.SetColCount(20);
  grid.SetRowCount(50);
  auto wheel = [&](QPoint angle) {
    QWheelEvent event(QPointF(10, 10), grid.mapToGlobal(QPointF(10, 10)), QPoint(), angle,
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(grid.Surface(), &event);
  };
  wheel(QPoint(0, -120));
  EXPECT_EQ(grid.TopRow(), 4);
  wheel(QPoint(0, -40));
  wheel(QPoint(0, -40));
  EXPECT_EQ(grid.TopRow(), 4);
  wheel(QPoint(0, -40));
  EXPECT_EQ(grid.TopRow(), 7);
  wheel(QPoint(-240, 0));
  EXPECT_EQ(grid.LeftCol(), 3);
  wheel(QPoint(120, 0));
  EXPECT_EQ(grid.LeftCol(), 2);
  EXPECT_EQ(grid.Row(), 1) << "the selection stays";
  EXPECT_EQ(grid.Col(), 1);
}

TEST(GridMouse, DraggingAColumnEdgeSizesIt) {
  TextGrid grid;
  const QRect title = grid.CellRect(2, 0);
  const QPoint edge(title.right() + 1, title.center().y());
  ASSERT_TRUE(grid.IsSizingArea(edge));
  EXPECT_FALSE(grid.IsSizingArea(QPoint(title.center().x(), title.center().y())));
  QTest::mousePress(grid.Surface(), Qt::LeftButton, {}, edge);
  EXPECT_EQ(grid.State(), GridState::kColSizing);
  QMouseEvent move(QEvent::MouseMove, QPointF(edge + QPoint(25, 0)), QPointF(), Qt::LeftButton,
                   Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(grid.Surface(), &move);
  QTest::mouseRelease(grid.Surface(), Qt::LeftButton, {}, edge + QPoint(25, 0));
  EXPECT_EQ(grid.ColWidth(2), 85);
  EXPECT_EQ(grid.log.back(), "widths");
  EXPECT_EQ(grid.last_finished, GridState::kColSizing);

  // Pressed off the exact edge (inside the sizing area), the width follows
  // the distance dragged; a click without dragging changes nothing.
  grid.log.clear();
  const QRect sized = grid.CellRect(2, 0);
  const QPoint near(sized.right() - 1, sized.center().y());
  ASSERT_TRUE(grid.IsSizingArea(near));
  QTest::mouseClick(grid.Surface(), Qt::LeftButton, {}, near);
  EXPECT_EQ(grid.ColWidth(2), 85);
  EXPECT_TRUE(grid.log.empty()) << "no width changed";
  QTest::mousePress(grid.Surface(), Qt::LeftButton, {}, near);
  QMouseEvent back(QEvent::MouseMove, QPointF(near - QPoint(10, 0)), QPointF(), Qt::LeftButton,
                   Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(grid.Surface(), &back);
  QTest::mouseRelease(grid.Surface(), Qt::LeftButton, {}, near - QPoint(10, 0));
  EXPECT_EQ(grid.ColWidth(2), 75);
}

TEST(GridMouse, DraggingATitleMovesTheColumn) {
  TextGrid grid;
  grid.SetColWidth(1, 40);
  grid.log.clear();
  const QPoint from = grid.Center(1, 0);
  const QPoint to = grid.Center(3, 0);
  QTest::mousePress(grid.Surface(), Qt::LeftButton, {}, from);
  for (int x = from.x(); x <= to.x(); x += 10) {
    QMouseEvent move(QEvent::MouseMove, QPointF(x, from.y()), QPointF(), Qt::LeftButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(grid.Surface(), &move);
  }
  QTest::mouseRelease(grid.Surface(), Qt::LeftButton, {}, to);
  ASSERT_EQ(grid.log, std::vector<std::string>{"moved 1>3"});
  EXPECT_EQ(grid.ColWidth(3), 40) << "the width moves with the column";
  EXPECT_EQ(grid.Col(), 3) << "the selected column moves with it";
  EXPECT_EQ(grid.last_finished, GridState::kColMoving);

  grid.log.clear();
  QTest::mouseClick(grid.Surface(), Qt::LeftButton, {}, grid.Center(2, 0));
  EXPECT_TRUE(grid.log.empty()) << "a click on a title moves nothing";
  EXPECT_EQ(grid.last_finished, GridState::kNormal);
}

TEST(GridEditor, ShowTypeAndCancel) {
  TextGrid grid;
  grid.MoveTo(2, 3);
  QTest::keyClick(&grid, Qt::Key_F2);
  ASSERT_TRUE(grid.EditorMode());
  QLineEdit* editor = grid.InplaceEditor();
  EXPECT_EQ(editor->text(), "2,3");
  EXPECT_EQ(editor->geometry(), grid.CellRect(2, 3));
  QTest::keyClick(editor, Qt::Key_End);
  QTest::keyClicks(editor, "x");
  EXPECT_EQ(grid.edited, "2,3x");
  QTest::keyClick(editor, Qt::Key_Escape);
  EXPECT_FALSE(grid.EditorMode());
  EXPECT_EQ(grid.edited, "2,3") << "Esc puts the first text back";
  EXPECT_TRUE(grid.hasFocus());

  QTest::keyClick(&grid, Qt::Key_X, Qt::AltModifier);  // a shortcut, not typing
  EXPECT_FALSE(grid.EditorMode());
  EXPECT_EQ(grid.edited, "2,3");
  QTest::keyClicks(&grid, "7");  // typing over a cell starts the editor
  ASSERT_TRUE(grid.EditorMode());
  EXPECT_EQ(grid.InplaceEditor()->text(), "7");
  QTest::keyClick(grid.InplaceEditor(), Qt::Key_Down);  // leaves the cell
  EXPECT_FALSE(grid.EditorMode());
  EXPECT_EQ(grid.Row(), 4);
}

TEST(GridEditor, KeysAndModifyRulesOfTheDerivedGrid) {
  TextGrid grid;
  grid.digits_only = true;
  QTest::keyClick(&grid, Qt::Key_F2);
  QLineEdit* editor = grid.InplaceEditor();
  editor->clear();
  QTest::keyClicks(editor, "a1b2");
  EXPECT_EQ(editor->text(), "12");

  TextGrid read_only;
  read_only.modifiable = false;
  QTest::keyClick(&read_only, Qt::Key_F2);
  EXPECT_TRUE(read_only.InplaceEditor()->isReadOnly());
  read_only.modifiable = true;  // the data under the editor changed
  read_only.InvalidateEditor();
  EXPECT_FALSE(read_only.InplaceEditor()->isReadOnly());

  TextGrid not_editing;
  not_editing.SetOptions(not_editing.Options() & ~goEditing);
  QTest::keyClick(&not_editing, Qt::Key_F2);
  QTest::mouseClick(not_editing.Surface(), Qt::LeftButton, {}, not_editing.Center(1, 1));
  EXPECT_FALSE(not_editing.EditorMode());

  TextGrid always;
  always.SetOptions(always.Options() | goAlwaysShowEditor);
  ASSERT_TRUE(always.EditorMode());
  QTest::keyClick(always.InplaceEditor(), Qt::Key_Tab);
  EXPECT_TRUE(always.EditorMode());
  EXPECT_EQ(always.InplaceEditor()->text(), "2,1") << "the editor follows the selection";
}

TEST(GridScroll, ExternalVerticalBar) {
  TextGrid grid;
  grid.SetExternalVScroll(true);
  QScrollBar* bar = grid.verticalScrollBar();
  EXPECT_TRUE(grid.SetVScroll(1, 1000 + 7 - 1, 7, 40));  // 1000 records, 7 on screen
  EXPECT_FALSE(grid.SetVScroll(1, 1006, 7, 40)) << "unchanged values are not set again";
  EXPECT_EQ(bar->minimum(), 1);
  EXPECT_EQ(bar->maximum(), 1000);
  EXPECT_EQ(bar->pageStep(), 7);
  EXPECT_EQ(bar->value(), 40);
  EXPECT_EQ(grid.verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);

  grid.log.clear();
  bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
  bar->triggerAction(QAbstractSlider::SliderPageStepSub);
  bar->triggerAction(QAbstractSlider::SliderToMaximum);
  QWheelEvent wheel(QPointF(10, 10), QPointF(10, 10), QPoint(), QPoint(0, -120), Qt::NoButton,
                    Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(grid.Surface(), &wheel);
  bar->setSliderDown(true);
  bar->setSliderPosition(300);
  bar->setSliderDown(false);  // released: the thumb's position is reported
  const std::vector<std::string> expected = {"vscroll 1 41", "vscroll 2 33", "vscroll 5 1000",
                                             "vscroll 1 40", "vscroll 6 300"};
  EXPECT_EQ(grid.log, expected);
  EXPECT_EQ(bar->value(), 40) << "only the derived grid moves the bar";
  EXPECT_EQ(grid.TopRow(), 1);

  EXPECT_TRUE(grid.SetVScroll(0, 0, 0, 0));
  EXPECT_EQ(grid.verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
}

}  // namespace
}  // namespace orvex::ui
