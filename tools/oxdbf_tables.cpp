// oxdbf info, dump and create: looking at a table and making a new one.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <string>

#include "common/errors.h"
#include "common/file_utils.h"
#include "common/names.h"
#include "engine/dbf_file.h"
#include "engine/navigation.h"
#include "engine/record_io.h"
#include "engine/work_area.h"
#include "index/index_open.h"
#include "memo/memo_file.h"
#include "memo/memo_format.h"
#include "oxdbf.h"
#include "oxdbf_index.h"
#include "platform/os/codepage.h"
#include "platform/os/files.h"
#include "platform/os/table_code_pages.h"

namespace orvex::tool {

const char* DialectName(const WorkArea& area) {
  switch (area.dialect) {
    case DbfDialect::kDbase2: return "dBASE II";
    case DbfDialect::kLevel7: return "dBASE level 7";
    default: return "dBASE III/IV";
  }
}

namespace {

int Info(const Invocation& call) {
  ExpectArguments(call, 1, 1);
  OpenTable(call, call.args[0], true);
  const WorkArea& area = *CurrentWorkArea();
  // The engine keeps the name as the upper-cased command gave it; show the
  // file as it is named on disk.
  std::printf("File:          %s\n", os::ResolvePath(area.file_name).c_str());
  std::printf("Dialect:       %s, version byte 0x%02X\n", DialectName(area), area.header[0]);
  std::printf("Last update:   %s\n", area.last_update.c_str());
  std::printf("Records:       %d\n", RecCount());
  std::printf("Header length: %d\n", area.header_length);
  std::printf("Record length: %d\n", area.record_length);
  std::printf("Memo:          %s\n", area.has_memo ? "yes" : "no");
  std::printf("Code page:     %d (language driver 0x%02X)\n", TableCodePage(),
              area.dialect == DbfDialect::kDbase2 ? 0 : area.header[29]);
  std::printf("Fields:        %d\n", area.field_count);
  for (const FieldDesc& f : area.fields) {
    std::printf("  %-10s %c %3d %2d\n", StoredToUtf8(f.name).c_str(), f.type, f.length, f.decimals);
  }
  return 0;
}

// One DbfFields line: "name, type, length, decimals".
FieldDef ParseFieldLine(const std::string& line, bool* skip) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (int i = 0; i < 3; ++i) {
    std::size_t comma = line.find(',', start);
    if (comma == std::string::npos) break;
    parts.push_back(line.substr(start, comma - start));
    start = comma + 1;
  }
  parts.push_back(line.substr(start));
  if (parts.size() != 4) Fail(211, "Felddefinition ungültig: \"" + line + "\" [oxdbf create]");
  for (std::string& p : parts) p = TrimBoth(p);
  auto number = [&](const std::string& text) {
    std::string digits = !text.empty() && text[0] == '+' ? text.substr(1) : text;
    if (digits.empty() || digits.size() > 3 || digits.find_first_not_of("0123456789") != std::string::npos ||
        std::stoi(digits) > 255) {
      Fail(211, "Felddefinition ungültig: \"" + line + "\" [oxdbf create]");
    }
    return static_cast<std::uint8_t>(std::stoi(digits));
  };
  FieldDef def;
  def.name = parts[0];  // checked by the caller
  def.type = parts[1].empty() ? ' ' : parts[1][0];
  def.length = number(parts[2]);
  def.decimals = number(parts[3]);
  *skip = def.type == 'X' || def.type == 'x';
  return def;
}

// A field name others can read back: a letter first, then letters, digits
// and '_', at most 10 characters. "" when it is one, else the reason.
std::string NameProblem(const std::string& name) {
  if (name.empty()) return "empty field name";
  if (name.size() > kMaxFieldNameLength) return "field name longer than 10 characters: " + name;
  auto letter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); };
  if (!letter(name[0])) return "field name must start with a letter: " + name;
  for (char c : name) {
    if (!letter(c) && !(c >= '0' && c <= '9') && c != '_') return "field name may hold only A-Z, 0-9 and _: " + name;
  }
  return "";
}

// The length rules of each field type, so that nothing is made that other
// programs refuse. "" when the definition is sound, else the reason.
std::string DefinitionProblem(const FieldDef& def) {
  const int length = def.length, decimals = def.decimals;
  switch (def.type) {
    case 'C':
      return length >= 1 && length <= 254 && decimals == 0 ? "" : "C fields are 1 to 254 long, without decimals";
    case 'N':
    case 'F':
      if (length < 1 || length > 20) return "N and F fields are 1 to 20 long";
      return decimals == 0 || (decimals <= 15 && decimals <= length - 2) ? ""
                                                                         : "decimals must leave room for the point";
    case 'L': return length == 1 && decimals == 0 ? "" : "L fields are 1 long";
    case 'D': return length == 8 && decimals == 0 ? "" : "D fields are 8 long";
    case 'M': return length == 10 && decimals == 0 ? "" : "M fields are 10 long";
    default: return std::string("unknown field type ") + def.type + " (C, N, F, L, D or M)";
  }
}

// Writes the language-driver byte of the table's code page into the new
// file, so that other readers know its text without being told.
void MarkCodePage(const std::string& file, unsigned char driver) {
  int error = 0;
  const os::Handle table = os::OpenFile(file, os::kOpenReadWriteExclusive, &error);
  if (table != os::kNoHandle) {
    error = os::WriteAt(table, 29, &driver, 1);
    const int close_error = os::CloseFile(table);
    if (error == 0) error = close_error;
  }
  if (error != 0) Fail(error, "Sprachtreiber-Byte nicht schreibbar: " + file + " [oxdbf create]");
}

