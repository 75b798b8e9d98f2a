// Time, language and the two hooks through which lower layers reach the GUI.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace orvex::os {

// GetLocalTime: the local date and time. Tests may replace the clock.
struct LocalTime {
  int year = 0, month = 0, day = 0;  // month 1..12, day 1..31
  int hour = 0, minute = 0, second = 0, millisecond = 0;
  int day_of_week = 0;  // 0 = Sunday
};
LocalTime GetLocalTime();
using ClockHook = std::function<LocalTime()>;
// Installs a clock; an empty function restores the system clock.
void SetClockHook(ClockHook hook);

// GetTickCount: milliseconds from a monotonic clock, wrapping at 2^32.
std::uint32_t GetTickCount();

// GetUserDefaultLangID, derived from LC_ALL, LC_MESSAGES or LANG (first one
// set): primary language in the low 10 bits, sub-language in the high 6.
// de_* = German (7; de_CH sub-language 2, de_AT 3, else 1), en_US and bare
// "en" = English/1, other en_* = English/2, fr_CA = French/3, other fr_* =
// French/1, es = 10, it = 16, ru = 25 (sub-language 1); anything else, "C",
// "POSIX" and nothing set give 0x0409. Read at each call.
std::uint16_t GetUserDefaultLangID();
// The Windows numbers of the primary languages and sub-languages used here.
inline constexpr int kLangGerman = 7;
inline constexpr int kLangEnglish = 9;
inline constexpr int kLangSpanish = 10;
inline constexpr int kLangFrench = 12;
inline constexpr int kLangItalian = 16;
inline constexpr int kLangRussian = 25;
inline constexpr int kSubLangGermanSwiss = 2;
inline constexpr int kSubLangGermanAustrian = 3;
inline constexpr int kSubLangEnglishUs = 1;
inline constexpr int kSubLangEnglishUk = 2;
inline constexpr int kSubLangFrenchCanadian = 3;
inline constexpr int PrimaryLang(std::uint16_t id) { return id & 0x3FF; }
inline constexpr int SubLang(std::uint16_t id) { return id >> 10; }

// MessageBoxA stand-in: the GUI installs a real box, console programs write to
// stderr (the default). `icon_stop` marks the stop icon of the program-ending
// message.
using MessageBoxHook = std::function<void(const std::string& text_ansi,
                                          const std::string& caption_ansi, bool icon_stop)>;
void SetMessageBoxHook(MessageBoxHook hook);
void MessageBox(const std::string& text_ansi, const std::string& caption_ansi, bool icon_stop);

// Dispatches pending GUI messages while the library waits (for a lock, say).
// Does nothing until the GUI installs a hook.
using ProcessMessagesHook = std::function<void()>;
void SetProcessMessagesHook(ProcessMessagesHook hook);
void ProcessMessages();

// A plain message that never stops the program (the dataset layer's warnings).
// The GUI shows a plain message box; the default writes "Warnung: <text>" to
// stderr.
using WarningHook = std::function<void(const std::string& text_ansi)>;
void SetWarningHook(WarningHook hook);
void ShowWarning(const std::string& text_ansi);

// A question with the answers OK (true) and Cancel (false), asked before an
// action that changes data. The GUI shows a confirmation dialog; the default
// writes the question to stderr and answers Cancel, so that nothing is changed
// that nobody confirmed.
using ConfirmHook = std::function<bool(const std::string& text_ansi)>;
void SetConfirmHook(ConfirmHook hook);
bool Confirm(const std::string& text_ansi);

}  // namespace orvex::os
