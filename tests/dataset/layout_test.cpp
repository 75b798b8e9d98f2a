// The record-buffer layout byte for byte, field data in both directions,
// bookmarks, the empty table and the design-time mode.
#include <cmath>

#include "dataset/ox_date_field.h"
#include "dataset_test_support.h"
#include "dates/date_text.h"
#include "engine/engine_test_support.h"
#include "engine/navigation.h"
#include "platform/data/field_kinds.h"

namespace orvex::test {
namespace {

using data::TFieldKind;

template <typename T>
T At(const std::uint8_t* p) {
  T v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

class LayoutTest : public DatasetTest {
 protected:
  void SetUp() override {
    DatasetTest::SetUp();
    // C(10) with trailing blanks, N(8,2) holding 3.14159, L, D, N(4), M, and
    // a second C whose text is all blanks.
    table_ = Path("layout.dbf");
    WriteFileBytes(table_,
                   Dbase3File(0x03,
                              {{"NAME", 'C', 10},
                               {"PRICE", 'N', 8, 2},
                               {"OK", 'L', 1},
                               {"DAY", 'D', 8},
                               {"QTY", 'N', 4},
                               {"EMPTY", 'C', 3}},
                              {Record({"Tea", " 3.14159", "T", "20240229", "  12", "   "}),
                               Record({"Coffee", "  -2.005", "F", "        ", "  -7", "   "}),
                               Record({"Water", "       0", "?", "19991231", "   0", "abc"})}));
  }
  // The fields' texts, each padded to its width.
  static std::string Record(const std::vector<std::string>& texts) {
    static const std::size_t kWidths[] = {10, 8, 1, 8, 4, 3};
    std::string record;
    for (std::size_t i = 0; i < texts.size(); ++i) {
      std::string t = texts[i];
      t.resize(kWidths[i], ' ');
      record += t;
    }
    return record;
  }
  std::string table_;
};

TEST_F(LayoutTest, RecordBufferIsLaidOutByteForByte) {
  TestDbf ds(table_);
  auto* calc = ds.AddField(std::make_unique<data::TIntegerField>());
  for (const char* name : {"NAME", "PRICE", "OK", "DAY", "QTY", "EMPTY"}) {
    data::FieldClass make = nullptr;
    std::string n = name;
    if (n == "NAME" || n == "EMPTY") make = &data::NewField<data::TStringField>;
    if (n == "PRICE") make = &data::NewField<data::TFloatField>;
    if (n == "OK") make = &data::NewField<data::TBooleanField>;
    if (n == "DAY") make = &data::NewField<TOxDateField>;
    if (n == "QTY") make = &data::NewField<data::TIntegerField>;
    auto field = make();
    field->SetFieldName(name);
    ds.AddField(std::move(field));
  }
  calc->SetFieldName("TWICE");
  calc->SetFieldKind(TFieldKind::fkCalculated);
  ds.OnCalcFields = [&](data::TDataSet& d) {
    if (d.FieldByName("QTY")->AsInteger() == 0) {
      calc->Clear();
    } else {
      calc->SetAsInteger(2 * d.FieldByName("QTY")->AsInteger());
    }
  };
  ds.Open();
  ASSERT_EQ(ds.FieldCount(), 7);  // the persistent fields, no default ones
  // 1 + C 11 + N/dec 8 + L 2 + D 8 + N 4 + C 4 = 38; one calculated field
  // of 4 + 1 bytes.
  EXPECT_EQ(ds.RecordSize(), 38);
  EXPECT_EQ(ds.FieldOffsets(), (std::vector<int>{1, 12, 20, 22, 30, 34}));
  EXPECT_EQ(ds.CalcFieldsOffset(), 38);
  EXPECT_EQ(ds.RecInfoOffset(), 43);
  EXPECT_EQ(ds.BookmarkOffset(), 51);
  EXPECT_EQ(ds.RecordBufferSize(), 55);
  EXPECT_EQ(ds.BookmarkSize(), 4);

  const std::uint8_t* b = ds.ActiveBuffer();
  EXPECT_EQ(b[0], 0);
  EXPECT_EQ(b[1], 10);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(b + 2), 10), "Tea       ");
  EXPECT_EQ(At<double>(b + 12), 3.14);
  EXPECT_EQ(b[20], 1);
  EXPECT_EQ(b[21], 0);
  EXPECT_EQ(At<double>(b + 22), 45351.0);  // 29 February 2024 as a date-time
  EXPECT_EQ(At<std::int32_t>(b + 30), 12);
  EXPECT_EQ(b[34], 3);
  EXPECT_EQ(b[38], 0);  // calculated field has a value
  EXPECT_EQ(At<std::int32_t>(b + 39), 24);
  EXPECT_EQ(At<std::int32_t>(b + 43), 1);
  EXPECT_EQ(b[47], 0);
  EXPECT_EQ(b[48] | b[49] | b[50], 0);
  EXPECT_EQ(At<std::int32_t>(b + 51), 1);

