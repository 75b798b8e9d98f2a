// oxdbf info, dump and create: looking at a table and making a new one.
#include <cstdio>
#include <string>

#include "common/errors.h"
#include "common/names.h"
#include "engine/dbf_file.h"
#include "engine/navigation.h"
#include "engine/record_io.h"
#include "engine/work_area.h"
#include "oxdbf.h"
#include "oxdbf_index.h"
#include "platform/os/codepage.h"
#include "platform/os/files.h"

namespace orvex::tool {
namespace {

const char* DialectName(const WorkArea& area) {
  switch (area.dialect) {
    case DbfDialect::kDbase2: return "dBASE II";
    case DbfDialect::kLevel7: return "dBASE level 7";
    default: return "dBASE III/IV";
  }
}

int Info(const Invocation& call) {
  if (call.args.size() != 1) Fail(220, "oxdbf info FILE [oxdbf]");
  OpenTable(call, call.args[0], true);
  const WorkArea& area = *CurrentWorkArea();
  // The engine keeps the name as the upper-cased command gave it; show the
  // file as it is named on disk.
  std::printf("File:          %s\n", os::AnsiToUtf8(os::ResolvePath(area.file_name)).c_str());
  std::printf("Dialect:       %s, version byte 0x%02X\n", DialectName(area), area.header[0]);
  std::printf("Last update:   %s\n", area.last_update.c_str());
  std::printf("Records:       %d\n", RecCount());
  std::printf("Header length: %d\n", area.header_length);
  std::printf("Record length: %d\n", area.record_length);
  std::printf("Memo:          %s\n", area.has_memo ? "yes" : "no");
  std::printf("Fields:        %d\n", area.field_count);
  for (const FieldDesc& f : area.fields) {
    std::printf("  %-10s %c %3d %2d\n", os::AnsiToUtf8(f.name).c_str(), f.type, f.length, f.decimals);
  }
  return 0;
}

// One CSV cell: quoted when it holds a comma, a quote or a line break.
std::string CsvCell(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

// Writes text whole (field values may hold NUL bytes).
void Write(const std::string& text) { std::fwrite(text.data(), 1, text.size(), stdout); }

int Dump(const Invocation& call) {
  // The tag of --order comes as "--order=TAG" or as "--order TAG".
  std::string order = call.FlagValue("--order");
  if (order.empty() && call.HasFlag("--order") && call.args.size() == 2) order = call.args[1];
  if (call.args.size() != (call.HasFlag("--order") ? 2u : 1u)) {
    Fail(220, "oxdbf dump FILE [--order TAG] [--hide-deleted] [--csv] [oxdbf]");
  }
  HideDeleted = call.HasFlag("--hide-deleted");
  bool csv = call.HasFlag("--csv");
  OpenTableAsStored(call, call.args[0], true);
  if (!order.empty()) UseOrder(order);
  int fields = FieldCount();
  if (csv) {
    for (int i = 1; i <= fields; ++i) Write((i > 1 ? "," : "") + CsvCell(StoredToUtf8(Field(i))));
    Write("\r\n");
  }
  int width = static_cast<int>(std::to_string(RecCount()).size());
  GoTop();
  while (!dEOF() && DbfErrorNo == 0) {
    if (csv) {
      if (!Deleted()) {
        for (int i = 1; i <= fields; ++i) Write((i > 1 ? "," : "") + CsvCell(FieldText(i)));
        Write("\r\n");
      }
    } else {
      std::printf("%*d %c", width, RecNo(), Deleted() ? '*' : ' ');
      for (int i = 1; i <= fields; ++i) Write((i > 1 ? " | " : " ") + FieldText(i));
      Write("\n");
    }
    SKIP(1);
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
  def.name = os::Utf8ToAnsi(parts[0]).substr(0, kMaxFieldNameLength);
  def.type = parts[1].empty() ? ' ' : parts[1][0];
  def.length = number(parts[2]);
  def.decimals = number(parts[3]);
  *skip = def.type == 'X' || def.type == 'x';
  return def;
}

int Create(const Invocation& call) {
  if (call.args.size() < 2) Fail(220, "oxdbf create FILE \"name, C, 20, 0\" ... [oxdbf]");
  std::vector<FieldDef> fields;
  for (std::size_t i = 1; i < call.args.size(); ++i) {
    bool skip = false;
    FieldDef def = ParseFieldLine(call.args[i], &skip);
    if (!skip) fields.push_back(def);
  }
  CreateDbf(os::Utf8ToAnsi(call.args[0]), fields);
  return 0;
}

SubcommandRegistration info{{"info", "FILE", {}, Info}};
SubcommandRegistration dump{
    {"dump", "FILE [--order TAG] [--hide-deleted] [--csv]", {"--order", "--order=", "--hide-deleted", "--csv"}, Dump}};
SubcommandRegistration create{{"create", "FILE \"name, type, length, decimals\" ...", {}, Create}};

}  // namespace
}  // namespace orvex::tool
