// TOxMsg: a small top-most window that shows a line of text while the library
// works without the user, and sizes itself to that text.
//
// At creation it has no border, is invisible, 0 x 0 pixels, yellow, and
// remembers the window that was active then (it is centred over that window,
// or over the screen when there was none). Without a caption it is borderless
// and shows a raised background panel (bevel 2) with the text panel 4 pixels
// inside; with a caption it gets a dialog border and the text panel fills its
// client area. The text panel has a single plain border and centres the text.
//
// ShowText measures the text (W x H) and needs W + 30 by H + 30 + C pixels
// (C: the caption's height, 0 without caption), and at least the caption's
// width in the "System" font. A visible window only grows: when it is too
// small it gets the needed size and is centred again; a hidden window, and
// one whose border just changed, gets exactly the needed size, is centred and
// shown. Then pending events are processed so that the text appears at once.
//
// Width() and Height() are the window's outer size, borders and caption
// included.
#pragma once

#include <QPointer>
#include <QWidget>
#include <string>
#include <string_view>

class QFrame;
class QLabel;

namespace orvex {

class TOxMsg : public QWidget {
 public:
  explicit TOxMsg(QWidget* owner = nullptr);

  // Shows `text_ansi`, or the text shown last when it is empty.
  void ShowText(std::string_view text_ansi);

  // The caption takes effect on the next ShowText.
  void SetCaption(std::string_view caption_ansi);
  std::string Caption() const;

  const std::string& Text() const { return text_; }
  int Width() const { return outer_.width(); }
  int Height() const { return outer_.height(); }
  // Whether the window has the dialog border (set by ShowText).
  bool HasBorder() const { return bordered_; }
  QLabel* TextPanel() const { return text_panel_; }
  QFrame* BackgroundPanel() const { return background_; }

 private:
  void ApplyBorder(bool bordered);

  QFrame* background_;
  QLabel* text_panel_;
  std::string text_;
  std::string caption_;
  QPointer<QWidget> reference_form_;
  QSize outer_{0, 0};
  bool bordered_ = false;
};

}  // namespace orvex
