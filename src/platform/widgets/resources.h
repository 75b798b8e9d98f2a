// Bitmap resources by name and the image list that draws them.
//
// The program's bitmaps are drawn by this code (nothing is copied from
// elsewhere), in black on a white background, as a bitmap resource would
// hold them:
//   "OXGARROW"  the current record: a small arrow pointing right;
//   "OXEDIT"    the record being edited: a pencil-like caret;
//   "OXINSERT"  the record being inserted: an asterisk-like mark.
// Each is 12 x 12 pixels.
#pragma once

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <string_view>
#include <vector>

namespace orvex::ui {

inline constexpr int kIndicatorImageSize = 12;

// The bitmap of that name; a null image for a name the program does not have.
QImage LoadBitmap(std::string_view name);

// Images of one size drawn with one colour left out (transparent). The size
// is that of the first image added; later images are scaled to it.
class TImageList {
 public:
  // Adds an image; pixels of `transparent` are not drawn. Returns its index.
  int Add(const QImage& image, const QColor& transparent);
  int Count() const { return static_cast<int>(images_.size()); }
  QSize Size() const { return size_; }
  // Draws image `index` with its top-left corner at (x, y); nothing for an
  // index out of range.
  void Draw(QPainter& painter, int x, int y, int index) const;

 private:
  QSize size_;
  std::vector<QPixmap> images_;
};

}  // namespace orvex::ui
