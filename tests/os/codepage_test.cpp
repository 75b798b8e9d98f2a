#include "platform/os/codepage.h"

#include <string>

#include "gtest/gtest.h"

namespace orvex::os {
namespace {

std::string Byte(int b) { return std::string(1, static_cast<char>(b)); }

// A byte of code page 850 that stands for a character Windows-1252 has: both
// code pages' own Unicode views agree on it.
bool SharedOem(int b) { return Utf8ToAnsi(Cp850ToUtf8(Byte(b))) != "?" || b == '?'; }
bool SharedAnsi(int b) { return Utf8ToCp850(AnsiToUtf8(Byte(b))) != "?" || b == '?'; }

TEST(CodePages, BytesBothPagesHaveRoundTripBothWays) {
  int shared_oem = 0, shared_ansi = 0;
  for (int b = 0; b < 256; ++b) {
    if (SharedOem(b)) {
      ++shared_oem;
      const unsigned char ansi = OemToAnsiChar(static_cast<unsigned char>(b));
      EXPECT_EQ(AnsiToUtf8(Byte(ansi)), Cp850ToUtf8(Byte(b))) << "OEM byte " << b;
      EXPECT_EQ(AnsiToOemChar(ansi), b) << "OEM byte " << b;
    }
    if (SharedAnsi(b)) {
      ++shared_ansi;
      const unsigned char oem = AnsiToOemChar(static_cast<unsigned char>(b));
      EXPECT_EQ(OemToAnsiChar(oem), b) << "ANSI byte " << b;
    }
  }
  // 128 ASCII plus the 97 characters the upper halves share.
  EXPECT_EQ(shared_oem, 225);
  EXPECT_EQ(shared_ansi, 225);
}

TEST(CodePages, KnownBytesAndLookAlikes) {
  EXPECT_EQ(OemToAnsiChar(0x81), 0xFC);  // ü
  EXPECT_EQ(OemToAnsiChar(0x8E), 0xC4);  // Ä
  EXPECT_EQ(OemToAnsiChar(0xE1), 0xDF);  // ß
  EXPECT_EQ(OemToAnsiChar(0x9F), 0x83);  // ƒ
  EXPECT_EQ(OemToAnsiChar(0xC4), '-');   // ─
  EXPECT_EQ(OemToAnsiChar(0xB3), '|');   // │
  EXPECT_EQ(OemToAnsiChar(0xDA), '+');   // ┌
  EXPECT_EQ(OemToAnsiChar(0xD5), 'i');   // ı
  EXPECT_EQ(AnsiToOemChar(0x80), 'E');   // €
  EXPECT_EQ(AnsiToOemChar(0x93), '"');   // “
  EXPECT_EQ(AnsiToOemChar(0x8A), 'S');   // Š
  EXPECT_EQ(AnsiToOemChar(0x81), '?');   // undefined in 1252
  for (int b = 0; b < 128; ++b) {
    EXPECT_EQ(OemToAnsiChar(static_cast<unsigned char>(b)), b);
    EXPECT_EQ(AnsiToOemChar(static_cast<unsigned char>(b)), b);
  }
  std::string text = Utf8ToAnsi("Größe: 5 €");
  CharToOemBuff(text.data(), text.size());
  EXPECT_EQ(Cp850ToUtf8(text), "Größe: 5 E");
  OemToCharBuff(text.data(), text.size());
  EXPECT_EQ(AnsiToUtf8(text), "Größe: 5 E");
}

TEST(CodePages, Utf8Boundaries) {
  EXPECT_EQ(Utf8ToAnsi("€äÿ"), "\x80\xE4\xFF");
  EXPECT_EQ(AnsiToUtf8("\x80\xE4\xFF"), "€äÿ");
  EXPECT_EQ(Utf8ToAnsi("Жx"), "?x");             // not in Windows-1252
  EXPECT_EQ(Utf8ToAnsi("a\xC3"), "a?");          // cut off
  EXPECT_EQ(Utf8ToAnsi("\xC0\xAF."), "??.");     // overlong
  EXPECT_EQ(Utf8ToAnsi("\xED\xA0\x80"), "???");  // surrogate
  EXPECT_EQ(AnsiToUtf8("\x81"), "\xC2\x81");     // undefined byte: the C1 control
  EXPECT_EQ(Cp866ToUtf8(Utf8ToCp866("Январь, Февраль")), "Январь, Февраль");
  EXPECT_EQ(Utf8ToCp866("Я"), "\x9F");
  EXPECT_EQ(Utf8ToCp850("ü"), "\x81");
  EXPECT_TRUE(IsValidUtf8("Grüße"));
  EXPECT_FALSE(
      IsValidUtf8("Gr\xFC\xDF"
                  "e"));
  for (int b = 0; b < 256; ++b) {
    EXPECT_EQ(Utf8ToAnsi(AnsiToUtf8(Byte(b))), Byte(b));
    EXPECT_EQ(Utf8ToCp850(Cp850ToUtf8(Byte(b))), Byte(b));
    EXPECT_EQ(Utf8ToCp866(Cp866ToUtf8(Byte(b))), Byte(b));
  }
}

TEST(CaseRules, UpperLowerAndAlphaFollowWindows1252) {
  EXPECT_EQ(CharUpperString(Utf8ToAnsi("abz äöü àþ šœžÿ ß µ ÷ 1!")),
            Utf8ToAnsi("ABZ ÄÖÜ ÀÞ ŠŒŽŸ ß µ ÷ 1!"));
  EXPECT_EQ(CharLowerString(Utf8ToAnsi("ABZ ÄÖÜ ÀÞ ŠŒŽŸ × ß")), Utf8ToAnsi("abz äöü àþ šœžÿ × ß"));
  for (int b = 0; b < 256; ++b) {
    const auto c = static_cast<unsigned char>(b);
    if (CharUpper(c) != c) {
      EXPECT_EQ(CharLower(CharUpper(c)), c) << b;
    }
    if (CharLower(c) != c) {
      EXPECT_EQ(CharUpper(CharLower(c)), c) << b;
    }
  }
  for (const char* letters : {"aZ", "ªºµß", "ÀÖØöøÿ", "ƒˆŠšŒœŽžŸ"}) {
    for (char c : Utf8ToAnsi(letters))
      EXPECT_TRUE(IsCharAlpha(static_cast<unsigned char>(c))) << letters;
  }
  for (const char* others : {"09 _@[`{", "×÷²³¹¼€‚„…", "\x7F"}) {
    for (char c : Utf8ToAnsi(others))
      EXPECT_FALSE(IsCharAlpha(static_cast<unsigned char>(c))) << others;
  }
  int letters = 0;
  for (int b = 0; b < 256; ++b) letters += IsCharAlpha(static_cast<unsigned char>(b));
  EXPECT_EQ(letters, 52 + 9 + 3 + 62);  // ASCII, 0x80 row, ª µ º, Latin-1 letters
}

}  // namespace
}  // namespace orvex::os
