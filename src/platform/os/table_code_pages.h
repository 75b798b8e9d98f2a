// The code page of a table's text, as its language-driver byte (header
// offset 29) names it, and the conversions between any code page the
// platform knows and UTF-8. The library's own text conversions (850 and
// Windows-1252, table-driven) are in codepage.h; these serve the edges
// where people read and type a table's text in its own code page: the
// command-line tool, the dataset and the GUI.
#pragma once

#include <string>
#include <string_view>

namespace orvex::os {

// The code page a language-driver byte stands for, as dBASE, FoxPro and the
// ESRI shapefile writers assign them; 0 when the byte names none.
int CodePageOfDriver(unsigned char driver);
// The byte that stands for a code page (its language-neutral one where
// there is one); 0 when none does.
unsigned char DriverOfCodePage(int code_page);
// True when text of the code page can be converted (850, 1252, or one the
// C library's iconv knows).
bool CodePageSupported(int code_page);

// True when each byte of the code page stands for one character (or none)
// wherever it is: not in code pages of characters of several bytes (932,
// 936, 949, 950) nor in those whose converters join a letter with the
// accent after it (1255, 1258).
bool EachByteStandsAlone(int code_page);

// Text of code page `code_page` as UTF-8. A byte that stands for no
// character becomes `replacement` and the answer is false; with a null
// `replacement` the conversion stops there (false, *utf8 unspecified).
bool CodePageTextToUtf8(int code_page, std::string_view text, std::string* utf8,
                        const char* replacement = "\xEF\xBF\xBD");
// UTF-8 as text of code page `code_page`. False when a character has no
// byte there or the text is not well-formed UTF-8: *refused (when given)
// then holds that character as written (*text unspecified).
bool Utf8ToCodePageText(int code_page, std::string_view utf8, std::string* text,
                        std::string* refused = nullptr);

}  // namespace orvex::os
