// oxview's window on Qt's offscreen platform over the sample table (made by
// make_movies in a temporary folder): exports compared with what oxdbf
// writes for the same records, the index search and the sequential one,
// filters that are refused, tables that fail to open, and that nothing is
// written while editing is off.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFocusEvent>
#include <QPlainTextEdit>
#include <QStandardPaths>
#include <fstream>
#include <memory>
#include <regex>
#include <sstream>

#include "app/oxview/main_window.h"
#include "app/oxview/table_export.h"
#include "app/oxview/table_orders.h"
#include "app/oxview/table_search.h"
#include "app/oxview/table_tab.h"
#include "common/errors.h"
#include "engine/work_area.h"
#include "platform/data/field.h"
#include "platform/widgets/application.h"
#include "support/gui_test_support.h"
#include "support/test_support.h"

namespace orvex::test {
namespace {

class OxviewTest : public testing::Test {
 protected:
  void SetUp() override {
    QStandardPaths::setTestModeEnabled(true);  // settings stay out of the user's
    app_ = &GuiApp();
    saved_raise_ = SetRaiseOnError(true);
    app_->OnException = [this](const std::exception& error) {
      reported_ += std::string(error.what()) + "\n";
    };
    const ProcessResult made = RunProcess({BuildProgram("tools/make_movies"), dir.Path()},
                                          {"ASAN_OPTIONS=detect_leaks=0"});
    ASSERT_EQ(made.exit_status, 0) << made.err;
    window = std::make_unique<view::MainWindow>();
  }
  void TearDown() override {
    window.reset();
    app_->OnException = &ui::TApplication::ShowException;
    SetRaiseOnError(saved_raise_);
  }

  view::TableTab& OpenSample() {
    EXPECT_TRUE(window->OpenTable(QString::fromStdString(dir.File("movie_r.dbf")))) << reported_;
    return *window->CurrentTab();
  }

  // oxdbf's output for the arguments after the table.
  std::string Oxdbf(const std::vector<std::string>& args) {
    std::vector<std::string> argv = {BuildProgram("tools/oxdbf")};
    argv.insert(argv.end(), args.begin(), args.end());
    const ProcessResult r = RunProcess(argv, {"ASAN_OPTIONS=detect_leaks=0"});
    EXPECT_EQ(r.exit_status, 0) << r.err;
    return r.out;
  }

  static int YearOf(const std::string& json_line) {
    std::smatch match;
    return std::regex_search(json_line, match, std::regex("\"YEAR\":([0-9]+)"))
               ? std::stoi(match[1])
               : -1;
  }

  TempDir dir;
  std::unique_ptr<view::MainWindow> window;
  std::string reported_;