  // Values through the fields.
  EXPECT_EQ(ds.FieldByName("NAME")->AsString(), "Tea");
  EXPECT_EQ(ds.FieldByName("PRICE")->AsFloat(), 3.14);
  EXPECT_EQ(ds.FieldByName("PRICE")->DisplayText(), "3.14");
  EXPECT_EQ(static_cast<data::TFloatField*>(ds.FieldByName("PRICE"))->Precision(), 8);
  EXPECT_TRUE(ds.FieldByName("OK")->AsBoolean());
  EXPECT_EQ(ds.FieldByName("OK")->DisplayText(), "True");
  EXPECT_EQ(ds.FieldByName("DAY")->DisplayText(), "29.02.2024");
  EXPECT_EQ(ds.FieldByName("DAY")->EditMask(), "99/99/9999;1; ");
  EXPECT_EQ(ds.FieldByName("EMPTY")->AsString(), "");
  EXPECT_FALSE(ds.FieldByName("EMPTY")->IsNull());
  EXPECT_EQ(ds.FieldByName("TWICE")->AsInteger(), 24);

  ds.Next();
  EXPECT_EQ(ds.FieldByName("PRICE")->AsFloat(), -2.01);  // -2.005 as the table writes it
  EXPECT_TRUE(ds.FieldByName("DAY")->IsNull());
  EXPECT_EQ(ds.FieldByName("DAY")->DisplayText(), "");
  EXPECT_EQ(ds.FieldByName("TWICE")->AsInteger(), -14);
  ds.Next();
  EXPECT_FALSE(ds.FieldByName("OK")->AsBoolean());  // '?' is not true
  EXPECT_EQ(ds.FieldByName("DAY")->DisplayText(), "31.12.1999");
  EXPECT_TRUE(ds.FieldByName("TWICE")->IsNull());
  EXPECT_EQ(ds.FieldByName("TWICE")->AsString(), "");
  EXPECT_EQ(ds.ActiveBuffer()[38], 1);

