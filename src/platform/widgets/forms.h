// Forms and the simple controls placed on them, built from stored property
// values: position and size in pixels at 96 dpi (Qt's device-independent
// pixels, so a screen with another density scales them), caption, font and
// colour, and the events the program's code handles.
//
// Fonts are given as the stored form names them ("MS Sans Serif", height
// -11). A negative height is the character height without internal leading
// in pixels, a positive one the cell height. Windows font names map to a sans
// font that is installed on the machine (see MapFontFamily).
//
// Colours are given as TColor values 0x00BBGGRR (65535 is yellow) or as the
// system colours below.
#pragma once

#include <QColor>
#include <QFont>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace orvex::ui {

struct Bounds {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
};

// Places a widget at its stored position (relative to its parent's client
// area, or the screen for a window) with its stored size.
void SetBounds(QWidget& widget, const Bounds& bounds);

// A TColor value 0x00BBGGRR as a Qt colour.
QColor ColorFromTColor(std::uint32_t value);

// System colours (the active palette of the Qt application).
QColor WindowColor();         // clWindow: the background of grids and edits
QColor WindowTextColor();     // clWindowText
QColor ButtonFaceColor();     // clBtnFace: fixed cells, buttons
QColor HighlightColor();      // clHighlight
QColor HighlightTextColor();  // clHighlightText

// The installed font family that stands in for a Windows font name, of the
// same kind: the fixed-pitch fonts ("Courier New", "Courier", "Fixedsys",
// "Terminal", "Lucida Console", "Consolas", ...) become the first installed
// of DejaVu Sans Mono, Liberation Mono, Noto Sans Mono and FreeMono; the
// serif fonts ("Times New Roman", "Times", "MS Serif", "Georgia", ...) the
// first of DejaVu Serif, Liberation Serif, Noto Serif and FreeSerif; every
// other name ("MS Sans Serif", "Arial", "Tahoma", "System", ...) the first
// of DejaVu Sans, Liberation Sans, Noto Sans and FreeSans. Without any of
// them: Qt's default fixed font, the serif font matching offers, or the
// application font.
QString MapFontFamily(std::string_view windows_name);

// A font from stored values; "System" is bold, as on Windows.
QFont MakeFont(std::string_view windows_name, int height);

// Sets a widget's text colour (the font colour of the stored form).
void SetFontColor(QWidget& widget, const QColor& color);

// Sets a widget's background colour and lets it fill its background.
void SetBackgroundColor(QWidget& widget, const QColor& color);

// A top-level window. OnActivate runs each time the window becomes the active
// window (the stored form's activation event). The main window's first
// activation is when it is first shown as such (ShownAsMainWindow, called by
// TApplication::Run): a display without a window manager, or a desktop that
// does not focus new windows, never activates it on its own. The window
// system's activation that may follow counts as the same one; OnActivate
// runs again only after the window was deactivated.
class TForm : public QWidget {
 public:
  explicit TForm(QWidget* owner = nullptr);

  void SetCaption(std::string_view caption_ansi);
  std::string Caption() const;

  std::function<void()> OnActivate;

  // The form is now shown as the program's main window.
  void ShownAsMainWindow();

 protected:
  bool event(QEvent* event) override;

 private:
  void Activated();
  bool active_ = false;
};

// A text label. With auto-size off (the default here) it keeps its stored
// size; alignment follows Qt's flags (right-justified is Qt::AlignRight).
class TLabel : public QLabel {
 public:
  TLabel(QWidget* parent, const Bounds& bounds, std::string_view caption_ansi);
  void SetCaption(std::string_view caption_ansi);
  std::string Caption() const;
};

// A push button; OnClick runs when it is clicked.
class TButton : public QPushButton {
 public:
  TButton(QWidget* parent, const Bounds& bounds, std::string_view caption_ansi);
  std::function<void()> OnClick;
};

// A framed group of controls with a caption.
class TGroupBox : public QGroupBox {
 public:
  TGroupBox(QWidget* parent, const Bounds& bounds, std::string_view caption_ansi);
};

}  // namespace orvex::ui
