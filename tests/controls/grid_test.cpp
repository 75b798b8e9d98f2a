// The data-aware grid over a real table opened through the table component:
// the rows it shows, in natural order and in two tags' orders, against an
// independent reader while scrolling every way, the colours and boxes it
// draws (pixels of grabbed pictures), deleting and restoring with their
// questions, editing through to the file.
#include <QLineEdit>
#include <QWheelEvent>
#include <algorithm>

#include "controls_test_support.h"
#include "engine/navigation.h"

namespace orvex::test {
namespace {

// An order of the table and how the independent reading is sorted into it.
struct OrderCase {
  const char* tag;                                       // "" natural order
  bool (*before)(const ReadRecord&, const ReadRecord&);  // nullptr: file order
};
const OrderCase kOrders[] = {
    {"", nullptr},
    {"NAME", [](const ReadRecord& a, const ReadRecord& b) { return a.name < b.name; }},
    {"NUMDOWN", [](const ReadRecord& a, const ReadRecord& b) { return a.num > b.num; }},
};

class GridTest : public ControlsTest {
 protected:
  // NUM of every record, in the order's sequence, from dbfread's reading.
  std::vector<int> ReadOrder(const std::string& path, const OrderCase& order) {
    std::vector<ReadRecord> records = ReadTable(path);
    if (order.before != nullptr) std::stable_sort(records.begin(), records.end(), order.before);
    std::vector<int> nums;
    for (const ReadRecord& r : records) nums.push_back(r.num);
    return nums;
  }
  // Where the dataset stands in `order` (1-based).
  int Position(const std::vector<int>& order) {
    const int num = table->FieldByName("NUM")->AsInteger();
    return static_cast<int>(std::find(order.begin(), order.end(), num) - order.begin()) + 1;
  }
  // NUM of every shown row must be the run of the reading's records starting
  // at the first row's, and the selected row the dataset's active record.
  void ExpectRowsMatchReader(ShownGrid& grid, const std::vector<int>& all,
                             const std::string& step) {
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
  // A table of people, VORNAME | NAME | ORT | NUM, first record
  // "Anna|Berg|Bonn|1", then "Ben|Roth|Ulm|2".
  std::string MakePeople() {
    const std::string path = Path("people4.dbf");
    BuildTable(
        path,
        {{"VORNAME", 'C', 10, 0}, {"NAME", 'C', 10, 0}, {"ORT", 'C', 10, 0}, {"NUM", 'N', 7, 0}}, 2,
        [](int i) {
          SetText(1, i == 1 ? "Anna" : "Ben");
          SetText(2, i == 1 ? "Berg" : "Roth");
          SetText(3, i == 1 ? "Bonn" : "Ulm");
          SetInt(4, i);
        });
    return path;
  }
  // Turns the wheel over the grid by `delta` (120 a notch; positive away
  // from the user), vertically or horizontally.
  void Wheel(ShownGrid& grid, int delta, bool horizontal = false) {
    const QPoint angle = horizontal ? QPoint(delta, 0) : QPoint(0, delta);
    QWheelEvent wheel(QPointF(50, 50), grid.mapToGlobal(QPointF(50, 50)), {}, angle, Qt::NoButton,
                      {}, Qt::NoScrollPhase, false);
    QApplication::sendEvent(grid.Surface(), &wheel);
  }
  void MoveThumb(QScrollBar* bar, int position) {
    bar->setSliderDown(true);
    bar->setSliderPosition(position);
    bar->setSliderDown(false);
  }
};

// In natural order the scroll bar is proportional to the record number; in
// a tag's order it has three positions (beginning, between, end).
TEST_F(GridTest, RowsFollowTheTableWhileScrollingEveryWayInEveryOrder) {
  const std::string path = MakeTable(100);
  for (const OrderCase& order : kOrders) {
    const std::vector<int> all = ReadOrder(path, order);
    ASSERT_EQ(all.size(), 100u);
    const std::string tag = std::string(order.tag) + ": ";
    ShownGrid grid;
    Open(path, grid, order.tag);
    ExpectRowsMatchReader(grid, all, tag + "open");  // around record 1, kept by the order change
    table->First();
    ExpectRowsMatchReader(grid, all, tag + "first");
    EXPECT_EQ(grid.FixedRows(), 1);
    const int visible = grid.VisibleDataRows();
    ASSERT_GT(visible, 3);
    EXPECT_EQ(grid.DataLink().RecordCount(), visible);

    struct Key {
      Qt::Key key;
      Qt::KeyboardModifiers mods;
      int position;  // where the dataset must be afterwards, in the order
    };
    const Key keys[] = {
        {Qt::Key_Down, {}, 2},
        {Qt::Key_PageDown, {}, 2 + visible},
        {Qt::Key_PageDown, {}, 2 + 2 * visible},
        {Qt::Key_PageUp, {}, 2 + visible},
        {Qt::Key_End, Qt::ControlModifier, 100},
        {Qt::Key_Up, {}, 99},
        {Qt::Key_PageUp, {}, 99 - visible},
        {Qt::Key_Home, Qt::ControlModifier, 1},
        {Qt::Key_Down, Qt::ControlModifier, visible},
        {Qt::Key_Up, Qt::ControlModifier, 1},
    };
    for (const Key& k : keys) {
      QTest::keyClick(&grid, k.key, k.mods);
      const std::string step = tag + "key " + std::to_string(k.key);
      EXPECT_EQ(Position(all), k.position) << step;
      ExpectRowsMatchReader(grid, all, step);
    }

    QScrollBar* bar = grid.verticalScrollBar();
    const bool sequenced = order.before == nullptr;
    EXPECT_EQ(table->IsSequenced(), sequenced);
    QTest::keyClick(&grid, Qt::Key_Home, Qt::ControlModifier);
    if (sequenced) {  // range, page and position
      EXPECT_EQ(bar->minimum(), 1);
      EXPECT_EQ(bar->pageStep(), visible);
      EXPECT_EQ(bar->value(), 1);
    } else {
      EXPECT_EQ(bar->minimum(), 0);
      EXPECT_EQ(bar->maximum(), 4);
      EXPECT_EQ(bar->value(), 0);
    }
    bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(Position(all), 1 + visible) << tag;
    EXPECT_EQ(bar->value(), sequenced ? 1 + visible : 2) << tag;
    ExpectRowsMatchReader(grid, all, tag + "bar page down");
    bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);  // the record below the last row
    ExpectRowsMatchReader(grid, all, tag + "bar line down");
    const int below = Position(all);
    bar->triggerAction(QAbstractSlider::SliderPageStepSub);
    EXPECT_EQ(Position(all), below - visible) << tag;
    bar->triggerAction(QAbstractSlider::SliderSingleStepSub);  // the record above the first row
    ExpectRowsMatchReader(grid, all, tag + "bar line up");
    struct Thumb {
      int bar_position;
      int position;
    };
    const std::vector<Thumb> thumbs =
        sequenced ? std::vector<Thumb>{{50, 50}, {1, 1}, {100, 100}}
                  : std::vector<Thumb>{{0, 1}, {3, 1 + visible}, {1, 1}, {4, 100}};
    for (const Thumb& t : thumbs) {
      MoveThumb(bar, t.bar_position);
      const std::string step = tag + "thumb " + std::to_string(t.bar_position);
      EXPECT_EQ(Position(all), t.position) << step;
      ExpectRowsMatchReader(grid, all, step);
    }
    EXPECT_EQ(bar->value(), sequenced ? 100 : 4) << tag;
    bar->triggerAction(QAbstractSlider::SliderToMinimum);
    EXPECT_EQ(Position(all), 1) << tag;
    bar->triggerAction(QAbstractSlider::SliderToMaximum);
    EXPECT_EQ(Position(all), 100) << tag;
    ExpectRowsMatchReader(grid, all, tag + "bar bottom");
    bar->triggerAction(QAbstractSlider::SliderToMinimum);

    // The wheel: a notch moves the current record by one, the rows stay
    // while it is on screen; from the last row a notch up goes one up.
    const std::vector<int> first_rows = RowValues(grid.DataLink(), "NUM");
    Wheel(grid, -120);
    EXPECT_EQ(Position(all), 2) << tag;
    EXPECT_EQ(RowValues(grid.DataLink(), "NUM"), first_rows) << tag;
    ExpectRowsMatchReader(grid, all, tag + "wheel down");
    QTest::keyClick(&grid, Qt::Key_Down, Qt::ControlModifier);  // the last row
    Wheel(grid, 120);
    EXPECT_EQ(Position(all), visible - 1) << tag;
    EXPECT_EQ(RowValues(grid.DataLink(), "NUM"), first_rows) << tag;
    Wheel(grid, -60);  // half a notch does nothing yet, the other half moves
    EXPECT_EQ(Position(all), visible - 1) << tag;
    Wheel(grid, -60);
    EXPECT_EQ(Position(all), visible) << tag;
    Wheel(grid, -120);  // below the last row: the rows scroll by one
    EXPECT_EQ(Position(all), visible + 1) << tag;
    ExpectRowsMatchReader(grid, all, tag + "wheel below");
    table->First();

    // A click on a row makes its record current.
    QTest::mouseClick(grid.Surface(), Qt::LeftButton, {}, grid.Center(2, 3));
    ExpectRowsMatchReader(grid, all, tag + "click");
    EXPECT_EQ(grid.Row(), 3);
    grid.SetDataSource(nullptr);
  }
}

// The grid holds as many records as rows fit, also when a scroll bar
// comes or goes without the grid being resized: at open, and when the
// columns are made narrower.
TEST_F(GridTest, EveryRowThatFitsIsShown) {
  const std::string path = MakeTable(100);
  TOxGrid grid;
  grid.resize(150, 300);  // the columns do not fit: a horizontal bar
  Open(path, grid);
  grid.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&grid));
  QApplication::processEvents();
  ASSERT_TRUE(grid.horizontalScrollBar()->isVisible());
  EXPECT_EQ(grid.DataLink().RecordCount(), grid.VisibleDataRows());
  EXPECT_EQ(grid.RowCount(), 1 + grid.VisibleDataRows());
  const int with_bar = grid.VisibleDataRows();
  for (int i = 0; i < grid.Columns().Count(); ++i) grid.Columns().Items(i).SetWidth(30);
  QApplication::processEvents();
  ASSERT_FALSE(grid.horizontalScrollBar()->isVisible());
  EXPECT_GT(grid.VisibleDataRows(), with_bar);
  EXPECT_EQ(grid.DataLink().RecordCount(), grid.VisibleDataRows());
  EXPECT_EQ(RowValues(grid.DataLink(), "NUM").back(), grid.VisibleDataRows());
  grid.SetDataSource(nullptr);
}

