#include "platform/os/codepage.h"

#include "platform/os/codepage_tables.h"

namespace orvex::os {

void OemToCharBuff(char* text, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i)
    text[i] = static_cast<char>(OemToAnsiChar(static_cast<unsigned char>(text[i])));
}

void CharToOemBuff(char* text, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i)
    text[i] = static_cast<char>(AnsiToOemChar(static_cast<unsigned char>(text[i])));
}

unsigned char OemToAnsiChar(unsigned char c) { return tables::kOemToAnsi[c]; }
unsigned char AnsiToOemChar(unsigned char c) { return tables::kAnsiToOem[c]; }

// Windows-1252 letters with a single-byte partner of the other case: ASCII,
// the Latin-1 letters 0xC0..0xDE / 0xE0..0xFE (without × and ÷), and the four
// letters of the 0x80 row (Š, Œ, Ž pair with š, œ, ž; Ÿ with ÿ).
unsigned char CharUpper(unsigned char c) {
  if (c >= 'a' && c <= 'z') return c - 0x20;
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return c - 0x20;
  if (c == 0x9A || c == 0x9C || c == 0x9E) return c - 0x10;
  if (c == 0xFF) return 0x9F;
  return c;
}

unsigned char CharLower(unsigned char c) {
  if (c >= 'A' && c <= 'Z') return c + 0x20;
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 0x20;
  if (c == 0x8A || c == 0x8C || c == 0x8E) return c + 0x10;
  if (c == 0x9F) return 0xFF;
  return c;
}

bool IsCharAlpha(unsigned char c) {
  if (CharUpper(c) != c || CharLower(c) != c) return true;
  // Letters without a single-byte partner: ƒ, ˆ (a modifier letter), ª µ º ß.
  return c == 0x83 || c == 0x88 || c == 0xAA || c == 0xB5 || c == 0xBA || c == 0xDF;
}

std::string CharUpperString(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(CharUpper(static_cast<unsigned char>(c)));
  return out;
}

std::string CharLowerString(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(CharLower(static_cast<unsigned char>(c)));
  return out;
}

namespace {

void AppendUtf8(std::string* out, char32_t cp) {
  if (cp < 0x80) {
    out->push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out->push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

// Decodes one UTF-8 sequence at text[*pos] and advances *pos. Malformed,
// overlong or surrogate sequences yield U+FFFD and consume one byte.
char32_t NextCodePoint(std::string_view text, std::size_t* pos) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(*pos);
  int extra = 0;
  char32_t cp = 0;
  char32_t min = 0;
  if (lead < 0x80) {
    ++*pos;
    return lead;
  } else if ((lead & 0xE0) == 0xC0) {
    extra = 1, cp = lead & 0x1F, min = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    extra = 2, cp = lead & 0x0F, min = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    extra = 3, cp = lead & 0x07, min = 0x10000;
  } else {
    ++*pos;
    return 0xFFFD;
  }
  if (*pos + extra >= text.size()) {  // sequence cut off at the end
    ++*pos;
    return 0xFFFD;
  }
  for (int i = 1; i <= extra; ++i) {
    const unsigned char next = byte(*pos + i);
    if ((next & 0xC0) != 0x80) {
      ++*pos;
      return 0xFFFD;
    }
    cp = (cp << 6) | (next & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
    ++*pos;
    return 0xFFFD;
  }
  *pos += extra + 1;
  return cp;
}

std::string SingleByteToUtf8(std::string_view text, const char16_t* upper) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    const unsigned char b = static_cast<unsigned char>(c);
    AppendUtf8(&out, b < 0x80 ? b : upper[b - 0x80]);
  }
  return out;
}

// Characters the code page lacks become '?' and clear *exact when given.
std::string Utf8ToSingleByte(std::string_view utf8, const char16_t* upper, bool* exact = nullptr) {
  std::string out;
  out.reserve(utf8.size());
  std::size_t pos = 0;
  while (pos < utf8.size()) {
    const char32_t cp = NextCodePoint(utf8, &pos);
    char byte = '?';
    if (cp < 0x80) {
      byte = static_cast<char>(cp);
    } else {
      for (int i = 0; i < 128; ++i) {
        if (upper[i] == cp) {
          byte = static_cast<char>(0x80 + i);
          break;
        }
      }
    }
    if (byte == '?' && cp != '?' && exact != nullptr) *exact = false;
    out.push_back(byte);
  }
  return out;
}

}  // namespace

bool IsValidUtf8(std::string_view text) {
  std::size_t pos = 0;
  while (pos < text.size()) {
    const std::size_t start = pos;
    if (NextCodePoint(text, &pos) == 0xFFFD && pos == start + 1) return false;
  }
  return true;
}

std::string Utf8ToAnsi(std::string_view utf8) {
  return Utf8ToSingleByte(utf8, tables::kCp1252Upper);
}
std::string AnsiToUtf8(std::string_view ansi) {
  return SingleByteToUtf8(ansi, tables::kCp1252Upper);
}
std::string Cp866ToUtf8(std::string_view oem866) {
  return SingleByteToUtf8(oem866, tables::kCp866Upper);
}
std::string Utf8ToCp866(std::string_view utf8) {
  return Utf8ToSingleByte(utf8, tables::kCp866Upper);
}
std::string Cp850ToUtf8(std::string_view oem850) {
  return SingleByteToUtf8(oem850, tables::kCp850Upper);
}
std::string Utf8ToCp850(std::string_view utf8) {
  return Utf8ToSingleByte(utf8, tables::kCp850Upper);
}

bool Utf8ToCodePage(std::string_view utf8, bool oem850, std::string* out) {
  bool exact = true;
  *out = Utf8ToSingleByte(utf8, oem850 ? tables::kCp850Upper : tables::kCp1252Upper, &exact);
  return exact;
}

}  // namespace orvex::os
