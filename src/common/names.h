// Small string and file-name helpers shared by the engine.
#pragma once

#include <string>
#include <string_view>

namespace orvex {

// Removes leading and trailing characters with codes below 33.
std::string TrimBoth(std::string_view s);
// Remove trailing / leading characters with codes up to 32.
std::string TrimRight(std::string_view s);
std::string TrimLeft(std::string_view s);

// Whole-string conversions between Windows-1252 and code page 850.
std::string AnsiToOem(std::string_view s);
std::string OemToAnsi(std::string_view s);

// The parts of a file name: directory with its trailing separator (or empty),
// base name, extension with its dot. Every byte of the name stays in one of
// them, so that names derived from the parts (memo, index and semaphore files
// beside a table) keep the table's name whatever its length or script.
struct NameParts {
  std::string dir;
  std::string name;
  std::string ext;
};
NameParts SplitName(std::string_view file_name);

// The name unchanged when it has an extension, else dir + base name
// (right-trimmed) + "." + ext.
std::string DefaultExt(std::string_view file_name, std::string_view ext);
// The name with its extension replaced by "." + ext.
std::string ForceExt(std::string_view file_name, std::string_view ext);
// `ext` for a file made beside `file_name`: in lower case when the
// extension of `file_name` is written in lower case ("t.dbf" gives "dbt"
// for "DBT"), else as given, so that such files match their table's name
// on a case-sensitive file system.
std::string ExtLike(std::string_view file_name, std::string_view ext);
// A file name as library text (Windows-1252), for what is derived from a
// name rather than used to reach the file: aliases, the name a memo file
// records, messages. A UTF-8 name is converted ('?' for characters that
// Windows-1252 lacks); other names are taken as library text already. The
// file itself is always reached under the name as given.
std::string NameAsText(std::string_view file_name);
// The full path of the name.
std::string ExpandName(std::string_view file_name);

}  // namespace orvex
