// Edit, post, insert, append, cancel, delete and restore through the dataset
// change the table file exactly as the engine's own commands do, and an
// independent reader (python3-dbfread) reads what was meant.
#include <filesystem>
#include <sstream>

#include "dataset_test_support.h"
#include "dates/date_text.h"
#include "engine/navigation.h"
#include "engine/peek_cache.h"
#include "engine/record_pack.h"

namespace orvex::test {
namespace {

// Prints each record of a table as dbfread reads it: "R" or "D" (deleted),
// then the values separated by '|' (None as '-', dates YYYYMMDD, logicals
// T/F, memo fields not followed).
const char* kReader = R"PY(
import sys
from dbfread import DBF, FieldParser
class Parser(FieldParser):
    def parseM(self, field, data):
        return self._parse_memo_index(data)
def cell(v):
    if v is None: return '-'
    if isinstance(v, bool): return 'T' if v else 'F'
    if hasattr(v, 'strftime'): return v.strftime('%Y%m%d')
    return str(v)
t = DBF(sys.argv[1], encoding='cp850', parserclass=Parser, ignore_missing_memofile=True)
rows = [('R', r) for r in t] + [('D', r) for r in t.deleted]
for kind, r in rows:
    print(kind + '|' + '|'.join(cell(v) for v in r.values()))
)PY";

class EditingTest : public DatasetTest {
 protected:
  void SetUp() override {
    DatasetTest::SetUp();
    const std::string base = Path("base.dbf");
    BuildTable(base,
               {{"NAME", 'C', 20, 0},
                {"COUNT", 'N', 5, 0},
                {"AMOUNT", 'N', 8, 2},
                {"FLAG", 'L', 1, 0},
                {"DAY", 'D', 8, 0},
                {"NOTES", 'M', 10, 0}},
               10, [](int i) {
                 SetText(1, "Name " + std::to_string(i));
                 SetInt(2, i * 10);
                 DoubleToReal(i + 0.25, FieldAddress(3));
                 *FieldAddress(4) = static_cast<std::uint8_t>(i % 2);
                 SetText(5, "0" + std::to_string(i % 9 + 1) + ".05.21");
               });
    for (const char* name : {"ours", "engine"}) {
      std::filesystem::copy_file(base, Path(std::string(name) + ".dbf"));
      // The memo file takes the case of the table's extension.
      std::filesystem::copy_file(Path("base.dbt"), Path(std::string(name) + ".dbt"));
    }
    WriteFileBytes(Path("reader.py"), kReader);
  }
  // The engine's way: go to the record, change the unpacked buffer, write
  // under the record lock.
  static void EngineReplace(std::int32_t rec_no, const std::function<void()>& change) {
    GO(rec_no);
    change();
    ASSERT_TRUE(RLock());
    Replace();
    Unlock();
  }
  static void EngineAppend(const std::function<void()>& fill) {
    ClearRecord();
    fill();
    ASSERT_TRUE(ALock());
    ::orvex::Append();
    Unlock();
  }
  std::vector<std::string> Read(const std::string& file) {
    ProcessResult r = RunProcess({"/usr/bin/python3", Path("reader.py"), file});
    EXPECT_EQ(r.exit_status, 0) << r.err;
    std::vector<std::string> lines;
    std::istringstream in(r.out);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }
};

TEST_F(EditingTest, DatasetWritesTheSameBytesAsTheEngineCommands) {
  {
    TestDbf ds(Path("ours.dbf"));
    ds.Open();
    // Edit and post.
    ds.SetRecNo(5);
    ds.Edit();
    ds.FieldByName("NAME")->SetAsString("Changed");
    ds.FieldByName("COUNT")->SetAsInteger(77);
    ds.FieldByName("AMOUNT")->SetAsFloat(12.5);
    ds.FieldByName("FLAG")->SetAsBoolean(true);
    ds.FieldByName("DAY")->SetText("29.02.24");
    ds.Post();
    EXPECT_EQ(ds.FieldByName("NAME")->AsString(), "Changed");
    EXPECT_EQ(ds.GetRecNo(), 5);
    // Cancel leaves the file alone and shows the old values again.
    ds.SetRecNo(2);
    ds.Edit();
    ds.FieldByName("NAME")->SetAsString("Never written");
    ds.Cancel();
    EXPECT_EQ(ds.FieldByName("NAME")->AsString(), "Name 2");
    // An invalid date: the message, and the empty date is stored.
    ds.SetRecNo(4);
    ds.Edit();
    ds.FieldByName("DAY")->SetAsDateTime(-700000);
    ds.Post();
    EXPECT_EQ(messages, std::vector<std::string>{"        Invalid date       "});
    EXPECT_TRUE(ds.FieldByName("DAY")->IsNull());
    // Append and insert both add at the end.
    ds.Append();
    ds.FieldByName("NAME")->SetAsString("Appended");
    ds.FieldByName("COUNT")->SetAsInteger(-3);
    ds.Post();
    EXPECT_EQ(ds.GetRecNo(), 11);
    ds.SetRecNo(3);
    ds.Insert();
    ds.FieldByName("NAME")->SetAsString("Inserted");
    ds.FieldByName("AMOUNT")->SetAsString("7.125");
    ds.Post();
    EXPECT_EQ(ds.GetRecNo(), 12);
    ds.Insert();  // cancelled: nothing is written
    ds.FieldByName("NAME")->SetAsString("Cancelled");
    ds.Cancel();
    EXPECT_EQ(ds.FieldByName("NAME")->AsString(), "Inserted");
    // Delete, restore, delete through SetCurrentDeleted.
    ds.SetRecNo(7);
    ds.Delete();
    EXPECT_EQ(ds.GetRecNo(), 7);  // deleted records stay in view
    EXPECT_TRUE(ds.IsCurrentDeleted());
    ds.SetCurrentDeleted(false);
    EXPECT_FALSE(ds.IsCurrentDeleted());
    ds.SetRecNo(9);
    ds.SetCurrentDeleted(true);
    EXPECT_TRUE(ds.IsCurrentDeleted());
    ds.SetCurrentDeleted(true);  // already: nothing happens
  }
  Select(1);
  USE(Path("engine.dbf") + " EXCLUSIVE");
  EngineReplace(5, [] {
    SetText(1, "Changed");
    SetInt(2, 77);
    DoubleToReal(12.5, FieldAddress(3));
    *FieldAddress(4) = 1;
    SetText(5, "29.02.24");
  });
  EngineReplace(4, [] { SetText(5, EmptyDateText(DateType)); });
  EngineAppend([] {
    SetText(1, "Appended");
    SetInt(2, -3);
  });
  EngineAppend([] {
    SetText(1, "Inserted");
    DoubleToReal(7.125, FieldAddress(3));
  });
  GO(7);
  ASSERT_TRUE(RLock());
  DeleteRec();
  RecallRec();
  Unlock();
  GO(9);
  ASSERT_TRUE(RLock());
  DeleteRec();
  Unlock();
  USE("");

  EXPECT_EQ(ReadFileBytes(Path("ours.dbf")), ReadFileBytes(Path("engine.dbf")));
  EXPECT_EQ(ReadFileBytes(Path("ours.dbt")), ReadFileBytes(Path("engine.dbt")));
  std::vector<std::string> lines = Read(Path("ours.dbf"));
  ASSERT_EQ(lines.size(), 12u);
  EXPECT_EQ(lines[4], "R|Changed|77|12.5|T|20240229|0");
  EXPECT_EQ(lines[3], "R|Name 4|40|4.25|F|-|0");
  EXPECT_EQ(lines[1], "R|Name 2|20|2.25|F|20210503|0");
  EXPECT_EQ(lines[6], "R|Name 7|70|7.25|T|20210508|0");
  EXPECT_EQ(lines[9], "R|Appended|-3|0.0|F|-|0");
  EXPECT_EQ(lines[10], "R|Inserted|0|7.13|F|-|0");  // the field's decimals, half away from zero
  EXPECT_EQ(lines[11], "D|Name 9|90|9.25|T|20210501|0");
}

TEST_F(EditingTest, DeletingHiddenRecordsMovesOnAndCanEmptyTheDataset) {
  TestDbf ds(Path("ours.dbf"));
  ds.SetHideDeletedRecs(true);
  ds.Open();
  ds.SetRecNo(4);
  ds.Delete();
  EXPECT_EQ(ds.GetRecNo(), 5);  // the next record takes its place
  ds.Last();
  ds.Delete();
  EXPECT_EQ(ds.GetRecNo(), 9);
  EXPECT_FALSE(ds.Eof());
  int left = 0;
  for (ds.First(); !ds.Eof(); ds.Next()) ++left;
  EXPECT_EQ(left, 8);
  while (!ds.IsEmpty()) ds.Delete();
  EXPECT_TRUE(ds.Bof() && ds.Eof());
  ds.SelectArea("test");
  EXPECT_TRUE(dEOF());                 // the engine stands behind the last record
  EXPECT_EQ(ds.GetRecordCount(), 10);  // the file keeps the records, flagged
  ds.Close();
  int deleted = 0;
  for (const FileRecord& r : ReadRecords(Path("ours.dbf"))) deleted += r.deleted;
  EXPECT_EQ(deleted, 10);
}

// A dataset whose record writes fail a given number of times.
class FailingDbf : public TestDbf {
 public:
  using TestDbf::TestDbf;
  int failures = 0;

