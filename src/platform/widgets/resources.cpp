#include "platform/widgets/resources.h"

#include <QBitmap>
#include <QPolygon>

namespace orvex::ui {

namespace {

constexpr int kSize = kIndicatorImageSize;

QImage BlankBitmap() {
  QImage image(kSize, kSize, QImage::Format_RGB32);
  image.fill(Qt::white);
  return image;
}

// A solid triangle pointing right, centred vertically.
void DrawArrow(QPainter& p) {
  p.setPen(Qt::NoPen);
  p.setBrush(Qt::black);
  p.drawPolygon(QPolygon({QPoint(3, 1), QPoint(9, 6), QPoint(3, 11)}));
}

// A text caret with serifs, slanted like a pencil's shaft.
void DrawEditCaret(QPainter& p) {
  p.setPen(QPen(Qt::black, 1));
  p.drawLine(4, 1, 8, 1);    // top serif
  p.drawLine(4, 10, 8, 10);  // bottom serif
  p.drawLine(6, 1, 6, 10);   // shaft
  p.drawLine(7, 2, 7, 9);    // thicker shaft
}

// Three crossing strokes, like an asterisk.
void DrawInsertMark(QPainter& p) {
  p.setPen(QPen(Qt::black, 2, Qt::SolidLine, Qt::FlatCap));
  p.drawLine(6, 1, 6, 11);
  p.drawLine(2, 3, 10, 9);
  p.drawLine(2, 9, 10, 3);
}

}  // namespace

QImage LoadBitmap(std::string_view name) {
  void (*draw)(QPainter&) = nullptr;
  if (name == "OXGARROW") draw = DrawArrow;
  if (name == "OXEDIT") draw = DrawEditCaret;
  if (name == "OXINSERT") draw = DrawInsertMark;
  if (draw == nullptr) return {};
  QImage image = BlankBitmap();
  QPainter painter(&image);
  draw(painter);
  return image;
}

int TImageList::Add(const QImage& image, const QColor& transparent) {
  if (images_.empty()) size_ = image.size();
  QImage scaled = image.size() == size_ ? image : image.scaled(size_);
  QPixmap pixmap = QPixmap::fromImage(scaled);
  pixmap.setMask(
      QBitmap::fromImage(scaled.createMaskFromColor(transparent.rgb(), Qt::MaskInColor)));
  images_.push_back(std::move(pixmap));
  return Count() - 1;
}

void TImageList::Draw(QPainter& painter, int x, int y, int index) const {
  if (index < 0 || index >= Count()) return;
  painter.drawPixmap(x, y, images_[static_cast<std::size_t>(index)]);
}

}  // namespace orvex::ui
