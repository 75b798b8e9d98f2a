// The message window: sized to its text, growing but never shrinking while
// visible, centred over the window that was active, borderless until it has
// a caption; and the progress window built on it.
#include "controls/ox_msg.h"

#include <gtest/gtest.h>

#include <QFrame>
#include <QLabel>
#include <QStyle>
#include <QTest>
#include <stdexcept>

#include "controls/ox_progress.h"
#include "platform/os/codepage.h"
#include "platform/widgets/forms.h"
#include "support/gui_test_support.h"

namespace orvex {
namespace {

// A main window that is active when the message window is made.
struct ActiveForm : test::AppFirst {
  ui::TForm form;
  ActiveForm() {
    ui::SetBounds(form, {228, 108, 470, 335});
    form.show();
    form.activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(&form));
  }
};

TEST(OxMsg, CreatedHiddenEmptyYellowAndBorderless) {
  ActiveForm main;
  TOxMsg msg(&main.form);
  EXPECT_FALSE(msg.isVisible());
  EXPECT_EQ(msg.Width(), 0);
  EXPECT_EQ(msg.Height(), 0);
  EXPECT_TRUE(msg.Text().empty());
  EXPECT_FALSE(msg.HasBorder());
  EXPECT_TRUE(msg.windowFlags() & Qt::FramelessWindowHint);
  EXPECT_TRUE(msg.windowFlags() & Qt::WindowStaysOnTopHint);
  EXPECT_EQ(msg.palette().color(QPalette::Window), QColor(255, 255, 0));
}

TEST(OxMsg, LongerTextWidensAndRecentresShorterKeepsTheSize) {
  ActiveForm main;
  TOxMsg msg(&main.form);
  const QFontMetrics metrics(msg.font());
  msg.ShowText("Short");
  ASSERT_TRUE(msg.isVisible());
  EXPECT_EQ(msg.Width(), metrics.horizontalAdvance("Short") + 30);
  EXPECT_EQ(msg.Height(), metrics.height() + 30);
  EXPECT_LE((msg.geometry().center() - main.form.frameGeometry().center()).manhattanLength(), 1);

  const std::string longer = os::Utf8ToAnsi("Eine viel längere Meldung über den Fortschritt");
  msg.ShowText(longer);
  const int wide = metrics.horizontalAdvance(QString::fromUtf8(os::AnsiToUtf8(longer))) + 30;
  EXPECT_EQ(msg.Width(), wide);
  EXPECT_LE((msg.geometry().center() - main.form.frameGeometry().center()).manhattanLength(), 1)
      << "centred again";
  EXPECT_EQ(msg.TextPanel()->text(), QString::fromUtf8(os::AnsiToUtf8(longer)));
  // Without caption the text panel sits 4 pixels inside the raised panel.
  EXPECT_EQ(msg.TextPanel()->geometry(), QRect(4, 4, wide - 8, msg.Height() - 8));
  EXPECT_TRUE(msg.BackgroundPanel()->isVisible());

  const QPoint where = msg.pos();
  msg.ShowText("x");
  EXPECT_EQ(msg.Width(), wide) << "a visible window never shrinks";
  EXPECT_EQ(msg.pos(), where);
  EXPECT_EQ(msg.TextPanel()->text(), "x");
  msg.ShowText("");
  EXPECT_EQ(msg.TextPanel()->text(), "x") << "an empty text shows the last one again";

  msg.hide();
  msg.ShowText("x");
  EXPECT_TRUE(msg.isVisible()) << "a hidden window comes back";
  EXPECT_EQ(msg.Width(), metrics.horizontalAdvance("x") + 30);
  msg.ShowText("Fehler Nr. 2 (Datei nicht gefunden)\r\nx.dbf");  // texts of errors have lines
  EXPECT_EQ(msg.Height(), metrics.height() + metrics.lineSpacing() + 30);
  EXPECT_EQ(msg.Width(), metrics.horizontalAdvance("Fehler Nr. 2 (Datei nicht gefunden)") + 30);
}

TEST(OxMsg, CaptionSwitchesToADialogBorderOnTheNextShow) {
  ActiveForm main;
  TOxMsg msg(&main.form);
  msg.ShowText("Hallo");
  const QSize plain(msg.Width(), msg.Height());
  msg.SetCaption("Progress");
  EXPECT_FALSE(msg.HasBorder()) << "not before the next show";
  msg.ShowText("Hallo");
  ASSERT_TRUE(msg.HasBorder());
  EXPECT_TRUE(msg.isVisible());
  EXPECT_FALSE(msg.windowFlags() & Qt::FramelessWindowHint);
  EXPECT_EQ(msg.windowTitle(), "Progress");
  EXPECT_FALSE(msg.BackgroundPanel()->isVisible());
  const int caption = msg.style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, &msg);
  EXPECT_EQ(msg.Height(), plain.height() + caption) << "the caption's height is added";
  EXPECT_EQ(msg.TextPanel()->geometry(), msg.rect()) << "the text fills the client area";

