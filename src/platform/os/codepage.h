// Code pages and character classes of the Windows ANSI world, table-driven.
//
// Inside the library text is Windows-1252 ("ANSI") bytes; tables hold code page
// 850 ("OEM") unless declared ANSI. The conversions are those of Windows
// (OemToCharBuffA / CharToOemBuffA for code page 850): characters present in
// both pages map to each other; the rest map to the closest look-alike, as
// Windows does. Code page 866 is used only for the Russian date names.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace orvex::os {

// OemToCharBuffA / CharToOemBuffA: convert `n` bytes in place.
void OemToCharBuff(char* text, std::size_t n);
void CharToOemBuff(char* text, std::size_t n);

// Single-byte conversions.
unsigned char OemToAnsiChar(unsigned char c);
unsigned char AnsiToOemChar(unsigned char c);

// CharUpperA / CharLowerA / IsCharAlphaA with Windows-1252 rules (ß and ÿ have
// no single-byte upper case and stay as they are).
unsigned char CharUpper(unsigned char c);
unsigned char CharLower(unsigned char c);
bool IsCharAlpha(unsigned char c);
std::string CharUpperString(std::string_view text);
std::string CharLowerString(std::string_view text);

// UTF-8 at the boundaries of the library (command-line tools, the GUI, source
// literals). Characters that Windows-1252 lacks become '?'.
std::string Utf8ToAnsi(std::string_view utf8);
std::string AnsiToUtf8(std::string_view ansi);
std::string Cp866ToUtf8(std::string_view oem866);
std::string Utf8ToCp866(std::string_view utf8);
std::string Cp850ToUtf8(std::string_view oem850);
std::string Utf8ToCp850(std::string_view utf8);

// UTF-8 into code page 850 (`oem850`) or Windows-1252, in `out`; false
// when a character has no byte in that code page or the text is not
// well-formed UTF-8 (`out` then holds '?' in those places).
bool Utf8ToCodePage(std::string_view utf8, bool oem850, std::string* out);

// True when `text` is well-formed UTF-8 (ASCII included).
bool IsValidUtf8(std::string_view text);

}  // namespace orvex::os
