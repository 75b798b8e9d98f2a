#include "platform/widgets/paint_utils.h"

#include <QApplication>
#include <QPalette>

namespace orvex::ui {

void DrawEdge(QPainter& painter, const QRect& rect, bool raised) {
  const QPalette& palette = QApplication::palette();
  const QColor light = palette.color(QPalette::Light);
  const QColor shadow = palette.color(QPalette::Dark);
  painter.save();
  painter.setPen(raised ? light : shadow);
  painter.drawLine(rect.topLeft(), rect.topRight());
  painter.drawLine(rect.topLeft(), rect.bottomLeft());
  painter.setPen(raised ? shadow : light);
  painter.drawLine(rect.bottomLeft(), rect.bottomRight());
  painter.drawLine(rect.topRight(), rect.bottomRight());
  painter.restore();
}

void DrawFocusRect(QPainter& painter, const QRect& rect) {
  painter.save();
  QPen pen = painter.pen();
  pen.setStyle(Qt::DotLine);
  pen.setWidth(1);
  painter.setPen(pen);
  painter.setBrush(Qt::NoBrush);
  painter.drawRect(rect.adjusted(0, 0, -1, -1));
  painter.restore();
}

}  // namespace orvex::ui
