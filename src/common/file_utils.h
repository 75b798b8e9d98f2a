// File and text utilities used throughout the library. The file functions set
// DbfErrorNo and report failures through SetError; the text functions keep no
// state. Positions are 1-based. Text is Windows-1252.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace orvex {

// True when a directory search finds a file of that name.
bool FileExists(const std::string& file_name);

// Deletes one file, or every file matching a pattern with '*' or '?'.
// Failures: the system's number with "Fehler beim Löschen von <name>"; for a
// pattern, error 5 with "<count> Datei(en) mit Namen wie <pattern>".
void DeleteFiles(const std::string& name_or_pattern);

// A new, empty temporary file (prefix "OXP") in the system's temporary
// directory; "" after reporting the failure.
std::string UniqueFilename();

// Free space in kilobytes of the file system holding `path` ("" = current
// directory); 2147483647 when it cannot be queried.
std::int32_t DiskFree(const std::string& path);
// Free space of a drive number (0 = current, 1 = A:, ...). There are no drive
// letters here: every number names the root "<letter>:\" that the file layer
// cannot find, so only 0 (the current directory's file system) gives a figure.
std::int32_t DriveFree(int drive);

// Upper case under the Windows-1252 rules.
std::string UpperCase(std::string_view s);
// True when s is not empty and starts with a letter.
bool StartsWithLetter(std::string_view s);
char UpCaseChar(char c);
char LoCaseChar(char c);

// Occurrences of needle in text: 0 when either is empty; non-overlapping,
// counted from the left.
int CountOccurrences(std::string_view needle, std::string_view text);
// Position of the n-th occurrence (n < 0 counts from the right); 0 when
// there is none or n is 0.
int NthOccurrence(int n, std::string_view needle, std::string_view text);

std::string RepeatChar(char c, int n);

// Text to small integer: clamped to -32768..32767.
std::int16_t TextToSmallInt(std::string_view s);
// Fixed-point text of x in width with decimals, using the current decimal
// separator.
std::string NumberToText(double x, int width, int decimals);
std::string IntegerToText(long n, int width);
inline std::string Choose(bool flag, std::string a, std::string b) { return flag ? a : b; }
// Number text to integer: the whole part of a number written in the current
// decimal-separator convention.
long NumberTextToInteger(std::string_view s);
// Deletes every occurrence of word in text (both upper-cased) not followed by
// a digit, '\\', '_' or a letter; text is trimmed. True when something went.
bool RemoveWord(std::string_view word, std::string& text);

}  // namespace orvex
