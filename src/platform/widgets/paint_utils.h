// Drawing primitives the grids share: 3-D cell edges and the focus rectangle.
#pragma once

#include <QPainter>
#include <QRect>

namespace orvex::ui {

// A one-pixel 3-D edge inside `rect`: raised draws the top and left sides in
// the light colour and the bottom and right sides in the shadow colour,
// sunken the other way round.
void DrawEdge(QPainter& painter, const QRect& rect, bool raised);

// A dotted rectangle along the inside of `rect`, in the painter's pen colour.
void DrawFocusRect(QPainter& painter, const QRect& rect);

}  // namespace orvex::ui