TEST_F(GridTest, ScrollBarGoesWhenAllRowsFit) {
  const std::string path = MakeTable(3);
  for (const char* tag : {"", "NAME"}) {
    ShownGrid grid;
    Open(path, grid, tag);
    EXPECT_EQ(grid.verticalScrollBar()->maximum(), grid.verticalScrollBar()->minimum()) << tag;
    grid.SetDataSource(nullptr);
  }
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

// A logical table field never reads as null through the table component (a
// blank or '?' byte in the file is false); this component over the same file
// reports FLAG of record 2 as null, the way a dataset with null logicals
// hands them to the grid.
class NullFlagTable : public GridTable {
 public:
  using GridTable::GridTable;

 protected:
  bool GetFieldData(data::TField* field, void* buffer) override {
    if (field->FieldName() == "FLAG" && FieldByName("NUM")->AsInteger() == 2) return false;
    return GridTable::GetFieldData(field, buffer);
  }
};

int DarkPixels(const QImage& image, const QRect& rect) {
  int count = 0;
  for (int y = rect.top(); y <= rect.bottom(); ++y) {
    for (int x = rect.left(); x <= rect.right(); ++x) count += qGray(image.pixel(x, y)) < 100;
  }
  return count;
}

bool OnlyColor(const QImage& image, const QRect& rect, const QColor& color) {
  for (int y = rect.top(); y <= rect.bottom(); ++y) {
    for (int x = rect.left(); x <= rect.right(); ++x) {
      if (image.pixelColor(x, y) != color) return false;
    }
  }
  return true;
}

TEST_F(GridTest, LogicalFieldsAsBoxesOrText) {
  ShownGrid grid;
  Open<NullFlagTable>(MakeTable(4), grid);
  EXPECT_FALSE(table->FieldByName("FLAG")->IsNull());  // record 1
  const QRect null_flag = grid.CellRect(3, 2);         // record 2: null
  const QRect checked = grid.CellRect(3, 3);           // record 3: true
  const QRect unchecked = grid.CellRect(3, 4);         // record 4: false
  const QImage boxes = grid.Picture();
  // The cross: both diagonals through the middle of the box.
  const QPoint mid = checked.center();
  EXPECT_LT(qGray(boxes.pixel(mid)), 100);
  EXPECT_GE(qGray(boxes.pixel(unchecked.center())), 100);
  EXPECT_GT(DarkPixels(boxes, checked), DarkPixels(boxes, unchecked) + 4);
  EXPECT_GT(DarkPixels(boxes, unchecked), 4);              // the square outline
  EXPECT_TRUE(OnlyColor(boxes, null_flag, grid.Color()));  // null: the background only

  grid.SetBooleanBox(TOxBooleanBox::bbText);
  const QImage texts = grid.Picture();
  EXPECT_NE(texts.copy(checked), boxes.copy(checked));      // no cross any more
  EXPECT_NE(texts.copy(unchecked), boxes.copy(unchecked));  // "False" instead of the square
  EXPECT_GT(DarkPixels(texts, checked), 4);                 // "True" written
  EXPECT_TRUE(OnlyColor(texts, null_flag, grid.Color()));   // null: no text
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
  for (const bool read_only_table : {true, false}) {
    ShownGrid grid;
    Open(path, grid, "", read_only_table);
    grid.SetReadOnly(!read_only_table);
    QTest::keyClick(&grid, Qt::Key_Delete, Qt::ControlModifier);
    QTest::keyClick(&grid, Qt::Key_Insert);
    QTest::keyClick(&grid, Qt::Key_Down, Qt::ControlModifier);
    QTest::keyClick(&grid, Qt::Key_Down);  // no appending either
    EXPECT_TRUE(questions.empty());
    EXPECT_EQ(table->State(), data::TDataSetState::dsBrowse);
    grid.SetDataSource(nullptr);
    DropTable();
    EXPECT_EQ(ReadFileBytes(path), before);
  }
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

  // An appended record that was typed into is posted when the row is left.
  QTest::keyClick(&grid, Qt::Key_Down);
  ASSERT_EQ(table->State(), data::TDataSetState::dsInsert);
  QTest::keyClicks(&grid, "Added");
  QTest::keyClick(&grid, Qt::Key_Up);
  EXPECT_EQ(table->State(), data::TDataSetState::dsBrowse);
  const std::vector<std::string> lines = DbfRead(path);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[2], "R|Added|0|F");

  // In the NAME order the renamed records stand where their new keys sort.
  ASSERT_TRUE(table->SetOrderToTag("NAME"));
  std::vector<std::string> names;
  for (table->First(); !table->Eof(); table->Next())
    names.push_back(table->FieldByName("NAME")->AsString());
  EXPECT_EQ(names, (std::vector<std::string>{"Added", "Name 2", "Zed"}));
}

