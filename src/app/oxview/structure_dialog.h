// The structure of a table tab's table: its fields (name, type, length,
// decimals), the header's facts (dialect and version byte, last update,
// record count, header and record length), the memo file's kind, the code
// page of its text and the tags of its production index.
#pragma once

#include <QString>

class QWidget;

namespace orvex {
class TOxDbf;
}

namespace orvex::view {

// The structure as plain text, one fact per line (the dialog shows it; the
// state dump prints it).
QString StructureText(TOxDbf& table);

// Shows StructureText in a dialog (the table must be open).
void ShowStructure(TOxDbf& table, QWidget* parent);

}  // namespace orvex::view
