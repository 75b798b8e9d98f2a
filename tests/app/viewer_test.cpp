// The viewer's window over the sample table on Qt's offscreen platform: the
// caption and label, the four orders against dbfread, activation, the
// navigator, read-only use, and the failures at open.
#include <QImage>
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>

#include "app_test_support.h"
#include "common/errors.h"
#include "platform/data/data_link.h"
#include "platform/os/system.h"

namespace orvex::test {
namespace {

// The record numbers of the grid's visible rows, top down.
std::vector<int> VisibleRecords(app::TForm1& form) {
  data::TDataLink& link = form.OxGrid1->DataLink();
  const int active = link.ActiveRecord();
  std::vector<int> records;
  for (int row = 0; row < link.RecordCount(); ++row) {
    link.SetActiveRecord(row);
    records.push_back(form.OxDbf1.GetRecNo());
  }
  link.SetActiveRecord(active);
  return records;
}

// The run of a tag's order (as computed from dbfread's records) that starts
// at `first`, `count` records long: a new order keeps the current record,
// so the rows below it follow the order from there.
std::vector<int> ExpectedRun(const SampleTable& table, const std::string& tag, int first,
                             std::size_t count) {
  const std::vector<int>& order = table.orders.at(tag);
  auto at = std::find(order.begin(), order.end(), first);
  std::vector<int> run;
  for (; at != order.end() && run.size() < count; ++at) run.push_back(*at);
  return run;
}

TEST_F(ViewerTest, ButtonsSetTheOrderAndTheLabelWhileTheCaptionStays) {
  app::TForm1& f = Show();
  const SampleTable table = ReadSample();
  EXPECT_EQ(f.Caption(), "File opened ReadOnly");
  EXPECT_EQ(f.Label1->Caption(), "Sorted by TITLE ");
  ASSERT_TRUE(f.OxDbf1.Active());

  struct Press {
    ui::TButton* button;
    const char* label;
    const char* tag;
  };
  // Year first, then Title: the title order returns, ignoring letter case.
  const Press presses[] = {
      {f.Button3, "Sorted By YEAR ", "YEAR"},
      {f.Button1, "Sorted By TITLE ", "TITLE"},
      {f.Button2, "Sorted By RUNTIME ", "RUNTIME"},
      {f.Button4, "Sorted By STARS ", "STARS"},
  };
  for (const Press& p : presses) {
    QTest::mouseClick(p.button, Qt::LeftButton);
    EXPECT_EQ(f.Label1->Caption(), p.label);
    EXPECT_EQ(f.Caption(), "File opened ReadOnly") << p.tag;
    const std::vector<int> shown = VisibleRecords(f);
    ASSERT_GT(shown.size(), 3u) << p.tag;
    EXPECT_EQ(shown, ExpectedRun(table, p.tag, shown[0], shown.size())) << p.tag;
    // From the top of the order the rows are its first records.
    f.OxDbf1.First();
    EXPECT_EQ(VisibleRecords(f), ExpectedRun(table, p.tag, table.orders.at(p.tag)[0], shown.size()))
        << p.tag;
  }
}

TEST_F(ViewerTest, ReactivationNeitherReopensNorRepositions) {
  app::TForm1& f = Show();
  int opens = 0;
  f.OxDbf1.AfterOpen = [&](data::TDataSet&) { ++opens; };
  QTest::mouseClick(f.Button3, Qt::LeftButton);
  f.OxDbf1.MoveBy(7);
  const int record = f.OxDbf1.GetRecNo();
  QWidget other;
  other.show();
  Activate(other);
  Activate(f);
  EXPECT_EQ(opens, 0);
  EXPECT_EQ(f.OxDbf1.GetRecNo(), record);
  EXPECT_EQ(f.Label1->Caption(), "Sorted By YEAR ");
}

TEST_F(ViewerTest, NavigatorMovesThroughEveryRecord) {
  app::TForm1& f = Show();
  const SampleTable table = ReadSample();
  f.OxNavigator1->BtnClick(ui::NavigateBtn::nbLast);
  EXPECT_TRUE(f.OxDbf1.Eof());
  f.OxNavigator1->BtnClick(ui::NavigateBtn::nbFirst);
  std::vector<int> seen = {f.OxDbf1.GetRecNo()};
  for (std::size_t i = 0; i <= table.records.size() && !f.OxDbf1.Eof(); ++i) {
    f.OxNavigator1->BtnClick(ui::NavigateBtn::nbNext);
    if (!f.OxDbf1.Eof()) seen.push_back(f.OxDbf1.GetRecNo());
  }
  std::sort(seen.begin(), seen.end());
  EXPECT_EQ(seen.size(), table.records.size());  // deleted records are shown too
  EXPECT_TRUE(std::adjacent_find(seen.begin(), seen.end()) == seen.end());
}

TEST_F(ViewerTest, DeleteAndEditChangeNothingInTheReadOnlyFiles) {
  app::TForm1& f = Show();
  std::vector<std::string> files;  // table, memo and index, as named on disk
  for (const auto& entry : std::filesystem::directory_iterator(dir.Path())) {
    std::string ext = entry.path().extension().string();
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (ext == ".dbf" || ext == ".dbt" || ext == ".mdx") files.push_back(entry.path().string());
  }
  ASSERT_EQ(files.size(), 3u);
  std::vector<std::string> before;
  for (const std::string& name : files) before.push_back(ReadFileBytes(name));

  // Every way a user has to change a record, answering every question with
  // OK; what the dataset refuses reaches the application's handler.
  os::SetConfirmHook([](const std::string&) { return true; });
  std::vector<std::string> refused;
  GuiApp().OnException = [&](const std::exception& e) { refused.push_back(e.what()); };
  for (ui::NavigateBtn b : {ui::NavigateBtn::nbDelete, ui::NavigateBtn::nbEdit, ui::NavigateBtn::nbInsert,
                            ui::NavigateBtn::nbPost})
    f.OxNavigator1->Button(b)->click();
  f.OxGrid1->setFocus();
  QTest::keyClick(f.OxGrid1, Qt::Key_Delete, Qt::ControlModifier);
  QTest::keyClicks(f.OxGrid1, "XYZ");
  QTest::keyClick(f.OxGrid1, Qt::Key_Return);
  EXPECT_THROW(f.OxDbf1.Edit(), Exception);
  try {
    f.OxDbf1.Delete();  // refused or ignored: either leaves the file alone
  } catch (const Exception&) {
  }
  GuiApp().OnException = &ui::TApplication::ShowException;
  os::SetConfirmHook(nullptr);
  f.OxDbf1.Close();
  for (std::size_t i = 0; i < before.size(); ++i)
    EXPECT_EQ(ReadFileBytes(files[i]), before[i]) << files[i];
}

// PRead in a folder that lacks files: the open at the first activation fails
// with error 2 of the index engine and the program stops with status 2. A
// missing table is first created empty from the stored field list.
TEST_F(ViewerTest, MissingIndexStopsTheProgramWithErrorTwo) {
  struct Case {
    std::vector<const char*> removed;
    bool table_created;
  };
  const Case cases[] = {{{"movie_r.mdx"}, false}, {{"movie_r.mdx", "movie_r.dbf", "movie_r.DBT"}, true}};
  for (const Case& c : cases) {
    MakeSample(dir.Path());
    for (const char* name : c.removed) std::remove(dir.File(name).c_str());
    const ProcessResult r = RunProcess({BuildProgram("src/app/PRead"), "--screenshot", dir.File("shot.png")},
                                       {"QT_QPA_PLATFORM=offscreen", "ASAN_OPTIONS=detect_leaks=0"});
    EXPECT_EQ(r.exit_status, 2) << r.err;
    EXPECT_NE(r.err.find("Fehler Nr. 2 (Datei nicht gefunden)"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("movie_r"), std::string::npos) << r.err;
    if (c.table_created) {
      EXPECT_FALSE(ReadFileBytes(dir.File("movie_r.dbf")).empty());
    }
  }
}

// With the failures reported to a hook (so the failed open does not end
// the program), a button press afterwards reports 1103 and stops it.
TEST_F(ViewerTest, ButtonAfterAFailedOpenStopsWith1103) {
  std::remove(dir.File("movie_r.mdx").c_str());
  const ProcessResult r = RunProcess({BuildProgram("tests/app/open_failure_helper")},
                                     {"QT_QPA_PLATFORM=offscreen", "ASAN_OPTIONS=detect_leaks=0"});
  EXPECT_EQ(r.exit_status, ExitStatusFor(1103) & 0xFF) << r.out << r.err;
  EXPECT_NE(r.out.find("2|"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("open|no"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("1103|Datenbank ist nicht offen [OxDbf1.SetOrderToTag]"), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("still running"), std::string::npos) << r.out;
}

// PRead --screenshot with --order and --dump-state: a picture of the whole
// window with the red label, and the state text.
TEST_F(ViewerTest, ScreenshotOfAnOrderWithTheState) {
  const ProcessResult r =
      RunProcess({BuildProgram("src/app/PRead"), "--order", "YEAR", "--screenshot", dir.File("year.png"), "--dump-state"},
                 {"QT_QPA_PLATFORM=offscreen", "ASAN_OPTIONS=detect_leaks=0"});
  ASSERT_EQ(r.exit_status, 0) << r.err;
  EXPECT_EQ(r.out.rfind("Caption: File opened ReadOnly\nLabel: Sorted By YEAR \nRow: ", 0), 0u) << r.out;
  const QImage picture(QString::fromStdString(dir.File("year.png")));
  ASSERT_FALSE(picture.isNull());
  EXPECT_EQ(picture.size(), QSize(470, 335));
  int red = 0;  // the label's text, right-justified at 280..409, 118..131
  for (int x = 280; x < 409; ++x)
    for (int y = 118; y < 131; ++y) {
      const QColor c = picture.pixelColor(x, y);
      red += c.red() > 150 && c.green() < 80 && c.blue() < 80;
    }
  EXPECT_GT(red, 20);
}

}  // namespace
}  // namespace orvex::test
