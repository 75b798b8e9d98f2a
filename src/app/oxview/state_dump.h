// oxview's state as text, for tests that drive the real window and read
// what it showed (--dump-state prints it when the program ends):
//   Title: <window title>
//   Tabs: <count>
// and for the current tab
//   Status: <status bar text>
//   Order: <active tag, "" natural>
//   Filter: <condition>
//   Search: <found|not found> (<index|sequential>)   (after a search)
//   Memo: <first memo box's text, line ends as \n>   (tables with memos)
//   Current: <the current record's fields, " | " between>
//   Row: [*]<fields of each shown row, " | " between>   ('*' deleted)
// Field texts are the grid's display texts in UTF-8.
#pragma once

#include <string>

namespace orvex::view {

class MainWindow;

std::string DumpState(MainWindow& window);

}  // namespace orvex::view