  msg.SetCaption("");
  msg.ShowText("");
  EXPECT_FALSE(msg.HasBorder());
  EXPECT_EQ(msg.Height(), plain.height()) << "a changed border re-sizes even when large enough";
}

TEST(OxMsg, PictureIsYellowWithTheText) {
  ActiveForm main;
  TOxMsg msg(&main.form);
  msg.ShowText("Indexing");
  const QImage image = msg.grab().toImage();
  EXPECT_EQ(image.pixel(msg.width() / 2, 6), qRgb(255, 255, 0));
  int dark = 0;
  for (int x = 10; x < msg.width() - 10; ++x) {
    dark += qGray(image.pixel(x, msg.height() / 2)) < 128;
  }
  EXPECT_GT(dark, 5) << "the text is drawn across the middle";
}

TEST(OxProgress100, BarShrinksAndRefills) {
  ActiveForm main;
  TOxProgress100 plain(&main.form);
  EXPECT_EQ(plain.Caption(), "Progress");
  EXPECT_FALSE(plain.isVisible()) << "shown only by its first step";

  TOxProgress100 bar(&main.form, "Indexing movie_r.MDX...");
  ASSERT_TRUE(bar.isVisible());
  EXPECT_TRUE(bar.HasBorder());
  EXPECT_EQ(bar.TextPanel()->text(), QString(100, '|'));
  struct Case {
    int steps;       // total steps so far
    int shown_bars;  // what the window shows after them
  };
  const Case cases[] = {{1, 99}, {50, 50}, {99, 1}, {100, 1}, {101, 100}, {102, 99}};
  int done = 0;
  for (const Case& c : cases) {
    for (; done < c.steps; ++done) bar.Step();
    EXPECT_EQ(bar.TextPanel()->text(), QString(c.shown_bars, '|')) << "after " << c.steps;
  }
  EXPECT_EQ(bar.Width(), QFontMetrics(bar.font()).horizontalAdvance(QString(100, '|')) + 30)
      << "the window keeps the width of the full bar";
}

TEST(OxProgress100, IndexProgressWindowLivesWhileTheBuildRuns) {
  ActiveForm main;
  auto open_windows = [] {
    int count = 0;
    for (QWidget* w : QApplication::topLevelWidgets()) count += w->isVisible();
    return count;
  };
  const int before = open_windows();
  int steps = 0;
  QString caption;
  RunWithIndexProgress("movie_r.MDX", [&](const std::function<void()>& step) {
    for (int i = 0; i < 3; ++i, ++steps) step();
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (auto* p = dynamic_cast<TOxProgress100*>(w)) {
        caption = p->windowTitle();
        EXPECT_EQ(p->Bar().size(), 97u);
      }
    }
    EXPECT_EQ(open_windows(), before + 1);
  });
  EXPECT_EQ(caption, "Indexing movie_r.MDX...");
  EXPECT_EQ(steps, 3);
  EXPECT_EQ(open_windows(), before);
  EXPECT_THROW(
      RunWithIndexProgress(
          "t.mdx", [](const std::function<void()>&) { throw std::runtime_error("disk full"); }),
      std::runtime_error);
  EXPECT_EQ(open_windows(), before) << "freed on failure too";
}

}  // namespace
}  // namespace orvex
