// The rows a grid's link sees while the dataset moves through a table of
// 1,000 records: at every step they hold exactly the window an independent
// reading of the file gives, with deleted records shown or hidden and with a
// while range bounding the records.
#include <algorithm>
#include <random>

#include "dataset/ox_data_link.h"
#include "dataset_test_support.h"
#include "engine/navigation.h"

namespace orvex::test {
namespace {

constexpr int kRecords = 1000;
constexpr int kRows = 10;
constexpr int kSmallRows = 3;

// The grid's window over the list of visible records, moved the way a grid
// moves: only as far as needed to keep the active record inside.
struct Window {
  int count = 0;   // visible records
  int first = 0;   // list index of the first row
  int active = 0;  // list index of the active record
  int small = 0;   // first row of the 3-row link, as an offset into the ring
  void Clamp3() {
    small = std::clamp(small, std::max(active - first - kSmallRows + 1, 0),
                       std::min(kRows - kSmallRows, active - first));
  }
  void MoveTo(int target, bool move_by) {
    const int old_first = first;
    active = std::clamp(target, 0, count - 1);
    if (!move_by) {  // the ring is refilled around the record (Resync centred)
      first = std::clamp(active - (kRows - 1) / 2, 0, std::max(count - kRows, 0));
    } else if (active < first) {
      first = active;
    } else if (active >= first + kRows) {
      first = active - kRows + 1;
    }
    if (move_by) small -= first - old_first;  // rows follow their records
    Clamp3();
  }
};

class RingWindowTest : public DatasetTest {
 protected:
  void SetUp() override {
    DatasetTest::SetUp();
    table_ = Path("walk.dbf");
    BuildTable(table_, {{"ID", 'N', 6, 0}, {"NAME", 'C', 12, 0}}, kRecords, [](int i) {
      SetInt(1, i);
      SetText(2, "Record " + std::to_string(i));
    });
  }
  // Flags records as deleted in the file itself.
  void DeleteInFile(const std::vector<int>& ids) {
    std::string s = ReadFileBytes(table_);
    const std::size_t header =
        static_cast<unsigned char>(s[8]) | (static_cast<unsigned char>(s[9]) << 8);
    const std::size_t length =
        static_cast<unsigned char>(s[10]) | (static_cast<unsigned char>(s[11]) << 8);
    for (int id : ids) s[header + (id - 1) * length] = '*';
    WriteFileBytes(table_, s);
  }
  // The IDs of the records the file holds, in order, read from its bytes.
  std::vector<int> Visible(bool hide_deleted, int low = 1, int high = kRecords) {
    std::vector<int> ids;
    for (const FileRecord& r : ReadRecords(table_)) {
      int id = std::stoi(r.bytes.substr(0, 6));
      if ((hide_deleted && r.deleted) || id < low || id > high) continue;
      ids.push_back(id);
    }
    return ids;
  }
  // Runs a fixed and a random walk and compares both links at every step.
  void Walk(TestDbf& ds, const std::vector<int>& visible) {
    data::TDataSource source;
    RowsLink grid(kRows), small(kSmallRows);
    grid.SetDataSource(&source);
    small.SetDataSource(&source);
    source.SetDataSet(&ds);
    ASSERT_EQ(ds.BufferCount(), kRows);
    Window w{static_cast<int>(visible.size())};
    std::vector<std::pair<data::TBookmark, int>> bookmarks;
    auto check = [&](const std::string& step) {
      SCOPED_TRACE(step);
      std::vector<int> expected(visible.begin() + w.first,
                                visible.begin() + std::min(w.first + kRows, w.count));
      ASSERT_EQ(RowValues(grid, "ID"), expected);
      ASSERT_EQ(grid.ActiveRecord(), w.active - w.first);
      std::vector<int> rows3(
          expected.begin() + w.small,
          expected.begin() + std::min<std::size_t>(w.small + kSmallRows, expected.size()));
      ASSERT_EQ(RowValues(small, "ID"), rows3);
      ASSERT_EQ(ds.FieldByName("ID")->AsInteger(), visible[static_cast<std::size_t>(w.active)]);
      // The engine's cursor stands on the record the user sees.
      ds.SelectArea("check");
      ASSERT_EQ(
          std::stoi(std::string(
              reinterpret_cast<const char*>(WorkAreas[ds.WorkAreaNo()]->record.data()) + 1, 6)),
          visible[static_cast<std::size_t>(w.active)]);
    };
    auto move = [&](int d) {
      int before = w.active;
      int moved = ds.MoveBy(d);
      w.MoveTo(w.active + d, true);
      EXPECT_EQ(moved, w.active - before);
      EXPECT_EQ(ds.Eof(), d > 0 && moved < d);
      EXPECT_EQ(ds.Bof(), d < 0 && moved > d);
      check("MoveBy " + std::to_string(d));
    };
    ds.First();
    w.MoveTo(0, false);
    w.first = 0, w.small = 0, w.Clamp3();
    check("First");
    for (int i = 0; i < 14; ++i) move(1);
    for (int i = 0; i < 4; ++i) move(10);
    bookmarks.emplace_back(ds.GetBookmark(), w.active);
    for (int i = 0; i < 12; ++i) move(-1);
    for (int i = 0; i < 8; ++i) move(-10);  // runs into the beginning
    ds.Last();
    w.active = w.count - 1, w.first = std::max(w.count - kRows, 0), w.Clamp3();
    check("Last");
    for (int i = 0; i < 3; ++i) move(1);  // at the end
    for (int i = 0; i < 11; ++i) move(-1);
    bookmarks.emplace_back(ds.GetBookmark(), w.active);
    std::mt19937 random(14);
    for (int step = 0; step < 400; ++step) {
      switch (random() % 8) {
        case 0:
          move(1);
          break;
        case 1:
          move(-1);
          break;
        case 2:
          move(10);
          break;
        case 3:
          move(-10);
          break;
        case 4: {
          int d = static_cast<int>(random() % 41) - 20;
          move(d == 0 ? 1 : d);
          break;
        }
        case 5:
          if (random() % 4 == 0) {
            ds.First();
            w.active = 0, w.first = 0, w.Clamp3();
            check("First");
          } else {
            bookmarks.emplace_back(ds.GetBookmark(), w.active);
          }
          break;
        case 6:
          if (random() % 4 == 0) {
            ds.Last();
            w.active = w.count - 1, w.first = std::max(w.count - kRows, 0), w.Clamp3();
            check("Last");
          }
          break;
        default: {
          const auto& [bookmark, at] = bookmarks[random() % bookmarks.size()];
          ds.GotoBookmark(bookmark);
          w.MoveTo(at, false);
          check("GotoBookmark");
        }
      }
    }
    source.SetDataSet(nullptr);
  }
  std::string table_;
};

TEST_F(RingWindowTest, GridRowsFollowEveryMove) {
  TestDbf ds(table_);
  ds.Open();
  Walk(ds, Visible(false));
}

TEST_F(RingWindowTest, DeletedRecordsShownOrHidden) {
  std::vector<int> gone{1, 2, 3, 500, 994, 995, 996, 997, 998, 999, 1000};
  for (int id = 7; id < kRecords; id += 7) gone.push_back(id);
  DeleteInFile(gone);
  {
    TestDbf ds(table_);
    ds.SetHideDeletedRecs(true);
    ds.Open();
    Walk(ds, Visible(true));
  }
  TestDbf ds(table_);
  ds.Open();
  Walk(ds, Visible(false));
}

TEST_F(RingWindowTest, TableWithEveryRecordDeletedShowsNone) {
  std::vector<int> all;
  for (int id = 1; id <= kRecords; ++id) all.push_back(id);
  DeleteInFile(all);
  TestDbf ds(table_);
  ds.SetHideDeletedRecs(true);
  ds.Open();
  EXPECT_TRUE(ds.IsEmpty());
  EXPECT_TRUE(ds.Eof() && ds.Bof());
  ds.Last();
  EXPECT_TRUE(ds.IsEmpty());
  EXPECT_EQ(ds.MoveBy(5), 0);
  EXPECT_FALSE(ds.IsCurrentDeleted());
}

TEST_F(RingWindowTest, WhileRangeBoundsTheRecords) {
  TestDbf ds(table_);
  ds.Open();
  ds.SelectArea("test");
  WorkArea* area = WorkAreas[ds.WorkAreaNo()].get();
  area->while_proc = [area] {
    std::int32_t id;
    std::memcpy(&id, area->unpacked + 1, 4);
    return id >= 300 && id <= 600;
  };
  GO(450);
  ds.ResyncFromEngine();
  EXPECT_EQ(ds.FieldByName("ID")->AsInteger(), 450);
  Walk(ds, Visible(false, 300, 600));

  // A record posted with a value that leaves the range is dropped: the
  // cursor goes to its neighbour inside.
  ds.SetRecNo(450);
  ds.Edit();
  ds.FieldByName("ID")->SetAsInteger(5000);
  ds.Post();
  EXPECT_EQ(ds.FieldByName("ID")->AsInteger(), 449);
  ds.SetRecNo(300);
  ds.Edit();
  ds.FieldByName("ID")->SetAsInteger(6000);
  ds.Post();
  EXPECT_EQ(ds.FieldByName("ID")->AsInteger(), 301);
  ds.First();
  EXPECT_EQ(ds.FieldByName("ID")->AsInteger(), 301);
  // The range is the run of records around the cursor that satisfy the
  // condition: record 450 now ends it.
  ds.Last();
  EXPECT_EQ(ds.FieldByName("ID")->AsInteger(), 449);
}

TEST_F(RingWindowTest, DisabledControlsHoldEventsBackAndRecNoAsksTheEngine) {
  TestDbf ds(table_);
  data::TDataSource source;
  RowsLink grid(kRows);
  grid.SetDataSource(&source);
  source.SetDataSet(&ds);
  ds.Open();
  ds.MoveBy(3);
  EXPECT_EQ(ds.GetRecNo(), 4);
  ds.DisableControls();
  ds.DisableControls();
  const int changed = grid.changed, scrolled = grid.scrolled;
  ds.MoveBy(20);
  ds.SelectArea("test");
  GO(777);                        // behind the dataset's back
  EXPECT_EQ(ds.GetRecNo(), 777);  // the engine's number, not the buffer's
  ds.EnableControls();
  EXPECT_EQ(grid.changed, changed);
  EXPECT_EQ(grid.scrolled, scrolled);
  ds.EnableControls();
  EXPECT_EQ(grid.changed, changed + 1);  // one change for all that happened
  EXPECT_EQ(grid.scrolled, scrolled);
  EXPECT_EQ(ds.GetRecNo(), 24);
}

TEST_F(RingWindowTest, LibraryLinkKeepsTheLastScrollDistance) {
  TestDbf ds(table_);
  data::TDataSource source;
  TOxDataLink link;
  link.SetBufferCount(5);
  link.SetDataSource(&source);
  source.SetDataSet(&ds);
  ds.Open();
  ds.MoveBy(10);
  EXPECT_EQ(link.ScrollDistance(), 6);
  ds.MoveBy(-2);
  EXPECT_EQ(link.ScrollDistance(), 0);
  ds.MoveBy(-7);
  EXPECT_EQ(link.ScrollDistance(), -5);
}

}  // namespace
}  // namespace orvex::test
