// What the viewer's window shows, as UTF-8 text: the window caption, the
// label, then the records of the grid's visible rows, one line each with the
// fields' display texts (as the grid draws them; a memo shows as "(MEMO)")
// separated by " | " and a leading "*" for a deleted record.
// The rows are those the grid holds now (its data link's window), so the
// text is what a user reads on the screen. Used by PRead --dump-state and
// by the tests.
//
//   Caption: File opened ReadOnly
//   Label: Sorted By YEAR 
//   Row: Metropolis | 1927 | F | 153 | ...
#pragma once

#include <string>
#include <vector>

namespace orvex::app {

class TForm1;

std::string DumpState(TForm1& form);
// The values of one field (by name) in the grid's visible rows, top down,
// as the library's text (Windows-1252).
std::vector<std::string> VisibleValues(TForm1& form, const std::string& field);

}  // namespace orvex::app
