// The drawn indicator images and the image list that draws them with white
// left out.
#include "platform/widgets/resources.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QPainter>

#include "platform/widgets/paint_utils.h"
#include "support/gui_test_support.h"

namespace orvex::ui {
namespace {

int BlackPixels(const QImage& image, int x0, int x1) {
  int count = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = x0; x < x1; ++x) count += image.pixel(x, y) == qRgb(0, 0, 0);
  }
  return count;
}

TEST(Resources, IndicatorImagesAreDrawnAndDistinct) {
  test::GuiApp();
  const QImage arrow = LoadBitmap("OXGARROW");
  const QImage edit = LoadBitmap("OXEDIT");
  const QImage insert = LoadBitmap("OXINSERT");
  for (const QImage* image : {&arrow, &edit, &insert}) {
    ASSERT_EQ(image->size(), QSize(kIndicatorImageSize, kIndicatorImageSize));
    EXPECT_EQ(image->pixel(0, 0), qRgb(255, 255, 255)) << "white background";
    EXPECT_GT(BlackPixels(*image, 0, kIndicatorImageSize), 6);
  }
  EXPECT_NE(arrow, edit);
  EXPECT_NE(arrow, insert);
  EXPECT_NE(edit, insert);
  // The arrow points right: its left half holds more ink than its tip.
  EXPECT_GT(BlackPixels(arrow, 0, 6), BlackPixels(arrow, 6, 12));
  EXPECT_TRUE(LoadBitmap("OXNOTHERE").isNull());
}

TEST(Resources, ImageListLeavesTheTransparentColourOut) {
  test::GuiApp();
  TImageList list;
  EXPECT_EQ(list.Add(LoadBitmap("OXGARROW"), Qt::white), 0);
  EXPECT_EQ(list.Add(LoadBitmap("OXINSERT").scaled(24, 24), Qt::white), 1);
  EXPECT_EQ(list.Size(), QSize(12, 12)) << "the first image sets the size";
  QImage canvas(30, 30, QImage::Format_RGB32);
  canvas.fill(Qt::red);
  {
    QPainter painter(&canvas);
    list.Draw(painter, 5, 5, 0);
    list.Draw(painter, 5, 5, 7);  // out of range: nothing
  }
  EXPECT_EQ(canvas.pixel(5, 5), qRgb(255, 0, 0)) << "white is not drawn";
  EXPECT_EQ(canvas.pixel(5 + 4, 5 + 6), qRgb(0, 0, 0)) << "the arrow is";
  EXPECT_EQ(canvas.pixel(20, 20), qRgb(255, 0, 0));
}

TEST(Resources, EdgesAndFocusRectangle) {
  test::GuiApp();
  struct Case {
    bool raised;
    QPalette::ColorRole top_left, bottom_right;
  };
  const QPalette palette = QApplication::palette();
  for (const Case& c : {Case{true, QPalette::Light, QPalette::Dark},
                        Case{false, QPalette::Dark, QPalette::Light}}) {
    QImage image(20, 10, QImage::Format_RGB32);
    image.fill(Qt::red);
    {
      QPainter painter(&image);
      DrawEdge(painter, QRect(0, 0, 20, 10), c.raised);
    }
    EXPECT_EQ(image.pixel(5, 0), palette.color(c.top_left).rgb());
    EXPECT_EQ(image.pixel(0, 5), palette.color(c.top_left).rgb());
    EXPECT_EQ(image.pixel(5, 9), palette.color(c.bottom_right).rgb());
    EXPECT_EQ(image.pixel(19, 5), palette.color(c.bottom_right).rgb());
    EXPECT_EQ(image.pixel(5, 5), qRgb(255, 0, 0)) << "the inside is left alone";
  }
  QImage image(20, 10, QImage::Format_RGB32);
  image.fill(Qt::white);
  {
    QPainter painter(&image);
    painter.setPen(Qt::black);
    DrawFocusRect(painter, QRect(0, 0, 20, 10));
  }
  int black = 0;
  for (int x = 0; x < 20; ++x) black += image.pixel(x, 0) == qRgb(0, 0, 0);
  EXPECT_GT(black, 3);
  EXPECT_LT(black, 20) << "dotted, not solid";
  EXPECT_EQ(image.pixel(5, 5), qRgb(255, 255, 255));
}

}  // namespace
}  // namespace orvex::ui
