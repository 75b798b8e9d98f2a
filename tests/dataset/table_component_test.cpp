// The table component on real files: creating the main form's table, the
// production index handlings, read-only use, orders, index search and
// Locate, memo contents through BLOB streams, file name rules, warnings and
// the property interface.
#include <algorithm>
#include <thread>

#include "engine/record_io.h"
#include "index/index_search.h"
#include "platform/os/codepage.h"
#include "table_test_support.h"

namespace orvex::test {
namespace {

TEST_F(TableTest, MainFormTableIsCreatedAndItsIndexBuiltOnce) {
  const std::string path = MovieTable();
  EXPECT_TRUE(warnings.empty());
  EXPECT_TRUE(os::FileExists(Path("movie_r.dbt")));
  {
    auto table = Table(path);
    table->Open();
    EXPECT_EQ(builds, 1);
    EXPECT_EQ(progress_windows, 1);
    EXPECT_EQ(progress_steps, 4 * 100);
    EXPECT_EQ(IndexTagLines(Path("movie_r.mdx")),
              (std::vector<std::string>{"TITLE,F,F,LOWER(TITLE)", "", "YEAR,F,F,YEAR", "",
                                        "RUNTIME,F,F,RUNTIME", "", "STARS,F,F,LOWER(STARS)", ""}));
  }
  const std::string bytes = ReadFileBytes(Path("movie_r.mdx"));
  const long long time = FileTimeNs(Path("movie_r.mdx"));
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  auto table = Table(path);
  table->Open();
  EXPECT_EQ(builds, 1);
  EXPECT_TRUE(table->SetOrderToTag("year"));
  table->Close();
  EXPECT_EQ(ReadFileBytes(Path("movie_r.mdx")), bytes);
  EXPECT_EQ(FileTimeNs(Path("movie_r.mdx")), time);
}

TEST_F(TableTest, CreateIndexHandlings) {
  const std::string path = MovieTable();
  Table(path)->Open();  // builds the index
  ASSERT_EQ(builds, 1);
  std::vector<std::string> case_only = kMovieIndexList;
  case_only[0] = "title,F,F,lower(title)";
  std::vector<std::string> changed = kMovieIndexList;
  changed[2] = "YEAR,F,F,STR(YEAR)";
  struct Case {
    TCreateIndexType create;
    std::vector<std::string> list;
    int builds;
  };
  const Case cases[] = {
      {TCreateIndexType::ciNotFound, kMovieIndexList, 0},
      {TCreateIndexType::ciVerifyHeader, case_only, 0},
      {TCreateIndexType::ciVerifyHeader, changed, 1},
      {TCreateIndexType::ciVerifyHeader, changed, 0},
      {TCreateIndexType::ciAlways, kMovieIndexList, 1},
      {TCreateIndexType::ciNever, changed, 0},
  };
  for (const Case& c : cases) {
    builds = 0;
    auto table = Table(path, c.create, c.list);
    table->Open();
    EXPECT_EQ(builds, c.builds) << static_cast<int>(c.create);
    EXPECT_EQ(CurrentOrder(), 1);
  }
  EXPECT_EQ(IndexTagLines(Path("movie_r.mdx"))[2], "YEAR,F,F,YEAR");
}

TEST_F(TableTest, DamagedOrRefusedIndex) {
  const std::string path = MovieTable();
  Table(path)->Open();
  WriteFileBytes(Path("movie_r.mdx"), "short");
  builds = 0;
  Table(path)->Open();  // ciNotFound: error 222 means rebuild
  EXPECT_EQ(builds, 1);
  EXPECT_GT(ReadFileBytes(Path("movie_r.mdx")).size(), 2048u);

  // A refused build: no index, no error; the table says it has none.
  os::DeleteFile(Path("movie_r.mdx"));
  auto table = Table(path, TCreateIndexType::ciAlways);
  table->OnBeforeMakeIndex = [](const std::string&, bool& can_make) { can_make = false; };
  table->Open();
  EXPECT_FALSE(os::FileExists(Path("movie_r.mdx")));
  EXPECT_TRUE(table->IsSequenced());
  EXPECT_EQ(Column(*table, "title").size(), kMovies.size());
}

TEST_F(TableTest, HeaderFlagOpensIndexWhateverCreateIndexSays) {
  const std::string path = MovieTable();
  {
    // The table's header gets the flag when it is next written.
    auto table = Table(path);
    table->Open();
    table->Edit();
    table->FieldByName("color")->SetAsBoolean(true);
    table->Post();
  }
  ASSERT_EQ(ReadFileBytes(path)[28], 1);
  builds = 0;
  auto table = Table(path, TCreateIndexType::ciAlways, {});
  table->Open();
  EXPECT_EQ(builds, 0);
  EXPECT_EQ(CurrentOrder(), 1);
  table->Close();
  // ciNever with a missing index: the engine's error 2.
  os::DeleteFile(Path("movie_r.mdx"));
  EXPECT_THROW(Table(path, TCreateIndexType::ciNever)->Open(), EOrvexError);
  EXPECT_EQ(DbfErrorNo, 2);
  EXPECT_EQ(WorkAreas[1], nullptr);  // the table was not left open
}

TEST_F(TableTest, ReadOnlyExclusiveChangesNothing) {
  const std::string path = MovieTable();
  {
    auto table = Table(path);
    table->Open();
    table->First();
    table->Next();
    table->Delete();  // record 2 deleted
  }
  const std::string bytes = ReadFileBytes(path);
  auto table = Table(path);
  table->SetReadOnly(true);
  table->SetExclusive(true);
  table->Open();
  EXPECT_EQ(WorkAreas[static_cast<std::size_t>(table->WorkAreaNo())]->open_mode, 0);
  EXPECT_FALSE(table->CanModify());
  table->First();
  table->Next();
  ASSERT_TRUE(table->IsCurrentDeleted());
  table->SetCurrentDeleted(false);  // restore
  FieldAddress(1)[1] = 'Z';
  table->s_ReplaceWithLock();
  table->s_DeleteWithLock();
  EXPECT_THROW(table->Edit(), data::EDatabaseError);
  table->Close();
  EXPECT_EQ(ReadFileBytes(path), bytes);
  EXPECT_TRUE(warnings.empty());
}

TEST_F(TableTest, OrdersFindAndLocate) {
  auto table = Table(MovieTable());
  table->Open();
  ASSERT_TRUE(table->SetOrderToTag("year"));
  EXPECT_EQ(Column(*table, "year"),
            (std::vector<std::string>{"1927", "1942", "1958", "1975", "1979"}));
  ASSERT_TRUE(table->SetOrderToTag("title"));
  EXPECT_EQ(Column(*table, "title"),
            (std::vector<std::string>{"alien", "Casablanca", "jaws", "Metropolis", "Vertigo"}));
  EXPECT_FALSE(table->IsSequenced());

  struct Case {
    const char* key;
    bool exact;
    bool found;
    const char* title;  // shown afterwards
  };
  const Case cases[] = {{"cas", false, true, "Casablanca"},
                        {"cas", true, false, "Vertigo"},
                        {"metropolis", true, true, "Metropolis"},
                        {"zzz", false, false, "Vertigo"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.key);
    EXPECT_EQ(c.exact ? table->FindExact(c.key) : table->Find(c.key), c.found);
    EXPECT_EQ(table->FieldByName("title")->AsString(), c.title);
  }
  // The tag serves only a Locate on its own key: other fields are matched
  // record by record in the order, by their own values, not by the key.
  EXPECT_FALSE(table->Locate("stars", {std::string("jaws")}, 0));
  EXPECT_TRUE(table->Locate("runtime", {std::int64_t{117}}, 0));
  EXPECT_EQ(table->FieldByName("title")->AsString(), "alien");
  EXPECT_TRUE(table->Locate("title", {std::string("Ca")}, loPartialKey));
  EXPECT_EQ(table->FieldByName("year")->AsInteger(), 1942);
  ASSERT_TRUE(table->SetOrderToTag("year"));
  EXPECT_TRUE(table->Locate("year", {std::int64_t{1975}}, 0));
  EXPECT_EQ(table->FieldByName("title")->AsString(), "jaws");
  // In the order, not in the file: of the stars holding "er" jaws (1975)
  // comes first by year, alien in the file.
  EXPECT_TRUE(table->Locate("stars CONTAINED", {std::string("er")}, loPartialKey));
  EXPECT_EQ(table->FieldByName("title")->AsString(), "jaws");
  // Several fields: every one must match, in an order and without one.
  EXPECT_FALSE(table->Locate("title;year", {std::string("jaws"), std::int64_t{1979}}, 0));
  EXPECT_TRUE(table->Locate("title;year", {std::string("jaws"), std::int64_t{1975}}, 0));
  EXPECT_EQ(table->FieldByName("runtime")->AsInteger(), 124);
  ASSERT_TRUE(table->SetOrderToTag("title"));
  // Natural order: the sequential search on the named field.
  ASSERT_TRUE(table->SetOrderToTag(""));
  EXPECT_TRUE(table->IsSequenced());
  EXPECT_TRUE(table->Locate("title", {std::string("JAWS")}, loCaseInsensitive));
  EXPECT_EQ(table->s_RecNo(), 5);
  EXPECT_FALSE(table->Locate("title", {std::string("JAWS")}, 0));
  EXPECT_FALSE(table->Locate("title", {std::string("jaw")}, 0));
  EXPECT_TRUE(table->Locate("title", {std::string("jaw")}, loPartialKey));
  EXPECT_TRUE(table->Locate("year", {std::int64_t{1942}}, 0));
  EXPECT_EQ(table->FieldByName("title")->AsString(), "Casablanca");
  // Two fields: a record where only one of them matches is passed over.
  EXPECT_FALSE(table->Locate("title;year", {std::string("jaws"), std::int64_t{1979}}, 0));
  EXPECT_TRUE(table->Locate("stars CONTAINED", {std::string("er")}, loPartialKey));
  EXPECT_EQ(table->FieldByName("title")->AsString(), "alien");
  EXPECT_TRUE(
      table->Locate("stars CONTAINED;year", {std::string("er"), std::int64_t{1975}}, loPartialKey));
  EXPECT_EQ(table->FieldByName("title")->AsString(), "jaws");
  EXPECT_THROW(table->SetOrderToTag("nosuch"), EOrvexError);
  EXPECT_EQ(DbfErrorNo, 220);
}

// A grid's link over a table whose cursor moves while the controls are
// disabled: EnableControls brings the link's rows to where the table now
// stands.
TEST_F(TableTest, MovesWhileControlsAreDisabledReachTheLinksAfterwards) {
  auto table = Table(MovieTable());
  table->Open();  // the order of the first tag, LOWER(TITLE)
  data::TDataSource source;
  RowsLink link(3);
  link.SetDataSource(&source);
  source.SetDataSet(table.get());
  ASSERT_TRUE(table->SetOrderToTag(""));
  table->First();
  int changed = link.changed;
  table->DisableControls();
  EXPECT_TRUE(table->Locate("title", {std::string("Metropolis")}, 0));
  EXPECT_EQ(table->GetRecNo(), 4);
  table->EnableControls();
  EXPECT_GT(link.changed, changed);
  EXPECT_EQ(table->GetRecNo(), 4);
  EXPECT_EQ(table->FieldByName("title")->AsString(), "Metropolis");
  table->Next();
  EXPECT_EQ(table->FieldByName("title")->AsString(), "jaws");
  EXPECT_EQ(table->GetRecNo(), 5);
  // A new order: the same record, its new neighbours.
  table->Prior();
  changed = link.changed;
  table->DisableControls();
  ASSERT_TRUE(table->SetOrderToTag("year"));  // 1927 Metropolis comes first
  table->EnableControls();
  EXPECT_GT(link.changed, changed);
  EXPECT_EQ(table->GetRecNo(), 4);
  table->Next();
  EXPECT_EQ(table->FieldByName("title")->AsString(), "Casablanca");
  EXPECT_EQ(RowValues(link, "year"), (std::vector<int>{1927, 1942, 1958}));
}

// After each write the record and the table are free for another program
// at once: the dataset releases every lock it took.
TEST_F(TableTest, OtherProgramsLockRightAfterEachWrite) {
  const std::string path = MovieTable();
  auto table = Table(path, TCreateIndexType::ciNotFound, {});
  table->Open();
  ChildProcess other({BuildProgram("tests/engine/engine_helper")});
  other.WriteLine("use " + path);
  ASSERT_EQ(other.ReadLine(), "ok");
  auto other_locks = [&](const std::string& what, int record) {
    other.WriteLine("go " + std::to_string(record));
    other.ReadLine();
    other.WriteLine(what);
    const std::string answer = other.ReadLine();
    other.WriteLine("unlock");
    other.ReadLine();
    return answer;
  };
  table->SetRecNo(3);
  table->Edit();
  table->FieldByName("year")->SetAsInteger(1943);
  table->Post();
  EXPECT_EQ(other_locks("rlock", 3), "yes");
  table->Append();
  table->FieldByName("title")->SetAsString("Nosferatu");
  table->Post();
  EXPECT_EQ(other_locks("alock", 6), "yes");
  EXPECT_EQ(other_locks("rlock", 6), "yes");
  table->Delete();
  EXPECT_EQ(other_locks("rlock", 6), "yes");
}

// A BLOB write stream whose end the dataset refuses (a BeforeEdit that
// aborts) gives the memo file back: another program takes its lock.
TEST_F(TableTest, RefusedBlobWriteReleasesTheMemoFile) {
  auto table = Table(MovieTable(), TCreateIndexType::ciNotFound, {});
  table->Open();
  table->First();
  table->BeforeEdit = [](data::TDataSet&) { throw data::EAbort(); };
  {
    auto stream =
        table->CreateBlobStream(table->FieldByName("plot"), data::TBlobStreamMode::bmWrite);
    EXPECT_EQ(stream->Write("never kept", 10), 10);
  }
  EXPECT_EQ(table->State(), data::TDataSetState::dsBrowse);
  EXPECT_TRUE(table->FieldByName("plot")->IsNull());
  const ProcessResult lock =
      RunProcess({BuildProgram("tests/memo/memo_helper"), "lock", Path("movie_r.dbt")});
  EXPECT_EQ(lock.out, "locked\n") << lock.err;
  // The dataset goes on: a permitted write lands.
  table->BeforeEdit = nullptr;
  table->Edit();
  table->FieldByName("plot")->SetAsString("Kept");
  table->Post();
  EXPECT_EQ(table->FieldByName("plot")->AsString(), "Kept");
}

TEST_F(TableTest, MemoThroughBlobStreams) {
  auto table = Table(MovieTable());
  table->Open();
  const std::string plot = os::Utf8ToAnsi("A detective with a fear of heights. Café scène.");
  table->First();
  table->Edit();
  table->FieldByName("plot")->SetAsString(plot);
  table->Post();
  table->Next();
  table->Edit();
  table->FieldByName("plot")->SetAsString("Second plot");
  table->Post();
  EXPECT_EQ(table->FieldByName("plot")->AsString(), "Second plot");
  // An empty write stream clears the memo and leaves the record in edit.
  table->Edit();
  table->Post();
  {
    auto stream =
        table->CreateBlobStream(table->FieldByName("plot"), data::TBlobStreamMode::bmWrite);
  }
  EXPECT_EQ(table->State(), data::TDataSetState::dsEdit);
  EXPECT_TRUE(table->FieldByName("plot")->IsNull());
  table->Post();
  // Reading from the middle.
  table->First();
  auto stream = table->CreateBlobStream(table->FieldByName("plot"), data::TBlobStreamMode::bmRead);
  EXPECT_EQ(stream->Seek(0, data::kFromEnd), static_cast<std::int64_t>(plot.size()));
  EXPECT_EQ(stream->Seek(2, data::kFromBeginning), 2);
  char part[9] = {};
  EXPECT_EQ(stream->Read(part, 8), 8);
  EXPECT_EQ(std::string(part), plot.substr(2, 8));
  stream.reset();
  EXPECT_EQ(table->CreateBlobStream(table->FieldByName("title"), data::TBlobStreamMode::bmRead),
            nullptr);
  table->Close();

  // An independent reader sees the texts in the file's OEM characters.
  const ProcessResult read = RunProcess({"/usr/bin/python3", "-c",
                                         "import sys, dbfread\n"
                                         "for r in dbfread.DBF(sys.argv[1], encoding='cp850'):\n"
                                         "    v = r['PLOT']\n"
                                         // dbfread takes a dBASE IV memo's stored length (text + 8)
                                         // for the text's length and returns 8 bytes too many.
                                         "    print(None if v is None else repr(v[:-8]))\n",
                                         Path("movie_r.dbf")});
  ASSERT_EQ(read.exit_status, 0) << read.err;
  EXPECT_EQ(read.out, "None\n'" + os::AnsiToUtf8(plot) + "'\nNone\nNone\nNone\n");
}

TEST_F(TableTest, FileNameRules) {
  struct Case {
    const char* given;
    const char* stored;
  };
  const Case cases[] = {
      {"  movie  ", "movie.DBF"}, {"movie.", "movie."}, {"d/t.dbf", "d/t.dbf"}, {"  ", ""}};
  TestTable table("OxDbf1");
  for (const Case& c : cases) {
    table.SetDbfFileName(c.given);
    EXPECT_EQ(table.DbfFileName(), c.stored);
  }
  // An active table reopens under its new name (created when missing).
  auto movies = Table(MovieTable());
  movies->Open();
  movies->SetDbfFileName(Path("other.dbf"));
  EXPECT_TRUE(movies->Active());
  EXPECT_TRUE(movies->IsEmpty());
  EXPECT_TRUE(os::FileExists(Path("other.dbf")));
}

TEST_F(TableTest, CreationWarnings) {
  TestTable table("OxDbf1");
  table.SetCreateIndex(TCreateIndexType::ciNever);
  table.SetDbfFileName(Path("none.dbf"));
  EXPECT_THROW(table.Open(), EOrvexError);
  EXPECT_EQ(DbfErrorNo, 2);
  EXPECT_EQ(warnings, (std::vector<std::string>{
                          "FieldList.Count ist <= 0 beim Versuch, eine Datenbank zu erzeugen",
                          "Konnte '" + Path("none.dbf") + "' nicht erzeugen"}));
  // A line without exactly three commas: nothing is created.
  warnings.clear();
  table.DbfFields() = {"name, C, 10, 0", "price, N, 12"};
  EXPECT_THROW(table.Open(), EOrvexError);
  EXPECT_FALSE(os::FileExists(Path("none.dbf")));
  EXPECT_EQ(warnings.size(), 1u);
  // Corrected definitions are used with a warning; type X is skipped.
  warnings.clear();
  table.DbfFields() = {"name, C, 255, 0", "skip, X, 1, 0", "price, N, 25, 24"};
  table.Open();
  EXPECT_EQ(warnings, (std::vector<std::string>{
                          "Invalid field definition for OxDbf1: name,C,255,0. Will use "
                          "corrected definition: name,C,254,0",
                          "Invalid field definition for OxDbf1: price,N,25,24. Will use "
                          "corrected definition: price,N,20,18"}));
  EXPECT_EQ(FieldCount(), 2);
  EXPECT_EQ(FieldLen(1), 254);
  EXPECT_EQ(FieldLen(2), 20);
  EXPECT_EQ(FieldDec(2), 18);
}

TEST_F(TableTest, PropertiesAsAStoredFormSetsThem) {
  const std::string path = MovieTable();
  Table(path)->Open();  // the index
  auto join = [](const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\r\n";
    return text;
  };
  TestTable table;
  table.BeginLoading();
  const std::pair<const char*, std::string> stored[] = {{"Name", "OxDbf1"},
                                                        {"Active", "True"},
                                                        {"DbfFileName", path},
                                                        {"ReadOnly", "True"},
                                                        {"Exclusive", "True"},
                                                        {"CreateIndex", "ciNever"},
                                                        {"HideDeletedRecs", "False"},
                                                        {"TableLanguage", "tlOem"},
                                                        {"DbfFields", join(kMovieFields)},
                                                        {"IndexList", join(kMovieIndexList)}};
  for (const auto& [name, value] : stored) EXPECT_TRUE(table.SetProperty(name, value)) << name;
  EXPECT_FALSE(table.Active());
  table.EndLoading();
  ASSERT_TRUE(table.Active());
  EXPECT_EQ(table.Name(), "OxDbf1");
  EXPECT_EQ(table.IndexList(), kMovieIndexList);
  EXPECT_EQ(table.DbfFields(), kMovieFields);
  EXPECT_EQ(table.CreateIndex(), TCreateIndexType::ciNever);
  EXPECT_TRUE(table.ReadOnly() && table.Exclusive() && table.CreateIfNotFound() &&
              table.ShowProgress() && !table.AutoFixRecCount());
  EXPECT_EQ(WorkAreas[static_cast<std::size_t>(table.WorkAreaNo())]->open_mode, 0);
  EXPECT_EQ(WorkAreas[static_cast<std::size_t>(table.WorkAreaNo())]->alias, "OXDBF1");
  EXPECT_EQ(CurrentOrder(), 1);
  for (const auto& [name, value] : {std::pair<const char*, const char*>{"Nonsense", "1"},
                                    {"CreateIndex", "ciSometimes"},
                                    {"ReadOnly", "yes"},
                                    {"TableLanguage", "tlUtf8"}})
    EXPECT_FALSE(table.SetProperty(name, value)) << name;
}

TEST_F(TableTest, OpenModesAndRecordCountFromFileSize) {
  const std::string path = MovieTable();
  struct Case {
    bool read_only, exclusive;
    int mode;
  };
  const Case cases[] = {
      {true, true, 0}, {true, false, 64}, {false, true, 0x12}, {false, false, 0x42}};
  for (const Case& c : cases) {
    auto table = Table(path);
    table->SetReadOnly(c.read_only);
    table->SetExclusive(c.exclusive);
    table->Open();
    EXPECT_EQ(WorkAreas[static_cast<std::size_t>(table->WorkAreaNo())]->open_mode, c.mode);
    EXPECT_EQ(OpenModeOverride, 0xFFFF);
    // Exclusive changes reopen the table in the other mode.
    table->SetExclusive(!c.exclusive);
    EXPECT_TRUE(table->Active());
    EXPECT_NE(WorkAreas[static_cast<std::size_t>(table->WorkAreaNo())]->open_mode, c.mode);
  }
  // A header that counts one record too few: read as it stands, or counted
  // from the file's size with AutoFixRecCount.
  std::string bytes = ReadFileBytes(path);
  bytes[4] = static_cast<char>(kMovies.size() - 1);
  WriteFileBytes(path, bytes);
  for (bool fix : {false, true}) {
    auto table = Table(path, TCreateIndexType::ciNotFound, {});
    table->SetReadOnly(true);
    table->SetExclusive(true);  // a shared table is always counted from its size
    table->SetAutoFixRecCount(fix);
    table->Open();
    EXPECT_EQ(table->s_RecCount(), static_cast<int>(kMovies.size()) - (fix ? 0 : 1));
    EXPECT_FALSE(CountFromFileSize);
  }
}

TEST_F(TableTest, DesignModeReadsFieldsAndOpensTheTableOnlyForStreams) {
  const std::string path = MovieTable();
  TestTable table("OxDbf1", true);
  table.SetExclusive(true);
  table.IndexList() = kMovieIndexList;
  table.DbfFields() = {"old, C, 1, 0"};
  table.SetDbfFileName(path);
  table.Open();
  EXPECT_EQ(table.DbfFields(), kMovieFields);
  EXPECT_FALSE(os::FileExists(Path("movie_r.mdx")));  // nothing built
  const int area = table.WorkAreaNo();
  EXPECT_EQ(WorkAreas[static_cast<std::size_t>(area)], nullptr);
  {
    auto stream = table.CreateBlobStream(table.FieldByName("plot"), data::TBlobStreamMode::bmRead);
    EXPECT_NE(WorkAreas[static_cast<std::size_t>(area)], nullptr);
    char byte = 0;
    EXPECT_EQ(stream->Read(&byte, 1), 0);
  }
  EXPECT_EQ(WorkAreas[static_cast<std::size_t>(area)], nullptr);
}

}  // namespace
}  // namespace orvex::test
