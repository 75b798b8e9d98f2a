#include "platform/os/system.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string_view>

#include "platform/os/codepage.h"
#include "platform/os/display_text.h"

namespace orvex::os {

namespace {

ClockHook g_clock;
MessageBoxHook g_message_box;
ProcessMessagesHook g_process_messages;
WarningHook g_warning;
ConfirmHook g_confirm;

LocalTime SystemClock() {
  timespec now = {};
  clock_gettime(CLOCK_REALTIME, &now);
  tm parts = {};
  localtime_r(&now.tv_sec, &parts);
  LocalTime t;
  t.year = parts.tm_year + 1900;
  t.month = parts.tm_mon + 1;
  t.day = parts.tm_mday;
  t.hour = parts.tm_hour;
  t.minute = parts.tm_min;
  t.second = parts.tm_sec;
  t.millisecond = static_cast<int>(now.tv_nsec / 1000000);
  t.day_of_week = parts.tm_wday;
  return t;
}

// The first non-empty of LC_ALL, LC_MESSAGES and LANG, as the C library
// chooses the locale of messages.
std::string_view LocaleName() {
  for (const char* var : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(var);
    if (value != nullptr && *value != '\0') return value;
  }
  return {};
}

constexpr std::uint16_t MakeLangId(int primary, int sub) {
  return static_cast<std::uint16_t>(primary | (sub << 10));
}

}  // namespace

LocalTime GetLocalTime() { return g_clock ? g_clock() : SystemClock(); }

void SetClockHook(ClockHook hook) { g_clock = std::move(hook); }

std::uint32_t GetTickCount() {
  timespec now = {};
  clock_gettime(CLOCK_MONOTONIC, &now);
  const std::uint64_t ms = static_cast<std::uint64_t>(now.tv_sec) * 1000 +
                           static_cast<std::uint64_t>(now.tv_nsec) / 1000000;
  return static_cast<std::uint32_t>(ms);  // wraps at 2^32 like the Win32 counter
}

// "language[_COUNTRY][.codeset][@modifier]". Sub-languages other than those
// named are 1 (the language's main country).
std::uint16_t GetUserDefaultLangID() {
  const std::string_view locale = LocaleName();
  const std::string_view base = locale.substr(0, locale.find_first_of(".@"));
  const std::size_t underscore = base.find('_');
  const std::string_view language = base.substr(0, underscore);
  const std::string_view country =
      underscore == std::string_view::npos ? "" : base.substr(underscore + 1);
  if (language == "de") {
    if (country == "CH") return MakeLangId(kLangGerman, kSubLangGermanSwiss);
    if (country == "AT") return MakeLangId(kLangGerman, kSubLangGermanAustrian);
    return MakeLangId(kLangGerman, 1);
  }
  if (language == "en") {
    return MakeLangId(kLangEnglish,
                      country.empty() || country == "US" ? kSubLangEnglishUs : kSubLangEnglishUk);
  }
  if (language == "fr") return MakeLangId(kLangFrench, country == "CA" ? kSubLangFrenchCanadian : 1);
  if (language == "es") return MakeLangId(kLangSpanish, 1);
  if (language == "it") return MakeLangId(kLangItalian, 1);
  if (language == "ru") return MakeLangId(kLangRussian, 1);
  return MakeLangId(kLangEnglish, kSubLangEnglishUs);
}

void SetMessageBoxHook(MessageBoxHook hook) { g_message_box = std::move(hook); }

void MessageBox(const std::string& text_ansi, const std::string& caption_ansi, bool icon_stop) {
  if (g_message_box) {
    g_message_box(text_ansi, caption_ansi, icon_stop);
    return;
  }
  const std::string text = DisplayText(text_ansi);
  const std::string caption = AnsiToUtf8(caption_ansi);
  std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
  std::fflush(stderr);
}

void SetProcessMessagesHook(ProcessMessagesHook hook) { g_process_messages = std::move(hook); }

void ProcessMessages() {
  if (g_process_messages) g_process_messages();
}

void SetWarningHook(WarningHook hook) { g_warning = std::move(hook); }

void ShowWarning(const std::string& text_ansi) {
  if (g_warning) {
    g_warning(text_ansi);
    return;
  }
  std::fprintf(stderr, "Warnung: %s\n", DisplayText(text_ansi).c_str());
  std::fflush(stderr);
}

void SetConfirmHook(ConfirmHook hook) { g_confirm = std::move(hook); }

bool Confirm(const std::string& text_ansi) {
  if (g_confirm) return g_confirm(text_ansi);
  std::fprintf(stderr, "%s (Abbrechen)\n", DisplayText(text_ansi).c_str());
  std::fflush(stderr);
  return false;
}

}  // namespace orvex::os
