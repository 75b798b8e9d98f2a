// oxdbf tags, find, index and reindex: the production index of a table (the
// MDX file beside it).
//
//   oxdbf tags FILE                      the tags with their definitions and key counts
//   oxdbf find FILE TAG VALUE [--exact] [--near]
//                                        the record whose key begins with VALUE
//                                        (--exact: is VALUE); exit status 1 when
//                                        nothing is found (--near: the next record)
//   oxdbf index FILE TAG EXPR [--for COND] [--descending] [--unique]
//                                        adds a tag, or replaces the tag of that name;
//                                        creates the MDX when the table has none
//   oxdbf reindex FILE                   rebuilds every tag
//
// `oxdbf dump FILE --order TAG` lists the records in a tag's order.
#include "oxdbf_index.h"

#include <cstdio>
#include <string>

#include "common/errors.h"
#include "dates/date_text.h"
#include "engine/dbf_file.h"
#include "engine/record_io.h"
#include "engine/work_area.h"
#include "index/index_build.h"
#include "index/index_file.h"
#include "index/index_open.h"
#include "index/index_search.h"
#include "index/tag_walk.h"
#include "oxdbf.h"
#include "platform/os/codepage.h"
#include "platform/os/files.h"

namespace orvex::tool {

void UseOrder(const std::string& tag) {
  SetIndexTo("");
  if (DbfErrorNo == 0) SetOrderToTag(os::Utf8ToAnsi(tag));
  if (DbfErrorNo != 0) FailAsReported();
}

void OpenProductionIndex() {
  WorkArea* table = WorkAreas[CurrentArea].get();
  if (table == nullptr || !os::FileExists(IndexFileName(*table, ""))) return;
  SetIndexTo("");
  if (DbfErrorNo != 0) FailAsReported();
}

namespace {

void OpenIndex() {
  SetIndexTo("");
  if (DbfErrorNo != 0) FailAsReported();
}

int Tags(const Invocation& call) {
  ExpectArguments(call, 1, 1);
  OpenTable(call, call.args[0], true);
  OpenIndex();
  IndexFile& index = *IndexOf(CurrentArea);
  std::printf("%-10s %-4s %3s %-6s %-4s %8s  %s\n", "Tag", "Type", "Len", "Unique", "Desc", "Keys",
              "Key expression [FOR condition]");
  for (auto& tag : index.tags) {
    std::int64_t keys = 0;
    if (!CountKeys(index, *tag, &keys)) FailAsReported();
    const TagLayout& t = tag->layout;
    std::string definition = t.key_expr + (t.has_for ? "  FOR " + t.for_expr : "");
    std::printf("%-10s %-4c %3d %-6s %-4s %8lld  %s\n", os::AnsiToUtf8(tag->name).c_str(),
                t.key_type, t.key_length, t.unique ? "yes" : "no", t.descending ? "yes" : "no",
                static_cast<long long>(keys), os::AnsiToUtf8(definition).c_str());
  }
  return 0;
}

int FindCommand(const Invocation& call) {
  ExpectArguments(call, 3, 3);
  // The search text becomes the library's text, as the keys were made from
  // it; the record is printed as the file holds it.
  OpenTable(call, call.args[0], true);
  UseOrder(call.args[1]);
  FindNear = call.HasFlag("--near");
  std::string value;
  const TagState* tag = IndexOf(CurrentArea)->Active();
  if (tag != nullptr && tag->layout.key_type == 'D') {
    // A date tag is searched with a date in the forms append takes.
    if (!DateArgument(call.args[2], &value)) {
      UsageError("not a date: " + call.args[2] + " (tag " + call.args[1] +
                 " holds dates: 2024-12-31, 20241231 or " +
                 os::AnsiToUtf8(DateTextFromDText("20241231")) + ")");
    }
  } else if (!Utf8ToLibraryText(call.args[2], &value)) {
    Fail(220, "Suchtext nicht im Zeichensatz der Tabelle: " + Shown(call.args[2]));
  }
  bool found = call.HasFlag("--exact") ? FindExact(value) : Find(value);
  if (DbfErrorNo != 0) FailAsReported();
  if (!found && (!FindNear || RecNo() > RecCount())) {
    std::fprintf(stderr, "Nicht gefunden: %s in %s (Tag %s)\n", call.args[2].c_str(),
                 call.args[0].c_str(), call.args[1].c_str());
    return 1;
  }
  std::printf("%d %c", RecNo(), Deleted() ? '*' : ' ');
  for (int i = 1; i <= FieldCount(); ++i) {
    std::string text = FieldText(i);
    if (FieldType(i) == 'D') ShowIsoDate(&text);
    text.insert(0, i > 1 ? " | " : " ");
    std::fwrite(text.data(), 1, text.size(), stdout);
  }
  std::printf("\n");
  return 0;
}

int IndexCommand(const Invocation& call) {
  ExpectArguments(call, 3, 3);
  TagDefinition def;
  def.name = os::Utf8ToAnsi(call.args[1]);
  def.key_expr = os::Utf8ToAnsi(call.args[2]);
  def.for_expr = os::Utf8ToAnsi(call.FlagValue("--for"));
  def.descending = call.HasFlag("--descending");
  def.unique = call.HasFlag("--unique");
  // Opened as stored, as append and replace open it: keys are made from the
  // bytes the table stores, as the records' later keys will be.
  OpenTable(call, call.args[0], false);
  bool ok = false;
  if (os::FileExists(IndexFileName(*CurrentWorkArea(), ""))) {
    OpenIndex();
    ok = AddIndexTag(def, true);
  } else {
    // The table's header says that it has a production index, so that
    // other programs open it too.
    ok = MakeIndex({def}, "") && MarkProductionIndex();
  }
  if (!ok) FailAsReported();
  return 0;
}

int ReindexCommand(const Invocation& call) {
  ExpectArguments(call, 1, 1);
  // Opened as stored (see IndexCommand): every key comes back as it was.
  OpenTable(call, call.args[0], false);
  OpenIndex();
  Reindex();
  if (DbfErrorNo != 0) FailAsReported();
  return 0;
}

SubcommandRegistration tags{
    {"tags",
     "FILE",
     {},
     Tags,
     "Lists the tags of the production index of FILE (the MDX file beside it):\n"
     "name, key type (C, N, D), key length, unique, descending, the number of\n"
     "keys, the key expression and the FOR condition. Reads only; the table is\n"
     "opened read-only.\n"
     "Example:\n  oxdbf tags films.dbf\n"}};
SubcommandRegistration find{
    {"find",
     "FILE TAG VALUE [--exact] [--near]",
     {"--exact", "--near"},
     FindCommand,
     "Searches tag TAG of the production index of FILE for VALUE and prints the\n"
     "record found in the form of dump (number, '*' when deleted, the fields;\n"
     "dates as YYYY-MM-DD). Exit status 1 when nothing is found.\n"
     "  --exact   the key must be VALUE, not only begin with it\n"
     "  --near    when nothing is found, print the record that would follow\n"
     "VALUE: for a character tag the start of the key (UTF-8); for a numeric\n"
     "tag a number; for a date tag a date: 2024-12-31, 20241231 or the\n"
     "national form (31.12.2024); anything else is refused.\n"
     "Examples:\n"
     "  oxdbf find films.dbf TITLE Metro\n"
     "  oxdbf find films.dbf PREMIERE 1927-01-10 --exact\n"}};
SubcommandRegistration index{
    {"index",
     "FILE TAG EXPR [--for COND] [--descending] [--unique]",
     {"--for=", "--descending", "--unique"},
     IndexCommand,
     "Adds tag TAG with key expression EXPR (a dBASE expression over the\n"
     "fields) to the production index of FILE, or rebuilds the tag of that\n"
     "name; creates the MDX file, and marks the table as indexed, when the\n"
     "table has none.\n"
     "  --for COND      only records for which COND (logical) is true get a key\n"
     "  --descending    the tag runs from the largest key to the smallest\n"
     "  --unique        only the first record of each key gets one\n"
     "Examples:\n"
     "  oxdbf index films.dbf TITLE \"UPPER(TITLE)\"\n"
     "  oxdbf index films.dbf RECENT YEAR --for \"YEAR > 1990\" --descending\n"}};
SubcommandRegistration reindex{
    {"reindex",
     "FILE",
     {},
     ReindexCommand,
     "Rebuilds every tag of the production index of FILE from the records,\n"
     "keeping each tag's definition (name, expression, FOR condition, order).\n"
     "Use it after another program changed the table without the index.\n"
     "Example:\n  oxdbf reindex films.dbf\n"}};

}  // namespace
}  // namespace orvex::tool
