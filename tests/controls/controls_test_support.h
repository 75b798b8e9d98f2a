// Shared set-up of the data-aware control tests: the table the controls are
// shown over (the small table component of the dataset tests, with a
// read-only switch; the one place to change when the real table component
// takes its place), a grid of a fixed size on screen, answers to the
// confirmation questions, and what python3-dbfread reads from a table.
#pragma once

#include <QScrollBar>
#include <QTest>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "controls/ox_grid.h"
#include "dataset/dataset_test_support.h"
#include "platform/data/data_link.h"
#include "support/gui_test_support.h"

namespace orvex::test {

class GridTable : public TestDbf {
 public:
  using TestDbf::TestDbf;
  bool read_only = false;

 protected:
  bool GetCanModify() override { return !read_only && TestDbf::GetCanModify(); }
};

// A grid on screen, 400 x 200 pixels.
class ShownGrid : private AppFirst, public TOxGrid {
 public:
  ShownGrid() {
    resize(400, 200);
    show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(this));
  }
  QWidget* Surface() const { return viewport(); }
  QPoint Center(int col, int row) const { return CellRect(col, row).center(); }
  QImage Picture() { return viewport()->grab().toImage(); }
  using TOxGrid::CellRect;
};

// Prints each record as dbfread reads it: "R" or "D", then the values
// separated by '|' (logicals T/F).
inline const char* kDbfReader = R"PY(
import sys
from dbfread import DBF
def cell(v):
    if v is None: return '-'
    if isinstance(v, bool): return 'T' if v else 'F'
    return str(v)
t = DBF(sys.argv[1], encoding='cp850')
for kind, rows in (('R', t), ('D', t.deleted)):
    for r in rows:
        print(kind + '|' + '|'.join(cell(v) for v in r.values()))
)PY";

class ControlsTest : public DatasetTest {
 protected:
  void SetUp() override {
    DatasetTest::SetUp();
    os::SetConfirmHook([this](const std::string& text) {
      questions.push_back(text);
      return answer;
    });
  }
  void TearDown() override {
    os::SetConfirmHook(nullptr);
    DatasetTest::TearDown();
  }
  // A table of `records` records: NAME C(10) "Name <i>", NUM N(7) i, FLAG L
  // (true for odd i).
  std::string MakeTable(int records) {
    const std::string path = Path("people.dbf");
    BuildTable(path, {{"NAME", 'C', 10, 0}, {"NUM", 'N', 7, 0}, {"FLAG", 'L', 1, 0}}, records,
               [](int i) {
                 SetText(1, "Name " + std::to_string(i));
                 SetInt(2, i);
                 *FieldAddress(3) = static_cast<std::uint8_t>(i % 2);
               });
    return path;
  }
  // Opens the table and shows it in `grid`.
  void Open(const std::string& path, TOxGrid& grid) {
    table = std::make_unique<GridTable>(path);
    source.SetDataSet(table.get());
    table->Open();
    grid.SetDataSource(&source);
  }
  std::vector<std::string> DbfRead(const std::string& path) {
    WriteFileBytes(Path("reader.py"), kDbfReader);
    const ProcessResult result = RunProcess({"/usr/bin/python3", Path("reader.py"), path});
    EXPECT_EQ(result.exit_status, 0) << result.err;
    std::vector<std::string> lines;
    std::istringstream in(result.out);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }
  std::vector<std::string> questions;
  bool answer = true;
  std::unique_ptr<GridTable> table;
  data::TDataSource source;
};

}  // namespace orvex::test
