#include "platform/os/system.h"

#include <cstdlib>

#include "gtest/gtest.h"
#include "platform/os/codepage.h"
#include "platform/os/format_settings.h"

namespace orvex::os {
namespace {

std::uint16_t LangIdFor(const char* lc_all, const char* lc_messages, const char* lang) {
  const auto set = [](const char* name, const char* value) {
    if (value == nullptr)
      unsetenv(name);
    else
      setenv(name, value, 1);
  };
  set("LC_ALL", lc_all);
  set("LC_MESSAGES", lc_messages);
  set("LANG", lang);
  return GetUserDefaultLangID();
}

TEST(Language, FromTheFirstLocaleVariableSet) {
  EXPECT_EQ(LangIdFor(nullptr, nullptr, "de_DE.UTF-8"), 0x0407);
  EXPECT_EQ(LangIdFor(nullptr, nullptr, "de_CH.UTF-8"), 0x0807);
  EXPECT_EQ(LangIdFor(nullptr, nullptr, "de_AT@euro"), 0x0C07);
  EXPECT_EQ(LangIdFor(nullptr, nullptr, "en_US.UTF-8"), 0x0409);
  EXPECT_EQ(LangIdFor(nullptr, nullptr, "en_GB.UTF-8"), 0x0809);
  EXPECT_EQ(LangIdFor(nullptr, nullptr, "en_AU"), 0x0809);
  EXPECT_EQ(LangIdFor(nullptr, nullptr, "fr_CA.UTF-8"), 0x0C0C);
  EXPECT_EQ(LangIdFor(nullptr, nullptr, "fr_FR"), 0x040C);
  EXPECT_EQ(LangIdFor(nullptr, nullptr, "es_ES"), 0x040A);
  EXPECT_EQ(LangIdFor(nullptr, nullptr, "it_IT"), 0x0410);
  EXPECT_EQ(LangIdFor(nullptr, nullptr, "ru_RU.KOI8-R"), 0x0419);
  EXPECT_EQ(LangIdFor(nullptr, nullptr, "C"), 0x0409);
  EXPECT_EQ(LangIdFor(nullptr, nullptr, "POSIX"), 0x0409);
  EXPECT_EQ(LangIdFor(nullptr, nullptr, "nl_NL"), 0x0409);
  EXPECT_EQ(LangIdFor(nullptr, nullptr, nullptr), 0x0409);
  EXPECT_EQ(LangIdFor("ru_RU", "fr_FR", "de_DE"), 0x0419);
  EXPECT_EQ(LangIdFor("", "fr_FR", "de_DE"), 0x040C);
  EXPECT_EQ(LangIdFor(nullptr, "", "de_DE"), 0x0407);
  EXPECT_EQ(PrimaryLang(0x0C07), 7);
  EXPECT_EQ(SubLang(0x0C07), 3);
}

TEST(Time, ClockHookAndTickCount) {
  LocalTime fixed;
  fixed.year = 1999, fixed.month = 12, fixed.day = 31, fixed.day_of_week = 5;
  SetClockHook([fixed] { return fixed; });
  EXPECT_EQ(GetLocalTime().year, 1999);
  EXPECT_EQ(GetLocalTime().day, 31);
  SetClockHook({});
  const LocalTime now = GetLocalTime();
  EXPECT_GE(now.year, 2024);
  EXPECT_TRUE(now.month >= 1 && now.month <= 12 && now.day >= 1 && now.day <= 31);
  EXPECT_TRUE(now.day_of_week >= 0 && now.day_of_week <= 6 && now.millisecond < 1000);
  const std::uint32_t before = GetTickCount();
  const std::uint32_t after = GetTickCount();
  EXPECT_LT(static_cast<std::uint32_t>(after - before), 1000u);  // modular, like Win32 callers
}

TEST(Hooks, MessageBoxAndProcessMessages) {
  const std::string caption = Utf8ToAnsi("Programm angehalten.");
  const std::string text = Utf8ToAnsi("Fehler Nr. 2 (Datei nicht gefunden)\r\nmovie_ä.dbf");
  testing::internal::CaptureStderr();
  MessageBox(text, caption, true);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "Programm angehalten.: Fehler Nr. 2 (Datei nicht gefunden)\r\nmovie_ä.dbf\n");

  std::string seen;
  SetMessageBoxHook([&](const std::string& t, const std::string& c, bool stop) {
    seen = c + "|" + t + (stop ? "|stop" : "");
  });
  MessageBox(text, caption, true);
  EXPECT_EQ(seen, caption + "|" + text + "|stop");

  ProcessMessages();  // nothing installed: nothing happens
  int calls = 0;
  SetProcessMessagesHook([&] { ++calls; });
  ProcessMessages();
  EXPECT_EQ(calls, 1);
  SetProcessMessagesHook({});
  SetMessageBoxHook({});
}

TEST(Hooks, WarningAndConfirmation) {
  const std::string question = Utf8ToAnsi("Datensatz löschen ?");
  testing::internal::CaptureStderr();
  ShowWarning(Utf8ToAnsi("Konnte 'ä.dbf' nicht erzeugen"));
  EXPECT_FALSE(Confirm(question));  // nobody to ask: nothing changes
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "Warnung: Konnte 'ä.dbf' nicht erzeugen\nDatensatz löschen ? (Abbrechen)\n");

  std::string warned, asked;
  SetWarningHook([&](const std::string& t) { warned = t; });
  SetConfirmHook([&](const std::string& t) {
    asked = t;
    return true;
  });
  ShowWarning("w");
  EXPECT_TRUE(Confirm(question));
  EXPECT_EQ(warned, "w");
  EXPECT_EQ(asked, question);
  SetWarningHook({});
  SetConfirmHook({});
}

TEST(Formats, OneProcessWideRecord) {
  Formats().short_date_format = "dd.MM.yyyy";
  Formats().date_separator = '.';
  EXPECT_EQ(Formats().short_date_format, "dd.MM.yyyy");
  ResetFormats();
  EXPECT_EQ(Formats().short_date_format, "MM/dd/yyyy");
  EXPECT_EQ(Formats().date_separator, '/');
  EXPECT_EQ(Formats().decimal_separator, '.');
}

}  // namespace
}  // namespace orvex::os