// Whatever leaves a column after typing (Tab, Ctrl+Tab, a click on another
// cell, a column key) first hands the typed text to that column's field.
TEST_F(GridTest, TypedTextStaysInItsColumnWhateverMovesAway) {
  const std::string path = MakePeople();
  ShownGrid grid;
  Open(path, grid);
  struct Leave {
    const char* name;
    std::function<void()> go;
  };
  const Leave leaves[] = {
      {"Ctrl+Tab", [&] { QTest::keyClick(&grid, Qt::Key_Tab, Qt::ControlModifier); }},
      {"Ctrl+Shift+Tab", [&] { QTest::keyClick(&grid, Qt::Key_Backtab, Qt::ControlModifier); }},
      {"Tab", [&] { QTest::keyClick(&grid, Qt::Key_Tab); }},
      {"Right", [&] { QTest::keyClick(&grid, Qt::Key_Right); }},
      {"click", [&] { QTest::mouseClick(grid.Surface(), Qt::LeftButton, {}, grid.Center(3, 1)); }},
      {"plain grid's move", [&] { grid.MoveTo(3, 1); }},
  };
  for (const Leave& leave : leaves) {
    table->First();
    grid.SetSelectedIndex(1);  // NAME
    grid.setFocus();
    QTest::keyClicks(&grid, "Zoe");
    leave.go();
    EXPECT_NE(grid.SelectedIndex(), 1) << leave.name;
    EXPECT_EQ(table->FieldByName("NAME")->AsString(), "Zoe") << leave.name;
    QTest::keyClick(&grid, Qt::Key_Down);  // posts
    const std::vector<std::string> lines = DbfRead(path);
    ASSERT_EQ(lines.size(), 2u) << leave.name;
    EXPECT_EQ(lines[0], "R|Anna|Zoe|Bonn|1") << leave.name;
    // Back to the stored start for the next way.
    table->First();
    table->Edit();
    table->FieldByName("NAME")->SetAsString("Berg");
    table->Post();
    ASSERT_EQ(DbfRead(path)[0], "R|Anna|Berg|Bonn|1");
  }
}

