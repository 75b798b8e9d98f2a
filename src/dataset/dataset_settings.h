// The dataset layer's process-wide texts and settings, and its start-up.
//
// Start-up (StartDatasetUnit, run once by the first dataset that is made,
// so that it follows the date settings' own start-up whatever order the
// units start in):
//   - the words "ja" and "nein" and the framework's "True" and "False" texts
//     are kept in four texts of at most 20 characters;
//   - CenturyOn is set when the framework's short date format contains
//     "YYYY" (any letter case);
//   - the decimal separator is recorded;
//   - SetDateType with the type the short date format calls for: first
//     letter D (any case) with date separator '-' gives 3, with '.' 5,
//     otherwise 2; first letter Y gives 1; anything else 0.
#pragma once

#include <functional>
#include <string>

namespace orvex {

// Resource texts the dataset layer shows.
inline constexpr const char* kDatabaseNotOpenText = "Datenbank ist nicht offen";  // 57364
inline constexpr const char* kYesWord = "ja";                                     // 57859
inline constexpr const char* kNoWord = "nein";                                    // 57860
// Shown when a date value cannot be written as a date text.
inline constexpr const char* kInvalidDateText = "        Invalid date       ";

extern std::string DatasetYesText;    // "ja"
extern std::string DatasetNoText;     // "nein"
extern std::string DatasetTrueText;   // the framework's "True"
extern std::string DatasetFalseText;  // the framework's "False"
extern char DatasetDecimalSeparator;

// The dataset layer's warnings (a table that could not be created, a
// corrected field definition, a lock that could not be had) are shown
// through the warning hook (os::ShowWarning) while the level is 2, its
// initial value; with any other level they are dropped.
extern int DatasetWarningLevel;
void DatasetWarning(const std::string& text_ansi);

// The progress display of an index build. The table component hands the
// hook the index file's name and the build (`work`); the hook shows its
// display, runs `work` with the callback that advances the display by one
// step, and removes the display when `work` returns or throws. The GUI
// installs its progress window (RunWithIndexProgress); without a hook the
// build runs without display.
using IndexProgressWork = std::function<void(const std::function<void()>& step)>;
using IndexProgressHook =
    std::function<void(const std::string& index_file_ansi, const IndexProgressWork& work)>;
void SetIndexProgressHook(IndexProgressHook hook);
// Runs `work` under the installed hook, or with a step that does nothing.
void RunIndexProgress(const std::string& index_file_ansi, const IndexProgressWork& work);

// Runs the start-up once per process.
void StartDatasetUnit();
// Runs it again from the current framework formats (tests).
void ResetDatasetUnit();

}  // namespace orvex
