// The oxdbf command-line tool: a registry of subcommands and the helpers they
// share. Each group of subcommands lives in its own oxdbf_<group>.cpp and
// registers itself with a static SubcommandRegistration, so adding one needs
// no change here.
//
// Text at the tool's boundary (arguments, output) is UTF-8; inside it is the
// library's Windows-1252. Every failure goes through the library's reporting
// path (SetError): the message on stderr, the error number as exit status.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace orvex::tool {

// One call of the tool after the common options were taken out.
struct Invocation {
  std::vector<std::string> args;   // positional arguments after the subcommand
  std::vector<std::string> flags;  // the subcommand's own --flags, as given
  bool exclusive = false;          // --exclusive
  bool HasFlag(const std::string& flag) const;
  // The value of "--name=value" (flag given as "--name"), or "" when absent.
  std::string FlagValue(const std::string& flag) const;
};

struct Subcommand {
  const char* name;
  const char* usage;                       // argument synopsis for the help text
  // The --flags it accepts; one declared with a trailing '=' ("--table=")
  // takes a value written "--table=FILE".
  std::vector<std::string> flags;
  int (*run)(const Invocation& call);      // exit status (0 = success)
};

// Adds a subcommand to the registry (from a static object of a group file).
struct SubcommandRegistration {
  explicit SubcommandRegistration(Subcommand command);
};

// Reports a failure through the library (message on stderr, exit status =
// number); `detail` is UTF-8.
[[noreturn]] void Fail(int number, const std::string& detail);

// Opens `file` (UTF-8) in the current work area, exclusively when the call
// says so; `read_only` opens it without write access (commands that only
// look). Failures end the program through the library's path.
void OpenTable(const Invocation& call, const std::string& file, bool read_only);
// The same, but the library leaves the table's text as stored (no code-page
// conversion): the tool converts between UTF-8 and the table's code page
// itself, so that no character changes on the way.
void OpenTableAsStored(const Invocation& call, const std::string& file, bool read_only);

// The table's text is code page 850 (unless --ansi: Windows-1252).
bool TextIsOem();
// Stored table text (or memo text) as UTF-8, and back; the way back is false
// when a character has no place in the table's code page.
std::string StoredToUtf8(std::string_view stored);
bool Utf8ToStored(const std::string& utf8, std::string* stored);

// The value of field n of the current record, opened as stored, in UTF-8,
// exactly as the file holds it: C without trailing blanks and NUL bytes,
// N/F the stored digits, L as T, F or "" (blank or unknown), D the stored
// YYYYMMDD or "" when blank or zero, M the whole memo text (line ends as "\n").
std::string FieldText(int n);

// Puts a UTF-8 value given on the command line into field n of the unpacked
// buffer of a table opened as stored. A value the field cannot hold exactly
// (not of its type, too long, too large, more decimals than the field,
// beyond what the unpacked form carries, characters outside the code page)
// is refused: the answer is the reason, and nothing changes. An M value is
// kept until StorePendingMemos. "" on success.
std::string SetFieldText(int n, const std::string& value);

// A decimal integer argument; ends the program with error 220 otherwise.
long IntegerArgument(const std::string& text, const char* what);

}  // namespace orvex::tool
