// The data-aware grid over a real table: the rows it shows against an
// independent reader while scrolling every way, the colours and boxes it
// draws (pixels of grabbed pictures), deleting and restoring with their
// questions, editing through to the file.
#include <QWheelEvent>
#include <algorithm>

#include "controls_test_support.h"
#include "engine/navigation.h"

namespace orvex::test {
namespace {

class GridTest : public ControlsTest {
 protected:
  // NUM of every shown row must be the run of dbfread's records starting at
  // the first row's, and the selected row the dataset's active record.
  void ExpectRowsMatchReader(ShownGrid& grid, const std::vector<int>& all, const char* step) {
    const std::vector<int> rows = RowValues(grid.DataLink(), "NUM");
    ASSERT_FALSE(rows.empty()) << step;
    const auto first = std::find(all.begin(), all.end(), rows[0]);
    ASSERT_NE(first, all.end()) << step;
    const std::vector<int> expected(
        first, first + std::min<std::ptrdiff_t>(rows.size(), all.end() - first));
    EXPECT_EQ(rows, expected) << step;
    EXPECT_EQ(grid.Row() - grid.TitleOffset(), grid.DataLink().ActiveRecord()) << step;
    EXPECT_EQ(rows[static_cast<std::size_t>(grid.DataLink().ActiveRecord())],
              table->FieldByName("NUM")->AsInteger())
        << step;
  }
};

TEST_F(GridTest, RowsFollowTheTableWhileScrollingEveryWay) {
  const std::string path = MakeTable(100);
  std::vector<int> all;
  for (const std::string& line : DbfRead(path))
    all.push_back(std::stoi(line.substr(line.find('|', 2) + 1)));
  ASSERT_EQ(all.size(), 100u);
  ShownGrid grid;
  Open(path, grid);
  ExpectRowsMatchReader(grid, all, "open");
  EXPECT_EQ(grid.FixedRows(), 1);
  const int visible = grid.VisibleDataRows();
  ASSERT_GT(visible, 3);
  EXPECT_EQ(grid.DataLink().RecordCount(), visible);

  struct Key {
    Qt::Key key;
    Qt::KeyboardModifiers mods;
    int rec_no;  // where the dataset must be afterwards
  };
  const Key keys[] = {
      {Qt::Key_Down, {}, 2},
      {Qt::Key_PageDown, {}, 2 + visible},
      {Qt::Key_PageDown, {}, 2 + 2 * visible},
      {Qt::Key_PageUp, {}, 2 + visible},
      {Qt::Key_End, Qt::ControlModifier, 100},
      {Qt::Key_Up, {}, 99},
      {Qt::Key_Home, Qt::ControlModifier, 1},
      {Qt::Key_Down, Qt::ControlModifier, visible},
      {Qt::Key_Up, Qt::ControlModifier, 1},
  };
  for (const Key& k : keys) {
    QTest::keyClick(&grid, k.key, k.mods);
    const std::string step = "key " + std::to_string(k.key);
    EXPECT_EQ(table->GetRecNo(), k.rec_no) << step;
    ExpectRowsMatchReader(grid, all, step.c_str());
  }

  // The proportional scroll bar: range, page and position.
  QScrollBar* bar = grid.verticalScrollBar();
  EXPECT_EQ(bar->minimum(), 1);
  EXPECT_EQ(bar->pageStep(), visible);
  EXPECT_EQ(bar->value(), 1);
  bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
  EXPECT_EQ(table->GetRecNo(), 1 + visible);
  ExpectRowsMatchReader(grid, all, "bar page down");
  bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);  // the record below the last row
  ExpectRowsMatchReader(grid, all, "bar line down");
  bar->setSliderDown(true);
  bar->setSliderPosition(50);
  bar->setSliderDown(false);
  EXPECT_EQ(table->GetRecNo(), 50);
  EXPECT_EQ(bar->value(), 50);
  ExpectRowsMatchReader(grid, all, "thumb");
  bar->triggerAction(QAbstractSlider::SliderToMaximum);
  EXPECT_EQ(table->GetRecNo(), 100);
  bar->triggerAction(QAbstractSlider::SliderToMinimum);
  EXPECT_EQ(table->GetRecNo(), 1);

