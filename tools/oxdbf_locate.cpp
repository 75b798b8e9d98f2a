// oxdbf locate FILE FIELD VALUE [--nocase] [--exact] [--contained] [--all]
//              [--hide-deleted]
//
// Searches the table in natural order with Locate (the Peek cache on) and
// prints the number of the record found, one per line; --all follows with
// Continue to the end of the file. Nothing found prints nothing (exit status
// 1, as grep). FIELD may list several fields separated by ";" with as many values in
// VALUE, also separated by ";": the first field with a match decides.
//
// VALUE is text; it is converted by the field's type as Locate does (numbers
// for N and F, T/F for L). For D fields it is a date text in the form of the
// current date type, or YYYYMMDD. With --exact the value must have the
// field's full width (padding blanks included). --hide-deleted passes over
// deleted records.
//
// FIELD and VALUE are UTF-8; VALUE is searched for in the table's code page,
// and one with a character the table cannot hold is refused (error 220).
// --nocase folds letters by the library's Windows-1252 rules, which hold for
// code page 850 and 1252 tables; on tables in other code pages it takes
// ASCII values only, rather than give wrong matches.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "common/names.h"
#include "dates/date_text.h"
#include "engine/peek_cache.h"
#include "engine/record_io.h"
#include "engine/search.h"
#include "engine/work_area.h"
#include "oxdbf.h"
#include "platform/os/codepage.h"

namespace orvex::tool {
namespace {

std::vector<std::string> SplitAtSemicolons(const std::string& text) {
  std::vector<std::string> parts;
  for (std::size_t start = 0;;) {
    std::size_t semicolon = text.find(';', start);
    parts.push_back(text.substr(start, semicolon - start));
    if (semicolon == std::string::npos) return parts;
    start = semicolon + 1;
  }
}

// The value for one field: a D field given as YYYYMMDD becomes the date text
// of the current date type.
LocateValue ValueFor(const std::string& field, const std::string& value) {
  std::string name = TrimBoth(field);
  int n = FieldNo(name.substr(0, name.find(' ')));
  bool digits = value.size() == 8 && value.find_first_not_of("0123456789") == std::string::npos;
  if (n > 0 && FieldType(n) == 'D' && digits) return DateTextFromDText(value);
  return value;
}

// The UTF-8 value as the library's text for the open table; refused (error
// 220) when the table cannot hold it, or cannot fold it for --nocase.
std::string LibraryValue(const std::string& field, const std::string& utf8, bool no_case) {
  std::string text;
  const bool ascii = std::all_of(utf8.begin(), utf8.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  const char* refused = !Utf8ToLibraryText(utf8, &text)                 ? "Zeichen außerhalb der Codepage der Tabelle"
                        : no_case && !ascii && !LibraryCaseRulesFit() ? "NOCASE nur mit ASCII-Zeichen in dieser Codepage"
                                                                        : nullptr;
  if (refused != nullptr) {
    Fail(220, "Ungültiger Suchwert für Feld " + field + ": " + Shown(utf8) + " (" + refused + ") [oxdbf locate]");
  }
  return text;
}

int LocateCommand(const Invocation& call) {
  ExpectArguments(call, 3, 3);
  HideDeleted = call.HasFlag("--hide-deleted");
  OpenTable(call, call.args[0], true);
  PeekCacheLimit = 65520;
  std::vector<std::string> fields = SplitAtSemicolons(call.args[1]);
  std::vector<std::string> texts = SplitAtSemicolons(call.args[2]);
  if (fields.size() != texts.size()) {
    UsageError("one value for each field: " + call.args[1] + " / " + call.args[2]);
  }
  std::vector<LocateValue> values;
  std::string list;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    const std::string field = os::Utf8ToAnsi(fields[i]);
    values.push_back(ValueFor(field, LibraryValue(fields[i], texts[i], call.HasFlag("--nocase"))));
    list += (i > 0 ? ";" : "") + field + (call.HasFlag("--contained") ? " CONTAINED" : "");
  }
  bool found = Locate(list, values, call.HasFlag("--nocase"), call.HasFlag("--exact"));
  const int status = found ? 0 : 1;
  while (found) {
    std::printf("%d\n", RecNo());
    if (!call.HasFlag("--all")) break;
    found = Continue();
  }
  return status;
}

SubcommandRegistration locate{
    {"locate",
     "FILE FIELD VALUE [--nocase] [--exact] [--contained] [--all] [--hide-deleted]",
     {"--nocase", "--exact", "--contained", "--all", "--hide-deleted"},
     LocateCommand,
     "Searches FILE in natural order and prints the number of the first record\n"
     "whose FIELD matches VALUE (exit status 1 when none does).\n"
     "  --all            every matching record, one number per line\n"
     "  --nocase         ignore upper and lower case\n"
     "  --exact          the value must fill the field's whole width\n"
     "  --contained      the value may stand anywhere in the field\n"
     "  --hide-deleted   pass over deleted records\n"
     "FIELD may list fields separated by ';' with as many values in VALUE.\n"
     "Values: N/F numbers, L T or F, D YYYYMMDD or the national form; text is\n"
     "searched in the table's code page. --nocase with letters beyond ASCII works\n"
     "on code page 850 and 1252 tables.\n"
     "Example:\n  oxdbf locate films.dbf title Metro --all\n"}};

}  // namespace
}  // namespace orvex::tool
