// The oxdbf command-line tool: a registry of subcommands and the helpers they
// share. Each group of subcommands lives in its own oxdbf_<group>.cpp and
// registers itself with a static SubcommandRegistration, so adding one needs
// no change here.
//
// Text at the tool's boundary (arguments, output) is UTF-8; inside it is the
// library's Windows-1252, and table text is converted between the table's
// code page and UTF-8 by the tool itself.
//
// Exit status: 0 success; 1 nothing found (locate) or a warning that left
// the work done but incomplete (dump); 2 a usage error (unknown command or
// option, missing or malformed argument); otherwise a library failure, which
// goes through the library's reporting path (SetError): the message on
// stderr, the error number as exit status. Data goes to stdout, messages to
// stderr; a failed write to stdout is an error (101).
//
// Options may stand anywhere after the program name, written "--opt=value"
// or "--opt value"; "--" ends the options.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace orvex {
struct WorkArea;
}

namespace orvex::tool {

// The program (oxdbf_main.cpp calls it): takes argv as the command line, runs
// the command and answers its exit status. Usage errors end the process with
// status 2; library failures end it too, unless the library raises its
// errors (SetRaiseOnError), when they arrive as EOrvexError instead.
int Run(int argc, char** argv);

// One call of the tool after the common options were taken out.
struct Invocation {
  std::vector<std::string> args;   // positional arguments after the subcommand
  // The subcommand's own --flags; one that takes a value is stored as
  // "--name=value" whichever way it was written.
  std::vector<std::string> flags;
  bool exclusive = false;          // --exclusive
  int codepage = 0;                // --codepage N, --oem (850), --ansi (1252); 0 = the table's own
  bool HasFlag(const std::string& flag) const;
  // The value of "--name=value" (flag given as "--name"), or "" when absent.
  std::string FlagValue(const std::string& flag) const;
};

struct Subcommand {
  const char* name;
  const char* usage;                       // argument synopsis for the help text
  // The --flags it accepts; one declared with a trailing '=' ("--table=")
  // takes a value written "--table=FILE" or "--table FILE".
  std::vector<std::string> flags;
  int (*run)(const Invocation& call);      // exit status (0 = success)
  // What `oxdbf NAME --help` prints after the usage line: every option, the
  // value forms, examples. "" prints the usage line alone.
  const char* help = "";
};

// Adds a subcommand to the registry (from a static object of a group file).
struct SubcommandRegistration {
  explicit SubcommandRegistration(Subcommand command);
};

// A usage error: "oxdbf: <text>" and a hint at --help on stderr, exit
// status 2. `text` is UTF-8.
[[noreturn]] void UsageError(const std::string& text);

// Ends the program as a usage error unless the call has between `least` and
// `most` positional arguments.
void ExpectArguments(const Invocation& call, std::size_t least, std::size_t most);

// Reports a failure through the library (message on stderr, exit status =
// number); `detail` is UTF-8.
[[noreturn]] void Fail(int number, const std::string& detail);

// Reports the library's last error (DbfErrorNo and ErrorDetail) as it
// stands and ends the program, as Fail does.
[[noreturn]] void FailAsReported();

// Opens `file` (UTF-8) in the current work area, exclusively when the call
// says so; `read_only` opens it without write access (commands that only
// look). Every command opens a table this one way, so that whatever it
// hands to the library (keys, FOR conditions, search texts, expressions)
// is the same text for all of them and for the programs of the library: a
// table whose code page is 850 (named by its language-driver byte, or by
// --oem / --codepage 850) goes through the library's conversion to its
// Windows-1252 text; any other table (one in another code page, or one that
// names none) is handed to the library as stored. Failures end the program
// through the library's path.
void OpenTable(const Invocation& call, const std::string& file, bool read_only);
// The current record as the file holds it (deletion flag first): the record
// buffer, or for a table the library converts, the record read once more
// as stored. Valid until the next call.
const char* StoredRecord();
// Puts the C value `stored` (in the table's code page, at most the field's
// length) into field n of the unpacked buffer: for a table the library
// converts, as the library's text of those bytes, the bytes themselves
// remembered so that the record's writes put them into the file as given
// (the library's own conversion would turn the code page 850 characters
// that Windows-1252 lacks into look-alikes).
void PutGivenText(int n, const std::string& stored);
// After a write of the current record: where the file does not hold the C
// values given as given (a replace keeps the stored bytes of a field whose
// library text did not change), writes the record once more with them. Its
// keys do not change: they come from the library's text, the same for both.
void KeepGivenText();
// True when the library's case rules (those of Windows-1252) hold for the
// text of the table opened last: code page 850 and 1252 tables.
bool LibraryCaseRulesFit();
// Text between UTF-8 and what the library sees of the table opened last
// (Windows-1252 before any). The way in is false when a character has no
// place in the table's code page (for a code page 850 table: in 850 and in
// Windows-1252, the library's text).
bool Utf8ToLibraryText(const std::string& utf8, std::string* text);
std::string LibraryTextToUtf8(std::string_view text);
// A UTF-8 value for a message, which is Windows-1252 text: characters beyond
// it are written as U+XXXX so that the message still names them.
std::string Shown(const std::string& utf8);

// "dBASE II", "dBASE III/IV" or "dBASE level 7": the header dialect of an
// open table, as `info` names it.
const char* DialectName(const WorkArea& area);

// The code page of the open table's text (oxdbf_codepage.cpp): the one the
// call names, else the one its language-driver byte (header offset 29)
// stands for, else 850.
int TableCodePage();
// Stored table text (or memo text) as UTF-8, and back; the way back is false
// when a character has no place in the table's code page.
std::string StoredToUtf8(std::string_view stored);
// The same, appended to `out` (whose storage a caller can reuse).
void AppendStoredAsUtf8(std::string_view stored, std::string* out);
bool Utf8ToStored(const std::string& utf8, std::string* stored);

// The value of field n of the current record in UTF-8, exactly as the file
// holds it: C without trailing blanks and NUL bytes,
// N/F the stored digits, L as T, F or "" (blank or unknown), D the stored
// YYYYMMDD or "" when blank or zero, M the whole memo text (line ends as "\n").
std::string FieldText(int n);
// The same for field n of `record`, a record of the current table as the
// file holds it (deletion flag first), put into `text` (its storage reused,
// so that a loop over many records allocates nothing). M fields read the
// memo of the current record. FoxPro and level-7 types as field_values.h
// gives them. False when the field holds no value (null): the text is "".
bool FieldTextIn(int n, const char* record, std::string* text);

// Puts a UTF-8 value given on the command line into field n of the unpacked
// buffer (a C value through PutGivenText). A value the field cannot hold exactly
// (not of its type, too long, too large, more decimals than the field,
// beyond what the unpacked form carries, characters outside the code page)
// is refused: the answer is the reason, and nothing changes. An M value is
// kept until StorePendingMemos. "" on success.
std::string SetFieldText(int n, const std::string& value);

// A decimal integer argument; a usage error otherwise.
long IntegerArgument(const std::string& text, const char* what);

// A record number argument for the table opened last: a decimal number
// from 1 to its record count; anything else (0, negative, beyond the count,
// too large for any count) is a usage error that names the valid range.
std::int32_t RecordArgument(const std::string& text, const char* what);

// A date argument in the forms `append` takes: YYYY-MM-DD, YYYYMMDD, or a
// date text of the current date type; "" is the blank date. The answer is
// the date text of the current date type ("" for the blank date), or false
// when `text` is no valid date.
bool DateArgument(const std::string& text, std::string* date_text);

// A stored date YYYYMMDD in `text` becomes YYYY-MM-DD in place, the one form
// every command shows dates in; other texts stay as they are.
void ShowIsoDate(std::string* text);

}  // namespace orvex::tool
