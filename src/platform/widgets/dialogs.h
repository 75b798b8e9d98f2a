// Message and confirmation boxes. Each is modal, owned by the active window
// (none when no window is active) and shows the texts it is given (Windows-1252
// bytes). The application object routes the library's message-box, warning and
// confirmation hooks here.
#pragma once

#include <string_view>

namespace orvex::ui {

// A message box with an OK button, captioned `caption_ansi`, with the stop
// (critical) icon when `icon_stop` is set and no icon otherwise.
void MessageBoxDialog(std::string_view text_ansi, std::string_view caption_ansi, bool icon_stop);

// A plain message box captioned with the application's name.
void ShowMessage(std::string_view text_ansi);

// A confirmation dialog with the buttons OK and Cancel (OK is the default,
// Esc answers Cancel). True for OK.
bool ConfirmDialog(std::string_view text_ansi);

}  // namespace orvex::ui
