// oxdbf and memo fields: the text of a memo field for dump, storing a text as
// a new memo for append, and the pack-memo subcommand (oxdbf_memo.cpp).
#pragma once

#include <string>

namespace orvex::tool {

// The memo of M field n of the current record as UTF-8: the stored text
// (OEM unless the table is ANSI) with each line end (CR LF, a soft return
// 0x8D LF, a lone CR) given as "\n"; "" for a record without memo. A memo
// that cannot be read ends the program through the library's reporting path.
std::string MemoFieldText(int n);

// Stores a UTF-8 text as a new memo of the current table (line breaks "\n"
// become CR LF, the text goes over to the table's character set) and puts its
// block number into M field n of the unpacked buffer; an empty text clears
// the field. False after a reported failure.
bool SetMemoFieldText(int n, const std::string& value);

}  // namespace orvex::tool
