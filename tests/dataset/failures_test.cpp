// The dataset's failures: a closed table under an engine wrapper, opening
// without a name or a file, field definitions before the table is open,
// writes outside edit mode, the relation hook kept on failure, and the
// unit's start-up from the date format.
#include "dataset_test_support.h"
#include "engine/navigation.h"
#include "platform/os/format_settings.h"

namespace orvex::test {
namespace {

using FailuresTest = DatasetTest;

TEST_F(FailuresTest, WrapperOnClosedTableReports1103AndAsksToTerminate) {
  TestDbf ds(Path("none.dbf"));
  try {
    ds.s_Skip(1);
    FAIL() << "no error";
  } catch (const EOrvexError& e) {
    EXPECT_EQ(std::string(e.what()),
              "Fehler Nr. 1103 (Unzul\xE4ssige Ausf\xFChrung )\r\nDatenbank ist nicht offen "
              "[TestDbf.s_Skip]");
  }
  // With a hook in the error path the wrapper goes on to the terminate
  // request, and then does nothing.
  std::vector<std::string> reported;
  std::vector<int> terminated;
  ErrorHook = [&] { reported.push_back(ErrorDetail); };
  data::SetTerminateHook([&](int status) { terminated.push_back(status); });
  EXPECT_EQ(ds.s_RecCount(), 0);
  EXPECT_TRUE(ds.s_IsEmpty());
  EXPECT_EQ(reported, (std::vector<std::string>{"Datenbank ist nicht offen [TestDbf.s_RecCount]",
                                                "Datenbank ist nicht offen [TestDbf.s_IsEmpty]"}));
  EXPECT_EQ(terminated, (std::vector<int>{1103, 1103}));
  ErrorHook = nullptr;
}

TEST_F(FailuresTest, OpenFailuresLeaveTheDatasetClosed) {
  TestDbf nameless("");
  try {
    nameless.Open();
    FAIL();
  } catch (const EOrvexError& e) {
    EXPECT_NE(std::string(e.what()).find("DBF file name has not been specified for TestDbf"),
              std::string::npos);
  }
  EXPECT_FALSE(nameless.Active());
  TestDbf missing(Path("missing.dbf"));
  try {
    missing.Open();
    FAIL();
  } catch (const EOrvexError& e) {
    EXPECT_EQ(std::string(e.what()).rfind("Fehler Nr. 2 (Datei nicht gefunden)", 0), 0u)
        << e.what();
  }
  EXPECT_FALSE(missing.Active());
  EXPECT_EQ(missing.WorkAreaNo(), 0);
}

// A table component whose open reports failure without an engine error.
class SilentDbf : public TestDbf {
 public:
  using TestDbf::TestDbf;

 protected:
  bool OpenTable(const std::string&) override { return false; }
};

TEST_F(FailuresTest, FieldDefinitionsNeedTheOpenTable) {
  SilentDbf ds(Path("t.dbf"));
  try {
    ds.Open();
    FAIL();
  } catch (const data::EDatabaseError& e) {
    EXPECT_EQ(std::string(e.what()), "TestDbf.DbfFields undefined. Set Active to TRUE");
  }
  EXPECT_FALSE(ds.Active());
}

TEST_F(FailuresTest, FieldsAreWrittenOnlyWhileEditing) {
  const std::string table = Path("t.dbf");
  BuildTable(table, {{"NAME", 'C', 8, 0}, {"N", 'N', 3, 0}}, 3, [](int i) { SetInt(2, i); });
  TestDbf ds(table);
  ds.Open();
  try {
    ds.FieldByName("NAME")->SetAsString("x");
    FAIL();
  } catch (const data::EDatabaseError& e) {
    EXPECT_EQ(std::string(e.what()), "TestDbf: Dataset not in edit or insert mode");
  }
  ds.Post();  // outside edit: nothing happens
  EXPECT_EQ(ds.State(), data::TDataSetState::dsBrowse);
  EXPECT_THROW(ds.FieldByName("N")->SetAsString("twelve"), data::EConvertError);
  ds.Close();
  // A data field set while calculated fields are computed.
  auto* calc = ds.AddField(std::make_unique<data::TIntegerField>());
  calc->SetFieldName("CALC");
  calc->SetFieldKind(data::TFieldKind::fkCalculated);
  for (const char* name : {"NAME", "N"}) {
    auto field = std::string(name) == "N" ? data::NewField<data::TIntegerField>()
                                          : data::NewField<data::TStringField>();
    field->SetFieldName(name);
    ds.AddField(std::move(field));
  }
  ds.OnCalcFields = [](data::TDataSet& d) { d.FieldByName("N")->SetAsInteger(1); };
  try {
    ds.Open();
    FAIL();
  } catch (const data::EDatabaseError& e) {
    EXPECT_EQ(std::string(e.what()), "TestDbf: Dataset not in edit or insert mode");
  }
  EXPECT_FALSE(ds.Active());
}

TEST_F(FailuresTest, RelationHookIsPutBackWhenAStepFails) {
  const std::string table = Path("t.dbf");
  BuildTable(table, {{"N", 'N', 3, 0}}, 2, [](int i) { SetInt(1, i); });
  TestDbf ds(table);
  ds.Open();
  ds.SelectArea("test");
  WorkArea* area = WorkAreas[ds.WorkAreaNo()].get();
  int runs = 0;
  area->relation = [&] { ++runs; };
  ds.s_Skip(1);
  ds.s_Go(1);
  EXPECT_EQ(runs, 0);  // detached around the dataset's own steps
  ds.Last();
  EXPECT_GT(runs, 0);  // the cursor synchronisation lets dependent areas follow
  GO(2);
  SKIP(1);  // the engine behind the last record
  runs = 0;
  EXPECT_THROW(ds.s_Skip(1), EOrvexError);  // 212: behind EOF
  EXPECT_TRUE(static_cast<bool>(area->relation));
  area->relation();
  EXPECT_EQ(runs, 1);
}

TEST_F(FailuresTest, StartUpFollowsTheShortDateFormat) {
  struct Case {
    const char* format;
    char separator;
    int type;
    bool century;
  };
  for (const Case& c : {Case{"dd-MM-yyyy", '-', 3, true}, Case{"dd.MM.yy", '.', 5, false},
                        Case{"dd/MM/yyyy", '/', 2, true}, Case{"yyyy.MM.dd", '.', 1, true},
                        Case{"MM/dd/yy", '/', 0, false}}) {
    os::Formats().short_date_format = c.format;
    os::Formats().date_separator = c.separator;
    ResetDatasetUnit();
    EXPECT_EQ(DateType, c.type) << c.format;
    EXPECT_EQ(CenturyOn, c.century) << c.format;
  }
  EXPECT_EQ(DatasetYesText, "ja");
  EXPECT_EQ(DatasetNoText, "nein");
  EXPECT_EQ(DatasetTrueText, "True");
  EXPECT_EQ(DatasetFalseText, "False");
}

}  // namespace
}  // namespace orvex::test
