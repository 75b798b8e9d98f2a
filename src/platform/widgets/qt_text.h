// The one place where the library's text meets Qt's. Inside the library text
// is Windows-1252 bytes; Qt holds UTF-16. Every widget that shows library text
// converts it here, so that no other file needs to know the code page.
#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace orvex::ui {

// Windows-1252 bytes to a Qt string.
QString FromAnsi(std::string_view ansi);

// A Qt string to Windows-1252 bytes; characters outside the code page become
// "?".
std::string ToAnsi(const QString& text);

}  // namespace orvex::ui