 private:
  ui::TApplication* app_ = nullptr;
  bool saved_raise_ = false;
};

TEST_F(OxviewTest, ExportIsTheToolsJsonOfTheShownRecordsInTheirOrder) {
  view::TableTab& tab = OpenSample();
  tab.SetOrder("YEAR");
  tab.SetHideDeleted(true);
  tab.SetFilter("YEAR > 1960");
  ASSERT_EQ(reported_, "");
  int damaged = -1;
  const long written =
      view::ExportTable(tab.Table(), view::ExportKind::kJson, dir.File("out.json"), &damaged);
  EXPECT_EQ(damaged, 0);
  // The export's own work area put the engine's options back: deleted
  // records stay hidden for the table on screen.
  EXPECT_TRUE(orvex::HideDeleted);

  // The tool's lines of the same order, deleted records left out, those of
  // 1960 and before taken out here.
  std::istringstream all(Oxdbf({"dump", dir.File("movie_r.dbf"), "--order", "YEAR", "--json"}));
  std::string expected;
  long kept = 0;
  for (std::string line; std::getline(all, line);) {
    if (YearOf(line) > 1960) {
      expected += line + "\n";
      ++kept;
    }
  }
  ASSERT_GT(kept, 0);
  EXPECT_EQ(written, kept);
  EXPECT_EQ(ReadFileBytes(dir.File("out.json")), expected);
}

TEST_F(OxviewTest, CsvExportWithDeletedShownIsTheToolsWithDeletedForm) {
  view::TableTab& tab = OpenSample();
  int damaged = -1;
  view::ExportTable(tab.Table(), view::ExportKind::kCsv, dir.File("out.csv"), &damaged);
  EXPECT_EQ(ReadFileBytes(dir.File("out.csv")),
            Oxdbf({"dump", dir.File("movie_r.dbf"), "--csv", "--with-deleted"}));
}

TEST_F(OxviewTest, ExportToAFolderThatIsMissingReportsAndWritesNothing) {
  view::TableTab& tab = OpenSample();
  int damaged = 0;
  EXPECT_THROW(
      view::ExportTable(tab.Table(), view::ExportKind::kCsv, dir.File("no/such/out.csv"), &damaged),
      EOrvexError);
  EXPECT_FALSE(std::ifstream(dir.File("no/such/out.csv")).good());
}

TEST_F(OxviewTest, SearchUsesTheIndexWhenTheTagIsTheFieldAndLocateOtherwise) {
  view::TableTab& tab = OpenSample();
  tab.SetOrder("YEAR");
  view::SearchRequest by_year{"YEAR", "1968", view::MatchMode::kWhole, false, false};
  view::SearchOutcome outcome = view::FindFirst(tab.Table(), by_year);
  EXPECT_EQ(outcome.way, view::SearchWay::kIndex);
  ASSERT_TRUE(outcome.found);
  EXPECT_EQ(tab.Table().FieldByName("YEAR")->AsInteger(), 1968);

  // A value no record has: the dataset stays where it stood.
  const int before = tab.Table().GetRecNo();
  view::SearchRequest missing{"YEAR", "1001", view::MatchMode::kWhole, false, false};
  EXPECT_FALSE(view::FindFirst(tab.Table(), missing).found);
  EXPECT_EQ(tab.Table().GetRecNo(), before);

  // Natural order, part of a title in any case: Locate, then F3 finds the
  // next title holding it, then none.
  tab.SetOrder("");
  view::SearchRequest part{"TITLE", "THE", view::MatchMode::kContains, true, false};
  outcome = view::FindFirst(tab.Table(), part);
  EXPECT_EQ(outcome.way, view::SearchWay::kLocate);
  ASSERT_TRUE(outcome.found);
  const int first = tab.Table().GetRecNo();
  std::string title = tab.Table().FieldByName("TITLE")->AsString();
  EXPECT_NE(QString::fromLatin1(title.c_str()).toUpper().indexOf("THE"), -1) << title;
  int found = 1;
  int last = first;
  while (view::FindNext(tab.Table(), part).found) {
    ASSERT_GT(tab.Table().GetRecNo(), last);
    last = tab.Table().GetRecNo();
    title = tab.Table().FieldByName("TITLE")->AsString();
    EXPECT_NE(QString::fromLatin1(title.c_str()).toUpper().indexOf("THE"), -1) << title;
    ++found;
  }
  EXPECT_GT(found, 1);
  EXPECT_EQ(tab.Table().GetRecNo(), last);  // the failed F3 stayed put

  // A whole value is the stored value with its padding blanks, for the first
  // search and for F3: two films share their stars, and F3 goes from one to
  // the other; "Woody Allen" (the start of the value) finds none.
  tab.Table().First();
  view::SearchRequest whole{"STARS", "Woody Allen, Diane Keaton", view::MatchMode::kWhole, false,
                            false};
  ASSERT_TRUE(view::FindFirst(tab.Table(), whole).found);
  const int one = tab.Table().GetRecNo();
  ASSERT_TRUE(view::FindNext(tab.Table(), whole).found);
  EXPECT_GT(tab.Table().GetRecNo(), one);
  EXPECT_EQ(tab.Table().FieldByName("STARS")->AsString(), "Woody Allen, Diane Keaton");
  tab.Table().First();
  view::SearchRequest start{"STARS", "Woody Allen", view::MatchMode::kWhole, false, false};
  EXPECT_FALSE(view::FindFirst(tab.Table(), start).found);
}

TEST_F(OxviewTest, AFilterThatIsNoConditionIsRefusedAndTheOldOneStays) {
  view::TableTab& tab = OpenSample();
  tab.SetFilter("YEAR > 1960");
  ASSERT_EQ(reported_, "");
  tab.SetFilter("YEAR + 1");
  EXPECT_NE(reported_.find("362"), std::string::npos) << reported_;
  reported_.clear();
  tab.SetFilter("YEAR >");
  EXPECT_NE(reported_, "");
  EXPECT_EQ(tab.Filter(), "YEAR > 1960");
  tab.Table().First();
  for (int i = 0; i < 5 && !tab.Table().Eof(); ++i, tab.Table().Next())
    EXPECT_GT(tab.Table().FieldByName("YEAR")->AsInteger(), 1960);
}

TEST_F(OxviewTest, ATableThatFailsToOpenIsReportedAndTheWindowGoesOn) {
  EXPECT_FALSE(window->OpenTable(QString::fromStdString(dir.File("missing.dbf"))));
  EXPECT_NE(reported_.find("Fehler Nr. 2 "), std::string::npos) << reported_;
  EXPECT_EQ(window->TabCount(), 0);
  WriteFileBytes(dir.File("broken.dbf"), "not a table at all");
  reported_.clear();
  EXPECT_FALSE(window->OpenTable(QString::fromStdString(dir.File("broken.dbf"))));
  EXPECT_NE(reported_, "");
  EXPECT_EQ(window->TabCount(), 0);
  reported_.clear();
  OpenSample();
  EXPECT_EQ(window->TabCount(), 1);
  // The same table once more, beside the first: a second tab of its own.
  OpenSample();
  EXPECT_EQ(window->TabCount(), 2);
  EXPECT_EQ(reported_, "");
}

TEST_F(OxviewTest, NothingIsWrittenWhileEditingIsOffAndEditingWritesTheRecord) {
  const std::string before = ReadFileBytes(dir.File("movie_r.dbf"));
  view::TableTab& tab = OpenSample();
  EXPECT_FALSE(tab.Table().CanModify());
  EXPECT_THROW(tab.Table().Edit(), std::exception);
  tab.ToggleDeleted();
  EXPECT_EQ(ReadFileBytes(dir.File("movie_r.dbf")), before);
  EXPECT_NE(tab.StatusText().indexOf("read-only, shared"), -1);

  ASSERT_TRUE(tab.SetEditing(true)) << reported_;
  EXPECT_NE(tab.StatusText().indexOf("editing, shared"), -1);
  tab.Table().Edit();
  tab.Table().FieldByName("TITLE")->SetAsString("Neu");
  tab.Table().Post();
  const ProcessResult r =
      RunProcess({"/usr/bin/python3", "-c",
                  "import sys\nfrom dbfread import DBF\nprint(next(iter(DBF(sys.argv[1], "
                  "encoding='cp850')))['TITLE'])",
                  dir.File("movie_r.dbf")});
  EXPECT_EQ(r.out, "Neu\n") << r.err;
}

// Rebuilding the index keeps every tag as it was defined, the order and the
// record, and leaves an index that oxdbf finds consistent.
TEST_F(OxviewTest, RebuildingTheIndexKeepsTagsOrderAndRecord) {
  const std::string tags = Oxdbf({"tags", dir.File("movie_r.dbf")});
  view::TableTab& tab = OpenSample();
  ASSERT_TRUE(tab.SetEditing(true)) << reported_;
  tab.SetOrder("YEAR");
  tab.Table().First();
  for (int i = 0; i < 5; ++i) tab.Table().Next();
  const std::int32_t record = tab.Table().GetRecNo();
  view::RebuildIndex(tab.Table());
  EXPECT_EQ(reported_, "");
  EXPECT_EQ(tab.Table().GetRecNo(), record);
  EXPECT_EQ(view::ActiveTag(tab.Table()), "YEAR");
  window.reset();
  EXPECT_EQ(Oxdbf({"tags", dir.File("movie_r.dbf")}), tags);
  // The movie table's text is code page 850, which its header does not name.
  EXPECT_NE(Oxdbf({"check", "--oem", dir.File("movie_r.dbf")}).find("konsistent"),
            std::string::npos);
}

// A tag added to a table without index makes its production index, and the
// table's header says so at once: oxview opens it again next time, and the
// edits made then keep it current.
TEST_F(OxviewTest, ATagAddedToATableWithoutIndexIsOpenedAndKeptByTheNextOpen) {
  const std::string table = dir.File("movie_r.dbf");
  std::remove(dir.File("movie_r.mdx").c_str());
  std::string bytes = ReadFileBytes(table);
  bytes[28] = 0;
  WriteFileBytes(table, bytes);
  {
    view::TableTab& tab = OpenSample();
    ASSERT_TRUE(tab.SetEditing(true)) << reported_;
    TagDefinition tag;
    tag.name = "BYYEAR";
    tag.key_expr = "YEAR";
    view::AddTag(tab.Table(), tag);
    EXPECT_EQ(reported_, "");
    EXPECT_EQ(view::ActiveTag(tab.Table()), "BYYEAR");
    EXPECT_EQ(ReadFileBytes(table)[28], 1);
  }
  window = std::make_unique<view::MainWindow>();
  view::TableTab& again = OpenSample();
  ASSERT_TRUE(again.SetEditing(true)) << reported_;
  again.SetOrder("BYYEAR");
  EXPECT_EQ(view::ActiveTag(again.Table()), "BYYEAR");
  again.Table().First();
  again.Table().Edit();
  again.Table().FieldByName("YEAR")->SetAsInteger(2099);
  again.Table().Post();
  EXPECT_EQ(reported_, "");
  window.reset();
  EXPECT_NE(Oxdbf({"check", "--oem", table}).find("konsistent"), std::string::npos);
}

TEST_F(OxviewTest, TheMemoPaneWritesTheMemoOnlyWhileEditing) {
  view::TableTab& tab = OpenSample();
  auto* box = tab.findChild<QPlainTextEdit*>();
  ASSERT_NE(box, nullptr);
  EXPECT_TRUE(box->isReadOnly());
  const std::string before = ReadFileBytes(dir.File("movie_r.dbt"));

  ASSERT_TRUE(tab.SetEditing(true)) << reported_;
  box = tab.findChild<QPlainTextEdit*>();
  ASSERT_NE(box, nullptr);
  EXPECT_FALSE(box->isReadOnly());
  box->setPlainText("Zwei Zeilen\nmit Umlaut \u00e4");
  QFocusEvent focus_out(QEvent::FocusOut);
  QApplication::sendEvent(box, &focus_out);
  tab.Table().Post();
  EXPECT_EQ(reported_, "");
  const ProcessResult r = RunProcess(
      {"/usr/bin/python3", "-c",
       "import sys\nfrom dbfread import DBF\n"
       "print(repr(next(iter(DBF(sys.argv[1], encoding='cp850')))['PLOT'].rstrip('\\x00')))",
       dir.File("movie_r.dbf")});
  EXPECT_EQ(r.out, "'Zwei Zeilen\\r\\nmit Umlaut \u00e4'\n") << r.err;
  EXPECT_NE(ReadFileBytes(dir.File("movie_r.dbt")), before);
}

}  // namespace
}  // namespace orvex::test
