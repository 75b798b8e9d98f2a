// Shared set-up of the table component tests: the main form's field and
// index lists, a small movie table filled through the component, and
// capture of the warnings and of the index build's progress.
#pragma once

#include <sys/stat.h>

#include <memory>
#include <string>
#include <vector>

#include "dataset/dataset_settings.h"
#include "dataset/ox_file_data_set.h"
#include "dataset_test_support.h"
#include "index/index_open.h"

namespace orvex::test {

inline const std::vector<std::string> kMovieFields = {
    "title, C, 20, 0", "year, N, 4, 0",      "color, L, 1, 0", "runtime, N, 3, 0",
    "stars, C, 50, 0", "director, C, 20, 0", "plot, M, 10, 0", "premiere, D, 8, 0"};
inline const std::vector<std::string> kMovieIndexList = {
    "TITLE,F,F,LOWER(TITLE)", "", "YEAR,F,F,YEAR",          "",
    "RUNTIME,F,F,RUNTIME",    "", "STARS,F,F,LOWER(STARS)", ""};

struct Movie {
  const char* title;
  int year;
  int runtime;
  const char* stars;
};
inline const std::vector<Movie> kMovies = {{"Vertigo", 1958, 128, "James Stewart"},
                                           {"alien", 1979, 117, "Sigourney Weaver"},
                                           {"Casablanca", 1942, 102, "Humphrey Bogart"},
                                           {"Metropolis", 1927, 153, "Brigitte Helm"},
                                           {"jaws", 1975, 124, "Roy Scheider"}};

// A TOxDbf whose protected writes a test may call.
class TestTable : public TOxDbf {
 public:
  using TOxDbf::s_DeleteWithLock;
  using TOxDbf::s_ReplaceWithLock;
  using TOxDbf::s_RestoreWithLock;
  using TOxDbf::TOxDbf;
};

class TableTest : public DatasetTest {
 protected:
  void SetUp() override {
    DatasetTest::SetUp();
    os::SetWarningHook([this](const std::string& text) { warnings.push_back(text); });
    SetIndexProgressHook([this](const std::string&, const IndexProgressWork& work) {
      ++progress_windows;
      work([this] { ++progress_steps; });
    });
  }
  void TearDown() override {
    os::SetWarningHook(nullptr);
    SetIndexProgressHook(nullptr);
    DatasetWarningLevel = 2;
    DatasetTest::TearDown();
  }
  // The main form's component over `file` (not yet open).
  std::unique_ptr<TestTable> Table(const std::string& file,
                                   TCreateIndexType create = TCreateIndexType::ciNotFound,
                                   const std::vector<std::string>& index_list = kMovieIndexList) {
    auto table = std::make_unique<TestTable>("OxDbf1");
    table->DbfFields() = kMovieFields;
    table->IndexList() = index_list;
    table->SetCreateIndex(create);
    table->SetDbfFileName(file);
    table->OnBeforeMakeIndex = [this](const std::string&, bool&) { ++builds; };
    return table;
  }
  // Creates movie_r.dbf through the component (no index) with kMovies.
  std::string MovieTable() {
    const std::string path = Path("movie_r.dbf");
    auto table = Table(path, TCreateIndexType::ciNotFound, {});
    table->Open();
    for (const Movie& m : kMovies) {
      table->Append();
      table->FieldByName("title")->SetAsString(m.title);
      table->FieldByName("year")->SetAsInteger(m.year);
      table->FieldByName("runtime")->SetAsInteger(m.runtime);
      table->FieldByName("stars")->SetAsString(m.stars);
      table->Post();
    }
    table->Close();
    return path;
  }
  std::vector<std::string> Column(TOxDbf& table, const std::string& field) {
    std::vector<std::string> values;
    for (table.First(); !table.Eof(); table.Next())
      values.push_back(table.FieldByName(field)->AsString());
    return values;
  }

  std::vector<std::string> warnings;
  int progress_windows = 0;
  int progress_steps = 0;
  int builds = 0;
};

// Modification time of a file in nanoseconds.
inline long long FileTimeNs(const std::string& path) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) return -1;
  return static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
}

}  // namespace orvex::test
