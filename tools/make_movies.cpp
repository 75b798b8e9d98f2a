// make_movies: writes the viewer's sample table through the library.
//
//   make_movies [FOLDER]      (default: the current folder)
//
// Writes FOLDER/movie_r.dbf (the fields of the viewer's stored DbfFields),
// its memo file movie_r.dbt with each film's plot, and the production index
// movie_r.MDX with the tags of the stored IndexList, built by the table
// component (TOxDbf) as the viewer's table would build it. Existing files of
// that name are replaced. Text is UTF-8 here and code page 850 in the table
// (the viewer's table language is tlOem). Every failure is reported through
// the library's path: message on stderr, the error number as exit status.
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "app/u_read_form.h"
#include "common/errors.h"
#include "common/names.h"
#include "dataset/ox_file_data_set.h"
#include "dataset/property_text.h"
#include "dataset/table_definitions.h"
#include "dates/date_settings.h"
#include "engine/dbf_file.h"
#include "engine/record_io.h"
#include "engine/tables.h"
#include "engine/work_area.h"
#include "memo/memo_ops.h"
#include "platform/os/codepage.h"
#include "tools/make_movies.h"

namespace orvex::tool {
namespace {

// The unpacked buffer's field parts (record_pack.h): C and D fields as a
// length byte and the characters, N without decimals and M as 32-bit
// integers, L as one byte.
void PutText(int field, const std::string& ansi) {
  const FieldDesc& f = CurrentWorkArea()->fields[static_cast<std::size_t>(field - 1)];
  const std::size_t length = std::min<std::size_t>(ansi.size(), f.type == 'D' ? 10 : f.length);
  std::uint8_t* p = FieldAddress(field);
  p[0] = static_cast<std::uint8_t>(length);
  std::memcpy(p + 1, ansi.data(), length);
}

void PutInt(int field, std::int32_t value) { std::memcpy(FieldAddress(field), &value, 4); }

// "YYYY-MM-DD" as the date text of date type 5 with four-digit years.
std::string DateText(const std::string& iso) {
  return iso.substr(8, 2) + "." + iso.substr(5, 2) + "." + iso.substr(0, 4);
}

void Check() {
  if (DbfErrorNo != 0) HandleError();
}

void WriteRecords(const std::string& table) {
  std::vector<FieldDef> fields;
  for (const std::string& line : SplitLines(app::StoredValue("OxDbf1", "DbfFields"))) {
    FieldDef def;
    if (!ParseFieldLine(line, def)) SetError(1103, "Feldliste: " + line + " [make_movies]");
    fields.push_back(CorrectFieldDef(def));
  }
  CreateDbf(table, fields);
  Check();
  USE(table + " EXCLUSIVE");
  Check();
  for (const Film& film : SampleFilms()) {
    ClearRecord();
    PutText(1, os::Utf8ToAnsi(film.title));
    PutInt(2, film.year);
    *FieldAddress(3) = film.color ? 1 : 0;
    PutInt(4, film.runtime);
    PutText(5, os::Utf8ToAnsi(film.stars));
    PutText(6, os::Utf8ToAnsi(film.director));
    // Memo text is stored as it stands: convert to the table's code page here.
    PutInt(7, StoreMemo(AnsiToOem(os::Utf8ToAnsi(film.plot))));
    Check();
    PutText(8, DateText(film.premiere));
    Append();
    Check();
    if (film.deleted) {
      DeleteRec();
      Check();
    }
  }
  USE("");
  Check();
}

// The production index, built by the table component from the stored
// IndexList.
void BuildIndex(const std::string& table) {
  TOxDbf dbf("OxDbf1");
  dbf.BeginLoading();
  for (const app::StoredProperty& p : app::Form1Properties())
    if (p.component == "OxDbf1") dbf.SetProperty(p.name, p.value);
  dbf.SetProperty("DbfFileName", table);
  dbf.SetProperty("ReadOnly", "False");
  dbf.SetProperty("CreateIndex", "ciAlways");
  dbf.SetShowProgress(false);
  dbf.EndLoading();
  dbf.Open();
  Check();
  dbf.Close();
}

}  // namespace
}  // namespace orvex::tool

int main(int argc, char** argv) {
  using namespace orvex;
  if (argc > 2) {
    std::fputs("usage: make_movies [FOLDER]\n", stderr);
    return 2;
  }
  const std::filesystem::path folder = argc == 2 ? argv[1] : ".";
  const std::string table = (folder / "movie_r.dbf").string();
  // The files of an earlier run, whatever the letter case of their names.
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
    std::string name = entry.path().filename().string();
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (name == "movie_r.dbf" || name == "movie_r.dbt" || name == "movie_r.mdx")
      std::filesystem::remove(entry.path(), error);
  }
  CenturyOn = true;
  SetDateType(5);
  tool::WriteRecords(table);
  tool::BuildIndex(table);
  std::printf("%s: %zu films\n", table.c_str(), tool::SampleFilms().size());
  return 0;
}
