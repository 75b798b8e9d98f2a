// Shared set-up of the data-aware control tests: a real table file opened
// through the table component TOxDbf (with a production index of two tags
// built on the first open), a grid of a fixed size on screen, answers to the
// confirmation questions, and the table as python3-dbfread reads it.
#pragma once

#include <QScrollBar>
#include <QTest>
#include <algorithm>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "controls/ox_grid.h"
#include "dataset/dataset_test_support.h"
#include "dataset/ox_file_data_set.h"
#include "platform/data/data_link.h"
#include "support/gui_test_support.h"

namespace orvex::test {

// The table component, with its work-area selection open to the tests.
class GridTable : public TOxDbf {
 public:
  using TOxDbf::SelectArea;
  using TOxDbf::TOxDbf;
};

// The production index of the test table: NAME ascending on a character
// field, NUMDOWN descending on a numeric one.
inline const std::vector<std::string> kGridIndexList = {"NAME,F,F,NAME", "", "NUMDOWN,T,F,NUM", ""};

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
// separated by '|' (logicals T/F, null '-').
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

// One record as dbfread reads it from the test table.
struct ReadRecord {
  std::string name;
  int num = 0;
};

class ControlsTest : public DatasetTest {
 protected:
  void SetUp() override {
    DatasetTest::SetUp();
    GuiApp();  // the application installs its own hooks: before ours
    os::SetConfirmHook([this](const std::string& text) {
      questions.push_back(text);
      return answer;
    });
  }
  void TearDown() override {
    os::SetConfirmHook(nullptr);
    DropTable();
    DatasetTest::TearDown();
  }
  // A table of `records` records written by the engine: NAME C(10)
  // "Name <i>", NUM N(7) i, FLAG L (true for odd i); then opened and closed
  // once through the component, which builds its production index
  // (kGridIndexList). The order by NAME ("Name 1", "Name 10", "Name 100",
  // "Name 11", ...) differs from the natural one.
  std::string MakeTable(int records) {
    const std::string path = Path("people.dbf");
    BuildTable(path, {{"NAME", 'C', 10, 0}, {"NUM", 'N', 7, 0}, {"FLAG", 'L', 1, 0}}, records,
               [](int i) {
                 SetText(1, "Name " + std::to_string(i));
                 SetInt(2, i);
                 *FieldAddress(3) = static_cast<std::uint8_t>(i % 2);
               });
    OpenTable(path);
    EXPECT_TRUE(table->Active()) << ErrorDetail;
    DropTable();
    return path;
  }
  // Opens the table through the component in the order of `tag` ("" the
  // natural order; opening the index makes its first tag the order) and
  // shows it in `grid`.
  template <typename Table = GridTable>
  void Open(const std::string& path, TOxGrid& grid, const std::string& tag = "",
            bool read_only = false) {
    OpenTable<Table>(path, read_only);
    ASSERT_TRUE(table->SetOrderToTag(tag)) << tag;
    grid.SetDataSource(&source);
  }
  template <typename Table = GridTable>
  void OpenTable(const std::string& path, bool read_only = false) {
    DropTable();
    table = std::make_unique<Table>("OxDbf1");
    table->SetDbfFileName(path);
    table->IndexList() = kGridIndexList;
    table->SetReadOnly(read_only);
    source.SetDataSet(table.get());
    table->Open();
  }
  void DropTable() {
    source.SetDataSet(nullptr);
    if (table) table->Close();
    table.reset();
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
  // The records that are not deleted, as dbfread reads them, in file order.
  std::vector<ReadRecord> ReadTable(const std::string& path) {
    std::vector<ReadRecord> records;
    for (const std::string& line : DbfRead(path)) {
      if (line.rfind("R|", 0) != 0) continue;
      const std::size_t bar = line.find('|', 2);
      records.push_back({line.substr(2, bar - 2), std::stoi(line.substr(bar + 1))});
    }
    return records;
  }

  std::vector<std::string> questions;
  bool answer = true;
  std::unique_ptr<GridTable> table;
  data::TDataSource source;
};

}  // namespace orvex::test