  std::vector<std::uint8_t> copy(static_cast<std::size_t>(ds.RecordSize()));
  ASSERT_TRUE(ds.GetCurrentRecord(copy.data()));
  EXPECT_EQ(std::memcmp(copy.data(), ds.ActiveBuffer(), copy.size()), 0);
}

TEST_F(LayoutTest, DateFieldTextsFollowTheLibrary) {
  TestDbf ds(table_);
  ds.Open();
  ds.Edit();
  data::TField* day = ds.FieldByName("DAY");
  struct Case {
    std::string text;
    std::string shown;
  };
  for (const Case& c :
       {Case{"1.3.24", "01.03.2024"}, Case{"  .  .  ", ""}, Case{"31.12.1999", "31.12.1999"},
        Case{"4.5.6", "04.05.2006"}, Case{"  .  .", ""}, Case{"  .  .    ", ""},
        Case{"31.12.1899", "31.12.1899"}}) {
    day->SetText(c.text);
    EXPECT_EQ(day->DisplayText(), c.shown) << c.text;
  }
  EXPECT_THROW(day->SetText("31.02.24"), data::EConvertError);
  EXPECT_THROW(day->SetText("tomorrow"), data::EConvertError);
  ds.Cancel();
}

TEST_F(LayoutTest, BookmarksCompareByRecordNumber) {
  TestDbf ds(table_);
  ds.Open();
  data::TBookmark first = ds.GetBookmark();
  ds.Last();
  data::TBookmark last = ds.GetBookmark();
  EXPECT_EQ(ds.CompareBookmarks(first, last), 1);
  EXPECT_EQ(ds.CompareBookmarks(last, first), 1);
  EXPECT_EQ(ds.CompareBookmarks(first, ds.GetBookmark()), 1);
  EXPECT_EQ(ds.CompareBookmarks(last, ds.GetBookmark()), 0);
  EXPECT_EQ(ds.CompareBookmarks(last, data::TBookmark{}), 1);
  EXPECT_EQ(ds.CompareBookmarks(data::TBookmark{}, data::TBookmark{}), 0);
  // BookmarkValid never fails.
  EXPECT_TRUE(ds.BookmarkValid(first));
  EXPECT_FALSE(ds.BookmarkValid(data::TBookmark{}));
  for (std::int32_t n : {0, -5, 4, 1 << 30}) {
    std::uint8_t b[4];
    std::memcpy(b, &n, 4);
    EXPECT_FALSE(ds.BookmarkValid(b)) << n;
  }
  ds.SelectArea("test");
  GO(2);
  ASSERT_TRUE(RLock());
  DeleteRec();
  Unlock();
  ds.SetHideDeletedRecs(true);
  std::int32_t two = 2;
  std::uint8_t b[4];
  std::memcpy(b, &two, 4);
  EXPECT_FALSE(ds.BookmarkValid(b));
  ds.Close();
  EXPECT_FALSE(ds.BookmarkValid(first));
  EXPECT_EQ(DbfErrorNo, 0);
}

TEST_F(LayoutTest, EmptyTableAnswersErrorEofAndBof) {
  const std::string empty = Path("empty.dbf");
  BuildTable(empty, {{"NAME", 'C', 5, 0}}, 0, [](int) {});
  TestDbf ds(empty);
  ds.Open();
  EXPECT_TRUE(ds.IsEmpty());
  EXPECT_TRUE(ds.FieldByName("NAME")->IsNull());
  data::RecordBuffer buffer = ds.AllocRecordBuffer();
  EXPECT_EQ(ds.GetRecord(buffer, data::TGetMode::gmCurrent, true), data::TGetResult::grError);
  EXPECT_EQ(ds.GetRecord(buffer, data::TGetMode::gmNext, true), data::TGetResult::grEOF);
  EXPECT_EQ(ds.GetRecord(buffer, data::TGetMode::gmPrior, true), data::TGetResult::grBOF);
  ds.FreeRecordBuffer(buffer);
  for (bool last : {false, true}) {
    last ? ds.Last() : ds.First();
    ds.SelectArea("test");
    EXPECT_EQ(RecNo(), 0);  // the blank record of an empty table
    EXPECT_TRUE(dEOF() && dBOF());
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(FieldAddress(1)) + 1, 5), "     ");
  }
  // Edit of an empty dataset inserts.
  ds.Edit();
  EXPECT_EQ(ds.State(), data::TDataSetState::dsInsert);
  ds.FieldByName("NAME")->SetAsString("first");
  ds.Post();
  EXPECT_EQ(ds.GetRecordCount(), 1);
  EXPECT_EQ(ds.FieldByName("NAME")->AsString(), "first");
}

TEST_F(LayoutTest, DesignModeShowsOneBlankRecordWithoutHoldingTheFile) {
  TestDbf ds(table_, /*design_mode=*/true);
  data::TDataSource source;
  RowsLink grid(10);
  grid.SetDataSource(&source);
  source.SetDataSet(&ds);
  ds.Open();
  EXPECT_EQ(ds.DbfFields(),
            (std::vector<std::string>{"name, C, 10, 0", "price, N, 8, 2", "ok, L, 1, 0",
                                      "day, D, 8, 0", "qty, N, 4, 0", "empty, C, 3, 0"}));
  EXPECT_EQ(ds.RecordCountInBuffers(), 1);
  EXPECT_EQ(ds.GetRecordCount(), 1);
  EXPECT_EQ(ds.GetRecNo(), 1);
  EXPECT_EQ(ds.MoveBy(3), 0);
  ds.Last();
  EXPECT_EQ(ds.RecordCountInBuffers(), 1);
  EXPECT_EQ(ds.FieldByName("NAME")->AsString(), "");
  EXPECT_TRUE(ds.FieldByName("DAY")->IsNull());
  EXPECT_FALSE(ds.IsCurrentDeleted());
  // Nobody holds the file: another area opens it exclusively, in the very
  // area the dataset had, and closing the dataset leaves it open.
  Select(ds.WorkAreaNo());
  USE(table_ + " EXCLUSIVE");
  ASSERT_EQ(DbfErrorNo, 0);
  const int area = SelectedArea();
  ds.Close();
  Select(area);
  EXPECT_EQ(RecCount(), 3);
}

}  // namespace
}  // namespace orvex::test
