// The stored column descriptions of a grid, and the colour identifiers and
// font descriptions they use.
//
// Each line is "key=value" (blanks and control characters around it are
// trimmed; keys compare with exact letter case). "cvColumn=n" makes column
// n (from 0) current, adding columns until it exists; the other keys set a
// value of the current column and are ignored before the first "cvColumn".
// A line that starts with no known key is skipped: its value would have to
// be taken as a column number, and a stray line must not create columns.
#include <QApplication>
#include <QPalette>
#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <iterator>

#include "controls/ox_grid.h"
#include "controls/ox_grid_columns.h"
#include "platform/data/field.h"
#include "platform/widgets/forms.h"

namespace orvex {

namespace {

struct ColorIdent {
  const char* name;
  QRgb rgb;
};

// The platform's fixed colour identifiers.
constexpr ColorIdent kColors[] = {
    {"clBlack", 0xFF000000},      {"clMaroon", 0xFF800000},  {"clGreen", 0xFF008000},
    {"clOlive", 0xFF808000},      {"clNavy", 0xFF000080},    {"clPurple", 0xFF800080},
    {"clTeal", 0xFF008080},       {"clGray", 0xFF808080},    {"clSilver", 0xFFC0C0C0},
    {"clRed", 0xFFFF0000},        {"clLime", 0xFF00FF00},    {"clYellow", 0xFFFFFF00},
    {"clBlue", 0xFF0000FF},       {"clFuchsia", 0xFFFF00FF}, {"clAqua", 0xFF00FFFF},
    {"clWhite", 0xFFFFFFFF},      {"clLtGray", 0xFFC0C0C0},  {"clDkGray", 0xFF808080},
    {"clMoneyGreen", 0xFFC0DCC0}, {"clSkyBlue", 0xFFA6CAF0}, {"clCream", 0xFFFFFBF0},
    {"clMedGray", 0xFFA0A0A4},
};

// "No colour" and "the default colour": the value keeps its default.
constexpr const char* kNoColorNames[] = {"clNone", "clDefault"};
constexpr std::int64_t kNoColorValues[] = {0x1FFFFFFF, 0x20000000};

struct SystemColor {
  const char* name;
  QPalette::ColorGroup group;
  QPalette::ColorRole role;
};

// The system colours by their number (the low byte of a system colour
// value), as the running style has them.
constexpr SystemColor kSystemColors[] = {
    {"clScrollBar", QPalette::Active, QPalette::Button},                       // 0
    {"clBackground", QPalette::Active, QPalette::Window},                      // 1
    {"clActiveCaption", QPalette::Active, QPalette::Highlight},                // 2
    {"clInactiveCaption", QPalette::Inactive, QPalette::Highlight},            // 3
    {"clMenu", QPalette::Active, QPalette::Window},                            // 4
    {"clWindow", QPalette::Active, QPalette::Base},                            // 5
    {"clWindowFrame", QPalette::Active, QPalette::Shadow},                     // 6
    {"clMenuText", QPalette::Active, QPalette::WindowText},                    // 7
    {"clWindowText", QPalette::Active, QPalette::Text},                        // 8
    {"clCaptionText", QPalette::Active, QPalette::HighlightedText},            // 9
    {"clActiveBorder", QPalette::Active, QPalette::Window},                    // 10
    {"clInactiveBorder", QPalette::Inactive, QPalette::Window},                // 11
    {"clAppWorkSpace", QPalette::Active, QPalette::Mid},                       // 12
    {"clHighlight", QPalette::Active, QPalette::Highlight},                    // 13
    {"clHighlightText", QPalette::Active, QPalette::HighlightedText},          // 14
    {"clBtnFace", QPalette::Active, QPalette::Button},                         // 15
    {"clBtnShadow", QPalette::Active, QPalette::Dark},                         // 16
    {"clGrayText", QPalette::Disabled, QPalette::Text},                        // 17
    {"clBtnText", QPalette::Active, QPalette::ButtonText},                     // 18
    {"clInactiveCaptionText", QPalette::Inactive, QPalette::HighlightedText},  // 19
    {"clBtnHighlight", QPalette::Active, QPalette::Light},                     // 20
    {"cl3DDkShadow", QPalette::Active, QPalette::Shadow},                      // 21
    {"cl3DLight", QPalette::Active, QPalette::Midlight},                       // 22
    {"clInfoText", QPalette::Active, QPalette::ToolTipText},                   // 23
    {"clInfoBk", QPalette::Active, QPalette::ToolTipBase},                     // 24
    {nullptr, QPalette::Active, QPalette::Base},                               // 25: none
    {"clHotLight", QPalette::Active, QPalette::Link},                          // 26
    {"clGradientActiveCaption", QPalette::Active, QPalette::Highlight},        // 27
    {"clGradientInactiveCaption", QPalette::Inactive, QPalette::Highlight},    // 28
    {"clMenuHighlight", QPalette::Active, QPalette::Highlight},                // 29
    {"clMenuBar", QPalette::Active, QPalette::Window},                         // 30
};

QColor SystemColorAt(const SystemColor& entry) {
  return QApplication::palette().color(entry.group, entry.role);
}

std::string Trim(const std::string& text) {
  auto blank = [](unsigned char c) { return c <= ' '; };
  std::size_t begin = 0, end = text.size();
  while (begin < end && blank(static_cast<unsigned char>(text[begin]))) ++begin;
  while (end > begin && blank(static_cast<unsigned char>(text[end - 1]))) --end;
  return text.substr(begin, end - begin);
}

bool EqualNoCase(const std::string& a, const char* b) {
  const std::size_t n = std::strlen(b);
  if (a.size() != n) return false;
  for (std::size_t i = 0; i < n; ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

bool ParseInt(const std::string& text, int& value, int base = 10) {
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, value, base);
  return ec == std::errc() && ptr == end && !text.empty();
}

TAlignment AlignmentFrom(const std::string& text) {
  if (EqualNoCase(text, "taRightJustify")) return TAlignment::taRightJustify;
  if (EqualNoCase(text, "taCenter")) return TAlignment::taCenter;
  return TAlignment::taLeftJustify;
}

// "name,colour,flags": see the file comment of the header.
TOxFont FontFrom(const std::string& text, TOxFont font) {
  const std::size_t first = text.find(',');
  if (first == std::string::npos) return font;
  // A classic font name stands for an installed font of its kind.
  font.font.setFamily(ui::MapFontFamily(Trim(text.substr(0, first))));
  const std::size_t second = text.find(',', first + 1);
  if (second == std::string::npos) return font;
  QColor color;
  if (ColorFromIdent(Trim(text.substr(first + 1, second - first - 1)), color) && color.isValid()) {
    font.color = color;
  }
  int flags = 0;
  if (!ParseInt(Trim(text.substr(second + 1)), flags)) return font;
  font.font.setPointSize(std::max(1, flags & 0xFF));
  font.font.setBold(flags & 256);
  font.font.setItalic(flags & 512);
  font.font.setUnderline(flags & 1024);
  font.font.setStrikeOut(flags & 2048);
  return font;
}

}  // namespace

bool ColorFromIdent(const std::string& text, QColor& color) {
  for (const auto& ident : kColors) {
    if (EqualNoCase(text, ident.name)) {
      color = QColor::fromRgba(ident.rgb);
      return true;
    }
  }
  for (const SystemColor& entry : kSystemColors) {
    if (entry.name != nullptr && EqualNoCase(text, entry.name)) {
      color = SystemColorAt(entry);
      return true;
    }
  }
  for (const char* name : kNoColorNames) {
    if (EqualNoCase(text, name)) {
      color = QColor();
      return true;
    }
  }
  return false;
}

bool ColorFromString(const std::string& text, QColor& color) {
  if (ColorFromIdent(text, color)) return true;
  // Decimal, or hexadecimal after "$"; read wide so that both the signed
  // (-16777211) and the unsigned ($FF000005) spelling of a value fit.
  std::int64_t value = 0;
  const bool hex = !text.empty() && text[0] == '$';
  const std::string digits = hex ? text.substr(1) : text;
  const char* end = digits.data() + digits.size();
  const auto [ptr, ec] = std::from_chars(digits.data(), end, value, hex ? 16 : 10);
  if (ec != std::errc() || ptr != end || digits.empty()) return false;
  if (value < 0) value += std::int64_t{1} << 32;
  if (value < 0 || value > 0xFFFFFFFF) return false;
  for (const std::int64_t none : kNoColorValues) {
    if (value == none) {
      color = QColor();
      return true;
    }
  }
  // A system colour: its number in the low byte under 0xFF000000 (or, as
  // older forms wrote it, 0x80000000).
  const std::int64_t high = value & 0xFFFFFF00;
  if (high == 0xFF000000 || high == 0x80000000) {
    const std::size_t index = static_cast<std::size_t>(value & 0xFF);
    if (index >= std::size(kSystemColors) || kSystemColors[index].name == nullptr) return false;
    color = SystemColorAt(kSystemColors[index]);
    return true;
  }
  if (value > 0x00FFFFFF) return false;
  // 0x00BBGGRR.
  color = QColor(static_cast<int>(value & 0xFF), static_cast<int>((value >> 8) & 0xFF),
                 static_cast<int>((value >> 16) & 0xFF));
  return true;
}

void ReadSavedColumns(TOxGridColumns& columns, const std::vector<std::string>& lines) {
  columns.BeginUpdate();
  struct Guard {
    TOxGridColumns& columns;
    ~Guard() { columns.EndUpdate(); }
  } guard{columns};
  // The placeholder column of an empty grid goes (inside the update, so that
  // the grid does not make it again at once).
  if (columns.Count() == 1) {
    TOxColumn& only = columns.Items(0);
    if (only.Field() == nullptr && only.FieldName().empty() && only.Title().Caption().empty()) {
      columns.Delete(0);
    }
  }
  TOxColumn* current = nullptr;
  for (const std::string& raw : lines) {
    const std::string line = Trim(raw);
    const std::size_t equals = line.find('=');
    if (equals == std::string::npos) continue;
    const std::string key = line.substr(0, equals);
    const std::string value = line.substr(equals + 1);
    if (key == "cvColumn") {
      int number = 0;
      if (!ParseInt(Trim(value), number) || number < 0 || number >= kMaxMapSize) continue;
      while (columns.Count() <= number) current = &columns.Add();
      continue;
    }
    if (current == nullptr) continue;
    QColor color;
    int width = 0;
    // "No colour" (clNone, clDefault) leaves a colour at its default.
    if (key == "cvColorStr") {
      if (ColorFromString(value, color) && color.isValid()) current->SetColor(color);
    } else if (key == "cvWidthStr") {
      if (ParseInt(Trim(value), width)) current->SetWidth(width);
    } else if (key == "cvFontStr") {
      current->SetFont(FontFrom(value, current->Font()));
    } else if (key == "cvAlignmentStr") {
      current->SetAlignment(AlignmentFrom(value));
    } else if (key == "cvReadOnlyStr") {
      current->SetReadOnly(EqualNoCase(value, "TRUE"));
    } else if (key == "cvTitleColorStr") {
      if (ColorFromString(value, color) && color.isValid()) current->Title().SetColor(color);
    } else if (key == "cvTitleCaptionStr") {
      current->Title().SetCaption(value);
    } else if (key == "cvTitleAlignmentStr") {
      current->Title().SetAlignment(AlignmentFrom(value));
    } else if (key == "cvTitleFontStr") {
      current->Title().SetFont(FontFrom(value, current->Title().Font()));
    } else if (key == "cvFieldNameStr") {
      current->SetFieldName(value);
    }
  }
}

}  // namespace orvex