  // The wheel: one notch towards the user moves below the last row.
  QWheelEvent wheel(QPointF(50, 50), grid.mapToGlobal(QPointF(50, 50)), {}, QPoint(0, -120),
                    Qt::NoButton, {}, Qt::NoScrollPhase, false);
  QApplication::sendEvent(grid.Surface(), &wheel);
  EXPECT_EQ(table->GetRecNo(), visible + 1);
  ExpectRowsMatchReader(grid, all, "wheel");

  // A click on a row makes its record current.
  QTest::mouseClick(grid.Surface(), Qt::LeftButton, {}, grid.Center(2, 3));
  ExpectRowsMatchReader(grid, all, "click");
  EXPECT_EQ(grid.Row(), 3);
}

// A table whose record numbers do not follow its order (as in an index
// order): the scroll bar has three positions.
class UnsequencedTable : public GridTable {
 public:
  using GridTable::GridTable;
  bool IsSequenced() override { return false; }
};

TEST_F(GridTest, ThreePositionScrollBarWithoutSequence) {
  const std::string path = MakeTable(100);
  table = std::make_unique<UnsequencedTable>(path);
  source.SetDataSet(table.get());
  table->Open();
  ShownGrid grid;
  grid.SetDataSource(&source);
  QScrollBar* bar = grid.verticalScrollBar();
  const int visible = grid.VisibleDataRows();
  EXPECT_EQ(bar->minimum(), 0);
  EXPECT_EQ(bar->maximum(), 4);
  EXPECT_EQ(bar->value(), 0);
  QTest::keyClick(&grid, Qt::Key_PageDown);
  EXPECT_EQ(bar->value(), 2);
  QTest::keyClick(&grid, Qt::Key_End, Qt::ControlModifier);
  EXPECT_EQ(bar->value(), 4);
  struct Thumb {
    int position;
    int rec_no;
  };
  for (const Thumb& t : {Thumb{0, 1}, Thumb{3, 1 + visible}, Thumb{1, 1}, Thumb{4, 100}}) {
    bar->setSliderDown(true);
    bar->setSliderPosition(t.position);
    bar->setSliderDown(false);
    EXPECT_EQ(table->GetRecNo(), t.rec_no) << t.position;
  }
}

TEST_F(GridTest, ScrollBarGoesWhenAllRowsFit) {
  ShownGrid grid;
  Open(MakeTable(3), grid);
  EXPECT_EQ(grid.verticalScrollBar()->maximum(), grid.verticalScrollBar()->minimum());
}

QColor PixelIn(const QImage& image, const QRect& rect) {
  return image.pixelColor(rect.right() - 2, rect.center().y());
}

TEST_F(GridTest, DeletedRecordsAreRedAndTheColoursEventChangesRows) {
  const std::string path = MakeTable(5);
  Select(1);
  USE(path + " EXCLUSIVE");
  GO(3);
  DeleteRec();
  USE("");
  ShownGrid grid;
  Open(path, grid);
  ASSERT_FALSE(table->HideDeletedRecs());
  QImage image = grid.Picture();
  const QRect deleted =
      grid.CellRect(2, 3);  // row 3 = record 3; NUM column away from the selection
  EXPECT_EQ(PixelIn(image, deleted), QColor(Qt::red));
  EXPECT_EQ(PixelIn(image, grid.CellRect(2, 2)), grid.Color());

  std::vector<int> seen_rows;
  grid.OnChangeColorsEvent = [&](TCustomOxGrid&, int row, TOxRowColors& colors) {
    seen_rows.push_back(row);
    // The handler sees the row being drawn as the current record.
    if (table->FieldByName("NUM")->AsInteger() == 2) colors.CellColor = QColor(Qt::green);
    if (table->IsCurrentDeleted()) colors.DeletedColor = QColor(Qt::blue);
  };
  grid.InvalidateGrid();
  image = grid.Picture();
  EXPECT_EQ(PixelIn(image, grid.CellRect(2, 2)), QColor(Qt::green));
  EXPECT_EQ(PixelIn(image, deleted), QColor(Qt::blue));
  EXPECT_EQ(PixelIn(image, grid.CellRect(2, 4)), grid.Color());
  EXPECT_FALSE(seen_rows.empty());
  EXPECT_EQ(table->GetRecNo(), 1);  // the active record is back
}

TEST_F(GridTest, LogicalFieldsAsBoxesOrText) {
  ShownGrid grid;
  Open(MakeTable(4), grid);
  const QRect checked = grid.CellRect(3, 3);    // record 3: true
  const QRect unchecked = grid.CellRect(3, 4);  // record 4: false
  const QImage boxes = grid.Picture();
  auto dark = [](const QImage& image, const QRect& rect) {
    int count = 0;
    for (int y = rect.top(); y <= rect.bottom(); ++y) {
      for (int x = rect.left(); x <= rect.right(); ++x) count += qGray(image.pixel(x, y)) < 100;
    }
    return count;
  };
  // The cross: both diagonals through the middle of the box.
  const QPoint mid = checked.center();
  EXPECT_LT(qGray(boxes.pixel(mid)), 100);
  EXPECT_GE(qGray(boxes.pixel(unchecked.center())), 100);
  EXPECT_GT(dark(boxes, checked), dark(boxes, unchecked) + 4);
  EXPECT_GT(dark(boxes, unchecked), 4);  // the square outline

  grid.SetBooleanBox(TOxBooleanBox::bbText);
  const QImage texts = grid.Picture();
  EXPECT_NE(texts.copy(checked), boxes.copy(checked));      // no cross any more
  EXPECT_NE(texts.copy(unchecked), boxes.copy(unchecked));  // "False" instead of the square
  EXPECT_GT(dark(texts, checked), 4);                       // "True" written
  grid.SetBooleanBox(TOxBooleanBox::bbFillBoxRed);
  EXPECT_EQ(grid.Picture().pixelColor(mid), QColor(Qt::red));
}

TEST_F(GridTest, CtrlDeleteDeletesAndRestoresAfterItsQuestions) {
  const std::string path = MakeTable(3);
  ShownGrid grid;
  Open(path, grid);
  table->Next();
  QTest::keyClick(&grid, Qt::Key_Delete, Qt::ControlModifier);
  ASSERT_EQ(questions, std::vector<std::string>{"Datensatz l\xF6schen ?"});
  EXPECT_TRUE(table->IsCurrentDeleted());
  EXPECT_EQ(DbfRead(path)[2], "D|Name 2|2|F");
  QTest::keyClick(&grid, Qt::Key_Delete, Qt::ControlModifier);
  EXPECT_EQ(questions.back(), "Datensatz restaurieren ?");
  EXPECT_FALSE(table->IsCurrentDeleted());
  EXPECT_EQ(DbfRead(path)[1], "R|Name 2|2|F");

  answer = false;  // declined: nothing changes
  QTest::keyClick(&grid, Qt::Key_Delete, Qt::ControlModifier);
  EXPECT_FALSE(table->IsCurrentDeleted());
  grid.SetGridOptions(grid.GridOptions() & ~(dgConfirmDelete | dgConfirmRestore));
  questions.clear();
  QTest::keyClick(&grid, Qt::Key_Delete, Qt::ControlModifier);
  EXPECT_TRUE(table->IsCurrentDeleted());
  EXPECT_TRUE(questions.empty());
}

TEST_F(GridTest, ReadOnlyTableOrGridIgnoresDeleting) {
  const std::string path = MakeTable(3);
  const std::string before = ReadFileBytes(path);
  ShownGrid grid;
  Open(path, grid);
  table->read_only = true;
  QTest::keyClick(&grid, Qt::Key_Delete, Qt::ControlModifier);
  table->read_only = false;
  grid.SetReadOnly(true);
  QTest::keyClick(&grid, Qt::Key_Delete, Qt::ControlModifier);
  QTest::keyClick(&grid, Qt::Key_Insert);
  EXPECT_TRUE(questions.empty());
  EXPECT_EQ(table->State(), data::TDataSetState::dsBrowse);
  table->Close();
  EXPECT_EQ(ReadFileBytes(path), before);
}

TEST_F(GridTest, EditingPostsToTheFileAppendsAndCancels) {
  const std::string path = MakeTable(2);
  ShownGrid grid;
  Open(path, grid);
  grid.setFocus();
  QTest::keyClicks(&grid, "Zed");  // typing over the NAME cell
  QTest::keyClick(&grid, Qt::Key_Down);
  EXPECT_EQ(table->GetRecNo(), 2);
  EXPECT_EQ(DbfRead(path)[0], "R|Zed|1|T");

  // Space toggles a logical cell; moving away posts it.
  grid.SetSelectedIndex(2);
  QTest::keyClick(&grid, Qt::Key_Space);
  QTest::keyClick(&grid, Qt::Key_Up);
  EXPECT_EQ(DbfRead(path)[1], "R|Name 2|2|T");

  // Down past the last record appends; Esc cancels the new record.
  table->Last();
  QTest::keyClick(&grid, Qt::Key_Down);
  EXPECT_EQ(table->State(), data::TDataSetState::dsInsert);
  QTest::keyClick(&grid, Qt::Key_Escape);
  EXPECT_EQ(table->State(), data::TDataSetState::dsBrowse);
  EXPECT_EQ(DbfRead(path).size(), 2u);

  // Esc while editing puts the old value back.
  grid.SetSelectedIndex(0);
  QTest::keyClicks(&grid, "Gone");
  QTest::keyClick(&grid, Qt::Key_Escape);
  EXPECT_EQ(table->State(), data::TDataSetState::dsBrowse);
  EXPECT_EQ(DbfRead(path)[1], "R|Name 2|2|T");
}

TEST_F(GridTest, IndicatorShowsTheStateAndHandlersSeeTheDrawnRecordInTheEngine) {
  ShownGrid grid;
  Open(MakeTable(3), grid);
  const QRect indicator = grid.CellRect(0, 1);
  const QImage browse = grid.Picture().copy(indicator);
  EXPECT_NE(browse, grid.Picture().copy(grid.CellRect(0, 2)));  // only the active row has it
  table->Edit();
  const QImage edit = grid.Picture().copy(indicator);
  table->Cancel();
  table->Insert();
  const QImage insert = grid.Picture().copy(indicator);
  table->Cancel();
  EXPECT_NE(browse, edit);
  EXPECT_NE(edit, insert);
  EXPECT_NE(browse, insert);

  // While a data cell is drawn, the engine's record is the drawn row's.
  std::vector<int> engine_nums;
  grid.OnDrawDataCell = [&](TCustomOxGrid&, const QRect&, data::TField* field, unsigned) {
    if (field != nullptr && field->FieldName() == "NUM") {
      std::int32_t value = 0;
      ASSERT_TRUE(table->SelectArea("test"));
      std::memcpy(&value, FieldAddress(2), 4);
      engine_nums.push_back(value);
    }
  };
  grid.InvalidateGrid();
  grid.Picture();
  EXPECT_EQ(engine_nums, (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(table->FieldByName("NUM")->AsInteger(), 1);
}

TEST_F(GridTest, DraggingAColumnMovesItsField) {
  ShownGrid grid;
  Open(MakeTable(2), grid);
  int moved_from = -1, moved_to = -1;
  grid.OnColumnMoved = [&](TCustomOxGrid&, int from, int to) { moved_from = from, moved_to = to; };
  grid.MoveColumn(3, 1);  // FLAG to the front
  EXPECT_EQ(moved_from, 2);
  EXPECT_EQ(moved_to, 0);
  EXPECT_EQ(table->Fields(0)->FieldName(), "FLAG");
  EXPECT_EQ(grid.Columns().Items(0).FieldName(), "FLAG");
  EXPECT_EQ(grid.ColumnField(1), table->FieldByName("NAME"));
}

TEST_F(GridTest, TooManyColumnsRaiseTheGridError) {
  ShownGrid grid;
  Open(MakeTable(1), grid);
  TOxGridDataLink& link = grid.DataLink();
  link.ClearMapping();
  for (int i = 0; i < kMaxMapSize; ++i) link.AddMapping("NUM");
  try {
    link.AddMapping("NUM");
    FAIL() << "no error";
  } catch (const EInvalidGridOperation& error) {
    EXPECT_STREQ(error.what(), "Zu viele Spalten in Tabelle");
  }
  EXPECT_EQ(link.MapSize(), kMaxMapSize);
}

}  // namespace
}  // namespace orvex::test