 protected:
  void s_ReplaceWithLock() override {
    if (failures-- > 0) RaiseOrvexError("Fehler Nr. 33 (Fehler bei Dateisperre)");
    TestDbf::s_ReplaceWithLock();
  }
};

TEST_F(EditingTest, PostErrorEventRetriesAbortsOrFails) {
  FailingDbf ds(Path("ours.dbf"));
  ds.Open();
  ds.SetRecNo(3);
  struct Case {
    int failures;
    data::TDataAction action;
    bool written;
  };
  int stored = 30;
  for (const Case& c :
       {Case{2, data::TDataAction::daRetry, true}, Case{1, data::TDataAction::daAbort, false},
        Case{1, data::TDataAction::daFail, false}}) {
    ds.Edit();
    const int value = c.failures * 100 + static_cast<int>(c.action);
    ds.FieldByName("COUNT")->SetAsInteger(value);
    ds.failures = c.failures;
    int calls = 0;
    ds.OnPostError = [&](data::TDataSet&, const Exception& e, data::TDataAction& action) {
      ++calls;
      EXPECT_NE(std::string(e.what()).find("Dateisperre"), std::string::npos);
      action = c.action;
    };
    if (c.action == data::TDataAction::daAbort) {
      EXPECT_THROW(ds.Post(), data::EAbort);
    } else if (c.action == data::TDataAction::daFail) {
      EXPECT_THROW(ds.Post(), EOrvexError);
    } else {
      ds.Post();
    }
    EXPECT_EQ(calls, c.action == data::TDataAction::daRetry ? 2 : 1);
    EXPECT_EQ(ds.State(), c.written ? data::TDataSetState::dsBrowse : data::TDataSetState::dsEdit);
    if (!c.written) ds.Cancel();
    if (c.written) stored = value;
    EXPECT_EQ(ds.FieldByName("COUNT")->AsInteger(), stored);
  }
}

// Dates and wide integers, under the settings a new user has: no century
// (CenturyOn off) and the American short date format MM/dd/yy.
class ExactValuesTest : public DatasetTest {
 protected:
  void SetUp() override {
    DatasetTest::SetUp();
    SetDateType(0);
    path_ = Path("exact.dbf");
    // Built with the century on, so that the engine stores the years given.
    CenturyOn = true;
    BuildTable(path_, {{"NAME", 'C', 10, 0}, {"DAY", 'D', 8, 0}, {"BIG", 'N', 12, 0}}, 2,
               [](int i) {
                 SetText(1, "Row " + std::to_string(i));
                 SetText(2, i == 1 ? "03/03/1950" : "12/31/2099");
               });
    CenturyOn = false;
    USE(path_ + " EXCLUSIVE");
    Poke("123456789012", 3, 1);
    USE("");
  }
  static data::TDateTime Date(int year, int month, int day) {
    data::TDateTime value = 0;
    EXPECT_TRUE(data::TryEncodeDate(year, month, day, &value));
    return value;
  }
  // The stored DAY and BIG of record n (1-based).
  std::string StoredDay(std::size_t n) { return ReadRecords(path_)[n - 1].bytes.substr(10, 8); }
  std::string StoredBig(std::size_t n) { return ReadRecords(path_)[n - 1].bytes.substr(18, 12); }
  std::string path_;
};

TEST_F(ExactValuesTest, DatesGoBetweenRecordAndFieldWithTheirFullYear) {
  TestDbf ds(path_);
  ds.Open();
  data::TField* day = ds.FieldByName("DAY");
  EXPECT_EQ(day->AsDateTime(), Date(1950, 3, 3));
  EXPECT_EQ(day->DisplayText(), "03/03/1950");
  ds.Next();
  EXPECT_EQ(day->AsDateTime(), Date(2099, 12, 31));
  EXPECT_EQ(day->Text(), "12/31/2099");
  // Only the name changes: the date keeps its bytes.
  ds.Edit();
  ds.FieldByName("NAME")->SetAsString("Renamed");
  ds.Post();
  EXPECT_EQ(StoredDay(2), "20991231");
  // Edit, Append and Insert store every century exactly.
  ds.First();
  ds.Edit();
  day->SetAsDateTime(Date(1899, 12, 31));
  ds.Post();
  ds.Append();
  day->SetAsDateTime(Date(2060, 1, 1));
  ds.Post();
  ds.Insert();
  day->SetAsDateTime(Date(1950, 3, 3));
  ds.Post();
  // A date typed with its century keeps it; one typed without gets the
  // century of the settings' window.
  ds.Append();
  day->SetText("03/03/1927");
  ds.Post();
  ds.Append();
  day->SetText("03/03/27");
  ds.Post();
  // The header counts the appended records when the table closes.
  ds.Close();
  EXPECT_EQ(StoredDay(1), "18991231");
  EXPECT_EQ(StoredDay(3), "20600101");
  EXPECT_EQ(StoredDay(4), "19500303");
  EXPECT_EQ(StoredDay(5), "19270303");
  EXPECT_EQ(StoredDay(6), std::to_string(CenturyOf(27) + 27) + "0303");
  EXPECT_TRUE(messages.empty());
  // What was stored reads back the same.
  ds.Open();
  day = ds.FieldByName("DAY");  // the fields are made anew at open
  EXPECT_EQ(day->AsDateTime(), Date(1899, 12, 31));
  EXPECT_EQ(day->DisplayText(), "12/31/1899");
}

TEST_F(ExactValuesTest, IntegersBeyond32BitsShowAndStoreEveryDigit) {
  TestDbf ds(path_);
  ds.Open();
  data::TField* big = ds.FieldByName("BIG");
  EXPECT_EQ(big->DisplayText(), "123456789012");
  EXPECT_EQ(big->AsFloat(), 123456789012.0);
  ds.Edit();
  big->SetAsString("-98765432109");
  ds.Post();
  EXPECT_EQ(StoredBig(1), "-98765432109");
  EXPECT_EQ(big->AsString(), "-98765432109");
  // Editing another field keeps the wide value's bytes.
  ds.Edit();
  ds.FieldByName("NAME")->SetAsString("Other");
  ds.Post();
  EXPECT_EQ(StoredBig(1), "-98765432109");
  // A value within 32 bits goes the engine's usual way.
  ds.Next();
  ds.Edit();
  big->SetAsInteger(5);
  ds.Post();
  EXPECT_EQ(StoredBig(2), "           5");
  // A value with more digits than the field is refused and stores nothing.
  const std::string bytes = ReadFileBytes(path_);
  ds.Edit();
  EXPECT_THROW(big->SetAsString("1234567890123"), data::EDatabaseError);
  ds.Cancel();
  EXPECT_EQ(ReadFileBytes(path_), bytes);
  EXPECT_EQ(big->AsString(), "5");
}

}  // namespace
}  // namespace orvex::test