// Enter closes the editor on the typed text: the field (what the cell
// draws) holds it at once, and the post stores that.
TEST_F(GridTest, EnterShowsTheTypedTextThatIsStored) {
  const std::string path = MakePeople();
  ShownGrid grid;
  Open(path, grid);
  grid.SetSelectedIndex(1);
  grid.setFocus();
  const QImage before = grid.Picture().copy(grid.CellRect(2, 1));
  QTest::keyClicks(&grid, "Zoe");
  ASSERT_TRUE(grid.EditorMode());
  QTest::keyClick(grid.InplaceEditor(), Qt::Key_Return);
  EXPECT_FALSE(grid.EditorMode());
  EXPECT_EQ(table->FieldByName("NAME")->AsString(), "Zoe");
  EXPECT_NE(grid.Picture().copy(grid.CellRect(2, 1)), before) << "the cell shows the new text";
  EXPECT_EQ(table->State(), data::TDataSetState::dsEdit);
  QTest::keyClick(&grid, Qt::Key_Down);
  EXPECT_EQ(DbfRead(path)[0], "R|Anna|Zoe|Bonn|1");

  // Enter in a cell whose field refuses the text keeps the editor on it.
  ShownGrid numbers;
  const std::string table_path = MakeTable(2);
  Open(table_path, numbers);
  std::vector<std::string> errors;
  GuiApp().OnException = [&](const std::exception& error) { errors.push_back(error.what()); };
  numbers.SetSelectedIndex(1);  // NUM
  numbers.setFocus();
  QTest::keyClicks(&numbers, "12x");
  QTest::keyClick(numbers.InplaceEditor(), Qt::Key_Return);
  EXPECT_EQ(errors.size(), 1u);
  EXPECT_TRUE(numbers.EditorMode());
  EXPECT_EQ(numbers.InplaceEditor()->text(), "12x");
  EXPECT_EQ(table->FieldByName("NUM")->AsInteger(), 1);
  // Leaving the row does not pass over the refused text either.
  QTest::keyClick(numbers.InplaceEditor(), Qt::Key_Down);
  GuiApp().OnException = &ui::TApplication::ShowException;
  EXPECT_EQ(errors.size(), 2u);
  EXPECT_EQ(table->GetRecNo(), 1);
  EXPECT_EQ(DbfRead(table_path)[0], "R|Name 1|1|T");
  QTest::keyClick(numbers.InplaceEditor(), Qt::Key_Escape);
  EXPECT_EQ(DbfRead(table_path)[0], "R|Name 1|1|T");
}

