// oxdbf and memo fields: the text of a memo field for dump, storing a text as
// a new memo for append and replace, and the pack-memo subcommand
// (oxdbf_memo.cpp).
#pragma once

#include <string>

namespace orvex::tool {

// The whole memo of M field n of the current record as UTF-8: the stored
// text (in the table's code page) with each line end (CR LF, a
// soft return 0x8D LF, a lone CR) given as "\n"; "" for a record without
// memo. Visual FoxPro's G, P and W memos: their bytes as hex digits. A memo that cannot be read ends the program through the library's
// reporting path.
std::string MemoFieldText(int n);
// The same, but a memo that cannot be read gives false with the library's
// error number and detail in DbfErrorNo and ErrorDetail (nothing reported).
bool TryMemoFieldText(int n, std::string* text);

// Takes a UTF-8 text for M field n of the current table: a lone "\n" becomes
// CR LF (CR LF and CR stay as they are), the text goes over to the table's
// code page, trailing blanks are kept. Nothing is written yet: the text
// waits for StorePendingMemos. The reason when the text is refused (a
// character outside the code page), else "".
std::string SetMemoFieldText(int n, const std::string& value);

// Writes the waiting texts as new memos and puts their block numbers into
// their M fields of the unpacked buffer (an empty text clears the field). A
// failure ends the program through the library's reporting path.
void StorePendingMemos();

}  // namespace orvex::tool
