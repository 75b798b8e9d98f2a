// The framework on its own, over a list in memory: what the links hear and
// see, the buffer count, events and their order, editing, and the
// framework's failures.
#include <gtest/gtest.h>

#include <numeric>
#include <string>

#include "memory_data_set.h"
#include "platform/data/data_link.h"
#include "platform/data/database_error.h"
#include "platform/data/field_kinds.h"

namespace orvex::test {
namespace {

using data::TDataSetState;

std::vector<std::int32_t> Values(int n) {
  std::vector<std::int32_t> v(static_cast<std::size_t>(n));
  std::iota(v.begin(), v.end(), 1);
  return v;
}

// A link that writes down what it hears.
class RecordingLink : public data::TDataLink {
 public:
  explicit RecordingLink(int rows) { SetBufferCount(rows); }
  std::vector<std::string> heard;
  bool take_focus = false;

 protected:
  void ActiveChanged() override { heard.push_back(Active() ? "active" : "inactive"); }
  void DataSetChanged() override { heard.push_back("changed"); }
  void DataSetScrolled(int d) override { heard.push_back("scrolled " + std::to_string(d)); }
  void RecordChanged(data::TField* f) override {
    heard.push_back("record " + (f ? f->FieldName() : std::string("-")));
  }
  void EditingChanged() override { heard.push_back(Editing() ? "editing" : "not editing"); }
  void LayoutChanged() override { heard.push_back("layout"); }
  void UpdateData() override { heard.push_back("update"); }
  void FocusControl(data::TField*& f) override {
    heard.push_back("focus " + f->FieldName());
    if (take_focus) f = nullptr;
  }
};

std::vector<int> Rows(data::TDataLink& link) {
  std::vector<int> rows;
  const int active = link.ActiveRecord();
  for (int r = 0; r < link.RecordCount(); ++r) {
    link.SetActiveRecord(r);
    rows.push_back(link.DataSet()->Fields(0)->AsInteger());
  }
  link.SetActiveRecord(active);
  return rows;
}

TEST(DataSetTest, LinksSeeTheirWindowAndHearWhatHappened) {
  MemoryDataSet ds(Values(30));
  data::TDataSource source;
  RecordingLink grid(5), navigator(1);
  grid.SetDataSource(&source);
  navigator.SetDataSource(&source);
  source.SetDataSet(&ds);
  ds.Open();
  EXPECT_EQ(ds.BufferCount(), 5);
  EXPECT_EQ(Rows(grid), (std::vector<int>{1, 2, 3, 4, 5}));
  EXPECT_EQ(Rows(navigator), (std::vector<int>{1}));
  EXPECT_EQ(grid.heard, (std::vector<std::string>{"active"}));
  grid.heard.clear();
  ds.MoveBy(6);  // two rows past the window: the grid scrolls by 2
  EXPECT_EQ(Rows(grid), (std::vector<int>{3, 4, 5, 6, 7}));
  EXPECT_EQ(grid.ActiveRecord(), 4);
  EXPECT_EQ(Rows(navigator), (std::vector<int>{7}));
  ds.MoveBy(-3);  // inside the window: nothing scrolls
  EXPECT_EQ(Rows(grid), (std::vector<int>{3, 4, 5, 6, 7}));
  ds.Last();
  EXPECT_EQ(Rows(grid), (std::vector<int>{26, 27, 28, 29, 30}));
  EXPECT_EQ(grid.heard, (std::vector<std::string>{"scrolled 2", "scrolled 0", "changed"}));
  grid.heard.clear();

  // Editing: the links hear the state and the field.
  ds.Edit();
  ds.Fields(0)->SetAsInteger(99);
  ds.Fields(0)->FocusControl();
  ds.Post();
  EXPECT_EQ(ds.values_.back(), 99);
  EXPECT_EQ(grid.heard,
            (std::vector<std::string>{"editing", "record -", "record VALUE", "focus VALUE",
                                      "update", "not editing", "changed"}));
  // The first link that focuses its control keeps the others from it.
  grid.take_focus = true;
  navigator.heard.clear();
  ds.Fields(0)->FocusControl();
  EXPECT_EQ(navigator.heard, std::vector<std::string>{});

  // The buffer count follows the largest link.
  grid.SetDataSource(nullptr);
  EXPECT_EQ(ds.BufferCount(), 1);
  EXPECT_EQ(ds.Fields(0)->AsInteger(), 99);
  RecordingLink tall(8);
  tall.SetDataSource(&source);
  EXPECT_EQ(ds.BufferCount(), 8);
  EXPECT_EQ(Rows(tall), (std::vector<int>{23, 24, 25, 26, 27, 28, 29, 99}));
  ds.Close();
  EXPECT_EQ(tall.heard.back(), "inactive");
}

TEST(DataSetTest, DisabledControlsHearOneChangeAtTheEnd) {
  MemoryDataSet ds(Values(30));
  data::TDataSource source;
  RecordingLink grid(4);
  grid.SetDataSource(&source);
  source.SetDataSet(&ds);
  ds.Open();
  grid.heard.clear();
  ds.DisableControls();
  ds.DisableControls();
  ds.MoveBy(10);
  ds.Edit();
  ds.Cancel();
  ds.EnableControls();
  EXPECT_TRUE(grid.heard.empty());
  ds.EnableControls();
  EXPECT_EQ(grid.heard, (std::vector<std::string>{"changed"}));
  EXPECT_EQ(Rows(grid), (std::vector<int>{8, 9, 10, 11}));
  grid.heard.clear();
  ds.DisableControls();
  ds.EnableControls();  // nothing happened: nothing to hear
  EXPECT_TRUE(grid.heard.empty());
}

TEST(DataSetTest, EventsComeInTheirOrder) {
  MemoryDataSet ds(Values(3));
  std::vector<std::string> events;
  auto note = [&](const char* name) {
    return [&events, name](data::TDataSet&) { events.push_back(name); };
  };
  ds.BeforeOpen = note("BeforeOpen");
  ds.AfterOpen = note("AfterOpen");
  ds.BeforeInsert = note("BeforeInsert");
  ds.OnNewRecord = [&](data::TDataSet& d) {
    events.push_back("OnNewRecord");
    d.Fields(0)->SetAsInteger(42);
  };
  ds.AfterInsert = note("AfterInsert");
  ds.BeforePost = note("BeforePost");
  ds.AfterPost = note("AfterPost");
  ds.BeforeScroll = note("BeforeScroll");
  ds.AfterScroll = note("AfterScroll");
  ds.BeforeDelete = note("BeforeDelete");
  ds.AfterDelete = note("AfterDelete");
  ds.BeforeClose = note("BeforeClose");
  ds.AfterClose = note("AfterClose");
  ds.Open();
  ds.Next();
  ds.Insert();
  EXPECT_FALSE(ds.Modified());  // OnNewRecord's values do not count as changes
  ds.Post();
  EXPECT_EQ(ds.values_, (std::vector<std::int32_t>{1, 42, 2, 3}));
  ds.Delete();
  EXPECT_EQ(ds.values_, (std::vector<std::int32_t>{1, 2, 3}));
  ds.Close();
  EXPECT_EQ(events,
            (std::vector<std::string>{"BeforeOpen", "AfterOpen", "AfterScroll", "BeforeScroll",
                                      "AfterScroll", "BeforeInsert", "OnNewRecord", "AfterInsert",
                                      "BeforePost", "AfterPost", "BeforeDelete", "BeforeScroll",
                                      "AfterDelete", "AfterScroll", "BeforeClose", "AfterClose"}));
}

TEST(DataSetTest, EditingMovesAndCancelsAsExpected) {
  MemoryDataSet ds({});
  ds.Open();
  EXPECT_TRUE(ds.IsEmpty() && ds.Bof() && ds.Eof());
  ds.Edit();  // an empty dataset inserts
  EXPECT_EQ(ds.State(), TDataSetState::dsInsert);
  ds.Fields(0)->SetAsInteger(5);
  ds.Next();  // leaving a changed record posts it
  EXPECT_EQ(ds.values_, std::vector<std::int32_t>{5});
  ds.Append();
  ds.Prior();  // leaving an unchanged record cancels it
  EXPECT_EQ(ds.values_, std::vector<std::int32_t>{5});
  ds.Append();
  ds.Fields(0)->SetAsInteger(6);
  ds.Post();
  ds.First();
  ds.Insert();
  ds.Fields(0)->SetAsInteger(4);
  ds.Post();
  EXPECT_EQ(ds.values_, (std::vector<std::int32_t>{4, 5, 6}));
  EXPECT_EQ(ds.Fields(0)->AsInteger(), 4);
  data::TBookmark five;
  ds.Next();
  five = ds.GetBookmark();
  ds.Last();
  ds.GotoBookmark(five);
  EXPECT_EQ(ds.Fields(0)->AsInteger(), 5);
  std::uint8_t record[4] = {7, 0, 0, 0};
  ds.AddRecord(record, true);
  EXPECT_EQ(ds.values_.back(), 7);
  EXPECT_EQ(ds.Fields(0)->AsInteger(), 7);
}

TEST(DataSetTest, FrameworkFailuresRaiseDatabaseErrors) {
  MemoryDataSet ds(Values(2));
  auto message = [](const std::function<void()>& f) {
    try {
      f();
    } catch (const data::EDatabaseError& e) {
      return std::string(e.what());
    }
    return std::string("no error");
  };
  EXPECT_EQ(message([&] { ds.First(); }),
            "Memory: Cannot perform this operation on a closed dataset");
  ds.Open();
  EXPECT_EQ(message([&] { ds.FieldByName("NOPE"); }), "Memory: Field 'NOPE' not found");
  EXPECT_EQ(ds.FieldByName("value"), ds.Fields(0));  // letter case does not matter
  EXPECT_EQ(message([&] { ds.Fields(0)->SetAsInteger(1); }),
            "Memory: Dataset not in edit or insert mode");
  EXPECT_EQ(message([&] { ds.Post(); }), "Memory: Dataset not in edit or insert mode");
  EXPECT_EQ(message([&] { ds.AddField(std::make_unique<data::TIntegerField>()); }),
            "Memory: Cannot perform this operation on an open dataset");
  EXPECT_EQ(message([&] { ds.Fields(0)->AsDateTime(); }), "Invalid conversion of field 'VALUE'");
  ds.Fields(0)->SetReadOnly(true);
  ds.Edit();
  EXPECT_EQ(message([&] { ds.Fields(0)->SetAsInteger(1); }),
            "Memory: Field 'VALUE' cannot be modified");
  ds.Cancel();
  ds.read_only = true;
  EXPECT_EQ(message([&] { ds.Edit(); }), "Memory: Cannot modify a read-only dataset");
  ds.read_only = false;
  ds.Delete();
  ds.Delete();
  EXPECT_EQ(message([&] { ds.Delete(); }),
            "Memory: Cannot perform this operation on an empty dataset");
  EXPECT_EQ(message([&] {
              ds.GotoBookmark(data::TBookmark{5, 0, 0, 0});
            }),
            "Memory: Record not found");
}

TEST(DataSetTest, CalculatedFieldsAreComputedForEveryFetchedBuffer) {
  MemoryDataSet ds(Values(6));
  auto* value = ds.AddField(std::make_unique<data::TIntegerField>());
  value->SetFieldName("VALUE");
  auto* half = ds.AddField(std::make_unique<data::TIntegerField>());
  half->SetFieldName("HALF");
  half->SetFieldKind(data::TFieldKind::fkCalculated);
  ds.OnCalcFields = [&](data::TDataSet&) {
    if (value->AsInteger() % 2 == 0) {
      half->SetAsInteger(value->AsInteger() / 2);
    } else {
      half->Clear();
    }
  };
  ds.Open();
  EXPECT_EQ(ds.CalcFieldsSize(), 5);
  std::vector<std::string> shown;
  for (ds.First(); !ds.Eof(); ds.Next())
    shown.push_back(half->IsNull() ? "-" : half->DisplayText());
  EXPECT_EQ(shown, (std::vector<std::string>{"-", "1", "-", "2", "-", "3"}));
  ds.Edit();
  value->SetAsInteger(40);  // recomputed while editing
  EXPECT_EQ(half->AsInteger(), 20);
  ds.Cancel();
}

}  // namespace
}  // namespace orvex::test