// Send a double click as a window system does: press, release, double
// click (instead of the second press), release.
void DoubleClick(QWidget* surface, const QPoint& at) {
  QTest::mousePress(surface, Qt::LeftButton, {}, at);
  QTest::mouseRelease(surface, Qt::LeftButton, {}, at);
  QMouseEvent twice(QEvent::MouseButtonDblClick, QPointF(at), surface->mapToGlobal(QPointF(at)),
                    Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(surface, &twice);
  QTest::mouseRelease(surface, Qt::LeftButton, {}, at);
}

// Neither Alt with a letter (a shortcut) nor a double click is an edit;
// a single click on the current logical cell toggles it.
TEST_F(GridTest, ShortcutsAndDoubleClicksChangeNoData) {
  const std::string path = MakeTable(3);
  const std::string stored = ReadFileBytes(path);
  ShownGrid grid;
  Open(path, grid);
  int double_clicks = 0;
  grid.OnDblClick = [&](TCustomOxGrid&) { ++double_clicks; };
  grid.setFocus();
  QTest::keyClick(&grid, Qt::Key_X, Qt::AltModifier);
  EXPECT_FALSE(grid.EditorMode());
  EXPECT_EQ(table->State(), data::TDataSetState::dsBrowse);
  EXPECT_EQ(table->FieldByName("NAME")->AsString(), "Name 1");

  // FLAG of record 2 (false): first not the current cell, then the current one.
  const QPoint flag = grid.Center(3, 2);
  for (const char* which : {"not current", "current"}) {
    DoubleClick(grid.Surface(), flag);
    EXPECT_EQ(table->State(), data::TDataSetState::dsBrowse) << which;
    EXPECT_FALSE(table->FieldByName("FLAG")->AsBoolean()) << which;
  }
  EXPECT_EQ(double_clicks, 2);
  EXPECT_EQ(grid.Row(), 2);
  QTest::keyClick(&grid, Qt::Key_Up);
  DropTable();
  EXPECT_EQ(ReadFileBytes(path), stored);

  // A single click on the current logical cell still toggles it; a double
  // click in a record already being edited takes only its own toggle back.
  ShownGrid again;
  Open(path, again);
  table->Next();
  again.SetSelectedIndex(2);
  again.setFocus();
  QTest::mouseClick(again.Surface(), Qt::LeftButton, {}, again.Center(3, 2));
  EXPECT_TRUE(table->FieldByName("FLAG")->AsBoolean());
  EXPECT_EQ(table->State(), data::TDataSetState::dsEdit);
  DoubleClick(again.Surface(), again.Center(3, 2));
  EXPECT_TRUE(table->FieldByName("FLAG")->AsBoolean());
  EXPECT_EQ(table->State(), data::TDataSetState::dsEdit);
  QTest::keyClick(&again, Qt::Key_Up);
  EXPECT_EQ(DbfRead(path)[1], "R|Name 2|2|T");
}

// Dragging a title border sizes that column by the distance dragged; the
// others keep their widths, and a click on a border changes nothing.
TEST_F(GridTest, DraggingATitleBorderSizesOnlyThatColumn) {
  ShownGrid grid;
  grid.resize(600, 200);
  Open(MakeTable(3), grid);
  auto widths = [&] {
    std::vector<int> w;
    for (int i = 0; i < grid.Columns().Count(); ++i) {
      w.push_back(grid.Columns().Items(i).Width());
      EXPECT_EQ(grid.ColWidth(i + 1), w.back()) << "column " << i;
    }
    return w;
  };
  const std::vector<int> before = widths();
  auto drag = [&](int col, int distance) {
    const QRect title = grid.CellRect(col, 0);
    const QPoint edge(title.right() + 1, title.center().y());
    ASSERT_TRUE(grid.IsSizingArea(edge));
    QTest::mousePress(grid.Surface(), Qt::LeftButton, {}, edge);
    for (int step = 1; step <= 3; ++step) {
      QMouseEvent move(QEvent::MouseMove, QPointF(edge + QPoint(distance * step / 3, 0)),
                       grid.Surface()->mapToGlobal(QPointF(edge)), Qt::LeftButton, Qt::LeftButton,
                       Qt::NoModifier);
      QApplication::sendEvent(grid.Surface(), &move);
    }
    QTest::mouseRelease(grid.Surface(), Qt::LeftButton, {}, edge + QPoint(distance, 0));
  };
  drag(2, 25);  // NUM
  std::vector<int> expected = before;
  expected[1] += 25;
  EXPECT_EQ(widths(), expected);
  drag(1, -9);  // NAME
  expected[0] -= 9;
  EXPECT_EQ(widths(), expected);
  for (int i = 0; i < 3; ++i) {  // clicks on every border, again and again
    for (int col = 1; col <= 3; ++col) {
      const QRect title = grid.CellRect(col, 0);
      QTest::mouseClick(grid.Surface(), Qt::LeftButton, {},
                        QPoint(title.right() + 1, title.center().y()));
    }
  }
  EXPECT_EQ(widths(), expected);
  EXPECT_EQ(table->State(), data::TDataSetState::dsBrowse);
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

// A Visual FoxPro table through the grid (javadbf's payments.dbf, every
// field nullable): currency and date-time cells show their text, and the
// null cells (text and date-time fields _NullFlags marks null, and an
// integer cleared through the component) show the background only, never
// "0".
TEST_F(GridTest, VisualFoxProNullCellsAreEmptyAndValuesAreDrawn) {
  ORVEX_REQUIRE_TESTDATA();
  const std::string path = Path("payments.dbf");
  WriteFileBytes(path, ReadFileBytes(TestdataDir() + "/javadbf/fixtures/foxpro-xsource/payments.dbf"));
  DropTable();
  table = std::make_unique<GridTable>("OxDbf1");
  table->SetDbfFileName(path);
  source.SetDataSet(table.get());
  table->Open();
  ASSERT_TRUE(table->Active()) << ErrorDetail;
  table->First();
  table->Next();  // record 2
  table->Edit();
  table->FieldByName("PROJECTID")->Clear();
  table->Post();
  table->Last();  // the selection away from the rows looked at
  ShownGrid grid;
  grid.resize(1400, 200);
  grid.SetDataSource(&source);
  const QImage image = grid.Picture();
  // Columns: 1 PAYMENTID, 2 PROJECTID, 3 PAYMENTAMO, 4 PAYMENTDAT,
  // 5 CREDITCARD, 6 CARDHOLDER, 7 CREDITCAR2; row n is record n.
  ASSERT_LT(grid.CellRect(7, 3).right(), image.width());
  EXPECT_TRUE(OnlyColor(image, grid.CellRect(2, 2), grid.Color()));  // cleared integer
  EXPECT_GT(DarkPixels(image, grid.CellRect(2, 3)), 4);              // PROJECTID 1
  EXPECT_GT(DarkPixels(image, grid.CellRect(3, 2)), 4);              // 497.0000
  EXPECT_GT(DarkPixels(image, grid.CellRect(4, 2)), 4);              // 23.01.1995 00:00:00
  EXPECT_GT(DarkPixels(image, grid.CellRect(4, 2)), DarkPixels(image, grid.CellRect(3, 2)));
  for (int row = 1; row <= 3; ++row) {
    EXPECT_TRUE(OnlyColor(image, grid.CellRect(5, row), grid.Color())) << row;  // null text
    EXPECT_TRUE(OnlyColor(image, grid.CellRect(7, row), grid.Color())) << row;  // null date-time
  }
  DropTable();
}

}  // namespace
}  // namespace orvex::test