// The memo kinds whose files may lie beside a table.
constexpr std::uint8_t kMemoKinds[] = {kMemoDbase4, kMemoFpt};

// The production index of the table `file` (its name with MDX).
std::string ProductionIndexOf(const std::string& file) {
  WorkArea table;
  table.file_name = file;
  return IndexFileName(table, "");
}

// Refuses, before anything is written, to replace a table, the memo file
// the new table would get, or a production index that would be left beside
// the new table, each looked up as every open looks (in any letter case).
void RefuseExisting(const std::string& table, bool has_memo, std::uint8_t kind) {
  std::vector<std::string> taken{table, ProductionIndexOf(table)};
  if (has_memo) taken.push_back(MemoFileName(table, kind));
  for (const std::string& name : taken) {
    if (os::FileExists(name)) {
      Fail(5, "Datei besteht schon: " + os::ResolvePath(name) +
                  " (--force ersetzt sie) [oxdbf create]");
    }
  }
}

// After a forced create: the old table's production index and memo files
// that the new table does not use would be taken for its own by the next
// open; they go.
void RemoveStaleFiles(const std::string& table, bool has_memo, std::uint8_t kind) {
  std::vector<std::string> stale{ProductionIndexOf(table)};
  for (std::uint8_t other : kMemoKinds) {
    if (!has_memo || MemoExtension(other) != MemoExtension(kind))
      stale.push_back(MemoFileName(table, other));
  }
  for (const std::string& name : stale) {
    if (!os::FileExists(name)) continue;
    DeleteFiles(name);
    if (DbfErrorNo != 0) std::exit(ExitStatusFor(DbfErrorNo));
  }
}

int Create(const Invocation& call) {
  if (call.args.size() < 2) UsageError("create needs a file and at least one field");
  const std::string memo = call.FlagValue("--memo");
  std::uint8_t kind = memo == "dbt3" ? kMemoDbase3 : memo == "fpt" ? kMemoFpt : kMemoDbase4;
  if (!memo.empty() && memo != "dbt3" && memo != "dbt4" && memo != "fpt") {
    UsageError("--memo takes dbt3, dbt4 or fpt: " + memo);
  }
  const int codepage = call.codepage != 0 ? call.codepage : 850;
  const unsigned char driver = os::DriverOfCodePage(codepage);
  if (driver == 0) UsageError("no language-driver byte names code page " + std::to_string(codepage));

  std::vector<FieldDef> fields;
  std::vector<std::string> seen;
  for (std::size_t i = 1; i < call.args.size(); ++i) {
    bool skip = false;
    FieldDef def = ParseFieldLine(call.args[i], &skip);
    if (skip) continue;
    const std::string name = def.name;
    std::string problem = NameProblem(name);
    def.type = static_cast<char>(std::toupper(static_cast<unsigned char>(def.type)));
    if (problem.empty()) problem = DefinitionProblem(def);
    const std::string upper = os::CharUpperString(name);
    if (problem.empty() && std::find(seen.begin(), seen.end(), upper) != seen.end()) {
      problem = "field name given twice: " + name;
    }
    if (!problem.empty()) Fail(211, "Felddefinition ungültig: \"" + call.args[i] + "\": " + problem + " [oxdbf create]");
    seen.push_back(upper);
    fields.push_back(def);
  }
  // Making a table replaces its file, memo file and index: only when asked to.
  const bool has_memo = std::any_of(fields.begin(), fields.end(), [](const FieldDef& f) { return f.type == 'M'; });
  const std::string& file = call.args[0];
  const std::string table = SplitName(file).ext.empty() ? file + ".dbf" : file;
  const bool force = call.HasFlag("--force");
  if (!force) RefuseExisting(table, has_memo, kind);
  MemoVersionByte = kind;
  if (!CreateDbf(table, fields)) return ExitStatusFor(DbfErrorNo);
  if (force) RemoveStaleFiles(table, has_memo, kind);
  MarkCodePage(table, driver);
  return 0;
}

SubcommandRegistration info{{"info", "FILE", {}, Info,
                             "Shows the header of FILE: dialect, record count, lengths, code page and\n"
                             "the fields (name, type, length, decimals).\n"
                             "Example:\n  oxdbf info films.dbf\n"}};
SubcommandRegistration create{
    {"create",
     "FILE \"name, type, length, decimals\" ... [--force] [--memo dbt3|dbt4|fpt]",
     {"--force", "--memo="},
     Create,
     "Makes a new, empty table FILE (.dbf added when it has no extension).\n"
     "Each field is one argument \"name, type, length, decimals\":\n"
     "  name      a letter, then letters, digits or _; at most 10; unique in any case\n"
     "  C 1-254 0   text       N 1-20 d   number (d decimals, room for the point)\n"
     "  F 1-20 d    number     L 1 0      logical\n"
     "  D 8 0       date       M 10 0     memo (text in the memo file)\n"
     "  a field of type X is left out (handy in scripts).\n"
     "  --force          replace an existing table, memo file and production index\n"
     "                   (refused otherwise, whatever the letter case on disk)\n"
     "  --memo KIND      memo file kind: dbt4 (dBASE IV, default), dbt3 (dBASE III),\n"
     "                   fpt (FoxPro)\n"
     "  --codepage N     the table's code page (default 850; --ansi: 1252); its\n"
     "                   language-driver byte is written into the header\n"
     "Example:\n"
     "  oxdbf create films.dbf \"title, C, 40, 0\" \"year, N, 4, 0\" \"plot, M, 10, 0\" --memo "
     "fpt\n"}};

}  // namespace
}  // namespace orvex::tool
