// Library text shown to a person, with file names as the user gave them.
//
// Messages are library text (Windows-1252) while a file name is the bytes
// the user gave (UTF-8 on this system). A message that holds a name holds
// either those bytes as they stand, which a plain conversion to UTF-8 turns
// into mojibake ("mÃ¼ller.dbf"), or the name's library text, which has '?'
// for the characters Windows-1252 lacks ("??.dbf" for "表格.dbf"). Every
// name that reaches the file system through ResolvePath is noted here, and
// DisplayText shows both forms of a noted name as given.
#pragma once

#include <string>
#include <string_view>

namespace orvex::os {

// Notes the components of a path (directories and file name) that hold
// bytes beyond ASCII. The last few dozen are kept; a message names one or
// two files, those of the operation that failed just now.
void NoteNameForDisplay(std::string_view path);

// Library text -> UTF-8 for a terminal or a message window, the noted
// names shown as given. A name's library text is replaced only where it
// stands as a whole path component (bounded by the start or end of the
// text, a blank, a quote, a slash, a colon or a bracket), so that a "?" of
// the message itself stays.
std::string DisplayText(std::string_view text);

// Forgets every noted name (for tests).
void ForgetNamesForDisplay();

}  // namespace orvex::os
