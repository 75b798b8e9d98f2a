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
// base name (at most 64 characters), extension with its dot (at most 64).
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
// The full path of the name.
std::string ExpandName(std::string_view file_name);

}  // namespace orvex
